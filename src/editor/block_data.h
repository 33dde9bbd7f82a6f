#pragma once

#include "base/line_end.h"

#include <QTextBlockUserData>
#include <cstdint>
#include <optional>

/// What the edit area remembers about one line beside its text. Most lines have none: a line
/// gets it when it is first painted with colour, or when its file line end is unusual.
class BlockData : public QTextBlockUserData {
public:
    /// The colour model's generation the line was last painted from; 0 when never painted.
    std::uint64_t paintedGeneration = 0;
    /// The line's own line end in its file, when it differs from the file's usual one.
    std::optional<LineEnd> lineEnd;
    /// With the HTML5 scheme: the state of the script or style sheet the line starts in (0 for none).
    std::uint32_t codeState = 0;
};
