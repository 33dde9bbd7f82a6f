// Typing help in the edit area: replacements before the caret with their value places, Tab and
// Shift+Tab on lines, abbreviations and completed end tags.
#include "edit_area.h"

#include "colouring/tag_matching.h"
#include "line_indent.h"
#include "typing/abbreviation.h"
#include "value_places.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
    const EditBlockScope scope(*this);
    completion.beginEditBlock();
    completion.insertText(name + u'>');
    completion.endEditBlock();
    setTextCursor(completion);
}
