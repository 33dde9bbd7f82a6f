#pragma once

#include <QtGlobal>

/// Memory that work already begun will take but has not taken yet: a big page that goes into
/// the edit area piece by piece while the window is idle. An open weighs the memory left less
/// these promises, so that ten big pages opened at once are not each weighed against what the
/// others will soon take.
namespace memory_promises {
/// Adds @p bytes (negative: gives them back) to what is promised.
void add(qint64 bytes);
/// All that is promised now, by every part of the program.
qint64 total();
/// The cost in the edit area of @p characters of text in @p lines lines, once in: the document's
/// copy (two bytes a character), the colour model (one) and each line's bookkeeping.
qint64 editorCost(qint64 characters, qint64 lines);
} // namespace memory_promises
