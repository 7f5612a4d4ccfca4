#include "listselection.h"
#include "recorders.h"
#include "reportfiles.h"
#include "reporttool.h"
#include "export/report/structurereport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace report;

namespace {

using Outcome = ToolOutcome;

Outcome runTool(const QStringList &arguments)
{
    return runProgram(reportTool(), arguments);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What the window's writer produces for the same source and selection.
QByteArray coreReport(const QString &path, const ReportSource &source, const QStringList &names,
                      const QList<bool> &selected)
{
    ListSelection selection(names, selected);
    RecordingFeedback feedback;
    RecordingSink sink;
    writeStructureReport(path, selection, source, feedback, sink);
    return readAll(path);
}

} // namespace

class ReportCommandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void allTablesToStandardOutput();
    void chosenTablesToFile();
    void containerWithMissingTable();
    void writeFailureNamesTheField();
    void reportTheDiskDidNotKeepIsNoReport();
    void listsTables();
    void listedNamesChooseTheirTables();
    void unknownTable();
    void usage_data();
    void usage();
    void help();

private:
    QTemporaryDir m_temporary;
    QString m_folder;
};

void ReportCommandTest::initTestCase()
{
    QVERIFY(m_temporary.isValid());
    m_folder = m_temporary.filePath(QStringLiteral("Sales Data"));
    reportfiles::writeFolder(m_folder);
    reportfiles::writeContainer(m_temporary.filePath(QStringLiteral("shop")));
}

void ReportCommandTest::allTablesToStandardOutput()
{
    const Outcome outcome = runTool({m_folder});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.out, coreReport(m_temporary.filePath(QStringLiteral("all.txt")), ReportSource::folder(m_folder),
                                     {"alpha", "nofields", "order lines"}, {true, true, true}));
    QVERIFY(!outcome.out.contains("Done."));
}

void ReportCommandTest::chosenTablesToFile()
{
    const QString path = m_temporary.filePath(QStringLiteral("chosen.txt"));
    const Outcome outcome = runTool({m_folder, "order lines", "nofields", "-o", path});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(readAll(path), reportfiles::golden(QStringLiteral("folder.txt"), m_folder));
}

void ReportCommandTest::containerWithMissingTable()
{
    const QString dbc = m_temporary.filePath(QStringLiteral("shop/shop.dbc"));
    const Outcome outcome = runTool({dbc});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out, reportfiles::golden(QStringLiteral("container.txt"), dbc));
    const QList<QByteArray> lines = outcome.err.split('\n');
    QCOMPARE(lines.size(), 2); // one line, then the end
    QVERIFY2(lines.first().startsWith("orvalle-report: Missing: "), lines.first().constData());
    QVERIFY(lines.first().contains("Form2.generateStructure at line 158"));
}

// A report the disk cannot take is named by the table and the field whose
// line found it full, and nothing of it is left.
void ReportCommandTest::writeFailureNamesTheField()
{
#ifndef Q_OS_UNIX
    QSKIP("The file size limit is set the Unix way.");
#endif
    if (reportToolIsWindows())
        QSKIP("The file size limit is set the Unix way.");
    const QString folder = m_temporary.filePath(QStringLiteral("notes"));
    QVERIFY(QDir().mkpath(folder));
    xbasewriter::TableSpec notes;
    notes.fields = {xbasewriter::FieldSpec{"A", 'C', 10}, xbasewriter::FieldSpec{"B", 'C', 10}};
    notes.backlink = "notes.dbc";
    xbasewriter::writeTable(folder + QStringLiteral("/notes.dbf"), notes);
    // The first field's line alone is longer than the report's buffer, so
    // the buffer goes out, and fails, as that line is written.
    const QByteArray longComment(70000, 'x');
    xbasewriter::ContainerSpec container;
    container.tables = {reportfiles::containerTable("notes", "notes.dbf", {{"a", longComment.constData()}, {"b", ""}})};
    xbasewriter::writeContainer(folder + QStringLiteral("/notes.dbc"), container);
    const QString path = m_temporary.filePath(QStringLiteral("full.txt"));

    const Outcome outcome = runProgram(reportTool(),
                                       {folder + QStringLiteral("/notes.dbc"), QStringLiteral("-o"), path}, {}, 4096);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err, "orvalle-report: notes.a: Cannot write the report file '" + path.toUtf8()
                              + "': File too large (in Orvallix2021/08/31.Form2.generateStructure at line 190)\n");
    QVERIFY(!QFile::exists(path));
}

// A report whose sync fails was not kept by the disk: it fails, and neither
// it nor its temporary file is left, the earlier file in its place untouched.
void ReportCommandTest::reportTheDiskDidNotKeepIsNoReport()
{
#ifndef ORVALLE_FAILING_SYNC
    QSKIP("Syncs are made to fail by preloading a library, which only Linux does here.");
#else
    if (reportToolIsWindows())
        QSKIP("Syncs are made to fail by preloading a library, which only Linux does here.");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("kept.txt"));
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        QCOMPARE(earlier.write("earlier"), 7);
    }
    // An AddressSanitizer build wants its own library loaded first.
    const QStringList environment{QStringLiteral("LD_PRELOAD=" ORVALLE_FAILING_SYNC),
                                  QStringLiteral("ASAN_OPTIONS=verify_asan_link_order=0")};
    const Outcome outcome = runProgram(reportTool(), {m_folder, QStringLiteral("-o"), path}, {}, -1,
                                       environment);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err, "orvalle-report: " + m_folder.toUtf8() + ": Cannot write the report file '" + path.toUtf8()
                              + "': Input/output error (in Orvallix2021/08/31.Form2.generateStructure at line 208)\n");
    QCOMPARE(readAll(path), QByteArray("earlier"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.txt"});
#endif
}

void ReportCommandTest::listsTables()
{
    const Outcome folder = runTool({m_folder, "--list"});
    QCOMPARE(folder.exitCode, 0);
    QCOMPARE(folder.out, QByteArray("alpha\nnofields\norder lines\n"));
    const Outcome container = runTool({"--list", m_temporary.filePath(QStringLiteral("shop/shop.dbc"))});
    QCOMPARE(container.exitCode, 0);
    QCOMPARE(container.out, QByteArray("LongNames\nMissing\nPlain\n"));
    const Outcome missing = runTool({m_temporary.filePath(QStringLiteral("nowhere")), "--list"});
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.out, QByteArray());
    QCOMPARE(missing.err.count('\n'), 1);
}

// Every name --list writes chooses its table as a TABLE, though the file's
// name holds a line break that the list writes as a space.
void ReportCommandTest::listedNamesChooseTheirTables()
{
    if (reportToolIsWindows())
        QSKIP("Windows names no file with a line break.");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    xbasewriter::TableSpec layout;
    layout.fields = {{"A", 'C', 1}};
    xbasewriter::writeTable(folder.filePath(QStringLiteral("two\nlines.dbf")), layout);
    xbasewriter::writeTable(folder.filePath(QStringLiteral("plain.dbf")), layout);
    const Outcome listed = runTool({folder.path(), QStringLiteral("--list")});
    QCOMPARE(listed.exitCode, 0);
    QCOMPARE(listed.out, QByteArray("plain\ntwo lines\n"));
    for (const QByteArray &name : {QByteArray("plain"), QByteArray("two lines")}) {
        const Outcome chosen = runTool({folder.path(), QString::fromUtf8(name)});
        QCOMPARE(chosen.err, QByteArray());
        QCOMPARE(chosen.exitCode, 0);
        QCOMPARE(chosen.out.count("Table Name : "), 1);
    }
}

void ReportCommandTest::unknownTable()
{
    const QString path = m_temporary.filePath(QStringLiteral("unknown.txt"));
    // Windows takes Alpha for alpha, as its file system does.
    const QByteArray unknown = reportToolIsWindows() ? "Alphas" : "Alpha";
    const Outcome outcome = runTool({m_folder, "alpha", QString::fromLatin1(unknown), "-o", path});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY(outcome.err.startsWith("orvalle-report: " + unknown + ": no such table"));
    QCOMPARE(outcome.err.count('\n'), 1);
    QVERIFY(!QFile::exists(path));
}

void ReportCommandTest::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "x"};
    QTest::newRow("output without a file") << QStringList{"x", "-o"};
    QTest::newRow("two outputs") << QStringList{"x", "-o", "a", "--output", "b"};
    QTest::newRow("list with a table") << QStringList{"x", "t", "--list"};
}

void ReportCommandTest::usage()
{
    QFETCH(QStringList, arguments);
    const Outcome outcome = runTool(arguments);
    QCOMPARE(outcome.exitCode, 2);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY(outcome.err.startsWith("orvalle-report: "));
}

void ReportCommandTest::help()
{
    const Outcome outcome = runTool({"--help"});
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(outcome.out.startsWith("Usage: orvalle-report [--format FORMAT] SOURCE [TABLE ...] [-o FILE]\n"));
    QVERIFY(outcome.out.contains("--list"));
    QVERIFY(outcome.out.contains("Exit status"));
}

QTEST_MAIN(ReportCommandTest)

#include "tst_reportcommand.moc"
