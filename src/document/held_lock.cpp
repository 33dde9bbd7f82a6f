#include "held_lock.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

#ifdef Q_OS_UNIX
int openOwnRegularFile(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}
#endif

bool HeldLock::tryLock() {
    if (handle_ >= 0)
        return true;
#ifdef Q_OS_UNIX
    const int fd = openOwnRegularFile(path_, O_RDWR | O_CREAT);
    if (fd < 0)
        return false;
    // flock belongs to the open file: the kernel drops it when the process ends.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
#else
    // Opened without sharing: nobody else can open it while we hold it.
    int fd = -1;
    if (_wsopen_s(&fd, reinterpret_cast<const wchar_t*>(path_.utf16()), _O_RDWR | _O_CREAT, _SH_DENYRW,
                  _S_IREAD | _S_IWRITE) != 0)
        return false;
#endif
    handle_ = fd;
    return true;
}

void HeldLock::release() {
    if (handle_ < 0)
        return;
#ifdef Q_OS_UNIX
    ::close(handle_);
#else
    _close(handle_);
#endif
    handle_ = -1;
}
