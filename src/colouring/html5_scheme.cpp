#include "html5_scheme.h"

#include <QLatin1StringView>
#include <algorithm>
#include <array>
#include <cstring>

namespace html5_scheme {
namespace {
// Sorted, lower case: looked up by binary search.
// clang-format off
constexpr std::array kHtmlElements{
    "a", "abbr", "address", "area", "article", "aside", "audio", "b", "base", "bdi", "bdo",
    "blockquote", "body", "br", "button", "canvas", "caption", "cite", "code", "col", "colgroup",
    "data", "datalist", "dd", "del", "details", "dfn", "dialog", "div", "dl", "dt", "em", "embed",
    "fieldset", "figcaption", "figure", "footer", "form", "h1", "h2", "h3", "h4", "h5", "h6", "head",
    "header", "hgroup", "hr", "html", "i", "iframe", "img", "input", "ins", "kbd", "label", "legend",
    "li", "link", "main", "map", "mark", "math", "menu", "meta", "meter", "nav", "noscript", "object",
    "ol", "optgroup", "option", "output", "p", "picture", "pre", "progress", "q", "rp", "rt", "ruby",
    "s", "samp", "script", "search", "section", "select", "slot", "small", "source", "span", "strong",
    "style", "sub", "summary", "sup", "svg", "table", "tbody", "td", "template", "textarea", "tfoot",
    "th", "thead", "time", "title", "tr", "track", "u", "ul", "var", "video", "wbr",
};
// The elements the standard lists as obsolete: browsers still know them, pages should not use them.
constexpr std::array kObsoleteElements{
    "acronym", "applet", "basefont", "bgsound", "big", "blink", "center", "dir", "font", "frame",
    "frameset", "image", "isindex", "keygen", "listing", "marquee", "menuitem", "multicol", "nextid",
    "nobr", "noembed", "noframes", "param", "plaintext", "rb", "rtc", "spacer", "strike", "tt", "xmp",
};
constexpr std::array kForeignElements{
    "a", "animate", "animatemotion", "animatetransform", "annotation", "annotation-xml", "circle",
    "clippath", "defs", "desc", "discard", "ellipse", "feblend", "fecolormatrix",
    "fecomponenttransfer", "fecomposite", "feconvolvematrix", "fediffuselighting",
    "fedisplacementmap", "fedistantlight", "fedropshadow", "feflood", "fefunca", "fefuncb",
    "fefuncg", "fefuncr", "fegaussianblur", "feimage", "femerge", "femergenode", "femorphology",
    "feoffset", "fepointlight", "fespecularlighting", "fespotlight", "fetile", "feturbulence",
    "filter", "foreignobject", "g", "image", "line", "lineargradient", "maction", "marker", "mask",
    "math", "menclose", "merror", "metadata", "mfenced", "mfrac", "mi", "mmultiscripts", "mn", "mo",
    "mover", "mpadded", "mpath", "mphantom", "mprescripts", "mroot", "mrow", "ms", "mspace", "msqrt",
    "mstyle", "msub", "msubsup", "msup", "mtable", "mtd", "mtext", "mtr", "munder", "munderover",
    "none", "path", "pattern", "polygon", "polyline", "radialgradient", "rect", "script",
    "semantics", "set", "stop", "style", "svg", "switch", "symbol", "text", "textpath", "title",
    "tspan", "use", "view",
};
// clang-format on

constexpr bool before(const char* a, const char* b) {
    while (*a && *a == *b)
        ++a, ++b;
    return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b);
}
static_assert(std::is_sorted(kHtmlElements.begin(), kHtmlElements.end(), before));
static_assert(std::is_sorted(kObsoleteElements.begin(), kObsoleteElements.end(), before));
static_assert(std::is_sorted(kForeignElements.begin(), kForeignElements.end(), before));

template <size_t N> bool listed(const std::array<const char*, N>& list, const char* name) {
    return std::binary_search(list.begin(), list.end(), name, before);
}

class LinePainter : public HtmlTokenizer::Listener {
public:
    LinePainter(const HtmlTokenizer& tokenizer, QStringView line, std::uint8_t* out)
        : tokenizer_(tokenizer), line_(line), out_(out) {}
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        std::uint8_t colour = Plain;
        switch (kind) {
        case HtmlSpan::TagBracket: colour = Tag; break;
        case HtmlSpan::TagName:
            colour = isSuspectElement(line_.mid(start, length), tokenizer_.inForeignContent()) ? Warning : Tag;
            break;
        case HtmlSpan::AttributeName: colour = AttributeName; break;
        case HtmlSpan::AttributeValue: colour = AttributeValue; break;
        case HtmlSpan::Comment: colour = Comment; break;
        case HtmlSpan::Doctype: colour = Doctype; break;
        case HtmlSpan::Cdata: colour = Cdata; break;
        case HtmlSpan::CharacterReference: colour = Reference; break;
        }
        std::memset(out_ + start, colour, size_t(length));
    }

private:
    const HtmlTokenizer& tokenizer_;
    QStringView line_;
    std::uint8_t* out_;
};
} // namespace

bool isSuspectElement(QStringView name, bool inForeignContent) {
    // Element names are ASCII; anything longer than any listed name, or not ASCII, is unknown
    // unless it is a custom element.
    char lower[32];
    const bool fits = name.size() < qsizetype(sizeof lower) &&
                      std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 128; });
    if (fits) {
        for (qsizetype i = 0; i < name.size(); ++i) {
            const char16_t u = name[i].unicode();
            lower[i] = char(u >= 'A' && u <= 'Z' ? u + 32 : u);
        }
        lower[name.size()] = 0;
        if (inForeignContent && (listed(kForeignElements, lower) || listed(kHtmlElements, lower)))
            return false;
        if (!inForeignContent && listed(kHtmlElements, lower))
            return false;
        if (listed(kObsoleteElements, lower))
            return true;
    }
    // A custom element: a hyphen, and an ASCII lower-case letter first.
    const char16_t first = name.isEmpty() ? 0 : name[0].unicode();
    return !(name.contains(u'-') && first >= 'a' && first <= 'z');
}

void colourLine(HtmlTokenizer& state, QStringView line, std::uint8_t* out) {
    std::fill_n(out, line.size(), Plain); // an empty line may come with no buffer at all
    LinePainter painter(state, line, out);
    state.feed(line, 0, painter);
}

std::vector<std::uint8_t> colourText(QStringView text) {
    std::vector<std::uint8_t> colours(size_t(text.size()), Plain);
    HtmlTokenizer state;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n' && text[end] != QChar::ParagraphSeparator)
            ++end;
        colourLine(state, text.mid(start, end - start), colours.data() + start);
        if (end >= n)
            break;
        start = end + (text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n' ? 2 : 1);
    }
    return colours;
}
} // namespace html5_scheme
