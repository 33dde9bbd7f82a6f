#pragma once

#include "safe_check.h"

#include <QFutureWatcher>
#include <QSet>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

/// The list of problems Check Tags found, below the text. Checks run in a worker thread on a
/// snapshot of the text, so typing never waits for them, and HTML Tidy itself in a child process
/// (safe_check), so that no page can take the window down.
class CheckPanel : public QWidget {
    Q_OBJECT
public:
    explicit CheckPanel(QWidget* parent = nullptr);
    ~CheckPanel() override;

    /// Checks @p text (line ends as in a file, or U+2029 as the edit area keeps them) in a worker;
    /// a check still running is overtaken and its result dropped.
    void check(const QString& text);
    /// The text changed since the last check: the list stays, marked as out of date.
    void markOutOfDate();
    /// Another page replaced the checked one: its problems go, and a check still running for it
    /// is not shown.
    void clear();
    bool isOutOfDate() const { return outOfDate_; }
    bool isChecking() const { return watcher_.isRunning(); }

    /// Tidy's keys of the message kinds the user chose to ignore.
    const QSet<QString>& ignoredKeys() const { return ignored_; }
    void setIgnoredKeys(const QSet<QString>& keys) { ignored_ = keys; }

    const std::vector<TagProblem>& problems() const { return problems_; }
    QTreeWidget* list() const { return list_; }
    QLabel* status() const { return status_; }
    /// Which problems the list shows: all, errors only or warnings only.
    enum class Shown { All, Errors, Warnings };
    QComboBox* shownChoice() const { return shown_; }
    /// Whether repeats of a message stand in one row with their count.
    QCheckBox* groupChoice() const { return group_; }
    /// Whether accessibility is checked too (Tidy's checks of the chosen level, and ours).
    QCheckBox* accessibilityChoice() const { return accessibility_; }
    /// Whether local links are checked (files that do not exist, #anchors with no id).
    QCheckBox* linksChoice() const { return links_; }
    /// The priority level of Tidy's accessibility checks, 1 to 3.
    void setAccessibilityLevel(int level) { level_ = level; }
    /// The page's file: its links are resolved from its folder, and the `.tagloom-check` of its
    /// site applies. Empty for a page never saved.
    void setPagePath(const QString& path) { pagePath_ = path; }
    /// Text without showing anything: for checks made as the user types.
    static safe_check::Result checkNow(const QString& text, const QSet<QString>& ignored, int accessibility, bool links,
                                       const QString& pagePath);

signals:
    /// The user double-clicked a problem or pressed Enter on it.
    void problemChosen(int line, int column);
    /// The user asked for the page to be checked again.
    void recheckRequested();
    /// The user ignored a kind of message, or brought the ignored ones back.
    void ignoredKeysChanged(const QSet<QString>& keys);
    /// A check's result is in the list.
    void checked();
    /// The user turned the accessibility or the link checks on or off.
    void choicesChanged();

private:
    void showResult();
    /// Fills the list from the problems, as the filter and the grouping say.
    void fillList();
    void showStatus();
    void showContextMenu(const QPoint& at);
    void ignore(const QSet<QString>& keys);

    QLabel* status_ = nullptr;
    QPushButton* recheck_ = nullptr;
    QComboBox* shown_ = nullptr;
    QCheckBox* group_ = nullptr;
    QCheckBox* accessibility_ = nullptr;
    QCheckBox* links_ = nullptr;
    int level_ = 1;
    QString pagePath_;
    QTreeWidget* list_ = nullptr;
    QFutureWatcher<safe_check::Result> watcher_;
    std::vector<TagProblem> problems_;
    QString failure_; ///< why the last check could not be made
    QSet<QString> ignored_;
    bool outOfDate_ = false;
    bool pending_ = false; ///< a newer check waits for the running one to end
    bool discardRunning_ = false; ///< the running check is of a page that was replaced
    bool showsPage_ = true; ///< the list is of the page in the window (false after clear())
    QString pendingText_;
};
