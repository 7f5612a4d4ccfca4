#include "platform/dataaccess.h"
#include "listselection.h"
#include "recorders.h"
#include "reportfiles.h"
#include "export/structurereport.h"
#include "export/tablelist.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace exporting;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList tableList(const ReportSource &source)
{
    QStringList names;
    exporting::readTableList(source.connectionString, [&] { names.clear(); },
                           [&](const QString &name) { names.append(name); });
    return names;
}

QList<bool> selectionOf(const QStringList &names, const QStringList &wanted)
{
    QList<bool> flags;
    for (const QString &name : names)
        flags.append(wanted.contains(name));
    return flags;
}

} // namespace

// Reports of real files read by the FoxPro reader, against golden reports
// written by hand.
class ReportFilesTest : public QObject {
    Q_OBJECT

private slots:
    void folderOfFreeTables();
    void container();
    void fixtureContainer();
};

void ReportFilesTest::folderOfFreeTables()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString folder = temporary.filePath(QStringLiteral("Sales Data"));
    reportfiles::writeFolder(folder);
    const ReportSource source = ReportSource::folder(folder);
    const QStringList names = tableList(source);
    QCOMPARE(names, (QStringList{"alpha", "nofields", "order lines"}));

    ListSelection selection(names, selectionOf(names, {"nofields", "order lines"}));
    RecordingFeedback feedback;
    RecordingSink sink;
    const QString report = temporary.filePath(QStringLiteral("report.txt"));
    QVERIFY(writeStructureReport(report, selection, source, feedback, sink));
    QCOMPARE(sink.where(), QStringList());
    QCOMPARE(readAll(report), reportfiles::golden(QStringLiteral("folder.txt"), folder));
}

void ReportFilesTest::container()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    reportfiles::writeContainer(temporary.path());
    const QString dbc = temporary.filePath(QStringLiteral("shop.dbc"));
    const ReportSource source = ReportSource::containerFile(dbc);
    const QStringList names = tableList(source);
    QCOMPARE(names, (QStringList{"LongNames", "Missing", "Plain"}));

    ListSelection selection(names, {true, true, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    const QString report = temporary.filePath(QStringLiteral("report.txt"));
    QVERIFY(writeStructureReport(report, selection, source, feedback, sink));
    QCOMPARE(sink.where(), QStringList{"Form2.generateStructure 158"});
    QCOMPARE(feedback.messages, QStringList{"Done."});
    QCOMPARE(readAll(report), reportfiles::golden(QStringLiteral("container.txt"), dbc));
}

void ReportFilesTest::fixtureContainer()
{
    const QString dbc = QStringLiteral(ORVALLE_FIXTURES_DIR "/VFPX__Samples/Northwind/northwind.dbc");
    if (!QFile::exists(dbc))
        QSKIP("the shared fixtures (VFPX__Samples/Northwind/northwind.dbc) are not present");
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const ReportSource source = ReportSource::containerFile(dbc);
    const QStringList names = tableList(source);
    QVERIFY(names.contains(QStringLiteral("Categories")));
    QVERIFY(names.contains(QStringLiteral("Shippers")));

    ListSelection selection(names, selectionOf(names, {"Shippers", "Categories"}));
    RecordingFeedback feedback;
    RecordingSink sink;
    const QString report = temporary.filePath(QStringLiteral("northwind.txt"));
    QVERIFY(writeStructureReport(report, selection, source, feedback, sink));
    QCOMPARE(sink.where(), QStringList());
    QCOMPARE(readAll(report), reportfiles::golden(QStringLiteral("northwind.txt"), dbc));
}

QTEST_MAIN(ReportFilesTest)

#include "tst_reportfiles.moc"
