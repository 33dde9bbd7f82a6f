#include "colouring/tag_matching.h"

#include <QTest>

namespace {
/// What the tag at @p caret pairs with: the partner's text, or its status.
QString partnerOf(const QString& page, qsizetype caret) {
    const TagMap map = TagMap::build(page);
    const int index = map.tagAtName(caret);
    if (index < 0)
        return QStringLiteral("no tag");
    const TagMap::Tag& tag = map.tags()[size_t(index)];
    switch (tag.status) {
    case TagMap::Status::Matched: {
        const TagMap::Tag& p = map.tags()[size_t(tag.partner)];
        return page.mid(p.start, p.end - p.start) + QStringLiteral(" at ") + QString::number(p.start);
    }
    case TagMap::Status::Void:
        return QStringLiteral("void");
    case TagMap::Status::EndedImplicitly:
        return QStringLiteral("ended implicitly");
    case TagMap::Status::Unmatched:
        break;
    }
    return QStringLiteral("unmatched");
}

class TagMatchingTest : public QObject {
    Q_OBJECT
private slots:
    void partners_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("caretAfter"); // the caret stands just after this text's first occurrence
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* page, const char* caretAfter, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(page) << QString::fromUtf8(caretAfter) << QString::fromUtf8(expected);
        };
        row("nested same name", "<div><div>x</div></div>", "<d", "</div> at 17");
        row("inner", "<div><div>x</div></div>", "<div><d", "</div> at 11");
        row("from the end tag", "<div><div>x</div></div>", "x</div></d", "<div> at 0");
        row("at the bracket", "<b>x</b>", "", "</b> at 4");
        row("right after the name", "<section id=a>x</section>", "<section", "</section> at 15");
        row("on an attribute", "<section id=a>x</section>", "<section i", "no tag");
        row("case differs", "<DIV>x</div>", "<D", "</div> at 6");
        row("void element", "<p>a<br>b</p>", "<b", "void");
        row("self-closed", "<svg><path d=\"x\"/></svg>", "<pa", "void");
        row("unquoted value takes the slash", "<svg><path d=x/></svg>", "<pa", "unmatched");
        row("void end tag", "<p>a</br></p>", "</b", "unmatched");
        row("paragraph ended by a block", "<p>one<div>two</div>", "<p", "ended implicitly");
        row("list items", "<ul><li>a<li>b</ul>", "<l", "ended implicitly");
        row("list end", "<ul><li>a<li>b</ul>", "<u", "</ul> at 14");
        row("cells and rows", "<table><tr><td>a<td>b<tr><td>c</table>", "<table", "</table> at 30");
        row("paragraph inside list item", "<li><p>a<li>b", "<li><p", "ended implicitly");
        row("tags in script are text", "<script>if (a<b) x = '</div>';</script>", "<s", "</script> at 30");
        row("end tag in script", "<div><script>'</div>'</script></div>", "<d", "</div> at 30");
        row("style content", "<style>p > a {}</style><p>x</p>", "<st", "</style> at 15");
        row("title content", "<title><b>x</title>", "<ti", "</title> at 11");
        row("comment", "<div><!-- </div> --></div>", "<d", "</div> at 20");
        row("never ended", "<div><span>x</div>", "<sp", "unmatched");
        row("end with no start", "<p>x</p></span>", "</sp", "unmatched");
        row("misnested", "<b><i>x</b></i>", "</i", "unmatched");
        row("foreign content keeps its own rules", "<p><svg><p>x</p></svg>", "<svg><p", "</p> at 12");
        row("non-ASCII before", "<p>日本</p>", "<p>日本</", "<p> at 0");
    }
    void partners() {
        QFETCH(QString, page);
        QFETCH(QString, caretAfter);
        QFETCH(QString, expected);
        QCOMPARE(partnerOf(page, page.indexOf(caretAfter) + caretAfter.size()), expected);
    }

    void nestingAThousandDeep() {
        const QString page = QStringLiteral("<div>").repeated(1000) + QStringLiteral("x") + QStringLiteral("</div>").repeated(1000);
        const TagMap map = TagMap::build(page);
        QCOMPARE(map.tags().size(), size_t(2000));
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(map.tags()[size_t(i)].partner, 1999 - i);
    }

    void elementToClose_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("expected");
        QTest::newRow("innermost") << "<div><span>x" << "span";
        QTest::newRow("after an ended one") << "<div><span>x</span>" << "div";
        QTest::newRow("void elements are skipped") << "<p>a<br><img src=x>" << "p";
        QTest::newRow("list item") << "<ul><li>a" << "li";
        QTest::newRow("inside a comment") << "<div><!-- x" << "";
        QTest::newRow("inside script") << "<div><script>if (a" << "";
        QTest::newRow("inside style") << "<style>a " << "";
        QTest::newRow("inside a tag") << "<div class=" << "";
        QTest::newRow("nothing open") << "<b>x</b>" << "";
    }
    void elementToClose() {
        QFETCH(QString, before);
        QFETCH(QString, expected);
        QCOMPARE(TagMap::elementToClose(before), expected);
    }
};
} // namespace

QObject* newTagMatchingTest() {
    return new TagMatchingTest;
}
#include "test_tag_matching.moc"
