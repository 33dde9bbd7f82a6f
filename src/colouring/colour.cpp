#include "colour.h"

#include <QColor>
#include <QPalette>

QColor resolveColour(Colour colour, const QPalette& palette) {
    if (colour & kSystemColourFlag) {
        // Only the grey-text entry is ever used; every other system index falls back to the
        // ordinary text colour rather than inventing a mapping.
        if ((colour & 0xFFu) == 17u)
            return palette.color(QPalette::Disabled, QPalette::Text);
        return palette.color(QPalette::Active, QPalette::Text);
    }
    return QColor(int(colour & 0xFFu), int((colour >> 8) & 0xFFu), int((colour >> 16) & 0xFFu));
}
