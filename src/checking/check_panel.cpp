#include "check_panel.h"

#include "check_config.h"
#include "page_rules.h"

#include "base/memory_advice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
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
enum Column { Place, Kind, Count, Message };
constexpr int kIndexRole = Qt::UserRole;

/// A row that sorts as its column means: places by line and column, counts as numbers; rows
/// that tie stay in the order of the page.
class ProblemItem : public QTreeWidgetItem {
public:
    ProblemItem(const TagProblem& problem, int index, int count) : problem_(problem), count_(count) {
        setText(Place, problem.line > 0 ? QStringLiteral("%1:%2").arg(problem.line).arg(problem.column) : QString());
        setText(Kind, problem.kind == TagProblem::Kind::Error ? CheckPanel::tr("Error") : CheckPanel::tr("Warning"));
        if (count > 1)
            setText(Count, QString::number(count));
        setText(Message, problem.message);
        setData(Place, kIndexRole, index);
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        const auto& that = static_cast<const ProblemItem&>(other);
        const auto place = [](const ProblemItem& item) { return std::pair(item.problem_.line, item.problem_.column); };
        switch (treeWidget() ? treeWidget()->sortColumn() : Place) {
        case Kind:
            if (problem_.kind != that.problem_.kind)
                return problem_.kind < that.problem_.kind; // errors first
            break;
        case Count:
            if (count_ != that.count_)
                return count_ < that.count_;
            break;
        case Message:
            if (const int order = problem_.message.localeAwareCompare(that.problem_.message))
                return order < 0;
            break;
        default:
            break;
        }
        return place(*this) < place(that);
    }

private:
    TagProblem problem_; // a copy: its strings are shared, and the list may outlive the vector
    int count_;
};

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
    list_->setHeaderLabels({tr("Line:Column"), tr("Kind"), tr("Count"), tr("Message")});
    list_->header()->setSectionResizeMode(Place, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(Kind, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(Count, QHeaderView::ResizeToContents);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Errors first; a click on a column's header sorts by it.
    list_->setSortingEnabled(true);
    list_->sortByColumn(Kind, Qt::AscendingOrder);

    shown_ = new QComboBox(this);
    shown_->setObjectName(QStringLiteral("problemsShown"));
    shown_->addItems({tr("All"), tr("Errors"), tr("Warnings")});
    auto* shownLabel = new QLabel(tr("&Show:"), this);
    shownLabel->setBuddy(shown_);
    group_ = new QCheckBox(tr("&Group repeats"), this);
    group_->setObjectName(QStringLiteral("groupRepeats"));
    group_->setToolTip(tr("One row for each message, with the number of times it stands in the page"));
    group_->setChecked(true);
    accessibility_ = new QCheckBox(tr("&Accessibility"), this);
    accessibility_->setObjectName(QStringLiteral("checkAccessibility"));
    accessibility_->setToolTip(tr("Also check what people using assistive technology need: alt text, labels, the page's "
                                  "language, link and button text, heading order, unique ids, and Tidy's accessibility "
                                  "checks of the level chosen in Options"));
    links_ = new QCheckBox(tr("&Links"), this);
    links_->setObjectName(QStringLiteral("checkLinks"));
    links_->setToolTip(tr("Also check local links: files that do not exist, and #anchors that name no id"));
    links_->setChecked(true);

    auto* top = new QHBoxLayout;
    top->addWidget(status_, 1);
    top->addWidget(shownLabel);
    top->addWidget(shown_);
    top->addWidget(group_);
    top->addWidget(accessibility_);
    top->addWidget(links_);
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
    connect(shown_, &QComboBox::currentIndexChanged, this, &CheckPanel::fillList);
    connect(group_, &QCheckBox::toggled, this, &CheckPanel::fillList);
    for (QCheckBox* choice : {accessibility_, links_})
        connect(choice, &QCheckBox::clicked, this, &CheckPanel::choicesChanged);
}

safe_check::Result CheckPanel::checkNow(const QString& text, const QSet<QString>& ignored, int accessibility,
                                        bool links, const QString& pagePath) {
    // The site's own settings add to the user's.
    const CheckConfig config = CheckConfig::findFor(pagePath);
    QSet<QString> ignoredHere = ignored;
    ignoredHere.unite(config.ignored);
    const int level = config.accessibility >= 0 ? config.accessibility : accessibility;
    safe_check::Result result = page_rules::checkPage(text, ignoredHere, level, {level > 0, links, pagePath,
                                                                 // a site's settings file stands in its top folder
                                                                 config.path.isEmpty() ? QString() : QFileInfo(config.path).absolutePath(),
                                                                 config.handChecks}).result;
    // The check goes on without what could not be read of the site's settings, and says so.
    for (auto error = config.errors.crbegin(); error != config.errors.crend(); ++error)
        result.problems.insert(result.problems.begin(),
                               {0, 0, TagProblem::Kind::Warning, QStringLiteral("Site settings left out: ") + *error,
                                QStringLiteral("check-settings")});
    return result;
}

CheckPanel::~CheckPanel() {
    // The worker owns its own copy of the text; nothing here is needed once it ends. A check
    // still running ends within its time limit, or when the window ends them all.
    watcher_.disconnect(this);
}

void CheckPanel::check(const QString& text) {
    if (watcher_.isRunning()) {
        // Tidy cannot be interrupted: run the newest text when the running check ends.
        pending_ = true;
        pendingText_ = text;
    } else {
        discardRunning_ = false;
        const int level = accessibility_->isChecked() ? level_ : 0;
        watcher_.setFuture(QtConcurrent::run([text, ignored = ignored_, level, links = links_->isChecked(), path = pagePath_] {
            // The editor's own copy of its text ends lines with U+2029: an LF ends the same lines.
            QString page = text;
            page.replace(QChar::ParagraphSeparator, u'\n');
            safe_check::Result result = checkNow(page, ignored, level, links, path);
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
    fillList();
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
    fillList();
    emit checked();
}

void CheckPanel::fillList() {
    const auto wanted = Shown(shown_->currentIndex());
    const auto shows = [wanted](const TagProblem& p) {
        return wanted == Shown::All || (p.kind == TagProblem::Kind::Error) == (wanted == Shown::Errors);
    };
    // Each message with the places it stands at, in the order of the page.
    std::vector<std::vector<int>> groups;
    QHash<std::pair<int, QString>, size_t> groupOf;
    for (size_t i = 0; i < problems_.size(); ++i) {
        const TagProblem& p = problems_[i];
        if (!shows(p))
            continue;
        if (!group_->isChecked()) {
            groups.push_back({int(i)});
            continue;
        }
        const auto found = groupOf.constFind(std::pair(int(p.kind), p.message));
        if (found == groupOf.cend()) {
            groupOf.insert(std::pair(int(p.kind), p.message), groups.size());
            groups.push_back({int(i)});
        } else {
            groups[*found].push_back(int(i));
        }
    }
    list_->setUpdatesEnabled(false);
    list_->setSortingEnabled(false); // sorted once, when all are in
    list_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(groups.size()));
    for (const std::vector<int>& places : groups) {
        auto* item = new ProblemItem(problems_[size_t(places.front())], places.front(), int(places.size()));
        if (places.size() > 1)
            for (const int place : places)
                item->addChild(new ProblemItem(problems_[size_t(place)], place, 1));
        items << item;
    }
    list_->addTopLevelItems(items);
    list_->setRootIsDecorated(std::any_of(groups.begin(), groups.end(), [](const auto& g) { return g.size() > 1; }));
    list_->setSortingEnabled(true);
    list_->setUpdatesEnabled(true);
    showStatus();
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
        if (shown_->currentIndex() != int(Shown::All) && !problems_.empty())
            text += QStringLiteral(" ") + tr("Showing %1 only.").arg(shown_->currentText().toLower());
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
