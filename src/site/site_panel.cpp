#include "site_panel.h"

#include "base/folder_walk.h"
#include "dialogs/dialogs.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

void SiteFilter::setFilter(const QString& text, QSet<QString> folders, const QString& root) {
    text_ = text;
    folders_ = std::move(folders);
    root_ = root;
    invalidateFilter();
}

bool SiteFilter::filterAcceptsRow(int row, const QModelIndex& parent) const {
    if (text_.isEmpty())
        return true;
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const QModelIndex index = files->index(row, 0, parent);
    if (files->isDir(index)) {
        // The site's own folder and those above it, which the tree needs to reach it, stay.
        const QString path = files->filePath(index);
        return folders_.contains(path) || root_ == path || root_.startsWith(path.endsWith(u'/') ? path : path + u'/');
    }
    return files->fileName(index).contains(text_, Qt::CaseInsensitive);
}

QString SiteFilter::dropFolder(const QModelIndex& parent) const {
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const QModelIndex target = mapToSource(parent);
    if (!target.isValid())
        return root_.isEmpty() ? files->rootPath() : root_;
    return files->isDir(target) ? files->filePath(target) : QFileInfo(files->filePath(target)).path();
}

QStringList SiteFilter::droppedFiles(const QMimeData* data) const {
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const QString site = files->rootPath();
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && url.toLocalFile().startsWith(site + u'/'))
            paths << QDir::cleanPath(url.toLocalFile());
    return paths.size() == data->urls().size() ? paths : QStringList();
}

bool SiteFilter::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex& parent) const {
    const QString folder = dropFolder(parent);
    const QStringList dropped = droppedFiles(data);
    // Not into itself, nor where it already is.
    return move && !dropped.isEmpty() && std::none_of(dropped.begin(), dropped.end(), [&](const QString& path) {
        return folder == path || folder.startsWith(path + u'/') || QFileInfo(path).path() == folder;
    });
}

bool SiteFilter::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const QString folder = dropFolder(parent);
    for (const QString& path : droppedFiles(data))
        move(path, folder + u'/' + QFileInfo(path).fileName());
    return false; // nothing has moved yet: the tree shows the move once it is made
}

SitePanel::SitePanel(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("sitePanel"));
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    shown_ = new SiteFilter(this);
    shown_->setSourceModel(model_);
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("siteTree"));
    tree_->setAccessibleName(tr("Site files"));
    tree_->setModel(shown_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column); // the name is what a site panel is for
    // Files and folders are dragged to move them; the model is writable for that, but names are
    // changed only through Rename, so that links follow.
    model_->setReadOnly(false);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setDragDropMode(QAbstractItemView::DragDrop);
    tree_->setDefaultDropAction(Qt::MoveAction);
    tree_->setDropIndicatorShown(true);
    shown_->move = [this](const QString& from, const QString& to) { emit moveRequested(from, to); };
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* rename = new QAction(tr("&Rename..."), tree_);
    rename->setObjectName(QStringLiteral("siteRename"));
    rename->setShortcut(Qt::Key_F2);
    rename->setShortcutContext(Qt::WidgetShortcut);
    tree_->addAction(rename);
    connect(rename, &QAction::triggered, this, &SitePanel::renameChosen);
    connect(tree_, &QWidget::customContextMenuRequested, this, [this, rename](const QPoint& at) {
        if (!tree_->indexAt(at).isValid())
            return;
        QMenu menu(this);
        menu.addAction(rename);
        menu.exec(tree_->viewport()->mapToGlobal(at));
    });
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("siteFilter"));
    filter_->setPlaceholderText(tr("Filter by name"));
    filter_->setClearButtonEnabled(true);
    rootLabel_ = new QLabel(this);
    rootLabel_->setObjectName(QStringLiteral("siteRoot"));
    auto* choose = new QPushButton(tr("&Folder…"), this);
    choose->setToolTip(tr("Show another folder"));

    auto* top = new QHBoxLayout;
    top->addWidget(rootLabel_, 1);
    top->addWidget(choose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(top);
    layout->addWidget(filter_);
    layout->addWidget(tree_, 1);

    connect(choose, &QPushButton::clicked, this, [this] {
        const QString chosen = dialogs_.chooseFolder(this, tr("Site Folder"), root());
        if (!chosen.isEmpty())
            setRoot(chosen);
    });
    connect(filter_, &QLineEdit::textChanged, this, &SitePanel::filterBy);
    connect(&walking_, &QFutureWatcher<QSet<QString>>::finished, this, [this] {
        if (walkedFor_ != filter_->text().trimmed())
            return; // typed on since: the newer walk tells
        const QSet<QString> folders = walking_.result();
        shown_->setFilter(walkedFor_, folders, root());
        for (const QString& folder : folders)
            tree_->expand(shown_->mapFromSource(model_->index(folder)));
        emit filtered();
    });
    connect(tree_, &QTreeView::activated, this, [this](const QModelIndex& index) {
        const QModelIndex file = shown_->mapToSource(index);
        if (!model_->isDir(file))
            emit fileChosen(model_->filePath(file));
    });
}

SitePanel::~SitePanel() {
    walking_.waitForFinished();
}

void SitePanel::filterBy(const QString& typed) {
    const QString text = typed.trimmed();
    walkedFor_ = text;
    if (text.isEmpty()) {
        shown_->setFilter({}, {}, {});
        emit filtered();
        return;
    }
    // Which folders hold a match is only known once the site is walked: off the window's thread.
    walking_.setFuture(QtConcurrent::run([root = root(), text] {
        folder_walk::Options options;
        options.wanted = [&](const QString& relative) { return relative.section(u'/', -1).contains(text, Qt::CaseInsensitive); };
        QSet<QString> folders;
        for (const folder_walk::File& file : folder_walk::files(root, options).files)
            for (QString folder = QFileInfo(file.path).path(); folder.size() > root.size(); folder = QFileInfo(folder).path())
                folders.insert(folder);
        return folders;
    }));
}

void SitePanel::setRoot(const QString& folder) {
    const QModelIndex root = model_->setRootPath(folder);
    tree_->setRootIndex(shown_->mapFromSource(root));
    if (!filter_->text().trimmed().isEmpty())
        filterBy(filter_->text());
    rootLabel_->setText(QDir::toNativeSeparators(folder));
    rootLabel_->setToolTip(rootLabel_->text());
}

void SitePanel::renameChosen() {
    const QModelIndex chosen = shown_->mapToSource(tree_->currentIndex());
    if (!chosen.isValid())
        return;
    const QString path = model_->filePath(chosen);
    const QString name = QFileInfo(path).fileName();
    const std::optional<QString> answer = dialogs_.askText(this, tr("New name for %1:").arg(name), tr("Rename"), name);
    if (!answer)
        return;
    const QString newName = answer->trimmed();
    if (newName.isEmpty() || newName == name)
        return;
    const bool control = std::any_of(newName.begin(), newName.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    if (control || newName.contains(u'/') || newName.contains(u'\\') || newName == u"." || newName == u"..") {
        dialogs_.showMessage(this, tr("A name cannot hold / or \\ or control characters, nor be . or .."),
                             Dialogs::Icon::Exclamation, tr("Rename"));
        return;
    }
    emit moveRequested(path, QFileInfo(path).path() + u'/' + newName);
}

QString SitePanel::root() const {
    return model_->rootPath();
}
