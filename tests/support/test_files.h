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
/// Returns @p status; on Windows ends the process there, output flushed: MinGW's C++ runtime can
/// hang as it unloads after work on other threads (seen under Wine).
int endTestProgram(int status);
/// On Windows, the in-place writer program just built (tagloom-writer).
void useWriterProgram();
/// Options in a file of the test mode's own folder, as the program keeps them in a file.
void useTestSettings();
/// A window's title as the user sees it: Qt's [*] shown as * while modified, else nothing.
QString shownTitle(const QWidget& window);
// The window's title for a page at `path`, named as the system names files.
QString titleOf(const QString& path);
} // namespace test_files

/// The main function of a test executable of one class, run in the test mode's own data folders
/// and settings, never the user's, with the checker program just built.
#define TAGLOOM_TEST_MAIN(Application, TestClass)                                                            \
    int main(int argc, char* argv[]) {                                                                       \
        Application app(argc, argv);                                                                         \
        if (qEnvironmentVariableIsEmpty("TAGLOOM_CHECKER"))                                                  \
            qputenv("TAGLOOM_CHECKER", TAGLOOM_CHECKER_PROGRAM);                                             \
        test_files::useWriterProgram();                                                                      \
        QStandardPaths::setTestModeEnabled(true);                                                            \
        test_files::useTestSettings();                                                                       \
        QSettings().clear();                                                                                 \
        int status = 0;                                                                                      \
        {                                                                                                    \
            TestClass test;                                                                                  \
            status = QTest::qExec(&test, argc, argv);                                                        \
        }                                                                                                    \
        return test_files::endTestProgram(status);                                                           \
    }
