#include "support/test_files.h"
#include "typing/abbreviation.h"

#include <QCoreApplication>
#include <QTest>

namespace {
class AbbreviationTest : public QObject {
    Q_OBJECT
private slots:
    void expandsToItsMarkup_data() {
        QTest::addColumn<QString>("abbreviation");
        QTest::addColumn<QString>("markup"); // \n for a line end, | for the caret; "" for no abbreviation
        const auto row = [](const char* name, const char* markup) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(markup);
        };
        row("p", "<p>|</p>");
        row("div", "<div>|</div>");
        row("custom-el", "<custom-el>|</custom-el>");
        row("a", "<a href=\"|\"></a>");
        row("img", "<img src=\"|\" alt=\"\">");
        row("br", "<br>|");
        row("input", "<input type=\"text\">|");
        row("link", "<link rel=\"stylesheet\" href=\"|\">");
        row("#main", "<div id=\"main\">|</div>");
        row(".box", "<div class=\"box\">|</div>");
        row("p.a.b", "<p class=\"a b\">|</p>");
        row("p#x.y", "<p id=\"x\" class=\"y\">|</p>");
        row("a.nav", "<a href=\"|\" class=\"nav\"></a>");
        row("a[href=#]", "<a href=\"#\">|</a>");
        row("a[href=#]{Home}", "<a href=\"#\">Home</a>|");
        row("input[type=checkbox checked]", "<input type=\"checkbox\" checked=\"|\">");
        row("td[colspan=2 title=\"two cells\"]", "<td colspan=\"2\" title=\"two cells\">|</td>");
        row("p{Hello}", "<p>Hello</p>|");
        row("{Just text}", "Just text|");
        row("ul>li", "<ul>\n\t<li>|</li>\n</ul>");
        row("div>p", "<div>\n\t<p>|</p>\n</div>");
        row("p>span", "<p><span>|</span></p>");
        row("h1+p", "<h1>|</h1>\n<p></p>");
        row("em+strong", "<em>|</em><strong></strong>");
        row("div>p^h2", "<div>\n\t<p>|</p>\n</div>\n<h2></h2>");
        row("div>div>p^^h3", "<div>\n\t<div>\n\t\t<p>|</p>\n\t</div>\n</div>\n<h3></h3>");
        row("div>p^^^^span", "<div>\n\t<p>|</p>\n</div>\n<span></span>");
        row("li*3", "<li>|</li>\n<li></li>\n<li></li>");
        row("ul>li.item$*3", "<ul>\n\t<li class=\"item1\">|</li>\n\t<li class=\"item2\"></li>\n\t<li class=\"item3\"></li>\n</ul>");
        row("ul>li.item*3>a[href=#]{Link $}",
            "<ul>\n\t<li class=\"item\"><a href=\"#\">Link 1</a></li>\n\t<li class=\"item\"><a href=\"#\">Link 2</a></li>"
            "\n\t<li class=\"item\"><a href=\"#\">Link 3</a></li>\n</ul>|");
        row("h$$*2", "<h01>|</h01>\n<h02></h02>");
        row("p{$$$}*2", "<p>001</p>\n<p>002</p>|");
        row("(h2+p)*2", "<h2>|</h2>\n<p></p>\n<h2></h2>\n<p></p>");
        row("div>(header>h1)+main", "<div>\n\t<header>\n\t\t<h1>|</h1>\n\t</header>\n\t<main></main>\n</div>");
        row("(li>a)*2", "<li><a href=\"|\"></a></li>\n<li><a href=\"\"></a></li>");
        row("ul>.x", "<ul>\n\t<li class=\"x\">|</li>\n</ul>");
        row("ol>.x*2", "<ol>\n\t<li class=\"x\">|</li>\n\t<li class=\"x\"></li>\n</ol>");
        row("table>.row>.cell", "<table>\n\t<tr class=\"row\">\n\t\t<td class=\"cell\">|</td>\n\t</tr>\n</table>");
        row("select>.o*2", "<select>\n\t<option class=\"o\">|</option>\n\t<option class=\"o\"></option>\n</select>");
        row("span>.x", "<span><span class=\"x\">|</span></span>");
        row("em>.x", "<em><span class=\"x\">|</span></em>");
        row("section>.x", "<section>\n\t<div class=\"x\">|</div>\n</section>");
        row("form>label+input", "<form action=\"|\"><label for=\"\"></label><input type=\"text\"></form>");
        row("p>{Click }+a{here}", "<p>Click <a href=\"|\">here</a></p>");
        row("!", "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n\t<meta charset=\"UTF-8\">\n"
                 "\t<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">\n\t<title>|</title>\n"
                 "</head>\n<body>\n\t\n</body>\n</html>");
        // Not abbreviations: nothing happens.
        row("ul>", "");
        row("a[href", "");
        row("p{open", "");
        row("(li", "");
        row("li*", "");
        row(".", "");
        row("p+", "");
    }

    void expandsToItsMarkup() {
        QFETCH(QString, abbreviation);
        QFETCH(QString, markup);
        const auto expansion = abbreviation::expand(abbreviation, u"  ");
        if (markup.isEmpty()) {
            QVERIFY2(!expansion, qPrintable(expansion ? expansion->text : QString()));
            return;
        }
        QVERIFY(expansion);
        QString shown = expansion->text;
        shown.insert(expansion->caret, u'|');
        QCOMPARE(shown, QString(markup).replace(QStringLiteral("\n"), QStringLiteral("\r\n  ")));
    }

    void findsWhereItStarts_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("abbreviation");
        QTest::newRow("alone") << "ul>li*2" << "ul>li*2";
        QTest::newRow("after text") << "Some text ul>li" << "ul>li";
        QTest::newRow("spaces in brackets") << "x a[title=\"a b\"]{c d}" << "a[title=\"a b\"]{c d}";
        QTest::newRow("after a tag") << "<p>em>a" << "em>a";
        QTest::newRow("after an indent") << "\t\tp.x" << "p.x";
        QTest::newRow("nothing after a space") << "word " << "";
        QTest::newRow("inside a tag") << "<p class" << "";
    }

    void findsWhereItStarts() {
        QFETCH(QString, line);
        QFETCH(QString, abbreviation);
        const qsizetype start = abbreviation::startIn(line);
        QCOMPARE(start < 0 ? QString() : line.mid(start), abbreviation);
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QCoreApplication, AbbreviationTest)

#include "test_abbreviation.moc"
