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
                    lineCount_ = -1;
                    if (!timer_.isActive())
                        timer_.start(0);
                }
                widest_ = size.width();
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
    firstLaidOut_ = std::min(firstLaidOut_, blockNumber);
    lastLaidOut_ = std::max(lastLaidOut_, blockNumber);
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
    lineCount_ = -1; // every line has a layout now
    if (document_->blockCount() > 2 * kKeptAroundView)
        timer_.start(kReleaseAfterResizeMs);
}

void LayoutRelease::release() {
    // A walk lays out a stretch of lines: looking at those alone keeps a release on a page of
    // millions of lines as cheap as on a short one. Line numbers hold while the line count does.
    const bool stretch = lineCount_ == document_->blockCount();
    laidOut_ = 0;
    const Kept kept = kept_();
    Q_ASSERT(kept.firstVisible <= kept.lastVisible);
    const auto near = [&kept](int n) {
        return (n >= kept.firstVisible - kKeptAroundView && n <= kept.lastVisible + kKeptAroundView) ||
               std::abs(n - kept.caret) <= 2 || std::abs(n - kept.anchor) <= 2;
    };
    int n = stretch ? std::max(firstLaidOut_, 0) : 0;
    const int last = stretch ? lastLaidOut_ : document_->blockCount() - 1;
    for (QTextBlock block = document_->findBlockByNumber(n); block.isValid() && n <= last; block = block.next(), ++n) {
        if (near(n) || !block_layouts::has(block))
            continue;
        if (auto* data = static_cast<BlockData*>(block.userData()))
            data->paintedGeneration = 0; // its colours went with its formats
        block_layouts::drop(block);
    }
    // What stays is looked at again by the next release.
    firstLaidOut_ = std::min({kept.firstVisible - kKeptAroundView, kept.caret - 2, kept.anchor - 2});
    lastLaidOut_ = std::max({kept.lastVisible + kKeptAroundView, kept.caret + 2, kept.anchor + 2});
    lineCount_ = document_->blockCount();
    returnFreedMemory();
}
