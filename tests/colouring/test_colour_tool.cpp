#include "colouring/html_pass.h"
#include "support/test_files.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Runs the built tagloom-colour on a file and returns its standard output.
QByteArray runTool(const QStringList& arguments, int* exitCode = nullptr) {
    QProcess tool;
    tool.start(QStringLiteral(TAGLOOM_COLOUR_TOOL), arguments);
    tool.waitForFinished(60000);
    if (exitCode)
        *exitCode = tool.exitCode();
    return tool.readAllStandardOutput();
}

QString writeTemp(QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("page.html"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

const QByteArray kBlue = "\x1b[38;2;65;105;225m";
const QByteArray kRed = "\x1b[38;2;255;0;0m";
const QByteArray kReset = "\x1b[0m";

class ColourToolTest : public QObject {
    Q_OBJECT
private slots:
    void ansiOutputColoursEachRunAndResetsBeforePlainText() {
        QTemporaryDir dir;
        const QString path = writeTemp(dir, "<a href=\"x\">Home</a>\n");
        const QByteArray expected = kBlue + "<a" + kReset + " " + kBlue + "href=\"" + kRed + "x" + kBlue +
                                    "\">" + kReset + "Home" + kBlue + "</a>" + kReset;
        QCOMPARE(runTool({path}), expected);
    }

    void runsListEveryColouredRunAndTheSelection() {
        QTemporaryDir dir;
        const QString path = writeTemp(dir, "<b>x</b>\r\n<i>y</i>");
        QCOMPARE(runTool({QStringLiteral("--runs"), path}),
                 QByteArray("0 3 4169E1\n4 4 4169E1\n10 3 4169E1\n14 4 4169E1\nselection 0 0\n"));
    }

    void html5RunsNameTheirKinds() {
        QTemporaryDir dir;
        const QString path = writeTemp(dir, "<style>a{top:1px}</style><script>if(x)</script><td bgcolor=x>");
        QCOMPARE(runTool({QStringLiteral("--runs"), QStringLiteral("--scheme"), QStringLiteral("html5"), path}),
                 QByteArray("0 7 1A4FB0 tag\n7 1 1A4FB0 css-selector\n9 3 8A4B08 css-property\n13 3 9A4A00 css-number\n"
                            "17 16 1A4FB0 tag\n33 2 6A3D9A js-keyword\n38 12 1A4FB0 tag\n51 7 C8006E warning\n"
                            "59 1 B3141B attribute-value\n60 1 1A4FB0 tag\n"));
    }

    // A style sheet, a script or JSON is coloured by its own lexer: by its name, or as --language
    // says (a page named .css read as HTML, a .txt file as CSS).
    void filesAreColouredAsWhatTheyAre_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("runs");
        const QByteArray css = "0 1 1A4FB0 css-selector\n2 3 8A4B08 css-property\n6 3 9A4A00 css-number\n";
        QTest::newRow("a style sheet by its name") << "s.css" << QStringList() << css;
        QTest::newRow("a text file said to be CSS") << "s.txt" << QStringList{"--language", "css"} << css;
        QTest::newRow("a script") << "s.js" << QStringList() << QByteArray("0 2 6A3D9A js-keyword\n5 1 9A4A00 js-number\n");
        QTest::newRow("plain text") << "s.txt" << QStringList() << QByteArray();
    }
    void filesAreColouredAsWhatTheyAre() {
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, runs);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(test_files::writeBytes(path, name.endsWith(u".js") ? "if(a)1" : "a{top:1px}"));
        QCOMPARE(runTool(QStringList{QStringLiteral("--runs")} + options + QStringList{path}), runs);
    }

    void runsAgreeWithTheEngineOnARealPage() {
        const QString page = test_files::dataDir() + QStringLiteral("/d-oldstyle-rasmol.html");
        QVERIFY(QFile::exists(page));
        const QList<QByteArray> lines = runTool({QStringLiteral("--runs"), page}).split('\n');
        QFile f(page);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // The page is ASCII with LF line ends: the document text is the bytes with CR LF.
        QString text = QString::fromLatin1(f.readAll());
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        text.chop(2);
        const PassResult pass = runHtmlPass(text);
        std::vector<std::uint8_t> fromTool(size_t(text.size()), Plain);
        const QHash<QByteArray, std::uint8_t> byHex{
            {"FF0000", Value}, {"4169E1", TagWord}, {"696969", CommentWord}};
        for (const QByteArray& line : lines) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() != 3 || f[0] == "selection")
                continue;
            const std::uint8_t colour = byHex.value(f[2], Declaration); // the system grey resolves per style
            for (int i = f[0].toInt(); i < f[0].toInt() + f[1].toInt(); ++i)
                fromTool[size_t(i)] = colour;
        }
        QVERIFY(fromTool == pass.colours);
        QCOMPARE(lines.at(lines.size() - 2), QByteArray("selection ") +
                                                 QByteArray::number(pass.selection.start) + ' ' +
                                                 QByteArray::number(pass.selection.length));
    }

    void badInputAndLostOutputAreErrors_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("output");
        QTest::newRow("a missing file") << "/nonexistent/page.html"
                                        << "";
#ifdef Q_OS_LINUX
        QTest::newRow("an endless device") << "/dev/zero"
                                           << "";
        QTest::newRow("output that cannot be written")
            << test_files::dataDir() + "/a-100k-python-tutorial-classes.html"
            << "/dev/full";
#endif
    }
    void badInputAndLostOutputAreErrors() {
        QFETCH(QString, page);
        QFETCH(QString, output);
        QProcess tool;
        if (!output.isEmpty())
            tool.setStandardOutputFile(output);
        tool.start(QStringLiteral(TAGLOOM_COLOUR_TOOL), {page});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(!tool.readAllStandardError().isEmpty());
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, ColourToolTest)
#include "test_colour_tool.moc"
