// tagloom-colour: colours a file as the editor does and writes it to standard output with 24-bit
// ANSI colours, or (--runs) as one line per coloured run: start, length, colour and, for the HTML5
// scheme, its kind (css-selector, js-keyword, ...). A page is coloured as the "HTML File" command
// does (the classic pass, or with --scheme html5 the HTML5 scheme); a style sheet, a script or
// JSON (by its name, or --language) with its own lexer.
#include "base/memory_advice.h"
#include "colouring/html5_scheme.h"
#include "colouring/html_pass.h"
#include "colouring/language.h"
#include "document/document_file.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <cstdio>
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {
int usage() {
    std::fputs("usage: tagloom-colour [--runs] [--scheme classic|html5] [--language html|css|js|json|xml|plain] FILE\n",
               stderr);
    return 2;
}

const QByteArray reset = QByteArrayLiteral("\x1b[0m");

// Only real trouble is worth a line on standard error: not Qt's notes about the environment.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tagloom-colour: %s\n", qPrintable(message));
}
} // namespace

int main(int argc, char* argv[]) {
#ifdef Q_OS_WIN
    // The file's own line ends are written as they are: no \r added before each \n.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    // The big buffers below come and go once each.
    keepLargeBuffersInHeap();
    bool runs = false;
    bool html5 = false;
    std::optional<Language> chosenLanguage;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = true;
        } else if (std::strcmp(argv[i], "--scheme") == 0 && i + 1 < argc) {
            const char* scheme = argv[++i];
            if (std::strcmp(scheme, "html5") != 0 && std::strcmp(scheme, "classic") != 0)
                return usage();
            html5 = std::strcmp(scheme, "html5") == 0;
        } else if (std::strcmp(argv[i], "--language") == 0 && i + 1 < argc) {
            chosenLanguage = language::fromId(QString::fromLatin1(argv[++i]));
            if (!chosenLanguage)
                return usage();
        } else if (!path)
            path = argv[i];
        else
            return usage();
    }
    if (!path)
        return usage();
    // The system grey is the running style's; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "minimal");
    qInstallMessageHandler(quietHandler);
    QGuiApplication app(argc, argv);

    // Mapped rather than read: one copy of a big page fewer. A file that cannot be mapped (empty,
    // or a pipe) goes through the editor's reader.
    ReadResult file;
    QFile input(QString::fromLocal8Bit(path));
    // The editor's rules: regular files only, and none bigger than it would open.
    const bool regular = QFileInfo(input.fileName()).isFile();
    const qint64 size = regular && input.open(QIODevice::ReadOnly) ? input.size() : 0;
    if (size > document_file::kLargestDocument) {
        std::fprintf(stderr, "tagloom-colour: %s: the file is too large to edit (%lld MB)\n", path,
                     static_cast<long long>(size >> 20));
        return 1;
    }
    if (uchar* mapped = size > 0 ? input.map(0, size) : nullptr) {
#ifdef Q_OS_LINUX
        // Ask for the whole file at once rather than page by page.
        madvise(mapped, size_t(size), MADV_WILLNEED);
#endif
        file.text = document_file::decode(
            QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), qsizetype(size)), &file.format);
        input.unmap(mapped);
    } else {
        file = document_file::read(QString::fromLocal8Bit(path));
    }
    if (file.error) {
        std::fprintf(stderr, "tagloom-colour: %s\n", qPrintable(file.error.description));
        return 1;
    }
    const Language language = chosenLanguage ? *chosenLanguage : language::detect(QString::fromLocal8Bit(path), file.text);
    // Style sheets and scripts have one colouring, their lexer's, with the HTML5 scheme's colours.
    html5 = html5 || !language::isMarkup(language);
    PassResult pass;
    if (html5)
        pass.colours = html5_scheme::colourText(file.text, language);
    else
        pass = runHtmlPass(file.text);
    const std::span<const Colour> colourPalette = html5 ? std::span<const Colour>(html5_scheme::kPalette)
                                                        : std::span<const Colour>(kPassPalette);
    const QPalette palette = QGuiApplication::palette();
    std::vector<QByteArray> escapes(colourPalette.size());
    std::vector<QByteArray> hex(colourPalette.size());
    for (size_t i = 1; i < colourPalette.size(); ++i) {
        const QColor c = resolveColour(colourPalette[i], palette);
        escapes[i] =
            QStringLiteral("\x1b[38;2;%1;%2;%3m").arg(c.red()).arg(c.green()).arg(c.blue()).toLatin1();
        hex[i] = QStringLiteral("%1%2%3")
                     .arg(c.red(), 2, 16, QLatin1Char('0'))
                     .arg(c.green(), 2, 16, QLatin1Char('0'))
                     .arg(c.blue(), 2, 16, QLatin1Char('0'))
                     .toUpper()
                     .toLatin1();
    }

    const QString& text = file.text;
    const auto& colours = pass.colours;
    const qsizetype n = text.size();
    std::string out;
    if (runs) {
        qsizetype start = 0;
        while (start < n) {
            qsizetype end = start + 1;
            while (end < n && colours[size_t(end)] == colours[size_t(start)])
                ++end;
            if (const std::uint8_t c = colours[size_t(start)]; c != Plain) {
                out += std::to_string(start) + ' ' + std::to_string(end - start) + ' ' + hex[c].toStdString();
                if (html5) // kinds may share a colour: each run says which it is
                    out += std::string(" ") + html5_scheme::kColourNames[c];
                out += '\n';
            }
            start = end;
        }
        if (!html5) // the pass's selection; the HTML5 scheme moves nothing
            out += "selection " + std::to_string(pass.selection.start) + ' ' +
                   std::to_string(pass.selection.length) + '\n';
    } else {
        // Encoded by hand into a small buffer that is flushed as it fills: a string per coloured
        // run, or one buffer for the whole page, would cost more than the colouring itself.
        constexpr size_t kChunk = 1 << 20;
        out.resize(kChunk + 64);
        char* o = out.data();
        char* const limit = out.data() + kChunk;
        const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
        std::uint8_t current = Plain;
        for (qsizetype i = 0; i < n; ++i) {
            if (o >= limit) {
                std::fwrite(out.data(), 1, size_t(o - out.data()), stdout);
                o = out.data();
            }
            if (const std::uint8_t c = colours[size_t(i)]; c != current) {
                const QByteArray& code = c != Plain ? escapes[c] : reset;
                std::memcpy(o, code.constData(), size_t(code.size()));
                o += code.size();
                current = c;
            }
            const char32_t u = in[i];
            if (u < 0x80) {
                *o++ = char(u);
            } else if (u < 0x800) {
                *o++ = char(0xC0 | (u >> 6));
                *o++ = char(0x80 | (u & 0x3F));
            } else if (u >= 0xD800 && u < 0xDC00 && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000) {
                const char32_t cp = 0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00);
                *o++ = char(0xF0 | (cp >> 18));
                *o++ = char(0x80 | ((cp >> 12) & 0x3F));
                *o++ = char(0x80 | ((cp >> 6) & 0x3F));
                *o++ = char(0x80 | (cp & 0x3F));
                ++i; // both halves share the colour of the first
            } else {
                *o++ = char(0xE0 | (u >> 12));
                *o++ = char(0x80 | ((u >> 6) & 0x3F));
                *o++ = char(0x80 | (u & 0x3F));
            }
        }
        if (current != Plain) {
            std::memcpy(o, reset.constData(), size_t(reset.size()));
            o += reset.size();
        }
        out.resize(size_t(o - out.data()));
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    // Output that could not be written is a failure, not a success with nothing to show.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tagloom-colour: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
