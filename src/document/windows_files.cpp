#include "windows_files.h"

#include "file_identity.h"
#include "held_lock.h"

#include <QDir>
#include <QFileInfo>

namespace windows_files {

std::wstring native(const QString& path) {
    QString name = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    // Past MAX_PATH only the \\?\ form reaches a file; it takes the name as it is, so it is
    // given only clean absolute names.
    if (name.size() >= 240 && !name.startsWith(QLatin1String("\\\\?\\")))
        name = name.startsWith(QLatin1String("\\\\")) ? QStringLiteral("\\\\?\\UNC\\") + name.mid(2)
                                                      : QStringLiteral("\\\\?\\") + name;
    return name.toStdWString();
}

FileError failureOf(unsigned long error, const QString& path) {
    using namespace file_error;
    int number = kDeviceIo;
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
        number = kDiskFull;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        number = kPathNotFound;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        number = kPathFileAccess;
        break;
    default:
        break;
    }
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   DWORD(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString reason = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("system error %1").arg(error);
    if (text)
        LocalFree(text);
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return failure(number, reason, path);
}

QString fileId(const BY_HANDLE_FILE_INFORMATION& info) {
    const quint64 index = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return QString::number(info.dwVolumeSerialNumber, 16) + QLatin1Char('.') + QString::number(index, 16);
}

Kind kindOf(const QString& path) {
    const DWORD attributes = GetFileAttributesW(native(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::None : Kind::Other;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Kind::Folder;
    // Opened for no access at all, which a device or a pipe allows without waiting.
    Handle file(CreateFileW(native(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return Kind::Other;
    return GetFileType(file.get()) == FILE_TYPE_DISK ? Kind::File : Kind::Other;
}

} // namespace windows_files

using windows_files::native;

FileIdentity FileIdentity::of(const QString& path) {
    FileIdentity id;
    if (path.isEmpty())
        return id;
    windows_files::Handle file(CreateFileW(native(path).c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info))
        return id;
    const auto nanoseconds = [](const FILETIME& time) {
        return qint64((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime) * 100;
    };
    id.exists = true;
    id.size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    id.modifiedNs = nanoseconds(info.ftLastWriteTime);
    // Windows keeps no status change time; the creation time changes when a file is replaced.
    id.statusChangedNs = nanoseconds(info.ftCreationTime);
    id.inode = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    id.device = info.dwVolumeSerialNumber;
    id.ownedByUser = true;
    return id;
}

bool HeldLock::tryLock() {
    if (held())
        return true;
    HANDLE file = CreateFileW(native(path_).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // The system lets go of the lock when the process ends, however it ends.
    OVERLAPPED at{};
    if (GetFileType(file) != FILE_TYPE_DISK ||
        !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<qintptr>(file);
    return true;
}

void HeldLock::release() {
    if (!held())
        return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}
