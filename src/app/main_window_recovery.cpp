// The main window's side of recovery copies: offering them and opening the one chosen.
#include "main_window.h"

#include "recovery_keeper.h"

#include "document/memory_budget.h"
#include "editor/edit_area.h"
#include "open_document.h"

#include <QDir>
#include <QFileInfo>
#include <QTabWidget>

void MainWindow::tellRecoveryFolderRefused(const QString& folder) {
    // Once a start: the folder stays as it is until the user sees to it.
    if (std::exchange(recoveryRefusalTold_, true))
        return;
    dialogs_.showMessage(this,
                         QStringLiteral("Tagloom keeps no recovery copies of unsaved work while this folder is a "
                                        "link, or is not yours:\n%1\nSave often, or make it a folder of your "
                                        "own (or remove it, and Tagloom makes one) and start Tagloom again.")
                             .arg(QDir::toNativeSeparators(folder)),
                         Dialogs::Icon::Exclamation, kAppTitle);
}

void MainWindow::offerRecovery(bool atStart) {
    QList<RecoveryCopy> copies = doc().store().orphans();
    if (atStart)
        // Only work a crash or a kill lost opens the list by itself; text the user chose to
        // discard waits under File > Recover Unsaved Work...
        copies.removeIf([](const RecoveryCopy& c) { return c.closedByUser; });
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
        doc().store().discard(copies.value(i).id);
    if (chosen < 0 || chosen >= copies.size() || discarded.contains(chosen))
        return;
    const QString id = copies[chosen].id;
    // Weighed as an Open is: a copy too big for the memory left stays for later. (Lines are not
    // known before it is read; pages of hand-written HTML run about 40 characters a line.)
    if (const QString why = memory_budget::shortfall(copies[chosen].size * 2, copies[chosen].size / 40 + 1); !why.isEmpty()) {
        dialogs_.showMessage(this,
                             QStringLiteral("Out of memory: %1. The copy is kept: close some pages, then choose "
                                            "File > Recover Unsaved Work... again.")
                                 .arg(why),
                             Dialogs::Icon::Exclamation, QStringLiteral("Error 7"));
        return;
    }
    const std::optional<RecoverySnapshot> copy = doc().store().read(id);
    if (!copy) {
        dialogs_.showMessage(this,
                             QStringLiteral("This copy could not be read, or another Tagloom has taken it."),
                             Dialogs::Icon::Exclamation, kAppTitle);
        return;
    }
    // A copy of a file already open goes into that file's tab, as one step Undo takes back: two
    // tabs of one file would each take the other's saves for another program's changes.
    OpenDocument* open = copy->path.isEmpty() ? nullptr : documentOf(copy->path);
    if (open)
        tabs_->setCurrentWidget(open);
    // A page with text, or with a file, stays as it is: the recovered one gets a tab of its own.
    else if (!editArea()->document()->isEmpty() || doc().isModified() || !doc().path().isEmpty())
        tabs_->setCurrentWidget(addDocument());
    doc().recover(id, *copy, open != nullptr);
}
