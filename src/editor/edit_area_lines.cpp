// A code editor's moves on lines and comments.
#include "edit_area.h"

#include "colouring/html_data.h"
#include "colouring/html_tokenizer.h"
#include "format_document.h"
#include "line_edits.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QToolTip>
#include <string_view>

namespace {
/// What the caret's place is commented with, or nullopt where nothing is (plain text, JSON).
std::optional<line_edits::CommentStyle> commentStyleAt(QStringView text, int position, Language language) {
    switch (language) {
    case Language::Css:
        return line_edits::CommentStyle::Block;
    case Language::JavaScript:
        return line_edits::CommentStyle::Line;
    case Language::Xml:
        return line_edits::CommentStyle::Markup;
    case Language::Html: {
        // A page's style sheets and scripts are commented as their own language.
        HtmlTokenizer tokenizer;
        HtmlTokenizer::Listener none;
        tokenizer.feed(text.left(position), 0, none);
        if (tokenizer.state() == HtmlTokenizer::State::RawText && tokenizer.rawText() == HtmlTokenizer::RawText::Style)
            return line_edits::CommentStyle::Block;
        if (tokenizer.state() == HtmlTokenizer::State::RawText && tokenizer.rawText() == HtmlTokenizer::RawText::Script)
            return line_edits::CommentStyle::Line;
        return line_edits::CommentStyle::Markup;
    }
    case Language::Json:
    case Language::Plain:
        break;
    }
    return std::nullopt;
}
} // namespace

void EditArea::applyLineEdit(const std::optional<line_edits::Changed>& changed) {
    if (!changed || isReadOnly())
        return;
    std::vector<Replacement> edits;
    for (const line_edits::Edit& edit : changed->edits)
        edits.push_back({edit.start, edit.length, edit.text});
    if (!edits.empty())
        replaceEach(std::move(edits));
    setCaretPosition(changed->selectionStart);
    setSelectionLength(changed->selectionEnd - changed->selectionStart);
}

void EditArea::toggleComment() {
    const QString text = this->text();
    const int start = selectionStart(), end = start + selectionLength();
    // The place the lines start in decides: a page's <style> holds CSS.
    const int lineStart = start <= 0 ? 0 : int(text.lastIndexOf(u'\n', start - 1)) + 1;
    const std::optional<line_edits::CommentStyle> style = commentStyleAt(text, lineStart, language_);
    QString refusal = QStringLiteral("There are no comments in %1.").arg(language::displayName(language_));
    const std::optional<line_edits::Changed> changed =
        style ? line_edits::toggleComment(text, start, end, *style, &refusal) : std::nullopt;
    if (!changed && (!style || !refusal.startsWith(u"There are no")))
        QToolTip::showText(viewport()->mapToGlobal(cursorRect().bottomLeft()), refusal, this);
    applyLineEdit(changed);
}

QString EditArea::formatDocument(bool selectionOnly) {
    if (isReadOnly())
        return {};
    const bool code = language::isCode(language_);
    if (!language::isMarkup(language_) && !code)
        return QStringLiteral("Format Document re-indents pages, style sheets and scripts; this is %1.").arg(language::displayName(language_));
    const QString text = this->text();
    const int start = selectionStart();
    const int end = selectionOnly ? start + selectionLength() : -1;
    const bool css = language_ == Language::Css;
    const format_document::Formatted formatted = code ? format_document::reindentCode(text, css, selectionOnly ? start : 0, end, formatStyle_)
                                                      : format_document::reindent(text, selectionOnly ? start : 0, end, formatStyle_);
    if (formatted.edits.empty())
        return {};
    // It checks itself before it applies: the page must read as it did.
    const QString after = format_document::applied(text, formatted.edits);
    if (const std::optional<int> differs = code ? format_document::firstCodeDifference(text, after, css)
                                                : format_document::firstDifference(text, after, formatStyle_.codeBlocks)) {
        const int line = int(QStringView(after).left(*differs).count(u'\n')) + 1;
        return QStringLiteral("Format Document changed nothing: the page would read differently from line %1 on.").arg(line);
    }
    std::vector<Replacement> edits;
    for (const format_document::Edit& edit : formatted.edits)
        edits.push_back({edit.start, edit.length, edit.text});
    replaceEach(std::move(edits));
    return {};
}

void EditArea::duplicateLines() {
    const int start = selectionStart();
    applyLineEdit(line_edits::duplicate(text(), start, start + selectionLength()));
}

void EditArea::moveLines(bool up) {
    const int start = selectionStart();
    applyLineEdit(line_edits::moveLines(text(), start, start + selectionLength(), up));
}

void EditArea::deleteLines() {
    const int start = selectionStart();
    applyLineEdit(line_edits::deleteLines(text(), start, start + selectionLength()));
}

void EditArea::joinLines() {
    const int start = selectionStart();
    applyLineEdit(line_edits::joinLines(text(), start, start + selectionLength()));
}

namespace {
/// Whether a line up to the caret ends by opening a block: `{`, or in markup a start tag whose
/// element has content and does not end on the line.
bool opensBlock(QStringView before, Language language) {
    if (before.endsWith(u'{'))
        return true;
    if (!language::isMarkup(language) || !before.endsWith(u'>') || before.endsWith(u"/>"))
        return false;
    const qsizetype open = before.lastIndexOf(u'<');
    if (open < 0 || open + 1 >= before.size() || !before[open + 1].isLetter())
        return false;
    qsizetype nameEnd = open + 1;
    while (nameEnd < before.size() && (before[nameEnd].isLetterOrNumber() || before[nameEnd] == u'-'))
        ++nameEnd;
    const QStringView name = before.mid(open + 1, nameEnd - open - 1);
    const HtmlData::Element* element = language::isHtml(language) ? HtmlData::instance().element(name.toString().toLower()) : nullptr;
    return !(element && element->isVoid);
}

/// One level of indent more than @p indent: a tab where the line has tabs or none, else as many
/// spaces as the line's indent steps by.
QString oneLevel(const QString& indent) {
    if (indent.isEmpty() || indent.contains(u'\t'))
        return QStringLiteral("\t");
    return QString(indent.size() % 4 == 0 ? 4 : 2, u' ');
}

constexpr std::u16string_view kOpening = u"([{\"'";
constexpr std::u16string_view kClosing = u")]}\"'";
} // namespace

bool EditArea::keepIndentKey(QKeyEvent* e) {
    if (!keepIndent_ || isReadOnly() || (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) ||
        (e->modifiers() & ~Qt::KeypadModifier))
        return false;
    QTextCursor cursor = textCursor();
    QTextCursor start(document());
    start.setPosition(cursor.selectionStart());
    const QString line = start.block().text();
    const int column = start.positionInBlock();
    qsizetype indentEnd = 0;
    while (indentEnd < line.size() && (line[indentEnd] == u' ' || line[indentEnd] == u'\t'))
        ++indentEnd;
    QString indent = line.left(std::min<qsizetype>(indentEnd, column));
    QStringView before = QStringView(line).left(column);
    while (!before.isEmpty() && before.back().isSpace())
        before.chop(1);
    if (opensBlock(before, language_))
        indent += oneLevel(indent);
    const EditBlockScope scope(*this);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.insertBlock();
    cursor.insertText(indent);
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
    return true;
}

bool EditArea::closeBracketKey(QKeyEvent* e) {
    if (!closeBrackets_ || isReadOnly() || textCursor().hasSelection())
        return false;
    QTextCursor cursor = textCursor();
    const QString line = cursor.block().text();
    const int column = cursor.positionInBlock();
    const QChar previous = column > 0 ? line[column - 1] : QChar();
    const QChar next = column < line.size() ? line[column] : QChar();
    const bool code = language_ == Language::Css || language_ == Language::JavaScript || language_ == Language::Json;
    if (e->key() == Qt::Key_Backspace && e->modifiers() == Qt::NoModifier) {
        // An empty pair goes as one.
        const size_t pair = kOpening.find(previous.unicode());
        if (previous.isNull() || pair == std::u16string_view::npos || next != QChar(kClosing[pair]) ||
            (!code && !(pair >= 3 && column >= 2 && line[column - 2] == u'=')))
            return false;
        cursor.setPosition(cursor.position() - 1);
        cursor.setPosition(cursor.position() + 2, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        setTextCursor(cursor);
        return true;
    }
    if (e->text().size() != 1 || (e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)))
        return false;
    const QChar typed = e->text()[0];
    // Typed over the closing half that is already there: step past it.
    if (kClosing.find(typed.unicode()) != std::u16string_view::npos && next == typed &&
        (code || typed == u'"' || typed == u'\'')) {
        cursor.movePosition(QTextCursor::NextCharacter);
        setTextCursor(cursor);
        return true;
    }
    const size_t pair = kOpening.find(typed.unicode());
    if (pair == std::u16string_view::npos)
        return false;
    const bool quote = pair >= 3;
    // In a page, only an attribute value's quotes; in code, where nothing follows on the line
    // but spaces or a closing half, and a quote not inside a word (don't).
    const bool fits = code ? (next.isNull() || next.isSpace() || kClosing.find(next.unicode()) != std::u16string_view::npos) &&
                                 !(quote && (previous.isLetterOrNumber() || previous == u'\\'))
                           : quote && previous == u'=';
    if (!fits)
        return false;
    cursor.insertText(QString(typed) + QChar(kClosing[pair]));
    cursor.movePosition(QTextCursor::PreviousCharacter);
    setTextCursor(cursor);
    return true;
}
