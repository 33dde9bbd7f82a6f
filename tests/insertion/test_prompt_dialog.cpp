#include "app/main_window.h"
#include "dialogs/qt_dialogs.h"
#include "editor/edit_area.h"
#include "support/test_files.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {
struct SeenPrompt {
    QString title, label, text, selected;
};

struct UserAnswer {
    QString typed;
    Qt::Key finish;
};

// Answers the coming modal prompts one after the other, as a user would once each is up.
void answerPrompts(QList<SeenPrompt>* seen, QList<UserAnswer> answers) {
    if (answers.isEmpty())
        return;
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerPrompts(seen, answers);
            return;
        }
        auto* edit = dialog->findChild<QLineEdit*>();
        seen->append({dialog->windowTitle(), dialog->findChild<QLabel*>()->text(), edit->text(),
                      edit->selectedText()});
        const UserAnswer a = answers.first();
        if (!a.typed.isEmpty())
            QTest::keyClicks(edit, a.typed);
        answerPrompts(seen, answers.mid(1));
        QTest::keyClick(edit, a.finish);
    });
}

class PromptDialogTest : public QObject {
    Q_OBJECT
private slots:
    void typingAndEnterInsertsTheAnswer() {
        QtDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QList<SeenPrompt> seen;
        answerPrompts(&seen, {{QStringLiteral("pic.png"), Qt::Key_Return}});
        form.action("addimagez")->trigger();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].title, QStringLiteral("Add Image"));
        QCOMPARE(seen[0].label, QStringLiteral("Insert image name or link"));
        QCOMPARE(seen[0].text, QStringLiteral("image.jpg"));
        QCOMPARE(seen[0].selected, QStringLiteral("image.jpg")); // typing replaces the default
        QCOMPARE(form.editArea()->text(), QStringLiteral("<img src=\"pic.png\">"));
    }

    void escapeGivesAnEmptyAnswerAndTheCommandGoesOn() {
        QtDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QList<SeenPrompt> seen;
        answerPrompts(&seen, {{QString(), Qt::Key_Escape}, {QString(), Qt::Key_Enter}});
        form.action("addlinkz")->trigger();
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[1].label, QStringLiteral("Insert the text to link"));
        QCOMPARE(form.editArea()->text(), QStringLiteral("<a href=\"\">Click here to</a>"));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, PromptDialogTest)
#include "test_prompt_dialog.moc"
