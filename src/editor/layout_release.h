#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

class QTextDocument;

/// Frees the text layouts of lines far from the view. A line keeps its layout (its shaped glyphs
/// and colour formats) once laid out: a walk through a big page, or a change of the view's
/// width, which relays out every line, would keep one for every line. Once many lines were laid
/// out, or once a resize has stopped, the layouts of lines far from the view, the caret and the
/// anchor go; a line is laid out and painted from the colour model again when it is next needed.
class LayoutRelease : public QObject {
    Q_OBJECT
public:
    /// The lines (block numbers) whose layouts stay, with the lines around them.
    struct Kept {
        int firstVisible = 0;
        int lastVisible = 0;
        int caret = 0;
        int anchor = 0;
    };
    LayoutRelease(QTextDocument* document, std::function<Kept()> kept, QObject* parent = nullptr);

    /// Line @p blockNumber was laid out (told by the document's layout for each).
    void lineLaidOut(int blockNumber);
    /// A paint is coming: far layouts go soon if many lines were laid out.
    void viewShows();
    /// Frees the far layouts now if many lines were laid out: called after each key, where no
    /// layout is in use, since a burst of keys (Page Down held) is handled before any paint.
    void releaseIfDue();
    /// The view's width or its wrap changed: Qt gave every line a layout, to lay it out again.
    void linesRelaidOut();
    /// Frees the far layouts now. It looks at the lines laid out since the last release and at
    /// those that release kept; at every line once lines before them came or went, or Qt gave
    /// every line a layout.
    void release();

    /// Often enough that the layouts of a walk never fill much of the heap: the few kept, made
    /// last, would hold on to the pages of all the others.
    static constexpr int kLinesLaidOutBeforeRelease = 1000;
    static constexpr int kKeptAroundView = 300;
    /// A change of width relays out every line: their layouts go once the resizing stops.
    static constexpr int kReleaseAfterResizeMs = 500;
    /// Once no line has been laid out for this long, the far layouts made since the last release
    /// go too: a walk that stops short of the next release keeps none for long.
    static constexpr int kReleaseWhenStillMs = 1000;

private:
    void startStill();

    QTextDocument* document_;
    std::function<Kept()> kept_;
    QTimer timer_;
    QTimer still_;
    /// Lines laid out since layouts were last released.
    int laidOut_ = 0;
    int laidOutWhenStillStarted_ = 0;
    /// The numbers of the lines that may hold a layout: laid out since the last release, or kept
    /// by it. Unless numbersHold_, a line may hold one without being noted, or under another number.
    std::vector<int> mayHaveLayout_;
    int highestNoted_ = -1;
    bool numbersHold_ = false;
    int lineCount_ = 0;
    qreal widest_ = 0; ///< the document's width, as its layout last told
};
