#pragma once

#include "document/document_file.h"
#include "editor/text_search.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <optional>
#include <vector>

/// A literal ASCII search run on a file's bytes, for files whose encoding reads ASCII as itself
/// (document_file::asciiReading): they are then searched without being decoded, and only the
/// lines where the pattern's bytes are found are decoded to be searched as text.
class ByteSearch {
public:
    /// nullopt when @p search cannot be run on bytes: an expression, or a pattern with other
    /// than ASCII in it or a line end.
    static std::optional<ByteSearch> of(const TextSearch& search);

    /// Where the pattern's bytes are first found from @p from (in any case unless the search
    /// matches case), or -1.
    qsizetype find(QByteArrayView bytes, qsizetype from) const;

    /// Whether @p body holds a character that is no ASCII but that a search in any case takes
    /// for one of the pattern's letters (the Kelvin sign for k): then only its text can say.
    bool hasLookalikes(QByteArrayView body, document_file::AsciiReading::Encoding encoding) const;

private:
    QByteArray pattern_; ///< in lower case when the search is in any case
    std::array<uchar, 256> fold_{};
    std::array<qsizetype, 256> shift_{};
    std::vector<QByteArray> utf8Lookalikes_;
    std::array<bool, 256> windows1252Lookalikes_{};
    std::array<bool, 256> latin1Lookalikes_{};
};

/// The line ends in @p bytes from @p from to @p to: each LF, and each CR not followed by one (a
/// CR at the last place counts unless the byte after it is an LF).
qsizetype countLineEnds(QByteArrayView bytes, qsizetype from, qsizetype to);
