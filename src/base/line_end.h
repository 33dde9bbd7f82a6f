#pragma once

#include <cstdint>
#include <vector>

/// How a line of a file ends.
enum class LineEnd : std::uint8_t { CrLf, Lf, Cr };

/// A line whose end differs from the file's usual style.
struct LineEndAt {
    int line; ///< 0 for the first line
    LineEnd style;
    bool operator==(const LineEndAt&) const = default;
};
/// The lines whose end differs from the usual style, in line order.
using LineEndExceptions = std::vector<LineEndAt>;
