#include "support/test_files.h"

#include <QApplication>
#include <QTest>

QObject* newHtmlPassTest();
QObject* newColouringCommandsTest();
QObject* newColourToolTest();
QObject* newTagMatchingTest();

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TAGLOOM_RUN_TESTS(newHtmlPassTest(), newColouringCommandsTest(), newColourToolTest(), newTagMatchingTest())
}
