#include "references.h"

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
    QString attribute; ///< the URL attribute being read; empty when the current one is not
    qsizetype valueStart = -1;
    qsizetype valueEnd = -1;

    void flush() {
        if (!attribute.isEmpty() && valueStart >= 0)
            addValue();
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
            if (text[start] == u'<')
                element.clear();
            break;
        case HtmlSpan::TagName:
            element += text.mid(start, length).toString().toLower();
            break;
        case HtmlSpan::AttributeName:
            flush();
            if (namesFile(text.mid(start, length)) && element != u"base")
                attribute = text.mid(start, length).toString().toLower();
            break;
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
    void tag(const HtmlTag&) override { flush(); }
};

bool endsWithWord(QStringView text, qsizetype end, QStringView word) {
    return end >= word.size() && text.mid(end - word.size(), word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

/// url() and @import, through the colours of the style sheet: strings and unquoted urls are
/// the CSS string colour, so comments and other strings are told apart as the lexer reads them.
void findInStyles(QStringView text, Language language, std::vector<Reference>& out) {
    const std::vector<std::uint8_t> colours = html5_scheme::colourText(text, language);
    const qsizetype size = text.size();
    for (qsizetype at = 0; at < size;) {
        if (colours[at] != html5_scheme::CssString) {
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < size && colours[end] == html5_scheme::CssString)
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
            while (before > 0 && isSpace(text[before - 1]))
                --before;
            if (before > 0 && text[before - 1] == u'(') {
                --before;
                while (before > 0 && isSpace(text[before - 1]))
                    --before;
                if (endsWithWord(text, before, u"url"))
                    kind = Kind::CssUrl;
            } else if (endsWithWord(text, before, u"@import") && colours[before - 1] == html5_scheme::CssAtRule) {
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
    if (language == Language::Html) {
        AttributeReader reader;
        reader.text = text;
        reader.out = &found;
        HtmlTokenizer tokenizer;
        tokenizer.feed(text, 0, reader);
        tokenizer.finish(text.size(), reader);
        reader.flush();
    }
    if (language != Language::Html && language != Language::Css)
        return found;
    // A page without either word has no style sheet reference to find: skip colouring it.
    if (language == Language::Html && !text.contains(u"url(", Qt::CaseInsensitive) &&
        !text.contains(u"@import", Qt::CaseInsensitive))
        return found;
    const auto attributes = found.size();
    findInStyles(text, language, found);
    std::inplace_merge(found.begin(), found.begin() + attributes, found.end(),
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
