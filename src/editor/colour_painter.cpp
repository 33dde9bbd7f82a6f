#include "colour_painter.h"

#include "block_data.h"
#include "colour_model.h"

#include <QPalette>
#include <QTextCharFormat>
#include <QTextDocument>
#include <array>
#include <optional>

namespace {
std::uint64_t paintedGeneration(const QTextBlock& block) {
    auto* data = static_cast<BlockData*>(block.userData());
    return data ? data->paintedGeneration : 0;
}
} // namespace

ColourPainter::ColourPainter(QTextDocument* document, const ColourModel& model)
    : QSyntaxHighlighter(document), model_(model) {}

bool ColourPainter::isStale(const QTextBlock& block) const {
    const std::uint64_t painted = paintedGeneration(block);
    if (painted == 0)
        return model_.mayHaveColours();
    return painted != model_.generation();
}

void ColourPainter::highlightBlock(const QString& text) {
    const QTextBlock block = currentBlock();
    // A freshly loaded document has no colour: skip its lines without touching them.
    if (paintedGeneration(block) == 0 && !model_.mayHaveColours())
        return;
    const int start = block.position();
    // One format per colour for the whole line: building a format per run is the costly part of
    // painting a long coloured line.
    std::array<std::optional<QTextCharFormat>, 256> formats;
    const QPalette palette;
    model_.forEachRun(start, static_cast<int>(text.size()), [&](int runStart, int length, auto index) {
        if (index == 0)
            return;
        auto& format = formats[index];
        if (!format) {
            format.emplace();
            format->setForeground(resolveColour(model_.colourOf(index), palette));
        }
        setFormat(runStart - start, length, *format);
    });
    const std::uint64_t generation = model_.generation();
    if (generation != paintedGeneration(block)) {
        auto* data = static_cast<BlockData*>(currentBlockUserData());
        if (!data) {
            data = new BlockData;
            setCurrentBlockUserData(data);
        }
        data->paintedGeneration = generation;
    }
}
