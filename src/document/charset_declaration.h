#pragma once

#include <QString>
#include <utility>
#include <vector>

/// The charset names a page declares, by <meta charset> or by an http-equiv content type.
namespace charset_declaration {
/// Start and length of every declared charset name in @p text.
std::vector<std::pair<qsizetype, qsizetype>> find(const QString& text);
/// The first declared charset name in @p text, or empty.
QString first(const QString& text);
} // namespace charset_declaration
