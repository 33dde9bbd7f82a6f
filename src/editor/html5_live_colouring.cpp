#include "live_colouring.h"

#include "colouring/html5_scheme.h"
#include "block_data.h"
#include "edit_area.h"

#include <QTextBlock>
#include <QTextDocument>
#include <array>

namespace {
class Html5LiveColouring : public LiveColouring {
public:
    Html5LiveColouring(const QTextDocument& document, ColourModel& model, Language language)
        : document_(document), model_(model), language_(language) {
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
        html5_scheme::LineState state = block.userState() < 0 || !block.previous().isValid()
                                            ? html5_scheme::startState(language_)
                                            : stateOf(block);
        std::pair<int, int> changed{0, 0};
        while (block.isValid()) {
            keepState(block, state);
            const QTextBlock next = colourLine(block, state, changed);
            if (!next.isValid() || (next.position() > position + added && sameState(next, state)))
                break;
            block = next;
        }
        return changed;
    }

private:
    /// Packed, as the block keeps it: the tokenizer's positions are no part of its state.
    static bool sameState(const QTextBlock& block, const html5_scheme::LineState& state) {
        const auto* data = static_cast<const BlockData*>(block.userData());
        return block.userState() == state.html.lineState() && (data ? data->codeState : 0) == state.code;
    }

    static html5_scheme::LineState stateOf(const QTextBlock& block) {
        const auto* data = static_cast<const BlockData*>(block.userData());
        return {HtmlTokenizer::fromLineState(block.userState()), data ? data->codeState : 0};
    }

    /// Most lines are no code: they keep only the tokenizer's state, and no data of their own for it.
    static void keepState(QTextBlock& block, const html5_scheme::LineState& state) {
        block.setUserState(state.html.lineState());
        auto* data = static_cast<BlockData*>(block.userData());
        if (!data && state.code != 0) {
            data = new BlockData;
            block.setUserData(data);
        }
        if (data)
            data->codeState = state.code;
    }

    static QTextBlock lineStart(QTextBlock block) {
        while (block.isValid() && block.previous().isValid() && EditArea::startsSoft(block))
            block = block.previous();
        return block;
    }

    /// Colours the line starting at @p first (with its soft-joined pieces) into the model and
    /// returns the block after it. Widens @p changed by what changed.
    QTextBlock colourLine(QTextBlock first, html5_scheme::LineState& state, std::pair<int, int>& changed) {
        QString line = first.text();
        QTextBlock next = first.next();
        for (; next.isValid() && EditArea::startsSoft(next); next = next.next())
            line += next.text();
        lineColours_.resize(size_t(line.size()));
        html5_scheme::colourLine(language_, state, line, lineColours_.data());
        for (auto& c : lineColours_)
            c = index_[c];
        auto put = [&](int position, ColourModel::Index colour) {
            if (model_.at(position) == colour)
                return;
            model_.recolour(position, &colour, 1);
            changed = changed.first == changed.second
                          ? std::pair{position, position + 1}
                          : std::pair{std::min(changed.first, position), std::max(changed.second, position + 1)};
        };
        qsizetype from = 0;
        for (QTextBlock piece = first; piece != next; piece = piece.next()) {
            const int length = piece.length() - 1;
            const int start = piece.position();
            const auto* colours = lineColours_.data() + from;
            from += length;
            for (int i = 0; i < length; ++i)
                put(start + i, colours[i]);
            // A line end is never coloured, whatever an edit left on it.
            if (start + length < model_.size())
                put(start + length, 0);
        }
        return next;
    }

    void colourAll() {
        // From one copy of the text rather than a copy of each line.
        const QString all = document_.toRawText();
        std::vector<ColourModel::Index> colours;
        const auto length = size_t(document_.characterCount());
        colours.reserve(length + ColourModel::gapFor(length));
        colours.assign(length, 0);
        html5_scheme::LineState state = html5_scheme::startState(language_);
        QString joined;
        std::vector<std::uint8_t> lineColours;
        int position = 0;
        for (QTextBlock block = document_.begin(); block.isValid();) {
            keepState(block, state);
            // The line's pieces, joined without their soft breaks.
            const int start = position;
            QTextBlock next = block;
            int pieces = 0;
            do {
                position += next.length();
                next = next.next();
                ++pieces;
            } while (next.isValid() && EditArea::startsSoft(next));
            QStringView line = QStringView(all).mid(start, std::max(0, std::min<int>(position - 1, int(all.size())) - start));
            if (pieces > 1) {
                joined = line.toString();
                joined.remove(QChar::ParagraphSeparator);
                line = joined;
            }
            lineColours.resize(size_t(line.size()));
            html5_scheme::colourLine(language_, state, line, lineColours.data());
            qsizetype from = 0;
            for (int p = start; p < position - 1 && from < line.size(); ++p) {
                if (all[p] == QChar::ParagraphSeparator)
                    continue; // a soft break
                colours[size_t(p)] = index_[lineColours[size_t(from++)]];
            }
            block = next;
        }
        model_.assign(std::move(colours));
    }

    const QTextDocument& document_;
    ColourModel& model_;
    const Language language_;
    std::array<ColourModel::Index, std::size(html5_scheme::kPalette)> index_{};
    std::vector<ColourModel::Index> lineColours_;
};
} // namespace

std::unique_ptr<LiveColouring> liveHtml5Colouring(const QTextDocument& document, ColourModel& model, Language language) {
    return std::make_unique<Html5LiveColouring>(document, model, language);
}
