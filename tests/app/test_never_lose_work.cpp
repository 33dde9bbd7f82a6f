// The modified marker, recovery copies, changes made by other programs, and the save offer.
#include "app/main_window.h"
#include "app/open_document.h"
#include "app/recovery_keeper.h"
#include "document/held_lock.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {
using Kind = ScriptedDialogs::Kind;
using test_files::readBytes;
using test_files::writeBytes;

class NeverLoseWorkTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    QString recovery() const { return dir_.filePath(QStringLiteral("recovery")); }

    // A window on a fresh copy of a page with mixed line ends in Latin-1, edited at its start.
    void openEdited(MainWindow& window, const char* name) {
        QVERIFY(writeBytes(path(name), "<meta charset=\"iso-8859-1\">\r\ncaf\xE9\nend"));
        window.openStartupArgument(path(name));
        window.editArea()->setCaretPosition(0);
        window.editArea()->replaceSelection(QStringLiteral("X"));
    }
    // A copy now, as after two seconds without typing.
    static void writeCopy(MainWindow& window) {
        window.recoveryKeeper().writeSoon();
        window.recoveryKeeper().waitForWrites();
    }
    qsizetype copies(MainWindow& window) const {
        writeCopy(window);
        return QDir(recovery()).entryList({QStringLiteral("*.tgr")}).size();
    }

    // A window that edited @p name and is gone without a close: its lock goes with it, its
    // copy stays.
    void crashEdited(const char* name) {
        ScriptedDialogs dialogs;
        MainWindow crashed(dialogs, nullptr, recovery());
        openEdited(crashed, name);
        writeCopy(crashed);
    }

private slots:
    void init() {
        QDir(recovery()).removeRecursively();
        QSettings().clear();
    }

    void theMarkerFollowsTheTextNotItsColour() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        QVERIFY(writeBytes(path("m.htm"), "<b>x</b>\n"));
        window.openStartupArgument(path("m.htm"));
        QVERIFY(!window.isWindowModified());
        window.colourAsHtml();
        QVERIFY(!window.isWindowModified());
        QTest::keyClicks(window.editArea(), QStringLiteral("ab"));
        QVERIFY(window.isWindowModified());
        QCOMPARE(test_files::shownTitle(window), test_files::titleOf(path("m.htm")) + "*");
        window.editArea()->undo();
        QVERIFY(!window.isWindowModified()); // back to the saved text
        QTest::keyClicks(window.editArea(), QStringLiteral("c"));
        QVERIFY(window.save());
        QVERIFY(!window.isWindowModified());
    }

    void aCrashedInstancesTextComesBackWithItsFileAndFormat() {
        crashEdited("crash.htm");
        ScriptedDialogs dialogs;
        MainWindow next(dialogs, nullptr, recovery());
        dialogs.answer(0);
        next.offerRecovery(true);
        QCOMPARE(dialogs.recoveryItems.size(), 1);
        QCOMPARE(dialogs.recoveryItems[0].file, QStringLiteral("crash.htm"));
        QCOMPARE(dialogs.recoveryItems[0].firstLine, QStringLiteral("X<meta charset=\"iso-8859-1\">"));
        QCOMPARE(next.currentFile(), path("crash.htm"));
        QVERIFY(next.isWindowModified());
        QVERIFY(next.save());
        QCOMPARE(readBytes(path("crash.htm")), QByteArray("X<meta charset=\"iso-8859-1\">\r\ncaf\xE9\nend"));
        QVERIFY(QDir(recovery()).entryList({QStringLiteral("*.tgr")}).isEmpty()); // saved: no copy left
    }

    // The last session comes back with the crashed pages' files; their copies go into those
    // tabs, never beside them, and saving one is no outside change to anything.
    void aRecoveredCopyOfAnOpenFileGoesIntoItsTab() {
        crashEdited("crash.htm");
        ScriptedDialogs dialogs;
        MainWindow next(dialogs, nullptr, recovery());
        next.openStartupArgument(path("crash.htm")); // as the session brings it back
        QVERIFY(writeBytes(path("other.htm"), "o"));
        QVERIFY(next.openInTab(path("other.htm"))); // in front: the copy still finds its tab
        dialogs.answer(0);
        next.offerRecovery(true);
        QCOMPARE(next.documents().size(), 2);
        QCOMPARE(next.currentFile(), path("crash.htm"));
        QVERIFY(next.isWindowModified());
        QVERIFY(next.editArea()->text().startsWith(QStringLiteral("X<meta")));
        QVERIFY(next.save());
        QCOMPARE(readBytes(path("crash.htm")), QByteArray("X<meta charset=\"iso-8859-1\">\r\ncaf\xE9\nend"));
        next.editArea()->undo(); // the file's text again, in one step
        QVERIFY(next.editArea()->text().startsWith(QStringLiteral("<meta")));
        QVERIFY(next.save()); // asks first whether another program changed the file
        QCOMPARE(dialogs.unanswered(), 0);
        for (const ScriptedDialogs::Shown& shown : dialogs.shown)
            QVERIFY2(!shown.text.contains(QStringLiteral("changed by another program")), qPrintable(shown.text));
    }

    void aCloseAnsweredYesKeepsTheTextForLater() {
        {
            ScriptedDialogs dialogs;
            MainWindow closed(dialogs, nullptr, recovery());
            closed.setQuitHandler([] {});
            openEdited(closed, "yes.htm");
            dialogs.answer(true);
            closed.exitProgram();
        }
        for (int start = 0; start < 2; ++start) {
            ScriptedDialogs dialogs;
            MainWindow next(dialogs, nullptr, recovery());
            next.offerRecovery(true); // a deliberate discard opens no list at a start
            QCOMPARE(dialogs.shown.size(), 0);
        }
        ScriptedDialogs dialogs;
        MainWindow next(dialogs, nullptr, recovery());
        dialogs.answer(0);
        next.recoverUnsavedWork(); // the menu still has it
        QCOMPARE(next.editArea()->text(),
                 QStringLiteral("X<meta charset=\"iso-8859-1\">\r\ncaf\u00E9\r\nend"));
        QCOMPARE(next.documentFormat().encoding, QByteArray("ISO-8859-1"));
    }

    void twoInstancesNeverTakeEachOthersCopies() {
        ScriptedDialogs dialogs;
        MainWindow live(dialogs, nullptr, recovery());
        openEdited(live, "live.htm");
        writeCopy(live);
        // Another instance's store takes its locks through files of its own: the live copy is held.
        RecoveryStore other(recovery());
        QVERIFY(other.orphans().isEmpty());
        other.discard(live.recoveryStore().ownId());
        QVERIFY(!other.read(live.recoveryStore().ownId()));
        QCOMPARE(QDir(recovery()).entryList({QStringLiteral("*.tgr")}).size(), 1);
    }

    void copiesGoAfterASave() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        openEdited(window, "gone.htm");
        QCOMPARE(copies(window), 1);
        QVERIFY(window.save());
        QCOMPARE(copies(window), 0);
        window.editArea()->replaceSelection(QStringLiteral("Y"));
        QCOMPARE(copies(window), 1);
    }

    // Only text that differs from its file is copied: loading a page is no edit.
    void aPageNeverEditedHasNoCopy_data() {
        QTest::addColumn<QString>("argument");
        QTest::newRow("a page as opened") << QStringLiteral("plain.htm");
        QTest::newRow("a device") << QStringLiteral("/dev/zero");
        QTest::newRow("a missing file") << QStringLiteral("missing.htm");
    }
    void aPageNeverEditedHasNoCopy() {
        QFETCH(QString, argument);
        QVERIFY(writeBytes(path("plain.htm"), "<p>as it was</p>\n"));
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        window.openStartupArgument(argument.startsWith(u'/') ? argument : path(argument.toUtf8().constData()));
        window.recoveryKeeper().changed(); // as the load's own change reports would
        QCOMPARE(copies(window), 0);
    }

    // A Yes to a question that replaces the page keeps its text for a week, as a Yes at close does;
    // Recover replaces nothing: the recovered page gets a tab of its own.
    void aReplacedPageIsKeptForLater_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("New Blank") << "newBlank";
        QTest::newRow("New HTML Page") << "newHtmlPage";
        QTest::newRow("Open") << "openFile";
        QTest::newRow("Recover") << "recover";
    }
    void aReplacedPageIsKeptForLater() {
        QFETCH(QString, command);
        if (command == u"recover") { // a copy to recover in place of the edited page
            ScriptedDialogs dialogs;
            MainWindow crashed(dialogs, nullptr, recovery());
            crashed.editArea()->replaceSelection(QStringLiteral("crashed"));
            writeCopy(crashed);
            crashed.recoveryStore().keepAfterClose({QStringLiteral("crashed"), {}, {}, {}});
        }
        QVERIFY(writeBytes(path("other.htm"), "other\n"));
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        openEdited(window, "replaced.htm");
        writeCopy(window);
        if (command == u"recover") {
            dialogs.answer(0);
            window.recoverUnsavedWork();
            QCOMPARE(window.editArea()->text(), QStringLiteral("crashed"));
            QCOMPARE(window.documents().size(), 2);
            QVERIFY(window.documents()[0]->editArea()->text().startsWith(u'X'));
            QVERIFY(RecoveryStore(recovery()).orphans().isEmpty()); // both pages are live
            return;
        } else {
            dialogs.answer(true);
            dialogs.answer(path("other.htm"));
            (window.*(command == u"newBlank"      ? &MainWindow::newBlank
                      : command == u"newHtmlPage" ? &MainWindow::newHtmlPage
                                                  : &MainWindow::openFile))();
        }
        RecoveryStore other(recovery());
        const QList<RecoveryCopy> kept = other.orphans();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].firstLine, QStringLiteral("X<meta charset=\"iso-8859-1\">"));
        QVERIFY(kept[0].closedByUser);
        QCOMPARE(kept[0].path, path("replaced.htm"));
    }

#ifdef Q_OS_UNIX
    // The recovery folder trusts nothing it finds there: what is not the user's own regular file
    // is neither read nor written through, and a folder that is not the user's own is not used.
    void theRecoveryFolderTrustsNothingItFinds_data() {
        QTest::addColumn<QString>("planted");
        QTest::newRow("a copy that is a link to a pipe") << "copy to pipe";
        QTest::newRow("a copy that is a link to an endless device") << "copy to device";
        QTest::newRow("a copy that is a link to a file outside") << "copy to file";
        QTest::newRow("a lock that is a link") << "lock to file";
        QTest::newRow("a folder that is a link to a shared folder") << "folder link";
    }
    void theRecoveryFolderTrustsNothingItFinds() {
        QFETCH(QString, planted);
        QVERIFY(QDir().mkpath(recovery()));
        QVERIFY(::chmod(QFile::encodeName(recovery()).constData(), 0700) == 0);
        const QString outside = path("outside.txt");
        QFile::remove(outside);
        QFile::remove(path("pipe"));
        const QString id = QStringLiteral("20261208-000000-000-1-1");
        const QString copy = recovery() + QLatin1Char('/') + id + QStringLiteral(".tgr");
        auto link = [](const QString& target, const QString& name) {
            return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()) == 0;
        };
        if (planted == u"copy to pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600) == 0);
            QVERIFY(link(path("pipe"), copy));
        } else if (planted == u"copy to device") {
            QVERIFY(link(QStringLiteral("/dev/zero"), copy));
        } else if (planted == u"copy to file") {
            QVERIFY(writeBytes(outside, "{\"saved\":\"2099-01-01T00:00:00.000Z\",\"size\":1}\nx"));
            QVERIFY(link(outside, copy));
        } else if (planted == u"lock to file") {
            QVERIFY(writeBytes(copy, "{\"saved\":\"2099-01-01T00:00:00.000Z\",\"size\":1}\nx"));
            QVERIFY(link(outside, recovery() + QLatin1Char('/') + id + QStringLiteral(".lock")));
        } else {
            QDir(recovery()).removeRecursively();
            QVERIFY(QDir().mkpath(path("shared")));
            QVERIFY(::chmod(QFile::encodeName(path("shared")).constData(), 01777) == 0);
            QVERIFY(link(path("shared"), recovery()));
        }
        const QByteArray outsideBefore = readBytes(outside);
        RecoveryStore store(recovery());
        QVERIFY(store.orphans().isEmpty()); // a hang here fails by the test's timeout
        QVERIFY(!store.read(id));
        store.markOffered(id);
        if (planted == u"folder link") {
            QVERIFY(!store.prepareOwn());
            QVERIFY(!RecoveryStore(recovery()).keepAfterClose({QStringLiteral("secret"), {}, {}, {}}));
            QVERIFY(QDir(path("shared")).entryList(QDir::Files).isEmpty());
            QFile::remove(recovery());
        }
        QCOMPARE(readBytes(outside), outsideBefore);
    }

    // A recovery folder that cannot be used keeps no copy, and the window says so once.
    void aRefusedRecoveryFolderIsSaidOnce() {
        QVERIFY(QDir().mkpath(path("elsewhere")));
        QVERIFY(::symlink(QFile::encodeName(path("elsewhere")).constData(), QFile::encodeName(recovery()).constData()) == 0);
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        for (const char* typed : {"one", "two", "three"}) {
            window.editArea()->replaceSelection(QString::fromLatin1(typed));
            writeCopy(window);
        }
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown[0].text.contains(QStringLiteral("keeps no recovery copies")), qPrintable(dialogs.shown[0].text));
        QVERIFY(dialogs.shown[0].text.contains(recovery()));
        QVERIFY(QDir(path("elsewhere")).isEmpty());
        QFile::remove(recovery());
    }

    // A copy names its file: only a file of the user's own is saved over without asking.
    void aRecoveredPageWhoseFileIsNotTheUsersSavesThroughSaveAs_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("missing") << "missing";
        QTest::newRow("another user's") << "nobody";
    }
    void aRecoveredPageWhoseFileIsNotTheUsersSavesThroughSaveAs() {
        QFETCH(QString, file);
        const QString named = path("named.htm");
        QVERIFY(writeBytes(named, "theirs"));
        if (file == u"nobody") {
            if (::geteuid() != 0)
                QSKIP("needs root to give the file to another user");
            QVERIFY(::chown(QFile::encodeName(named).constData(), 65534, 65534) == 0);
        } else {
            QFile::remove(named);
        }
        RecoveryStore(recovery()).keepAfterClose({QStringLiteral("recovered"), named, {}, {}});
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        dialogs.answer(0);
        window.recoverUnsavedWork();
        QCOMPARE(window.editArea()->text(), QStringLiteral("recovered"));
        QCOMPARE(window.currentFile(), QString());
        dialogs.answer(path("chosen.htm"));
        QVERIFY(window.save());
        QVERIFY(readBytes(path("chosen.htm")).startsWith("recovered"));
        QCOMPARE(readBytes(named), QByteArray(file == u"nobody" ? "theirs" : ""));
        QFile::remove(named);
    }
#endif

    void aChangeByAnotherProgramIsAskedAbout_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("theirs");
        QTest::addColumn<bool>("timePutBack");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QString>("inEditor");
        QTest::newRow("Reload") << 0 << QByteArray("theirs\n") << false << QByteArray("theirs\n") << "theirs";
        QTest::newRow("Keep Mine") << 1 << QByteArray("theirs\n") << false << QByteArray("mine\n") << "mine";
        QTest::newRow("Cancel") << 2 << QByteArray("theirs\n") << false << QByteArray("theirs\n") << "mine";
#ifdef Q_OS_UNIX
        // The same size, and the modification time set back as it was: the status change time tells.
        QTest::newRow("time put back") << 2 << QByteArray("OURS\n") << true << QByteArray("OURS\n") << "mine";
#endif
    }
    void aChangeByAnotherProgramIsAskedAbout() {
        QFETCH(int, answer);
        QFETCH(QByteArray, theirs);
        QFETCH(bool, timePutBack);
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, inEditor);
        Q_UNUSED(timePutBack) // a row only where files have a status change time
        QVERIFY(writeBytes(path("shared.htm"), "ours\n"));
#ifdef Q_OS_UNIX
        struct stat before {};
        QVERIFY(::stat(QFile::encodeName(path("shared.htm")).constData(), &before) == 0);
#endif
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        window.openStartupArgument(path("shared.htm"));
        window.editArea()->setText(QStringLiteral("mine"));
        QTest::qWait(10); // a modification time the other program's write can differ from
        QVERIFY(writeBytes(path("shared.htm"), theirs));
#ifdef Q_OS_UNIX
        if (timePutBack) {
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path("shared.htm")).constData(), times, 0) == 0);
        }
#endif
        dialogs.answer(answer);
        window.save();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].kind, Kind::Choice);
        QVERIFY(dialogs.shown[0].text.contains(QDir::toNativeSeparators(path("shared.htm"))));
        QCOMPARE(dialogs.shown[0].defaultAnswer, QStringLiteral("Reload|Keep Mine|Cancel"));
        QCOMPARE(readBytes(path("shared.htm")), onDisk);
        QCOMPARE(window.editArea()->text(), inEditor);
        if (answer == 0) {
            window.editArea()->undo(); // the reload is one step
            QCOMPARE(window.editArea()->text(), QStringLiteral("mine"));
        }
    }

    void focusWritesACopyAndComingBackChecksTheDisk() {
        QVERIFY(writeBytes(path("focus.htm"), "ours\n"));
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        window.openStartupArgument(path("focus.htm"));
        QWidget other;
        window.show();
        other.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.editArea()->replaceSelection(QStringLiteral("X"));
        other.activateWindow(); // leaving the window writes a copy at once
        QVERIFY(QTest::qWaitForWindowActive(&other));
        window.recoveryKeeper().waitForWrites();
        QCOMPARE(QDir(recovery()).entryList({QStringLiteral("*.tgr")}).size(), 1);
        QTest::qWait(10);
        QVERIFY(writeBytes(path("focus.htm"), "theirs\n"));
        dialogs.answer(2); // Cancel: asked once, not again for the same change
        window.activateWindow();
        QTRY_COMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].defaultAnswer, QStringLiteral("Reload|Keep Mine|Cancel"));
        other.activateWindow();
        window.activateWindow();
        QTest::qWait(50);
        QCOMPARE(dialogs.shown.size(), 1);
    }

    void aDeletedFileIsSaidAndSaveWritesItAgain() {
        QVERIFY(writeBytes(path("deleted.htm"), "old\n"));
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        window.openStartupArgument(path("deleted.htm"));
        QWidget other;
        window.show();
        other.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(QFile::remove(path("deleted.htm")));
        window.activateWindow(); // said once, when the window gets the focus back
        QTRY_COMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown[0].text.contains(QStringLiteral("was deleted or moved")));
        QVERIFY(window.save());
        QCOMPARE(readBytes(path("deleted.htm")), QByteArray("old\n"));
        QCOMPARE(dialogs.shown.size(), 1);
    }

    void theSaveOfferIsAnOptionOffByDefault_data() {
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::newRow("off: the program's question")
            << false << true << QVariant(true) << "Are you sure you want to close?" << true
            << QByteArray("old\n");
        QTest::newRow("on, unmodified: no question")
            << true << false << QVariant() << "" << true << QByteArray("old\n");
        QTest::newRow("on: Save") << true << true << QVariant(0) << "Save the changes to offer.htm?" << true
                                  << QByteArray("Xold\n");
        QTest::newRow("on: Discard") << true << true << QVariant(1) << "Save the changes to offer.htm?"
                                     << true << QByteArray("old\n");
        QTest::newRow("on: Cancel") << true << true << QVariant(2) << "Save the changes to offer.htm?"
                                    << false << QByteArray("old\n");
    }
    void theSaveOfferIsAnOptionOffByDefault() {
        QFETCH(bool, option);
        QFETCH(bool, modified);
        QFETCH(QVariant, answer);
        QFETCH(QString, asked);
        QFETCH(bool, ended);
        QFETCH(QByteArray, onDisk);
        QVERIFY(writeBytes(path("offer.htm"), "old\n"));
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, recovery());
        bool quit = false;
        window.setQuitHandler([&] { quit = true; });
        QVERIFY(!window.action(QStringLiteral("offerToSave"))->isChecked());
        if (option)
            window.action(QStringLiteral("offerToSave"))->trigger();
        window.openStartupArgument(path("offer.htm"));
        if (modified)
            window.editArea()->replaceSelection(QStringLiteral("X"));
        if (answer.isValid())
            dialogs.answer(answer);
        window.close();
        QCOMPARE(dialogs.shown.isEmpty() ? QString() : dialogs.shown[0].text, asked);
        QCOMPARE(quit, ended);
        QCOMPARE(readBytes(path("offer.htm")), onDisk);
    }

#ifdef TAGLOOM_TABS_PROBE
    // Many big pages opened at once, under a memory limit: each is weighed against what the
    // pages before it will take once they are in, and those that do not fit are refused with a
    // message. No allocation fails, nothing aborts.
    void manyBigPagesAreWeighedAgainstWhatIsLeft_data() {
        QTest::addColumn<bool>("oneAfterAnother");
        QTest::newRow("named at start-up") << false;
        QTest::newRow("Open in Tab while the pages before still load") << true;
    }
    void manyBigPagesAreWeighedAgainstWhatIsLeft() {
        QFETCH(bool, oneAfterAnother);
#ifdef TAGLOOM_SANITIZED
        QSKIP("the address sanitizer needs more address space than the limit this test sets");
#endif
        QTemporaryDir pages;
        QStringList files;
        const QByteArray page = "<!DOCTYPE html>\n" + QByteArray("<p>a short line</p>\n").repeated(150'000); // 3 MB
        for (int i = 0; i < 16; ++i) {
            files << pages.filePath(QStringLiteral("p%1.html").arg(i));
            QVERIFY(writeBytes(files.last(), page));
        }
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (oneAfterAnother)
            environment.insert(QStringLiteral("TABS_PROBE_OPEN"), QStringLiteral("1"));
        probe.setProcessEnvironment(environment);
        probe.start(QStringLiteral(TAGLOOM_TABS_PROBE), QStringList{QStringLiteral("900")} + files);
        QVERIFY(probe.waitForFinished(120000));
        const QStringList out = QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
        const int opened = out.value(0).toInt();
        QVERIFY2(opened > 0 && opened < files.size(), qPrintable(out.join(u'\n')));
        QCOMPARE(out.size() - 1, files.size() - opened); // a message for each page refused
        for (const QString& message : out.mid(1))
            QVERIFY2(message.startsWith(QStringLiteral("Error 7: Out of memory: opening it would need about")), qPrintable(message));
    }
#endif

    void optionsAreWrittenOnlyWhenTheUserChangesOne() {
        QSettings().sync();
        const QString file = QSettings().fileName();
        QFile::remove(file);
        ScriptedDialogs dialogs;
        {
            MainWindow window(dialogs, nullptr, recovery());
            window.openStartupArgument(QString());
            window.colourAsHtml();
        }
        QSettings().sync();
        QVERIFY(!QFile::exists(file));
        MainWindow window(dialogs, nullptr, recovery());
        window.action(QStringLiteral("offerToSave"))->trigger();
        QSettings().sync();
        QVERIFY(QFile::exists(file));
        QVERIFY(MainWindow(dialogs, nullptr, recovery()).action(QStringLiteral("offerToSave"))->isChecked());
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, NeverLoseWorkTest)
#include "test_never_lose_work.moc"
