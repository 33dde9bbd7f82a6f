#include "colouring/tag_matching.h"
#include "document/document_file.h"
#include "editor/format_document.h"
#include "support/test_files.h"

#include <QApplication>
#include <QTest>
#include <gumbo.h>
#include <set>
#include <tuple>

namespace {
/// What the tag at @p caret pairs with: the partner's text, or its status.
QString partnerOf(const QString& page, qsizetype caret) {
    const TagMap map = TagMap::build(page);
    const int index = map.tagAtName(caret);
    if (index < 0)
        return QStringLiteral("no tag");
    const TagMap::Tag& tag = map.tags()[size_t(index)];
    switch (tag.status()) {
    case TagMap::Status::Matched: {
        const TagMap::Tag& p = map.tags()[size_t(tag.partner())];
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

/// What Gumbo, an HTML5 parser that follows the standard's tokenizer, read from a page: where
/// the tags it kept start, and the stretches of script and style text. Offsets in UTF-8 bytes.
struct GumboReading {
    std::set<qsizetype> startTags;
    std::set<qsizetype> endTags;
    std::vector<std::pair<qsizetype, qsizetype>> rawText;
};

void walk(const GumboNode* node, const char* base, GumboReading& out) {
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement& e = node->v.element;
    if (e.original_tag.length > 0 && e.original_tag.data[0] == '<')
        out.startTags.insert(e.original_tag.data - base);
    if (e.original_end_tag.length > 0 && e.original_end_tag.data[0] == '<')
        out.endTags.insert(e.original_end_tag.data - base);
    const bool raw = e.tag == GUMBO_TAG_SCRIPT || e.tag == GUMBO_TAG_STYLE;
    for (unsigned i = 0; i < e.children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
        if (raw && child->type == GUMBO_NODE_TEXT)
            out.rawText.emplace_back(child->v.text.original_text.data - base,
                                     child->v.text.original_text.data - base + child->v.text.original_text.length);
        walk(child, base, out);
    }
}

/// The tree Gumbo builds, written out: elements with their attributes, comments, and text with
/// its whitespace collapsed (kept as it is in pre, textarea, script and style).
void writeTree(const GumboNode* node, bool keepText, QString& out) {
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
        if (node->type != GUMBO_NODE_DOCUMENT) {
            const GumboElement& e = node->v.element;
            out += u'<' + QString::fromUtf8(gumbo_normalized_tagname(e.tag));
            for (unsigned i = 0; i < e.attributes.length; ++i) {
                const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
                out += QStringLiteral(" %1=\"%2\"").arg(QString::fromUtf8(a->name), QString::fromUtf8(a->value));
            }
            out += u'>';
            keepText = keepText || e.tag == GUMBO_TAG_PRE || e.tag == GUMBO_TAG_TEXTAREA || e.tag == GUMBO_TAG_SCRIPT ||
                       e.tag == GUMBO_TAG_STYLE;
        }
        for (unsigned i = 0; i < children.length; ++i)
            writeTree(static_cast<const GumboNode*>(children.data[i]), keepText, out);
        out += QStringLiteral("</>");
        break;
    }
    case GUMBO_NODE_COMMENT:
        out += QStringLiteral("<!--") + QString::fromUtf8(node->v.text.text) + QStringLiteral("-->");
        break;
    default: { // text, whitespace, CDATA
        const QString text = QString::fromUtf8(node->v.text.text);
        out += keepText ? text : u'[' + (text.simplified().isEmpty() ? QStringLiteral(" ") : text.simplified()) + u']';
        break;
    }
    }
}

QString treeOf(const QString& page) {
    const QByteArray utf8 = page.toUtf8();
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), size_t(utf8.size()));
    QString tree;
    writeTree(output->document, false, tree);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return tree;
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
        row("an end tag whose name runs on does not end script text", "<script>a</scripts>b</script>", "<s",
            "</script> at 20");
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
            QCOMPARE(map.tags()[size_t(i)].partner(), 1999 - i);
    }

    // Format Document against Gumbo: every test page and the hard cases parse into the same tree
    // before and after, apart from whitespace a browser collapses.
    void formattingKeepsGumbosTree() {
        QStringList pages{QStringLiteral("<div>\r\n<pre>\r\n  a <b>x</b>\r\n    b\r\n</pre>\r\n<p>one<br>\r\ntwo &#169 2024\r\n"
                                         "<ul>\r\n<li>a\r\n<li><i>b</i>\r\n<i>c</i></ul>\r\n<!--[if IE]>\r\n  x\r\n<![endif]-->\r\n"
                                         "<textarea>\r\n  t\r\n</textarea>\r\n</div>")};
        for (const QString& path : test_files::dataPages())
            pages << document_file::read(path).text;
        for (const QString& page : std::as_const(pages)) {
            const auto edits = format_document::reindent(page).edits;
            const QString formatted = format_document::applied(page, edits);
            QVERIFY(!edits.empty());
            QCOMPARE(treeOf(formatted), treeOf(page));
            // With tabs and long tags wrapped between their attributes.
            const QString wrapped = format_document::applied(page, format_document::reindent(page, 0, -1, {QStringLiteral("\t"), 40}).edits);
            QVERIFY(wrapped.count(u'\n') >= formatted.count(u'\n'));
            QCOMPARE(treeOf(wrapped), treeOf(page));
        }
        // A minified page of 1 MB on one line: no line to indent, but its tags wrap when asked.
        QString minified = QStringLiteral("<!doctype html><html><body><div>");
        for (int i = 0; minified.size() < 1'000'000; ++i)
            minified += QStringLiteral("<p class=x id=p%1>t <b>%1</b></p>").arg(i);
        minified += QStringLiteral("</div></body></html>");
        QVERIFY(format_document::reindent(minified).edits.empty());
        const auto wrapping = format_document::reindent(minified, 0, -1, {QString(), 80}).edits;
        QVERIFY(wrapping.size() > 20000);
        const QString unminified = format_document::applied(minified, wrapping);
        QVERIFY(!format_document::firstDifference(minified, unminified));
        QCOMPARE(treeOf(unminified), treeOf(minified));
    }

    void tokenizerAgreesWithGumbo() {
        for (const QString& path : test_files::dataPages()) {
            const QByteArray utf8 = document_file::read(path).text.toUtf8();
            GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), size_t(utf8.size()));
            GumboReading gumbo;
            walk(output->root, utf8.constData(), gumbo);
            gumbo_destroy_output(&kGumboDefaultOptions, output);
            // Ours, in the same UTF-8 byte offsets.
            const QString page = QString::fromUtf8(utf8);
            std::vector<qsizetype> byteAt(size_t(page.size()) + 1);
            for (qsizetype i = 0, b = 0; i <= page.size(); ++i) {
                byteAt[size_t(i)] = b;
                if (i < page.size())
                    b += page[i].isLowSurrogate() ? 2 : QStringView(page).mid(i, 1).toUtf8().size();
            }
            std::set<qsizetype> starts;
            std::set<qsizetype> ends;
            const TagMap map = TagMap::build(page);
            // The map's packed tags say what the tokenizer said, and a tag has a partner or an end.
            struct Tokens : HtmlTokenizer::Listener {
                void tag(const HtmlTag& t) override { tags.push_back(t); }
                std::vector<HtmlTag> tags;
            } tokens;
            HtmlTokenizer tokenizer;
            tokenizer.feed(page, 0, tokens);
            tokenizer.finish(page.size(), tokens);
            QCOMPARE(map.tags().size(), tokens.tags.size());
            for (size_t i = 0; i < tokens.tags.size(); ++i) {
                const TagMap::Tag& t = map.tags()[i];
                const HtmlTag& seen = tokens.tags[i];
                QCOMPARE(std::tuple(t.start, t.end, t.nameStart(), t.nameLength(), t.endTag()),
                         std::tuple(int(seen.start), int(seen.end), int(seen.nameStart), int(seen.nameLength), seen.endTag));
                QCOMPARE(t.partner() >= 0, t.status() == TagMap::Status::Matched);
                if (t.partner() >= 0)
                    QCOMPARE(map.tags()[size_t(t.partner())].partner(), int(i));
                QCOMPARE(t.endedAt() >= 0, !t.endTag() && t.status() != TagMap::Status::Matched && t.status() != TagMap::Status::Void);
            }
            for (const TagMap::Tag& t : map.tags()) {
                (t.endTag() ? ends : starts).insert(byteAt[size_t(t.start)]);
                for (const auto& [from, to] : gumbo.rawText)
                    QVERIFY2(byteAt[size_t(t.start)] < from || byteAt[size_t(t.start)] >= to,
                             qPrintable(path + QStringLiteral(" a tag inside script or style text")));
            }
            // Every tag Gumbo kept, ours found too: its tree drops some misplaced tags, ours keeps them.
            QVERIFY2(std::includes(starts.begin(), starts.end(), gumbo.startTags.begin(), gumbo.startTags.end()),
                     qPrintable(path));
            QVERIFY2(std::includes(ends.begin(), ends.end(), gumbo.endTags.begin(), gumbo.endTags.end()),
                     qPrintable(path));
            QVERIFY(gumbo.startTags.size() > 100);
        }
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

TAGLOOM_TEST_MAIN(QApplication, TagMatchingTest)
#include "test_tag_matching.moc"
