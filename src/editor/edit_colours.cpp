#include "edit_colours.h"

#include "soft_break_index.h"

#include <QAbstractUndoItem>
#include <QPointer>
#include <QTextBlock>
#include <QTextDocument>
#include <array>

/// Puts the colours of a replacement's stretch back when the replacement is undone or redone.
/// The document reports the whole undo step as one change of that stretch, which alone would
/// leave it without colour.
class EditColours::Undo : public QAbstractUndoItem {
public:
    Undo(EditColours* colours, int position, std::vector<ColourModel::Index> before, std::vector<ColourModel::Index> after)
        : colours_(colours), epoch_(colours->model_.epoch()), position_(position), before_(std::move(before)),
          after_(std::move(after)) {}
    void undo() override { swapIn(after_, before_); }
    void redo() override { swapIn(before_, after_); }

private:
    void swapIn(const std::vector<ColourModel::Index>& out, const std::vector<ColourModel::Index>& in) {
        // Colours of a colouring the user has since dropped or redone do not come back.
        if (colours_ && colours_->model_.epoch() == epoch_)
            colours_->pending_ = Swap{position_, int(out.size()), in};
    }
    QPointer<EditColours> colours_;
    std::uint64_t epoch_;
    int position_;
    std::vector<ColourModel::Index> before_;
    std::vector<ColourModel::Index> after_;
};

EditColours::EditColours(QTextDocument& document, QObject* parent) : QObject(parent), document_(document) {
    model_.reset(document_.characterCount());
}

EditColours::~EditColours() = default;

void EditColours::reset() {
    model_.reset(document_.characterCount());
}

std::pair<int, int> EditColours::textChanged(const TextChange& change, bool paintEdited) {
    if (pending_) {
        // A replacement or its undo: the stretch is known exactly, whatever the document reports.
        const Swap swap = std::move(*pending_);
        pending_.reset();
        model_.remove(swap.position, swap.removed);
        model_.insert(swap.position, int(swap.colours.size()));
        model_.write(swap.position, swap.colours);
    } else {
        model_.remove(change.position, change.removed);
        model_.insert(change.position, change.added);
    }
    // Qt may over-report both counts at the document's end; the document's length is the truth.
    model_.resize(document_.characterCount());
    std::pair<int, int> recoloured;
    if (live_)
        recoloured = live_->textChanged(change.position, change.removed, change.added);
    // The edited lines take their colours, shifted with the text, before they are laid out.
    if (paintEdited && model_.mayHaveColours())
        for (QTextBlock block = document_.findBlockByNumber(change.firstBlock);
             block.isValid() && block.blockNumber() <= change.lastBlock; block = block.next())
            painter_.paint(block);
    return recoloured;
}

void EditColours::replaceColours(int first, std::vector<ColourModel::Index> before, std::vector<ColourModel::Index> after) {
    const int removed = int(before.size());
    document_.appendUndoItem(new Undo(this, first, std::move(before), after));
    pending_ = Swap{first, removed, std::move(after)};
}

void EditColours::fill(int from, int count, Colour colour) {
    model_.fill(from, count, model_.indexFor(colour));
}

std::optional<Colour> EditColours::at(int position) const {
    const auto index = model_.at(position);
    if (index == 0)
        return std::nullopt;
    return model_.colourOf(index);
}

void EditColours::assignFromText(const std::vector<std::uint8_t>& colours, std::span<const Colour> palette) {
    stopLive();
    std::array<ColourModel::Index, 256> map{};
    for (size_t i = 1; i < palette.size() && i < map.size(); ++i)
        map[i] = model_.indexFor(palette[i]);
    const auto length = static_cast<size_t>(document_.characterCount());
    std::vector<ColourModel::Index> byDocument;
    byDocument.reserve(length + ColourModel::gapFor(length));
    byDocument.resize(length, 0);
    const size_t total = colours.size();
    size_t from = 0; // position in the CR LF text
    size_t to = 0;   // position in the document
    for (QTextBlock block = document_.begin(); block.isValid() && from < total; block = block.next()) {
        const size_t end = std::min(total, from + static_cast<size_t>(block.length() - 1));
        while (from < end)
            byDocument[to++] = map[colours[from++]];
        // The document's one line-end character takes the colour of the CR; a soft break is
        // no character of the text.
        if (block.next().isValid() && SoftBreakIndex::startsSoft(block.next())) {
            to += 1;
            continue;
        }
        if (block.next().isValid() && from < total)
            byDocument[to] = map[colours[from]];
        from += 2;
        to += 1;
    }
    model_.assign(std::move(byDocument));
}

std::vector<Colour> EditColours::textColours() const {
    std::vector<Colour> out;
    for (QTextBlock block = document_.begin(); block.isValid(); block = block.next()) {
        const int end = block.position() + block.length() - 1;
        for (int p = block.position(); p < end; ++p)
            out.push_back(model_.colourOf(model_.at(p)));
        // A line end is two characters of the text, a soft break none.
        if (block.next().isValid() && !SoftBreakIndex::startsSoft(block.next()))
            out.insert(out.end(), 2, model_.colourOf(model_.at(end)));
    }
    return out;
}

void EditColours::startLive(LiveScheme scheme, const std::vector<int>& softBreaks, Language language) {
    live_ = scheme == LiveScheme::Classic ? liveClassicColouring(document_, model_, softBreaks)
            : scheme == LiveScheme::Html5 ? liveHtml5Colouring(document_, model_, language)
                                          : nullptr;
    liveScheme_ = live_ ? scheme : LiveScheme::None;
}

void EditColours::stopLive() {
    live_.reset();
    liveScheme_ = LiveScheme::None;
}
