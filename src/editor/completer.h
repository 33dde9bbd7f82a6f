#pragma once

#include "colouring/html_tokenizer.h"
#include "typing/completion.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <vector>

class EditArea;
class QKeyEvent;
class QLabel;
class QListWidget;
class QFrame;

/// The list of names that fit where the caret is, offered while typing HTML: element names after
/// `<`, a tag's attributes after a space in it, an attribute's values after its quote, character
/// references after `&`. It only offers: nothing changes the text until Enter or Tab accepts an
/// entry, and Escape closes it. Typing filters it.
///
/// Where the caret is comes from the HTML tokenizer, read from the last of a few points in the page
/// where its state is known; the points after an edit are forgotten, so a key costs one read from
/// the nearest point before it. A key that cannot open a list costs nothing.
class Completer : public QObject {
    Q_OBJECT
public:
    explicit Completer(EditArea* area);
    ~Completer() override;

    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }
    bool isShown() const;
    /// The entries shown, best first, and the one chosen now.
    QStringList shownLabels() const;
    QString currentLabel() const;

    /// A key for the list while it is shown (moving, accepting, closing): true if it took it.
    bool takeKey(QKeyEvent* e);
    /// The edit area handled @p e: opens, filters or closes the list.
    void keyHandled(const QKeyEvent* e);
    /// Shows the list for the caret's place, whatever was typed (Ctrl+Space).
    void showHere();
    void hide();
    /// The document changed at @p position: what was read after it is forgotten.
    void documentChanged(int position);

    /// Points in the page at least this many characters apart keep the tokenizer's state.
    static constexpr int kCheckpointEvery = 16 * 1024;
    /// With more than this between the last known point and the caret, the text up to the caret
    /// is read on a worker once typing pauses, so that the next list shows at once.
    static constexpr int kReadAheadAbove = 256 * 1024;
    static constexpr int kReadAheadAfterMs = 300;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Reads where the caret is and shows what fits, or hides the list.
    void update(bool openIfClosed);
    completion::Context contextAtCaret();
    completion::Context cssContextAtCaret() const;
    /// Whether @p typed ends the name the open list offers for (a CSS name, a path).
    bool endsTheName(const QString& typed) const;
    void fill();
    void accept();
    void showDescription();
    void place();

    EditArea* area_;
    bool enabled_ = true;
    QPointer<QFrame> popup_;
    QListWidget* list_ = nullptr;
    QLabel* description_ = nullptr;
    completion::Context context_;
    std::vector<completion::Item> items_;
    std::vector<int> shown_;
    /// The tokenizer's state at block starts, in document order.
    struct Checkpoint {
        int position = 0; ///< document position of a block's start
        HtmlTokenizer state;
    };
    std::vector<Checkpoint> checkpoints_{Checkpoint{}};
    /// Reads @p text (document text from @p from on, block separators as U+2029) from @p state,
    /// and gives the points where it is between tags. @p softBreaks: document positions of the
    /// separators that are no line ends, ascending.
    static std::vector<Checkpoint> readAhead(QString page, int from, int to, HtmlTokenizer state, std::vector<int> softBreaks);
    void startReadAhead();
    void takeReadAhead();
    QTimer readAheadTimer_;
    QFutureWatcher<std::vector<Checkpoint>> readAhead_;
    /// The first position edited since the running read ahead took its text.
    int editedSinceReadAhead_ = 0;
};
