#include "completion.h"

#include "css_data.h"

#include "colouring/embedded_code.h"
#include "base/regular_file.h"
#include "colouring/html5_scheme.h"
#include "colouring/html_data.h"

#include <QDir>
#include <QDirIterator>
#include <QImageReader>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <array>

namespace completion {
namespace {
bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':' || c == u'.';
}

/// Remembers what the tokenizer read of the last tag.
struct TagReader : HtmlTokenizer::Listener {
    QStringView text;
    qsizetype tagStart = -1;
    bool endTag = false;
    QString element;
    QStringList attributes;
    QString lastValue; ///< the last attribute value as read so far, quotes included
    qsizetype tagEnd = -1; ///< where the text after the last tag starts

    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        const QStringView piece = text.mid(start, length);
        switch (kind) {
        case HtmlSpan::TagBracket:
            if (piece.endsWith(u'>'))
                tagEnd = start + length;
            if (piece.startsWith(u'<')) {
                tagStart = start;
                endTag = piece == u"</";
                element.clear();
                attributes.clear();
            }
            break;
        case HtmlSpan::TagName:
            element += piece.toString().toLower();
            break;
        case HtmlSpan::AttributeName:
            attributes << piece.toString().toLower();
            break;
        case HtmlSpan::AttributeValue:
            lastValue = piece.toString();
            break;
        default:
            break;
        }
    }
};

/// The state after reading @p text from @p state.
HtmlTokenizer readFrom(HtmlTokenizer state, QStringView text, TagReader& reader) {
    reader.text = text;
    state.feed(text, 0, reader);
    return state;
}

using State = HtmlTokenizer::State;

bool inStartTag(State s) {
    return s == State::BeforeAttributeName || s == State::AfterAttributeName || s == State::BeforeAttributeValue ||
           s == State::AttributeValueDoubleQuoted || s == State::AttributeValueSingleQuoted;
}
} // namespace

namespace {
// Attributes whose value names ids of the page, a space between two.
bool takesIds(QStringView attribute) {
    return attribute == u"for" || attribute == u"list" || attribute == u"form" || attribute == u"headers" ||
           attribute == u"aria-labelledby" || attribute == u"aria-describedby" || attribute == u"aria-controls" ||
           attribute == u"aria-owns" || attribute == u"aria-activedescendant" || attribute == u"aria-details" ||
           attribute == u"aria-errormessage" || attribute == u"aria-flowto";
}

// Attributes whose value is the address of a file, and in srcset a list of them.
bool takesPath(QStringView attribute) {
    return attribute == u"src" || attribute == u"href" || attribute == u"srcset" || attribute == u"action" ||
           attribute == u"poster" || attribute == u"data";
}

// A path typed as @p value: its folders and its last part; none for an address with a scheme,
// a root-relative path (the site's root is not known) or a fragment.
Context pathContext(QStringView value) {
    Context context;
    if (value.contains(u':') || value.startsWith(u'/') || value.contains(u'#') || value.contains(u'?'))
        return context;
    const qsizetype slash = value.lastIndexOf(u'/');
    context.kind = Kind::Path;
    context.folder = value.left(slash + 1).toString();
    context.typed = value.mid(slash + 1).toString();
    return context;
}
} // namespace

Context contextAt(HtmlTokenizer state, QStringView tail) {
    qsizetype wordStart = tail.size();
    while (wordStart > 0 && isWordCharacter(tail[wordStart - 1]))
        --wordStart;
    Context context;
    context.typed = tail.mid(wordStart).toString();
    const QStringView head = tail.left(wordStart);
    TagReader reader;
    if (head.endsWith(u'&')) {
        const HtmlTokenizer at = readFrom(state, head.chopped(1), reader);
        const bool rcdata = at.state() == State::RawText &&
                            (at.rawText() == HtmlTokenizer::RawText::Title || at.rawText() == HtmlTokenizer::RawText::Textarea);
        if (at.state() == State::Data || rcdata || at.state() == State::AttributeValueDoubleQuoted ||
            at.state() == State::AttributeValueSingleQuoted)
            context.kind = Kind::CharacterReference;
        return context;
    }
    if (head.endsWith(u'<')) {
        if ((context.typed.isEmpty() || context.typed[0].isLetter()) &&
            readFrom(state, head.chopped(1), reader).state() == State::Data)
            context.kind = Kind::ElementName;
        return context;
    }
    const HtmlTokenizer at = readFrom(state, head, reader);
    // A style sheet in the page: in a <style> element's text, or in a style attribute's value.
    if (at.state() == State::RawText && at.rawText() == HtmlTokenizer::RawText::Style)
        return cssContextAt(embedded_code::cssStart(), tail.mid(std::max<qsizetype>(reader.tagEnd, 0)));
    const bool quoted = at.state() == State::AttributeValueDoubleQuoted || at.state() == State::AttributeValueSingleQuoted;
    if (quoted && !reader.endTag && reader.attributes.value(reader.attributes.size() - 1) == u"style") {
        const qsizetype open = head.lastIndexOf(at.state() == State::AttributeValueDoubleQuoted ? u'"' : u'\'');
        return cssContextAt(embedded_code::cssDeclarations(), tail.mid(open + 1));
    }
    if (!inStartTag(at.state()) || reader.endTag || reader.element.isEmpty())
        return context;
    context.element = reader.element;
    const QChar before = head.isEmpty() ? QChar() : head.back();
    switch (at.state()) {
    case State::BeforeAttributeName:
    case State::AfterAttributeName:
        if (!before.isSpace())
            return context;
        context.kind = Kind::AttributeName;
        context.present = reader.attributes;
        break;
    case State::BeforeAttributeValue:
        context.kind = Kind::AttributeValue;
        context.attribute = reader.attributes.value(reader.attributes.size() - 1);
        context.quoted = false;
        break;
    default: { // inside a quoted value: the word typed since its quote or a space
        const QChar quote = at.state() == State::AttributeValueDoubleQuoted ? u'"' : u'\'';
        context.attribute = reader.attributes.value(reader.attributes.size() - 1);
        const QStringView valueSoFar = tail.mid(head.lastIndexOf(quote) + 1);
        if (context.attribute == u"class" || takesIds(context.attribute) ||
            (takesPath(context.attribute) && valueSoFar.startsWith(u'#'))) {
            // A name of the page: the word typed since the quote or a space (or the #).
            context.kind = context.attribute == u"class" ? Kind::ClassName : Kind::IdReference;
            qsizetype start = valueSoFar.size();
            while (start > 0 && !valueSoFar[start - 1].isSpace() && valueSoFar[start - 1] != u'#')
                --start;
            context.typed = valueSoFar.mid(start).toString();
            context.element = reader.element;
            return context;
        }
        if (takesPath(context.attribute)) {
            // The value typed since its quote, and in srcset since the last comma.
            QStringView value = tail.mid(head.lastIndexOf(quote) + 1);
            if (context.attribute == u"srcset")
                value = value.mid(value.lastIndexOf(u',') + 1).trimmed();
            const QString attribute = context.attribute;
            context = value.contains(u' ') ? Context() : pathContext(value);
            context.element = reader.element;
            context.attribute = attribute;
            return context;
        }
        if (before != quote && !before.isSpace())
            return {};
        context.kind = Kind::AttributeValue;
        break;
    }
    }
    return context;
}

namespace {
// The named references pages use most, most used first: the order of their counts in the test
// pages and the corpus (nbsp, gt, lt, quot, rsquo, ...), then the other symbols and letters
// authors commonly type. Every other reference comes after these, alphabetically.
// clang-format off
constexpr std::array kCommonReferences{
    u"nbsp", u"amp", u"gt", u"lt", u"quot", u"rsquo", u"lsquo", u"copy", u"hellip", u"rdquo", u"ldquo",
    u"mdash", u"ndash", u"para", u"reg", u"trade", u"laquo", u"raquo", u"middot", u"bull", u"times",
    u"divide", u"deg", u"plusmn", u"sect", u"euro", u"pound", u"yen", u"cent", u"apos", u"shy",
    u"eacute", u"egrave", u"aacute", u"agrave", u"iacute", u"oacute", u"uacute", u"ntilde", u"ccedil",
    u"auml", u"ouml", u"uuml", u"szlig", u"Aring", u"aring", u"rarr", u"larr", u"uarr", u"darr",
    u"frac12", u"frac14", u"frac34", u"sup2", u"sup3", u"micro", u"iexcl", u"iquest", u"hearts", u"check"};
// clang-format on

// Where a reference stands among the common ones; those that are not, after them all.
int commonness(QStringView name) {
    name = name.chopped(name.endsWith(u';') ? 1 : 0);
    for (size_t i = 0; i < kCommonReferences.size(); ++i)
        if (name == QStringView(kCommonReferences[i]))
            return int(i);
    return int(kCommonReferences.size());
}
} // namespace

Context cssContextAt(std::uint32_t lineState, QStringView lineBeforeCaret) {
    // A file in url( ) or @import: the path typed since its parenthesis or quote.
    static const QRegularExpression file(QStringLiteral("(?:url\\(\\s*[\"']?|@import\\s+[\"'])([^\"')\\s]*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = file.match(lineBeforeCaret); m.hasMatch())
        return pathContext(m.capturedView(1));
    const auto isNameCharacter = [](QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'_'; };
    qsizetype start = lineBeforeCaret.size();
    while (start > 0 && isNameCharacter(lineBeforeCaret[start - 1]))
        --start;
    Context context;
    const embedded_code::CssPlace place = embedded_code::cssPlaceAfter(lineBeforeCaret, lineState);
    if (place == embedded_code::CssPlace::Comment)
        return context;
    // An at-rule where rules or declarations go; a pseudo-class or -element in a selector.
    qsizetype marks = start;
    while (marks > 0 && marks > start - 2 && lineBeforeCaret[marks - 1] == u':')
        --marks;
    if (start > 0 && lineBeforeCaret[start - 1] == u'@') {
        context.kind = Kind::CssAtRule;
        --start;
    } else if (start > 0 && place == embedded_code::CssPlace::Selector &&
               (lineBeforeCaret[start - 1] == u'.' || lineBeforeCaret[start - 1] == u'#')) {
        context.kind = lineBeforeCaret[start - 1] == u'.' ? Kind::CssClassSelector : Kind::CssIdSelector;
    } else if (marks < start && (place == embedded_code::CssPlace::Selector ||
                                 (place == embedded_code::CssPlace::Value && start - marks == 2))) {
        // `a:ho` reads as a property and its value to the lexer until a brace comes; only a
        // selector has `::`, and a rule's `:` after a name with no `;` or `{` before it on the line.
        context.kind = Kind::CssPseudo;
        start = marks;
    } else if (place == embedded_code::CssPlace::Property) {
        context.kind = Kind::CssProperty;
    } else if (place == embedded_code::CssPlace::Value) {
        context.kind = Kind::CssValue;
        // The property: the name before the last `:` of this declaration on this line.
        const QStringView head = lineBeforeCaret.left(start);
        const qsizetype colon = head.lastIndexOf(u':');
        const qsizetype boundary = std::max(head.lastIndexOf(u';'), head.lastIndexOf(u'{'));
        if (colon > boundary) {
            qsizetype end = colon;
            while (end > 0 && head[end - 1].isSpace())
                --end;
            qsizetype from = end;
            while (from > 0 && isNameCharacter(head[from - 1]))
                --from;
            context.attribute = head.mid(from, end - from).toString().toLower();
        }
    }
    if (context.kind != Kind::None)
        context.typed = lineBeforeCaret.mid(start).toString();
    return context;
}

QStringList classesOf(QStringView styleSheet) {
    // The lexer's selectors: `.name` in a comment, a string or a declaration is no class.
    const std::vector<std::uint8_t> colours = html5_scheme::colourText(styleSheet, Language::Css);
    QStringList classes;
    for (qsizetype i = 0; i + 1 < styleSheet.size(); ++i) {
        if (styleSheet[i] != u'.' || colours[size_t(i)] != html5_scheme::CssSelector)
            continue;
        qsizetype end = i + 1;
        while (end < styleSheet.size() && (styleSheet[end].isLetterOrNumber() || styleSheet[end] == u'-' || styleSheet[end] == u'_'))
            ++end;
        if (end > i + 1 && !styleSheet[i + 1].isDigit())
            classes << styleSheet.mid(i + 1, end - i - 1).toString();
        i = end - 1;
    }
    classes.removeDuplicates();
    return classes;
}

PageNames pageNames(QStringView page, const QString& pageFolder) {
    PageNames names;
    static const QRegularExpression id(QStringLiteral("<[^>]*\\sid\\s*=\\s*[\"']?([^\"'\\s>]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    for (auto it = id.globalMatch(page); it.hasNext();)
        names.ids << it.next().captured(1);
    names.ids.removeDuplicates();
    // The page's own style elements, then the sheets it links, in the page's order.
    static const QRegularExpression style(QStringLiteral("<style[^>]*>(.*?)</style"),
                                          QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    for (auto it = style.globalMatch(page); it.hasNext();)
        names.classes << classesOf(it.next().capturedView(1));
    static const QRegularExpression link(QStringLiteral("<link\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression sheet(QStringLiteral("\\brel\\s*=\\s*[\"']?[^\"'>]*\\bstylesheet\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(QStringLiteral("\\bhref\\s*=\\s*[\"']?([^\"'\\s>]+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (auto it = link.globalMatch(page); it.hasNext() && !pageFolder.isEmpty();) {
        const QStringView tag = it.next().capturedView();
        const QRegularExpressionMatch address = href.match(tag);
        if (!sheet.match(tag).hasMatch() || !address.hasMatch() || address.capturedView(1).contains(u':') ||
            address.capturedView(1).startsWith(u'/'))
            continue;
        const QString path = QDir(pageFolder).filePath(QUrl::fromPercentEncoding(address.captured(1).section(u'?', 0, 0).toUtf8()));
        // A linked sheet may be anything a link can name: only a regular file of sane size is read.
        const regular_file::Read read = regular_file::readAll(path, 1024 * 1024);
        if (read.opened)
            names.classes << classesOf(QString::fromUtf8(read.bytes));
    }
    names.classes.removeDuplicates();
    return names;
}

PageNames namesUsed(QStringView page) {
    struct Reader : HtmlTokenizer::Listener {
        QStringView page;
        PageNames names;
        QStringList* into = nullptr; ///< the attribute being read is a class or an id
        void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
            const QStringView piece = page.mid(start, length);
            if (kind == HtmlSpan::AttributeName)
                into = piece.compare(u"class", Qt::CaseInsensitive) == 0 ? &names.classes
                       : piece.compare(u"id", Qt::CaseInsensitive) == 0  ? &names.ids
                                                                         : nullptr;
            else if (kind != HtmlSpan::AttributeValue)
                into = nullptr;
            if (kind != HtmlSpan::AttributeValue || !into)
                return;
            // Tokens between spaces, the value's quotes left out.
            for (qsizetype at = 0; at < piece.size();) {
                while (at < piece.size() && (piece[at].isSpace() || piece[at] == u'"' || piece[at] == u'\''))
                    ++at;
                qsizetype end = at;
                while (end < piece.size() && !piece[end].isSpace() && piece[end] != u'"' && piece[end] != u'\'')
                    ++end;
                const QStringView name = piece.mid(at, end - at);
                if (!name.isEmpty() && !name.contains(u'&') && !name.contains(u'<'))
                    *into << name.toString();
                at = end;
            }
        }
    } reader;
    reader.page = page;
    HtmlTokenizer::read(page, reader);
    reader.names.classes.removeDuplicates();
    reader.names.ids.removeDuplicates();
    return std::move(reader.names);
}

std::vector<Item> nameItems(const QStringList& names, const Context& context) {
    std::vector<Item> items;
    const QString what = context.kind == Kind::ClassName          ? QStringLiteral("A class of the page's style sheets")
                         : context.kind == Kind::CssClassSelector ? QStringLiteral("A class the site's pages use")
                         : context.kind == Kind::CssIdSelector    ? QStringLiteral("An id of the site's pages")
                                                                  : QStringLiteral("An id of the page");
    for (const QString& name : names)
        items.push_back({name, {}, what, {}, name, 0, false, {}});
    return items;
}

std::vector<Item> pathItems(const QString& pageFolder, const Context& context) {
    std::vector<Item> items;
    if (pageFolder.isEmpty() || context.kind != Kind::Path)
        return items;
    const QDir folder(QDir(pageFolder).filePath(context.folder));
    // Names only: nothing is opened, and a folder of a million files offers its first few thousand.
    constexpr int kMostEntries = 5000;
    QDirIterator entries(folder.path(), QDir::AllEntries | QDir::NoDotAndDotDot);
    std::vector<std::pair<QString, bool>> found;
    while (entries.hasNext() && int(found.size()) < kMostEntries) {
        entries.next();
        const QFileInfo info = entries.fileInfo();
        const QString name = info.fileName();
        if (name.contains(QChar::ReplacementCharacter) ||
            std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
            continue;
        found.emplace_back(name, info.isDir());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second : a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    // What a page writes in an address: spaces and the like percent-encoded.
    const auto address = [](const QString& name) { return QString::fromUtf8(QUrl::toPercentEncoding(name, "!$&'()*+,;=@~")); };
    // An image in <img src>: offered once more, with its width and height.
    const bool imageSource = context.element == u"img" && context.attribute == u"src";
    static const QStringList kImages{"png", "jpg", "jpeg", "gif", "webp", "svg", "bmp", "ico"};
    for (const auto& [name, isFolder] : found) {
        items.push_back({isFolder ? name + u'/' : name, {}, isFolder ? QStringLiteral("Folder") : QString(), {},
                         address(name) + (isFolder ? QStringLiteral("/") : QString()), 0, isFolder, {}});
        if (imageSource && !isFolder && kImages.contains(QFileInfo(name).suffix().toLower()))
            items.push_back({name + QStringLiteral("  + width and height"), {},
                             QStringLiteral("The image, with the `width` and `height` its file has, so that the page "
                                            "keeps its place for it while it loads."),
                             {}, address(name), 0, false, folder.filePath(name)});
    }
    return items;
}

QString withImageSize(const QString& text, QSize size, bool quoteFollows) {
    if (!size.isValid())
        return text;
    return text + QStringLiteral("\" width=\"%1\" height=\"%2").arg(size.width()).arg(size.height()) +
           (quoteFollows ? QString() : QStringLiteral("\""));
}

std::vector<Item> itemsFor(const Context& context) {
    const HtmlData& data = HtmlData::instance();
    std::vector<Item> items;
    const CssData& css = CssData::instance();
    // A function's caret goes between its parentheses; an at-rule's prelude follows a space.
    const auto cssEntries = [&](const std::vector<CssData::Entry>& entries, const QString& after = QString()) {
        for (const CssData::Entry& e : entries) {
            const bool function = e.name.endsWith(u')');
            items.push_back({e.name, {}, e.description, e.reference, function ? e.name : e.name + after, function ? 1 : 0, false, {}});
        }
    };
    switch (context.kind) {
    case Kind::None:
    case Kind::Path:        // the files of the page's folder: pathItems()
    case Kind::ClassName:   // the page's names: nameItems()
    case Kind::IdReference:
    case Kind::CssClassSelector:
    case Kind::CssIdSelector:
        break;
    case Kind::CssProperty:
        for (const CssData::Property& p : css.properties())
            items.push_back({p.name, {}, p.description, p.reference, p.name + QStringLiteral(": "), 0,
                             !p.values.isEmpty() || p.takesColour, {}});
        break;
    case Kind::CssValue: {
        const CssData::Property* p = css.property(context.attribute);
        QStringList values = p ? p->values : QStringList();
        if (p && p->takesColour)
            values << css.colours() << css.colourFunctions();
        values << css.wideValues();
        for (const QString& value : std::as_const(values))
            items.push_back({value, {}, p ? p->description : QString(), p ? p->reference : QString(), value,
                             value.endsWith(u')') ? 1 : 0, false, {}});
        break;
    }
    case Kind::CssAtRule:
        cssEntries(css.atRules(), QStringLiteral(" "));
        break;
    case Kind::CssPseudo:
        cssEntries(context.typed.startsWith(QStringLiteral("::")) ? css.pseudoElements() : css.pseudoClasses());
        if (context.typed == u":")
            cssEntries(css.pseudoElements());
        break;
    case Kind::ElementName:
        for (const HtmlData::Element& e : data.elements()) {
            Item item{e.name, {}, e.description, e.reference, e.name, 0, false, {}};
            // The attributes that must be present come along, the caret in the first one's value.
            for (const QString& name : e.required)
                item.text += u' ' + name + QStringLiteral("=\"\"");
            if (!e.required.isEmpty()) {
                item.caretBack = int(item.text.size() - item.text.indexOf(u'"') - 1);
                const HtmlData::Attribute* first = data.attribute(e.name, e.required.front());
                item.offersValues = first && !first->valueSet.isEmpty();
            }
            items.push_back(std::move(item));
        }
        std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.label < b.label; });
        break;
    case Kind::AttributeName: {
        const auto add = [&](const HtmlData::Attribute& a) {
            if (context.present.contains(a.name) || data.isObsoleteAttribute(context.element, a.name))
                return;
            if (a.takesNoValue())
                items.push_back({a.name, {}, a.description, a.reference, a.name, 0, false, {}});
            else
                items.push_back({a.name, {}, a.description, a.reference, a.name + QStringLiteral("=\"\""), 1,
                                 !a.valueSet.isEmpty(), {}});
        };
        if (const HtmlData::Element* e = data.element(context.element))
            for (const HtmlData::Attribute& a : e->attributes)
                add(a);
        for (const HtmlData::Attribute& a : data.globalAttributes())
            add(a);
        break;
    }
    case Kind::AttributeValue: {
        const HtmlData::Attribute* a = data.attribute(context.element, context.attribute);
        if (!a || a->takesNoValue())
            break;
        for (const QString& value : data.values(a->valueSet)) {
            const QString text = context.quoted ? value : u'"' + value + u'"';
            items.push_back({value, {}, a->description, a->reference, text, 0, false, {}});
        }
        break;
    }
    case Kind::CharacterReference:
        for (const HtmlData::CharacterReference& r : data.characterReferences()) {
            QString codes;
            for (const char32_t c : r.characters.toUcs4())
                codes += QStringLiteral(" U+%1").arg(uint(c), 4, 16, QChar(u'0')).toUpper();
            const QString description = r.name.endsWith(u';')
                                            ? codes.trimmed()
                                            : codes.trimmed() + QStringLiteral(" (an old form: write `&%1;`)").arg(r.name);
            items.push_back({r.name, r.characters, description, {}, r.name, 0, false, {}});
        }
        // The references pages use most first, so that `&co` offers `&copy;` before `&colon;`;
        // the others alphabetically, and the old forms without a semicolon last.
        std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            if (a.label.endsWith(u';') != b.label.endsWith(u';'))
                return a.label.endsWith(u';');
            const int ca = commonness(a.label), cb = commonness(b.label);
            return ca != cb ? ca < cb : a.label < b.label;
        });
        break;
    }
    return items;
}

std::vector<int> rank(const std::vector<Item>& items, QStringView typed) {
    // Exact before prefix before subsequence; within each, a match of the case typed first.
    constexpr int kNoMatch = 5;
    const auto score = [&](const QString& label) {
        // A reference's name is typed without its semicolon.
        const QStringView name = QStringView(label).chopped(label.endsWith(u';') ? 1 : 0);
        if (name == typed)
            return 0;
        if (name.compare(typed, Qt::CaseInsensitive) == 0)
            return 1;
        if (label.startsWith(typed))
            return 2;
        if (label.startsWith(typed, Qt::CaseInsensitive))
            return 3;
        qsizetype at = 0;
        for (const QChar c : typed) {
            at = label.indexOf(c, at, Qt::CaseInsensitive);
            if (at < 0)
                return kNoMatch;
            ++at;
        }
        return 4;
    };
    std::vector<std::pair<int, int>> scored;
    for (int i = 0; i < int(items.size()); ++i)
        if (const int s = score(items[size_t(i)].label); s < kNoMatch)
            scored.emplace_back(s, i);
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> out;
    out.reserve(scored.size());
    for (const auto& [s, i] : scored)
        out.push_back(i);
    return out;
}

} // namespace completion
