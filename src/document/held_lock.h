#pragma once

#include <QString>
#include <QtGlobal>

#ifdef Q_OS_UNIX
/// Opens @p path with @p flags (with O_CREAT, as 0600) without following a link, and keeps it
/// only as a regular file of the user's own: never a pipe or a device, which could hang a read.
/// The descriptor, or -1.
int openOwnRegularFile(const QString& path, int flags);
#endif

/// A lock on a file that the system lets go of when its process ends, however it ends: a
/// crashed or killed instance never leaves a lock behind that looks alive.
class HeldLock {
public:
    explicit HeldLock(QString path) : path_(std::move(path)) {}
    ~HeldLock() { release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    /// Takes the lock if nobody holds it; true when this object holds it afterwards.
    bool tryLock();
    void release();
    bool held() const { return handle_ != -1; }

private:
    QString path_;
    qintptr handle_ = -1; ///< a descriptor on POSIX, a HANDLE on Windows

};
