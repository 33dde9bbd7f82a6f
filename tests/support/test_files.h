#pragma once

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QWidget>

/// Real HTML pages kept in tests/data, and small file helpers for tests.
namespace test_files {
QString dataDir();
/// Paths of every page in tests/data, sorted.
QStringList dataPages();
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
/// A window's title as the user sees it: Qt's [*] shown as * while modified, else nothing.
QString shownTitle(const QWidget& window);
} // namespace test_files

/// Runs every test class given, as one executable; returns the number of failed classes. Data
/// folders and settings are the test mode's own, never the user's.
#define TAGLOOM_RUN_TESTS(...)                                                                               \
    QStandardPaths::setTestModeEnabled(true);                                                                \
    QSettings().clear();                                                                                     \
    int status = 0;                                                                                          \
    for (QObject * t : std::initializer_list<QObject*>{__VA_ARGS__}) {                                       \
        status += QTest::qExec(t, argc, argv) != 0;                                                          \
        delete t;                                                                                            \
    }                                                                                                        \
    return status;
