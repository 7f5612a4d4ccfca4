// The structure model: sources the test writer makes (every type letter,
// dialects, code pages, containers with their properties, indexes, relations
// and views), facts decoded by hand from real files, and each kind of finding.

#include "model/dataaccess.h"
#include "platform/failure.h"
#include "model/sourcemodel.h"
#include "xbasewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace xbasewriter;
using model::Finding;
using model::IndexModel;
using model::RelationModel;
using model::Severity;
using model::SourceModel;
using model::TableModel;
using model::TagKind;

namespace {

QString fixture(const QString &relative)
{
    return QDir(QStringLiteral(ORVALLE_FIXTURES_DIR)).filePath(relative);
}

const QString NorthwindFolder = QStringLiteral("VFPX__Samples/Northwind");
const QString Northwind = NorthwindFolder + QStringLiteral("/northwind.dbc");
const QString RemoteViews = QStringLiteral("VFPX__Samples/Com+/Transactions/testdata.dbc");

// A memo file's header as FoxPro writes it: next free block, block size big-endian at 6.
QByteArray fptHeader(int blockSize)
{
    QByteArray bytes(512, '\0');
    bytes[3] = char(512 / qMax(blockSize, 1));
    bytes[6] = char((blockSize >> 8) & 0xFF);
    bytes[7] = char(blockSize & 0xFF);
    return bytes;
}

// A dBase IV .dbt header: the block length little-endian at 20.
QByteArray dbtHeader(int blockLength)
{
    QByteArray bytes(512, '\0');
    bytes[0] = 1;
    bytes[20] = char(blockLength & 0xFF);
    bytes[21] = char((blockLength >> 8) & 0xFF);
    return bytes;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (24 - 8 * i)) & 0xFF);
    return bytes;
}

QString severityText(Severity severity)
{
    return severity == Severity::Error ? QStringLiteral("Error") : QStringLiteral("Warning");
}

QString describe(const Finding &finding)
{
    return severityText(finding.severity) + QStringLiteral(" | ") + finding.place + QStringLiteral(" | ")
        + finding.message;
}

QStringList describe(const QList<Finding> &findings)
{
    QStringList lines;
    for (const Finding &finding : findings)
        lines.append(describe(finding));
    return lines;
}

QString kindText(TagKind kind)
{
    switch (kind) {
    case TagKind::Primary: return QStringLiteral("primary");
    case TagKind::Candidate: return QStringLiteral("candidate");
    case TagKind::Unique: return QStringLiteral("unique");
    case TagKind::Regular: return QStringLiteral("regular");
    }
    return {};
}

// "NAME expression kind", then " FOR filter", " descending", " collation X"
// when they are not the defaults.
QString describe(const IndexModel &index)
{
    QString text = index.name + QLatin1Char(' ') + index.expression + QLatin1Char(' ') + kindText(index.kind);
    if (!index.filter.isEmpty())
        text += QStringLiteral(" FOR ") + index.filter;
    if (index.descending)
        text += QStringLiteral(" descending");
    if (index.collation != QLatin1String("MACHINE"))
        text += QStringLiteral(" collation ") + index.collation;
    return text;
}

QStringList describe(const QList<IndexModel> &indexes)
{
    QStringList lines;
    for (const IndexModel &index : indexes)
        lines.append(describe(index));
    return lines;
}

// "Parent.tag <- Child.tag update/delete/insert", empty words shown as "-".
QString describe(const RelationModel &relation)
{
    const auto word = [](const QString &text) { return text.isEmpty() ? QStringLiteral("-") : text; };
    return relation.parentTable + QLatin1Char('.') + relation.parentTag + QStringLiteral(" <- ") + relation.childTable
        + QLatin1Char('.') + relation.childTag + QLatin1Char(' ') + word(relation.onUpdate) + QLatin1Char('/')
        + word(relation.onDelete) + QLatin1Char('/') + word(relation.onInsert);
}

QStringList describe(const QList<RelationModel> &relations)
{
    QStringList lines;
    for (const RelationModel &relation : relations)
        lines.append(describe(relation));
    return lines;
}

QStringList tableNames(const SourceModel &source)
{
    QStringList names;
    for (const TableModel &table : source.tables)
        names.append(table.name);
    return names;
}

QStringList viewNames(const SourceModel &source)
{
    QStringList names;
    for (const model::ViewModel &view : source.views)
        names.append(view.name);
    return names;
}

const TableModel *tableNamed(const SourceModel &source, const QString &name)
{
    for (const TableModel &table : source.tables) {
        if (table.name == name)
            return &table;
    }
    return nullptr;
}

const model::FieldModel *fieldNamed(const TableModel &table, const QString &name)
{
    for (const model::FieldModel &field : table.fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

IndexTagSpec tag(const QByteArray &name, const QByteArray &expression, quint8 options = 0x60)
{
    IndexTagSpec made;
    made.name = name;
    made.expression = expression;
    made.options = options;
    return made;
}

// A container of two related tables and two views, with every property the
// model carries set to a value of its own.
//   Customers (customers.dbf): customerid C(5), companyname C(40) nullable
//     (COMPANYNAM in the header), country C(15); primary key customerid.
//   Orders (orders.dbf): orderid I autoincrement, customerid C(5), shipvia I.
void writeSalesContainer(const QDir &dir)
{
    TableSpec customers;
    customers.version = 0x30;
    customers.backlink = "sales.dbc";
    customers.tableFlags = 0x01;
    customers.fields = {{"CUSTOMERID", 'C', 5}, {"COMPANYNAM", 'C', 40, 0, 0x02}, {"COUNTRY", 'C', 15, 0, 0x02},
                        {"_NullFlags", '0', 1, 0, 0x05}};
    writeTable(dir.filePath(QStringLiteral("customers.dbf")), customers);
    IndexTagSpec newest = tag("NEWEST", "customerid");
    newest.descending = true;
    IndexTagSpec named = tag("NAME", "UPPER(companyname)");
    named.collation = "GENERAL";
    IndexTagSpec active = tag("ACTIVE", "customerid");
    active.filter = "!DELETED()";
    writeFile(dir.filePath(QStringLiteral("customers.cdx")),
              compoundIndexBytes({tag("CUSTOMERID", "customerid", 0x64), tag("COMPANYNAM", "UPPER(companyname)"),
                                  tag("CODE2", "customerid", 0x64), tag("COUNTRY", "UPPER(country)", 0x61), newest,
                                  named, active}));

    TableSpec orders;
    orders.version = 0x31;
    orders.backlink = "sales.dbc";
    orders.tableFlags = 0x01;
    orders.fields = {{"ORDERID", 'I', 4, 0, 0x0C, 1001, 1}, {"CUSTOMERID", 'C', 5}, {"SHIPVIA", 'I', 4, 0, 0x04}};
    writeTable(dir.filePath(QStringLiteral("orders.dbf")), orders);
    writeFile(dir.filePath(QStringLiteral("orders.cdx")),
              compoundIndexBytes({tag("ORDERID", "orderid", 0x64), tag("CUSTOMERID", "customerid")}));

    ContainerSpec layout;
    layout.comment = QStringLiteral("Sales data");
    ContainerTable customerTable{QStringLiteral("Customers"), QStringLiteral("customers.dbf"), {}, QStringLiteral("Our customers")};
    customerTable.fields = {
        {QStringLiteral("customerid"), {}, {}, false,
         propertyEntry(7, "Unique code") + propertyEntry(54, "XXXXX") + propertyEntry(55, "!A")
             + propertyEntry(56, "Customer ID")},
        {QStringLiteral("companyname"), {}, {}, false,
         propertyEntry(11, "\"n/a\"") + propertyEntry(9, "!EMPTY(companyname)")
             + propertyEntry(10, "\"A company needs a name.\"") + propertyEntry(56, "Company Name")},
        {QStringLiteral("country"), QStringLiteral("Where they are"), {}},
    };
    customerTable.extraProperties = propertyEntry(9, "!EMPTY(customerid)")
                                    + propertyEntry(10, "\"A customer needs a code.\"")
                                    + propertyEntry(14, "__ri_insert_customers()")
                                    + propertyEntry(15, "__ri_update_customers()")
                                    + propertyEntry(16, "__ri_delete_customers()") + propertyEntry(20, "customerid");
    customerTable.indexes = {{QStringLiteral("customerid"), true}, {QStringLiteral("companynam"), false}};

    ContainerTable orderTable{QStringLiteral("Orders"), QStringLiteral("orders.dbf"), {}, {}};
    orderTable.fields = {{QStringLiteral("orderid"), {}, {}},
                         {QStringLiteral("customerid"), {}, {}},
                         {QStringLiteral("shipvia"), {}, {}}};
    orderTable.extraProperties = propertyEntry(20, "orderid");
    orderTable.relations = {
        {QStringLiteral("customerid"), QStringLiteral("CUSTOMERS"), QStringLiteral("customerid"), "CRI"},
        {QStringLiteral("shipvia"), QStringLiteral("Customers"), QStringLiteral("code2"), "RCI"},
        {QStringLiteral("customerid"), QStringLiteral("Customers"), QStringLiteral("customerid"), ""},
        {QStringLiteral("orderid"), QStringLiteral("Customers"), QStringLiteral("gone"), "X", true},
    };
    layout.tables = {orderTable, customerTable};

    ContainerView local{QStringLiteral("open_orders"),
                        {{QStringLiteral("orderid"), QStringLiteral("Order number"), QStringLiteral("I")},
                         {QStringLiteral("customerid"), {}, QStringLiteral("C(5)")}}};
    local.properties = propertyEntry(42, "SELECT * FROM orders WHERE shipvia = 0") + rawPropertyEntry(41, "\x01")
                       + propertyEntry(7, "Orders not shipped");
    ContainerView remote{QStringLiteral("Remote_Customers"),
                         {{QStringLiteral("cust_id"), {}, QStringLiteral("C(5) NOCPTRANS")}}};
    remote.properties = propertyEntry(42, "SELECT * FROM customer") + rawPropertyEntry(41, bigEndian32(2))
                        + propertyEntry(32, "pubs");
    layout.views = {remote, local};
    writeContainer(dir.filePath(QStringLiteral("sales.dbc")), layout);
}

using Setup = std::function<QString(const QDir &dir)>;

} // namespace

Q_DECLARE_METATYPE(Setup)

class SourceModelTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // The second of three fields: its type as written, its name in its dialect.
    void typeNames_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QChar>("letter");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<bool>("nullable");
        QTest::addColumn<bool>("binary");
        QTest::addColumn<bool>("autoIncrement");

        QTest::newRow("C") << 0x30 << QChar('C') << 10 << 0 << 0 << "Character" << false << false << false;
        QTest::newRow("C binary") << 0x30 << QChar('C') << 10 << 0 << 0x04 << "Character" << false << true << false;
        QTest::newRow("C nullable") << 0x30 << QChar('C') << 10 << 0 << 0x02 << "Character" << true << false << false;
        QTest::newRow("C nullable binary") << 0x30 << QChar('C') << 10 << 0 << 0x06 << "Character" << true << true << false;
        QTest::newRow("Y") << 0x30 << QChar('Y') << 8 << 4 << 0x04 << "Currency" << false << false << false;
        QTest::newRow("N") << 0x30 << QChar('N') << 10 << 2 << 0 << "Numeric" << false << false << false;
        QTest::newRow("F") << 0x30 << QChar('F') << 20 << 5 << 0 << "Float" << false << false << false;
        QTest::newRow("D") << 0x30 << QChar('D') << 8 << 0 << 0 << "Date" << false << false << false;
        QTest::newRow("T") << 0x30 << QChar('T') << 8 << 0 << 0x04 << "DateTime" << false << false << false;
        QTest::newRow("B") << 0x30 << QChar('B') << 8 << 3 << 0x04 << "Double" << false << false << false;
        QTest::newRow("I") << 0x30 << QChar('I') << 4 << 0 << 0x04 << "Integer" << false << false << false;
        QTest::newRow("L") << 0x30 << QChar('L') << 1 << 0 << 0 << "Logical" << false << false << false;
        QTest::newRow("M") << 0x30 << QChar('M') << 4 << 0 << 0 << "Memo" << false << false << false;
        QTest::newRow("M binary") << 0x30 << QChar('M') << 4 << 0 << 0x04 << "Memo" << false << true << false;
        QTest::newRow("G") << 0x30 << QChar('G') << 4 << 0 << 0x04 << "General" << false << false << false;
        QTest::newRow("P") << 0x30 << QChar('P') << 4 << 0 << 0 << "Picture" << false << false << false;
        QTest::newRow("V") << 0x32 << QChar('V') << 20 << 0 << 0 << "Varchar" << false << false << false;
        QTest::newRow("V binary") << 0x32 << QChar('V') << 20 << 0 << 0x04 << "Varchar" << false << true << false;
        QTest::newRow("V nullable") << 0x32 << QChar('V') << 20 << 0 << 0x02 << "Varchar" << true << false << false;
        QTest::newRow("Q") << 0x32 << QChar('Q') << 16 << 0 << 0x04 << "Varbinary" << false << false << false;
        QTest::newRow("W") << 0x32 << QChar('W') << 4 << 0 << 0x04 << "Blob" << false << false << false;
        QTest::newRow("unknown letter") << 0x30 << QChar('X') << 7 << 0 << 0 << "Unknown (X)" << false << false << false;
        QTest::newRow("FoxPro 2 G") << 0xF5 << QChar('G') << 10 << 0 << 0 << "General" << false << false << false;
        QTest::newRow("dBase III N") << 0x03 << QChar('N') << 12 << 3 << 0 << "Numeric" << false << false << false;
        // Byte 18 is junk outside Visual FoxPro: no flag is read from it.
        QTest::newRow("dBase III junk flags") << 0x03 << QChar('C') << 10 << 0 << 0x06 << "Character" << false << false << false;
        QTest::newRow("dBase IV B") << 0x8B << QChar('B') << 10 << 0 << 0 << "Binary" << false << false << false;
        QTest::newRow("Clipper V") << 0x03 << QChar('V') << 10 << 0 << 0 << "Variant" << false << false << false;
        QTest::newRow("dBase 7 O") << 0x04 << QChar('O') << 8 << 0 << 0 << "Double" << false << false << false;
        QTest::newRow("dBase 7 @") << 0x04 << QChar('@') << 8 << 0 << 0 << "Timestamp" << false << false << false;
        QTest::newRow("dBase 7 +") << 0x04 << QChar('+') << 4 << 0 << 0 << "Autoincrement" << false << false << true;
        QTest::newRow("dBase 7 I") << 0x04 << QChar('I') << 4 << 0 << 0 << "Integer" << false << false << false;
    }

    void typeNames()
    {
        QFETCH(int, version);
        QFETCH(QChar, letter);
        QFETCH(int, width);
        QFETCH(int, decimals);
        QFETCH(int, flags);
        QFETCH(QString, typeName);
        QFETCH(bool, nullable);
        QFETCH(bool, binary);
        QFETCH(bool, autoIncrement);

        TableSpec layout;
        layout.version = quint8(version);
        layout.fields = {{"FIRST", 'C', 5}, {"SECOND", letter.toLatin1(), width, decimals, quint8(flags)},
                         {"THIRD", 'L', 1}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(tableNames(source), QStringList{QStringLiteral("t")});
        const TableModel &table = source.tables.first();
        QCOMPARE(table.fields.size(), 3);
        const model::FieldModel &field = table.fields[1];
        QCOMPARE(field.position, 2);
        QCOMPARE(field.name, QStringLiteral("second"));
        QCOMPARE(field.shortName, QString());
        QCOMPARE(field.type, letter.toLatin1());
        QCOMPARE(field.typeName, typeName);
        QCOMPARE(field.width, width);
        QCOMPARE(field.decimals, decimals);
        QCOMPARE(field.nullable, nullable);
        QCOMPARE(field.binary, binary);
        QCOMPARE(field.autoIncrement, autoIncrement);
    }

    void typeNamesOfBytes()
    {
        QCOMPARE(model::fieldTypeName('B'), QStringLiteral("Double"));
        QCOMPARE(model::fieldTypeName('B', 0x83), QStringLiteral("Binary"));
        QCOMPARE(model::fieldTypeName('B', 0x32), QStringLiteral("Double"));
        QCOMPARE(model::fieldTypeName('V', 0x31), QStringLiteral("Varchar"));
        QCOMPARE(model::fieldTypeName('0'), QStringLiteral("_NullFlags"));
        QCOMPARE(model::fieldTypeName('x'), QStringLiteral("Unknown (x)"));
        // A byte that is no letter is named by its value, so no control character reaches a document.
        QCOMPARE(model::fieldTypeName('\n'), QStringLiteral("Unknown (0x0A)"));
        QCOMPARE(model::fieldTypeName(char(0xE9)), QStringLiteral("Unknown (0xE9)"));
        QCOMPARE(model::fieldTypeName(' '), QStringLiteral("Unknown (0x20)"));
    }

    void dialects_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("dialect");

        QTest::newRow("0x02") << 0x02 << "FoxBASE";
        QTest::newRow("0x03") << 0x03 << "dBase III";
        QTest::newRow("0x83") << 0x83 << "dBase III";
        QTest::newRow("0x8B") << 0x8B << "dBase IV";
        QTest::newRow("0x04") << 0x04 << "dBase 7";
        QTest::newRow("0x8C") << 0x8C << "dBase 7";
        QTest::newRow("0xF5") << 0xF5 << "FoxPro 2.x";
        QTest::newRow("0x30") << 0x30 << "Visual FoxPro";
        QTest::newRow("0x31") << 0x31 << "Visual FoxPro";
        QTest::newRow("0x32") << 0x32 << "Visual FoxPro 9";
    }

    void dialects()
    {
        QFETCH(int, version);
        QFETCH(QString, dialect);

        TableSpec layout;
        layout.version = quint8(version);
        layout.fields = {{"NAME", 'C', 10}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), 1);
        QCOMPARE(source.tables[0].dialect, dialect);
        QCOMPARE(int(source.tables[0].version), version);
    }

    void dialectsOfOtherBytes()
    {
        QCOMPARE(model::dialectName(0x43), QStringLiteral("dBase IV SQL table"));
        QCOMPARE(model::dialectName(0x63), QStringLiteral("dBase IV SQL system"));
        QCOMPARE(model::dialectName(0x07), QStringLiteral("Visual Objects"));
        QCOMPARE(model::dialectName(0xE5), QStringLiteral("HiPer-Six"));
        QCOMPARE(model::dialectName(0xFB), QStringLiteral("FoxBASE"));
        QCOMPARE(model::dialectName(0x99), QStringLiteral("Unknown (0x99)"));
    }

    void codePages_data()
    {
        QTest::addColumn<int>("mark");
        QTest::addColumn<QString>("name");

        QTest::newRow("none") << 0x00 << "";
        QTest::newRow("0x01") << 0x01 << "437 (U.S. MS-DOS)";
        QTest::newRow("0x02") << 0x02 << "850 (International MS-DOS)";
        QTest::newRow("0x03") << 0x03 << "1252 (Windows ANSI)";
        QTest::newRow("0x04") << 0x04 << "10000 (Standard Macintosh)";
        QTest::newRow("0x65") << 0x65 << "866 (Russian MS-DOS)";
        QTest::newRow("0x66") << 0x66 << "865 (Nordic MS-DOS)";
        QTest::newRow("0x68") << 0x68 << "895 (Kamenicky (Czech) MS-DOS)";
        QTest::newRow("0x69") << 0x69 << "620 (Mazovia (Polish) MS-DOS)";
        QTest::newRow("0x7A") << 0x7A << "936 (Chinese Simplified (PRC, Singapore) Windows)";
        QTest::newRow("0x7E") << 0x7E << "1256 (Arabic Windows)";
        QTest::newRow("0x98") << 0x98 << "10006 (Greek Macintosh)";
        QTest::newRow("0xC8") << 0xC8 << "1250 (Eastern European Windows)";
        QTest::newRow("0xC9") << 0xC9 << "1251 (Russian Windows)";
        QTest::newRow("0xCB") << 0xCB << "1253 (Greek Windows)";
        QTest::newRow("ESRI 0x57") << 0x57 << "1252 (Windows ANSI)";
        QTest::newRow("dBase 0x1B") << 0x1B << "437 (U.S. MS-DOS)";
        QTest::newRow("dBase 0x26") << 0x26 << "866 (Russian MS-DOS)";
        QTest::newRow("dBase 0x24") << 0x24 << "860 (Portuguese MS-DOS)";
        QTest::newRow("Baltic 0xCC") << 0xCC << "1257 (Baltic Windows)";
        QTest::newRow("UTF-8 0xF0") << 0xF0 << "65001 (UTF-8)";
        QTest::newRow("no table's 0x7F") << 0x7F << "mark 0x7F";
    }

    void codePages()
    {
        QFETCH(int, mark);
        QFETCH(QString, name);

        TableSpec layout;
        layout.codePage = quint8(mark);
        layout.fields = {{"NAME", 'C', 10}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), 1);
        QCOMPARE(int(source.tables[0].codePageMark), mark);
        QCOMPARE(source.tables[0].codePage, name);
    }

    void headerFacts()
    {
        TableSpec layout;
        layout.version = 0x03;
        layout.fields = {{"NAME", 'C', 20}, {"QTY", 'N', 5}};
        layout.recordCount = 3;
        writeTable(m_dir->filePath(QStringLiteral("Stock.DBF")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.kind, SourceModel::Kind::Folder);
        QCOMPARE(source.path, m_dir->path());
        QCOMPARE(tableNames(source), QStringList{QStringLiteral("stock")});
        const TableModel &table = source.tables[0];
        QCOMPARE(table.file, QStringLiteral("Stock.DBF"));
        QCOMPARE(table.recordCount, 3u);
        QCOMPARE(table.headerLength, 32 + 2 * 32 + 1);
        QCOMPARE(table.recordLength, 1 + 20 + 5);
        QCOMPARE(table.lastUpdate, std::optional<QDate>(QDate(2024, 5, 20)));
        QVERIFY(!table.memo);
        QVERIFY(!table.indexesKnown);
        QVERIFY(table.indexes.isEmpty());
        QCOMPARE(describe(source.findings), QStringList());
    }

    // Visual FoxPro writes the year modulo 100, dBase counts it from 1900.
    void updateDates_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<QDate>("date");

        QTest::newRow("VFP 2002") << 2 << 8 << 5 << QDate(2002, 8, 5);
        QTest::newRow("VFP 2079") << 79 << 12 << 31 << QDate(2079, 12, 31);
        QTest::newRow("1980") << 80 << 1 << 1 << QDate(1980, 1, 1);
        QTest::newRow("1999") << 99 << 6 << 15 << QDate(1999, 6, 15);
        QTest::newRow("dBase 2011") << 111 << 3 << 1 << QDate(2011, 3, 1);
        QTest::newRow("dBase 2155") << 255 << 1 << 31 << QDate(2155, 1, 31);
        QTest::newRow("leap day 2024") << 24 << 2 << 29 << QDate(2024, 2, 29);
        QTest::newRow("zero") << 0 << 0 << 0 << QDate();
        QTest::newRow("month 13") << 24 << 13 << 1 << QDate();
        QTest::newRow("day 0") << 24 << 5 << 0 << QDate();
        QTest::newRow("February 30") << 24 << 2 << 30 << QDate();
    }

    void updateDates()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(QDate, date);

        TableSpec layout;
        layout.fields = {{"NAME", 'C', 10}};
        layout.updateYear = quint8(year);
        layout.updateMonth = quint8(month);
        layout.updateDay = quint8(day);
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), 1);
        QCOMPARE(source.tables[0].lastUpdate.has_value(), date.isValid());
        if (date.isValid())
            QCOMPARE(*source.tables[0].lastUpdate, date);
    }

    // Positions count the fields a user sees; _NullFlags is none of them.
    // Next value and step belong to autoincrementing fields only.
    void autoIncrementAndNulls()
    {
        TableSpec layout;
        layout.version = 0x31;
        layout.fields = {{"ID", 'I', 4, 0, 0x0C, 11078, 5},
                         {"NAME", 'C', 20, 0, 0x02},
                         {"COUNT", 'I', 4, 0, 0x04, 99, 3},
                         {"_NullFlags", '0', 1, 0, 0x05},
                         {"LATE", 'L', 1}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), 1);
        const TableModel &table = source.tables[0];
        QCOMPARE(table.fields.size(), 4);
        QStringList names;
        for (const model::FieldModel &field : table.fields)
            names.append(QString::number(field.position) + QLatin1Char(' ') + field.name);
        QCOMPARE(names, (QStringList{"1 id", "2 name", "3 count", "4 late"}));

        const model::FieldModel &id = table.fields[0];
        QVERIFY(id.autoIncrement);
        QCOMPARE(id.nextValue, qint64(11078));
        QCOMPARE(id.step, 5);
        QVERIFY(!id.nullable);
        QVERIFY(table.fields[1].nullable);
        QVERIFY(!table.fields[1].autoIncrement);
        const model::FieldModel &count = table.fields[2];
        QVERIFY(!count.autoIncrement);
        QCOMPARE(count.nextValue, qint64(0));
        QCOMPARE(count.step, 0);
        QCOMPARE(table.recordLength, 1 + 4 + 20 + 4 + 1 + 1);
        QCOMPARE(describe(source.findings), QStringList());
    }

    void dBase7AutoIncrement()
    {
        TableSpec layout;
        layout.version = 0x04;
        layout.fields = {{"ID", '+', 4, 0, 0, 42}, {"LONGER_NAME_OF_A_FIELD", 'C', 12}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), 1);
        const TableModel &table = source.tables[0];
        QCOMPARE(table.fields.size(), 2);
        QVERIFY(table.fields[0].autoIncrement);
        QCOMPARE(table.fields[0].nextValue, qint64(42));
        QCOMPARE(table.fields[0].step, 1);
        QCOMPARE(table.fields[1].name, QStringLiteral("longer_name_of_a_field"));
        QVERIFY(!table.fields[1].autoIncrement);
    }

    // The memo file beside the table, by the dialect's extension in any case.
    void memoFiles_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QChar>("letter");
        QTest::addColumn<int>("tableFlags");
        QTest::addColumn<QString>("memoName");
        QTest::addColumn<QByteArray>("memoBytes");
        QTest::addColumn<bool>("described");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<QStringList>("findings");

        const QByteArray none;
        QTest::newRow("VFP .fpt") << 0x30 << QChar('M') << 0xFF << "t.fpt" << fptHeader(64) << true << "t.fpt"
                                  << true << 64 << QStringList();
        QTest::newRow("VFP .FPT in capitals") << 0x30 << QChar('G') << 0xFF << "T.FPT" << fptHeader(32) << true
                                              << "T.FPT" << true << 32 << QStringList();
        QTest::newRow("VFP 9 blob, blocks of 1") << 0x32 << QChar('W') << 0xFF << "t.fpt" << fptHeader(1) << true
                                                 << "t.fpt" << true << 1 << QStringList();
        QTest::newRow("FoxPro 2") << 0xF5 << QChar('M') << 0xFF << "t.fpt" << fptHeader(512) << true << "t.fpt"
                                  << true << 512 << QStringList();
        QTest::newRow("dBase III, 512 always") << 0x83 << QChar('M') << 0xFF << "t.dbt" << QByteArray(512, '\0')
                                               << true << "t.dbt" << true << 512 << QStringList();
        QTest::newRow("dBase IV") << 0x8B << QChar('M') << 0xFF << "t.dbt" << dbtHeader(1024) << true << "t.dbt"
                                  << true << 1024 << QStringList();
        QTest::newRow("dBase IV, no length") << 0x8B << QChar('M') << 0xFF << "t.dbt" << dbtHeader(0) << true
                                             << "t.dbt" << true << 512 << QStringList();
        QTest::newRow("dBase IV binary B") << 0x8B << QChar('B') << 0xFF << "t.dbt" << dbtHeader(512) << true
                                           << "t.dbt" << true << 512 << QStringList();
        QTest::newRow("VFP memo missing") << 0x30 << QChar('M') << 0xFF << "" << none << true << "t.fpt" << false
                                          << 0 << QStringList{"Error | t | Its memo file 't.fpt' is missing."};
        QTest::newRow("dBase III memo missing")
            << 0x83 << QChar('M') << 0xFF << "" << none << true << "t.dbt" << false << 0
            << QStringList{"Error | t | Its memo file 't.dbt' is missing."};
        QTest::newRow("flag without memo fields, no file")
            << 0x30 << QChar('C') << 0x02 << "" << none << true << "t.fpt" << false << 0 << QStringList();
        QTest::newRow("flag without memo fields, a file")
            << 0x30 << QChar('C') << 0x02 << "t.fpt" << fptHeader(64) << true << "t.fpt" << true << 64 << QStringList();
        QTest::newRow("no memo") << 0x30 << QChar('C') << 0xFF << "" << none << false << "" << false << 0
                                 << QStringList();
        // A double is no memo in Visual FoxPro.
        QTest::newRow("VFP double") << 0x30 << QChar('B') << 0xFF << "" << none << false << "" << false << 0
                                    << QStringList();
        QTest::newRow("memo file too short")
            << 0x30 << QChar('M') << 0xFF << "t.fpt" << QByteArray(4, '\0') << true << "t.fpt" << true << 0
            << QStringList{"Error | t | 't.fpt' is corrupted: the file is 4 bytes long, shorter than a memo header. "
                           "Its memo file cannot be read."};
    }

    void memoFiles()
    {
        QFETCH(int, version);
        QFETCH(QChar, letter);
        QFETCH(int, tableFlags);
        QFETCH(QString, memoName);
        QFETCH(QByteArray, memoBytes);
        QFETCH(bool, described);
        QFETCH(QString, file);
        QFETCH(bool, present);
        QFETCH(int, blockSize);
        QFETCH(QStringList, findings);

        const bool dBase = version != 0x30 && version != 0x32 && version != 0xF5;
        TableSpec layout;
        layout.version = quint8(version);
        layout.tableFlags = quint8(tableFlags);
        const int width = letter == QLatin1Char('C') ? 10 : letter == QLatin1Char('B') && !dBase ? 8 : dBase ? 10 : 4;
        layout.fields = {{"NAME", 'C', 10}, {"NOTES", letter.toLatin1(), width}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);
        if (!memoName.isEmpty())
            writeFile(m_dir->filePath(memoName), memoBytes);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(tableNames(source), QStringList{QStringLiteral("t")});
        const TableModel &table = source.tables[0];
        QCOMPARE(table.memo.has_value(), described);
        if (described) {
            QCOMPARE(table.memo->file, file);
            QCOMPARE(table.memo->present, present);
            QCOMPARE(table.memo->blockSize, blockSize);
        }
        QCOMPARE(describe(source.findings), findings);
    }

    // Where the memo file is there in several spellings, the one spelt as the
    // table is spelt is its memo, wherever the folder lists it.
    void memoSpeltAsItsTableAmongItsCaseTwins()
    {
        TableSpec layout;
        layout.version = 0x30;
        layout.fields = {{"NOTES", 'M', 4}};
        writeTable(m_dir->filePath(QStringLiteral("orders.dbf")), layout);
        writeFile(m_dir->filePath(QStringLiteral("orders.fpt")), fptHeader(64));
        for (const char *twin : {"ORDERS.FPT", "ORDERS.fpt", "orders.FPT", "orders.Fpt", "Orders.fpt", "oRDERS.FPT"})
            writeFile(m_dir->filePath(QLatin1String(twin)), fptHeader(32));

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(tableNames(source), QStringList{QStringLiteral("orders")});
        QCOMPARE(source.tables[0].memo->file, QStringLiteral("orders.fpt"));
        QCOMPARE(source.tables[0].memo->blockSize, 64);
    }

    // Tables equal but for case each find the memo and the index spelt as
    // they are, whatever the case of the extension.
    void caseTwinTablesKeepTheirOwnFiles()
    {
        TableSpec layout;
        layout.version = 0x30;
        layout.tableFlags = 0x03;
        layout.fields = {{"NOTES", 'M', 4}, {"CODE", 'C', 10}};
        const struct {
            const char *table, *memo, *index, *tag;
            int blockSize;
        } twins[] = {{"a.dbf", "a.fpt", "a.cdx", "LOWER", 64}, {"A.DBF", "A.FPT", "A.CDX", "UPPER", 32},
                     {"Ab.dbf", "Ab.FPT", "Ab.CDX", "MIXED", 48}, {"ab.DBF", "ab.fpt", "ab.cdx", "PLAIN", 16}};
        for (const auto &twin : twins) {
            writeTable(m_dir->filePath(QLatin1String(twin.table)), layout);
            writeFile(m_dir->filePath(QLatin1String(twin.memo)), fptHeader(twin.blockSize));
            writeFile(m_dir->filePath(QLatin1String(twin.index)), compoundIndexBytes({tag(twin.tag, "code")}));
        }

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), qsizetype(std::size(twins)));
        for (const auto &twin : twins) {
            const auto table = std::find_if(source.tables.cbegin(), source.tables.cend(), [&](const TableModel &t) {
                return t.file == QLatin1String(twin.table);
            });
            QVERIFY2(table != source.tables.cend(), twin.table);
            QVERIFY2(table->memo && table->memo->present, twin.table);
            QCOMPARE(table->memo->file, QLatin1String(twin.memo));
            QCOMPARE(table->memo->blockSize, twin.blockSize);
            QCOMPARE(table->indexes.size(), 1);
            QCOMPARE(table->indexes[0].name, QLatin1String(twin.tag));
        }
    }

    // Among many names, in many spellings, each table still finds its own
    // memo: the names are looked up in the order they were sorted by.
    void memosAmongManyNamesInEveryCase()
    {
        TableSpec layout;
        layout.version = 0x30;
        layout.fields = {{"NOTES", 'M', 4}};
        const QStringList stems{QStringLiteral("order"), QStringLiteral("Äpfel"), QStringLiteral("zebra"),
                                QStringLiteral("Ñandú"), QStringLiteral("a_b")};
        constexpr int perStem = 30;
        QHash<QString, std::pair<QString, int>> expected; // table -> its memo file and block size
        for (const QString &stem : stems) {
            for (int i = 0; i < perStem; ++i) {
                const QString base = stem + QString::number(i);
                // Table and memo each in one of three spellings, never both alike.
                const QString spellings[] = {base.toLower(), base.toUpper(), base};
                const QString tableBase = spellings[i % 3];
                const QString memoBase = spellings[(i + 1) % 3];
                const QString tableFile = tableBase + (i % 2 ? QStringLiteral(".DBF") : QStringLiteral(".dbf"));
                const QString memoFile = memoBase + (i % 2 ? QStringLiteral(".fpt") : QStringLiteral(".FPT"));
                const int blockSize = 1 + int(expected.size());
                writeTable(m_dir->filePath(tableFile), layout);
                writeFile(m_dir->filePath(memoFile), fptHeader(blockSize));
                expected.insert(base.toLower(), {memoFile, blockSize});
            }
        }

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), expected.size());
        for (const TableModel &table : source.tables) {
            QVERIFY2(expected.contains(table.name), qPrintable(table.name));
            QVERIFY2(table.memo && table.memo->present, qPrintable(table.name));
            QCOMPARE(table.memo->file, expected.value(table.name).first);
            QCOMPARE(table.memo->blockSize, expected.value(table.name).second);
        }
    }

    void containerTablesAndFields()
    {
        const QDir dir(m_dir->path());
        writeSalesContainer(dir);

        const SourceModel source = model::readSourceModel(dir.filePath(QStringLiteral("sales.dbc")));
        QCOMPARE(source.kind, SourceModel::Kind::Container);
        QCOMPARE(source.comment, QStringLiteral("Sales data"));
        QCOMPARE(int(source.codePageMark), 0x03);
        QCOMPARE(describe(source.findings), QStringList());
        // Listed as the container lists them: case-insensitively by name.
        QCOMPARE(tableNames(source), (QStringList{"Customers", "Orders"}));

        const TableModel *customers = tableNamed(source, QStringLiteral("Customers"));
        QVERIFY(customers);
        QCOMPARE(customers->file, QStringLiteral("customers.dbf"));
        QCOMPARE(customers->comment, QStringLiteral("Our customers"));
        QCOMPARE(customers->rule, QStringLiteral("!EMPTY(customerid)"));
        QCOMPARE(customers->ruleText, QStringLiteral("\"A customer needs a code.\""));
        QCOMPARE(customers->insertTrigger, QStringLiteral("__ri_insert_customers()"));
        QCOMPARE(customers->updateTrigger, QStringLiteral("__ri_update_customers()"));
        QCOMPARE(customers->deleteTrigger, QStringLiteral("__ri_delete_customers()"));
        QCOMPARE(customers->primaryKey, QStringLiteral("customerid"));
        QCOMPARE(customers->fields.size(), 3);

        const model::FieldModel &code = customers->fields[0];
        QCOMPARE(code.name, QStringLiteral("customerid"));
        QCOMPARE(code.shortName, QString()); // CUSTOMERID differs only in case
        QCOMPARE(code.comment, QStringLiteral("Unique code"));
        QCOMPARE(code.inputMask, QStringLiteral("XXXXX"));
        QCOMPARE(code.format, QStringLiteral("!A"));
        QCOMPARE(code.caption, QStringLiteral("Customer ID"));
        QCOMPARE(code.defaultValue, QString());

        const model::FieldModel &company = customers->fields[1];
        QCOMPARE(company.position, 2);
        QCOMPARE(company.name, QStringLiteral("companyname"));
        QCOMPARE(company.shortName, QStringLiteral("companynam"));
        QCOMPARE(company.typeName, QStringLiteral("Character"));
        QCOMPARE(company.width, 40);
        QVERIFY(company.nullable);
        QCOMPARE(company.defaultValue, QStringLiteral("\"n/a\""));
        QCOMPARE(company.rule, QStringLiteral("!EMPTY(companyname)"));
        QCOMPARE(company.ruleText, QStringLiteral("\"A company needs a name.\""));
        QCOMPARE(company.caption, QStringLiteral("Company Name"));
        QCOMPARE(company.comment, QString());

        QCOMPARE(customers->fields[2].name, QStringLiteral("country"));
        QCOMPARE(customers->fields[2].comment, QStringLiteral("Where they are"));

        const TableModel *orders = tableNamed(source, QStringLiteral("Orders"));
        QVERIFY(orders);
        QCOMPARE(orders->dialect, QStringLiteral("Visual FoxPro"));
        QCOMPARE(orders->comment, QString());
        QCOMPARE(orders->primaryKey, QStringLiteral("orderid"));
        const model::FieldModel *orderId = fieldNamed(*orders, QStringLiteral("orderid"));
        QVERIFY(orderId);
        QVERIFY(orderId->autoIncrement);
        QCOMPARE(orderId->nextValue, qint64(1001));
        QCOMPARE(orderId->step, 1);
    }

    // Kinds: the primary key names the primary tag; another 0x04 tag is a
    // candidate, 0x01 unique; tags in creation order.
    void containerIndexes()
    {
        const QDir dir(m_dir->path());
        writeSalesContainer(dir);

        const SourceModel source = model::readSourceModel(dir.filePath(QStringLiteral("sales.dbc")));
        const TableModel *customers = tableNamed(source, QStringLiteral("Customers"));
        QVERIFY(customers);
        QVERIFY(customers->indexesKnown);
        QCOMPARE(describe(customers->indexes), (QStringList{
                                                   "CUSTOMERID customerid primary",
                                                   "COMPANYNAM UPPER(companyname) regular",
                                                   "CODE2 customerid candidate",
                                                   "COUNTRY UPPER(country) unique",
                                                   "NEWEST customerid regular descending",
                                                   "NAME UPPER(companyname) regular collation GENERAL",
                                                   "ACTIVE customerid regular FOR !DELETED()",
                                               }));
        const TableModel *orders = tableNamed(source, QStringLiteral("Orders"));
        QVERIFY(orders);
        QCOMPARE(describe(orders->indexes), (QStringList{"ORDERID orderid primary", "CUSTOMERID customerid regular"}));
    }

    // The parent is the table RelatedTable names (in any case); the RIINFO
    // letters are the update, delete and insert rules; deleted records are none.
    void containerRelations()
    {
        const QDir dir(m_dir->path());
        writeSalesContainer(dir);

        const SourceModel source = model::readSourceModel(dir.filePath(QStringLiteral("sales.dbc")));
        QCOMPARE(describe(source.relations), (QStringList{
                                                 "Customers.customerid <- Orders.customerid cascade/restrict/ignore",
                                                 "Customers.code2 <- Orders.shipvia restrict/cascade/ignore",
                                                 "Customers.customerid <- Orders.customerid -/-/-",
                                             }));
    }

    void containerViews()
    {
        const QDir dir(m_dir->path());
        writeSalesContainer(dir);

        const SourceModel source = model::readSourceModel(dir.filePath(QStringLiteral("sales.dbc")));
        QCOMPARE(viewNames(source), (QStringList{"open_orders", "Remote_Customers"}));

        const model::ViewModel &local = source.views[0];
        QCOMPARE(local.sql, QStringLiteral("SELECT * FROM orders WHERE shipvia = 0"));
        QVERIFY(!local.remote);
        QCOMPARE(local.connection, QString());
        QCOMPARE(local.comment, QStringLiteral("Orders not shipped"));
        QCOMPARE(local.fields.size(), 2);
        QCOMPARE(local.fields[0].name, QStringLiteral("orderid"));
        QCOMPARE(local.fields[0].dataType, QStringLiteral("I"));
        QCOMPARE(local.fields[0].comment, QStringLiteral("Order number"));
        QCOMPARE(local.fields[1].name, QStringLiteral("customerid"));
        QCOMPARE(local.fields[1].dataType, QStringLiteral("C(5)"));

        const model::ViewModel &remote = source.views[1];
        QCOMPARE(remote.sql, QStringLiteral("SELECT * FROM customer"));
        QVERIFY(remote.remote);
        QCOMPARE(remote.connection, QStringLiteral("pubs"));
        QCOMPARE(remote.fields.size(), 1);
        QCOMPARE(remote.fields[0].dataType, QStringLiteral("C(5) NOCPTRANS"));
    }

    // Only the tables and views named, in the source's order; a relation
    // needs both its tables.
    void selection_data()
    {
        QTest::addColumn<QStringList>("selection");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QStringList>("views");
        QTest::addColumn<int>("relations");
        QTest::addColumn<QStringList>("findings");

        QTest::newRow("everything") << QStringList() << QStringList{"Customers", "Orders"}
                                    << QStringList{"open_orders", "Remote_Customers"} << 3 << QStringList();
        QTest::newRow("any case, source order") << QStringList{"ORDERS", "remote_customers", "customers"}
                                                << QStringList{"Customers", "Orders"}
                                                << QStringList{"Remote_Customers"} << 3 << QStringList();
        QTest::newRow("the child alone") << QStringList{"Orders"} << QStringList{"Orders"} << QStringList() << 0
                                         << QStringList();
        QTest::newRow("the parent alone") << QStringList{"Customers"} << QStringList{"Customers"} << QStringList()
                                          << 0 << QStringList();
        QTest::newRow("a view alone") << QStringList{"open_orders"} << QStringList() << QStringList{"open_orders"}
                                      << 0 << QStringList();
        QTest::newRow("a name that is none")
            << QStringList{"orders", "invoices"} << QStringList{"Orders"} << QStringList() << 0
            << QStringList{"Error | invoices | The source has no table or view of this name."};
    }

    void selection()
    {
        QFETCH(QStringList, selection);
        QFETCH(QStringList, tables);
        QFETCH(QStringList, views);
        QFETCH(int, relations);
        QFETCH(QStringList, findings);

        const QDir dir(m_dir->path());
        writeSalesContainer(dir);

        const SourceModel source = model::readSourceModel(dir.filePath(QStringLiteral("sales.dbc")), selection);
        QCOMPARE(tableNames(source), tables);
        QCOMPARE(viewNames(source), views);
        QCOMPARE(source.relations.size(), relations);
        QCOMPARE(describe(source.findings), findings);
    }

    // A folder lists its tables by lower-case file name; a table whose
    // container is there takes its names and properties from it.
    void folderWithContainer()
    {
        const QDir dir(m_dir->path());
        writeSalesContainer(dir);
        TableSpec free;
        free.fields = {{"NOTE", 'C', 30}};
        writeTable(dir.filePath(QStringLiteral("Free.DBF")), free);

        const SourceModel source = model::readSourceModel(dir.path());
        QCOMPARE(source.kind, SourceModel::Kind::Folder);
        QCOMPARE(tableNames(source), (QStringList{"customers", "free", "orders"}));
        QCOMPARE(describe(source.findings), QStringList());
        QVERIFY(source.views.isEmpty());
        QVERIFY(source.relations.isEmpty());
        QCOMPARE(source.comment, QString());

        const TableModel *customers = tableNamed(source, QStringLiteral("customers"));
        QVERIFY(customers);
        QCOMPARE(customers->comment, QStringLiteral("Our customers"));
        QCOMPARE(customers->primaryKey, QStringLiteral("customerid"));
        QCOMPARE(customers->fields[1].name, QStringLiteral("companyname"));
        QCOMPARE(customers->fields[1].shortName, QStringLiteral("companynam"));
        QCOMPARE(customers->fields[1].caption, QStringLiteral("Company Name"));
        QCOMPARE(customers->indexes.first().kind, TagKind::Primary);

        const TableModel *freeTable = tableNamed(source, QStringLiteral("free"));
        QVERIFY(freeTable);
        QCOMPARE(freeTable->file, QStringLiteral("Free.DBF"));
        QCOMPARE(freeTable->fields[0].name, QStringLiteral("note"));
        QCOMPARE(freeTable->primaryKey, QString());
    }

    // A free table's 0x04 tag can only be called a candidate.
    void freeTableCandidate()
    {
        TableSpec layout;
        layout.tableFlags = 0x01;
        layout.fields = {{"CODE", 'C', 5}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);
        writeFile(m_dir->filePath(QStringLiteral("T.CDX")), compoundIndexBytes({tag("CODE", "code", 0x64)}));

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), 1);
        QVERIFY(source.tables[0].indexesKnown);
        QCOMPARE(describe(source.tables[0].indexes), QStringList{"CODE code candidate"});
        QCOMPARE(describe(source.findings), QStringList());
    }

    // Each finding alone, with the tables it leaves.
    void findings_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QStringList>("findings");

        const auto vfpTable = [](const QDir &dir, const QString &file, const QList<FieldSpec> &fields,
                                 const QByteArray &backlink = {}, quint8 flags = 0xFF) {
            TableSpec layout;
            layout.fields = fields;
            layout.backlink = backlink;
            layout.tableFlags = flags;
            writeTable(dir.filePath(file), layout);
        };

        QTest::newRow("memo file missing")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}, {"NOTES", 'M', 4}});
                   return dir.path();
               })
            << QStringList{"t"} << QStringList{"Error | t | Its memo file 't.fpt' is missing."};

        QTest::newRow("backlinked container missing")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}}, "gone.dbc");
                   return dir.path();
               })
            << QStringList{"t"}
            << QStringList{"Warning | t | It names the container 'gone.dbc', which is missing; it is read as a free table."};

        QTest::newRow("backlinked container unreadable")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}}, "bad.dbc");
                   writeFile(dir.filePath(QStringLiteral("bad.dbc")), "not a container");
                   return dir.path();
               })
            << QStringList{"t"}
            << QStringList{"Warning | t | Its container 'bad.dbc' cannot be read ('bad.dbc' is not a table: the file is "
                           "15 bytes long, shorter than a header.); it is read as a free table."};

        // The container is read once, however its tables spell its name: the
        // second spelling still says why it cannot be read.
        QTest::newRow("backlinked container unreadable, named two ways")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("a.dbf"), {{"NAME", 'C', 10}}, "bad.dbc");
                   vfpTable(dir, QStringLiteral("b.dbf"), {{"NAME", 'C', 10}}, "BAD.DBC");
                   writeFile(dir.filePath(QStringLiteral("bad.dbc")), "not a container");
                   return dir.path();
               })
            << QStringList{"a", "b"}
            << QStringList{"Warning | a | Its container 'bad.dbc' cannot be read ('bad.dbc' is not a table: the file is "
                           "15 bytes long, shorter than a header.); it is read as a free table.",
                           "Warning | b | Its container 'BAD.DBC' cannot be read ('bad.dbc' is not a table: the file is "
                           "15 bytes long, shorter than a header.); it is read as a free table."};

        QTest::newRow("backlinked container lists another table")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}}, "sales.dbc");
                   vfpTable(dir, QStringLiteral("other.dbf"), {{"NAME", 'C', 10}}, "sales.dbc");
                   ContainerSpec layout;
                   layout.tables = {{QStringLiteral("other"), QStringLiteral("other.dbf"),
                                     {{QStringLiteral("long_name"), {}, {}}}, {}}};
                   writeContainer(dir.filePath(QStringLiteral("sales.dbc")), layout);
                   return dir.path();
               })
            << QStringList{"other", "t"}
            << QStringList{"Warning | t | Its container 'sales.dbc' does not list it; it is read as a free table."};

        QTest::newRow("container table file missing")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("kept.dbf"), {{"NAME", 'C', 10}}, "sales.dbc");
                   ContainerSpec layout;
                   layout.tables = {{QStringLiteral("Gone"), QStringLiteral("gone.dbf"), {}, {}},
                                    {QStringLiteral("Kept"), QStringLiteral("KEPT.DBF"),
                                     {{QStringLiteral("name"), {}, {}}}, {}}};
                   writeContainer(dir.filePath(QStringLiteral("sales.dbc")), layout);
                   return dir.filePath(QStringLiteral("sales.dbc"));
               })
            << QStringList{"Kept"}
            << QStringList{"Error | Gone | Its file 'gone.dbf' is missing; the table is left out."};

        QTest::newRow("container field count differs")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}, {"CITY", 'C', 20}}, "sales.dbc");
                   ContainerSpec layout;
                   layout.tables = {{QStringLiteral("t"), QStringLiteral("t.dbf"),
                                     {{QStringLiteral("full_name"), QStringLiteral("Who"), {}}}, {}}};
                   writeContainer(dir.filePath(QStringLiteral("sales.dbc")), layout);
                   return dir.filePath(QStringLiteral("sales.dbc"));
               })
            << QStringList{"t"}
            << QStringList{"Error | t | The container lists 1 fields for it, its header 2; the fields are the "
                           "table's own, without the container's names and properties."};

        QTest::newRow("record length disagrees")
            << Setup([=](const QDir &dir) {
                   TableSpec layout;
                   layout.version = 0x03;
                   layout.fields = {{"NAME", 'C', 20}, {"QTY", 'N', 5}};
                   QByteArray bytes = tableBytes(layout);
                   bytes[10] = char(30); // 26 in truth
                   writeFile(dir.filePath(QStringLiteral("t.dbf")), bytes);
                   return dir.path();
               })
            << QStringList{"t"}
            << QStringList{"Error | t | Its header gives records of 30 bytes, but its fields and the deletion flag "
                           "take 26."};

        QTest::newRow("index announced, no .cdx")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}}, {}, 0x01);
                   return dir.path();
               })
            << QStringList{"t"}
            << QStringList{"Warning | t | Its header announces a structural index, but there is no 't.cdx': tags "
                           "unknown."};

        QTest::newRow("index unreadable")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}}, {}, 0x01);
                   writeFile(dir.filePath(QStringLiteral("t.cdx")), QByteArray(100, 'x'));
                   return dir.path();
               })
            << QStringList{"t"} << QStringList{"Error | t | 't.cdx' …Its index file cannot be read: tags unknown."};

        QTest::newRow("names equal but for case")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("Orders.dbf"), {{"NAME", 'C', 10}});
                   vfpTable(dir, QStringLiteral("ORDERS.DBF"), {{"NAME", 'C', 10}});
                   vfpTable(dir, QStringLiteral("lines.dbf"), {{"NAME", 'C', 10}});
                   return dir.path();
               })
            << QStringList{"ORDERS", "Orders", "lines"}
            << QStringList{"Warning | ORDERS | The files 'ORDERS.DBF', 'Orders.dbf' have names equal but for case; "
                           "they are listed as 'ORDERS', 'Orders'."};

        QTest::newRow("not a table")
            << Setup([=](const QDir &dir) {
                   writeFile(dir.filePath(QStringLiteral("junk.dbf")), "hello");
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}});
                   return dir.path();
               })
            << QStringList{"t"}
            << QStringList{"Error | junk | 'junk.dbf' is not a table: the file is 5 bytes long, shorter than a "
                           "header. The table cannot be read and is left out."};

        QTest::newRow("relation to a table the container lacks")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}}, "sales.dbc");
                   ContainerSpec layout;
                   ContainerTable table{QStringLiteral("t"), QStringLiteral("t.dbf"), {{QStringLiteral("name"), {}, {}}}, {}};
                   table.relations = {{QStringLiteral("name"), QStringLiteral("nowhere"), QStringLiteral("name"), "RRI"}};
                   layout.tables = {table};
                   writeContainer(dir.filePath(QStringLiteral("sales.dbc")), layout);
                   return dir.filePath(QStringLiteral("sales.dbc"));
               })
            << QStringList{"t"}
            << QStringList{"Warning | t | A relation names the parent table 'nowhere', which the container does not "
                           "hold."};

        // Records: five of the database, the table, its field, then the relation (165 bytes each after 552).
        QTest::newRow("relation properties unreadable")
            << Setup([=](const QDir &dir) {
                   vfpTable(dir, QStringLiteral("t.dbf"), {{"NAME", 'C', 10}}, "sales.dbc");
                   ContainerSpec layout;
                   ContainerTable table{QStringLiteral("t"), QStringLiteral("t.dbf"), {{QStringLiteral("name"), {}, {}}}, {}};
                   table.relations = {{QStringLiteral("name"), QStringLiteral("t"), QStringLiteral("name"), "RRI"}};
                   layout.tables = {table};
                   ContainerFiles files = containerBytes(layout);
                   const int property = 552 + 7 * 165 + 147;
                   files.dbc[property] = char(0xFF);
                   files.dbc[property + 1] = char(0xFF);
                   writeFile(dir.filePath(QStringLiteral("sales.dbc")), files.dbc);
                   writeFile(dir.filePath(QStringLiteral("sales.dct")), files.dct);
                   return dir.filePath(QStringLiteral("sales.dbc"));
               })
            << QStringList{"t"}
            << QStringList{"Error | sales.dbc | 'sales.dct' is corrupted: memo block 65535 …Its values are left empty.",
                           "Warning | t | A relation names no parent table."};
    }

    void findings()
    {
        QFETCH(Setup, setup);
        QFETCH(QStringList, tables);
        QFETCH(QStringList, findings);

        const QString path = setup(QDir(m_dir->path()));
        const SourceModel source = model::readSourceModel(path);
        QCOMPARE(tableNames(source), tables);
        const QStringList found = describe(source.findings);
        QVERIFY2(found.size() == findings.size(), qPrintable(found.join(QLatin1Char('\n'))));
        // Where a finding quotes another reader's failure, "…" stands for that reader's words.
        for (qsizetype i = 0; i < found.size(); ++i) {
            const QStringList ends = findings[i].split(QStringLiteral("…"));
            QVERIFY2(found[i].startsWith(ends.first()) && found[i].endsWith(ends.last()), qPrintable(found[i]));
        }
    }

    // What a finding leaves of its table.
    void findingsKeepWhatIsKnown()
    {
        TableSpec layout;
        layout.tableFlags = 0x03;
        layout.fields = {{"NAME", 'C', 10}, {"NOTES", 'M', 4}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);
        writeFile(m_dir->filePath(QStringLiteral("t.cdx")), QByteArray(1024, '\0'));

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.tables.size(), 1);
        const TableModel &table = source.tables[0];
        QCOMPARE(table.fields.size(), 2);
        QVERIFY(!table.indexesKnown);
        QVERIFY(table.indexes.isEmpty());
        QVERIFY(table.memo);
        QVERIFY(!table.memo->present);
        QCOMPARE(table.memo->blockSize, 0);
        QCOMPARE(source.findings.size(), 2);
        QCOMPARE(source.findings[0].severity, Severity::Error); // the memo
        QCOMPARE(source.findings[1].severity, Severity::Error); // the index
        QVERIFY(source.findings[1].message.contains(QLatin1String("t.cdx")));
    }

    // File names reach a finding's message; their line breaks never do. The
    // place names the table exactly, so the finding is matched with it.
    void findingsStayOnOneLine()
    {
        TableSpec layout;
        layout.backlink = "two\nlines.dbc";
        layout.fields = {{"NAME", 'C', 10}};
        writeTable(m_dir->filePath(QStringLiteral("bad\rname.dbf")), layout);

        const SourceModel source = model::readSourceModel(m_dir->path());
        QCOMPARE(source.findings.size(), 1);
        QCOMPARE(source.findings[0].place, QStringLiteral("bad\rname"));
        QCOMPARE(source.findings[0].message,
                 QStringLiteral("It names the container 'two lines.dbc', which is missing; it is read as a free table."));
    }

    void sourceThatCannotBeOpened_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");

        QTest::newRow("missing") << "nothing" << QByteArray() << int(platform::FileDoesNotExist);
        QTest::newRow("not a container") << "x.dbc" << QByteArray("short") << int(platform::NotATable);
        QTest::newRow("empty path") << "" << QByteArray() << int(platform::InvalidPath);
    }

    void sourceThatCannotBeOpened()
    {
        QFETCH(QString, relative);
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);

        QString path;
        if (!relative.isEmpty()) {
            path = m_dir->filePath(relative);
            if (!bytes.isEmpty())
                writeFile(path, bytes);
        }
        try {
            model::readSourceModel(path);
            QFAIL("no failure");
        } catch (const Failure &failure) {
            QCOMPARE(failure.number(), number);
        }
    }

    // The Northwind sample as the format notes decode it (4.5, 9.7).
    void northwindContainer()
    {
        if (!QFile::exists(fixture(Northwind)))
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
        const SourceModel source = model::readSourceModel(fixture(Northwind));
        QCOMPARE(describe(source.findings), QStringList());
        QCOMPARE(tableNames(source),
                 (QStringList{"Categories", "CustomerCustomerDemo", "CustomerDemographics", "Customers", "Employees",
                              "EmployeeTerritories", "OrderDetails", "Orders", "Products", "Region", "Shippers",
                              "Suppliers", "Territories"}));
        QCOMPARE(source.views.size(), 17);
        QCOMPARE(source.comment, QString());
        QCOMPARE(int(source.codePageMark), 0x03);

        const TableModel *details = tableNamed(source, QStringLiteral("OrderDetails"));
        QVERIFY(details);
        QCOMPARE(details->file, QStringLiteral("orderdetails.dbf"));
        QCOMPARE(details->primaryKey, QStringLiteral("primarykey"));
        QCOMPARE(describe(details->indexes), (QStringList{"PRODUCTID productid regular", "ORDERID orderid regular",
                                                          "PRIMARYKEY STR(orderid)+STR(productid) primary"}));
        const model::FieldModel *price = fieldNamed(*details, QStringLiteral("unitprice"));
        QVERIFY(price);
        QCOMPARE(price->position, 3);
        QCOMPARE(price->typeName, QStringLiteral("Currency"));
        QCOMPARE(price->width, 8);
        QCOMPARE(price->decimals, 4);
        QCOMPARE(price->defaultValue, QStringLiteral("0"));
        QCOMPARE(price->rule, QStringLiteral("unitprice=>0"));
        QCOMPARE(price->ruleText, QStringLiteral("\"You must enter a positive number.\""));
        QCOMPARE(price->caption, QStringLiteral("Unit Price"));
        QCOMPARE(price->format, QStringLiteral("$"));
        QCOMPARE(price->shortName, QString());

        const TableModel *customers = tableNamed(source, QStringLiteral("Customers"));
        QVERIFY(customers);
        QCOMPARE(customers->recordCount, 91u);
        QCOMPARE(customers->headerLength, 680);
        QCOMPARE(customers->recordLength, 271);
        QCOMPARE(customers->lastUpdate, std::optional<QDate>(QDate(2015, 9, 10)));
        QCOMPARE(customers->codePage, QStringLiteral("1252 (Windows ANSI)"));
        QCOMPARE(customers->dialect, QStringLiteral("Visual FoxPro"));
        QCOMPARE(customers->fields.size(), 11); // _NullFlags left out
        const model::FieldModel &customerId = customers->fields[0];
        QCOMPARE(customerId.name, QStringLiteral("customerid"));
        QCOMPARE(customerId.inputMask, QStringLiteral("XXXXX"));
        QCOMPARE(customerId.format, QStringLiteral("!A"));
        QCOMPARE(customerId.caption, QStringLiteral("Customer ID"));
        QCOMPARE(customerId.comment, QStringLiteral("Unique five-character code based on customer name."));
        const model::FieldModel &company = customers->fields[1];
        QCOMPARE(company.name, QStringLiteral("companyname"));
        QCOMPARE(company.shortName, QStringLiteral("companynam"));
        QVERIFY(!company.nullable);
        QVERIFY(customers->fields[2].nullable);
        QVERIFY(!customers->memo);

        const TableModel *employees = tableNamed(source, QStringLiteral("Employees"));
        QVERIFY(employees);
        QCOMPARE(int(employees->version), 0x31);
        QCOMPARE(employees->lastUpdate, std::optional<QDate>(QDate(2002, 8, 5)));
        const model::FieldModel &employeeId = employees->fields[0];
        QCOMPARE(employeeId.name, QStringLiteral("employeeid"));
        QVERIFY(employeeId.autoIncrement);
        QCOMPARE(employeeId.nextValue, qint64(10));
        QCOMPARE(employeeId.step, 1);
        const model::FieldModel *photo = fieldNamed(*employees, QStringLiteral("photo"));
        QVERIFY(photo);
        QCOMPARE(photo->typeName, QStringLiteral("Memo"));
        QVERIFY(photo->binary);
        QVERIFY(photo->nullable);
        QVERIFY(employees->memo);
        QCOMPARE(employees->memo->file, QStringLiteral("employees.fpt"));
        QVERIFY(employees->memo->present);
        QCOMPARE(employees->memo->blockSize, 64);
        QCOMPARE(employees->insertTrigger, QString());
        QCOMPARE(employees->updateTrigger, QStringLiteral("__ri_update_employees()"));
        QCOMPARE(employees->deleteTrigger, QStringLiteral("__ri_delete_employees()"));
    }

    void northwindPrimaryKeys_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("primaryTag");

        QTest::newRow("Categories") << "Categories" << "CATEGORYID";
        QTest::newRow("Customers") << "Customers" << "CUSTOMERID";
        QTest::newRow("Employees") << "Employees" << "EMPLOYEEID";
        QTest::newRow("OrderDetails") << "OrderDetails" << "PRIMARYKEY";
        QTest::newRow("Orders") << "Orders" << "ORDERID";
        QTest::newRow("Products") << "Products" << "PRODUCTID";
        QTest::newRow("Shippers") << "Shippers" << "SHIPPERID";
        QTest::newRow("Suppliers") << "Suppliers" << "SUPPLIERID";
        QTest::newRow("Territories") << "Territories" << "TERRITORYI";
        QTest::newRow("CustomerDemographics") << "CustomerDemographics" << "CUSTTYPEID";
        QTest::newRow("Region") << "Region" << "REGIONID";
        QTest::newRow("EmployeeTerritories") << "EmployeeTerritories" << "";
        QTest::newRow("CustomerCustomerDemo") << "CustomerCustomerDemo" << "";
    }

    void northwindPrimaryKeys()
    {
        QFETCH(QString, table);
        QFETCH(QString, primaryTag);
        if (!QFile::exists(fixture(Northwind)))
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
        const SourceModel source = model::readSourceModel(fixture(Northwind), {table});
        QCOMPARE(tableNames(source), QStringList{table});
        QVERIFY(source.tables[0].indexesKnown);
        QStringList primary;
        for (const IndexModel &index : source.tables[0].indexes) {
            if (index.kind == TagKind::Primary)
                primary.append(index.name);
        }
        QCOMPARE(primary, primaryTag.isEmpty() ? QStringList() : QStringList{primaryTag});
    }

    void northwindRelations()
    {
        if (!QFile::exists(fixture(Northwind)))
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
        const SourceModel source = model::readSourceModel(fixture(Northwind));
        QCOMPARE(source.relations.size(), 13);
        const QStringList relations = describe(source.relations);
        QVERIFY(relations.contains(QStringLiteral("Categories.categoryid <- Products.categoryid restrict/restrict/ignore")));
        QVERIFY(relations.contains(QStringLiteral("Customers.customerid <- Orders.customerid cascade/restrict/ignore")));
        QVERIFY(relations.contains(QStringLiteral("Orders.orderid <- OrderDetails.orderid restrict/cascade/ignore")));
        QVERIFY(relations.contains(QStringLiteral("Employees.employeeid <- Employees.reportsto restrict/restrict/ignore")));
        QVERIFY(relations.contains(QStringLiteral("Region.regionid <- Territories.regionid restrict/restrict/ignore")));
    }

    void northwindViews()
    {
        if (!QFile::exists(fixture(Northwind)))
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
        const SourceModel source = model::readSourceModel(fixture(Northwind), {QStringLiteral("current_product_list")});
        QVERIFY(source.tables.isEmpty());
        QCOMPARE(viewNames(source), QStringList{"current_product_list"});
        const model::ViewModel &view = source.views[0];
        QVERIFY(!view.remote);
        QVERIFY(view.sql.startsWith(QLatin1String("SELECT Product_List.ProductID, Product_List.ProductName  FROM "
                                                  "Products AS Product_List")));
        QCOMPARE(view.fields.size(), 2);
        QCOMPARE(view.fields[0].name, QStringLiteral("productid"));
        QCOMPARE(view.fields[0].dataType, QStringLiteral("I"));
        QCOMPARE(view.fields[1].name, QStringLiteral("productname"));
        QCOMPARE(view.fields[1].dataType, QStringLiteral("C(40)"));
    }

    // The same tables read as a folder: each links back to the container.
    void northwindFolder()
    {
        if (!QFile::exists(fixture(Northwind)))
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
        const SourceModel source = model::readSourceModel(fixture(NorthwindFolder));
        QCOMPARE(describe(source.findings), QStringList());
        QCOMPARE(source.tables.size(), 13);
        const TableModel *details = tableNamed(source, QStringLiteral("orderdetails"));
        QVERIFY(details);
        QCOMPARE(details->primaryKey, QStringLiteral("primarykey"));
        const model::FieldModel *price = fieldNamed(*details, QStringLiteral("unitprice"));
        QVERIFY(price);
        QCOMPARE(price->caption, QStringLiteral("Unit Price"));
    }

    void remoteViews()
    {
        if (!QFile::exists(fixture(RemoteViews)))
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
        const SourceModel source = model::readSourceModel(fixture(RemoteViews), {QStringLiteral("customer")});
        QCOMPARE(viewNames(source), QStringList{"customer"});
        QVERIFY(source.views[0].remote);
        QCOMPARE(source.views[0].connection, QStringLiteral("mtxpubs"));
        QVERIFY(source.views[0].sql.startsWith(QLatin1String("SELECT * FROM customer")));
    }

    // Findings real files give: a backlink to a container not in the
    // repository, an index flag with no index, a missing memo; dBase II.
    void fixtureFindings_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<QStringList>("findings");

        QTest::newRow("go-foxpro-dbf dbase_31")
            << "SebastiaanKlippert__go-foxpro-dbf/testdata" << "dbase_31" << "Visual FoxPro"
            << QStringList{"Warning | dbase_31 | It names the container 'northwind.dbc', which is missing; it is read "
                           "as a free table.",
                           "Warning | dbase_31 | Its header announces a structural index, but there is no "
                           "'dbase_31.cdx': tags unknown."};
        QTest::newRow("dbf dbase_83_missing_memo")
            << "infused__dbf/spec/fixtures" << "dbase_83_missing_memo" << "dBase III"
            << QStringList{"Error | dbase_83_missing_memo | Its memo file 'dbase_83_missing_memo.dbt' is missing."};
        QTest::newRow("dbf dbase_02") << "infused__dbf/spec/fixtures" << "dbase_02" << "dBase II" << QStringList();
    }

    void fixtureFindings()
    {
        QFETCH(QString, folder);
        QFETCH(QString, table);
        QFETCH(QString, dialect);
        QFETCH(QStringList, findings);
        if (!QFile::exists(fixture(folder)))
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
        const SourceModel source = model::readSourceModel(fixture(folder), {table});
        QCOMPARE(tableNames(source), QStringList{table});
        QCOMPARE(source.tables[0].dialect, dialect);
        QCOMPARE(describe(source.findings), findings);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(SourceModelTest)
#include "tst_sourcemodel.moc"
