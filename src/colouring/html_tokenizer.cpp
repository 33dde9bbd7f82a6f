#include "html_tokenizer.h"

#include <QString>
#include <algorithm>
#include <array>

namespace {
using State = HtmlTokenizer::State;
using RawText = HtmlTokenizer::RawText;

bool isSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\f' || u == '\r' || u == 0x2029;
}
bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode() | 0x20;
    return u >= 'a' && u <= 'z';
}
bool isAsciiAlnum(QChar c) {
    return isAsciiLetter(c) || (c.unicode() >= '0' && c.unicode() <= '9');
}

struct RawTextName {
    RawText kind;
    QLatin1StringView name;
};
constexpr std::array kRawText{
    RawTextName{RawText::Script, QLatin1StringView("script")},
    RawTextName{RawText::Style, QLatin1StringView("style")},
    RawTextName{RawText::Textarea, QLatin1StringView("textarea")},
    RawTextName{RawText::Title, QLatin1StringView("title")},
    RawTextName{RawText::Xmp, QLatin1StringView("xmp")},
    RawTextName{RawText::Iframe, QLatin1StringView("iframe")},
    RawTextName{RawText::Noembed, QLatin1StringView("noembed")},
    RawTextName{RawText::Noframes, QLatin1StringView("noframes")},
    RawTextName{RawText::Noscript, QLatin1StringView("noscript")},
};

QLatin1StringView rawTextName(RawText kind) {
    for (const RawTextName& r : kRawText)
        if (r.kind == kind)
            return r.name;
    return {};
}

bool startsWithNoCase(QStringView text, qsizetype at, QLatin1StringView word) {
    return text.size() - at >= word.size() && text.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

/// The HTML elements whose tag, met in svg or math, ends foreign content (`font` only with
/// certain attributes, which is left out here).
bool breaksOutOfForeignContent(QStringView name, bool endTag) {
    static const std::array kStartTags{
        QLatin1StringView("b"),      QLatin1StringView("big"),    QLatin1StringView("blockquote"),
        QLatin1StringView("body"),   QLatin1StringView("br"),     QLatin1StringView("center"),
        QLatin1StringView("code"),   QLatin1StringView("dd"),     QLatin1StringView("div"),
        QLatin1StringView("dl"),     QLatin1StringView("dt"),     QLatin1StringView("em"),
        QLatin1StringView("embed"),  QLatin1StringView("h1"),     QLatin1StringView("h2"),
        QLatin1StringView("h3"),     QLatin1StringView("h4"),     QLatin1StringView("h5"),
        QLatin1StringView("h6"),     QLatin1StringView("head"),   QLatin1StringView("hr"),
        QLatin1StringView("i"),      QLatin1StringView("img"),    QLatin1StringView("li"),
        QLatin1StringView("listing"), QLatin1StringView("menu"),  QLatin1StringView("meta"),
        QLatin1StringView("nobr"),   QLatin1StringView("ol"),     QLatin1StringView("p"),
        QLatin1StringView("pre"),    QLatin1StringView("ruby"),   QLatin1StringView("s"),
        QLatin1StringView("small"),  QLatin1StringView("span"),   QLatin1StringView("strong"),
        QLatin1StringView("strike"), QLatin1StringView("sub"),    QLatin1StringView("sup"),
        QLatin1StringView("table"),  QLatin1StringView("tt"),     QLatin1StringView("u"),
        QLatin1StringView("ul"),     QLatin1StringView("var")};
    auto is = [&](QLatin1StringView word) { return name.compare(word, Qt::CaseInsensitive) == 0; };
    if (endTag)
        return is(QLatin1StringView("p")) || is(QLatin1StringView("br"));
    return std::any_of(kStartTags.begin(), kStartTags.end(), is);
}

/// Length of the character reference at @p at (on its `&`), or 0 when there is none.
qsizetype referenceLength(QStringView text, qsizetype at) {
    qsizetype i = at + 1;
    if (i < text.size() && text[i] == u'#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
        if (hex)
            ++i;
        const qsizetype digits = i;
        auto isDigit = [hex](QChar c) {
            const char16_t u = c.unicode();
            return (u >= '0' && u <= '9') || (hex && (u | 0x20) >= 'a' && (u | 0x20) <= 'f');
        };
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == digits)
            return 0;
    } else {
        while (i < text.size() && isAsciiAlnum(text[i]))
            ++i;
        if (i == at + 1)
            return 0;
    }
    return i < text.size() && text[i] == u';' ? i - at + 1 : 0;
}
} // namespace

int HtmlTokenizer::lineState() const {
    // 5 bits of state, 4 of raw text, 3 flags, 4 of the tag's raw text, 14 of foreign depth, a flag.
    const unsigned depth = std::min<unsigned>(foreignDepth_, 0x3FFF);
    return int(unsigned(state_) | unsigned(rawText_) << 5 | unsigned(endTag_) << 9 | unsigned(selfClosing_) << 10 |
               unsigned(tagForeign_) << 11 | unsigned(tagRawText_) << 12 | depth << 16 | unsigned(tagBreaksOut_) << 30);
}

HtmlTokenizer HtmlTokenizer::fromLineState(int packed) {
    const auto bits = unsigned(packed);
    HtmlTokenizer t;
    t.state_ = State(bits & 31);
    t.rawText_ = RawText(bits >> 5 & 15);
    t.endTag_ = bits >> 9 & 1;
    t.selfClosing_ = bits >> 10 & 1;
    t.tagForeign_ = bits >> 11 & 1;
    t.tagRawText_ = RawText(bits >> 12 & 15);
    t.foreignDepth_ = std::uint16_t(bits >> 16 & 0x3FFF);
    t.tagBreaksOut_ = bits >> 30 & 1;
    return t;
}

void HtmlTokenizer::startTag(qsizetype at, bool endTag) {
    endTag_ = endTag;
    selfClosing_ = false;
    tagStart_ = at;
    nameStart_ = at + (endTag ? 2 : 1);
    nameLength_ = 0;
}

void HtmlTokenizer::emitTag(qsizetype end, bool complete, Listener& listener) {
    HtmlTag tag{tagStart_, end, nameStart_, nameLength_, endTag_, selfClosing_, complete};
    listener.tag(tag);
    state_ = State::Data;
}

void HtmlTokenizer::finish(qsizetype end, Listener& listener) {
    switch (state_) {
    case State::TagName:
    case State::BeforeAttributeName:
    case State::AttributeName:
    case State::AfterAttributeName:
    case State::BeforeAttributeValue:
    case State::AttributeValueDoubleQuoted:
    case State::AttributeValueSingleQuoted:
    case State::AttributeValueUnquoted:
    case State::AfterAttributeValueQuoted:
    case State::SelfClosingStartTag:
        emitTag(end, false, listener);
        break;
    default:
        break;
    }
    state_ = State::Data;
}

void HtmlTokenizer::feed(QStringView text, qsizetype offset, Listener& listener) {
    const qsizetype n = text.size();
    tokenStart_ = offset;
    // The span that began before this call, or at tokenStart_, runs through position i (exclusive).
    auto spanTo = [&](HtmlSpan kind, qsizetype i) {
        if (offset + i > tokenStart_)
            listener.span(kind, tokenStart_, offset + i - tokenStart_);
        tokenStart_ = offset + i;
    };
    // A raw-text element's start tag switches the tokenizer once it ends.
    auto closeTag = [&](qsizetype i, bool selfClosing) {
        selfClosing_ = selfClosing;
        listener.span(HtmlSpan::TagBracket, offset + i - (selfClosing ? 1 : 0), selfClosing ? 2 : 1);
        const HtmlTag tag{tagStart_, offset + i + 1, nameStart_, nameLength_, endTag_, selfClosing_, true};
        listener.tag(tag);
        state_ = State::Data;
        tokenStart_ = offset + i + 1;
        if (tagForeign_) {
            if (endTag_ && foreignDepth_ > 0)
                --foreignDepth_;
            else if (!endTag_ && !selfClosing)
                ++foreignDepth_;
        } else if (tagBreaksOut_) {
            // An HTML element such as <p> inside svg or math closes them all: HTML again.
            foreignDepth_ = 0;
        }
        // In HTML a start tag's slash is ignored: <script src="a.js"/> starts script text.
        if (!endTag_ && foreignDepth_ == 0 && tagRawText_ != RawText::None) {
            rawText_ = tagRawText_;
            state_ = State::RawText;
        }
    };
    auto endName = [&](qsizetype i) {
        nameLength_ = offset + i - nameStart_;
        const QStringView name = text.mid(nameStart_ - offset, nameLength_);
        auto is = [&](QLatin1StringView word) { return name.compare(word, Qt::CaseInsensitive) == 0; };
        tagForeign_ = is(QLatin1StringView("svg")) || is(QLatin1StringView("math"));
        tagBreaksOut_ = foreignDepth_ > 0 && breaksOutOfForeignContent(name, endTag_);
        tagRawText_ = RawText::None;
        for (const RawTextName& r : kRawText)
            if (is(r.name))
                tagRawText_ = r.kind;
        spanTo(HtmlSpan::TagName, i);
    };

    // Most characters change nothing: runs of them are passed over in tight loops, leaving i on
    // the last one so that the loop's step lands on the next character that matters.
    const char16_t* const chars = text.utf16();
    auto skipTo = [&](qsizetype i, auto stop) {
        qsizetype j = i + 1;
        while (j < n && !stop(chars[j]))
            ++j;
        return j - 1;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        switch (state_) {
        case State::Data:
            if (c != u'<' && c != u'&') {
                i = skipTo(i, [](char16_t u) { return u == u'<' || u == u'&'; });
            } else if (c == u'<') {
                tokenStart_ = offset + i;
                state_ = State::TagOpen;
            } else if (c == u'&') {
                if (const qsizetype length = referenceLength(text, i)) {
                    listener.span(HtmlSpan::CharacterReference, offset + i, length);
                    i += length - 1;
                }
            }
            break;
        case State::RawText:
            if (c == u'&' && (rawText_ == RawText::Title || rawText_ == RawText::Textarea)) {
                // Title and textarea text is RCDATA: character references still count there.
                if (const qsizetype length = referenceLength(text, i)) {
                    listener.span(HtmlSpan::CharacterReference, offset + i, length);
                    i += length - 1;
                }
            } else if (c != u'<') {
                i = skipTo(i, [](char16_t u) { return u == u'<' || u == u'&'; });
            } else if (i + 1 < n && text[i + 1] == u'/') {
                const QLatin1StringView name = rawTextName(rawText_);
                const qsizetype after = i + 2 + name.size();
                if (startsWithNoCase(text, i + 2, name) && (after == n || isSpace(text[after]) ||
                                                            text[after] == u'/' || text[after] == u'>')) {
                    rawText_ = RawText::None;
                    startTag(offset + i, true);
                    listener.span(HtmlSpan::TagBracket, offset + i, 2);
                    tokenStart_ = offset + i + 2;
                    state_ = State::TagName;
                    i += 1 + name.size();
                    endName(i + 1);
                    state_ = State::BeforeAttributeName;
                }
            }
            break;
        case State::TagOpen:
            if (c == u'!') {
                state_ = State::MarkupDeclarationOpen;
            } else if (c == u'/') {
                state_ = State::EndTagOpen;
            } else if (isAsciiLetter(c)) {
                startTag(offset + i - 1, false);
                listener.span(HtmlSpan::TagBracket, offset + i - 1, 1);
                tokenStart_ = offset + i;
                state_ = State::TagName;
            } else if (c == u'?') {
                state_ = State::BogusComment;
            } else {
                state_ = State::Data; // a lone `<` is text
                --i;
            }
            break;
        case State::EndTagOpen:
            if (isAsciiLetter(c)) {
                startTag(offset + i - 2, true);
                listener.span(HtmlSpan::TagBracket, offset + i - 2, 2);
                tokenStart_ = offset + i;
                state_ = State::TagName;
            } else if (c == u'>') {
                state_ = State::Data; // `</>` is dropped
            } else {
                state_ = State::BogusComment;
            }
            break;
        case State::TagName:
            if (isSpace(c)) {
                endName(i);
                state_ = State::BeforeAttributeName;
            } else if (c == u'/') {
                endName(i);
                state_ = State::SelfClosingStartTag;
            } else if (c == u'>') {
                endName(i);
                closeTag(i, false);
            }
            break;
        case State::BeforeAttributeName:
        case State::AfterAttributeName:
            if (isSpace(c))
                break;
            if (c == u'/') {
                state_ = State::SelfClosingStartTag;
            } else if (c == u'>') {
                closeTag(i, false);
            } else if (c == u'=' && state_ == State::AfterAttributeName) {
                state_ = State::BeforeAttributeValue;
            } else {
                tokenStart_ = offset + i;
                state_ = State::AttributeName;
            }
            break;
        case State::AttributeName:
            if (isSpace(c) || c == u'/' || c == u'>' || c == u'=') {
                spanTo(HtmlSpan::AttributeName, i);
                state_ = State::AfterAttributeName;
                --i; // the after-name state reads it
            }
            break;
        case State::BeforeAttributeValue:
            if (isSpace(c))
                break;
            tokenStart_ = offset + i;
            if (c == u'"') {
                state_ = State::AttributeValueDoubleQuoted;
            } else if (c == u'\'') {
                state_ = State::AttributeValueSingleQuoted;
            } else if (c == u'>') {
                closeTag(i, false);
            } else {
                state_ = State::AttributeValueUnquoted;
            }
            break;
        case State::AttributeValueDoubleQuoted:
        case State::AttributeValueSingleQuoted: {
            const char16_t quote = state_ == State::AttributeValueDoubleQuoted ? u'"' : u'\'';
            if (c == quote) {
                spanTo(HtmlSpan::AttributeValue, i + 1);
                state_ = State::AfterAttributeValueQuoted;
            } else {
                i = skipTo(i, [quote](char16_t u) { return u == quote; });
            }
            break;
        }
        case State::AttributeValueUnquoted:
            if (isSpace(c)) {
                spanTo(HtmlSpan::AttributeValue, i);
                state_ = State::BeforeAttributeName;
            } else if (c == u'>') {
                spanTo(HtmlSpan::AttributeValue, i);
                closeTag(i, false);
            }
            break;
        case State::AfterAttributeValueQuoted:
            if (c == u'/') {
                state_ = State::SelfClosingStartTag;
            } else if (c == u'>') {
                closeTag(i, false);
            } else {
                state_ = State::BeforeAttributeName;
                --i;
            }
            break;
        case State::SelfClosingStartTag:
            if (c == u'>') {
                closeTag(i, true);
            } else {
                state_ = State::BeforeAttributeName;
                --i;
            }
            break;
        case State::MarkupDeclarationOpen: {
            // On the character after `<!`.
            if (startsWithNoCase(text, i, QLatin1StringView("--"))) {
                state_ = State::Comment;
                // `<!-->` and `<!--->` end at once.
                qsizetype j = i + 2;
                if (j < n && text[j] == u'>') {
                    spanTo(HtmlSpan::Comment, j + 1);
                    state_ = State::Data;
                    i = j;
                } else if (j + 1 < n && text[j] == u'-' && text[j + 1] == u'>') {
                    spanTo(HtmlSpan::Comment, j + 2);
                    state_ = State::Data;
                    i = j + 1;
                } else {
                    i = j - 1;
                }
            } else if (startsWithNoCase(text, i, QLatin1StringView("doctype"))) {
                state_ = State::Doctype;
                i += 6;
            } else if (foreignDepth_ > 0 && text.mid(i).startsWith(QLatin1StringView("[CDATA["))) {
                state_ = State::Cdata;
                i += 6;
            } else {
                state_ = State::BogusComment;
                --i;
            }
            break;
        }
        case State::Comment:
            if (c != u'-') {
                i = skipTo(i, [](char16_t u) { return u == u'-'; });
            } else if (i + 2 < n && text[i + 1] == u'-' && text[i + 2] == u'>') {
                spanTo(HtmlSpan::Comment, i + 3);
                state_ = State::Data;
                i += 2;
            } else if (i + 3 < n && text[i + 1] == u'-' && text[i + 2] == u'!' && text[i + 3] == u'>') {
                spanTo(HtmlSpan::Comment, i + 4);
                state_ = State::Data;
                i += 3;
            }
            break;
        case State::BogusComment:
        case State::Doctype:
            if (c == u'>') {
                spanTo(state_ == State::Doctype ? HtmlSpan::Doctype : HtmlSpan::Comment, i + 1);
                state_ = State::Data;
            } else {
                i = skipTo(i, [](char16_t u) { return u == u'>'; });
            }
            break;
        case State::Cdata:
            if (c == u']' && i + 2 < n && text[i + 1] == u']' && text[i + 2] == u'>') {
                spanTo(HtmlSpan::Cdata, i + 3);
                state_ = State::Data;
                i += 2;
            }
            break;
        }
    }
    // Spans that go on past this piece.
    switch (state_) {
    case State::TagName:
        endName(n); // a name ends at a line's end
        state_ = State::BeforeAttributeName;
        break;
    case State::AttributeName:
        spanTo(HtmlSpan::AttributeName, n);
        state_ = State::AfterAttributeName;
        break;
    case State::AttributeValueUnquoted:
        spanTo(HtmlSpan::AttributeValue, n);
        state_ = State::BeforeAttributeName;
        break;
    case State::AttributeValueDoubleQuoted:
    case State::AttributeValueSingleQuoted:
        spanTo(HtmlSpan::AttributeValue, n);
        break;
    case State::Comment:
    case State::BogusComment:
        spanTo(HtmlSpan::Comment, n);
        break;
    case State::Doctype:
        spanTo(HtmlSpan::Doctype, n);
        break;
    case State::Cdata:
        spanTo(HtmlSpan::Cdata, n);
        break;
    case State::TagOpen:
    case State::EndTagOpen:
    case State::MarkupDeclarationOpen:
        state_ = State::Data; // `<`, `</` or `<!` at a line's end is text
        break;
    default:
        break;
    }
}
