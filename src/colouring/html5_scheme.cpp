#include "html5_scheme.h"

#include "embedded_code.h"
#include "html_data.h"

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

/// Set while the script being read (its tag or its text) holds data rather than JavaScript.
constexpr std::uint32_t kScriptIsData = 1u << 31;

/// A tag or attribute name in lower case, kept without allocating: every tag of a big page
/// passes through here. A name too long to keep matches nothing the painter looks for.
class ShortName {
public:
    void set(QStringView name) {
        size_ = name.size() <= qsizetype(kLongest) ? name.size() : 0;
        for (qsizetype i = 0; i < size_; ++i) {
            const char16_t c = name[i].unicode();
            chars_[size_t(i)] = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        }
    }
    QStringView view() const { return QStringView(chars_.data(), size_); }
    bool operator==(QStringView other) const { return view() == other; }

private:
    static constexpr size_t kLongest = 24;
    std::array<char16_t, kLongest> chars_{};
    qsizetype size_ = 0;
};

class LinePainter : public HtmlTokenizer::Listener {
public:
    LinePainter(LineState& state, QStringView line, std::uint8_t* out) : state_(state), line_(line), out_(out) {
        const HtmlTokenizer& html = state.html;
        if (html.state() == HtmlTokenizer::State::RawText && html.rawText() == HtmlTokenizer::RawText::Script)
            code_ = Code::Script;
        else if (html.state() == HtmlTokenizer::State::RawText && html.rawText() == HtmlTokenizer::RawText::Style)
            code_ = Code::Style;
    }

    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        const QStringView text = line_.mid(start, length);
        std::uint8_t colour = Plain;
        switch (kind) {
        case HtmlSpan::TagBracket:
            colour = Tag;
            if (text.startsWith(u'<')) {
                endTag_ = text == u"</";
                if (code_ != Code::None) { // the end tag of a script or style sheet: its code ends here
                    colourCode(start);
                    code_ = Code::None;
                    state_.code = 0;
                }
            }
            break;
        case HtmlSpan::TagName:
            colour = isSuspectElement(text, state_.html.inForeignContent()) ? Warning : Tag;
            element_.set(text);
            if (!endTag_ && element_ == u"script")
                state_.code = 0; // JavaScript unless its type says otherwise
            break;
        case HtmlSpan::AttributeName:
            attribute_.set(text);
            colour = HtmlData::instance().isObsoleteAttribute(element_.view(), attribute_.view()) ? Warning : AttributeName;
            break;
        case HtmlSpan::AttributeValue:
            colour = AttributeValue;
            break;
        case HtmlSpan::Comment: colour = Comment; break;
        case HtmlSpan::Doctype: colour = Doctype; break;
        case HtmlSpan::Cdata: colour = Cdata; break;
        case HtmlSpan::CharacterReference: colour = Reference; break;
        }
        std::memset(out_ + start, colour, size_t(length));
        if (kind == HtmlSpan::AttributeValue)
            attributeValue(start, text);
    }

    void tag(const HtmlTag& tag) override {
        // A script or style start tag in HTML starts its code; the tokenizer switches to its text next.
        if (tag.endTag || !tag.complete || state_.html.inForeignContent())
            return;
        if (element_ == u"script") {
            code_ = Code::Script;
            state_.code = (state_.code & kScriptIsData) | embedded_code::jsStart();
        } else if (element_ == u"style") {
            code_ = Code::Style;
            state_.code = embedded_code::cssStart();
        } else {
            return;
        }
        codeStart_ = tag.end;
    }

    /// The line is read: code that goes on past it is coloured up to its end.
    void lineEnds() {
        if (code_ != Code::None)
            colourCode(line_.size());
    }

private:
    enum class Code { None, Script, Style };

    void colourCode(qsizetype end) {
        if (end <= codeStart_)
            return;
        const QStringView code = line_.mid(codeStart_, end - codeStart_);
        std::uint32_t lexer = state_.code & ~kScriptIsData;
        if (code_ == Code::Style)
            embedded_code::colourCss(code, lexer, out_ + codeStart_);
        else if (!(state_.code & kScriptIsData))
            embedded_code::colourJs(code, lexer, out_ + codeStart_);
        state_.code = (state_.code & kScriptIsData) | lexer;
    }

    /// A style or event handler attribute holds code; a script's type says whether it holds JavaScript.
    void attributeValue(qsizetype start, QStringView text) {
        qsizetype from = 0, length = text.size();
        if (length > 0 && (text[0] == u'"' || text[0] == u'\'')) {
            ++from, --length;
            if (length > 0 && text.back() == text[0])
                --length;
        }
        const QStringView value = text.mid(from, length);
        if (attribute_ == u"style") {
            std::uint32_t lexer = embedded_code::cssDeclarations();
            embedded_code::colourCss(value, lexer, out_ + start + from);
        } else if (attribute_.view().startsWith(u"on") && attribute_.view().size() > 2) {
            std::uint32_t lexer = embedded_code::jsStart();
            embedded_code::colourJs(value, lexer, out_ + start + from);
        } else if (attribute_ == u"type" && element_ == u"script" && !endTag_ &&
                   !embedded_code::isJavaScriptType(value)) {
            state_.code |= kScriptIsData;
        }
    }

    LineState& state_;
    QStringView line_;
    std::uint8_t* out_;
    bool endTag_ = false;
    ShortName element_;
    ShortName attribute_;
    Code code_ = Code::None;
    qsizetype codeStart_ = 0;
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

void colourLine(LineState& state, QStringView line, std::uint8_t* out) {
    std::fill_n(out, line.size(), Plain); // an empty line may come with no buffer at all
    LinePainter painter(state, line, out);
    state.html.feed(line, 0, painter);
    painter.lineEnds();
}

LineState startState(Language language) {
    LineState state;
    if (language == Language::Css)
        state.code = embedded_code::cssStart();
    else if (language == Language::JavaScript || language == Language::Json)
        state.code = embedded_code::jsStart();
    return state;
}

void colourLine(Language language, LineState& state, QStringView line, std::uint8_t* out) {
    switch (language) {
    case Language::Html:
    case Language::Xml:
        colourLine(state, line, out);
        return;
    case Language::Css:
        std::fill_n(out, line.size(), Plain);
        embedded_code::colourCss(line, state.code, out);
        return;
    case Language::JavaScript:
    case Language::Json:
        std::fill_n(out, line.size(), Plain);
        embedded_code::colourJs(line, state.code, out);
        return;
    case Language::Plain:
        std::fill_n(out, line.size(), Plain);
        return;
    }
}

std::vector<std::uint8_t> colourText(QStringView text, Language language) {
    std::vector<std::uint8_t> colours(size_t(text.size()), Plain);
    LineState state = startState(language);
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n' && text[end] != QChar::ParagraphSeparator)
            ++end;
        colourLine(language, state, text.mid(start, end - start), colours.data() + start);
        if (end >= n)
            break;
        start = end + (text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n' ? 2 : 1);
    }
    return colours;
}
} // namespace html5_scheme
