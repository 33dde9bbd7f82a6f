// The main window's file commands: open, save, and what keeps them from losing work.
#include "main_window.h"

#include "recent_files.h"
#include "recovery_keeper.h"
#include "settings.h"

#include "dialogs/dialogs.h"
#include "document/text_encoding.h"
#include "editor/edit_area.h"
#include "open_document.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

void MainWindow::loadStartupFile(const QString& path) {
    doc().openAtStart(path);
    colourWithChosenScheme(doc());
}

namespace {
// Every file, names without a dot too; the label shows the pattern the dialogs have always shown.
const QString kAnyFileFilter = QStringLiteral("File Type (*.*) (*.* *)");
const QString kHtmlPagesFilter = QStringLiteral("HTML pages (*.html *.htm *.xhtml)");
const QString kAllFilesFilter = QStringLiteral("All files (*)");
} // namespace

FileDialogSetup MainWindow::fileDialogSetup(const QString& caption) const {
    if (!settings::webPageFileDialogs())
        return {caption, QDir::currentPath(), {kAnyFileFilter}, false};
    // The page's folder, else the folder of the last dialog, else that of the last file opened.
    QString folder;
    for (const QString& candidate :
         {doc().path().isEmpty() ? QString() : QFileInfo(doc().path()).absolutePath(), lastDialogFolder_,
          recent_->paths().isEmpty() ? QString() : QFileInfo(recent_->paths().constFirst()).absolutePath()}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isDir()) {
            folder = candidate;
            break;
        }
    }
    return {caption, folder.isEmpty() ? QDir::homePath() : folder, {kHtmlPagesFilter, kAllFilesFilter}, true,
            QStringLiteral("html")};
}

QString MainWindow::chooseFileToOpen() {
    FileDialogSetup setup = fileDialogSetup(QStringLiteral("Select File to Open!"));
    setup.defaultSuffix.clear(); // a name typed to open is taken as it is
    const QString path = dialogs_.openFileName(this, setup);
    if (!path.isEmpty())
        lastDialogFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QString MainWindow::chooseFileToSave() {
    const QString path = dialogs_.saveFileName(this, fileDialogSetup(QStringLiteral("Save Your File")));
    if (!path.isEmpty())
        lastDialogFolder_ = QFileInfo(path).absolutePath();
    return path;
}

bool MainWindow::mayReplaceDocument() {
    const bool ask = settings::offerToSave() || !editArea()->document()->isEmpty();
    if (ask && !confirmDiscard(QStringLiteral("Dont you really want to edit other?"), Dialogs::Icon::None,
                               kAppTitle)) {
        editArea()->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

void MainWindow::openFile() {
    if (!mayReplaceDocument())
        return;
    // The document is replaced only once a file was chosen and read: a cancelled dialog or an
    // unreadable file leaves it as it was.
    const QString path = chooseFileToOpen();
    if (!path.isEmpty() && !showDocumentOf(path))
        doc().openFile(path);
}

bool MainWindow::openPath(const QString& path) {
    if (showDocumentOf(path))
        return true;
    return mayReplaceDocument() && doc().openFile(path);
}

void MainWindow::openDroppedFiles(const QStringList& paths) {
    // The first file takes the page it was dropped on, as Open would; the others get tabs.
    if (paths.isEmpty() || !openPath(paths.first()))
        return;
    OpenDocument* first = &doc();
    for (qsizetype i = 1; i < paths.size(); ++i)
        openInTab(paths[i]);
    tabs_->setCurrentWidget(first);
}

void MainWindow::fillRecentMenu() {
    recentMenu_->clear();
    const QStringList paths = recent_->paths();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString path = paths[i];
        // The number is the item's key; the full path says which of two same names it is.
        QAction* item = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(QDir::toNativeSeparators(path).replace(u'&', QStringLiteral("&&"))));
        connect(item, &QAction::triggered, this, [this, path] {
            if (!QFileInfo::exists(path)) {
                recent_->remove(path);
                dialogs_.showMessage(this,
                                     QStringLiteral("%1\nno longer exists. It is taken off the list.")
                                         .arg(QDir::toNativeSeparators(path)),
                                     Dialogs::Icon::Exclamation, kAppTitle);
                return;
            }
            openPath(path);
        });
    }
    if (paths.isEmpty()) {
        recentMenu_->addAction(QStringLiteral("No Recent Files"))->setEnabled(false);
        return;
    }
    recentMenu_->addSeparator();
    connect(recentMenu_->addAction(QStringLiteral("Clear List")), &QAction::triggered, this,
            [this] { recent_->clear(); });
}

namespace {
const QString kReopenTitle = QStringLiteral("Reopen with Encoding");
const QString kSaveEncodingTitle = QStringLiteral("Save with Encoding");
const QStringList kLineEndChoices{QStringLiteral("CR LF (Windows)"), QStringLiteral("LF (Linux, macOS)"),
                                  QStringLiteral("CR (classic Mac OS)")};
constexpr LineEnd kLineEnds[] = {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr};

QStringList encodingNames() {
    QStringList names;
    for (const QByteArray& name : text_encoding::choosableEncodings())
        names << QString::fromLatin1(name);
    return names;
}
} // namespace

void MainWindow::reopenWithEncoding() {
    if (doc().path().isEmpty()) {
        dialogs_.showMessage(this, QStringLiteral("Only a page opened from a file can be read again in another encoding."),
                             Dialogs::Icon::Exclamation, kReopenTitle);
        return;
    }
    QList<FormField> fields{{QStringLiteral("Encoding:"), QString::fromLatin1(doc().format().encoding), encodingNames()}};
    if (!dialogs_.fillForm(this, kReopenTitle, fields))
        return;
    doc().reload(fields[0].value.toString().toLatin1());
}

void MainWindow::saveWithEncoding() {
    const int currentEnd = int(std::find(std::begin(kLineEnds), std::end(kLineEnds), doc().format().lineEnd) - std::begin(kLineEnds));
    QList<FormField> fields{
        {QStringLiteral("Encoding:"), QString::fromLatin1(doc().format().encoding), encodingNames()},
        {QStringLiteral("Byte-order mark (UTF only):"), doc().format().byteOrderMark},
        {QStringLiteral("Line ends:"), kLineEndChoices.value(currentEnd), kLineEndChoices}};
    if (!dialogs_.fillForm(this, kSaveEncodingTitle, fields))
        return;
    DocumentFormat chosen = doc().format();
    chosen.encoding = fields[0].value.toString().toLatin1();
    chosen.byteOrderMark = fields[1].value.toBool() && chosen.encoding.startsWith("UTF-");
    chosen.lineEnd = kLineEnds[std::max<qsizetype>(0, kLineEndChoices.indexOf(fields[2].value.toString()))];
    doc().saveWithFormat(chosen);
}

bool MainWindow::save() {
    return doc().save();
}

bool MainWindow::saveAs() {
    return doc().saveAs();
}

bool MainWindow::confirmDiscard(const QString& question, Dialogs::Icon icon, const QString& title) {
    if (!settings::offerToSave())
        return dialogs_.askYesNo(this, question, icon, title);
    if (!editArea()->document()->isModified())
        return true;
    const QString name =
        doc().displayName();
    switch (dialogs_.choose(this, QStringLiteral("Save the changes to %1?").arg(name),
                            Dialogs::Icon::Question, kAppTitle,
                            {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")})) {
    case 0:
        return save();
    case 1:
        return true;
    default:
        return false;
    }
}
