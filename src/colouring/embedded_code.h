#pragma once

#include <QStringView>
#include <cstdint>

/// Colours the style sheets and scripts inside a page, line by line: each lexer reads one line's
/// piece of code from a small state and leaves the state the next line starts in (a comment,
/// a template literal, a declaration block still open), so that a page coloured live can read
/// on from any line.
namespace embedded_code {

/// A CSS lexer's state between lines. 0 is the start of a style sheet.
std::uint32_t cssStart();
/// The state for the declarations of a style attribute.
std::uint32_t cssDeclarations();
/// A JavaScript lexer's state between lines. 0 is not a valid state: use jsStart().
std::uint32_t jsStart();

/// Write into @p out (one entry per character of @p text) the html5_scheme colour of each
/// character that is code of a kind they colour; other entries are left as they are.
void colourCss(QStringView text, std::uint32_t& state, std::uint8_t* out);
void colourJs(QStringView text, std::uint32_t& state, std::uint8_t* out);

/// What a style sheet expects where @p text (a line's start, from @p state) ends: nothing to
/// offer inside a comment, a string or url(), else a selector, a property, a value, or the
/// prelude of an at-rule.
enum class CssPlace { Comment, Selector, Property, Value, AtRulePrelude };
CssPlace cssPlaceAfter(QStringView text, std::uint32_t state);

/// Whether a colour the lexers give is a string, a template literal or a pattern, whose text is
/// as written; isQuoted() counts comments too. A bracket in any of them opens nothing.
bool isVerbatim(std::uint8_t colour);
bool isQuoted(std::uint8_t colour);

/// Whether a script whose type attribute is @p type holds JavaScript (rather than data such as
/// a template or JSON).
bool isJavaScriptType(QStringView type);

} // namespace embedded_code
