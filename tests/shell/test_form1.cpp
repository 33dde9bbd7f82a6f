#include "shell/edit_area.h"
#include "shell/form1.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Kind = ScriptedDialogs::Kind;
using Icon = Dialogs::Icon;

class Form1Test : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString file_;

private slots:
    void initTestCase() {
        file_ = dir_.filePath(QStringLiteral("My Pages/a.htm"));
        QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("My Pages"))));
        QVERIFY(test_files::writeBytes(file_, "x\r\ny\r\n"));
    }

    void startUpArguments_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("currentFile");
        QTest::addColumn<QString>("title");
        QTest::newRow("no argument") << ""
                                     << ""
                                     << ""
                                     << "Tagloom - Untitled*";
        QTest::newRow("quoted path") << "\"" + file_ + "\""
                                     << "x\r\ny" << file_ << "Tagloom - " + file_;
        QTest::newRow("unquoted path") << file_ << "x\r\ny" << file_ << "Tagloom - " + file_;
        // The reader gets the argument minus its first and last characters; the path loses all quotes.
        QTest::newRow("quote plus trailing text") << "\"" + file_ + "\" b"
                                                  << "" << file_ + " b"
                                                  << "Tagloom - " + file_ + " b";
        QTest::newRow("a lone quote") << "\""
                                      << ""
                                      << ""
                                      << "Tagloom - Untitled*";
        const QString missing = dir_.filePath(QStringLiteral("missing.htm"));
        QTest::newRow("missing file") << missing << "" << missing << "Tagloom - " + missing;
    }
    void startUpArguments() {
        QFETCH(QString, argument);
        QFETCH(QString, document);
        QFETCH(QString, currentFile);
        QFETCH(QString, title);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(argument);
        QCOMPARE(form.box()->Text(), document);
        QCOMPARE(form.CurrentFile(), currentFile);
        QCOMPARE(form.windowTitle(), title);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void startUpKeepsLeadingEmptyLines() {
        const QString path = dir_.filePath(QStringLiteral("lead.htm"));
        QVERIFY(test_files::writeBytes(path, "\r\n\r\nA\r\n\r\nB\r\n"));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(path);
        QCOMPARE(form.box()->Text(), QStringLiteral("\r\n\r\nA\r\n\r\nB"));
    }

    void theWindowStartsAtItsDesignSizeWithTheFocusInTheEditArea() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const qreal dpi = form.screen()->logicalDotsPerInch();
        QCOMPARE(form.box()->size(), QSize(qRound(8295 * dpi / 1440), qRound(7215 * dpi / 1440)));
        QCOMPARE(form.centralWidget(), form.box());
        QCOMPARE(QApplication::focusWidget(), form.box());
        QCOMPARE(form.box()->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(form.box()->font().pointSize(), 9);
        form.resize(800, 300);
        QCOMPARE(form.box()->width(), form.width());
        QCOMPARE(form.box()->height(), form.height() - form.menuBar()->height());
        QVERIFY(!form.windowIcon().isNull());
    }

    void aScreenReaderFindsNamesForTheWindowTheEditAreaAndTheMenus() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto name = [](QObject* o) {
            return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
        };
        QCOMPARE(name(&form), QStringLiteral("Tagloom"));
        QCOMPARE(name(form.box()), QStringLiteral("HTML document"));
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form.menuBar());
        QCOMPARE(bar->childCount(), 8);
        QCOMPARE(bar->child(0)->text(QAccessible::Name), QStringLiteral("File"));
        QCOMPARE(bar->child(7)->text(QAccessible::Name), QStringLiteral("About"));
    }

    void newBlankAnsweredYesEmptiesTheDocumentButNotTheTitle() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(file_);
        form.fields().Text3 = QStringLiteral("copy");
        dialogs.answer(true);
        form.newz_Click();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Do you really want to start over?"));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Tagloom"));
        QCOMPARE(dialogs.shown[0].icon, Icon::None);
        QCOMPARE(form.box()->Text(), QString());
        QCOMPARE(form.fields().Text3, QString());
        QCOMPARE(form.CurrentFile(), QString());
        QCOMPARE(form.windowTitle(), "Tagloom - " + file_);
        form.box()->undo(); // starting over can be taken back
        QCOMPARE(form.box()->Text(), QStringLiteral("x\r\ny"));
    }

    void newBlankAnsweredNoChangesNothing() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(file_);
        dialogs.answer(false);
        form.newz_Click();
        QCOMPARE(form.box()->Text(), QStringLiteral("x\r\ny"));
        QCOMPARE(form.CurrentFile(), file_);
    }

    void exitAnsweredYesEndsWithoutTheCloseQuestion() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        form.show();
        dialogs.answer(true);
        form.exitz_Click();
        QCOMPARE(quits, 1);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Are you sure you want to close without saving?"));
        QCOMPARE(dialogs.shown[0].icon, Icon::Question);
        QCOMPARE(dialogs.shown[0].title, QString());
        QVERIFY(form.close());
        QCOMPARE(dialogs.shown.size(), 1); // no "Are you sure you want to close?"
    }

    void exitAnsweredNoKeepsRunning() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        dialogs.answer(false);
        form.exitz_Click();
        QCOMPARE(quits, 0);
    }

    void closeAnsweredNoKeepsTheWindowAndTheDocument() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        form.box()->loadText(QStringLiteral("work"));
        form.show();
        dialogs.answer(false);
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QCOMPARE(form.box()->Text(), QStringLiteral("work"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Are you sure you want to close?"));
        QCOMPARE(dialogs.shown[0].icon, Icon::Question);
        QCOMPARE(quits, 0);
        dialogs.answer(true);
        QVERIFY(form.close());
        QCOMPARE(quits, 1);
    }
};
} // namespace

QObject* newForm1Test() {
    return new Form1Test;
}
#include "test_form1.moc"
