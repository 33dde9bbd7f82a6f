#include "colouring_steps.h"

#include "edit_area.h"

#include "base/markup.h"
#include "colouring/html_pass.h"

namespace colouring_steps {
namespace {
void colourDelimited(EditArea& editArea, const char* open, const char* close, Colour colour) {
    const DelimitedScan scan =
        scanDelimited(editArea.text(), QString::fromLatin1(open), QString::fromLatin1(close));
    for (auto [start, length] : scan.ranges) {
        editArea.setCaretPosition(start);
        editArea.setSelectionLength(length);
        editArea.colourSelection(colour);
    }
    if (scan.movedSelection) {
        editArea.setCaretPosition(scan.selection.start);
        editArea.setSelectionLength(scan.selection.length);
    }
}
} // namespace

void colourWord(EditArea& editArea, const QString& word, Colour colour) {
    for (auto [start, length] : wordOccurrences(editArea.text(), word))
        editArea.colourRange(start, length, colour);
}

void colourValues(EditArea& editArea) {
    colourDelimited(editArea, markup::kValueOpen, markup::kValueEnd, kPureRed);
}

void colourDeclarations(EditArea& editArea) {
    colourDelimited(editArea, markup::kDeclarationOpen, markup::kTagClose, kSystemGreyText);
}
} // namespace colouring_steps
