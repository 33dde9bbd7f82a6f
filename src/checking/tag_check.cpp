#include "tag_check.h"

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <QByteArray>
#include <QRegularExpression>
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace {
/// A kind of message, met before in this page.
struct Kind {
    QByteArray name; ///< Tidy's key, as Tidy gave it
    QString key;
    bool ignored;
};

struct Collected {
    std::vector<TagProblem> problems;
    const QSet<QString>* ignored = nullptr;
    std::vector<Kind> kinds; // a page can have tens of thousands of problems of a few dozen kinds
};

Bool TIDY_CALL collect(TidyMessage message) {
    auto* out = static_cast<Collected*>(tidyGetAppData(tidyGetMessageDoc(message)));
    const TidyReportLevel level = tidyGetMessageLevel(message);
    if (level != TidyWarning && level != TidyAccess && level != TidyError && level != TidyBadDocument &&
        level != TidyFatal)
        return no;
    const char* name = tidyGetMessageKey(message);
    auto kind = std::find_if(out->kinds.begin(), out->kinds.end(),
                             [name](const Kind& k) { return std::strcmp(k.name.constData(), name) == 0; });
    if (kind == out->kinds.end()) {
        const QString key = QString::fromUtf8(name);
        out->kinds.push_back({QByteArray(name), key, out->ignored->contains(key)});
        kind = out->kinds.end() - 1;
    }
    if (kind->ignored)
        return no;
    TagProblem p;
    p.key = kind->key;
    p.message = QString::fromUtf8(tidyGetMessage(message));
    // Its hint names one of Tidy's own options, which this program sets for the user.
    if (p.key == QLatin1String("UNKNOWN_ELEMENT_LOOKS_CUSTOM"))
        if (const qsizetype hint = p.message.indexOf(QLatin1String("! ")); hint > 0)
            p.message.truncate(hint + 1);
    // Custom elements are valid HTML, whatever this Tidy says about their version.
    if (p.key == QLatin1String("ELEMENT_VERS_MISMATCH_ERROR") && p.message.startsWith(u'<') &&
        p.message.section(u'>', 0, 0).contains(u'-'))
        return no;
    p.line = tidyGetMessageLine(message);
    p.column = tidyGetMessageColumn(message);
    p.kind = level == TidyWarning || level == TidyAccess ? TagProblem::Kind::Warning : TagProblem::Kind::Error;
    out->problems.push_back(std::move(p));
    return no; // nothing goes to Tidy's own error output
}

/// Tidy allocates and frees a few buffers of 2 KB for every message it makes, and a page can have
/// tens of thousands: blocks of a few sizes, kept on free lists for the check, spare the general
/// heap that traffic. Everything goes back when the check ends.
class TidyArena : public TidyAllocator {
public:
    TidyArena() { vtbl = &kCalls; }
    TidyArena(const TidyArena&) = delete;
    TidyArena& operator=(const TidyArena&) = delete;
    ~TidyArena() {
        for (void* chunk : chunks_)
            std::free(chunk);
    }

private:
    struct alignas(16) Header {
        std::size_t sizeClass; ///< kLarge: a block of its own from the heap
        std::size_t size;      ///< what was asked for, for a large block
    };
    struct FreeBlock {
        FreeBlock* next;
    };
    static constexpr std::size_t kSmallest = 4;  // 16 bytes, with the header
    static constexpr std::size_t kLargest = 16;  // 64 KB
    static constexpr std::size_t kLarge = 0;
    static constexpr std::size_t kChunk = std::size_t(1) << 18;

    static TidyArena* of(TidyAllocator* allocator) { return static_cast<TidyArena*>(allocator); }
    static Header* headerOf(void* block) { return static_cast<Header*>(block) - 1; }

    void* allocate(std::size_t size) {
        const std::size_t sizeClass = std::max<std::size_t>(kSmallest, std::bit_width(size + sizeof(Header) - 1));
        Header* header;
        if (sizeClass > kLargest) {
            header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
            if (!header)
                return nullptr;
            header->sizeClass = kLarge;
            header->size = size;
            return header + 1;
        }
        if (FreeBlock* spare = free_[sizeClass]) {
            free_[sizeClass] = spare->next;
            header = reinterpret_cast<Header*>(spare);
        } else {
            const std::size_t bytes = std::size_t(1) << sizeClass;
            if (left_ < bytes) {
                void* chunk = std::malloc(kChunk);
                if (!chunk)
                    return nullptr;
                chunks_.push_back(chunk);
                next_ = static_cast<char*>(chunk);
                left_ = kChunk;
            }
            header = reinterpret_cast<Header*>(next_);
            next_ += bytes;
            left_ -= bytes;
        }
        header->sizeClass = sizeClass;
        return header + 1;
    }

    void release(void* block) {
        if (!block)
            return;
        Header* header = headerOf(block);
        const std::size_t sizeClass = header->sizeClass;
        if (sizeClass == kLarge) {
            std::free(header);
            return;
        }
        auto* spare = reinterpret_cast<FreeBlock*>(header); // over the header, which it no longer needs
        spare->next = free_[sizeClass];
        free_[sizeClass] = spare;
    }

    void* reallocate(void* block, std::size_t size) {
        if (!block)
            return allocate(size);
        const Header* header = headerOf(block);
        const std::size_t room =
            header->sizeClass == kLarge ? header->size : (std::size_t(1) << header->sizeClass) - sizeof(Header);
        if (header->sizeClass != kLarge && size <= room)
            return block;
        void* moved = allocate(size);
        if (!moved)
            return nullptr;
        std::memcpy(moved, block, std::min(room, size));
        release(block);
        return moved;
    }

    static void* TIDY_CALL callAllocate(TidyAllocator* self, size_t size) { return of(self)->allocate(size); }
    static void* TIDY_CALL callReallocate(TidyAllocator* self, void* block, size_t size) {
        return of(self)->reallocate(block, size);
    }
    static void TIDY_CALL callRelease(TidyAllocator* self, void* block) { of(self)->release(block); }
    static void TIDY_CALL callPanic(TidyAllocator*, ctmbstr) { std::abort(); } // out of memory
    static constexpr TidyAllocatorVtbl kCalls{callAllocate, callReallocate, callRelease, callPanic};

    std::vector<void*> chunks_;
    FreeBlock* free_[kLargest + 1] = {};
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

struct TidyDocDeleter {
    void operator()(TidyDoc doc) const { tidyRelease(doc); }
};
using TidyDocument = std::unique_ptr<std::remove_pointer_t<TidyDoc>, TidyDocDeleter>;

/// Tidy counts columns in code points; the text counts UTF-16 code units.
int unitsFromCodePoints(QStringView line, int column) {
    qsizetype i = 0;
    for (int cp = 1; cp < column && i < line.size(); ++cp)
        i += (line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate()) ? 2 : 1;
    return int(i) + 1;
}

/// Start of each line, with CR LF, LF and a lone CR all ending a line, as Tidy reads them.
std::vector<qsizetype> lineStarts(const QString& text) {
    std::vector<qsizetype> starts{0};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            starts.push_back(i + 1);
        } else if (text[i] == u'\n') {
            starts.push_back(i + 1);
        }
    }
    return starts;
}

struct CustomElements {
    QString inline_;
    QString block;
};

/// Tidy must be told whether a custom element holds blocks or runs inside a line. One that wraps a
/// block element anywhere in the page is taken as a block, any other as inline.
CustomElements customElements(const QString& text) {
    // A letter, then letters, digits, dots or underscores with at least one hyphen; the parser
    // lowers capitals. An address such as <a.b-c@example.org> is no element name.
    static const QRegularExpression name(QStringLiteral("<([a-zA-Z][a-zA-Z0-9._]*-[a-zA-Z0-9._-]*)[\\s/>]"));
    static const QRegularExpression blockStart(
        QStringLiteral("<(address|article|aside|blockquote|details|div|dl|fieldset|figure|footer|form|h[1-6]|"
                       "header|hr|main|nav|ol|p|pre|section|table|ul)[\\s/>]"),
        QRegularExpression::CaseInsensitiveOption);
    QSet<QString> seen;
    CustomElements out;
    for (auto it = name.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString element = m.captured(1).toLower();
        if (seen.contains(element))
            continue;
        seen.insert(element);
        qsizetype end = text.indexOf(QStringLiteral("</") + element, m.capturedEnd(), Qt::CaseInsensitive);
        const bool holdsBlocks = end > 0 && QStringView(text).mid(m.capturedEnd(), end - m.capturedEnd())
                                                .contains(blockStart);
        QString& list = holdsBlocks ? out.block : out.inline_;
        list += (list.isEmpty() ? QString() : QStringLiteral(",")) + element;
    }
    return out;
}

// A page that declares the HTML5 doctype (or none of an older version, which Tidy then takes
// for HTML5 too, with a warning of its own).
bool declaresOlderHtml(const QString& text) {
    static const QRegularExpression doctype(QStringLiteral("<!doctype\\s+html\\s*([^>]*)>"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = doctype.match(QStringView(text).left(4096));
    return !m.hasMatch() || (!m.captured(1).trimmed().isEmpty() && !m.captured(1).contains(QLatin1String("about:legacy-compat")));
}

// Where the content after the body starts: after </body> (and </html>), the first that is
// neither blank nor a comment. -1 when the text does not show it.
qsizetype contentAfterBody(const QString& text) {
    static const QRegularExpression skip(QStringLiteral("\\G(?:\\s+|<!--.*?-->|</html\\s*>)"),
                                         QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const qsizetype end = text.lastIndexOf(QLatin1String("</body"), -1, Qt::CaseInsensitive);
    qsizetype at = end < 0 ? -1 : text.indexOf(u'>', end);
    if (at < 0)
        return -1;
    ++at;
    for (QRegularExpressionMatch m = skip.match(text, at); m.hasMatch() && m.capturedLength() > 0; m = skip.match(text, at))
        at = m.capturedEnd();
    return at < text.size() ? at : -1;
}

qsizetype lineEnd(const QString& text, qsizetype from) {
    qsizetype i = from;
    while (i < text.size() && text[i] != u'\r' && text[i] != u'\n')
        ++i;
    return i;
}
} // namespace

std::vector<TagProblem> checkTags(const QString& text, const QSet<QString>& ignoredKeys, int accessibility) {
    Collected collected;
    collected.ignored = &ignoredKeys;
    TidyArena arena; // outlives the document
    TidyDocument doc(tidyCreateWithAllocator(&arena));
    tidySetAppData(doc.get(), &collected);
    tidySetMessageCallback(doc.get(), collect);
    tidyOptSetValue(doc.get(), TidyInCharEncoding, "utf8");
    tidyOptSetInt(doc.get(), TidyShowErrors, std::numeric_limits<int>::max());
    tidyOptSetBool(doc.get(), TidyShowWarnings, yes);
    tidyOptSetBool(doc.get(), TidyShowInfo, no);
    tidyOptSetBool(doc.get(), TidyQuiet, yes);
    tidyOptSetInt(doc.get(), TidyTabSize, 1); // a tab is one column, as in the text
    // Custom elements (a hyphen in the name) are HTML; obsolete elements and attributes are not.
    // They are named to Tidy one by one: in its mode that takes any unknown name with a hyphen, a
    // single address in angle brackets made Tidy check every element of an older page against the
    // page's declared version, thousands of warnings that the same page without it never gets.
    const CustomElements custom = customElements(text);
    if (!custom.inline_.isEmpty())
        tidyOptSetValue(doc.get(), TidyInlineTags, custom.inline_.toUtf8().constData());
    if (!custom.block.isEmpty())
        tidyOptSetValue(doc.get(), TidyBlockTags, custom.block.toUtf8().constData());
    tidyOptSetBool(doc.get(), TidyStrictTagsAttr, yes);
    // An empty element is valid HTML, and one Tidy's clean-up dropped would never be checked: an
    // empty <center> would pass.
    tidyOptSetBool(doc.get(), TidyDropEmptyElems, no);
    tidyOptSetInt(doc.get(), TidyAccessibilityCheckLevel, ulong(std::clamp(accessibility, 0, 3)));
    TidyBuffer errors;
    tidyBufInit(&errors);
    tidySetErrorBuffer(doc.get(), &errors);
    QByteArray utf8 = text.toUtf8();
    // Tidy starts a new line at a lone CR but goes on counting its columns: give it an LF instead,
    // which ends the same line.
    for (qsizetype i = utf8.indexOf('\r'); i >= 0; i = utf8.indexOf('\r', i + 1))
        if (i + 1 == utf8.size() || utf8[i + 1] != '\n')
            utf8[i] = '\n';
    TidyBuffer input;
    tidyBufInit(&input);
    tidyBufAttach(&input, reinterpret_cast<byte*>(utf8.data()), uint(utf8.size()));
    tidyParseBuffer(doc.get(), &input);
    // Tidy finds obsolete elements and attributes only while it cleans the tree.
    tidyCleanAndRepair(doc.get());
    tidyRunDiagnostics(doc.get());
    tidyBufDetach(&input);
    tidyBufFree(&errors);

    const std::vector<qsizetype> starts = lineStarts(text);
    const bool older = declaresOlderHtml(text);
    for (TagProblem& p : collected.problems) {
        // An old page's presentational attributes still show as its author meant: warnings.
        if (older && p.key == QLatin1String("MISMATCHED_ATTRIBUTE_ERROR"))
            p.kind = TagProblem::Kind::Warning;
        // Tidy places content after the body at the <body> tag: it goes where the content is,
        // or says that it cannot tell.
        if (p.key == QLatin1String("CONTENT_AFTER_BODY")) {
            if (const qsizetype at = contentAfterBody(text); at >= 0) {
                const auto line = std::upper_bound(starts.begin(), starts.end(), at) - 1;
                p.line = int(line - starts.begin()) + 1;
                p.column = int(at - *line) + 1;
            } else {
                p.line = p.column = 0;
                p.message += QStringLiteral(" (where, Tidy does not say)");
            }
            continue;
        }
        if (p.line < 1 || p.line > int(starts.size())) {
            p.line = p.column = 0;
            continue;
        }
        const qsizetype start = starts[size_t(p.line - 1)];
        p.column = unitsFromCodePoints(QStringView(text).mid(start, lineEnd(text, start) - start), p.column);
    }
    // Tidy reports some problems when an element ends, after those inside it: show them in page order.
    std::stable_sort(collected.problems.begin(), collected.problems.end(), [](const TagProblem& a, const TagProblem& b) {
        return std::pair(a.line, a.column) < std::pair(b.line, b.column);
    });
    return std::move(collected.problems);
}

const QSet<QString>& handCheckKeys() {
    static const QSet<QString> kHandChecks{
        "IMG_MISSING_LONGDESC_DLINK", "IMG_MISSING_DLINK", "IMG_MISSING_LONGDESC", "LONGDESC_NOT_REQUIRED",
        "FRAME_MISSING_LONGDESC", "INFORMATION_NOT_CONVEYED_IMAGE", "INFORMATION_NOT_CONVEYED_APPLET",
        "INFORMATION_NOT_CONVEYED_OBJECT", "INFORMATION_NOT_CONVEYED_SCRIPT", "INFORMATION_NOT_CONVEYED_INPUT",
        "STYLE_SHEET_CONTROL_PRESENTATION", "INDICATE_CHANGES_IN_LANGUAGE", "STYLESHEETS_REQUIRE_TESTING_LINK",
        "STYLESHEETS_REQUIRE_TESTING_STYLE_ELEMENT", "STYLESHEETS_REQUIRE_TESTING_STYLE_ATTR",
        "TEXT_EQUIVALENTS_REQUIRE_UPDATING_APPLET", "TEXT_EQUIVALENTS_REQUIRE_UPDATING_SCRIPT",
        "TEXT_EQUIVALENTS_REQUIRE_UPDATING_OBJECT", "PROGRAMMATIC_OBJECTS_REQUIRE_TESTING_SCRIPT",
        "PROGRAMMATIC_OBJECTS_REQUIRE_TESTING_OBJECT", "PROGRAMMATIC_OBJECTS_REQUIRE_TESTING_EMBED",
        "PROGRAMMATIC_OBJECTS_REQUIRE_TESTING_APPLET", "ENSURE_PROGRAMMATIC_OBJECTS_ACCESSIBLE_SCRIPT",
        "ENSURE_PROGRAMMATIC_OBJECTS_ACCESSIBLE_OBJECT", "ENSURE_PROGRAMMATIC_OBJECTS_ACCESSIBLE_APPLET",
        "MULTIMEDIA_REQUIRES_TEXT", "LAYOUT_TABLES_LINEARIZE_PROPERLY", "TABLE_MAY_REQUIRE_HEADER_ABBR",
        "ASCII_REQUIRES_DESCRIPTION"};
    return kHandChecks;
}

qsizetype problemLength(const QString& text, qsizetype position) {
    if (position >= text.size())
        return 0;
    if (text[position] != u'<')
        return 1;
    const qsizetype close = text.indexOf(u'>', position);
    const qsizetype nextOpen = text.indexOf(u'<', position + 1);
    if (close < 0 || (nextOpen >= 0 && nextOpen < close))
        return 1;
    return close - position + 1;
}
