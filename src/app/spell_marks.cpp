#include "spell_marks.h"

#include "editor/edit_area.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QMenu>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

SpellMarks::SpellMarks(EditArea* area, Speller& speller, std::function<QString()> siteWords, QString fallbackLanguage)
    : QObject(area), area_(area), speller_(speller), siteWords_(std::move(siteWords)), fallbackLanguage_(std::move(fallbackLanguage)) {
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    connect(&pause_, &QTimer::timeout, this, &SpellMarks::read);
    connect(area, &EditArea::edited, this, [this] {
        ++generation_;
        pause_.start();
    });
    connect(area, &EditArea::languageChanged, this, &SpellMarks::readNow);
    connect(&reading_, &QFutureWatcher<std::vector<spelling::Word>>::finished, this, [this] {
        if (readingFor_ == generation_ && shownFor_ != generation_)
            show(reading_.result());
        else
            pause_.start(); // typed on meanwhile: that text is read next
    });
    area->setContextMenuAdditions([this](QMenu* menu, int position) { addToMenu(menu, position); });
    // Only the words near the view are marks: thousands of them would cost every key and paint.
    connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, &SpellMarks::markInView);
    connect(area->document(), &QTextDocument::contentsChange, this, &SpellMarks::textChanged);
    readNow();
}

SpellMarks::~SpellMarks() {
    // The edit area may be going with it: it is left alone here (detach() clears what was shown).
    reading_.disconnect(this);
    reading_.waitForFinished();
}

void SpellMarks::detach() {
    pause_.stop();
    if (area_) {
        area_->setContextMenuAdditions({});
        area_->setHighlights(EditArea::Highlights::Spelling, {});
        area_->disconnect(this);
    }
}

QColor SpellMarks::markColour() {
    return QColor(0x70, 0x40, 0xD0); // apart from the problems' red and orange
}

void SpellMarks::readNow() {
    ++generation_;
    pause_.stop();
    read();
}

void SpellMarks::read() {
    if (!area_)
        return;
    if (reading_.isRunning() || area_->isLoading()) {
        pause_.start();
        return;
    }
    if (!language::isMarkup(area_->language())) {
        show({});
        return;
    }
    readingFor_ = generation_;
    reading_.setFuture(QtConcurrent::run(&SpellMarks::misspelt, area_->documentText(), fallbackLanguage_, std::ref(speller_)));
}

std::vector<spelling::Word> SpellMarks::misspelt(const QString& text, const QString& fallback, Speller& speller) {
    std::vector<spelling::Word> wrong;
    for (spelling::Word& word : spelling::wordsOf(text, {fallback}))
        if (!speller.isCorrect(word.text, word.language))
            wrong.push_back(std::move(word));
    return wrong;
}

void SpellMarks::show(std::vector<spelling::Word> words) {
    marked_ = std::move(words);
    shownFor_ = generation_;
    markInView();
    emit marksShown();
}

void SpellMarks::textChanged(int position, int removed, int added) {
    // The words read before move with the text until it is read again; an edited one is dropped.
    const size_t before = marked_.size();
    std::erase_if(marked_, [&](const spelling::Word& w) { return w.start < position + removed && position <= w.start + w.length; });
    for (spelling::Word& w : marked_)
        if (w.start >= position + removed)
            w.start += added - removed;
    if (marked_.size() != before)
        markInView(); // an edited word is no longer marked as it was
}

void SpellMarks::markInView() {
    if (!area_)
        return;
    // The lines in view and a screen either side.
    const int screen = area_->viewport()->height();
    const int from = area_->cursorForPosition(QPoint(0, -screen)).block().position();
    const QTextBlock last = area_->cursorForPosition(QPoint(0, 2 * screen)).block();
    const int to = last.position() + last.length();
    QList<QTextEdit::ExtraSelection> marks;
    auto it = std::lower_bound(marked_.begin(), marked_.end(), from,
                               [](const spelling::Word& w, int at) { return w.start < at; });
    for (; it != marked_.end() && it->start < to && size_t(marks.size()) < kMostMarks; ++it) {
        const spelling::Word& word = *it;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(area_->document());
        mark.cursor.setPosition(int(word.start));
        mark.cursor.setPosition(int(word.start + word.length), QTextCursor::KeepAnchor);
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(markColour());
        marks << mark;
    }
    area_->setHighlights(EditArea::Highlights::Spelling, marks);
}

const spelling::Word* SpellMarks::wordAt(int position) const {
    const auto it = std::find_if(marked_.begin(), marked_.end(), [position](const spelling::Word& w) {
        return w.start <= position && position <= w.start + w.length;
    });
    return it == marked_.end() ? nullptr : &*it;
}

bool SpellMarks::selectNext() {
    if (!area_)
        return false;
    if (shownFor_ != generation_ && language::isMarkup(area_->language())) {
        pause_.stop();
        show(misspelt(area_->documentText(), fallbackLanguage_, speller_));
    }
    if (marked_.empty())
        return false;
    const int caret = area_->textCursor().selectionEnd();
    auto it = std::find_if(marked_.begin(), marked_.end(), [caret](const spelling::Word& w) { return w.start >= caret; });
    if (it == marked_.end())
        it = marked_.begin();
    QTextCursor cursor(area_->document());
    cursor.setPosition(int(it->start));
    cursor.setPosition(int(it->start + it->length), QTextCursor::KeepAnchor);
    area_->setTextCursor(cursor);
    area_->ensureCursorVisible();
    return true;
}

QString SpellMarks::personalWords() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("words.txt"));
}

bool SpellMarks::appendWord(const QString& list, const QString& word) {
    QDir().mkpath(QFileInfo(list).absolutePath());
    // Only a regular file (or none yet) is written to, and only appended to: the list is kept
    // with the site's pages or in the user's data.
    const QFileInfo info(list);
    if (info.exists() && !info.isFile())
        return false;
    QFile file(list);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const bool needsLineEnd = file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n";
    file.seek(file.size());
    return file.write((needsLineEnd ? "\n" : "") + word.toUtf8() + '\n') > 0;
}

void SpellMarks::addToMenu(QMenu* menu, int position) {
    const spelling::Word* found = wordAt(position);
    if (!found)
        return;
    const spelling::Word word = *found;
    QAction* first = menu->actions().value(0);
    QList<QAction*> added;
    const QStringList suggestions = speller_.suggestions(word.text, word.language, 8);
    for (const QString& suggestion : suggestions) {
        auto* take = new QAction(suggestion, menu);
        connect(take, &QAction::triggered, this, [this, word, suggestion] {
            // The word as written (a reference in it included) becomes the suggestion, one undo step.
            QTextCursor cursor(area_->document());
            cursor.setPosition(int(word.start));
            cursor.setPosition(int(word.start + word.length), QTextCursor::KeepAnchor);
            area_->setTextCursor(cursor);
            area_->replaceSelection(suggestion);
        });
        added << take;
    }
    if (suggestions.isEmpty()) {
        auto* none = new QAction(tr("(no suggestions)"), menu);
        none->setEnabled(false);
        added << none;
    }
    auto* ignore = new QAction(tr("&Ignore \"%1\"").arg(word.text), menu);
    connect(ignore, &QAction::triggered, this, [this, word] {
        speller_.accept(word.text);
        readNow();
    });
    added << ignore;
    // Kept in the site's list (with its pages), or in the user's own.
    const auto addTo = [&](const QString& text, const QString& list) {
        auto* add = new QAction(text, menu);
        add->setEnabled(!list.isEmpty());
        add->setToolTip(list);
        connect(add, &QAction::triggered, this, [this, word, list] {
            if (!appendWord(list, word.text))
                emit listNotWritten(list);
            speller_.accept(word.text);
            readNow();
        });
        added << add;
    };
    addTo(tr("Add to Site &Words"), siteWords_ ? siteWords_() : QString());
    addTo(tr("Add to &My Words"), personalWords());
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    added << separator;
    menu->insertActions(first, added);
}
