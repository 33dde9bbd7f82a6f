#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// Real HTML pages kept in tests/data, and small file helpers for tests.
namespace test_files {
QString dataDir();
/// Paths of every page in tests/data, sorted.
QStringList dataPages();
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
} // namespace test_files

/// Runs every test class given, as one executable; returns the number of failed classes.
#define TAGLOOM_RUN_TESTS(...)                                                                               \
    int status = 0;                                                                                          \
    for (QObject * t : std::initializer_list<QObject*>{__VA_ARGS__}) {                                       \
        status += QTest::qExec(t, argc, argv) != 0;                                                          \
        delete t;                                                                                            \
    }                                                                                                        \
    return status;
