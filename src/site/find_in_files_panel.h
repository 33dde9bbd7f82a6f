#pragma once

#include "file_search.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QMutex>
#include <QHash>
#include <QSet>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class Dialogs;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

/// Find and Replace in Files: a folder, name patterns and the find bar's three options. Matches
/// come in file by file while worker threads on every core search, grouped by file; a
/// double-click opens the spot. Replace All asks first, then changes the pages open in the
/// editor in their tabs (undoable there) and writes the others.
class FindInFilesPanel : public QWidget {
    Q_OBJECT
public:
    FindInFilesPanel(Dialogs& dialogs, QWidget* parent = nullptr);
    ~FindInFilesPanel() override;

    /// Replaces in a page open in the editor: the number replaced, or nullopt when @p path is
    /// not open (the file is then written here).
    using OpenPageReplacer =
        std::function<std::optional<int>(const QString& path, const TextSearch& search, const QString& replacement)>;
    void setOpenPageReplacer(OpenPageReplacer replacer) { openPageReplacer_ = std::move(replacer); }

    void setFolder(const QString& folder);
    QString folder() const;
    /// Puts @p text in the Find field (when not empty) and the keyboard focus there.
    void focusFind(const QString& text);
    void setReplacement(const QString& text);
    void setOptions(SearchOptions options);

    void find();
    /// Stops a search, or a Replace All: files written so far stay new, the others old.
    void stop();
    void replaceAll();
    bool isSearching() const;
    bool isReplacing() const { return replacing_.isRunning() || classifying_; }

    QTreeWidget* results() const { return results_; }
    QLabel* status() const { return status_; }

signals:
    /// The user double-clicked a match, or pressed Enter on it.
    void hitChosen(const QString& path, int line, int column, int length);
    /// A search ended (done or stopped); for tests and benchmarks.
    void searchEnded();
    /// A Replace All ended (done or stopped), once its summary is shown.
    void replaceEnded();

private:
    TextSearch currentSearch() const;
    void searchListed();
    /// Takes the files searched so far into the list, a few milliseconds at a time, so that
    /// keys and paints come in between.
    void takeResults();
    void showFileHits(int index);
    /// The rows of a file's matches, made when the file's row is first opened: a search with
    /// half a million matches must not make half a million rows while the user waits.
    void showHitsOf(QTreeWidgetItem* file);
    void showProgress();
    void resultsOutOfDate();
    void searchFinished();
    /// Replace All, a slice at a time on the window's thread: pages open in tabs change there,
    /// the other files are gathered for the workers.
    void replaceInOpenPages();
    void replaceFinished();
    void setBusy(bool busy);

    Dialogs& dialogs_;
    QLineEdit* findField_ = nullptr;
    QLineEdit* replaceField_ = nullptr;
    QLineEdit* folderField_ = nullptr;
    QLineEdit* namesField_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* wholeWord_ = nullptr;
    QCheckBox* regularExpression_ = nullptr;
    QCheckBox* outside_ = nullptr;
    QPushButton* findButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* replaceButton_ = nullptr;
    QLabel* status_ = nullptr;
    QTreeWidget* results_ = nullptr;
    OpenPageReplacer openPageReplacer_;

    /// The search's own threads. Qt paints with the global pool's threads too: a search queued
    /// there would keep the window from painting until it ended.
    QThreadPool pool_;
    QFutureWatcher<folder_walk::Walk> listing_;
    QFutureWatcher<file_search::FileHits> searching_;
    QStringList files_;
    QHash<QString, QString> outsideFiles_; ///< listed files outside the folder (through links): their real paths
    std::vector<folder_walk::PassedOver> passedOver_;

    // Replace All in progress.
    struct Replacing {
        TextSearch search;
        QString replacement;
        int next = 0;           ///< the next result row to take
        QStringList toWrite;    ///< files not open in the editor, written on the workers
        int replaced = 0;
        int files = 0;
        QStringList failed;
    };
    std::optional<Replacing> replace_;
    bool classifying_ = false;
    QFutureWatcher<file_search::Replaced> replacing_;
    struct WriteLog {
        QMutex mutex;
        std::vector<file_search::Replaced> done;
    };
    std::shared_ptr<WriteLog> writeLog_;
    std::vector<file_search::FileHits> found_; ///< the files with matches, in the order of the rows
    int autoShown_ = 0; ///< match rows made without the user opening a file
    std::vector<int> waiting_; ///< results ready but not yet in the list
    bool taking_ = false;
    bool endPending_ = false; ///< the search ended; it is told once its last results are in
    QString searchedFolder_;
    QElapsedTimer clock_;
    int matches_ = 0;
    int filesWithMatches_ = 0;
    int skipped_ = 0;
    qint64 bytes_ = 0;
    std::atomic<bool> stopped_{false}; ///< read by the listing thread too
    bool upToDate_ = false; ///< the results are of the fields as they stand
};
