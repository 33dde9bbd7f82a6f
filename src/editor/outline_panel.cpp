#include "outline_panel.h"

#include "edit_area.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

OutlinePanel::OutlinePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("outlinePanel"));
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("outlineFilter"));
    filter_->setPlaceholderText(tr("Filter"));
    filter_->setClearButtonEnabled(true);
    landmarks_ = new QCheckBox(tr("Ids and &landmarks"), this);
    landmarks_->setObjectName(QStringLiteral("outlineLandmarks"));
    landmarks_->setToolTip(tr("The elements with an id, and header, nav, main, section, article, aside, footer, form "
                              "and table, instead of the headings"));
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("outlineTree"));
    tree_->setAccessibleName(tr("Outline"));
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(filter_);
    layout->addWidget(landmarks_);
    layout->addWidget(tree_, 1);

    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    connect(&pause_, &QTimer::timeout, this, &OutlinePanel::read);
    connect(landmarks_, &QCheckBox::toggled, this, &OutlinePanel::read);
    connect(filter_, &QLineEdit::textChanged, this, &OutlinePanel::applyFilter);
    connect(&reading_, &QFutureWatcherBase::finished, this, [this] {
        if (readingFor_ == followed_)
            show(reading_.result());
    });
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const auto found = std::find(items_.begin(), items_.end(), item);
        if (!area_ || found == items_.end())
            return;
        area_->setCaretPosition(int(entries_[size_t(found - items_.begin())].start));
        area_->centerCursor();
        area_->setFocus(Qt::OtherFocusReason);
    });
    connect(tree_, &QTreeWidget::itemClicked, tree_, &QTreeWidget::itemActivated);
}

OutlinePanel::~OutlinePanel() {
    reading_.waitForFinished();
}

void OutlinePanel::follow(EditArea* area) {
    if (area == area_ && area)
        return;
    for (const QMetaObject::Connection& c : std::as_const(watching_))
        disconnect(c);
    watching_.clear();
    area_ = area;
    ++followed_;
    if (!area) {
        show({});
        return;
    }
    watching_ << connect(area, &EditArea::edited, &pause_, qOverload<>(&QTimer::start))
              << connect(area, &EditArea::languageChanged, this, &OutlinePanel::read)
              << connect(area, &QPlainTextEdit::cursorPositionChanged, this, &OutlinePanel::followCaret);
    read();
}

void OutlinePanel::read() {
    pause_.stop();
    if (!area_) {
        show({});
        return;
    }
    landmarks_->setVisible(language::isMarkup(area_->language()));
    // The text as it stands is copied here; the worker reads the copy.
    readingFor_ = followed_;
    reading_.setFuture(QtConcurrent::run(
        [text = area_->text(), language = area_->language(),
         kind = landmarks_->isChecked() ? outline::Kind::Landmarks : outline::Kind::Headings] {
            return outline::of(text, language, kind);
        }));
}

void OutlinePanel::show(std::vector<outline::Entry> entries) {
    entries_ = std::move(entries);
    tree_->clear();
    items_.clear();
    items_.reserve(entries_.size());
    // Each entry under the nearest one before it of a lower level.
    std::vector<QTreeWidgetItem*> parents;
    std::vector<int> levels;
    for (const outline::Entry& entry : entries_) {
        while (!levels.empty() && levels.back() >= entry.level) {
            levels.pop_back();
            parents.pop_back();
        }
        auto* item = parents.empty() ? new QTreeWidgetItem(tree_, {entry.label}) : new QTreeWidgetItem(parents.back(), {entry.label});
        items_.push_back(item);
        parents.push_back(item);
        levels.push_back(entry.level);
    }
    tree_->expandAll();
    applyFilter();
    followCaret();
    emit shown();
}

void OutlinePanel::followCaret() {
    if (!area_ || entries_.empty())
        return;
    const qsizetype caret = area_->selectionStart();
    const auto after = std::upper_bound(entries_.begin(), entries_.end(), caret,
                                        [](qsizetype at, const outline::Entry& e) { return at < e.start; });
    if (after == entries_.begin()) {
        tree_->setCurrentItem(nullptr);
        return;
    }
    QTreeWidgetItem* item = items_[size_t(after - entries_.begin() - 1)];
    const QSignalBlocker quiet(tree_);
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

QString OutlinePanel::current() const {
    return tree_->currentItem() ? tree_->currentItem()->text(0) : QString();
}

void OutlinePanel::applyFilter() {
    const QString text = filter_->text().trimmed();
    // An entry shows when it holds the text, or one below it does.
    for (auto item = items_.rbegin(); item != items_.rend(); ++item) {
        bool shown = text.isEmpty() || (*item)->text(0).contains(text, Qt::CaseInsensitive);
        for (int child = 0; child < (*item)->childCount() && !shown; ++child)
            shown = !(*item)->child(child)->isHidden();
        (*item)->setHidden(!shown);
    }
}
