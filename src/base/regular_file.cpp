#include "regular_file.h"

#include <QFileInfo>
#include <QImageReader>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace regular_file {
namespace {
const QString kNotRegular = QStringLiteral("it is not a regular file (a device, a pipe or a socket)");

Opened refused(Refusal refusal, QString reason) {
    return {refusal, std::move(reason), 0};
}

#ifdef Q_OS_UNIX
Opened kindOf(const struct stat& st, qint64 largest) {
    if (S_ISDIR(st.st_mode))
        return refused(Refusal::Folder, QStringLiteral("it is a folder"));
    if (!S_ISREG(st.st_mode))
        return refused(Refusal::NotRegular, kNotRegular);
    if (st.st_size > largest)
        return refused(Refusal::TooBig, QStringLiteral("the file is too large (%1 MB)").arg(st.st_size >> 20));
    return {Refusal::None, {}, qint64(st.st_size)};
}
#endif
} // namespace

Opened open(QFile& file, const QString& path, qint64 largest) {
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // A look first, so that a device is not even opened (opening some has effects of its own).
    if (::stat(name.constData(), &st) != 0)
        return refused(errno == ENOENT || errno == ENOTDIR ? Refusal::Missing : Refusal::Unreadable,
                       QString::fromLocal8Bit(std::strerror(errno)));
    if (Opened kind = kindOf(st, largest); !kind)
        return kind;
    // Without blocking, in case a pipe was swapped in since the look; then the open file is asked.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refused(errno == ENOENT ? Refusal::Missing : Refusal::Unreadable,
                       QString::fromLocal8Bit(std::strerror(errno)));
    Opened kind = ::fstat(fd, &st) == 0 ? kindOf(st, largest)
                                         : refused(Refusal::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
    if (kind)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!kind || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return kind ? refused(Refusal::Unreadable, file.errorString()) : kind;
    }
    return kind;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return refused(Refusal::Missing, QStringLiteral("it does not exist"));
    if (info.isDir())
        return refused(Refusal::Folder, QStringLiteral("it is a folder"));
    if (!info.isFile())
        return refused(Refusal::NotRegular, kNotRegular);
    if (info.size() > largest)
        return refused(Refusal::TooBig, QStringLiteral("the file is too large (%1 MB)").arg(info.size() >> 20));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(Refusal::Unreadable, file.errorString());
    return {Refusal::None, {}, file.size()};
#endif
}

Read readAll(const QString& path, qint64 largest) {
    QFile file;
    Read read{{}, open(file, path, largest)};
    if (!read.opened)
        return read;
    // Bounded by the limit even if the file grows while it is read, and in pieces, since asking
    // for the whole bound at once would reserve it.
    read.bytes = file.read(std::min(read.opened.size, largest + 1));
    while (file.error() == QFileDevice::NoError && read.bytes.size() <= largest) {
        const QByteArray more = file.read(std::min<qint64>(1 << 20, largest + 1 - read.bytes.size()));
        if (more.isEmpty())
            break;
        read.bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        read.opened = refused(Refusal::ReadFailed, file.errorString());
    else if (read.bytes.size() > largest)
        read.opened = {Refusal::TooBig, QStringLiteral("the file is too large"), read.bytes.size()};
    return read;
}

QSize imageSize(const QString& path) {
    QFile file;
    if (!open(file, path, 256 * 1024 * 1024))
        return {};
    QImageReader reader(&file);
    return reader.size();
}

} // namespace regular_file
