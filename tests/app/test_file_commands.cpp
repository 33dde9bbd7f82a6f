#include "app/main_window.h"
#include "app/recent_files.h"
#include "document/document_file.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"
#include "support/url_catcher.h"

#include <QApplication>
#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
using Kind = ScriptedDialogs::Kind;
using test_files::readBytes;
using test_files::writeBytes;

class FileCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    QStringList leftovers() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".tgl-"));
    }

private slots:
    void openWithAnEmptyDocumentAsksNothingAndShowsTheDialog() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        QVERIFY(writeBytes(path("open.htm"), "<p>\n"));
        dialogs.answer(path("open.htm"));
        form.openFile();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].kind, Kind::Open);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Select File to Open!"));
        QVERIFY(dialogs.shown[0].defaultAnswer.startsWith(QStringLiteral("File Type (*.*)")));
        QCOMPARE(dialogs.shown[0].folder, QDir::currentPath());
        QCOMPARE(dialogs.shown[0].owner, &form);
        QCOMPARE(form.editArea()->text(), QStringLiteral("<p>"));
        QCOMPARE(form.currentFile(), path("open.htm"));
        QCOMPARE(test_files::shownTitle(form), test_files::titleOf(path("open.htm")));
    }

    // With the option on, the dialogs start where the page is, else where the last one chose a
    // file, else in the folder of the last file opened, else at home; off, they stay as they were.
    void theDialogsStartWhereTheWorkIs_data() {
        QTest::addColumn<bool>("webPages");
        QTest::addColumn<QString>("page");       // the page in the window
        QTest::addColumn<QString>("chosenBefore"); // a file an earlier Open chose, then New Blank
        QTest::addColumn<QString>("recent");     // the last file opened in an earlier run
        QTest::addColumn<QString>("folder");     // "home", or a folder under the test's one
        QTest::newRow("option off") << false << "a/p.html" << "" << "" << "";
        QTest::newRow("the page's folder") << true << "a/p.html" << "b/q.html" << "c/r.html" << "a";
        QTest::newRow("the last dialog's folder") << true << "" << "b/q.html" << "c/r.html" << "b";
        QTest::newRow("the last file's folder") << true << "" << "" << "c/r.html" << "c";
        QTest::newRow("home") << true << "" << "" << "" << "home";
    }
    void theDialogsStartWhereTheWorkIs() {
        QFETCH(bool, webPages);
        QFETCH(QString, page);
        QFETCH(QString, chosenBefore);
        QFETCH(QString, recent);
        QFETCH(QString, folder);
        for (const char* sub : {"a", "b", "c"})
            QDir(dir_.path()).mkpath(QString::fromLatin1(sub));
        for (const QString& file : {page, chosenBefore, recent})
            if (!file.isEmpty())
                QVERIFY(writeBytes(dir_.filePath(file), "<p>\n"));
        QSettings().clear();
        if (webPages)
            QSettings().setValue(QStringLiteral("files/webPageDialogs"), true);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        if (!chosenBefore.isEmpty()) {
            dialogs.answer(dir_.filePath(chosenBefore));
            form.openFile();
            dialogs.answer(true);
            form.newBlank();
        }
        form.recentFiles().clear();
        if (!recent.isEmpty())
            form.recentFiles().add(dir_.filePath(recent));
        if (!page.isEmpty())
            QVERIFY(form.openPath(dir_.filePath(page)));
        dialogs.shown.clear();
        if (!page.isEmpty())
            dialogs.answer(true); // "Dont you really want to edit other?"; the dialog is then cancelled
        form.openFile();
        form.saveAs();
        QSettings().clear();
        form.recentFiles().clear();
        QList<ScriptedDialogs::Shown> files;
        for (const auto& shown : dialogs.shown)
            if (shown.kind == Kind::Open || shown.kind == Kind::Save)
                files << shown;
        QCOMPARE(files.size(), 2);
        const QString expected = folder.isEmpty()  ? QDir::currentPath()
                                 : folder == u"home" ? QDir::homePath()
                                                     : dir_.filePath(folder);
        for (const auto& shown : files) {
            QCOMPARE(shown.folder, expected);
            QCOMPARE(shown.defaultAnswer, webPages ? QStringLiteral("HTML pages (*.html *.htm *.xhtml);;All files (*)")
                                                   : QStringLiteral("File Type (*.*) (*.* *)"));
            QCOMPARE(shown.defaultSuffix, shown.kind == Kind::Save && webPages ? QStringLiteral("html") : QString());
        }
    }

    void openAnsweredNoCancelledOrUnreadableKeepsTheDocument_data() {
        QTest::addColumn<QVariantList>("answers");
        QTest::addColumn<int>("messages");
        QTest::newRow("answered No") << QVariantList{false} << 0;
        QTest::newRow("dialog cancelled") << QVariantList{true, QString()} << 0;
        QTest::newRow("file missing") << QVariantList{true, QStringLiteral("/nonexistent/x.htm")} << 1;
    }
    void openAnsweredNoCancelledOrUnreadableKeepsTheDocument() {
        QFETCH(QVariantList, answers);
        QFETCH(int, messages);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(QStringLiteral("/keep/me.htm"));
        form.editArea()->loadText(QStringLiteral("precious"));
        for (const QVariant& a : answers)
            dialogs.answer(a);
        form.openFile();
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Dont you really want to edit other?"));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Tagloom"));
        QCOMPARE(form.editArea()->text(), QStringLiteral("precious"));
        QCOMPARE(form.currentFile(), QStringLiteral("/keep/me.htm"));
        QCOMPARE(test_files::shownTitle(form), test_files::titleOf(QStringLiteral("/keep/me.htm")));
        int shownMessages = 0;
        for (const auto& s : dialogs.shown)
            if (s.kind == Kind::Message) {
                ++shownMessages;
                QCOMPARE(s.title, QStringLiteral("Error 53"));
                QCOMPARE(s.icon, Dialogs::Icon::Exclamation);
                QVERIFY(s.text.contains(QStringLiteral("x.htm")));
            }
        QCOMPARE(shownMessages, messages);
    }

    void saveWithoutAFileRunsSaveAsAndWritesTextPlusCrLf() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QStringLiteral("abc"));
        dialogs.answer(path("noext"));
        form.save();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].kind, Kind::Save);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Save Your File"));
        QCOMPARE(readBytes(path("noext")), QByteArray("abc\r\n")); // no extension added
        QCOMPARE(form.currentFile(), path("noext"));
        QCOMPARE(test_files::shownTitle(form), test_files::titleOf(path("noext")));
        // A later Save writes to the same file without asking.
        form.editArea()->setText(QStringLiteral("abcd"));
        form.save();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(readBytes(path("noext")), QByteArray("abcd\r\n"));
        QVERIFY(leftovers().isEmpty());
    }

    void saveAsOntoAnExistingFileReplacesIt() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        QVERIFY(writeBytes(path("old.htm"), "a much longer old content\r\n"));
        form.editArea()->setText(QStringLiteral("new"));
        dialogs.answer(path("old.htm"));
        form.saveAs();
        QCOMPARE(readBytes(path("old.htm")), QByteArray("new\r\n"));
        QCOMPARE(dialogs.shown.size(), 1); // no overwrite question
    }

    void cancelledSaveAsChangesNothing() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("kept.htm"));
        form.saveAs();
        QCOMPARE(form.currentFile(), path("kept.htm"));
        QCOMPARE(test_files::shownTitle(form), test_files::titleOf(path("kept.htm")));
        QVERIFY(!QFile::exists(path("kept.htm")));
    }

    void failedWritesAreReportedAndChangeNothing_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("error");
        QTest::newRow("read-only file") << path("ro.htm") << 75;
        QTest::newRow("a folder") << dir_.path() << 75;
        QTest::newRow("missing folder") << path("no/such/folder/x.htm") << 76;
    }
    void failedWritesAreReportedAndChangeNothing() {
        QFETCH(QString, target);
        QFETCH(int, error);
        QVERIFY(writeBytes(path("ro.htm"), "old\r\n"));
        QFile::setPermissions(path("ro.htm"), QFile::ReadOwner | QFile::ReadGroup);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("current.htm"));
        form.editArea()->setText(QStringLiteral("new"));
        dialogs.answer(target);
        form.saveAs();
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[1].kind, Kind::Message);
        QCOMPARE(dialogs.shown[1].title, QStringLiteral("Error %1").arg(error));
        QCOMPARE(dialogs.shown[1].icon, Dialogs::Icon::Exclamation);
        QVERIFY(dialogs.shown[1].text.contains(QDir::toNativeSeparators(target)));
        QCOMPARE(form.currentFile(), path("current.htm"));
        QCOMPARE(test_files::shownTitle(form), test_files::titleOf(path("current.htm")) + "*"); // still unsaved
        QCOMPARE(readBytes(path("ro.htm")), QByteArray("old\r\n"));
        QVERIFY(leftovers().isEmpty());
        QFile::setPermissions(path("ro.htm"), QFile::ReadOwner | QFile::WriteOwner);
    }

    void aStartUpFileThatCouldNotBeReadIsNeverSavedOver() {
        // A sparse file beyond the size limit stands for any existing file that cannot be read.
        QFile big(path("huge.htm"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(document_file::kLargestDocument + 1));
        big.close();
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("huge.htm"));
        QCOMPARE(form.editArea()->text(), QString());
        // Start-up says why, as Open does.
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Error 7"));
        QVERIFY(dialogs.shown[0].text.contains(QStringLiteral("too large")));
        QCOMPARE(dialogs.shown[0].ownerTitle, test_files::titleOf(path("huge.htm")) + "[*]"); // named from the first frame
        form.save();
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[1].title, QStringLiteral("Error 75"));
        QCOMPARE(QFileInfo(path("huge.htm")).size(), document_file::kLargestDocument + 1);
        // Open reports the same file with the reason.
        dialogs.answer(path("huge.htm"));
        form.openFile();
        QCOMPARE(dialogs.shown.last().title, QStringLiteral("Error 7"));
        QVERIFY(dialogs.shown.last().text.contains(QStringLiteral("too large")));
        // Save As elsewhere works.
        dialogs.answer(path("elsewhere.htm"));
        form.saveAs();
        QCOMPARE(readBytes(path("elsewhere.htm")), QByteArray("\r\n"));
        QFile::remove(path("huge.htm"));
    }

    // A big page shows its first screen before the file is read; what the file turns out to be
    // decides the rest, and the text is the reader's to the last character.
    void aBigPageShownBeforeItIsReadIsTheFileExactly_data() {
        QTest::addColumn<QByteArray>("rest");
        QTest::newRow("Windows-1252 further on") << QByteArray("<p>caf\xe9</p>\n").repeated(200000);
        QTest::newRow("UTF-8 further on") << QByteArray("<p>caf\xc3\xa9</p>\r\n").repeated(200000);
        QTest::newRow("UTF-16 by its NUL bytes further on") << QByteArray("<\0p\0>\0").repeated(400000);
    }
    void aBigPageShownBeforeItIsReadIsTheFileExactly() {
        QFETCH(QByteArray, rest);
        // Mixed line ends within the first screen and at its end.
        const QByteArray start = QByteArray("<p>a</p>\r\n<p>b</p>\n<p>c</p>\r").repeated(4000);
        QVERIFY(writeBytes(path("big.htm"), start + rest));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("big.htm"));
        const ReadResult read = document_file::read(path("big.htm"));
        QCOMPARE(form.editArea()->text(), read.text);
        QCOMPARE(form.editArea()->lineEndExceptions(), read.lineEnds);
        QVERIFY(!form.editArea()->isReadOnly());
        QVERIFY(!form.editArea()->document()->isModified());
        form.save();
        QCOMPARE(readBytes(path("big.htm")), start + rest);
    }

    void anEmptyNameIsAPathError() { QCOMPARE(document_file::write(QString(), "x").number, 75); }

#ifdef Q_OS_UNIX
    void aFullDiskKeepsTheOldFileAndReportsError61() {
        QVERIFY(writeBytes(path("full.htm"), "old content\r\n"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("full.htm"));
        form.editArea()->setText(QString(70000, u'x'));
        // A file-size limit makes the write fail as a full disk would.
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        form.save();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Error 61"));
        QCOMPARE(readBytes(path("full.htm")), QByteArray("old content\r\n"));
        QVERIFY(leftovers().isEmpty());
    }

    void aSymbolicLinkStaysALink() {
        QVERIFY(writeBytes(path("target.htm"), "old\n"));
        QVERIFY(QFile::link(path("target.htm"), path("link.htm")));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("link.htm"));
        form.editArea()->setText(QStringLiteral("new"));
        form.save();
        QVERIFY(QFileInfo(path("link.htm")).isSymLink());
        QCOMPARE(readBytes(path("target.htm")), QByteArray("new\n"));
    }

    void hardLinksKeepSharingTheirContent() {
        QVERIFY(writeBytes(path("hard1.htm"), "old\n"));
        QCOMPARE(::link(QFile::encodeName(path("hard1.htm")).constData(),
                        QFile::encodeName(path("hard2.htm")).constData()),
                 0);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("hard1.htm"));
        form.editArea()->setText(QStringLiteral("new"));
        form.save();
        QCOMPARE(readBytes(path("hard2.htm")), QByteArray("new\n"));
    }

    void permissionsAreKept() {
        QVERIFY(writeBytes(path("perm.htm"), "old\n"));
        QVERIFY(::chmod(QFile::encodeName(path("perm.htm")).constData(), 0640) == 0);
        QCOMPARE(document_file::write(path("perm.htm"), "new\n").number, 0);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path("perm.htm")).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0640);
    }
#endif

    void aCharacterOutsideTheEncodingAsksFirst_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("text");
        const QByteArray latin1 = "<meta charset=\"iso-8859-1\">\ncaf\xE9\n";
        QTest::newRow("save as UTF-8")
            << 0 << QByteArray("<meta charset=\"utf-8\">\ncaf\xC3\xA9 \xE2\x82\xAC\n")
            << QString::fromUtf8("<meta charset=\"utf-8\">\r\ncafé €");
        QTest::newRow("cancel") << 1 << latin1
                                << QString::fromUtf8("<meta charset=\"iso-8859-1\">\r\ncafé €");
        QTest::newRow("escape") << -1 << latin1
                                << QString::fromUtf8("<meta charset=\"iso-8859-1\">\r\ncafé €");
    }
    void aCharacterOutsideTheEncodingAsksFirst() {
        QFETCH(int, answer);
        QFETCH(QByteArray, saved);
        QFETCH(QString, text);
        QVERIFY(writeBytes(path("latin.htm"), "<meta charset=\"iso-8859-1\">\ncaf\xE9\n"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("latin.htm"));
        form.editArea()->setCaretPosition(int(form.editArea()->text().size()));
        form.editArea()->replaceSelection(QString::fromUtf8(" \u20AC"));
        dialogs.answer(answer);
        form.save();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].kind, Kind::Choice);
        QCOMPARE(dialogs.shown[0].defaultAnswer, QStringLiteral("Save as UTF-8|Cancel"));
        QVERIFY(dialogs.shown[0].text.contains(QString::fromUtf8("\"€\"")));
        QCOMPARE(readBytes(path("latin.htm")), saved);
        QCOMPARE(form.editArea()->text(), text);
        if (answer == 0) {
            form.editArea()->undo(); // the declaration's change is one step
            QVERIFY(form.editArea()->text().startsWith(QStringLiteral("<meta charset=\"iso-8859-1\">")));
        } else {
            QCOMPARE(form.editArea()->selectedText(), QString::fromUtf8("€"));
        }
    }

    // A page that says it is UTF-8 and holds a bad byte stays UTF-8: the status bar counts the
    // byte, colouring and finding pass over it, and a typed é is saved as UTF-8 beside it.
    void aUtf8PageWithABadByteStaysUtf8() {
        QVERIFY(writeBytes(path("bad.html"), "<meta charset=\"utf-8\">\n<p class=\"x\">caf\xE9</p>\n"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        if (!form.action(QStringLiteral("statusBar"))->isChecked())
            form.action(QStringLiteral("statusBar"))->trigger();
        form.openStartupArgument(path("bad.html"));
        QCOMPARE(form.documentFormat().encoding, QByteArray("UTF-8"));
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("encoding"))->text(), QStringLiteral("UTF-8 (1 invalid bytes)"));
        form.action(QStringLiteral("htmlz"))->trigger(); // colouring passes over the mark
        form.editArea()->setCaretPosition(int(form.editArea()->text().indexOf(QStringLiteral("</p>"))));
        form.editArea()->replaceSelection(QString::fromUtf8("é"));
        form.save();
        QCOMPARE(dialogs.shown.size(), 0);
        QCOMPARE(readBytes(path("bad.html")), QByteArray("<meta charset=\"utf-8\">\n<p class=\"x\">caf\xE9\xC3\xA9</p>\n"));
    }

    void anEditChangesOnlyTheEditedLinesLineEnds_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("a stray CR stays")
            << QByteArray("a\nb\rc\nd\n") << 3 << "X" << QByteArray("a\nb\rc\nXd\n");
        QTest::newRow("CR LF among LF")
            << QByteArray("a\r\nb\nc\n") << 2 << "X" << QByteArray("a\r\nb\nXc\n");
        QTest::newRow("a new line takes the usual end") << QByteArray("a\r\nb\nc\n") << 2 << "X\r\n"
                                                        << QByteArray("a\r\nb\nX\nc\n");
        QTest::newRow("CR before CR LF")
            << QByteArray("a\r\r\nb\r\n") << 2 << "X" << QByteArray("a\r\r\nXb\r\n");
        // A line held in pieces keeps its own line end, after its last piece.
        const QByteArray longLine = QByteArray("<a>x</a>").repeated(2000);
        QTest::newRow("a long line")
            << QByteArray("a\r\n" + longLine + "\nb\rc\r\n") << 0 << "X" << QByteArray("Xa\r\n" + longLine + "\nb\rc\r\n");
    }
    void anEditChangesOnlyTheEditedLinesLineEnds() {
        QFETCH(QByteArray, before);
        QFETCH(int, line);
        QFETCH(QString, typed);
        QFETCH(QByteArray, after);
        QVERIFY(writeBytes(path("mixed.htm"), before));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("mixed.htm"));
        EditArea* area = form.editArea();
        area->setTextCursor(QTextCursor(area->document()->findBlockByNumber(line)));
        area->replaceSelection(typed);
        form.save();
        QCOMPARE(readBytes(path("mixed.htm")), after);
    }

    void theHtml5PageTemplateSavesAsTheUtf8ItDeclares() {
        QVERIFY(writeBytes(path("latin1.htm"), QByteArray("<p>caf\xe9</p>\n")));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("latin1.htm"));
        QCOMPARE(form.documentFormat().encoding, QByteArray("windows-1252"));
        form.action(QStringLiteral("html5Page"))->trigger();
        form.save();
        const QByteArray saved = readBytes(path("latin1.htm"));
        QVERIFY(saved.contains("<meta charset=\"utf-8\">\n"));
        QVERIFY(saved.contains("<p>caf\xc3\xa9</p>\n</body>"));
    }

#ifdef Q_OS_UNIX
    // A name at start-up that cannot be a page is said, and saving never writes a second file.
    void aFileThatCannotBeOpenedAtStartUpIsSaid_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("said");
        QTest::newRow("a pipe, never read") << QByteArray("pipe") << "not a regular file";
        QTest::newRow("a name that is no UTF-8") << QByteArray("bad\xFFname.html") << "bad\\xFFname.html, is not valid UTF-8";
    }
    void aFileThatCannotBeOpenedAtStartUpIsSaid() {
        QFETCH(QByteArray, name);
        QFETCH(QString, said);
        const QByteArray raw = QFile::encodeName(dir_.path()) + '/' + name;
        if (name == "pipe") {
            QCOMPARE(::mkfifo(raw.constData(), 0600), 0);
        } else {
            const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "<p>x</p>", 8), ssize_t(8));
            ::close(fd);
        }
        const QStringList before = QDir(dir_.path()).entryList(QDir::Files | QDir::System);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(QFile::decodeName(raw)); // would block for ever if the pipe were opened
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Error 75"));
        QVERIFY2(dialogs.shown[0].text.contains(said), qPrintable(dialogs.shown[0].text));
        QCOMPARE(form.editArea()->text(), QString());
        form.save(); // nothing replaces the file, and no file is made beside it
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::System), before);
        struct stat st {};
        QCOMPARE(::lstat(raw.constData(), &st), 0);
        QCOMPARE(S_ISFIFO(st.st_mode), name == "pipe");
        ::unlink(raw.constData());
    }

    // An interrupted save's copy is pointed out once: deleted, or kept under a name no Open
    // points to again.
    void anInterruptedSaveIsPointedOutOnce_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("keep") << 0 << QStringList{"cut.htm", "cut.htm.before-interrupted-save"};
        QTest::newRow("delete") << 1 << QStringList{"cut.htm"};
        QTest::newRow("closed: kept") << -1 << QStringList{"cut.htm", "cut.htm.before-interrupted-save"};
    }
    void anInterruptedSaveIsPointedOutOnce() {
        QFETCH(int, answer);
        QFETCH(QStringList, left);
        QTemporaryDir folder;
        const QString cut = folder.filePath(QStringLiteral("cut.htm"));
        QVERIFY(writeBytes(cut, "new half"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(cut).constData(), &st), 0);
        const QString backup = folder.filePath(QStringLiteral(".tgl-backup-")) + QString::number(st.st_ino) + QStringLiteral("-Xy12Zw");
        QVERIFY(writeBytes(backup, "old whole\n"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        dialogs.answer(answer);
        form.openStartupArgument(cut);
        QVERIFY(dialogs.shown[0].text.contains(backup));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), left);
        if (answer != 1)
            QCOMPARE(readBytes(cut + QStringLiteral(".before-interrupted-save")), QByteArray("old whole\n"));
        const qsizetype told = dialogs.shown.size();
        MainWindow again(dialogs);
        again.openStartupArgument(cut);
        QCOMPARE(dialogs.shown.size(), told); // once
    }
#endif

    void previewShowsTheUnsavedPageBesideItsFile_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<QByteArray>("shownBytes");
        QTest::newRow("saved: the file itself") << "saved.htm" << false << QByteArray("<p>saved</p>\n");
        QTest::newRow("edited: a copy beside it, in the file's format")
            << "saved.htm" << true << QByteArray("<p>unsaved</p>\n");
        QTest::newRow("untitled: a copy in the temporary folder") << "" << true << QByteArray("<p>unsaved</p>\r\n");
    }
    void previewShowsTheUnsavedPageBesideItsFile() {
        QFETCH(QString, page);
        QFETCH(bool, edited);
        QFETCH(QByteArray, shownBytes);
        UrlCatcher browser;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "open");
        QString shown;
        {
            ScriptedDialogs dialogs;
            MainWindow form(dialogs);
            if (!page.isEmpty()) {
                QVERIFY(writeBytes(dir_.filePath(page), "<p>saved</p>\n"));
                form.openStartupArgument(dir_.filePath(page));
            }
            if (edited)
                form.editArea()->setText(QStringLiteral("<p>unsaved</p>"));
            form.action(QStringLiteral("previewInBrowser"))->trigger();
            QCOMPARE(browser.opened.size(), 1);
            shown = browser.opened[0].toLocalFile();
            QCOMPARE(readBytes(shown), shownBytes);
            const QString folder = page.isEmpty() ? QDir::tempPath() : dir_.path();
            QCOMPARE(QFileInfo(shown).absolutePath(), QFileInfo(folder).absoluteFilePath());
            QVERIFY(dialogs.shown.isEmpty());
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(QFileInfo::exists(shown), !edited); // the copy goes with Tagloom, the file stays
    }

    void everyRealPageSurvivesOpenAndSave() {
        const QStringList pages = test_files::dataPages();
        QVERIFY(!pages.isEmpty());
        for (const QString& page : pages) {
            const QString copy = path("copy.html");
            QFile::remove(copy);
            QVERIFY(QFile::copy(page, copy));
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
            ScriptedDialogs dialogs;
            MainWindow form(dialogs);
            dialogs.answer(copy);
            form.openFile();
            form.save();
            QVERIFY2(readBytes(copy) == readBytes(page), qPrintable(page));
        }
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, FileCommandsTest)
#include "test_file_commands.moc"
