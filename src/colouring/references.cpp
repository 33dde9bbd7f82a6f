#include "references.h"

#include "embedded_code.h"
#include "html5_scheme.h"
#include "html_tokenizer.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

namespace references {
namespace {

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

/// The attributes whose values are URLs of files a page uses or links to.
bool namesFile(QStringView attribute) {
    static constexpr std::u16string_view kNames[] = {u"href", u"src", u"srcset", u"action", u"poster", u"data"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [attribute](std::u16string_view name) { return attribute.compare(name, Qt::CaseInsensitive) == 0; });
}

/// The tags' URL attributes, through the tokenizer's spans: a value may come in pieces (around
/// a character reference), so its range grows until the next attribute or tag.
struct AttributeReader : HtmlTokenizer::Listener {
    QStringView text;
    std::vector<Reference>* out = nullptr;
    QString element;
    QString attribute; ///< the URL attribute being read (or style); empty when the current one is neither
    qsizetype valueStart = -1;
    qsizetype valueEnd = -1;
    /// The page's style sheets, for url() and @import: style attributes (declarations) and the
    /// content of style elements, with the state their lexer starts in.
    struct Styles {
        qsizetype start;
        qsizetype end;
        bool declarations;
    };
    std::vector<Styles> styles;
    qsizetype styleContent = -1; ///< where the open style element's content starts
    qsizetype bracket = 0;       ///< the last `<` or `</`

    void flush() {
        if (attribute == u"style" && valueStart >= 0) {
            qsizetype start = valueStart, end = valueEnd;
            if (text[start] == u'"' || text[start] == u'\'') {
                const QChar quote = text[start++];
                if (end > start && text[end - 1] == quote)
                    --end;
            }
            styles.push_back({start, end, true});
        } else if (!attribute.isEmpty() && valueStart >= 0) {
            addValue();
        }
        attribute.clear();
        valueStart = valueEnd = -1;
    }
    void addValue() {
        qsizetype start = valueStart;
        qsizetype end = valueEnd;
        if (text[start] == u'"' || text[start] == u'\'') {
            const QChar quote = text[start++];
            if (end > start && text[end - 1] == quote)
                --end;
        }
        if (attribute == u"srcset") {
            // Candidates: a URL, then descriptors, up to a comma.
            qsizetype at = start;
            while (at < end) {
                while (at < end && (isSpace(text[at]) || text[at] == u','))
                    ++at;
                const qsizetype urlStart = at;
                while (at < end && !isSpace(text[at]))
                    ++at;
                qsizetype urlEnd = at;
                const bool endsCandidate = urlEnd > urlStart && text[urlEnd - 1] == u',';
                while (urlEnd > urlStart && text[urlEnd - 1] == u',')
                    --urlEnd;
                if (urlEnd > urlStart)
                    out->push_back({urlStart, urlEnd - urlStart, Kind::Attribute, element, attribute});
                if (!endsCandidate)
                    while (at < end && text[at] != u',')
                        ++at;
            }
            return;
        }
        while (start < end && isSpace(text[start]))
            ++start;
        while (end > start && isSpace(text[end - 1]))
            --end;
        if (end > start)
            out->push_back({start, end - start, Kind::Attribute, element, attribute});
    }
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        switch (kind) {
        case HtmlSpan::TagBracket:
            flush();
            if (text[start] == u'<') {
                element.clear();
                bracket = start;
            }
            break;
        case HtmlSpan::TagName:
            element += text.mid(start, length).toString().toLower();
            if (styleContent >= 0 && text[bracket + 1] == u'/' && element == u"style") {
                styles.push_back({styleContent, bracket, false});
                styleContent = -1;
            }
            break;
        case HtmlSpan::AttributeName: {
            flush();
            const QStringView name = text.mid(start, length);
            if ((namesFile(name) && element != u"base") || name.compare(u"style", Qt::CaseInsensitive) == 0)
                attribute = name.toString().toLower();
            break;
        }
        case HtmlSpan::AttributeValue:
        case HtmlSpan::CharacterReference:
            if (attribute.isEmpty() || (kind == HtmlSpan::CharacterReference && valueStart < 0))
                break;
            if (valueStart < 0)
                valueStart = start;
            valueEnd = start + length;
            break;
        default:
            break;
        }
    }
    void tag(const HtmlTag& tag) override {
        flush();
        if (!tag.endTag && tag.complete && element == u"style")
            styleContent = tag.end;
    }
};

bool endsWithWord(QStringView text, qsizetype end, QStringView word) {
    return end >= word.size() && text.mid(end - word.size(), word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

/// url() and @import in text[from, to), a style sheet whose lexer starts in @p state, through
/// the lexer's colours: strings and unquoted urls are the CSS string colour, so comments and
/// other strings are told apart as the lexer reads them.
void findInStyles(QStringView text, qsizetype from, qsizetype to, std::uint32_t state, std::vector<Reference>& out) {
    std::vector<std::uint8_t> colours(size_t(to - from), html5_scheme::Plain);
    for (qsizetype lineStart = from; lineStart < to;) {
        qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0 || lineEnd > to)
            lineEnd = to;
        embedded_code::colourCss(text.mid(lineStart, lineEnd - lineStart), state, colours.data() + (lineStart - from));
        lineStart = lineEnd + 1;
    }
    const auto colourAt = [&](qsizetype at) { return at >= from && at < to ? colours[size_t(at - from)] : std::uint8_t(html5_scheme::Plain); };
    for (qsizetype at = from; at < to;) {
        if (colourAt(at) != html5_scheme::CssString) {
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < to && colourAt(end) == html5_scheme::CssString)
            ++end;
        const QStringView run = text.mid(at, end - at);
        qsizetype start = at, stop = end;
        std::optional<Kind> kind;
        if (run.startsWith(u"url(", Qt::CaseInsensitive)) {
            kind = Kind::CssUrl;
            start += 4;
            if (stop > start && text[stop - 1] == u')')
                --stop;
        } else if (run.startsWith(u'"') || run.startsWith(u'\'')) {
            ++start;
            if (stop > start && text[stop - 1] == run[0])
                --stop;
            qsizetype before = at;
            while (before > from && isSpace(text[before - 1]))
                --before;
            if (before > from && text[before - 1] == u'(') {
                --before;
                while (before > from && isSpace(text[before - 1]))
                    --before;
                if (endsWithWord(text, before, u"url"))
                    kind = Kind::CssUrl;
            } else if (endsWithWord(text, before, u"@import") && colourAt(before - 1) == html5_scheme::CssAtRule) {
                kind = Kind::CssImport;
            }
        }
        while (start < stop && isSpace(text[start]))
            ++start;
        while (stop > start && isSpace(text[stop - 1]))
            --stop;
        if (kind && stop > start)
            out.push_back({start, stop - start, *kind, {}, {}});
        at = end;
    }
}

} // namespace

std::vector<Reference> find(QStringView text, Language language) {
    std::vector<Reference> found;
    if (language == Language::Css) {
        findInStyles(text, 0, text.size(), embedded_code::cssStart(), found);
        return found;
    }
    if (language != Language::Html)
        return found;
    AttributeReader reader;
    reader.text = text;
    reader.out = &found;
    HtmlTokenizer::read(text, reader);
    reader.flush();
    if (reader.styleContent >= 0) // a style element the page ends in
        reader.styles.push_back({reader.styleContent, text.size(), false});
    // Only the page's style sheets are read as CSS.
    const auto attributes = found.size();
    for (const AttributeReader::Styles& style : reader.styles)
        findInStyles(text, style.start, style.end, style.declarations ? embedded_code::cssDeclarations() : embedded_code::cssStart(),
                     found);
    std::sort(found.begin() + qsizetype(attributes), found.end(), [](const Reference& a, const Reference& b) { return a.start < b.start; });
    std::inplace_merge(found.begin(), found.begin() + qsizetype(attributes), found.end(),
                       [](const Reference& a, const Reference& b) { return a.start < b.start; });
    return found;
}

bool isLocal(QStringView url) {
    const QStringView u = url.trimmed();
    if (u.startsWith(u"//"))
        return false;
    // A scheme: letters, digits, + - . before the first ':' that comes before any / ? #.
    for (qsizetype i = 0; i < u.size(); ++i) {
        const QChar c = u[i];
        if (c == u':')
            return i == 0;
        if (c == u'/' || c == u'?' || c == u'#')
            return true;
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.'))
            return true;
    }
    return true;
}

SplitUrl split(QStringView url) {
    qsizetype end = 0;
    while (end < url.size() && url[end] != u'?' && url[end] != u'#')
        ++end;
    return {url.first(end), url.sliced(end)};
}

} // namespace references
