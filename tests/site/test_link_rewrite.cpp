#include "colouring/references.h"
#include "site/link_rewrite.h"
#include "support/test_files.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QString kRoot = QDir::rootPath() + QStringLiteral("s"); // /s, or C:/s on Windows

class LinkRewriteTest : public QObject {
    Q_OBJECT

private slots:
    // What a browser would fetch, and nothing it would not: comments, scripts, CSS strings that
    // are no url() and <base> are no references.
    void referencesAreFoundAsABrowserReadsThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("styleSheet");
        QTest::addColumn<QString>("found");
        QTest::newRow("href") << "<a href=\"a.html\">a</a>" << false << "a.html";
        QTest::newRow("src and srcset candidates")
            << "<img src='i.png' srcset=\"i-2x.png 2x,i-3x.png 3x, i,4.png\">" << false << "i.png|i-2x.png|i-3x.png|i,4.png";
        QTest::newRow("comment and script") << "<!-- <a href=\"c.html\"> --><script>s='<a href=\"x.html\">'</script>"
                                            << false << "";
        QTest::newRow("object, video, form; not base")
            << "<base href=\"/\"><object data=m.svg></object><video poster=\"p.jpg\"><form action=\"/go\">" << false
            << "m.svg|p.jpg|/go";
        QTest::newRow("spaces around, query and reference kept")
            << "<a href=\" a.html?x=1&amp;y=2#z \">" << false << "a.html?x=1&amp;y=2#z";
        QTest::newRow("style attribute") << "<p style=\"background: url(bg.png)\">" << false << "bg.png";
        QTest::newRow("style element") << "<style>@import \"s.css\"; /* url(no.png) */ .a{background:url( 'q.png' )}</style>"
                                       << false << "s.css|q.png";
        QTest::newRow("style sheet") << "@import url(\"a.css\") screen;\r\nbody{background:URL(b.png)}\r\n.c{content:\"url(n.png)\"}"
                                     << true << "a.css|b.png";
    }
    void referencesAreFoundAsABrowserReadsThem() {
        QFETCH(QString, text);
        QFETCH(bool, styleSheet);
        QFETCH(QString, found);
        QStringList urls;
        for (const references::Reference& r : references::find(text, styleSheet ? Language::Css : Language::Html))
            urls << text.mid(r.start, r.length);
        QCOMPARE(urls.join(u'|'), found);
    }

    // A move rewrites the path of each reference to what moved, and only that: up and down
    // folders, root-relative, ?query and #fragment, srcset, url() with and without quotes, the
    // document's own move, names that must be escaped.
    void movesRewriteEveryReference_data() {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("expected");
        QTest::newRow("into a folder") << "index.html" << "<img src=\"logo.png\">" << "logo.png" << "img/logo.png"
                                       << "<img src=\"img/logo.png\">";
        QTest::newRow("from a folder below") << "docs/guide.html" << "<a href='../logo.png'>" << "logo.png"
                                             << "img/logo.png" << "<a href='../img/logo.png'>";
        QTest::newRow("root-relative, fragment kept")
            << "index.html" << "<a href=\"/docs/guide.html#install\">" << "docs" << "manual"
            << "<a href=\"/manual/guide.html#install\">";
        QTest::newRow("query and fragment kept") << "index.html" << "<a href=docs/guide.html?v=2#top>"
                                                 << "docs/guide.html" << "docs/start.html" << "<a href=docs/start.html?v=2#top>";
        QTest::newRow("srcset list") << "index.html" << "<img srcset=\"a.png 1x, img/a2.png 2x\">" << "img" << "pics"
                                     << "<img srcset=\"a.png 1x, pics/a2.png 2x\">";
        QTest::newRow("url() in a style sheet")
            << "css/site.css" << "a{background:url(../img/a.png)}\r\nb{background:url( \"../img/b.png\" )}" << "img"
            << "images" << "a{background:url(../images/a.png)}\r\nb{background:url( \"../images/b.png\" )}";
        QTest::newRow("@import in a page") << "index.html" << "<style>@import 'css/a.css';</style>" << "css" << "style"
                                           << "<style>@import 'style/a.css';</style>";
        QTest::newRow("the document moves") << "index.html" << "<a href=\"docs/guide.html\"><img src=logo.png>"
                                            << "index.html" << "pages/index.html"
                                            << "<a href=\"../docs/guide.html\"><img src=../logo.png>";
        QTest::newRow("moving with its folder") << "docs/guide.html" << "<a href=\"orphan.html\"><a href=\"../index.html\">"
                                                << "docs" << "manual/docs"
                                                << "<a href=\"orphan.html\"><a href=\"../../index.html\">";
        QTest::newRow("a space is escaped") << "index.html" << "<img src=\"logo.png\">" << "logo.png" << "my logo.png"
                                            << "<img src=\"my%20logo.png\">";
        QTest::newRow("an ampersand in a page") << "index.html" << "<img src=\"logo.png\">" << "logo.png" << "a&b.png"
                                                << "<img src=\"a&amp;b.png\">";
        QTest::newRow("escaped before") << "index.html" << "<img src=\"my%20logo.png\">" << "my logo.png"
                                        << "img/my logo.png" << "<img src=\"img/my%20logo.png\">";
        QTest::newRow("./ kept") << "index.html" << "<img src=\"./logo.png\">" << "logo.png" << "img/logo.png"
                                 << "<img src=\"./img/logo.png\">";
        QTest::newRow("a folder's slash kept") << "index.html" << "<a href=\"docs/\">" << "docs" << "manual"
                                               << "<a href=\"manual/\">";
        QTest::newRow("other files and other sites untouched")
            << "index.html" << "<a href=\"https://x.org/logo.png\"><a href=\"#logo.png\"><a href=\"logo.png.html\">"
            << "logo.png" << "img/logo.png" << "<a href=\"https://x.org/logo.png\"><a href=\"#logo.png\"><a href=\"logo.png.html\">";
    }
    void movesRewriteEveryReference() {
        QFETCH(QString, document);
        QFETCH(QString, text);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, expected);
        const link_rewrite::Move move{QDir::cleanPath(kRoot + u'/' + from), QDir::cleanPath(kRoot + u'/' + to)};
        const QString path = kRoot + u'/' + document;
        const auto edits = link_rewrite::forMove(text, *language::fromName(path), path, kRoot, move);
        QCOMPARE(link_rewrite::applied(text, edits), expected);
    }

    // Rename Id: links to that page's id change, in other pages and in the page itself; the id
    // and the attributes naming it change token by token.
    void renamingAnIdFollowsItsLinks_data() {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("another page") << "index.html"
                                      << "<a href=\"docs/guide.html#install\"><a href=\"docs/other.html#install\">"
                                      << "<a href=\"docs/guide.html#set%20up\"><a href=\"docs/other.html#install\">";
        QTest::newRow("the page itself") << "docs/guide.html" << "<a href=\"#install\"><a href=guide.html?a#install><a href=#installed>"
                                         << "<a href=\"#set%20up\"><a href=guide.html?a#set%20up><a href=#installed>";
        QTest::newRow("not that page's id") << "docs/other.html" << "<a href=\"#install\">" << "<a href=\"#install\">";
    }
    void renamingAnIdFollowsItsLinks() {
        QFETCH(QString, document);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const link_rewrite::IdRename rename{kRoot + QStringLiteral("/docs/guide.html"), QStringLiteral("install"),
                                            QStringLiteral("set up")};
        const QString path = kRoot + u'/' + document;
        QCOMPARE(link_rewrite::applied(text, link_rewrite::forId(text, Language::Html, path, kRoot, rename)), expected);
    }
    void renamingAnIdChangesItsAttributes() {
        const QString text = QStringLiteral("<h1 id=\"install\"><label for=install><p aria-describedby=\"x install y\" "
                                            "class=\"install\" title=install><a href=\"#install\">");
        QCOMPARE(link_rewrite::applied(text, link_rewrite::idAttributes(text, QStringLiteral("install"), QStringLiteral("setup"))),
                 QStringLiteral("<h1 id=\"setup\"><label for=setup><p aria-describedby=\"x setup y\" "
                                "class=\"install\" title=install><a href=\"#install\">"));
    }

#ifdef TAGLOOM_CHECK_TOOL
    // On disk: a site whose image and folder move keeps every link (the site checker finds none
    // broken, where it finds them broken after the move alone), and the files rewritten keep
    // their encoding, byte-order mark and line ends, byte for byte apart from the paths.
    void aMovedSiteKeepsItsLinks() {
        QTemporaryDir dir;
        const QString root = dir.path();
        const auto write = [&](const char* name, const QByteArray& bytes) {
            QVERIFY(QDir(root).mkpath(QFileInfo(root + u'/' + QLatin1String(name)).path()));
            QVERIFY(test_files::writeBytes(root + u'/' + QLatin1String(name), bytes));
        };
        write("logo.png", "PNG");
        write("img/.keep", "");
        write("docs/guide.html", "<p>caf\xE9</p>\r\n<a href=\"../logo.png\">x</a>\r\n<a href=\"/index.html\">home</a>");
        write("index.html", "<meta charset=\"utf-8\"><img src=\"logo.png\" alt=\"\">\n<a href=\"docs/guide.html\">g</a>\n"
                            "<p style=\"background:url(logo.png)\">\n");
        write("css/site.css", "\xEF\xBB\xBF" "body{background:url('../logo.png')}\r\n");
        write("utf16.html", QByteArray("\xFF\xFE<\0a\0 \0h\0r\0e\0f\0=\0d\0o\0c\0s\0/\0g\0u\0i\0d\0e\0.\0h\0t\0m\0l\0>\0\n\0", 52));
        const auto broken = [&] {
            QProcess check;
            check.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {QStringLiteral("--links"), QStringLiteral("--format"), QStringLiteral("json"), root});
            check.waitForFinished(60000);
            return QString::fromUtf8(check.readAllStandardOutput()).count(QStringLiteral("\"rule\":\"missing-file\""));
        };
        QCOMPARE(broken(), 0);

        const link_rewrite::EditMaker noEdits = [](QStringView, Language, const QString&) { return link_rewrite::Edits(); };
        for (const auto& [from, to] : {std::pair("logo.png", "img/logo.png"), std::pair("docs", "manual")}) {
            const link_rewrite::Move move{root + u'/' + QLatin1String(from), root + u'/' + QLatin1String(to)};
            const link_rewrite::EditMaker edits = [&](QStringView text, Language language, const QString& path) {
                return link_rewrite::forMove(text, language, path, root, move);
            };
            const link_rewrite::Plan plan = link_rewrite::plan(root, edits, {});
            QVERIFY(!plan.files.empty());
            QVERIFY(!link_rewrite::moveOnDisk(move));
            QVERIFY(broken() > 0);
            const link_rewrite::Written written = link_rewrite::rewriteFiles(plan, edits, &move);
            QVERIFY2(written.unchanged.isEmpty(), qPrintable(written.unchanged.join(u'\n')));
            QCOMPARE(broken(), 0);
            QVERIFY(link_rewrite::plan(root, noEdits, {}).files.empty());
        }
        QCOMPARE(test_files::readBytes(root + QStringLiteral("/manual/guide.html")),
                 QByteArray("<p>caf\xE9</p>\r\n<a href=\"../img/logo.png\">x</a>\r\n<a href=\"/index.html\">home</a>"));
        QCOMPARE(test_files::readBytes(root + QStringLiteral("/css/site.css")),
                 QByteArray("\xEF\xBB\xBF" "body{background:url('../img/logo.png')}\r\n"));
        QCOMPARE(test_files::readBytes(root + QStringLiteral("/utf16.html")),
                 QByteArray("\xFF\xFE<\0a\0 \0h\0r\0e\0f\0=\0m\0a\0n\0u\0a\0l\0/\0g\0u\0i\0d\0e\0.\0h\0t\0m\0l\0>\0\n\0", 56));
        // A name in another script: written as it is in UTF-8, with percent escapes in Latin-1.
        const link_rewrite::Move japanese{root + QStringLiteral("/img/logo.png"), root + QString::fromUtf8("/img/日本.png")};
        const link_rewrite::EditMaker edits = [&](QStringView text, Language language, const QString& path) {
            return link_rewrite::forMove(text, language, path, root, japanese);
        };
        const link_rewrite::Plan plan = link_rewrite::plan(root, edits, {});
        QVERIFY(!link_rewrite::moveOnDisk(japanese));
        QVERIFY(link_rewrite::rewriteFiles(plan, edits, &japanese).unchanged.isEmpty());
        QCOMPARE(broken(), 0);
        QCOMPARE(test_files::readBytes(root + QStringLiteral("/manual/guide.html")),
                 QByteArray("<p>caf\xE9</p>\r\n<a href=\"../img/%E6%97%A5%E6%9C%AC.png\">x</a>\r\n<a href=\"/index.html\">home</a>"));
        QVERIFY(test_files::readBytes(root + QStringLiteral("/index.html")).contains("img/\xE6\x97\xA5\xE6\x9C\xAC.png"));
        // A name already taken is refused, and nothing moves.
        QVERIFY(link_rewrite::moveOnDisk({root + QStringLiteral("/index.html"), root + QStringLiteral("/utf16.html")}));
        QVERIFY(QFileInfo::exists(root + QStringLiteral("/index.html")));
#ifdef Q_OS_UNIX
        // A page swapped for a pipe after the list was made is named and left alone; the others change.
        const link_rewrite::Move back{japanese.to, japanese.from};
        const link_rewrite::EditMaker backEdits = [&](QStringView text, Language language, const QString& path) {
            return link_rewrite::forMove(text, language, path, root, back);
        };
        const link_rewrite::Plan listed = link_rewrite::plan(root, backEdits, {});
        QVERIFY(QFile::remove(root + QStringLiteral("/index.html")));
        QVERIFY(::mkfifo(QFile::encodeName(root + QStringLiteral("/index.html")).constData(), 0600) == 0);
        QVERIFY(!link_rewrite::moveOnDisk(back));
        const link_rewrite::Written written = link_rewrite::rewriteFiles(listed, backEdits, &back);
        QCOMPARE(written.unchanged.size(), 1);
        QVERIFY2(written.unchanged[0].startsWith(QDir::toNativeSeparators(root + QStringLiteral("/index.html: "))),
                 qPrintable(written.unchanged[0]));
        QCOMPARE(written.changed.size(), 2); // the style sheet and the guide
#endif
    }
#endif
};

} // namespace

QTEST_GUILESS_MAIN(LinkRewriteTest)
#include "test_link_rewrite.moc"
