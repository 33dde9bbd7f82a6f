#include "repaint_narrowing.h"

#include <QTextBlock>
#include <QTextDocument>

RepaintNarrowing::RepaintNarrowing(QTextDocument* document)
    : document_(document), knownBlockCount_(document->blockCount()) {}

void RepaintNarrowing::noteEdit(int position, int added) {
    const int blocks = document_->blockCount();
    const bool countChanged = blocks != knownBlockCount_;
    knownBlockCount_ = blocks;
    edited_.reset();
    if (countChanged)
        return;
    const QTextBlock first = document_->findBlock(position);
    // An edit that ends the text ends in its last block.
    const QTextBlock end = document_->findBlock(position + added);
    const int last = end.isValid() ? end.blockNumber() : document_->lastBlock().blockNumber();
    // A few lines at most: the layout also reports the line after the edited ones.
    if (!first.isValid() || last - first.blockNumber() > kMostLinesRepaintedAlone)
        return;
    Edited edited{document_->revision(), first.blockNumber(), {}};
    QTextBlock block = first;
    for (int n = first.blockNumber(); n <= last + 1 && block.isValid(); ++n, block = block.next())
        edited.lineCounts.push_back(block.lineCount());
    edited_ = std::move(edited);
}

std::optional<RepaintNarrowing::Blocks> RepaintNarrowing::narrowed(const QRectF& rect) {
    std::optional<Edited> edited = std::move(edited_);
    edited_.reset();
    const bool everything = rect.width() > 1e8; // what the layout asks for when it cannot tell
    if (!edited || edited->lineCounts.empty() || !everything || edited->revision != document_->revision())
        return std::nullopt;
    QTextBlock block = document_->findBlockByNumber(edited->firstBlock);
    for (const int lines : edited->lineCounts) {
        if (!block.isValid() || block.lineCount() != lines)
            return std::nullopt;
        block = block.next();
    }
    return Blocks{edited->firstBlock, edited->firstBlock + int(edited->lineCounts.size()) - 1};
}
