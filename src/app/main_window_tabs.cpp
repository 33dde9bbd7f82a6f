// Several documents in one window: a tab each, and the commands that open, switch and close them.
#include "main_window.h"

#include "open_document.h"
#include "recent_files.h"
#include "recovery_keeper.h"
#include "settings.h"

#include "editor/edit_area.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTabWidget>

void MainWindow::newTab() {
    tabs_->setCurrentWidget(addDocument());
}

void MainWindow::openInNewTab() {
    const QString path = chooseFileToOpen();
    if (!path.isEmpty())
        openInTab(path);
}

bool MainWindow::openInTab(const QString& path) {
    if (showDocumentOf(path))
        return true;
    std::optional<ReadResult> result = doc().readFile(path);
    if (!result)
        return false;
    // An empty page nobody typed in takes the file rather than standing beside it.
    const bool untouched = doc().path().isEmpty() && doc().editArea()->document()->isEmpty() &&
                           !doc().isModified() && !doc().editArea()->isLoading();
    if (!untouched)
        tabs_->setCurrentWidget(addDocument());
    doc().takeFile(path, std::move(*result));
    return true;
}

OpenDocument* MainWindow::documentOf(const QString& path, const OpenDocument* besides) const {
    const QString wanted = QFileInfo(path).canonicalFilePath();
    if (wanted.isEmpty())
        return nullptr;
    for (OpenDocument* document : documents())
        if (document != besides && !document->path().isEmpty() &&
            QFileInfo(document->path()).canonicalFilePath() == wanted)
            return document;
    return nullptr;
}

bool MainWindow::showDocumentOf(const QString& path) {
    OpenDocument* document = documentOf(path, &doc());
    if (document)
        tabs_->setCurrentWidget(document);
    return document != nullptr;
}

void MainWindow::openStartupFiles(const QStringList& paths) {
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (i > 0) {
            // Each page is in before the next is weighed against the memory left, so that the
            // weighing counts what the pages before it really took.
            editArea()->finishLoading();
            tabs_->setCurrentWidget(addDocument());
        }
        openStartupArgument(paths[i], false);
    }
    tabs_->setCurrentIndex(0);
}

void MainWindow::closeTab() {
    closeDocument(&doc());
}

bool MainWindow::closeDocument(OpenDocument* document) {
    tabs_->setCurrentWidget(document);
    if (document->isModified()) {
        switch (dialogs_.choose(this, QStringLiteral("Save the changes to %1 before closing it?").arg(document->displayName()),
                                Dialogs::Icon::Question, kAppTitle,
                                {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")})) {
        case 0:
            if (!save())
                return false;
            break;
        case 1:
            break;
        default:
            return false;
        }
    }
    // Discarded text is kept for a week, as at a close of the window.
    document->keepDiscardedText(false);
    // The window always holds a page: closing the last one leaves an empty one.
    if (tabs_->count() == 1)
        newTab();
    document->editArea()->disconnect(this);
    document->editArea()->document()->disconnect(this);
    tabs_->removeTab(tabs_->indexOf(document));
    delete document;
    return true;
}

void MainWindow::nextTab() {
    tabs_->setCurrentIndex((tabs_->currentIndex() + 1) % tabs_->count());
}

void MainWindow::previousTab() {
    tabs_->setCurrentIndex((tabs_->currentIndex() + tabs_->count() - 1) % tabs_->count());
}

bool MainWindow::confirmCloseAll(const QString& question, Dialogs::Icon icon, const QString& title) {
    QStringList unsaved;
    for (OpenDocument* document : documents())
        if (document->isModified())
            unsaved << (document->path().isEmpty() ? document->displayName()
                                                        : QDir::toNativeSeparators(document->path()));
    if (documents().size() == 1 || unsaved.isEmpty())
        return confirmDiscard(question, icon, title);
    const int answer = dialogs_.choose(
        this, QStringLiteral("These pages have unsaved changes:\n\n%1\n\nSave them before closing?").arg(unsaved.join(u'\n')),
        Dialogs::Icon::Question, kAppTitle,
        {QStringLiteral("Save All"), QStringLiteral("Discard All"), QStringLiteral("Cancel")});
    if (answer == 1)
        return true;
    if (answer != 0)
        return false;
    for (OpenDocument* document : documents()) {
        if (!document->isModified())
            continue;
        tabs_->setCurrentWidget(document);
        if (!save())
            return false;
    }
    return true;
}

namespace {
// Beside the recent files: history, not an option.
QString sessionFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/session");
}
} // namespace

void MainWindow::toggleReopenLastSession() {
    const bool on = action(QStringLiteral("reopenLastSession"))->isChecked();
    settings::setReopenLastSession(on);
    if (!on)
        QFile::remove(sessionFile());
}

void MainWindow::keepSession() {
    if (!settings::reopenLastSession())
        return;
    // Each page with a file, the page in front first: its path and its caret's line and column,
    // in JSON, which holds any name (one with a line end in it too).
    QJsonArray kept;
    QList<OpenDocument*> pages = documents();
    pages.move(pages.indexOf(&doc()), 0);
    for (OpenDocument* document : pages) {
        if (document->path().isEmpty())
            continue;
        const EditArea::Place place = document->editArea()->caretPlace();
        kept.append(QJsonObject{{"path", QFileInfo(document->path()).absoluteFilePath()},
                                {"line", place.line},
                                {"column", place.column}});
    }
    writeHistory(sessionFile(), QJsonDocument(kept).toJson());
}

bool MainWindow::reopenLastSession() {
    QFile kept(sessionFile());
    if (!settings::reopenLastSession() || !kept.open(QIODevice::ReadOnly))
        return false;
    OpenDocument* front = nullptr;
    const QByteArray bytes = kept.readAll();
    struct Page {
        QString path;
        int line, column;
    };
    std::vector<Page> pages;
    if (bytes.startsWith('[')) {
        for (const QJsonValue& page : QJsonDocument::fromJson(bytes).array())
            pages.push_back({page["path"].toString(), page["line"].toInt(), page["column"].toInt()});
    } else {
        // Sessions kept before: "LINE:COLUMN<tab>PATH", one a line.
        for (const QByteArray& line : bytes.split('\n')) {
            const qsizetype tab = line.indexOf('\t');
            const QList<QByteArray> place = line.left(tab).split(':');
            if (tab >= 0)
                pages.push_back({QString::fromUtf8(line.mid(tab + 1)), place.value(0).toInt(), place.value(1).toInt()});
        }
    }
    for (const Page& page : pages) {
        if (page.path.isEmpty() || !QFileInfo(page.path).isFile() || !openInTab(page.path))
            continue;
        editArea()->goToLine(std::max(1, page.line), std::max(1, page.column));
        if (!front)
            front = &doc();
    }
    if (front)
        tabs_->setCurrentWidget(front);
    return front != nullptr;
}
