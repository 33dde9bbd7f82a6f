#include "shell/edit_area.h"
#include "shell/form1.h"
#include "shell/qt_dialogs.h"

#include <QMessageBox>
#include <QPushButton>
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
    void theRealNewBlankQuestionAnsweredNoKeepsTheDocument() {
        QtDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        form.box()->setText(QStringLiteral("keep"));
        SeenBox seen;
        answerBox(&seen, QMessageBox::No);
        form.newz_Click();
        QCOMPARE(seen.title, QStringLiteral("Tagloom"));
        QCOMPARE(seen.text, QStringLiteral("Do you really want to start over?"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, int(QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(form.box()->Text(), QStringLiteral("keep"));
    }

    void theRealExitQuestionShowsTheProgramTitleAndAQuestionMark() {
        QtDialogs dialogs;
        Form1 form(dialogs);
        int quits = 0;
        form.setQuitHandler([&] { ++quits; });
        form.show();
        SeenBox seen;
        answerBox(&seen, QMessageBox::Yes);
        form.exitz_Click();
        QCOMPARE(seen.title, QStringLiteral("Tagloom")); // no title of its own
        QCOMPARE(seen.text, QStringLiteral("Are you sure you want to close without saving?"));
        QCOMPARE(seen.icon, QMessageBox::Question);
        QCOMPARE(quits, 1);
    }
};
} // namespace

QObject* newQtDialogsTest() { return new QtDialogsTest; }
#include "test_qt_dialogs.moc"
