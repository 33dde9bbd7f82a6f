// tagloom-check: checks HTML files as the editor's Check Tags command does and prints one line per
// problem, FILE:LINE:COLUMN: error|warning: message. Exits 1 when a file has an error or cannot
// be read, 2 when a page is beyond what can be checked (nested too deep, or too slow for HTML
// Tidy), 0 otherwise, so that scripts and CI can stop on a broken page.
#include "checking/safe_check.h"
#include "document/document_file.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: tagloom-check FILE...\n"
                   "Prints FILE:LINE:COLUMN: error|warning: message for each problem HTML Tidy finds;\n"
                   "columns count characters. Exits 1 when any file has an error or cannot be read,\n"
                   "2 when a page is beyond what can be checked (nested too deep, or too slow).\n",
                   argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    bool failed = false;
    bool unchecked = false;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const ReadResult file = document_file::read(path);
        if (file.error) {
            std::fprintf(stderr, "tagloom-check: %s\n", qPrintable(file.error.description));
            failed = true;
            continue;
        }
        const safe_check::Result result = safe_check::check(file.text, {}, safe_check::timeLimitMs(file.text.size()));
        if (!result.failure.isEmpty()) {
            std::fprintf(stderr, "tagloom-check: %s: %s\n", argv[i], qPrintable(result.failure));
            unchecked = true;
            continue;
        }
        for (const TagProblem& p : result.problems) {
            const bool error = p.kind == TagProblem::Kind::Error;
            failed = failed || error;
            out += argv[i];
            out += ':' + std::to_string(p.line) + ':' + std::to_string(p.column) +
                   (error ? ": error: " : ": warning: ") + p.message.toStdString() + '\n';
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tagloom-check: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return unchecked ? 2 : failed ? 1 : 0;
}
