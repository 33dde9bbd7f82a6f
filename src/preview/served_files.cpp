#include "served_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace served_files {
namespace {
bool hasHiddenPart(QStringView relative) {
    for (const QStringView part : relative.split(u'/'))
        if (part.startsWith(u'.'))
            return true;
    return false;
}
} // namespace

Decision decide(const QString& folder, const QString& path) {
    const QString asked = QDir::cleanPath(path);
    if (folder.isEmpty() || !asked.startsWith(folder + u'/'))
        return {{}, QStringLiteral("outside the page's folder")};
    if (hasHiddenPart(QStringView(asked).mid(folder.size() + 1)))
        return {{}, QStringLiteral("hidden")};
    const QString real = QFileInfo(asked).canonicalFilePath();
    if (real.isEmpty())
        return {{}, QStringLiteral("not found")};
    if (!real.startsWith(folder + u'/'))
        return {{}, QStringLiteral("a link out of the page's folder")};
    if (hasHiddenPart(QStringView(real).mid(folder.size() + 1)))
        return {{}, QStringLiteral("hidden")};
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(real).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {{}, QStringLiteral("not a regular file")};
    if (st.st_uid != ::geteuid())
        return {{}, QStringLiteral("another user's file")};
    // A second name may be a link to any file of the user's, made anywhere.
    if (st.st_nlink != 1)
        return {{}, QStringLiteral("a file with more than one name")};
#else
    if (!QFileInfo(real).isFile())
        return {{}, QStringLiteral("not a regular file")};
#endif
    return {real, {}};
}

} // namespace served_files
