#include "main_window.h"

#include "command_line.h"
#include "menu_table.h"

#include "about/about_window.h"
#include "about/links.h"
#include "colouring/html_pass.h"
#include "dialogs/dialogs.h"
#include "document/charset_declaration.h"
#include "editor/edit_area.h"
#include "insertion/insert_command.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QUrl>
#include <vector>

namespace {
const QString kTitlePrefix = QStringLiteral("Tagloom - ");
const QString kAppTitle = QStringLiteral("Tagloom");

// Window geometry is designed in twips: 1440 to the inch.
int twipsToPixels(int twips, qreal logicalDpi) {
    return qRound(twips * logicalDpi / 1440.0);
}

} // namespace

MainWindow::MainWindow(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), quit_([] { QCoreApplication::exit(0); }) {
    setObjectName(QStringLiteral("mainWindow"));
    setAccessibleName(kAppTitle);
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tagloom/icon-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    editArea_ = new EditArea(this);
    editArea_->setObjectName(QStringLiteral("editArea"));
    editArea_->setFont(QFont(QStringLiteral("Tahoma"), 9));
    editArea_->setAccessibleName(QStringLiteral("HTML document"));
    setCentralWidget(editArea_);
    buildMenuBar();

    // The client area below the menu bar is 8295 x 7215 twips at start.
    const qreal dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    resize(twipsToPixels(8295, dpi), twipsToPixels(7215, dpi) + menuBar()->sizeHint().height());
    if (screen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen()->availableGeometry().center());
        move(frame.topLeft());
    }
    editArea_->setFocus();
}

MainWindow::~MainWindow() {
    // The About window has no owner; it goes with the program.
    delete about_;
}

void MainWindow::buildMenuBar() {
    std::vector<std::pair<int, QMenu*>> open; // the submenu at each level
    QList<QKeySequence> shortcuts;
    for (const MenuItem& item : menuTable()) {
        while (!open.empty() && open.back().first >= item.level)
            open.pop_back();
        QMenu* parentMenu = open.empty() ? nullptr : open.back().second;
        const QString name = QString::fromLatin1(item.objectName);
        if (!item.caption) {
            QAction* separator = parentMenu->addSeparator();
            separator->setObjectName(name);
            actions_.insert(name, separator);
            continue;
        }
        const QString caption = QString::fromLatin1(item.caption);
        const bool isSubmenu = &item != &menuTable().back() && (&item)[1].level > item.level;
        if (isSubmenu) {
            QMenu* menu = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
            menu->setObjectName(name);
            menu->menuAction()->setObjectName(name);
            actions_.insert(name, menu->menuAction());
            open.emplace_back(item.level, menu);
            continue;
        }
        QAction* action = parentMenu->addAction(caption);
        action->setObjectName(name);
        if (item.shortcut) {
            action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut), QKeySequence::PortableText));
            action->setShortcutContext(Qt::WindowShortcut);
            shortcuts << action->shortcut();
        }
        actions_.insert(name, action);
        if (item.run.command)
            connect(action, &QAction::triggered, this,
                    [this, command = item.run.command] { (this->*command)(); });
        else if (item.run.insertion)
            connect(action, &QAction::triggered, this, [this, id = item.run.insertion] { insert(id); });
    }
    editArea_->setReservedShortcuts(shortcuts);
}

void MainWindow::setTitleFromFile() {
    setWindowTitle(kTitlePrefix + currentFile_);
}

void MainWindow::openStartupArgument(const QString& argumentText, bool windowsCommandLine) {
    const command_line::StartupFile file = command_line::startupFile(argumentText, windowsCommandLine);
    if (!file.readPath.isEmpty())
        loadStartupFile(file.readPath);
    currentFile_ = file.currentFile;
    if (currentFile_.isEmpty())
        setWindowTitle(kTitlePrefix + QStringLiteral("Untitled*"));
    else
        setTitleFromFile();
}

void MainWindow::loadStartupFile(const QString& path) {
    // Most failures are silent here: the document stays empty and the title still names the path.
    ReadResult result = document_file::read(path);
    format_ = result.error ? DocumentFormat{} : result.format;
    editArea_->loadText(result.error ? QString() : result.text, result.lineEnds);
    const QFileInfo info(path);
    if (result.error && info.exists()) {
        unreadableAtStart_ = info.absoluteFilePath();
        // A device or a pipe named by mistake is worth a word.
        if (!info.isFile() && !info.isDir())
            showFileError(result.error);
    }
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
    dialogs_.showMessage(
        this,
        QStringLiteral("An earlier save of this file was interrupted. The file as it was "
                       "before that save is kept here:\n") +
            QDir::toNativeSeparators(backup) +
            QStringLiteral("\nCompare the two, and delete the copy when you no longer need it."),
        Dialogs::Icon::Exclamation, kAppTitle);
}

void MainWindow::newBlank() {
    if (!dialogs_.askYesNo(this, QStringLiteral("Do you really want to start over?"), Dialogs::Icon::None,
                           kAppTitle)) {
        editArea_->setFocus(Qt::OtherFocusReason);
        return;
    }
    editArea_->setText(QString());
    currentFile_.clear();
    format_ = DocumentFormat{};
}

void MainWindow::exitProgram() {
    if (dialogs_.askYesNo(this, QStringLiteral("Are you sure you want to close without saving?"),
                          Dialogs::Icon::Question, QString()))
        endProgram();
    else
        update();
}

void MainWindow::endProgram() {
    ending_ = true;
    if (about_)
        about_->close();
    quit_();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    if (!confirmClose()) {
        event->ignore();
        return;
    }
    event->accept();
    endProgram();
}

bool MainWindow::confirmClose() {
    return dialogs_.askYesNo(this, QStringLiteral("Are you sure you want to close?"), Dialogs::Icon::Question,
                             QString());
}

namespace {
// Every file, names without a dot too; the label shows the pattern the dialogs have always shown.
const QString kAnyFileFilter = QStringLiteral("File Type (*.*) (*.* *)");
} // namespace

QString MainWindow::chooseFileToOpen() {
    return dialogs_.openFileName(this, QStringLiteral("Select File to Open!"), QDir::currentPath(),
                                 kAnyFileFilter);
}

QString MainWindow::chooseFileToSave() {
    return dialogs_.saveFileName(this, QStringLiteral("Save Your File"), QDir::currentPath(), kAnyFileFilter);
}

void MainWindow::openFile() {
    if (!editArea_->document()->isEmpty() &&
        !dialogs_.askYesNo(this, QStringLiteral("Dont you really want to edit other?"), Dialogs::Icon::None,
                           kAppTitle)) {
        editArea_->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The document is replaced only once a file was chosen and read: a cancelled dialog or an
    // unreadable file leaves it as it was.
    const QString path = chooseFileToOpen();
    if (path.isEmpty())
        return;
    const ReadResult result = document_file::read(path);
    if (result.error) {
        showFileError(result.error);
        return;
    }
    editArea_->loadText(result.text, result.lineEnds);
    pointToInterruptedSave(path);
    format_ = result.format;
    unreadableAtStart_.clear();
    currentFile_ = path;
    setTitleFromFile();
}

void MainWindow::save() {
    if (!currentFile_.isEmpty())
        writeFile(currentFile_, editArea_->text());
    else
        saveAs();
}

void MainWindow::saveAs() {
    // The text is taken as it stands when the command starts.
    const QString text = editArea_->text();
    const QString path = chooseFileToSave();
    // Cancelling changes nothing; the path and title follow only a successful write.
    if (path.isEmpty() || !writeFile(path, text))
        return;
    currentFile_ = path;
    setTitleFromFile();
}

bool MainWindow::writeFile(const QString& path, const QString& text) {
    // Every write opens, writes and closes within this call, so no file is ever left open
    // between commands and "file already open" cannot arise.
    if (!unreadableAtStart_.isEmpty() && QFileInfo(path).absoluteFilePath() == unreadableAtStart_) {
        dialogs_.showMessage(
            this,
            QStringLiteral("Path/File access error: this file could not be read when Tagloom "
                           "started, so saving would replace what it holds. It is left as it "
                           "was; use Save As to save under another name.\n") +
                QDir::toNativeSeparators(path),
            Dialogs::Icon::Exclamation, QStringLiteral("Error 75"));
        return false;
    }
    DocumentFormat format = format_;
    QString encodable = text;
    if (!makeEncodable(encodable, &format))
        return false;
    const QByteArray bytes = document_file::encode(encodable, &format, editArea_->lineEndExceptions());
    const FileError error = document_file::write(path, bytes);
    if (error) {
        dialogs_.showMessage(this, error.description, Dialogs::Icon::Exclamation,
                             QStringLiteral("Error ") + QString::number(error.number));
        return false;
    }
    format_ = format;
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
        editArea_->setCaretPosition(int(missing));
        editArea_->setSelectionLength(int(length));
        return false;
    }
    std::vector<std::pair<int, int>> declarations;
    for (auto [start, count] : charset_declaration::find(text))
        declarations.emplace_back(int(start), int(count));
    if (!declarations.empty()) {
        editArea_->replaceRanges(declarations, QStringLiteral("utf-8"));
        text = editArea_->text();
    }
    format->encoding = "UTF-8";
    format->byteOrderMark = false;
    return true;
}

void MainWindow::showPlainText() {
    // The colour model drops its colours without rewriting the text, so the undo history and
    // the text stay as they were; the caret goes to the start as after a whole-text assignment.
    editArea_->clearColours();
    editArea_->setCaretPosition(0);
}

void MainWindow::colourAsHtml() {
    const PassResult pass = runHtmlPass(editArea_->text());
    editArea_->setUpdatesEnabled(false);
    editArea_->setColours(pass.colours, kPassPalette);
    editArea_->setCaretPosition(pass.selection.start);
    editArea_->setSelectionLength(pass.selection.length);
    editArea_->setUpdatesEnabled(true);
    editArea_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::insert(const char* commandId) {
    runInsertCommand(*findInsertCommand(commandId), dialogs_, this, *editArea_);
}

namespace {
bool confirmPage(Dialogs& dialogs, QWidget* owner, const char* question) {
    return dialogs.askYesNo(owner, QString::fromLatin1(question), Dialogs::Icon::None, kAppTitle);
}
} // namespace

void MainWindow::newHtmlPage() {
    if (!confirmPage(dialogs_, this, "Do you really want start a new HTML page?")) {
        editArea_->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Emptied before the first prompt, so even a fully cancelled page is a document without a file.
    currentFile_.clear();
    format_ = DocumentFormat{};
    runPageTemplate(*findInsertCommand("html-page"), dialogs_, this, *editArea_);
}

void MainWindow::wrapInPageBasics() {
    if (!confirmPage(dialogs_, this, "Do you really want to wrap text with HTML basics?")) {
        editArea_->setFocus(Qt::OtherFocusReason);
        return;
    }
    runPageTemplate(*findInsertCommand("page-basics"), dialogs_, this, *editArea_);
}

void MainWindow::showAbout() {
    if (!about_)
        about_ = new AboutWindow();
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void MainWindow::openWebPage() {
    // The platform opens the page with the default browser; nothing is reported either way.
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(links::kWebPage)));
}
