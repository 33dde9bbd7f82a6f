// The main window's file commands: open, save, and what keeps them from losing work.
#include "main_window.h"

#include "recent_files.h"
#include "recovery_keeper.h"
#include "settings.h"

#include "dialogs/dialogs.h"
#include "document/charset_declaration.h"
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
    // A big plain page shows its first screen before the whole file is read.
    const QString first = QFileInfo(path).size() > EditArea::kLoadInPiecesAbove
                              ? document_file::readFirstScreen(path, EditArea::kFirstScreen)
                              : QString();
    if (!first.isNull()) {
        editArea()->showFirstScreen(first);
        doc().file().path = path;
        setTitleFromFile();
        repaint();
    }
    // Most failures are silent here: the document stays empty and the title still names the path.
    // A file too big for this machine, a device or a pipe named by mistake is worth a word.
    ReadResult result = document_file::read(path);
    setDocumentFormat(result.error ? DocumentFormat{} : result.format, !result.lineEnds.empty());
    editArea()->loadText(result.error ? QString() : result.text, result.lineEnds);
    doc().file().disk = result.error ? FileIdentity{} : FileIdentity::of(path);
    if (!result.error) // after the first screen is up: it writes a file
        QTimer::singleShot(0, this, [this, path] { recent_->add(path); });
    const QFileInfo info(path);
    if (result.error && (info.exists() || result.error.number == file_error::kPathFileAccess)) {
        doc().file().unreadableAtStart = info.absoluteFilePath();
        if (result.error.number == file_error::kOutOfMemory || (!info.isFile() && !info.isDir()) || !info.exists())
            showFileError(result.error);
    }
    colourWithChosenScheme(doc());
    pointToInterruptedSave(path);
}

void MainWindow::showFileError(const FileError& error) {
    dialogs_.showMessage(this, error.description, Dialogs::Icon::Exclamation,
                         QStringLiteral("Error ") + QString::number(error.number));
}

void MainWindow::pointToInterruptedSave(const QString& path) {
    const QString backup = document_file::interruptedSaveBackup(path);
    if (backup.isEmpty())
        return;
    // Said once: the copy is deleted, or kept under a name of its own beside the file, where no
    // later Open points to it again.
    const int answer = dialogs_.choose(
        this,
        QStringLiteral("An earlier save of this file was interrupted. The file as it was before that save is "
                       "kept here:\n%1\n\nKeep the copy beside the file to compare the two, or delete it.")
            .arg(QDir::toNativeSeparators(backup)),
        Dialogs::Icon::Exclamation, kAppTitle, {QStringLiteral("Keep the Copy"), QStringLiteral("Delete the Copy")});
    if (answer == 1) {
        if (!QFile::remove(backup))
            dialogs_.showMessage(this, QStringLiteral("The copy could not be deleted:\n") + QDir::toNativeSeparators(backup),
                                 Dialogs::Icon::Exclamation, kAppTitle);
        return;
    }
    QString kept = path + QStringLiteral(".before-interrupted-save");
    for (int n = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n)
        kept = path + QStringLiteral(".before-interrupted-save-%1").arg(n);
    if (QFile::rename(backup, kept))
        dialogs_.showMessage(this, QStringLiteral("The copy is kept as\n") + QDir::toNativeSeparators(kept),
                             Dialogs::Icon::None, kAppTitle);
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
         {doc().file().path.isEmpty() ? QString() : QFileInfo(doc().file().path).absolutePath(), lastDialogFolder_,
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
    if (path.isEmpty() || showDocumentOf(path))
        return;
    ReadResult result = document_file::read(path);
    if (result.error) {
        showFileError(result.error);
        return;
    }
    showOpenedFile(path, std::move(result));
}

bool MainWindow::openPath(const QString& path) {
    if (showDocumentOf(path))
        return true;
    if (!mayReplaceDocument())
        return false;
    ReadResult result = document_file::read(path);
    if (result.error) {
        showFileError(result.error);
        return false;
    }
    showOpenedFile(path, std::move(result));
    return true;
}

void MainWindow::showOpenedFile(const QString& path, ReadResult result) {
    doc().keepDiscardedText(true);
    editArea()->loadText(result.text, result.lineEnds);
    pageReplaced();
    doc().keeper().forget();
    pointToInterruptedSave(path);
    setDocumentFormat(result.format, !result.lineEnds.empty());
    doc().file().unreadableAtStart.clear();
    doc().file().path = path;
    doc().file().disk = FileIdentity::of(path);
    setTitleFromFile();
    recent_->add(path);
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
    if (doc().file().path.isEmpty()) {
        dialogs_.showMessage(this, QStringLiteral("Only a page opened from a file can be read again in another encoding."),
                             Dialogs::Icon::Exclamation, kReopenTitle);
        return;
    }
    QList<FormField> fields{{QStringLiteral("Encoding:"), QString::fromLatin1(doc().file().format.encoding), encodingNames()}};
    if (!dialogs_.fillForm(this, kReopenTitle, fields))
        return;
    reloadFromDisk(fields[0].value.toString().toLatin1());
}

void MainWindow::saveWithEncoding() {
    const int currentEnd = int(std::find(std::begin(kLineEnds), std::end(kLineEnds), doc().file().format.lineEnd) - std::begin(kLineEnds));
    QList<FormField> fields{
        {QStringLiteral("Encoding:"), QString::fromLatin1(doc().file().format.encoding), encodingNames()},
        {QStringLiteral("Byte-order mark (UTF only):"), doc().file().format.byteOrderMark},
        {QStringLiteral("Line ends:"), kLineEndChoices.value(currentEnd), kLineEndChoices}};
    if (!dialogs_.fillForm(this, kSaveEncodingTitle, fields))
        return;
    DocumentFormat chosen = doc().file().format;
    chosen.encoding = fields[0].value.toString().toLatin1();
    chosen.byteOrderMark = fields[1].value.toBool() && chosen.encoding.startsWith("UTF-");
    chosen.lineEnd = kLineEnds[std::max<qsizetype>(0, kLineEndChoices.indexOf(fields[2].value.toString()))];
    const QString text = editArea()->text();
    qsizetype missing = 0;
    if (!document_file::canEncode(text, chosen.encoding, &missing)) {
        const qsizetype length = text.at(missing).isHighSurrogate() && missing + 1 < text.size() ? 2 : 1;
        dialogs_.showMessage(this,
                             QStringLiteral("%1 cannot hold some characters of this page, such as \"%2\". "
                                            "Nothing was saved.")
                                 .arg(QString::fromLatin1(chosen.encoding), text.mid(missing, length)),
                             Dialogs::Icon::Exclamation, kSaveEncodingTitle);
        editArea()->setCaretPosition(int(missing));
        editArea()->setSelectionLength(int(length));
        return;
    }
    QString path = doc().file().path;
    if (path.isEmpty()) {
        path = chooseFileToSave();
        if (path.isEmpty())
            return;
    } else if (!checkDisk(true)) {
        return;
    }
    if (!writeFile(path, text, &chosen))
        return;
    if (doc().file().path != path) {
        doc().file().path = path;
        setTitleFromFile();
    }
}

bool MainWindow::save() {
    if (doc().file().path.isEmpty())
        return saveAs();
    if (!checkDisk(true))
        return false;
    return writeFile(doc().file().path, editArea()->text());
}

bool MainWindow::saveAs() {
    // The text is taken as it stands when the command starts.
    const QString text = editArea()->text();
    const QString path = chooseFileToSave();
    // Cancelling changes nothing; the path and title follow only a successful write.
    if (path.isEmpty() || !writeFile(path, text))
        return false;
    doc().file().path = path;
    doc().file().disk = FileIdentity::of(path);
    setTitleFromFile();
    return true;
}

bool MainWindow::writeFile(const QString& path, const QString& text, const DocumentFormat* chosen) {
    // Every write opens, writes and closes within this call, so no file is ever left open
    // between commands and "file already open" cannot arise.
    if (!doc().file().unreadableAtStart.isEmpty() && QFileInfo(path).absoluteFilePath() == doc().file().unreadableAtStart) {
        dialogs_.showMessage(
            this,
            QStringLiteral("Path/File access error: this file could not be read when Tagloom "
                           "started, so saving would replace what it holds. It is left as it "
                           "was; use Save As to save under another name.\n") +
                QDir::toNativeSeparators(path),
            Dialogs::Icon::Exclamation, QStringLiteral("Error 75"));
        return false;
    }
    // A format the user chose gives every line its line end; otherwise each keeps its own.
    DocumentFormat format = chosen ? *chosen : doc().file().format;
    QString encodable = text;
    if (!chosen && !makeEncodable(encodable, &format))
        return false;
    const QByteArray bytes =
        document_file::encode(encodable, &format, chosen ? LineEndExceptions{} : editArea()->lineEndExceptions());
    const FileError error = document_file::write(path, bytes);
    if (error) {
        showFileError(error);
        return false;
    }
    if (chosen)
        editArea()->clearLineEndExceptions();
    setDocumentFormat(format, doc().file().mixedLineEnds && !chosen);
    doc().file().disk = FileIdentity::of(path);
    doc().file().declinedDisk.reset();
    // Another tab of the same file: this save is no other program's change to it.
    const QString saved = QFileInfo(path).canonicalFilePath();
    for (OpenDocument* other : documents())
        if (other != &doc() && !other->file().path.isEmpty() && QFileInfo(other->file().path).canonicalFilePath() == saved)
            other->file().disk = doc().file().disk;
    recent_->add(path);
    // What is on disk now is what the user sees, as far as the undo history goes.
    if (editArea()->text() == encodable) {
        editArea()->document()->setModified(false);
        doc().keeper().forget();
    }
    return true;
}

bool MainWindow::makeEncodable(QString& text, DocumentFormat* format) {
    qsizetype missing = 0;
    // Only a broken surrogate pair defeats UTF-8 too; the writer keeps even that, in UTF-16.
    if (document_file::canEncode(text, format->encoding, &missing) ||
        !document_file::canEncode(text, "UTF-8"))
        return true;
    const qsizetype length = text.at(missing).isHighSurrogate() && missing + 1 < text.size() ? 2 : 1;
    const QString sample = text.mid(missing, length);
    const int answer = dialogs_.choose(
        this,
        QStringLiteral(
            "This page is kept in %1, which cannot hold some of its characters, such as \"%2\".\n\n"
            "Save it as UTF-8 instead? A charset the page declares is changed to UTF-8 too.")
            .arg(QString::fromLatin1(format->encoding), sample),
        Dialogs::Icon::Exclamation, kAppTitle, {QStringLiteral("Save as UTF-8"), QStringLiteral("Cancel")});
    if (answer != 0) {
        // Nothing is written; the character that stopped the save is shown.
        editArea()->setCaretPosition(int(missing));
        editArea()->setSelectionLength(int(length));
        return false;
    }
    std::vector<std::pair<int, int>> declarations;
    for (auto [start, count] : charset_declaration::find(text))
        declarations.emplace_back(int(start), int(count));
    if (!declarations.empty()) {
        editArea()->replaceRanges(declarations, QStringLiteral("utf-8"));
        text = editArea()->text();
    }
    format->encoding = "UTF-8";
    format->byteOrderMark = false;
    return true;
}

bool MainWindow::confirmDiscard(const QString& question, Dialogs::Icon icon, const QString& title) {
    if (!settings::offerToSave())
        return dialogs_.askYesNo(this, question, icon, title);
    if (!editArea()->document()->isModified())
        return true;
    const QString name =
        doc().file().path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(doc().file().path).fileName();
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

bool MainWindow::checkDisk(bool beforeSave) {
    if (doc().file().path.isEmpty() || !doc().file().disk.exists)
        return true;
    const FileIdentity now = FileIdentity::of(doc().file().path);
    if (now == doc().file().disk || (!beforeSave && doc().file().declinedDisk == now))
        return true;
    const QString name = QDir::toNativeSeparators(doc().file().path);
    if (!now.exists) {
        // Save writes it again; say so once.
        if (!beforeSave && doc().file().declinedDisk != now)
            dialogs_.showMessage(
                this,
                QStringLiteral("%1\nwas deleted or moved by another program. Save creates it again.")
                    .arg(name),
                Dialogs::Icon::Exclamation, kAppTitle);
        doc().file().declinedDisk = now;
        return true;
    }
    const int answer = dialogs_.choose(
        this,
        QStringLiteral("%1\nwas changed by another program since Tagloom opened or saved it.").arg(name),
        Dialogs::Icon::Exclamation, kAppTitle,
        {QStringLiteral("Reload"), QStringLiteral("Keep Mine"), QStringLiteral("Cancel")});
    if (answer == 0) {
        reloadFromDisk();
        return false;
    }
    if (answer == 1) {
        // The next Save overwrites what the other program wrote.
        doc().file().disk = now;
        return true;
    }
    doc().file().declinedDisk = now;
    return false;
}

void MainWindow::reloadFromDisk(const QByteArray& encoding) {
    const ReadResult result = document_file::read(doc().file().path, encoding);
    if (result.error) {
        showFileError(result.error);
        return;
    }
    // One undoable step: Undo brings back the text as it was before.
    editArea()->setText(result.text, result.lineEnds);
    editArea()->document()->setModified(false);
    doc().keeper().forget();
    pageReplaced();
    setDocumentFormat(result.format, !result.lineEnds.empty());
    doc().file().disk = FileIdentity::of(doc().file().path);
    doc().file().declinedDisk.reset();
}
