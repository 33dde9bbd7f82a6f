// tagloom-colour: colours an HTML file as the editor's "HTML File" command does and writes it to
// standard output with 24-bit ANSI colours, or (--runs) as one line per coloured run.
#include "colouring/html_pass.h"
#include "shell/document_file.h"

#include <QGuiApplication>
#include <QPalette>
#include <cstdio>
#include <cstring>

namespace {
int usage() {
    std::fputs("usage: tagloom-colour [--runs] FILE\n", stderr);
    return 2;
}

void writeAll(const QByteArray& bytes) { std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout); }
} // namespace

int main(int argc, char* argv[]) {
    bool runs = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = true;
        else if (!path)
            path = argv[i];
        else
            return usage();
    }
    if (!path)
        return usage();
    // The system grey is the running style's; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const ReadResult file = document_file::read(QString::fromLocal8Bit(path));
    if (file.error) {
        std::fprintf(stderr, "tagloom-colour: %s\n", qPrintable(file.error.description));
        return 1;
    }
    const PassResult pass = runHtmlPass(file.text, HiddenFields{});
    const QPalette palette = QGuiApplication::palette();
    QByteArray escapes[std::size(kPassPalette)];
    QByteArray hex[std::size(kPassPalette)];
    for (size_t i = 1; i < std::size(kPassPalette); ++i) {
        const QColor c = resolveColour(kPassPalette[i], palette);
        escapes[i] = QStringLiteral("\x1b[38;2;%1;%2;%3m").arg(c.red()).arg(c.green()).arg(c.blue()).toLatin1();
        hex[i] = QStringLiteral("%1%2%3")
                     .arg(c.red(), 2, 16, QLatin1Char('0'))
                     .arg(c.green(), 2, 16, QLatin1Char('0'))
                     .arg(c.blue(), 2, 16, QLatin1Char('0'))
                     .toUpper()
                     .toLatin1();
    }

    const QString& text = file.text;
    const auto& colours = pass.colours;
    QByteArray out;
    out.reserve(runs ? 1 << 20 : text.size() + text.size() / 4);
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = start + 1;
        while (end < n && colours[size_t(end)] == colours[size_t(start)])
            ++end;
        const std::uint8_t c = colours[size_t(start)];
        if (runs) {
            if (c != Plain)
                out += QByteArray::number(start) + ' ' + QByteArray::number(end - start) + ' ' + hex[c] + '\n';
        } else {
            // A coloured run starts with its colour; the default resumes with a reset.
            if (c != Plain)
                out += escapes[c];
            else if (start > 0)
                out += "\x1b[0m";
            out += QStringView(text).mid(start, end - start).toUtf8();
        }
        start = end;
    }
    if (!runs && n > 0 && colours[size_t(n - 1)] != Plain)
        out += "\x1b[0m";
    if (runs)
        out += "selection " + QByteArray::number(pass.selection.start) + ' ' +
               QByteArray::number(pass.selection.length) + '\n';
    writeAll(out);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
