#include "memory_budget.h"

#include "base/memory_promises.h"

#include <QFile>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace memory_budget {

qint64 documentNeed(qint64 fileBytes, qint64 lines) {
    // The file's bytes and the decoded text (two bytes a character) while it goes in, and what
    // the edit area keeps.
    return fileBytes + 2 * fileBytes + memory_promises::editorCost(fileBytes, lines);
}

QString shortfall(qint64 fileBytes, qint64 lines) {
    const qint64 need = documentNeed(fileBytes, lines);
    const std::optional<qint64> free = available();
    if (!free || need <= *free)
        return {};
    return QStringLiteral("opening it would need about %1 MB of memory, and %2 MB are free").arg(need >> 20).arg(*free >> 20);
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
        // Address space runs out sooner than memory: the allocator reserves more than it fills
        // (a page of 150,000 short lines takes 1.34 times its need in address space, measured
        // with tabs_probe), so what is left counts for two thirds.
        const qint64 left = std::max<qint64>(0, qint64(limit.rlim_cur) - used) * 2 / 3;
        free = free ? std::min(*free, left) : left;
    }
#endif
    // What pages still loading will take is as good as taken.
    if (free)
        free = std::max<qint64>(0, *free - memory_promises::total());
    return free;
}

} // namespace memory_budget
