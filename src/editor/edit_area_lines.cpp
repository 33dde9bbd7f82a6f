// A code editor's moves on lines and comments.
#include "edit_area.h"

#include "colouring/html_tokenizer.h"
#include "line_edits.h"

#include <QToolTip>

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
