// orvalle-report's --format: every dictionary format from the command line,
// with the text report's selection, refusal and failure rules.

#include "reporttool.h"
#include "xbasewriter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace xbasewriter;

namespace {

using Outcome = ToolOutcome;

Outcome runTool(const QStringList &arguments)
{
    return runProgram(reportTool(), arguments);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class ReportFormatsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void eachFormatDescribesTheChosenTable_data();
    void eachFormatDescribesTheChosenTable();
    void textIsTheDefault();
    void wrongFormatsAreUsageErrors_data();
    void wrongFormatsAreUsageErrors();
    void sourceFilesAreRefused();
    void unknownTableFails();
    void unreadableTableIsReportedAndTheRestWritten();
    void failedWriteLeavesTheOldFile();

private:
    QString source() const { return m_folder->path(); }
    std::unique_ptr<QTemporaryDir> m_folder;
};

void ReportFormatsTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    TableSpec customer;
    customer.fields = {{"CUST_ID", 'I', 4}, {"NAME", 'C', 30}, {"BALANCE", 'N', 10, 2}};
    customer.tableFlags = 0x01; // with its structural index
    writeTable(m_folder->filePath(QStringLiteral("customer.dbf")), customer);
    writeFile(m_folder->filePath(QStringLiteral("customer.cdx")),
              compoundIndexBytes({{"CUST_ID", "cust_id", {}, 0x64, false, {}, 4},
                                  {"NAME", "UPPER(name)", {}, 0x60, false, {}, 30}}));
    TableSpec orders;
    orders.fields = {{"ORDER_ID", 'I', 4}, {"PLACED", 'D', 8}};
    writeTable(m_folder->filePath(QStringLiteral("orders.dbf")), orders);
}

void ReportFormatsTest::eachFormatDescribesTheChosenTable_data()
{
    QTest::addColumn<QStringList>("format");
    QTest::addColumn<QByteArrayList>("expected"); // in this order in the document
    QTest::addColumn<QByteArrayList>("absent");

    QTest::newRow("markdown") << QStringList{"--format", "markdown"}
                              << QByteArrayList{"# Data dictionary", "customer", "cust\\_id", "name", "balance"}
                              << QByteArrayList{"orders", "order\\_id"};
    QTest::newRow("html") << QStringList{"--format=html"}
                          << QByteArrayList{"<!DOCTYPE html>", "customer", "cust_id", "balance", "</html>"}
                          << QByteArrayList{"order_id"};
    QTest::newRow("postgres") << QStringList{"-f", "postgres"}
                              << QByteArrayList{"CREATE TABLE \"customer\" (", "\"cust_id\" integer",
                                                "\"name\" varchar(30)", "\"balance\" numeric(12,2)", "COMMIT;"}
                              << QByteArrayList{"\"orders\""};
    QTest::newRow("sqlite") << QStringList{"--format", "sqlite"}
                            << QByteArrayList{"CREATE TABLE \"customer\" (", "\"cust_id\" integer",
                                              "\"name\" varchar(30)", "COMMIT;"}
                            << QByteArrayList{"\"orders\""};
    QTest::newRow("postgres pre-data")
        << QStringList{"-f", "postgres", "--section", "pre-data"}
        << QByteArrayList{"BEGIN;", "-- Pre-data: the tables", "CREATE TABLE \"customer\" (", "COMMIT;"}
        << QByteArrayList{"PRIMARY KEY", "CREATE INDEX", "Post-data"};
    QTest::newRow("postgres post-data")
        << QStringList{"--section", "post-data", "-f", "postgres"}
        << QByteArrayList{"BEGIN;", "-- Post-data: keys",
                          "ALTER TABLE \"customer\" ADD CONSTRAINT \"customer_cust_id_key\" UNIQUE (\"cust_id\");",
                          "CREATE INDEX \"customer_NAME\" ON \"customer\" (upper(\"name\"));", "COMMIT;"}
        << QByteArrayList{"CREATE TABLE", "Pre-data"};
    // SQLite's unique constraint made after the data is a unique index.
    QTest::newRow("sqlite pre-data") << QStringList{"--format", "sqlite", "--section", "pre-data"}
                                     << QByteArrayList{"CREATE TABLE \"customer\" (", "COMMIT;"}
                                     << QByteArrayList{"UNIQUE", "INDEX"};
    QTest::newRow("sqlite post-data")
        << QStringList{"--format", "sqlite", "--section", "post-data"}
        << QByteArrayList{"CREATE UNIQUE INDEX \"customer_cust_id_key\" ON \"customer\" (\"cust_id\");",
                          "CREATE INDEX \"customer_NAME\" ON \"customer\" (upper(\"name\"));", "COMMIT;"}
        << QByteArrayList{"CREATE TABLE"};
}

void ReportFormatsTest::eachFormatDescribesTheChosenTable()
{
    QFETCH(QStringList, format);
    QFETCH(QByteArrayList, expected);
    QFETCH(QByteArrayList, absent);

    const Outcome outcome = runTool(format + QStringList{source(), QStringLiteral("customer")});
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    qsizetype from = 0;
    for (const QByteArray &text : expected) {
        const qsizetype at = outcome.out.indexOf(text, from);
        QVERIFY2(at >= 0, text.constData());
        from = at + text.size();
    }
    for (const QByteArray &text : absent)
        QVERIFY2(!outcome.out.contains(text), text.constData());

    // The same document to a file, and nothing on standard output.
    const QString path = m_folder->filePath(QStringLiteral("dictionary.out"));
    const Outcome toFile = runTool(format + QStringList{source(), QStringLiteral("customer"), QStringLiteral("-o"), path});
    QCOMPARE(toFile.exitCode, 0);
    QCOMPARE(toFile.out, QByteArray());
    QCOMPARE(readAll(path), outcome.out);
}

void ReportFormatsTest::textIsTheDefault()
{
    const Outcome plain = runTool({source()});
    const Outcome text = runTool({QStringLiteral("--format"), QStringLiteral("text"), source()});
    QCOMPARE(plain.exitCode, 0);
    QCOMPARE(text.exitCode, 0);
    QVERIFY(plain.out.contains("Table Name : customer    Total Fields : 3\r\n"));
    QCOMPARE(text.out, plain.out);

    const Outcome json = runTool({QStringLiteral("--format"), QStringLiteral("json"), source()});
    QCOMPARE(json.exitCode, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.out, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(document["format"].toString(), QStringLiteral("orvalle-dictionary"));
    QCOMPARE(document["version"].toInt(), 1);
    const QJsonArray tables = document["tables"].toArray();
    QCOMPARE(tables.size(), 2);
    QCOMPARE(tables[0]["name"].toString(), QStringLiteral("customer"));
    QCOMPARE(tables[1]["name"].toString(), QStringLiteral("orders"));
    const QJsonArray fields = tables[0]["fields"].toArray();
    QCOMPARE(fields.size(), 3);
    QCOMPARE(fields[2]["name"].toString(), QStringLiteral("balance"));
    QCOMPARE(fields[2]["width"].toInt(), 10);
    QCOMPARE(fields[2]["decimals"].toInt(), 2);
}

void ReportFormatsTest::wrongFormatsAreUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown") << QStringList{"--format", "xml", "{}"}
                             << QByteArray("orvalle-report: unknown format xml (text, json, markdown, html, "
                                           "postgres, sqlite, dot or svg)\n");
    QTest::newRow("case") << QStringList{"--format", "JSON", "{}"}
                          << QByteArray("orvalle-report: unknown format JSON (text, json, markdown, html, "
                                        "postgres, sqlite, dot or svg)\n");
    QTest::newRow("missing") << QStringList{"{}", "--format"}
                             << QByteArray("orvalle-report: --format needs a format name\n");
    QTest::newRow("twice") << QStringList{"-f", "json", "-f", "html", "{}"}
                           << QByteArray("orvalle-report: only one format can be given\n");
    QTest::newRow("with --list") << QStringList{"--list", "--format", "json", "{}"}
                                 << QByteArray("orvalle-report: --list takes no TABLE, no output file and no format\n");
    QTest::newRow("section of json") << QStringList{"--format", "json", "--section", "pre-data", "{}"}
                                     << QByteArray("orvalle-report: --section goes with --format postgres or sqlite\n");
    QTest::newRow("section of text") << QStringList{"--section", "post-data", "{}"}
                                     << QByteArray("orvalle-report: --section goes with --format postgres or sqlite\n");
    QTest::newRow("data of sqlite") << QStringList{"-f", "sqlite", "--data", "{}"}
                                    << QByteArray("orvalle-report: --data goes with --format postgres, and no --section\n");
    QTest::newRow("data of a section") << QStringList{"-f", "postgres", "--data", "--section", "pre-data", "{}"}
                                       << QByteArray("orvalle-report: --data goes with --format postgres, and no --section\n");
    QTest::newRow("unknown section") << QStringList{"-f", "sqlite", "--section", "data", "{}"}
                                     << QByteArray("orvalle-report: --section takes pre-data or post-data\n");
}

void ReportFormatsTest::wrongFormatsAreUsageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    arguments.replaceInStrings(QStringLiteral("{}"), source());
    const Outcome outcome = runTool(arguments);
    QCOMPARE(outcome.exitCode, 2);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err, message + "Try 'orvalle-report --help'.\n");
}

void ReportFormatsTest::sourceFilesAreRefused()
{
    const QString table = m_folder->filePath(QStringLiteral("orders.dbf"));
    const QByteArray before = readAll(table);
    const Outcome outcome = runTool({QStringLiteral("--format"), QStringLiteral("json"), source(),
                                     QStringLiteral("customer"), QStringLiteral("-o"), table});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY2(outcome.err.startsWith("orvalle-report: " + source().toUtf8() + ": 3 The report cannot be written to '"),
             outcome.err.constData());
    QVERIFY(outcome.err.contains("that is the data source's file"));
    QCOMPARE(outcome.err.count('\n'), 1);
    QCOMPARE(readAll(table), before);
}

void ReportFormatsTest::unknownTableFails()
{
    const Outcome outcome = runTool({QStringLiteral("--format"), QStringLiteral("html"), source(),
                                     QStringLiteral("customers")});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err, "orvalle-report: customers: no such table in " + source().toUtf8() + " (see --list)\n");
}

void ReportFormatsTest::unreadableTableIsReportedAndTheRestWritten()
{
    // A table whose header ends inside its field descriptors.
    TableSpec layout;
    layout.fields = {{"NAME", 'C', 10}};
    QByteArray broken = tableBytes(layout);
    broken.truncate(40);
    writeFile(m_folder->filePath(QStringLiteral("broken.dbf")), broken);

    const Outcome outcome = runTool({QStringLiteral("--format"), QStringLiteral("json"), source()});
    QCOMPARE(outcome.exitCode, 1);
    const QList<QByteArray> lines = outcome.err.split('\n');
    QCOMPARE(lines.size(), 2); // one line and the final line break
    QVERIFY2(lines[0].startsWith("orvalle-report: broken: "), lines[0].constData());
    const QJsonDocument document = QJsonDocument::fromJson(outcome.out);
    QStringList names;
    for (const QJsonValue &table : document["tables"].toArray())
        names.append(table["name"].toString());
    QCOMPARE(names, (QStringList{"customer", "orders"}));
    bool found = false;
    for (const QJsonValue &finding : document["findings"].toArray())
        found = found || (finding["place"].toString() == QLatin1String("broken") && finding["severity"].toString() == QLatin1String("error"));
    QVERIFY(found);
}

void ReportFormatsTest::failedWriteLeavesTheOldFile()
{
    // The output's folder is gone: nothing is written and the tool says so.
    const QString path = m_folder->filePath(QStringLiteral("missing/dictionary.md"));
    const Outcome outcome = runTool({QStringLiteral("--format"), QStringLiteral("markdown"), source(),
                                     QStringLiteral("-o"), path});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.err.count('\n'), 1);
    QVERIFY(!QFile::exists(path));

    // A full device takes nothing: the tool fails rather than report success.
    const Outcome full = runTool({QStringLiteral("--format"), QStringLiteral("markdown"), source(),
                                  QStringLiteral("-o"), QStringLiteral("/dev/full")});
    QCOMPARE(full.exitCode, 1);
}

QTEST_GUILESS_MAIN(ReportFormatsTest)
#include "tst_reportformats.moc"
