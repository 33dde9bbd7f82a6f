#include "support/test_files.h"

#include <QApplication>
#include <QTest>

QObject* newColourModelTest();
QObject* newEditAreaTest();
QObject* newDocumentFileTest();
QObject* newMenuTest();
QObject* newForm1Test();
QObject* newFileCommandsTest();
QObject* newQtDialogsTest();

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TAGLOOM_RUN_TESTS(newColourModelTest(), newEditAreaTest(), newDocumentFileTest(), newMenuTest(),
                      newForm1Test(), newFileCommandsTest(), newQtDialogsTest())
}
