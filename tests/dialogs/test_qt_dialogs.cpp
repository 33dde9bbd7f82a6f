#include "app/main_window.h"
#include "dialogs/qt_dialogs.h"
#include "editor/edit_area.h"
#include "support/test_files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QStandardPaths>
#include <QPushButton>
#include <QApplication>
#include <QTest>
#include <QTimer>

namespace {
struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
};

// Answers the next real message box with the given button, once it is up.
void answerBox(SeenBox* seen, QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerBox(seen, button);
            return;
        }
        *seen = {box->windowTitle(), box->text(), box->icon(), int(box->standardButtons())};
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    });
}

class QtDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void theRealNewBlankQuestionAnsweredNoKeepsTheDocument() {
        QtDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        form.editArea()->setText(QStringLiteral("keep"));
        SeenBox seen;
        answerBox(&seen, QMessageBox::No);
        form.newBlank();
        QCOMPARE(seen.title, QStringLiteral("Tagloom"));
        QCOMPARE(seen.text, QStringLiteral("Do you really want to start over?"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, int(QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(form.editArea()->text(), QStringLiteral("keep"));
    }

    void theRealExitQuestionShowsTheProgramTitleAndAQuestionMark() {
        QtDialogs dialogs;
        MainWindow form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        form.show();
        SeenBox seen;
        answerBox(&seen, QMessageBox::Yes);
        form.exitProgram();
        QCOMPARE(seen.title, QStringLiteral("Tagloom")); // no title of its own
        QCOMPARE(seen.text, QStringLiteral("Are you sure you want to close without saving?"));
        QCOMPARE(seen.icon, QMessageBox::Question);
        QCOMPARE(quits, 1);
    }

    // The real Save As dialog adds .html only to a name without a suffix, and only while the HTML
    // filter is chosen; the program's own filter takes every name as typed.
    void theRealSaveAsDialogAddsTheSuffixOfTheHtmlFilter_data() {
        QTest::addColumn<bool>("webPages");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("HTML pages, no suffix") << true << 0 << "page" << "page.html";
        QTest::newRow("HTML pages, a suffix") << true << 0 << "page.htm" << "page.htm";
        QTest::newRow("All files") << true << 1 << "page" << "page";
        QTest::newRow("the program's own filter") << false << 0 << "page" << "page";
    }
    void theRealSaveAsDialogAddsTheSuffixOfTheHtmlFilter() {
#ifdef Q_OS_WIN
        QSKIP("Windows' own file dialog is shown there, which a test cannot fill in");
#endif
        QFETCH(bool, webPages);
        QFETCH(int, filter);
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        const FileDialogSetup setup =
            webPages ? FileDialogSetup{"Save Your File", dir.path(), {"HTML pages (*.html *.htm *.xhtml)", "All files (*)"},
                                       true, "html"}
                     : FileDialogSetup{"Save Your File", dir.path(), {"File Type (*.*) (*.* *)"}, false};
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; i < types->count(); ++i)
                offered << types->itemText(i);
            types->setCurrentIndex(filter);
            emit types->activated(filter); // as a click on the list does
            emit types->textActivated(types->itemText(filter));
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
            QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
        });
        QtDialogs dialogs;
        QCOMPARE(dialogs.saveFileName(nullptr, setup), dir.filePath(chosen));
        const QStringList expected = webPages ? QStringList{"HTML pages (*.html *.htm *.xhtml)", "All files (*)"}
                                              : QStringList{"File Type (*.*)"};
        QCOMPARE(offered, expected);
    }

    void theRealFormShowsEachFieldByItsKindAndGivesTheAnswers() {
        QtDialogs dialogs;
        QList<FormField> fields{{QStringLiteral("Title:"), QStringLiteral("old")},
                                {QStringLiteral("Rows:"), 3},
                                {QStringLiteral("Header:"), false},
                                {QStringLiteral("Encoding:"), QStringLiteral("UTF-8"),
                                 {QStringLiteral("UTF-8"), QStringLiteral("windows-1252")}}};
        QTimer::singleShot(0, [] {
            QWidget* form = QApplication::activeModalWidget();
            QVERIFY(form);
            form->findChild<QLineEdit*>()->setText(QStringLiteral("new"));
            form->findChild<QSpinBox*>()->setValue(5);
            form->findChild<QCheckBox*>()->setChecked(true);
            auto* list = form->findChild<QComboBox*>();
            QCOMPARE(list->currentText(), QStringLiteral("UTF-8")); // the value is the one shown
            list->setCurrentIndex(1);
            QTest::keyClick(form, Qt::Key_Return);
        });
        QVERIFY(dialogs.fillForm(nullptr, QStringLiteral("Form"), fields));
        QCOMPARE(fields[0].value, QVariant(QStringLiteral("new")));
        QCOMPARE(fields[1].value, QVariant(5));
        QCOMPARE(fields[2].value, QVariant(true));
        QCOMPARE(fields[3].value, QVariant(QStringLiteral("windows-1252")));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, QtDialogsTest)
#include "test_qt_dialogs.moc"
