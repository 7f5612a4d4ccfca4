#include "fakefactory.h"
#include "listselection.h"
#include "recorders.h"
#include "export/report/reportfile.h"
#include "export/report/structurereport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace report;

namespace {

QByteArray crlf(const char *text)
{
    QByteArray bytes(text);
    bytes.replace("\n", "\r\n");
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

FakeFactory::Table customers()
{
    return {QStringLiteral("customers"),
            {{QStringLiteral("customer_mailing_addr"), 129, 40, QStringLiteral("Street and number")},
             {QStringLiteral("customer_mailing_addr2"), 129, 5, QString()},
             {QStringLiteral("customer_mailing_street"), 131, 19, QStringLiteral("Shifted by one")},
             {QStringLiteral("customer_mailing_street2"), 6, 8, QString()},
             {QStringLiteral("customer_mailing_postcode"), 129, 8, QStringLiteral("never looked up"), false},
             {QStringLiteral("customer_mailing_postcode_zone"), 133, 6, QStringLiteral("never looked up"), false},
             {QStringLiteral("legacy_code"), 132, 4, QStringLiteral("Old system code")}}};
}

FakeFactory::Table oddCodes()
{
    return {QStringLiteral("odd codes"),
            {{QStringLiteral("a"), 9, 4, QStringLiteral("nine")},
             {QStringLiteral("b"), 300, 4, QString()},
             {QStringLiteral("c"), -5, 4, QStringLiteral("minus")},
             {QStringLiteral("d"), 0, 4, QString()}}};
}

// Written by hand from the report's layout rules.
const char layoutReport[] =
R"( Printing From /data/Sales Folder/

Printing Table Structures:
1) customers
2) empty table
3) odd codes


Table Name : customers    Total Fields : 7

Field Name                DataType     Description
__________                ________     ___________
 customer_mailing_addr  Character[40] Street and number
 customer_mailing_addr2 Character[5] 
 customer_mailing_street Numeric      Shifted by one
 customer_mailing_street2 Currency     
customer_mailing_postcode129
customer_mailing_postcode_zone133
 legacy_code            UserDefined  Old system code


Table Name : empty table    Total Fields : 0

Field Name                DataType     Description
__________                ________     ___________


Table Name : odd codes    Total Fields : 4

Field Name                DataType     Description
__________                ________     ___________
 a                      9            nine
 b                      300          
 c                      -5           minus
 d                      0            



)";

// The real report output with a fault: it refuses to open, takes only so
// many bytes, or fails when the report would take the target's place.
class FaultyOutput final : public ReportOutput {
public:
    FaultyOutput(const QString &path, qint64 budget, bool failAtCommit)
        : m_inner(openReportOutput(path)), m_budget(budget), m_failAtCommit(failAtCommit) {}

    void write(QByteArrayView bytes) override
    {
        const qint64 room = qMax<qint64>(0, m_budget);
        m_inner->write(bytes.first(qMin<qint64>(room, bytes.size())));
        m_budget -= bytes.size();
        if (m_budget < 0)
            throw Failure(QStringLiteral("No space left on device"));
    }
    void commit() override
    {
        if (m_failAtCommit) {
            m_inner->discard();
            throw Failure(QStringLiteral("Input/output error"));
        }
        m_inner->commit();
    }
    void discard() noexcept override { m_inner->discard(); }

private:
    std::unique_ptr<ReportOutput> m_inner;
    qint64 m_budget;
    bool m_failAtCommit;
};

// A table of 3,000 fields: its report is about 140 KB, so the writer's
// buffer goes out twice within the table and once more at the end.
FakeFactory::Table wideTable()
{
    FakeFactory::Table table{QStringLiteral("wide"), {}};
    for (int i = 0; i < 3000; ++i)
        table.fields.append({QStringLiteral("field_%1").arg(i), 129, 10, QStringLiteral("Description %1").arg(i)});
    return table;
}

} // namespace

class StructureReportTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout();
    void containerSourceLine();
    void secondExportNumbersFromOneAgain();
    void nothingSelectedTouchesNothing();
    void reportFileCannotBeCreated();
    void connectionCannotBeOpened_data();
    void connectionCannotBeOpened();
    void missingTableIsWrittenWithNoFields();
    void failingDescriptionLeavesItEmpty();
    void failuresNameWhatIsBeingWritten();
    void catalogFailureIsReportedForEachField_data();
    void catalogFailureIsReportedForEachField();
    void recordsetCannotBeCreated();
    void eventsRunBeforeEachItemAndField();
    void textsTheCodePageCannotHold();
    void failingOutput_data();
    void failingOutput();
    void deviceAsReport();

private:
    QString reportPath() const { return m_folder->filePath(QStringLiteral("report.txt")); }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<FakeFactory> m_source;
};

void StructureReportTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_source = std::make_unique<FakeFactory>(FakeFactory::Scripted);
    m_source->tables = {customers(), {QStringLiteral("skipped"), {{QStringLiteral("x"), 129, 1, QString()}}},
                        {QStringLiteral("empty table"), {}}, oddCodes()};
}

void StructureReportTest::cleanup()
{
    m_source.reset();
    m_folder.reset();
}

void StructureReportTest::layout()
{
    ListSelection selection({"customers", "skipped", "empty table", "odd codes"}, {true, false, true, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("/data/Sales Folder/")),
                              feedback, sink));
    QCOMPARE(readAll(reportPath()), crlf(layoutReport));
    QCOMPARE(sink.where(), QStringList());
    QCOMPARE(feedback.messages, QStringList{"Done."});
    QCOMPARE(feedback.busy, (QList<bool>{true, false}));
    QCOMPARE(m_source->connectionStrings,
             QStringList{"Provider=vfpoledb.1;Data Source=/data/Sales Folder/;Collating Sequence=general;"});
    QCOMPARE(m_source->connectionsOpen, 0);
    QCOMPARE(m_source->recordsetsOpen, 0);
    // One catalog for each table with fields (customers, odd codes), not
    // one per field; names of 25 characters or more are not looked up, or
    // their missing descriptions would have been reported.
    QCOMPARE(m_source->catalogsCreated, 2);
}

void StructureReportTest::containerSourceLine()
{
    ListSelection selection({"customers", "skipped", "empty table", "odd codes"}, {false, false, true, false});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::containerFile(QStringLiteral("/db/Sales;1.dbc")),
                              feedback, sink));
    QCOMPARE(readAll(reportPath()), crlf(R"( Printing From /db/Sales;1.dbc

Printing Table Structures:
1) empty table


Table Name : empty table    Total Fields : 0

Field Name                DataType     Description
__________                ________     ___________



)"));
    QCOMPARE(m_source->connectionStrings,
             QStringList{"Provider=vfpoledb.1;Data Source=/db/Sales;1.dbc;Collating Sequence=machine;"});
}

void StructureReportTest::secondExportNumbersFromOneAgain()
{
    ListSelection selection({"customers", "skipped", "empty table", "odd codes"}, {false, true, true, false});
    RecordingFeedback feedback;
    RecordingSink sink;
    const ReportSource source = ReportSource::folder(QStringLiteral("d"));
    QVERIFY(writeStructureReport(reportPath(), selection, source, feedback, sink));
    QVERIFY(writeStructureReport(reportPath(), selection, source, feedback, sink));
    const QByteArray report = readAll(reportPath());
    QVERIFY(report.startsWith(crlf(" Printing From d\n\nPrinting Table Structures:\n1) skipped\n2) empty table\n\n\n")));
    QCOMPARE(report.count("Printing From"), 1); // truncated, not appended
    QCOMPARE(feedback.messages, (QStringList{"Done.", "Done."}));
}

void StructureReportTest::nothingSelectedTouchesNothing()
{
    QFile existing(reportPath());
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    ListSelection selection({"customers", "skipped"}, {false, false});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(!writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QCOMPARE(feedback.messages, QStringList{"Select The Table To Print The Structure"});
    QCOMPARE(readAll(reportPath()), QByteArray("keep me"));
    QVERIFY(feedback.busy.isEmpty());
    QVERIFY(m_source->connectionStrings.isEmpty());
    QVERIFY(sink.reports.isEmpty());

    ListSelection empty({}, {});
    const QString other = m_folder->filePath(QStringLiteral("other.txt"));
    QVERIFY(!writeStructureReport(other, empty, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QVERIFY(!QFile::exists(other));
}

void StructureReportTest::reportFileCannotBeCreated()
{
    ListSelection selection({"customers"}, {true});
    RecordingFeedback feedback;
    RecordingSink sink;
    const QString path = m_folder->filePath(QStringLiteral("no such folder/report.txt"));
    QVERIFY(!writeStructureReport(path, selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QCOMPARE(sink.where(), QStringList{"Form2.generateStructure 120"});
    QCOMPARE(sink.reports.first().location, QStringLiteral("in Orvallix2021/08/31.Form2.generateStructure "));
    QVERIFY(sink.reports.first().description.contains(path));
    QVERIFY(feedback.messages.isEmpty());
    QCOMPARE(feedback.busy, (QList<bool>{true, false}));
    QVERIFY(m_source->connectionStrings.isEmpty());
    QVERIFY(!QFile::exists(path));
}

void StructureReportTest::connectionCannotBeOpened_data()
{
    QTest::addColumn<bool>("container");
    QTest::addColumn<int>("label");
    QTest::newRow("container") << true << 144;
    QTest::newRow("folder") << false << 146;
}

void StructureReportTest::connectionCannotBeOpened()
{
    QFETCH(bool, container);
    QFETCH(int, label);
    m_source->failConnectionOpen = true;
    ListSelection selection({"customers", "skipped", "empty table"}, {true, false, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    const ReportSource source = container ? ReportSource::containerFile(QStringLiteral("/x/db.dbc"))
                                          : ReportSource::folder(QStringLiteral("/x"));
    QFile old(reportPath());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the last report\r\n");
    old.close();
    QVERIFY(!writeStructureReport(reportPath(), selection, source, feedback, sink));
    QCOMPARE(sink.where(), QStringList{QStringLiteral("Form2.generateStructure %1").arg(label)});
    QCOMPARE(sink.reports.first().description, FakeFactory::openFailure);
    QVERIFY(feedback.messages.isEmpty());
    QCOMPARE(feedback.busy, (QList<bool>{true, false}));
    QCOMPARE(m_source->recordsetsOpen, 0);
    // A report is written whole or not at all: the last one stays as it was,
    // and nothing of the new one is left beside it.
    QCOMPARE(readAll(reportPath()), QByteArray("the last report\r\n"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.txt"});
}

void StructureReportTest::missingTableIsWrittenWithNoFields()
{
    m_source->tables[0].opens = false;
    ListSelection selection({"customers", "skipped", "empty table"}, {true, false, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QCOMPARE(sink.where(), QStringList{"Form2.generateStructure 158"});
    QCOMPARE(sink.reports.first().description, QStringLiteral("File 'customers.dbf' does not exist."));
    QCOMPARE(feedback.messages, QStringList{"Done."});
    QCOMPARE(readAll(reportPath()), crlf(R"( Printing From d

Printing Table Structures:
1) customers
2) empty table


Table Name : customers    Total Fields : 0

Field Name                DataType     Description
__________                ________     ___________


Table Name : empty table    Total Fields : 0

Field Name                DataType     Description
__________                ________     ___________



)"));
}

void StructureReportTest::failingDescriptionLeavesItEmpty()
{
    m_source->tables[3].fields[0].hasDescription = false;
    ListSelection selection({"customers", "skipped", "empty table", "odd codes"}, {false, false, false, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QCOMPARE(sink.where(), QStringList{"Foxpro1.GetFieldDesc_ADO 104"});
    QCOMPARE(feedback.messages, QStringList{"Done."});
    QVERIFY(readAll(reportPath()).contains(crlf("___________\n a                      9            \n b ")));
}

namespace {

// Names each failure the way the command does: by the table and the field the
// writer last said it was working on, the field kept only as a view.
class NamingRecorder : public ReportFeedback, public app::ErrorSink {
public:
    QStringList said;  // each workingOn call, "table.field"
    QStringList named; // each failure, "table.field label"
    void setBusy(bool) override {}
    void letEventsRun() override {}
    void message(const QString &) override {}
    void workingOn(const QString &table, QStringView field) override
    {
        m_table = table;
        m_field = field;
        said.append(table + QLatin1Char('.') + field.toString());
    }
    void report(const QString &, int label, const QString &) override
    {
        named.append(m_table + (m_field.isEmpty() ? QString() : QLatin1Char('.') + m_field.toString())
                     + QLatin1Char(' ') + QString::number(label));
    }

private:
    QString m_table;
    QStringView m_field;
};

} // namespace

// A failure names the table, and the field only while that field is being
// written: the field's text is given back empty as soon as it is done.
void StructureReportTest::failuresNameWhatIsBeingWritten()
{
    m_source->tables[0].opens = false;
    m_source->tables[3].fields[1].hasDescription = false;
    ListSelection selection({"customers", "skipped", "empty table", "odd codes"}, {true, false, false, true});
    NamingRecorder recorder;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), recorder, recorder));
    QCOMPARE(recorder.named, (QStringList{"customers 158", "odd codes.b 104"}));
    QCOMPARE(recorder.said, (QStringList{".", "customers.", "odd codes.", "odd codes.a", "odd codes.", "odd codes.b",
                                         "odd codes.", "odd codes.c", "odd codes.", "odd codes.d", "odd codes.", "."}));
}

void StructureReportTest::catalogFailureIsReportedForEachField_data()
{
    QTest::addColumn<bool>("creationFails");
    QTest::addColumn<bool>("connectionRefused");
    QTest::addColumn<bool>("tableOutsideCatalog");
    QTest::addColumn<QStringList>("perField");
    const QString at = QStringLiteral("Foxpro1.GetFieldDesc_ADO %1");
    QTest::newRow("no catalog") << true << false << false << QStringList{at.arg(100), at.arg(102), at.arg(104)};
    QTest::newRow("catalog without connection")
        << false << true << false << QStringList{at.arg(100), at.arg(102), at.arg(104)};
    QTest::newRow("table outside the catalog") << false << false << true << QStringList{at.arg(102), at.arg(104)};
}

// Whatever keeps the table's catalog from being had is reported for each
// field looked up, step by step, and the report goes on with empty descriptions.
void StructureReportTest::catalogFailureIsReportedForEachField()
{
    QFETCH(bool, creationFails);
    QFETCH(bool, connectionRefused);
    QFETCH(bool, tableOutsideCatalog);
    QFETCH(QStringList, perField);
    m_source->failCatalogCreation = creationFails;
    m_source->catalogRefusesConnection = connectionRefused;
    m_source->tables[3].inCatalog = !tableOutsideCatalog;
    ListSelection selection({"customers", "skipped", "empty table", "odd codes"}, {false, false, false, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QCOMPARE(sink.where(), perField + perField + perField + perField); // fields a, b, c and d
    QCOMPARE(feedback.messages, QStringList{"Done."});
    QVERIFY(readAll(reportPath()).contains(crlf(" a                      9            \n b ")));
}

void StructureReportTest::recordsetCannotBeCreated()
{
    m_source->failRecordsetCreation = true;
    ListSelection selection({"customers"}, {true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(!writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QCOMPARE(sink.where(), QStringList{"Form2.generateStructure 100"});
    QVERIFY(feedback.messages.isEmpty());
    QVERIFY(!QFile::exists(reportPath()));
}

void StructureReportTest::eventsRunBeforeEachItemAndField()
{
    ListSelection selection({"customers", "skipped", "empty table", "odd codes"}, {true, false, false, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    QCOMPARE(feedback.eventRuns, 4 + 7 + 4);
}

void StructureReportTest::textsTheCodePageCannotHold()
{
    if (QByteArray(QStringEncoder(QStringConverter::System).encode(QStringLiteral("\u00e9"))) != "\xc3\xa9")
        QSKIP("this case is written for a system whose code page is UTF-8");
    m_source->tables = {{QStringLiteral("caf\u00e9"),
                         {{QStringLiteral("t"), 11, 2, QStringLiteral("a\tb") + QChar(0xD800) + QStringLiteral("c")}}}};
    ListSelection selection({QStringLiteral("caf\u00e9")}, {true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("d")), feedback, sink));
    const QByteArray report = readAll(reportPath());
    QVERIFY(report.contains("1) caf\xc3\xa9\r\n"));
    QVERIFY(report.contains(" t                      Logical      a b?c\r\n"));
    QVERIFY(!report.contains('\t'));
    QVERIFY(!report.startsWith("\xef\xbb\xbf"));
}

void StructureReportTest::failingOutput_data()
{
    QTest::addColumn<int>("fault"); // 0 cannot open, 1 byte budget, 2 fails at commit
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<int>("label");
    QTest::newRow("cannot be created") << 0 << qint64(0) << 120;
    QTest::newRow("first bytes refused, inside the table") << 1 << qint64(0) << 190;
    QTest::newRow("device full in the middle of the table") << 1 << qint64(100000) << 190;
    QTest::newRow("device full at the last bytes") << 1 << qint64(140000) << 208;
    QTest::newRow("fails when put in place") << 2 << qint64(1) << 208;
}

void StructureReportTest::failingOutput()
{
    QFETCH(int, fault);
    QFETCH(qint64, budget);
    QFETCH(int, label);
    m_source->tables.append(wideTable());
    setReportOutputOpener([&](const QString &path) -> std::unique_ptr<ReportOutput> {
        if (fault == 0)
            throw Failure(QStringLiteral("Cannot create the report file: disk quota exceeded"));
        return std::make_unique<FaultyOutput>(path, fault == 1 ? budget : qint64(1) << 40, fault == 2);
    });
    const auto restore = qScopeGuard([] { setReportOutputOpener(nullptr); });
    QFile old(reportPath());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the last report\r\n");
    old.close();

    ListSelection selection({"customers", "wide"}, {true, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(!writeStructureReport(reportPath(), selection, ReportSource::folder(QStringLiteral("/x")), feedback, sink));
    QCOMPARE(sink.where(), QStringList{QStringLiteral("Form2.generateStructure %1").arg(label)});
    QVERIFY(feedback.messages.isEmpty()); // no "Done."
    QCOMPARE(feedback.busy, (QList<bool>{true, false}));
    QCOMPARE(readAll(reportPath()), QByteArray("the last report\r\n"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.txt"});
    QCOMPARE(m_source->connectionsOpen, 0);
}

// A device is never renamed over: the report is written to it as it is, and
// a write it refuses fails the report.
void StructureReportTest::deviceAsReport()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    ListSelection selection({"customers"}, {true});
    RecordingFeedback feedback;
    RecordingSink sink;
    QVERIFY(!writeStructureReport(QStringLiteral("/dev/full"), selection, ReportSource::folder(QStringLiteral("/x")),
                               feedback, sink));
    QCOMPARE(sink.where(), QStringList{"Form2.generateStructure 208"});
    QCOMPARE(sink.reports.first().description,
             QStringLiteral("Cannot write the report file '/dev/full': No space left on device"));
    QVERIFY(feedback.messages.isEmpty());
    QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());
    QVERIFY(QFileInfo::exists(QStringLiteral("/dev/full")));
}

QTEST_MAIN(StructureReportTest)
#include "tst_structurereport.moc"
