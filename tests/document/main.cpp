#include "support/test_files.h"

#include <QCoreApplication>
#include <QTest>

QObject* newDocumentFileTest();
#ifdef Q_OS_UNIX
QObject* newSafeWritesTest();
#endif

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
#ifdef Q_OS_UNIX
    TAGLOOM_RUN_TESTS(newDocumentFileTest(), newSafeWritesTest())
#else
    TAGLOOM_RUN_TESTS(newDocumentFileTest())
#endif
}
