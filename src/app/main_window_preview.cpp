// Preview in Browser: the page as the user's browser shows it, unsaved changes included.
#include "main_window.h"

#include "live_preview_host.h"
#include "open_document.h"
#include "settings.h"

#include "editor/edit_area.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

namespace {
// Beside the page, so that its relative style sheets, scripts and images load; in the temporary
// folder for a page without a file, or beside one whose folder we may not write.
QString writePreview(const QString& folder, const QString& existing, const QByteArray& bytes) {
    if (!existing.isEmpty() && QFileInfo(existing).absolutePath() == QFileInfo(folder).absoluteFilePath()) {
        QFile file(existing);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size())
            return existing;
    }
    QTemporaryFile file(folder + QStringLiteral("/.tgl-preview-XXXXXX.html"));
    file.setAutoRemove(false);
    if (!file.open() || file.write(bytes) != bytes.size()) {
        file.remove();
        return {};
    }
    return file.fileName();
}
} // namespace

void MainWindow::previewInBrowser() {
    QString page = doc().path();
    const bool onDisk = !page.isEmpty() && QFileInfo(page).isFile();
    if (!onDisk || editArea()->document()->isModified()) {
        DocumentFormat format = doc().format();
        const QByteArray bytes =
            document_file::encode(editArea()->text(), &format, editArea()->lineEndExceptions());
        const QString beside = doc().path().isEmpty() ? QString() : QFileInfo(doc().path()).absolutePath();
        page = beside.isEmpty() ? QString() : writePreview(beside, doc().previewCopy(), bytes);
        if (page.isEmpty())
            page = writePreview(QDir::tempPath(), doc().previewCopy(), bytes);
        if (page.isEmpty()) {
            dialogs_.showMessage(this,
                                 QStringLiteral("Tagloom could not write a copy of the page to preview."),
                                 Dialogs::Icon::Exclamation, kAppTitle);
            return;
        }
        doc().keepPreviewCopy(page);
    }
    // The browser runs the page, not Tagloom; the platform says whether it could start one.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        dialogs_.showMessage(this,
                             QStringLiteral("No browser could be started to show\n%1\n\n"
                                            "Preview in Browser opens the page with the desktop's default web "
                                            "browser. Install a web browser, or choose one as the default in "
                                            "the desktop's settings%2, then try again.")
                                 .arg(QDir::toNativeSeparators(page),
#ifdef Q_OS_WIN
                                      QString()
#else
                                      QStringLiteral(" (or with: xdg-settings set default-web-browser NAME.desktop)")
#endif
                                          ),
                             Dialogs::Icon::Exclamation, kAppTitle);
}

void MainWindow::toggleLivePreview() {
    QAction* item = action(QStringLiteral("livePreview"));
    if (!item->isChecked()) {
        if (livePreview_)
            livePreview_->hide();
        editArea()->setFocus();
        return;
    }
    if (!livePreview_)
        livePreview_ = new LivePreviewHost(*this);
    livePreview_->setDocument(&doc());
    QString why;
    if (!livePreview_->show(&why)) {
        item->setChecked(false);
        dialogs_.showMessage(this,
#ifdef Q_OS_WIN
                             QStringLiteral("Live Preview is not part of Tagloom for Windows: it needs Qt WebEngine, "
                                            "which this build does not bring. Tools > Preview in Browser (F12) shows the "
                                            "page in your web browser.\n\n%1")
#else
                             QStringLiteral("Live Preview needs Tagloom's preview plugin, which is not installed.\n\n"
                                            "Install the package tagloom-preview (it brings Qt WebEngine), for "
                                            "example with\n    sudo apt install tagloom-preview\nthen choose "
                                            "View > Live Preview again.\n\n%1")
#endif
                                 .arg(why),
                             Dialogs::Icon::Exclamation, kAppTitle);
    }
}

void MainWindow::toggleLivePreviewSide() {
    const bool left = action(QStringLiteral("livePreviewOnLeft"))->isChecked();
    settings::setLivePreviewOnLeft(left);
    if (livePreview_)
        livePreview_->setOnLeft(left);
}

void MainWindow::togglePreviewJavaScript() {
    const bool on = action(QStringLiteral("previewRunsJavaScript"))->isChecked();
    settings::setLivePreviewRunsJavaScript(on);
    if (livePreview_)
        livePreview_->setRunsJavaScript(on);
}

void MainWindow::togglePreviewScriptsReadFiles() {
    const bool on = action(QStringLiteral("previewScriptsReadSiteFiles"))->isChecked();
    settings::setLivePreviewScriptsReadSiteFiles(on);
    if (livePreview_)
        livePreview_->setScriptsReadSiteFiles(on);
}

void MainWindow::togglePreviewBlocksRemote() {
    const bool on = action(QStringLiteral("previewBlocksRemoteContent"))->isChecked();
    settings::setLivePreviewBlocksRemoteContent(on);
    if (livePreview_)
        livePreview_->setBlocksRemoteContent(on);
}
