// The main window's side of recovery copies: offering them and opening the one chosen.
#include "main_window.h"

#include "recovery_keeper.h"

#include "editor/edit_area.h"

#include <QDir>
#include <QFileInfo>

void MainWindow::offerRecovery(bool atStart) {
    QList<RecoveryCopy> copies = store_->orphans();
    if (atStart)
        copies.removeIf([](const RecoveryCopy& c) { return c.closedByUser && c.offered; });
    if (copies.isEmpty()) {
        if (!atStart)
            dialogs_.showMessage(this, QStringLiteral("There is no unsaved work to recover."),
                                 Dialogs::Icon::None, kAppTitle);
        return;
    }
    QList<RecoveryListItem> items;
    for (const RecoveryCopy& c : copies)
        items.append({c.path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(c.path).fileName(),
                      c.saved.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), c.firstLine,
                      c.size});
    QList<int> discarded;
    const int chosen = dialogs_.chooseRecovery(this, items, &discarded);
    for (int i : discarded)
        store_->discard(copies.value(i).id);
    if (atStart)
        for (int i = 0; i < copies.size(); ++i)
            if (copies[i].closedByUser && i != chosen && !discarded.contains(i))
                store_->markOffered(copies[i].id);
    if (chosen < 0 || chosen >= copies.size() || discarded.contains(chosen))
        return;
    if (!editArea_->document()->isEmpty() &&
        !confirmDiscard(QStringLiteral("Dont you really want to edit other?"), Dialogs::Icon::None,
                        kAppTitle))
        return;
    const QString id = copies[chosen].id;
    const std::optional<RecoverySnapshot> copy = store_->read(id);
    if (!copy) {
        dialogs_.showMessage(this,
                             QStringLiteral("This copy could not be read, or another Tagloom has taken it."),
                             Dialogs::Icon::Exclamation, kAppTitle);
        return;
    }
    keepDiscardedText(true);
    keeper_->forget();
    store_->adopt(id);
    // An unsaved page again, with its file and its format: Save writes it where it belongs.
    editArea_->loadText(copy->text, copy->lineEnds);
    editArea_->document()->setModified(true);
    pageReplaced();
    setDocumentFormat(copy->format, !copy->lineEnds.empty());
    currentFile_ = copy->path;
    disk_ = FileIdentity::of(currentFile_);
    declinedDisk_.reset();
    // The copy names its file; a file that is gone, or is not the user's, is not written without
    // asking where: Save goes through Save As.
    if (!currentFile_.isEmpty() && !(disk_.exists && disk_.ownedByUser)) {
        dialogs_.showMessage(this,
                             QStringLiteral("%1\nis missing, or belongs to another user. Save asks where to "
                                            "save the recovered page.")
                                 .arg(QDir::toNativeSeparators(currentFile_)),
                             Dialogs::Icon::Exclamation, kAppTitle);
        currentFile_.clear();
        disk_ = {};
    }
    unreadableAtStart_.clear();
    if (currentFile_.isEmpty())
        setWindowTitle(QStringLiteral("Tagloom - Untitled*[*]"));
    else
        setTitleFromFile();
}
