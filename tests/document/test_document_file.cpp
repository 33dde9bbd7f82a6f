#include "document/document_file.h"
#include "document/text_encoding.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QStringDecoder>
#include <QTest>

namespace {
QByteArray allHighBytes() {
    QByteArray bytes("<p>");
    for (int b = 0x80; b <= 0xFF; ++b)
        bytes += char(b);
    return bytes + "</p>\r\n";
}

QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray out = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += bigEndian ? QByteArray{&hi, 1} + QByteArray{&lo, 1} : QByteArray{&lo, 1} + QByteArray{&hi, 1};
    }
    return out;
}

using LineEnd = DocumentFormat::LineEnd;
} // namespace
Q_DECLARE_METATYPE(DocumentFormat::LineEnd)
namespace {

class DocumentFileTest : public QObject {
    Q_OBJECT
private slots:
    void decodesEncodingsAndLineEnds_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<bool>("bom");
        QTest::addColumn<LineEnd>("lineEnd");
        QTest::newRow("plain ASCII, no line end")
            << QByteArray("abc") << "abc" << QByteArray("UTF-8") << false << LineEnd::CrLf;
        QTest::newRow("leading empty lines are kept")
            << QByteArray("\r\n\r\nA\r\n\r\nB\r\n") << "\r\n\r\nA\r\n\r\nB" << QByteArray("UTF-8") << false
            << LineEnd::CrLf;
        QTest::newRow("only empty lines") << QByteArray("\n\n") << "\r\n"
                                          << QByteArray("UTF-8") << false << LineEnd::Lf;
        QTest::newRow("LF lines") << QByteArray("a\nb\n") << "a\r\nb" << QByteArray("UTF-8") << false
                                  << LineEnd::Lf;
        QTest::newRow("CR lines") << QByteArray("a\rb\r") << "a\r\nb" << QByteArray("UTF-8") << false
                                  << LineEnd::Cr;
        QTest::newRow("mixed, a tie: the first wins") << QByteArray("a\r\nb\nc\rd") << "a\r\nb\r\nc\r\nd"
                                                      << QByteArray("UTF-8") << false << LineEnd::CrLf;
        QTest::newRow("mixed: the most common wins") << QByteArray("a\r\nb\nc\nd") << "a\r\nb\r\nc\r\nd"
                                                     << QByteArray("UTF-8") << false << LineEnd::Lf;
        QTest::newRow("UTF-16 LE without a BOM")
            << utf16(QStringLiteral("<p>\r\nx"), false).mid(2) << "<p>\r\nx" << QByteArray("UTF-16LE")
            << false << LineEnd::CrLf;
        QTest::newRow("UTF-16 BE without a BOM")
            << utf16(QStringLiteral("<p>\nx\n"), true).mid(2) << "<p>\r\nx" << QByteArray("UTF-16BE") << false
            << LineEnd::Lf;
        // EBCDIC cannot be declared in ASCII: the declaration is not believed.
        QTest::newRow("declared EBCDIC on an ASCII page")
            << QByteArray("<meta charset=\"ibm037\"><p>100%</p>\n") << "<meta charset=\"ibm037\"><p>100%</p>"
            << QByteArray("UTF-8") << false << LineEnd::Lf;
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF\xC3\xA9\n") << QString::fromUtf8("é")
                                   << QByteArray("UTF-8") << true << LineEnd::Lf;
        QTest::newRow("UTF-16 LE BOM")
            << utf16(QString::fromUtf8("日本\r\nx"), false) << QString::fromUtf8("日本\r\nx")
            << QByteArray("UTF-16LE") << true << LineEnd::CrLf;
        QTest::newRow("UTF-16 BE BOM") << utf16(QString::fromUtf8("é\n"), true) << QString::fromUtf8("é")
                                       << QByteArray("UTF-16BE") << true << LineEnd::Lf;
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("\x80 \x81 caf\xE9\r\n") << QString::fromUtf8("€ \u0081 café")
            << QByteArray("windows-1252") << false << LineEnd::CrLf;
        QTest::newRow("declared Latin-1 though ASCII")
            << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">\n")
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">"
            << QByteArray("ISO-8859-1") << false << LineEnd::Lf;
        // A page that says it is UTF-8 stays so, each bad byte a mark written back as that byte.
        QTest::newRow("declared UTF-8 with a bad byte")
            << QByteArray("<meta charset=\"utf-8\">\xE9\n") << QStringLiteral("<meta charset=\"utf-8\">") + QChar(0xDCE9)
            << QByteArray("UTF-8") << false << LineEnd::Lf;
        QTest::newRow("UTF-8 BOM, a cut character and an overlong form")
            << QByteArray("\xEF\xBB\xBF\xC3 \xC0\xAF\n") << QString(QChar(0xDCC3)) + u' ' + QChar(0xDCC0) + QChar(0xDCAF)
            << QByteArray("UTF-8") << true << LineEnd::Lf;
        QTest::newRow("no declaration, invalid UTF-8: Windows-1252 as before")
            << QByteArray("<p>\xE9\n") << QString::fromUtf8("<p>é") << QByteArray("windows-1252") << false << LineEnd::Lf;
        QTest::newRow("CR LF split across decoding pieces")
            << QByteArray(65535, 'x') + "\r\ny" << QString(65535, u'x') + "\r\ny" << QByteArray("UTF-8")
            << false << LineEnd::CrLf;
        QTest::newRow("character split across decoding pieces")
            << QByteArray(65535, 'x') + "\xC3\xA9\n"
            << QString(65535, u'x') + QString::fromUtf8("é") << QByteArray("UTF-8") << false << LineEnd::Lf;
        QTest::newRow("NUL bytes") << QByteArray("a\0b\n", 4) << QString(QStringLiteral("a") + QChar(0) + "b")
                                   << QByteArray("UTF-8") << false << LineEnd::Lf;
    }
    void decodesEncodingsAndLineEnds() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QByteArray, encoding);
        QFETCH(bool, bom);
        QFETCH(LineEnd, lineEnd);
        DocumentFormat format;
        QCOMPARE(document_file::decode(bytes, &format), text);
        QCOMPARE(format.encoding, encoding);
        QCOMPARE(format.byteOrderMark, bom);
        QCOMPARE(format.lineEnd, lineEnd);
    }

    void unchangedDocumentsGiveBackTheirBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << QByteArray("<p>\r\n\r\nx\r\n");
        QTest::newRow("LF") << QByteArray("<p>\n\nx\n");
        QTest::newRow("CR") << QByteArray("<p>\r\rx\r");
        QTest::newRow("leading empty lines") << QByteArray("\n\n<p>\n");
        QTest::newRow("only a line end") << QByteArray("\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("only a UTF-8 BOM") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("only a UTF-16 BOM") << QByteArray("\xFF\xFE");
        QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\rd\n\ne\r");
        QTest::newRow("a stray CR before CR LF") << QByteArray("a\r\r\nb\r\n");
        QTest::newRow("UTF-16 LE without a BOM, CR LF")
            << utf16(QStringLiteral("<p>\r\n</p>\r\n"), false).mid(2);
        QTest::newRow("declared EBCDIC") << QByteArray("<meta charset=\"cp1047\"><p>100%</p>\n");
        QTest::newRow("no final line end") << QByteArray("<p>\nx");
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF<p>caf\xC3\xA9</p>\r\n");
        QTest::newRow("UTF-16 BOM") << utf16(QString::fromUtf8("<p>日本</p>\r\n"), false);
        QTest::newRow("every high byte") << allHighBytes();
        QTest::newRow("NUL and invalid UTF-8") << QByteArray("a\0\xFF\xFE z\n", 7);
        QTest::newRow("60,000-character line") << QByteArray(60000, 'x') + "\n";
        QByteArray big;
        while (big.size() < 10 * 1024 * 1024)
            big += "<tr><td class=\"x\">caf\xC3\xA9 \xE2\x82\xAC</td></tr>\n";
        QTest::newRow("10 MB") << big;
        for (const QString& page : test_files::dataPages())
            QTest::newRow(qPrintable(page.section(u'/', -1))) << test_files::readBytes(page);
    }
    void unchangedDocumentsGiveBackTheirBytes() {
        QFETCH(QByteArray, bytes);
        DocumentFormat format;
        LineEndExceptions lineEnds;
        const QString text = document_file::decode(bytes, &format, &lineEnds);
        const DocumentFormat before = format;
        QCOMPARE(document_file::encode(text, &format, lineEnds), bytes);
        QCOMPARE(format, before);
    }

    void aSweepOfGeneratedFilesComesBackByteExact() {
        // Every encoding the reader knows, mixed line ends, NUL bytes, no final line end, and
        // plain random bytes.
        QRandomGenerator random(20261207);
        const QStringList pieces{"a",
                                 "<p>",
                                 "=\"x\">",
                                 " ",
                                 QString(QChar(0)),
                                 QString::fromUtf8("é"),
                                 QString::fromUtf8("€"),
                                 QString::fromUtf8("日本"),
                                 QString::fromUtf8("😀")};
        const char* lineEnds[] = {"\r\n", "\n", "\r", "\r\r\n"};
        const QByteArray encodings[] = {"UTF-8",        "UTF-8 BOM",    "UTF-16LE",   "UTF-16BE",
                                        "UTF-16LE BOM", "windows-1252", "ISO-8859-1", "Shift_JIS"};
        int checked = 0;
        for (int n = 0; n < 3000; ++n) {
            QByteArray bytes;
            const QByteArray encoding = encodings[n % 8];
            if (n % 6 == 5) {
                for (int i = int(random.bounded(200)); i > 0; --i)
                    bytes += char(random.bounded(256));
            } else {
                QString text =
                    encoding == "ISO-8859-1" || encoding == "Shift_JIS"
                        ? QStringLiteral("<meta charset=\"%1\">").arg(QString::fromLatin1(encoding))
                        : QString();
                for (int line = int(random.bounded(8)); line > 0; --line) {
                    for (int i = int(random.bounded(6)); i > 0; --i)
                        text += pieces[int(random.bounded(pieces.size()))];
                    if (line > 1 || random.bounded(2))
                        text += QString::fromLatin1(lineEnds[random.bounded(4)]);
                }
                const QByteArray name = encoding.endsWith(" BOM") ? encoding.chopped(4) : encoding;
                const auto encoded = text_encoding::encodeExact(text, name);
                if (!encoded)
                    continue; // a character this encoding does not have
                bytes = (encoding == "UTF-8 BOM" ? QByteArray("\xEF\xBB\xBF") : QByteArray()) +
                        (encoding == "UTF-16LE BOM" ? QByteArray("\xFF\xFE") : QByteArray()) + *encoded;
            }
            DocumentFormat format;
            LineEndExceptions lineEnds;
            const QString text = document_file::decode(bytes, &format, &lineEnds);
            QVERIFY2(
                document_file::encode(text, &format, lineEnds) == bytes,
                qPrintable(QStringLiteral("file %1 (%2): %3")
                               .arg(n)
                               .arg(QString::fromLatin1(encoding), QString::fromLatin1(bytes.toHex(' ')))));
            ++checked;
        }
        QVERIFY(checked > 2000);
    }

    // UTF-8 read with marks for the bytes that are no UTF-8: valid UTF-8 reads as Qt's decoder
    // reads it, any bytes come back exactly, and what is typed is written as UTF-8 beside them.
    void utf8WithBadBytesKeepsEveryByte() {
        QRandomGenerator random(20261208);
        const QByteArray sample = QStringLiteral("aé€日😀<p>\r\n").toUtf8();
        for (int n = 0; n < 3000; ++n) {
            QByteArray bytes = "<meta charset=utf-8>";
            for (int i = int(random.bounded(60)); i > 0; --i)
                bytes += n % 2 ? char(random.bounded(256)) : sample[random.bounded(sample.size())];
            qsizetype marks = 0;
            const QString read = text_encoding::decodeUtf8KeepingBytes(bytes, &marks);
            QStringDecoder strict(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString oracle = strict.decode(bytes);
            if (!strict.hasError())
                QCOMPARE(read, oracle);
            QCOMPARE(marks == 0, !strict.hasError());
            DocumentFormat format;
            LineEndExceptions lineEnds;
            const QString text = document_file::decode(bytes, &format, &lineEnds);
            QCOMPARE(format.encoding, QByteArray("UTF-8"));
            QCOMPARE(format.invalidBytes, marks);
            QVERIFY2(document_file::encode(text, &format, lineEnds) == bytes, bytes.toHex(' ').constData());
            QVERIFY(document_file::canEncode(text + QString::fromUtf8("é"), "UTF-8"));
        }
        DocumentFormat format;
        const QString text = document_file::decode("<meta charset=\"utf-8\">\xFF<p>", &format);
        QCOMPARE(document_file::encode(text + QString::fromUtf8("é"), &format),
                 QByteArray("<meta charset=\"utf-8\">\xFF<p>\xC3\xA9"));
    }

    void realPagesKeepTheirDeclaredEncoding() {
        const QString latin1 =
            test_files::dataDir() + QStringLiteral("/f-latin1-libxml2-tutorial-index.html");
        QVERIFY(QFile::exists(latin1));
        const ReadResult r = document_file::read(latin1);
        QVERIFY(!r.error);
        QCOMPARE(r.format.encoding, QByteArray("ISO-8859-1"));
        QVERIFY(r.text.contains(QChar(0xA9)));
        QCOMPARE(r.format.lineEnd, LineEnd::Lf);
    }

    void newDocumentsAreUtf8WithCrLf() {
        DocumentFormat format;
        QCOMPARE(document_file::encode(QStringLiteral("abc"), &format), QByteArray("abc\r\n"));
        QCOMPARE(document_file::encode(QStringLiteral("abc\r\n"), &format), QByteArray("abc\r\n\r\n"));
        QCOMPARE(document_file::encode(QString::fromUtf8("é"), &format), QByteArray("\xC3\xA9\r\n"));
    }

    void aCharacterTheEncodingCannotHoldSwitchesToUtf8() {
        DocumentFormat format;
        format.encoding = "ISO-8859-1";
        format.lineEnd = LineEnd::Lf;
        QCOMPARE(document_file::encode(QString::fromUtf8("caf\u00E9 \u20AC"), &format),
                 QByteArray("caf\xC3\xA9 \xE2\x82\xAC\n"));
        QCOMPARE(format.encoding, QByteArray("UTF-8"));
        format.encoding = "windows-1252";
        QCOMPARE(document_file::encode(QString::fromUtf8("\u20AC \u65E5"), &format),
                 QByteArray("\xE2\x82\xAC \xE6\x97\xA5\n"));
        QCOMPARE(format.encoding, QByteArray("UTF-8"));
    }

    void brokenSurrogatesAreKeptInUtf16() {
        DocumentFormat format;
        const QString text = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
        const QByteArray bytes = document_file::encode(text, &format);
        QCOMPARE(format.encoding, QByteArray("UTF-16LE"));
        QVERIFY(format.byteOrderMark);
        DocumentFormat back;
        QCOMPARE(document_file::decode(bytes, &back), text);
    }

    void readReportsMissingFilesAndFolders() {
        QTemporaryDir dir;
        const ReadResult missing = document_file::read(dir.filePath(QStringLiteral("nope.htm")));
        QCOMPARE(missing.error.number, 53);
        QVERIFY(missing.error.description.contains(QStringLiteral("nope.htm")));
        QCOMPARE(document_file::read(dir.path()).error.number, 75);
        QCOMPARE(document_file::read(QString()).error.number, 75);
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QCoreApplication, DocumentFileTest)
#include "test_document_file.moc"
