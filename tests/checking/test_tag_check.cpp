#include "app/main_window.h"
#include "checking/check_panel.h"
#include "checking/tag_check.h"
#include "document/document_file.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

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
        row("duplicate attribute", "<div id=a id=b>x</div>",
            {"REPEATED_ATTRIBUTE warning: <div id=a id=b>"});
        row("unknown element", "<p>a <blah>b</blah></p>",
            {"UNKNOWN_ELEMENT error: <blah>", "DISCARDING_UNEXPECTED warning: <blah>",
             "DISCARDING_UNEXPECTED warning: </blah>"});
        row("obsolete element", "<center>x</center>", {"ELEMENT_VERS_MISMATCH_ERROR error: <center>"});
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
    }
};
} // namespace

QObject* newTagCheckTest() {
    return new TagCheckTest;
}
#include "test_tag_check.moc"
