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
    fromEndAt_ = marked_.size();
    shownFor_ = generation_;
    markInView();
    emit marksShown();
}

qsizetype SpellMarks::startOf(size_t i) const {
    return i < fromEndAt_ ? marked_[i].start : area_->document()->characterCount() - marked_[i].start;
}

size_t SpellMarks::firstFrom(qsizetype position) const {
    size_t low = 0, high = marked_.size();
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (startOf(middle) < position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

std::vector<spelling::Word> SpellMarks::marked() const {
    std::vector<spelling::Word> words = marked_;
    for (size_t i = fromEndAt_; i < words.size(); ++i)
        words[i].start = startOf(i);
    return words;
}

void SpellMarks::textChanged(int position, int removed, int added) {
    if (!area_)
        return;
    // The words read before move with the text until it is read again; an edited one is dropped.
    // The marks from the edit on become held by their distance from the end (measured before
    // the edit), which the edit does not change; those before it by their place.
    const qsizetype lengthBefore = area_->document()->characterCount() - added + removed;
    const auto startBefore = [&](size_t i) { return i < fromEndAt_ ? marked_[i].start : lengthBefore - marked_[i].start; };
    while (fromEndAt_ > 0 && marked_[fromEndAt_ - 1].start >= position) {
        --fromEndAt_;
        marked_[fromEndAt_].start = lengthBefore - marked_[fromEndAt_].start;
    }
    while (fromEndAt_ < marked_.size() && startBefore(fromEndAt_) < position) {
        marked_[fromEndAt_].start = lengthBefore - marked_[fromEndAt_].start;
        ++fromEndAt_;
    }
    // Words do not overlap, so those the edit touches stand together at that border.
    size_t first = fromEndAt_, last = fromEndAt_;
    while (first > 0 && marked_[first - 1].start + marked_[first - 1].length >= position)
        --first;
    while (last < marked_.size() && startBefore(last) < position + removed)
        ++last;
    if (first == last)
        return;
    marked_.erase(marked_.begin() + qsizetype(first), marked_.begin() + qsizetype(last));
    fromEndAt_ = first;
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
    for (size_t i = firstFrom(from); i < marked_.size() && startOf(i) < to && size_t(marks.size()) < kMostMarks; ++i) {
        const qsizetype start = startOf(i);
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(area_->document());
        mark.cursor.setPosition(int(start));
        mark.cursor.setPosition(int(start + marked_[i].length), QTextCursor::KeepAnchor);
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(markColour());
        marks << mark;
    }
    area_->setHighlights(EditArea::Highlights::Spelling, marks);
}

std::optional<spelling::Word> SpellMarks::wordAt(int position) const {
    // The mark that starts at or before the position, if the position is in it or at its end.
    const size_t after = firstFrom(position + 1);
    if (after == 0 || startOf(after - 1) + marked_[after - 1].length < position)
        return std::nullopt;
    spelling::Word word = marked_[after - 1];
    word.start = startOf(after - 1);
    return word;
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
    size_t next = firstFrom(area_->textCursor().selectionEnd());
    if (next == marked_.size())
        next = 0;
    QTextCursor cursor(area_->document());
    cursor.setPosition(int(startOf(next)));
    cursor.setPosition(int(startOf(next) + marked_[next].length), QTextCursor::KeepAnchor);
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
    const std::optional<spelling::Word> found = wordAt(position);
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
