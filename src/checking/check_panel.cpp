#include "check_panel.h"

#include "base/memory_advice.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {
enum Column { Place, Kind, Message };
constexpr int kIndexRole = Qt::UserRole;

/// Enter on a row chooses it, as a double-click does.
class ProblemList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentItem()) {
            emit itemActivated(currentItem(), Place);
            return;
        }
        QTreeWidget::keyPressEvent(e);
    }
};
} // namespace

CheckPanel::CheckPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("checkPanel"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("checkStatus"));
    status_->setWordWrap(true);
    recheck_ = new QPushButton(tr("Check Again"), this);
    recheck_->setObjectName(QStringLiteral("checkAgain"));
    list_ = new ProblemList(this);
    list_->setObjectName(QStringLiteral("problemList"));
    list_->setAccessibleName(tr("Tag problems"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true); // thousands of rows on an old page
    list_->setHeaderLabels({tr("Line:Column"), tr("Kind"), tr("Message")});
    list_->header()->setSectionResizeMode(Place, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(Kind, QHeaderView::ResizeToContents);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* top = new QHBoxLayout;
    top->addWidget(status_, 1);
    top->addWidget(recheck_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(top);
    layout->addWidget(list_);

    connect(recheck_, &QPushButton::clicked, this, &CheckPanel::recheckRequested);
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const TagProblem& p = problems_[size_t(item->data(Place, kIndexRole).toInt())];
        emit problemChosen(p.line, p.column);
    });
    connect(list_, &QWidget::customContextMenuRequested, this, &CheckPanel::showContextMenu);
    connect(&watcher_, &QFutureWatcher<safe_check::Result>::finished, this, &CheckPanel::showResult);
}

CheckPanel::~CheckPanel() {
    // The worker owns its own copy of the text; nothing here is needed once it ends, and a check
    // still running is ended so that the program can end at once.
    watcher_.disconnect(this);
    safe_check::cancelAll();
}

void CheckPanel::check(const QString& text) {
    if (watcher_.isRunning()) {
        // Tidy cannot be interrupted: run the newest text when the running check ends.
        pending_ = true;
        pendingText_ = text;
    } else {
        discardRunning_ = false;
        watcher_.setFuture(QtConcurrent::run([text, ignored = ignored_] {
            safe_check::Result result = safe_check::check(text, ignored, safe_check::timeLimitMs(text.size()));
            if (text.size() > kBigPageCharacters) // what the check built for a big page
                returnFreedMemory();
            return result;
        }));
    }
    outOfDate_ = false;
    showStatus();
}

void CheckPanel::clear() {
    discardRunning_ = watcher_.isRunning();
    pending_ = false;
    pendingText_.clear();
    problems_.clear();
    failure_.clear();
    list_->clear();
    outOfDate_ = false;
    showsPage_ = false;
    showStatus();
}

void CheckPanel::markOutOfDate() {
    if (outOfDate_ || !showsPage_)
        return;
    outOfDate_ = true;
    showStatus();
}

void CheckPanel::showResult() {
    if (std::exchange(discardRunning_, false) && !pending_) {
        showStatus();
        return;
    }
    if (pending_) {
        pending_ = false;
        const bool stale = outOfDate_;
        check(std::exchange(pendingText_, QString()));
        outOfDate_ = stale;
        return;
    }
    safe_check::Result result = watcher_.result();
    showsPage_ = true;
    problems_ = std::move(result.problems);
    failure_ = std::move(result.failure);
    list_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(problems_.size()));
    for (size_t i = 0; i < problems_.size(); ++i) {
        const TagProblem& p = problems_[i];
        auto* item = new QTreeWidgetItem;
        item->setText(Place, p.line > 0 ? QStringLiteral("%1:%2").arg(p.line).arg(p.column) : QString());
        item->setText(Kind, p.kind == TagProblem::Kind::Error ? tr("Error") : tr("Warning"));
        item->setText(Message, p.message);
        item->setData(Place, kIndexRole, int(i));
        items << item;
    }
    list_->addTopLevelItems(items);
    showStatus();
    emit checked();
}

void CheckPanel::showStatus() {
    QString text;
    if (watcher_.isRunning() && (!discardRunning_ || pending_)) {
        text = tr("Checking the page…");
    } else if (!showsPage_) {
        text = tr("Not checked yet: Check Tags (F7) or Check Again checks this page.");
    } else if (!failure_.isEmpty()) {
        text = tr("Not checked: ") + failure_;
    } else {
        const auto errors = std::count_if(problems_.begin(), problems_.end(),
                                          [](const TagProblem& p) { return p.kind == TagProblem::Kind::Error; });
        const auto warnings = qsizetype(problems_.size()) - errors;
        text = problems_.empty() ? tr("No problems found.")
                                 : tr("%n error(s)", nullptr, int(errors)) + QStringLiteral(", ") +
                                       tr("%n warning(s)", nullptr, int(warnings)) + u'.';
        if (!ignored_.isEmpty())
            text += QStringLiteral(" ") + tr("(%n kind(s) of message ignored)", nullptr, int(ignored_.size()));
    }
    if (outOfDate_)
        text += QStringLiteral(" ") + tr("Out of date: the text has changed since this check.");
    status_->setText(text);
}

void CheckPanel::showContextMenu(const QPoint& at) {
    QMenu menu(this);
    if (const QTreeWidgetItem* item = list_->itemAt(at)) {
        const QString key = problems_[size_t(item->data(Place, kIndexRole).toInt())].key;
        menu.addAction(tr("Ignore Messages Like This"), this, [this, key] { ignore(ignored_ + QSet{key}); });
    }
    QAction* showAll = menu.addAction(tr("Show Ignored Messages Again"), this, [this] { ignore({}); });
    showAll->setEnabled(!ignored_.isEmpty());
    menu.exec(list_->viewport()->mapToGlobal(at));
}

void CheckPanel::ignore(const QSet<QString>& keys) {
    ignored_ = keys;
    emit ignoredKeysChanged(ignored_);
    emit recheckRequested();
}
