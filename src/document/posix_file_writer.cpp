#include "file_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace file_writer {
namespace {
using namespace file_error;

constexpr char kTempPrefix[] = ".tgl-";
constexpr char kBackupPrefix[] = ".tgl-backup-";
constexpr int kBackupDays = 7;
constexpr char kPreviewPrefix[] = ".tgl-preview-";

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool writeAllAt(int fd, const char* data, qsizetype size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

void syncFolder(const QString& folder) {
    const int dir = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// Where a chain of symbolic links ends. Like the kernel's protected_symlinks, it does not follow
// a link that another user owns in a sticky world-writable folder such as /tmp.
struct Resolved {
    QString target;
    int err = 0;
};
Resolved resolveLinks(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        if (::lstat(native(current).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            return {current};
        struct stat folder {};
        const QString dir = folderOf(current);
        if (::stat(native(dir).constData(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            (folder.st_mode & S_IWOTH) && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid)
            return {current, EACCES};
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(native(current).constData(), buffer.data(), buffer.size() - 1);
        if (n < 0)
            return {current, errno};
        const QString target = QFile::decodeName(QByteArray(buffer.data(), n));
        current = QDir::cleanPath(QDir::isAbsolutePath(target) ? target : dir + QLatin1Char('/') + target);
    }
    return {current, ELOOP};
}

// Copies every extended attribute (POSIX ACLs among them) from one open file to another.
bool copyAttributes(int from, int to) {
    const ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP;
    std::vector<char> names(static_cast<size_t>(size) + 1);
    const ssize_t got = ::flistxattr(from, names.data(), names.size());
    if (got < 0)
        return false;
    for (const char* name = names.data(); name < names.data() + got; name += std::strlen(name) + 1) {
        const ssize_t valueSize = ::fgetxattr(from, name, nullptr, 0);
        if (valueSize < 0)
            return false;
        std::vector<char> value(static_cast<size_t>(valueSize) + 1);
        const ssize_t read = ::fgetxattr(from, name, value.data(), value.size());
        if (read < 0 || ::fsetxattr(to, name, value.data(), static_cast<size_t>(read), 0) != 0)
            return false;
    }
    return true;
}

enum class Outcome { Done, Failed, KeepIdentity };

// A new temporary file in @p folder (`.tgl-` and six random characters, mode 0600, ours), held
// under an exclusive flock until it is closed: removeStaleTemporaries() takes only files that
// no live save holds. Returns the descriptor and sets @p name, or -1 with errno set.
int createHeldTemporary(const QString& folder, QByteArray* name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = native(folder + QLatin1Char('/') + QLatin1String(kTempPrefix) + QStringLiteral("XXXXXX"));
        const int fd = ::mkostemp(name->data(), O_CLOEXEC);
        if (fd < 0)
            return -1;
        // Another save's clean-up may have taken the lock between mkostemp and here and removed
        // the name: then the file has no name left, and another is made.
        struct stat st {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0)
            return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Replaces the file through a temporary file that is renamed over it. Reports KeepIdentity,
// with nothing changed, when the new file could not take the old one's owner or attributes.
Outcome replaceThroughTemporary(const QString& path, const QString& target, const struct stat* old,
                                const QByteArray& bytes, FileError* error) {
    const QString folder = folderOf(target);
    QByteArray temp;
    const int fd = createHeldTemporary(folder, &temp);
    if (fd < 0) {
        // A folder we may not write holds a file we may: that file can still be written in place.
        if (old && (errno == EACCES || errno == EPERM))
            return Outcome::KeepIdentity;
        *error = fromErrno(errno, path);
        return Outcome::Failed;
    }
    auto abandon = [&](Outcome outcome, int err) {
        ::close(fd);
        ::unlink(temp.constData());
        if (outcome == Outcome::Failed)
            *error = fromErrno(err, path);
        return outcome;
    };
    if (old) {
        if (::fchmod(fd, old->st_mode & 07777) != 0)
            return abandon(Outcome::Failed, errno);
        const int source = ::open(native(target).constData(), O_RDONLY | O_CLOEXEC);
        const bool attributes = source >= 0 && copyAttributes(source, fd);
        if (source >= 0)
            ::close(source);
        // Owner and group last: once the file is another user's, we may no longer set its ACL.
        const bool owner = (old->st_uid == ::geteuid() && old->st_gid == ::getegid()) ||
                           ::fchown(fd, old->st_uid, old->st_gid) == 0;
        if (!attributes || !owner)
            return abandon(Outcome::KeepIdentity, 0);
        // Changing the owner may have dropped the set-id bits: put the mode back.
        ::fchmod(fd, old->st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0)
            return abandon(Outcome::Failed, errno);
    }
    if (!writeAllAt(fd, bytes.constData(), bytes.size(), 0) || ::fsync(fd) != 0)
        return abandon(Outcome::Failed, errno);
    // Renamed while still held, so that no clean-up ever sees the temporary name unheld.
    if (::rename(temp.constData(), native(target).constData()) != 0)
        return abandon(Outcome::Failed, errno);
    if (::close(fd) != 0) {
        *error = fromErrno(errno, path);
        return Outcome::Failed;
    }
    syncFolder(folder);
    return Outcome::Done;
}

// A backup's name: the file's inode, to find it by, and the random end of the temporary file it
// was written as, so that nobody can plant a file or a link under it beforehand.
QByteArray backupName(const QString& target, const struct stat& st, const QByteArray& temporary) {
    return native(folderOf(target) + QLatin1Char('/') + QLatin1String(kBackupPrefix) + QString::number(st.st_ino) +
                  QLatin1Char('-')) +
           temporary.right(6);
}

// Writes a complete copy of @p old beside the file: as a held temporary file, synced, and only
// then renamed to its backup name. Returns the name, or empty with errno set.
QByteArray writeBackup(const QString& target, const struct stat& st, const QByteArray& old) {
    QByteArray temp;
    const int fd = createHeldTemporary(folderOf(target), &temp);
    if (fd < 0)
        return {};
    const QByteArray name = backupName(target, st, temp);
    if (!writeAllAt(fd, old.constData(), old.size(), 0) || ::fsync(fd) != 0 ||
        ::rename(temp.constData(), name.constData()) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.constData());
        errno = err;
        return {};
    }
    ::close(fd);
    syncFolder(folderOf(target));
    return name;
}

// The file's content becomes @p bytes, durably. Async-signal-safe, for the child below.
bool replaceContent(int fd, const QByteArray& bytes) {
    return writeAllAt(fd, bytes.constData(), bytes.size(), 0) && ::ftruncate(fd, bytes.size()) == 0 &&
           ::fsync(fd) == 0;
}

// Writes @p bytes over the file's own content, in a child process: if the editor dies half way,
// the child still finishes. Returns 0 or an errno value.
int overwriteInChild(int fd, const QByteArray& bytes) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(replaceContent(fd, bytes) ? 0 : (errno & 0x7F));
    if (child < 0) // no process to spare: do it here
        return replaceContent(fd, bytes) ? 0 : errno;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return errno;
    if (!WIFEXITED(status))
        return EIO;
    return WEXITSTATUS(status);
}

FileError writeInPlace(const QString& path, const QString& target, const struct stat& st,
                       const QByteArray& bytes) {
    const int fd = ::open(native(target).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return fromErrno(errno, path);
    // A refused save changes nothing: reserving room and putting the old bytes back both touch
    // the file's times, which go back to what they were.
    const auto refuse = [&](FileError error) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(fd, times);
        ::close(fd);
        return error;
    };
    QFile oldFile;
    QByteArray old;
    if (oldFile.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        old = oldFile.readAll();
    oldFile.close();
    if (old.size() != st.st_size)
        return refuse(fromErrno(EIO, path));
#ifdef FALLOC_FL_KEEP_SIZE
    // Make sure the new bytes fit before a single old byte is touched. The size stays as it is
    // (posix_fallocate would grow the file, and a kill then would leave it so).
    if (bytes.size() > old.size() && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, bytes.size()) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return refuse(fromErrno(errno, path));
#endif
    // A complete copy of the old bytes beside the file until the write is done: a power cut
    // half way leaves it for the next start to point to. With no room for it, nothing is
    // written. (A folder we may not write has no place for one at all: the file that we may
    // write there is written in place without it, by the child that finishes whatever happens.)
    const QByteArray backup = writeBackup(target, st, old);
    if (backup.isEmpty() && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
        const int err = errno;
        return refuse(failure(kDiskFull,
                              QStringLiteral("there is no room beside the file for a copy of its old content, "
                                             "which is kept until the save is done (%1); the file is as it was")
                                  .arg(QString::fromLocal8Bit(std::strerror(err))),
                              path));
    }
    const int err = overwriteInChild(fd, bytes);
    if (err != 0) {
        // Put the old bytes back; the backup stays if even that fails.
        const bool restored = replaceContent(fd, old);
        if (restored && !backup.isEmpty())
            ::unlink(backup.constData());
        return restored ? refuse(fromErrno(err, path)) : (::close(fd), fromErrno(err, path));
    }
    ::close(fd);
    if (!backup.isEmpty()) {
        ::unlink(backup.constData());
        syncFolder(folderOf(target));
    }
    return {};
}

} // namespace

FileError write(const QString& path, const QByteArray& bytes) {
    const Resolved resolved = resolveLinks(path);
    if (resolved.err == EACCES)
        return failure(
            kPathFileAccess,
            QStringLiteral("it is a link owned by another user in a shared folder, which is not followed"),
            path);
    if (resolved.err != 0)
        return fromErrno(resolved.err, path);
    const QString& target = resolved.target;
    if (!QFileInfo(folderOf(target)).isDir())
        return failure(kPathNotFound, QStringLiteral("the folder does not exist"), path);
    struct stat st {};
    const bool exists = ::stat(native(target).constData(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return fromErrno(EISDIR, path);
        if (!S_ISREG(st.st_mode))
            return failure(
                kPathFileAccess,
                QStringLiteral(
                    "it is not a regular file (a device, a pipe or a socket); nothing was written"),
                path);
        // The permission bits decide even for root, who may write anything; the effective user's
        // rights decide for everybody else.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return failure(kPathFileAccess, QStringLiteral("the file is read-only"), path);
        if (::faccessat(AT_FDCWD, native(target).constData(), W_OK, AT_EACCESS) != 0)
            return failure(kPathFileAccess, QStringLiteral("you may not write this file"), path);
    }
    removeStaleTemporaries(target);
    if (exists && st.st_nlink > 1)
        return writeInPlace(path, target, st, bytes);
    FileError error;
    switch (replaceThroughTemporary(path, target, exists ? &st : nullptr, bytes, &error)) {
    case Outcome::Done:
        return {};
    case Outcome::Failed:
        return error;
    case Outcome::KeepIdentity:
        break;
    }
    return writeInPlace(path, target, st, bytes);
}

QString interruptedSaveBackup(const QString& path) {
    struct stat file {};
    const Resolved resolved = resolveLinks(path);
    if (resolved.err != 0 || ::stat(native(resolved.target).constData(), &file) != 0)
        return {};
    const QString folder = folderOf(resolved.target);
    DIR* dir = ::opendir(native(folder).constData());
    if (!dir)
        return {};
    // Only what a save of ours made is trusted: a regular file with one name, owned by the file's
    // owner or by us, named only once it was complete. The newest, if a save was interrupted twice.
    const QByteArray prefix = QByteArray(kBackupPrefix) + QByteArray::number(quint64(file.st_ino)) + '-';
    QByteArray found;
    time_t newest = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(prefix) || name.size() != prefix.size() + 6)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_nlink != 1 || (st.st_uid != file.st_uid && st.st_uid != ::geteuid()))
            continue;
        if (found.isEmpty() || st.st_mtime > newest) {
            found = name;
            newest = st.st_mtime;
        }
    }
    ::closedir(dir);
    return found.isEmpty() ? QString() : folder + QLatin1Char('/') + QFile::decodeName(found);
}

namespace {
// A temporary file of ours that no live save holds: its flock can be taken.
bool unheld(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held {};
    struct stat named {};
    // Still the file of that name once locked: a save may have renamed it meanwhile.
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
                      ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && held.st_ino == named.st_ino &&
                      held.st_dev == named.st_dev;
    if (free)
        ::unlinkat(dirFd, name, 0); // under the lock, so that no save can take it up between
    ::close(fd);
    return free;
}
} // namespace

void removeStaleTemporaries(const QString& path) {
    const QString folder = folderOf(QFileInfo(path).absoluteFilePath());
    DIR* dir = ::opendir(native(folder).constData());
    if (!dir)
        return;
    const std::time_t now = std::time(nullptr);
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        // Ours: the prefix and mkstemp's six characters, or a backup, which is kept for a week.
        const char* name = entry->d_name;
        const bool temporary =
            std::strlen(name) == sizeof(kTempPrefix) - 1 + 6 && std::strncmp(name, kTempPrefix, 5) == 0;
        const bool backup = std::strncmp(name, kBackupPrefix, sizeof(kBackupPrefix) - 1) == 0;
        // A preview copy that a crash left behind is no use after a day.
        const bool preview = std::strncmp(name, kPreviewPrefix, sizeof(kPreviewPrefix) - 1) == 0;
        if (!temporary && !backup && !preview)
            continue;
        struct stat st {};
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (temporary)
            unheld(dirFd, name);
        else if (now - st.st_mtime >= (preview ? 24L * 3600L : kBackupDays * 24L * 3600L))
            ::unlinkat(dirFd, name, 0);
    }
    ::closedir(dir);
}

} // namespace file_writer
