#pragma once

#include <QString>
#include <QtGlobal>

/// What tells that a file was changed by another program: its size, modification time, and the
/// file itself (inode and device on POSIX, volume and file index on Windows). One stat call. The status change time (ctime) is
/// there too: a program can put a file's modification time back, but not that one.
struct FileIdentity {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 statusChangedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool ownedByUser = false; ///< the user running the program owns it (always so off POSIX)

    static FileIdentity of(const QString& path);
    bool operator==(const FileIdentity&) const = default;
};
