// Benchmarks of the editor on real pages. Not a test: it prints figures, it judges nothing.
//
//   bench_editor startup FILE [--colour]  start to first painted window, peak memory
//   bench_editor colour FILE...           colouring engine, Ctrl+H in the window, typing
//   bench_editor files FILE               open and save through the document reader and writer
#include "../tests/colouring/reference_pass.h"
#include "colouring/html_pass.h"
#include "shell/document_file.h"
#include "shell/edit_area.h"
#include "shell/form1.h"
#include "support/scripted_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {
QElapsedTimer sinceStart;

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void showActive(Form1& form) {
    form.show();
    if (!QTest::qWaitForWindowActive(&form))
        std::fputs("warning: the window did not become active; shortcuts may not fire\n", stderr);
    form.box()->setFocus();
}

// Presses a key in the edit area and waits for the repaint it causes.
void keyAndRepaint(Form1& form, const QKeySequence& key) {
    QTest::keySequence(form.box(), key);
    form.box()->viewport()->repaint();
}

int startup(const QString& path, bool colour) {
    ScriptedDialogs dialogs;
    Form1 form(dialogs);
    form.Form_Load(path);
    showActive(form);
    form.box()->viewport()->repaint();
    const double firstPaint = double(sinceStart.nsecsElapsed()) / 1e6;
    double coloured = 0;
    if (colour) {
        QElapsedTimer t;
        t.start();
        keyAndRepaint(form, QKeySequence(QStringLiteral("Ctrl+H")));
        coloured = double(t.nsecsElapsed()) / 1e6;
        if (!form.box()->colourAt(1).has_value() && !form.box()->colourAt(0).has_value())
            std::fputs("warning: Ctrl+H coloured nothing at the start of the page\n", stderr);
    }
    const double size = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("%-42s start to first paint %8.1f ms", qPrintable(QFileInfo(path).fileName()), firstPaint);
    if (colour)
        std::printf("   Ctrl+H %7.1f ms", coloured);
    std::printf("   peak memory %7.1f MB (%.1f x file size)\n", peakMegabytes(), peakMegabytes() / size);
    return 0;
}

int colourTable(const QStringList& paths) {
    std::printf("%-40s %10s %12s %14s %12s\n", "page", "engine MB/s", "Ctrl+H ms", "literal pass ms",
                "ratio");
    for (const QString& path : paths) {
        const ReadResult file = document_file::read(path);
        const double mb = double(QFileInfo(path).size()) / 1e6;
        const double engine = medianMs(7, [&] { (void)runHtmlPass(file.text, HiddenFields{}); });
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->loadText(file.text);
        showActive(form);
        form.box()->viewport()->repaint();
        const double ctrlH =
            medianMs(5, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("Ctrl+H"))); });
        const double literal = medianMs(1, [&] {
            ReferenceBox box{file.text, {}, 0, 0};
            box.htmlPass(HiddenFields{});
        });
        std::printf("%-40s %10.0f %12.1f %14.0f %11.0fx\n", qPrintable(QFileInfo(path).fileName()),
                    mb / (engine / 1000), ctrlH, literal, literal / ctrlH);
    }
    return 0;
}

void typingIn(const QString& label, const QString& text) {
    ScriptedDialogs dialogs;
    Form1 form(dialogs);
    form.box()->loadText(text);
    showActive(form);
    form.htmlz_Click();
    form.box()->viewport()->repaint();
    const int n = int(text.size());
    std::printf("%-30s", qPrintable(label));
    for (auto [where, pos] : {std::pair{"start", 0}, std::pair{"middle", n / 2}, std::pair{"end", n}}) {
        form.box()->setSelStart(pos);
        form.box()->ensureCursorVisible();
        form.box()->viewport()->repaint();
        const double ms = medianMs(21, [&] { keyAndRepaint(form, QKeySequence(QStringLiteral("x"))); });
        std::printf("  %s %6.2f ms", where, ms);
    }
    std::printf("\n");
}

int files(const QString& path) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.html"));
    QFile::copy(path, copy);
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    ScriptedDialogs dialogs;
    Form1 form(dialogs);
    const double open = medianMs(7, [&] {
        dialogs.answer(copy);
        form.box()->loadText(QString());
        form.openz_Click();
    });
    const double save = medianMs(7, [&] { form.savez_Click(); });
    ReadResult file;
    const double read = medianMs(7, [&] { file = document_file::read(copy); });
    const double load = medianMs(7, [&] { form.box()->loadText(file.text); });
    std::printf("  of which: read and decode %7.1f ms, into the edit area %7.1f ms\n", read, load);
    std::printf("%-40s open %7.1f ms   save %7.1f ms (median of 7)\n", qPrintable(QFileInfo(path).fileName()),
                open, save);
    return 0;
}
} // namespace

int main(int argc, char* argv[]) {
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() >= 2 && args[0] == QStringLiteral("startup"))
        return startup(args[1], args.contains(QStringLiteral("--colour")));
    if (args.size() >= 2 && args[0] == QStringLiteral("colour")) {
        colourTable(args.mid(1));
        for (const QString& path : args.mid(1))
            if (QFileInfo(path).size() > 4000000)
                typingIn(QStringLiteral("typing, coloured ") + QFileInfo(path).fileName().left(12),
                         document_file::read(path).text);
        QString line;
        while (line.size() < 60000)
            line += QStringLiteral("<a href=\"x.htm\">link</a> ");
        typingIn(QStringLiteral("typing, one 60,000-char line"), line);
        return 0;
    }
    if (args.size() >= 2 && args[0] == QStringLiteral("files"))
        return files(args[1]);
    std::fputs("usage: bench_editor startup FILE [--colour] | colour FILE... | files FILE\n", stderr);
    return 2;
}
