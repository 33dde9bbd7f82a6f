#include "support/test_files.h"

#include <QApplication>
#include <QTest>

QObject* newColourModelTest();
QObject* newEditAreaTest();
QObject* newSoftBreaksTest();
QObject* newFindTest();
QObject* newLiveColouringTest();

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TAGLOOM_RUN_TESTS(newColourModelTest(), newEditAreaTest(), newSoftBreaksTest(), newFindTest(),
                      newLiveColouringTest())
}
