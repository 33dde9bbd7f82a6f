#include "about/about_window.h"
#include "about/links.h"
#include "app/main_window.h"
#include "support/scripted_dialogs.h"
#include "support/url_catcher.h"
#include "support/test_files.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

namespace {
class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void aboutTwiceLeavesOneWindow() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.showAbout();
        AboutWindow* first = form.aboutWindow();
        QVERIFY(first && first->isVisible());
        form.showAbout();
        QCOMPARE(form.aboutWindow(), first);
        int windows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows += qobject_cast<AboutWindow*>(w) != nullptr;
        QCOMPARE(windows, 1);
    }

    void closeThenAboutGivesAFreshWindow() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.showAbout();
        QPointer<AboutWindow> first = form.aboutWindow();
        first->versionField->setText(QStringLiteral("changed"));
        QTest::mouseClick(first->closeButton, Qt::LeftButton);
        QTRY_VERIFY(first.isNull()); // closed and destroyed
        form.showAbout();
        QCOMPARE(form.aboutWindow()->versionField->text(), QStringLiteral("3.0.0"));
        // The close box destroys it too.
        QPointer<AboutWindow> second = form.aboutWindow();
        second->close();
        QTRY_VERIFY(second.isNull());
    }

    void theWindowIsAFixedToolWindowWithItsDesignContents() {
        AboutWindow about;
        const Qt::WindowFlags flags = about.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        const int side = qRound(4095 * about.screen()->logicalDotsPerInch() / 1440);
        QCOMPARE(about.minimumSize(), QSize(side, side));
        QCOMPARE(about.maximumSize(), QSize(side, side));
        QCOMPARE(about.windowTitle(), QStringLiteral("About Tagloom"));
        QCOMPARE(about.titleLabel->text(), QStringLiteral("Tagloom"));
        QCOMPARE(about.titleLabel->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(about.titleLabel->font().pointSize(), 18);
        QVERIFY(about.titleLabel->font().bold());
        // The heading, in whatever font stands in for its own, ends above the "About" frame's caption.
        const QRect heading = about.titleLabel->contentsRect();
        const int textBottom = QStyle::alignedRect(Qt::LeftToRight, about.titleLabel->alignment(),
                                                   about.titleLabel->fontMetrics().boundingRect(about.titleLabel->text()).size(),
                                                   heading)
                                   .bottom() +
                               about.titleLabel->y();
        QVERIFY2(textBottom < about.aboutBox->y(), qPrintable(QStringLiteral("%1 >= %2 (%3: ascent %4, descent %5, ink %6)")
                                .arg(textBottom)
                                .arg(about.aboutBox->y())
                                .arg(QFontInfo(about.titleLabel->font()).family())
                                .arg(about.titleLabel->fontMetrics().ascent())
                                .arg(about.titleLabel->fontMetrics().descent())
                                .arg(about.titleLabel->fontMetrics().tightBoundingRect(about.titleLabel->text()).height())));
        QCOMPARE(about.versionBox->title(), QStringLiteral("Version"));
        QCOMPARE(about.webpageBox->title(), QStringLiteral("Webpage"));
        QCOMPARE(about.aboutBox->title(), QStringLiteral("About"));
        QCOMPARE(about.closeButton->text(), QStringLiteral("Close"));
        QCOMPARE(about.webpageField->text(), QString::fromUtf8(links::kWebSite));
        QCOMPARE(about.webpageField->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(about.webpageField->font().pointSizeF(), 8.25);
        QVERIFY(about.webpageField->isReadOnly() && about.versionField->isReadOnly() &&
                about.descriptionField->isReadOnly());
        QCOMPARE(about.descriptionField->toPlainText().split(u'\n'),
                 (QStringList{"Tagloom is a HTML Editor that ",
                              "highlights with color the TAGs so it easy to edit ", "and spot any errors.",
                              "As pre-tag so you can learn HTML while you make your page!", ""}));
    }

    void theControlsCarryTheirCaptionsForScreenReaders() {
        AboutWindow about;
        about.show();
        auto name = [](QObject* o) {
            return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
        };
        QCOMPARE(name(&about), QStringLiteral("About Tagloom"));
        QCOMPARE(name(about.closeButton), QStringLiteral("Close"));
        QCOMPARE(name(about.webpageField), QStringLiteral("Webpage"));
        QCOMPARE(name(about.versionField), QStringLiteral("Version"));
        QCOMPARE(name(about.descriptionField), QStringLiteral("About"));
    }

    void theWebPageCommandOpensThePageWhetherAboutIsOpenOrNot() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openWebPage();
        form.showAbout();
        form.openWebPage();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened, (QList<QUrl>{QUrl(QString::fromUtf8(links::kWebPage)),
                                              QUrl(QString::fromUtf8(links::kWebPage))}));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void exitTakesTheAboutWindowWithIt() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.setQuitHandler([] {});
        form.showAbout();
        QPointer<AboutWindow> about = form.aboutWindow();
        dialogs.answer(true);
        form.exitProgram();
        QTRY_VERIFY(about.isNull());
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, AboutTest)
#include "test_about.moc"
