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

    // An edit inside one element goes to the preview as that element's new content; anything
    // that changes more than that content loads the page again.
    void anEditBecomesAPatchOfItsElement_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("element");  // empty: no patch; else the patched element's start tag
        QTest::addColumn<QString>("content");  // its new content, marked
        QTest::newRow("text in a paragraph") << "<div><p>ab</p></div>" << "<div><p>aXb</p></div>" << "<p>" << "aXb";
        QTest::newRow("a tag typed in") << "<div><p>ab</p></div>" << "<div><p>a<b>X</b>b</p></div>"
                                        << "<p>" << "a<b" + at(9) + ">X</b>b";
        QTest::newRow("the later marks move") << "<p>a</p><p>b</p>" << "<p>aaa</p><p>b</p>" << "<p>" << "aaa";
        QTest::newRow("text in a script") << "<div><script>a=1</script></div>" << "<div><script>a=12</script></div>" << "" << "";
        QTest::newRow("a script comes in") << "<div><p>ab</p></div>" << "<div><p>a<script>x()</script>b</p></div>" << "" << "";
        QTest::newRow("an end tag typed in") << "<div><p>ab</p>c</div>" << "<div><p>a</div>b</p>c</div>" << "" << "";
        QTest::newRow("outside every element") << "text" << "texts" << "" << "";
    }
    void anEditBecomesAPatchOfItsElement() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, element);
        QFETCH(QString, content);
        const source_marks::MarkedPage old = source_marks::mark(before);
        const source_marks::MarkedPage now = source_marks::mark(after);
        const std::optional<source_marks::Patch> patch = source_marks::patch(before, old, after, now);
        QCOMPARE(patch.has_value(), !element.isEmpty());
        if (!patch)
            return;
        QCOMPARE(patch->element, int(before.indexOf(element)));
        QCOMPARE(patch->content, content);
        QCOMPARE(patch->delta, int(after.size() - before.size()));
        // Marks from the edit's end on move by the change of length: the next element's start
        // in the page after the edit is its start before plus delta.
        const qsizetype next = before.indexOf(u'<', patch->editEnd);
        if (next >= 0 && before.indexOf(QStringLiteral("<p>"), patch->editEnd) == next)
            QCOMPARE(after.indexOf(QStringLiteral("<p>"), patch->editEnd + patch->delta), next + patch->delta);
    }
};
} // namespace

QTEST_GUILESS_MAIN(SourceMarksTest)
#include "test_source_marks.moc"
