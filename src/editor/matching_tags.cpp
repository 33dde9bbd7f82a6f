#include "matching_tags.h"

#include "edit_area.h"

#include "base/memory_advice.h"

#include <QTextBlock>
#include <QtConcurrent/QtConcurrentRun>

MatchingTags::MatchingTags(EditArea* area) : QObject(area), area_(area) {
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleMs);
    connect(&idle_, &QTimer::timeout, this, &MatchingTags::rebuild);
    connect(&watcher_, &QFutureWatcher<TagMap>::finished, this, &MatchingTags::adopt);
    connect(area->document(), &QTextDocument::contentsChanged, this, &MatchingTags::textChanged);
    connect(area, &QPlainTextEdit::cursorPositionChanged, this, &MatchingTags::caretMoved);
}

bool MatchingTags::caretLooksOnTag() const {
    // `a<b` in a script is no tag.
    if (!language::isMarkup(area_->language()))
        return false;
    const QTextCursor cursor = area_->textCursor();
    const QString line = cursor.block().text();
    qsizetype i = cursor.positionInBlock();
    if (i < line.size() && line[i] == u'<')
        return true;
    while (i > 0 && (line[i - 1].isLetterOrNumber() || line[i - 1] == u'-' || line[i - 1] == u':'))
        --i;
    if (i > 0 && line[i - 1] == u'/')
        --i;
    return i > 0 && line[i - 1] == u'<';
}

void MatchingTags::caretMoved() {
    if (!stale_)
        highlight();
    else if (caretLooksOnTag() && !idle_.isActive() && !watcher_.isRunning())
        idle_.start();
}

MatchingTags::~MatchingTags() {
    watcher_.disconnect(this);
}

void MatchingTags::textChanged() {
    ++generation_;
    if (!stale_) {
        stale_ = true;
        area_->setHighlights(EditArea::Highlights::MatchingTags, {});
    }
    // The map is only worth building for a caret on a tag: typing in text costs nothing more.
    if (caretLooksOnTag())
        idle_.start();
    else
        idle_.stop();
}

void MatchingTags::rebuild() {
    if (watcher_.isRunning())
        return; // adopt() starts the next build
    if (area_->isLoading()) {
        idle_.start(); // the whole page first; taking it now would finish the load at once
        return;
    }
    building_ = generation_;
    watcher_.setFuture(QtConcurrent::run([text = area_->documentText()] {
        TagMap map = TagMap::build(text);
        if (text.size() > kBigPageCharacters)
            returnFreedMemory();
        return map;
    }));
}

void MatchingTags::adopt() {
    // Taken, not copied: the future would keep a second map of the page until the next build.
    TagMap built = watcher_.future().takeResult();
    if (building_ != generation_) {
        if (!idle_.isActive() && caretLooksOnTag())
            rebuild();
        return;
    }
    map_ = std::move(built);
    stale_ = false;
    highlight();
    // The heap keeps big freed buffers: the worker's copy of a big page would stay.
    if (area_->document()->characterCount() > kBigPageCharacters)
        returnFreedMemory();
}

const TagMap& MatchingTags::currentMap() {
    if (stale_) {
        map_ = TagMap::build(area_->documentText());
        stale_ = false;
        building_ = generation_;
        idle_.stop();
    }
    return map_;
}

void MatchingTags::highlight() {
    if (stale_)
        return;
    QList<QTextEdit::ExtraSelection> marks;
    const int index = map_.tagAtName(area_->textCursor().position());
    if (index >= 0) {
        const TagMap::Tag& tag = map_.tags()[size_t(index)];
        auto mark = [&](const TagMap::Tag& t, const QTextCharFormat& format) {
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(area_->document());
            s.cursor.setPosition(int(t.start));
            s.cursor.setPosition(int(t.nameStart() + t.nameLength()), QTextCursor::KeepAnchor);
            s.format = format;
            marks << s;
        };
        if (tag.status() == TagMap::Status::Unmatched) {
            QTextCharFormat warning;
            warning.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            warning.setUnderlineColor(QColor(0xE0, 0x40, 0x00));
            warning.setToolTip(tag.endTag() ? tr("This end tag ends no open element.")
                                            : tr("This element is never ended."));
            mark(tag, warning);
        } else {
            QTextCharFormat pair;
            const QColor base = area_->palette().color(QPalette::Base);
            pair.setBackground(base.lightness() > 128 ? QColor(0xC8, 0xE6, 0xFF) : QColor(0x1E, 0x4A, 0x6E));
            mark(tag, pair);
            if (tag.partner() >= 0)
                mark(map_.tags()[size_t(tag.partner())], pair);
        }
    }
    area_->setHighlights(EditArea::Highlights::MatchingTags, marks);
    emit highlighted();
}

bool MatchingTags::jumpToPartner() {
    const TagMap& map = currentMap();
    const int index = map.tagAtName(area_->textCursor().position());
    if (index < 0 || map.tags()[size_t(index)].partner() < 0)
        return false;
    const TagMap::Tag& partner = map.tags()[size_t(map.tags()[size_t(index)].partner())];
    QTextCursor cursor = area_->textCursor();
    cursor.setPosition(int(partner.nameStart()));
    area_->setTextCursor(cursor);
    area_->ensureCursorVisible();
    return true;
}
