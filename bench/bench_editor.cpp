// Benchmarks of the editor on real pages. Not a test: it prints figures, it judges nothing.
//
//   bench_editor startup PAGE [--colour]  start to first painted window, peak memory
//   bench_editor colour [PAGE...]         colouring engine, Ctrl+H in the window, typing
//   bench_editor files PAGE               open and save through the document reader and writer
//   bench_editor recovery PAGE            a recovery copy: window thread, worker, bytes; disk check
//   bench_editor live PAGE                Colour as You Type and the HTML5 scheme: keys, Ctrl+H, tokenizer
//   bench_editor outline PAGE             the outline (headings, landmarks) and the element path at the end,
//                                         as the workers read them, and a line command on the page
//   bench_editor folding PAGE             Fold All and Unfold All in the window, a key with a thousand folds
//                                         and with a hundred carets
//   bench_editor spelling PAGE            the words a reader sees, spelt with the installed English dictionary
//   bench_editor loading [LINES]          keys typed while a page of short lines loads (3,000,000)
//   bench_editor paging PAGE              memory while Page Down walks the page and a key is typed at its end,
//                                         and the time each Page Down took
//   bench_editor lines KIND [LINES]       what a 10-byte line costs in memory, and the time until the
//                                         page is in: KIND document (a bare QTextDocument), bare (a plain
//                                         QPlainTextEdit), editor (the edit area) or window (the page
//                                         opened) (3,300,000)
//
// A PAGE is a path, or the name of a page in $TAGLOOM_CORPUS (by default ../shared/corpus beside
// the source tree). Without pages, colour takes the corpus's a, b and c pages.
#include "bench_timing.h"

#include "../tests/colouring/reference_pass.h"
#include "app/main_window.h"
#include "app/open_document.h"
#include "app/recovery_keeper.h"
#include "checking/check_panel.h"
#include "base/memory_advice.h"
#include "colouring/html5_scheme.h"
#include "colouring/html_pass.h"
#include "document/document_file.h"
#include "document/file_identity.h"
#include "editor/block_layouts.h"
#include "editor/completer.h"
#include "editor/edit_area.h"
#include "editor/element_path.h"
#include "editor/folding.h"
#include "checking/spelling.h"
#include "app/spell_marks.h"
#include "editor/format_document.h"
#include "colouring/outline.h"
#include "colouring/folds.h"
#include "colouring/tag_matching.h"
#include "editor/find_bar.h"
#include "editor/matching_tags.h"
#include "support/scripted_dialogs.h"

#include <QApplication>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <QDir>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>
#include <QTimer>
#include <QAbstractButton>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <ctime>

namespace {
QElapsedTimer sinceStart;

double peakMebibytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void showActive(MainWindow& form) {
    form.show();
    if (!QTest::qWaitForWindowActive(&form))
        std::fputs("warning: the window did not become active; shortcuts may not fire\n", stderr);
    form.editArea()->setFocus();
}

// Presses a key in the edit area and waits for the repaint it causes.
// A figure for a page that did not open would measure nothing: stop instead.
void requireOpened(const MainWindow& form, const QString& path) {
    if (QFileInfo(path).size() > 0 && form.editArea()->document()->isEmpty()) {
        std::fprintf(stderr, "bench_editor: %s did not open\n", qPrintable(path));
        std::exit(1);
    }
}

ReadResult readOrExit(const QString& path) {
    ReadResult file = document_file::read(path);
    if (file.error) {
        std::fprintf(stderr, "bench_editor: %s\n", qPrintable(file.error.description));
        std::exit(1);
    }
    return file;
}

void keyAndRepaint(MainWindow& form, const QKeySequence& key) {
    QTest::keySequence(form.editArea(), key);
    form.editArea()->viewport()->repaint();
}

int startup(const QString& path, bool colour) {
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.openStartupArgument(path);
    requireOpened(form, path);
    showActive(form);
    form.editArea()->viewport()->repaint();
    const double firstPaint = double(sinceStart.nsecsElapsed()) / 1e6;
    // A big page goes on loading while the window is idle.
    if (form.editArea()->isLoading()) {
        QSignalSpy finished(form.editArea(), &EditArea::loadingFinished);
        finished.wait(60000);
    }
    const double allIn = double(sinceStart.nsecsElapsed()) / 1e6;
    double coloured = 0;
    if (colour) {
        QElapsedTimer t;
        t.start();
        keyAndRepaint(form, QKeySequence(QStringLiteral("Ctrl+H")));
        coloured = double(t.nsecsElapsed()) / 1e6;
        if (!form.editArea()->colourAt(1).has_value() && !form.editArea()->colourAt(0).has_value())
            std::fputs("warning: Ctrl+H coloured nothing at the start of the page\n", stderr);
    }
    const double size = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("%-42s start to first paint %8.1f ms (whole page in %8.1f ms)", qPrintable(QFileInfo(path).fileName()),
                firstPaint, allIn);
    if (colour)
        std::printf("   Ctrl+H %7.1f ms", coloured);
    std::printf("   peak memory %7.1f MiB (%.1f x file size)\n", peakMebibytes(), peakMebibytes() / size);
    return 0;
}

int colourTable(const QStringList& paths) {
    std::printf("%-40s %10s %12s %14s %12s\n", "page", "engine MB/s", "Ctrl+H ms", "literal pass ms",
                "ratio");
    for (const QString& path : paths) {
        const ReadResult file = readOrExit(path);
        const double mb = double(QFileInfo(path).size()) / 1e6;
        const double engine = medianMs(7, [&] { (void)runHtmlPass(file.text); });
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->loadText(file.text);
        showActive(form);
        form.editArea()->viewport()->repaint();
        const double ctrlH =
            medianMs(5, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("Ctrl+H"))); });
        const double literal = medianMs(1, [&] {
            ReferenceBox box{file.text, {}, 0, 0};
            box.htmlPass();
        });
        std::printf("%-40s %10.0f %12.1f %14.0f %11.0fx\n", qPrintable(QFileInfo(path).fileName()),
                    mb / (engine / 1000), ctrlH, literal, literal / ctrlH);
    }
    return 0;
}

void typingIn(const QString& label, const QString& text) {
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.editArea()->loadText(text);
    showActive(form);
    form.colourAsHtml();
    form.editArea()->viewport()->repaint();
    const int n = int(text.size());
    std::printf("%-30s", qPrintable(label));
    for (auto [where, pos] : {std::pair{"start", 0}, std::pair{"middle", n / 2}, std::pair{"end", n}}) {
        form.colourAsHtml(); // each place gets the first keystroke after a fresh pass
        form.editArea()->setCaretPosition(pos);
        form.editArea()->ensureCursorVisible();
        form.editArea()->viewport()->repaint();
        const double first = medianMs(1, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
        const double ms = medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
        std::printf("  %s %6.2f ms (first %6.2f)", where, ms, first);
    }
    std::printf("\n");
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

/// Median wall and CPU time (all threads) of @p work, in ms.
std::pair<double, double> medianWallAndCpu(int runs, const std::function<void()>& work) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const double c = cpuMs();
        t.start();
        work();
        wall.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - c);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

int live(const QString& path) {
    const ReadResult file = readOrExit(path);
    const double mb = double(QFileInfo(path).size()) / 1e6;
    struct Quiet : HtmlTokenizer::Listener {};
    const double tokenizer = medianMs(7, [&] {
        HtmlTokenizer t;
        Quiet quiet;
        t.feed(file.text, 0, quiet);
        t.finish(file.text.size(), quiet);
    });
    const double scheme = medianMs(7, [&] { (void)html5_scheme::colourText(file.text); });
    std::printf("%s\n  HTML5 tokenizer alone %6.0f MB/s (%.1f ms)   the scheme's colours line by line %6.0f MB/s (%.1f ms)\n",
                qPrintable(QFileInfo(path).fileName()), mb / tokenizer * 1e3, tokenizer, mb / scheme * 1e3, scheme);
    auto keys = [](MainWindow& form, int pos, int runs) {
        form.editArea()->setCaretPosition(pos);
        form.editArea()->ensureCursorVisible();
        form.editArea()->viewport()->repaint();
        // A letter, then Backspace: the line stays as it was, so every key meets the same work.
        int k = 0;
        return medianWallAndCpu(runs, [&] {
            keyAndRepaint(form, QKeySequence(k++ % 2 ? QStringLiteral("Backspace") : QStringLiteral("x")));
        });
    };
    for (const bool html5 : {false, true}) {
        QSettings().setValue(QStringLiteral("colouring/scheme"), html5 ? QStringLiteral("html5") : QStringLiteral("classic"));
        for (const bool asYouType : html5 ? std::vector{true} : std::vector{false, true}) {
            QSettings().setValue(QStringLiteral("colouring/asYouType"), asYouType);
            ScriptedDialogs dialogs;
            MainWindow form(dialogs);
            form.editArea()->loadText(file.text);
            showActive(form);
            const int n = int(form.editArea()->text().size());
            const double ctrlH = medianMs(5, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("Ctrl+H"))); });
            const auto [wall, cpu] = keys(form, n / 2, 201);
            std::printf("  %-28s Ctrl+H until repainted %6.1f ms   key (or Backspace) in the middle until repainted %5.2f ms, CPU %5.2f ms\n",
                        html5 ? "HTML5 scheme" : asYouType ? "classic, Colour as You Type" : "classic, colours go stale",
                        ctrlH, wall, cpu);
            if (html5 || !asYouType)
                continue;
            // `<!` near the start opens a declaration that runs to the next `>`: the `!` is timed.
            std::vector<double> bang;
            form.editArea()->setCaretPosition(200);
            for (int i = 0; i < 11; ++i) {
                keyAndRepaint(form, QKeySequence(QStringLiteral("<")));
                QElapsedTimer t;
                t.start();
                keyAndRepaint(form, QKeySequence(QStringLiteral("!")));
                bang.push_back(double(t.nsecsElapsed()) / 1e6);
                keyAndRepaint(form, QKeySequence(QStringLiteral("Backspace")));
                keyAndRepaint(form, QKeySequence(QStringLiteral("Backspace")));
            }
            std::sort(bang.begin(), bang.end());
            // And `="` near the start, whose value runs to the next `">`.
            std::vector<double> value;
            for (int i = 0; i < 11; ++i) {
                keyAndRepaint(form, QKeySequence(QStringLiteral("=")));
                QElapsedTimer t;
                t.start();
                QTest::keyClick(form.editArea(), '"');
                form.editArea()->viewport()->repaint();
                value.push_back(double(t.nsecsElapsed()) / 1e6);
                keyAndRepaint(form, QKeySequence(QStringLiteral("Backspace")));
                keyAndRepaint(form, QKeySequence(QStringLiteral("Backspace")));
            }
            std::sort(value.begin(), value.end());
            std::printf("  %-28s typing <! at 200 until repainted %6.2f ms   typing =\" there %6.2f ms\n", "", bang[5], value[5]);
        }
    }
    QString line;
    while (line.size() < 60000)
        line += QStringLiteral("<a href=\"x.htm\">link</a> ");
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.editArea()->loadText(line);
    showActive(form);
    keyAndRepaint(form, QKeySequence(QStringLiteral("Ctrl+H")));
    const auto [wall, cpu] = keys(form, 30000, 41);
    std::printf("  %-28s key in a 60,000-char line until repainted %5.2f ms, CPU %5.2f ms\n", "HTML5 scheme", wall, cpu);

    // A page with 500 KB of script in it, coloured as JavaScript line by line.
    const QString chunk = QStringLiteral(
        "  function item(list, index) {\r\n"
        "    const name = `item-${index}: ${list[index].title}`; // a template\r\n"
        "    if (/^[a-z]+\\d*$/i.test(name)) return name.replace(/-/g, ' ') / 2;\r\n"
        "    /* a comment */ let total = 0x1F + 1.5e3 + list.length * 2;\r\n"
        "    return { name: \"x\", total, ok: true };\r\n"
        "  }\r\n");
    QString script;
    while (script.size() < 500 * 1000)
        script += chunk;
    const QString page = QStringLiteral("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<script>\r\n") + script +
                         QStringLiteral("</script>\r\n</head>\r\n<body><p>x</p></body>\r\n</html>\r\n");
    const double scriptColours = medianMs(7, [&] { (void)html5_scheme::colourText(page); });
    MainWindow scripted(dialogs);
    scripted.editArea()->loadText(page);
    showActive(scripted);
    const double scriptCtrlH = medianMs(5, [&] { keyAndRepaint(scripted, QKeySequence(QStringLiteral("Ctrl+H"))); });
    const int middle = int(page.indexOf(QStringLiteral("/* a comment */"), page.size() / 2));
    const auto [keyWall, keyCpu] = keys(scripted, middle, 201);
    // `/*` in the middle opens a comment that runs to the next `*/`; its Backspace closes it again.
    std::vector<double> open, close;
    scripted.editArea()->setCaretPosition(int(page.indexOf(QStringLiteral("let total"), middle)));
    for (int i = 0; i < 11; ++i) {
        keyAndRepaint(scripted, QKeySequence(QStringLiteral("/")));
        QElapsedTimer t;
        t.start();
        keyAndRepaint(scripted, QKeySequence(QStringLiteral("*")));
        open.push_back(double(t.nsecsElapsed()) / 1e6);
        t.start();
        keyAndRepaint(scripted, QKeySequence(QStringLiteral("Backspace")));
        close.push_back(double(t.nsecsElapsed()) / 1e6);
        keyAndRepaint(scripted, QKeySequence(QStringLiteral("Backspace")));
    }
    std::sort(open.begin(), open.end());
    std::sort(close.begin(), close.end());
    std::printf("%.0f KB of inline script\n  the scheme's colours %.1f ms; Ctrl+H until repainted %.1f ms; a key in the script "
                "until repainted %.2f ms (CPU %.2f); typing /* there %.2f ms, its Backspace %.2f ms\n",
                double(script.size()) / 1000, scriptColours, scriptCtrlH, keyWall, keyCpu, open[5], close[5]);
    return 0;
}

int files(const QString& path) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.html"));
    QFile::copy(path, copy);
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    const double open = medianMs(7, [&] {
        dialogs.answer(copy);
        form.editArea()->loadText(QString());
        form.openFile();
        form.editArea()->finishLoading(); // the whole page, not its first screen
    });
    requireOpened(form, copy);
    const double save = medianMs(7, [&] {
        if (!form.save()) {
            std::fputs("bench_editor: the save failed\n", stderr);
            std::exit(1);
        }
    });
    ReadResult file;
    const double read = medianMs(7, [&] { file = document_file::read(copy); });
    const double load = medianMs(7, [&] {
        form.editArea()->loadText(file.text);
        form.editArea()->finishLoading();
    });
    std::printf("  of which: read and decode %7.1f ms, into the edit area %7.1f ms\n", read, load);
    std::printf("%-40s open %7.1f ms   save %7.1f ms (median of 7)\n", qPrintable(QFileInfo(path).fileName()),
                open, save);
    return 0;
}

// Recovery copies on a big page: what a copy costs the window's thread, how long the worker
// takes, what steady typing writes, and what the disk check on focus costs.
int recovery(const QString& path) {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    MainWindow form(dialogs, nullptr, dir.filePath(QStringLiteral("recovery")));
    form.openStartupArgument(path);
    requireOpened(form, path);
    form.editArea()->replaceSelection(QStringLiteral("x"));
    RecoveryKeeper& keeper = form.recoveryKeeper();
    std::vector<double> ui;
    std::vector<double> total;
    for (int i = 0; i < 21; ++i) {
        form.editArea()->replaceSelection(QStringLiteral("x"));
        QElapsedTimer t;
        t.start();
        keeper.writeSoon();
        ui.push_back(double(t.nsecsElapsed()) / 1e6);
        keeper.waitForWrites();
        total.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ui.begin(), ui.end());
    std::sort(total.begin(), total.end());
    const qint64 copy = QFileInfo(dir.filePath(QStringLiteral("recovery/") + form.recoveryStore().ownId() +
                                               QStringLiteral(".tgr")))
                            .size();
    const double check = medianMs(101, [&] { (void)FileIdentity::of(path); });
    const double copyText = medianMs(21, [&] { (void)form.editArea()->rawText(); });
    std::printf(
        "%-40s recovery copy: window thread %.2f ms (of which taking the text %.2f ms), written after "
        "%.1f ms (medians of 21)\n",
        qPrintable(QFileInfo(path).fileName()), ui[ui.size() / 2], copyText, total[total.size() / 2]);
    // Typing without a pause of 2 s writes one copy every 30 s.
    std::printf("  copy %.1f MB; steady typing writes 2 copies a minute: %.1f MB/min; disk check on focus "
                "%.3f ms (median of 101)\n",
                double(copy) / 1e6, 2 * double(copy) / 1e6, check);
    return 0;
}

// Check Tags and matching tags on a big page: the check's time in its worker and what a keystroke
// costs meanwhile; the tag map's build in its worker and the caret's lookups once it is built.
int tags(const QString& path) {
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.openStartupArgument(path);
    requireOpened(form, path);
    showActive(form);
    std::vector<double> check;
    std::vector<double> keys;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        form.checkTags();
        QSignalSpy done(form.checkPanel(), &CheckPanel::checked);
        // Typing while the worker checks: each key until repainted.
        while (form.checkPanel()->isChecking()) {
            keys.push_back(medianMs(1, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); }));
            QTest::qWait(20);
        }
        if (done.isEmpty() && !done.wait(30000)) {
            std::fputs("bench_editor: Check Tags did not finish\n", stderr);
            return 1;
        }
        check.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(check.begin(), check.end());
    std::sort(keys.begin(), keys.end());
    std::printf("%-40s Check Tags %.0f ms (median of 5, %zu problems); a key meanwhile %.2f ms (median of "
                "%zu, worst %.2f)\n",
                qPrintable(QFileInfo(path).fileName()), check[2], form.checkPanel()->problems().size(),
                keys.empty() ? 0.0 : keys[keys.size() / 2], keys.size(), keys.empty() ? 0.0 : keys.back());

    EditArea& area = *form.editArea();
    MatchingTags& matching = *area.matchingTags();
    const QString raw = area.rawText();
    const double build = medianMs(5, [&] { (void)TagMap::build(raw); });
    (void)matching.currentMap();
    const qsizetype html = raw.indexOf(QStringLiteral("<html"));
    const qsizetype ordinary = raw.indexOf(QStringLiteral("<p>"), raw.size() / 2);
    int step = 0;
    auto caretOn = [&](qsizetype at) {
        QTextCursor c = area.textCursor();
        c.setPosition(int(at + 1 + (++step % 2))); // a move every time, within the name
        area.setTextCursor(c); // the highlight follows at once from the built map
        area.viewport()->repaint();
    };
    const double onHtml = medianMs(21, [&] { caretOn(html); });
    const double onOrdinary = medianMs(21, [&] { caretOn(ordinary); });
    caretOn(html);
    const double jump = medianMs(21, [&] { matching.jumpToPartner(); });
    std::printf("  tag map: built in %.1f ms in its worker (median of 5); caret onto <html> %.3f ms, onto an "
                "ordinary <p> %.3f ms, Ctrl+M %.3f ms (medians of 21, highlight and repaint included)\n",
                build, onHtml, onOrdinary, jump);
    return 0;
}

// Pages of one very long line: a minified real page and a hex string in a script, 1 MB and 4 MB.
// Each is opened in a process of its own (first paint counts from the process start), then
// keystrokes inside a long line are timed.
int longLines(const QString& self, const QString& corpusPage) {
    QTemporaryDir dir;
    QString minified = readOrExit(corpusPage).text;
    minified.remove(QStringLiteral("\r\n"));
    QStringList pages;
    for (qsizetype size : {qsizetype(1) << 20, qsizetype(4) << 20}) {
        const QString label = QString::number(size >> 20) + QStringLiteral("mb");
        QString hex = QStringLiteral("<html><body><script>var data = \"");
        for (qsizetype i = 0; hex.size() < size; ++i)
            hex += QString::number((i * 2654435761u) & 0xffffffffu, 16);
        hex += QStringLiteral("\";</script></body></html>");
        for (const auto& [name, text] : {std::pair{QStringLiteral("minified-"), minified.left(size)},
                                         std::pair{QStringLiteral("hex-"), hex}}) {
            const QString path = dir.filePath(name + label + QStringLiteral(".html"));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
                return 1;
            pages << path;
        }
    }
    for (int round = 0; round < 3; ++round)
        for (const QString& page : pages) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
            child.start(self, {QStringLiteral("startup"), page});
            child.waitForFinished(120000);
        }
    typingIn(QStringLiteral("typing, one 1 MB minified line"), minified.left(1 << 20));
    QString line;
    while (line.size() < 60000)
        line += QStringLiteral("<a href=\"x.htm\">link</a> ");
    typingIn(QStringLiteral("typing, one 60,000-char line"), line);
    return 0;
}

// Find, replace, go to line, and what the status bar and line numbers add to a keystroke.
// Keys typed while a page of @p lines short lines loads: how long the window's event loop
// goes without a turn (a key waits at most that long to be taken), and the whole load.
int loadingWhileTyping(int lines) {
    QString text;
    text.reserve(qsizetype(lines) * 24);
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("<p>line %1</p>\r\n").arg(i);
    EditArea area;
    area.resize(800, 600);
    area.show();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    std::vector<double> gaps;
    qint64 last = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(double(now - last) / 1e6);
        last = now;
    });
    int typed = 0;
    QTimer typing;
    typing.setInterval(20);
    QObject::connect(&typing, &QTimer::timeout, [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QStringLiteral("k"));
        QCoreApplication::sendEvent(&area, &key);
        ++typed;
    });
    QSignalSpy finished(&area, &EditArea::loadingFinished);
    clock.start();
    area.loadText(text);
    const double shown = double(clock.nsecsElapsed()) / 1e6;
    last = clock.nsecsElapsed();
    tick.start();
    typing.start();
    finished.wait(600000);
    const double loaded = double(clock.nsecsElapsed()) / 1e6;
    typing.stop();
    QTest::qWait(300); // the keys typed during the load go in: their turn counts too
    tick.stop();
    const bool allIn = area.text().startsWith(QStringLiteral("k").repeated(typed) + QStringLiteral("<p>line 0</p>"));
    std::sort(gaps.begin(), gaps.end());
    std::printf("%d lines (%.1f MB of text): first screen in %.0f ms, whole page in %.0f ms\n", lines,
                double(text.size()) * 2 / 1e6, shown, loaded);
    std::printf("event loop turns while loading and typing: %zu; longest wait %.1f ms, median %.2f ms, 99th percentile %.1f ms\n",
                gaps.size(), gaps.empty() ? 0.0 : gaps.back(), gaps.empty() ? 0.0 : gaps[gaps.size() / 2],
                gaps.empty() ? 0.0 : gaps[gaps.size() * 99 / 100]);
    std::printf("%d keys typed during the load, all in the page in order afterwards: %s\n", typed, allIn ? "yes" : "NO");
    return allIn ? 0 : 1;
}

// Resident and peak memory of this process, in bytes (Linux only; elsewhere 0).
std::pair<double, double> residentAndPeak() {
    QFile status(QStringLiteral("/proc/self/status"));
    double resident = 0, peak = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                resident = line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024;
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024;
        }
    return {resident, peak};
}

// What a short line costs in memory: a page of LINES lines of 10 bytes, given to a bare
// QPlainTextEdit (Qt's own floor: no colour, no block data), to the edit area alone, or opened
// in the window with everything that reads a page. One kind per process, so that the peak is
// that kind's own.
int lineCost(const QString& kind, int lines) {
    const QString page = QDir::temp().filePath(QStringLiteral("tagloom-bench-lines-%1.html").arg(lines));
    if (!QFileInfo::exists(page)) {
        QFile file(page);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray bytes;
        bytes.reserve(qsizetype(lines) * 10);
        for (int i = 0; i < lines; ++i)
            bytes += QByteArray::number(i % 1000000).rightJustified(6, '0').prepend("<p>") + '\n';
        file.write(bytes);
    }
    QStandardPaths::setTestModeEnabled(true);
    QWidget empty;
    empty.resize(800, 600);
    empty.show();
    QTest::qWait(300);
    const double before = residentAndPeak().first;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QPlainTextEdit> bare;
    std::unique_ptr<EditArea> area;
    std::unique_ptr<MainWindow> form;
    ScriptedDialogs dialogs;
    std::unique_ptr<QTextDocument> document;
    if (kind == QStringLiteral("document")) {
        // The text store alone, as a plain text view keeps it, with no view to lay lines out.
        QFile file(page);
        file.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(file.readAll());
        document = std::make_unique<QTextDocument>();
        document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
        document->setUndoRedoEnabled(false);
        document->setPlainText(text);
    } else if (kind == QStringLiteral("bare")) {
        QFile file(page);
        file.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(file.readAll());
        bare = std::make_unique<QPlainTextEdit>();
        bare->resize(800, 600);
        bare->show();
        bare->setPlainText(text);
    } else if (kind == QStringLiteral("editor")) {
        ReadResult read = document_file::read(page);
        area = std::make_unique<EditArea>();
        area->resize(800, 600);
        area->show();
        QSignalSpy finished(area.get(), &EditArea::loadingFinished);
        area->loadText(read.text);
        read = {};
        finished.wait(600000);
    } else {
        form = std::make_unique<MainWindow>(dialogs);
        form->resize(800, 600);
        form->show();
        form->openStartupArgument(page);
        requireOpened(*form, page);
        form->editArea()->finishLoading();
    }
    const double loaded = double(clock.nsecsElapsed()) / 1e6;
    QTest::qWait(4000); // what reads the page after it is in (tags, folds, recovery) is done
    const auto [resident, peak] = residentAndPeak();
    std::printf("%s: %d lines of 10 bytes: whole page in %.0f ms; %.0f bytes a line settled, %.0f at the peak "
                "(resident %.0f MiB, peak %.0f MiB, empty window %.0f MiB)\n",
                qPrintable(kind), lines, loaded, (resident - before) / lines, (peak - before) / lines,
                resident / 1048576, peak / 1048576, before / 1048576);
    return 0;
}

// Memory of paging through a page (Page Down from the top to the end, the keys sent faster than
// paints, as a held key does) and typing at its end: resident, peak and the heap in use, and how
// many lines keep a layout.
int paging(const QString& path) {
    QStandardPaths::setTestModeEnabled(true);
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.resize(1024, 768);
    form.openStartupArgument(path);
    requireOpened(form, path);
    form.editArea()->finishLoading();
    showActive(form);
    QTest::qWait(3000);
    EditArea* area = form.editArea();
    const auto report = [&](const char* when) {
        int layouts = 0;
        for (QTextBlock b = area->document()->begin(); b.isValid(); b = b.next())
            layouts += block_layouts::has(b);
        const auto [resident, peak] = residentAndPeak();
#ifdef __GLIBC__
        const double heap = double(mallinfo2().uordblks);
#else
        const double heap = 0;
#endif
        std::printf("%-34s resident %6.1f MiB, peak %6.1f MiB, heap in use %6.1f MiB, lines with a layout %d\n", when,
                    resident / 1048576, peak / 1048576, heap / 1048576, layouts);
    };
    report("opened:");
    int keys = 0;
    std::vector<double> keyMs;
    while (area->textCursor().block() != area->document()->lastBlock()) {
        keyMs.push_back(medianMs(1, [&] { QTest::keyClick(area, Qt::Key_PageDown); }));
        if (++keys % 200 == 0)
            QCoreApplication::processEvents(); // a paint now and then
    }
    std::sort(keyMs.begin(), keyMs.end());
    std::printf("%d Page Down keys: median %.2f ms, 99th percentile %.2f ms, longest %.2f ms\n", keys,
                keyMs[keyMs.size() / 2], keyMs[keyMs.size() * 99 / 100], keyMs.back());
    report("paged to the end:");
    QTest::qWait(1000);
    report("a second later:");
    QTest::keyClicks(area, QStringLiteral("x"));
    QTest::qWait(4000); // the recovery copy and the readers that start when typing pauses, and their copy kept
    report("typed there, 4 s later:");
    QTest::qWait(4000);
    report("typed there, 8 s later:");
    return 0;
}

int search(const QString& path) {
    // The run turns options on: in settings of its own, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.openStartupArgument(path);
    requireOpened(form, path);
    form.editArea()->finishLoading();
    showActive(form);
    EditArea* area = form.editArea();
    FindBar* bar = form.findBar();
    form.find();
    auto touchText = [&] { // an edit since the last search: the search reads the text afresh
        area->setCaretPosition(0);
        area->insertPlainText(QStringLiteral("x"));
        area->undo();
    };
    auto findAndShow = [&](const QString& pattern, bool regex) {
        bar->regexBox()->setChecked(regex);
        bar->findField()->clear();
        touchText();
        QElapsedTimer t;
        t.start();
        bar->findField()->insert(pattern);
        area->viewport()->repaint();
        return std::pair{double(t.nsecsElapsed()) / 1e6, bar->message()};
    };
    std::printf("%s, %d lines\n", qPrintable(QFileInfo(path).fileName()), area->lineCount());
    for (const auto& [pattern, regex] : {std::pair{QStringLiteral("function"), false},
                                         std::pair{QStringLiteral("<code>"), false},
                                         std::pair{QStringLiteral("<(\\w+) class=\"([^\"]*)\""), true}}) {
        std::vector<double> times;
        QString message;
        for (int i = 0; i < 11; ++i)
            std::tie(times.emplace_back(), message) = findAndShow(pattern, regex);
        std::printf("  find %-28s %-8s until shown %7.2f ms  (%s)\n", qPrintable(pattern), regex ? "regex" : "literal",
                    median(times), qPrintable(message));
    }
    bar->regexBox()->setChecked(false);
    bar->findField()->setText(QStringLiteral("<code>"));
    bar->replaceField()->setText(QStringLiteral("<samp>"));
    std::vector<double> replaceTimes, undoTimes;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        bar->replaceAll();
        area->viewport()->repaint();
        replaceTimes.push_back(double(t.nsecsElapsed()) / 1e6);
        const QString message = bar->message();
        t.restart();
        area->undo();
        area->viewport()->repaint();
        undoTimes.push_back(double(t.nsecsElapsed()) / 1e6);
        if (i == 0)
            std::printf("  Replace All <code> -> <samp>: %s\n", qPrintable(message));
    }
    std::printf("  Replace All until repainted %7.1f ms   its undo until repainted %7.1f ms\n", median(replaceTimes),
                median(undoTimes));
    bar->close();
    const int far = std::min(150000, area->lineCount());
    std::vector<double> goTimes;
    for (int i = 0; i < 11; ++i) {
        QElapsedTimer t;
        t.start();
        area->goToLine(i % 2 ? 10 : far);
        area->viewport()->repaint();
        goTimes.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("  go to line %d (or back to 10) until repainted %6.2f ms\n", far, median(goTimes));
    // A keystroke in the middle until everything it changed is painted, with the status bar and
    // the line numbers off and on, in turns so that any drift of the machine falls on both.
    area->goToLine(far / 2);
    std::array<std::vector<double>, 2> keys;
    for (int round = 0; round < 10; ++round)
        for (bool shown : {false, true}) {
            form.action(QStringLiteral("statusBar"))->setChecked(shown);
            form.toggleStatusBar();
            form.action(QStringLiteral("lineNumbers"))->setChecked(shown);
            form.toggleLineNumbers();
            QCoreApplication::processEvents();
            keys[shown].push_back(medianMs(21, [&] {
                QTest::keySequence(area, QKeySequence(QStringLiteral("x")));
                QCoreApplication::processEvents(); // paints whatever the key made out of date
            }));
        }
    std::printf("  keystroke until painted: status bar and line numbers off %6.3f ms, on %6.3f ms\n",
                median(keys[0]), median(keys[1]));
    QSettings().clear();
    return 0;
}

QString corpusDir() {
    const QString set = qEnvironmentVariable("TAGLOOM_CORPUS");
    return set.isEmpty() ? QStringLiteral(TAGLOOM_SOURCE_DIR "/../shared/corpus") : set;
}

// The page's path; exits with a message when neither the path nor the corpus page exists.
QString resolvePage(const QString& page) {
    if (QFileInfo(page).isFile())
        return page;
    const QString inCorpus = corpusDir() + QLatin1Char('/') + page;
    if (QFileInfo(inCorpus).isFile())
        return inCorpus;
    std::fprintf(stderr,
                 "bench_editor: page not found: %s\n(neither a file nor a page of %s; set TAGLOOM_CORPUS to "
                 "the folder of real pages)\n",
                 qPrintable(page), qPrintable(corpusDir()));
    std::exit(2);
}

int folding(const QString& path) {
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.openStartupArgument(path);
    requireOpened(form, path);
    showActive(form);
    EditArea* area = form.editArea();
    area->finishLoading();
    Folding* folding = area->folding();
    const QString text = area->documentText();
    TagMap map;
    const double mapMs = medianMs(3, [&] { map = TagMap::build(text); });
    const double rangesMs = medianMs(3, [&] { (void)folds::of(text, Language::Html, map); });
    std::printf("reading the stretches: the tag map %.0f ms, the stretches from it %.0f ms (medians of 3)\n", mapMs, rangesMs);
    // The first Fold All reads the page's stretches; later ones find them current.
    QElapsedTimer first;
    first.start();
    folding->foldAll();
    area->viewport()->repaint();
    const double firstMs = double(first.nsecsElapsed()) / 1e6;
    const int folds = folding->foldCount();
    folding->unfoldAll();
    const double foldAll = medianMs(5, [&] {
        folding->foldAll();
        area->viewport()->repaint();
    });
    const double unfoldAll = medianMs(5, [&] {
        folding->unfoldAll();
        area->viewport()->repaint();
        folding->foldAll();
    });
    std::printf("%s: Fold All %.0f ms the first time (reading %d stretches), %.0f ms after; Unfold All and Fold All again "
                "%.0f ms (medians of 5, each with its repaint)\n",
                qPrintable(path), firstMs, folds, foldAll, unfoldAll);
    // After an edit, the stretches are read again on a worker once typing pauses.
    std::vector<double> afterEdit;
    for (int run = 0; run < 5; ++run) {
        folding->unfoldAll();
        area->setCaretPosition(0);
        QTest::keyClick(area, Qt::Key_X);
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 1500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QElapsedTimer t;
        t.start();
        folding->foldAll();
        area->viewport()->repaint();
        afterEdit.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("Fold All after a key and a pause of 1.5 s: %.0f ms (median of 5)\n", median(std::move(afterEdit)));
    // A key in the text with every stretch folded after it, against none.
    folding->unfoldAll();
    area->setCaretPosition(0);
    const double keyNone = medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
    folding->foldAll();
    const int held = folding->foldCount();
    area->setCaretPosition(0);
    const double keyFolded = medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
    // And with about a thousand, the level nearest that.
    int level = 1;
    for (int l = 1; l <= 8; ++l) {
        folding->foldToLevel(l);
        folding->foldToLevel(level);
        const int atLevel = folding->foldCount();
        folding->foldToLevel(l);
        if (std::abs(folding->foldCount() - 1000) < std::abs(atLevel - 1000))
            level = l;
    }
    folding->foldToLevel(level);
    const int thousand = folding->foldCount();
    area->setCaretPosition(0);
    const double keyThousand = medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
    std::printf("a key at the top with its repaint: %.2f ms with no fold, %.2f ms with %d folds (level %d), %.2f ms with %d "
                "(all) (medians of 21)\n",
                keyNone, keyThousand, thousand, level, keyFolded, held);
    // A key typed at a hundred carets, one a line from the middle of the page.
    folding->unfoldAll();
    area->goToLine(area->lineCount() / 2);
    for (int i = 1; i < 100; ++i)
        area->addCaret(false);
    const int carets = area->caretCount();
    const double keyCarets = medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
    area->singleCaret();
    const double keyOne = medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
    std::printf("a key in the middle with its repaint: %.2f ms at %d carets, %.2f ms at one (medians of 21)\n", keyCarets,
                carets, keyOne);
    return 0;
}

int spell(const QString& name) {
    const ReadResult read = document_file::read(resolvePage(name));
    const QString& page = read.text;
    std::vector<spelling::Word> words;
    const double reading = medianMs(3, [&] { words = spelling::wordsOf(page); });
    Speller speller;
    QElapsedTimer load;
    load.start();
    (void)speller.isCorrect(QStringLiteral("page"), QStringLiteral("en"));
    const double loadMs = double(load.nsecsElapsed()) / 1e6;
    int wrong = 0;
    const double spellingMs = medianMs(3, [&] {
        wrong = 0;
        for (const spelling::Word& w : words)
            wrong += speller.isCorrect(w.text, w.language) ? 0 : 1;
    });
    std::printf("%s (%.1f MB): the words a reader sees %.0f ms (%zu words), spelt %.0f ms (%d not known), the dictionary "
                "loaded once %.0f ms (medians of 3, one thread)\n",
                qPrintable(name), double(page.size()) / 1e6, reading, words.size(), spellingMs, wrong, loadMs);
    // A key in the window, with Check Spelling off and on (the marks shown first).
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.openStartupArgument(resolvePage(name));
    requireOpened(form, resolvePage(name));
    showActive(form);
    form.editArea()->finishLoading();
    // Off and on in turns, each time the same 21 keys at the same place and then taken away, so
    // neither reading is of a longer line than the other.
    EditArea* area = form.editArea();
    const int middle = int(area->document()->findBlock(int(page.size() / 2)).position());
    std::vector<double> offTimes, onTimes;
    for (int round = 0; round < 6; ++round) {
        const bool spellingOn = round % 2 == 1;
        if (spellingOn) {
            form.action(QStringLiteral("checkSpelling"))->trigger();
            QSignalSpy shown(area->findChild<SpellMarks*>(), &SpellMarks::marksShown);
            shown.wait(20000);
        }
        area->setCaretPosition(middle);
        (spellingOn ? onTimes : offTimes).push_back(medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); }));
        QTextCursor typed(area->document());
        typed.setPosition(middle);
        typed.setPosition(middle + 21, QTextCursor::KeepAnchor);
        typed.removeSelectedText();
        if (spellingOn)
            form.action(QStringLiteral("checkSpelling"))->trigger();
    }
    const double off = median(offTimes), on = median(onTimes);
    // What each reading costs the window: the text handed to the worker.
    const double textMs = medianMs(5, [&] { (void)area->documentText(); });
    std::printf("the page's text taken for the worker, each reading: %.1f ms (median of 5)\n", textMs);
    std::printf("a key in the middle with its repaint: %.2f ms with Check Spelling off, %.2f ms on (medians of 3 rounds "
                "in turns, each the median of 21)\n", off, on);
    return 0;
}

int outlines(const QString& name) {
    const ReadResult read = document_file::read(resolvePage(name));
    const QString& page = read.text;
    const double headings = medianMs(7, [&] { (void)outline::of(page, Language::Html); });
    const double landmarks = medianMs(7, [&] { (void)outline::of(page, Language::Html, outline::Kind::Landmarks); });
    const double path = medianMs(7, [&] { (void)ElementPath::at(page, int(page.size() - 20)); });
    std::printf("%s (%.1f MB): outline of headings %.1f ms (%zu), of ids and landmarks %.1f ms (%zu), element path at the end %.1f ms "
                "(medians of 7, on one thread)\n",
                qPrintable(name), double(page.size()) / 1e6, headings, outline::of(page, Language::Html).size(), landmarks,
                outline::of(page, Language::Html, outline::Kind::Landmarks).size(), path);
    EditArea area;
    area.loadText(page);
    area.setCaretPosition(int(page.size() / 2));
    const double duplicate = medianMs(5, [&] {
        area.duplicateLines();
        area.undo();
    });
    std::printf("Duplicate Line in the middle and Undo, in the edit area: %.1f ms (median of 5)\n", duplicate);
    size_t edits = 0;
    const double reindent = medianMs(5, [&] { edits = format_document::reindent(page).edits.size(); });
    const double format = medianMs(3, [&] {
        (void)area.formatDocument(false);
        area.undo();
    });
    std::printf("Format Document: the edits %.0f ms (%zu lines re-indented); in the edit area with its check and Undo %.0f ms "
                "(medians)\n",
                reindent, edits, format);
    // Every choice on: four spaces, tags wrapped past 80 columns, style sheets and scripts too.
    size_t allEdits = 0;
    const format_document::Style everything{QStringLiteral("    "), 80, true};
    const double all = medianMs(5, [&] { allEdits = format_document::reindent(page, 0, -1, everything).edits.size(); });
    area.setFormatStyle(everything);
    const double allInArea = medianMs(3, [&] {
        (void)area.formatDocument(false);
        area.undo();
    });
    std::printf("  with every choice on: the edits %.0f ms (%zu); in the edit area %.0f ms (medians)\n", all, allEdits, allInArea);
    // A minified page of 1 MB on one line, wrapped past 80 columns.
    QString minified = QStringLiteral("<!doctype html><html><body><div>");
    for (int i = 0; minified.size() < 1'000'000; ++i)
        minified += QStringLiteral("<p class=x id=p%1>t <b>%1</b></p>").arg(i);
    minified += QStringLiteral("</div></body></html>");
    EditArea one;
    one.loadText(minified);
    one.setFormatStyle({QString(), 80, false});
    QElapsedTimer parts;
    parts.start();
    (void)one.formatDocument(false);
    const double formatOnce = double(parts.nsecsElapsed()) / 1e6;
    parts.restart();
    one.undo();
    std::printf("  a 1 MB minified line wrapped past 80 columns: Format Document %.0f ms, Undo %.0f ms (once)\n", formatOnce,
                double(parts.nsecsElapsed()) / 1e6);
    const double minifiedMs = medianMs(3, [&] {
        (void)one.formatDocument(false);
        one.undo();
    });
    std::printf("  a 1 MB minified line wrapped past 80 columns, in the edit area with its check and Undo: %.0f ms (median of 3)\n",
                minifiedMs);
    return 0;
}

} // namespace

// Keys with the list of names closed (the option on and off) and open, and how long the first list
// takes at the end of the page, where the tokenizer reads the whole page once.
int typingHelp(const QString& path) {
    const ReadResult file = readOrExit(path);
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.editArea()->loadText(file.text);
    form.editArea()->finishLoading();
    showActive(form);
    EditArea* area = form.editArea();
    Completer* completer = area->completer();
    const int end = int(file.text.size());
    const auto typeAndTakeBack = [&](const QString& key) {
        keyAndRepaint(form, QKeySequence(key));
        keyAndRepaint(form, QKeySequence(Qt::Key_Backspace));
    };
    for (const bool on : {false, true}) {
        completer->setEnabled(on);
        for (auto [where, pos] : {std::pair{"middle", end / 2}, std::pair{"end", end}}) {
            area->setCaretPosition(pos);
            area->ensureCursorVisible();
            area->viewport()->repaint();
            const double letter = medianMs(21, [&] { typeAndTakeBack(QStringLiteral("x")); }) / 2;
            const double space = medianMs(21, [&] { typeAndTakeBack(QStringLiteral("Space")); }) / 2;
            std::printf("list %-3s, %-6s: a letter and its Backspace %.2f ms each; a space %.2f ms\n",
                        on ? "on" : "off", where, letter, space);
        }
    }
    // A fresh page, the list asked for at once (nothing read yet), and once the window was idle
    // long enough for the page to be read ahead on a worker.
    for (const int idleMs : {0, 2000}) {
        area->loadText(file.text);
        area->finishLoading();
        area->setCaretPosition(end);
        area->ensureCursorVisible();
        area->viewport()->repaint();
        QTest::qWait(idleMs);
        const double first = medianMs(1, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("<"))); });
        std::printf("first list at the end of a fresh %.1f MB page, %d ms idle before: %.2f ms until shown (%s)\n",
                    double(file.text.size()) / 1e6, idleMs, first, completer->isShown() ? "shown" : "NOT shown");
    }
    const double filter = medianMs(21, [&] { typeAndTakeBack(QStringLiteral("t")); }) / 2;
    std::printf("a letter that filters the open list, and its Backspace: %.2f ms each\n", filter);
    keyAndRepaint(form, QKeySequence(Qt::Key_Escape));
    keyAndRepaint(form, QKeySequence(Qt::Key_Backspace));
    bool shown = true;
    const double references = medianMs(11, [&] {
        keyAndRepaint(form, QKeySequence(QStringLiteral("&")));
        shown = shown && completer->isShown();
        keyAndRepaint(form, QKeySequence(Qt::Key_Escape));
        keyAndRepaint(form, QKeySequence(Qt::Key_Backspace));
    });
    std::printf("& with its list of %d references (%s), Escape and Backspace: %.2f ms\n",
                int(completion::itemsFor({completion::Kind::CharacterReference, {}, {}, {}, {}, true, {}}).size()),
                shown ? "shown" : "NOT shown", references);
    return 0;
}

// Check as You Type on a big page: what starting a check costs the window (it takes the text),
// and keys typed while the check runs in the background.
// A style sheet of about a megabyte, coloured by its lexer as it opens: a key in it, against a
// key in an HTML page of the same size; and the first list of CSS properties (its data read then).
int styleSheets() {
    QString rule;
    for (int i = 0; i < 20; ++i)
        rule += QStringLiteral("/* block %1 */\r\n.nav-%1 a:hover, #main > p::first-line {\r\n  margin: 0 auto;\r\n"
                               "  color: #333;\r\n  font: 16px/1.5 \"Helvetica\", sans-serif;\r\n"
                               "  background: url(img/bg.png) no-repeat;\r\n}\r\n")
                    .arg(i);
    QString sheet;
    while (sheet.size() < 1'000'000)
        sheet += rule;
    QString page;
    while (page.size() < sheet.size())
        page += QStringLiteral("<p class=\"note\">A line of <a href=\"x.html\">text</a> and <b>more</b>.</p>\r\n");
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    showActive(form);
    EditArea* area = form.editArea();
    for (const auto& [label, text, language] : {std::tuple{"1 MB style sheet", sheet, Language::Css},
                                                 std::tuple{"1 MB HTML page, HTML5 scheme", page, Language::Html}}) {
        area->setLanguage(language);
        area->loadText(text);
        area->finishLoading();
        area->colourAsHtml5();
        area->setCaretPosition(int(text.size() / 2));
        area->ensureCursorVisible();
        area->viewport()->repaint();
        area->completer()->setEnabled(false); // the key alone
        const double key = medianMs(21, [&] {
            keyAndRepaint(form, QKeySequence(QStringLiteral("x")));
            keyAndRepaint(form, QKeySequence(Qt::Key_Backspace));
        }) / 2;
        std::printf("%-30s a key (or Backspace) in the middle until repainted: %.2f ms\n", label, key);
    }
    // The first list: a property typed in a block.
    area->completer()->setEnabled(true);
    area->setLanguage(Language::Css);
    area->loadText(sheet);
    area->finishLoading();
    area->colourAsHtml5();
    area->setCaretPosition(int(sheet.indexOf(QStringLiteral("  color:"), sheet.size() / 2)));
    area->ensureCursorVisible();
    area->viewport()->repaint();
    const double first = medianMs(1, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("b"))); });
    std::printf("first CSS list (its data read): %.2f ms until shown (%s)\n", first,
                area->completer()->isShown() ? "shown" : "NOT shown");
    keyAndRepaint(form, QKeySequence(Qt::Key_Escape));
    const double next = medianMs(21, [&] {
        keyAndRepaint(form, QKeySequence(Qt::Key_Backspace));
        keyAndRepaint(form, QKeySequence(QStringLiteral("b")));
        keyAndRepaint(form, QKeySequence(Qt::Key_Escape));
    });
    std::printf("a later list (Backspace, a letter, Escape): %.2f ms\n", next);
    return 0;
}

int checkAsYouType(const QString& path) {
    const ReadResult file = readOrExit(path);
    QSettings().setValue(QStringLiteral("checkTags/asYouType"), true);
    ScriptedDialogs dialogs;
    MainWindow form(dialogs);
    form.editArea()->loadText(file.text);
    form.editArea()->finishLoading();
    showActive(form);
    OpenDocument* document = form.documents().front();
    const double start = medianMs(11, [&] { form.checkWhileTyping(*document); });
    form.editArea()->setCaretPosition(int(file.text.size() / 2));
    form.editArea()->ensureCursorVisible();
    // Keys while a check runs: each key restarts the pause, so the check started last runs on.
    form.checkWhileTyping(*document);
    int k = 0;
    std::vector<double> keys;
    for (int i = 0; i < 201; ++i) {
        QElapsedTimer t;
        t.start();
        keyAndRepaint(form, QKeySequence(k++ % 2 ? QStringLiteral("Backspace") : QStringLiteral("x")));
        keys.push_back(double(t.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
    }
    std::sort(keys.begin(), keys.end());
    std::printf("Check as You Type, %.1f MB page: starting a check %.2f ms on the window's thread (median of 11); "
                "keys while checks run: median %.2f ms, 95th percentile %.2f ms, slowest %.2f ms\n",
                double(file.text.size()) / 1e6, start, keys[keys.size() / 2], keys[keys.size() * 95 / 100], keys.back());
    QSettings().remove(QStringLiteral("checkTags/asYouType"));
    return 0;
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("TAGLOOM_CHECKER"))
        qputenv("TAGLOOM_CHECKER", TAGLOOM_CHECKER_PROGRAM);
    sinceStart.start();
    keepLargeBuffersInHeap(); // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 1 && args[0] == QStringLiteral("colour"))
        args << QStringLiteral("a-100k-python-tutorial-classes.html") << QStringLiteral("b-870k-bashref.html")
             << QStringLiteral("c-5.9m-nodejs-api-all.html");
    for (int i = 1; i < args.size() && args[0] != QStringLiteral("loading") && args[0] != QStringLiteral("lines"); ++i)
        if (!args[i].startsWith(QStringLiteral("--")))
            args[i] = resolvePage(args[i]);
    if (args.size() >= 2 && args[0] == QStringLiteral("startup"))
        return startup(args[1], args.contains(QStringLiteral("--colour")));
    if (args.size() >= 2 && args[0] == QStringLiteral("colour")) {
        colourTable(args.mid(1));
        for (const QString& path : args.mid(1))
            if (QFileInfo(path).size() > 4000000)
                typingIn(QStringLiteral("typing, coloured ") + QFileInfo(path).fileName().left(12),
                         readOrExit(path).text);
        QString line;
        while (line.size() < 60000)
            line += QStringLiteral("<a href=\"x.htm\">link</a> ");
        typingIn(QStringLiteral("typing, one 60,000-char line"), line);
        return 0;
    }
    if (args.size() >= 2 && args[0] == QStringLiteral("live")) {
        QStandardPaths::setTestModeEnabled(true); // the options it sets stay out of the user's settings
        QSettings().clear();
        const int status = live(args[1]);
        QSettings().clear();
        return status;
    }
    if (args.size() >= 2 && args[0] == QStringLiteral("check-as-you-type")) {
        QStandardPaths::setTestModeEnabled(true); // the option it sets stays out of the user's settings
        return checkAsYouType(args[1]);
    }
    if (args.size() == 1 && args[0] == QStringLiteral("style-sheets"))
        return styleSheets();
    if (args.size() >= 2 && args[0] == QStringLiteral("typing-help"))
        return typingHelp(args[1]);
    if (args.size() >= 2 && args[0] == QStringLiteral("recovery"))
        return recovery(args[1]);
    if (args.size() >= 2 && args[0] == QStringLiteral("files"))
        return files(args[1]);
    if (args.size() >= 2 && args[0] == QStringLiteral("tags"))
        return tags(args[1]);
    if (args.size() >= 2 && args[0] == QStringLiteral("outline"))
        return outlines(args[1]);
    if (args.size() >= 2 && args[0] == QStringLiteral("spelling"))
        return spell(args[1]);
    if (args.size() >= 2 && args[0] == QStringLiteral("folding"))
        return folding(resolvePage(args[1]));
    if (args.size() >= 2 && args[0] == QStringLiteral("search"))
        return search(args[1]);
    if (args.size() >= 1 && args[0] == QStringLiteral("loading"))
        return loadingWhileTyping(args.size() > 1 ? args[1].toInt() : 3'000'000);
    if (args.size() >= 2 && args[0] == QStringLiteral("paging"))
        return paging(args[1]);
    if (args.size() >= 2 && args[0] == QStringLiteral("lines"))
        return lineCost(args[1], args.size() > 2 ? args[2].toInt() : 3'300'000);
    if (args.size() == 1 && args[0] == QStringLiteral("longlines"))
        return longLines(QApplication::applicationFilePath(), resolvePage(QStringLiteral("c-5.9m-nodejs-api-all.html")));
    std::fputs(
        "usage: bench_editor startup PAGE [--colour] | colour [PAGE...] | style-sheets | files PAGE | recovery PAGE | live PAGE | tags PAGE | search PAGE | outline PAGE | folding PAGE | spelling PAGE | longlines | loading [LINES] | lines document|bare|editor|window [LINES] | paging PAGE\n",
        stderr);
    return 2;
}
