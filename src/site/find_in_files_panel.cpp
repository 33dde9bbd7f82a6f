#include "find_in_files_panel.h"

#include "dialogs/dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPushButton>
#include <QTreeWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

namespace {
enum Role { PathRole = Qt::UserRole, LineRole, ColumnRole, LengthRole, FoundRole };
constexpr int kAutoShownHits = 500; ///< match rows shown open at first, over the first files

/// Enter on a match opens it, as a double-click does.
class HitList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentItem()) {
            emit itemActivated(currentItem(), 0);
            return;
        }
        QTreeWidget::keyPressEvent(e);
    }
};
} // namespace

FindInFilesPanel::FindInFilesPanel(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    pool_.setMaxThreadCount(QThread::idealThreadCount());
    setObjectName(QStringLiteral("findInFilesPanel"));
    findField_ = new QLineEdit(this);
    findField_->setObjectName(QStringLiteral("findInFilesText"));
    replaceField_ = new QLineEdit(this);
    replaceField_->setObjectName(QStringLiteral("replaceInFilesText"));
    folderField_ = new QLineEdit(QDir::homePath(), this);
    folderField_->setObjectName(QStringLiteral("findInFilesFolder"));
    namesField_ = new QLineEdit(QStringLiteral("*.html;*.htm;*.css;*.js"), this);
    namesField_->setObjectName(QStringLiteral("findInFilesNames"));
    auto* browse = new QPushButton(tr("…"), this);
    browse->setToolTip(tr("Choose the folder"));
    browse->setAccessibleName(tr("Choose the folder"));
    matchCase_ = new QCheckBox(tr("Match &case"), this);
    wholeWord_ = new QCheckBox(tr("&Whole word"), this);
    regularExpression_ = new QCheckBox(tr("Regular e&xpression"), this);
    outside_ = new QCheckBox(tr("Files &outside the folder"), this);
    outside_->setObjectName(QStringLiteral("findInFilesOutside"));
    outside_->setToolTip(tr("Also search, and replace in, files that links in the folder lead to outside it"));
    findButton_ = new QPushButton(tr("&Find"), this);
    findButton_->setDefault(true);
    stopButton_ = new QPushButton(tr("&Stop"), this);
    stopButton_->setEnabled(false);
    replaceButton_ = new QPushButton(tr("&Replace All…"), this);
    replaceButton_->setEnabled(false);
    replaceButton_->setToolTip(tr("Find first: the list shows what will change"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("findInFilesStatus"));
    status_->setWordWrap(true);
    results_ = new HitList(this);
    results_->setObjectName(QStringLiteral("findInFilesResults"));
    results_->setAccessibleName(tr("Matches in files"));
    results_->setHeaderLabels({tr("File or line:column"), tr("Text")});
    results_->setUniformRowHeights(true);
    // Sized once a search ends: sizing to the contents on every row added would measure every
    // row again each time.
    results_->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("folder/page.html (999)")));

    auto* fields = new QFormLayout;
    fields->addRow(tr("Fi&nd:"), findField_);
    fields->addRow(tr("Re&place with:"), replaceField_);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderField_, 1);
    folderRow->addWidget(browse);
    auto* folderLabel = new QLabel(tr("In f&older:"), this);
    folderLabel->setBuddy(folderField_);
    fields->addRow(folderLabel, folderRow);
    fields->addRow(tr("File &names:"), namesField_);
    auto* options = new QHBoxLayout;
    options->addWidget(matchCase_);
    options->addWidget(wholeWord_);
    options->addWidget(regularExpression_);
    options->addWidget(outside_);
    options->addStretch(1);
    options->addWidget(findButton_);
    options->addWidget(stopButton_);
    options->addWidget(replaceButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(fields);
    layout->addLayout(options);
    layout->addWidget(status_);
    layout->addWidget(results_, 1);

    connect(findButton_, &QPushButton::clicked, this, &FindInFilesPanel::find);
    connect(findField_, &QLineEdit::returnPressed, this, &FindInFilesPanel::find);
    connect(stopButton_, &QPushButton::clicked, this, &FindInFilesPanel::stop);
    connect(replaceButton_, &QPushButton::clicked, this, &FindInFilesPanel::replaceAll);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = dialogs_.chooseFolder(this, tr("Find in Files"), folder());
        if (!chosen.isEmpty())
            setFolder(chosen);
    });
    for (QLineEdit* field : {findField_, folderField_, namesField_})
        connect(field, &QLineEdit::textEdited, this, &FindInFilesPanel::resultsOutOfDate);
    for (QCheckBox* box : {matchCase_, wholeWord_, regularExpression_, outside_})
        connect(box, &QCheckBox::toggled, this, &FindInFilesPanel::resultsOutOfDate);
    connect(results_, &QTreeWidget::itemExpanded, this, &FindInFilesPanel::showHitsOf);
    connect(results_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, LineRole).isValid())
            emit hitChosen(item->data(0, PathRole).toString(), item->data(0, LineRole).toInt(),
                           item->data(0, ColumnRole).toInt(), item->data(0, LengthRole).toInt());
    });
    connect(&listing_, &QFutureWatcher<folder_walk::Walk>::finished, this, &FindInFilesPanel::searchListed);
    connect(&replacing_, &QFutureWatcher<file_search::Replaced>::progressValueChanged, this, [this](int done) {
        status_->setText(tr("Replacing… %1 of %2 files written").arg(done).arg(replacing_.progressMaximum()));
    });
    connect(&replacing_, &QFutureWatcher<file_search::Replaced>::finished, this, &FindInFilesPanel::replaceFinished);
    connect(&searching_, &QFutureWatcher<file_search::FileHits>::resultReadyAt, this, [this](int index) {
        waiting_.push_back(index);
        if (!taking_) {
            taking_ = true;
            QTimer::singleShot(0, this, &FindInFilesPanel::takeResults);
        }
    });
    connect(&searching_, &QFutureWatcher<file_search::FileHits>::progressValueChanged, this,
            &FindInFilesPanel::showProgress);
    connect(&searching_, &QFutureWatcher<file_search::FileHits>::finished, this, [this] {
        endPending_ = true;
        if (!taking_)
            searchFinished(); // else once the last results are in
    });
}

FindInFilesPanel::~FindInFilesPanel() {
    listing_.disconnect(this);
    searching_.disconnect(this);
    replacing_.disconnect(this);
    listing_.cancel();
    searching_.cancel();
    replacing_.cancel();
    listing_.waitForFinished();
    searching_.waitForFinished();
    replacing_.waitForFinished(); // a file being written is finished, never cut
}

void FindInFilesPanel::setFolder(const QString& folder) {
    folderField_->setText(QDir::toNativeSeparators(folder));
    resultsOutOfDate();
}

QString FindInFilesPanel::folder() const {
    return QDir::fromNativeSeparators(folderField_->text().trimmed());
}

void FindInFilesPanel::focusFind(const QString& text) {
    if (!text.isEmpty() && text != findField_->text()) {
        findField_->setText(text);
        resultsOutOfDate();
    }
    findField_->setFocus(Qt::OtherFocusReason);
    findField_->selectAll();
}

void FindInFilesPanel::setReplacement(const QString& text) {
    replaceField_->setText(text);
}

void FindInFilesPanel::setOptions(SearchOptions options) {
    matchCase_->setChecked(options.matchCase);
    wholeWord_->setChecked(options.wholeWord);
    regularExpression_->setChecked(options.regularExpression);
}

bool FindInFilesPanel::isSearching() const {
    return listing_.isRunning() || searching_.isRunning();
}

TextSearch FindInFilesPanel::currentSearch() const {
    return TextSearch(findField_->text(),
                      {matchCase_->isChecked(), wholeWord_->isChecked(), regularExpression_->isChecked()});
}

void FindInFilesPanel::resultsOutOfDate() {
    upToDate_ = false;
    replaceButton_->setEnabled(false);
}

void FindInFilesPanel::find() {
    if (isSearching() || isReplacing())
        return;
    const TextSearch search = currentSearch();
    if (search.isEmpty() || !search.error().isEmpty()) {
        status_->setText(search.isEmpty() ? tr("Type what to find.") : tr("Invalid expression: ") + search.error());
        return;
    }
    if (!QFileInfo(folder()).isDir()) {
        status_->setText(tr("There is no folder %1.").arg(folderField_->text()));
        return;
    }
    results_->clear();
    files_.clear();
    // Half a million matches take a while to free: not on the window's thread.
    pool_.start([hits = std::move(found_)]() mutable { hits = {}; });
    found_.clear();
    waiting_.clear();
    endPending_ = false;
    autoShown_ = 0;
    matches_ = filesWithMatches_ = skipped_ = 0;
    bytes_ = 0;
    stopped_ = false;
    upToDate_ = false;
    replaceButton_->setEnabled(false);
    findButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    searchedFolder_ = folder();
    status_->setText(tr("Listing the files…"));
    clock_.start();
    // Listing a big tree takes a moment too: it runs off the window's thread as well.
    listing_.setFuture(QtConcurrent::run(&pool_, [folder = searchedFolder_, patterns = file_search::splitPatterns(namesField_->text()),
                                          outside = outside_->isChecked(), this] {
        return file_search::listFiles(folder, patterns, outside, [this] { return stopped_.load(); });
    }));
}

void FindInFilesPanel::searchListed() {
    if (stopped_) {
        searchFinished();
        return;
    }
    folder_walk::Walk walk = listing_.result();
    files_.clear();
    outsideFiles_.clear();
    for (const folder_walk::File& file : walk.files) {
        files_ << file.path;
        if (file.outside)
            outsideFiles_.insert(file.path, file.realPath);
    }
    passedOver_ = std::move(walk.passedOver);
    skipped_ = int(passedOver_.size());
    // The last search's results live in its future too; they go on a worker as well.
    QFuture<file_search::FileHits> lastSearch = searching_.future();
    // One file per task: the pool keeps every core busy, and results come in as files finish.
    searching_.setFuture(QtConcurrent::mapped(&pool_, files_, [search = currentSearch()](const QString& path) {
        return file_search::searchFile(path, search);
    }));
    pool_.start([future = std::move(lastSearch)]() mutable { future = {}; });
    showProgress();
}

void FindInFilesPanel::searchFinished() {
    endPending_ = false;
    results_->resizeColumnToContents(0);
    stopButton_->setEnabled(false);
    findButton_->setEnabled(true);
    upToDate_ = !stopped_;
    replaceButton_->setEnabled(upToDate_ && matches_ > 0);
    showProgress();
    emit searchEnded();
}

void FindInFilesPanel::stop() {
    stopped_ = true;
    searching_.cancel();
    replacing_.cancel();
}

void FindInFilesPanel::takeResults() {
    QElapsedTimer slice;
    slice.start();
    size_t taken = 0;
    while (taken < waiting_.size() && slice.elapsed() < 8)
        showFileHits(waiting_[taken++]);
    waiting_.erase(waiting_.begin(), waiting_.begin() + qsizetype(taken));
    if (!waiting_.empty()) {
        QTimer::singleShot(0, this, &FindInFilesPanel::takeResults);
        return;
    }
    taking_ = false;
    if (endPending_)
        searchFinished();
}

void FindInFilesPanel::showFileHits(int index) {
    file_search::FileHits found = searching_.resultAt(index);
    bytes_ += found.bytes;
    if (found.skipped != file_search::FileHits::Skipped::No) {
        ++skipped_;
        if (!found.why.isEmpty())
            passedOver_.push_back({found.path, found.why});
    }
    if (found.hits.empty())
        return;
    ++filesWithMatches_;
    matches_ += int(found.hits.size());
    QString shown = QDir::toNativeSeparators(QDir(searchedFolder_).relativeFilePath(found.path));
    if (outsideFiles_.contains(found.path))
        shown += tr(" [outside the folder: %1]").arg(QDir::toNativeSeparators(outsideFiles_.value(found.path)));
    auto* file = new QTreeWidgetItem(results_, {QStringLiteral("%1 (%2)").arg(shown).arg(found.hits.size())});
    file->setData(0, PathRole, found.path);
    file->setData(0, FoundRole, int(found_.size()));
    file->setToolTip(0, QDir::toNativeSeparators(found.path));
    file->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    const bool open = autoShown_ + int(found.hits.size()) <= kAutoShownHits;
    found_.push_back(std::move(found));
    if (open) {
        autoShown_ += int(found_.back().hits.size());
        file->setExpanded(true);
    }
}

void FindInFilesPanel::showHitsOf(QTreeWidgetItem* file) {
    if (file->childCount() > 0 || !file->data(0, FoundRole).isValid())
        return;
    const file_search::FileHits& found = found_[size_t(file->data(0, FoundRole).toInt())];
    QList<QTreeWidgetItem*> lines;
    lines.reserve(qsizetype(found.hits.size()));
    for (const file_search::Hit& hit : found.hits) {
        auto* line = new QTreeWidgetItem({QStringLiteral("%1:%2").arg(hit.line).arg(hit.column), hit.lineText});
        line->setData(0, PathRole, found.path);
        line->setData(0, LineRole, hit.line);
        line->setData(0, ColumnRole, hit.column);
        line->setData(0, LengthRole, hit.length);
        lines << line;
    }
    file->addChildren(lines);
}

void FindInFilesPanel::showProgress() {
    const int searched = searching_.isRunning() ? searching_.progressValue() : int(files_.size());
    QString text;
    if (isSearching())
        text = tr("Searching… %1 of %2 files").arg(searched).arg(files_.size());
    else
        text = tr("%1 matches in %2 files; %3 files searched in %4 s")
                   .arg(matches_)
                   .arg(filesWithMatches_)
                   .arg(stopped_.load() ? searching_.progressValue() : int(files_.size()))
                   .arg(clock_.elapsed() / 1000.0, 0, 'f', 1);
    if (skipped_ > 0)
        text += tr("; %1 skipped (binary, too big, unreadable, not a regular file or outside the folder: the "
                   "tooltip names each)")
                    .arg(skipped_);
    // Nothing is left out in silence: the status names what was passed over, and why.
    QStringList why;
    for (const folder_walk::PassedOver& p : passedOver_) {
        if (why.size() == 20) {
            why << tr("… and %1 more").arg(passedOver_.size() - 20);
            break;
        }
        why << QDir::toNativeSeparators(p.path) + QStringLiteral(": ") + p.reason;
    }
    status_->setToolTip(why.join(u'\n'));
    if (stopped_ && !isSearching())
        text += tr(". Stopped.");
    status_->setText(text);
}

void FindInFilesPanel::setBusy(bool busy) {
    findButton_->setEnabled(!busy);
    stopButton_->setEnabled(busy);
    replaceButton_->setEnabled(false);
}

void FindInFilesPanel::replaceAll() {
    if (isSearching() || isReplacing() || !upToDate_ || matches_ == 0)
        return;
    const QString replacement = replaceField_->text();
    QString question = tr("Replace %1 matches in %2 files with \"%3\"?\n\nPages open in Tagloom change in their "
                          "tabs, where Undo takes the change back. The other files are written now.")
                           .arg(matches_)
                           .arg(filesWithMatches_)
                           .arg(replacement);
    QStringList outside;
    for (const file_search::FileHits& found : found_)
        if (outsideFiles_.contains(found.path))
            outside << QDir::toNativeSeparators(outsideFiles_.value(found.path));
    if (!outside.isEmpty())
        question += tr("\n\n%1 of these files lie outside the folder, reached through links:\n%2")
                        .arg(outside.size())
                        .arg(outside.mid(0, 10).join(u'\n') + (outside.size() > 10 ? QStringLiteral("\n…") : QString()));
    if (!dialogs_.askYesNo(this, question, Dialogs::Icon::Question, tr("Replace in Files")))
        return;
    replace_ = Replacing{currentSearch(), replacement, 0, {}, 0, 0, {}};
    writeLog_.reset();
    classifying_ = true;
    stopped_ = false;
    setBusy(true);
    replaceInOpenPages();
}

void FindInFilesPanel::replaceInOpenPages() {
    Replacing& r = *replace_;
    QElapsedTimer slice;
    slice.start();
    for (; r.next < results_->topLevelItemCount() && slice.elapsed() < 8 && !stopped_; ++r.next) {
        const QString path = results_->topLevelItem(r.next)->data(0, PathRole).toString();
        if (const std::optional<int> count = openPageReplacer_ ? openPageReplacer_(path, r.search, r.replacement) : std::nullopt) {
            r.replaced += *count;
            r.files += *count > 0;
        } else {
            r.toWrite << path;
        }
    }
    if (r.next < results_->topLevelItemCount() && !stopped_) {
        status_->setText(tr("Replacing… %1 of %2 files").arg(r.next).arg(results_->topLevelItemCount()));
        QTimer::singleShot(0, this, &FindInFilesPanel::replaceInOpenPages);
        return;
    }
    classifying_ = false;
    if (stopped_) {
        replaceFinished();
        return;
    }
    // Each file is written whole through a file beside it and renamed, so a Stop (or a kill)
    // leaves every file either as it was or fully replaced.
    // The workers log what they wrote themselves: a stopped future drops the results that come
    // in after the Stop, and those files were written all the same.
    writeLog_ = std::make_shared<WriteLog>();
    replacing_.setFuture(QtConcurrent::mapped(&pool_, r.toWrite, [search = r.search, with = r.replacement,
                                                                  log = writeLog_](const QString& path) {
        file_search::Replaced done = file_search::replaceInFile(path, search, with);
        const QMutexLocker lock(&log->mutex);
        log->done.push_back(done);
        return done;
    }));
}

void FindInFilesPanel::replaceFinished() {
    if (!replace_)
        return;
    Replacing r = std::move(*replace_);
    replace_.reset();
    replacing_.waitForFinished(); // every file begun is written
    // The list showed what was to change: it now says what was done to each file.
    QSet<QString> failedPaths;
    const std::vector<file_search::Replaced> writes = writeLog_ ? std::move(writeLog_->done) : std::vector<file_search::Replaced>();
    writeLog_.reset();
    for (const file_search::Replaced& done : writes) {
        if (done.error) {
            r.failed << QDir::toNativeSeparators(done.path) + QStringLiteral(": ") + done.problem;
            failedPaths.insert(done.path);
        }
        r.replaced += done.count;
        r.files += done.count > 0;
    }
    const qsizetype written = qsizetype(writes.size());
    QSet<QString> done;
    for (const file_search::Replaced& w : writes)
        if (!w.error)
            done.insert(w.path);
    for (int i = 0; i < results_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* file = results_->topLevelItem(i);
        const QString path = file->data(0, PathRole).toString();
        const bool openPage = i < r.next && !r.toWrite.contains(path);
        const QString state = failedPaths.contains(path)           ? tr("not changed")
                              : done.contains(path) || openPage ? tr("replaced")
                                                                : tr("left as it was");
        file->setText(1, state);
        // Its lines show what was there before: greyed, as history.
        for (int k = 0; k < file->childCount(); ++k)
            file->child(k)->setDisabled(true);
        file->setData(0, FoundRole, QVariant()); // no rows of the old text to make any more
    }
    setBusy(false);
    resultsOutOfDate();
    QString summary = tr("Replaced %1 matches in %2 files.").arg(r.replaced).arg(r.files);
    if (stopped_)
        summary += tr(" Stopped: %1 files were left as they were.")
                       .arg(r.toWrite.size() - written + (results_->topLevelItemCount() - r.next));
    if (!r.failed.isEmpty())
        summary += tr("\n\nThese files were not changed:\n") + r.failed.join(u'\n');
    status_->setText(summary.section(u'\n', 0, 0));
    dialogs_.showMessage(this, summary, r.failed.isEmpty() ? Dialogs::Icon::None : Dialogs::Icon::Exclamation,
                         tr("Replace in Files"));
    emit replaceEnded();
}
