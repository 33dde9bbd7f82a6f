#include "file_writer.h"

#include "windows_files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

namespace file_writer {
namespace {
using namespace file_error;
using windows_files::Handle;
using windows_files::native;

const QString kTempPrefix = QStringLiteral(".tgl-");
const QString kBackupPrefix = QStringLiteral(".tgl-backup-");
const QString kPreviewPrefix = QStringLiteral(".tgl-preview-");
constexpr int kBackupDays = 7;
// A save holds its temporary file open, which keeps it from being deleted; between closing it
// and replacing the file a few milliseconds pass. Older ones are a killed save's.
constexpr qint64 kStaleTemporarySeconds = 600;

QString sixRandomCharacters() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString out;
    for (int i = 0; i < 6; ++i)
        out += QLatin1Char(kLetters[QRandomGenerator::system()->bounded(int(sizeof(kLetters) - 1))]);
    return out;
}

bool writeAll(HANDLE file, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(left, 1 << 30));
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

// A new temporary file in @p folder, created there (never opened if it exists) and shared with
// nobody for writing or deleting while it is open.
Handle createTemporary(const QString& folder, QString* name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = folder + QLatin1Char('/') + kTempPrefix + sixRandomCharacters();
        Handle file(CreateFileW(native(*name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid() || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return Handle();
}

enum class Outcome { Done, Failed, KeepIdentity };

// Replaces the file through a temporary file beside it. ReplaceFileW gives the new file the old
// one's ACL, attributes, alternate streams and creation time. Reports KeepIdentity, with nothing
// changed, when the folder takes no new file or the old file cannot be replaced.
Outcome replaceThroughTemporary(const QString& path, const QString& target, bool exists, const QByteArray& bytes,
                                FileError* error) {
    QString temp;
    Handle file = createTemporary(QFileInfo(target).absolutePath(), &temp);
    if (!file.valid()) {
        const DWORD err = GetLastError();
        if (exists && err == ERROR_ACCESS_DENIED)
            return Outcome::KeepIdentity;
        *error = windows_files::failureOf(err, path);
        return Outcome::Failed;
    }
    const auto abandon = [&](DWORD err) {
        file.close();
        DeleteFileW(native(temp).c_str());
        *error = windows_files::failureOf(err, path);
        return Outcome::Failed;
    };
    if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get()))
        return abandon(GetLastError());
    file.close();
    if (!exists) {
        // Never over a file that appeared meanwhile.
        if (!MoveFileExW(native(temp).c_str(), native(target).c_str(), MOVEFILE_WRITE_THROUGH))
            return abandon(GetLastError());
        return Outcome::Done;
    }
    if (ReplaceFileW(native(target).c_str(), native(temp).c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr))
        return Outcome::Done;
    const DWORD err = GetLastError();
    // Both names stand as they were: the old file is untouched.
    DeleteFileW(native(temp).c_str());
    if (err == ERROR_UNABLE_TO_REMOVE_REPLACED || err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION)
        return Outcome::KeepIdentity; // held open by a program that lets it be written, not replaced
    *error = windows_files::failureOf(err, path);
    return Outcome::Failed;
}

// Writes a complete copy of @p old beside the file, named only once complete.
QString writeBackup(const QString& target, const QString& fileId, const QByteArray& old, DWORD* err) {
    QString temp;
    Handle file = createTemporary(QFileInfo(target).absolutePath(), &temp);
    if (!file.valid()) {
        *err = GetLastError();
        return {};
    }
    const QString name = QFileInfo(target).absolutePath() + QLatin1Char('/') + kBackupPrefix + fileId +
                         QLatin1Char('-') + temp.right(6);
    if (!writeAll(file.get(), old) || !FlushFileBuffers(file.get())) {
        *err = GetLastError();
        file.close();
        DeleteFileW(native(temp).c_str());
        return {};
    }
    file.close();
    if (!MoveFileExW(native(temp).c_str(), native(name).c_str(), MOVEFILE_WRITE_THROUGH)) {
        *err = GetLastError();
        DeleteFileW(native(temp).c_str());
        return {};
    }
    return name;
}

// The file's content becomes @p bytes: the room reserved first, then written, cut and flushed.
bool replaceContent(HANDLE file, const QByteArray& bytes) {
    LARGE_INTEGER start{};
    LARGE_INTEGER size{};
    size.QuadPart = bytes.size();
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && writeAll(file, bytes) &&
           SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file) && FlushFileBuffers(file);
}

FileError writeInPlace(const QString& path, const QString& target, const QByteArray& bytes) {
    Handle file(CreateFileW(native(target).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return windows_files::failureOf(GetLastError(), path);
    BY_HANDLE_FILE_INFORMATION info{};
    FILETIME created{}, accessed{}, written{};
    if (!GetFileInformationByHandle(file.get(), &info) || !GetFileTime(file.get(), &created, &accessed, &written))
        return windows_files::failureOf(GetLastError(), path);
    // A refused save changes nothing, its times included.
    const auto refuse = [&](FileError error) {
        SetFileTime(file.get(), &created, &accessed, &written);
        return error;
    };
    const qint64 oldSize = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    QByteArray old;
    old.resize(oldSize);
    DWORD got = 0;
    qint64 done = 0;
    while (done < oldSize && ReadFile(file.get(), old.data() + done, DWORD(std::min<qint64>(oldSize - done, 1 << 30)), &got, nullptr) && got > 0)
        done += got;
    if (done != oldSize)
        return refuse(failure(kDeviceIo, QStringLiteral("the file could not be read back before it was written"), path));
    // Make sure the new bytes fit before a single old byte is touched.
    if (bytes.size() > oldSize) {
        FILE_ALLOCATION_INFO room{};
        room.AllocationSize.QuadPart = bytes.size();
        if (!SetFileInformationByHandle(file.get(), FileAllocationInfo, &room, sizeof(room)))
            return refuse(windows_files::failureOf(GetLastError(), path));
    }
    DWORD backupError = 0;
    const QString backup = writeBackup(target, windows_files::fileId(info), old, &backupError);
    if (backup.isEmpty() && (backupError == ERROR_DISK_FULL || backupError == ERROR_HANDLE_DISK_FULL))
        return refuse(failure(kDiskFull,
                              QStringLiteral("there is no room beside the file for a copy of its old content, "
                                             "which is kept until the save is done; the file is as it was"),
                              path));
    if (!replaceContent(file.get(), bytes)) {
        const DWORD err = GetLastError();
        const bool restored = replaceContent(file.get(), old);
        if (restored && !backup.isEmpty())
            DeleteFileW(native(backup).c_str());
        return restored ? refuse(windows_files::failureOf(err, path)) : windows_files::failureOf(err, path);
    }
    file.close();
    if (!backup.isEmpty())
        DeleteFileW(native(backup).c_str());
    return {};
}

} // namespace

FileError write(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    // A link stays a link: its target is what gets replaced.
    const QString target = info.isSymLink() ? QFileInfo(info.symLinkTarget()).absoluteFilePath() : info.absoluteFilePath();
    const QFileInfo targetInfo(target);
    if (!QFileInfo(targetInfo.absolutePath()).isDir())
        return failure(kPathNotFound, QStringLiteral("the folder does not exist"), path);
    const windows_files::Kind kind = windows_files::kindOf(target);
    if (kind == windows_files::Kind::Folder)
        return failure(kPathFileAccess, QStringLiteral("it is a folder"), path);
    if (kind == windows_files::Kind::Other)
        return failure(kPathFileAccess, QStringLiteral("it is not a regular file (a device or a pipe); nothing was written"),
                       path);
    const bool exists = kind == windows_files::Kind::File;
    BY_HANDLE_FILE_INFORMATION st{};
    if (exists) {
        const DWORD attributes = GetFileAttributesW(native(target).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return failure(kPathFileAccess, QStringLiteral("the file is read-only"), path);
        Handle probe(CreateFileW(native(target).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!probe.valid() || !GetFileInformationByHandle(probe.get(), &st))
            return windows_files::failureOf(GetLastError(), path);
    }
    removeStaleTemporaries(target);
    if (exists && st.nNumberOfLinks > 1)
        return writeInPlace(path, target, bytes);
    FileError error;
    switch (replaceThroughTemporary(path, target, exists, bytes, &error)) {
    case Outcome::Done:
        return {};
    case Outcome::Failed:
        return error;
    case Outcome::KeepIdentity:
        break;
    }
    return writeInPlace(path, target, bytes);
}

QString interruptedSaveBackup(const QString& path) {
    const QString target = QFileInfo(path).absoluteFilePath();
    Handle file(CreateFileW(native(target).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info))
        return {};
    const QString prefix = kBackupPrefix + windows_files::fileId(info) + QLatin1Char('-');
    const QDir folder = QFileInfo(target).absoluteDir();
    // Only what a save of ours made: a plain file with one name, named only once complete. The
    // newest, if a save was interrupted twice.
    QString found;
    QDateTime newest;
    for (const QFileInfo& entry : folder.entryInfoList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.isSymLink() || entry.fileName().size() != prefix.size() + 6 ||
            windows_files::kindOf(entry.absoluteFilePath()) != windows_files::Kind::File)
            continue;
        if (found.isEmpty() || entry.lastModified() > newest) {
            found = entry.absoluteFilePath();
            newest = entry.lastModified();
        }
    }
    return found;
}

void removeStaleTemporaries(const QString& path) {
    const QDir folder = QFileInfo(path).absoluteDir();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QFileInfo& entry : folder.entryInfoList({kTempPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString name = entry.fileName();
        const bool temporary = name.size() == kTempPrefix.size() + 6 && !name.startsWith(kBackupPrefix);
        const bool backup = name.startsWith(kBackupPrefix);
        const bool preview = name.startsWith(kPreviewPrefix);
        if ((!temporary && !backup && !preview) || entry.isSymLink())
            continue;
        const qint64 age = entry.lastModified().toUTC().secsTo(now);
        const qint64 limit = temporary ? kStaleTemporarySeconds : preview ? 24 * 3600 : kBackupDays * 24 * 3600;
        // A live save's temporary file is open and shared with nobody for deleting: this fails.
        if (age >= limit)
            DeleteFileW(native(entry.absoluteFilePath()).c_str());
    }
}

} // namespace file_writer
