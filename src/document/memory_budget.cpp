#include "memory_budget.h"

#include <QFile>

namespace memory_budget {

qint64 documentNeed(qint64 fileBytes, qint64 lines) {
    // The file's bytes, the decoded text and the document's own copy (two bytes a character),
    // the colour model (one byte a character), and the bookkeeping of every line.
    return fileBytes + 2 * fileBytes * 2 + fileBytes + lines * kBytesPerLine;
}

std::optional<qint64> available() {
#ifdef Q_OS_LINUX
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine())
        if (line.startsWith("MemAvailable:"))
            return line.mid(13).trimmed().split(' ').value(0).toLongLong() * 1024;
#endif
    return std::nullopt;
}

} // namespace memory_budget
