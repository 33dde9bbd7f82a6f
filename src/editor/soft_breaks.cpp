// Soft breaks: a very long line held as several blocks, invisible to everything but the layout.
#include "edit_area.h"

#include <QTimer>
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace {
bool isLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

/// Where a long line is cut: after a `>` or a blank near the end of each piece, so that tag
/// names stay whole, else at the piece's length; never between the halves of a surrogate pair.
void appendPieces(QString& out, QStringView line, std::vector<bool>& soft) {
    qsizetype start = 0;
    while (line.size() - start > EditArea::kPieceLength) {
        qsizetype cut = start + EditArea::kPieceLength;
        const qsizetype earliest = start + EditArea::kPieceLength * 3 / 4;
        qsizetype blank = -1;
        for (qsizetype i = cut; i > earliest; --i) {
            if (line[i - 1] == u'>') {
                blank = -1;
                cut = i;
                break;
            }
            if (blank < 0 && line[i - 1].isSpace())
                blank = i;
        }
        if (blank > 0)
            cut = blank;
        if (line[cut - 1].isHighSurrogate())
            --cut;
        out += line.mid(start, cut - start);
        out += QChar::ParagraphSeparator;
        soft.push_back(true);
        start = cut;
    }
    out += line.mid(start);
}

/// @p text with its long lines cut into pieces and every line break as U+2029; @p soft tells for
/// each separator, in order, whether it is a soft break. Null when no line is long.
QString cutLongLines(QStringView text, std::vector<bool>& soft) {
    bool anyLong = false;
    for (qsizetype i = 0, start = 0; i <= text.size() && !anyLong; ++i)
        if (i == text.size() || isLineBreak(text[i])) {
            anyLong = i - start > EditArea::kSplitLinesAbove;
            start = i + 1;
        }
    if (!anyLong)
        return {};
    QString out;
    out.reserve(text.size() + text.size() / EditArea::kPieceLength + 1);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text[i]))
            continue;
        const QStringView line = text.mid(start, i - start);
        if (line.size() > EditArea::kSplitLinesAbove)
            appendPieces(out, line, soft);
        else
            out += line;
        if (i < text.size()) {
            out += QChar::ParagraphSeparator;
            soft.push_back(false);
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        }
        start = i + 1;
    }
    return out;
}

void setSoftStart(QTextBlock block, bool soft) {
    if (EditArea::startsSoft(block) == soft)
        return;
    QTextBlockFormat format = block.blockFormat();
    if (soft)
        format.setProperty(EditArea::kSoftStart, true);
    else
        format.clearProperty(EditArea::kSoftStart);
    QTextCursor(block).setBlockFormat(format);
}
} // namespace

std::vector<int> EditArea::softBreakPositions() const {
    std::vector<int> positions;
    for (int number : softBreaks_.blocks())
        positions.push_back(document()->findBlockByNumber(number).position() - 1);
    return positions;
}

void EditArea::markSoftStarts(int start, int lastBlock, const std::vector<int>& before, const std::vector<bool>& soft) {
    // The edited block's own start lies before the edit: it is soft when it was soft before.
    const QTextBlock block = document()->findBlock(start);
    const int separator = block.position() - 1;
    markSoftStarts(block, lastBlock, block.blockNumber() > 0 && std::binary_search(before.begin(), before.end(), separator), soft);
}

void EditArea::markSoftStarts(QTextBlock block, int lastBlock, bool blockWasSoft, const std::vector<bool>& soft) {
    setSoftStart(block, blockWasSoft);
    for (size_t k = 0; block.isValid() && block.blockNumber() < lastBlock; ++k) {
        block = block.next();
        setSoftStart(block, k < soft.size() && soft[k]);
    }
}

void EditArea::insertText(QTextCursor& cursor, const QString& text) {
    std::vector<bool> soft;
    const QString cut = cutLongLines(text, soft);
    const bool anySoft = std::find(soft.begin(), soft.end(), true) != soft.end();
    const bool keep = anySoft || softBreaks_.mayHaveSoftBreaks();
    const int start = cursor.selectionStart();
    // The block holding the start keeps its own start through the edit: only its mark is needed,
    // not every soft break's place (a batch of replacements would gather those once per edit).
    const QTextBlock startBlock = document()->findBlock(start);
    const bool startWasSoft = keep && startBlock.blockNumber() > 0 && startsSoft(startBlock);
    const EditBlockScope scope(*this);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.insertText(cut.isNull() ? text : cut);
    if (keep)
        markSoftStarts(document()->findBlock(start), cursor.blockNumber(), startWasSoft, soft);
    cursor.endEditBlock();
    softBreaks_.softBreaksAdded(anySoft);
}

void EditArea::editKeepingSoftBreaks(const std::function<void(QTextCursor&)>& edit) {
    // Qt gives a block joined to a later one, or cut from one, the format of whichever block it
    // likes: put back the soft mark of the edited block and clear it from any new one, inside
    // the same undo step. Only cursor operations run inside the step: the widget must not lay
    // out a half-edited document.
    QTextCursor cursor = textCursor();
    const std::vector<int> before = softBreakPositions();
    const int selectionStart = cursor.selectionStart();
    const EditBlockScope scope(*this);
    cursor.beginEditBlock();
    edit(cursor);
    markSoftStarts(std::min(selectionStart, cursor.position()), cursor.blockNumber(), before, {});
    cursor.endEditBlock();
    softBreaks_.changed();
    setTextCursor(cursor);
    ensureCursorVisible();
}

void EditArea::loadPieces(const QString& text) {
    std::vector<bool> soft;
    const QString cut = cutLongLines(text, soft);
    setPlainText(cut.isNull() ? text : cut);
    softBreaks_.reset(!cut.isNull()); // a fresh document: nothing to undo back to
    if (cut.isNull())
        return;
    // Marking the pieces is part of loading, not an edit to undo.
    document()->setUndoRedoEnabled(false);
    QTextBlock block = document()->begin().next();
    for (size_t k = 0; k < soft.size() && block.isValid(); ++k, block = block.next())
        if (soft[k])
            setSoftStart(block, true);
    document()->setUndoRedoEnabled(true);
}

QTextBlock EditArea::firstBlockOfLine(int line) const {
    int block = line;
    for (int s : softBreaks_.blocks()) {
        if (s > block)
            break;
        ++block;
    }
    return document()->findBlockByNumber(block);
}

int EditArea::docPositionOf(int line, int column) const {
    QTextBlock block = firstBlockOfLine(std::max(line, 1) - 1);
    if (!block.isValid())
        block = document()->lastBlock();
    int offset = std::max(column, 1) - 1;
    while (offset > block.length() - 1 && block.next().isValid() && startsSoft(block.next())) {
        offset -= block.length() - 1;
        block = block.next();
    }
    return block.position() + std::min(offset, block.length() - 1);
}

QString EditArea::withoutSoftBreaks(QString text, int from) const {
    const std::vector<int>& soft = softBreaks_.blocks();
    if (soft.empty())
        return text;
    // Each soft break is the separator just before its block; drop those inside the text.
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    for (int number : soft) {
        const qsizetype at = document()->findBlockByNumber(number).position() - 1 - from;
        if (at < copied)
            continue;
        if (at >= text.size())
            break;
        out += QStringView(text).mid(copied, at - copied);
        copied = at + 1;
    }
    out += QStringView(text).mid(copied);
    return out;
}

QString EditArea::documentText() const {
    finishLoading();
    // toRawText keeps non-breaking spaces, which toPlainText would turn into blanks.
    if (openEditBlocks_ > 0)
        return document()->toRawText();
    if (rawSnapshot_.isNull())
        rawSnapshot_ = document()->toRawText();
    snapshotAsked();
    return rawSnapshot_;
}

void EditArea::snapshotAsked() const {
    snapshotAsked_.start();
    if (!snapshotRelease_->isActive())
        snapshotRelease_->start();
}

void EditArea::dropSnapshots() const {
    rawSnapshot_.clear();
    crlfSnapshot_.clear();
}

EditArea::EditBlockScope::EditBlockScope(EditArea& area) : area(area) {
    ++area.openEditBlocks_;
    area.dropSnapshots();
}

EditArea::EditBlockScope::~EditBlockScope() {
    --area.openEditBlocks_;
    area.dropSnapshots();
}

QString EditArea::rawText() const {
    return withoutSoftBreaks(documentText(), 0);
}

QMimeData* EditArea::createMimeDataFromSelection() const {
    if (softBreaks_.blocks().empty())
        return QPlainTextEdit::createMimeDataFromSelection();
    const QTextCursor cursor = textCursor();
    QString text = withoutSoftBreaks(cursor.selectedText(), cursor.selectionStart());
    text.replace(QChar::ParagraphSeparator, u'\n');
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

bool EditArea::handleKeyAtSoftBreak(QKeyEvent* e) {
    if (isReadOnly() || softBreaks_.blocks().empty())
        return false;
    const QTextCursor at = textCursor();
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Qt's own Enter drops the format of an empty block instead of breaking the line.
        editKeepingSoftBreaks([](QTextCursor& c) {
            c.removeSelectedText();
            c.insertBlock(QTextBlockFormat(), c.charFormat());
        });
    } else if ((key == Qt::Key_Backspace && (at.hasSelection() || ctrl || at.atBlockStart())) ||
               (key == Qt::Key_Delete && (at.hasSelection() || ctrl || at.atBlockEnd()))) {
        const bool back = key == Qt::Key_Backspace;
        editKeepingSoftBreaks([ctrl, back](QTextCursor& c) {
            if (!c.hasSelection() && ctrl)
                c.movePosition(back ? QTextCursor::PreviousWord : QTextCursor::NextWord, QTextCursor::KeepAnchor);
            if (c.hasSelection()) {
                c.removeSelectedText();
                return;
            }
            // A soft break is no character: take the one beyond it. Delete works on a copy so
            // that the caret stays before the join: the edit then ends in the caret's own block,
            // and the next block's soft mark, which lies beyond it, is left alone.
            if (back) {
                if (startsSoft(c.block()))
                    c.movePosition(QTextCursor::PreviousCharacter);
                c.deletePreviousChar();
                return;
            }
            QTextCursor beyond = c;
            if (startsSoft(c.block().next()))
                beyond.movePosition(QTextCursor::NextCharacter);
            beyond.deleteChar();
        });
    } else if (e->matches(QKeySequence::Cut) && at.hasSelection()) {
        copy();
        editKeepingSoftBreaks([](QTextCursor& c) { c.removeSelectedText(); });
    } else if (at.hasSelection() && !ctrl && !e->text().isEmpty() && e->text()[0].isPrint()) {
        const QString typed = e->text();
        editKeepingSoftBreaks([&](QTextCursor& c) { insertText(c, typed); });
    } else {
        return false;
    }
    return true;
}

void EditArea::contextMenuEvent(QContextMenuEvent* e) {
    QMenu* menu = createStandardContextMenu(e->pos());
    // Cut and Delete join blocks: run them where the soft marks are looked after.
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name != u"edit-cut" && name != u"edit-delete")
            continue;
        action->disconnect();
        const bool cutting = name == u"edit-cut";
        connect(action, &QAction::triggered, this, [this, cutting] {
            if (cutting)
                copy();
            editKeepingSoftBreaks([](QTextCursor& c) { c.removeSelectedText(); });
        });
    }
    if (contextMenuAdditions_)
        contextMenuAdditions_(menu, cursorForPosition(e->pos()).position());
    menu->exec(e->globalPos());
    delete menu;
}
