#include "form2.h"

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

Form2::Form2(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Tagloom"));
    setAccessibleName(windowTitle());
    const Twips tw{screen() ? screen()->logicalDotsPerInch() : 96.0};
    setFixedSize(tw(4095), tw(4095));
    // The window is laid out for a small dialog font; the platform substitutes a near one.
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    Label1 = new QLabel(QStringLiteral("Tagloom"), this);
    Label1->setFont(QFont(QStringLiteral("Tahoma"), 18, QFont::Bold));
    Label1->setGeometry(tw.rect(120, 0, 3975, 735));

    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setGeometry(tw.rect(1320, 3600, 1455, 375));
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    Frame1 = new QGroupBox(QStringLiteral("Version"), this);
    Frame1->setGeometry(tw.rect(120, 2160, 3855, 615));
    Text2 = new QLineEdit(QStringLiteral("3.0.0"), Frame1);
    Text2->setGeometry(tw.rect(120, 240, 3615, 285));

    Frame2 = new QGroupBox(QStringLiteral("Webpage"), this);
    Frame2->setGeometry(tw.rect(120, 2880, 3855, 615));
    Text1 = new QLineEdit(QString::fromUtf8(links::kWebSite), Frame2);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSizeF(8.25);
    Text1->setFont(verdana);
    Text1->setGeometry(tw.rect(120, 240, 3615, 285));

    Frame3 = new QGroupBox(QStringLiteral("About"), this);
    Frame3->setGeometry(tw.rect(120, 480, 3855, 1575));
    Text3 = new QPlainTextEdit(Frame3);
    Text3->setPlainText(kDescription);
    Text3->setGeometry(tw.rect(120, 240, 3615, 1215));

    const QList<QWidget*> order{Label1, Command1, Frame1, Text2, Frame2, Text1, Frame3, Text3};
    for (QLineEdit* field : {Text1, Text2})
        field->setReadOnly(true);
    Text3->setReadOnly(true);
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (const auto& [widget, name] : {std::pair<QWidget*, const char*>{Label1, "Label1"},
                                       {Command1, "Command1"},
                                       {Frame1, "Frame1"},
                                       {Text2, "Text2"},
                                       {Frame2, "Frame2"},
                                       {Text1, "Text1"},
                                       {Frame3, "Frame3"},
                                       {Text3, "Text3"}})
        widget->setObjectName(QString::fromLatin1(name));
    Label1->setAccessibleName(Label1->text());
    Command1->setAccessibleName(Command1->text());
    Text1->setAccessibleName(Frame2->title());
    Text2->setAccessibleName(Frame1->title());
    Text3->setAccessibleName(Frame3->title());

    QRect frame(QPoint(), size());
    if (screen())
        frame.moveCenter(screen()->availableGeometry().center());
    move(frame.topLeft());
}

void Form2::Command1_Click() {
    close();
}
