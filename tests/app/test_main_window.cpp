#include "app/main_window.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QAccessible>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>

namespace {
using Kind = ScriptedDialogs::Kind;
using Icon = Dialogs::Icon;

class MainWindowTest : public QObject {
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
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("currentFile");
        QTest::addColumn<QString>("title");
        const QString missing = dir_.filePath(QStringLiteral("missing.htm"));
        auto row = [](const char* name, bool windows, const QString& argument, const QString& document,
                      const QString& currentFile) {
            QTest::newRow(name) << windows << argument << document << currentFile
                                << (currentFile.isEmpty() ? "Tagloom - Untitled*"
                                                          : test_files::titleOf(currentFile));
        };
        for (bool windows : {true, false}) {
            row(windows ? "windows: no argument" : "no argument", windows, "", "", "");
            row(windows ? "windows: unquoted path" : "unquoted path", windows, file_, "x\r\ny", file_);
            row(windows ? "windows: missing file" : "missing file", windows, missing, "", missing);
        }
        // The raw Windows command line keeps its quotes: the reader gets the argument minus its
        // first and last characters, and the path loses every quote.
        row("windows: quoted path", true, "\"" + file_ + "\"", "x\r\ny", file_);
        row("windows: quote plus trailing text", true, "\"" + file_ + "\" b", "", file_ + " b");
        row("windows: a lone quote", true, "\"", "", "");
        // Elsewhere the shell took the quotes away: a quote is part of the name, so Save writes the
        // file that was read.
#ifdef Q_OS_UNIX // where a name may hold a quote
        const QString quoted = dir_.filePath(QStringLiteral("it\"s.htm"));
        QVERIFY(test_files::writeBytes(quoted, "q\n"));
        row("quote inside a name", false, quoted, "q", quoted);
        row("quote at the start of a name", false, "\"" + file_, "", "\"" + file_);
#endif
    }
    void startUpArguments() {
        QFETCH(bool, windows);
        QFETCH(QString, argument);
        QFETCH(QString, document);
        QFETCH(QString, currentFile);
        QFETCH(QString, title);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(argument, windows);
        QCOMPARE(form.editArea()->text(), document);
        QCOMPARE(form.currentFile(), currentFile);
        QCOMPARE(test_files::shownTitle(form), title);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void startUpKeepsLeadingEmptyLines() {
        const QString path = dir_.filePath(QStringLiteral("lead.htm"));
        QVERIFY(test_files::writeBytes(path, "\r\n\r\nA\r\n\r\nB\r\n"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(path);
        QCOMPARE(form.editArea()->text(), QStringLiteral("\r\n\r\nA\r\n\r\nB"));
    }

    // At its design size, or wider when the menu bar needs it: every menu shows, none hides
    // behind the bar's overflow button.
    void theWindowStartsAtItsDesignSizeWithTheFocusInTheEditArea_data() {
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<QString>("style");
        QTest::newRow("the default font") << 0 << QString();
        QTest::newRow("a large font") << 12 << QString();
        // Its menu bar is a pixel taller than the bar's size hint.
        QTest::newRow("the Windows style") << 0 << QStringLiteral("windows");
    }
    void theWindowStartsAtItsDesignSizeWithTheFocusInTheEditArea() {
        QFETCH(int, pointSize);
        QFETCH(QString, style);
        const QFont appFont = QApplication::font();
        const QString appStyle = QApplication::style()->name();
        QFont font = appFont;
        if (pointSize)
            font.setPointSize(pointSize);
        QApplication::setFont(font);
        if (!style.isEmpty())
            QApplication::setStyle(style);
        auto restore = qScopeGuard([&] {
            QApplication::setFont(appFont);
            QApplication::setStyle(appStyle);
        });
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const qreal dpi = form.screen()->logicalDotsPerInch();
        const QSize design(qRound(8295 * dpi / 1440), qRound(7215 * dpi / 1440));
        const QSize start = QSize(std::max(design.width(), form.menuBar()->sizeHint().width()),
                                  design.height() + form.menuBar()->height())
                                .boundedTo(form.screen()->availableSize());
        QCOMPARE(form.size(), start);
        QVERIFY2(form.menuBar()->sizeHint().width() <= start.width(), "the test's screen is too small for its font");
        const QRect bar = form.menuBar()->rect();
        for (QAction* menu : form.menuBar()->actions())
            QVERIFY2(bar.contains(form.menuBar()->actionGeometry(menu)), qPrintable(menu->text()));
        const auto* overflow = form.menuBar()->findChild<QWidget*>(QStringLiteral("qt_menubar_ext_button"));
        QVERIFY(overflow && overflow->isHidden());
        QCOMPARE(form.centralWidget()->size(), form.editArea()->size()); // nothing beside it at first
        QCOMPARE(QApplication::focusWidget(), form.editArea());
        QCOMPARE(form.editArea()->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(form.editArea()->font().pointSize(), 9);
        form.resize(800, 300);
        QCOMPARE(form.editArea()->width(), form.width());
        QCOMPARE(form.editArea()->height(), form.height() - form.menuBar()->height());
        QVERIFY(!form.windowIcon().isNull());
    }

    void aScreenReaderFindsNamesForTheWindowTheEditAreaAndTheMenus() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto name = [](QObject* o) {
            return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
        };
        QCOMPARE(name(&form), QStringLiteral("Tagloom"));
        QCOMPARE(name(form.editArea()), QStringLiteral("HTML document"));
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form.menuBar());
        QCOMPARE(bar->childCount(), int(form.menuBar()->actions().size()));
        QCOMPARE(bar->child(0)->text(QAccessible::Name), QStringLiteral("File"));
        QCOMPARE(bar->child(bar->childCount() - 1)->text(QAccessible::Name), QStringLiteral("About"));
    }

    void newBlankAnsweredYesEmptiesTheDocumentButNotTheTitle() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(file_);
        dialogs.answer(true);
        form.newBlank();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Do you really want to start over?"));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Tagloom"));
        QCOMPARE(dialogs.shown[0].icon, Icon::None);
        QCOMPARE(form.editArea()->text(), QString());
        QCOMPARE(form.currentFile(), QString());
        QCOMPARE(test_files::shownTitle(form), test_files::titleOf(file_));
        form.editArea()->undo(); // starting over can be taken back
        QCOMPARE(form.editArea()->text(), QStringLiteral("x\r\ny"));
    }

    void newBlankAnsweredNoChangesNothing() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(file_);
        dialogs.answer(false);
        form.newBlank();
        QCOMPARE(form.editArea()->text(), QStringLiteral("x\r\ny"));
        QCOMPARE(form.currentFile(), file_);
    }

    void exitAnsweredYesEndsWithoutTheCloseQuestion() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        form.show();
        dialogs.answer(true);
        form.exitProgram();
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
        MainWindow form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        dialogs.answer(false);
        form.exitProgram();
        QCOMPARE(quits, 0);
    }

    void closeAnsweredNoKeepsTheWindowAndTheDocument() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        form.editArea()->loadText(QStringLiteral("work"));
        form.show();
        dialogs.answer(false);
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QCOMPARE(form.editArea()->text(), QStringLiteral("work"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Are you sure you want to close?"));
        QCOMPARE(dialogs.shown[0].icon, Icon::Question);
        QCOMPARE(quits, 0);
        dialogs.answer(true);
        QVERIFY(form.close());
        QCOMPARE(quits, 1);
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, MainWindowTest)
#include "test_main_window.moc"
