#include "embedded_code.h"

#include "html5_scheme.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace embedded_code {
namespace {
using namespace html5_scheme;

bool isIdentifierStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'$' || c.unicode() > 127;
}
bool isIdentifierPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() > 127;
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool isHex(QChar c) {
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

void paint(std::uint8_t* out, qsizetype from, qsizetype to, std::uint8_t colour) {
    std::memset(out + from, colour, size_t(to - from));
}

// ---- JavaScript -------------------------------------------------------------------------------
// State bits: 0-2 mode, 3 a regular expression may start here, 4-5 template literals open,
// 6-14 for each open template, the braces open in its current ${…} (3 bits each).
enum JsMode : std::uint32_t { JsCode, JsBlockComment, JsTemplateText };
constexpr std::uint32_t kRegexAllowed = 1u << 3;

struct JsState {
    JsMode mode;
    bool regexAllowed;
    int templates;
    std::array<int, 3> braces;
    static JsState from(std::uint32_t bits) {
        return {JsMode(bits & 7), (bits & kRegexAllowed) != 0, int(bits >> 4 & 3),
                {int(bits >> 6 & 7), int(bits >> 9 & 7), int(bits >> 12 & 7)}};
    }
    std::uint32_t bits() const {
        return std::uint32_t(mode) | (regexAllowed ? kRegexAllowed : 0) | std::uint32_t(templates) << 4 |
               std::uint32_t(braces[0]) << 6 | std::uint32_t(braces[1]) << 9 | std::uint32_t(braces[2]) << 12;
    }
};

// clang-format off
constexpr std::array kJsKeywords{
    "async", "await", "break", "case", "catch", "class", "const", "continue", "debugger", "default",
    "delete", "do", "else", "export", "extends", "false", "finally", "for", "function", "if",
    "import", "in", "instanceof", "let", "new", "null", "return", "static", "super", "switch",
    "this", "throw", "true", "try", "typeof", "var", "void", "while", "with", "yield",
};
// After these a `/` starts a regular expression, not a division.
constexpr std::array kBeforeExpression{
    "await", "case", "delete", "do", "else", "in", "instanceof", "new", "return", "throw",
    "typeof", "void", "yield",
};
// clang-format on

template <size_t N> bool listed(const std::array<const char*, N>& list, QStringView word) {
    if (word.size() > 12)
        return false;
    char ascii[13];
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (word[i].unicode() > 127)
            return false;
        ascii[i] = char(word[i].unicode());
    }
    ascii[word.size()] = 0;
    return std::binary_search(list.begin(), list.end(), ascii,
                              [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
}

/// Paints a block comment from @p i to its `*/` (or the line's end) and moves @p i past it.
/// Returns whether the comment ended.
bool blockCommentRest(QStringView t, qsizetype& i, std::uint8_t colour, std::uint8_t* out) {
    const qsizetype end = t.indexOf(u"*/", i);
    const qsizetype stop = end < 0 ? t.size() : end + 2;
    paint(out, i, stop, colour);
    i = stop;
    return end >= 0;
}

/// The end of a string opened by @p quote at @p i (the line's end when it is not closed).
qsizetype stringEnd(QStringView t, qsizetype i, QChar quote) {
    for (++i; i < t.size(); ++i) {
        if (t[i] == u'\\')
            ++i;
        else if (t[i] == quote)
            return i + 1;
    }
    return t.size();
}

qsizetype jsNumberEnd(QStringView t, qsizetype i) {
    const qsizetype n = t.size();
    if (t[i] == u'0' && i + 1 < n && QStringView(u"xXoObB").contains(t[i + 1])) {
        i += 2;
        while (i < n && (isHex(t[i]) || t[i] == u'_'))
            ++i;
    } else {
        while (i < n && (isDigit(t[i]) || t[i] == u'_'))
            ++i;
        if (i < n && t[i] == u'.')
            for (++i; i < n && (isDigit(t[i]) || t[i] == u'_');)
                ++i;
        if (i < n && (t[i] == u'e' || t[i] == u'E')) {
            qsizetype j = i + 1;
            if (j < n && (t[j] == u'+' || t[j] == u'-'))
                ++j;
            if (j < n && isDigit(t[j])) {
                i = j;
                while (i < n && isDigit(t[i]))
                    ++i;
            }
        }
    }
    if (i < n && t[i] == u'n')
        ++i;
    return i;
}

/// The end of a regular expression literal whose `/` is at @p i, or -1 when the line ends first.
qsizetype regexEnd(QStringView t, qsizetype i) {
    bool inClass = false;
    for (++i; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'\\')
            ++i;
        else if (c == u'[')
            inClass = true;
        else if (c == u']')
            inClass = false;
        else if (c == u'/' && !inClass) {
            ++i;
            while (i < t.size() && isIdentifierPart(t[i]))
                ++i;
            return i;
        }
    }
    return -1;
}

/// Reads template text from @p i; returns where it stopped: after the closing backquote (the
/// template is done), after `${` (code follows), or at the line's end.
qsizetype templateText(QStringView t, qsizetype i, JsState& s, std::uint8_t* out) {
    const qsizetype from = i;
    while (i < t.size()) {
        if (t[i] == u'\\') {
            i += 2;
        } else if (t[i] == u'`') {
            ++i;
            --s.templates;
            s.mode = JsCode;
            s.regexAllowed = false;
            break;
        } else if (t[i] == u'$' && i + 1 < t.size() && t[i + 1] == u'{') {
            i += 2;
            s.mode = JsCode;
            s.braces[size_t(s.templates - 1)] = 0;
            s.regexAllowed = true;
            break;
        } else {
            ++i;
        }
    }
    i = std::min(i, t.size());
    paint(out, from, i, JsTemplate);
    return i;
}
} // namespace

std::uint32_t jsStart() {
    return JsState{JsCode, true, 0, {}}.bits();
}

void colourJs(QStringView t, std::uint32_t& state, std::uint8_t* out) {
    JsState s = JsState::from(state);
    qsizetype i = 0;
    const qsizetype n = t.size();
    while (i < n) {
        if (s.mode == JsBlockComment) {
            if (blockCommentRest(t, i, JsComment, out))
                s.mode = JsCode;
            continue;
        }
        if (s.mode == JsTemplateText) {
            i = templateText(t, i, s, out);
            continue;
        }
        const QChar c = t[i];
        if (c.isSpace()) {
            ++i;
        } else if ((c == u'/' && i + 1 < n && t[i + 1] == u'/') || t.mid(i).startsWith(u"<!--") ||
                   (t.mid(i).startsWith(u"-->") && t.left(i).trimmed().isEmpty())) {
            // Old pages hide scripts in <!-- and -->: for a script, each starts a comment to the line's end.
            paint(out, i, n, JsComment);
            i = n;
        } else if (c == u'/' && i + 1 < n && t[i + 1] == u'*') {
            s.mode = JsBlockComment;
            paint(out, i, i + 2, JsComment);
            i += 2;
        } else if (c == u'/' && s.regexAllowed && regexEnd(t, i) > 0) {
            const qsizetype end = regexEnd(t, i);
            paint(out, i, end, JsRegex);
            i = end;
            s.regexAllowed = false;
        } else if (c == u'"' || c == u'\'') {
            const qsizetype end = stringEnd(t, i, c);
            paint(out, i, end, JsString);
            i = end;
            s.regexAllowed = false;
        } else if (c == u'`') {
            if (s.templates < 3) {
                ++s.templates;
                s.mode = JsTemplateText;
                paint(out, i, i + 1, JsTemplate);
                ++i;
            } else { // nested too deep to follow: the rest of the line is template text
                paint(out, i, n, JsTemplate);
                i = n;
            }
        } else if (isDigit(c) || (c == u'.' && i + 1 < n && isDigit(t[i + 1]))) {
            const qsizetype end = jsNumberEnd(t, i);
            paint(out, i, end, JsNumber);
            i = end;
            s.regexAllowed = false;
        } else if (isIdentifierStart(c) || c == u'\\') {
            qsizetype end = i + 1;
            while (end < n && (isIdentifierPart(t[end]) || t[end] == u'\\'))
                ++end;
            const QStringView word = t.mid(i, end - i);
            // A name after a dot is a property, whatever it spells.
            qsizetype before = i - 1;
            while (before >= 0 && t[before].isSpace())
                --before;
            const bool property = before >= 0 && t[before] == u'.' && !(before > 0 && t[before - 1] == u'.');
            const bool keyword = !property && listed(kJsKeywords, word);
            if (keyword)
                paint(out, i, end, JsKeyword);
            s.regexAllowed = keyword && listed(kBeforeExpression, word);
            i = end;
        } else if (c == u'}' && s.templates > 0 && s.braces[size_t(s.templates - 1)] == 0) {
            s.mode = JsTemplateText; // the end of a ${…}
            paint(out, i, i + 1, JsTemplate);
            ++i;
        } else {
            if (c == u'{' && s.templates > 0)
                s.braces[size_t(s.templates - 1)] = std::min(s.braces[size_t(s.templates - 1)] + 1, 7);
            else if (c == u'}' && s.templates > 0)
                --s.braces[size_t(s.templates - 1)];
            if ((c == u'+' || c == u'-') && i + 1 < n && t[i + 1] == c) {
                i += 2; // ++ and -- leave what may follow as it was
                continue;
            }
            s.regexAllowed = !(c == u')' || c == u']' || c == u'}');
            ++i;
        }
    }
    state = s.bits();
}

// ---- CSS --------------------------------------------------------------------------------------
// State bits: 0-1 mode, 2-3 what is expected, 4-6 blocks open, 7-14 for each block whether it
// holds declarations (else rules), 15 the at-rule being read opens a block of declarations.
namespace {
enum CssMode : std::uint32_t { CssCode, CssBlockComment };
enum CssExpect : std::uint32_t { Selector, Property, Value, AtRulePrelude };

struct CssState {
    CssMode mode;
    CssExpect expect;
    int depth;
    std::uint32_t declarationBlocks;
    bool atRuleOfDeclarations;
    static CssState from(std::uint32_t bits) {
        return {CssMode(bits & 3), CssExpect(bits >> 2 & 3), int(bits >> 4 & 7), bits >> 7 & 0xFF, (bits >> 15 & 1) != 0};
    }
    std::uint32_t bits() const {
        return std::uint32_t(mode) | std::uint32_t(expect) << 2 | std::uint32_t(depth) << 4 | declarationBlocks << 7 |
               std::uint32_t(atRuleOfDeclarations) << 15;
    }
    bool inDeclarations() const { return depth > 0 && (declarationBlocks >> (depth - 1) & 1); }
};

bool isCssNameStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'-' || c.unicode() > 127 || c == u'\\';
}
bool isCssName(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'-' || c.unicode() > 127 || c == u'\\';
}
qsizetype cssNameEnd(QStringView t, qsizetype i) {
    while (i < t.size() && isCssName(t[i]))
        i += t[i] == u'\\' ? 2 : 1;
    return std::min(i, t.size());
}
} // namespace

std::uint32_t cssStart() {
    return CssState{CssCode, Selector, 0, 0, false}.bits();
}

std::uint32_t cssDeclarations() {
    return CssState{CssCode, Property, 1, 1, false}.bits();
}

CssPlace cssPlaceAfter(QStringView text, std::uint32_t state) {
    std::vector<std::uint8_t> colours(size_t(text.size()), 0);
    colourCss(text, state, colours.data());
    const CssState s = CssState::from(state);
    if (s.mode == CssBlockComment)
        return CssPlace::Comment;
    // A string or url( still open at the end: its colour runs to the end.
    if (!text.isEmpty() && colours.back() == html5_scheme::CssString && !text.endsWith(u'"') && !text.endsWith(u'\'') &&
        !text.endsWith(u')'))
        return CssPlace::Comment;
    switch (s.expect) {
    case Selector:
        return CssPlace::Selector;
    case Property:
        return CssPlace::Property;
    case Value:
        return CssPlace::Value;
    case AtRulePrelude:
        break;
    }
    return CssPlace::AtRulePrelude;
}

void colourCss(QStringView t, std::uint32_t& state, std::uint8_t* out) {
    CssState s = CssState::from(state);
    qsizetype i = 0;
    const qsizetype n = t.size();
    while (i < n) {
        if (s.mode == CssBlockComment) {
            if (blockCommentRest(t, i, CssComment, out))
                s.mode = CssCode;
            continue;
        }
        const QChar c = t[i];
        const QChar next = i + 1 < n ? t[i + 1] : QChar();
        if (c.isSpace()) {
            ++i;
        } else if (c == u'/' && next == u'*') {
            s.mode = CssBlockComment;
            paint(out, i, i + 2, CssComment);
            i += 2;
        } else if (c == u'"' || c == u'\'') {
            const qsizetype end = stringEnd(t, i, c);
            paint(out, i, end, CssString);
            i = end;
        } else if (c == u'@' && i + 1 < n && isCssNameStart(next)) {
            const qsizetype end = cssNameEnd(t, i + 1);
            const QStringView name = t.mid(i + 1, end - i - 1);
            paint(out, i, end, CssAtRule);
            s.expect = AtRulePrelude;
            s.atRuleOfDeclarations = name.compare(u"font-face", Qt::CaseInsensitive) == 0 ||
                                     name.compare(u"page", Qt::CaseInsensitive) == 0 ||
                                     name.compare(u"property", Qt::CaseInsensitive) == 0 ||
                                     name.compare(u"counter-style", Qt::CaseInsensitive) == 0 ||
                                     name.compare(u"font-palette-values", Qt::CaseInsensitive) == 0;
            i = end;
        } else if (c == u'{') {
            const bool declarations = s.expect == AtRulePrelude ? s.atRuleOfDeclarations : !s.inDeclarations();
            if (s.depth < 7) {
                if (declarations)
                    s.declarationBlocks |= 1u << s.depth;
                else
                    s.declarationBlocks &= ~(1u << s.depth);
                ++s.depth;
            }
            s.expect = declarations ? Property : Selector;
            ++i;
        } else if (c == u'}') {
            if (s.depth > 0)
                --s.depth;
            s.expect = s.inDeclarations() ? Property : Selector;
            ++i;
        } else if (c == u';') {
            s.expect = s.inDeclarations() ? Property : Selector;
            ++i;
        } else if (c == u':' && s.expect == Property) {
            s.expect = Value;
            ++i;
        } else if (s.expect == Value || s.expect == AtRulePrelude) {
            if (isDigit(c) || ((c == u'.' || c == u'+' || c == u'-') && (isDigit(next) ||
                               (next == u'.' && i + 2 < n && isDigit(t[i + 2]))))) {
                qsizetype end = i + 1;
                while (end < n && (isDigit(t[end]) || t[end] == u'.'))
                    ++end;
                if (end + 1 < n && (t[end] == u'e' || t[end] == u'E') &&
                    (isDigit(t[end + 1]) || ((t[end + 1] == u'+' || t[end + 1] == u'-') && end + 2 < n && isDigit(t[end + 2]))))
                    for (end += 2; end < n && isDigit(t[end]);)
                        ++end;
                if (end < n && t[end] == u'%')
                    ++end;
                else if (end < n && isCssNameStart(t[end]))
                    end = cssNameEnd(t, end);
                paint(out, i, end, CssNumber);
                i = end;
            } else if (c == u'#' && i + 1 < n && isCssName(next)) {
                const qsizetype end = cssNameEnd(t, i + 1);
                paint(out, i, end, CssColour);
                i = end;
            } else if (isCssNameStart(c)) {
                const qsizetype end = cssNameEnd(t, i);
                const QStringView name = t.mid(i, end - i);
                if (end < n && t[end] == u'(' && name.compare(u"url", Qt::CaseInsensitive) == 0) {
                    // url( without quotes is one token, up to its bracket.
                    qsizetype j = end + 1;
                    while (j < n && t[j].isSpace())
                        ++j;
                    if (j < n && t[j] != u'"' && t[j] != u'\'') {
                        const qsizetype close = t.indexOf(u')', j);
                        const qsizetype stop = close < 0 ? n : close + 1;
                        paint(out, i, stop, CssString);
                        i = stop;
                        continue;
                    }
                }
                paint(out, i, end, CssValue);
                i = end;
            } else {
                ++i;
            }
        } else if (s.expect == Property) {
            if (isCssNameStart(c)) {
                const qsizetype end = cssNameEnd(t, i);
                paint(out, i, end, CssProperty);
                i = end;
            } else {
                ++i;
            }
        } else { // a selector
            if (isDigit(c)) {
                // A keyframe's percentage is a number; the digits of :nth-child(2n+1) are not.
                qsizetype end = i;
                while (end < n && (isDigit(t[end]) || t[end] == u'.'))
                    ++end;
                if (end < n && t[end] == u'%')
                    paint(out, i, ++end, CssNumber);
                i = end;
            } else if (isCssNameStart(c) || c == u'.' || c == u'#' || c == u'*' || c == u'&') {
                const qsizetype end = std::max(cssNameEnd(t, i + 1), i + 1);
                paint(out, i, end, CssSelector);
                i = end;
            } else if (c == u':') {
                const qsizetype from = i;
                while (i < n && t[i] == u':')
                    ++i;
                i = cssNameEnd(t, i);
                paint(out, from, i, CssSelector);
            } else {
                ++i;
            }
        }
    }
    state = s.bits();
}

bool isVerbatim(std::uint8_t colour) {
    return colour == CssString || colour == JsString || colour == JsTemplate || colour == JsRegex;
}

bool isQuoted(std::uint8_t colour) {
    return isVerbatim(colour) || colour == CssComment || colour == JsComment;
}

bool isJavaScriptType(QStringView type) {
    const QStringView t = type.trimmed();
    if (t.isEmpty() || t.compare(u"module", Qt::CaseInsensitive) == 0)
        return true;
    for (const char16_t* js : {u"text/javascript", u"application/javascript", u"text/ecmascript",
                               u"application/ecmascript", u"application/x-javascript", u"text/x-javascript",
                               u"text/jscript", u"text/livescript", u"application/x-ecmascript", u"text/x-ecmascript"})
        if (t.compare(QStringView(js), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace embedded_code
