#include "support/test_files.h"

#include <QApplication>
#include <QTest>

QObject* newHtmlPassTest();
QObject* newColouringCommandsTest();
QObject* newColourToolTest();
QObject* newTagMatchingTest();
QObject* newHtml5SchemeTest();

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TAGLOOM_RUN_TESTS(newHtmlPassTest(), newColouringCommandsTest(), newColourToolTest(), newTagMatchingTest(),
                      newHtml5SchemeTest())
}
