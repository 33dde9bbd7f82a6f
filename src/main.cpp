#include "app/command_line.h"
#include "app/main_window.h"
#include "base/memory_advice.h"
#include "dialogs/qt_dialogs.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    keepLargeBuffersInHeap();
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
    // Unsaved work that a crash or a close left behind is offered once the window is up.
    QTimer::singleShot(0, &window, [&window] { window.offerRecovery(true); });
    return QApplication::exec();
}
