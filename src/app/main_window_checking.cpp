// Check Tags: HTML Tidy's findings in a panel below the text.
#include "main_window.h"

#include "spell_marks.h"
#include <QStandardPaths>
#include <QStatusBar>

#include "recovery_keeper.h"
#include "settings.h"

#include "checking/check_panel.h"
#include "checking/page_rules.h"
#include "editor/edit_area.h"
#include "open_document.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStackedWidget>

CheckPanel* MainWindow::checkPanelOf(OpenDocument& document) {
    if (!checkDock_) {
        checkDock_ = new QDockWidget(tr("Tag Check"), this);
        checkDock_->setObjectName(QStringLiteral("checkDock"));
        checkDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
        // One panel per document; the active document's shows.
        checkPanels_ = new QStackedWidget(checkDock_);
        checkDock_->setWidget(checkPanels_);
        addDockWidget(Qt::BottomDockWidgetArea, checkDock_);
        resizeDocks({checkDock_}, {height() / 4}, Qt::Vertical); // the text keeps most of the window
        checkDock_->hide(); // Check Tags shows it; a check made while typing does not
    }
    CheckPanel* panel = document.checkPanel();
    if (!panel) {
        panel = document.checkPanel(true);
        panel->clear(); // says it has not checked this page yet
        connect(panel, &CheckPanel::problemChosen, this, &MainWindow::showProblem);
        connect(panel, &CheckPanel::recheckRequested, this, &MainWindow::checkTags);
        connect(panel, &CheckPanel::ignoredKeysChanged, this, &settings::setIgnoredTagMessages);
        panel->accessibilityChoice()->setChecked(settings::checkAccessibility());
        panel->linksChoice()->setChecked(settings::checkLinks());
        connect(panel, &CheckPanel::choicesChanged, this, [this, panel] {
            settings::setCheckAccessibility(panel->accessibilityChoice()->isChecked());
            settings::setCheckLinks(panel->linksChoice()->isChecked());
            checkTags();
        });
        connect(panel, &CheckPanel::checked, &document, [this, &document] { markProblems(document); });
    }
    if (checkPanels_->indexOf(panel) < 0)
        checkPanels_->addWidget(panel);
    return panel;
}

CheckPanel* MainWindow::checkPanel() const {
    return doc().checkPanel();
}

void MainWindow::checkTags() {
    CheckPanel* panel = checkPanelOf(doc());
    checkPanels_->setCurrentWidget(panel);
    checkDock_->show();
    // Unsaved text is safe on disk before a check starts, whatever the check meets.
    doc().keeper().writeSoon();
    doc().keeper().waitForWrites();
    prepareCheck(doc(), *panel);
    panel->check(editArea()->text());
}

void MainWindow::prepareCheck(OpenDocument& document, CheckPanel& panel) {
    panel.setIgnoredKeys(settings::ignoredTagMessages());
    panel.setAccessibilityLevel(settings::accessibilityLevel());
    // Choices made in another page's panel hold for this one too.
    panel.accessibilityChoice()->setChecked(settings::checkAccessibility());
    panel.linksChoice()->setChecked(settings::checkLinks());
    panel.setPagePath(document.path());
    document.noteCheckStarted();
}

void MainWindow::checkWhileTyping(OpenDocument& document) {
    if (!checkAsYouType_ || document.editArea()->isLoading())
        return;
    CheckPanel* panel = checkPanelOf(document);
    prepareCheck(document, *panel);
    // The text as the document holds it: no CR LF copy made here, where a key may be waiting.
    panel->check(document.editArea()->rawText());
}

void MainWindow::markProblems(OpenDocument& document) {
    EditArea* area = document.editArea();
    CheckPanel* panel = document.checkPanel();
    if (!checkAsYouType_ || !panel || !document.checkedTextIsCurrent()) {
        area->setHighlights(EditArea::Highlights::Problems, {});
        return; // typed on meanwhile: the next check marks that text
    }
    // Enough to see on any screen; the panel lists them all.
    constexpr size_t kMostMarks = 2000;
    QList<QTextEdit::ExtraSelection> marks;
    for (const TagProblem& p : panel->problems()) {
        if (p.line < 1 || size_t(marks.size()) >= kMostMarks)
            continue;
        const QString line = area->lineText(p.line);
        const qsizetype at = std::clamp<qsizetype>(p.column - 1, 0, line.size());
        QTextEdit::ExtraSelection mark;
        mark.cursor = area->rangeInLine(p.line, p.column, int(std::max<qsizetype>(1, problemLength(line, at))));
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(p.kind == TagProblem::Kind::Error ? QColor(0xD0, 0x10, 0x10) : QColor(0xE0, 0x80, 0x00));
        mark.format.setToolTip(p.message);
        marks << mark;
    }
    area->setHighlights(EditArea::Highlights::Problems, marks);
}

void MainWindow::followLink(const QString& url) {
    // A page never saved has no folder its links start from: only its own anchors are reached.
    const std::optional<page_rules::LocalTarget> target = page_rules::resolveLocal(url, doc().path());
    if (!target || (!target->samePage && target->file.isEmpty()))
        return;
    if (!target->samePage) {
        // A link that leads nowhere a page can be is said, not passed over in silence.
        const QFileInfo info(target->file);
        const QString why = info.isDir()                   ? QStringLiteral("it is a folder")
                            : info.isFile()                ? QString()
                            : info.exists()                ? QStringLiteral("it is not a regular file (a device, a pipe or a socket)")
                            : info.isSymLink()             ? QStringLiteral("it is a link that leads nowhere (a loop, or to nothing)")
                                                           : QStringLiteral("there is no such file");
        if (!why.isEmpty()) {
            dialogs_.showMessage(this,
                                 QStringLiteral("The link cannot be followed: %1.\n%2")
                                     .arg(why, QDir::toNativeSeparators(target->file)),
                                 Dialogs::Icon::Exclamation, kAppTitle);
            return;
        }
        if (!openInTab(target->file))
            return; // said why
    }
    if (!target->fragment.isEmpty())
        goToAnchor(target->fragment);
}

bool MainWindow::goToAnchor(const QString& anchor) {
    const QString text = editArea()->text();
    const QRegularExpression target(QStringLiteral("<[^>]*\\s(?:id|name)\\s*=\\s*[\"']?%1[\"'\\s>/]")
                                        .arg(QRegularExpression::escape(anchor)),
                                    QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = target.match(text);
    if (!m.hasMatch())
        return false;
    editArea()->setCaretPosition(int(m.capturedStart()));
    editArea()->centerCursor();
    editArea()->setFocus();
    return true;
}

void MainWindow::toggleCheckAsYouType() {
    checkAsYouType_ = action(QStringLiteral("checkAsYouType"))->isChecked();
    settings::setCheckAsYouType(checkAsYouType_);
    for (OpenDocument* document : documents()) {
        document->checkWhenTypingPauses(checkAsYouType_);
        if (checkAsYouType_)
            checkWhileTyping(*document);
        else
            document->editArea()->setHighlights(EditArea::Highlights::Problems, {});
    }
}

Speller& MainWindow::speller() {
    if (!speller_) {
        speller_ = std::make_unique<Speller>();
        // The user's own words, kept in the data folder.
        speller_->acceptFile(SpellMarks::personalWords());
    }
    return *speller_;
}

void MainWindow::spellDocument(OpenDocument& document, bool on) {
    EditArea* area = document.editArea();
    if (auto* marks = area->findChild<SpellMarks*>(QString(), Qt::FindDirectChildrenOnly)) {
        marks->detach();
        delete marks;
    }
    if (!on)
        return;
    // The site's words list: beside its settings, at the site's root.
    const auto siteWords = [this, &document]() -> QString {
        if (document.path().isEmpty())
            return {};
        return QDir(siteRootOf(document.path())).filePath(QStringLiteral(".tagloom-words"));
    };
    if (const QString list = siteWords(); !list.isEmpty() && !siteWordsRead_.contains(list)) {
        siteWordsRead_.insert(list);
        speller().acceptFile(list);
    }
    auto* marks = new SpellMarks(area, speller(), siteWords, settings::spellingLanguage());
    connect(marks, &SpellMarks::listNotWritten, this, [this](const QString& list) {
        dialogs_.showMessage(this,
                             QStringLiteral("The word could not be added to %1: it is not a file Tagloom can write. "
                                            "It is accepted until Tagloom ends.")
                                 .arg(QDir::toNativeSeparators(list)),
                             Dialogs::Icon::Exclamation, QStringLiteral("Check Spelling"));
    });
}

void MainWindow::toggleCheckSpelling() {
    checkSpelling_ = action(QStringLiteral("checkSpelling"))->isChecked();
    settings::setCheckSpelling(checkSpelling_);
    for (OpenDocument* document : documents())
        spellDocument(*document, checkSpelling_);
}

void MainWindow::chooseSpellingLanguage() {
    const QString title = QStringLiteral("Spelling Language");
    const std::optional<QString> chosen =
        dialogs_.askText(this, QStringLiteral("The language of text a page does not name with lang (such as en, en-GB or de):"),
                         title, settings::spellingLanguage());
    if (!chosen)
        return;
    const QString language = chosen->trimmed();
    if (!spelling::isLanguageTag(language)) {
        dialogs_.showMessage(this, QStringLiteral("\"%1\" is no language: write one such as en or en-GB.").arg(language),
                             Dialogs::Icon::Exclamation, title);
        return;
    }
    if (!speller().hasDictionary(language))
        dialogs_.showMessage(this, QStringLiteral("No dictionary for %1 is installed: its words will not be checked. "
                                                  "Debian's hunspell-* packages hold them.").arg(language),
                             Dialogs::Icon::None, title);
    settings::setSpellingLanguage(language);
    if (checkSpelling_)
        for (OpenDocument* document : documents())
            spellDocument(*document, true);
}

void MainWindow::nextMisspelling() {
    if (!checkSpelling_) {
        action(QStringLiteral("checkSpelling"))->setChecked(true);
        toggleCheckSpelling();
    }
    auto* marks = editArea()->findChild<SpellMarks*>(QString(), Qt::FindDirectChildrenOnly);
    if (marks && !marks->selectNext())
        statusBar()->showMessage(tr("No misspelt word is marked."), 3000);
}

void MainWindow::chooseAccessibilityLevel(int level) {
    // The three items act as one choice.
    for (int l = 1; l <= 3; ++l)
        action(QStringLiteral("accessibilityLevel%1").arg(l))->setChecked(l == level);
    settings::setAccessibilityLevel(level);
    if (checkDock_ && checkDock_->isVisible() && settings::checkAccessibility())
        checkTags();
}

void MainWindow::showProblem(int line, int column) {
    const QString text = editArea()->lineText(line);
    const qsizetype at = std::clamp<qsizetype>(column - 1, 0, text.size());
    editArea()->selectInLine(line, column, int(problemLength(text, at)));
    editArea()->setFocus();
}
