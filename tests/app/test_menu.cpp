#include "app/main_window.h"
#include "colouring/language.h"
#include "app/menu_table.h"
#include "editor/completer.h"
#include "editor/edit_area.h"
#include "editor/folding.h"
#include "editor/find_bar.h"
#include "support/scripted_dialogs.h"
#include "support/url_catcher.h"
#include "support/test_files.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenuBar>
#include <QKeyEvent>
#include <QSet>
#include <QSettings>
#include <QTest>
#include <QUrl>

namespace {
// The commands on lines and carets, tried on two lines.
const QSet<QString> kLineItems{"toggleComment", "duplicateLines", "moveLinesUp", "moveLinesDown", "deleteLines", "joinLines",
                               "addCaretAbove", "addCaretBelow", "selectNextOccurrence"};
// The formatting commands, tried on a page to indent.
const QSet<QString> kFormatItems{"formatDocument", "formatSelection"};
// The folding commands, tried on five elements one in another.
const QSet<QString> kFoldItems{"fold", "unfold", "foldAll", "unfoldAll", "foldLevel1", "foldLevel2", "foldLevel3", "foldLevel4", "foldLevel5"};
// Items added to the program's own menus, each where a user looks for it.
const QSet<QString> kAddedItems{"recoverUnsavedWork", "pickColour", "renameId", "linesMenu", "toggleComment",
                                "duplicateLines", "moveLinesUp", "moveLinesDown", "deleteLines", "joinLines", "keepIndent",
                                "closeBrackets", "outline", "caretsMenu", "addCaretAbove", "addCaretBelow",
                                "selectNextOccurrence", "checkSpelling", "spellingLanguage", "nextMisspelling", "formattingMenu", "formatIndentPage", "formatIndentTab", "formatIndent2",
                                "formatIndent4", "formatWrapSeparator", "wrapAttributesNever", "wrapAttributes80",
                                "wrapAttributes120", "formatCodeSeparator", "formatCodeBlocks", "foldMarkers", "foldingMenu", "fold", "unfold", "foldAll",
                                "unfoldAll", "foldLevelSeparator", "foldLevel1", "foldLevel2", "foldLevel3", "foldLevel4", "foldLevel5", "formatSeparator", "formatDocument", "formatSelection",
                                "language", "languageHtml", "languageCss", "languageJavaScript", "languageJson",
                                "languageXml", "languagePlain",
                                "livePreview",
                                "livePreviewOnLeft",
                                "previewRunsJavaScript",
                                "previewBlocksRemoteContent",
                                "previewScriptsReadSiteFiles",
                                "newHtml5Page",
                                "toolsMenu",
                                "previewInBrowser",
                                "optionsMenu",
                                "offerToSave",
                                "checkTags",
                                "goToMatchingTag",
                                "completeEndTags",
                                "suggestWhileTyping",
                                "expandOnTab",
                                "renameTagPairs",
                                "checkAsYouType",
                                "accessibilityLevel",
                                "accessibilityLevel1",
                                "accessibilityLevel2",
                                "accessibilityLevel3",
                                "html5Separator",
                                "html5Menu",
                                "html5Page",
                                "html5Headings",
                                "html5H1",
                                "html5H2",
                                "html5H3",
                                "html5H4",
                                "html5H5",
                                "html5H6",
                                "html5Structure",
                                "html5Header",
                                "html5Nav",
                                "html5Main",
                                "html5Section",
                                "html5Article",
                                "html5Aside",
                                "html5Footer",
                                "html5Image",
                                "html5Figure",
                                "html5Table",
                                "html5FormFields",
                                "html5TextField",
                                "html5EmailField",
                                "html5NumberField",
                                "html5DateField",
                                "html5Checkbox",
                                "html5Radio",
                                "html5Select",
                                "html5Textarea",
                                "html5Button",
                                "html5WrapSeparator",
                                "wrapInTag",
                                "reopenWithEncoding",
                                "saveWithEncoding",
                                "newTab",
                                "reopenLastSession",
                                "findInFiles",
                                "sitePanel",
                                "openInNewTab",
                                "closeTab",
                                "tabSeparator",
                                "nextTab",
                                "previousTab",
                                "editMenu",
                                "undo",
                                "redo",
                                "undoSeparator",
                                "cut",
                                "copy",
                                "paste",
                                "deleteSelection",
                                "clipboardSeparator",
                                "selectAll",
                                "showCompletions",
                                "expandAbbreviation",
                                "findSeparator",
                                "find",
                                "findNext",
                                "findPrevious",
                                "replace",
                                "goToLineSeparator",
                                "goToLine",
                                "webPageFileDialogs",
                                "viewMenu",
                                "statusBar",
                                "lineNumbers",
                                "zoomSeparator",
                                "zoomIn",
                                "zoomOut",
                                "resetZoom",
                                "fontSeparator",
                                "chooseFont",
                                "keepPlaceWhenColouring",
                                "colouringSeparator",
                                "colourAsYouType",
                                "colouringScheme",
                                "classicScheme",
                                "html5Scheme"};

// The Edit menu's commands for keys every text field answers; tested on their own below.
const QSet<QString> kEditKeyItems{"undo", "redo", "cut", "copy", "paste", "deleteSelection", "selectAll"};

struct Flat {
    int level;
    QString objectName, caption, shortcut;
    bool operator==(const Flat&) const = default;
};

void flatten(const QList<QAction*>& actions, int level, QList<Flat>& out) {
    for (QAction* a : actions) {
        if (a->objectName() == u"openRecent")
            continue; // filled from the list of recent files, not from the table
        const QString caption = a->isSeparator() ? QString() : a->text();
        out.append({level, a->objectName(), caption, a->shortcut().toString(QKeySequence::PortableText)});
        if (a->menu())
            flatten(a->menu()->actions(), level + 1, out);
    }
}

class MenuTest : public QObject {
    Q_OBJECT
private slots:
    void theBuiltMenuBarIsTheTable() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        QList<Flat> built;
        flatten(form.menuBar()->actions(), 1, built);
        QList<Flat> table;
        for (const MenuItem& m : menuTable())
            table.append({m.level, QString::fromLatin1(m.objectName),
                          m.caption ? QString::fromLatin1(m.caption) : QString(),
                          m.shortcut ? QString::fromLatin1(m.shortcut) : QString()});
        QCOMPARE(built.size(), int(menuTable().size()));
        for (int i = 0; i < built.size(); ++i) {
            QCOMPARE(built[i].level, table[i].level);
            QCOMPARE(built[i].objectName, table[i].objectName);
            QCOMPARE(built[i].caption, table[i].caption);
            QCOMPARE(built[i].shortcut, table[i].shortcut);
        }
    }

    void theTreeHasItsShape() {
        int submenus = 0, separators = 0, commands = 0;
        QSet<QString> names;
        QStringList topLevel;
        QStringList shortcuts;
        // The program's own 82 items keep their shape; the items added since are left out here.
        std::vector<MenuItem> items;
        for (const MenuItem& m : menuTable())
            if (!kAddedItems.contains(QString::fromLatin1(m.objectName)))
                items.push_back(m);
        for (size_t i = 0; i < items.size(); ++i) {
            const MenuItem& m = items[i];
            names.insert(QString::fromLatin1(m.objectName));
            if (m.level == 1)
                topLevel << QString::fromLatin1(m.caption);
            if (m.caption) // mnemonics are for the items added since
                QVERIFY2(!QString::fromLatin1(m.caption).contains(u'&'), m.caption);
            if (!m.caption)
                ++separators;
            else if (i + 1 < items.size() && items[i + 1].level > m.level)
                ++submenus;
            else
                ++commands;
            if (m.shortcut)
                shortcuts << QStringLiteral("%1=%2").arg(QString::fromLatin1(m.objectName),
                                                         QString::fromLatin1(m.shortcut));
            if (i > 0)
                QVERIFY(m.level <= items[i - 1].level + 1); // no level is skipped
        }
        QCOMPARE(names.size(), 82);
        QCOMPARE(submenus, 16);
        QCOMPARE(separators, 6);
        QCOMPARE(commands, 60);
        QCOMPARE(topLevel, (QStringList{"File", "Edit As", "HTML Tagging", "Text", "Phrasing", "Tables",
                                        "Forms", "About"}));
        QCOMPARE(shortcuts, (QStringList{"newz=Ctrl+N", "newhtmlpagezz=Ctrl+D", "openz=Ctrl+O",
                                         "savez=Ctrl+S", "saveasz=Ctrl+Y", "exitz=Ctrl+F4", "htmlz=Ctrl+H",
                                         "normailtxtfilez=Ctrl+R", "basicz=Ctrl+W"}));
    }

    void everyShortcutRunsItsCommandFromTheEditArea_data() {
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<QString>("firstDialog");
        QTest::newRow("Ctrl+N") << QKeySequence("Ctrl+N") << "Do you really want to start over?";
        QTest::newRow("Ctrl+D") << QKeySequence("Ctrl+D") << "Do you really want start a new HTML page?";
        QTest::newRow("Ctrl+O") << QKeySequence("Ctrl+O") << "Dont you really want to edit other?";
        QTest::newRow("Ctrl+S") << QKeySequence("Ctrl+S") << "Save Your File";
        QTest::newRow("Ctrl+Y") << QKeySequence("Ctrl+Y") << "Save Your File";
        QTest::newRow("Ctrl+F4") << QKeySequence("Ctrl+F4")
                                 << "Are you sure you want to close without saving?";
        QTest::newRow("Ctrl+W") << QKeySequence("Ctrl+W")
                                << "Do you really want to wrap text with HTML basics?";
        QTest::newRow("Ctrl+H") << QKeySequence("Ctrl+H") << QString();
        QTest::newRow("Ctrl+R") << QKeySequence("Ctrl+R") << QString();
        QTest::newRow("Ctrl+G") << QKeySequence("Ctrl+G") << "Line number (1 to 1), or line:column:";
    }
    void everyShortcutRunsItsCommandFromTheEditArea() {
        QFETCH(QKeySequence, key);
        QFETCH(QString, firstDialog);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.setQuitHandler([] {});
        form.editArea()->loadText(QStringLiteral("<a href=\"x\">y</a>"));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.editArea()->setFocus();
        QTest::keySequence(form.editArea(), key);
        if (!firstDialog.isEmpty()) {
            QVERIFY(!dialogs.shown.isEmpty());
            QCOMPARE(dialogs.shown.first().text, firstDialog);
            QCOMPARE(form.editArea()->text(),
                     QStringLiteral("<a href=\"x\">y</a>")); // the editor did not take the key
        } else {
            QVERIFY(dialogs.shown.isEmpty());
            const bool coloured = form.editArea()->colourAt(0).has_value();
            QCOMPARE(coloured, key == QKeySequence("Ctrl+H"));
        }
    }

    void submenuTitlesAndSeparatorsRunNothing() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->loadText(QStringLiteral("text"));
        for (const MenuItem& m : menuTable()) {
            QAction* action = form.action(QString::fromLatin1(m.objectName));
            QVERIFY(action);
            if (action->isSeparator() || action->menu())
                action->trigger();
        }
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(form.editArea()->text(), QStringLiteral("text"));
    }

    void everyCommandItemRunsAHandler() {
        UrlCatcher urls;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &urls, "open");
        const auto items = menuTable();
        int commands = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            const MenuItem& m = items[i];
            // Tab switching needs two tabs: tested with the other tab commands.
            if (!m.caption || (i + 1 < items.size() && items[i + 1].level > m.level) || m.run.checkable ||
                kEditKeyItems.contains(QString::fromLatin1(m.objectName)) ||
                QLatin1StringView(m.objectName) == u"nextTab" || QLatin1StringView(m.objectName) == u"previousTab")
                continue;
            ++commands;
            ScriptedDialogs dialogs;
            MainWindow form(dialogs);
            form.setQuitHandler([] {});
            // On a tag, for the commands that work on one.
            const QString start = QLatin1StringView(m.objectName) == u"goToMatchingTag"   ? "<b></b>"
                                  : QLatin1StringView(m.objectName) == u"nextMisspelling" ? "<p>qzxvw</p>"
                                  : QLatin1StringView(m.objectName) == u"showCompletions" ? "<ta"
                                  : QLatin1StringView(m.objectName) == u"expandAbbreviation" ? "ul>li"
                                  : kLineItems.contains(QString::fromLatin1(m.objectName))  ? "x\r\ny"
                                  : kFormatItems.contains(QString::fromLatin1(m.objectName)) ? "<ul>\r\n<li>a</li>\r\n</ul>"
                                  : kFoldItems.contains(QString::fromLatin1(m.objectName))
                                      ? QString("<div>\r\n").repeated(5) + QString("</div>\r\n").repeated(5)
                                                                                          : "x";
            form.editArea()->loadText(start);
            form.editArea()->setCaretPosition(QLatin1StringView(m.objectName) == u"moveLinesUp" ||
                                                      QLatin1StringView(m.objectName) == u"addCaretAbove"
                                                  ? 4
                                              : QLatin1StringView(m.objectName) == u"formatSelection" ? 8
                                                                                                      : 1);
            // A style sheet, the caret on a colour.
            const bool colour = QLatin1StringView(m.objectName) == u"pickColour";
            if (colour) {
                form.editArea()->loadText(QStringLiteral("a{color:red}"));
                form.editArea()->setLanguage(Language::Css);
                form.editArea()->colourAsHtml5();
                form.editArea()->setCaretPosition(10);
            }
            if (QLatin1StringView(m.objectName) == u"showCompletions")
                form.show(); // a list is offered in a window that shows
            if (QLatin1StringView(m.objectName).startsWith(u"unfold"))
                form.editArea()->folding()->foldAll();
            const int folds = form.editArea()->folding()->foldCount();
            form.editArea()->setZoom(1);
            const QFont font = form.editArea()->font();
            const qsizetype opened = urls.opened.size();
            form.action(QString::fromLatin1(m.objectName))->trigger();
            // Something visible happened: a dialog, a changed text, a moved caret, a window or a page.
            const bool ran = !dialogs.shown.isEmpty() || form.editArea()->text() != start ||
                             form.editArea()->selectionStart() != 1 || form.aboutWindow() ||
                             form.checkPanel() || urls.opened.size() > opened ||
                             form.editArea()->font() != font || !form.findBar()->isHidden() ||
                             form.documents().size() > 1 || form.findInFilesPanel() || form.sitePanel() || form.outline() ||
                             form.editArea()->completer()->isShown() || form.editArea()->folding()->foldCount() != folds ||
                             form.editArea()->caretCount() > 1;
            QVERIFY2(ran && (!colour || !dialogs.shown.isEmpty()), m.objectName);
            QSettings().clear(); // zoom and the like are remembered: later windows start afresh
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(commands, 135);
    }

    // Options > Formatting: one choice in each group, kept for the next window, and Format
    // Document follows it.
    void formattingChoicesReachFormatDocument() {
        ScriptedDialogs dialogs;
        {
            MainWindow form(dialogs);
            QVERIFY(form.action(QStringLiteral("formatIndentPage"))->isChecked());
            QVERIFY(form.action(QStringLiteral("wrapAttributesNever"))->isChecked());
            QVERIFY(!QSettings().contains(QStringLiteral("format/indent"))); // nothing written until chosen
            form.action(QStringLiteral("formatIndentTab"))->trigger();
            form.action(QStringLiteral("formatCodeBlocks"))->trigger();
            QVERIFY(!form.action(QStringLiteral("formatIndentPage"))->isChecked());
        }
        MainWindow form(dialogs);
        QVERIFY(form.action(QStringLiteral("formatIndentTab"))->isChecked());
        QVERIFY(!form.action(QStringLiteral("formatIndent2"))->isChecked());
        form.editArea()->loadText(QStringLiteral("<div>\r\n  <style>\r\na { }\r\n  </style>\r\n</div>"));
        form.action(QStringLiteral("formatDocument"))->trigger();
        QCOMPARE(form.editArea()->text(), QStringLiteral("<div>\r\n\t<style>\r\n\t\ta { }\r\n\t</style>\r\n</div>"));
        QSettings().clear();
    }

    // Each added item has a mnemonic, and no letter stands twice in one menu; Alt+E opens Edit.
    void addedItemsHaveMnemonicsOfTheirOwn() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        QList<QList<QAction*>> menus{form.menuBar()->actions()};
        while (!menus.isEmpty()) {
            QSet<QChar> letters;
            for (QAction* a : menus.takeFirst()) {
                if (a->menu())
                    menus.append(a->menu()->actions());
                if (a->isSeparator() || !kAddedItems.contains(a->objectName()))
                    continue;
                const qsizetype amp = a->text().indexOf(u'&');
                QVERIFY2(amp >= 0 && amp + 1 < a->text().size(), qPrintable(a->text()));
                const QChar letter = a->text()[amp + 1].toLower();
                QVERIFY2(!letters.contains(letter), qPrintable(a->text()));
                letters.insert(letter);
            }
        }
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.editArea(), Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), form.action(QStringLiteral("editMenu"))->menu());
        QApplication::activePopupWidget()->close();
        // A chord with Alt or Ctrl that no menu answers types nothing (File has no mnemonic);
        // Ctrl+Alt, which is AltGr on Windows, still types its character.
        QTRY_VERIFY(!QApplication::activePopupWidget());
        struct Chord {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* text;
        };
        for (const Chord& chord : {Chord{Qt::Key_F, Qt::AltModifier, "f"}, Chord{Qt::Key_Q, Qt::AltModifier | Qt::ShiftModifier, "Q"},
                                   Chord{Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier, "@"}}) {
            QKeyEvent press(QEvent::KeyPress, chord.key, chord.modifiers, QString::fromLatin1(chord.text));
            QApplication::sendEvent(form.editArea(), &press);
        }
        QCOMPARE(form.editArea()->text(), QStringLiteral("@"));
    }

    // The Edit menu works on the text as the keys do; keys in another field stay in that field.
    void theEditMenuWorksOnTheText() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        EditArea* area = form.editArea();
        area->loadText(QStringLiteral("abc"));
        area->setCaretPosition(3);
        QTest::keyClicks(area, QStringLiteral("d"));
        area->setCaretPosition(1);
        area->setSelectionLength(2);
        struct Step {
            const char* command;
            const char* text;
            const char* selected;
        };
        const Step steps[] = {
            {"copy", "abcd", "bc"}, {"cut", "ad", ""},   {"undo", "abcd", ""}, {"redo", "ad", ""},
            {"paste", "abcd", ""},  {"selectAll", "abcd", "abcd"}, {"deleteSelection", "", ""}, {"undo", "abcd", ""},
        };
        for (const Step& step : steps) {
            QAction* command = form.action(QString::fromLatin1(step.command));
            QVERIFY2(command->isEnabled(), step.command);
            command->trigger();
            QCOMPARE(area->text(), QString::fromLatin1(step.text));
            QCOMPARE(area->selectedText(), QString::fromLatin1(step.selected));
        }
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("bc"));
        area->setSelectionLength(0);
        QVERIFY(!form.action(QStringLiteral("cut"))->isEnabled());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.find();
        QWidget* field = QApplication::focusWidget();
        QVERIFY(field != area);
        QTest::keyClicks(field, QStringLiteral("xyz"));
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QCOMPARE(qobject_cast<QLineEdit*>(field)->text(), QString());
        QCOMPARE(area->text(), QStringLiteral("abcd"));
    }

    void theTwoCloseListItemsAreDistinctCommands() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.action(QStringLiteral("closrlistwithnumbersz"))->trigger();
        form.action(QStringLiteral("closelistzzz"))->trigger();
        QCOMPARE(form.editArea()->text(), QStringLiteral("</ol></ul>"));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, MenuTest)
#include "test_menu.moc"
