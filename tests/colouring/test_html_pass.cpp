#include "colouring/html_pass.h"
#include "colouring/word_tables.h"
#include "document/document_file.h"
#include "reference_pass.h"
#include "support/test_files.h"

#include <QApplication>
#include <QTest>
#include <random>

namespace {
// The engine's colours as colour values, for comparing with the reference box.
std::vector<Colour> engineColours(const PassResult& r) {
    std::vector<Colour> out;
    out.reserve(r.colours.size());
    for (std::uint8_t c : r.colours)
        out.push_back(c == Plain ? ReferenceBox::kDefault : kPassPalette[c]);
    return out;
}

void compareWithReference(const QString& text, const char* label) {
    ReferenceBox ref{text, {}, 0, 0};
    ref.htmlPass();
    const PassResult pass = runHtmlPass(text);
    const std::vector<Colour> got = engineColours(pass);
    QVERIFY2(got.size() == ref.colours.size(), label);
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != ref.colours[i])
            QFAIL(qPrintable(QStringLiteral("%1: colour differs at %2 (engine %3, reference %4) near \"%5\"")
                                 .arg(QString::fromUtf8(label))
                                 .arg(i)
                                 .arg(got[i], 0, 16)
                                 .arg(ref.colours[i], 0, 16)
                                 .arg(text.mid(qsizetype(i) - 10, 20))));
    }
    QVERIFY2(pass.selection.start == ref.selStart && pass.selection.length == ref.selLength, label);
}

QString randomDocument(std::mt19937& rng) {
    static const QStringList fragments = [] {
        QStringList f{"=\"",
                      "\">",
                      "<!",
                      ">",
                      "\r\n",
                      " ",
                      "text",
                      "é",
                      QString::fromUtf8("日本"),
                      "\"",
                      "=",
                      "<",
                      "--",
                      QString(QChar(0x212A)),
                      QString(QChar(0x130)),
                      QString::fromUtf8("😀"),
                      "\r\n\r\n",
                      "enctypenctype",
                      "--WEBBOT-SELF--WEBBOT-SELF--"};
        for (const QString& w : tableWords(true))
            f << w;
        for (const QString& w : tableWords(false))
            f << w;
        return f;
    }();
    QString doc;
    const int pieces = int(rng() % 60);
    for (int i = 0; i < pieces; ++i) {
        QString piece = fragments[int(rng() % unsigned(fragments.size()))];
        // Any letter case: the words match regardless of it.
        for (QChar& c : piece)
            if (rng() % 2)
                c = c.toUpper();
        doc += piece;
    }
    return doc;
}

class HtmlPassTest : public QObject {
    Q_OBJECT
private slots:
    void theEngineMatchesTheLiteralPassOnRealPages() {
        const QStringList pages = test_files::dataPages();
        QVERIFY(!pages.isEmpty());
        for (const QString& page : pages) {
            const ReadResult r = document_file::read(page);
            QVERIFY(!r.error);
            compareWithReference(r.text, qPrintable(page.section(u'/', -1)));
            if (QTest::currentTestFailed())
                return;
        }
    }

    void theEngineMatchesTheLiteralPassOnGeneratedDocuments() {
        std::mt19937 rng(20261207);
        for (int n = 0; n < 3000; ++n) {
            const QString doc = randomDocument(rng);
            compareWithReference(doc, qPrintable(QStringLiteral("generated #%1").arg(n)));
            if (QTest::currentTestFailed())
                return;
        }
    }

    void theTablesHoldTheirWordsInOrder() {
        QCOMPARE(kTagWords.size(), size_t(207));
        QCOMPARE(kCommentWords.size(), size_t(10));
        const std::vector<QString> a = tableWords(true);
        QCOMPARE(a[0], QStringLiteral("<html>"));
        QCOMPARE(a[79], QStringLiteral("<img "));
        QCOMPARE(a[103], QStringLiteral("<td "));
        QCOMPARE(a[106], QStringLiteral("\">"));
        QCOMPARE(a[110], QStringLiteral("=\""));
        QCOMPARE(a[206], QStringLiteral("volume="));
        QCOMPARE(a[13], a[153]); // "<font" twice
        QCOMPARE(a[93], a[172]); // "<span" twice
        const std::vector<QString> b = tableWords(false);
        QCOMPARE(b.front(), QStringLiteral("--WEBBOT-SELF--"));
        QCOMPARE(b.back(), QStringLiteral("DOCTYPE"));
    }

    void wordOccurrencesIgnoreCaseAndDoNotOverlap_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QList<int>>("starts");
        QTest::newRow("any case") << "<TABLE border=1><table>"
                                  << "<table" << QList<int>{0, 16};
        QTest::newRow("capital word") << "<!doctype html>"
                                      << "DOCTYPE" << QList<int>{2};
        QTest::newRow("no word boundaries") << "<address><a"
                                            << "<a" << QList<int>{0, 9};
        QTest::newRow("ends at the last character") << "xx<p"
                                                    << "<p" << QList<int>{2};
        QTest::newRow("next search after the occurrence") << "enctypenctype"
                                                          << "enctype" << QList<int>{0};
        QTest::newRow("empty word") << "abc"
                                    << "" << QList<int>{};
        QTest::newRow("absent") << "abc"
                                << "<b>" << QList<int>{};
        QTest::newRow("empty text") << ""
                                    << "<b>" << QList<int>{};
    }
    void wordOccurrencesIgnoreCaseAndDoNotOverlap() {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(QList<int>, starts);
        QList<int> got;
        for (auto [s, n] : wordOccurrences(text, word)) {
            got << s;
            QCOMPARE(n, int(word.size()));
        }
        QCOMPARE(got, starts);
    }

    void delimitedScans_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("close");
        QTest::addColumn<QList<int>>("ranges"); // start, length pairs
        QTest::addColumn<QList<int>>("selection");
        QTest::newRow("one value") << "<a href=\"x.htm\">Home</a>"
                                   << "=\""
                                   << "\">" << QList<int>{7, 8} << QList<int>{7, 8};
        QTest::newRow("values of one tag make one range")
            << "<font face=\"Arial\" size=\"2\">"
            << "=\""
            << "\">" << QList<int>{10, 17} << QList<int>{10, 17};
        QTest::newRow("never closed") << "a=\"b"
                                      << "=\""
                                      << "\">" << QList<int>{} << QList<int>{1, 0};
        QTest::newRow("declaration") << "<!DOCTYPE html>"
                                     << "<!"
                                     << ">" << QList<int>{0, 15} << QList<int>{0, 15};
        QTest::newRow("comment with >") << "<!-- a > b -->"
                                        << "<!"
                                        << ">" << QList<int>{0, 8} << QList<int>{0, 8};
        QTest::newRow("nothing") << "plain"
                                 << "<!"
                                 << ">" << QList<int>{} << QList<int>{};
    }
    void delimitedScans() {
        QFETCH(QString, text);
        QFETCH(QString, open);
        QFETCH(QString, close);
        QFETCH(QList<int>, ranges);
        QFETCH(QList<int>, selection);
        const DelimitedScan scan = scanDelimited(text, open, close);
        QList<int> got;
        for (auto [s, n] : scan.ranges)
            got << s << n;
        QCOMPARE(got, ranges);
        QCOMPARE(scan.movedSelection, !selection.isEmpty());
        if (!selection.isEmpty())
            QCOMPARE(scan.selection, (Selection{selection[0], selection[1]}));
    }

    void valuesAndDeclarationsAreColouredPastTheFirst32767Characters() {
        const QString text = QString(40000, u'x') + QStringLiteral("<a href=\"far\">x</a><!-- far -->");
        const PassResult pass = runHtmlPass(text);
        QCOMPARE(pass.colours[40000 + 10], std::uint8_t(Value));       // f of far
        QCOMPARE(pass.colours[40000 + 24], std::uint8_t(Declaration)); // blank inside the comment
        QCOMPARE(pass.selection.start, 40000 + 19);
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, HtmlPassTest)
#include "test_html_pass.moc"
