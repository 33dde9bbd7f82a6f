#pragma once

#include <array>

/// Where a word of the colouring tables comes from: a literal, or the current text of one of the
/// main window's hidden fields.
enum class WordSource { Literal, Text1, Text2 };

struct TableWord {
    WordSource source;
    const char* text; ///< the literal; nullptr for a hidden field
};

/// Tag and attribute words, coloured royal blue, in the order they are applied.
extern const std::array<TableWord, 207> kTagWords;
/// Comment and document-type words, coloured dim grey after the tag words.
extern const std::array<TableWord, 10> kCommentWords;
