#pragma once

#include "colour.h"
#include "html_tokenizer.h"
#include "language.h"

#include <QStringView>
#include <iterator>
#include <cstdint>
#include <vector>

/// The HTML5 colouring scheme: colours from the HTML tokenizer, so tags, attributes, comments,
/// the doctype, CDATA and character references are told apart as a browser reads them.
namespace html5_scheme {
/// Colours of the scheme; the values index kPalette.
enum Colour5 : std::uint8_t {
    Plain = 0,
    Tag,            ///< brackets and names of known elements
    AttributeName,
    AttributeValue, ///< with its quotes
    Comment,
    Doctype,
    Cdata,
    Reference,
    Warning,        ///< the name of an obsolete or unknown element, an obsolete attribute
    // Style sheets in <style> and style="…"
    CssSelector,
    CssProperty,
    CssValue,       ///< a keyword value
    CssString,      ///< with its quotes; also url(…) without quotes
    CssNumber,      ///< with its unit
    CssColour,      ///< #hex
    CssComment,
    CssAtRule,
    // Scripts in <script> (JavaScript types only) and on…="…"
    JsKeyword,
    JsString,
    JsTemplate,     ///< a template literal's text and its ${ }
    JsNumber,
    JsComment,
    JsRegex,
};
/// The names of the colours, for tools that list what they found.
inline constexpr const char* kColourNames[] = {
    "plain", "tag", "attribute-name", "attribute-value", "comment", "doctype", "cdata", "reference", "warning",
    "css-selector", "css-property", "css-value", "css-string", "css-number", "css-colour", "css-comment",
    "css-at-rule", "js-keyword", "js-string", "js-template", "js-number", "js-comment", "js-regex",
};
inline constexpr Colour kPalette[] = {
    0,
    adaptiveColour(Adaptive::Tag),
    adaptiveColour(Adaptive::AttributeName),
    adaptiveColour(Adaptive::AttributeValue),
    adaptiveColour(Adaptive::Comment),
    adaptiveColour(Adaptive::Doctype),
    adaptiveColour(Adaptive::Cdata),
    adaptiveColour(Adaptive::Reference),
    adaptiveColour(Adaptive::Warning),
    adaptiveColour(Adaptive::Tag),            // CSS selector
    adaptiveColour(Adaptive::AttributeName),  // CSS property
    adaptiveColour(Adaptive::Cdata),          // CSS keyword value
    adaptiveColour(Adaptive::AttributeValue), // CSS string
    adaptiveColour(Adaptive::Reference),      // CSS number
    adaptiveColour(Adaptive::Reference),      // CSS colour
    adaptiveColour(Adaptive::Comment),        // CSS comment
    adaptiveColour(Adaptive::Doctype),        // CSS at-rule
    adaptiveColour(Adaptive::Doctype),        // JavaScript keyword
    adaptiveColour(Adaptive::AttributeValue), // JavaScript string
    adaptiveColour(Adaptive::AttributeValue), // JavaScript template literal
    adaptiveColour(Adaptive::Reference),      // JavaScript number
    adaptiveColour(Adaptive::Comment),        // JavaScript comment
    adaptiveColour(Adaptive::Cdata),          // JavaScript regular expression
};
static_assert(std::size(kColourNames) == std::size(kPalette));

/// Whether an element name gets the warning colour: obsolete, or neither an HTML element nor a
/// custom element (a hyphen in the name), nor an SVG or MathML element inside svg or math.
bool isSuspectElement(QStringView name, bool inForeignContent);

/// Where a line starts: the HTML tokenizer's state, and the state of the style sheet or script
/// the line is in (0 outside one).
struct LineState {
    HtmlTokenizer html;
    std::uint32_t code = 0;
};

/// Colours one line (without its line end) from @p state, which it leaves as the next line
/// starts. @p out holds line.size() colours.
void colourLine(LineState& state, QStringView line, std::uint8_t* out);

/// The state the first line of a document in @p language starts in.
LineState startState(Language language);
/// Colours one line of a document in @p language: pages and SVG/XML with the HTML tokenizer,
/// style sheets, scripts and JSON with their own lexer (the colours of the code inside a page),
/// plain text not at all.
void colourLine(Language language, LineState& state, QStringView line, std::uint8_t* out);

/// Colours a whole text, line by line; line ends (CR LF, LF, CR or U+2029) stay Plain.
std::vector<std::uint8_t> colourText(QStringView text, Language language = Language::Html);
} // namespace html5_scheme
