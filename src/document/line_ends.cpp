#include "line_ends.h"

#include <array>

namespace {
qsizetype nextLineEnd(QStringView chunk, qsizetype from) {
    for (qsizetype k = from; k < chunk.size(); ++k)
        if (chunk[k] == u'\r' || chunk[k] == u'\n')
            return k;
    return -1;
}

QStringView styleText(LineEnd style) {
    switch (style) {
    case LineEnd::Lf:
        return u"\n";
    case LineEnd::Cr:
        return u"\r";
    case LineEnd::CrLf:
        break;
    }
    return u"\r\n";
}
} // namespace

void LineEndReader::feed(QStringView chunk) {
    const qsizetype n = chunk.size();
    if (n == 0)
        return;
    qsizetype i = 0;
    if (pendingCr_) {
        pendingCr_ = false;
        if (chunk[0] == u'\n') {
            lineEnd(LineEnd::CrLf);
            i = 1;
        } else {
            lineEnd(LineEnd::Cr);
        }
    }
    // Most files have no CR at all; their line ends are found with Qt's vectorised search.
    const bool hasCr = chunk.contains(u'\r');
    while (i < n) {
        const qsizetype j = hasCr ? nextLineEnd(chunk, i) : chunk.indexOf(u'\n', i);
        if (j < 0) {
            text(chunk.sliced(i));
            return;
        }
        text(chunk.sliced(i, j - i));
        if (chunk[j] == u'\n') {
            lineEnd(LineEnd::Lf);
            i = j + 1;
        } else if (j + 1 == n) {
            pendingCr_ = true; // the LF may start the next piece
            i = j + 1;
        } else if (chunk[j + 1] == u'\n') {
            lineEnd(LineEnd::CrLf);
            i = j + 2;
        } else {
            lineEnd(LineEnd::Cr);
            i = j + 1;
        }
    }
}

void LineEndReader::finish() {
    if (pendingCr_)
        lineEnd(LineEnd::Cr);
    pendingCr_ = false;
    // The line end after the last line is not part of the document; saving adds it back,
    // unless the file had none.
    finalLineEnd_ = pendingEnd_;
    std::array<std::size_t, 3> counts{};
    for (std::uint8_t s : styles_)
        ++counts[s];
    if (!styles_.empty()) {
        usual_ = LineEnd(styles_.front());
        for (std::uint8_t s = 0; s < 3; ++s)
            if (counts[s] > counts[std::size_t(usual_)])
                usual_ = LineEnd(s);
    }
    exceptions_.clear();
    for (std::size_t line = 0; line < styles_.size(); ++line)
        if (LineEnd(styles_[line]) != usual_)
            exceptions_.push_back({int(line), LineEnd(styles_[line])});
    styles_ = {};
}

void LineEndReader::flushPending() {
    if (pendingEnd_)
        out_->append(QStringLiteral("\r\n"));
    pendingEnd_ = false;
}

void LineEndReader::text(QStringView piece) {
    if (piece.isEmpty())
        return;
    flushPending();
    out_->append(piece);
}

void LineEndReader::lineEnd(LineEnd style) {
    flushPending();
    pendingEnd_ = true;
    styles_.push_back(std::uint8_t(style));
}

QString withLineEnds(const QString& crlfText, LineEnd usual, const LineEndExceptions& exceptions,
                     bool finalLineEnd) {
    QString out;
    out.reserve(crlfText.size() + 2);
    const QStringView text(crlfText);
    auto next = exceptions.begin();
    int line = 0;
    auto styleOf = [&](int l) {
        while (next != exceptions.end() && next->line < l)
            ++next;
        return next != exceptions.end() && next->line == l ? next->style : usual;
    };
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u"\r\n"); at >= 0; at = text.indexOf(u"\r\n", from)) {
        out.append(text.sliced(from, at - from));
        out.append(styleText(styleOf(line++)));
        from = at + 2;
    }
    out.append(text.sliced(from));
    if (finalLineEnd)
        out.append(styleText(styleOf(line)));
    return out;
}
