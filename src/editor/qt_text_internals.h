#pragma once

class QObject;
class QPlainTextEdit;
class QRectF;
class QSyntaxHighlighter;

/// What the edit area does with Qt's plain text widgets beyond their public API, in one place:
/// two private slots, reached by name, and (in block_layouts) one private header. A Qt whose
/// internals differ leaves these as no-ops that say so, and the edit area then only repaints
/// and reformats more than it needs.
namespace qt_text_internals {

/// Sends the repaint requests that @p edit's text layout makes after an edit to @p receiver's
/// slot `repaintContents(QRectF)` instead of to the widget's own. False when Qt's text
/// control could not be found.
bool routeRepaintRequests(QPlainTextEdit* edit, QObject* receiver);
/// Repaints @p rect of @p edit as the widget itself would have.
void repaintAsQtWould(QPlainTextEdit* edit, const QRectF& rect);

/// While it lives, @p highlighter does not reformat the lines a change of its document touches
/// (the caller paints them later, or they are new and have no colour). Its handler comes back
/// after every other handler of the document's changes.
class HighlighterPause {
public:
    explicit HighlighterPause(QSyntaxHighlighter* highlighter);
    ~HighlighterPause();
    HighlighterPause(const HighlighterPause&) = delete;
    HighlighterPause& operator=(const HighlighterPause&) = delete;

private:
    QSyntaxHighlighter* highlighter_;
    bool paused_;
};

} // namespace qt_text_internals
