#include "edit_area.h"

#include "block_data.h"
#include "layout_release.h"
#include "page_loader.h"
#include "base/memory_advice.h"
#include "edit_colours.h"
#include "completer.h"
#include "typing/abbreviation.h"
#include "matching_tags.h"
#include "tag_pair_rename.h"
#include "line_indent.h"
#include "value_places.h"

#include <QAbstractTextDocumentLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QToolTip>
#include <QAbstractUndoItem>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QScopedValueRollback>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <utility>
#include <array>

EditArea::EditArea(QWidget* parent) : QPlainTextEdit(parent) {
    // Every part that follows edits hears of them from onContentsChange(), in its order.
    connect(document(), &QTextDocument::contentsChange, this, &EditArea::onContentsChange);
    colours_ = new EditColours(*document(), this);
    matchingTags_ = new MatchingTags(this);
    completer_ = new Completer(this);
    tagPairRename_ = std::make_unique<TagPairRename>(*this);
    valuePlaces_ = std::make_unique<ValuePlaces>();
    loader_ = new PageLoader([this] { loadNextPiece(); }, this);
    layoutRelease_ = new LayoutRelease(
        document(),
        [this] {
            const QTextCursor cursor = textCursor();
            return LayoutRelease::Kept{firstVisibleBlock().blockNumber(),
                                       cursorForPosition(QPoint(0, viewport()->height())).blockNumber(),
                                       cursor.blockNumber(), document()->findBlock(cursor.anchor()).blockNumber()};
        },
        this);
    // Repaints the layout asks for after an edit go through repaintContents(), which keeps
    // them to the edited lines when nothing else moved; the widget would repaint the whole view.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    if (!disconnect(layout, &QAbstractTextDocumentLayout::update, nullptr, nullptr))
        qWarning("Tagloom: the text layout's repaint requests had no receiver; edits repaint as Qt does");
    connect(layout, &QAbstractTextDocumentLayout::update, this, &EditArea::repaintContents);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::updateBlock, this,
            [this] { repaintNarrowing_.forget(); });
}

void EditArea::repaintContents(const QRectF& rect) {
    if (const auto blocks = repaintNarrowing_.narrowed(rect)) {
        // Through the lines in view only, which are laid out already: asking where a line out
        // of view is would lay it out (soft marks set while a long line loads).
        updateVisibleBlocks([&](const QTextBlock& block) {
            return block.blockNumber() >= blocks->first && block.blockNumber() <= blocks->last;
        });
        return;
    }
    // The plain text layout asks for everything from the changed line down (it knows no
    // positions): the view, and the line numbers beside it.
    viewport()->update();
    emit updateRequest(viewport()->rect(), 0);
}

void EditArea::updateVisibleBlocks(const std::function<bool(const QTextBlock&)>& wanted) {
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    for (; block.isValid() && top <= viewport()->height(); block = block.next()) {
        const qreal height = blockBoundingRect(block).height();
        if (wanted(block))
            viewport()->update(QRect(0, int(top), viewport()->width(), int(height) + 1));
        top += height;
    }
}

EditArea::~EditArea() {
    // Tearing down is no edit to keep colours true through; and the painter reads the model
    // while the document is torn down, so it is detached first.
    disconnect(document(), &QTextDocument::contentsChange, this, nullptr);
    disconnect(document()->documentLayout(), nullptr, this, nullptr);
    colours_->stopLive();
}

QString EditArea::text() const {
    return crlfFromRaw(rawText());
}


void EditArea::setText(const QString& text, const LineEndExceptions& lineEnds) {
    finishLoading();
    QTextCursor cursor(document());
    chooseWrap(text, true);
    replaceUncoloured([&] {
        cursor.select(QTextCursor::Document);
        insertText(cursor, text);
    });
    markLineEnds(lineEnds);
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
}

void EditArea::markLineEnds(const LineEndExceptions& lineEnds) {
    lineEndCount_ = int(lineEnds.size());
    for (const LineEndAt& at : lineEnds) {
        // The line end belongs to the line's last piece.
        const QTextBlock next = firstBlockOfLine(at.line + 1);
        QTextBlock block = next.isValid() ? next.previous() : document()->lastBlock();
        if (!block.isValid())
            continue;
        auto* data = new BlockData;
        data->lineEnd = at.style;
        block.setUserData(data);
    }
}

namespace {
// A run this long without a break opportunity makes word wrapping cost the square of the run:
// a minified script or a data string of a few hundred KB would take minutes to lay out.
constexpr qsizetype kLongestWordToWrap = 2000;

bool hasUnbreakableRun(QStringView text) {
    qsizetype run = 0;
    for (QChar c : text) {
        if (c.isSpace() || c == u'-')
            run = 0;
        else if (++run > kLongestWordToWrap)
            return true;
    }
    return false;
}
} // namespace

void EditArea::chooseWrap(QStringView changed, bool wholeText) {
    // Words wrap as always; only a page with an unbreakable run wraps anywhere, until it is
    // replaced by text without one.
    const bool anywhere =
        hasUnbreakableRun(changed) || (!wholeText && wordWrapMode() == QTextOption::WrapAnywhere);
    const auto mode = anywhere ? QTextOption::WrapAnywhere : QTextOption::WordWrap;
    if (wordWrapMode() != mode)
        setWordWrapMode(mode);
}

void EditArea::replaceUncoloured(const std::function<void()>& replace, bool resetColours) {
    // The whole text is new and has no colour, so the painter need not look at its lines; on a
    // big page that look costs a quarter of the time.
    stopLiveColouring();
    const QScopedValueRollback pause(paintEdits_, false);
    replace();
    if (resetColours)
        colours_->reset();
}

bool EditArea::isLoading() const {
    return loader_->isLoading() || !firstScreen_.isNull();
}

void EditArea::showFirstScreen(const QString& firstScreen) {
    loader_->stop();
    chooseWrap(firstScreen, true);
    replaceUncoloured([&] { loadPieces(firstScreen); });
    firstScreen_ = firstScreen;
    setReadOnly(true);
    document()->setUndoRedoEnabled(false);
}

void EditArea::loadText(const QString& text, const LineEndExceptions& lineEnds) {
    // The page whose first screen is shown already goes on after it.
    const QString shown = std::exchange(firstScreen_, QString());
    if (!shown.isNull() && text.size() > kLoadInPiecesAbove && text.startsWith(shown) &&
        QStringView(text).mid(shown.size(), 2) == QLatin1StringView("\r\n")) {
        loader_->start(text, shown.size(), lineEnds);
        document()->setModified(false);
        emit document()->modificationChanged(false);
        return;
    }
    // A page still loading is dropped: this one replaces it, and keys meant for it go too.
    loader_->stop();
    queuedKeys_.clear();
    setReadOnly(false);
    document()->setUndoRedoEnabled(true);
    // The first screen goes in now, cut at a line end; the rest follows while the window is idle.
    const qsizetype firstEnd =
        text.size() > kLoadInPiecesAbove ? text.indexOf(QStringLiteral("\r\n"), kFirstScreen) : -1;
    // Before the text goes in, so that it is laid out once; each later piece is looked at as it comes.
    chooseWrap(firstEnd < 0 ? QStringView(text) : QStringView(text).left(firstEnd), true);
    replaceUncoloured([&] { loadPieces(firstEnd < 0 ? text : text.left(firstEnd)); });
    if (firstEnd < 0) {
        markLineEnds(lineEnds);
    } else {
        loader_->start(text, firstEnd, lineEnds);
        setReadOnly(true);
        document()->setUndoRedoEnabled(false);
    }
    if (firstEnd < 0)
        returnFreedMemorySoon();
    // Loading an empty text reports a modification and then quietly drops it: say that the
    // fresh document is unmodified, so that whoever shows the state is told.
    document()->setModified(false);
    emit document()->modificationChanged(false);
}

void EditArea::loadNextPiece() {
    if (!loader_->isLoading())
        return;
    // Loading is no edit: the page keeps the modified state it had, and no undo step.
    const bool modified = document()->isModified();
    QElapsedTimer step;
    step.start();
    // Once, in the first step rather than before the first screen: the colour store grows at its end.
    colours_->reserveAtEnd(int(loader_->remaining()));
    do {
        const QStringView piece = loader_->nextPiece();
        QElapsedTimer took;
        took.start();
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        chooseWrap(piece, false);
        replaceUncoloured([&] { insertText(cursor, piece.toString()); }, false);
        loader_->pieceDone(piece.size(), took.nsecsElapsed());
    } while (!loader_->atEnd() && step.elapsed() < PageLoader::kStepMs);
    document()->setModified(modified);
    if (!loader_->atEnd()) {
        loader_->stepSoon();
        return;
    }
    markLineEnds(loader_->finish());
    document()->setUndoRedoEnabled(true);
    document()->setModified(modified);
    setReadOnly(false);
    returnFreedMemorySoon();
    emit loadingFinished();
    // In a turn of their own, so that neither this step nor they keep the window waiting; keys
    // typed meanwhile join the queue behind them.
    if (!queuedKeys_.empty())
        QTimer::singleShot(0, this, &EditArea::typeQueuedKeys);
}

void EditArea::returnFreedMemorySoon() {
    // Once the caller has let go of the file's text too.
    if (document()->characterCount() > kLoadInPiecesAbove / 8)
        QTimer::singleShot(0, this, [] { returnFreedMemory(); });
}

void EditArea::finishLoading() const {
    // Readers of the whole text are const; the load is no change to the text they read.
    auto* self = const_cast<EditArea*>(this);
    while (self->loader_->isLoading())
        self->loadNextPiece();
    // Whoever reads the whole text reads what was typed during the load too.
    self->typeQueuedKeys();
}

LineEndExceptions EditArea::lineEndExceptions() const {
    finishLoading();
    LineEndExceptions out;
    if (lineEndCount_ == 0)
        return out; // nothing to look for in a file whose lines all end alike
    int line = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockNumber() > 0 && !startsSoft(block))
            ++line;
        if (auto* data = static_cast<BlockData*>(block.userData()); data && data->lineEnd)
            out.push_back({line, *data->lineEnd});
    }
    return out;
}

void EditArea::clearLineEndExceptions() {
    finishLoading();
    if (lineEndCount_ == 0)
        return;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        if (auto* data = static_cast<BlockData*>(block.userData()))
            data->lineEnd.reset();
    lineEndCount_ = 0;
}

int EditArea::selectionStart() const {
    return crlfFromDoc(DocumentPosition(textCursor().selectionStart())).value;
}

void EditArea::setCaretPosition(int pos) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(docFromCrlf(CrlfPosition(pos)).value);
    setTextCursor(cursor);
}

int EditArea::selectionLength() const {
    const QTextCursor cursor = textCursor();
    return crlfFromDoc(DocumentPosition(cursor.selectionEnd())) - crlfFromDoc(DocumentPosition(cursor.selectionStart()));
}

void EditArea::setSelectionLength(int length) {
    const CrlfPosition start(selectionStart());
    QTextCursor cursor = textCursor();
    cursor.setPosition(docFromCrlf(start).value);
    cursor.setPosition(docFromCrlf(start + std::max(length, 0)).value, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

QString EditArea::selectedText() const {
    const QTextCursor cursor = textCursor();
    QString text = withoutSoftBreaks(cursor.selectedText(), cursor.selectionStart());
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return text;
}

QString EditArea::lineText(int line) const {
    finishLoading();
    QTextBlock block = firstBlockOfLine(line - 1);
    QString text = block.text();
    for (block = block.next(); block.isValid() && startsSoft(block); block = block.next())
        text += block.text();
    return text;
}

void EditArea::selectInLine(int line, int column, int length) {
    finishLoading();
    setTextCursor(rangeInLine(line, column, length));
    centerCursor();
}

QTextCursor EditArea::rangeInLine(int line, int column, int length) const {
    line = std::clamp(line, 1, document()->blockCount() - softBreakCount());
    QTextCursor cursor(document());
    cursor.setPosition(docPositionOf(line, column));
    cursor.setPosition(docPositionOf(line, column + std::max(length, 0)), QTextCursor::KeepAnchor);
    return cursor;
}

void EditArea::insertFromMimeData(const QMimeData* source) {
    // Decided before the text goes in: laying it out is what would take minutes.
    if (!source->hasText())
        return;
    chooseWrap(source->text(), false);
    QTextCursor cursor = textCursor();
    insertText(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

void EditArea::replaceSelection(const QString& text) {
    finishLoading();
    chooseWrap(text, false);
    QTextCursor cursor = textCursor();
    insertText(cursor, text);
    setTextCursor(cursor);
}

void EditArea::replaceRanges(std::vector<std::pair<int, int>> ranges, const QString& replacement) {
    std::vector<Replacement> edits;
    edits.reserve(ranges.size());
    for (auto [start, length] : ranges)
        edits.push_back({start, length, replacement});
    replaceEach(std::move(edits));
}

void EditArea::replaceEach(std::vector<Replacement> edits) {
    finishLoading();
    if (edits.empty())
        return;
    std::sort(edits.begin(), edits.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    struct Span {
        int from, to, inserted = 0;
    };
    std::vector<CrlfPosition> ends;
    ends.reserve(edits.size() * 2);
    for (const Replacement& edit : edits) {
        ends.push_back(CrlfPosition(edit.start));
        ends.push_back(CrlfPosition(edit.start + edit.length));
    }
    const std::vector<DocumentPosition> inDocument = positions_.toDocumentAscending(ends);
    std::vector<Span> spans;
    spans.reserve(edits.size());
    for (size_t i = 0; i < edits.size(); ++i)
        spans.push_back({inDocument[2 * i].value, inDocument[2 * i + 1].value});
    const bool coloured = colours_->mayHaveColours();
    const int first = spans.front().from;
    const int last = spans.back().to;
    const std::vector<ColourModel::Index> before = coloured ? colours_->copy(first, last - first) : std::vector<ColourModel::Index>{};
    // The painter would repaint every line between the first and the last replacement at once;
    // the lines are repainted as they come into view instead.
    std::optional<QScopedValueRollback<bool>> pause(std::in_place, paintEdits_, false);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    // From the end, so that earlier positions stay true.
    for (size_t i = edits.size(); i-- > 0;) {
        chooseWrap(edits[i].text, false);
        cursor.setPosition(spans[i].from);
        cursor.setPosition(spans[i].to, QTextCursor::KeepAnchor);
        insertText(cursor, edits[i].text);
        spans[i].inserted = cursor.position() - spans[i].from;
    }
    if (coloured) {
        std::vector<ColourModel::Index> after;
        after.reserve(before.size());
        int copied = first;
        for (const Span& span : spans) {
            after.insert(after.end(), before.begin() + (copied - first), before.begin() + (span.from - first));
            // Character by character while the old text lasts, then the colour of its last one.
            for (int k = 0; k < span.inserted; ++k)
                after.push_back(span.to > span.from ? before[size_t(std::min(span.from + k, span.to - 1) - first)] : 0);
            copied = span.to;
        }
        colours_->replaceColours(first, before, std::move(after));
    }
    cursor.endEditBlock();
    colours_->replaceDone();
    pause.reset();
    viewport()->update();
}

void EditArea::colourSelection(Colour colour) {
    colourRange(selectionStart(), selectionLength(), colour);
}

void EditArea::colourRange(int start, int length, Colour colour) {
    const DocumentPosition from = docFromCrlf(CrlfPosition(start));
    colours_->fill(from.value, docFromCrlf(CrlfPosition(start + length)) - from, colour);
    viewport()->update();
}

std::optional<Colour> EditArea::colourAt(int pos) const {
    return colours_->at(docFromCrlf(CrlfPosition(pos)).value);
}

void EditArea::setColours(const std::vector<std::uint8_t>& colours, std::span<const Colour> palette) {
    finishLoading();
    colours_->assignFromText(colours, palette);
    viewport()->update();
    returnFreedMemorySoon(); // the pass's own buffers
}

void EditArea::clearColours() {
    colours_->stopLive();
    colours_->reset();
    viewport()->update();
}

std::vector<Colour> EditArea::textColours() const {
    finishLoading();
    return colours_->textColours();
}

void EditArea::startLiveColouring() {
    finishLoading();
    colours_->startLive(LiveScheme::Classic, softBreakPositions());
}

void EditArea::colourAsHtml5() {
    finishLoading();
    colours_->startLive(LiveScheme::Html5);
    viewport()->update();
    returnFreedMemorySoon();
}

void EditArea::stopLiveColouring() {
    colours_->stopLive();
}

void EditArea::showRecoloured(int first, int last) {
    if (first >= last)
        return;
    // Lines out of view are painted afresh when they come into view.
    for (QTextBlock block = document()->findBlock(first); block.isValid() && block.position() < last;
         block = block.next())
        if (auto* data = static_cast<BlockData*>(block.userData()))
            data->paintedGeneration = 0;
    updateVisibleBlocks([&](const QTextBlock& block) {
        return block.position() + block.length() > first && block.position() < last;
    });
}

void EditArea::onContentsChange(int position, int removed, int added) {
    // The one description of the edit; the parts hear of it in this order.
    const QTextBlock last = document()->findBlock(position + added + (removed > 0 ? 1 : 0));
    const TextChange change{position, removed, added, document()->findBlock(position).blockNumber(),
                            last.isValid() ? last.blockNumber() : document()->blockCount() - 1};
    softBreaks_.changed();
    repaintNarrowing_.noteEdit(change.position, change.added);
    completer_->documentChanged(change.position);
    const auto [first, end] = colours_->textChanged(change, paintEdits_);
    showRecoloured(first, end);
    emit edited();
}

void EditArea::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && e->modifiers() == Qt::ControlModifier) {
        const QTextCursor at = cursorForPosition(e->position().toPoint());
        const QString line = at.block().text();
        const int column = at.positionInBlock();
        static const QRegularExpression link(QStringLiteral("\\b(?:href|src)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
                                             QRegularExpression::CaseInsensitiveOption);
        for (auto it = link.globalMatch(line); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (column < m.capturedStart() || column > m.capturedEnd())
                continue;
            for (int group = 1; group <= 3; ++group)
                if (m.capturedStart(group) >= 0) {
                    emit linkClicked(m.captured(group));
                    e->accept();
                    return;
                }
        }
    }
    QPlainTextEdit::mousePressEvent(e);
}

bool EditArea::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        // A mark's note (a problem found as the page was checked, a tag with no partner).
        const auto* help = static_cast<QHelpEvent*>(e);
        const int at = cursorForPosition(viewport()->mapFromGlobal(help->globalPos())).position();
        for (const auto& group : highlights_)
            for (const QTextEdit::ExtraSelection& mark : group)
                if (!mark.format.toolTip().isEmpty() && mark.cursor.selectionStart() <= at && at <= mark.cursor.selectionEnd()) {
                    QToolTip::showText(help->globalPos(), mark.format.toolTip(), viewport());
                    return true;
                }
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    if (e->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(e)->keyCombination());
        if (reserved_.contains(pressed)) {
            // Leave the key to the menu (on Windows the editor would take Ctrl+Y as Redo).
            e->ignore();
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

void EditArea::pressStandardKey(QKeySequence::StandardKey key) {
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(key);
    if (bindings.isEmpty())
        return;
    const QKeyCombination combination = bindings.constFirst()[0];
    QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    keyPressEvent(&press);
}

bool EditArea::editsText(const QKeyEvent* e) {
    return e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Undo) ||
           e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete || e->key() == Qt::Key_Return ||
           e->key() == Qt::Key_Enter || (!e->text().isEmpty() && (e->text()[0].isPrint() || e->text()[0] == u'\t'));
}

void EditArea::typeQueuedKeys() {
    if (typingQueuedKeys_)
        return;
    typingQueuedKeys_ = true;
    // A key may start something that reads the text; the queue is taken first.
    for (const std::unique_ptr<QKeyEvent>& key : std::exchange(queuedKeys_, {}))
        keyPressEvent(key.get());
    typingQueuedKeys_ = false;
}

void EditArea::keyPressEvent(QKeyEvent* e) {
    // A key that edits a page still loading waits for the rest of it rather than being lost, and
    // every key after it waits too, so that they go in as they were typed. The load goes on in
    // its steps meanwhile: the window never waits for the whole page.
    if (!queuedKeys_.empty() || (isLoading() && editsText(e))) {
        queuedKeys_.push_back(std::make_unique<QKeyEvent>(e->type(), e->key(), e->modifiers(), e->nativeScanCode(),
                                                          e->nativeVirtualKey(), e->nativeModifiers(), e->text(),
                                                          e->isAutoRepeat(), e->count()));
        e->accept();
        return;
    }
    // A chord with Alt or Ctrl is a command, never text: Alt+F where no menu answers it types
    // nothing. The editor still gets the key without its text, for its own commands (Ctrl+V).
    // Ctrl and Alt together are AltGr on Windows, which types characters such as @.
    const Qt::KeyboardModifiers chord = e->modifiers() & (Qt::AltModifier | Qt::ControlModifier);
    if (chord && chord != (Qt::AltModifier | Qt::ControlModifier) && !e->text().isEmpty() && e->text()[0].isPrint()) {
        QKeyEvent command(e->type(), e->key(), e->modifiers(), e->nativeScanCode(), e->nativeVirtualKey(),
                          e->nativeModifiers(), QString(), e->isAutoRepeat(), e->count());
        keyPressEvent(&command);
        e->setAccepted(command.isAccepted());
        return;
    }
    if (completer_->takeKey(e))
        return;
    if (valuePlaceKey(e)) {
        completer_->keyHandled(e);
        return;
    }
    if (indentKey(e))
        return;
    if (expandOnTab_ && e->key() == Qt::Key_Tab && e->modifiers() == Qt::NoModifier && expandAbbreviation())
        return;
    if (renameTagPairs_ && !isReadOnly() && editsText(e) && tagPairRename_->type(e)) {
        completer_->keyHandled(e);
        return;
    }
    if (e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier) {
        setOverwriteMode(!overwriteMode());
        emit overwriteModeChanged(overwriteMode());
        return;
    }
    // Shift+Enter would insert a line separator that is no CR LF line end; make it a real one.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (e->modifiers() & Qt::ShiftModifier)) {
        QKeyEvent plain(e->type(), e->key(), e->modifiers() & ~Qt::ShiftModifier, e->text());
        if (!handleKeyAtSoftBreak(&plain))
            QPlainTextEdit::keyPressEvent(&plain);
    } else if (!handleKeyAtSoftBreak(e)) {
        QPlainTextEdit::keyPressEvent(e);
        if (completeEndTags_ && !isReadOnly() && e->text() == QStringLiteral("/"))
            completeEndTag();
    }
    completer_->keyHandled(e);
}

void EditArea::replaceBeforeCaret(int length, const QString& text, int caretBack, bool valuePlaces) {
    // Counted in the text's characters: a soft break inside the typed part is none of them.
    finishLoading();
    const CrlfPosition end = crlfFromDoc(DocumentPosition(textCursor().position()));
    const CrlfPosition start(std::max(0, end.value - length));
    QTextCursor cursor = textCursor();
    cursor.setPosition(docFromCrlf(start).value);
    cursor.setPosition(docFromCrlf(end).value, QTextCursor::KeepAnchor);
    chooseWrap(text, false);
    insertText(cursor, text);
    cursor.setPosition(docFromCrlf(start + int(text.size() - caretBack)).value);
    setTextCursor(cursor);
    if (valuePlaces) {
        std::vector<int> quotes;
        for (qsizetype at = text.indexOf(QStringLiteral("=\"\"")); at >= 0; at = text.indexOf(QStringLiteral("=\"\""), at + 3))
            quotes.push_back(docFromCrlf(start + int(at + 2)).value);
        valuePlaces_->set(document(), quotes);
    }
}

bool EditArea::indentKey(QKeyEvent* e) {
    const bool tab = e->key() == Qt::Key_Tab && e->modifiers() == Qt::NoModifier;
    const bool backtab = e->key() == Qt::Key_Backtab;
    if ((!tab && !backtab) || isReadOnly())
        return false;
    const QString text = this->text();
    const int start = selectionStart(), end = start + selectionLength();
    if (tab && !line_indent::spansLines(text, start, end))
        return false; // a caret, or a selection inside one line: Tab as always
    const line_indent::Indented indented = line_indent::indentLines(text, start, end, backtab);
    std::vector<Replacement> edits;
    for (const line_indent::Edit& edit : indented.edits)
        edits.push_back({edit.start, edit.length, edit.text});
    const int removedHere = !edits.empty() && edits.front().start <= start ? edits.front().length : 0;
    if (!edits.empty())
        replaceEach(std::move(edits));
    if (end == start) { // Shift+Tab at a caret: the caret stays where it was in its line
        setCaretPosition(std::max(indented.selectionStart, start - removedHere));
        return true;
    }
    setCaretPosition(indented.selectionStart);
    setSelectionLength(indented.selectionEnd - indented.selectionStart);
    return true;
}

bool EditArea::valuePlaceKey(QKeyEvent* e) {
    if (valuePlaces_->isEmpty() || isReadOnly())
        return false;
    if (e->key() == Qt::Key_Escape) {
        valuePlaces_->clear();
        return false;
    }
    QTextCursor caret = textCursor();
    if (caret.hasSelection() || (e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)))
        return false;
    int to = -1;
    if (e->text() == u"\"")
        to = valuePlaces_->stepOverQuote(caret.position());
    else if (e->key() == Qt::Key_Tab && e->modifiers() == Qt::NoModifier)
        to = valuePlaces_->next(caret.position());
    if (to < 0)
        return false;
    caret.setPosition(to);
    setTextCursor(caret);
    return true;
}

bool EditArea::expandAbbreviation() {
    finishLoading();
    const QTextCursor caret = textCursor();
    if (caret.hasSelection() || isReadOnly())
        return false;
    const QTextBlock block = caret.block();
    const QString line = block.text().left(caret.positionInBlock());
    const qsizetype start = abbreviation::startIn(line);
    if (start < 0)
        return false;
    QTextBlock first = block;
    while (startsSoft(first) && first.previous().isValid())
        first = first.previous();
    QString indent = first.text();
    indent.truncate(std::find_if(indent.begin(), indent.end(), [](QChar c) { return c != u' ' && c != u'\t'; }) -
                    indent.begin());
    const auto expansion = abbreviation::expand(QStringView(line).mid(start), indent);
    if (!expansion)
        return false;
    replaceBeforeCaret(int(line.size() - start), expansion->text, int(expansion->text.size() - expansion->caret));
    return true;
}

void EditArea::completeEndTag() {
    const QTextCursor cursor = textCursor();
    const int pos = cursor.position();
    if (cursor.hasSelection() || pos < 2 || document()->characterAt(pos - 2) != u'<')
        return;
    const QString name = TagMap::elementToClose(QStringView(documentText()).left(pos - 2));
    if (name.isEmpty())
        return;
    // An edit of its own, so that undo takes back the completion and leaves the typed `</`.
    QTextCursor completion = textCursor();
    completion.beginEditBlock();
    completion.insertText(name + u'>');
    completion.endEditBlock();
    setTextCursor(completion);
}

void EditArea::setHighlights(Highlights group, const QList<QTextEdit::ExtraSelection>& marks) {
    highlights_[size_t(group)] = marks;
    QList<QTextEdit::ExtraSelection> all;
    for (const auto& g : highlights_)
        all += g;
    setExtraSelections(all);
}

void EditArea::paintEvent(QPaintEvent* e) {
    repaintStaleVisibleBlocks(e->rect());
    QPlainTextEdit::paintEvent(e);
}

void EditArea::repaintStaleVisibleBlocks(const QRect& area) {
    // Only the lines in the area being painted: the caret's blink paints one line.
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    layoutRelease_->viewShows(block.blockNumber());
    while (block.isValid() && top <= area.bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (top + height >= area.top()) {
            if (colours_->isStale(block)) {
                // Its new formats lay it out again; only it needs painting then.
                repaintNarrowing_.noteEdit(block.position(), block.length());
                colours_->paint(block);
            }
            // Qt shapes a line afresh for every paint unless its layout keeps the glyphs: for a
            // piece of a long line that is most of what the caret's blink costs.
            if (block.length() > kKeepGlyphsAbove && !block.layout()->cacheEnabled())
                block.layout()->setCacheEnabled(true);
        }
        top += height;
        block = block.next();
    }
}


bool EditArea::hasColours() const {
    return colours_->mayHaveColours();
}

EditArea::LiveScheme EditArea::liveScheme() const {
    return colours_->liveScheme();
}
