#include "shell/command_line.h"
#include "shell/form1.h"
#include "shell/qt_dialogs.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("tagloom"));
    // The program ends only through the Exit or close confirmation.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    Form1 form(dialogs);
    QApplication::setWindowIcon(form.windowIcon());
    form.Form_Load(command_line::currentArgumentText());
    form.show();
    return QApplication::exec();
}
