#include "memory_budget.h"

#include <QFile>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace memory_budget {

qint64 documentNeed(qint64 fileBytes, qint64 lines) {
    // The file's bytes, the decoded text and the document's own copy (two bytes a character),
    // the colour model (one byte a character), and the bookkeeping of every line.
    return fileBytes + 2 * fileBytes * 2 + fileBytes + lines * kBytesPerLine;
}

std::optional<qint64> available() {
    std::optional<qint64> free;
#ifdef Q_OS_LINUX
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly))
        for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine())
            if (line.startsWith("MemAvailable:"))
                free = line.mid(13).trimmed().split(' ').value(0).toLongLong() * 1024;
    // A limit on the process's address space (ulimit -v) bounds it too.
    rlimit limit{};
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        statm.open(QIODevice::ReadOnly)) {
        const qint64 used = statm.readAll().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
        const qint64 left = std::max<qint64>(0, qint64(limit.rlim_cur) - used);
        free = free ? std::min(*free, left) : left;
    }
#endif
    return free;
}

} // namespace memory_budget
