#pragma once

#include "colouring/colour.h"

#include <QString>

class EditArea;

/// The steps of the colouring pass, each run alone on an edit area through its selection, the
/// way a user could do them by hand. The pass itself computes all steps in one sweep over the
/// text; these give the same colours and serve to check it.
namespace colouring_steps {
/// Colours every occurrence of @p word (any letter case), leaving the selection alone.
void colourWord(EditArea& editArea, const QString& word, Colour colour);
/// Attribute values red.
void colourValues(EditArea& editArea);
/// Declarations and comments in the system grey-text colour.
void colourDeclarations(EditArea& editArea);
} // namespace colouring_steps
