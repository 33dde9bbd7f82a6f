#include "colour_painter.h"

#include "colour_model.h"

#include <QPalette>
#include <QTextCharFormat>
#include <QTextDocument>
#include <array>
#include <optional>

namespace {
// Generation of the model that a block was last painted from. A block without it was never
// painted with a colour.
class PaintedGeneration : public QTextBlockUserData {
public:
    explicit PaintedGeneration(std::uint64_t g) : generation(g) {}
    std::uint64_t generation;
};

std::uint64_t paintedGeneration(const QTextBlock& block) {
    auto* data = static_cast<PaintedGeneration*>(block.userData());
    return data ? data->generation : 0;
}
} // namespace

ColourPainter::ColourPainter(QTextDocument* document, const ColourModel& model)
    : QSyntaxHighlighter(document), model_(model) {}

bool ColourPainter::isStale(const QTextBlock& block) const {
    if (!block.userData())
        return model_.mayHaveColours();
    return paintedGeneration(block) != model_.generation();
}

void ColourPainter::highlightBlock(const QString& text) {
    const QTextBlock block = currentBlock();
    // A freshly loaded document has no colour: skip its lines without touching them.
    if (!block.userData() && !model_.mayHaveColours())
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
        if (auto* data = static_cast<PaintedGeneration*>(currentBlockUserData()))
            data->generation = generation;
        else
            setCurrentBlockUserData(new PaintedGeneration(generation));
    }
}
