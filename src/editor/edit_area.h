#pragma once

#include "base/line_end.h"
#include "colour_model.h"
#include "colouring/colour.h"

#include <QKeySequence>
#include <QList>
#include <QPlainTextEdit>
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <vector>

class ColourPainter;
class MatchingTags;

/// The edit area: a plain-text editor whose operations count the document as one string with
/// CR LF line ends, and whose character colours live in a ColourModel.
///
/// The underlying QTextDocument stores a line end as one character; every position handed in or
/// out here is a position in the CR LF text, so that reading text() and then selecting by its
/// indices selects exactly those characters.
class EditArea : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EditArea(QWidget* parent = nullptr);
    ~EditArea() override;

    /// The whole document with CR LF line ends.
    QString text() const;
    /// The document's own text, one U+2029 per line end: a cheap copy to take to another thread.
    QString rawText() const;
    /// @p raw (as rawText() gives it) with CR LF line ends, in one linear pass.
    static QString crlfFromRaw(QStringView raw);
    /// Replaces the whole document as one undoable edit; all colour is dropped.
    void setText(const QString& text, const LineEndExceptions& lineEnds = {});
    /// Starts a fresh document (no undo history, no colour), as after opening a file. Lines
    /// named in @p lineEnds keep their own file line end; edits carry it with the line.
    void loadText(const QString& text, const LineEndExceptions& lineEnds = {});
    /// The lines that still carry their own file line end, in line order.
    LineEndExceptions lineEndExceptions() const;

    int selectionStart() const;
    /// Moves the caret to @p pos, collapsing the selection.
    void setCaretPosition(int pos);
    int selectionLength() const;
    /// Extends the selection from selectionStart() by @p length characters.
    void setSelectionLength(int length);
    QString selectedText() const;
    /// Line @p line (1-based) of the text, without its line end; empty past the end.
    QString lineText(int line) const;
    /// Selects @p length characters from 1-based @p line and @p column, both clamped to the
    /// text and the selection to that line, and scrolls it into view.
    void selectInLine(int line, int column, int length);
    /// Replaces the selection (one undo step) and leaves the caret after it, nothing selected.
    void replaceSelection(const QString& text);
    /// Replaces each range (CR LF text positions, in any order) with @p replacement, as one
    /// undo step. The selection is left alone.
    void replaceRanges(std::vector<std::pair<int, int>> ranges, const QString& replacement);
    /// Colours the selected characters.
    void colourSelection(Colour colour);
    /// Colours a range of the CR LF text without touching the selection.
    void colourRange(int start, int length, Colour colour);

    /// Colour of the character at a CR LF text position; nullopt for the default colour.
    std::optional<Colour> colourAt(int pos) const;
    /// Replaces every character's colour at once. @p colours holds, for each character of
    /// text(), an index into @p palette, whose entry 0 stands for the default colour. Repaints once.
    void setColours(const std::vector<std::uint8_t>& colours, std::span<const Colour> palette);
    /// Drops every colour without touching the text.
    void clearColours();

    /// Marks drawn over the text that are neither colour nor edits, kept in groups so that each
    /// feature replaces only its own.
    enum class Highlights { MatchingTags, Count };
    void setHighlights(Highlights group, const QList<QTextEdit::ExtraSelection>& marks);
    MatchingTags* matchingTags() const { return matchingTags_; }
    /// Typing `</` completes the innermost open element's end tag (an option, off at start).
    void setCompleteEndTags(bool on) { completeEndTags_ = on; }

    /// Key sequences that belong to the menu: the editor must not take them for itself.
    void setReservedShortcuts(QList<QKeySequence> keys) { reserved_ = std::move(keys); }

    int docFromCrlf(int pos) const;
    int crlfFromDoc(int pos) const;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void onContentsChange(int position, int removed, int added);
    void replaceUncoloured(const std::function<void()>& replace);
    void repaintStaleVisibleBlocks();
    int blockCrlfStart(int blockNumber) const;
    void markLineEnds(const LineEndExceptions& lineEnds);
    /// Word wrap, unless @p changed holds a run too long to wrap at word boundaries; a change
    /// that is not the whole text never goes back from wrapping anywhere.
    void chooseWrap(QStringView changed, bool wholeText);

    void completeEndTag();

    ColourModel model_;
    ColourPainter* painter_ = nullptr;
    MatchingTags* matchingTags_ = nullptr;
    bool completeEndTags_ = false;
    std::array<QList<QTextEdit::ExtraSelection>, size_t(Highlights::Count)> highlights_;
    QList<QKeySequence> reserved_;
    bool muted_ = false;
    /// How many lines were loaded with a line end of their own.
    int lineEndCount_ = 0;
};
