#include "colouring/html5_scheme.h"
#include "document/document_file.h"
#include "editor/format_document.h"
#include "support/test_files.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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

/// Code in a page: where it starts and ends, and how the oracle reads it.
struct Code {
    QString page;
    qsizetype start = 0;
    qsizetype end = 0;
    QString lang; // js, css or css-declarations
    QString label;
    Language language = Language::Html; // what page is: a page, or a style sheet or script of its own
};

/// The scripts (JavaScript ones) and style sheets of a page, found by the tokenizer.
/// What the oracle script answers for @p input (one entry each); on trouble, less and why.
QJsonArray askCssTreeAndAcorn(const QJsonArray& input, QString& trouble) {
    QProcess node;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NODE_PATH"), QStringLiteral("/usr/share/nodejs:/usr/lib/nodejs"));
    node.setProcessEnvironment(environment);
    node.start(QStringLiteral("node"), {QStringLiteral(TAGLOOM_TEST_DATA_DIR "/../colouring/code_tokens.js")});
    if (!node.waitForStarted()) {
        trouble = QStringLiteral("node is missing: scripts/deps.sh test installs it with css-tree and acorn");
        return {};
    }
    node.write(QJsonDocument(input).toJson(QJsonDocument::Compact));
    node.closeWriteChannel();
    node.waitForFinished(120000);
    trouble = QString::fromUtf8(node.readAllStandardError());
    return QJsonDocument::fromJson(node.readAllStandardOutput()).array();
}

std::vector<Code> codeIn(const QString& page, const QString& label) {
    struct Finder : HtmlTokenizer::Listener {
        QStringView page;
        QString element, attribute;
        bool endTag = false, data = false;
        qsizetype open = -1;
        QString lang;
        std::vector<std::pair<qsizetype, qsizetype>> scripts, styles;
        void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
            const QStringView text = page.mid(start, length);
            if (kind == HtmlSpan::TagBracket && text == u"</" && open >= 0) {
                (lang == u"js" ? scripts : styles).emplace_back(open, start);
                open = -1;
            } else if (kind == HtmlSpan::TagBracket && text.startsWith(u'<')) {
                endTag = text == u"</";
                data = false;
            } else if (kind == HtmlSpan::TagName) {
                element = text.toString().toLower();
            } else if (kind == HtmlSpan::AttributeName) {
                attribute = text.toString().toLower();
            } else if (kind == HtmlSpan::AttributeValue && attribute == u"type" && element == u"script") {
                const QString type = text.toString().remove(u'"').remove(u'\'').trimmed().toLower();
                data = !(type.isEmpty() || type == u"module" || type.contains(u"javascript"));
            }
        }
        void tag(const HtmlTag& t) override {
            if (!t.endTag && t.complete && (element == u"script" || element == u"style")) {
                open = t.end;
                lang = element == u"script" ? (data ? QStringLiteral("data") : QStringLiteral("js")) : QStringLiteral("css");
            }
        }
    } finder;
    finder.page = page;
    HtmlTokenizer tokenizer;
    tokenizer.feed(page, 0, finder);
    std::vector<Code> out;
    for (const auto& [start, end] : finder.scripts)
        out.push_back({page, start, end, QStringLiteral("js"), label});
    for (const auto& [start, end] : finder.styles)
        out.push_back({page, start, end, QStringLiteral("css"), label});
    return out;
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

    // The code inside pages gets the colours that css-tree and acorn give its tokens: kind and
    // extent of every comment, string, template literal, number, regular expression, keyword,
    // at-rule and colour. Edge cases first, then every script and style sheet of the test pages.
    // Format Document on a style sheet or a script changes indents only: css-tree and acorn read
    // the same tokens before and after, in the test pages' code and in the hard cases.
    void formattedCodeReadsAsBefore() {
        std::vector<std::pair<QString, QString>> codes{
            {"js", "if (a) {\nb(`x\n    y ${ {c: 1}.c }\n z`);\n/* c\n   d */\n}"},
            {"js", "f(function () {\nreturn [\n1, /[{]/,\n];\n});\nconst s = 'a\\\n  b';"},
            {"js", "x = {\na: '}',\n// }\nb: \"{\",\n};"},
            {"css", "@media x {\na {\n  b: \"{\";\n}\n}\n/* {\n */\n.c { d: url(x{y}.png) }"},
        };
        for (const QString& path : test_files::dataPages())
            for (const Code& code : codeIn(document_file::read(path).text, QFileInfo(path).fileName()))
                if (code.lang == u"js" || code.lang == u"css")
                    codes.emplace_back(code.lang, code.page.mid(code.start, code.end - code.start));
        QJsonArray input;
        int changed = 0;
        for (const auto& [lang, text] : codes)
            for (const QString& unit : {QStringLiteral("    "), QStringLiteral("\t")}) {
                const auto formatted = format_document::reindentCode(text, lang == u"css", 0, -1, {unit});
                const QString after = format_document::applied(text, formatted.edits);
                QVERIFY2(!format_document::firstCodeDifference(text, after, lang == u"css"), qPrintable(text));
                changed += after != text ? 1 : 0;
                input.append(QJsonObject{{"lang", lang + QStringLiteral("-tokens")}, {"text", text}});
                input.append(QJsonObject{{"lang", lang + QStringLiteral("-tokens")}, {"text", after}});
            }
        QVERIFY(changed > 10);
        QString trouble;
        const QJsonArray tokens = askCssTreeAndAcorn(input, trouble);
        QVERIFY2(tokens.size() == input.size(), qPrintable(trouble));
        int read = 0;
        for (qsizetype i = 0; i < tokens.size(); i += 2) {
            if (tokens[i].isObject())
                continue; // the parser cannot read the code as it was: nothing to compare
            QVERIFY2(tokens[i] == tokens[i + 1], qPrintable(input[i].toObject()["text"].toString()));
            ++read;
        }
        QVERIFY(read > 10);
    }

    void codeAgreesWithCssTreeAndAcorn() {
        std::vector<Code> codes;
        const auto wrap = [&](const QString& lang, const QString& code, const QString& label) {
            const QString open = lang == u"js"    ? QStringLiteral("<script>")
                                 : lang == u"css" ? QStringLiteral("<style>")
                                                  : QStringLiteral("<p style=\"");
            const QString close = lang == u"js" ? QStringLiteral("</script>") : lang == u"css" ? QStringLiteral("</style>") : QStringLiteral("\">");
            const QString page = QStringLiteral("<p>x\r\n") + open + code + close;
            const qsizetype start = page.indexOf(open) + open.size();
            codes.push_back({page, start, start + code.size(), lang, label});
        };
        const char* const js[][2] = {
            {"regex after ) is division", "var a = (b) / 2 / c;"},
            {"regex at an expression's start", "x = /[/]+\\/g.test(s) ? 1 : 2;"},
            {"regex after return", "function f() { return /ab+c/i; }"},
            {"regex after a keyword", "if (typeof x === 'string') y = x.split(/,\\s*/);"},
            {"division after a name", "total = sum / count / 2;"},
            {"division after ]", "r = a[0] / a[1];"},
            {"nested template literals", "s = `a${b ? `c${d}e` : 'f'}g`;"},
            {"object in a template", "s = `${ {a: 1}.a }`;"},
            {"template over lines", "s = `one\r\ntwo ${x}\r\nthree`;"},
            {"</script> inside a string ends the script", "var a = '<\\/script>'; var b = \"</scr\" + \"ipt>\";"},
            {"numbers", "n = [0, 1.5, .5, 1e10, 2E-3, 0x1F, 0b101, 0o17, 1_000, 10n];"},
            {"comments", "/* one\r\n two */ a(); // end\r\nb();"},
            {"keywords and names", "const x = new Map(); let y = this.default; class A extends B { static m() { return super.m(); } }"},
            {"property names that spell keywords", "o.if = o.class + o.new;"},
            {"strings with escapes", "s = 'it\\'s' + \"say \\\"hi\\\"\";"},
            {"async and await", "async function f() { await g(); }"},
            {"arrow and spread", "const f = (...a) => a.map(x => x * 2);"},
            {"regex with a class holding a slash", "re = /[a-z/]+/;"},
        };
        for (const auto& [label, code] : js)
            wrap(QStringLiteral("js"), QString::fromUtf8(code), QString::fromUtf8(label));
        const char* const css[][2] = {
            {"rules", "body { margin: 0; color: #333; font: 12px/1.5 sans-serif; }"},
            {"@media blocks", "@media (min-width: 600px) { .a { width: 50%; } }"},
            {"url( without quotes", "a { background: url(img/x.png) no-repeat; }"},
            {"url( with quotes", "a { background: url(\"img/x.png\"); }"},
            {"strings and comments", "/* c */ a::before { content: \"x\"; } /* d\r\n e */"},
            {"numbers with units", "a { margin: -1px +2em .5rem 1e3px; line-height: 1.2; }"},
            {"@import and @font-face", "@import \"a.css\"; @font-face { font-family: X; src: url(x.woff); }"},
            {"nested rules", "@supports (display: grid) { @media print { a { top: 0; } } }"},
            {"keyframes", "@keyframes spin { from { rotate: 0deg; } 50% { rotate: 180deg; } }"},
            {"colours", "a { color: #fff; border-color: #a1b2c3d4; }"},
        };
        for (const auto& [label, code] : css)
            wrap(QStringLiteral("css"), QString::fromUtf8(code), QString::fromUtf8(label));
        wrap(QStringLiteral("css-declarations"), QStringLiteral("color: red; margin: 2px 0"), QStringLiteral("style attribute"));
        QStringList pages = test_files::dataPages();
        if (const QString corpus = qEnvironmentVariable("TAGLOOM_CORPUS"); !corpus.isEmpty())
            for (const QString& name : QDir(corpus).entryList({QStringLiteral("*.html")}, QDir::Files))
                pages << QDir(corpus).filePath(name);
        for (const QString& path : pages)
            for (Code& code : codeIn(document_file::read(path).text, QFileInfo(path).fileName()))
                if (code.lang != u"data")
                    codes.push_back(std::move(code));
        // Each style sheet and script again as a file of its own, as a .css or .js file is coloured.
        for (size_t k = 0, n = codes.size(); k < n; ++k) {
            const Code& code = codes[k];
            if (code.lang == u"css-declarations")
                continue;
            const QString text = code.page.mid(code.start, code.end - code.start);
            codes.push_back({text, 0, text.size(), code.lang, code.label + QStringLiteral(" (a file)"),
                             code.lang == u"js" ? Language::JavaScript : Language::Css});
        }

        QJsonArray input;
        for (const Code& code : codes)
            input.append(QJsonObject{{"lang", code.lang}, {"text", code.page.mid(code.start, code.end - code.start)}});
        QString trouble;
        const QJsonArray expected = askCssTreeAndAcorn(input, trouble);
        QVERIFY2(expected.size() == input.size(), qPrintable(trouble));

        int compared = 0;
        for (size_t k = 0; k < codes.size(); ++k) {
            const Code& code = codes[k];
            const QJsonValue oracle = expected[qsizetype(k)];
            if (oracle.isObject()) // the oracle could not read it: no comparison
                continue;
            std::vector<std::uint8_t> colours = colourText(code.page, code.language);
            // A line end is never coloured; inside a comment or template literal that goes on, it
            // belongs to it, as it does for the oracle.
            for (qsizetype i = code.start + 1; i < code.end; ++i) {
                if (code.page[i] != u'\r' && code.page[i] != u'\n')
                    continue;
                qsizetype next = i;
                while (next < code.end && (code.page[next] == u'\r' || code.page[next] == u'\n'))
                    ++next;
                if (next < code.end && colours[size_t(next)] == colours[size_t(i - 1)])
                    std::fill(colours.begin() + i, colours.begin() + next, colours[size_t(i - 1)]);
                i = next - 1;
            }
            const bool js = code.lang == u"js";
            QStringList ours, theirs;
            for (qsizetype i = code.start; i < code.end;) {
                const std::uint8_t c = colours[size_t(i)];
                qsizetype end = i + 1;
                while (end < code.end && colours[size_t(end)] == c)
                    ++end;
                const bool compared = js ? (c >= JsKeyword && c <= JsRegex)
                                         : (c == CssString || c == CssNumber || c == CssColour || c == CssComment ||
                                            c == CssAtRule);
                if (compared)
                    ours << QStringLiteral("%1 %2-%3").arg(QLatin1StringView(kColourNames[c])).arg(i - code.start).arg(end - code.start);
                i = end;
            }
            for (const QJsonValue& run : oracle.toArray())
                theirs << QStringLiteral("%1 %2-%3").arg(run[0].toString()).arg(run[1].toInt()).arg(run[2].toInt());
            if (ours != theirs) {
                qsizetype d = 0;
                while (d < std::min(ours.size(), theirs.size()) && ours[d] == theirs[d])
                    ++d;
                const QString place = theirs.value(d, ours.value(d));
                const int at = place.section(u' ', 1).section(u'-', 0, 0).toInt();
                QFAIL(qPrintable(QStringLiteral("%1 (%2): ours %3, the oracle's %4, near \"%5\"")
                                     .arg(code.label, code.lang, ours.value(d, QStringLiteral("none")),
                                          theirs.value(d, QStringLiteral("none")),
                                          code.page.mid(code.start + std::max(0, at - 20), 50))));
            }
            ++compared;
        }
        QVERIFY(compared >= 30);
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
