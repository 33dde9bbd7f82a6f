#include "app/command_line.h"
#include "app/main_window.h"
#include "base/memory_advice.h"
#include "dialogs/qt_dialogs.h"
#include "document/document_file.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>


int main(int argc, char* argv[]) {
    document_file::reportFileSizeLimitAsError();
    keepLargeBuffersInHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("tagloom"));
    // The program ends only through the Exit or close confirmation.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    MainWindow window(dialogs);
    window.rememberWindowPlace();
    const QStringList files = command_line::separateFiles(QCoreApplication::arguments().mid(1));
    // The title names the file from the first frame on.
    if (files.isEmpty())
        window.announceStartupArgument(command_line::currentArgumentText());
    else
        window.announceStartupArgument(files.constFirst(), false);
    QApplication::setWindowIcon(window.windowIcon());
    // The window comes up at once, and the file named goes in after its first paint: a big page
    // takes a moment to read. Keys pressed meanwhile wait and go into the page once it is in.
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (window.windowHandle() && !window.windowHandle()->isExposed() && waited.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 20);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const bool nothingNamed = files.isEmpty() && command_line::currentArgumentText().isEmpty();
    if (!nothingNamed || !window.reopenLastSession()) {
        if (!files.isEmpty())
            window.openStartupFiles(files);
        else
            window.openStartupArgument(command_line::currentArgumentText());
    }
    // Unsaved work that a crash or a close left behind is offered once the window is up.
    QTimer::singleShot(0, &window, [&window] { window.offerRecovery(true); });
    return QApplication::exec();
}
