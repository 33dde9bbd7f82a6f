#include "recent_files.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
QString normalised(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool samePath(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}
} // namespace

RecentFiles::RecentFiles(QString storePath) : storePath_(std::move(storePath)) {
    if (storePath_.isEmpty())
        storePath_ = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                     QStringLiteral("/recent-files");
}

QStringList RecentFiles::paths() const {
    QFile file(storePath_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList paths;
    // A JSON list holds any name, a line end in it too; lists written before were one a line.
    const QByteArray bytes = file.readAll();
    if (bytes.startsWith('[')) {
        for (const QJsonValue& p : QJsonDocument::fromJson(bytes).array())
            if (!p.toString().isEmpty() && paths.size() < kMost)
                paths << p.toString();
        return paths;
    }
    for (const QByteArray& line : bytes.split('\n'))
        if (!line.isEmpty() && paths.size() < kMost)
            paths << QString::fromUtf8(line);
    return paths;
}

void RecentFiles::add(const QString& path) {
    const QString added = normalised(path);
    QStringList list = paths();
    list.removeIf([&](const QString& p) { return samePath(p, added); });
    list.prepend(added);
    write(list.mid(0, kMost));
}

void RecentFiles::remove(const QString& path) {
    QStringList list = paths();
    if (list.removeIf([&](const QString& p) { return samePath(p, normalised(path)); }) > 0)
        write(list);
}

void RecentFiles::clear() {
    write({});
}

void writeHistory(const QString& path, const QByteArray& bytes) {
    // History is a convenience: a folder that cannot be written costs only the history.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    // Which files the user edits is theirs alone, like the recovery copies beside it.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(bytes);
    file.commit();
}

void RecentFiles::write(const QStringList& paths) const {
    writeHistory(storePath_, QJsonDocument(QJsonArray::fromStringList(paths)).toJson());
}
