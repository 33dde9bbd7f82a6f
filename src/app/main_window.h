#pragma once

#include "command_line.h"

#include "about/about_window.h"
#include "document/document_file.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class Dialogs;
class EditArea;
class QAction;

/// The main window: the edit area, the document state and the menu bar. The work of the
/// commands lives in the colouring, insertion and document rooms; this class wires them.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// Start-up with the text that followed the program's name on the command line: the raw
    /// command line's tail on Windows, the arguments joined by blanks elsewhere.
    void openStartupArgument(const QString& argumentText,
                             bool windowsCommandLine = command_line::kWindowsCommandLine);

    EditArea* editArea() const { return editArea_; }
    const QString& currentFile() const { return currentFile_; }
    const DocumentFormat& documentFormat() const { return format_; }
    /// The menu item with this object name, or nullptr.
    QAction* action(const QString& objectName) const { return actions_.value(objectName); }
    AboutWindow* aboutWindow() const { return about_; }
    /// What ends the program; tests replace it.
    void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

    // Commands of the menu bar that are more than an insertion.
    void newBlank();
    void newHtmlPage();
    void openFile();
    void save();
    void saveAs();
    void exitProgram();
    void colourAsHtml();
    void showPlainText();
    void wrapInPageBasics();
    void showAbout();
    void openWebPage();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool confirmClose();
    void loadStartupFile(const QString& path);
    bool writeFile(const QString& path, const QString& text);
    bool makeEncodable(QString& text, DocumentFormat* format);
    void showFileError(const FileError& error);
    void pointToInterruptedSave(const QString& path);
    QString chooseFileToOpen();
    QString chooseFileToSave();
    void setTitleFromFile();
    void insert(const char* commandId);
    void endProgram();
    void buildMenuBar();

    Dialogs& dialogs_;
    EditArea* editArea_ = nullptr;
    QString currentFile_;
    DocumentFormat format_;
    QHash<QString, QAction*> actions_;
    QPointer<AboutWindow> about_;
    /// A file named at start-up that exists but could not be read: saving the (empty) document
    /// over it would destroy it.
    QString unreadableAtStart_;
    std::function<void()> quit_;
    bool ending_ = false;
};
