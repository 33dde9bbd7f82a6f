#include "layout_release.h"

#include "block_data.h"
#include "block_layouts.h"

#include "base/memory_advice.h"

#include <QTextBlock>
#include <QTextDocument>
#include <cstdlib>

LayoutRelease::LayoutRelease(QTextDocument* document, std::function<Kept()> kept, QObject* parent)
    : QObject(parent), document_(document), kept_(std::move(kept)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LayoutRelease::release);
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

void LayoutRelease::lineLaidOut() {
    ++laidOut_;
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

void LayoutRelease::widthChanged() {
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
    int n = 0;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next(), ++n) {
        if (near(n) || !block_layouts::has(block))
            continue;
        if (auto* data = static_cast<BlockData*>(block.userData()))
            data->paintedGeneration = 0; // its colours went with its formats
        block_layouts::drop(block);
    }
    returnFreedMemory();
}
