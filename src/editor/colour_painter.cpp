#include "colour_painter.h"

#include "block_data.h"
#include "colour_model.h"

#include <QPalette>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextLayout>
#include <array>
#include <optional>

namespace {
std::uint64_t paintedGeneration(const QTextBlock& block) {
    auto* data = static_cast<BlockData*>(block.userData());
    return data ? data->paintedGeneration : 0;
}
} // namespace

ColourPainter::ColourPainter(QTextDocument& document, const ColourModel& model) : document_(document), model_(model) {}

bool ColourPainter::isStale(const QTextBlock& block) const {
    const std::uint64_t painted = paintedGeneration(block);
    if (painted == 0)
        return model_.mayHaveColours();
    return painted != model_.generation();
}

void ColourPainter::paint(const QTextBlock& block) {
    // A freshly loaded document has no colour: skip its lines without touching them.
    if (!block.isValid() || (paintedGeneration(block) == 0 && !model_.mayHaveColours()))
        return;
    QTextLayout* layout = block.layout();
    const int start = block.position();
    const int length = block.length() - 1;
    // What an input method shows while a word is composed is its own; everything else is ours.
    QList<QTextLayout::FormatRange> ranges;
    if (const int preedit = int(layout->preeditAreaText().size()); preedit > 0) {
        const int preeditStart = layout->preeditAreaPosition();
        for (const QTextLayout::FormatRange& range : layout->formats())
            if (range.start >= preeditStart && range.start + range.length <= preeditStart + preedit)
                ranges << range;
    }
    // One format per colour for the whole line: building a format per run is the costly part of
    // painting a long coloured line.
    std::array<std::optional<QTextCharFormat>, 256> formats;
    const QPalette palette;
    model_.forEachRun(start, length, [&](int runStart, int runLength, auto index) {
        if (index == 0)
            return;
        auto& format = formats[index];
        if (!format) {
            format.emplace();
            format->setForeground(resolveColour(model_.colourOf(index), palette));
        }
        ranges << QTextLayout::FormatRange{runStart - start, runLength, *format};
    });
    if (more_)
        more_(block, ranges);
    const std::uint64_t generation = model_.generation();
    if (generation != paintedGeneration(block)) {
        auto* data = static_cast<BlockData*>(block.userData());
        if (!data) {
            data = new BlockData;
            QTextBlock(block).setUserData(data);
        }
        data->paintedGeneration = generation;
    }
    // The same colours as before need no new layout.
    if (ranges == layout->formats())
        return;
    layout->setFormats(ranges);
    document_.markContentsDirty(start, block.length());
}
