#pragma once

#include "base/line_end.h"
#include "edit_colours.h"
#include "crlf_positions.h"
#include "format_document.h"
#include "line_edits.h"
#include "repaint_narrowing.h"
#include "soft_break_index.h"
#include "text_position.h"
#include "colouring/colour.h"
#include "typing/completion.h"

#include <QColor>
#include <QKeySequence>
#include <QList>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct EditOptions;
class Completer;
class TagPairRename;
class ValuePlaces;
class QTimer;
class MatchingTags;
class LayoutRelease;
class PageLoader;
class Folding;
class QMenu;

/// The edit area: a plain-text editor whose operations count the document as one string with
/// CR LF line ends, and whose character colours live in a ColourModel.
///
/// The underlying QTextDocument stores a line end as one character; every position handed in or
/// out here is a position in the CR LF text, so that reading text() and then selecting by its
/// indices selects exactly those characters.
///
/// A very long line is held as several blocks joined by soft breaks, so that a keystroke lays
/// out a few thousand characters rather than the whole line. A soft break is a block separator
/// whose next block carries kSoftStart in its block format (undo and redo keep formats). Soft
/// breaks are no characters of the text: text(), positions, saved files and copied text never
/// see them.
class EditArea : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EditArea(QWidget* parent = nullptr);
    ~EditArea() override;

    /// The whole document with CR LF line ends.
    QString text() const;
    /// The text with one U+2029 per line end: a cheap copy to take to another thread.
    QString rawText() const;
    /// The document as it holds the text, soft breaks included: its positions are document positions.
    QString documentText() const;
    /// @p raw (as rawText() gives it) with CR LF line ends, in one linear pass.
    static QString crlfFromRaw(QStringView raw) { return CrlfPositions::crlfFromRaw(raw); }
    /// Replaces the whole document as one undoable edit; all colour is dropped.
    void setText(const QString& text, const LineEndExceptions& lineEnds = {});
    /// Starts a fresh document (no undo history, no colour), as after opening a file. Lines
    /// named in @p lineEnds keep their own file line end; edits carry it with the line.
    void loadText(const QString& text, const LineEndExceptions& lineEnds = {});
    /// The lines that still carry their own file line end, in line order.
    LineEndExceptions lineEndExceptions() const;
    /// Every line takes the file's usual line end from now on.
    void clearLineEndExceptions();

    /// Shows @p firstScreen (whole lines, CR LF) at once, read-only, as the start of the page the
    /// next loadText() brings: when that page starts with it, its lines stay and the rest follows.
    void showFirstScreen(const QString& firstScreen);
    /// A big page shows its first screen at once; the rest goes in while the window is idle.
    /// Meanwhile the text is read-only, and whatever reads the whole text finishes the load first.
    bool isLoading() const;
    /// Puts the rest of a page that is still loading in at once.
    void finishLoading() const;
    /// Texts longer than this load in pieces; the first piece holds about kFirstScreen characters.
    static constexpr qsizetype kLoadInPiecesAbove = 2 * 1024 * 1024;
    static constexpr qsizetype kFirstScreen = 64 * 1024;

signals:
    /// The last piece of a page loaded in pieces is in.
    void loadingFinished();
    /// Files were dropped on the text; nothing was inserted.
    void filesDropped(const QStringList& paths);
    /// Ctrl+wheel or setZoom() changed the zoom.
    void zoomChanged(int steps);
    /// Insert toggled typing over the text.
    void overwriteModeChanged(bool on);
    /// The text changed (a line painted again is no change).
    void edited();
    /// setLanguage() changed what the text is.
    void languageChanged();
    /// Ctrl+click on the value of an href or src attribute: @p url as written.
    void linkClicked(const QString& url);
    /// A click on the swatch of a written colour: the caret is on the colour.
    void swatchClicked();

public:

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
    /// The same stretch as a cursor, the caret left alone.
    QTextCursor rangeInLine(int line, int column, int length) const;
    /// Replaces the selection (one undo step) and leaves the caret after it, nothing selected.
    void replaceSelection(const QString& text);
    /// Replaces each range (CR LF text positions, in any order) with @p replacement, as one
    /// undo step. The selection is left alone.
    void replaceRanges(std::vector<std::pair<int, int>> ranges, const QString& replacement);
    struct Replacement {
        int start = 0; ///< CR LF text position
        int length = 0;
        QString text;
    };
    /// Makes every replacement (ranges that do not overlap, in any order) as one undo step. The
    /// colours of the text between them stay, through undo and redo too; a replacement takes the
    /// colours of the characters it replaces, place by place, and the last one's beyond them.
    void replaceEach(std::vector<Replacement> edits);

    // Lines and comments, each one undo step.
    /// `<!-- -->`, `/* */` or `//` as the caret's place is a page, a style sheet or a script;
    /// taken away when the lines are commented already.
    void toggleComment();
    /// The selection, or the caret's line, once more after it.
    void duplicateLines();
    /// The lines the selection touches swap with the line above or below.
    void moveLines(bool up);
    void deleteLines();
    /// The lines the selection touches become one; a caret's line joins the next.
    void joinLines();
    /// Re-indents a page's lines (or those the selection touches, with @p selectionOnly) by their
    /// element depth, one undo step, after checking that the page reads as before. Returns why
    /// it did not, or an empty string.
    QString formatDocument(bool selectionOnly);
    /// How formatDocument() lays lines out.
    void setFormatStyle(const format_document::Style& style) { formatStyle_ = style; }
    // Several carets. The caret of textCursor() is the main one; the others type, delete, paste,
    // move and take insertions with it, each edit one undo step. Alt+click adds one, Alt+drag
    // makes a column of them, Escape or a plain click leaves the main one alone.
    /// One more caret on the line above the first caret, or below the last.
    void addCaret(bool above);
    /// The next place with the main selection's text becomes a selection too, and the main one
    /// (the word at the caret, when nothing is selected, is selected first). False when there is none.
    bool selectNextOccurrence();
    void singleCaret();
    int caretCount() const { return 1 + int(extraCarets_.size()); }
    /// Every caret's selection in text order, as CR LF text {start, length}.
    std::vector<std::pair<int, int>> caretSelections() const;
    /// Puts at every caret what @p make gives for its selection (CR LF text), as one undo step;
    /// a caret goes to the place @p make sets in @p caret (a position in the text it gave), or
    /// after the text. One caret alone gets replaceSelection() and setCaretPosition().
    void replaceAtEveryCaret(const std::function<QString(const QString& selected, qsizetype* caret)>& make);

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
    bool hasColours() const;
    /// The colour of every character of text(), 0 for the default colour.
    std::vector<Colour> textColours() const;

    /// From now on every edit leaves the colours what colouring the whole text again would give.
    /// The colours must be those of the colouring pass on the current text.
    void startLiveColouring();
    /// Colours the page with the HTML5 scheme (a style sheet or script with its own lexer), and
    /// keeps it true as it is edited.
    void colourAsHtml5();
    /// What the text is: it decides the lexer of colourAsHtml5() and the typing help that fits
    /// (the HTML list, abbreviations and end tags in HTML; matching and renamed tags in markup).
    void setLanguage(Language language);
    Language language() const { return language_; }
    /// A colour written in a style sheet (or a page's style), in CR LF positions.
    struct WrittenColour {
        int start = 0;
        int length = 0;
        QColor colour;
    };
    /// The colour written where the caret is, if any.
    std::optional<WrittenColour> colourAtCaret() const;
    /// Writes @p colour over @p written in the form it had (hex as hex, rgb() as rgb(), ...), one undo step.
    void rewriteColour(const WrittenColour& written, const QColor& colour);
    /// The folder of the page's file, which paths typed in it start from; empty without a file.
    void setDocumentFolder(const QString& folder) { documentFolder_ = folder; }
    const QString& documentFolder() const { return documentFolder_; }
    /// Where the names the site's pages use come from (the classes and ids a style sheet's
    /// selectors are completed with); none by default.
    using SiteNames = std::function<completion::PageNames()>;
    void setSiteNames(SiteNames names) { siteNames_ = std::move(names); }
    completion::PageNames siteNames() const { return siteNames_ ? siteNames_() : completion::PageNames(); }
    /// Colours stay as they are, and go stale as the text is edited; as do clearColours(),
    /// setColours() and replacing the whole text.
    void stopLiveColouring();
    using LiveScheme = EditColours::LiveScheme;
    LiveScheme liveScheme() const;

    /// Marks drawn over the text that are neither colour nor edits, kept in groups so that each
    /// feature replaces only its own.
    enum class Highlights { MatchingTags, FindMatches, Problems, Spelling, Carets, Count };
    /// Adds items to the right-click menu for the document position clicked on (spelling's suggestions).
    using ContextMenuAdditions = std::function<void(QMenu*, int)>;
    void setContextMenuAdditions(ContextMenuAdditions add) { contextMenuAdditions_ = std::move(add); }
    void setHighlights(Highlights group, const QList<QTextEdit::ExtraSelection>& marks);
    MatchingTags* matchingTags() const { return matchingTags_; }
    /// Typing `</` completes the innermost open element's end tag (an option, off at start).
    void setCompleteEndTags(bool on) { completeEndTags_ = on; }
    /// Typing in a tag's name renames its partner too (an option, off at start).
    void setRenameTagPairs(bool on) { renameTagPairs_ = on; }
    /// Enter gives the new line the indent of the caret's, one more after an opening block tag
    /// or `{`.
    void setKeepIndent(bool on) { keepIndent_ = on; }
    /// In style sheets, scripts and attribute values, typing `(`, `[`, `{` or a quote adds its
    /// closing half after the caret, and typing that half over it steps past it.
    void setCloseBrackets(bool on) { closeBrackets_ = on; }

    /// The list of names that fit where the caret is, offered as HTML is typed.
    Completer* completer() const { return completer_; }
    /// Replaces the @p length characters before the caret with @p text as one undo step, and
    /// leaves the caret @p caretBack characters before the end of it. With @p valuePlaces, the
    /// empty values in @p text (`=""`) become places: a `"` typed before one's closing quote
    /// steps over it, and Tab goes to the next, then past the last (Escape ends that).
    void replaceBeforeCaret(int length, const QString& text, int caretBack = 0, bool valuePlaces = false);

    /// Expands the abbreviation just before the caret (`ul>li*3`) into its markup, one undo step,
    /// the caret in its first empty place. False when there is none.
    bool expandAbbreviation();
    /// Tab right after an abbreviation expands it (an option, off at start).
    void setExpandOnTab(bool on) { expandOnTab_ = on; }

    /// Runs an editing command of the Edit menu as its key would, so that a page still loading
    /// queues it and soft breaks stay as the key keeps them.
    void pressStandardKey(QKeySequence::StandardKey key);

    /// What the user chose for every edit area (the zoom only when it is new).
    void apply(const EditOptions& options);

    /// Key sequences that belong to the menu: the editor must not take them for itself.
    void setReservedShortcuts(QList<QKeySequence> keys) { reserved_ = std::move(keys); }

    /// How many lines the text has (soft breaks are no lines).
    int lineCount() const;
    /// The caret's 1-based line and column (in characters of the line).
    struct Place {
        int line = 1;
        int column = 1;
    };
    Place caretPlace() const;
    /// The selected characters, a line end counting as one.
    int selectedCharacters() const;
    /// Puts the caret on 1-based @p line and @p column, both clamped to the text, and brings
    /// the line to the middle of the view.
    void goToLine(int line, int column = 1);

    /// The CR LF text positions of the first and the last character of the lines in view.
    std::pair<int, int> visibleRange() const;

    /// A gutter with line numbers, painted for the visible lines only.
    void setLineNumbersVisible(bool on);
    bool lineNumbersVisible() const { return lineNumbers_; }
    /// Markers in the gutter where a stretch can be folded, and where one is.
    void setFoldMarkersVisible(bool on);
    bool foldMarkersVisible() const { return foldMarkers_; }
    /// The gutter, shown for line numbers or fold markers; nullptr when neither is.
    QWidget* lineNumberGutter() const;
    /// The folded stretches and the commands that fold.
    Folding* folding() const { return folding_; }
    /// The font at zoom 0; the zoom adds or takes points from it.
    void setBaseFont(const QFont& font);
    QFont baseFont() const { return baseFont_; }
    void setZoom(int steps);
    int zoom() const { return zoom_; }
    static constexpr int kMaxZoom = 30;

    /// The two position spaces: the page's text (CR LF) and the document that shows it.
    const CrlfPositions& positions() const { return positions_; }
    DocumentPosition docFromCrlf(CrlfPosition position) const { return positions_.toDocument(position); }
    CrlfPosition crlfFromDoc(DocumentPosition position) const { return positions_.toCrlf(position); }

    /// The block property that marks a block whose separator before it is a soft break.
    static constexpr int kSoftStart = SoftBreakIndex::kSoftStart;
    /// Lines longer than this are held in pieces of at most kPieceLength characters.
    static constexpr qsizetype kSplitLinesAbove = 4096;
    static constexpr qsizetype kPieceLength = 1024;
    /// Whether the separator before @p block is a soft break.
    static bool startsSoft(const QTextBlock& block) { return SoftBreakIndex::startsSoft(block); }
    /// Where the soft breaks are: the document position of each, ascending.
    std::vector<int> softBreakPositions() const;
    /// How many soft breaks the document holds.
    int softBreakCount() const { return int(softBreaks_.blocks().size()); }

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    /// The first member, set before any other takes the document: the document gets a layout
    /// that never lays out a folded line (every paint and scroll would, up to the text's end).
    bool foldingLayout_ = installFoldingLayout();
    bool installFoldingLayout();
    class LineNumberGutter; // paints the line numbers of the view it is part of
    void onContentsChange(int position, int removed, int added);
    /// Lines in [first, last) got new colours outside the edit Qt repaints: paint them again.
    void showRecoloured(int first, int last);
    int gutterWidth() const;
    int foldMarkerWidth() const;
    void paintLineNumbers(QPaintEvent* e);
    void placeGutter();
    void updateGutter();
    /// Draws `…</table>` after the first line of each fold in view; a click there unfolds it.
    void paintFoldPlaceholders(const QRect& area);
    /// @p resetColours: the whole text is new (an appended piece keeps the model it extends).
    void replaceUncoloured(const std::function<void()>& replace, bool resetColours = true);
    void repaintStaleVisibleBlocks(const QRect& area);
    void markLineEnds(const LineEndExceptions& lineEnds);
    /// Word wrap, unless @p changed holds a run too long to wrap at word boundaries; a change
    /// that is not the whole text never goes back from wrapping anywhere.
    void chooseWrap(QStringView changed, bool wholeText);

    void completeEndTag();
    /// The colours written in @p block that its colours say are CSS (a swatch each), in block positions.
    std::vector<WrittenColour> cssColoursIn(const QTextBlock& block) const;
    /// A colour's swatch in the view, and the document position of its colour.
    struct Swatch {
        QRectF rect;
        QColor colour;
        bool square = false; ///< in the space before the colour; else a bar under it
        int position = 0;
    };
    std::vector<Swatch> swatchesIn(const QTextBlock& block) const;
    qreal swatchSide() const;
    void makeRoomForSwatches(const QTextBlock& block, QList<QTextLayout::FormatRange>& formats) const;
    void paintSwatches(const QRect& area);
    /// "W × H pixels" when @p column of @p line is in the path of a local image, else empty.
    QString imageSizeAt(const QString& line, int column) const;
    void repaintContents(const QRectF& rect);
    /// Asks a repaint of the lines in view for which @p wanted holds.
    void updateVisibleBlocks(const std::function<bool(const QTextBlock&)>& wanted);
    /// Lines longer than this keep their shaped glyphs while they are near the view.
    static constexpr int kKeepGlyphsAbove = 200;
    void loadNextPiece();
    void returnFreedMemorySoon();
    /// Whether @p e would change the text (a page still loading cannot take it yet).
    static bool editsText(const QKeyEvent* e);
    /// Keys typed while the page loads, from the first that would edit it on: they go in, in
    /// their order, once the load is done, and the window never waits for the load meanwhile.
    std::vector<std::unique_ptr<QKeyEvent>> queuedKeys_;
    void typeQueuedKeys();

    // Soft breaks.
    /// Inserts CR LF text at @p cursor (replacing its selection) as part of the caller's edit:
    /// long lines get soft breaks, every line end a hard one.
    void insertText(QTextCursor& cursor, const QString& text);
    /// Replaces the document with @p text, no undo step: long lines as pieces.
    void loadPieces(const QString& text);
    /// The first block of line @p line (0-based, counting line ends only).
    QTextBlock firstBlockOfLine(int line) const;
    /// The document position of a 1-based line and column, clamped to that line.
    int docPositionOf(int line, int column) const;
    /// @p text (document text from document position @p from) without its soft breaks.
    QString withoutSoftBreaks(QString text, int from) const;
    /// Keys that could join or cut blocks, done here while the page has soft breaks. Returns
    /// false for keys left to Qt.
    bool handleKeyAtSoftBreak(QKeyEvent* e);
    /// Runs @p edit on the caret's cursor as one undo step that leaves every soft mark true.
    void editKeepingSoftBreaks(const std::function<void(QTextCursor&)>& edit);
    /// After an edit that starts at document position @p start: the block there gets back the
    /// soft mark its start had @p before the edit, and each later block up to @p lastBlock the
    /// mark @p soft holds for it (none when @p soft is shorter).
    void markSoftStarts(int start, int lastBlock, const std::vector<int>& before, const std::vector<bool>& soft);
    /// The same from @p block, whose mark before the edit is @p blockWasSoft.
    void markSoftStarts(QTextBlock block, int lastBlock, bool blockWasSoft, const std::vector<bool>& soft);

    EditColours* colours_ = nullptr;
    LineNumberGutter* gutter_ = nullptr;
    bool lineNumbers_ = false;
    bool foldMarkers_ = false;
    Folding* folding_ = nullptr;
    std::vector<std::pair<QRectF, int>> foldPlaceholders_; ///< where each is drawn, and its line's last position
    ContextMenuAdditions contextMenuAdditions_;
    std::vector<QTextCursor> extraCarets_; ///< the carets beside the main one
    std::optional<QPoint> columnFrom_;     ///< where an Alt+drag started
    std::vector<QTextCursor> caretsInOrder() const;
    /// Merges carets that met, marks their selections and paints again.
    void showCarets();
    void paintCarets(const QRect& area);
    void editAtEveryCaret(const std::function<void(QTextCursor&)>& edit);
    void deleteAtCaret(QTextCursor& c, bool backward);
    void pasteAtEveryCaret(const QString& clipboard);
    /// A key while there are several carets: true if it took it.
    bool multiCaretKey(QKeyEvent* e);
    /// Alt+click and Alt+drag; a plain click leaves one caret. True if it took the event.
    bool caretMouse(QMouseEvent* e);
    LayoutRelease* layoutRelease_ = nullptr;
    QFont baseFont_;
    int zoom_ = 0;
    bool paintEdits_ = true; ///< off while a replacement leaves lines to be painted as they show
    /// The text as documentText() and text() last gave it, shared by whoever asks until the page
    /// changes: the readers that start when typing pauses (tags, folds, completion, the element
    /// path, the recovery copy) take one copy of a big page between them, not one each. Dropped
    /// at the next change, and once no reader holds it and it was not asked for in a moment, or
    /// kSnapshotKeptMs after it was last asked for.
    mutable QString rawSnapshot_;
    mutable QString crlfSnapshot_;
    QTimer* snapshotRelease_ = nullptr;
    mutable QElapsedTimer snapshotAsked_;
    void snapshotAsked() const;
    static constexpr int kSnapshotCheckMs = 250;
    static constexpr int kSnapshotKeptMs = 2000;
    /// Edit blocks of ours that are open: inside one, the document tells of its changes only at
    /// its end, so no snapshot is taken or kept.
    int openEditBlocks_ = 0;
    void dropSnapshots() const;
    /// Held around each edit block of ours.
    struct EditBlockScope {
        explicit EditBlockScope(EditArea& area);
        ~EditBlockScope();
        EditArea& area;
    };
    MatchingTags* matchingTags_ = nullptr;
    Completer* completer_ = nullptr;
    bool completeEndTags_ = false;
    bool expandOnTab_ = false;
    bool renameTagPairs_ = false;
    bool keepIndent_ = false;
    bool closeBrackets_ = false;
    format_document::Style formatStyle_;
    std::unique_ptr<TagPairRename> tagPairRename_;
    std::unique_ptr<ValuePlaces> valuePlaces_;
    /// A key for the places a completion left: true if it took it.
    bool valuePlaceKey(QKeyEvent* e);
    /// Tab on a selection of several lines indents them, Shift+Tab outdents the lines it
    /// touches, each as one undo step: true if it took the key.
    bool indentKey(QKeyEvent* e);
    void applyLineEdit(const std::optional<line_edits::Changed>& changed);
    bool keepIndentKey(QKeyEvent* e);
    bool closeBracketKey(QKeyEvent* e);
    std::array<QList<QTextEdit::ExtraSelection>, size_t(Highlights::Count)> highlights_;
    QList<QKeySequence> reserved_;
    Language language_ = Language::Html;
    QString documentFolder_;
    SiteNames siteNames_;
    bool typingQueuedKeys_ = false;
    /// How many lines were loaded with a line end of their own.
    int lineEndCount_ = 0;
    PageLoader* loader_ = nullptr; ///< the part of a page still to load
    QString firstScreen_; ///< shown before its page was read
    SoftBreakIndex softBreaks_{document()};
    CrlfPositions positions_{*document(), softBreaks_};
    RepaintNarrowing repaintNarrowing_{document()};
};
