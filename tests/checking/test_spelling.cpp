#include "checking/spelling.h"
#include "document/document_file.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A dictionary in Hunspell's own format, made here so that nothing depends on the machine's.
void writeDictionary(const QString& folder, const QString& name, const QStringList& words) {
    QVERIFY(test_files::writeBytes(folder + u'/' + name + QStringLiteral(".aff"), "SET UTF-8\nTRY esianrtolcdugmphbyfvkwz'\n"));
    QVERIFY(test_files::writeBytes(folder + u'/' + name + QStringLiteral(".dic"),
                                   (QString::number(words.size()) + u'\n' + words.join(u'\n') + u'\n').toUtf8()));
}

class SpellingTest : public QObject {
    Q_OBJECT

private slots:
    // Only what a reader sees is spelt, read as a browser reads it, in the language the page
    // gives each part.
    void theWordsAReaderSees_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("words"); // word@language, as wordsOf finds them
        QTest::newRow("text, not tags or attribute names")
            << "<p class=big>Hello <b>world</b></p>" << "Hello@en world@en";
        QTest::newRow("references read, apostrophes as one")
            << "<p>don&rsquo;t &amp; caf&eacute; it’s &#8216;quoted&#8217; l&#39;eau</p>" << "don't@en café@en it's@en quoted@en l'eau@en";
        QTest::newRow("no code, keys, samples, variables or pre")
            << "<p>a <code>fooBar</code> <kbd>Ctrl</kbd> <samp>out</samp> <var>n</var></p><pre>x = 1</pre><p>b</p>"
            << "a@en b@en";
        QTest::newRow("no scripts, styles or comments")
            << "<script>var tezt;</script><style>p { colr: red }</style><!-- commnt --><p>ok</p>" << "ok@en";
        QTest::newRow("the attributes a reader sees")
            << "<img alt=\"a cat\" src=\"cat.png\" title=\"the hat\"><input placeholder=\"type here\" value=\"no\" name=\"nm\">"
               "<input type=submit value=\"Send it\"><button value=go>B</button><meta name=description content=\"A site\">"
               "<meta name=keywords content=\"skip\"><a href=\"page.html\" aria-label=\"next one\">link</a>"
            << "a@en cat@en the@en hat@en type@en here@en Send@en it@en go@en B@en A@en site@en next@en one@en link@en";
        QTest::newRow("no addresses, e-mail or words with digits")
            << "<p>see https://example.org/x and www.test.com or me@x.org, 2nd h2o abc.</p>" << "see@en and@en or@en abc@en";
        QTest::newRow("hyphenated words part by part") << "<p>well-known</p>" << "well@en known@en";
        QTest::newRow("the nearest lang")
            << "<html lang=\"fr\"><p>bonjour <span lang=\"en-GB\">hello</span> monde</p><p lang=de>hallo</p></html>"
            << "bonjour@fr hello@en-gb monde@fr hallo@de";
        QTest::newRow("lang ends where HTML ends its element") << "<p lang=fr>un<p>two" << "un@fr two@en";
        QTest::newRow("an attribute in its element's lang") << "<img lang=fr alt=chat>" << "chat@fr";
    }
    void theWordsAReaderSees() {
        QFETCH(QString, page);
        QFETCH(QString, words);
        QStringList found;
        for (const spelling::Word& w : spelling::wordsOf(page)) {
            found << w.text + u'@' + w.language;
            // Each word stands where it is written: its first letter, and its end past any reference.
            QVERIFY2(page.mid(w.start, 1) == w.text.left(1), qPrintable(w.text));
            QVERIFY(w.start + w.length <= page.size());
        }
        QCOMPARE(found.join(u' '), words);
    }

    // The dictionaries: one per language as asked, the region's or the language's, the site's
    // words accepted, a missing language told once.
    void dictionariesAndWordLists() {
        QTemporaryDir folder;
        writeDictionary(folder.path(), QStringLiteral("en_US"), {"hello", "world", "don't", "colour"});
        writeDictionary(folder.path(), QStringLiteral("en_GB"), {"colour", "hello"});
        writeDictionary(folder.path(), QStringLiteral("fr_FR"), {"bonjour", "café"});
        Speller speller({folder.path()});
        QVERIFY(speller.isCorrect(QStringLiteral("hello"), QStringLiteral("en")));
        QVERIFY(speller.isCorrect(QStringLiteral("Hello"), QStringLiteral("en"))); // capitalised at a sentence's start
        QVERIFY(speller.isCorrect(QStringLiteral("don't"), QStringLiteral("en")));
        QVERIFY(!speller.isCorrect(QStringLiteral("helo"), QStringLiteral("en")));
        QVERIFY(speller.suggestions(QStringLiteral("helo"), QStringLiteral("en")).contains(QStringLiteral("hello")));
        QVERIFY(!speller.isCorrect(QStringLiteral("world"), QStringLiteral("en-GB"))); // its own dictionary
        QVERIFY(speller.isCorrect(QStringLiteral("world"), QStringLiteral("en-AU")));  // none of its own: en_US
        QVERIFY(speller.isCorrect(QStringLiteral("café"), QStringLiteral("fr")));
        QVERIFY(!speller.isCorrect(QStringLiteral("cafe"), QStringLiteral("fr")));
        QVERIFY(speller.isCorrect(QStringLiteral("hallo"), QStringLiteral("de"))); // no German here: not spelt
        QVERIFY(speller.isCorrect(QStringLiteral("welt"), QStringLiteral("de")));
        QCOMPARE(speller.missingLanguages(), QStringList{QStringLiteral("de")});
        QVERIFY(!speller.isCorrect(QStringLiteral("Tagloom"), QStringLiteral("en")));
        const QString words = folder.filePath(QStringLiteral(".tagloom-words"));
        QVERIFY(test_files::writeBytes(words, "# the site's own\nTagloom\r\n\nHTML5\n"));
        QVERIFY(speller.acceptFile(words));
        QVERIFY(speller.isCorrect(QStringLiteral("Tagloom"), QStringLiteral("en")));
        QVERIFY(speller.isCorrect(QStringLiteral("Tagloom"), QStringLiteral("fr"))); // in every language
        QVERIFY(!speller.acceptFile(folder.filePath(QStringLiteral("none"))));
        QVERIFY(!speller.acceptFile(QStringLiteral("/dev/zero"))); // never read from a device
    }

    // With the English dictionary Debian installs: a real page is mostly right, its typos are not.
    void theInstalledEnglishDictionary() {
        Speller speller;
        if (speller.dictionaryFor(QStringLiteral("en")).isEmpty())
            QFAIL("no English dictionary: scripts/deps.sh installs hunspell-en-us");
        const QString page = document_file::read(test_files::dataDir() + QStringLiteral("/a-100k-python-tutorial-classes.html")).text;
        const std::vector<spelling::Word> words = spelling::wordsOf(page);
        int wrong = 0;
        for (const spelling::Word& w : words)
            wrong += speller.isCorrect(w.text, w.language) ? 0 : 1;
        QVERIFY(words.size() > 3000);
        QVERIFY2(wrong * 50 < int(words.size()), qPrintable(QString::number(wrong))); // under 2 %
        QVERIFY(!speller.isCorrect(QStringLiteral("recieve"), QStringLiteral("en")));
        QVERIFY(speller.suggestions(QStringLiteral("recieve"), QStringLiteral("en")).contains(QStringLiteral("receive")));
    }

    // tagloom-check --spelling: each word with its place and suggestions, the site's words
    // accepted, a missing dictionary said once; the fallback language from the command line.
    void theSiteChecker() {
        QTemporaryDir folder;
        writeDictionary(folder.path(), QStringLiteral("en_US"), {"a", "page", "with", "typo", "the", "site", "word"});
        const QString site = folder.filePath(QStringLiteral("site"));
        QVERIFY(QDir().mkpath(site));
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/index.html"),
                                       "<!DOCTYPE html>\n<html lang=en><head><title>a page</title></head>\n<body><p>with a typoo,\n"
                                       "the Tagloom word <span lang=de>und</span> <i lang=nl>en</i>.</p></body></html>\n"));
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/.tagloom-words"), "Tagloom\n"));
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TAGLOOM_DICTIONARIES"), folder.path());
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {"--spelling", "--format", "json", "--ignore", "MISSING_ATTRIBUTE", site});
        QVERIFY(tool.waitForFinished(30000));
        const QJsonObject report = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
        const QByteArray errors = tool.readAllStandardError();
        std::vector<QJsonObject> spelling;
        for (const QJsonValue p : report[QStringLiteral("problems")].toArray())
            if (p.toObject()[QStringLiteral("rule")].toString() == u"spelling")
                spelling.push_back(p.toObject());
        QCOMPARE(spelling.size(), size_t(1));
        QCOMPARE(spelling[0][QStringLiteral("word")].toString(), QStringLiteral("typoo"));
        QCOMPARE(spelling[0][QStringLiteral("line")].toInt(), 3);
        QCOMPARE(spelling[0][QStringLiteral("column")].toInt(), 17);
        QVERIFY(spelling[0][QStringLiteral("suggestions")].toArray().contains(QStringLiteral("typo")));
        QCOMPARE(errors.count("no dictionary for de is installed"), 1);
        QCOMPARE(errors.count("no dictionary for nl"), 1);
        QCOMPARE(tool.exitCode(), 0); // a misspelling is a warning
        // The site's settings may ask for spelling.
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/.tagloom-check"), "spelling = true\nignore = MISSING_ATTRIBUTE\n"));
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {site});
        QVERIFY(tool.waitForFinished(30000));
        QVERIFY(tool.readAllStandardOutput().contains("\"typoo\" is not in the en dictionary; perhaps: typo"));
        QVERIFY(QFile::remove(site + QStringLiteral("/.tagloom-check")));
        // The fallback language of a page with no lang: no dictionary for it, nothing spelt.
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/index.html"), "<p>typoo</p>"));
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {"--spelling", "--spelling-language", "fr", site});
        QVERIFY(tool.waitForFinished(30000));
        QVERIFY(!tool.readAllStandardOutput().contains("typoo"));
        QVERIFY(tool.readAllStandardError().contains("no dictionary for fr"));
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {"--spelling-language", "not a language", site});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 2);
    }
};

} // namespace

TAGLOOM_TEST_MAIN(QCoreApplication, SpellingTest)
#include "test_spelling.moc"
