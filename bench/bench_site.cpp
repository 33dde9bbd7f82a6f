// Benchmarks of several documents and of Find in Files. Not a test: it prints figures, it judges
// nothing.
//
//   bench_site tabs                  switching between two 5.9 MB pages
//   bench_site memory                memory of ten 870 KB pages (BENCH_EMPTY_TABS=1: of ten empty
//                                    tabs instead)
//   bench_site files [FILES] [DIR]   Find in Files over FILES pages (2,000) made in DIR from the
//                                    corpus, against grep -r on the same tree, warm cache
//   bench_site index [FILES] [DIR]   the site index (the classes and ids of every page) of the same
//                                    tree, against grep -r reading it, warm cache
//   bench_site replace [FILES] [DIR] Replace All in Files over FILES small pages (100,000), one
//                                    match each: its time and the window's longest wait
//   bench_site check-parts           what checking each test page costs, part by part, against
//                                    one `tidy -q -e` process on the same file
//   bench_site preview               the live preview of the 870 KB page: key to preview updated,
//                                    the key itself, memory (needs an X display: QT_QPA_PLATFORM=xcb)
//
// The pages come from $TAGLOOM_CORPUS (by default ../shared/corpus beside the source tree).
#include "bench_timing.h"

#include "app/main_window.h"
#include "app/live_preview_host.h"
#include "app/open_document.h"
#include "preview/live_preview.h"
#include "base/memory_advice.h"
#include "checking/page_rules.h"
#include "checking/safe_check.h"
#include "checking/tag_check.h"
#include "document/document_file.h"
#include "editor/edit_area.h"
#include "editor/layout_release.h"
#include "site/find_in_files_panel.h"
#include "site/site_index.h"
#include "support/scripted_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {
QString corpus(const char* page) {
    const QString set = qEnvironmentVariable("TAGLOOM_CORPUS");
    const QString dir = set.isEmpty() ? QStringLiteral(TAGLOOM_SOURCE_DIR "/../shared/corpus") : set;
    const QString path = dir + u'/' + QString::fromLatin1(page);
    if (!QFile::exists(path)) {
        std::fprintf(stderr, "bench_site: %s not found; set TAGLOOM_CORPUS\n", qPrintable(path));
        std::exit(2);
    }
    return path;
}

// What the process holds now, not its peak.
double residentMebibytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What the program's allocations hold (without the heap's free holes).
double heapInUseMebibytes() {
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
#else
    return 0;
#endif
}

/// @p idleMs: how long the window then stays idle, so that what is freed after a pause (the
/// layouts laid out for a new tab's first resize go once resizing stops) is gone.
void settle(MainWindow& window, int idleMs = 0) {
    QTRY_VERIFY_WITH_TIMEOUT(!window.editArea()->isLoading(), 60000);
    QTest::qWait(idleMs);
    QCoreApplication::processEvents();
    returnFreedMemory();
}

int tabs() {
    QTemporaryDir dir;
    const QString big = corpus("c-5.9m-nodejs-api-all.html");
    const QString first = dir.filePath(QStringLiteral("c1.html")), second = dir.filePath(QStringLiteral("c2.html"));
    QFile::copy(big, first);
    QFile::copy(big, second);
    {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, nullptr, dir.filePath(QStringLiteral("recovery")));
        window.openStartupFiles({first, second});
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fputs("warning: the window was not exposed\n", stderr);
        for (int i = 0; i < 2; ++i) {
            window.nextTab();
            settle(window);
        }
        auto* tabs = window.findChild<QTabWidget*>();
        const double switchMs = medianMs(21, [&] {
            window.nextTab();
            tabs->currentWidget()->repaint();
        });
        std::printf("switching between two 5.9 MB pages until repainted: %.2f ms (median of 21)\n", switchMs);
    }
    return 0;
}

// Its own process, so that what the switching left on the heap does not make the first page look cheap.
int memory() {
    QTemporaryDir dir;
    // The empty window, one 870 KB page, ten of them (each its own file).
    ScriptedDialogs dialogs;
    MainWindow window(dialogs, nullptr, dir.filePath(QStringLiteral("recovery")));
    window.openStartupArgument(QString());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fputs("warning: the window was not exposed\n", stderr);
    const int idleMs = 2 * LayoutRelease::kReleaseAfterResizeMs;
    settle(window, idleMs);
    const double empty = residentMebibytes();
    if (qEnvironmentVariableIsSet("BENCH_EMPTY_TABS")) {
        for (int i = 0; i < 10; ++i) {
            window.newTab();
            settle(window);
        }
        std::printf("ten empty tabs: +%.2f MiB\n", residentMebibytes() - empty);
        return 0;
    }
    const double emptyHeap = heapInUseMebibytes();
    std::vector<double> after, afterHeap;
    for (int i = 0; i < 10; ++i) {
        const QString copy = dir.filePath(QStringLiteral("b%1.html").arg(i));
        QFile::copy(corpus("b-870k-bashref.html"), copy);
        window.openInTab(copy);
        window.editArea()->viewport()->repaint();
        settle(window, idleMs);
        after.push_back(residentMebibytes());
        afterHeap.push_back(heapInUseMebibytes());
    }
    const auto report = [](const char* what, double base, const std::vector<double>& values) {
        QString steps;
        for (const double mib : values)
            steps += QStringLiteral(" %1").arg(mib - base, 0, 'f', 1);
        const double one = values.front() - base, ten = values.back() - base;
        std::printf("%s above the empty window after each page:%s MiB\n", what, qPrintable(steps));
        std::printf("%s: empty window %.1f MiB; one 870 KB page +%.1f MiB; ten +%.1f MiB (%.1f x one)\n", what,
                    base, one, ten, ten / one);
    };
    report("resident memory", empty, after);
    report("heap in use", emptyHeap, afterHeap);
    return 0;
}

// A tree of about 1 GB: the corpus pages one after another, the 5.9 MB page every 20th file.
QString makeTree(const QString& root, int files) {
    const QString tree = root + QStringLiteral("/bench-site-tree-%1").arg(files);
    if (QFile::exists(tree + QStringLiteral("/done")))
        return tree;
    const char* cycle[] = {"b-870k-bashref.html", "d-oldstyle-rasmol.html", "e-utf8-ja-debian-reference-ch06.html",
                           "a-100k-python-tutorial-classes.html", "f-latin1-libxml2-tutorial-index.html"};
    QDir().mkpath(tree);
    for (int i = 0; i < files; ++i) {
        const QString folder = tree + QStringLiteral("/part%1").arg(i / 100);
        QDir().mkpath(folder);
        const char* page = i % 20 == 19 ? "c-5.9m-nodejs-api-all.html" : cycle[i % 5];
        QFile::copy(corpus(page), folder + QStringLiteral("/page%1.html").arg(i));
    }
    QFile done(tree + QStringLiteral("/done"));
    done.open(QIODevice::WriteOnly);
    return tree;
}

qint64 treeBytes(const QString& tree) {
    qint64 bytes = 0;
    for (const folder_walk::File& file : file_search::listFiles(tree, {QStringLiteral("*.html")}).files)
        bytes += QFileInfo(file.path).size();
    return bytes;
}

// How late a 10 ms timer fires while @p work runs until @p done: the window's answer to a key.
double longestWait(const std::function<void()>& work, const std::function<bool()>& done) {
    QElapsedTimer beat;
    double gap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        gap = std::max(gap, double(beat.nsecsElapsed()) / 1e6 - 10.0);
        beat.restart();
    });
    beat.start();
    ticker.start();
    work();
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return gap;
}

int replace(int count, const QString& root) {
    const QString tree = root + QStringLiteral("/bench-replace-%1").arg(count);
    ScriptedDialogs dialogs;
    FindInFilesPanel panel(dialogs);
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel))
        std::fputs("warning: the window was not exposed\n", stderr);
    std::vector<double> times, waits;
    for (int run = 0; run < 3; ++run) {
        QDir(tree).removeRecursively();
        for (int i = 0; i < count; ++i) {
            const QString folder = tree + QStringLiteral("/part%1").arg(i / 1000);
            if (i % 1000 == 0)
                QDir().mkpath(folder);
            QFile page(folder + QStringLiteral("/page%1.html").arg(i));
            page.open(QIODevice::WriteOnly);
            page.write("<!DOCTYPE html>\n<p>Replace the needle here.</p>\n");
        }
        panel.setFolder(tree);
        QSignalSpy ended(&panel, &FindInFilesPanel::searchEnded);
        panel.focusFind(QStringLiteral("needle"));
        panel.find();
        ended.wait(600000);
        panel.setReplacement(QStringLiteral("pin"));
        dialogs.answer(true);
        QSignalSpy replaced(&panel, &FindInFilesPanel::replaceEnded);
        QElapsedTimer t;
        t.start();
        waits.push_back(longestWait([&] { panel.replaceAll(); }, [&] { return !replaced.isEmpty(); }));
        times.push_back(double(t.nsecsElapsed()) / 1e9);
        std::printf("  run %d: %.2f s, longest wait %.1f ms; %s\n", run, times.back(), waits.back(),
                    qPrintable(panel.status()->text()));
    }
    QDir(tree).removeRecursively();
    std::printf("Replace All in %d files: %.2f s (%.0f files/s); the window's longest wait %.1f ms (medians of 3)\n",
                count, median(times), count / median(times), median(waits));
    return 0;
}

int files(int count, const QString& root) {
    const QString tree = makeTree(root, count);
    const double mebibytes = double(treeBytes(tree)) / (1024.0 * 1024.0);
    // A warm cache for both: every file read once before anything is timed.
    QProcess warm;
    warm.start(QStringLiteral("grep"), {QStringLiteral("-r"), QStringLiteral("-c"), QStringLiteral("zzzzzz"), tree});
    warm.waitForFinished(-1);
    std::printf("tree: %d pages, %.0f MiB, in %s\n", count, mebibytes, qPrintable(tree));
    ScriptedDialogs dialogs;
    FindInFilesPanel panel(dialogs);
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel))
        std::fputs("warning: the window was not exposed\n", stderr);
    panel.setFolder(tree);
    for (const QString& pattern : {QStringLiteral("function"), QStringLiteral("Tagloom-never-there")}) {
        std::vector<double> ours, grep, worstGap;
        for (int run = 0; run < 3; ++run) {
            QSignalSpy ended(&panel, &FindInFilesPanel::searchEnded);
            QElapsedTimer t;
            t.start();
            const double gap = longestWait(
                [&] {
                    panel.focusFind(pattern);
                    panel.find();
                },
                [&] { return !ended.isEmpty(); });
            ours.push_back(double(t.nsecsElapsed()) / 1e9);
            worstGap.push_back(gap);
            if (qEnvironmentVariableIsSet("BENCH_GAPS")) // each run's own figures
                std::printf("  run %d: %.2f s, longest wait %.1f ms\n", run, ours.back(), gap);
            QProcess process;
            t.restart();
            process.start(QStringLiteral("grep"), {QStringLiteral("-r"), QStringLiteral("-n"), pattern, tree});
            process.waitForFinished(-1);
            process.readAllStandardOutput();
            grep.push_back(double(t.nsecsElapsed()) / 1e9);
        }
        std::printf("\"%s\": Find in Files %.2f s (%.0f MiB/s), grep -rn %.2f s (%.0f MiB/s), ratio %.2f; "
                    "the window's longest wait %.1f ms; %s\n",
                    qPrintable(pattern), median(ours), mebibytes / median(ours), median(grep),
                    mebibytes / median(grep), median(ours) / median(grep), median(worstGap),
                    qPrintable(panel.status()->text()));
    }
    return 0;
}
int index(int count, const QString& root) {
    const QString tree = makeTree(root, count);
    QProcess warm;
    warm.start(QStringLiteral("grep"), {QStringLiteral("-r"), QStringLiteral("-c"), QStringLiteral("zzzzzz"), tree});
    warm.waitForFinished(-1);
    qsizetype names = 0;
    const double ours = medianMs(3, [&] {
        const QHash<QString, SiteIndex::PageNames> pages = SiteIndex::read(tree);
        names = 0;
        for (const SiteIndex::PageNames& page : pages)
            names += qsizetype(page.classes.size() + page.ids.size());
    });
    const double grep = medianMs(3, [&] {
        QProcess process;
        process.start(QStringLiteral("grep"), {QStringLiteral("-r"), QStringLiteral("-c"), QStringLiteral("class="), tree});
        process.waitForFinished(-1);
        process.readAllStandardOutput();
    });
    std::printf("site index of %d pages (%.0f MiB): %.0f ms, %lld names; grep -rc %.0f ms; ratio %.2f (medians of 3)\n",
                count, double(treeBytes(tree)) / (1024.0 * 1024.0), ours, (long long)names, grep, ours / grep);
    return 0;
}

// Resident memory of the web engine's own processes (children of this one), in MiB.
double engineProcessesMebibytes() {
    double total = 0;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().split(' ');
        if (fields.value(3) != self.toLatin1())
            continue;
        QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
        if (statm.open(QIODevice::ReadOnly))
            total += statm.readAll().split(' ').value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
    }
    return total;
}

int preview() {
    if (QGuiApplication::platformName() == u"offscreen") {
        std::fputs("bench_site preview: needs an X display (QT_QPA_PLATFORM=xcb DISPLAY=...)\n", stderr);
        return 2;
    }
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("b.html"));
    QFile::copy(corpus("b-870k-bashref.html"), page);
    ScriptedDialogs dialogs;
    MainWindow window(dialogs, nullptr, dir.filePath(QStringLiteral("recovery")));
    window.resize(1200, 800);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    window.openInTab(page);
    QTest::qWait(1500);
    const double before = residentMebibytes();
    int shown = 0;
    QElapsedTimer first;
    first.start();
    window.action(QStringLiteral("livePreview"))->trigger();
    if (!window.livePreview() || !window.livePreview()->pane()) {
        std::fputs("bench_site preview: the plugin did not load\n", stderr);
        return 1;
    }
    // A real event loop waits, as the program's does: polling would slow the engine's replies.
    QEventLoop loop;
    window.livePreview()->pane()->pageShown = [&] {
        ++shown;
        loop.quit();
    };
    const auto waitForPage = [&] {
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    };
    waitForPage();
    const double firstMs = double(first.nsecsElapsed()) / 1e6;
    QTest::qWait(2000);
    const double after = residentMebibytes(), engine = engineProcessesMebibytes();
    EditArea* area = window.editArea();
    const int middle = int(area->text().indexOf(QStringLiteral("<p>"), area->text().size() / 2)) + 3;
    std::vector<double> keys, updates;
    for (int run = 0; run < 9; ++run) {
        area->setCaretPosition(middle);
        const int before = shown;
        QElapsedTimer t;
        t.start();
        QTest::keyClick(area, Qt::Key_X);
        keys.push_back(double(t.nsecsElapsed()) / 1e6);
        while (shown == before)
            waitForPage();
        updates.push_back(double(t.nsecsElapsed()) / 1e6);
        QTest::qWait(200);
    }
    std::printf("870 KB page: first preview %.0f ms; key to preview updated %.0f ms (median of 9, "
                "300 ms of it the pause); the key itself %.2f ms\n",
                firstMs, median(updates), median(keys));
    std::printf("memory: editor process %.1f MiB before, +%.1f MiB with the pane; the engine's processes %.1f MiB\n",
                before, after - before, engine);
    return 0;
}

// Where a page's check spends its time, in the order tagloom-check runs the parts.
int checkParts() {
    const QStringList pages = QDir(QStringLiteral(TAGLOOM_SOURCE_DIR "/tests/data")).entryList({QStringLiteral("*.html")});
    std::printf("%-44s %8s %8s %8s %8s %8s %8s %8s\n", "page (ms, median of 15)", "read", "depth", "tidy",
                "forked", "rules", "check", "tidy -e");
    for (const QString& name : pages) {
        const QString path = QStringLiteral(TAGLOOM_SOURCE_DIR "/tests/data/") + name;
        const QString text = document_file::read(path).text;
        const int runs = 15;
        const double read = medianMs(runs, [&] { (void)document_file::read(path); });
        const double depth = medianMs(runs, [&] { (void)safe_check::nestingDepth(text); });
        const double tidy = medianMs(runs, [&] { (void)checkTags(text, {}); });
        const double forked = medianMs(runs, [&] { (void)safe_check::check(text, {}, 60000); });
        const double rules = medianMs(runs, [&] { (void)page_rules::check(text, {false, true, path, {}, {}}); });
        const double whole = medianMs(runs, [&] { (void)page_rules::checkPage(text, {}, 0, {false, true, path, {}, {}}); });
        const double cli = medianMs(runs, [&] {
            QProcess process;
            process.start(QStringLiteral("tidy"), {QStringLiteral("-q"), QStringLiteral("-e"), path});
            process.waitForFinished(-1);
        });
        std::printf("%-44s %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f\n", qPrintable(name), read, depth, tidy, forked,
                    rules, whole, cli);
    }
    return 0;
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("TAGLOOM_CHECKER"))
        qputenv("TAGLOOM_CHECKER", TAGLOOM_CHECKER_PROGRAM);
    keepLargeBuffersInHeap(); // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TAGLOOM_PREVIEW_PLUGIN"))
        qputenv("TAGLOOM_PREVIEW_PLUGIN", TAGLOOM_PREVIEW_PLUGIN_FILE);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // options stay out of the user's settings
    const QStringList args = QApplication::arguments().mid(1);
    if (args.value(0) == u"tabs")
        return tabs();
    if (args.value(0) == u"memory")
        return memory();
    if (args.value(0) == u"files")
        return files(args.size() > 1 ? args[1].toInt() : 2000, args.size() > 2 ? args[2] : QDir::tempPath());
    if (args.value(0) == u"index")
        return index(args.size() > 1 ? args[1].toInt() : 2000, args.size() > 2 ? args[2] : QDir::tempPath());
    if (args.value(0) == u"check-parts")
        return checkParts();
    if (args.value(0) == u"replace")
        return replace(args.size() > 1 ? args[1].toInt() : 100000, args.size() > 2 ? args[2] : QDir::tempPath());
    if (args.value(0) == u"preview")
        return preview();
    std::fputs("usage: bench_site tabs | memory | files [FILES] [DIR] | index [FILES] [DIR] | replace [FILES] [DIR] | check-parts | preview\n", stderr);
    return 2;
}
