#include "app/main_window.h"
#include "app/open_document.h"
#include "editor/edit_area.h"
#include "document/document_file.h"
#include "editor/completer.h"
#include "site/find_in_files_panel.h"
#include "site/site_index.h"
#include "site/site_panel.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

namespace {
using test_files::readBytes;
using test_files::writeBytes;

class SitePanelsTest : public QObject {
    Q_OBJECT
    QTemporaryDir site_;
    QString path(const char* name) const { return site_.filePath(QString::fromUtf8(name)); }

    static void findAndWait(FindInFilesPanel* panel, const QString& text) {
        QSignalSpy ended(panel, &FindInFilesPanel::searchEnded);
        panel->focusFind(text);
        panel->find();
        QVERIFY(ended.wait(20000));
    }

private slots:
    void init() {
        QDir(site_.path()).mkpath(QStringLiteral("sub"));
        QVERIFY(writeBytes(path("a.html"), "<p>needle</p>\n<p>needle</p>\n"));
        QVERIFY(writeBytes(path("sub/b.css"), "p { content: \"needle\" }\r\n"));
        QVERIFY(writeBytes(path("sub/latin.htm"), "<p>caf\xE9 needle</p>\n"));
        QVERIFY(writeBytes(path("c.html"), QByteArray("needle\0", 7)));
        QVERIFY(writeBytes(path("d.txt"), "needle\n"));
    }

    // Find in Files lists the matches by file; Replace All asks, changes an open page in its
    // tab (undoable) and writes the others, and names a file it could not change.
    void findAndReplaceInFiles() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        window.openStartupArgument(path("a.html"));
        window.action(QStringLiteral("findInFiles"))->trigger();
        FindInFilesPanel* panel = window.findInFilesPanel();
        QVERIFY(panel && panel->isVisible() == window.isVisible());
        QCOMPARE(panel->folder(), site_.path()); // the page's folder
        findAndWait(panel, QStringLiteral("needle"));
        QTreeWidget* results = panel->results();
        QStringList files;
        for (int i = 0; i < results->topLevelItemCount(); ++i)
            files << results->topLevelItem(i)->text(0);
        files.sort();
        QCOMPARE(files, (QStringList{"a.html (2)", QDir::toNativeSeparators("sub/b.css (1)"),
                                     QDir::toNativeSeparators("sub/latin.htm (1)")}));
        QVERIFY2(panel->status()->text().startsWith(QStringLiteral("4 matches in 3 files; 4 files searched")),
                 qPrintable(panel->status()->text()));
        QVERIFY(panel->status()->text().contains(QStringLiteral("1 skipped")));

        panel->setReplacement(QString::fromUtf8("日本"));
        dialogs.answer(true);
        QSignalSpy replaced(panel, &FindInFilesPanel::replaceEnded);
        panel->replaceAll();
        QTRY_COMPARE(replaced.size(), 1);
        QCOMPARE(dialogs.shown[0].text.left(35), QStringLiteral("Replace 4 matches in 3 files with \""));
        // The list says what was done to each file.
        QStringList states;
        for (int i = 0; i < results->topLevelItemCount(); ++i)
            states << results->topLevelItem(i)->text(0).section(u' ', 0, 0) + u'=' + results->topLevelItem(i)->text(1);
        states.sort();
        QCOMPARE(states, (QStringList{"a.html=replaced", QDir::toNativeSeparators("sub/b.css=replaced"),
                                      QDir::toNativeSeparators("sub/latin.htm=not changed")}));
        QVERIFY(dialogs.shown[1].text.startsWith(QStringLiteral("Replaced 3 matches in 2 files.")));
        QVERIFY(dialogs.shown[1].text.contains(QDir::toNativeSeparators(path("sub/latin.htm"))));
        // The open page changed in its tab, not on disk; Undo takes it back.
        QCOMPARE(window.editArea()->text(), QString::fromUtf8("<p>日本</p>\r\n<p>日本</p>"));
        QVERIFY(window.isWindowModified());
        QCOMPARE(readBytes(path("a.html")), QByteArray("<p>needle</p>\n<p>needle</p>\n"));
        window.editArea()->undo();
        QCOMPARE(window.editArea()->text(), QStringLiteral("<p>needle</p>\r\n<p>needle</p>"));
        QCOMPARE(readBytes(path("sub/b.css")), QByteArray("p { content: \"\xE6\x97\xA5\xE6\x9C\xAC\" }\r\n"));
        QCOMPARE(readBytes(path("sub/latin.htm")), QByteArray("<p>caf\xE9 needle</p>\n"));

        // A double-click on a match opens its file in a tab, the match selected.
        findAndWait(panel, QString::fromUtf8("日本"));
        QCOMPARE(results->topLevelItemCount(), 1);
        QTreeWidgetItem* hit = results->topLevelItem(0)->child(0);
        emit results->itemActivated(hit, 0);
        QCOMPARE(window.documents().size(), 2);
        QCOMPARE(window.currentFile(), path("sub/b.css"));
        QCOMPARE(window.editArea()->selectedText(), QString::fromUtf8("日本"));
    }

    // Replace All writes on workers while the window answers; Stop part-way leaves each file
    // either as it was or fully replaced, and the summary counts what was written.
    void replaceAllStopsWithEveryFileOldOrNew() {
        QTemporaryDir many;
        constexpr int kFiles = 400;
        const QByteArray before = QByteArray("<p>needle</p>\n").repeated(200), after = QByteArray("<p>pin</p>\n").repeated(200);
        for (int i = 0; i < kFiles; ++i)
            QVERIFY(writeBytes(many.filePath(QStringLiteral("p%1.html").arg(i, 4, 10, QLatin1Char('0'))), before));
        ScriptedDialogs dialogs;
        FindInFilesPanel panel(dialogs);
        panel.setFolder(many.path());
        findAndWait(&panel, QStringLiteral("needle"));
        panel.setReplacement(QStringLiteral("pin"));
        dialogs.answer(true);
        QSignalSpy replaced(&panel, &FindInFilesPanel::replaceEnded);
        panel.replaceAll();
        QVERIFY(panel.isReplacing()); // on the workers: the window goes on
        QTRY_VERIFY(panel.status()->text().contains(QStringLiteral("written")));
        panel.stop();
        QTRY_COMPARE(replaced.size(), 1);
        int changed = 0;
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray now = readBytes(many.filePath(QStringLiteral("p%1.html").arg(i, 4, 10, QLatin1Char('0'))));
            QVERIFY(now == before || now == after);
            changed += now == after;
        }
        QVERIFY2(changed < kFiles, "Stop came too late to test");
        QVERIFY(dialogs.shown.last().text.startsWith(QStringLiteral("Replaced %1 matches in %2 files. Stopped: %3 files")
                                                          .arg(changed * 200).arg(changed).arg(kFiles - changed)));
    }

    // Find in Files starts in the site the site panel shows, else in the page's folder.
    void findInFilesStartsInTheSitePanelsFolder() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        window.openStartupArgument(path("sub/b.css"));
        window.show();
        window.action(QStringLiteral("sitePanel"))->trigger();
        window.sitePanel()->setRoot(site_.path());
        window.action(QStringLiteral("findInFiles"))->trigger();
        QCOMPARE(window.findInFilesPanel()->folder(), site_.path());
    }

    // The site panel shows the page's folder, filters by name, and opens what is chosen.
    void theSitePanelOpensFilesOfThePagesFolder() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        window.openStartupArgument(path("a.html"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.action(QStringLiteral("sitePanel"))->trigger();
        SitePanel* panel = window.sitePanel();
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->root(), site_.path());
        QAbstractItemModel* shown = panel->tree()->model();
        QTRY_COMPARE(shown->rowCount(panel->tree()->rootIndex()), 4); // sub, a.html, c.html and d.txt
        const auto names = [&](const QModelIndex& parent) {
            QStringList out;
            for (int row = 0; row < shown->rowCount(parent); ++row)
                out << shown->index(row, 0, parent).data().toString();
            out.sort();
            return out;
        };
        // A filter hides the folders without a match and opens those with one.
        QTest::keyClicks(panel->filter(), QStringLiteral("d.t"));
        const auto root = [&] { return panel->tree()->rootIndex(); };
        QTRY_COMPARE(names(root()), QStringList{"d.txt"});
        panel->filter()->clear();
        QTest::keyClicks(panel->filter(), QStringLiteral("LATIN"));
        QTRY_COMPARE(names(root()), QStringList{"sub"});
        QTRY_VERIFY(panel->tree()->isExpanded(shown->index(0, 0, root())));
        QTRY_COMPARE(names(shown->index(0, 0, root())), QStringList{"latin.htm"});
        panel->filter()->clear();
        QTest::keyClicks(panel->filter(), QStringLiteral("d.t"));
        QTRY_COMPARE(names(root()), QStringList{"d.txt"});
        emit panel->tree()->activated(shown->index(0, 0, root()));
        QCOMPARE(window.documents().size(), 2);
        QCOMPARE(window.currentFile(), path("d.txt"));
        // Shown again, it hides.
        window.showSitePanel();
        QVERIFY(!panel->isVisible());
    }

    // A style sheet's selectors are completed with the names the site's pages use, most used
    // first; a page saved with a new class adds it.
    void aStyleSheetKnowsTheSitesNames() {
        QVERIFY(writeBytes(path("a.html"), "<p class=\"card note\" id=\"top\">x</p>\n"));
        QVERIFY(writeBytes(path("c.html"), "<div class=\"card\"><!-- <p class=\"old\"> --></div>\n"));
        QVERIFY(QDir(site_.path()).mkpath(QStringLiteral("css")));
        QVERIFY(writeBytes(path("css/site.css"), "p {}\n"));
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        window.show();
        window.openStartupArgument(path("css/site.css"));
        QTRY_COMPARE(window.siteIndex().names().classes, (QStringList{"card", "note"}));
        QCOMPARE(window.siteIndex().root(), site_.path()); // css/ holds no page: the folder above
        QCOMPARE(window.siteIndex().names().ids, QStringList{"top"});
        EditArea* area = window.editArea();
        area->moveCursor(QTextCursor::End);
        QTest::keyClick(area, Qt::Key_Return);
        QTest::keyClick(area, '.');
        QCOMPARE(area->completer()->shownLabels(), (QStringList{"card", "note"}));
        QTest::keyClick(area, Qt::Key_Escape);

        window.openInTab(path("a.html"));
        window.editArea()->selectAll();
        window.editArea()->replaceSelection(QStringLiteral("<p class=\"banner card\">x</p>"));
        QVERIFY(window.save());
        QTRY_COMPARE(window.siteIndex().names().classes, (QStringList{"card", "banner"}));
    }

    // The index's fast reading of a page's bytes finds the names the tokenizer finds in its
    // text: on every test page, and on the hard cases (comments, raw text, case, unquoted and
    // spaced values, references, UTF-16).
    void theIndexReadsPagesAsTheTokenizerDoes_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("classes");
        QTest::addColumn<QString>("ids");
        const QDir data(test_files::dataDir());
        for (const QString& name : data.entryList({QStringLiteral("*.html")}, QDir::Files))
            QTest::newRow(qPrintable(name)) << readBytes(data.filePath(name)) << QString() << QString();
        QTest::newRow("hard cases")
            << QByteArray("<P CLASS=\"a  b\tc\" Id = top><!-- <p class=no> --><script>'<p class=no2>'</SCRIPT >"
                          "<textarea><p class=no3></textarea><div class=d id='x y'><i class=\"&amp; e\" data-x='>'>"
                          "<title>t</title><b class=f/>")
            << "a b c d e f/" << "top x y";
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0p\0 \0c\0l\0a\0s\0s\0=\0u\0>\0", 22) << "u" << "";
    }
    void theIndexReadsPagesAsTheTokenizerDoes() {
        QFETCH(QByteArray, page);
        QFETCH(QString, classes);
        QFETCH(QString, ids);
        const SiteIndex::PageNames fast = SiteIndex::namesIn(page);
        const auto joined = [](std::vector<QByteArray> names) {
            std::sort(names.begin(), names.end());
            return QString::fromUtf8(QByteArrayList(names.begin(), names.end()).join(' '));
        };
        DocumentFormat format;
        completion::PageNames read = completion::namesUsed(document_file::decode(page, &format));
        read.classes.sort();
        read.ids.sort();
        QCOMPARE(joined(fast.classes), read.classes.join(u' '));
        QCOMPARE(joined(fast.ids), read.ids.join(u' '));
        if (!classes.isEmpty())
            QCOMPARE(joined(fast.classes), classes);
        if (!ids.isEmpty() || !classes.isEmpty())
            QCOMPARE(joined(fast.ids), ids);
    }

    // Moving an image by a drag in the site panel, renaming a page there and renaming an id:
    // the lines are listed first; an open page changes in its tab (one undo step) and names
    // its new file, the others are written; Cancel changes nothing.
    void linksFollowMovesAndRenames() {
        QVERIFY(writeBytes(path("logo.png"), "PNG"));
        QVERIFY(writeBytes(path("a.html"), "<img src=\"logo.png\">\n<a href=\"sub/latin.htm#top\">x</a>\n"));
        QVERIFY(writeBytes(path("sub/latin.htm"), "<p id=\"top\">caf\xE9</p><img src=\"../logo.png\">\r\n"));
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        window.openStartupArgument(path("a.html"));
        window.show();
        window.action(QStringLiteral("sitePanel"))->trigger();
        SitePanel* panel = window.sitePanel();
        panel->setRoot(site_.path());
        QFileSystemModel* files = panel->model();
        const auto drop = [&](const char* file, const char* folder) {
            std::unique_ptr<QMimeData> dragged(files->mimeData({files->index(path(file))}));
            return panel->shown()->dropMimeData(dragged.get(), Qt::MoveAction, -1, -1,
                                                panel->shown()->mapFromSource(files->index(path(folder))));
        };
        const auto listed = [&] {
            QStringList lines;
            for (const ChangeListItem& item : dialogs.changeItems)
                lines << QStringLiteral("%1:%2 %3").arg(QFileInfo(item.file).fileName()).arg(item.line).arg(item.after);
            return lines;
        };
        // Cancelled: nothing moves.
        drop("logo.png", "sub");
        QTRY_VERIFY(!window.isChangingSite());
        // A line is shown from a little before its change.
        QCOMPARE(listed(), (QStringList{"a.html (open):1 <img src=\"sub/logo.png\">",
                                        "latin.htm:1 \u2026\"top\">caf\u00e9</p><img src=\"logo.png\">"}));
        QVERIFY(QFileInfo::exists(path("logo.png")));
        QCOMPARE(window.editArea()->text(), QStringLiteral("<img src=\"logo.png\">\r\n<a href=\"sub/latin.htm#top\">x</a>"));

        dialogs.answer(true);
        drop("logo.png", "sub");
        QTRY_VERIFY(QFileInfo::exists(path("sub/logo.png")));
        QTRY_VERIFY(!window.isChangingSite());
        QCOMPARE(readBytes(path("sub/latin.htm")), QByteArray("<p id=\"top\">caf\xE9</p><img src=\"logo.png\">\r\n"));
        QCOMPARE(window.editArea()->text(), QStringLiteral("<img src=\"sub/logo.png\">\r\n<a href=\"sub/latin.htm#top\">x</a>"));
        // It had nothing unsaved: it is saved, so that no link on disk is broken.
        QCOMPARE(readBytes(path("a.html")), QByteArray("<img src=\"sub/logo.png\">\n<a href=\"sub/latin.htm#top\">x</a>\n"));
        QVERIFY(!window.isWindowModified());
        window.editArea()->undo();
        QCOMPARE(window.editArea()->text(), QStringLiteral("<img src=\"logo.png\">\r\n<a href=\"sub/latin.htm#top\">x</a>"));
        window.editArea()->redo();
        QVERIFY(window.save());

        // Rename (F2) of the open page: its tab holds the new file.
        panel->tree()->setCurrentIndex(panel->shown()->mapFromSource(files->index(path("a.html"))));
        dialogs.answer(QStringLiteral("home.html"));
        panel->renameChosen();
        QTRY_VERIFY(QFileInfo::exists(path("home.html")));
        QTRY_VERIFY(!window.isChangingSite());
        QCOMPARE(window.currentFile(), path("home.html"));
        // A name with a control character is refused, and nothing moves.
        QTRY_VERIFY(files->index(path("home.html")).isValid());
        panel->tree()->setCurrentIndex(panel->shown()->mapFromSource(files->index(path("home.html"))));
        dialogs.answer(QStringLiteral("a\u0001b.html"));
        panel->renameChosen();
        QCOMPARE(dialogs.shown.last().kind, ScriptedDialogs::Kind::Message);
        QVERIFY(!window.isChangingSite() && QFileInfo::exists(path("home.html")));

        // Rename Id in the page that has it: the id, and the link of the other page's tab.
        window.openInTab(path("sub/latin.htm"));
        window.editArea()->setCaretPosition(8);
        dialogs.answer(QStringLiteral("start"));
        dialogs.answer(true);
        window.action(QStringLiteral("renameId"))->trigger();
        QTRY_VERIFY(!window.isChangingSite());
        QCOMPARE(listed(), (QStringList{"home.html (open):2 <a href=\"sub/latin.htm#start\">x</a>",
                                        "latin.htm (open):1 <p id=\"start\">caf\u00e9</p><img src=\"logo.png\">"}));
        QVERIFY(window.editArea()->text().startsWith(QStringLiteral("<p id=\"start\">")));
        window.previousTab();
        QCOMPARE(window.editArea()->text(), QStringLiteral("<img src=\"sub/logo.png\">\r\n<a href=\"sub/latin.htm#start\">x</a>"));
        QCOMPARE(readBytes(path("sub/latin.htm")), QByteArray("<p id=\"start\">caf\xE9</p><img src=\"logo.png\">\r\n"));
        // A page with unsaved changes keeps the change in its tab, and is named.
        window.editArea()->setCaretPosition(0);
        window.editArea()->replaceSelection(QStringLiteral("<!-- draft -->"));
        window.nextTab();
        window.editArea()->setCaretPosition(8);
        dialogs.answer(QStringLiteral("begin"));
        dialogs.answer(true);
        window.action(QStringLiteral("renameId"))->trigger();
        QTRY_VERIFY(!window.isChangingSite());
        QVERIFY(dialogs.shown.last().text.endsWith(QDir::toNativeSeparators(path("home.html"))));
        QCOMPARE(readBytes(path("home.html")), QByteArray("<img src=\"sub/logo.png\">\n<a href=\"sub/latin.htm#start\">x</a>\n"));
        QCOMPARE(readBytes(path("sub/latin.htm")), QByteArray("<p id=\"begin\">caf\xE9</p><img src=\"logo.png\">\r\n"));
        window.previousTab();
        QVERIFY(window.editArea()->text().endsWith(QStringLiteral("#begin\">x</a>")));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, SitePanelsTest)
#include "test_site_panels.moc"
