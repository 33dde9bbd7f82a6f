#pragma once

#include "command_line.h"
#include "open_document.h"

#include "about/about_window.h"
#include "checking/spelling.h"
#include "dialogs/dialogs.h"
#include "document/document_file.h"
#include "document/file_identity.h"
#include "document/recovery_store.h"
#include "editor/edit_options.h"
#include "site/link_rewrite.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class CheckPanel;
class EditArea;
class FindBar;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabWidget;
class FindInFilesPanel;
class LivePreviewHost;
class RecoveryKeeper;
class RecentFiles;
class ElementPath;
class OutlinePanel;
class SiteIndex;
class SitePanel;
class TextSearch;

/// The main window: the menu bar, the documents (OpenDocument, one per tab; the tab bar shows
/// once there are two), the panels and the status bar. The commands work on the active document;
/// their work lives in the colouring, insertion and document rooms, and this class wires them.
class MainWindow : public QMainWindow, private DocumentShell {
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
    /// The title and file the start-up argument names, before the window first shows and its
    /// file is read.
    void announceStartupArgument(const QString& argumentText,
                                 bool windowsCommandLine = command_line::kWindowsCommandLine);

    /// The document the commands work on: the current tab's.
    OpenDocument& doc() const;
    /// Every open document, in the order of the tabs.
    QList<OpenDocument*> documents() const;
    EditArea* editArea() const;
    const QString& currentFile() const;
    const DocumentFormat& documentFormat() const;
    /// The menu item with this object name, or nullptr.
    QAction* action(const QString& objectName) const { return actions_.value(objectName); }
    AboutWindow* aboutWindow() const { return about_; }
    /// What ends the program; tests replace it.
    void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }
    /// The window takes the size, place and maximised state kept in @p file (by default beside the
    /// recent files, in the user's data folder) and keeps them there when the program ends.
    void rememberWindowPlace(const QString& file = QString());

    RecoveryStore& recoveryStore();
    RecoveryKeeper& recoveryKeeper();
    /// Offers the recovery copies no running instance holds. At start, only those a crash or a
    /// kill left, until the user decides; text a close discarded waits in the menu's list.
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
    void toggleSuggestWhileTyping();
    void showCompletions();
    /// The colour dialog for the CSS colour at the caret; the colour chosen is written back in
    /// the form it had, one undo step.
    void pickColour();
    // Several carets, on the edit area.
    void addCaretAbove();
    void addCaretBelow();
    void selectNextOccurrence();
    // Lines and comments, on the edit area.
    void toggleComment();
    void duplicateLines();
    void moveLinesUp();
    void moveLinesDown();
    void deleteLines();
    void joinLines();
    void formatDocument() { formatPage(false); }
    void formatSelection() { formatPage(true); }
    void formatPage(bool selectionOnly);
    void expandAbbreviation();
    void toggleExpandOnTab();
    void toggleRenameTagPairs();
    void toggleKeepIndent();
    void toggleCloseBrackets();
    void toggleCheckAsYouType();
    /// Misspelt words underlined in every page (an option, off at first).
    void toggleCheckSpelling();
    /// Selects the next misspelt word, turning Check Spelling on when it is off.
    void nextMisspelling();
    /// The language of text a page gives none (asked for, kept in the settings).
    void chooseSpellingLanguage();
    /// The dictionaries and accepted words every page is spelt with; made when first needed.
    Speller& speller();
    void chooseAccessibilityLevel1() { chooseAccessibilityLevel(1); }
    void chooseAccessibilityLevel2() { chooseAccessibilityLevel(2); }
    void chooseAccessibilityLevel3() { chooseAccessibilityLevel(3); }
    void chooseAccessibilityLevel(int level);
    /// Ctrl+click on a link in the page: a local page opens in a tab, at its #anchor.
    void followLink(const QString& url);
    /// Puts the caret on the element whose id (or a-name) is @p anchor; false when none has it.
    bool goToAnchor(const QString& anchor);
    /// Checks @p document without showing the panel (Check as You Type).
    void checkWhileTyping(OpenDocument& document);
    /// Marks the problems of @p document's last check in its text.
    void markProblems(OpenDocument& document);
    /// The panel's choices and level, and the page's path, before a check.
    void prepareCheck(OpenDocument& document, CheckPanel& panel);
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
    /// Shows the live preview beside the text, or hides it; says what to install when its plugin
    /// is missing.
    void toggleLivePreview();
    void toggleLivePreviewSide();
    void togglePreviewJavaScript();
    void togglePreviewBlocksRemote();
    void togglePreviewScriptsReadFiles();
    /// The recovery folder cannot hold copies: said once a start.
    void tellRecoveryFolderRefused(const QString& folder);
    /// Colours @p document with the HTML5 scheme when the user chose it (once the page is in).
    void colourWithChosenScheme(OpenDocument& document);
    /// The live preview, once it was first shown.
    LivePreviewHost* livePreview() const { return livePreview_; }
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
    void toggleFoldMarkers();
    // How Format Document lays lines out.
    template <int Indent>
    void chooseFormatIndent() { chooseFormat(Indent, -2); }
    template <int Columns>
    void chooseWrapAttributesAt() { chooseFormat(-2, Columns); }
    /// @p indent and @p columns as the settings keep them; -2 leaves one as it is.
    void chooseFormat(int indent, int columns);
    void toggleFormatCodeBlocks();
    // Folding, on the edit area.
    void fold();
    void unfold();
    void foldAll();
    void unfoldAll();
    template <int Level>
    void foldToLevel() { foldLevel(Level); }
    void foldLevel(int level);
    void zoomIn();
    void zoomOut();
    void resetZoom();
    void chooseFont();
    void toggleColourAsYouType();
    void chooseClassicScheme();
    void chooseHtml5Scheme();
    // View > Language: what the active document is.
    void chooseHtml() { chooseLanguage(Language::Html); }
    void chooseCss() { chooseLanguage(Language::Css); }
    void chooseJavaScript() { chooseLanguage(Language::JavaScript); }
    void chooseJson() { chooseLanguage(Language::Json); }
    void chooseXml() { chooseLanguage(Language::Xml); }
    void choosePlainText() { chooseLanguage(Language::Plain); }
    void chooseLanguage(Language language);
    FindBar* findBar() const;
    /// The texts the status bar shows, in order: place, selection, encoding, line ends, mode.
    QStringList statusTexts() const;

    // Tabs: several documents in one window.
    void newTab();
    void openInNewTab();
    /// Closes the active document's tab, asking first when its text is unsaved.
    void closeTab();
    void nextTab();
    void previousTab();
    /// Opens @p path in a tab of its own (or in the active one when that is an untouched empty
    /// page); a file open already gets its tab shown instead. False when it could not be read.
    bool openInTab(const QString& path);
    /// Opens the files named at start-up one by one, the first in the window's first document.
    void openStartupFiles(const QStringList& paths);
    /// With the option on: the pages with files open at the last exit, each with its caret, the
    /// one in front then in front again. False when there was nothing to reopen.
    bool reopenLastSession();
    void toggleReopenLastSession();

    // Sites: the folder tree and Find and Replace in Files.
    /// Shows the site panel (a folder tree of the page's folder), or hides it when it shows.
    void showSitePanel();
    /// Shows the outline of the page in front (its headings, or a style sheet's rules), or hides
    /// it when it shows.
    void showOutline();
    OutlinePanel* outline() const { return outline_; }
    /// The status bar's element path, once the status bar was shown.
    ElementPath* elementPath() const { return elementPath_; }
    void findInFiles();
    SitePanel* sitePanel() const { return sitePanel_; }
    /// Moves (or renames) a file or folder of the site, and every link to it across the site
    /// follows: the lines that change are listed first, with Cancel.
    void moveInSite(const QString& from, const QString& to);
    /// Renames the id the caret is on, and the links to it across the site.
    void renameId();
    /// A change across the site is being looked for (the site is read off the window's thread).
    bool isChangingSite() const { return changingSite_; }
    /// The names the pages of the current document's site use, for completing style sheets.
    SiteIndex& siteIndex() const { return *siteIndex_; }
    FindInFilesPanel* findInFilesPanel() const { return findInFiles_; }

    // Files beyond Open and Save.
    /// Opens @p path after the question Open asks; false when the user declined or it failed.
    bool openPath(const QString& path);
    void openDroppedFiles(const QStringList& paths);
    void reopenWithEncoding();
    void saveWithEncoding();
    /// The Open Recent submenu.
    QMenu* recentMenu() const { return recentMenu_; }
    RecentFiles& recentFiles() { return *recent_; }

    /// The active document's Check Tags panel, once the command has run on it.
    CheckPanel* checkPanel() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /// Ticks the Formatting items the settings name.
    void showFormatChoices();
    /// Classic or HTML5, remembered, and shown at once on a coloured page.
    void chooseScheme(bool html5);
    /// Colours the page with the chosen scheme; @p movePlace lets the classic pass select what it
    /// selects (Ctrl+H without the Keep My Place option).
    void colourPage(bool movePlace);
    /// The title of the program's own message boxes.
    static inline const QString kAppTitle = QStringLiteral("Tagloom");

    bool confirmClose();
    /// Before the window closes: the one document's @p question, or, with several documents of
    /// which some are unsaved, one question that lists them.
    bool confirmCloseAll(const QString& question, Dialogs::Icon icon, const QString& title);
    /// Closes @p document's tab, asking first when its text is unsaved; false when the user cancelled.
    bool closeDocument(OpenDocument* document);
    /// The document that holds the file @p path (however it is named), other than @p besides.
    OpenDocument* documentOf(const QString& path, const OpenDocument* besides = nullptr) const;
    /// Shows the tab of another document that holds @p path; false when there is none.
    bool showDocumentOf(const QString& path);
    /// The active page's folder, else the site panel's, else home.
    QString siteFolder() const;
    /// The site @p path belongs to: the site panel's folder when it holds it, else its own
    /// folder, or the one above when its own holds no page (a css/ or js/ folder).
    QString siteRootOf(const QString& path) const;
    /// The site index follows @p document's site.
    void indexSiteOf(const OpenDocument& document);
    /// Replace in Files for a page open in a tab: the number replaced, or nullopt when none holds @p path.
    std::optional<int> replaceInOpenPage(const QString& path, const TextSearch& search, const QString& replacement);
    /// Reads the site under @p root off the window's thread for the edits @p makeEdits gives each
    /// file, lists them, and when the user goes on makes @p move (if any) and the edits: in tabs
    /// as one undoable step each, in other files through the byte-exact writer.
    void changeAcrossSite(const QString& root, const link_rewrite::EditMaker& makeEdits,
                          const std::optional<link_rewrite::Move>& move, const QString& title, const QString& intro,
                          const QString& accept);
    void applySiteChange(const QString& root, const link_rewrite::Plan& plan, const link_rewrite::EditMaker& makeEdits,
                         const std::optional<link_rewrite::Move>& move, const QString& title, const QString& intro,
                         const QString& accept);
    /// The program's own question, or Save / Discard / Cancel when the user chose that option.
    bool confirmDiscard(const QString& question, Dialogs::Icon icon, const QString& title);
    /// Selects the spot a Check Tags problem names.
    void showProblem(int line, int column);
    void loadStartupFile(const QString& path);
    /// The program's own dialogs, or with the option on: the page's folder, HTML pages first, .html added.
    FileDialogSetup fileDialogSetup(const QString& caption) const;
    QString chooseFileToOpen();
    QString chooseFileToSave() override;
    Dialogs& dialogs() override { return dialogs_; }
    /// The document's title, name or modified state changed: the tab and (when it is in front)
    /// the window show it.
    void showDocumentTitle(OpenDocument* document);
    /// The tab's text (the file's name, and * while unsaved) and its tooltip (the path).
    void showTabName(OpenDocument* document);
    /// The Language menu's tick and the status bar follow the active document's language.
    void showLanguage();
    /// A command for HTML pages on another language's text says why it does nothing; false then.
    bool fitsHtml(const QString& command, bool markupIsEnough = false);
    /// Changes what every edit area is given, and gives it to those open.
    void changeEditOptions(const std::function<void(EditOptions&)>& change);
    /// The edit font the user chose, or the program's own.
    static QFont editFont();
    /// @p document's Check Tags panel, made and put in the dock's stack if need be.
    CheckPanel* checkPanelOf(OpenDocument& document);
    void insert(const char* commandId);
    void endProgram();
    /// With the option on, writes which pages are open and where their carets are.
    void keepSession();
    void buildMenuBar();
    /// The find bar, the status bar, line numbers, zoom and Open Recent, as the options say.
    void buildViewParts();
    /// A new document in a tab of its own, set up as the options say.
    OpenDocument* addDocument();
    /// The window's title, marker, status bar and panels follow the current tab's document.
    void showActiveDocument();
    void updateCaretStatus();
    void updateFileStatus();
    void fillRecentMenu();
    /// Asks the question Open asks before replacing the text; false when declined.
    bool mayReplaceDocument();

    Dialogs& dialogs_;
    QString recoveryFolder_; ///< where the documents' recovery copies go (empty: the user's data folder)
    QTabWidget* tabs_ = nullptr;
    QHash<QString, QAction*> actions_;
    QPointer<AboutWindow> about_;
    std::function<void()> quit_;
    bool ending_ = false;
    QString lastDialogFolder_; ///< where the last Open or Save As dialog chose a file
    QString placeFile_; ///< where the window's place is kept; empty: not kept
    QDockWidget* checkDock_ = nullptr;
    QStackedWidget* checkPanels_ = nullptr; ///< in the dock: the active document's panel shows
    QMenu* recentMenu_ = nullptr;
    SitePanel* sitePanel_ = nullptr;
    OutlinePanel* outline_ = nullptr;
    ElementPath* elementPath_ = nullptr; ///< in the status bar, once it was shown
    bool changingSite_ = false;
    SiteIndex* siteIndex_ = nullptr;
    LivePreviewHost* livePreview_ = nullptr;
    FindInFilesPanel* findInFiles_ = nullptr;
    std::unique_ptr<RecentFiles> recent_;
    QList<QLabel*> status_; ///< place, selection, encoding, line ends, mode
    QList<QKeySequence> reservedShortcuts_; ///< the menu's keys, which no edit area may take
    bool recoveryRefusalTold_ = false;
    bool checkAsYouType_ = false;
    bool checkSpelling_ = false;
    std::unique_ptr<Speller> speller_;
    QSet<QString> siteWordsRead_;
    /// Spelling marks on @p document's edit area, or none.
    void spellDocument(OpenDocument& document, bool on);
    EditOptions editOptions_; ///< what every edit area is given
    QList<QAction*> htmlOnlyItems_;   ///< menu items for HTML pages only
    QList<QAction*> markupOnlyItems_; ///< menu items for markup (HTML, SVG/XML) only
};
