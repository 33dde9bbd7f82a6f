#include "colour.h"

#include <QColor>
#include <QPalette>
#include <algorithm>
#include <iterator>

namespace {
struct Shades {
    QRgb light;
    QRgb dark;
};
// Each pair keeps about the same contrast against a white and against a near-black background.
constexpr Shades kAdaptive[] = {
    {0x1a4fb0, 0x82aaff}, // tag
    {0x8a4b08, 0xe5b567}, // attribute name
    {0xb3141b, 0xff8b8b}, // attribute value
    {0x6b7280, 0x9aa3ad}, // comment
    {0x6a3d9a, 0xc7a6f2}, // doctype
    {0x0f766e, 0x6fd6c8}, // CDATA
    {0x9a4a00, 0xffb070}, // character reference
    {0xc8006e, 0xff6ec2}, // warning: an obsolete or unknown element
};
static_assert(std::size(kAdaptive) == size_t(Adaptive::Count));
} // namespace

QColor resolveColour(Colour colour, const QPalette& palette) {
    if ((colour & kAdaptiveColourFlag) && !(colour & kSystemColourFlag)) {
        const Shades& shades = kAdaptive[std::min<size_t>(colour & 0xFFu, std::size(kAdaptive) - 1)];
        const bool dark = palette.color(QPalette::Base).lightness() < 128;
        return QColor::fromRgb(dark ? shades.dark : shades.light);
    }
    if (colour & kSystemColourFlag) {
        // Only the grey-text entry is ever used; every other system index falls back to the
        // ordinary text colour rather than inventing a mapping.
        if ((colour & 0xFFu) == 17u)
            return palette.color(QPalette::Disabled, QPalette::Text);
        return palette.color(QPalette::Active, QPalette::Text);
    }
    return QColor(int(colour & 0xFFu), int((colour >> 8) & 0xFFu), int((colour >> 16) & 0xFFu));
}
