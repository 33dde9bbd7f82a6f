// Opens the pages named in tabs of one window, as at start-up, under a limit on the address
// space, with scripted dialogs; then lets every page go in whole. Prints how many pages hold
// text, then each message shown. A crash or an abort is the test's failure.
//
//   tabs_probe MEGABYTES FILE...   (with TABS_PROBE_OPEN set: Open in Tab for each)
#include "app/main_window.h"
#include "app/open_document.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"

#include <QApplication>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char* argv[]) {
    if (argc < 3)
        return 2;
    const rlim_t bytes = rlim_t(std::strtoull(argv[1], nullptr, 10)) << 20;
    const rlimit limit{bytes, bytes};
    if (::setrlimit(RLIMIT_AS, &limit) != 0)
        return 3;
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    const QStringList files = QCoreApplication::arguments().mid(2);
    // As at start-up, or one Open in a Tab after another while the pages before still load.
    if (qEnvironmentVariableIsSet("TABS_PROBE_OPEN"))
        for (const QString& file : files)
            window.openInTab(file);
    else
        window.openStartupFiles(files);
    int pages = 0;
    for (OpenDocument* document : window.documents()) {
        document->editArea()->finishLoading();
        pages += !document->editArea()->document()->isEmpty();
    }
    std::printf("%d\n", pages);
    for (const ScriptedDialogs::Shown& shown : dialogs.shown)
        std::printf("%s: %s\n", qPrintable(shown.title), qPrintable(shown.text.section(u'\n', 0, 0)));
    return 0;
}
