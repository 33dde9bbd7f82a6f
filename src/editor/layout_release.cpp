#include "layout_release.h"

#include "block_data.h"
#include "block_layouts.h"

#include "base/memory_advice.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cstdlib>

LayoutRelease::LayoutRelease(QTextDocument* document, std::function<Kept()> kept, QObject* parent)
    : QObject(parent), document_(document), kept_(std::move(kept)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LayoutRelease::release);
    // When the widest line is laid out narrower than before, Qt looks for the new widest among
    // all lines, and makes an empty layout for each on the way: the next release looks at all.
    connect(document->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this](const QSizeF& size) {
                if (size.width() < widest_) {
                    numbersHold_ = false;
                    if (!timer_.isActive())
                        timer_.start(0);
                }
                widest_ = size.width();
            });
    // Lines added or taken away before a noted line renumber it: the next release looks at all.
    // A page loading gains lines at its end only, after every line noted.
    connect(document, &QTextDocument::contentsChange, this, [this](int from, int, int) {
        const int count = document_->blockCount();
        if (count != lineCount_ && highestNoted_ > document_->findBlock(from).blockNumber())
            numbersHold_ = false;
        lineCount_ = count;
    });
    still_.setSingleShot(true);
    still_.setInterval(kReleaseWhenStillMs);
    connect(&still_, &QTimer::timeout, this, [this] {
        // Still means no line laid out for a whole interval. Paints do not count: the caret's
        // blink paints twice a second and lays out nothing.
        if (laidOut_ != laidOutWhenStillStarted_)
            startStill();
        else if (laidOut_ > 2 * kKeptAroundView)
            release();
    });
}

void LayoutRelease::startStill() {
    laidOutWhenStillStarted_ = laidOut_;
    still_.start();
}

void LayoutRelease::lineLaidOut(int blockNumber) {
    ++laidOut_;
    mayHaveLayout_.push_back(blockNumber);
    highestNoted_ = std::max(highestNoted_, blockNumber);
    // Started here, not restarted once per line of a long walk: the timeout looks again.
    if (!still_.isActive())
        startStill();
}

void LayoutRelease::viewShows() {
    if (laidOut_ > kLinesLaidOutBeforeRelease && !timer_.isActive())
        timer_.start(0);
}

void LayoutRelease::releaseIfDue() {
    if (laidOut_ > kLinesLaidOutBeforeRelease)
        release();
}

void LayoutRelease::linesRelaidOut() {
    numbersHold_ = false; // every line has a layout now
    if (document_->blockCount() > 2 * kKeptAroundView)
        timer_.start(kReleaseAfterResizeMs);
}

void LayoutRelease::release() {
    laidOut_ = 0;
    const Kept kept = kept_();
    Q_ASSERT(kept.firstVisible <= kept.lastVisible);
    const auto near = [&kept](int n) {
        return (n >= kept.firstVisible - kKeptAroundView && n <= kept.lastVisible + kKeptAroundView) ||
               std::abs(n - kept.caret) <= 2 || std::abs(n - kept.anchor) <= 2;
    };
    std::vector<int> stay;
    const auto look = [&](const QTextBlock& block, int n) {
        if (!block_layouts::has(block))
            return;
        if (near(n)) {
            stay.push_back(n);
            return;
        }
        if (auto* data = static_cast<BlockData*>(block.userData()))
            data->paintedGeneration = 0; // its colours went with its formats
        block_layouts::drop(block);
    };
    // Looking at the noted lines alone keeps a release on a page of millions of lines as cheap
    // as on a short one.
    if (numbersHold_) {
        std::sort(mayHaveLayout_.begin(), mayHaveLayout_.end());
        mayHaveLayout_.erase(std::unique(mayHaveLayout_.begin(), mayHaveLayout_.end()), mayHaveLayout_.end());
        for (const int n : mayHaveLayout_)
            if (const QTextBlock block = document_->findBlockByNumber(n); block.isValid())
                look(block, n);
    } else {
        int n = 0;
        for (QTextBlock block = document_->begin(); block.isValid(); block = block.next(), ++n)
            look(block, n);
    }
    highestNoted_ = stay.empty() ? -1 : *std::max_element(stay.begin(), stay.end());
    mayHaveLayout_ = std::move(stay);
    numbersHold_ = true;
    lineCount_ = document_->blockCount();
    returnFreedMemory();
}
