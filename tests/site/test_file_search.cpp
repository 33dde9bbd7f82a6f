#include "document/text_encoding.h"
#include "site/file_search.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
using test_files::readBytes;
using test_files::writeBytes;

class FileSearchTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

private slots:
    // Replace in Files changes the matches and nothing else: the encoding, the byte-order mark,
    // each line's own end and a missing final line end stay byte for byte.
    void replacingKeepsEveryOtherByte_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("count");
        QTest::newRow("UTF-8") << QByteArray("<p>caf\xC3\xA9 caf\xC3\xA9</p>\n") << QString::fromUtf8("café") << false
                               << "bar" << QByteArray("<p>bar bar</p>\n") << 2;
        QTest::newRow("UTF-8 with a BOM, no final line end")
            << QByteArray("\xEF\xBB\xBFold\r\nold") << "old" << false << QString::fromUtf8("né")
            << QByteArray("\xEF\xBB\xBFn\xC3\xA9\r\nn\xC3\xA9") << 2;
        QTest::newRow("Latin-1") << QByteArray("<p>caf\xE9</p>\r\n<p>x</p>\r\n") << "x" << false << QString::fromUtf8("ü")
                                 << QByteArray("<p>caf\xE9</p>\r\n<p>\xFC</p>\r\n") << 1;
        QTest::newRow("UTF-16LE with a BOM") << QByteArray("\xFF\xFE" "a\0b\0\n\0", 8) << "b" << false << "cd"
                                              << QByteArray("\xFF\xFE" "a\0c\0d\0\n\0", 10) << 1;
        QTest::newRow("UTF-16BE with a BOM") << QByteArray("\xFE\xFF\0a\0b\0\r\0\n", 10) << "a" << false << "z"
                                              << QByteArray("\xFE\xFF\0z\0b\0\r\0\n", 10) << 1;
        QTest::newRow("mixed line ends") << QByteArray("a1\nb1\r\nc1\rd1\n") << "1" << false << "2"
                                         << QByteArray("a2\nb2\r\nc2\rd2\n") << 4;
        QTest::newRow("a replacement that adds a line")
            << QByteArray("a\nb\r\nc\n") << "b" << true << "x\\ny" << QByteArray("a\nx\ny\r\nc\n") << 1;
        QTest::newRow("a match across a line end")
            << QByteArray("one\r\ntwo\nthree\n") << "one\\s+two" << true << "1-2" << QByteArray("1-2\nthree\n") << 1;
        QTest::newRow("no match: the file is not written") << QByteArray("same\r\n") << "zzz" << false << "y"
                                                           << QByteArray("same\r\n") << 0;
    }
    void replacingKeepsEveryOtherByte() {
        QFETCH(QByteArray, before);
        QFETCH(QString, pattern);
        QFETCH(bool, regex);
        QFETCH(QString, replacement);
        QFETCH(QByteArray, after);
        QFETCH(int, count);
        QVERIFY(writeBytes(path("page.html"), before));
        const TextSearch search(pattern, {true, false, regex});
        const file_search::Replaced done = file_search::replaceInFile(path("page.html"), search, replacement);
        QVERIFY2(!done.error, qPrintable(done.problem));
        QCOMPARE(done.count, count);
        QCOMPARE(readBytes(path("page.html")), after);
        QCOMPARE(file_search::searchFile(path("page.html"), search).hits.size(), size_t(0));
    }

    // A file that cannot hold the replacement, or cannot be written, is left as it was and says why.
    void aFileThatCannotTakeTheReplacementIsLeftAlone() {
        const QByteArray latin = "<p>caf\xE9</p>\n";
        QVERIFY(writeBytes(path("latin.html"), latin));
        const file_search::Replaced done =
            file_search::replaceInFile(path("latin.html"), TextSearch(QStringLiteral("p"), {}), QString::fromUtf8("日本"));
        QVERIFY(done.error);
        QVERIFY(done.problem.contains(QStringLiteral("cannot hold")));
        QCOMPARE(readBytes(path("latin.html")), latin);
    }

    // What a search finds: each match's line, its column in the line's characters, and the line;
    // binary files are skipped.
    void searchingFindsLinesAndColumns_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("hits"); // "line:column:length lineText"
        QTest::addColumn<int>("skipped");
        QTest::newRow("lines of every kind") << QByteArray("ab\nx\r\n\xC3\xA9x x\rx") << "x"
                                             << QStringList{"2:1:1 x", QString::fromUtf8("3:2:1 éx x"),
                                                            QString::fromUtf8("3:4:1 éx x"), "4:1:1 x"}
                                             << int(file_search::FileHits::Skipped::No);
        QTest::newRow("UTF-16 is no binary") << QByteArray("\xFF\xFE" "x\0", 4) << "x" << QStringList{"1:1:1 x"}
                                             << int(file_search::FileHits::Skipped::No);
        QTest::newRow("binary") << QByteArray("x\0x", 3) << "x" << QStringList()
                                << int(file_search::FileHits::Skipped::Binary);
    }
    void searchingFindsLinesAndColumns() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, pattern);
        QFETCH(QStringList, hits);
        QFETCH(int, skipped);
        QVERIFY(writeBytes(path("found.html"), bytes));
        const file_search::FileHits found = file_search::searchFile(path("found.html"), TextSearch(pattern, {}));
        QStringList shown;
        for (const file_search::Hit& hit : found.hits)
            shown << QStringLiteral("%1:%2:%3 %4").arg(hit.line).arg(hit.column).arg(hit.length).arg(hit.lineText);
        QCOMPARE(shown, hits);
        QCOMPARE(int(found.skipped), skipped);
    }

    // Searching a file's bytes finds exactly what searching its decoded text finds: files made
    // at random of pieces that test each rule (encodings and their declarations, bad bytes,
    // every kind of line end, characters a search in any case takes for ASCII letters, words
    // next to the match), each searched for patterns of every kind.
    void searchingTheBytesFindsWhatTheTextHolds() {
        const QList<QByteArray> heads{"", "\xEF\xBB\xBF", "<meta charset=\"utf-8\">\n", "<meta charset=\"windows-1252\">\n",
                                      "<meta charset=\"iso-8859-1\">\n", "<meta charset=\"iso-8859-2\">\n",
                                      "\xEF\xBB\xBF<meta charset=\"windows-1252\">", "\xFF\xFE"};
        const QList<QByteArray> pieces{"function", "Function", "FUNCTIONS", "x", " ", "<p>", "a_b", "\n", "\r\n", "\r",
                                       "\r\r\n", "\xC3\xA9", "\xE9", "\x80\x81", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                       "\xE2\x84\xAA", "\xC5\xBF", "\xC4\xB0", "\xC4\xB1", "\xE2\x80\x9C", "\xCA",
                                       "\xEF\xBF\xBE", "\xF0\x9F\x98\x80", "K", "s", "is", "\xC3", "i\xCC\x87"};
        const QStringList patterns{"function", "x", "k", "s", "is", "<p>", "a_b", "FUNCTIONs", " x", "fun.tion"};
        QRandomGenerator random(42);
        for (int file = 0; file < 400; ++file) {
            QByteArray bytes = heads[random.bounded(heads.size())];
            for (int n = random.bounded(60); n > 0; --n)
                bytes += pieces[random.bounded(pieces.size())];
            for (const QString& pattern : patterns) {
                for (int kind = 0; kind < 4; ++kind) {
                    const SearchOptions options{(kind & 1) != 0, (kind & 2) != 0, pattern.contains(u'.')};
                    const TextSearch search(pattern, options);
                    DocumentFormat format;
                    const auto shown = [](const std::vector<file_search::Hit>& hits) {
                        QStringList out;
                        for (const file_search::Hit& hit : hits)
                            out << QStringLiteral("%1:%2:%3 %4").arg(hit.line).arg(hit.column).arg(hit.length).arg(hit.lineText);
                        return out;
                    };
                    const QStringList inBytes = shown(file_search::hitsIn(bytes, search));
                    const QStringList inText = shown(file_search::hitsInText(document_file::decode(bytes, &format), search));
                    if (inBytes != inText)
                        qWarning() << "file" << bytes.toHex(' ') << "pattern" << pattern << "kind" << kind;
                    QCOMPARE(inBytes, inText);
                }
            }
        }
    }

    // The fast check of UTF-8 agrees with Qt's strict decoder on every byte string.
    void strictUtf8IsWhatQtDecodesWithoutError() {
        const QList<QByteArray> pieces{"a", "\xC3\xA9", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xED\x9F\xBF",
                                       "\xEF\xBF\xBE", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5", "\x80", "\xC3",
                                       "\xE2\x82", "\xF0\x9F\x98", "abcdefgh", "\xFE", "\xFF", "\xEF\xBB\xBF"};
        QRandomGenerator random(7);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            for (int n = random.bounded(6); n > 0; --n)
                bytes += pieces[random.bounded(pieces.size())];
            QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString decoded = decoder.decode(bytes);
            QVERIFY2(text_encoding::isStrictUtf8(bytes) == !decoder.hasError(), bytes.toHex(' ').constData());
        }
    }

    void listingTakesTheNamedFilesOfEveryFolderButHiddenOnes() {
        QTemporaryDir site;
        for (const char* name : {"index.html", "css/site.css", "js/app.js", "js/app.min.map", ".git/x.html", "a/b/c.htm"}) {
            QDir(site.path()).mkpath(QFileInfo(site.filePath(QString::fromLatin1(name))).path());
            QVERIFY(writeBytes(site.filePath(QString::fromLatin1(name)), "x"));
        }
        QStringList listed;
        for (const folder_walk::File& file :
             file_search::listFiles(site.path(), file_search::splitPatterns(QStringLiteral("*.html; *.htm,*.css *.js"))).files)
            listed << QDir(site.path()).relativeFilePath(file.path);
        QCOMPARE(listed, (QStringList{"a/b/c.htm", "css/site.css", "index.html", "js/app.js"}));
    }

#ifdef Q_OS_UNIX
    // A hostile folder: links to devices, a pipe, a loop, a file outside, a second link to one
    // file, a name that is no UTF-8 and an unreadable subfolder. Only the regular files inside are
    // searched, each once, and everything passed over is named with its reason.
    void aHostileFolderIsSearchedSafely_data() {
        QTest::addColumn<bool>("outside");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("files inside only") << false << QStringList{"a.html", "sub/b.html"};
        QTest::newRow("outside files too, named so") << true << QStringList{"a.html", "in.html [outside]", "sub/b.html"};
    }
    void aHostileFolderIsSearchedSafely() {
        QFETCH(bool, outside);
        QFETCH(QStringList, listed);
        QTemporaryDir top;
        const QString site = top.filePath(QStringLiteral("site"));
        QVERIFY(QDir().mkpath(site + QStringLiteral("/sub")));
        QVERIFY(QDir().mkpath(site + QStringLiteral("/locked")));
        QVERIFY(writeBytes(site + QStringLiteral("/a.html"), "x"));
        QVERIFY(writeBytes(site + QStringLiteral("/sub/b.html"), "x"));
        QVERIFY(writeBytes(site + QStringLiteral("/locked/c.html"), "x"));
        QVERIFY(writeBytes(top.filePath(QStringLiteral("victim.html")), "x"));
        QVERIFY(::symlink("/dev/zero", QFile::encodeName(site + QStringLiteral("/zero.html"))) == 0);
        QVERIFY(::symlink("/dev/urandom", QFile::encodeName(site + QStringLiteral("/urandom.html"))) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(site + QStringLiteral("/pipe.html")), 0600) == 0);
        QVERIFY(::symlink("loop.html", QFile::encodeName(site + QStringLiteral("/loop.html"))) == 0);
        QVERIFY(::symlink("../victim.html", QFile::encodeName(site + QStringLiteral("/in.html"))) == 0);
        QVERIFY(::symlink("a.html", QFile::encodeName(site + QStringLiteral("/again.html"))) == 0);
        QVERIFY(::symlink("..", QFile::encodeName(site + QStringLiteral("/up"))) == 0);
        const int bad = ::open((QFile::encodeName(site) + "/bad\xFFname.html").constData(), O_CREAT | O_WRONLY, 0600);
        QVERIFY(bad >= 0);
        ::close(bad);
        QVERIFY(QFile::setPermissions(site + QStringLiteral("/locked"), QFileDevice::WriteOwner));
        const bool root = ::geteuid() == 0; // root reads any folder
        const folder_walk::Walk walk = file_search::listFiles(site, {QStringLiteral("*.html")}, outside);
        QFile::setPermissions(site + QStringLiteral("/locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        ::unlink((QFile::encodeName(site) + "/bad\xFFname.html").constData()); // Qt cannot name it to remove it
        QStringList shown;
        for (const folder_walk::File& file : walk.files)
            if (!root || !file.path.contains(QStringLiteral("locked")))
                shown << QDir(site).relativeFilePath(file.path) + (file.outside ? QStringLiteral(" [outside]") : QString());
        QCOMPARE(shown, listed);
        QStringList passed;
        for (const folder_walk::PassedOver& p : walk.passedOver)
            passed << QDir(site).relativeFilePath(p.path) + QStringLiteral(": ") + p.reason.section(u' ', 0, 3);
        QStringList expected{QStringLiteral("bad\\xFFname.html: its name is not"), QStringLiteral("loop.html: a link that leads"),
                             QStringLiteral("pipe.html: not a regular file"), QStringLiteral("urandom.html: not a regular file"),
                             QStringLiteral("zero.html: not a regular file")};
        if (!outside)
            expected.insert(1, QStringLiteral("in.html: a link to a"));
        if (!root)
            expected.insert(expected.indexOf(QStringLiteral("loop.html: a link that leads")),
                            QStringLiteral("locked: the folder cannot be"));
        QCOMPARE(passed, expected);
        // Searching a device the listing would have passed over is refused on the file itself.
        const file_search::FileHits zero = file_search::searchFile(site + QStringLiteral("/zero.html"), TextSearch(QStringLiteral("x"), {}));
        QCOMPARE(int(zero.skipped), int(file_search::FileHits::Skipped::NotRegular));
        const file_search::FileHits pipe = file_search::searchFile(site + QStringLiteral("/pipe.html"), TextSearch(QStringLiteral("x"), {}));
        QCOMPARE(int(pipe.skipped), int(file_search::FileHits::Skipped::NotRegular));
    }
#endif
};
} // namespace

TAGLOOM_TEST_MAIN(QCoreApplication, FileSearchTest)
#include "test_file_search.moc"
