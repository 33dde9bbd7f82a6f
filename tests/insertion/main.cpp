#include "support/test_files.h"

#include <QApplication>
#include <QTest>

QObject* newInsertCommandsTest();
QObject* newPromptDialogTest();

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TAGLOOM_RUN_TESTS(newInsertCommandsTest(), newPromptDialogTest())
}
