#pragma once

#include "colouring/folds.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPlainTextDocumentLayout>
#include <QTimer>
#include <QString>
#include <QTextBlock>
#include <functional>
#include <optional>
#include <vector>

class EditArea;

/// The plain text layout, but a folded line is never laid out: it takes no room, and laying it
/// out for nothing would cost every paint that walks past it.
class FoldingLayout : public QPlainTextDocumentLayout {
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;
    QRectF blockBoundingRect(const QTextBlock& block) const override {
        if (!block.isVisible())
            return QRectF();
        // A line without lines is laid out now, as the base does it.
        if (laidOut && block.layout()->lineCount() == 0)
            laidOut(block);
        return QPlainTextDocumentLayout::blockBoundingRect(block);
    }
    /// Told of each line laid out.
    std::function<void(const QTextBlock&)> laidOut;
};

/// The folded stretches of an edit area: the lines of an element, a comment or a `{}` block
/// hidden behind their first line. Hidden lines are blocks made invisible: the text, saving,
/// copying and undo never see a fold.
///
/// A fold stays through edits outside it. An edit in its hidden lines, one that adds or takes
/// away a line of it, or one that edits its start tag away unfolds it. A caret put on a hidden
/// line (find, go to line, a link) unfolds what hides it; the arrow keys step over a fold.
class Folding : public QObject {
    Q_OBJECT
public:
    explicit Folding(EditArea* area);
    ~Folding() override;
    /// How long typing pauses before the gutter's markers are read again, on a worker.
    static constexpr int kPauseMs = 300;

    /// Reads the ranges on a worker, for the gutter, unless they are current.
    void readSoon();
    /// The stretches that span lines, in document positions, read from the current text when
    /// it changed since they were last read.
    const std::vector<folds::Range>& ranges();
    /// How deep each of ranges() is: 1 for an outermost one.
    const std::vector<int>& depths();

    /// Folds the innermost open stretch holding the caret's line. False when there is none.
    bool foldAtCaret();
    /// Unfolds what is folded on the caret's line, else the innermost fold holding it.
    bool unfoldAtCaret();
    void foldAll();
    void unfoldAll();
    /// Folds every stretch @p level deep, and unfolds the rest.
    void foldToLevel(int level);
    /// The line starting at @p block: unfolds what is folded there, else folds its outermost
    /// stretch (the gutter's marker).
    bool toggleLine(const QTextBlock& block);

    /// Whether a foldable stretch starts on the line of @p block, and whether it is folded.
    enum class Mark { None, Open, Folded };
    Mark markOf(const QTextBlock& block);
    /// For the last block of a folded first line: what stands for the hidden lines (`…</table>`).
    std::optional<QString> placeholderAfter(const QTextBlock& block) const;
    int foldCount() const { return int(folds_.size()); }

    /// A key is moving the caret: a hidden line it lands on is stepped over, not unfolded.
    void setKeyMoving(bool on) { keyMoving_ = on; }

signals:
    /// Lines were hidden or shown.
    void foldsChanged();

private:
    struct Fold {
        int start = 0; ///< document positions, moved as the text is edited
        int end = 0;
        QString opening;
        QString closing;
        int blocks = 0; ///< blocks from the start's to the end's, which an edit must leave as they were
    };
    /// The blocks a range hides: the lines after its first, through its last unless text follows
    /// the range there.
    struct Hidden {
        QTextBlock first;
        QTextBlock last;
        bool lastLineHidden = false;
    };
    std::optional<Hidden> hiddenBy(int start, int end) const;
    QTextBlock firstOfLine(QTextBlock block) const;
    QTextBlock lastOfLine(QTextBlock block) const;
    Fold makeFold(const folds::Range& range) const;
    /// Hides the fold's lines (or shows them, keeping the folds still standing hidden).
    void hide(const Fold& fold);
    void reveal(size_t index);
    /// Shows the lines between two positions, but those of the folds still standing.
    void showAgain(int from, int to);
    int blocksOf(int start, int end) const;
    /// Lays out again what changed visibility between document positions.
    void relayout(int from, int to);
    void textChanged(int position, int removed, int added);
    void caretMoved();
    int innermostRangeAt(const QTextBlock& block, bool unfoldedOnly);
    /// Where the line of @p block starts, and where its last character ends.
    std::pair<int, int> lineSpan(const QTextBlock& block) const;
    /// Unfolds the folds that start on the line of @p block: true if there were any.
    bool unfoldLine(const QTextBlock& block);
    /// Folds, afresh, the ranges whose index @p wanted takes.
    void foldWhere(const std::function<bool(size_t)>& wanted);
    /// Keeps the ranges of @p all that span lines, with their depths.
    void adopt(std::vector<folds::Range> all);

    EditArea* area_;
    std::vector<Fold> folds_; ///< sorted by start
    std::vector<folds::Range> ranges_;
    std::vector<int> depths_;
    bool stale_ = true;
    bool keyMoving_ = false;
    bool commandsUsed_ = false; ///< the ranges were read for a command: they are kept read from then on
    int caretBefore_ = 0;
    int generation_ = 0; ///< counts edits
    int readingFor_ = -1;
    QTimer pause_;
    QFutureWatcher<std::vector<folds::Range>> reading_;
};
