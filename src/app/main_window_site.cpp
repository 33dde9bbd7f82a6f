// Sites, not pages: the site panel and Find and Replace in Files.
#include "main_window.h"

#include "open_document.h"

#include "editor/edit_area.h"
#include "editor/find_bar.h"
#include "editor/outline_panel.h"
#include "site/find_in_files_panel.h"
#include "site/site_index.h"
#include "site/site_panel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLineEdit>

namespace {
QDockWidget* makeDock(QMainWindow* window, const QString& title, const QString& name, QWidget* content) {
    auto* dock = new QDockWidget(title, window);
    dock->setObjectName(name);
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    dock->setWidget(content);
    return dock;
}
} // namespace

QString MainWindow::siteFolder() const {
    if (!doc().path().isEmpty() && QFileInfo(doc().path()).absoluteDir().exists())
        return QFileInfo(doc().path()).absolutePath();
    if (sitePanel_ && !sitePanel_->root().isEmpty())
        return sitePanel_->root();
    return QDir::homePath();
}

QString MainWindow::siteRootOf(const QString& path) const {
    const QString folder = QFileInfo(path).absolutePath();
    if (sitePanel_ && !sitePanel_->root().isEmpty() &&
        (folder == sitePanel_->root() || folder.startsWith(sitePanel_->root() + u'/')))
        return sitePanel_->root();
    const QDir own(folder);
    if (own.entryList({QStringLiteral("*.html"), QStringLiteral("*.htm"), QStringLiteral("*.xhtml")}, QDir::Files).isEmpty() &&
        !own.isRoot())
        return QFileInfo(folder).absolutePath();
    return folder;
}

void MainWindow::indexSiteOf(const OpenDocument& document) {
    if (!document.path().isEmpty())
        siteIndex_->follow(siteRootOf(document.path()));
}

void MainWindow::showSitePanel() {
    if (!sitePanel_) {
        sitePanel_ = new SitePanel(dialogs_);
        sitePanel_->setRoot(siteFolder());
        connect(sitePanel_, &SitePanel::fileChosen, this, &MainWindow::openInTab);
        connect(sitePanel_, &SitePanel::moveRequested, this, &MainWindow::moveInSite);
        addDockWidget(Qt::LeftDockWidgetArea, makeDock(this, tr("Site"), QStringLiteral("siteDock"), sitePanel_));
    } else if (sitePanel_->parentWidget()->isVisible()) {
        sitePanel_->parentWidget()->hide();
        editArea()->setFocus(Qt::OtherFocusReason);
        return;
    }
    sitePanel_->parentWidget()->show();
    sitePanel_->filter()->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showOutline() {
    if (!outline_) {
        outline_ = new OutlinePanel;
        addDockWidget(Qt::RightDockWidgetArea, makeDock(this, tr("Outline"), QStringLiteral("outlineDock"), outline_));
    } else if (outline_->parentWidget()->isVisible()) {
        outline_->parentWidget()->hide();
        outline_->follow(nullptr); // nothing read while hidden
        editArea()->setFocus(Qt::OtherFocusReason);
        return;
    }
    outline_->parentWidget()->show();
    outline_->follow(editArea());
    outline_->filter()->setFocus(Qt::OtherFocusReason);
}

void MainWindow::findInFiles() {
    const bool shown = findInFiles_ && findInFiles_->parentWidget()->isVisible();
    if (!findInFiles_) {
        findInFiles_ = new FindInFilesPanel(dialogs_);
        findInFiles_->setOpenPageReplacer([this](const QString& path, const TextSearch& search,
                                                 const QString& replacement) -> std::optional<int> {
            return replaceInOpenPage(path, search, replacement);
        });
        connect(findInFiles_, &FindInFilesPanel::hitChosen, this, [this](const QString& path, int line, int column, int length) {
            if (!openInTab(path))
                return;
            editArea()->selectInLine(line, column, length);
            editArea()->setFocus(Qt::OtherFocusReason);
        });
        auto* dock = makeDock(this, tr("Find in Files"), QStringLiteral("findInFilesDock"), findInFiles_);
        addDockWidget(Qt::BottomDockWidgetArea, dock);
        resizeDocks({dock}, {height() / 3}, Qt::Vertical);
    }
    // Where: the site the site panel shows, else the page's folder; a panel already open keeps
    // the folder the user gave it.
    if (!shown && !findInFiles_->isSearching() && !findInFiles_->isReplacing())
        findInFiles_->setFolder(sitePanel_ && sitePanel_->isVisible() && !sitePanel_->root().isEmpty() ? sitePanel_->root()
                                                                                                    : siteFolder());
    // What to find: one line of the selection, else what the find bar looks for, with its options.
    const QString selected = editArea()->selectedText();
    const FindBar* bar = findBar();
    findInFiles_->setOptions({bar->matchCaseBox()->isChecked(), bar->wholeWordBox()->isChecked(),
                              bar->regexBox()->isChecked()});
    findInFiles_->parentWidget()->show();
    findInFiles_->focusFind(!selected.isEmpty() && !selected.contains(u'\n') && !selected.contains(u'\r')
                                ? selected
                                : bar->findField()->text());
}

std::optional<int> MainWindow::replaceInOpenPage(const QString& path, const TextSearch& search,
                                                 const QString& replacement) {
    OpenDocument* document = documentOf(path);
    if (!document)
        return std::nullopt;
    // In the tab, as one undoable step: the user saves it, or takes it back.
    EditArea* area = document->editArea();
    std::vector<EditArea::Replacement> edits;
    for (auto& [match, with] : search.replaceAll(area->text(), replacement))
        edits.push_back({int(match.start), int(match.length), std::move(with)});
    const int count = int(edits.size());
    if (count > 0)
        area->replaceEach(std::move(edits));
    return count;
}

void MainWindow::moveInSite(const QString& from, const QString& to) {
    const link_rewrite::Move move{QDir::cleanPath(QFileInfo(from).absoluteFilePath()), QDir::cleanPath(QFileInfo(to).absoluteFilePath())};
    if (move.from == move.to)
        return;
    if (QFileInfo::exists(move.to)) {
        dialogs_.showMessage(this, QStringLiteral("%1 already exists.").arg(QDir::toNativeSeparators(move.to)),
                             Dialogs::Icon::Exclamation, QStringLiteral("Move"));
        return;
    }
    const QString root = sitePanel_ && !sitePanel_->root().isEmpty() ? sitePanel_->root() : QFileInfo(move.from).absolutePath();
    const QString name = QDir(root).relativeFilePath(move.from), newName = QDir(root).relativeFilePath(move.to);
    const bool renamed = QFileInfo(move.from).path() == QFileInfo(move.to).path();
    changeAcrossSite(
        root,
        [root, move](QStringView text, Language language, const QString& path) {
            return link_rewrite::forMove(text, language, path, root, move);
        },
        move, renamed ? QStringLiteral("Rename") : QStringLiteral("Move"),
        QStringLiteral("%1 %2 to %3 changes these links to it:").arg(renamed ? QStringLiteral("Renaming") : QStringLiteral("Moving"),
                                                                     name, newName),
        renamed ? QStringLiteral("Rename and Change Links") : QStringLiteral("Move and Change Links"));
}

void MainWindow::renameId() {
    EditArea* area = editArea();
    const QString text = area->text();
    const std::optional<SearchMatch> id = link_rewrite::idAt(text, area->selectionStart());
    if (!id || id->length == 0) {
        dialogs_.showMessage(this, QStringLiteral("Put the caret on an id attribute (id=\"...\") to rename it."),
                             Dialogs::Icon::Exclamation, QStringLiteral("Rename Id"));
        return;
    }
    const QString oldId = text.mid(id->start, id->length);
    const std::optional<QString> answer =
        dialogs_.askText(this, QStringLiteral("New id for \"%1\":").arg(oldId), QStringLiteral("Rename Id"), oldId);
    const QString newId = answer ? answer->trimmed() : QString();
    if (newId.isEmpty() || newId == oldId)
        return;
    // Written as it is into attributes and links: nothing that would end or escape them.
    if (std::any_of(newId.begin(), newId.end(), [](QChar c) { return c.isSpace() || QStringView(u"\"'<>&").contains(c); })) {
        dialogs_.showMessage(this, QStringLiteral("An id cannot hold spaces, quotes, <, > or &."), Dialogs::Icon::Exclamation,
                             QStringLiteral("Rename Id"));
        return;
    }
    OpenDocument* page = &doc();
    if (page->path().isEmpty()) {
        // A page without a file has no links from other files: only its own change.
        std::vector<EditArea::Replacement> edits;
        for (const auto& [match, with] : link_rewrite::idAttributes(text, oldId, newId))
            edits.push_back({int(match.start), int(match.length), with});
        area->replaceEach(std::move(edits));
        return;
    }
    const QString pagePath = page->path();
    const QString root = siteRootOf(pagePath);
    const link_rewrite::IdRename rename{pagePath, oldId, newId};
    changeAcrossSite(
        root,
        [root, rename](QStringView pageText, Language language, const QString& path) {
            link_rewrite::Edits edits = link_rewrite::forId(pageText, language, path, root, rename);
            if (path == rename.page) {
                const link_rewrite::Edits own = link_rewrite::idAttributes(pageText, rename.oldId, rename.newId);
                edits.insert(edits.end(), own.begin(), own.end());
                std::sort(edits.begin(), edits.end(), [](const auto& a, const auto& b) { return a.first.start < b.first.start; });
            }
            return edits;
        },
        std::nullopt, QStringLiteral("Rename Id"),
        QStringLiteral("Renaming the id \"%1\" to \"%2\" changes these lines:").arg(oldId, newId), QStringLiteral("Rename"));
}

void MainWindow::changeAcrossSite(const QString& root, const link_rewrite::EditMaker& makeEdits,
                                  const std::optional<link_rewrite::Move>& move, const QString& title,
                                  const QString& intro, const QString& accept) {
    if (changingSite_)
        return; // one at a time: the list shown must be what is changed
    QHash<QString, QString> openTexts;
    for (OpenDocument* document : documents())
        if (!document->path().isEmpty())
            openTexts.insert(document->path(), document->editArea()->text());
    changingSite_ = true;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    auto* reading = new QFutureWatcher<link_rewrite::Plan>(this);
    connect(reading, &QFutureWatcherBase::finished, this, [=, this] {
        QApplication::restoreOverrideCursor();
        reading->deleteLater();
        applySiteChange(root, reading->result(), makeEdits, move, title, intro, accept);
        changingSite_ = false;
    });
    reading->setFuture(QtConcurrent::run([root, makeEdits, openTexts] { return link_rewrite::plan(root, makeEdits, openTexts); }));
}

void MainWindow::applySiteChange(const QString& root, const link_rewrite::Plan& plan, const link_rewrite::EditMaker& makeEdits,
                                 const std::optional<link_rewrite::Move>& move, const QString& title,
                                 const QString& intro, const QString& accept) {
    QList<ChangeListItem> lines;
    for (const link_rewrite::FileChange& file : plan.files)
        for (const link_rewrite::LineChange& line : file.lines)
            lines.append({QDir::toNativeSeparators(QDir(root).relativeFilePath(file.path)) +
                              (file.open ? QStringLiteral(" (open)") : QString()),
                          line.line, line.before, line.after});
    QString text = intro;
    if (!plan.unreadable.isEmpty())
        text += QStringLiteral("\n\nThese files could not be read, and will not change:\n") + plan.unreadable.join(u'\n');
    if (!lines.isEmpty() && !dialogs_.confirmChanges(this, title, text, lines, accept))
        return;
    if (move)
        if (const std::optional<QString> error = link_rewrite::moveOnDisk(*move)) {
            dialogs_.showMessage(this, *error + QStringLiteral(" Nothing was changed."), Dialogs::Icon::Exclamation, title);
            return;
        }
    const link_rewrite::Written written = link_rewrite::rewriteFiles(plan, makeEdits, move ? &*move : nullptr);
    // Pages open in tabs change there, as one undoable step each. A page with nothing unsaved is
    // saved at once, so that the site on disk holds no broken link; one with unsaved changes
    // keeps the change for the user to save with them.
    std::vector<std::pair<OpenDocument*, QString>> open; // and the path the plan read it as
    for (const link_rewrite::FileChange& file : plan.files)
        if (OpenDocument* document = file.open ? documentOf(file.path) : nullptr)
            open.emplace_back(document, file.path);
    if (move)
        for (OpenDocument* document : documents())
            if (const QString moved = link_rewrite::movedPath(document->path(), *move); moved != document->path())
                document->fileMoved(moved);
    QStringList toSave;
    for (const auto& [document, path] : open) {
        const QString text = document->editArea()->text();
        link_rewrite::Edits made = makeEdits(text, *language::fromName(path), path);
        link_rewrite::fitEncoding(text, made, document->format().encoding);
        std::vector<EditArea::Replacement> edits;
        for (auto& [match, with] : made)
            edits.push_back({int(match.start), int(match.length), std::move(with)});
        if (edits.empty())
            continue;
        const bool unsaved = document->isModified();
        document->editArea()->replaceEach(std::move(edits));
        if (unsaved || !document->save())
            toSave << QDir::toNativeSeparators(document->path());
    }
    if (!toSave.isEmpty())
        dialogs_.showMessage(this,
                             QStringLiteral("The links changed in these pages too, which had unsaved changes; save them "
                                            "to keep the change:\n%1")
                                 .arg(toSave.join(u'\n')),
                             Dialogs::Icon::None, title);
    if (!written.unchanged.isEmpty())
        dialogs_.showMessage(this,
                             QStringLiteral("Some files could not be changed; each of them is as it was:\n%1\n\nChanged:\n%2")
                                 .arg(written.unchanged.join(u'\n'),
                                      written.changed.isEmpty() ? QStringLiteral("none") : written.changed.join(u'\n')),
                             Dialogs::Icon::Exclamation, title);
}
