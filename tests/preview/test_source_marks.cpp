#include "preview/source_marks.h"

#include <QTest>

namespace {
// A mark as the page the preview is given holds it.
QString at(int position) {
    return QStringLiteral(" data-tagloom-at=\"%1\"").arg(position);
}

class SourceMarksTest : public QObject {
    Q_OBJECT
private slots:
    // Each start tag gets its source position after its name, on its own line; nothing else of
    // the page changes.
    void marksStartTags_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("marked");
        QTest::newRow("attributes stay after the mark") << "<a href=x>y</a>" << "<a" + at(0) + " href=x>y</a>";
        QTest::newRow("void and self-closed") << "<br><img/>" << "<br" + at(0) + "><img" + at(4) + "/>";
        QTest::newRow("upper case, over lines") << "<P\r\nclass=c>\r\n<DIV>" << "<P" + at(0) + "\r\nclass=c>\r\n<DIV" + at(14) + ">";
        QTest::newRow("no tags in script, comments or text")
            << "<script>if (a<b) x='<i>'</script><!-- <b> -->a < b"
            << "<script" + at(0) + ">if (a<b) x='<i>'</script><!-- <b> -->a < b";
        QTest::newRow("doctype and end tags unmarked") << "<!DOCTYPE html><p></p>" << "<!DOCTYPE html><p" + at(15) + "></p>";
    }
    void marksStartTags() {
        QFETCH(QString, page);
        QFETCH(QString, marked);
        QCOMPARE(source_marks::mark(page).text, marked);
    }

    // The element the caret is in, as a browser builds the elements.
    void elementAtCaret_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("caretBefore"); // the caret goes before the first of these
        QTest::addColumn<QString>("elementAt");   // the element's start tag begins at the first of these
        QTest::newRow("innermost") << "<div><p>a <em>b</em> c</p></div>" << "b" << "<em>";
        QTest::newRow("after an inner element") << "<div><p>a <em>b</em> c</p></div>" << " c" << "<p>";
        QTest::newRow("inside the start tag") << "<div><p class=x>a</p></div>" << "class" << "<p";
        QTest::newRow("in the end tag") << "<div><p>a</p>x</div>" << "/p>" << "<p>";
        QTest::newRow("p ended by the next p") << "<body><p>one<p>two</body>" << "two" << "<p>two";
        QTest::newRow("li ended by its parent's end") << "<ul><li>a<li>b</ul>z" << "z" << "";
        QTest::newRow("an end tag closes what it holds") << "<div><span>x</div>y<b>z</b>" << "y" << "";
        QTest::newRow("never after a void element") << "<p>a<br>b</p>" << "b</p>" << "<p>";
        QTest::newRow("an unclosed element runs on") << "<section><b>bold" << "old" << "<b>";
    }
    void elementAtCaret() {
        QFETCH(QString, page);
        QFETCH(QString, caretBefore);
        QFETCH(QString, elementAt);
        const source_marks::MarkedPage marked = source_marks::mark(page);
        const int caret = int(page.indexOf(caretBefore));
        QVERIFY(caret >= 0);
        QCOMPARE(source_marks::elementAt(marked.elements, caret), elementAt.isEmpty() ? -1 : int(page.indexOf(elementAt)));
    }
};
} // namespace

QTEST_GUILESS_MAIN(SourceMarksTest)
#include "test_source_marks.moc"
