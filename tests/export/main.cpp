// One executable for the export area's core: every test class runs in turn.

#include <QCoreApplication>

int runFieldTypesTest(int argc, char **argv);
int runStructureReportTest(int argc, char **argv);
int runReportFilesTest(int argc, char **argv);
int runReportCommandTest(int argc, char **argv);
int runHostileSourceTest(int argc, char **argv);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    failed |= runFieldTypesTest(argc, argv);
    failed |= runStructureReportTest(argc, argv);
    failed |= runReportFilesTest(argc, argv);
    failed |= runReportCommandTest(argc, argv);
    failed |= runHostileSourceTest(argc, argv);
    return failed ? 1 : 0;
}
