#pragma once

#include <QFutureWatcher>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <functional>

class Dialogs;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QTreeView;

/// While a filter is typed: the files whose names hold it, and only the folders that hold such a
/// file (found by a walk of the site, which the file system model alone cannot tell).
class SiteFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    /// @p folders: the folders below @p root holding a match, by path; an empty @p text shows
    /// everything.
    void setFilter(const QString& text, QSet<QString> folders, const QString& root);

    /// A file or folder dragged onto a folder of the tree is not moved by the model: @p move is
    /// asked to, so that the links to it can follow. Drags from outside the site are refused.
    std::function<void(const QString& from, const QString& to)> move;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    /// The folder a drop on @p parent goes into, and the files of the site it moves.
    QString dropFolder(const QModelIndex& parent) const;
    QStringList droppedFiles(const QMimeData* data) const;
    QString text_;
    QSet<QString> folders_;
    QString root_;
};

/// The files of a site as a folder tree: rooted at the active page's folder or one the user
/// chooses, filtered by name as the user types (the folders that hold matches opened, the others
/// hidden). A double-click opens a file.
class SitePanel : public QWidget {
    Q_OBJECT
public:
    SitePanel(Dialogs& dialogs, QWidget* parent = nullptr);
    ~SitePanel() override;

    void setRoot(const QString& folder);
    QString root() const;
    QTreeView* tree() const { return tree_; }
    QFileSystemModel* model() const { return model_; }
    /// What the tree shows: the model, filtered.
    SiteFilter* shown() const { return shown_; }
    QLineEdit* filter() const { return filter_; }

signals:
    /// The user double-clicked a file, or pressed Enter on it.
    void fileChosen(const QString& path);
    /// A filter's folders are found and shown; for tests.
    void filtered();
    /// The user renamed a file or folder, or dragged it into another folder: @p to is where it
    /// goes. Nothing has moved yet.
    void moveRequested(const QString& from, const QString& to);

public:
    /// Rename… on the file or folder chosen in the tree: asks for the new name.
    void renameChosen();

private:
    Dialogs& dialogs_;
    void filterBy(const QString& text);
    QFileSystemModel* model_ = nullptr;
    SiteFilter* shown_ = nullptr;
    QFutureWatcher<QSet<QString>> walking_;
    QString walkedFor_;
    QTreeView* tree_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* rootLabel_ = nullptr;
};
