#pragma once

#include <QColor>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>
#include <vector>

/// Colours as a style sheet writes them: `#rgb`, `#rgba`, `#rrggbb`, `#rrggbbaa`, `rgb()` and
/// `rgba()`, `hsl()` and `hsla()` (commas or spaces, an alpha after `/`), and the named colours.
namespace css_colour {

/// The colour @p text writes, or nullopt when it writes none of these.
std::optional<QColor> parse(QStringView text);

/// @p colour written in the form of @p original: a hex colour as hex of the same length (longer
/// when the colour needs it), rgb() as rgb(), hsl() as hsl(), a named colour by its name when
/// one names it exactly, else as hex.
QString format(const QColor& colour, QStringView original);

/// A colour written in a line: where it starts, how long it is, and the colour.
struct Found {
    int start = 0;
    int length = 0;
    QColor colour;
};
/// Every colour written in @p line, left to right (names only as whole words). With @p wanted,
/// only candidates it takes (by where they start) are read: a painter asks for those its
/// colours already call CSS, without reading every word of a page's text.
std::vector<Found> findAll(QStringView line, const std::function<bool(int start)>& wanted = {});

} // namespace css_colour
