#include "app/main_window.h"
#include "app/open_document.h"
#include "app/recent_files.h"
#include "colouring/html5_scheme.h"
#include "colouring/html_pass.h"
#include "colouring/language.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <QScrollBar>
#include <QUrl>

namespace {
using Kind = ScriptedDialogs::Kind;
using test_files::readBytes;
using test_files::writeBytes;

std::vector<Colour> colours(const std::vector<std::uint8_t>& indexes, std::span<const Colour> palette) {
    std::vector<Colour> out;
    for (std::uint8_t i : indexes)
        out.push_back(palette[i]);
    return out;
}

class ViewCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    static void drop(MainWindow& form, QMimeData* data) {
        QWidget* viewport = form.editArea()->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &dropped);
    }

private slots:
    void init() {
        QSettings().clear();
        RecentFiles().clear();
    }

    // The window comes back where it was, as history beside the recent files, never in the settings.
    void theWindowsPlaceComesBack_data() {
        QTest::addColumn<bool>("maximised");
        QTest::newRow("a size and a place") << false;
        QTest::newRow("maximised") << true;
    }
    void theWindowsPlaceComesBack() {
        QFETCH(bool, maximised);
        const QString kept = path("window-place");
        QFile::remove(kept);
        ScriptedDialogs dialogs;
        QRect placed;
        {
            MainWindow first(dialogs);
            first.setQuitHandler([] {});
            first.rememberWindowPlace(kept);
            first.show();
            first.setGeometry(QRect(60, 70, 720, 540));
            if (maximised)
                first.showMaximized();
            QCoreApplication::processEvents();
            placed = first.geometry();
            dialogs.answer(true);
            first.exitProgram();
        }
#ifdef Q_OS_UNIX // where a file has modes for others
        QCOMPARE(QFileInfo(kept).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFileDevice::Permissions());
#endif
        QVERIFY(QSettings().allKeys().isEmpty());
        MainWindow next(dialogs);
        next.rememberWindowPlace(kept);
        next.show();
        QCoreApplication::processEvents();
        QCOMPARE(next.isMaximized(), maximised);
        QCOMPARE(next.geometry(), placed);
    }

    void theStatusBarShowsThePlaceTheFileAndTheMode() {
        QVERIFY(writeBytes(path("latin.htm"), "caf\xe9\nab\r\nline\n"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("latin.htm"));
        form.show();
        QVERIFY(form.statusTexts().isEmpty()); // hidden at first, and nothing written
        QVERIFY(QSettings().allKeys().isEmpty());
        form.action(QStringLiteral("statusBar"))->trigger();
        QCOMPARE(QSettings().allKeys(), QStringList{"view/statusBar"});
        form.editArea()->setCaretPosition(6);
        form.editArea()->setSelectionLength(7);
        QCOMPARE(form.statusTexts(), (QStringList{"Ln 3, Col 4", "Sel 6", "windows-1252", "LF (mixed)", "HTML", "INS"}));
        QTest::keyClick(form.editArea(), Qt::Key_Insert);
        QCOMPARE(form.statusTexts().last(), QStringLiteral("OVR"));
        form.action(QStringLiteral("statusBar"))->trigger();
        QVERIFY(!form.statusBar()->isVisible());
        // A page of one line with no line end says so, until a line is added.
        QVERIFY(writeBytes(path("one.htm"), "<p>one line</p>"));
        form.openStartupArgument(path("one.htm"));
        form.action(QStringLiteral("statusBar"))->trigger();
        QCOMPARE(form.statusTexts()[3], QStringLiteral("no line end"));
        form.editArea()->replaceSelection(QStringLiteral("\r\n"));
        QCOMPARE(form.statusTexts()[3], QStringLiteral("CR LF"));
    }

    void openRecentListsTheLastFilesAndDropsAMissingOne() {
        QVERIFY(writeBytes(path("one.htm"), "1"));
        QVERIFY(writeBytes(path("two.htm"), "2"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        QVERIFY(form.openPath(path("one.htm")));
        dialogs.answer(true); // the Open question: the page has text
        QVERIFY(form.openPath(path("two.htm")));
        auto items = [&] {
            emit form.recentMenu()->aboutToShow();
            QStringList texts;
            for (QAction* a : form.recentMenu()->actions())
                texts << a->text();
            return texts;
        };
        // Named as the system writes names.
        QCOMPARE(items(), (QStringList{"&1 " + QDir::toNativeSeparators(path("two.htm")),
                                       "&2 " + QDir::toNativeSeparators(path("one.htm")), "", "Clear List"}));
        QFile::remove(path("one.htm"));
        form.recentMenu()->actions()[1]->trigger();
        QCOMPARE(dialogs.shown.last().text, QDir::toNativeSeparators(path("one.htm")) + "\nno longer exists. It is taken off the list.");
        QCOMPARE(form.editArea()->text(), QStringLiteral("2"));
        QCOMPARE(items().size(), 3);
        dialogs.answer(false); // No to the Open question: the page stays
        form.recentMenu()->actions()[0]->trigger();
        QCOMPARE(dialogs.shown.last().text, QStringLiteral("Dont you really want to edit other?"));
        form.recentMenu()->actions().last()->trigger();
        QCOMPARE(items(), QStringList{"No Recent Files"});
        // Never more than ten, and a file opened again moves to the top.
        RecentFiles recent;
        for (int i = 0; i < 12; ++i)
            recent.add(path("f") + QString::number(i));
        recent.add(path("f5"));
        QCOMPARE(recent.paths().size(), RecentFiles::kMost);
        QCOMPARE(recent.paths().first(), path("f5"));
        QCOMPARE(recent.paths().last(), path("f2"));
    }

    void droppedFilesOpenAndDroppedTextGoesIn() {
        QVERIFY(writeBytes(path("a.htm"), "<p>a"));
        QVERIFY(writeBytes(path("b.htm"), "<p>b"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->loadText(QStringLiteral("mine"));
        auto* files = new QMimeData;
        files->setUrls({QUrl::fromLocalFile(path("a.htm")), QUrl::fromLocalFile(path("b.htm"))});
        dialogs.answer(true);
        drop(form, files);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Dont you really want to edit other?"));
        QCOMPARE(form.editArea()->text(), QStringLiteral("<p>a"));
        QCOMPARE(form.currentFile(), path("a.htm"));
        // The second file opens in a tab of its own; the first stays in front.
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(form.documents().size(), 2);
        QCOMPARE(form.documents()[1]->path(), path("b.htm"));
        auto* text = new QMimeData;
        text->setText(QStringLiteral("<b>"));
        drop(form, text);
        QVERIFY(form.editArea()->text().contains(QStringLiteral("<b>")));
        QCOMPARE(form.currentFile(), path("a.htm"));
        delete files;
        delete text;
    }

    void reopenWithEncodingReadsTheBytesAgainAsOneUndoStep() {
        // Latin-1 text whose bytes happen to be valid UTF-8: detection reads "é" where "Ã©" was meant.
        const QByteArray bytes = "<p>caf\xC3\xA9</p>\r\n";
        QVERIFY(writeBytes(path("misread.htm"), bytes));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path("misread.htm"));
        QCOMPARE(form.editArea()->text(), QStringLiteral("<p>caf\u00e9</p>"));
        dialogs.answer(QVariantList{QStringLiteral("ISO-8859-1")});
        form.reopenWithEncoding();
        QVERIFY(dialogs.shown.last().text.startsWith(QStringLiteral("Encoding:=UTF-8")));
        QCOMPARE(form.editArea()->text(), QStringLiteral("<p>caf\u00c3\u00a9</p>"));
        QCOMPARE(form.documentFormat().encoding, QByteArray("ISO-8859-1"));
        QVERIFY(!form.editArea()->document()->isModified());
        QVERIFY(form.save());
        QCOMPARE(readBytes(path("misread.htm")), bytes); // the same bytes, read rightly now
        form.editArea()->undo();
        QCOMPARE(form.editArea()->text(), QStringLiteral("<p>caf\u00e9</p>"));
        // Bytes that are not the chosen encoding change nothing.
        QVERIFY(writeBytes(path("misread.htm"), "caf\xE9"));
        dialogs.answer(QVariantList{QStringLiteral("UTF-8")});
        form.reopenWithEncoding();
        QVERIFY(dialogs.shown.last().text.startsWith(QStringLiteral("Bad file mode: its bytes are not valid UTF-8")));
        QCOMPARE(form.editArea()->text(), QStringLiteral("<p>caf\u00e9</p>"));
    }

    void saveWithEncodingWritesTheChoiceOrRefusesIt() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        QVERIFY(writeBytes(path("page.htm"), "old"));
        form.openStartupArgument(path("page.htm"));
        form.editArea()->setText(QStringLiteral("a\u00e9\r\nb \u65e5"));
        dialogs.answer(QVariantList{QStringLiteral("windows-1252"), false, QStringLiteral("LF (Linux, macOS)")});
        form.saveWithEncoding();
        QCOMPARE(dialogs.shown.last().text,
                 QStringLiteral("windows-1252 cannot hold some characters of this page, such as \"\u65e5\". Nothing was saved."));
        QCOMPARE(readBytes(path("page.htm")), QByteArray("old"));
        QCOMPARE(form.editArea()->selectedText(), QStringLiteral("\u65e5"));
        form.editArea()->replaceSelection(QStringLiteral("c"));
        dialogs.answer(QVariantList{QStringLiteral("UTF-16LE"), true, QStringLiteral("CR (classic Mac OS)")});
        form.saveWithEncoding();
        // No line end after the last line, as the file had none.
        QCOMPARE(readBytes(path("page.htm")), QByteArray("\xFF\xFE" "a\0\xE9\0\r\0b\0 \0c\0", 14));
        QCOMPARE(form.documentFormat().lineEnd, LineEnd::Cr);
        QVERIFY(!form.editArea()->document()->isModified());
    }

    void colouringKeepsMyPlaceWhenAsked() {
        // The title and its change mark are set one way: the window's title has its mark's place
        // before any change is marked.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("setWindowModified")));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("<p>%1</p>\r\n").arg(i);
        form.editArea()->loadText(text + QStringLiteral("<!-- end -->"));
        for (const bool keep : {false, true}) {
            if (keep)
                form.action(QStringLiteral("keepPlaceWhenColouring"))->trigger();
            form.editArea()->goToLine(150, 2);
            form.editArea()->setSelectionLength(3);
            const int scrolled = form.editArea()->verticalScrollBar()->value();
            form.colourAsHtml();
            QVERIFY(form.editArea()->colourAt(1).has_value());
            QCOMPARE(form.editArea()->selectedText(), keep ? QStringLiteral("p>1") : QStringLiteral("<!-- end -->"));
            if (keep)
                QCOMPARE(form.editArea()->verticalScrollBar()->value(), scrolled);
        }
        QCOMPARE(QSettings().allKeys(), QStringList{"colouring/keepPlace"});
    }

    void colourAsYouTypeAndTheHtml5Scheme() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        EditArea* area = form.editArea();
        area->loadText(QStringLiteral("<p class=\"a\">x</p>\r\n<header>"));
        form.colourAsHtml();
        QCOMPARE(area->liveScheme(), EditArea::LiveScheme::None); // the classic behaviour at first
        form.action(QStringLiteral("colourAsYouType"))->trigger();
        QCOMPARE(area->liveScheme(), EditArea::LiveScheme::Classic);
        area->setCaretPosition(int(area->text().size()));
        QTest::keyClicks(area, QStringLiteral("<a href=\"y\">z<!-- c"));
        QCOMPARE(area->textColours(), colours(runHtmlPass(area->text()).colours, kPassPalette));
        // Choosing the HTML5 scheme recolours the coloured page where the caret stands.
        const int caret = area->selectionStart();
        form.action(QStringLiteral("html5Scheme"))->trigger();
        QCOMPARE(area->liveScheme(), EditArea::LiveScheme::Html5);
        QCOMPARE(area->selectionStart(), caret);
        QTest::keyClicks(area, QStringLiteral(" -->&amp;"));
        QCOMPARE(area->textColours(), colours(html5_scheme::colourText(area->text()), html5_scheme::kPalette));
        QVERIFY(!form.action(QStringLiteral("classicScheme"))->isChecked());
        form.showPlainText();
        QTest::keyClicks(area, QStringLiteral("<b>"));
        QVERIFY(!area->hasColours());
        QCOMPARE(QSettings().allKeys(), (QStringList{"colouring/asYouType", "colouring/scheme"}));
    }

    // What a file is comes from its name, then its start, or the user's choice; it decides the
    // colours (a style sheet, a script or JSON by its own lexer as it is typed, whatever the
    // scheme) and which commands do anything.
    void eachFileIsColouredAndHelpedAsWhatItIs_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("language"); // as the status bar says
        QTest::newRow("a page") << "index.html" << QByteArray("<p>x</p>\n") << "HTML";
        QTest::newRow("a page served with parts") << "list.PHP" << QByteArray("<p>x</p>\n") << "HTML";
        QTest::newRow("a style sheet") << "css/site.css" << QByteArray("body { color: #fff }\n") << "CSS";
        QTest::newRow("a module") << "js/app.mjs" << QByteArray("export const a = 1;\n") << "JavaScript";
        QTest::newRow("a manifest") << "site.webmanifest" << QByteArray("{\"name\": \"x\"}\n") << "JSON";
        QTest::newRow("an image") << "logo.svg" << QByteArray("<svg><rect/></svg>\n") << "SVG/XML";
        QTest::newRow("notes") << "notes.txt" << QByteArray("<p> is a paragraph\n") << "Plain Text";
        QTest::newRow("no suffix, JSON inside") << "data" << QByteArray("  [1, 2]\n") << "JSON";
        QTest::newRow("no suffix, XML inside") << "feed" << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\"?><a/>\n") << "SVG/XML";
        QTest::newRow("no suffix, a doctype") << "README" << QByteArray("<!DOCTYPE html>\n") << "HTML";
        QTest::newRow("an unknown suffix, anything") << "page.tpl" << QByteArray("{{ title }}\n") << "JSON";
    }
    void eachFileIsColouredAndHelpedAsWhatItIs() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, language);
        QTemporaryDir folder;
        QDir(folder.path()).mkpath(QFileInfo(name).path());
        const QString file = folder.filePath(name);
        QVERIFY(test_files::writeBytes(file, bytes));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        form.action(QStringLiteral("statusBar"))->trigger();
        QVERIFY(form.openPath(file));
        QCOMPARE(form.statusTexts().value(4), language);
        EditArea* area = form.editArea();
        QCoreApplication::processEvents();
        const Language what = form.doc().language();
        // Code is coloured at once, by its own lexer, and kept so as it is typed.
        QCOMPARE(area->liveScheme() == EditArea::LiveScheme::Html5, language::isCode(what));
        area->setCaretPosition(int(area->text().size()));
        QTest::keyClicks(area, QStringLiteral("/* c */"));
        if (language::isCode(what))
            QCOMPARE(area->textColours(), colours(html5_scheme::colourText(area->text(), what), html5_scheme::kPalette));
        // HTML commands do nothing outside HTML, and the menu says so while it is open.
        const QString before = area->text();
        form.action(QStringLiteral("checkTags"))->trigger();
        form.action(QStringLiteral("addbreak"))->trigger();
        QCOMPARE(area->text() != before, language::isHtml(what));
        QCOMPARE(form.checkPanel() != nullptr, language::isHtml(what));
        // Chosen by hand, it stays until another file is opened; the menu ticks it.
        form.action(QStringLiteral("languageCss"))->trigger();
        QCOMPARE(form.statusTexts().value(4), QStringLiteral("CSS"));
        QVERIFY(form.action(QStringLiteral("languageCss"))->isChecked());
        QCOMPARE(area->liveScheme(), EditArea::LiveScheme::Html5);
        form.action(QStringLiteral("languagePlain"))->trigger();
        QVERIFY(!area->hasColours());
        // Edit As > HTML File makes plain text HTML, and colours it as a page.
        form.colourAsHtml();
        QCOMPARE(form.doc().language(), Language::Html);
        QVERIFY(area->hasColours());
        QVERIFY(QSettings().allKeys() == QStringList{"view/statusBar"});
    }

    // A colour of a style sheet has a swatch beside it: a click on it (or Edit > Pick Colour on
    // the colour) opens the colour dialog, and the colour chosen is written back in the form it
    // had, one undo step; cancelled, nothing changes.
    void colourSwatchesPickAColour() {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("site.css"));
        QVERIFY(test_files::writeBytes(file, "a { color: #fff; background: rgb(0, 0, 255) }\n"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QVERIFY(form.openPath(file));
        QCoreApplication::processEvents();
        EditArea* area = form.editArea();
        area->repaint();
        // The swatch stands in the space before the colour.
        const QTextCursor colour = area->document()->find(QStringLiteral("#fff"));
        QTextCursor before(area->document());
        before.setPosition(colour.selectionStart());
        const QPoint swatch = area->cursorRect(before).center() - QPoint(area->fontMetrics().horizontalAdvance(u' ') / 2 + 1, 0);
        dialogs.answer(QColor(255, 0, 0));
        QTest::mouseClick(area->viewport(), Qt::LeftButton, Qt::NoModifier, swatch);
        QCOMPARE(dialogs.shown.last().kind, ScriptedDialogs::Kind::Colour);
        QCOMPARE(area->text(), QStringLiteral("a { color: #f00; background: rgb(0, 0, 255) }"));
        area->undo();
        QCOMPARE(area->text(), QStringLiteral("a { color: #fff; background: rgb(0, 0, 255) }"));
        // From the menu, on the caret's colour; a cancel writes nothing.
        area->setCaretPosition(int(area->text().indexOf(u"rgb") + 2));
        dialogs.answer(QColor(1, 2, 3));
        form.action(QStringLiteral("pickColour"))->trigger();
        QCOMPARE(area->text(), QStringLiteral("a { color: #fff; background: rgb(1, 2, 3) }"));
        form.action(QStringLiteral("pickColour"))->trigger(); // nothing queued: cancelled
        QCOMPARE(area->text(), QStringLiteral("a { color: #fff; background: rgb(1, 2, 3) }"));
    }

    // The HTML5 scheme, chosen from the keyboard, colours every page from the moment it is in:
    // a new tab, a page opened in a tab, and the pages of the next start.
    void theChosenSchemeFollowsNewPages() {
        QTemporaryDir folder;
        const QString page = folder.filePath(QStringLiteral("p.html"));
        QVERIFY(test_files::writeBytes(page, "<p class=\"a\">x</p>\n"));
        {
            ScriptedDialogs dialogs;
            MainWindow form(dialogs);
            form.show();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            QCOMPARE(form.editArea()->liveScheme(), EditArea::LiveScheme::None); // Classic: as always
            QTest::keyClick(form.editArea(), Qt::Key_V, Qt::AltModifier);
            QTRY_VERIFY(QApplication::activePopupWidget());
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_H); // Colouring Scheme
            QTRY_COMPARE(QApplication::activePopupWidget(), form.action(QStringLiteral("colouringScheme"))->menu());
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Down); // Classic is the first
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
            QTRY_VERIFY(form.action(QStringLiteral("html5Scheme"))->isChecked());
            QVERIFY(!form.action(QStringLiteral("classicScheme"))->isChecked());
            form.newTab();
            QCOMPARE(form.editArea()->liveScheme(), EditArea::LiveScheme::Html5);
            QVERIFY(form.openInTab(page));
            QCOMPARE(form.editArea()->liveScheme(), EditArea::LiveScheme::Html5);
            QVERIFY(form.editArea()->colourAt(1).has_value());
        }
        ScriptedDialogs dialogs;
        MainWindow next(dialogs);
        next.openStartupArgument(page);
        QCOMPARE(next.editArea()->liveScheme(), EditArea::LiveScheme::Html5);
        QSettings().clear();
    }

    void redoIsCtrlShiftZAndCtrlYStaysSaveAs() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.editArea()->setFocus();
        QTest::keyClicks(form.editArea(), QStringLiteral("ab"));
        QTest::keySequence(form.editArea(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QCOMPARE(form.editArea()->text(), QString());
        QTest::keySequence(form.editArea(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
        QCOMPARE(form.editArea()->text(), QStringLiteral("ab"));
        QTest::keySequence(form.editArea(), QKeySequence(QStringLiteral("Ctrl+Y")));
        QCOMPARE(dialogs.shown.last().title, QStringLiteral("Save Your File"));
    }

    void zoomAndFontAreRemembered() {
        ScriptedDialogs dialogs;
        {
            MainWindow form(dialogs);
            const qreal size = form.editArea()->font().pointSizeF();
            QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 240), Qt::NoButton,
                              Qt::ControlModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(form.editArea()->viewport(), &wheel);
            QCOMPARE(form.editArea()->font().pointSizeF(), size + 2);
            dialogs.answer(QFont(QStringLiteral("Courier"), 12));
            form.action(QStringLiteral("chooseFont"))->trigger();
            QCOMPARE(form.editArea()->font().pointSizeF(), 14.0);
        }
        MainWindow again(dialogs);
        QCOMPARE(again.editArea()->font().family(), QStringLiteral("Courier"));
        QCOMPARE(again.editArea()->font().pointSizeF(), 14.0);
        again.action(QStringLiteral("resetZoom"))->trigger();
        QCOMPARE(again.editArea()->font().pointSizeF(), 12.0);
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, ViewCommandsTest)

#include "test_view_commands.moc"
