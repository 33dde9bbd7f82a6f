#include "support/test_files.h"

#include <QApplication>
#include <QTest>

QObject* newMenuTest();
QObject* newMainWindowTest();
QObject* newFileCommandsTest();
QObject* newNeverLoseWorkTest();
QObject* newViewCommandsTest();

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TAGLOOM_RUN_TESTS(newMenuTest(), newMainWindowTest(), newFileCommandsTest(), newNeverLoseWorkTest(), newViewCommandsTest())
}
