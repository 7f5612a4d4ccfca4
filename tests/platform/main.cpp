#include "testsupport.h"

#include <QCoreApplication>
#include <QTest>

QList<TestFactory> &registeredTests();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (const TestFactory &create : registeredTests()) {
        const std::unique_ptr<QObject> test = create();
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed;
}
