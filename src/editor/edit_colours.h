#pragma once

#include "colour_model.h"
#include "colour_painter.h"
#include "live_colouring.h"
#include "text_change.h"

#include <QObject>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class QTextBlock;
class QTextDocument;

/// The colours of the edit area's text: the model that holds them apart from the text, the
/// painter that shows them, the colouring that keeps them true as the text is edited, and the
/// colours a replacement carries through undo and redo. Positions are document positions.
class EditColours : public QObject {
public:
    enum class LiveScheme { None, Classic, Html5 };

    EditColours(QTextDocument& document, QObject* parent);
    ~EditColours() override;

    const ColourModel& model() const { return model_; }
    bool mayHaveColours() const { return model_.mayHaveColours(); }

    /// The whole text is new: no colour, nothing kept true.
    void reset();
    /// Room for @p count more characters at the end, where a page loading in pieces grows.
    void reserveAtEnd(int count) { model_.reserveAtEnd(count); }
    /// An edit: the colours move with the text, and live colouring colours again what the edit
    /// can change. Returns that stretch [first, last) of the document, for the view to show.
    /// With @p paintEdited the lines the edit spans are painted at once (before Qt lays them out).
    std::pair<int, int> textChanged(const TextChange& change, bool paintEdited);
    /// A replacement of [first, first + before.size()) is going on: its characters take @p after,
    /// and undo and redo swap the two back and forth.
    void replaceColours(int first, std::vector<ColourModel::Index> before, std::vector<ColourModel::Index> after);
    /// The replacement is in.
    void replaceDone() { pending_.reset(); }
    std::vector<ColourModel::Index> copy(int from, int count) const { return model_.copy(from, count); }

    void fill(int from, int count, Colour colour);
    /// The colour at @p position; nullopt for the default colour.
    std::optional<Colour> at(int position) const;
    /// Every character's colour from a colouring of the CR LF text: @p colours holds an index into
    /// @p palette for each of its characters (0 the default colour).
    void assignFromText(const std::vector<std::uint8_t>& colours, std::span<const Colour> palette);
    /// The colour of every character of the CR LF text.
    std::vector<Colour> textColours() const;

    /// From now on every edit leaves the colours what colouring the whole text with @p scheme
    /// gives. The classic scheme's colours must be in the model already; @p softBreaks are the
    /// document positions of the separators that are no line ends. The HTML5 scheme colours the
    /// whole text now.
    void startLive(LiveScheme scheme, const std::vector<int>& softBreaks = {}, Language language = Language::Html);
    void stopLive();
    LiveScheme liveScheme() const { return liveScheme_; }

    /// Whether @p block shows older colours than the model's, and painting it so.
    bool isStale(const QTextBlock& block) const { return painter_.isStale(block); }
    void paint(const QTextBlock& block) { painter_.paint(block); }
    void setLineFormats(ColourPainter::LineFormats more) { painter_.setLineFormats(std::move(more)); }

private:
    class Undo;
    /// Colours that the next text change puts in: the edit or undo step going on replaces
    /// @p removed characters at @p position with these.
    struct Swap {
        int position = 0;
        int removed = 0;
        std::vector<ColourModel::Index> colours;
    };

    QTextDocument& document_;
    ColourModel model_;
    ColourPainter painter_{document_, model_};
    std::unique_ptr<LiveColouring> live_;
    LiveScheme liveScheme_ = LiveScheme::None;
    std::optional<Swap> pending_;
};
