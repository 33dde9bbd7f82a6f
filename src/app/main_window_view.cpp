// The main window's Search and View commands: the find bar, go to line, the status bar, line
// numbers, zoom and the edit font.
#include "main_window.h"

#include "editor/element_path.h"

#include "recent_files.h"
#include "settings.h"

#include "editor/edit_area.h"
#include "editor/find_bar.h"
#include "editor/folding.h"
#include "open_document.h"

#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolTip>
#include <QVBoxLayout>

namespace {
const QString kDefaultFont = QStringLiteral("Tahoma");
constexpr int kDefaultPointSize = 9;

QString lineEndName(LineEnd end) {
    switch (end) {
    case LineEnd::Lf:
        return QStringLiteral("LF");
    case LineEnd::Cr:
        return QStringLiteral("CR");
    case LineEnd::CrLf:
        break;
    }
    return QStringLiteral("CR LF");
}
} // namespace

QFont MainWindow::editFont() {
    QFont font(kDefaultFont, kDefaultPointSize);
    if (const QString chosen = settings::editFont(); !chosen.isEmpty())
        font.fromString(chosen);
    return font;
}

void MainWindow::buildViewParts() {
    action(QStringLiteral("lineNumbers"))->setChecked(settings::lineNumbersShown());
    action(QStringLiteral("foldMarkers"))->setChecked(settings::foldMarkersShown());
    showFormatChoices();
    action(QStringLiteral("statusBar"))->setChecked(settings::statusBarShown());
    // Zoom In answers Ctrl+= too: on most keyboards the plus needs Shift.
    QAction* zoomInAction = action(QStringLiteral("zoomIn"));
    zoomInAction->setShortcuts({zoomInAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+="))});
    // Many Linux desktops take Ctrl+Alt+Up and Down for themselves: Shift+Alt adds carets too.
    for (const auto& [name, key] : {std::pair("addCaretAbove", "Shift+Alt+Up"), std::pair("addCaretBelow", "Shift+Alt+Down")}) {
        QAction* add = action(QString::fromLatin1(name));
        add->setShortcuts({add->shortcut(), QKeySequence(QString::fromLatin1(key))});
    }
    // Ctrl+Tab and Ctrl+Shift+Tab switch tabs too, as in a browser; the edit area leaves them alone.
    for (const auto& [name, key] : {std::pair("nextTab", "Ctrl+Tab"), std::pair("previousTab", "Ctrl+Shift+Tab")}) {
        QAction* switchTab = action(QString::fromLatin1(name));
        switchTab->setShortcuts({switchTab->shortcut(), QKeySequence(QString::fromLatin1(key))});
        reservedShortcuts_ << switchTab->shortcuts().constLast();
    }

    for (const char* name : {"undo", "redo", "cut", "copy", "deleteSelection"})
        action(QString::fromLatin1(name))->setEnabled(false);

    recentMenu_ = new QMenu(QStringLiteral("Open Rece&nt"), this);
    recentMenu_->setObjectName(QStringLiteral("openRecent"));
    recentMenu_->menuAction()->setObjectName(QStringLiteral("openRecent"));
    action(QStringLiteral("filz"))->menu()->insertMenu(action(QStringLiteral("savez")), recentMenu_);
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
}

void MainWindow::undo() {
    editArea()->pressStandardKey(QKeySequence::Undo);
}

void MainWindow::redo() {
    editArea()->pressStandardKey(QKeySequence::Redo);
}

void MainWindow::cut() {
    editArea()->pressStandardKey(QKeySequence::Cut);
}

void MainWindow::copy() {
    editArea()->pressStandardKey(QKeySequence::Copy);
}

void MainWindow::paste() {
    editArea()->pressStandardKey(QKeySequence::Paste);
}

void MainWindow::deleteSelection() {
    editArea()->pressStandardKey(QKeySequence::Delete);
}

void MainWindow::selectAll() {
    editArea()->pressStandardKey(QKeySequence::SelectAll);
}

void MainWindow::find() {
    findBar()->showFind();
}

void MainWindow::findNext() {
    findBar()->findNext();
}

void MainWindow::findPrevious() {
    findBar()->findPrevious();
}

void MainWindow::replace() {
    findBar()->showReplace();
}

void MainWindow::goToLine() {
    const int lines = editArea()->lineCount();
    const std::optional<QString> answer =
        dialogs_.askText(this, QStringLiteral("Line number (1 to %1), or line:column:").arg(lines),
                         QStringLiteral("Go to Line"), QString::number(editArea()->caretPlace().line));
    if (!answer)
        return;
    const QStringList parts = answer->trimmed().split(u':');
    bool lineOk = false;
    bool columnOk = parts.size() == 1;
    const qlonglong line = parts.value(0).trimmed().toLongLong(&lineOk);
    const qlonglong column = parts.size() == 2 ? parts[1].trimmed().toLongLong(&columnOk) : 1;
    if (!lineOk || !columnOk || parts.size() > 2) {
        dialogs_.showMessage(this, QStringLiteral("Type a line number, such as 120, or a line and a column, such as 120:8."),
                             Dialogs::Icon::Exclamation, QStringLiteral("Go to Line"));
        return;
    }
    // Past either end is the end: the user meant as far as the text goes.
    editArea()->goToLine(int(std::clamp<qlonglong>(line, 1, lines)), int(std::clamp<qlonglong>(column, 1, INT_MAX)));
    editArea()->setFocus(Qt::OtherFocusReason);
}

void MainWindow::toggleStatusBar() {
    const bool on = action(QStringLiteral("statusBar"))->isChecked();
    if (on != settings::statusBarShown())
        settings::setStatusBarShown(on);
    if (status_.isEmpty() && on) {
        QStatusBar* bar = statusBar();
        bar->setObjectName(QStringLiteral("statusBar"));
        for (const char* name : {"caretPlace", "selectionSize", "encoding", "lineEnds", "language", "typingMode"}) {
            auto* label = new QLabel(bar);
            label->setObjectName(QString::fromLatin1(name));
            label->setContentsMargins(6, 0, 6, 0);
            // Wide enough for what it shows, so that a new number does not lay the bar out again.
            if (status_.isEmpty())
                label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Ln 999999, Col 99999")) + 12);
            bar->addPermanentWidget(label);
            status_ << label;
        }
        elementPath_ = new ElementPath(bar);
        bar->addWidget(elementPath_, 1);
    }
    if (!status_.isEmpty())
        statusBar()->setVisible(on);
    if (elementPath_) // read only while it shows
        elementPath_->follow(on ? editArea() : nullptr);
    updateCaretStatus();
    updateFileStatus();
}

QStringList MainWindow::statusTexts() const {
    QStringList texts;
    for (const QLabel* label : status_)
        texts << label->text();
    return texts;
}

void MainWindow::updateCaretStatus() {
    // Everything here is a lookup in the document's block tree: nothing counts from the start.
    if (status_.isEmpty() || !statusBar()->isVisible())
        return;
    const EditArea::Place place = editArea()->caretPlace();
    status_[0]->setText(QStringLiteral("Ln %1, Col %2").arg(place.line).arg(place.column));
    const int selected = editArea()->selectedCharacters();
    status_[1]->setText(selected > 0 ? QStringLiteral("Sel %1").arg(selected) : QString());
    status_[5]->setText(editArea()->overwriteMode() ? QStringLiteral("OVR") : QStringLiteral("INS"));
}

void MainWindow::updateFileStatus() {
    if (status_.isEmpty())
        return;
    const DocumentFormat& format = doc().format();
    status_[2]->setText(QString::fromLatin1(format.encoding) + (format.byteOrderMark ? QStringLiteral(" BOM") : QString()) +
                        (format.invalidBytes > 0 ? QStringLiteral(" (%1 invalid bytes)").arg(format.invalidBytes) : QString()));
    // Most files end in a line end: only one that does not needs its lines counted.
    if (!doc().format().finalLineEnd && editArea()->lineCount() == 1)
        status_[3]->setText(QStringLiteral("no line end"));
    else
        status_[3]->setText(lineEndName(doc().format().lineEnd) + (doc().mixedLineEnds() ? QStringLiteral(" (mixed)") : QString()));
    status_[4]->setText(language::displayName(doc().language()));
}

namespace {
QString languageItem(Language language) {
    switch (language) {
    case Language::Html:
        return QStringLiteral("languageHtml");
    case Language::Css:
        return QStringLiteral("languageCss");
    case Language::JavaScript:
        return QStringLiteral("languageJavaScript");
    case Language::Json:
        return QStringLiteral("languageJson");
    case Language::Xml:
        return QStringLiteral("languageXml");
    case Language::Plain:
        break;
    }
    return QStringLiteral("languagePlain");
}
} // namespace

void MainWindow::chooseLanguage(Language language) {
    const bool wasCode = language::isCode(doc().language());
    doc().chooseLanguage(language);
    showLanguage(); // ticked again when chosen again
    // The classic scheme colours a page only on Ctrl+H: the colours of the code go.
    EditArea* area = editArea();
    if (wasCode && !language::isCode(language) && !settings::html5Scheme() && area->liveScheme() == EditArea::LiveScheme::Html5)
        area->clearColours();
    colourWithChosenScheme(doc());
}

void MainWindow::showLanguage() {
    for (const Language language : language::kAll)
        action(languageItem(language))->setChecked(language == doc().language());
    updateFileStatus();
}

bool MainWindow::fitsHtml(const QString& command, bool markupIsEnough) {
    const Language language = doc().language();
    if (language::isHtml(language) || (markupIsEnough && language::isMarkup(language)))
        return true;
    // Said where the eyes are, and gone at the next key: the command did nothing.
    EditArea* area = editArea();
    QToolTip::showText(area->viewport()->mapToGlobal(area->cursorRect().bottomLeft()),
                       QStringLiteral("%1 is for HTML pages; this is %2. View > Language says what a file is.")
                           .arg(QString(command).remove(u'&').remove(QStringLiteral("...")),
                                language == Language::Plain ? QStringLiteral("plain text")
                                                            : language::displayName(language)),
                       area);
    return false;
}

void MainWindow::toggleLineNumbers() {
    changeEditOptions([on = action(QStringLiteral("lineNumbers"))->isChecked()](EditOptions& options) {
        settings::setLineNumbersShown(on);
        options.lineNumbers = on;
    });
}

void MainWindow::toggleFoldMarkers() {
    changeEditOptions([on = action(QStringLiteral("foldMarkers"))->isChecked()](EditOptions& options) {
        settings::setFoldMarkersShown(on);
        options.foldMarkers = on;
    });
}

void MainWindow::chooseFormat(int indent, int columns) {
    if (indent != -2)
        settings::setFormatIndent(indent);
    if (columns != -2)
        settings::setWrapAttributesAt(columns);
    showFormatChoices();
    changeEditOptions([](EditOptions& options) {
        options.formatIndent = settings::formatIndent();
        options.wrapAttributesAt = settings::wrapAttributesAt();
    });
}

void MainWindow::showFormatChoices() {
    // Each group of items acts as one choice.
    const int indent = settings::formatIndent();
    for (const auto& [name, value] : {std::pair("formatIndentPage", -1), std::pair("formatIndentTab", 0),
                                      std::pair("formatIndent2", 2), std::pair("formatIndent4", 4)})
        action(QString::fromLatin1(name))->setChecked(value == indent);
    const int columns = settings::wrapAttributesAt();
    for (const auto& [name, value] : {std::pair("wrapAttributesNever", 0), std::pair("wrapAttributes80", 80),
                                      std::pair("wrapAttributes120", 120)})
        action(QString::fromLatin1(name))->setChecked(value == columns);
    action(QStringLiteral("formatCodeBlocks"))->setChecked(settings::formatCodeBlocks());
}

void MainWindow::toggleFormatCodeBlocks() {
    changeEditOptions([on = action(QStringLiteral("formatCodeBlocks"))->isChecked()](EditOptions& options) {
        settings::setFormatCodeBlocks(on);
        options.formatCodeBlocks = on;
    });
}

void MainWindow::fold() {
    editArea()->folding()->foldAtCaret();
}
void MainWindow::unfold() {
    editArea()->folding()->unfoldAtCaret();
}
void MainWindow::foldAll() {
    editArea()->folding()->foldAll();
}
void MainWindow::unfoldAll() {
    editArea()->folding()->unfoldAll();
}
void MainWindow::foldLevel(int level) {
    editArea()->folding()->foldToLevel(level);
}

void MainWindow::zoomIn() {
    editArea()->setZoom(editArea()->zoom() + 1);
}

void MainWindow::zoomOut() {
    editArea()->setZoom(editArea()->zoom() - 1);
}

void MainWindow::resetZoom() {
    editArea()->setZoom(0);
}

void MainWindow::chooseFont() {
    const std::optional<QFont> font = dialogs_.chooseFont(this, editArea()->baseFont());
    if (!font)
        return;
    changeEditOptions([&](EditOptions& options) {
        settings::setEditFont(font->toString());
        options.font = *font;
    });
}

void MainWindow::toggleColourAsYouType() {
    const bool on = action(QStringLiteral("colourAsYouType"))->isChecked();
    settings::setColourAsYouType(on);
    // The classic colours on the page may be stale by now: they are made true first.
    if (on && editArea()->hasColours() && editArea()->liveScheme() == EditArea::LiveScheme::None)
        colourPage(false);
    else if (!on && editArea()->liveScheme() == EditArea::LiveScheme::Classic)
        editArea()->stopLiveColouring();
}

void MainWindow::colourWithChosenScheme(OpenDocument& document) {
    // The HTML5 scheme, once chosen, colours every page from the moment it is in; the classic
    // one colours only on Ctrl+H, as it always has. Style sheets, scripts and JSON are coloured
    // by their own lexer from the moment they are in; plain text never.
    EditArea* area = document.editArea();
    if (area->isLoading())
        return;
    const Language language = document.language();
    if (language == Language::Plain) {
        if (area->hasColours())
            area->clearColours();
        return;
    }
    if ((settings::html5Scheme() || language::isCode(language)) && area->liveScheme() != EditArea::LiveScheme::Html5)
        area->colourAsHtml5();
}

void MainWindow::chooseClassicScheme() {
    chooseScheme(false);
}

void MainWindow::chooseHtml5Scheme() {
    chooseScheme(true);
}

void MainWindow::chooseScheme(bool html5) {
    // The two items act as one choice: the one chosen stays ticked even when chosen again.
    action(QStringLiteral("classicScheme"))->setChecked(!html5);
    action(QStringLiteral("html5Scheme"))->setChecked(html5);
    if (settings::html5Scheme() == html5)
        return;
    settings::setHtml5Scheme(html5);
    // A coloured page shows the scheme just chosen at once; the HTML5 scheme colours them all.
    if (editArea()->hasColours())
        colourPage(false);
    for (OpenDocument* document : documents())
        colourWithChosenScheme(*document);
}
