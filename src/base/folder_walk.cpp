#include "folder_walk.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <map>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace folder_walk {
namespace {
const QString kNotRegular = QStringLiteral("not a regular file (a device, a pipe or a socket)");

std::optional<QString> strictUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

#ifdef Q_OS_UNIX
bool isHidden(QStringView name) {
    return name.startsWith(u'.');
}
#endif

struct Found {
    File file;
    quint64 device = 0, inode = 0;
};

void sortAndMerge(std::vector<Found>& found, Walk& walk) {
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.file.path < b.file.path; });
    // Two links to one file are one file: it must not be replaced in twice.
    std::map<std::pair<quint64, quint64>, bool> seen;
    for (Found& f : found)
        if (f.inode == 0 || seen.emplace(std::pair(f.device, f.inode), true).second)
            walk.files.push_back(std::move(f.file));
}

#ifdef Q_OS_UNIX
QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}
#endif
} // namespace

QString shownName(const QByteArray& name) {
    QString shown;
    shown.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const auto byte = uchar(name[i]);
        // The longest valid UTF-8 character starting here, if any.
        const int length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
        const std::optional<QString> character =
            length > 0 && i + length <= name.size() ? strictUtf8(QByteArrayView(name).sliced(i, length)) : std::nullopt;
        if (!character || (length == 1 && (byte < 0x20 || byte == 0x7F))) {
            shown += QString::asprintf("\\x%02X", byte);
            ++i;
            continue;
        }
        const char16_t first = character->at(0).unicode();
        if (first >= 0x80 && first < 0xA0) // C1 controls drive terminals too
            shown += QString::asprintf("\\u%04X", unsigned(first));
        else
            shown += *character;
        i += length;
    }
    return shown;
}

QByteArray rawName(const QString& path) {
#ifdef Q_OS_UNIX
    const QFileInfo info(path);
    const QString wanted = info.fileName();
    if (!wanted.contains(QChar::ReplacementCharacter))
        return {};
    DIR* dir = ::opendir(QFile::encodeName(info.path()).constData());
    if (!dir)
        return {};
    QByteArray found;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!strictUtf8(name) && QString::fromUtf8(name) == wanted) {
            found = name;
            break;
        }
    }
    ::closedir(dir);
    return found;
#else
    Q_UNUSED(path);
    return {};
#endif
}

bool hasUndecodableName(const QString& path) {
    return path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path) && !rawName(path).isEmpty();
}

Walk files(const QString& folder, const Options& options) {
    Walk walk;
    std::vector<Found> found;
    const QString root = QDir::cleanPath(folder);
    const QString realRoot = QFileInfo(root).canonicalFilePath();
    auto wanted = [&](const QString& path) {
        return !options.wanted || options.wanted(path.mid(root.size() + 1));
    };
    auto cancelled = [&, count = 0]() mutable {
        return options.cancelled && ++count % 256 == 0 && options.cancelled();
    };
    // A link is looked through: its target must be a regular file, and may lie outside.
    auto takeLinked = [&](const QString& path, const QString& realPath, qint64 device, qint64 inode) {
        const bool outside = realRoot.isEmpty() || !realPath.startsWith(realRoot + u'/');
        if (outside && !options.outside) {
            walk.passedOver.push_back({path, QStringLiteral("a link to a file outside the folder (%1)").arg(realPath)});
            return;
        }
        found.push_back({{path, outside, realPath}, quint64(device), quint64(inode)});
    };
#ifdef Q_OS_UNIX
    std::vector<QString> folders{root};
    while (!folders.empty() && !(walk.cancelled = cancelled())) {
        const QString dirPath = std::move(folders.back());
        folders.pop_back();
        DIR* dir = ::opendir(QFile::encodeName(dirPath).constData());
        if (!dir) {
            walk.passedOver.push_back({dirPath, QStringLiteral("the folder cannot be read: %1").arg(errnoText(errno))});
            continue;
        }
        const QByteArray dirBytes = QFile::encodeName(dirPath) + '/';
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const std::optional<QString> decoded = strictUtf8(name);
            if (!decoded || QFile::encodeName(*decoded) != name) {
                if (options.hidden || !name.startsWith('.'))
                    walk.passedOver.push_back({QString::fromUtf8(dirBytes) + shownName(name),
                                               QStringLiteral("its name is not valid UTF-8: rename it to include it")});
                continue;
            }
            if (!options.hidden && isHidden(*decoded))
                continue;
            const QString path = dirPath + u'/' + *decoded;
            struct stat st {};
            if (::lstat((dirBytes + name).constData(), &st) != 0)
                continue; // gone since it was listed
            if (S_ISDIR(st.st_mode)) {
                folders.push_back(path);
                continue;
            }
            if (!wanted(path))
                continue;
            if (S_ISLNK(st.st_mode)) {
                if (::stat((dirBytes + name).constData(), &st) != 0) {
                    walk.passedOver.push_back({path, QStringLiteral("a link that leads nowhere: %1").arg(errnoText(errno))});
                    continue;
                }
                if (S_ISDIR(st.st_mode))
                    continue; // links to folders are not followed
                if (!S_ISREG(st.st_mode)) {
                    walk.passedOver.push_back({path, kNotRegular});
                    continue;
                }
                takeLinked(path, QFileInfo(path).canonicalFilePath(), qint64(st.st_dev), qint64(st.st_ino));
                continue;
            }
            if (!S_ISREG(st.st_mode)) {
                walk.passedOver.push_back({path, kNotRegular});
                continue;
            }
            found.push_back({{path, false, {}}, quint64(st.st_dev), quint64(st.st_ino)});
        }
        ::closedir(dir);
    }
#else
    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (options.hidden)
        filters |= QDir::Hidden;
    QDirIterator entries(root, filters, QDirIterator::Subdirectories);
    while (entries.hasNext() && !(walk.cancelled = cancelled())) {
        const QString path = entries.next();
        const QFileInfo info = entries.fileInfo();
        // A name that starts with a dot is hidden here as on POSIX, and so is all below it.
        const QString below = path.mid(root.size() + 1);
        if (!options.hidden && (below.startsWith(u'.') || below.contains(QStringLiteral("/."))))
            continue;
        if (info.isDir() || !wanted(path))
            continue;
        if (!info.isFile())
            walk.passedOver.push_back({path, kNotRegular});
        else if (info.isSymLink())
            takeLinked(path, info.canonicalFilePath(), 0, 0);
        else
            found.push_back({{path, false, {}}, 0, 0});
    }
#endif
    if (walk.cancelled)
        return {{}, {}, true};
    sortAndMerge(found, walk);
    std::sort(walk.passedOver.begin(), walk.passedOver.end(),
              [](const PassedOver& a, const PassedOver& b) { return a.path < b.path; });
    return walk;
}

} // namespace folder_walk
