#include "tag_pair_rename.h"

#include "edit_area.h"
#include "matching_tags.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
bool isName(const QString& s) {
    return !s.isEmpty() && s[0].isLetter() &&
           std::all_of(s.begin(), s.end(), [](QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u':'; });
}

QString textAt(const QTextDocument& document, int start, int length) {
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    return cursor.selectedText();
}
} // namespace

void TagPairRename::findPair() {
    const QTextDocument& document = *area_.document();
    // The caret, or a selection, inside the name: both its ends.
    const int caret = area_.textCursor().selectionStart(), last = area_.textCursor().selectionEnd();
    const auto inside = [&](const Name& n) { return caret >= n.start && last <= n.start + n.length; };
    if (active_ && document.revision() == revision_ && inside(edited_))
        return;
    active_ = false;
    MatchingTags* tags = area_.matchingTags();
    if (!tags->isCurrent() && document.characterCount() > kBuildMapUpTo)
        return;
    const TagMap& map = tags->currentMap();
    const int index = map.tagAtName(caret);
    if (index < 0)
        return;
    const TagMap::Tag& tag = map.tags()[size_t(index)];
    if (tag.status() != TagMap::Status::Matched || tag.partner() < 0 || caret < tag.nameStart())
        return;
    const TagMap::Tag& partner = map.tags()[size_t(tag.partner())];
    if (last > tag.nameStart() + tag.nameLength())
        return;
    edited_ = {tag.nameStart(), tag.nameLength()};
    partner_ = {partner.nameStart(), partner.nameLength()};
    active_ = textAt(document, edited_.start, edited_.length).compare(
                  textAt(document, partner_.start, partner_.length), Qt::CaseInsensitive) == 0;
    revision_ = document.revision();
}

bool TagPairRename::type(const QKeyEvent* e) {
    findPair();
    if (!active_)
        return false;
    QTextCursor cursor = area_.textCursor();
    int from = cursor.selectionStart(), to = cursor.selectionEnd();
    const bool selected = cursor.hasSelection();
    // What the key puts in place of the selection (or at the caret): typing, pasting, cutting
    // or deleting. Deleting without a selection takes one character inside the name, never a
    // line's (or a piece's) end.
    QString replacement;
    const bool typed = !e->text().isEmpty() && e->text()[0].isPrint() &&
                       !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (typed) {
        replacement = e->text();
    } else if (e->matches(QKeySequence::Paste)) {
        replacement = QGuiApplication::clipboard()->text();
    } else if (e->matches(QKeySequence::Cut) && selected) {
        QGuiApplication::clipboard()->setText(cursor.selectedText());
    } else if (e->key() == Qt::Key_Backspace && e->modifiers() == Qt::NoModifier &&
               (selected || (from > edited_.start && cursor.positionInBlock() > 0))) {
        from = selected ? from : from - 1;
    } else if (e->key() == Qt::Key_Delete && e->modifiers() == Qt::NoModifier &&
               (selected || (to < edited_.start + edited_.length && !cursor.atBlockEnd()))) {
        to = selected ? to : to + 1;
    } else {
        active_ = false;
        return false;
    }
    if (area_.overwriteMode() || area_.document()->findBlock(from) != area_.document()->findBlock(to)) {
        active_ = false;
        return false;
    }
    QTextDocument& document = *area_.document();
    const int before = document.characterCount();
    cursor.beginEditBlock();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(replacement);
    const int delta = document.characterCount() - before;
    const Name edited{edited_.start, edited_.length + delta};
    QString name = textAt(document, edited.start, edited.length);
    // A name that stops being one (a space pasted in, a quote typed) ends the renaming, the
    // partner taking the part that is still a name: no mismatched pair is left behind.
    const bool stillName = name.isEmpty() || isName(name);
    if (!stillName) {
        qsizetype keep = 0;
        while (keep < name.size() && isName(name.left(keep + 1)))
            ++keep;
        name.truncate(keep);
    }
    // An empty name is a step to another: the partner follows it too.
    if (stillName || !name.isEmpty()) {
        Name partner = partner_;
        if (partner.start > edited_.start)
            partner.start += delta;
        QTextCursor other(&document);
        other.setPosition(partner.start);
        other.setPosition(partner.start + partner.length, QTextCursor::KeepAnchor);
        other.insertText(name);
        const int partnerDelta = int(name.size()) - partner.length;
        partner.length = int(name.size());
        edited_ = edited;
        if (partner.start < edited_.start)
            edited_.start += partnerDelta;
        partner_ = partner;
    }
    active_ = stillName;
    cursor.endEditBlock();
    area_.setTextCursor(cursor);
    area_.ensureCursorVisible();
    revision_ = document.revision();
    return true;
}
