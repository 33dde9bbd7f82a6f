#pragma once

#include "colouring/outline.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

class EditArea;
class QCheckBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

/// View > Outline: the page's headings as a tree (or, switched, the elements it names and its
/// landmarks), a style sheet's rules. It is read on a worker a moment after typing pauses,
/// follows the caret, filters as the user types, and a click goes to the place.
class OutlinePanel : public QWidget {
    Q_OBJECT
public:
    explicit OutlinePanel(QWidget* parent = nullptr);
    ~OutlinePanel() override;

    /// The edit area outlined from now on; nullptr for none.
    void follow(EditArea* area);
    QTreeWidget* tree() const { return tree_; }
    QLineEdit* filter() const { return filter_; }
    QCheckBox* landmarks() const { return landmarks_; }
    /// The entry the caret is in, as the tree shows it; empty for none.
    QString current() const;

    /// How long typing pauses before the outline is read again.
    static constexpr int kPauseMs = 300;

signals:
    /// The outline was read and shown; for tests.
    void shown();

private:
    void read();
    void show(std::vector<outline::Entry> entries);
    void followCaret();
    void applyFilter();

    QPointer<EditArea> area_;
    QTimer pause_;
    QFutureWatcher<std::vector<outline::Entry>> reading_;
    int readingFor_ = 0; ///< the follow() the reading under way is for
    int followed_ = 0;
    std::vector<outline::Entry> entries_;
    std::vector<QTreeWidgetItem*> items_; ///< one per entry, in text order
    QLineEdit* filter_ = nullptr;
    QCheckBox* landmarks_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QList<QMetaObject::Connection> watching_;
};
