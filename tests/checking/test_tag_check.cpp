#include "app/main_window.h"
#include "checking/check_config.h"
#include "checking/check_panel.h"
#include "checking/safe_check.h"
#include "checking/tag_check.h"
#include "document/document_file.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const QString kHead = QStringLiteral("<!DOCTYPE html>\n<html><head><title>t</title></head><body>\n");
const QString kTail = QStringLiteral("\n</body></html>\n");

/// What each problem selects in the text, as "KEY kind: selected text".
QStringList selections(const QString& text, const QSet<QString>& ignored = {}) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = text.split(lineEnd);
    QStringList out;
    for (const TagProblem& p : checkTags(text, ignored)) {
        const QString line = p.line > 0 ? lines.value(p.line - 1) : lines.value(0);
        const qsizetype at = p.line > 0 ? p.column - 1 : 0;
        out << p.key + QString::fromLatin1(p.kind == TagProblem::Kind::Error ? " error: " : " warning: ") +
                   line.mid(at, problemLength(line, at));
    }
    return out;
}

QString withLineEnds(QString text, const QString& lineEnd) {
    return text.replace(u'\n', lineEnd);
}

class TagCheckTest : public QObject {
    Q_OBJECT
private slots:
    void eachProblemSelectsWhatItNames_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");
        auto row = [](const char* name, const QString& body, const QStringList& expected) {
            QTest::newRow(name) << body << expected;
        };
        row("valid page", "<p>fine <my-widget>custom</my-widget></p>", {});
        row("missing end tag", "<div>\n<p>x</p>", {"MISSING_ENDTAG_FOR warning: <div>"});
        row("end tag without start", "<p>x</p></span>", {"DISCARDING_UNEXPECTED warning: </span>"});
        row("misnesting", "<div><span>x</div>", {"MISSING_ENDTAG_BEFORE warning: <span>"});
        row("custom element holding blocks", "<my-card><div>x</div></my-card>", {});
        row("custom element in capitals", "<p><My-Widget>x</My-Widget> after</p>", {});
        row("address in angle brackets", "<p>mail <Ann-Lee@example.org> soon</p>",
            {"UNKNOWN_ELEMENT_LOOKS_CUSTOM error: <Ann-Lee@example.org>", "DISCARDING_UNEXPECTED warning: <Ann-Lee@example.org>"});
        row("duplicate attribute", "<div id=a id=b>x</div>",
            {"REPEATED_ATTRIBUTE warning: <div id=a id=b>"});
        row("unknown element", "<p>a <blah>b</blah></p>",
            {"UNKNOWN_ELEMENT error: <blah>", "DISCARDING_UNEXPECTED warning: <blah>",
             "DISCARDING_UNEXPECTED warning: </blah>"});
        row("obsolete element", "<center>x</center>", {"ELEMENT_VERS_MISMATCH_ERROR error: <center>"});
        row("empty obsolete element", "<p><font color=red></font>x</p><center></center>",
            {"ELEMENT_VERS_MISMATCH_ERROR error: <font color=red>", "MISMATCHED_ATTRIBUTE_ERROR error: <font color=red>",
             "ELEMENT_VERS_MISMATCH_ERROR error: <center>"});
        row("after non-ASCII, astral and tab", QString::fromUtf8("<p>é日本😀\t<b>x</p>"),
            {"MISSING_ENDTAG_BEFORE warning: <b>"});
    }
    void eachProblemSelectsWhatItNames() {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        const QString page = kHead + body + kTail;
        // Tidy counts lines and columns its own way; every kind of line end selects the same text.
        for (const QString& lineEnd : {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")})
            QCOMPARE(selections(withLineEnds(page, lineEnd)), expected);
    }

    void wholePageProblemsAndIgnoredKinds() {
        QCOMPARE(selections(QStringLiteral("<html><body><p>x</p></body></html>")),
                 QStringList({"MISSING_DOCTYPE warning: <html>", "MISSING_TITLE_ELEMENT warning: <body>"}));
        QCOMPARE(selections(QStringLiteral("<html><body><p>x</p></body></html>"), {"MISSING_DOCTYPE"}),
                 QStringList({"MISSING_TITLE_ELEMENT warning: <body>"}));
        // An address taken for an element is the one fault: the page's older elements are not then
        // checked against the version its doctype names.
        QCOMPARE(selections(QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head><title>t</title>"
                                           "</head><body>\n<p><font size=2>x</font> <Ann-Lee@example.org></p>\n</body></html>\n")),
                 QStringList({"UNKNOWN_ELEMENT error: <Ann-Lee@example.org>", "DISCARDING_UNEXPECTED warning: <Ann-Lee@example.org>"}));
        QCOMPARE(checkTags(kHead + QStringLiteral("<p><Ann-Lee@example.org></p>") + kTail).front().message,
                 QStringLiteral("<ann-lee> is not recognized!")); // without the hint at Tidy's own options
    }

    void realPagesPointAtTheTagTheyName() {
        const QRegularExpression missingEnd(QStringLiteral("^missing </(\\w+)>$"));
        for (const QString& path : test_files::dataPages()) {
            const QString text = document_file::read(path).text; // CR LF line ends
            const QStringList lines = text.split(QStringLiteral("\r\n"));
            for (const TagProblem& p : checkTags(text)) {
                if (p.line == 0)
                    continue; // about the whole page
                QVERIFY2(p.line <= lines.size() && p.column >= 1 && p.column <= lines[p.line - 1].size() + 1,
                         qPrintable(path));
                if (const auto m = missingEnd.match(p.message); m.hasMatch())
                    QVERIFY2(QStringView(lines[p.line - 1]).mid(p.column - 1).startsWith(u'<' + m.captured(1), Qt::CaseInsensitive),
                             qPrintable(path + u' ' + p.message));
            }
        }
    }

    void commandLineTool() {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.html"));
        const QString bad = dir.filePath(QStringLiteral("bad.html"));
        test_files::writeBytes(good, (kHead + QStringLiteral("<p>x</p></span>") + kTail).toUtf8());
        test_files::writeBytes(bad, (kHead + QStringLiteral("<center>x</center>") + kTail).toUtf8());
        auto run = [](const QStringList& files, QByteArray* out) {
            QProcess tool;
            tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), files);
            tool.waitForFinished(30000);
            *out = tool.readAllStandardOutput();
            return tool.exitCode();
        };
        QByteArray out;
        QCOMPARE(run({good}, &out), 0); // warnings alone pass
        QCOMPARE(out, good.toUtf8() + ":3:9: warning: discarding unexpected </span>\n");
        QCOMPARE(run({good, bad}, &out), 1);
        QVERIFY(out.endsWith(bad.toUtf8() + ":3:1: error: <center> element not available in HTML5\n"));
        QCOMPARE(run({dir.filePath(QStringLiteral("missing.html"))}, &out), 1);
        // A page beyond what Tidy can take ends at once, with exit 2.
        const QString deep = dir.filePath(QStringLiteral("deep.html"));
        test_files::writeBytes(deep, (kHead + QStringLiteral("<span>").repeated(100000)).toUtf8());
        QCOMPARE(run({good, deep}, &out), 2);
        // Without its checker program (a copy of the tool alone), a page is said unchecked, exit 2.
        const QString lonely = dir.filePath(QStringLiteral("tagloom-check"));
        QVERIFY(QFile::copy(QStringLiteral(TAGLOOM_CHECK_TOOL), lonely));
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("TAGLOOM_CHECKER"));
        tool.setProcessEnvironment(environment);
        tool.start(lonely, {good});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(tool.readAllStandardError().contains("checker program (tagloom-checker) could not be started"));
    }

    // A hostile site: its settings file may be a link to a pipe or a device, huge, or wrong line
    // by line; its pages may have names no reader expects. Nothing hangs or dies, each fault is
    // told (a bad setting with its line, exit 2), and every report stays readable by its reader.
    // Each setting of a site's .tagloom-check as it is read; a bad line is named and left out,
    // and the lines around it still count.
    void siteSettingsAreReadLineByLine_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("read"); // accessibility, links, orphans, ignored, checks, include, exclude
        QTest::addColumn<QString>("errors");
        QTest::newRow("nothing set") << "# only a comment\n\n" << "-1 0 0 | | | |" << "";
        QTest::newRow("every setting") << "accessibility = 2\nlinks = yes\norphans = 1\nignore = MISSING_ATTRIBUTE link-text\n"
                                          "check = IMG_ALT_SUSPICIOUS\ninclude = *.html *.htm\nexclude = drafts/*"
                                       << "2 1 1 | MISSING_ATTRIBUTE link-text | IMG_ALT_SUSPICIOUS | *.html *.htm | drafts/*" << "";
        QTest::newRow("spelling") << "spelling = yes\nspelling-language = en-GB\n" << "-1 0 0 | | | | | spelling 1 en-GB" << "";
        QTest::newRow("a spelling language that is none") << "spelling-language = not one\nspelling = maybe"
                                                          << "-1 0 0 | | | |" << "1: spelling-language takes|2: spelling takes";
        QTest::newRow("names in any case, comments after values, a BOM-less CR LF file")
            << "LINKS = False # not today\r\nIgnore = a,b\r\n" << "-1 0 0 | a b | | |" << "";
        QTest::newRow("a bad line among good ones") << "links = true\nwhat is this\naccessibility = 9\norphans = true"
                                                    << "-1 1 1 | | | |" << "2: not a setting|3: accessibility takes 0 to 3";
        QTest::newRow("an empty or broken pattern") << "include =\nexclude = [ ok/*" << "-1 0 0 | | | | ok/*"
                                                    << "1: include needs a pattern|2: \"[\" is not a valid pattern";
    }
    void siteSettingsAreReadLineByLine() {
        QFETCH(QString, file);
        QFETCH(QString, read);
        QFETCH(QString, errors);
        QTemporaryDir site;
        QVERIFY(test_files::writeBytes(site.filePath(QString::fromLatin1(CheckConfig::kFileName)), file.toUtf8()));
        const CheckConfig config = CheckConfig::readIn(site.path());
        const auto sorted = [](const auto& words) {
            QStringList list(words.begin(), words.end());
            list.sort();
            return list.join(u' ');
        };
        QStringList fields{QStringLiteral("%1 %2 %3").arg(config.accessibility).arg(int(config.links)).arg(int(config.orphans)),
                           sorted(config.ignored), sorted(config.handChecks), config.include.join(u' '),
                           config.exclude.join(u' ')};
        if (config.spelling || !config.spellingLanguage.isEmpty())
            fields << QStringLiteral("spelling %1 %2").arg(int(config.spelling)).arg(config.spellingLanguage);
        QCOMPARE(fields.join(QStringLiteral(" | ")).simplified(), read);
        QStringList said;
        for (const QString& error : config.errors)
            said << error.section(QStringLiteral(".tagloom-check:"), 1);
        QStringList want = errors.isEmpty() ? QStringList() : errors.split(u'|');
        QCOMPARE(said.size(), want.size());
        for (qsizetype i = 0; i < want.size(); ++i)
            QVERIFY2(said[i].startsWith(want[i]), qPrintable(said[i]));
    }

    void aHostileSiteIsToldNotTrusted_data() {
        QTest::addColumn<QString>("settings"); // fifo, zero, sparse, or the file's text
        QTest::addColumn<QByteArray>("pageName");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told"); // on the error output
        QTest::newRow("settings: a link to a pipe") << "fifo" << QByteArray("a.html") << "text" << 2 << ".tagloom-check: not read: it is not a regular file";
        QTest::newRow("settings: a link to /dev/zero") << "zero" << QByteArray("a.html") << "text" << 2 << ".tagloom-check: not read: it is not a regular file";
        QTest::newRow("settings: 5 GB, sparse") << "sparse" << QByteArray("a.html") << "text" << 2 << ".tagloom-check: not read: the file is too large";
        QTest::newRow("settings: a bad pattern") << "include = [" << QByteArray("a.html") << "text" << 2 << ".tagloom-check:1: \"[\" is not a valid pattern";
        QTest::newRow("settings: a level out of range") << "links = true\naccessibility = 99" << QByteArray("a.html") << "text" << 2 << ".tagloom-check:2: accessibility takes 0 to 3";
        QTest::newRow("settings: no boolean") << "links = maybe" << QByteArray("a.html") << "text" << 2 << ".tagloom-check:1: links takes true or false";
        QTest::newRow("settings: a garbage line") << "# fine\nwhat is this" << QByteArray("a.html") << "text" << 2 << ".tagloom-check:2: not a setting";
        QTest::newRow("settings: an unknown name") << "colour = red" << QByteArray("a.html") << "text" << 2 << ".tagloom-check:1: unknown setting \"colour\"";
        QTest::newRow("a name that is no UTF-8") << "" << QByteArray("bad\xFFname.html") << "text" << 1 << "bad\\xFFname.html: not checked: its name is not valid UTF-8";
        QTest::newRow("text: a line end in a name") << "" << QByteArray("two\nlines.html") << "text" << 0 << "";
        QTest::newRow("text: ESC in a name") << "" << QByteArray("esc\x1B[31m.html") << "text" << 0 << "";
        QTest::newRow("junit: 0x01 and ESC in a name") << "" << QByteArray("ctl\x01\x1B.html") << "junit" << 0 << "";
    }
    void aHostileSiteIsToldNotTrusted() {
        QFETCH(QString, settings);
        QFETCH(QByteArray, pageName);
        QFETCH(QString, format);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QByteArray site = QFile::encodeName(dir.path());
        const QByteArray config = site + "/.tagloom-check";
#ifndef Q_OS_UNIX
        if (settings == u"fifo" || settings == u"zero" || settings == u"sparse" || pageName != "a.html")
            QSKIP("pipes, links to devices, sparse files and names with control characters or invalid bytes are POSIX's");
#else
        if (settings == u"fifo") {
            QVERIFY(::mkfifo((site + "/pipe").constData(), 0600) == 0);
            QVERIFY(::symlink("pipe", config.constData()) == 0);
        } else if (settings == u"zero") {
            QVERIFY(::symlink("/dev/zero", config.constData()) == 0);
        } else if (settings == u"sparse") {
            QVERIFY(::truncate((test_files::writeBytes(QFile::decodeName(config), "x"), config.constData()), qint64(5) << 30) == 0);
        } else
#endif
        if (!settings.isEmpty()) {
            QVERIFY(test_files::writeBytes(QFile::decodeName(config), settings.toUtf8()));
        }
        // A page with a warning and a message holding ESC, under the name given.
        const QByteArray page = (kHead + QStringLiteral("<p>x</p></span>\x1B") + kTail).toUtf8();
#ifdef Q_OS_UNIX
        const int fd = ::open((site + '/' + pageName).constData(), O_CREAT | O_WRONLY, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, page.constData(), size_t(page.size())), ssize_t(page.size()));
        ::close(fd);
#else
        QVERIFY(test_files::writeBytes(QFile::decodeName(site + '/' + pageName), page));
#endif
        QProcess tool;
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {"--format", format, "--include", "*.html", dir.path()});
        QVERIFY2(tool.waitForFinished(20000), "the checker hangs");
        const QByteArray out = tool.readAllStandardOutput(), errors = tool.readAllStandardError();
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QVERIFY2(errors.contains(told.toUtf8()), errors.constData());
        QCOMPARE(tool.exitCode(), exitCode);
        if (exitCode == 2) {
            // The editor's check goes on without the settings, and says so first.
            const safe_check::Result inEditor = CheckPanel::checkNow(QString::fromUtf8(page), {}, 0, false,
                                                                     QFile::decodeName(site + "/a.html"));
            QVERIFY(inEditor.failure.isEmpty());
            QVERIFY(inEditor.problems.size() >= 2);
            QVERIFY2(inEditor.problems[0].message.contains(told), qPrintable(inEditor.problems[0].message));
            return;
        }
#ifdef Q_OS_UNIX
        ::unlink((site + '/' + pageName).constData()); // Qt may not be able to name it to remove it
#endif
        for (const char c : out + errors) // nothing that drives a terminal or breaks XML
            QVERIFY2(c == '\n' || uchar(c) >= 0x20, out.constData());
        if (format == u"text" && exitCode == 0) {
            QCOMPARE(out.count('\n'), 1); // one problem, one line
            QVERIFY2(out.contains(":3:9: warning: "), out.constData());
        } else if (format == u"junit") {
            QXmlStreamReader xml(out);
            while (!xml.atEnd())
                xml.readNext();
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QVERIFY2(out.contains("ctl\\x01\\x1B.html"), out.constData());
        }
    }

    // Checks worth reading: no reminders to test by hand below level 3, a fault once, an old
    // page's presentational attributes as warnings, each message where its fault is.
    void reportsAreWorthReading_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("accessibility");
        QTest::addColumn<QStringList>("wanted"); // "LINE:COLUMN RULE severity", each among the problems
        QTest::addColumn<QStringList>("unwanted"); // rules that must not be there
        const QString head = QStringLiteral("<!DOCTYPE html>\n<html lang=en><head><title>t</title><style>p { color: red }</style></head><body>\n");
        const QString image = head + QStringLiteral("<h1>A</h1>\n<p>x <img src=\"a.png\"></p>\n</body></html>\n");
        QTest::newRow("level 2: no checks by hand, a missing alt once")
            << image << 2 << QStringList{"4:6 img-alt warning"}
            << QStringList{"STYLESHEETS_REQUIRE_TESTING_STYLE_ELEMENT", "IMG_MISSING_LONGDESC_DLINK", "IMG_MISSING_ALT"};
        QTest::newRow("level 3 asks for everything") << image << 3 << QStringList{"4:6 img-alt warning"}
                                                     << QStringList{"IMG_MISSING_ALT"};
        QTest::newRow("an old page's align is a warning")
            << "<html><head><title>t</title></head><body>\n<p align=\"center\">x</p>\n</body></html>\n" << 0
            << QStringList{"2:1 MISMATCHED_ATTRIBUTE_ERROR warning"} << QStringList{};
        QTest::newRow("under the HTML5 doctype, an error")
            << "<!DOCTYPE html>\n<html><head><title>t</title></head><body>\n<p align=\"center\">x</p>\n</body></html>\n" << 0
            << QStringList{"3:1 MISMATCHED_ATTRIBUTE_ERROR error"} << QStringList{};
        QTest::newRow("content after the body, where it is")
            << "<!DOCTYPE html>\n<html><head><title>t</title></head><body>\n<p>x</p>\n</body>\n<!-- c -->\n<p>stray</p>\n</html>\n"
            << 0 << QStringList{"6:1 CONTENT_AFTER_BODY warning"} << QStringList{};
    }
    void reportsAreWorthReading() {
        QFETCH(QString, page);
        QFETCH(int, accessibility);
        QFETCH(QStringList, wanted);
        QFETCH(QStringList, unwanted);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("page.html"));
        QVERIFY(test_files::writeBytes(file, page.toUtf8()));
        QProcess tool;
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {"--format", "json", "--accessibility", QString::number(accessibility), file});
        QVERIFY(tool.waitForFinished(30000));
        QStringList found, rules;
        for (const QJsonValue& p : QJsonDocument::fromJson(tool.readAllStandardOutput()).object()["problems"].toArray()) {
            found << QStringLiteral("%1:%2 %3 %4").arg(p["line"].toInt()).arg(p["column"].toInt()).arg(p["rule"].toString(), p["severity"].toString());
            rules << p["rule"].toString();
        }
        for (const QString& w : wanted)
            QVERIFY2(found.count(w) == 1, qPrintable(w + QStringLiteral(" in: ") + found.join(QStringLiteral("; "))));
        for (const QString& u : unwanted)
            QVERIFY2(!rules.contains(u), qPrintable(u + QStringLiteral(" in: ") + found.join(QStringLiteral("; "))));
    }

    // With --links, what a page and a style sheet name beyond href and src must exist (url(),
    // @import, srcset, poster), and an <img> of a local image keeps its place (width and height
    // with the image's proportions, a pixel of rounding allowed). Each row: the page, and the
    // rules expected, each at the place of the text after '@'.
    void filesAPageNamesAreChecked_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("an image without its size") << "<img src=\"i.png\" alt=\"\">" << QStringList{"image-size@<img"};
        QTest::newRow("its size, scaled and rounded")
            << "<img src=\"i.png\" width=\"40\" height=\"20\" alt=\"\"><img src=i.png width=21 height=10 alt=\"\">" << QStringList{};
        QTest::newRow("other proportions") << "<img src=\"i.png\" width=\"40\" height=\"40\" alt=\"\">"
                                           << QStringList{"image-size@<img"};
        QTest::newRow("a missing file in styles and srcset")
            << "<p style=\"background:url(no.png)\">\n<img src=i.png width=40 height=20 srcset=\"i.png 1x, no@2x.png 2x\" alt=\"\">"
               "<style>@import 'gone.css'; a { background: url(\"i.png\") }</style><video poster=none.jpg></video>"
            << QStringList{"missing-file@no.png", "missing-file@no@2x", "missing-file@gone.css", "missing-file@none.jpg"};
        QTest::newRow("root-relative from the site's folder") << "<img src=\"/i.png\" width=40 height=20 alt=\"\">"
                                                              << QStringList{};
    }
    void filesAPageNamesAreChecked() {
        QFETCH(QString, page);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QImage image(40, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(dir.filePath(QStringLiteral("i.png"))));
        QVERIFY(test_files::writeBytes(dir.filePath(QStringLiteral("page.html")), page.toUtf8()));
        const QString sheet = QStringLiteral("@import url(gone.css);\n/* url(no.png) */ a { background: url(i.png) }\nb { background: url('no.png') }");
        QVERIFY(test_files::writeBytes(dir.filePath(QStringLiteral("site.css")), sheet.toUtf8()));
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL), {"--format", "json", "--links", "."});
        QVERIFY(tool.waitForFinished(30000));
        QStringList found;
        for (const QJsonValue& p : QJsonDocument::fromJson(tool.readAllStandardOutput()).object()["problems"].toArray())
            if (p["rule"].toString() == u"missing-file" || p["rule"].toString() == u"image-size")
                found << QStringLiteral("%1:%2:%3 %4").arg(p["file"].toString()).arg(p["line"].toInt()).arg(p["column"].toInt()).arg(p["rule"].toString());
        QStringList want{"./site.css:1:13 missing-file", "./site.css:3:22 missing-file"};
        for (const QString& e : expected) {
            const qsizetype at = page.indexOf(e.section(u'@', 1));
            const qsizetype lineStart = page.lastIndexOf(u'\n', at) + 1;
            want << QStringLiteral("./page.html:%1:%2 %3").arg(page.left(at).count(u'\n') + 1).arg(at - lineStart + 1).arg(e.section(u'@', 0, 0));
        }
        found.sort();
        want.sort();
        QCOMPARE(found, want);
    }

    // The small site in tests/data/site holds one of each fault: each is reported once, at its
    // line and column, in every format; the SARIF output is valid against the SARIF 2.1.0 schema.
    void checkingASiteFindsEachFaultOnceInEveryFormat_data() {
        QTest::addColumn<QString>("format");
        for (const char* format : {"text", "json", "sarif", "junit"})
            QTest::newRow(format) << QString::fromLatin1(format);
    }

    void checkingASiteFindsEachFaultOnceInEveryFormat() {
        QFETCH(QString, format);
        const QStringList expected{
            "site/docs/guide.html:2:1 html-lang",       "site/docs/guide.html:9:4 link-text",
            "site/docs/guide.html:10:4 button-text",    "site/docs/guide.html:13:4 link-text", // only comments
            "site/docs/orphan.html:0:0 orphan-page",
            "site/index.html:9:1 heading-order",        "site/index.html:10:4 img-alt",
            "site/index.html:11:50 missing-anchor",     "site/index.html:12:4 missing-file",
            "site/index.html:12:92 missing-anchor",     "site/index.html:14:1 field-label",
            "site/index.html:18:1 duplicate-id",
        };
        QProcess tool;
        tool.setWorkingDirectory(test_files::dataDir());
        // Tidy's own accessibility notes that are no fault of this site are left out.
        tool.start(QStringLiteral(TAGLOOM_CHECK_TOOL),
                   {"--format", format, "--accessibility", "1", "--links", "--orphans", "--ignore",
                    "INFORMATION_NOT_CONVEYED_IMAGE", "--ignore", "INFORMATION_NOT_CONVEYED_INPUT", "--ignore",
                    "IMG_MISSING_LONGDESC_DLINK", "site"});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0); // warnings only
        const QByteArray out = tool.readAllStandardOutput();
        QStringList found;
        const bool withRules = format != u"text" && format != u"junit";
        if (format == u"text" || format == u"junit") {
            // One line per problem, in the text format and in the JUnit report's output.
            const QString text = format == u"text" ? QString::fromUtf8(out) : QString::fromUtf8(out).replace(QStringLiteral("&quot;"), QStringLiteral("\""));
            static const QRegularExpression line(QStringLiteral("(site/[^:<>\\s]+):(\\d+):(\\d+): (error|warning): "));
            for (auto it = line.globalMatch(text); it.hasNext();) {
                const auto m = it.next();
                found << m.captured(1) + u':' + m.captured(2) + u':' + m.captured(3);
            }
            if (format == u"junit") {
                QXmlStreamReader xml(out);
                int cases = 0;
                while (!xml.atEnd())
                    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"testcase")
                        ++cases;
                QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
                QCOMPARE(cases, 5); // each page, and the two with faults found across the site
            }
        } else {
            const QJsonObject root = QJsonDocument::fromJson(out).object();
            if (format == u"json") {
                for (const QJsonValue& p : root["problems"].toArray())
                    found << QStringLiteral("%1:%2:%3 %4").arg(p["file"].toString()).arg(p["line"].toInt()).arg(p["column"].toInt()).arg(p["rule"].toString());
            } else {
                for (const QJsonValue& r : root["runs"][0]["results"].toArray()) {
                    const QJsonObject place = r["locations"][0]["physicalLocation"].toObject();
                    found << QStringLiteral("%1:%2:%3 %4").arg(place["artifactLocation"]["uri"].toString())
                                 .arg(place["region"]["startLine"].toInt()).arg(place["region"]["startColumn"].toInt())
                                 .arg(r["ruleId"].toString());
                }
#ifdef TAGLOOM_SARIF_SCHEMA
                QTemporaryDir dir;
                const QString report = dir.filePath(QStringLiteral("report.sarif"));
                test_files::writeBytes(report, out);
                QProcess validator;
                validator.start(QStringLiteral("/usr/bin/python3"),
                                {"-c", "import json, sys, jsonschema\n"
                                       "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))",
                                 report, QStringLiteral(TAGLOOM_SARIF_SCHEMA)});
                QVERIFY(validator.waitForFinished(60000));
                QVERIFY2(validator.exitCode() == 0, validator.readAllStandardError().right(2000).constData());
#endif
            }
        }
        QStringList want = expected;
        if (!withRules)
            for (QString& w : want)
                w = w.section(u' ', 0, 0);
        // Pages are reported as they are checked, and what the links across the site find after them.
        const auto byPlace = [](QStringList list) {
            std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
                const auto key = [](const QString& s) {
                    const QStringList parts = s.section(u' ', 0, 0).split(u':');
                    return std::tuple(parts.value(0), parts.value(1).toInt(), parts.value(2).toInt());
                };
                return key(a) < key(b);
            });
            return list;
        };
        QCOMPARE(byPlace(found), byPlace(want));
    }

    // Check as You Type marks what a check finds once typing pauses, with the message as the
    // mark's note; the marks move with the text, and go with the option.
    void checkAsYouTypeMarksProblemsInTheText() {
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("page.html"));
        test_files::writeBytes(page, "<!DOCTYPE html>\n<html lang=\"en\"><head><title>t</title></head><body>\n<p>x</p>\n</body></html>\n");
        QSettings().setValue(QStringLiteral("checkTags/accessibility"), true);
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        QVERIFY(window.openPath(page));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.action(QStringLiteral("checkAsYouType"))->trigger();
        EditArea* area = window.editArea();
        area->goToLine(3, 9);
        QTest::keyClicks(area, QStringLiteral("<img src=\"gone.png\">"));
        const auto marks = [area] {
            QStringList notes;
            for (const QTextEdit::ExtraSelection& s : area->extraSelections())
                if (s.format.underlineStyle() == QTextCharFormat::WaveUnderline && !s.format.toolTip().isEmpty())
                    notes << QStringLiteral("%1 %2").arg(s.cursor.selectionStart()).arg(s.format.toolTip());
            return notes;
        };
        QTRY_VERIFY_WITH_TIMEOUT(marks().size() >= 2, 20000);
        const QString notes = marks().join(u'|');
        QVERIFY2(notes.contains(QStringLiteral("alt text")) && notes.contains(QStringLiteral("gone.png")), qPrintable(notes));
        QVERIFY(!window.findChild<QDockWidget*>() || !window.findChild<QDockWidget*>()->isVisible()); // the panel stays shut
        const int before = marks().front().section(u' ', 0, 0).toInt();
        area->setCaretPosition(0);
        QTest::keyClicks(area, QStringLiteral("  "));
        QCOMPARE(marks().front().section(u' ', 0, 0).toInt(), before + 2);
        window.action(QStringLiteral("checkAsYouType"))->trigger();
        QVERIFY(marks().isEmpty());
        QSettings().clear();
    }

    // Ctrl+click on a local link opens its page in a tab, at its anchor.
    void ctrlClickOpensTheLinkedPage_data() {
        QTest::addColumn<QString>("target"); // what b.html is
        QTest::addColumn<QString>("said");
        QTest::newRow("a page") << "page" << "";
        QTest::newRow("a link to a pipe") << "fifo" << "not a regular file";
        QTest::newRow("a link to /dev/zero") << "zero" << "not a regular file";
        QTest::newRow("a folder without an index page") << "folder" << "no such file";
        QTest::newRow("a link in a loop") << "loop" << "leads nowhere";
        QTest::newRow("nothing") << "none" << "no such file";
    }
    void ctrlClickOpensTheLinkedPage() {
        QFETCH(QString, target);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString from = dir.filePath(QStringLiteral("a.html"));
        test_files::writeBytes(from, "<p><a href=\"b.html#part\">B</a></p>\n");
        const QByteArray b = QFile::encodeName(dir.filePath(QStringLiteral("b.html")));
#ifndef Q_OS_UNIX
        if (target == u"fifo" || target == u"zero" || target == u"loop")
            QSKIP("pipes and links are POSIX's");
#else
        if (target == u"fifo")
            QVERIFY(::mkfifo((b + ".pipe").constData(), 0600) == 0 && ::symlink((b + ".pipe").constData(), b.constData()) == 0);
        else if (target == u"zero")
            QVERIFY(::symlink("/dev/zero", b.constData()) == 0);
        else if (target == u"loop")
            QVERIFY(::symlink("b.html", b.constData()) == 0);
#endif
        if (target == u"folder")
            QVERIFY(QDir().mkpath(QFile::decodeName(b)));
        if (target != u"page") {
            ScriptedDialogs dialogs;
            MainWindow window(dialogs);
            QVERIFY(window.openPath(from));
            window.followLink(QStringLiteral("b.html#part"));
            QCOMPARE(window.documents().size(), 1);
            QCOMPARE(dialogs.shown.size(), 1);
            QVERIFY2(dialogs.shown[0].text.contains(said), qPrintable(dialogs.shown[0].text));
            return;
        }
        test_files::writeBytes(dir.filePath(QStringLiteral("b.html")), "<h1>B</h1>\n<p>x</p>\n<h2 id=\"part\">Part</h2>\n");
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        QVERIFY(window.openPath(from));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        EditArea* area = window.editArea();
        area->setCaretPosition(14);
        const QPoint onLink = area->cursorRect().center();
        area->setCaretPosition(0);
        QTest::mouseClick(area->viewport(), Qt::LeftButton, Qt::ControlModifier, onLink);
        QCOMPARE(window.documents().size(), 2);
        QCOMPARE(QFileInfo(window.currentFile()).fileName(), QStringLiteral("b.html"));
        QCOMPARE(window.editArea()->caretPlace().line, 3);
    }

    // How deep elements nest as HTML closes them: what decides whether Tidy may see a page.
    void nestingDepth_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("depth");
        QTest::newRow("closed") << "<div><p><b>x</b></p></div>" << 3;
        QTest::newRow("void elements hold nothing") << "<div><br><img src=x><hr></div>" << 1;
        QTest::newRow("an end tag closes what is open inside") << "<div><span><i></div><div></div>" << 3;
        QTest::newRow("unclosed elements add up") << QStringLiteral("<span>").repeated(500) << 500;
        QTest::newRow("implied ends do not") << QStringLiteral("<ul>") + QStringLiteral("<li>x").repeated(500) << 1;
        QTest::newRow("a stray end tag") << "<b>x</b></i></div>" << 1;
    }
    void nestingDepth() {
        QFETCH(QString, page);
        QFETCH(int, depth);
        QCOMPARE(safe_check::nestingDepth(page), depth);
    }

    // No page takes the caller down: too deep is refused, too slow is stopped, and a check can be
    // ended from outside.
    void pagesBeyondTidyAreRefused_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("limitMs");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("failure");
        const QString slow = kHead + QStringLiteral("<span>").repeated(safe_check::kDeepestNesting);
        QTest::newRow("100,000 unclosed spans") << kHead + QStringLiteral("<span>").repeated(100000) << 60000 << false
                                                 << "100000 deep";
        QTest::newRow("100,000 nested divs") << kHead + QStringLiteral("<div>").repeated(100000) +
                                                    QStringLiteral("</div>").repeated(100000)
                                             << 60000 << false << "100000 deep";
#ifdef TAGLOOM_SANITIZED
        const int deepLimit = 180000; // Tidy takes some 40 s on it under the sanitizers, more on a busy machine
#else
        const int deepLimit = 60000;
#endif
        QTest::newRow("as deep as allowed") << slow << deepLimit << false << "";
        QTest::newRow("too slow") << slow << 50 << false << "longer than";
        QTest::newRow("cancelled") << slow << 60000 << true << "stopped";
    }
    // With a child a check, and (for the rows that end a child) with a child kept for all of a
    // thread's checks, which must check the next page as before whatever happened to the last.
    void pagesBeyondTidyAreRefused() {
        QFETCH(QString, page);
        QFETCH(int, limitMs);
        QFETCH(bool, cancel);
        QFETCH(QString, failure);
        const QString fine = kHead + QStringLiteral("<p><b>x</p>") + kTail;
        const std::vector<TagProblem> fineProblems = checkTags(fine, {});
        QVERIFY(!fineProblems.empty());
        for (const bool keep : {false, true}) {
            // A kept child is there for what ends a child; the pages around show that it checks.
            if (keep && failure.isEmpty())
                continue;
            safe_check::keepCheckersBetweenPages(keep);
            QThreadPool thread;
            thread.setMaxThreadCount(1);
            // A page first, finished before the one to stop starts: a slow machine must not
            // cancel the wrong one.
            (void)QtConcurrent::run(&thread, [&] { return safe_check::check(fine, {}, 60000); }).result();
            QFuture<safe_check::Result> running =
                QtConcurrent::run(&thread, [&] { return safe_check::check(page, {}, limitMs); });
            if (cancel) {
                QTest::qWait(150);
                safe_check::cancelAll();
            }
            const safe_check::Result result = running.result();
            QVERIFY2(failure.isEmpty() ? result.failure.isEmpty() : result.failure.contains(failure),
                     qPrintable(result.failure));
            QCOMPARE(result.problems.empty(), !failure.isEmpty());
            const safe_check::Result next = QtConcurrent::run(&thread, [&] { return safe_check::check(fine, {}, 60000); }).result();
            QVERIFY2(next.failure.isEmpty(), qPrintable(next.failure));
            QCOMPARE(next.problems.size(), fineProblems.size());
        }
        safe_check::keepCheckersBetweenPages(false);
    }

    void panelSelectsTheProblemInTheText() {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        window.editArea()->setText(kHead + QString::fromUtf8("<p>日本 <i>x</p>\r\n<b>y") + kTail);
        window.action(QStringLiteral("checkTags"))->trigger();
        CheckPanel* panel = window.checkPanel();
        QVERIFY(panel);
        QSignalSpy checked(panel, &CheckPanel::checked);
        QVERIFY(checked.wait(10000));
        QTreeWidget* list = panel->list();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("3:7"));
        emit list->itemActivated(list->topLevelItem(2), 0);
        QCOMPARE(window.editArea()->selectedText(), QStringLiteral("<b>"));
        QVERIFY(!panel->isOutOfDate());
        window.editArea()->moveCursor(QTextCursor::End);
        window.editArea()->insertPlainText(QStringLiteral("\n"));
        QVERIFY(panel->isOutOfDate());
        QVERIFY(panel->status()->text().contains(QStringLiteral("Out of date")));
        // Ignoring a kind of message is kept as an option and leaves those messages out.
        QSignalSpy ignored(panel, &CheckPanel::ignoredKeysChanged);
        panel->setIgnoredKeys({QStringLiteral("MISSING_ENDTAG_BEFORE")});
        emit panel->ignoredKeysChanged(panel->ignoredKeys());
        QCOMPARE(QSettings().value(QStringLiteral("checkTags/ignoredMessages")).toStringList(),
                 QStringList({"MISSING_ENDTAG_BEFORE"}));
        window.checkTags();
        QVERIFY(checked.wait(10000));
        QCOMPARE(list->topLevelItemCount(), 1);
        QSettings().clear();
        // A page Tidy cannot take is said to be so; the list is empty and the window goes on.
        window.editArea()->setText(kHead + QStringLiteral("<span>").repeated(100000));
        window.checkTags();
        QVERIFY(checked.wait(10000));
        QCOMPARE(list->topLevelItemCount(), 0);
        QVERIFY2(panel->status()->text().startsWith(QStringLiteral("Not checked: The page nests elements 100000 deep")),
                 qPrintable(panel->status()->text()));
    }

    // An old page's thousands of warnings: the errors can be shown alone, repeats stand in one row
    // with their count, and every column sorts as it reads.
    void thePanelFiltersGroupsAndSorts_data() {
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<int>("occurrences");
        // Tidy's 5,522, and 17 local links to pages that are not beside this copy.
        QTest::newRow("all, grouped") << int(CheckPanel::Shown::All) << true << 5539;
        QTest::newRow("errors, grouped") << int(CheckPanel::Shown::Errors) << true << 22;
        QTest::newRow("warnings, one row each") << int(CheckPanel::Shown::Warnings) << false << 5517;
    }
    void thePanelFiltersGroupsAndSorts() {
        QFETCH(int, shown);
        QFETCH(bool, grouped);
        QFETCH(int, occurrences);
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        QVERIFY(window.openPath(QStringLiteral(TAGLOOM_TEST_DATA_DIR "/d-oldstyle-rasmol.html")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.checkTags();
        CheckPanel* panel = window.checkPanel();
        QSignalSpy checked(panel, &CheckPanel::checked);
        QVERIFY(checked.wait(20000));
        panel->shownChoice()->setCurrentIndex(shown);
        panel->groupChoice()->setChecked(grouped);
        QSet<std::pair<int, QString>> messages;
        for (const TagProblem& p : panel->problems())
            if (shown == int(CheckPanel::Shown::All) || (p.kind == TagProblem::Kind::Error) == (shown == int(CheckPanel::Shown::Errors)))
                messages.insert({int(p.kind), p.message});
        QTreeWidget* list = panel->list();
        int rows = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = list->topLevelItem(i);
            const int count = row->text(2).isEmpty() ? 1 : row->text(2).toInt();
            QCOMPARE(row->childCount(), count > 1 ? count : 0);
            rows += count;
        }
        QCOMPARE(rows, occurrences);
        QCOMPARE(list->topLevelItemCount(), grouped ? int(messages.size()) : occurrences);
        // Errors first at the start; then a click on each header sorts by its column.
        const auto rowsAreSorted = [list](int column) {
            const auto place = [](const QTreeWidgetItem* row) {
                const QStringList parts = row->text(0).split(u':');
                return std::pair(parts.value(0).toInt(), parts.value(1).toInt());
            };
            for (int i = 1; i < list->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* a = list->topLevelItem(i - 1);
                const QTreeWidgetItem* b = list->topLevelItem(i);
                const bool inOrder = column == 0   ? place(a) <= place(b)
                                     : column == 1 ? a->text(1) <= b->text(1) // "Error" before "Warning"
                                     : column == 2 ? a->text(2).toInt() <= b->text(2).toInt()
                                                   : a->text(3).localeAwareCompare(b->text(3)) <= 0;
                if (!inOrder)
                    return false;
            }
            return true;
        };
        QVERIFY(rowsAreSorted(1));
        QHeaderView* header = list->header();
        for (int column = 0; column < 4; ++column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                     header->height() / 2));
            if (header->sortIndicatorOrder() == Qt::DescendingOrder) // the Kind column starts ascending
                QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                                  QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                         header->height() / 2));
            QCOMPARE(header->sortIndicatorSection(), column);
            QVERIFY2(rowsAreSorted(column), qPrintable(header->model()->headerData(column, Qt::Horizontal).toString()));
        }
    }

    // Another page never shows the problems of the one it replaced, even from a check still running.
    void aNewPageClearsThePanel_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("running");
        QTest::newRow("New Blank") << "new" << false;
        QTest::newRow("Open") << "open" << false;
        QTest::newRow("Open while a check runs") << "open" << true;
    }
    void aNewPageClearsThePanel() {
        QFETCH(QString, command);
        QFETCH(bool, running);
        QTemporaryDir dir;
        const QString other = dir.filePath(QStringLiteral("other.html"));
        test_files::writeBytes(other, "<p>other</p>\n");
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        window.editArea()->setText(kHead + (running ? QStringLiteral("<span>").repeated(9000) : QStringLiteral("<p>x</p></span>")) + kTail);
        window.checkTags();
        CheckPanel* panel = window.checkPanel();
        QSignalSpy checked(panel, &CheckPanel::checked);
        if (!running) {
            QVERIFY(checked.wait(10000));
            QVERIFY(panel->list()->topLevelItemCount() > 0);
        }
        dialogs.answer(true);
        if (command == u"new") {
            window.newBlank();
        } else {
            dialogs.answer(other);
            window.openFile();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isChecking(), 30000);
        QCoreApplication::processEvents();
        QCOMPARE(panel->list()->topLevelItemCount(), 0);
        QVERIFY2(panel->status()->text().startsWith(QStringLiteral("Not checked yet")), qPrintable(panel->status()->text()));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, TagCheckTest)
#include "test_tag_check.moc"
