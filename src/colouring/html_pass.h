#pragma once

#include "colour.h"

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

/// Colours the HTML colouring pass gives a character. The values index kPassPalette.
enum PassColour : std::uint8_t { Plain = 0, Value = 1, Declaration = 2, TagWord = 3, CommentWord = 4 };

/// The colour value of each PassColour; Plain stands for the editor's default colour.
inline constexpr Colour kPassPalette[] = {0, kPureRed, kSystemGreyText, kRoyalBlue, kDimGrey};

struct Selection {
    int start = 0;
    int length = 0;
    bool operator==(const Selection&) const = default;
};

struct PassResult {
    std::vector<std::uint8_t> colours; ///< one PassColour per character of the text
    Selection selection;               ///< where the value and declaration scans leave the selection
};

/// Lower-cases one character for matching: the simple case mapping, which keeps every position.
inline QChar lowerForMatch(QChar c) {
    const char16_t u = c.unicode();
    if (u < 128)
        return QChar(u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u);
    return c.toLower();
}

/// Start and length of every occurrence of @p word in @p text, matched without regard to case,
/// scanning left to right and resuming right after each occurrence. An empty word has none.
std::vector<std::pair<int, int>> wordOccurrences(const QString& text, const QString& word);

/// One delimited scan (attribute values or declarations): the ranges from each opening
/// delimiter through the first character of the next closing one, and the selection left behind.
struct DelimitedScan {
    std::vector<std::pair<int, int>> ranges;
    bool movedSelection = false;
    Selection selection;
};
DelimitedScan scanDelimited(const QString& text, const QString& open, const QString& close);

/// The whole colouring pass on @p text (CR LF line ends): values, declarations, tag words, then
/// comment words, each later step overriding the earlier ones. Works on the text alone.
PassResult runHtmlPass(const QString& text);

/// The words of the tag table (or of the comment table), in the order the pass applies them.
std::vector<QString> tableWords(bool tagTable);
