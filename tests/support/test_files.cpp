#include "test_files.h"

#include <QDir>
#include <QFile>

namespace test_files {

QString dataDir() {
    return QStringLiteral(TAGLOOM_TEST_DATA_DIR);
}

QStringList dataPages() {
    QStringList pages;
    const QDir dir(dataDir());
    for (const QString& name : dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name))
        pages << dir.filePath(name);
    return pages;
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString shownTitle(const QWidget& window) {
    return window.windowTitle().replace(QStringLiteral("[*]"),
                                        window.isWindowModified() ? QStringLiteral("*") : QString());
}

} // namespace test_files
