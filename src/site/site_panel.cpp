#include "site_panel.h"

#include "dialogs/dialogs.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

SitePanel::SitePanel(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("sitePanel"));
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    // Names that do not match are hidden, not greyed; folders always show, to be opened.
    model_->setNameFilterDisables(false);
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("siteTree"));
    tree_->setAccessibleName(tr("Site files"));
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column); // the name is what a site panel is for
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
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->setNameFilters(text.trimmed().isEmpty() ? QStringList()
                                                        : QStringList{u'*' + text.trimmed() + u'*'});
    });
    connect(tree_, &QTreeView::activated, this, [this](const QModelIndex& index) {
        if (!model_->isDir(index))
            emit fileChosen(model_->filePath(index));
    });
}

void SitePanel::setRoot(const QString& folder) {
    const QModelIndex root = model_->setRootPath(folder);
    tree_->setRootIndex(root);
    rootLabel_->setText(QDir::toNativeSeparators(folder));
    rootLabel_->setToolTip(rootLabel_->text());
}

QString SitePanel::root() const {
    return model_->rootPath();
}
