#include "about_window.h"

#include "about/links.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {
// The window is designed in twips (1440 to the inch); this scales it to the screen.
struct Twips {
    qreal dpi;
    int operator()(int twips) const { return qRound(twips * dpi / 1440.0); }
    QRect rect(int left, int top, int width, int height) const {
        return {(*this)(left), (*this)(top), (*this)(width), (*this)(height)};
    }
};

const QString kDescription = QStringLiteral("Tagloom is a HTML Editor that \r\n"
                                            "highlights with color the TAGs so it easy to edit \r\n"
                                            "and spot any errors.\r\n"
                                            "As pre-tag so you can learn HTML while you make your page!\r\n");
} // namespace

AboutWindow::AboutWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("aboutWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Tagloom"));
    setAccessibleName(windowTitle());
    const Twips tw{screen() ? screen()->logicalDotsPerInch() : 96.0};
    setFixedSize(tw(4095), tw(4095));
    // The window is laid out for a small dialog font; the platform substitutes a near one.
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    titleLabel = new QLabel(QStringLiteral("Tagloom"), this);
    titleLabel->setFont(QFont(QStringLiteral("Tahoma"), 18, QFont::Bold));
    titleLabel->setGeometry(tw.rect(120, 0, 3975, 735));
    // Drawn from the top of its box, as the design has it: centred, the big heading would run
    // into the "About" frame that starts two thirds of the way down the box.
    titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setGeometry(tw.rect(1320, 3600, 1455, 375));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    versionBox = new QGroupBox(QStringLiteral("Version"), this);
    versionBox->setGeometry(tw.rect(120, 2160, 3855, 615));
    versionField = new QLineEdit(QStringLiteral("3.0.0"), versionBox);
    versionField->setGeometry(tw.rect(120, 240, 3615, 285));

    webpageBox = new QGroupBox(QStringLiteral("Webpage"), this);
    webpageBox->setGeometry(tw.rect(120, 2880, 3855, 615));
    webpageField = new QLineEdit(QString::fromUtf8(links::kWebSite), webpageBox);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSizeF(8.25);
    webpageField->setFont(verdana);
    webpageField->setGeometry(tw.rect(120, 240, 3615, 285));

    aboutBox = new QGroupBox(QStringLiteral("About"), this);
    aboutBox->setGeometry(tw.rect(120, 480, 3855, 1575));
    descriptionField = new QPlainTextEdit(aboutBox);
    descriptionField->setPlainText(kDescription);
    descriptionField->setGeometry(tw.rect(120, 240, 3615, 1215));

    const QList<QWidget*> order{titleLabel, closeButton,  versionBox, versionField,
                                webpageBox, webpageField, aboutBox,   descriptionField};
    for (QLineEdit* field : {webpageField, versionField})
        field->setReadOnly(true);
    descriptionField->setReadOnly(true);
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (const auto& [widget, name] : {std::pair<QWidget*, const char*>{titleLabel, "titleLabel"},
                                       {closeButton, "closeButton"},
                                       {versionBox, "versionBox"},
                                       {versionField, "versionField"},
                                       {webpageBox, "webpageBox"},
                                       {webpageField, "webpageField"},
                                       {aboutBox, "aboutBox"},
                                       {descriptionField, "descriptionField"}})
        widget->setObjectName(QString::fromLatin1(name));
    titleLabel->setAccessibleName(titleLabel->text());
    closeButton->setAccessibleName(closeButton->text());
    webpageField->setAccessibleName(webpageBox->title());
    versionField->setAccessibleName(versionBox->title());
    descriptionField->setAccessibleName(aboutBox->title());

    QRect frame(QPoint(), size());
    if (screen())
        frame.moveCenter(screen()->availableGeometry().center());
    move(frame.topLeft());
}
