#include "document/text_encoding.h"
#include "site/file_search.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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

    void listingTakesTheNamedFilesOfEveryFolderButHiddenOnes() {
        QTemporaryDir site;
        for (const char* name : {"index.html", "css/site.css", "js/app.js", "js/app.min.map", ".git/x.html", "a/b/c.htm"}) {
            QDir(site.path()).mkpath(QFileInfo(site.filePath(QString::fromLatin1(name))).path());
            QVERIFY(writeBytes(site.filePath(QString::fromLatin1(name)), "x"));
        }
        QStringList listed;
        for (const QString& file :
             file_search::listFiles(site.path(), file_search::splitPatterns(QStringLiteral("*.html; *.htm,*.css *.js"))))
            listed << QDir(site.path()).relativeFilePath(file);
        QCOMPARE(listed, (QStringList{"a/b/c.htm", "css/site.css", "index.html", "js/app.js"}));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QCoreApplication, FileSearchTest)
#include "test_file_search.moc"
