// Sites, not pages: the site panel and Find and Replace in Files.
#include "main_window.h"

#include "open_document.h"

#include "editor/edit_area.h"
#include "editor/find_bar.h"
#include "site/find_in_files_panel.h"
#include "site/site_panel.h"

#include <QAbstractButton>
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

void MainWindow::showSitePanel() {
    if (!sitePanel_) {
        sitePanel_ = new SitePanel(dialogs_);
        sitePanel_->setRoot(siteFolder());
        connect(sitePanel_, &SitePanel::fileChosen, this, &MainWindow::openInTab);
        addDockWidget(Qt::LeftDockWidgetArea, makeDock(this, tr("Site"), QStringLiteral("siteDock"), sitePanel_));
    } else if (sitePanel_->parentWidget()->isVisible()) {
        sitePanel_->parentWidget()->hide();
        editArea()->setFocus(Qt::OtherFocusReason);
        return;
    }
    sitePanel_->parentWidget()->show();
    sitePanel_->filter()->setFocus(Qt::OtherFocusReason);
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
