#pragma once

#include <QWidget>

class Dialogs;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QTreeView;

/// The files of a site as a folder tree: rooted at the active page's folder or one the user
/// chooses, filtered by name as the user types. A double-click opens a file.
class SitePanel : public QWidget {
    Q_OBJECT
public:
    SitePanel(Dialogs& dialogs, QWidget* parent = nullptr);

    void setRoot(const QString& folder);
    QString root() const;
    QTreeView* tree() const { return tree_; }
    QFileSystemModel* model() const { return model_; }
    QLineEdit* filter() const { return filter_; }

signals:
    /// The user double-clicked a file, or pressed Enter on it.
    void fileChosen(const QString& path);

private:
    Dialogs& dialogs_;
    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* rootLabel_ = nullptr;
};
