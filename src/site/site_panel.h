#pragma once

#include <QFutureWatcher>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QWidget>

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

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
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
