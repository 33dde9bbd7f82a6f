#include "file_identity.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

FileIdentity FileIdentity::of(const QString& path) {
    FileIdentity id;
    if (path.isEmpty())
        return id;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return id;
    id.exists = true;
    id.size = st.st_size;
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    id.statusChangedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    id.inode = st.st_ino;
    id.device = st.st_dev;
    id.ownedByUser = st.st_uid == ::geteuid();
#else
    const QFileInfo info(path);
    if (!info.exists())
        return id;
    id.exists = true;
    id.size = info.size();
    id.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1'000'000;
    id.ownedByUser = true;
#endif
    return id;
}
