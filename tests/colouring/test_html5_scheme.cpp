#include "colouring/html5_scheme.h"
#include "document/document_file.h"
#include "support/test_files.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <gumbo.h>

namespace {
using namespace html5_scheme;

/// One letter per character: . plain, t tag, n attribute name, v value, c comment, d doctype,
/// x CDATA, r character reference, w warning; in style sheets S selector, P property, V value,
/// Q string, N number, H colour, C comment, A at-rule; in scripts K keyword, J string,
/// T template literal, U number, M comment, R regular expression.
QString letters(const std::vector<std::uint8_t>& colours) {
    static const char kLetter[] = ".tnvcdxrwSPVQNHCAKJTUMR";
    static_assert(sizeof kLetter == std::size(kPalette) + 1);
    QString out;
    for (std::uint8_t c : colours)
        out += QLatin1Char(kLetter[c]);
    return out;
}

/// Where Gumbo, which follows the standard's tokenizer, puts tag names, attribute names and
/// attribute values; in UTF-8 byte offsets, each with the colour it must have.
struct Expected {
    qsizetype start;
    qsizetype end;
    bool name; // a tag or attribute name: its colour, or the warning colour
    std::uint8_t colour;
    bool code = false; // a style or event handler attribute's value: code after its quote
};

void collect(const GumboNode* node, const char* base, std::vector<Expected>& out) {
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement& e = node->v.element;
    for (const GumboStringPiece& tag : {e.original_tag, e.original_end_tag}) {
        if (tag.length == 0 || tag.data[0] != '<')
            continue; // a tag the parser implied
        GumboStringPiece name = tag;
        gumbo_tag_from_original_text(&name);
        out.push_back({name.data - base, name.data - base + qsizetype(name.length), true, Tag});
    }
    for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        out.push_back({a->original_name.data - base, a->original_name.data - base + qsizetype(a->original_name.length),
                       true, AttributeName});
        // An attribute without a value has its name as its "value".
        const QByteArray name(a->name);
        if (a->original_value.length > 0 && a->original_value.data != a->original_name.data)
            out.push_back({a->original_value.data - base,
                           a->original_value.data - base + qsizetype(a->original_value.length), false, AttributeValue,
                           name == "style" || (name.startsWith("on") && name.size() > 2)});
    }
    for (unsigned i = 0; i < e.children.length; ++i)
        collect(static_cast<const GumboNode*>(e.children.data[i]), base, out);
}

class Html5SchemeTest : public QObject {
    Q_OBJECT
private slots:
    void colours_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* text, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromLatin1(expected);
        };
        row("unquoted value", "<a href=x>", "tt.nnnn.vt");
        row("single-quoted value", "<a href='x'>", "tt.nnnn.vvvt");
        row("attributes without values", "<a b c=d>", "tt.n.n.vt");
        row("comment closed at once", "<!-->", "ccccc");
        row("comment closed at its dash", "<!--->", "cccccc");
        row("empty comment", "<!---->", "ccccccc");
        row("end tag with a space is a bogus comment", "</ p>", "ccccc");
        row("self-closing", "<p/>", "tttt");
        row("script text holds no tags", "<script>\"</scr\" + \"ipt>\"</script>",
            "ttttttttJJJJJJJ...JJJJJJttttttttt");
        row("textarea text holds no tags", "<textarea><b></textarea>", "tttttttttt...ttttttttttt");
        row("title text holds no tags", "<title>a<b</title>", "ttttttt...tttttttt");
        row("but references", "<title>&amp;</title><style>&amp;</style>", "tttttttrrrrrtttttttttttttttSSSS.tttttttt");
        row("CDATA in svg", "<svg><![CDATA[x]]></svg>", "tttttxxxxxxxxxxxxxtttttt");
        row("CDATA outside foreign content is a bogus comment", "<![CDATA[x]]>", "ccccccccccccc");
        row("named reference", "&amp;", "rrrrr");
        row("named reference not in", "&notin;", "rrrrrrr");
        row("hex reference", "&#x1F600;", "rrrrrrrrr");
        row("reference to NUL", "&#0;", "rrrr");
        row("no reference without a semicolon", "a & b &c d", "..........");
        row("unclosed tag at the end", "<a href=\"x", "tt.nnnn.vv");
        row("doctype", "<!DOCTYPE html>", "ddddddddddddddd");
        row("HTML5 elements", "<header><nav><main>", "ttttttttttttttttttt");
        row("upper case", "<HEADER>", "tttttttt");
        row("obsolete element", "<font>x</font>", "twwwwt.ttwwwwt");
        row("unknown element", "<xyz>", "twwwt");
        row("custom element", "<my-el>", "ttttttt");
        row("SVG element outside svg", "<circle>", "twwwwwwt");
        row("SVG element inside svg", "<svg><circle/></svg>", "tttttttttttttttttttt");
        row("a script's slash is ignored in HTML", "<script src=\"a.js\"/><style></script><b>x</b>",
            "ttttttt.nnn.vvvvvvtt.......tttttttttttt.tttt");
        row("an HTML element ends svg", "<svg><p><circle><![CDATA[x]]>", "tttttttttwwwwwwtccccccccccccc");
        row("so does </p>", "<math></p><circle>", "tttttttttttwwwwwwt");
        row("a slash in svg closes", "<svg><script/><b>x</b>", "ttttttttttttttttt.tttt");
        row("comment over two lines", "<!--a\r\nb-->", "ccccc..cccc");
        row("tag over two lines", "<a\nhref=x>", "tt.nnnn.vt");
    }
    void colours() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(letters(colourText(text)), expected);
    }

    // Every tag name, attribute name and attribute value Gumbo reads from a real page gets its
    // colour. (Gumbo's tree drops some tags, such as a second <body>; those are not compared.)
    void spansAgreeWithGumbo() {
        QStringList pages = test_files::dataPages();
        // The big pages beside the project, when they are there.
        if (const QString corpus = qEnvironmentVariable("TAGLOOM_CORPUS"); !corpus.isEmpty())
            for (const QString& name : QDir(corpus).entryList({QStringLiteral("*.html")}, QDir::Files))
                pages << QDir(corpus).filePath(name);
        for (const QString& path : pages) {
            const QByteArray utf8 = document_file::read(path).text.toUtf8();
            GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), size_t(utf8.size()));
            std::vector<Expected> expected;
            collect(output->root, utf8.constData(), expected);
            gumbo_destroy_output(&kGumboDefaultOptions, output);
            // Our colours, one per UTF-8 byte.
            const QString page = QString::fromUtf8(utf8);
            const std::vector<std::uint8_t> colours = colourText(page);
            std::vector<std::uint8_t> byByte;
            for (qsizetype i = 0; i < page.size(); ++i) {
                const qsizetype bytes = page[i].isHighSurrogate() ? 4 : page[i].isLowSurrogate() ? 0 : QStringView(page).mid(i, 1).toUtf8().size();
                byByte.insert(byByte.end(), size_t(bytes), colours[size_t(i)]);
            }
            int checked = 0;
            for (const Expected& e : expected) {
                for (qsizetype b = e.start; b < (e.code ? e.start + 1 : e.end); ++b) {
                    const std::uint8_t c = byByte[size_t(b)];
                    const bool ok = e.name ? (c == e.colour || c == Warning) : c == e.colour;
                    if (!ok)
                        QFAIL(qPrintable(QStringLiteral("%1: byte %2 of \"%3\" has colour %4")
                                             .arg(path)
                                             .arg(b)
                                             .arg(QString::fromUtf8(utf8.mid(e.start, e.end - e.start)))
                                             .arg(c)));
                }
                ++checked;
            }
            QVERIFY2(checked > 100, qPrintable(path));
        }
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, Html5SchemeTest)
#include "test_html5_scheme.moc"
