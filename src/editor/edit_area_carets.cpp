// Several carets: the edit area's own caret is the main one, and the others follow it through
// typing, deleting, pasting, the caret keys and the insertion commands, each as one undo step.
#include "edit_area.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace {
bool before(const QTextCursor& a, const QTextCursor& b) {
    return a.selectionStart() < b.selectionStart();
}
} // namespace

std::vector<QTextCursor> EditArea::caretsInOrder() const {
    std::vector<QTextCursor> all = extraCarets_;
    all.push_back(textCursor());
    std::sort(all.begin(), all.end(), before);
    return all;
}

std::vector<std::pair<int, int>> EditArea::caretSelections() const {
    std::vector<std::pair<int, int>> out;
    for (const QTextCursor& c : caretsInOrder()) {
        const int start = crlfFromDoc(DocumentPosition(c.selectionStart())).value;
        out.emplace_back(start, crlfFromDoc(DocumentPosition(c.selectionEnd())).value - start);
    }
    return out;
}

void EditArea::singleCaret() {
    if (extraCarets_.empty())
        return;
    extraCarets_.clear();
    showCarets();
}

void EditArea::showCarets() {
    // Carets that met become one; a caret in another's selection goes into it.
    const QTextCursor main = textCursor();
    std::vector<QTextCursor> kept;
    for (const QTextCursor& c : extraCarets_) {
        const auto overlaps = [&](const QTextCursor& o) {
            return c.selectionStart() == o.selectionStart() ||
                   (c.selectionStart() < o.selectionEnd() && o.selectionStart() < c.selectionEnd());
        };
        if (!overlaps(main) && std::none_of(kept.begin(), kept.end(), overlaps))
            kept.push_back(c);
    }
    extraCarets_ = std::move(kept);
    QList<QTextEdit::ExtraSelection> marks;
    for (const QTextCursor& c : extraCarets_)
        if (c.hasSelection()) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = c;
            mark.format.setBackground(palette().color(QPalette::Highlight));
            mark.format.setForeground(palette().color(QPalette::HighlightedText));
            marks << mark;
        }
    setHighlights(Highlights::Carets, marks);
    viewport()->update();
}

void EditArea::paintCarets(const QRect& area) {
    if (extraCarets_.empty())
        return;
    QPainter painter(viewport());
    for (const QTextCursor& c : extraCarets_) {
        if (!c.block().isVisible())
            continue;
        const QRect r = cursorRect(c);
        if (r.intersects(area))
            painter.fillRect(QRect(r.left(), r.top(), std::max(cursorWidth(), 2), r.height()), palette().color(QPalette::Text));
    }
}

void EditArea::addCaret(bool above) {
    const std::vector<QTextCursor> all = caretsInOrder();
    QTextCursor added = above ? all.front() : all.back();
    added.clearSelection();
    if (!added.movePosition(above ? QTextCursor::Up : QTextCursor::Down))
        return;
    extraCarets_.push_back(added);
    showCarets();
}

bool EditArea::selectNextOccurrence() {
    QTextCursor main = textCursor();
    if (!main.hasSelection()) {
        main.select(QTextCursor::WordUnderCursor);
        if (!main.hasSelection())
            return false;
        setTextCursor(main);
        showCarets();
        return true;
    }
    const QString wanted = main.selectedText();
    const QTextDocument::FindFlags flags = QTextDocument::FindCaseSensitively;
    const auto taken = [&](const QTextCursor& found) {
        const std::vector<QTextCursor> all = caretsInOrder();
        return std::any_of(all.begin(), all.end(), [&](const QTextCursor& c) {
            return c.selectionStart() == found.selectionStart() && c.selectionEnd() == found.selectionEnd();
        });
    };
    // After the main selection, round to the start, never one taken already.
    QTextCursor found = document()->find(wanted, main.selectionEnd(), flags);
    for (int round = 0; round < 2; ++round) {
        while (!found.isNull() && taken(found))
            found = document()->find(wanted, found.selectionEnd(), flags);
        if (!found.isNull())
            break;
        found = document()->find(wanted, 0, flags);
    }
    if (found.isNull() || taken(found))
        return false;
    extraCarets_.push_back(main);
    setTextCursor(found);
    ensureCursorVisible();
    showCarets();
    return true;
}

void EditArea::editAtEveryCaret(const std::function<void(QTextCursor&)>& edit) {
    finishLoading();
    QTextCursor main = textCursor();
    const EditBlockScope scope(*this);
    main.beginEditBlock();
    edit(main);
    for (QTextCursor& c : extraCarets_)
        edit(c);
    main.endEditBlock();
    softBreaks_.changed();
    setTextCursor(main);
    ensureCursorVisible();
    showCarets();
}

void EditArea::replaceAtEveryCaret(const std::function<QString(const QString& selected, qsizetype* caret)>& make) {
    if (extraCarets_.empty()) {
        // One caret: as an insertion always went.
        const int start = selectionStart();
        qsizetype caret = -1;
        replaceSelection(make(selectedText(), &caret));
        if (caret >= 0)
            setCaretPosition(start + int(caret));
        return;
    }
    editAtEveryCaret([&](QTextCursor& c) {
        const QString selected = withoutSoftBreaks(c.selectedText(), c.selectionStart()).replace(QChar::ParagraphSeparator,
                                                                                                 QStringLiteral("\r\n"));
        qsizetype caret = -1;
        const QString text = make(selected, &caret);
        const int start = c.selectionStart();
        insertText(c, text);
        if (caret >= 0) {
            // A line end of the text is one character of the document.
            QString head = text.left(caret);
            head.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            c.setPosition(start + int(head.size()));
        }
    });
}

void EditArea::deleteAtCaret(QTextCursor& c, bool backward) {
    if (c.hasSelection()) {
        c.removeSelectedText();
        return;
    }
    // A soft break is no character: what goes is the character beyond it.
    if (backward && c.atBlockStart() && startsSoft(c.block()) && c.position() > 0)
        c.setPosition(c.position() - 1);
    else if (!backward && c.atBlockEnd() && c.block().next().isValid() && startsSoft(c.block().next()))
        c.setPosition(c.position() + 1);
    if (backward)
        c.deletePreviousChar();
    else
        c.deleteChar();
}

bool EditArea::multiCaretKey(QKeyEvent* e) {
    if (extraCarets_.empty())
        return false;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        singleCaret();
        return true;
    }
    if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Cut)) {
        // Each caret's selection on a line of its own.
        QStringList parts;
        for (const QTextCursor& c : caretsInOrder())
            parts << withoutSoftBreaks(c.selectedText(), c.selectionStart()).replace(QChar::ParagraphSeparator, u'\n');
        QApplication::clipboard()->setText(parts.join(u'\n'));
        if (e->matches(QKeySequence::Cut) && !isReadOnly())
            editAtEveryCaret([](QTextCursor& c) { c.removeSelectedText(); });
        return true;
    }
    if (e->matches(QKeySequence::Paste)) {
        if (!isReadOnly())
            pasteAtEveryCaret(QApplication::clipboard()->text());
        return true;
    }
    if (e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo) || e->key() == Qt::Key_Shift ||
        e->key() == Qt::Key_Control || e->key() == Qt::Key_Alt || e->key() == Qt::Key_Meta)
        return false;
    // The caret keys move every caret.
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    std::optional<QTextCursor::MoveOperation> move;
    switch (e->key()) {
    case Qt::Key_Left: move = ctrl ? QTextCursor::PreviousWord : QTextCursor::PreviousCharacter; break;
    case Qt::Key_Right: move = ctrl ? QTextCursor::NextWord : QTextCursor::NextCharacter; break;
    case Qt::Key_Up: move = ctrl ? std::nullopt : std::optional(QTextCursor::Up); break;
    case Qt::Key_Down: move = ctrl ? std::nullopt : std::optional(QTextCursor::Down); break;
    case Qt::Key_Home: move = ctrl ? std::nullopt : std::optional(QTextCursor::StartOfLine); break;
    case Qt::Key_End: move = ctrl ? std::nullopt : std::optional(QTextCursor::EndOfLine); break;
    default: break;
    }
    if (move && !(mods & ~(Qt::ShiftModifier | Qt::ControlModifier))) {
        const auto step = [&](QTextCursor& c) {
            if (!shift && c.hasSelection() && (*move == QTextCursor::PreviousCharacter || *move == QTextCursor::NextCharacter)) {
                // Left and Right first close a selection at its own end.
                c.setPosition(*move == QTextCursor::PreviousCharacter ? c.selectionStart() : c.selectionEnd());
                return;
            }
            c.movePosition(*move, shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        };
        QTextCursor main = textCursor();
        step(main);
        for (QTextCursor& c : extraCarets_)
            step(c);
        setTextCursor(main);
        ensureCursorVisible();
        showCarets();
        return true;
    }
    if (isReadOnly())
        return false;
    if (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete) {
        if (mods != Qt::NoModifier && mods != Qt::ShiftModifier)
            return false;
        const bool backward = e->key() == Qt::Key_Backspace;
        editAtEveryCaret([&](QTextCursor& c) { deleteAtCaret(c, backward); });
        return true;
    }
    QString typed;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        typed = QStringLiteral("\r\n");
    else if (e->key() == Qt::Key_Tab && mods == Qt::NoModifier)
        typed = QStringLiteral("\t");
    else if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !e->text().isEmpty() &&
             e->text()[0].isPrint())
        typed = e->text();
    if (typed.isEmpty()) {
        // Any other command works at the main caret alone.
        singleCaret();
        return false;
    }
    editAtEveryCaret([&](QTextCursor& c) { insertText(c, typed); });
    return true;
}

void EditArea::pasteAtEveryCaret(const QString& clipboard) {
    // As many lines as carets: a line each, in text order.
    QString text = clipboard;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    if (lines.size() > 1 && lines.back().isEmpty())
        lines.removeLast();
    const int carets = caretCount();
    if (lines.size() != carets) {
        editAtEveryCaret([&](QTextCursor& c) { insertText(c, clipboard); });
        return;
    }
    std::vector<QTextCursor*> order{};
    QTextCursor main = textCursor();
    order.push_back(&main);
    for (QTextCursor& c : extraCarets_)
        order.push_back(&c);
    std::sort(order.begin(), order.end(), [](const QTextCursor* a, const QTextCursor* b) { return before(*a, *b); });
    finishLoading();
    const EditBlockScope scope(*this);
    main.beginEditBlock();
    for (size_t i = 0; i < order.size(); ++i)
        insertText(*order[i], lines[qsizetype(i)]);
    main.endEditBlock();
    softBreaks_.changed();
    setTextCursor(main);
    showCarets();
}

bool EditArea::caretMouse(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    if (e->type() == QEvent::MouseButtonPress) {
        if (e->button() != Qt::LeftButton)
            return false;
        if (e->modifiers() != Qt::AltModifier) {
            columnFrom_.reset();
            singleCaret();
            return false;
        }
        // Alt+click adds a caret; dragging on makes a column.
        columnFrom_ = at;
        extraCarets_.push_back(textCursor());
        QTextCursor caret = textCursor();
        caret.setPosition(cursorForPosition(at).position());
        setTextCursor(caret);
        showCarets();
        return true;
    }
    if (e->type() == QEvent::MouseMove && columnFrom_ && (e->buttons() & Qt::LeftButton)) {
        if ((at - *columnFrom_).manhattanLength() < QApplication::startDragDistance() && extraCarets_.size() <= 1)
            return true;
        // A column of characters, as the two ends have them on their own lines.
        const QTextCursor from = cursorForPosition(*columnFrom_);
        const QTextCursor to = cursorForPosition(at);
        const QTextBlock first = from.block();
        const QTextBlock last = to.block();
        const bool down = first.blockNumber() <= last.blockNumber();
        std::vector<QTextCursor> lines;
        for (QTextBlock b = first; b.isValid(); b = down ? b.next() : b.previous()) {
            if (b.isVisible()) {
                const int length = b.length() - 1;
                QTextCursor line(b);
                line.setPosition(b.position() + std::min(from.positionInBlock(), length));
                line.setPosition(b.position() + std::min(to.positionInBlock(), length), QTextCursor::KeepAnchor);
                lines.push_back(line);
            }
            if (b == last)
                break;
        }
        if (lines.empty())
            return true;
        setTextCursor(lines.back());
        lines.pop_back();
        extraCarets_ = std::move(lines);
        showCarets();
        return true;
    }
    if (e->type() == QEvent::MouseButtonRelease && columnFrom_) {
        columnFrom_.reset();
        return true;
    }
    return false;
}

void EditArea::mouseMoveEvent(QMouseEvent* e) {
    if (caretMouse(e))
        return;
    QPlainTextEdit::mouseMoveEvent(e);
}

void EditArea::mouseReleaseEvent(QMouseEvent* e) {
    if (caretMouse(e))
        return;
    QPlainTextEdit::mouseReleaseEvent(e);
}
