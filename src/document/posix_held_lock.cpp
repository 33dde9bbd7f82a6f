#include "held_lock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool HeldLock::tryLock() {
    if (held())
        return true;
    const int fd = openOwnRegularFile(path_, O_RDWR | O_CREAT);
    if (fd < 0)
        return false;
    // flock belongs to the open file: the kernel drops it when the process ends.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

void HeldLock::release() {
    if (!held())
        return;
    ::close(int(handle_));
    handle_ = -1;
}
