#include "app/main_window.h"
#include "editor/edit_area.h"
#include "editor/folding.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

namespace {

int lineOf(const QString& text, qsizetype position) {
    return int(text.left(position).count(QChar::ParagraphSeparator)) + 1;
}

// The stretches as "first-last opening closing", one per line, as the area finds them.
QString listed(EditArea& area) {
    const QString text = area.documentText();
    QStringList lines;
    for (const folds::Range& r : area.folding()->ranges())
        lines << QStringLiteral("%1-%2 %3 %4").arg(lineOf(text, r.start)).arg(lineOf(text, r.end)).arg(r.opening, r.closing);
    return lines.join(u'\n');
}

int shownBlocks(const EditArea& area) {
    int shown = 0;
    for (QTextBlock b = area.document()->firstBlock(); b.isValid(); b = b.next())
        shown += b.isVisible() ? 1 : 0;
    return shown;
}

class FoldingTest : public QObject {
    Q_OBJECT

private slots:
    // What folds: elements to their end tag or where HTML ends them, comments, and the bracket
    // blocks of code read by its own lexer. Stretches on one line fold nothing.
    void whatFolds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("elements and a comment")
            << "<ul>\n<li>a\n<li>b\n</ul>\n<!-- x\ny -->\n<p>one line</p>" << Language::Html
            << "1-4 <ul </ul>\n5-6 <!-- -->";
        QTest::newRow("a paragraph HTML ends") << "<p>one\ntwo\n\n<p>three\n" << Language::Html << "1-2 <p ";
        QTest::newRow("a script's braces, not in strings or patterns")
            << "<script>\nif (a) {\n  s = '{';\n  r = /}/; // }\n}\n</script>" << Language::Html
            << "1-6 <script </script>\n2-5 { }";
        QTest::newRow("a style's braces, not in comments")
            << "<style>\na {\n color: red; /* } */\n}\n</style>" << Language::Html << "1-5 <style </style>\n2-4 { }";
        QTest::newRow("a template is no code")
            << "<script type=\"text/template\">\n{\n}\n</script>" << Language::Html << "1-4 <script </script>";
        QTest::newRow("markup in a comment folds nothing") << "<!--\n<div>\n</div>\n-->" << Language::Html << "1-4 <!-- -->";
        QTest::newRow("a style sheet") << "@media x {\n  a {\n    b: c;\n  }\n}\np { }" << Language::Css
                                       << "1-5 { }\n2-4 { }";
        QTest::newRow("JSON") << "{\n \"a\": [\n  1\n ],\n \"b\": \"[\"\n}" << Language::Json << "1-6 { }\n2-4 [ ]";
        QTest::newRow("plain text") << "a {\n}" << Language::Plain << "";
    }
    void whatFolds() {
        QFETCH(QString, text);
        QFETCH(Language, language);
        QFETCH(QString, expected);
        EditArea area;
        area.setLanguage(language);
        area.loadText(text);
        QCOMPARE(listed(area), expected);
    }

    // Folding hides lines and nothing else: the text, a copy, the caret's moves and what reaches
    // a hidden line all see the whole page.
    void foldingHidesLinesOnly() {
        EditArea area;
        area.resize(600, 400);
        area.show();
        const QByteArray bytes = test_files::readBytes(test_files::dataDir() + QStringLiteral("/d-oldstyle-rasmol.html"));
        const QString page = QString::fromLatin1(bytes);
        area.loadText(page);
        const QString before = area.text();
        const int all = shownBlocks(area);

        area.goToLine(3); // <HEAD>
        QVERIFY(area.folding()->foldAtCaret());
        QCOMPARE(shownBlocks(area), all - 2);
        QCOMPARE(area.text(), before);
        QCOMPARE(area.folding()->placeholderAfter(area.document()->findBlockByNumber(2)), QStringLiteral("…</HEAD>"));
        // Down steps over the fold, Up comes back to it, Right from its end goes past it.
        QTest::keyClick(&area, Qt::Key_Down);
        QCOMPARE(area.caretPlace().line, 6);
        QTest::keyClick(&area, Qt::Key_Up);
        QCOMPARE(area.caretPlace().line, 3);
        QTest::keyClick(&area, Qt::Key_End);
        QTest::keyClick(&area, Qt::Key_Right);
        QCOMPARE(area.caretPlace().line, 6);
        QTest::keyClick(&area, Qt::Key_Left);
        QCOMPARE(area.caretPlace().line, 3);
        // A copy across the fold copies its lines.
        area.selectInLine(2, 1, 40);
        QTest::keyClick(&area, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&area, Qt::Key_Down, Qt::ShiftModifier);
        area.copy();
        QVERIFY2(QApplication::clipboard()->text().contains(QStringLiteral("<title>RasMol V2.7.5 Manual</title>")),
                 qPrintable(QApplication::clipboard()->text()));

        // An edit after it, or on its first line, keeps it; going to a hidden line opens it.
        area.goToLine(6);
        area.replaceSelection(QStringLiteral("x"));
        area.goToLine(3, 6);
        area.replaceSelection(QStringLiteral(" lang=en"));
        QCOMPARE(area.folding()->foldCount(), 1);
        area.goToLine(4);
        QCOMPARE(area.folding()->foldCount(), 0);
        QCOMPARE(shownBlocks(area), all);
        area.goToLine(3);
        QVERIFY(area.folding()->foldAtCaret());
        QVERIFY(area.find(QStringLiteral("V2.7.5"))); // a find reaching into it opens it
        QCOMPARE(area.folding()->foldCount(), 0);
        // Its start tag edited away takes the fold with it; so does an edit in its hidden lines.
        area.goToLine(3);
        QVERIFY(area.folding()->foldAtCaret());
        area.selectInLine(3, 2, 2);
        area.replaceSelection(QStringLiteral("Xx"));
        QCOMPARE(area.folding()->foldCount(), 0);
        QCOMPARE(shownBlocks(area), all);
        area.goToLine(2);
        QVERIFY(area.folding()->foldAtCaret()); // <HTML>
        area.replaceRanges({{int(area.text().indexOf(QStringLiteral("<title>"))), 7}}, QStringLiteral("<TITLE>"));
        QCOMPARE(area.folding()->foldCount(), 0);

        // Fold All, to a level and Unfold All, with nested folds coming back as they were.
        area.folding()->foldAll();
        QCOMPARE(area.folding()->foldCount(), int(area.folding()->ranges().size()));
        QVERIFY(shownBlocks(area) < 10);
        QVERIFY(area.textCursor().block().isVisible());
        area.folding()->unfoldAll();
        QCOMPARE(shownBlocks(area), all);
        area.folding()->foldToLevel(2);
        const std::vector<int>& depths = area.folding()->depths();
        QCOMPARE(area.folding()->foldCount(), int(std::count(depths.begin(), depths.end(), 2)));
        area.goToLine(2);
        QVERIFY(area.folding()->foldAtCaret());  // the outer one over the inner ones
        QVERIFY(area.folding()->unfoldAtCaret());
        QCOMPARE(area.folding()->foldCount(), int(std::count(depths.begin(), depths.end(), 2)));
        QVERIFY(shownBlocks(area) < all);
        QCOMPARE(area.text().size(), before.size() + 1 + 8);
    }

    // Through the window: page d folded all over and saved keeps every byte.
    void aFoldedPageSavesWhole() {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("d.html"));
        const QByteArray bytes = test_files::readBytes(test_files::dataDir() + QStringLiteral("/d-oldstyle-rasmol.html"));
        QVERIFY(test_files::writeBytes(path, bytes));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.setQuitHandler([] {});
        QVERIFY(form.openPath(path));
        form.action(QStringLiteral("foldAll"))->trigger();
        QVERIFY(form.editArea()->folding()->foldCount() > 100);
        form.editArea()->setCaretPosition(0);
        QTest::keyClicks(form.editArea(), QStringLiteral("x"));
        form.action(QStringLiteral("savez"))->trigger();
        QCOMPARE(test_files::readBytes(path), "x" + bytes);
        QVERIFY(form.editArea()->folding()->foldCount() > 100);
    }

    // The gutter's marker folds and unfolds the line it stands beside.
    void theGutterMarkerFolds() {
        EditArea area;
        area.resize(600, 400);
        area.show();
        area.setFoldMarkersVisible(true); // as a new window has it, before its page comes
        area.loadText(QStringLiteral("<div>\n<p>a</p>\n</div>\n<p>b</p>"));
        QVERIFY(area.lineNumberGutter());
        QTRY_COMPARE(area.folding()->markOf(area.document()->firstBlock()), Folding::Mark::Open);
        QCOMPARE(area.folding()->markOf(area.document()->lastBlock()), Folding::Mark::None);
        QWidget* gutter = area.lineNumberGutter();
        const QPoint marker(gutter->width() - 3, area.cursorRect(QTextCursor(area.document())).center().y());
        QTest::mouseClick(gutter, Qt::LeftButton, {}, marker);
        QCOMPARE(area.folding()->markOf(area.document()->firstBlock()), Folding::Mark::Folded);
        QCOMPARE(shownBlocks(area), 2);
        QTest::mouseClick(gutter, Qt::LeftButton, {}, marker);
        QCOMPARE(shownBlocks(area), 4);
    }
};

} // namespace

TAGLOOM_TEST_MAIN(QApplication, FoldingTest)
#include "test_folding.moc"
