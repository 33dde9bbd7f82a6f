#include "colour.h"

#include <QColor>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace {
constexpr double kReadableContrast = 4.5;

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

bool isDark(const QColor& background) {
    return background.lightness() < 128;
}

double luminance(const QColor& c) {
    const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// The same hue and saturation, lighter, until it reads on @p background as body text should
// (a contrast of 4.5 to 1).
QColor readableOn(const QColor& background, QColor colour) {
    const double back = luminance(background);
    const auto contrast = [back](const QColor& c) { return (luminance(c) + 0.05) / (back + 0.05); };
    float hue = 0, saturation = 0, lightness = 0;
    colour.getHslF(&hue, &saturation, &lightness);
    while (contrast(colour) < kReadableContrast && lightness < 1) {
        lightness = std::min(1.0f, lightness + 0.02f);
        colour.setHslF(hue, saturation, lightness);
    }
    return colour;
}
} // namespace

QColor resolveColour(Colour colour, const QPalette& palette) {
    if ((colour & kAdaptiveColourFlag) && !(colour & kSystemColourFlag)) {
        const Shades& shades = kAdaptive[std::min<size_t>(colour & 0xFFu, std::size(kAdaptive) - 1)];
        return QColor::fromRgb(isDark(palette.color(QPalette::Base)) ? shades.dark : shades.light);
    }
    if (colour & kSystemColourFlag) {
        // Only the grey-text entry is ever used; every other system index falls back to the
        // ordinary text colour rather than inventing a mapping.
        if ((colour & 0xFFu) == 17u)
            return palette.color(QPalette::Disabled, QPalette::Text);
        return palette.color(QPalette::Active, QPalette::Text);
    }
    const QColor rgb(int(colour & 0xFFu), int((colour >> 8) & 0xFFu), int((colour >> 16) & 0xFFu));
    // The classic colours are chosen for a white page; on a dark one their lighter shades read.
    const QColor base = palette.color(QPalette::Base);
    if (!isDark(base))
        return rgb;
    // Lines are painted one by one with the same few colours: each is worked out once.
    struct Known {
        QRgb base, colour, shown;
    };
    thread_local std::array<Known, 8> known{};
    thread_local size_t next = 0;
    for (const Known& k : known)
        if (k.base == base.rgb() && k.colour == rgb.rgb())
            return QColor::fromRgb(k.shown);
    const QColor shown = readableOn(base, rgb);
    known[next++ % known.size()] = {base.rgb(), rgb.rgb(), shown.rgb()};
    return shown;
}
