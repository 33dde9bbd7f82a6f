#include "app/command_line.h"
#include "app/main_window.h"
#include "app/open_document.h"
#include "app/recovery_keeper.h"
#include "editor/edit_area.h"
#include "editor/find_bar.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Kind = ScriptedDialogs::Kind;
using test_files::readBytes;
using test_files::writeBytes;

class TabsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    QString recovery() const { return dir_.filePath(QStringLiteral("recovery")); }
    QStringList copies() const {
        QStringList found;
        for (const RecoveryCopy& copy : RecoveryStore(recovery()).orphans())
            found << QFileInfo(copy.path).fileName() + (copy.closedByUser ? "(closed)" : "");
        found.sort();
        return found;
    }

private slots:
    void init() {
        QDir(recovery()).removeRecursively();
        QFile::remove(path("new.htm"));
        QVERIFY(writeBytes(path("a.htm"), "<p>caf\xE9</p>\r\n"));        // Latin-1, CR LF
        QVERIFY(writeBytes(path("b.htm"), "<p>b</p>\n<p>\xC3\xA9</p>\n")); // UTF-8, LF
    }

    // The tab commands, each step through its keys in a real window: what is open and in front,
    // and the title and status bar of the document in front.
    void theTabCommandsWorkOnTheirDocuments() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        window.setQuitHandler([] {});
        window.openStartupArgument(QString());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("documentTabs"));
        QVERIFY(!tabs->tabBar()->isVisible()); // one document: the window as it always was
        window.action(QStringLiteral("statusBar"))->trigger();
        struct Step {
            const char* keys;
            const char* answer; // a file for the dialog, or nothing
            int documents;
            int front;
            const char* title; // after "Tagloom - "; a path is the test folder's
            const char* encoding;
        };
        const Step steps[] = {
            {"Ctrl+T", nullptr, 2, 1, "Untitled", "UTF-8"}, // a new tab is no change: no mark
            {"Ctrl+Shift+O", "a.htm", 2, 1, "a.htm", "windows-1252"}, // the empty tab takes it
            {"Ctrl+Shift+O", "b.htm", 3, 2, "b.htm", "UTF-8"},
            {"Ctrl+Shift+O", "a.htm", 3, 1, "a.htm", "windows-1252"}, // open already: its tab shows
            {"Ctrl+PgDown", nullptr, 3, 2, "b.htm", "UTF-8"},
            {"Ctrl+Tab", nullptr, 3, 0, "Untitled*", "UTF-8"}, // the window's first page, as always
            {"Ctrl+Shift+Tab", nullptr, 3, 2, "b.htm", "UTF-8"},
            {"Ctrl+PgUp", nullptr, 3, 1, "a.htm", "windows-1252"},
        };
        for (const Step& step : steps) {
            if (step.answer)
                dialogs.answer(path(step.answer));
            QTest::keySequence(QApplication::focusWidget(), QKeySequence(QString::fromLatin1(step.keys)));
            QCOMPARE(window.documents().size(), step.documents);
            QCOMPARE(tabs->currentIndex(), step.front);
            const QString title = QString::fromLatin1(step.title);
            QCOMPARE(test_files::shownTitle(window),
                     title.endsWith(u".htm") ? test_files::titleOf(path(step.title)) : "Tagloom - " + title);
            QCOMPARE(window.statusTexts().value(2), QString::fromLatin1(step.encoding));
            QCOMPARE(QApplication::focusWidget(), window.editArea());
        }
        QVERIFY(tabs->tabBar()->isVisible());
        // Each tab shows its own marker and path; the window's marker follows the tab in front.
        QTest::keyClicks(window.editArea(), QStringLiteral("x"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("a.htm *"));
        QCOMPARE(tabs->tabToolTip(1), QDir::toNativeSeparators(path("a.htm")));
        QVERIFY(window.isWindowModified());
        // Each keeps its own find bar.
        window.find();
        QVERIFY(!window.findBar()->isHidden());
        window.nextTab();
        QVERIFY(!window.isWindowModified());
        QCOMPARE(tabs->tabText(2), QStringLiteral("b.htm"));
        QVERIFY(window.findBar()->isHidden());
        QCOMPARE(window.statusTexts().value(3), QStringLiteral("LF"));
        dialogs.answer(1); // Discard All
        window.exitProgram();
    }

    // Closing a tab asks only when its text is unsaved; a Discard keeps the text for a week, and
    // the last tab closed leaves an empty page.
    void closingATabAsksWhenItsTextIsUnsaved_data() {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("answer"); // Save, Discard, Cancel
        QTest::addColumn<int>("documentsLeft");
        QTest::addColumn<QByteArray>("fileAfter");
        QTest::addColumn<QStringList>("copiesAfter");
        const QByteArray saved = "X<p>caf\xE9</p>\r\n";
        const QByteArray original = "<p>caf\xE9</p>\r\n";
        QTest::newRow("not edited: no question") << false << -1 << 1 << original << QStringList();
        QTest::newRow("Save") << true << 0 << 1 << saved << QStringList();
        QTest::newRow("Discard") << true << 1 << 1 << original << QStringList{"a.htm(closed)"};
        QTest::newRow("Cancel") << true << 2 << 2 << original << QStringList();
    }
    void closingATabAsksWhenItsTextIsUnsaved() {
        QFETCH(bool, edited);
        QFETCH(int, answer);
        QFETCH(int, documentsLeft);
        QFETCH(QByteArray, fileAfter);
        QFETCH(QStringList, copiesAfter);
        QStringList left;
        {
            ScriptedDialogs dialogs;
            MainWindow window(dialogs, nullptr, recovery());
            window.openStartupArgument(path("b.htm"));
            QVERIFY(window.openInTab(path("a.htm")));
            if (edited) {
                window.editArea()->setCaretPosition(0);
                window.editArea()->replaceSelection(QStringLiteral("X"));
            }
            if (answer >= 0)
                dialogs.answer(answer);
            window.closeTab();
            QCOMPARE(dialogs.shown.size(), answer >= 0 ? 1 : 0);
            if (answer >= 0)
                QCOMPARE(dialogs.shown[0].text, QStringLiteral("Save the changes to a.htm before closing it?"));
            QCOMPARE(window.documents().size(), documentsLeft);
            QCOMPARE(readBytes(path("a.htm")), fileAfter);
            QCOMPARE(copies(), copiesAfter);
            // The last tab closed leaves an empty page without a file.
            for (OpenDocument* document : window.documents())
                left << QFileInfo(document->path()).fileName();
            for (int i = 0; i < documentsLeft; ++i) {
                dialogs.answer(1); // Discard, if asked
                window.closeTab();
            }
            QCOMPARE(window.documents().size(), 1);
            QVERIFY(window.currentFile().isEmpty());
            QVERIFY(window.editArea()->document()->isEmpty());
        }
        QCOMPARE(left.first(), QStringLiteral("b.htm"));
    }

    // Closing the window asks once: the program's own question for one document, one list of
    // the unsaved pages for several.
    void closingTheWindowAsksOnceForEveryUnsavedPage_data() {
        QTest::addColumn<int>("documents");
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("savedFiles");
        QTest::addColumn<int>("keptCopies");
        const QString list = "These pages have unsaved changes:\n\n" + QDir::toNativeSeparators(path("b.htm")) +
                             "\nUntitled\n\nSave them before closing?";
        QTest::newRow("one document") << 1 << QVariant(true) << "Are you sure you want to close?" << true << 0 << 1;
        QTest::newRow("two, Save All") << 2 << QVariant(0) << list << true << 2 << 0;
        QTest::newRow("two, Discard All") << 2 << QVariant(1) << list << true << 0 << 2;
        QTest::newRow("two, Cancel") << 2 << QVariant(2) << list << false << 0 << 0;
    }
    void closingTheWindowAsksOnceForEveryUnsavedPage() {
        QFETCH(int, documents);
        QFETCH(QVariant, answer);
        QFETCH(QString, question);
        QFETCH(bool, closed);
        QFETCH(int, savedFiles);
        QFETCH(int, keptCopies);
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        bool quit = false;
        window.setQuitHandler([&] { quit = true; });
        window.openStartupArgument(path("b.htm"));
        window.editArea()->replaceSelection(QStringLiteral("X"));
        if (documents == 2) {
            window.newTab();
            window.editArea()->replaceSelection(QStringLiteral("new"));
        }
        dialogs.answer(answer);
        if (answer.toInt() == 0 && documents == 2)
            dialogs.answer(path("new.htm")); // Save As for the page without a file
        QCOMPARE(window.close(), closed);
        QCOMPARE(dialogs.shown[0].text, question);
        QCOMPARE(quit, closed);
        QCOMPARE(int(readBytes(path("b.htm")).startsWith("X")) + int(QFile::exists(path("new.htm"))), savedFiles);
        QCOMPARE(copies().size(), keptCopies);
    }

    // Each document keeps its own recovery copy: after a crash, both come back.
    void eachDocumentKeepsItsOwnRecoveryCopy() {
        {
            ScriptedDialogs dialogs;
            MainWindow crashed(dialogs, nullptr, recovery());
            crashed.openStartupArgument(path("a.htm"));
            crashed.editArea()->replaceSelection(QStringLiteral("one"));
            QVERIFY(crashed.openInTab(path("b.htm")));
            crashed.editArea()->replaceSelection(QStringLiteral("two"));
            for (OpenDocument* document : crashed.documents()) {
                document->keeper().writeSoon();
                document->keeper().waitForWrites();
            }
            QVERIFY(copies().isEmpty()); // held by the live window
            // Gone without a close: the locks go with it, the copies stay.
        }
        QCOMPARE(copies(), (QStringList{"a.htm", "b.htm"}));
        // Recovered into a window that holds a.htm already: its copy goes into its tab, b.htm's
        // comes back in a tab of its own.
        ScriptedDialogs dialogs;
        MainWindow next(dialogs, nullptr, recovery());
        next.openStartupArgument(path("a.htm"));
        for (int i = 0; i < 2; ++i) {
            dialogs.answer(0);
            next.offerRecovery(false);
        }
        QCOMPARE(next.documents().size(), 2);
        QStringList recovered;
        for (OpenDocument* document : next.documents()) {
            QVERIFY(document->isModified());
            recovered << document->editArea()->text().left(3);
        }
        recovered.sort();
        QCOMPARE(recovered, (QStringList{"one", "two"}));
    }

    // A page brought to the front is checked for changes by other programs, as the window is
    // when it comes back.
    void aPageBroughtToTheFrontNoticesOtherProgramsChanges() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        window.openStartupArgument(path("a.htm"));
        QVERIFY(window.openInTab(path("b.htm")));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.previousTab();
        QTest::qWait(50);
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(writeBytes(path("b.htm"), "<p>changed</p>\n"));
        dialogs.answer(0); // Reload
        window.nextTab();
        QTRY_VERIFY(!dialogs.shown.isEmpty());
        QVERIFY(dialogs.shown[0].text.contains(QStringLiteral("was changed by another program")));
        QCOMPARE(window.editArea()->text(), QStringLiteral("<p>changed</p>"));
        QCOMPARE(window.currentFile(), path("b.htm"));
    }

    // With the option on, the pages open at the exit come back at the next start, each with its
    // caret, the one in front in front again; with it off, nothing is kept.
    void theLastSessionComesBackWhenAsked_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("second"); // the second page's name
        QTest::newRow("on") << true << "b.htm";
        QTest::newRow("off") << false << "b.htm";
        // A name may hold a line end: the session holds it whole, and no other file comes back.
#ifdef Q_OS_UNIX // where a name may hold a line end
        QTest::newRow("a name with a line end") << true << "b\n1:1\tb.htm";
#endif
    }
    void theLastSessionComesBackWhenAsked() {
        QFETCH(bool, on);
        QFETCH(QString, second);
        const QString b = dir_.filePath(second);
        if (second != u"b.htm")
            QVERIFY(QFile::copy(path("b.htm"), b));
        QSettings().clear();
        if (on)
            QSettings().setValue(QStringLiteral("files/reopenLastSession"), true);
        {
            ScriptedDialogs dialogs;
            MainWindow window(dialogs, nullptr, recovery());
            window.setQuitHandler([] {});
            window.openStartupArgument(path("a.htm"));
            window.editArea()->goToLine(1, 4);
            QVERIFY(window.openInTab(b));
            window.editArea()->goToLine(2, 3);
            window.newTab(); // a page without a file is not kept
            window.previousTab();
            dialogs.answer(true);
            window.exitProgram();
        }
        ScriptedDialogs dialogs;
        MainWindow next(dialogs, nullptr, recovery());
        QCOMPARE(next.reopenLastSession(), on);
        QSettings().clear();
        if (!on) {
            QCOMPARE(next.documents().size(), 1);
            return;
        }
        QCOMPARE(next.documents().size(), 2);
        QCOMPARE(next.currentFile(), b);
        QCOMPARE(next.editArea()->caretPlace().line, 2);
        QCOMPARE(next.editArea()->caretPlace().column, 3);
        next.nextTab();
        QCOMPARE(next.currentFile(), path("a.htm"));
        QCOMPARE(next.editArea()->caretPlace().column, 4);
    }

    // Several files named at start-up open in tabs of their own, unless together they are the
    // name of one file (a name with blanks, given without quotes).
    void severalFilesAtStartOpenAsSeveralDocuments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("separate");
        QTest::newRow("one file") << QStringList{"a.htm"} << QStringList();
        QTest::newRow("two files") << QStringList{"a.htm", "b.htm"} << QStringList{"a.htm", "b.htm"};
        QTest::newRow("a name with a blank") << QStringList{"my", "page.htm"} << QStringList();
    }
    void severalFilesAtStartOpenAsSeveralDocuments() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, separate);
        QVERIFY(writeBytes(path("my page.htm"), "<p>blank</p>"));
        QDir::setCurrent(dir_.path()); // the names are relative, as typed in a shell
        QCOMPARE(command_line::separateFiles(arguments), separate);
        if (separate.isEmpty())
            return;
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        window.openStartupFiles(separate);
        QCOMPARE(window.documents().size(), 2);
        QCOMPARE(window.currentFile(), separate[0]);
        QCOMPARE(window.documents()[1]->path(), separate[1]);
        QCOMPARE(window.documents()[1]->editArea()->text(), QString::fromUtf8("<p>b</p>\r\n<p>é</p>"));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, TabsTest)
#include "test_tabs.moc"
