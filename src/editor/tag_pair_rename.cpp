#include "tag_pair_rename.h"

#include "edit_area.h"
#include "matching_tags.h"

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
    const int caret = area_.textCursor().position();
    const auto inside = [&](const Name& n) { return caret >= n.start && caret <= n.start + n.length; };
    if (active_ && document.revision() == revision_ && inside(edited_) && !area_.textCursor().hasSelection())
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
    if (tag.status != TagMap::Status::Matched || tag.partner < 0 || caret < tag.nameStart)
        return;
    const TagMap::Tag& partner = map.tags()[size_t(tag.partner)];
    edited_ = {tag.nameStart, tag.nameLength};
    partner_ = {partner.nameStart, partner.nameLength};
    active_ = textAt(document, edited_.start, edited_.length).compare(
                  textAt(document, partner_.start, partner_.length), Qt::CaseInsensitive) == 0;
    revision_ = document.revision();
}

bool TagPairRename::type(const QKeyEvent* e) {
    findPair();
    if (!active_)
        return false;
    QTextCursor cursor = area_.textCursor();
    const int caret = cursor.position();
    const bool typed = !e->text().isEmpty() && e->text()[0].isPrint() &&
                       !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    // Deleting only inside the name, and never a line's (or a piece's) end.
    const bool back = e->key() == Qt::Key_Backspace && e->modifiers() == Qt::NoModifier && caret > edited_.start &&
                      cursor.positionInBlock() > 0;
    const bool forward = e->key() == Qt::Key_Delete && e->modifiers() == Qt::NoModifier &&
                         caret < edited_.start + edited_.length && !cursor.atBlockEnd();
    if (cursor.hasSelection() || area_.overwriteMode() || !(typed || back || forward)) {
        active_ = false;
        return false;
    }
    QTextDocument& document = *area_.document();
    const int before = document.characterCount();
    cursor.beginEditBlock();
    if (typed)
        cursor.insertText(e->text());
    else if (back)
        cursor.deletePreviousChar();
    else
        cursor.deleteChar();
    const int delta = document.characterCount() - before;
    const Name edited{edited_.start, edited_.length + delta};
    const QString name = textAt(document, edited.start, edited.length);
    // An empty name is a step to another: the partner follows it too.
    if (name.isEmpty() || isName(name)) {
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
    } else {
        active_ = false;
    }
    cursor.endEditBlock();
    area_.setTextCursor(cursor);
    area_.ensureCursorVisible();
    revision_ = document.revision();
    return true;
}
