#include "colouring/outline.h"
#include "editor/edit_area.h"
#include "editor/element_path.h"
#include "editor/outline_panel.h"
#include "support/test_files.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {

// Entries as "level label", one per line.
QString listed(const std::vector<outline::Entry>& entries) {
    QStringList lines;
    for (const outline::Entry& e : entries)
        lines << QStringLiteral("%1 %2").arg(e.level).arg(e.label);
    return lines.join(u'\n');
}

class OutlineTest : public QObject {
    Q_OBJECT

private slots:
    // What a reader finds their way by: headings as the page has them (not in comments or
    // scripts, their text as it reads), the elements it names and its landmarks, a style
    // sheet's rules inside its at-rules.
    void theOutlineIsWhatAReaderSees_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Language>("language");
        QTest::addColumn<bool>("landmarks");
        QTest::addColumn<QString>("expected");
        QTest::newRow("headings") << "<h1>Caf&eacute; &amp; <em>Bar</em></h1><!-- <h2>no</h2> --><script>'<h2>no</h2>'</script>"
                                     "<H2 id=a>Menu</H2><h4>Tea&#160;time</h4><h2>\n  Hours\n</h2><h3></h3>"
                                  << Language::Html << false << "1 Caf\u00e9 & Bar\n2 Menu\n4 Tea time\n2 Hours\n3 (h3)";
        QTest::newRow("a heading left open") << "<h1>One<h2>Two</h2>" << Language::Html << false << "1 One\n2 Two";
        QTest::newRow("ids and landmarks")
            << "<header><nav id=menu><a id=x>a</a></nav></header><main id=\"content\"><p id=p>t<section>"
               "<img id=logo><table></table></section></main><footer>"
            << Language::Html << true << "1 header\n2 nav#menu\n3 a#x\n1 main#content\n2 p#p\n2 section\n3 img#logo\n3 table\n1 footer";
        QTest::newRow("a style sheet")
            << "/* head */\nbody { margin: 0 }\n@import 'a.css';\n@media (width < 40em) {\n  .nav a:hover,\n  .x { color: red }\n}\n"
               "a::after { content: \"{\" }"
            << Language::Css << false << "1 body\n1 @media (width < 40em)\n2 .nav a:hover, .x\n1 a::after";
        QTest::newRow("a script has none") << "function f() { }" << Language::JavaScript << false << "";
    }
    void theOutlineIsWhatAReaderSees() {
        QFETCH(QString, text);
        QFETCH(Language, language);
        QFETCH(bool, landmarks);
        QFETCH(QString, expected);
        const auto entries = outline::of(text, language, landmarks ? outline::Kind::Landmarks : outline::Kind::Headings);
        QCOMPARE(listed(entries), expected);
        // Each entry starts where its text does, in text order.
        for (size_t i = 0; i < entries.size(); ++i) {
            QVERIFY(i == 0 || entries[i - 1].start < entries[i].start);
            if (language == Language::Html)
                QCOMPARE(text[entries[i].start], u'<');
        }
    }

    // On every test page each heading entry stands on its own start tag, in text order.
    void theTestPagesHeadings() {
        const QDir data(test_files::dataDir());
        int headings = 0;
        for (const QString& name : data.entryList({QStringLiteral("*.html")}, QDir::Files)) {
            const QString page = QString::fromUtf8(test_files::readBytes(data.filePath(name)));
            const auto entries = outline::of(page, Language::Html);
            for (const outline::Entry& e : entries)
                QVERIFY2(page.mid(e.start, 3).compare(QStringLiteral("<h%1").arg(e.level), Qt::CaseInsensitive) == 0,
                         qPrintable(name + u' ' + e.label));
            headings += int(entries.size());
        }
        QVERIFY(headings > 20);
    }

    // The element path at the caret (`@`), as a browser nests the elements: implied ends,
    // void elements, the caret in a tag.
    void theElementPathAtTheCaret_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("path");
        QTest::newRow("nested, with id and class")
            << "<html><body><main id=content class=\"x y\"><ul class=nav><li>a<li>b@</ul></main></body></html>"
            << "html body main#content.x ul.nav li";
        QTest::newRow("a paragraph ended by the next") << "<p>one<p>tw@o" << "p";
        QTest::newRow("after a void element") << "<div><img src=a.png>@</div>" << "div";
        QTest::newRow("in a tag") << "<div><img@ src=a.png></div>" << "div img";
        QTest::newRow("cells") << "<table><tr><td>x@</table>" << "table tr td";
        QTest::newRow("after the end") << "<p>a</p>@" << "";
    }
    void theElementPathAtTheCaret() {
        QFETCH(QString, page);
        QFETCH(QString, path);
        const int caret = int(page.indexOf(u'@'));
        page.remove(caret, 1);
        QStringList labels;
        for (const ElementPath::Part& part : ElementPath::at(page, caret))
            labels << part.label;
        QCOMPARE(labels.join(u' '), path);
    }

    // In a window: the path follows the caret once it rests, and a part chosen selects its element.
    void thePathSelectsAnElement() {
        EditArea area;
        area.loadText(QStringLiteral("<ul>\r\n<li>one</li>\r\n<li>two</li>\r\n</ul>"));
        ElementPath path;
        QSignalSpy shown(&path, &ElementPath::shown);
        path.follow(&area);
        area.setCaretPosition(int(area.text().indexOf(QStringLiteral("two"))));
        QVERIFY(shown.wait(5000));
        QCOMPARE(path.parts().size(), size_t(2));
        path.choose(1);
        QCOMPARE(area.selectedText(), QStringLiteral("<li>two</li>"));
        path.choose(0);
        QVERIFY(area.selectedText().startsWith(QStringLiteral("<ul>")));
    }

    // The panel reads the text a moment after typing pauses, follows the caret, filters, and a
    // click goes to the place.
    void thePanelFollowsTheText() {
        EditArea area;
        area.loadText(QStringLiteral("<h1>Intro</h1>\r\n<p>x</p>\r\n<h2>Usage</h2>\r\n<h2>Notes</h2>"));
        OutlinePanel panel;
        QSignalSpy shown(&panel, &OutlinePanel::shown);
        panel.follow(&area);
        QVERIFY(shown.wait(5000));
        QTreeWidget* tree = panel.tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
        area.setCaretPosition(int(area.text().indexOf(QStringLiteral("Notes"))));
        QCOMPARE(panel.current(), QStringLiteral("Notes"));
        emit tree->itemActivated(tree->topLevelItem(0)->child(0), 0);
        QCOMPARE(area.selectionStart(), int(area.text().indexOf(QStringLiteral("<h2>Usage"))));
        panel.filter()->setText(QStringLiteral("not"));
        QVERIFY(!tree->topLevelItem(0)->isHidden()); // the parent of a match shows
        QVERIFY(tree->topLevelItem(0)->child(0)->isHidden());
        QVERIFY(!tree->topLevelItem(0)->child(1)->isHidden());
        // Typing: read again once typing pauses.
        area.moveCursor(QTextCursor::End);
        area.replaceSelection(QStringLiteral("\r\n<h3>More</h3>"));
        QVERIFY(shown.wait(5000));
        QCOMPARE(tree->topLevelItem(0)->child(1)->childCount(), 1);
    }
};

} // namespace

TAGLOOM_TEST_MAIN(QApplication, OutlineTest)
#include "test_outline.moc"
