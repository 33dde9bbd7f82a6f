#include "crlf_positions.h"

#include "soft_break_index.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

CrlfPosition CrlfPositions::blockStart(int blockNumber) const {
    // Every earlier line end is one character in the document and two in the CR LF text; a
    // soft break is one in the document and none in the text.
    return CrlfPosition(document_.findBlockByNumber(blockNumber).position() + blockNumber -
                        2 * softBreaks_.before(blockNumber));
}

DocumentPosition CrlfPositions::toDocument(CrlfPosition position) const {
    if (position.value <= 0)
        return DocumentPosition(0);
    int lo = 0;
    int hi = document_.blockCount() - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (blockStart(mid) <= position)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock block = document_.findBlockByNumber(lo);
    const int offset = std::min(position - blockStart(lo), block.length() - 1);
    Q_ASSERT(offset >= 0);
    return DocumentPosition(block.position() + offset);
}

std::vector<DocumentPosition> CrlfPositions::toDocumentAscending(const std::vector<CrlfPosition>& positions) const {
    Q_ASSERT(std::is_sorted(positions.begin(), positions.end()));
    std::vector<DocumentPosition> out;
    out.reserve(positions.size());
    QTextBlock block = document_.begin();
    int blockStart = 0; // the block's start in the CR LF text
    for (const CrlfPosition position : positions) {
        const int pos = position.value;
        for (QTextBlock next = block.next(); next.isValid(); next = block.next()) {
            const bool soft = softBreaks_.mayHaveSoftBreaks() && SoftBreakIndex::startsSoft(next);
            const int nextStart = blockStart + block.length() - 1 + (soft ? 0 : 2);
            if (nextStart > pos)
                break;
            block = next;
            blockStart = nextStart;
        }
        out.push_back(DocumentPosition(block.position() + std::clamp(pos - blockStart, 0, block.length() - 1)));
    }
    return out;
}

CrlfPosition CrlfPositions::toCrlf(DocumentPosition position) const {
    const int block = document_.findBlock(position.value).blockNumber();
    return CrlfPosition(position.value + block - 2 * softBreaks_.before(block));
}

QString CrlfPositions::crlfFromRaw(QStringView raw) {
    QString out(raw.size() + raw.count(QChar::ParagraphSeparator), Qt::Uninitialized);
    QChar* o = out.data();
    qsizetype from = 0;
    for (qsizetype at = raw.indexOf(QChar::ParagraphSeparator); at >= 0; at = raw.indexOf(QChar::ParagraphSeparator, from)) {
        o = std::copy(raw.begin() + from, raw.begin() + at, o);
        *o++ = u'\r';
        *o++ = u'\n';
        from = at + 1;
    }
    std::copy(raw.begin() + from, raw.end(), o);
    return out;
}
