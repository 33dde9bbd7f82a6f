#pragma once

#include "colouring/html_pass.h"

#include <QString>
#include <vector>

/// The colouring pass done literally, step by step, on a plain in-memory edit box: every
/// word scans its own lower-cased copy of the text, occurrence by occurrence. Slow on
/// purpose; the engine must give the same colours and selection.
struct ReferenceBox {
    static constexpr Colour kDefault = 0xFFFFFFFFu;
    QString text;
    std::vector<Colour> colours;
    int selStart = 0;
    int selLength = 0;

    void plainText();
    void colourSelection(Colour c);
    void colourWord(const QString& word, Colour colour);
    void colourDelimited(const QString& open, const QString& close, Colour colour);
    void htmlPass();
};
