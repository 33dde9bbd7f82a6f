#include "format_document.h"

#include "colouring/embedded_code.h"
#include "colouring/html5_scheme.h"
#include "colouring/html_tokenizer.h"
#include "colouring/tag_matching.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <iterator>
#include <string_view>

namespace format_document {
namespace {

struct Range {
    int start = 0;
    int end = 0; ///< past the last character
};

/// Where whitespace is the page's own: comments, tags, and the elements whose text is kept as
/// written. Asked line by line in text order, so that a page of 100,000 tags is asked quickly.
struct Untouchable {
    std::vector<Range> ranges;
    size_t next = 0;  ///< the ranges before this start before the bound last asked about
    int furthest = 0; ///< the furthest end among them
    void sort() {
        std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.start < b.start; });
    }
    /// Whether the indent of a line [@p line, @p first) is in one: it overlaps one, or the line
    /// starts inside one. Lines are asked in text order.
    bool holdsIndent(int line, int first) {
        const int bound = first > line ? first : line;
        for (; next < ranges.size() && ranges[next].start < bound; ++next)
            furthest = std::max(furthest, ranges[next].end);
        return furthest > line;
    }
};

/// A start tag with its attributes' names, which a long line may wrap before.
struct TagAttributes {
    int start = 0;
    int end = 0;
    std::vector<int> names;
};

struct Spans : HtmlTokenizer::Listener {
    std::vector<Range>* into = nullptr;
    std::vector<TagAttributes>* tags = nullptr;
    std::vector<int> names; ///< of the tag being read
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        if (kind == HtmlSpan::AttributeName)
            names.push_back(int(start));
        if (kind == HtmlSpan::Comment || kind == HtmlSpan::Cdata || kind == HtmlSpan::Doctype) {
            if (!into->empty() && into->back().end == int(start))
                into->back().end = int(start + length); // one comment in pieces
            else
                into->push_back({int(start), int(start + length)});
        }
    }
    void tag(const HtmlTag& tag) override {
        if (tag.end - tag.start > 1)
            into->push_back({int(tag.start) + 1, int(tag.end)}); // inside the tag, its `<` left out
        if (tags && !tag.endTag && tag.complete && names.size() >= 2)
            tags->push_back({int(tag.start), int(tag.end), std::move(names)});
        names.clear();
    }
};

using embedded_code::isQuoted;
using embedded_code::isVerbatim;

void colourCode(QStringView line, bool css, std::uint32_t& state, std::vector<std::uint8_t>& colours) {
    colours.assign(size_t(line.size()), 0);
    if (css)
        embedded_code::colourCss(line, state, colours.data());
    else
        embedded_code::colourJs(line, state, colours.data());
}

/// Whether the script whose start tag is @p startTag holds JavaScript.
bool holdsJavaScript(QStringView startTag) {
    static const QRegularExpression type(QStringLiteral("\\stype\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = type.match(startTag.toString());
    if (!m.hasMatch())
        return true;
    for (int group = 1; group <= 3; ++group)
        if (m.capturedStart(group) >= 0)
            return embedded_code::isJavaScriptType(m.capturedView(group));
    return true;
}

bool keepsItsText(QStringView name) {
    static constexpr std::u16string_view kKept[] = {u"pre",   u"textarea", u"script",   u"style",    u"title", u"xmp",
                                                    u"listing", u"plaintext", u"iframe", u"noembed", u"noframes"};
    return std::any_of(std::begin(kKept), std::end(kKept),
                       [name](std::u16string_view kept) { return name.compare(kept, Qt::CaseInsensitive) == 0; });
}

int lineEndFrom(QStringView text, int at) {
    const qsizetype feed = text.indexOf(u'\n', at);
    if (feed < 0)
        return int(text.size());
    return int(feed > 0 && text[feed - 1] == u'\r' ? feed - 1 : feed);
}

/// The lines of code starting in text[from, to) that lie in [selFrom, selTo]: each indented by
/// the brackets open before it, one @p unit a level after @p base. A line that starts in a
/// comment, a string or a template keeps its indent; so does a blank one. The line holding @p to
/// (an end tag) gets @p closing. The first line is left alone @p afterStartTag: it goes on from one.
void codeLines(QStringView text, int from, int to, bool css, const QString& base, const QString& closing,
               const QString& unit, int selFrom, int selTo, std::vector<Edit>& edits, bool afterStartTag = true) {
    std::uint32_t state = css ? embedded_code::cssStart() : embedded_code::jsStart();
    std::vector<std::uint8_t> colours;
    int depth = 0;
    bool firstPiece = afterStartTag; // the code starts after its start tag, mid-line
    bool stringGoesOn = false;
    for (int line = from; line <= to;) {
        const int lineEnd = std::min(lineEndFrom(text, line), to);
        const QStringView piece = text.mid(line, lineEnd - line);
        // Whether the line starts in a comment, a string or a template: a space before it would be in it.
        std::uint32_t probe = state;
        colourCode(QString(u' ' + piece.toString()), css, probe, colours);
        // A string whose line ended in a backslash goes on here, whatever the lexer's state says.
        const bool inside = (!colours.empty() && isQuoted(colours[0])) || stringGoesOn;
        colourCode(piece, css, state, colours);
        stringGoesOn = !piece.isEmpty() && piece.back() == u'\\' && isVerbatim(colours.back());
        int first = 0;
        while (first < piece.size() && (piece[first] == u' ' || piece[first] == u'\t'))
            ++first;
        int closers = 0;
        for (int k = first; k < piece.size() && QStringView(u"}])").contains(piece[k]) && !isQuoted(colours[size_t(k)]); ++k)
            ++closers;
        const bool endTagLine = afterStartTag && lineEnd == to && line + first == to;
        if (!firstPiece && !inside && (first < piece.size() || endTagLine) && line >= selFrom && line <= selTo) {
            const QString indent = endTagLine ? closing : base + unit.repeated(std::max(0, depth - closers));
            if (piece.left(first) != indent)
                edits.push_back({line, first, indent});
        }
        for (int k = 0; k < piece.size(); ++k) {
            if (isQuoted(colours[size_t(k)]))
                continue;
            if (QStringView(u"{[(").contains(piece[k]))
                ++depth;
            else if (QStringView(u"}])").contains(piece[k]))
                depth = std::max(0, depth - 1);
        }
        firstPiece = false;
        if (lineEnd >= to)
            break;
        line = lineEnd + (text[lineEnd] == u'\r' ? 2 : 1);
    }
}

/// Code as it reads: strings, templates and patterns as written, other runs of spaces and tabs
/// as one space, line ends kept; each character with where it stands (@p offset on).
void readCode(QStringView code, bool css, int offset, QString& out, std::vector<int>& at) {
    std::uint32_t state = css ? embedded_code::cssStart() : embedded_code::jsStart();
    std::vector<std::uint8_t> colours;
    bool stringGoesOn = false;
    for (qsizetype line = 0; line <= code.size();) {
        qsizetype lineEnd = line;
        while (lineEnd < code.size() && code[lineEnd] != u'\n' && code[lineEnd] != u'\r')
            ++lineEnd;
        const QStringView piece = code.mid(line, lineEnd - line);
        colourCode(piece, css, state, colours);
        // A string whose line ended in a backslash goes on with this line's spaces as written.
        if (stringGoesOn)
            for (qsizetype k = 0; k < piece.size() && (piece[k] == u' ' || piece[k] == u'\t'); ++k)
                colours[size_t(k)] = html5_scheme::JsString;
        bool space = true; // leading spaces read as none
        for (qsizetype k = 0; k < piece.size(); ++k) {
            const QChar c = piece[k];
            if ((c == u' ' || c == u'\t') && !isVerbatim(colours[size_t(k)])) {
                space = true;
                continue;
            }
            if (space && !out.isEmpty() && out.back() != u'\n') {
                out += u' ';
                at.push_back(offset + int(line + k));
            }
            space = false;
            out += c;
            at.push_back(offset + int(line + k));
        }
        stringGoesOn = !piece.isEmpty() && piece.back() == u'\\' && isVerbatim(colours.back());
        if (lineEnd >= code.size())
            break;
        out += u'\n';
        at.push_back(offset + int(lineEnd));
        line = lineEnd + (code[lineEnd] == u'\r' && lineEnd + 1 < code.size() && code[lineEnd + 1] == u'\n' ? 2 : 1);
    }
}

/// What a page reads as, item by item, with where each item starts: its tags, attributes,
/// comments and references as written, its text with whitespace collapsed.
struct Reading : HtmlTokenizer::Listener {
    QStringView text;
    bool codeBlocks = false;
    std::vector<std::pair<QString, int>> items;
    qsizetype covered = 0; ///< text before this is read
    QString keptIn;        ///< the element whose text is kept as written that the text is in
    bool keptIsCode = false;
    void gap(qsizetype until) {
        if (until <= covered)
            return;
        const QString piece = text.mid(covered, until - covered).toString();
        if (keptIsCode) {
            QString read;
            std::vector<int> at;
            readCode(piece, keptIn == u"style", int(covered), read, at);
            if (!read.isEmpty())
                items.emplace_back(read, int(covered));
            covered = until;
            return;
        }
        const QString read = keptIn.isEmpty() ? piece.simplified() : piece;
        if (!read.isEmpty())
            items.emplace_back(read, int(covered));
        covered = until;
    }
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        gap(start);
        // Inside a tag only the pieces count: the spaces between attributes are no content.
        items.emplace_back(QString::number(int(kind)) + u':' + text.mid(start, length).toString(), int(start));
        covered = std::max(covered, start + length);
    }
    void tag(const HtmlTag& tag) override {
        covered = std::max(covered, tag.end);
        const QString name = text.mid(tag.nameStart, tag.nameLength).toString().toLower();
        if (!tag.endTag && keptIn.isEmpty() && keepsItsText(name) && !tag.selfClosing) {
            keptIn = name;
            keptIsCode = codeBlocks && (name == u"style" || (name == u"script" && holdsJavaScript(text.mid(tag.start, tag.end - tag.start))));
        } else if (tag.endTag && name == keptIn) {
            keptIn.clear();
            keptIsCode = false;
        }
    }
};

std::vector<std::pair<QString, int>> readingOf(QStringView text, bool codeBlocks) {
    Reading reading;
    reading.text = text;
    reading.codeBlocks = codeBlocks;
    HtmlTokenizer::read(text, reading);
    reading.gap(text.size());
    return std::move(reading.items);
}

} // namespace

Formatted reindent(QStringView text, int start, int end, const Style& style) {
    Formatted formatted;
    // The elements, with the ends HTML gives them.
    const TagMap map = TagMap::build(text);
    std::vector<std::pair<int, int>> depthChanges; // position, +1 or -1
    Untouchable kept;
    Spans spans;
    spans.into = &kept.ranges;
    std::vector<TagAttributes> wrappable;
    if (style.wrapAttributesAt > 0)
        spans.tags = &wrappable;
    HtmlTokenizer::read(text, spans);
    const auto& tags = map.tags();
    struct CodeBlock {
        int start, end, tagStart;
        bool css;
    };
    std::vector<CodeBlock> code;
    std::vector<Range> keptElements;
    for (const TagMap::Tag& tag : tags) {
        if (tag.endTag() || tag.status() == TagMap::Status::Void)
            continue;
        const int elementEnd = tag.status() == TagMap::Status::Matched ? tags[size_t(tag.partner())].start : tag.endedAt();
        depthChanges.emplace_back(tag.end, +1);
        depthChanges.emplace_back(elementEnd, -1);
        // With the end tag's `<`: a space before it would be the element's text too.
        const QStringView name = text.mid(tag.nameStart(), tag.nameLength());
        if (keepsItsText(name)) {
            kept.ranges.push_back({tag.end, elementEnd + 1});
            keptElements.push_back({tag.start, elementEnd});
            const bool css = name.compare(u"style", Qt::CaseInsensitive) == 0;
            if (style.codeBlocks && tag.status() == TagMap::Status::Matched &&
                (css || (name.compare(u"script", Qt::CaseInsensitive) == 0 && holdsJavaScript(text.mid(tag.start, tag.end - tag.start)))))
                code.push_back({tag.end, elementEnd, tag.start, css});
        }
    }
    std::stable_sort(depthChanges.begin(), depthChanges.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    kept.sort();
    // The lines whose indent is the page's to choose, and the page's own step among them.
    struct Line {
        int start;
        int first; ///< its first character that is no space or tab
    };
    std::vector<Line> lines;
    bool tabs = false;
    int smallest = 0;
    for (int line = 0; line <= text.size();) {
        const int lineEnd = lineEndFrom(text, line);
        int first = line;
        while (first < lineEnd && (text[first] == u' ' || text[first] == u'\t'))
            ++first;
        if (first < lineEnd && !kept.holdsIndent(line, first)) {
            lines.push_back({line, first});
            tabs = tabs || text.mid(line, first - line).contains(u'\t');
            if (first - line >= 2 && first - line <= 8 && (smallest == 0 || first - line < smallest))
                smallest = first - line;
        }
        if (lineEnd >= text.size())
            break;
        line = lineEnd + (text[lineEnd] == u'\r' ? 2 : 1);
    }
    formatted.unit = !style.unit.isEmpty() ? style.unit : tabs ? QStringLiteral("\t") : QString(smallest ? smallest : 2, u' ');
    const int from = start <= 0 ? 0 : int(text.lastIndexOf(u'\n', start - 1)) + 1;
    const int to = end < 0 ? int(text.size()) : end;
    int depth = 0;
    size_t change = 0;
    std::vector<std::pair<int, QString>> indents; // each line's start and the indent it gets
    for (const Line& line : lines) {
        for (; change < depthChanges.size() && depthChanges[change].first <= line.first; ++change)
            depth += depthChanges[change].second;
        const QString indent = formatted.unit.repeated(std::max(0, depth));
        indents.emplace_back(line.start, indent);
        if (line.start < from || line.start > to)
            continue;
        if (text.mid(line.start, line.first - line.start) != indent)
            formatted.edits.push_back({line.start, line.first - line.start, indent});
    }
    // The code blocks come in text order: the depth where each starts is summed on as they go.
    size_t changeAt = 0;
    int depthThere = 0;
    for (const CodeBlock& block : code) {
        for (; changeAt < depthChanges.size() && depthChanges[changeAt].first <= block.tagStart; ++changeAt)
            depthThere += depthChanges[changeAt].second;
        const QString outer = formatted.unit.repeated(std::max(0, depthThere));
        codeLines(text, block.start, block.end, block.css, outer + formatted.unit, outer, formatted.unit, from, to, formatted.edits);
    }
    // Long start tags wrap before each attribute after the first, one indent in from their line.
    // The tags come in text order: the line, and the kept element, move on with them.
    std::sort(keptElements.begin(), keptElements.end(), [](const Range& a, const Range& b) { return a.start < b.start; });
    size_t keptAt = 0;
    int lineStart = 0;
    int lineEnd = wrappable.empty() ? 0 : lineEndFrom(text, 0);
    for (const TagAttributes& tag : wrappable) {
        while (lineEnd < tag.start && lineEnd < text.size()) {
            lineStart = lineEnd + (text[lineEnd] == u'\r' ? 2 : 1);
            lineEnd = lineEndFrom(text, lineStart);
        }
        if (tag.end > lineEnd || lineStart < from || lineStart > to)
            continue;
        while (keptAt < keptElements.size() && keptElements[keptAt].end <= tag.start)
            ++keptAt;
        if (keptAt < keptElements.size() && keptElements[keptAt].start < tag.start)
            continue;
        const auto own = std::lower_bound(indents.begin(), indents.end(), lineStart,
                                          [](const auto& entry, int at) { return entry.first < at; });
        if (own == indents.end() || own->first != lineStart)
            continue; // a line whose indent is not the page's to choose
        int first = lineStart;
        while (first < lineEnd && (text[first] == u' ' || text[first] == u'\t'))
            ++first;
        if (own->second.size() + (lineEnd - first) <= style.wrapAttributesAt)
            continue;
        const QString breakTo = QStringLiteral("\r\n") + own->second + formatted.unit;
        for (size_t i = 1; i < tag.names.size(); ++i) {
            int space = tag.names[i];
            while (space > tag.start && text[space - 1].isSpace())
                --space;
            formatted.edits.push_back({space, tag.names[i] - space, breakTo});
        }
    }
    std::stable_sort(formatted.edits.begin(), formatted.edits.end(), [](const Edit& a, const Edit& b) { return a.start < b.start; });
    return formatted;
}

Formatted reindentCode(QStringView text, bool css, int start, int end, const Style& style) {
    Formatted formatted;
    // The file's own step, as for a page.
    bool tabs = false;
    int smallest = 0;
    for (qsizetype line = 0; line < text.size();) {
        qsizetype first = line;
        while (first < text.size() && (text[first] == u' ' || text[first] == u'\t'))
            ++first;
        tabs = tabs || text.mid(line, first - line).contains(u'\t');
        if (first - line >= 2 && first - line <= 8 && (smallest == 0 || first - line < smallest))
            smallest = int(first - line);
        const qsizetype feed = text.indexOf(u'\n', first);
        if (feed < 0)
            break;
        line = feed + 1;
    }
    formatted.unit = !style.unit.isEmpty() ? style.unit : tabs ? QStringLiteral("\t") : QString(smallest ? smallest : 2, u' ');
    const int from = start <= 0 ? 0 : int(text.lastIndexOf(u'\n', start - 1)) + 1;
    const int to = end < 0 ? int(text.size()) : end;
    codeLines(text, 0, int(text.size()), css, QString(), QString(), formatted.unit, from, to, formatted.edits, false);
    return formatted;
}

QString applied(QStringView text, const std::vector<Edit>& edits) {
    QString out;
    out.reserve(text.size());
    int at = 0;
    for (const Edit& edit : edits) {
        out += text.mid(at, edit.start - at);
        out += edit.text;
        at = edit.start + edit.length;
    }
    out += text.mid(at);
    return out;
}

std::optional<int> firstDifference(QStringView before, QStringView after, bool codeBlocks) {
    const auto a = readingOf(before, codeBlocks), b = readingOf(after, codeBlocks);
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i].first != b[i].first)
            return b[i].second;
    if (a.size() != b.size())
        return b.size() > a.size() ? b[a.size()].second : int(after.size());
    return std::nullopt;
}

std::optional<int> firstCodeDifference(QStringView before, QStringView after, bool css) {
    QString a, b;
    std::vector<int> aAt, bAt;
    readCode(before, css, 0, a, aAt);
    readCode(after, css, 0, b, bAt);
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            return bAt[size_t(i)];
    if (a.size() != b.size())
        return b.size() > a.size() ? bAt[size_t(a.size())] : int(after.size());
    return std::nullopt;
}

} // namespace format_document
