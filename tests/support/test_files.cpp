#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

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

QString titleOf(const QString& path) {
    return QStringLiteral("Tagloom - ") + QDir::toNativeSeparators(path);
}

} // namespace test_files

void test_files::useTestSettings() {
#ifdef Q_OS_WIN
    // The program keeps its options in a file there too; the test mode's folder keeps them apart.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
#endif
}

void test_files::useWriterProgram() {
#ifdef TAGLOOM_WRITER_PROGRAM
    if (qEnvironmentVariableIsEmpty("TAGLOOM_WRITER"))
        qputenv("TAGLOOM_WRITER", TAGLOOM_WRITER_PROGRAM);
#endif
}

int test_files::endTestProgram(int status) {
#ifdef Q_OS_WIN
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), UINT(status));
#endif
    return status;
}
