#pragma once

#include "text_search.h"

#include <QWidget>
#include <vector>

class EditArea;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;

/// The bar below the text that finds and replaces as the user types. Matches in view are
/// shaded as extra selections, never in the colour model or the undo history; the current
/// match is the editor's selection.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(EditArea* area, QWidget* parent = nullptr);

    /// Shows the bar with the selection (one line of it) as what to find.
    void showFind();
    /// The same with the Replace row.
    void showReplace();
    void findNext();
    void findPrevious();
    void replaceCurrent();
    void replaceAll();
    void close();

    // For tests and for scripts that drive the bar.
    QLineEdit* findField() const { return findField_; }
    QLineEdit* replaceField() const { return replaceField_; }
    QAbstractButton* matchCaseBox() const { return matchCase_; }
    QAbstractButton* wholeWordBox() const { return wholeWord_; }
    QAbstractButton* regexBox() const { return regex_; }
    /// What the bar tells the user: "3 of 12", "No matches", an error, a wrap.
    QString message() const;
    /// All matches of the current search, as CR LF text positions.
    const std::vector<SearchMatch>& matches();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// Brings the matches up to date with the text and the search; true when they changed.
    bool refresh();
    /// Selects the first match at or after @p from (or before, going back), wrapping around.
    void step(int from, bool forward);
    void showCount(const QString& note = QString());
    void markVisibleMatches();
    /// The index of the match the selection is exactly on, or -1.
    int currentMatch() const;
    TextSearch search() const;
    void openBar(bool withReplace);

    EditArea* area_;
    QLineEdit* findField_;
    QLineEdit* replaceField_;
    QWidget* replaceRow_;
    QAbstractButton* matchCase_;
    QAbstractButton* wholeWord_;
    QAbstractButton* regex_;
    QLabel* status_;
    QPushButton* replaceButton_;
    QPushButton* replaceAllButton_;

    // The search the matches belong to, and the text it ran on: with CR LF line ends, or the
    // document's own (matches are CR LF text positions either way).
    QString text_;
    bool crlfText_ = true;
    int revision_ = -1;
    QString pattern_;
    SearchOptions options_;
    std::vector<SearchMatch> matches_;
    QString error_;
    int anchor_ = 0; ///< where incremental search starts from
};
