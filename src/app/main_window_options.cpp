// The options of typing and of the file dialogs, and the typing help they govern.
#include "main_window.h"

#include "open_document.h"
#include "settings.h"

#include "editor/completer.h"
#include "editor/edit_area.h"
#include "editor/matching_tags.h"

#include <QAction>
#include <QApplication>
#include <QToolTip>

void MainWindow::toggleOfferToSave() {
    settings::setOfferToSave(action(QStringLiteral("offerToSave"))->isChecked());
}

void MainWindow::toggleWebPageFileDialogs() {
    settings::setWebPageFileDialogs(action(QStringLiteral("webPageFileDialogs"))->isChecked());
}

void MainWindow::toggleCompleteEndTags() {
    changeEditOptions([on = action(QStringLiteral("completeEndTags"))->isChecked()](EditOptions& options) {
        settings::setCompleteEndTags(on);
        options.completeEndTags = on;
    });
}

void MainWindow::toggleSuggestWhileTyping() {
    changeEditOptions([on = action(QStringLiteral("suggestWhileTyping"))->isChecked()](EditOptions& options) {
        settings::setSuggestWhileTyping(on);
        options.suggestWhileTyping = on;
    });
}

void MainWindow::changeEditOptions(const std::function<void(EditOptions&)>& change) {
    change(editOptions_);
    for (OpenDocument* document : documents())
        document->editArea()->apply(editOptions_);
}

void MainWindow::pickColour() {
    EditArea* area = editArea();
    const std::optional<EditArea::WrittenColour> written = area->colourAtCaret();
    if (!written) {
        EditArea* at = area;
        QToolTip::showText(at->viewport()->mapToGlobal(at->cursorRect().bottomLeft()),
                           QStringLiteral("Put the caret on a colour of a style sheet (#fff, rgb(...), hsl(...), red)."), at);
        return;
    }
    const std::optional<QColor> chosen = dialogs_.chooseColour(this, written->colour);
    if (!chosen || *chosen == written->colour)
        return;
    area->rewriteColour(*written, *chosen);
    area->setFocus(Qt::OtherFocusReason);
}

void MainWindow::addCaretAbove() {
    editArea()->addCaret(true);
}
void MainWindow::addCaretBelow() {
    editArea()->addCaret(false);
}
void MainWindow::selectNextOccurrence() {
    editArea()->selectNextOccurrence();
}

void MainWindow::toggleComment() {
    editArea()->toggleComment();
}
void MainWindow::duplicateLines() {
    editArea()->duplicateLines();
}
void MainWindow::moveLinesUp() {
    editArea()->moveLines(true);
}
void MainWindow::moveLinesDown() {
    editArea()->moveLines(false);
}
void MainWindow::deleteLines() {
    editArea()->deleteLines();
}
void MainWindow::joinLines() {
    editArea()->joinLines();
}

void MainWindow::formatPage(bool selectionOnly) {
    const QString refused = editArea()->formatDocument(selectionOnly);
    if (!refused.isEmpty())
        dialogs_.showMessage(this, refused, Dialogs::Icon::Exclamation,
                             selectionOnly ? QStringLiteral("Format Selection") : QStringLiteral("Format Document"));
}

void MainWindow::showCompletions() {
    // The list knows HTML and CSS.
    if (doc().language() != Language::Css && !fitsHtml(action(QStringLiteral("showCompletions"))->text()))
        return;
    editArea()->setFocus(Qt::ShortcutFocusReason);
    // Asked for: shown whether or not the list comes up by itself while typing.
    Completer* completer = editArea()->completer();
    const bool on = completer->isEnabled();
    completer->setEnabled(true);
    completer->showHere();
    completer->setEnabled(on);
}

void MainWindow::expandAbbreviation() {
    editArea()->setFocus(Qt::ShortcutFocusReason);
    if (!editArea()->expandAbbreviation())
        QApplication::beep();
}

void MainWindow::toggleExpandOnTab() {
    changeEditOptions([on = action(QStringLiteral("expandOnTab"))->isChecked()](EditOptions& options) {
        settings::setExpandOnTab(on);
        options.expandOnTab = on;
    });
}

void MainWindow::toggleKeepIndent() {
    changeEditOptions([on = action(QStringLiteral("keepIndent"))->isChecked()](EditOptions& options) {
        settings::setKeepIndent(on);
        options.keepIndent = on;
    });
}

void MainWindow::toggleCloseBrackets() {
    changeEditOptions([on = action(QStringLiteral("closeBrackets"))->isChecked()](EditOptions& options) {
        settings::setCloseBrackets(on);
        options.closeBrackets = on;
    });
}

void MainWindow::toggleRenameTagPairs() {
    changeEditOptions([on = action(QStringLiteral("renameTagPairs"))->isChecked()](EditOptions& options) {
        settings::setRenameTagPairs(on);
        options.renameTagPairs = on;
    });
}

void MainWindow::toggleKeepPlace() {
    settings::setKeepPlaceWhenColouring(action(QStringLiteral("keepPlaceWhenColouring"))->isChecked());
}

void MainWindow::goToMatchingTag() {
    editArea()->matchingTags()->jumpToPartner();
}
