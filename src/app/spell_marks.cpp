#include "spell_marks.h"

#include "editor/edit_area.h"

#include <QAction>
#include <QFile>
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
    QList<QTextEdit::ExtraSelection> marks;
    for (const spelling::Word& word : marked_) {
        if (size_t(marks.size()) >= kMostMarks)
            break;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(area_->document());
        mark.cursor.setPosition(int(word.start));
        mark.cursor.setPosition(int(word.start + word.length), QTextCursor::KeepAnchor);
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(markColour());
        marks << mark;
    }
    area_->setHighlights(EditArea::Highlights::Spelling, marks);
    emit marksShown();
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
    const QString list = siteWords_ ? siteWords_() : QString();
    auto* add = new QAction(tr("Add to Site &Words"), menu);
    add->setEnabled(!list.isEmpty());
    if (!list.isEmpty())
        add->setToolTip(list);
    connect(add, &QAction::triggered, this, [this, word, list] {
        QFile file(list);
        // Appended to, never rewritten: the list is the site's, kept with its pages.
        if (file.open(QIODevice::Append | QIODevice::WriteOnly)) {
            const bool needsLineEnd = file.size() > 0 && [&] {
                QFile reading(list);
                return reading.open(QIODevice::ReadOnly) && reading.seek(reading.size() - 1) && reading.read(1) != "\n";
            }();
            file.write((needsLineEnd ? "\n" : "") + word.text.toUtf8() + '\n');
        }
        speller_.accept(word.text);
        readNow();
    });
    added << add;
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    added << separator;
    menu->insertActions(first, added);
}
