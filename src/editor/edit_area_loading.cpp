// A big page shows its first screen at once and goes in piece by piece while the window is idle;
// keys that would edit it meanwhile wait in a queue and go in, in order, once it is in.
#include "edit_area.h"

#include "base/memory_advice.h"
#include "edit_colours.h"
#include "page_loader.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

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
    singleCaret();
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
