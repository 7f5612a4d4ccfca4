// The structure difference: pairs of small sources that differ in one way
// each, read from their files and compared by orvalle-report --diff; a real
// container against a copy the test alters; sources against their own JSON
// dictionaries; and the command line's formats, statuses and refusals.

#include "controlcharacters.h"
#include "fixturesources.h"
#include "export/cli/diffcommand.h"
#include "export/diff/structurediff.h"
#include "reporttool.h"
#include "xbasewriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <functional>
#include <utility>

using namespace xbasewriter;

namespace {

IndexTagSpec tag(const QByteArray &name, const QByteArray &expression, quint8 options = 0x60)
{
    IndexTagSpec made;
    made.name = name;
    made.expression = expression;
    made.options = options;
    return made;
}

// A small container: Customers and Orders, related, with one view. Every
// part a difference can be about is a member a test can change.
struct Sales {
    QList<FieldSpec> customerFields{{"CUSTOMERID", 'C', 5}, {"COMPANY", 'C', 40, 0, 0x02},
                                    {"COUNTRY", 'C', 15}, {"_NullFlags", '0', 1, 0, 0x05}};
    QList<ContainerField> customerProperties{
        {QStringLiteral("customerid"), {}, {}, false, propertyEntry(56, "Customer ID")},
        {QStringLiteral("company"), {}, {}, false,
         propertyEntry(11, "\"n/a\"") + propertyEntry(9, "!EMPTY(company)")
             + propertyEntry(10, "\"A company needs a name.\"") + propertyEntry(56, "Company")},
        {QStringLiteral("country"), QStringLiteral("Where they are"), {}},
    };
    QList<IndexTagSpec> customerTags{tag("CUSTOMERID", "customerid", 0x64), tag("COUNTRY", "UPPER(country)", 0x61)};
    quint8 customerCodePage = 0x03;
    quint32 customerRecords = 0;
    QString customerComment = QStringLiteral("Our customers");
    QList<FieldSpec> orderFields{{"ORDERID", 'I', 4, 0, 0x0C, 1001, 1}, {"CUSTOMERID", 'C', 5}, {"TOTAL", 'N', 10, 2}};
    QList<IndexTagSpec> orderTags{tag("ORDERID", "orderid", 0x64), tag("CUSTOMERID", "customerid")};
    QList<RelationRecord> relations{
        {QStringLiteral("customerid"), QStringLiteral("Customers"), QStringLiteral("customerid"), "CRI"}};
    QString viewSql = QStringLiteral("SELECT * FROM orders WHERE total > 100");
    bool withView = true;
    bool withRemoteView = false;
    bool withProducts = false;
    bool customerIndexBroken = false;
    bool ordersIndexed = true;

    void write(const QDir &dir) const
    {
        TableSpec customers;
        customers.backlink = "sales.dbc";
        customers.tableFlags = 0x01;
        customers.codePage = customerCodePage;
        customers.recordCount = customerRecords;
        customers.fields = customerFields;
        writeTable(dir.filePath(QStringLiteral("customers.dbf")), customers);
        writeFile(dir.filePath(QStringLiteral("customers.cdx")),
                  customerIndexBroken ? QByteArray(1024, '\xFF') : compoundIndexBytes(customerTags));

        TableSpec orders;
        orders.backlink = "sales.dbc";
        orders.tableFlags = ordersIndexed ? 0x01 : 0x00;
        orders.fields = orderFields;
        writeTable(dir.filePath(QStringLiteral("orders.dbf")), orders);
        if (ordersIndexed)
            writeFile(dir.filePath(QStringLiteral("orders.cdx")), compoundIndexBytes(orderTags));

        ContainerSpec layout;
        ContainerTable customerTable{QStringLiteral("Customers"), QStringLiteral("customers.dbf"),
                                     customerProperties, customerComment};
        customerTable.extraProperties = propertyEntry(20, "customerid");
        ContainerTable orderTable{QStringLiteral("Orders"), QStringLiteral("orders.dbf"), {}, {}};
        for (const FieldSpec &field : orderFields)
            orderTable.fields.append({QString::fromLatin1(field.name).toLower(), {}, {}});
        orderTable.extraProperties = propertyEntry(20, "orderid");
        orderTable.relations = relations;
        layout.tables = {customerTable, orderTable};
        if (withProducts) {
            TableSpec products;
            products.backlink = "sales.dbc";
            products.fields = {{"CODE", 'C', 8}};
            writeTable(dir.filePath(QStringLiteral("products.dbf")), products);
            layout.tables.append({QStringLiteral("Products"), QStringLiteral("products.dbf"),
                                  {{QStringLiteral("code"), {}, {}}}, {}});
        }
        if (withView) {
            ContainerView view{QStringLiteral("big_orders"),
                               {{QStringLiteral("orderid"), {}, QStringLiteral("I")}}};
            view.properties = propertyEntry(42, viewSql.toLatin1()) + rawPropertyEntry(41, "\x01");
            layout.views = {view};
        }
        if (withRemoteView) {
            ContainerView remote{QStringLiteral("Remote_Customers"),
                                 {{QStringLiteral("cust_id"), {}, QStringLiteral("C(5)")}}};
            remote.properties = propertyEntry(42, "SELECT * FROM customer") + rawPropertyEntry(41, "\x02")
                                + propertyEntry(32, "pubs");
            layout.views.append(remote);
        }
        writeContainer(dir.filePath(QStringLiteral("sales.dbc")), layout);
    }
};

using Outcome = ToolOutcome;

Outcome runDiff(const QString &before, const QString &after, cli::DiffFormat format = cli::DiffFormat::Text,
                const QStringList &tables = {}, const QString &output = {})
{
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    cli::DiffRequest request{before, after, tables, format, output};
    Outcome outcome;
    outcome.exitCode = cli::runDiff(request, out, err);
    outcome.out = out.data();
    outcome.err = err.data();
    // Every page the tests make is checked for characters no reader should meet.
    if (format == cli::DiffFormat::Html) {
        if (const QString found = firstControlCharacter(outcome.out); !found.isEmpty())
            QTest::qFail(qPrintable(QStringLiteral("The HTML page holds ") + found), __FILE__, __LINE__);
    }
    return outcome;
}

Outcome runTool(const QStringList &arguments)
{
    return runProgram(reportTool(), arguments);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Checks the document against docs/diff.schema.json with Python's
// jsonschema, after checking the schema itself; the failures, or empty.
QString schemaFailures(const QByteArray &document)
{
    static const char *const script = R"(
import json, sys, jsonschema
with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
document = json.loads(sys.stdin.buffer.read().decode("utf-8"))
errors = list(jsonschema.Draft202012Validator(schema).iter_errors(document))
for e in errors:
    print("/".join(str(p) for p in e.absolute_path), e.message)
sys.exit(1 if errors else 0)
)";
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromLatin1(script), QStringLiteral(ORVALLE_DIFF_SCHEMA)});
    process.write(document);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("python3 did not finish");
    return process.exitCode() == 0 ? QString() : QString::fromUtf8(process.readAll()) + QStringLiteral(" (failed)");
}

// Each list item of the page: its class, then its own text (not its sub-list's).
QStringList listItems(const QByteArray &page, QString *error)
{
    QXmlStreamReader xml(page);
    QStringList items;
    QString current;
    bool inItem = false;
    auto flush = [&] {
        if (inItem)
            items.append(current.trimmed());
        inItem = false;
    };
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == QLatin1String("li")) {
                flush();
                current = xml.attributes().value(QStringLiteral("class")).toString() + QLatin1Char(' ');
                inItem = true;
            } else if (xml.name() == QLatin1String("ul")) {
                flush();
            }
            break;
        case QXmlStreamReader::EndElement:
            if (xml.name() == QLatin1String("li"))
                flush();
            break;
        case QXmlStreamReader::Characters:
            if (inItem)
                current += xml.text();
            break;
        default:
            break;
        }
    }
    *error = xml.hasError() ? xml.errorString() : firstControlCharacter(page);
    return items;
}

// A path as Markdown text: its underscores escaped.
QString markdownPath(QString path)
{
    return path.replace(QLatin1Char('_'), QStringLiteral("\\_"));
}

using Change = std::function<void(Sales &)>;

} // namespace

Q_DECLARE_METATYPE(Change)

class StructureDiffTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("old")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("new")));
    }

    void oneChangeEach_data();
    void oneChangeEach();
    void theSchemaIsStrict();
    void theSameStructureIsNoChange();
    void namesDifferingOnlyInCaseAreTheSame();
    void freeTablesAddedAndRemoved();
    void aFixtureContainerAgainstAnAlteredCopy();
    void sourcesAgainstTheirOwnDictionaries();
    void tablesLimitTheComparison();
    void eachFormatSaysTheSame();
    void textFromTheFilesKeepsToItsLine();
    void unreadableTablesAreTroubleNotRemovals();
    void tagsThatCannotBeReadAreTrouble();
    void namesEqualButForCaseAreTablesOfTheirOwn();
    void aSelectionOverADictionary();
    void commandLine();
    void outputIsWholeAndNeverASideFile();

private:
    QString oldPath() const { return m_dir->filePath(QStringLiteral("old/sales.dbc")); }
    QString newPath() const { return m_dir->filePath(QStringLiteral("new/sales.dbc")); }
    // The expected text with its two sides filled in.
    QByteArray expected(const QString &body) const
    {
        return (QStringLiteral("Structure changes from %1 to %2\n\n").arg(oldPath(), newPath()) + body).toUtf8();
    }
    void writePair(const Change &change)
    {
        Sales before;
        before.write(QDir(m_dir->filePath(QStringLiteral("old"))));
        Sales after;
        change(after);
        after.write(QDir(m_dir->filePath(QStringLiteral("new"))));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void StructureDiffTest::oneChangeEach_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("lines");

    const QString customers = QStringLiteral("Table Customers changed:\n");
    const QString orders = QStringLiteral("Table Orders changed:\n");
    const QString oneTable = QStringLiteral("\nIn all: tables 1 changed.\n");

    QTest::newRow("table added") << Change([](Sales &s) { s.withProducts = true; })
                                 << QStringLiteral("Table Products added (1 field)\n\nIn all: tables 1 added.\n");
    QTest::newRow("field added") << Change([](Sales &s) {
        s.orderFields.append({"SHIPPED", 'D', 8});
    }) << orders + QStringLiteral("  field shipped added (Date, position 4)\n") + oneTable;
    QTest::newRow("field removed") << Change([](Sales &s) { s.orderFields.removeAt(2); })
                                   << orders + QStringLiteral("  field total removed (Numeric(10,2), position 3)\n") + oneTable;
    QTest::newRow("field renamed") << Change([](Sales &s) {
        s.customerFields[2].name = "NATION";
        s.customerProperties[2].name = QStringLiteral("nation");
    }) << customers + QStringLiteral("  field country renamed to nation (possibly: same position 3 and type)\n") + oneTable;
    QTest::newRow("field added at the front moves no other") << Change([](Sales &s) {
        s.orderFields.prepend({"PLACED", 'D', 8});
    }) << orders + QStringLiteral("  field placed added (Date, position 1)\n") + oneTable;
    QTest::newRow("field moved") << Change([](Sales &s) {
        s.orderFields.move(2, 0);
    }) << orders + QStringLiteral("  field total moved from position 3 to 1\n") + oneTable;
    QTest::newRow("fields swapped") << Change([](Sales &s) {
        s.orderFields.swapItemsAt(0, 2);
    }) << orders + QStringLiteral("  field total moved from position 3 to 1\n"
                                  "  field orderid moved from position 1 to 3\n") + oneTable;
    QTest::newRow("another type at the same position is no rename") << Change([](Sales &s) {
        s.customerFields[2] = {"NATION", 'N', 5};
        s.customerProperties[2].name = QStringLiteral("nation");
    }) << customers + QStringLiteral("  field nation added (Numeric(5), position 3)\n"
                                     "  field country removed (Character(15), position 3)\n") + oneTable;
    QTest::newRow("field retyped") << Change([](Sales &s) {
        s.orderFields[2] = {"TOTAL", 'Y', 8, 4};
    }) << orders + QStringLiteral("  field total: type Numeric -> Currency\n"
                                  "  field total: width 10 -> 8\n"
                                  "  field total: decimals 2 -> 4\n") + oneTable;
    QTest::newRow("field widened") << Change([](Sales &s) { s.customerFields[1].width = 60; })
                                   << customers + QStringLiteral("  field company: width 40 -> 60\n") + oneTable;
    QTest::newRow("decimals") << Change([](Sales &s) { s.orderFields[2].decimals = 3; })
                              << orders + QStringLiteral("  field total: decimals 2 -> 3\n") + oneTable;
    QTest::newRow("nullable") << Change([](Sales &s) { s.customerFields[2].flags = 0x02; })
                              << customers + QStringLiteral("  field country: null values no -> yes\n") + oneTable;
    QTest::newRow("binary") << Change([](Sales &s) { s.customerFields[0].flags = 0x04; })
                            << customers + QStringLiteral("  field customerid: binary no -> yes\n") + oneTable;
    QTest::newRow("autoincrement off") << Change([](Sales &s) {
        s.orderFields[0] = {"ORDERID", 'I', 4};
    }) << orders + QStringLiteral("  field orderid: autoincrement yes -> no\n") + oneTable;
    QTest::newRow("autoincrement step") << Change([](Sales &s) { s.orderFields[0].step = 5; })
                                        << orders + QStringLiteral("  field orderid: autoincrement step 1 -> 5\n") + oneTable;
    QTest::newRow("default") << Change([](Sales &s) {
        s.customerProperties[1].properties = propertyEntry(11, "\"unknown\"") + propertyEntry(9, "!EMPTY(company)")
            + propertyEntry(10, "\"A company needs a name.\"") + propertyEntry(56, "Company");
    }) << customers + QStringLiteral("  field company: default \"\"n/a\"\" -> \"\"unknown\"\"\n") + oneTable;
    QTest::newRow("rule and message") << Change([](Sales &s) {
        s.customerProperties[1].properties = propertyEntry(11, "\"n/a\"") + propertyEntry(9, "LEN(company) > 2")
            + propertyEntry(10, "\"Too short.\"") + propertyEntry(56, "Company");
    }) << customers + QStringLiteral("  field company: validation rule \"!EMPTY(company)\" -> \"LEN(company) > 2\"\n"
                                     "  field company: validation message \"\"A company needs a name.\"\" -> \"\"Too short.\"\"\n")
            + oneTable;
    QTest::newRow("caption") << Change([](Sales &s) {
        s.customerProperties[0].properties = propertyEntry(56, "Customer code");
    }) << customers + QStringLiteral("  field customerid: caption \"Customer ID\" -> \"Customer code\"\n") + oneTable;
    QTest::newRow("comment") << Change([](Sales &s) { s.customerProperties[2].comment = QString(); })
                             << customers + QStringLiteral("  field country: comment \"Where they are\" -> (none)\n") + oneTable;
    QTest::newRow("table comment") << Change([](Sales &s) { s.customerComment = QStringLiteral("Buyers"); })
                                   << customers + QStringLiteral("  comment \"Our customers\" -> \"Buyers\"\n") + oneTable;
    QTest::newRow("code page") << Change([](Sales &s) { s.customerCodePage = 0x02; })
                               << customers + QStringLiteral("  code page 1252 (Windows ANSI) -> 850 (International MS-DOS)\n") + oneTable;
    QTest::newRow("tag added") << Change([](Sales &s) { s.orderTags.append(tag("TOTAL", "total")); })
                               << orders + QStringLiteral("  index tag TOTAL added: total (regular)\n") + oneTable;
    QTest::newRow("structural index dropped") << Change([](Sales &s) { s.ordersIndexed = false; })
                                             << orders + QStringLiteral("  index tag ORDERID removed\n"
                                                                        "  index tag CUSTOMERID removed\n") + oneTable;
    QTest::newRow("tag removed") << Change([](Sales &s) { s.orderTags.removeLast(); })
                                 << orders + QStringLiteral("  index tag CUSTOMERID removed\n") + oneTable;
    QTest::newRow("tag expression") << Change([](Sales &s) { s.customerTags[1].expression = "country"; })
                                    << customers + QStringLiteral("  index tag COUNTRY: key UPPER(country) -> country\n") + oneTable;
    QTest::newRow("tag filter") << Change([](Sales &s) { s.customerTags[1].filter = "!DELETED()"; })
                                << customers + QStringLiteral("  index tag COUNTRY: filter (none) -> !DELETED()\n") + oneTable;
    QTest::newRow("tag kind") << Change([](Sales &s) { s.customerTags[1].options = 0x60; })
                              << customers + QStringLiteral("  index tag COUNTRY: kind unique -> regular\n") + oneTable;
    QTest::newRow("tag descending") << Change([](Sales &s) { s.customerTags[1].descending = true; })
                                    << customers + QStringLiteral("  index tag COUNTRY: descending no -> yes\n") + oneTable;
    QTest::newRow("tag collation") << Change([](Sales &s) { s.customerTags[1].collation = "GENERAL"; })
                                   << customers + QStringLiteral("  index tag COUNTRY: collation MACHINE -> GENERAL\n") + oneTable;
    // Told apart from the one already there by its child tag alone.
    QTest::newRow("second relation between the same tables") << Change([](Sales &s) {
        s.relations.append({QStringLiteral("orderid"), QStringLiteral("Customers"), QStringLiteral("customerid"), "RRR"});
    }) << QStringLiteral("Relation from Customers (tag customerid) to Orders (tag orderid) added\n\n"
                         "In all: relations 1 added.\n");
    QTest::newRow("relation removed") << Change([](Sales &s) { s.relations.clear(); })
                                      << QStringLiteral("Relation from Customers (tag customerid) to Orders (tag customerid) removed\n\n"
                                                        "In all: relations 1 removed.\n");
    QTest::newRow("relation added") << Change([](Sales &s) {
        s.relations.append({QStringLiteral("orderid"), QStringLiteral("Customers"), QStringLiteral("country"), "RRR"});
    }) << QStringLiteral("Relation from Customers (tag country) to Orders (tag orderid) added\n\n"
                         "In all: relations 1 added.\n");
    QTest::newRow("relation rule") << Change([](Sales &s) { s.relations[0].riInfo = "CCI"; })
                                   << QStringLiteral("Relation from Customers (tag customerid) to Orders (tag customerid) changed:\n"
                                                     "  on delete restrict -> cascade\n\n"
                                                     "In all: relations 1 changed.\n");
    QTest::newRow("view added") << Change([](Sales &s) { s.withRemoteView = true; })
                                << QStringLiteral("View Remote_Customers added\n\nIn all: views 1 added.\n");
    QTest::newRow("view removed") << Change([](Sales &s) { s.withView = false; })
                                  << QStringLiteral("View big_orders removed\n\nIn all: views 1 removed.\n");
    QTest::newRow("view changed") << Change([](Sales &s) { s.viewSql = QStringLiteral("SELECT * FROM orders"); })
                                  << QStringLiteral("View big_orders changed:\n"
                                                    "  SQL \"SELECT * FROM orders WHERE total > 100\" -> \"SELECT * FROM orders\"\n\n"
                                                    "In all: views 1 changed.\n");
}

void StructureDiffTest::oneChangeEach()
{
    QFETCH(Change, change);
    QFETCH(QString, lines);
    writePair(change);
    const Outcome outcome = runDiff(oldPath(), newPath());
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.out, expected(lines));
    QCOMPARE(outcome.exitCode, int(cli::Different));

    const Outcome json = runDiff(oldPath(), newPath(), cli::DiffFormat::Json);
    QCOMPARE(json.exitCode, int(cli::Different));
    QCOMPARE(schemaFailures(json.out), QString());
}

void StructureDiffTest::theSchemaIsStrict()
{
    writePair([](Sales &s) { s.customerFields[1].width = 60; });
    const QByteArray document = runDiff(oldPath(), newPath(), cli::DiffFormat::Json).out;
    QCOMPARE(schemaFailures(document), QString());
    const QList<QPair<QByteArray, QByteArray>> broken{
        {"\"before\": 40", "\"before\": \"40\""},
        {"\"property\": \"width\"", "\"property\": \"girth\""},
        {"\"change\": \"changed\"", "\"change\": \"altered\""},
        {"\"tagsCompared\": true", "\"tagsCompared\": true, \"extra\": 1"},
        {"\"format\": \"orvalle-diff\"", "\"format\": \"orvalle-dictionary\""},
    };
    for (const auto &[from, to] : broken) {
        QVERIFY2(document.contains(from), from.constData());
        QByteArray changed = document;
        changed.replace(from, to);
        QVERIFY2(!schemaFailures(changed).isEmpty(), to.constData());
    }
}

void StructureDiffTest::theSameStructureIsNoChange()
{
    // Rows and the next autoincrement value are data, not structure.
    writePair([](Sales &s) {
        s.customerRecords = 3;
        s.orderFields[0].nextValue = 5000;
    });
    const Outcome outcome = runDiff(oldPath(), newPath());
    QCOMPARE(outcome.out, expected(QStringLiteral("No changes.\n")));
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.exitCode, int(cli::NoDifference));
}

void StructureDiffTest::namesDifferingOnlyInCaseAreTheSame()
{
    writePair([](Sales &s) {
        s.customerProperties[1].name = QStringLiteral("COMPANY");
        s.customerTags[1].name = "country";
        s.relations[0].parentTable = QStringLiteral("CUSTOMERS");
        s.relations[0].parentTag = QStringLiteral("CustomerID");
    });
    const Outcome outcome = runDiff(oldPath(), newPath());
    QCOMPARE(outcome.out, expected(QStringLiteral("No changes.\n")));
    QCOMPARE(outcome.exitCode, int(cli::NoDifference));
}

void StructureDiffTest::freeTablesAddedAndRemoved()
{
    const QDir dir(m_dir->path());
    TableSpec table;
    table.fields = {{"CODE", 'C', 4}};
    writeTable(dir.filePath(QStringLiteral("old/kept.dbf")), table);
    writeTable(dir.filePath(QStringLiteral("old/gone.dbf")), table);
    table.fields.append({"PRICE", 'N', 8, 2});
    writeTable(dir.filePath(QStringLiteral("new/KEPT.DBF")), table);
    writeTable(dir.filePath(QStringLiteral("new/fresh.dbf")), table);
    const QString before = dir.filePath(QStringLiteral("old"));
    const QString after = dir.filePath(QStringLiteral("new"));
    const Outcome outcome = runDiff(before, after);
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.out, QStringLiteral("Structure changes from %1 to %2\n\n"
                                         "Table fresh added (2 fields)\n"
                                         "Table kept changed:\n"
                                         "  field price added (Numeric(8,2), position 2)\n"
                                         "Table gone removed (1 field)\n\n"
                                         "In all: tables 1 added, 1 removed, 1 changed.\n")
                              .arg(before, after)
                              .toUtf8());
    QCOMPARE(outcome.exitCode, int(cli::Different));
}

void StructureDiffTest::aFixtureContainerAgainstAnAlteredCopy()
{
    const QString northwind = QStringLiteral(ORVALLE_FIXTURES_DIR "/VFPX__Samples/Northwind");
    if (!QFileInfo::exists(northwind + QStringLiteral("/northwind.dbc")))
        QSKIP("the fixtures are not here");
    const QString copy = m_dir->filePath(QStringLiteral("copy"));
    QVERIFY(QDir().mkpath(copy));
    for (const QFileInfo &file : QDir(northwind).entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), copy + QLatin1Char('/') + file.fileName()));

    // products.dbf: its code page mark (byte 29) from 1252 to 437, and the
    // decimals of unitprice, its sixth field (descriptor 6 at 32 + 5 * 32,
    // decimals at byte 17 of it), from 4 to 2.
    QFile products(copy + QStringLiteral("/products.dbf"));
    QVERIFY(products.open(QIODevice::ReadWrite));
    QByteArray header = products.read(32 + 6 * 32);
    QCOMPARE(header.mid(32 + 5 * 32, 9), QByteArray("UNITPRICE"));
    QCOMPARE(quint8(header.at(29)), quint8(0x03));
    QCOMPARE(quint8(header.at(32 + 5 * 32 + 17)), quint8(4));
    header[29] = char(0x01);
    header[32 + 5 * 32 + 17] = char(2);
    QVERIFY(products.seek(0));
    QCOMPARE(products.write(header), header.size());
    products.close();
    // The orders table's file is gone.
    QVERIFY(QFile::remove(copy + QStringLiteral("/orders.dbf")));

    const QString before = northwind + QStringLiteral("/northwind.dbc");
    const QString after = copy + QStringLiteral("/northwind.dbc");
    const Outcome outcome = runDiff(before, after);
    // A table that cannot be read is not a removed one: it is named, here
    // and on standard error, and the outcome is trouble.
    QCOMPARE(outcome.out, QStringLiteral("Structure changes from %1 to %2\n\n"
                                         "Table Products changed:\n"
                                         "  code page 1252 (Windows ANSI) -> 437 (U.S. MS-DOS)\n"
                                         "  field unitprice: decimals 4 -> 2\n"
                                         "Table Orders not compared (%2): Its file 'orders.dbf' is missing; the table is left out.\n\n"
                                         "In all: tables 1 changed; tables 1 not compared.\n")
                              .arg(before, after)
                              .toUtf8());
    QVERIFY2(outcome.err.startsWith("orvalle-report: " + after.toUtf8() + ": Orders: Its file"), outcome.err.constData());
    QCOMPARE(outcome.err.count('\n'), 1);
    QCOMPARE(outcome.exitCode, int(cli::DiffTrouble));
}

void StructureDiffTest::sourcesAgainstTheirOwnDictionaries()
{
    QStringList sources = fixtureSources(QStringLiteral(ORVALLE_FIXTURES_DIR));
    if (sources.isEmpty())
        QSKIP("the fixtures are not here");
    Sales sales;
    sales.write(QDir(m_dir->filePath(QStringLiteral("old"))));
    sources.append(oldPath());

    int compared = 0;
    for (const QString &source : sources) {
        const QString json = m_dir->filePath(QStringLiteral("capture.json"));
        const Outcome written = runTool({QStringLiteral("--format"), QStringLiteral("json"), source,
                                         QStringLiteral("-o"), json});
        if (written.exitCode != 0)
            continue; // a source the reader refuses, or with a table it cannot read
        // No change either way; what one side could not compare, the other
        // could not either, and it is trouble both ways.
        for (const auto &[from, to] : {std::pair{source, json}, std::pair{json, source}}) {
            const Outcome outcome = runDiff(from, to, cli::DiffFormat::Json);
            const QJsonObject document = QJsonDocument::fromJson(outcome.out).object();
            const bool complete = document.value(QStringLiteral("notCompared")).toArray().isEmpty()
                && document.value(QStringLiteral("tagsNotCompared")).toArray().isEmpty();
            QVERIFY2(document.value(QStringLiteral("different")) == QJsonValue(false)
                         && document.value(QStringLiteral("tables")).toArray().isEmpty()
                         && outcome.exitCode == (complete ? cli::NoDifference : cli::DiffTrouble),
                     qPrintable(from + QLatin1Char('\n') + outcome.out + outcome.err));
        }
        ++compared;
    }
    QVERIFY2(compared > 20, qPrintable(QString::number(compared)));
}

void StructureDiffTest::tablesLimitTheComparison()
{
    writePair([](Sales &s) {
        s.customerFields[1].width = 60;
        s.orderFields.removeAt(2);
        s.withView = false;
    });
    Outcome outcome = runDiff(oldPath(), newPath(), cli::DiffFormat::Text, {QStringLiteral("ORDERS")});
    QCOMPARE(outcome.out, expected(QStringLiteral("Table Orders changed:\n"
                                                  "  field total removed (Numeric(10,2), position 3)\n\n"
                                                  "In all: tables 1 changed.\n")));
    QCOMPARE(outcome.exitCode, int(cli::Different));

    // A view only one side has is named as it is; the relation needs both tables.
    outcome = runDiff(oldPath(), newPath(), cli::DiffFormat::Text, {QStringLiteral("big_orders")});
    QCOMPARE(outcome.out, expected(QStringLiteral("View big_orders removed\n\nIn all: views 1 removed.\n")));

    outcome = runDiff(oldPath(), newPath(), cli::DiffFormat::Text, {QStringLiteral("Nothing"), QStringLiteral("Orders")});
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err, QStringLiteral("orvalle-report: Nothing: no such table or view in %1 or %2\n")
                              .arg(oldPath(), newPath()).toUtf8());
    QCOMPARE(outcome.exitCode, int(cli::DiffTrouble));
}

void StructureDiffTest::eachFormatSaysTheSame()
{
    writePair([](Sales &s) {
        s.customerFields[1].width = 60;
        s.customerFields[2].name = "NATION";
        s.customerProperties[2].name = QStringLiteral("nation");
        s.orderFields.append({"NOTE", 'C', 20, 0, 0x02});
        s.orderTags.removeLast();
        s.withProducts = true;
        s.relations[0].riInfo = "CCI";
    });

    const Outcome markdown = runDiff(oldPath(), newPath(), cli::DiffFormat::Markdown);
    QCOMPARE(markdown.exitCode, int(cli::Different));
    QCOMPARE(markdown.out,
             QStringLiteral("# Structure changes\n\n"
                            "Changes from %1 to %2.\n\n"
                            "- Table **Customers** changed:\n"
                            "  - field **company**: width 40 → 60\n"
                            "  - field **country** renamed to **nation** (possibly: same position 3 and type)\n"
                            "- Table **Orders** changed:\n"
                            "  - field **note** added (Character(20), position 4)\n"
                            "  - index tag **CUSTOMERID** removed\n"
                            "- Table **Products** added (1 field)\n"
                            "- Relation from **Customers** (tag **customerid**) to **Orders** (tag **customerid**) changed:\n"
                            "  - on delete restrict → cascade\n\n"
                            "In all: tables 1 added, 2 changed; relations 1 changed.\n")
                 .arg(markdownPath(oldPath()), markdownPath(newPath()))
                 .toUtf8());

    const Outcome json = runDiff(oldPath(), newPath(), cli::DiffFormat::Json);
    QCOMPARE(json.exitCode, int(cli::Different));
    QJsonParseError parsed;
    const QJsonObject document = QJsonDocument::fromJson(json.out, &parsed).object();
    QCOMPARE(parsed.error, QJsonParseError::NoError);
    QCOMPARE(document.value(QStringLiteral("format")).toString(), QStringLiteral("orvalle-diff"));
    QCOMPARE(document.value(QStringLiteral("version")).toInt(), 1);
    QCOMPARE(document.value(QStringLiteral("before")).toString(), oldPath());
    QCOMPARE(document.value(QStringLiteral("different")).toBool(), true);
    const QJsonArray tables = document.value(QStringLiteral("tables")).toArray();
    QCOMPARE(tables.size(), 3);
    const QJsonObject customers = tables.at(0).toObject();
    QCOMPARE(customers.value(QStringLiteral("change")).toString(), QStringLiteral("changed"));
    const QJsonArray fields = customers.value(QStringLiteral("fields")).toArray();
    QCOMPARE(fields.size(), 2);
    const QJsonObject widened = fields.at(0).toObject();
    QCOMPARE(widened.value(QStringLiteral("name")).toString(), QStringLiteral("company"));
    const QJsonObject width = widened.value(QStringLiteral("values")).toArray().at(0).toObject();
    QCOMPARE(width.value(QStringLiteral("property")).toString(), QStringLiteral("width"));
    QCOMPARE(width.value(QStringLiteral("before")), QJsonValue(40));
    QCOMPARE(width.value(QStringLiteral("after")), QJsonValue(60));
    const QJsonObject renamed = fields.at(1).toObject();
    QCOMPARE(renamed.value(QStringLiteral("oldName")).toString(), QStringLiteral("country"));
    QCOMPARE(renamed.value(QStringLiteral("name")).toString(), QStringLiteral("nation"));
    QCOMPARE(renamed.value(QStringLiteral("renamed")).toBool(), true);
    const QJsonObject added = tables.at(1).toObject().value(QStringLiteral("fields")).toArray().at(0).toObject();
    QCOMPARE(added.value(QStringLiteral("change")).toString(), QStringLiteral("added"));
    QVERIFY(added.value(QStringLiteral("positionBefore")).isNull());
    QCOMPARE(added.value(QStringLiteral("positionAfter")), QJsonValue(4));
    QCOMPARE(tables.at(2).toObject().value(QStringLiteral("change")).toString(), QStringLiteral("added"));
    const QJsonObject relation = document.value(QStringLiteral("relations")).toArray().at(0).toObject();
    const QJsonObject rule = relation.value(QStringLiteral("values")).toArray().at(0).toObject();
    QCOMPARE(rule.value(QStringLiteral("property")).toString(), QStringLiteral("onDelete"));
    QCOMPARE(rule.value(QStringLiteral("after")).toString(), QStringLiteral("cascade"));
    QCOMPARE(schemaFailures(json.out), QString());

    const Outcome html = runDiff(oldPath(), newPath(), cli::DiffFormat::Html);
    QCOMPARE(html.exitCode, int(cli::Different));
    QString error;
    const QStringList items = listItems(html.out, &error);
    QCOMPARE(error, QString());
    QCOMPARE(items, QStringList({QStringLiteral("changed Table Customers changed:"),
                                 QStringLiteral("changed field company: width 40 → 60"),
                                 QStringLiteral("changed field country renamed to nation (possibly: same position 3 and type)"),
                                 QStringLiteral("changed Table Orders changed:"),
                                 QStringLiteral("added field note added (Character(20), position 4)"),
                                 QStringLiteral("removed index tag CUSTOMERID removed"),
                                 QStringLiteral("added Table Products added (1 field)"),
                                 QStringLiteral("changed Relation from Customers (tag customerid) to Orders (tag customerid) changed:"),
                                 QStringLiteral("changed on delete restrict → cascade")}));
}

void StructureDiffTest::textFromTheFilesKeepsToItsLine()
{
    // A caption with a line break, markup and JSON's quotes: one line in the
    // change list, escaped in every other format.
    const QByteArray hostile = "<b>\"x\"</b>\r\n# **y** | `z`";
    writePair([&](Sales &s) { s.customerProperties[0].properties = propertyEntry(56, hostile); });
    const Outcome text = runDiff(oldPath(), newPath());
    QCOMPARE(text.out, expected(QStringLiteral("Table Customers changed:\n"
                                               "  field customerid: caption \"Customer ID\" -> \"<b>\"x\"</b>  # **y** | `z`\"\n\n"
                                               "In all: tables 1 changed.\n")));

    const Outcome markdown = runDiff(oldPath(), newPath(), cli::DiffFormat::Markdown);
    QVERIFY2(markdown.out.contains("  - field **customerid**: caption \"Customer ID\" → "
                                   "\"&lt;b&gt;\"x\"&lt;/b&gt;  \\# \\*\\*y\\*\\* \\| \\`z\\`\"\n"),
             markdown.out.constData());

    const Outcome html = runDiff(oldPath(), newPath(), cli::DiffFormat::Html);
    QString error;
    const QStringList items = listItems(html.out, &error);
    QCOMPARE(error, QString());
    QVERIFY(items.contains(QStringLiteral("changed field customerid: caption \"Customer ID\" → \"<b>\"x\"</b>  # **y** | `z`\"")));

    const Outcome json = runDiff(oldPath(), newPath(), cli::DiffFormat::Json);
    const QJsonObject value = QJsonDocument::fromJson(json.out).object().value(QStringLiteral("tables")).toArray().at(0)
                                  .toObject().value(QStringLiteral("fields")).toArray().at(0).toObject()
                                  .value(QStringLiteral("values")).toArray().at(0).toObject();
    QCOMPARE(value.value(QStringLiteral("after")).toString(), QString::fromLatin1(hostile));

    // A dictionary can hold what no code page does: line and paragraph
    // separators, which many editors break lines at, become spaces too.
    const QString capture = m_dir->filePath(QStringLiteral("capture.json"));
    QCOMPARE(runTool({QStringLiteral("-f"), QStringLiteral("json"), oldPath(), QStringLiteral("-o"), capture}).exitCode, 0);
    QByteArray document = readAll(capture);
    QVERIFY(document.contains("\"caption\": \"Customer ID\""));
    document.replace("\"caption\": \"Customer ID\"", "\"caption\": \"Customer\\u2028- ID\\u2029# x\"");
    writeFile(capture, document);
    const Outcome separators = runDiff(capture, newPath(), cli::DiffFormat::Markdown);
    QVERIFY2(separators.out.contains("  - field **customerid**: caption \"Customer - ID \\# x\" → "),
             separators.out.constData());

    // A name with white space at either end is still strong in Markdown.
    document = readAll(capture);
    QVERIFY(document.contains("\"name\": \"Customers\""));
    document.replace("\"name\": \"Customers\"", "\"name\": \" Customers\\t\"");
    writeFile(capture, document);
    const Outcome spaced = runDiff(capture, newPath(), cli::DiffFormat::Markdown);
    QVERIFY2(spaced.out.contains("- Table **&#x20;Customers&#x20;** removed"), spaced.out.constData());
}

void StructureDiffTest::unreadableTablesAreTroubleNotRemovals()
{
    writePair([](Sales &s) { s.orderFields[2].width = 12; });
    // The old side's customers table has no header to read.
    writeFile(m_dir->filePath(QStringLiteral("old/customers.dbf")), QByteArray(5, '\0'));
    const Outcome outcome = runDiff(oldPath(), newPath());
    const QString reason = QStringLiteral("'customers.dbf' is not a table: the file is 5 bytes long, shorter than a "
                                          "header. The table cannot be read and is left out.");
    QCOMPARE(outcome.out, expected(QStringLiteral("Table Orders changed:\n"
                                                  "  field total: width 10 -> 12\n"
                                                  "Table Customers not compared (%1): %2\n\n"
                                                  "In all: tables 1 changed; tables 1 not compared.\n")
                                       .arg(oldPath(), reason)));
    QCOMPARE(outcome.err, QStringLiteral("orvalle-report: %1: Customers: %2\n").arg(oldPath(), reason).toUtf8());
    QCOMPARE(outcome.exitCode, int(cli::DiffTrouble));
    const QJsonObject document =
        QJsonDocument::fromJson(runDiff(oldPath(), newPath(), cli::DiffFormat::Json).out).object();
    QCOMPARE(document.value(QStringLiteral("notCompared")).toArray(),
             QJsonArray({QJsonObject{{QStringLiteral("side"), QStringLiteral("before")},
                                     {QStringLiteral("table"), QStringLiteral("Customers")},
                                     {QStringLiteral("reason"), reason}}}));

    // The same table in a dictionary written then: still not compared, not added.
    const QString capture = m_dir->filePath(QStringLiteral("capture.json"));
    QCOMPARE(runTool({QStringLiteral("-f"), QStringLiteral("json"), oldPath(), QStringLiteral("-o"), capture}).exitCode, 1);
    const Outcome captured = runDiff(capture, newPath());
    QCOMPARE(captured.out, QStringLiteral("Structure changes from %1 to %2\n\n"
                                          "Table Orders changed:\n"
                                          "  field total: width 10 -> 12\n"
                                          "Table Customers not compared (%1): %3\n\n"
                                          "In all: tables 1 changed; tables 1 not compared.\n")
                               .arg(capture, newPath(), reason)
                               .toUtf8());
    QCOMPARE(captured.exitCode, int(cli::DiffTrouble));


    // Not asked for: no trouble.
    const Outcome orders = runDiff(oldPath(), newPath(), cli::DiffFormat::Text, {QStringLiteral("orders")});
    QCOMPARE(orders.err, QByteArray());
    QCOMPARE(orders.exitCode, int(cli::Different));

    // A side that is no source at all.
    const Outcome missing = runDiff(m_dir->filePath(QStringLiteral("nowhere")), newPath());
    QCOMPARE(missing.out, QByteArray());
    QVERIFY2(missing.err.startsWith(("orvalle-report: " + m_dir->filePath(QStringLiteral("nowhere")) + ": 1 ").toUtf8()),
             missing.err.constData());
    QCOMPARE(missing.exitCode, int(cli::DiffTrouble));

    // A dictionary that is not one.
    const QString broken = m_dir->filePath(QStringLiteral("broken.json"));
    writeFile(broken, "{\"format\": \"something else\"}");
    const Outcome notDictionary = runDiff(broken, newPath());
    QCOMPARE(notDictionary.out, QByteArray());
    QCOMPARE(notDictionary.err, ("orvalle-report: " + broken + ": not an orvalle-dictionary document\n").toUtf8());
    QCOMPARE(notDictionary.exitCode, int(cli::DiffTrouble));

    // A table whose container lists another number of fields is read without
    // the container's names and properties: not compared either.
    writePair([](Sales &s) { s.customerFields.insert(3, {"REGION", 'C', 10}); });
    const Outcome mismatch = runDiff(oldPath(), newPath());
    QCOMPARE(mismatch.out, expected(QStringLiteral("Table Customers not compared (%1): The container lists 3 fields for "
                                                   "it, its header 4; the fields are the table's own, without the "
                                                   "container's names and properties.\n\n"
                                                   "In all: tables 1 not compared.\n")
                                        .arg(newPath())));
    QCOMPARE(mismatch.exitCode, int(cli::DiffTrouble));
}

void StructureDiffTest::tagsThatCannotBeReadAreTrouble()
{
    writePair([](Sales &s) { s.customerIndexBroken = true; });
    const Outcome outcome = runDiff(oldPath(), newPath());
    const QString head = QStringLiteral("Index tags of table Customers not compared (%1): 'customers.cdx' ").arg(newPath());
    QVERIFY2(outcome.out.startsWith(expected(head)), outcome.out.constData());
    QVERIFY2(outcome.out.endsWith(" Its index file cannot be read: tags unknown.\n\nIn all: index tags 1 not compared.\n"),
             outcome.out.constData());
    QCOMPARE(outcome.out.count('\n'), 5);
    QVERIFY2(outcome.err.startsWith(("orvalle-report: " + newPath() + ": Customers: 'customers.cdx' ").toUtf8()),
             outcome.err.constData());
    QCOMPARE(outcome.err.count('\n'), 1);
    QCOMPARE(outcome.exitCode, int(cli::DiffTrouble));

    // With a change of its own, the table says its tags were not compared.
    writePair([](Sales &s) {
        s.customerIndexBroken = true;
        s.customerFields[1].width = 60;
    });
    const Outcome changed = runDiff(oldPath(), newPath());
    QVERIFY2(changed.out.startsWith(expected(QStringLiteral("Table Customers changed:\n"
                                                            "  field company: width 40 -> 60\n"
                                                            "  index tags not compared: the structural index of the "
                                                            "new side could not be read\n")
                                             + head)),
             changed.out.constData());
    QVERIFY(changed.out.endsWith("\n\nIn all: tables 1 changed; index tags 1 not compared.\n"));
    QCOMPARE(changed.exitCode, int(cli::DiffTrouble));

    // Missing on both sides: no change, but nothing says the tags are the same.
    writePair([](Sales &) {});
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("old/customers.cdx"))));
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("new/customers.cdx"))));
    const Outcome missing = runDiff(oldPath(), newPath());
    const QString reason = QStringLiteral("Its header announces a structural index, but there is no 'customers.cdx': "
                                          "tags unknown.");
    QCOMPARE(missing.out, expected(QStringLiteral("Index tags of table Customers not compared (%1): %3\n"
                                                  "Index tags of table Customers not compared (%2): %3\n\n"
                                                  "In all: index tags 2 not compared.\n")
                                       .arg(oldPath(), newPath(), reason)));
    QCOMPARE(missing.exitCode, int(cli::DiffTrouble));
    const QJsonObject document =
        QJsonDocument::fromJson(runDiff(oldPath(), newPath(), cli::DiffFormat::Json).out).object();
    QCOMPARE(document.value(QStringLiteral("different")), QJsonValue(false));
    QCOMPARE(document.value(QStringLiteral("tagsNotCompared")).toArray().size(), 2);
}

void StructureDiffTest::namesEqualButForCaseAreTablesOfTheirOwn()
{
    // A folder may hold orders.dbf and ORDERS.DBF: the one added is the new one.
    const QDir dir(m_dir->path());
    TableSpec orders;
    orders.fields = {{"ID", 'I', 4}, {"NAME", 'C', 20}};
    writeTable(dir.filePath(QStringLiteral("old/orders.dbf")), orders);
    writeTable(dir.filePath(QStringLiteral("new/orders.dbf")), orders);
    TableSpec twin;
    twin.fields = {{"X", 'N', 5}};
    writeTable(dir.filePath(QStringLiteral("new/ORDERS.DBF")), twin);
    const QString before = dir.filePath(QStringLiteral("old"));
    const QString after = dir.filePath(QStringLiteral("new"));
    const Outcome outcome = runDiff(before, after);
    QCOMPARE(outcome.out, QStringLiteral("Structure changes from %1 to %2\n\n"
                                         "Table ORDERS added (1 field)\n\n"
                                         "In all: tables 1 added.\n")
                              .arg(before, after)
                              .toUtf8());
    QCOMPARE(outcome.exitCode, int(cli::Different));
}

void StructureDiffTest::aSelectionOverADictionary()
{
    writePair([](Sales &s) {
        s.orderFields[2].width = 12;
        s.relations[0].riInfo = "CCI";
        s.customerFields[1].width = 60;
    });
    const QString capture = m_dir->filePath(QStringLiteral("capture.json"));
    QCOMPARE(runTool({QStringLiteral("-f"), QStringLiteral("json"), oldPath(), QStringLiteral("-o"), capture}).exitCode, 0);
    // The relation's parent is not asked for: the relation is left out.
    const Outcome outcome = runDiff(capture, newPath(), cli::DiffFormat::Text, {QStringLiteral("orders")});
    QCOMPARE(outcome.out, QStringLiteral("Structure changes from %1 to %2\n\n"
                                         "Table Orders changed:\n"
                                         "  field total: width 10 -> 12\n\n"
                                         "In all: tables 1 changed.\n")
                              .arg(capture, newPath())
                              .toUtf8());
    QCOMPARE(outcome.exitCode, int(cli::Different));
    const Outcome both = runDiff(capture, newPath(), cli::DiffFormat::Text,
                                 {QStringLiteral("orders"), QStringLiteral("CUSTOMERS")});
    QVERIFY2(both.out.endsWith("Relation from Customers (tag customerid) to Orders (tag customerid) changed:\n"
                               "  on delete restrict -> cascade\n\n"
                               "In all: tables 2 changed; relations 1 changed.\n"),
             both.out.constData());
}

void StructureDiffTest::commandLine()
{
    writePair([](Sales &s) { s.customerFields[1].width = 60; });
    const QByteArray changeList = expected(QStringLiteral("Table Customers changed:\n"
                                                          "  field company: width 40 -> 60\n\n"
                                                          "In all: tables 1 changed.\n"));
    Outcome outcome = runTool({QStringLiteral("--diff"), oldPath(), newPath()});
    QCOMPARE(outcome.out, changeList);
    QCOMPARE(outcome.exitCode, 1);
    outcome = runTool({oldPath(), QStringLiteral("--diff"), oldPath()});
    QCOMPARE(outcome.out, QStringLiteral("Structure changes from %1 to %1\n\nNo changes.\n").arg(oldPath()).toUtf8());
    QCOMPARE(outcome.exitCode, 0);
    outcome = runTool({QStringLiteral("--diff"), QStringLiteral("--format=markdown"), oldPath(), newPath(),
                       QStringLiteral("Customers")});
    QVERIFY(outcome.out.startsWith("# Structure changes\n"));
    QCOMPARE(outcome.exitCode, 1);

    // A captured structure compared later: the JSON dictionary as OLD.
    const QString capture = m_dir->filePath(QStringLiteral("capture.JSON"));
    QCOMPARE(runTool({QStringLiteral("-f"), QStringLiteral("json"), oldPath(), QStringLiteral("-o"), capture}).exitCode, 0);
    outcome = runTool({QStringLiteral("--diff"), capture, newPath()});
    QCOMPARE(outcome.out, QStringLiteral("Structure changes from %1 to %2\n\n"
                                         "Table Customers changed:\n"
                                         "  field company: width 40 -> 60\n\n"
                                         "In all: tables 1 changed.\n")
                              .arg(capture, newPath())
                              .toUtf8());
    QCOMPARE(outcome.exitCode, 1);

    for (const QStringList &wrong : {QStringList{QStringLiteral("--diff"), oldPath()},
                                     QStringList{QStringLiteral("--diff")},
                                     QStringList{QStringLiteral("--diff"), oldPath(), newPath(), QStringLiteral("--list")},
                                     QStringList{QStringLiteral("--diff"), oldPath(), newPath(), QStringLiteral("-f"),
                                                 QStringLiteral("postgres")}}) {
        outcome = runTool(wrong);
        QVERIFY2(outcome.exitCode == 2, qPrintable(wrong.join(QLatin1Char(' '))));
        QCOMPARE(outcome.out, QByteArray());
        QVERIFY(outcome.err.endsWith("Try 'orvalle-report --help'.\n"));
    }
    QVERIFY(runTool({QStringLiteral("--help")}).out.contains("--diff OLD NEW"));
}

void StructureDiffTest::outputIsWholeAndNeverASideFile()
{
    writePair([](Sales &s) { s.customerFields[1].width = 60; });
    const QString report = m_dir->filePath(QStringLiteral("changes.md"));
    Outcome outcome = runDiff(oldPath(), newPath(), cli::DiffFormat::Markdown, {}, report);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.exitCode, int(cli::Different));
    QVERIFY(readAll(report).startsWith("# Structure changes\n"));

    // Either side's files, and a dictionary being read, are never written.
    const QString capture = m_dir->filePath(QStringLiteral("capture.json"));
    QCOMPARE(runTool({QStringLiteral("-f"), QStringLiteral("json"), oldPath(), QStringLiteral("-o"), capture}).exitCode, 0);
    const QByteArray captured = readAll(capture);
    for (const QString &side : {m_dir->filePath(QStringLiteral("new/customers.cdx")), newPath(),
                                m_dir->filePath(QStringLiteral("old/orders.dbf")), capture}) {
        const QByteArray before = readAll(side);
        outcome = runDiff(side == capture ? capture : oldPath(), newPath(), cli::DiffFormat::Text, {}, side);
        QVERIFY2(outcome.exitCode == cli::DiffTrouble, qPrintable(side));
        QVERIFY2(outcome.err.contains(": 3 that is "), outcome.err.constData());
        QCOMPARE(readAll(side), before);
    }
    QCOMPARE(readAll(capture), captured);

    // A folder cannot take the report: the old file stays, nothing is left beside it.
    const QString folder = m_dir->filePath(QStringLiteral("a folder"));
    QVERIFY(QDir().mkpath(folder));
    outcome = runDiff(oldPath(), newPath(), cli::DiffFormat::Text, {}, folder);
    QCOMPARE(outcome.exitCode, int(cli::DiffTrouble));
    QVERIFY(!outcome.err.isEmpty());
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("capture.json"), QStringLiteral("changes.md")}));
}

QTEST_MAIN(StructureDiffTest)
#include "tst_structurediff.moc"
