#pragma once

#include "checking/spelling.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

class EditArea;
class QMenu;

/// Options > Check Spelling on one edit area: the words a reader sees that the dictionaries do
/// not know get a wave underline of their own colour. The page is read on a worker a moment
/// after typing pauses; the marks are drawn over the text and never touch it or its undo steps.
class SpellMarks : public QObject {
    Q_OBJECT
public:
    /// @p siteWords: the site's word list a word is added to (empty when the page has no folder).
    SpellMarks(EditArea* area, Speller& speller, std::function<QString()> siteWords, QString fallbackLanguage);
    ~SpellMarks() override;

    /// The misspelt words marked now, in document positions, in text order.
    std::vector<spelling::Word> marked() const;
    /// Selects the next misspelt word after the caret (round to the first), the page read first if
    /// the marks are not of its text: false when there is none.
    bool selectNext();
    /// Reads the page again now rather than after the pause.
    void readNow();
    /// Takes the marks and the menu's items away, before the option is turned off.
    void detach();

    static constexpr int kPauseMs = 300;
    /// Enough to see on any screen.
    static constexpr size_t kMostMarks = 2000;
    static QColor markColour();
    /// The user's own word list, in the data folder.
    static QString personalWords();
    /// Adds @p word on a line of its own at the end of the list @p list (made when missing).
    static bool appendWord(const QString& list, const QString& word);

signals:
    /// The marks were read again; for tests.
    void marksShown();
    /// A word could not be added to @p list (a folder or a device of that name, no permission).
    void listNotWritten(const QString& list);

private:
    void read();
    /// The misspelt words of the text now (on the calling thread).
    static std::vector<spelling::Word> misspelt(const QString& text, const QString& fallback, Speller& speller);
    void show(std::vector<spelling::Word> words);
    void textChanged(int position, int removed, int added);
    /// Marks the words near the view.
    void markInView();
    void addToMenu(QMenu* menu, int position);
    std::optional<spelling::Word> wordAt(int position) const;
    /// Where mark @p i starts in the text now.
    qsizetype startOf(size_t i) const;
    /// The first mark that starts at or after @p position.
    size_t firstFrom(qsizetype position) const;

    QPointer<EditArea> area_;
    Speller& speller_;
    std::function<QString()> siteWords_;
    QString fallbackLanguage_;
    QTimer pause_;
    QFutureWatcher<std::vector<spelling::Word>> reading_;
    int generation_ = 0;
    int readingFor_ = -1;
    int shownFor_ = -1; ///< the generation the marks are of
    /// The marks after the last edit keep their distance from the text's end in `start` rather
    /// than their place, so typing moves none of them: a key costs a step or two here instead of a
    /// pass over thousands of marks.
    std::vector<spelling::Word> marked_;
    size_t fromEndAt_ = 0; ///< the first mark held by its distance from the end
};
