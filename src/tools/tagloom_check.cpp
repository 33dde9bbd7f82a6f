// tagloom-check: checks HTML files as the editor's Check Tags command does and prints one line per
// problem, FILE:LINE:COLUMN: error|warning: message. Exits 1 when a file has an error or cannot
// be read, 0 otherwise, so that scripts and CI can stop on a broken page.
#include "checking/tag_check.h"
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
                   "columns count characters. Exits 1 when any file has an error or cannot be read.\n",
                   argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    bool failed = false;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const ReadResult file = document_file::read(path);
        if (file.error) {
            std::fprintf(stderr, "tagloom-check: %s\n", qPrintable(file.error.description));
            failed = true;
            continue;
        }
        for (const TagProblem& p : checkTags(file.text)) {
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
    return failed ? 1 : 0;
}
