// Runs the document reader or writer in a process of its own, so that tests can run them as
// another user, under a memory limit, or kill them half way through a save.
//
//   document_probe [--as-nobody] [--memory-limit MB] read FILE         prints the error number
//   document_probe [--as-nobody] [--memory-limit MB] write FILE TEXT   prints the error number
//   document_probe save-loop FILE A B   saves the bytes of file A, then of B, and so on, until killed
//   document_probe replace-all FOLDER FIND REPLACEMENT   Replace All in Files, on every core, as the
//                                                       Find in Files panel does
#include "document/document_file.h"
#include "site/file_search.h"

#include <QCoreApplication>
#include <QFile>
#include <QtConcurrent/QtConcurrentMap>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {
QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
#ifdef Q_OS_UNIX
    if (args.value(0) == QStringLiteral("--as-nobody")) {
        args.removeFirst();
        const gid_t groups[] = {65534};
        if (::setgroups(1, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            return 120;
    }
    if (args.value(0) == QStringLiteral("--memory-limit")) {
        const rlimit limit{rlim_t(args.value(1).toULongLong()) << 20, rlim_t(args.value(1).toULongLong())
                                                                          << 20};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            return 121;
        args = args.mid(2);
    }
#endif
    const QString command = args.value(0);
    if (command == QStringLiteral("read") && args.size() == 2) {
        const ReadResult result = document_file::read(args[1]);
        std::printf("%d\n%s\n", result.error.number, qPrintable(result.error.description));
        return 0;
    }
    if (command == QStringLiteral("write") && args.size() == 3) {
        std::printf("%d\n", document_file::write(args[1], args[2].toUtf8()).number);
        return 0;
    }
    if (command == QStringLiteral("save-loop") && args.size() == 4) {
        const QByteArray versions[] = {bytesOf(args[2]), bytesOf(args[3])};
        for (unsigned i = 0;; ++i)
            if (const FileError error = document_file::write(args[1], versions[i % 2])) {
                std::fprintf(stderr, "%s\n", qPrintable(error.description));
                return 1;
            }
    }
    if (command == QStringLiteral("replace-all") && args.size() == 4) {
        QStringList files;
        for (const folder_walk::File& file : file_search::listFiles(args[1], {QStringLiteral("*")}).files)
            files << file.path;
        const TextSearch search(args[2], {true, false, false});
        QtConcurrent::blockingMap(files, [&](const QString& path) { file_search::replaceInFile(path, search, args[3]); });
        return 0;
    }
    std::fputs("usage: document_probe [--as-nobody] [--memory-limit MB] read FILE | write FILE TEXT | "
               "save-loop FILE A B | replace-all FOLDER FIND REPLACEMENT\n",
               stderr);
    return 2;
}
