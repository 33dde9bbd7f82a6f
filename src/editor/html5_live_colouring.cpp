#include "live_colouring.h"

#include "colouring/html5_scheme.h"
#include "edit_area.h"

#include <QTextBlock>
#include <QTextDocument>
#include <array>

namespace {
class Html5LiveColouring : public LiveColouring {
public:
    Html5LiveColouring(const QTextDocument& document, ColourModel& model) : document_(document), model_(model) {
        for (size_t i = 1; i < std::size(html5_scheme::kPalette); ++i)
            index_[i] = model_.indexFor(html5_scheme::kPalette[i]);
        colourAll();
    }

    std::pair<int, int> textChanged(int position, int /*removed*/, int added) override {
        // From the start of the first line whose starting state is known, line by line, until a
        // line after the edit starts in the state it had. The edited line's own state may be
        // another's: joining two lines can keep the second one's block.
        QTextBlock block = lineStart(document_.findBlock(position));
        if (block.previous().isValid())
            block = lineStart(block.previous());
        while (block.previous().isValid() && block.userState() < 0)
            block = lineStart(block.previous());
        // The first line always starts afresh, whatever state its block kept.
        HtmlTokenizer state = block.userState() < 0 || !block.previous().isValid()
                                  ? HtmlTokenizer()
                                  : HtmlTokenizer::fromLineState(block.userState());
        std::pair<int, int> changed{0, 0};
        while (block.isValid()) {
            block.setUserState(state.lineState());
            const QTextBlock next = colourLine(block, state, &changed);
            if (!next.isValid() || (next.position() > position + added && next.userState() == state.lineState()))
                break;
            block = next;
        }
        return changed;
    }

private:
    static QTextBlock lineStart(QTextBlock block) {
        while (block.isValid() && block.previous().isValid() && EditArea::startsSoft(block))
            block = block.previous();
        return block;
    }

    /// Colours the line starting at @p first (with its soft-joined pieces) into the model and
    /// returns the block after it. Widens @p changed by what changed; with no @p changed, writes
    /// into colours_ instead.
    QTextBlock colourLine(QTextBlock first, HtmlTokenizer& state, std::pair<int, int>* changed) {
        QString line = first.text();
        QTextBlock next = first.next();
        for (; next.isValid() && EditArea::startsSoft(next); next = next.next())
            line += next.text();
        lineColours_.resize(size_t(line.size()));
        html5_scheme::colourLine(state, line, lineColours_.data());
        for (auto& c : lineColours_)
            c = index_[c];
        auto put = [&](int position, ColourModel::Index colour) {
            if (model_.at(position) == colour)
                return;
            model_.recolour(position, &colour, 1);
            *changed = changed->first == changed->second
                           ? std::pair{position, position + 1}
                           : std::pair{std::min(changed->first, position), std::max(changed->second, position + 1)};
        };
        qsizetype from = 0;
        for (QTextBlock piece = first; piece != next; piece = piece.next()) {
            const int length = piece.length() - 1;
            const int start = piece.position();
            const auto* colours = lineColours_.data() + from;
            from += length;
            if (!changed) {
                std::copy(colours, colours + length, colours_.begin() + start);
                continue;
            }
            for (int i = 0; i < length; ++i)
                put(start + i, colours[i]);
            // A line end is never coloured, whatever an edit left on it.
            if (start + length < model_.size())
                put(start + length, 0);
        }
        return next;
    }

    void colourAll() {
        const auto length = size_t(document_.characterCount());
        colours_.reserve(length + ColourModel::gapFor(length));
        colours_.assign(length, 0);
        HtmlTokenizer state;
        for (QTextBlock block = document_.begin(); block.isValid();) {
            block.setUserState(state.lineState());
            block = colourLine(block, state, nullptr);
        }
        model_.assign(std::move(colours_));
        colours_ = {};
    }

    const QTextDocument& document_;
    ColourModel& model_;
    std::array<ColourModel::Index, std::size(html5_scheme::kPalette)> index_{};
    std::vector<ColourModel::Index> lineColours_;
    std::vector<ColourModel::Index> colours_; ///< the whole page, while it is coloured at once
};
} // namespace

std::unique_ptr<LiveColouring> liveHtml5Colouring(const QTextDocument& document, ColourModel& model) {
    return std::make_unique<Html5LiveColouring>(document, model);
}
