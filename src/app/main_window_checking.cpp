// Check Tags: HTML Tidy's findings in a panel below the text.
#include "main_window.h"

#include "recovery_keeper.h"
#include "settings.h"

#include "checking/check_panel.h"
#include "editor/edit_area.h"
#include "open_document.h"

#include <QDockWidget>
#include <QStackedWidget>

CheckPanel* MainWindow::checkPanelOf(OpenDocument& document) {
    if (!checkDock_) {
        checkDock_ = new QDockWidget(tr("Tag Check"), this);
        checkDock_->setObjectName(QStringLiteral("checkDock"));
        checkDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
        // One panel per document; the active document's shows.
        checkPanels_ = new QStackedWidget(checkDock_);
        checkDock_->setWidget(checkPanels_);
        addDockWidget(Qt::BottomDockWidgetArea, checkDock_);
        resizeDocks({checkDock_}, {height() / 4}, Qt::Vertical); // the text keeps most of the window
    }
    CheckPanel* panel = document.checkPanel();
    if (!panel) {
        panel = document.checkPanel(true);
        panel->clear(); // says it has not checked this page yet
        connect(panel, &CheckPanel::problemChosen, this, &MainWindow::showProblem);
        connect(panel, &CheckPanel::recheckRequested, this, &MainWindow::checkTags);
        connect(panel, &CheckPanel::ignoredKeysChanged, this, &settings::setIgnoredTagMessages);
    }
    if (checkPanels_->indexOf(panel) < 0)
        checkPanels_->addWidget(panel);
    return panel;
}

CheckPanel* MainWindow::checkPanel() const {
    return doc().checkPanel();
}

void MainWindow::checkTags() {
    CheckPanel* panel = checkPanelOf(doc());
    checkPanels_->setCurrentWidget(panel);
    checkDock_->show();
    // Unsaved text is safe on disk before a check starts, whatever the check meets.
    doc().keeper().writeSoon();
    doc().keeper().waitForWrites();
    panel->setIgnoredKeys(settings::ignoredTagMessages());
    panel->check(editArea()->text());
}

void MainWindow::pageReplaced() {
    if (CheckPanel* panel = doc().checkPanel())
        panel->clear();
}

void MainWindow::showProblem(int line, int column) {
    const QString text = editArea()->lineText(line);
    const qsizetype at = std::clamp<qsizetype>(column - 1, 0, text.size());
    editArea()->selectInLine(line, column, int(problemLength(text, at)));
    editArea()->setFocus();
}
