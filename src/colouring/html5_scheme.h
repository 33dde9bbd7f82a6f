#pragma once

#include "colour.h"
#include "html_tokenizer.h"

#include <QStringView>
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
    Warning,        ///< the name of an obsolete or unknown element
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
};

/// Whether an element name gets the warning colour: obsolete, or neither an HTML element nor a
/// custom element (a hyphen in the name), nor an SVG or MathML element inside svg or math.
bool isSuspectElement(QStringView name, bool inForeignContent);

/// Colours one line (without its line end) from @p state, which it leaves as the next line
/// starts. @p out holds line.size() colours.
void colourLine(HtmlTokenizer& state, QStringView line, std::uint8_t* out);

/// Colours a whole text, line by line; line ends (CR LF, LF, CR or U+2029) stay Plain.
std::vector<std::uint8_t> colourText(QStringView text);
} // namespace html5_scheme
