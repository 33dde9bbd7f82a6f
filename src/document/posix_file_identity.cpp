#include "file_identity.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

FileIdentity FileIdentity::of(const QString& path) {
    FileIdentity id;
    if (path.isEmpty())
        return id;
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
    return id;
}
