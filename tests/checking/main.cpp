#include "support/test_files.h"

#include <QApplication>
#include <QTest>

QObject* newTagCheckTest();

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TAGLOOM_RUN_TESTS(newTagCheckTest())
}
