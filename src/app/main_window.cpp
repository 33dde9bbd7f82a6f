#include "main_window.h"

#include "command_line.h"
#include "live_preview_host.h"
#include "menu_table.h"
#include "recent_files.h"
#include "recovery_keeper.h"
#include "settings.h"

#include "about/about_window.h"
#include "about/links.h"
#include "checking/check_panel.h"
#include "checking/safe_check.h"
#include "colouring/html_pass.h"
#include "dialogs/dialogs.h"
#include "document/charset_declaration.h"
#include "editor/completer.h"
#include "editor/edit_area.h"
#include "editor/element_path.h"
#include "open_document.h"
#include "editor/matching_tags.h"
#include "editor/outline_panel.h"
#include "insertion/html5_commands.h"
#include "insertion/insert_command.h"
#include "site/site_index.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QSet>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <vector>

namespace {

// Window geometry is designed in twips: 1440 to the inch.
int twipsToPixels(int twips, qreal logicalDpi) {
    return qRound(twips * logicalDpi / 1440.0);
}

} // namespace

MainWindow::MainWindow(Dialogs& dialogs, QWidget* parent, const QString& recoveryFolder)
    : QMainWindow(parent), dialogs_(dialogs), recoveryFolder_(recoveryFolder), quit_([] { QCoreApplication::exit(0); }),
      recent_(std::make_unique<RecentFiles>()) {
    setObjectName(QStringLiteral("mainWindow"));
    setAccessibleName(kAppTitle);
    Q_INIT_RESOURCE(tagloom); // they live in a static library: naming them links them in
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tagloom/icon-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    // With one document the window is as it always was: the tab bar shows from the second on.
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("documentTabs"));
    tabs_->setDocumentMode(true);
    tabs_->setTabBarAutoHide(true);
    tabs_->setMovable(true);
    tabs_->setTabsClosable(true);
    connect(tabs_, &QTabWidget::tabCloseRequested, this,
            [this](int index) { closeDocument(static_cast<OpenDocument*>(tabs_->widget(index))); });
    setCentralWidget(tabs_);
    siteIndex_ = new SiteIndex(this);
    buildMenuBar();
    buildViewParts();
    editOptions_.completeEndTags = settings::completeEndTags();
    editOptions_.suggestWhileTyping = settings::suggestWhileTyping();
    editOptions_.expandOnTab = settings::expandOnTab();
    editOptions_.renameTagPairs = settings::renameTagPairs();
    editOptions_.keepIndent = settings::keepIndent();
    editOptions_.closeBrackets = settings::closeBrackets();
    editOptions_.lineNumbers = settings::lineNumbersShown();
    editOptions_.foldMarkers = settings::foldMarkersShown();
    editOptions_.formatIndent = settings::formatIndent();
    editOptions_.wrapAttributesAt = settings::wrapAttributesAt();
    editOptions_.formatCodeBlocks = settings::formatCodeBlocks();
    editOptions_.font = editFont();
    editOptions_.zoom = settings::zoom();
    editOptions_.reservedShortcuts = reservedShortcuts_;
    addDocument();
    connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::showActiveDocument);
    if (settings::statusBarShown())
        toggleStatusBar();

    // The client area below the menu bar is 8295 x 7215 twips at start, or as wide as the menu
    // bar needs to show every menu in the font of the day.
    const qreal dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    // The bar's height is asked for the width it will have, as the window's layout asks it: in
    // some styles that is a pixel more than its size hint.
    const int width = std::max(twipsToPixels(8295, dpi), menuBar()->sizeHint().width());
    QSize start(width, twipsToPixels(7215, dpi) + menuBar()->heightForWidth(width));
    // Never larger than the screen: at a scale of 2 on a small one it would not fit.
    if (screen())
        start = start.boundedTo(screen()->availableSize());
    resize(start);
    if (screen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen()->availableGeometry().center());
        move(frame.topLeft());
    }
    editArea()->setFocus();
}

MainWindow::~MainWindow() {
    // The documents outlive this body and still report changes while they go; nobody here
    // listens any more.
    tabs_->disconnect(this);
    // The preview's engine ends before the documents it shows.
    delete livePreview_;
    // Checks still running end now, so that the program can end at once.
    safe_check::cancelAll();
    for (OpenDocument* document : documents()) {
        spellDocument(*document, false); // its reading ends while the dictionaries are here
        document->editArea()->disconnect(this);
        document->editArea()->document()->disconnect(this);
    }
    delete tabs_;
    // The About window has no owner; it goes with the program.
    delete about_;
}

OpenDocument& MainWindow::doc() const {
    return *static_cast<OpenDocument*>(tabs_->currentWidget());
}

QList<OpenDocument*> MainWindow::documents() const {
    QList<OpenDocument*> all;
    for (int i = 0; i < tabs_->count(); ++i)
        all << static_cast<OpenDocument*>(tabs_->widget(i));
    return all;
}

EditArea* MainWindow::editArea() const {
    return doc().editArea();
}

FindBar* MainWindow::findBar() const {
    return doc().findBar();
}

const QString& MainWindow::currentFile() const {
    return doc().path();
}

const DocumentFormat& MainWindow::documentFormat() const {
    return doc().format();
}

RecoveryStore& MainWindow::recoveryStore() {
    return doc().store();
}

RecoveryKeeper& MainWindow::recoveryKeeper() {
    return doc().keeper();
}

OpenDocument* MainWindow::addDocument() {
    auto* document = new OpenDocument(*this, editOptions_, recoveryFolder_);
    EditArea* area = document->editArea();
    connect(area, &EditArea::linkClicked, this, &MainWindow::followLink);
    connect(area, &EditArea::swatchClicked, this, &MainWindow::pickColour);
    // The site's names are read the first time a list asks for them.
    area->setSiteNames([this, document] {
        indexSiteOf(*document);
        return siteIndex_->names();
    });
    connect(&document->keeper(), &RecoveryKeeper::folderRefused, this, &MainWindow::tellRecoveryFolderRefused);
    document->checkWhenTypingPauses(checkAsYouType_);
    if (checkSpelling_)
        spellDocument(*document, true);
    connect(document, &OpenDocument::typingPaused, this, [this, document] { checkWhileTyping(*document); });
    connect(area, &EditArea::edited, this, [this, document] {
        if (livePreview_)
            livePreview_->edited(document);
    });
    connect(document, &OpenDocument::titleChanged, this, [this, document] { showDocumentTitle(document); });
    connect(document, &OpenDocument::fileUsed, this, [this, document](const QString& path) {
        recent_->add(path);
        if (document->language() == Language::Css)
            indexSiteOf(*document); // ready by the time a selector is typed
    });
    connect(document, &OpenDocument::textReplaced, this, [this, document] { colourWithChosenScheme(*document); });
    connect(document, &OpenDocument::written, this, [this, document](const QString& path, const FileIdentity& disk) {
        // Another tab of the same file: this save is no other program's change to it.
        const QString saved = QFileInfo(path).canonicalFilePath();
        for (OpenDocument* other : documents())
            if (other != document && !other->path().isEmpty() && QFileInfo(other->path()).canonicalFilePath() == saved)
                other->fileWrittenElsewhere(disk);
        siteIndex_->pageSaved(path, document->editArea()->text());
    });
    connect(area, &QPlainTextEdit::cursorPositionChanged, this, [this, document] {
        if (livePreview_)
            livePreview_->caretMoved(document);
    });
    const auto active = [this, document] { return tabs_->currentWidget() == document; };
    // The title's [*] shows while the text differs from what was opened or saved; colour is
    // no change to the text, so colouring never sets it.
    connect(area->document(), &QTextDocument::modificationChanged, this, [this, document, active](bool modified) {
        showTabName(document);
        if (active())
            setWindowModified(modified);
    });
    connect(document, &OpenDocument::formatChanged, this, [this, active] {
        if (active())
            updateFileStatus();
    });
    connect(document, &OpenDocument::languageChanged, this, [this, document, active] {
        if (active())
            showLanguage();
        // After the text that came with the language is in (an open colours it then).
        QTimer::singleShot(0, document, [this, document] { colourWithChosenScheme(*document); });
    });
    // The title says so while a big page is still going in.
    connect(area, &EditArea::loadingFinished, this, [this, document, active] {
        colourWithChosenScheme(*document);
        if (active())
            updateFileStatus();
    });
    for (auto signal : {&QPlainTextEdit::cursorPositionChanged, &QPlainTextEdit::selectionChanged})
        connect(area, signal, this, [this, active] {
            if (active())
                updateCaretStatus();
        });
    connect(area, &EditArea::overwriteModeChanged, this, [this, active] {
        if (active())
            updateCaretStatus();
    });
    // A page of one line has no line end to show until a line is added.
    connect(area->document(), &QTextDocument::blockCountChanged, this, [this, active] {
        if (active())
            updateFileStatus();
    });
    connect(area, &EditArea::filesDropped, this, &MainWindow::openDroppedFiles);
    connect(area, &EditArea::zoomChanged, this, [this](int steps) {
        editOptions_.zoom = steps;
        settings::setZoom(steps);
    });
    // The Edit menu shows what can be done now.
    connect(area, &QPlainTextEdit::undoAvailable, this, [this, active](bool on) {
        if (active())
            action(QStringLiteral("undo"))->setEnabled(on);
    });
    connect(area, &QPlainTextEdit::redoAvailable, this, [this, active](bool on) {
        if (active())
            action(QStringLiteral("redo"))->setEnabled(on);
    });
    connect(area, &QPlainTextEdit::copyAvailable, this, [this, active](bool on) {
        if (active())
            for (const char* name : {"cut", "copy", "deleteSelection"})
                action(QString::fromLatin1(name))->setEnabled(on);
    });
    // A new page has the title of a page without a file until it gets one; the window's own
    // first page has the title it always had, a tab added later no mark of a change it has not
    // had. Set once the tab is there, so that the window has it too before any change is marked.
    const bool first = tabs_->count() == 0;
    tabs_->addTab(document, document->displayName());
    if (first)
        document->updateTitle();
    showDocumentTitle(document);
    colourWithChosenScheme(*document);
    return document;
}

void MainWindow::showTabName(OpenDocument* document) {
    const int index = tabs_->indexOf(document);
    if (index < 0)
        return;
    tabs_->setTabText(index, document->displayName().replace(u'&', QStringLiteral("&&")) +
                                 (document->isModified() ? QStringLiteral(" *") : QString()));
    tabs_->setTabToolTip(index, document->path().isEmpty() ? document->displayName()
                                                           : QDir::toNativeSeparators(document->path()));
}

void MainWindow::showActiveDocument() {
    if (!tabs_->currentWidget())
        return;
    OpenDocument& active = doc();
    QMainWindow::setWindowTitle(active.windowTitle());
    setWindowModified(active.isModified());
    QTextDocument* text = active.editArea()->document();
    action(QStringLiteral("undo"))->setEnabled(text->isUndoAvailable());
    action(QStringLiteral("redo"))->setEnabled(text->isRedoAvailable());
    for (const char* name : {"cut", "copy", "deleteSelection"})
        action(QString::fromLatin1(name))->setEnabled(active.editArea()->textCursor().hasSelection());
    updateCaretStatus();
    showLanguage();
    if (active.language() == Language::Css)
        indexSiteOf(active);
    if (checkDock_)
        checkPanels_->setCurrentWidget(checkPanelOf(active));
    if (livePreview_)
        livePreview_->setDocument(&active);
    if (outline_ && outline_->isVisible())
        outline_->follow(active.editArea());
    if (elementPath_ && statusBar()->isVisible())
        elementPath_->follow(active.editArea());
    active.editArea()->setFocus(Qt::OtherFocusReason);
    // A page comes to the front as the window does: another program may have changed its file.
    QTimer::singleShot(0, this, [this, page = QPointer<OpenDocument>(&active)] {
        if (page && page == tabs_->currentWidget() && isActiveWindow() && !QApplication::activeModalWidget())
            page->checkDisk(false);
    });
}

void MainWindow::showDocumentTitle(OpenDocument* document) {
    // Each document keeps its own title; the window shows the active one's.
    if (document == tabs_->currentWidget())
        QMainWindow::setWindowTitle(document->windowTitle());
    showTabName(document);
    // Saved under another name: relative addresses in the preview now start from its folder.
    if (livePreview_)
        livePreview_->fileNamed(document);
}

namespace {
// Commands that write or read HTML: in a style sheet or a script they would only do harm.
const QSet<QString> kHtmlCommands{"checkTags", "expandAbbreviation", "renameId", "wrapInHtml5Page",
                                  "insertHtml5Table", "wrapSelectionInTag", "wrapInPageBasics"};
// The Edit menu's items for keys every text field has.
const QSet<QString> kEditorKeyItems{"undo", "redo", "cut", "copy", "paste", "deleteSelection", "selectAll"};
} // namespace

void MainWindow::buildMenuBar() {
    std::vector<std::pair<int, QMenu*>> open; // the submenu at each level
    QList<QKeySequence> shortcuts;
    const QList<QKeySequence> noShortcuts;
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
            if (kEditorKeyItems.contains(name)) {
                // The focused editor (the text, or the find bar's fields) answers these keys
                // itself; the menu only names them, so that Delete in the problem list never
                // deletes text in the page.
                action->setShortcutContext(Qt::WidgetShortcut);
            } else {
                action->setShortcutContext(Qt::WindowShortcut);
                shortcuts << action->shortcut();
            }
        }
        actions_.insert(name, action);
        action->setCheckable(item.run.checkable);
        // Insertions and a few commands are for HTML pages (matching tags for any markup).
        const bool htmlOnly = item.run.insertion || kHtmlCommands.contains(name);
        if (htmlOnly || name == u"goToMatchingTag")
            (htmlOnly ? htmlOnlyItems_ : markupOnlyItems_) << action;
        if (item.run.command)
            connect(action, &QAction::triggered, this, [this, command = item.run.command, action, htmlOnly] {
                if ((htmlOnly || markupOnlyItems_.contains(action)) && !fitsHtml(action->text(), !htmlOnly))
                    return;
                (this->*command)();
            });
        else if (item.run.insertion)
            connect(action, &QAction::triggered, this, [this, id = item.run.insertion, action] {
                if (fitsHtml(action->text()))
                    insert(id);
            });
    }
    reservedShortcuts_ = shortcuts;
    // An open menu shows which items fit the active document; their keys stay live, to say why not.
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, [this] {
            for (QAction* item : std::as_const(htmlOnlyItems_))
                item->setEnabled(language::isHtml(doc().language()));
            for (QAction* item : std::as_const(markupOnlyItems_))
                item->setEnabled(language::isMarkup(doc().language()));
        });
        connect(menu, &QMenu::aboutToHide, this, [this] {
            for (QAction* item : htmlOnlyItems_ + markupOnlyItems_)
                item->setEnabled(true);
        });
    }
    action(QStringLiteral("offerToSave"))->setChecked(settings::offerToSave());
    action(QStringLiteral("completeEndTags"))->setChecked(settings::completeEndTags());
    action(QStringLiteral("suggestWhileTyping"))->setChecked(settings::suggestWhileTyping());
    action(QStringLiteral("expandOnTab"))->setChecked(settings::expandOnTab());
    action(QStringLiteral("renameTagPairs"))->setChecked(settings::renameTagPairs());
    action(QStringLiteral("keepIndent"))->setChecked(settings::keepIndent());
    action(QStringLiteral("closeBrackets"))->setChecked(settings::closeBrackets());
    checkAsYouType_ = settings::checkAsYouType();
    action(QStringLiteral("checkAsYouType"))->setChecked(checkAsYouType_);
    checkSpelling_ = settings::checkSpelling();
    action(QStringLiteral("checkSpelling"))->setChecked(checkSpelling_);
    for (int level = 1; level <= 3; ++level)
        action(QStringLiteral("accessibilityLevel%1").arg(level))->setChecked(level == settings::accessibilityLevel());
    action(QStringLiteral("expandAbbreviation"))
        ->setToolTip(QStringLiteral("ul>li.item*3>a[href=#]{Link $}: > child, + sibling, ^ up, * repeat, $ number, "
                                    "# id, . class, [attributes], {text}, (group), ! a page"));
    action(QStringLiteral("editMenu"))->menu()->setToolTipsVisible(true);
    action(QStringLiteral("keepPlaceWhenColouring"))->setChecked(settings::keepPlaceWhenColouring());
    action(QStringLiteral("webPageFileDialogs"))->setChecked(settings::webPageFileDialogs());
    action(QStringLiteral("reopenLastSession"))->setChecked(settings::reopenLastSession());
    action(QStringLiteral("webPageFileDialogs"))
        ->setToolTip(QStringLiteral("Open and Save As start in the page's folder and list HTML pages first; "
                                    "Save As adds .html to a name typed without a suffix."));
    action(QStringLiteral("optionsMenu"))->menu()->setToolTipsVisible(true);
    action(QStringLiteral("colourAsYouType"))->setChecked(settings::colourAsYouType());
    action(QStringLiteral("classicScheme"))->setChecked(!settings::html5Scheme());
    action(QStringLiteral("html5Scheme"))->setChecked(settings::html5Scheme());
    action(QStringLiteral("livePreviewOnLeft"))->setChecked(settings::livePreviewOnLeft());
    action(QStringLiteral("previewRunsJavaScript"))->setChecked(settings::livePreviewRunsJavaScript());
    action(QStringLiteral("previewBlocksRemoteContent"))->setChecked(settings::livePreviewBlocksRemoteContent());
    action(QStringLiteral("previewScriptsReadSiteFiles"))->setChecked(settings::livePreviewScriptsReadSiteFiles());
}

void MainWindow::announceStartupArgument(const QString& argumentText, bool windowsCommandLine) {
    doc().announce(command_line::startupFile(argumentText, windowsCommandLine).currentFile);
}

void MainWindow::openStartupArgument(const QString& argumentText, bool windowsCommandLine) {
    // The title names the file from the first frame on, message boxes about it included.
    announceStartupArgument(argumentText, windowsCommandLine);
    const QString readPath = command_line::startupFile(argumentText, windowsCommandLine).readPath;
    if (!readPath.isEmpty())
        loadStartupFile(readPath);
    announceStartupArgument(argumentText, windowsCommandLine);
}

void MainWindow::newBlank() {
    if (!confirmDiscard(QStringLiteral("Do you really want to start over?"), Dialogs::Icon::None,
                        kAppTitle)) {
        editArea()->setFocus(Qt::OtherFocusReason);
        return;
    }
    doc().startNewPage();
    editArea()->setText(QString());
    editArea()->document()->setModified(false);
}

void MainWindow::exitProgram() {
    if (confirmCloseAll(QStringLiteral("Are you sure you want to close without saving?"),
                        Dialogs::Icon::Question, QString())) {
        for (OpenDocument* document : documents())
            document->keepDiscardedText(false);
        endProgram();
    } else {
        update();
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || ending_)
        return;
    if (isActiveWindow())
        // Later, so that a question does not land in the middle of the activation.
        QTimer::singleShot(0, this, [this] {
            if (isActiveWindow() && !QApplication::activeModalWidget())
                doc().checkDisk(false);
        });
    else
        doc().keeper().writeSoon();
}

void MainWindow::rememberWindowPlace(const QString& file) {
    placeFile_ = file.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                                      QStringLiteral("/window-place")
                                : file;
    QFile kept(placeFile_);
    if (kept.open(QIODevice::ReadOnly))
        restoreGeometry(QByteArray::fromBase64(kept.readAll().trimmed()));
}

void MainWindow::endProgram() {
    ending_ = true;
    keepSession();
    // History like the recent files, not an option: it never goes to the settings file.
    if (!placeFile_.isEmpty())
        writeHistory(placeFile_, saveGeometry().toBase64() + '\n');
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
    for (OpenDocument* document : documents())
        document->keepDiscardedText(false);
    endProgram();
}

bool MainWindow::confirmClose() {
    return confirmCloseAll(QStringLiteral("Are you sure you want to close?"), Dialogs::Icon::Question, QString());
}

void MainWindow::showPlainText() {
    // The colour model drops its colours without rewriting the text, so the undo history and
    // the text stay as they were; the caret goes to the start as after a whole-text assignment.
    editArea()->clearColours();
    editArea()->setCaretPosition(0);
}

void MainWindow::colourAsHtml() {
    // The pass ends on the last comment, selected; the option leaves the caret, the selection
    // and the view where the user had them, so that typing never replaces that comment unseen.
    colourPage(!settings::keepPlaceWhenColouring());
    editArea()->setFocus(Qt::OtherFocusReason);
}

void MainWindow::colourPage(bool movePlace) {
    // Edit As > HTML File on plain text: the text is HTML from now on, as the command says.
    if (doc().language() == Language::Plain) {
        doc().chooseLanguage(Language::Html);
        showLanguage();
    }
    const Language language = doc().language();
    // A style sheet, a script or JSON has one colouring: its lexer's.
    if (settings::html5Scheme() || language::isCode(language)) {
        editArea()->colourAsHtml5();
        return;
    }
    const PassResult pass = runHtmlPass(editArea()->text());
    editArea()->setUpdatesEnabled(false);
    editArea()->setColours(pass.colours, kPassPalette);
    if (movePlace) {
        editArea()->setCaretPosition(pass.selection.start);
        editArea()->setSelectionLength(pass.selection.length);
    }
    if (settings::colourAsYouType())
        editArea()->startLiveColouring();
    editArea()->setUpdatesEnabled(true);
}

void MainWindow::insert(const char* commandId) {
    runInsertCommand(*findInsertCommand(commandId), dialogs_, this, *editArea());
}

void MainWindow::newHtmlPage() {
    if (!confirmDiscard(QStringLiteral("Do you really want start a new HTML page?"), Dialogs::Icon::None,
                        kAppTitle)) {
        editArea()->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Without a file before the first prompt, so even a fully cancelled page is a document without one.
    doc().startNewPage();
    runPageTemplate(*findInsertCommand("html-page"), dialogs_, this, *editArea());
}

void MainWindow::newHtml5Page() {
    // Asked only when there is unsaved text to lose; it is kept for a week all the same.
    if (editArea()->document()->isModified() &&
        !confirmDiscard(QStringLiteral("Start a new HTML5 page? The unsaved text is put aside."),
                        Dialogs::Icon::Question, kAppTitle)) {
        editArea()->setFocus(Qt::OtherFocusReason);
        return;
    }
    doc().startNewPage();
    doc().updateTitle();
    editArea()->setText(QString());
    editArea()->document()->setModified(false);
    runPageTemplate(*findInsertCommand("html5-page"), dialogs_, this, *editArea());
    editArea()->setFocus(Qt::OtherFocusReason);
}

void MainWindow::wrapInHtml5Page() {
    const int revision = editArea()->document()->revision();
    runPageTemplate(*findInsertCommand("html5-page"), dialogs_, this, *editArea());
    // The page now says it is UTF-8: a file in another encoding is saved as UTF-8 from now on,
    // or browsers would read its bytes wrongly.
    const bool wrapped = editArea()->document()->revision() != revision;
    if (wrapped)
        doc().becomeUtf8();
}

void MainWindow::insertHtml5Table() {
    runTableBuilder(dialogs_, this, *editArea());
}

void MainWindow::wrapSelectionInTag() {
    runWrapInTag(dialogs_, this, *editArea());
}

void MainWindow::wrapInPageBasics() {
    if (!dialogs_.askYesNo(this, QStringLiteral("Do you really want to wrap text with HTML basics?"),
                           Dialogs::Icon::None, kAppTitle)) {
        editArea()->setFocus(Qt::OtherFocusReason);
        return;
    }
    runPageTemplate(*findInsertCommand("page-basics"), dialogs_, this, *editArea());
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
