// Check Tags: HTML Tidy's findings in a panel below the text.
#include "main_window.h"

#include "recovery_keeper.h"
#include "settings.h"

#include "checking/check_panel.h"
#include "editor/edit_area.h"

#include <QDockWidget>

void MainWindow::checkTags() {
    if (!checkPanel_) {
        auto* dock = new QDockWidget(tr("Tag Check"), this);
        dock->setObjectName(QStringLiteral("checkDock"));
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
        checkPanel_ = new CheckPanel(dock);
        checkPanel_->setIgnoredKeys(settings::ignoredTagMessages());
        dock->setWidget(checkPanel_);
        addDockWidget(Qt::BottomDockWidgetArea, dock);
        resizeDocks({dock}, {height() / 4}, Qt::Vertical); // the text keeps most of the window
        connect(checkPanel_, &CheckPanel::problemChosen, this, &MainWindow::showProblem);
        connect(checkPanel_, &CheckPanel::recheckRequested, this, &MainWindow::checkTags);
        connect(checkPanel_, &CheckPanel::ignoredKeysChanged, this, &settings::setIgnoredTagMessages);
        connect(editArea_->document(), &QTextDocument::contentsChanged, checkPanel_, &CheckPanel::markOutOfDate);
    }
    checkPanel_->parentWidget()->show();
    // Unsaved text is safe on disk before a check starts, whatever the check meets.
    keeper_->writeSoon();
    keeper_->waitForWrites();
    checkPanel_->check(editArea_->text());
}

void MainWindow::pageReplaced() {
    if (checkPanel_)
        checkPanel_->clear();
}

void MainWindow::showProblem(int line, int column) {
    const QString text = editArea_->lineText(line);
    const qsizetype at = std::clamp<qsizetype>(column - 1, 0, text.size());
    editArea_->selectInLine(line, column, int(problemLength(text, at)));
    editArea_->setFocus();
}
