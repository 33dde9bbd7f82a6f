#include "file_error.h"

#include <QDir>
#include <cerrno>
#include <cstring>

namespace file_error {
namespace {
QString describe(int number) {
    switch (number) {
    case kOutOfMemory:
        return QStringLiteral("Out of memory");
    case kFileNotFound:
        return QStringLiteral("File not found");
    case kBadFileMode:
        return QStringLiteral("Bad file mode");
    case kDiskFull:
        return QStringLiteral("Disk full");
    case kPathFileAccess:
        return QStringLiteral("Path/File access error");
    case kPathNotFound:
        return QStringLiteral("Path not found");
    default:
        return QStringLiteral("Device I/O error");
    }
}
} // namespace

FileError failure(int number, const QString& reason, const QString& path) {
    QString text = describe(number);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    return {number, text + QLatin1Char('\n') + QDir::toNativeSeparators(path)};
}

FileError fromErrno(int err, const QString& path) {
    int number = kDeviceIo;
    switch (err) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        number = kDiskFull;
        break;
    case ENOENT:
    case ENOTDIR:
        number = kPathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ETXTBSY:
    case ELOOP:
        number = kPathFileAccess;
        break;
    default:
        break;
    }
    return failure(number, QString::fromLocal8Bit(std::strerror(err)), path);
}
} // namespace file_error
