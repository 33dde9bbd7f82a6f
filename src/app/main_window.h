#pragma once

#include "command_line.h"

#include "about/about_window.h"
#include "dialogs/dialogs.h"
#include "document/document_file.h"
#include "document/file_identity.h"
#include "document/recovery_store.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class CheckPanel;
class EditArea;
class FindBar;
class QAction;
class QLabel;
class QMenu;
class RecoveryKeeper;
class RecentFiles;

/// The main window: the edit area, the document state and the menu bar. The work of the
/// commands lives in the colouring, insertion and document rooms; this class wires them.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// @p recoveryFolder: where recovery copies go (the user's data folder when empty).
    explicit MainWindow(Dialogs& dialogs, QWidget* parent = nullptr,
                        const QString& recoveryFolder = QString());
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
    /// The window takes the size, place and maximised state kept in @p file (by default beside the
    /// recent files, in the user's data folder) and keeps them there when the program ends.
    void rememberWindowPlace(const QString& file = QString());

    RecoveryStore& recoveryStore() { return *store_; }
    RecoveryKeeper& recoveryKeeper() { return *keeper_; }
    /// Offers the recovery copies no running instance holds. At start, a copy that a close
    /// discarded is offered once; one that a crash left is offered until the user decides.
    void offerRecovery(bool atStart);

    // Commands of the menu bar that are more than an insertion.
    void newBlank();
    void newHtmlPage();
    /// The HTML5 page template on an empty document, the caret in its body.
    void newHtml5Page();
    void openFile();
    bool save();
    bool saveAs();
    void saveFromMenu() { save(); }
    void saveAsFromMenu() { saveAs(); }
    void recoverUnsavedWork() { offerRecovery(false); }
    void toggleOfferToSave();
    void toggleCompleteEndTags();
    void toggleKeepPlace();
    void toggleWebPageFileDialogs();
    /// Moves the caret to the partner of the tag it is on.
    void goToMatchingTag();
    void exitProgram();
    void colourAsHtml();
    void showPlainText();
    void wrapInPageBasics();
    void showAbout();
    void openWebPage();
    /// Opens the page in the user's browser: the file itself, or a copy with the unsaved changes
    /// beside it (removed when Tagloom ends).
    void previewInBrowser();
    /// Checks the page with HTML Tidy in a worker and lists the problems in a panel below the text.
    void checkTags();
    /// HTML5 commands that are more than a row of the insertion tables.
    void wrapInHtml5Page();
    void insertHtml5Table();
    void wrapSelectionInTag();
    // Edit and View.
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void deleteSelection();
    void selectAll();
    void find();
    void findNext();
    void findPrevious();
    void replace();
    void goToLine();
    void toggleStatusBar();
    void toggleLineNumbers();
    void zoomIn();
    void zoomOut();
    void resetZoom();
    void chooseFont();
    void toggleColourAsYouType();
    void chooseClassicScheme();
    void chooseHtml5Scheme();
    FindBar* findBar() const { return findBar_; }
    /// The texts the status bar shows, in order: place, selection, encoding, line ends, mode.
    QStringList statusTexts() const;

    // Files beyond Open and Save.
    /// Opens @p path after the question Open asks; false when the user declined or it failed.
    bool openPath(const QString& path);
    void openDroppedFiles(const QStringList& paths);
    void reopenWithEncoding();
    void saveWithEncoding();
    /// The Open Recent submenu.
    QMenu* recentMenu() const { return recentMenu_; }
    RecentFiles& recentFiles() { return *recent_; }

    /// The Check Tags panel, once the command has run.
    CheckPanel* checkPanel() const { return checkPanel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /// Classic or HTML5, remembered, and shown at once on a coloured page.
    void chooseScheme(bool html5);
    /// Colours the page with the chosen scheme; @p movePlace lets the classic pass select what it
    /// selects (Ctrl+H without the Keep My Place option).
    void colourPage(bool movePlace);
    /// The title of the program's own message boxes.
    static inline const QString kAppTitle = QStringLiteral("Tagloom");

    bool confirmClose();
    /// The program's own question, or Save / Discard / Cancel when the user chose that option.
    bool confirmDiscard(const QString& question, Dialogs::Icon icon, const QString& title);
    /// Compares the file with what was opened or saved; asks when another program changed it.
    /// Returns false when a save must not go on.
    bool checkDisk(bool beforeSave);
    /// Reads the file again as one undoable replacement: in the encoding detected, or @p encoding.
    void reloadFromDisk(const QByteArray& encoding = {});
    RecoverySnapshot snapshot() const;
    /// The user let the text go (a close, New or Open answered Yes): unsaved text is kept as a
    /// recovery copy for a week. @p goingOn: the window goes on with another page.
    void keepDiscardedText(bool goingOn);
    /// Another page (or the file read again) replaced the text: what was found in the old one goes.
    void pageReplaced();
    /// A new page without a file takes the window's document; unsaved text is kept for a week.
    void startNewPage();
    void removePreview();
    /// Selects the spot a Check Tags problem names.
    void showProblem(int line, int column);
    void loadStartupFile(const QString& path);
    /// Writes the text in the document's format, or in @p chosen with one line end for all lines.
    bool writeFile(const QString& path, const QString& text, const DocumentFormat* chosen = nullptr);
    bool makeEncodable(QString& text, DocumentFormat* format);
    void showFileError(const FileError& error);
    void pointToInterruptedSave(const QString& path);
    /// The specified dialogs, or with the option on: the page's folder, HTML pages first, .html added.
    FileDialogSetup fileDialogSetup(const QString& caption) const;
    QString chooseFileToOpen();
    QString chooseFileToSave();
    void setTitleFromFile();
    void insert(const char* commandId);
    void endProgram();
    void buildMenuBar();
    /// The find bar, the status bar, line numbers, zoom and Open Recent, as the options say.
    void buildViewParts();
    void updateCaretStatus();
    void updateFileStatus();
    /// The format the page is saved in, and whether some of its lines end otherwise than most;
    /// the status bar follows.
    void setDocumentFormat(const DocumentFormat& format, bool mixedLineEnds);
    void fillRecentMenu();
    /// Asks the question Open asks before replacing the text; false when declined.
    bool mayReplaceDocument();
    /// Replaces the document with a file that was read.
    void showOpenedFile(const QString& path, ReadResult result);

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
    QString lastDialogFolder_; ///< where the last Open or Save As dialog chose a file
    QString placeFile_; ///< where the window's place is kept; empty: not kept
    std::unique_ptr<RecoveryStore> store_;
    RecoveryKeeper* keeper_ = nullptr;
    FileIdentity disk_;         ///< the file as last opened or saved
    std::optional<FileIdentity> declinedDisk_; ///< a change the user already answered or was told of
    QString preview_;           ///< the copy written for the browser, if any
    CheckPanel* checkPanel_ = nullptr;
    FindBar* findBar_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    std::unique_ptr<RecentFiles> recent_;
    QList<QLabel*> status_; ///< place, selection, encoding, line ends, mode
    /// Lines of the file that end otherwise than most, as it was opened or saved.
    bool mixedLineEnds_ = false;
};
