#pragma once

#include "colour.h"

#include <QByteArrayView>
#include <QString>
#include <functional>
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

/// The pieces of the pass, for colouring a stretch of a page again after an edit. They work on
/// match bytes: one byte per character, as matchByte() gives it, followed by kMatchPadding zeros.
namespace pass_parts {
/// ASCII lower-cased; 128 for any character that does not lower-case into ASCII.
std::uint8_t matchByte(char16_t c);
inline constexpr size_t kMatchPadding = 16;
/// Calls found(commentWord, start, length) for every occurrence of the table words in
/// bytes[0, n), each word scanned left to right without overlap as the pass does.
void matchWords(const std::uint8_t* bytes, qsizetype n,
                const std::function<void(bool commentWord, qsizetype start, qsizetype length)>& found);
/// The longest table word.
int longestWord();
/// Table words an occurrence of which can overlap another of the same word (a prefix that is
/// also a suffix): for them the scan's order decides which occurrences count.
const std::vector<QByteArray>& overlappingWords();
/// The first start of @p needle (no letters) in bytes[from, n), or -1.
qsizetype findDelimiter(const std::uint8_t* bytes, qsizetype n, QByteArrayView needle, qsizetype from);
} // namespace pass_parts
