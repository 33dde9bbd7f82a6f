#include "file_writer.h"

#include "windows_files.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <optional>

#include <windows.h>
#include <aclapi.h>

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

// Gives the new file what the old one had that a new file in the same folder does not get by
// itself: its attributes, its creation time and, when it has permissions of its own (not only
// those its folder hands down), those. False when that cannot be done, or when the old file has
// another owner or alternate data streams, which a new file cannot take: then it keeps its
// identity and is written in place.
bool takeOver(HANDLE temporary, const QString& target, DWORD* attributes) {
    Handle old(CreateFileW(native(target).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!old.valid())
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(old.get(), &info))
        return false;
    WIN32_FIND_STREAM_DATA stream{};
    const HANDLE streams = FindFirstStreamW(native(target).c_str(), FindStreamInfoStandard, &stream, 0);
    if (streams != INVALID_HANDLE_VALUE) {
        const bool more = FindNextStreamW(streams, &stream);
        FindClose(streams);
        if (more)
            return false; // a stream beside ::$DATA
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = GetSecurityInfo(old.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                      &owner, nullptr, &dacl, nullptr, &descriptor);
    if (got == ERROR_SUCCESS) {
        const auto release = qScopeGuard([&] { LocalFree(descriptor); });
        // Another user's file cannot be made anew as theirs.
        Handle token;
        HANDLE tokenHandle = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &tokenHandle))
            token = Handle(tokenHandle);
        char userBuffer[256];
        DWORD userSize = 0;
        if (token.valid() && GetTokenInformation(token.get(), TokenUser, userBuffer, sizeof userBuffer, &userSize) &&
            owner && !EqualSid(owner, reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid))
            return false;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(descriptor, &control, &revision);
        bool ownEntries = (control & SE_DACL_PROTECTED) != 0;
        for (DWORD i = 0; dacl && i < dacl->AceCount && !ownEntries; ++i) {
            ACE_HEADER* entry = nullptr;
            if (GetAce(dacl, i, reinterpret_cast<void**>(&entry)) && !(entry->AceFlags & INHERITED_ACE))
                ownEntries = true;
        }
        if (ownEntries &&
            SetSecurityInfo(temporary, SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                                        : UNPROTECTED_DACL_SECURITY_INFORMATION),
                            nullptr, nullptr, dacl, nullptr) != ERROR_SUCCESS)
            return false;
    } else if (got != ERROR_NOT_SUPPORTED && got != ERROR_CALL_NOT_IMPLEMENTED) {
        return false;
    }
    *attributes = info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return SetFileTime(temporary, &info.ftCreationTime, nullptr, nullptr);
}

// Replaces the file through a temporary file beside it, renamed over it in one step (a rename
// within a folder, which a killed save never leaves half done). Reports KeepIdentity, with
// nothing changed, when the folder takes no new file or the new file cannot take the old one's
// owner, permissions or streams.
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
    const auto abandon = [&](Outcome outcome, DWORD err) {
        file.close();
        DeleteFileW(native(temp).c_str());
        if (outcome == Outcome::Failed)
            *error = windows_files::failureOf(err, path);
        return outcome;
    };
    DWORD attributes = 0;
    if (exists && !takeOver(file.get(), target, &attributes)) {
        if (qEnvironmentVariableIsSet("TAGLOOM_DEBUG_SAVES"))
            qWarning("in place: the new file cannot take the old one's place (%lu)", GetLastError());
        return abandon(Outcome::KeepIdentity, 0);
    }
    if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get()))
        return abandon(Outcome::Failed, GetLastError());
    file.close();
    if (attributes != 0 && !SetFileAttributesW(native(temp).c_str(), attributes))
        return abandon(Outcome::KeepIdentity, 0);
    // Never over a file that appeared meanwhile when there was none. A virus scanner, an indexer or
    // a program that just ended may hold the file for a moment: the rename is tried for a second.
    const auto rename = [&] {
        return MoveFileExW(native(temp).c_str(), native(target).c_str(),
                           MOVEFILE_WRITE_THROUGH | (exists ? MOVEFILE_REPLACE_EXISTING : 0));
    };
    bool renamed = rename();
    for (int attempt = 0; !renamed && attempt < 20 && (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION);
         ++attempt) {
        Sleep(50);
        renamed = rename();
    }
    if (!renamed) {
        const DWORD err = GetLastError();
        DeleteFileW(native(temp).c_str());
        // Held open by a program that lets it be written but not replaced.
        if (exists && (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION)) {
            if (qEnvironmentVariableIsSet("TAGLOOM_DEBUG_SAVES"))
                qWarning("in place: the file cannot be replaced (%lu)", err);
            return Outcome::KeepIdentity;
        }
        *error = windows_files::failureOf(err, path);
        return Outcome::Failed;
    }
    return Outcome::Done;
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

// The program that writes a save in place: named by TAGLOOM_WRITER, else beside this program.
QString writerProgram() {
    QString named = qEnvironmentVariable("TAGLOOM_WRITER");
    if (named.isEmpty() && QCoreApplication::instance())
        named = QCoreApplication::applicationDirPath() + QStringLiteral("/tagloom-writer.exe");
    return QFileInfo(named).isFile() ? QFileInfo(named).absoluteFilePath() : QString();
}

// Runs the writer on @p from (the new bytes, complete) and @p target, and waits for it: its exit
// code, or nothing when it could not be started.
std::optional<DWORD> writeByWriterProgram(const QString& from, const QString& target) {
    const QString program = writerProgram();
    if (program.isEmpty())
        return std::nullopt;
    const std::wstring exe = native(program);
    std::wstring commandLine = L"\"" + exe + L"\" \"" + native(from) + L"\" \"" + native(target) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started))
        return std::nullopt;
    CloseHandle(started.hThread);
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD status = ERROR_WRITE_FAULT;
    GetExitCodeProcess(started.hProcess, &status);
    CloseHandle(started.hProcess);
    return status;
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
        // A file system that cannot reserve room is written without (as where fallocate is missing).
        if (!SetFileInformationByHandle(file.get(), FileAllocationInfo, &room, sizeof(room)) &&
            GetLastError() != ERROR_CALL_NOT_IMPLEMENTED && GetLastError() != ERROR_NOT_SUPPORTED &&
            GetLastError() != ERROR_INVALID_PARAMETER)
            return refuse(windows_files::failureOf(GetLastError(), path));
    }
    DWORD backupError = 0;
    const QString backup = writeBackup(target, windows_files::fileId(info), old, &backupError);
    if (backup.isEmpty() && (backupError == ERROR_DISK_FULL || backupError == ERROR_HANDLE_DISK_FULL))
        return refuse(failure(kDiskFull,
                              QStringLiteral("there is no room beside the file for a copy of its old content, "
                                             "which is kept until the save is done; the file is as it was"),
                              path));
    DWORD err = 0;
    bool wrote = false;
    // The new bytes go in by a process of their own, which finishes even if the editor is killed;
    // the file is let go of meanwhile, for it to write.
    QString newBytes;
    Handle staged = createTemporary(QFileInfo(target).absolutePath(), &newBytes);
    const bool stagedWhole = staged.valid() && writeAll(staged.get(), bytes) && FlushFileBuffers(staged.get());
    staged.close();
    std::optional<DWORD> byWriter;
    if (stagedWhole) {
        file.close();
        byWriter = writeByWriterProgram(newBytes, target);
        file = Handle(CreateFileW(native(target).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            DeleteFileW(native(newBytes).c_str());
            return windows_files::failureOf(GetLastError(), path); // the backup stays
        }
    }
    if (!newBytes.isEmpty() && (!byWriter || *byWriter != 0))
        DeleteFileW(native(newBytes).c_str());
    if (byWriter) {
        wrote = *byWriter == 0;
        err = wrote ? 0 : (*byWriter & 0x10000) ? (*byWriter & 0xFFFF) : ERROR_WRITE_FAULT;
    } else {
        // No writer program (or no room for the new bytes beside the file): written from here.
        wrote = replaceContent(file.get(), bytes);
        err = wrote ? 0 : GetLastError();
    }
    if (!wrote) {
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
