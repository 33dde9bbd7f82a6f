#pragma once

#include <array>

/// Tag and attribute words, coloured royal blue, in the order they are applied.
extern const std::array<const char*, 207> kTagWords;
/// Comment and document-type words, coloured dim grey after the tag words.
extern const std::array<const char*, 10> kCommentWords;
