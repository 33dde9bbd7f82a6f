#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

/// How much memory a document will take in the editor, and how much the system has, so that a
/// file too big for this machine is refused with a message instead of thrashing or aborting.
namespace memory_budget {
/// Bytes a document of @p fileBytes bytes in @p lines lines needs while it is opened.
qint64 documentNeed(qint64 fileBytes, qint64 lines);
/// Memory the system can still give, less what pages still loading will take, where the system
/// says; nullopt elsewhere.
std::optional<qint64> available();
/// Why a document of @p fileBytes bytes in @p lines lines cannot be opened now ("opening it
/// would need about N MB of memory, and M MB are free"); empty when it can.
QString shortfall(qint64 fileBytes, qint64 lines);
} // namespace memory_budget
