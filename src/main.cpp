#include "app/command_line.h"
#include "app/main_window.h"
#include "dialogs/qt_dialogs.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("tagloom"));
    // The program ends only through the Exit or close confirmation.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    MainWindow window(dialogs);
    QApplication::setWindowIcon(window.windowIcon());
    window.openStartupArgument(command_line::currentArgumentText());
    window.show();
    return QApplication::exec();
}
