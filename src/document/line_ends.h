#pragma once

#include "base/line_end.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

/// Turns decoded text, fed in pieces, into document text: every line end (CR LF, lone CR or
/// lone LF) becomes CR LF, and the one after the last line is dropped. It remembers each line's
/// own style, so that saving can give every unchanged line its own line end back.
class LineEndReader {
public:
    explicit LineEndReader(QString* out) : out_(out) {}

    void feed(QStringView chunk);
    /// Ends the text. Returns nothing; the results are read from the accessors below.
    void finish();

    /// The most common style (the first met on a tie; CR LF for a file without line ends).
    LineEnd usualStyle() const { return usual_; }
    /// The lines that end in another style than the usual one.
    const LineEndExceptions& exceptions() const { return exceptions_; }
    /// False for a file whose last line has no line end, or that is empty.
    bool finalLineEnd() const { return finalLineEnd_; }

private:
    void text(QStringView piece);
    void lineEnd(LineEnd style);
    void flushPending();

    QString* out_;
    bool pendingEnd_ = false;
    bool pendingCr_ = false;
    std::vector<std::uint8_t> styles_; ///< one per line end, in order
    LineEnd usual_ = LineEnd::CrLf;
    LineEndExceptions exceptions_;
    bool finalLineEnd_ = false;
};

/// The file text of @p crlfText: each CR LF becomes its line's style (the usual one unless
/// @p exceptions names another), and @p finalLineEnd adds one after the last line.
QString withLineEnds(const QString& crlfText, LineEnd usual, const LineEndExceptions& exceptions,
                     bool finalLineEnd);
