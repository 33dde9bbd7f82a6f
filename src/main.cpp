#include "app/command_line.h"
#include "app/main_window.h"
#include "base/memory_advice.h"
#include "dialogs/qt_dialogs.h"
#include "document/document_file.h"

#include <QApplication>
#include <QSettings>
#include <QElapsedTimer>
#include <functional>
#include <new>
#include <QTimer>
#include <QWindow>


namespace {
/// An allocation that fails in the middle of an event ends that event's work, not the program:
/// the pages stay open, and the user is told once.
class Application : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            if (!telling_) {
                telling_ = true;
                QTimer::singleShot(0, this, [this] {
                    if (tell)
                        tell();
                    telling_ = false;
                });
            }
            return false;
        }
    }

    std::function<void()> tell;

private:
    bool telling_ = false;
};
} // namespace

int main(int argc, char* argv[]) {
    document_file::reportFileSizeLimitAsError();
    keepLargeBuffersInHeap();
#ifdef Q_OS_WIN
    // Options are kept in a file on every system (under %APPDATA%), never in the registry: one
    // place to see, copy or delete, written only when an option changes.
    QSettings::setDefaultFormat(QSettings::IniFormat);
#endif
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("tagloom"));
    // The program ends only through the Exit or close confirmation.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    MainWindow window(dialogs);
    app.tell = [&] {
        dialogs.showMessage(&window,
                            QStringLiteral("Out of memory: Tagloom could not finish what it was doing. Your pages "
                                           "are still open: save them, and close some pages to free memory."),
                            Dialogs::Icon::Exclamation, QStringLiteral("Error 7"));
    };
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
