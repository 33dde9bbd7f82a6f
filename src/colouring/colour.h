#pragma once

#include <cstdint>

class QColor;
class QPalette;

/// A colour as the colouring commands give it: an RGB value with red in the low byte, green in
/// the second and blue in the third, or a system-colour reference (high bit set, low byte the
/// system colour index).
using Colour = std::uint32_t;

constexpr Colour rgbColour(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}

constexpr Colour kPureRed = 255;
constexpr Colour kRoyalBlue = rgbColour(65, 105, 225);
constexpr Colour kDimGrey = rgbColour(105, 105, 105);
constexpr Colour kSystemColourFlag = 0x80000000u;
/// The platform's grey (disabled) text colour.
constexpr Colour kSystemGreyText = kSystemColourFlag | 17u;

/// A colour that follows the palette: one shade on a light background, another on a dark one.
/// The low byte indexes the table in colour.cpp.
constexpr Colour kAdaptiveColourFlag = 0x40000000u;
enum class Adaptive : std::uint8_t {
    Tag, AttributeName, AttributeValue, Comment, Doctype, Cdata, Reference, Warning, Count
};
constexpr Colour adaptiveColour(Adaptive which) {
    return kAdaptiveColourFlag | unsigned(which);
}

/// Resolves a colour value against the running style's palette. On a dark base an RGB colour
/// comes out lighter, in its own hue, so that it still reads.
QColor resolveColour(Colour colour, const QPalette& palette);
