#include "about/form2.h"
#include "about/links.h"
#include "shell/form1.h"
#include "support/scripted_dialogs.h"
#include "support/url_catcher.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

namespace {
class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void aboutTwiceLeavesOneWindow() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.abouttgl_Click();
        Form2* first = form.aboutWindow();
        QVERIFY(first && first->isVisible());
        form.abouttgl_Click();
        QCOMPARE(form.aboutWindow(), first);
        int windows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows += qobject_cast<Form2*>(w) != nullptr;
        QCOMPARE(windows, 1);
    }

    void closeThenAboutGivesAFreshWindow() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.abouttgl_Click();
        QPointer<Form2> first = form.aboutWindow();
        first->Text2->setText(QStringLiteral("changed"));
        QTest::mouseClick(first->Command1, Qt::LeftButton);
        QTRY_VERIFY(first.isNull()); // closed and destroyed
        form.abouttgl_Click();
        QCOMPARE(form.aboutWindow()->Text2->text(), QStringLiteral("3.0.0"));
        // The close box destroys it too.
        QPointer<Form2> second = form.aboutWindow();
        second->close();
        QTRY_VERIFY(second.isNull());
    }

    void theWindowIsAFixedToolWindowWithItsDesignContents() {
        Form2 about;
        const Qt::WindowFlags flags = about.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        const int side = qRound(4095 * about.screen()->logicalDotsPerInch() / 1440);
        QCOMPARE(about.minimumSize(), QSize(side, side));
        QCOMPARE(about.maximumSize(), QSize(side, side));
        QCOMPARE(about.windowTitle(), QStringLiteral("About Tagloom"));
        QCOMPARE(about.Label1->text(), QStringLiteral("Tagloom"));
        QCOMPARE(about.Label1->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(about.Label1->font().pointSize(), 18);
        QVERIFY(about.Label1->font().bold());
        QCOMPARE(about.Frame1->title(), QStringLiteral("Version"));
        QCOMPARE(about.Frame2->title(), QStringLiteral("Webpage"));
        QCOMPARE(about.Frame3->title(), QStringLiteral("About"));
        QCOMPARE(about.Command1->text(), QStringLiteral("Close"));
        QCOMPARE(about.Text1->text(), QString::fromUtf8(links::kWebSite));
        QCOMPARE(about.Text1->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(about.Text1->font().pointSizeF(), 8.25);
        QVERIFY(about.Text1->isReadOnly() && about.Text2->isReadOnly() && about.Text3->isReadOnly());
        QCOMPARE(about.Text3->toPlainText().split(u'\n'),
                 (QStringList{"Tagloom is a HTML Editor that ",
                              "highlights with color the TAGs so it easy to edit ", "and spot any errors.",
                              "As pre-tag so you can learn HTML while you make your page!", ""}));
    }

    void theControlsCarryTheirCaptionsForScreenReaders() {
        Form2 about;
        about.show();
        auto name = [](QObject* o) {
            return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
        };
        QCOMPARE(name(&about), QStringLiteral("About Tagloom"));
        QCOMPARE(name(about.Command1), QStringLiteral("Close"));
        QCOMPARE(name(about.Text1), QStringLiteral("Webpage"));
        QCOMPARE(name(about.Text2), QStringLiteral("Version"));
        QCOMPARE(name(about.Text3), QStringLiteral("About"));
    }

    void theWebPageCommandOpensThePageWhetherAboutIsOpenOrNot() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.webpag_Click();
        form.abouttgl_Click();
        form.webpag_Click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened, (QList<QUrl>{QUrl(QString::fromUtf8(links::kWebPage)),
                                              QUrl(QString::fromUtf8(links::kWebPage))}));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void exitTakesTheAboutWindowWithIt() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.setQuitHandler([] {});
        form.abouttgl_Click();
        QPointer<Form2> about = form.aboutWindow();
        dialogs.answer(true);
        form.exitz_Click();
        QTRY_VERIFY(about.isNull());
    }
};
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    AboutTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_about.moc"
