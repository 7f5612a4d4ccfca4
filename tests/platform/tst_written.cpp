// Tables and containers the tests write themselves, one family of cases each.

#include "testsupport.h"

#include "platform/container.h"
#include "model/dataaccess.h"
#include "model/sourcemodel.h"
#include "model/datasourcestring.h"
#include "xbasewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace xbasewriter;

namespace {

std::unique_ptr<model::Recordset> openTable(model::Connection &connection, const QString &table)
{
    std::unique_ptr<model::Recordset> records = model::factory().createRecordset();
    records->Open(QStringLiteral("select * from [") + table + QStringLiteral("]"), connection);
    return records;
}

QStringList fieldNames(model::Recordset &records)
{
    QStringList names;
    for (int i = 0; i < records.fieldCount(); ++i)
        names.append(records.field(i).name);
    return names;
}

// A factory that counts what it creates and otherwise hands out the reader's objects.
class CountingFactory : public model::Factory {
public:
    explicit CountingFactory(model::Factory &inner) : m_inner(inner) {}
    std::unique_ptr<model::Connection> createConnection() override { ++created; return m_inner.createConnection(); }
    std::unique_ptr<model::Recordset> createRecordset() override { ++created; return m_inner.createRecordset(); }
    std::unique_ptr<model::Catalog> createCatalog() override { ++created; return m_inner.createCatalog(); }
    int created = 0;

private:
    model::Factory &m_inner;
};

} // namespace

class WrittenTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // Every dialect keeps its field list; the type letter decides the code.
    void typeCodes_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QChar>("letter");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");

        QTest::newRow("VFP C") << 0x30 << QChar('C') << 30 << 0 << 129 << 30;
        QTest::newRow("VFP C binary") << 0x30 << QChar('C') << 12 << 0x04 << 128 << 12;
        QTest::newRow("VFP C nullable") << 0x30 << QChar('C') << 12 << 0x02 << 129 << 12;
        QTest::newRow("VFP 9 V") << 0x32 << QChar('V') << 20 << 0 << 200 << 20;
        QTest::newRow("VFP 9 V binary") << 0x32 << QChar('V') << 20 << 0x04 << 204 << 20;
        QTest::newRow("VFP 9 Q") << 0x32 << QChar('Q') << 16 << 0x04 << 204 << 16;
        QTest::newRow("VFP 9 W") << 0x32 << QChar('W') << 4 << 0x04 << 205 << 2147483647;
        QTest::newRow("VFP M") << 0x30 << QChar('M') << 4 << 0 << 203 << 2147483647;
        QTest::newRow("VFP M binary") << 0x30 << QChar('M') << 4 << 0x04 << 205 << 2147483647;
        QTest::newRow("VFP G") << 0x30 << QChar('G') << 4 << 0 << 205 << 2147483647;
        QTest::newRow("VFP P") << 0x30 << QChar('P') << 4 << 0 << 205 << 2147483647;
        QTest::newRow("VFP N") << 0x30 << QChar('N') << 10 << 0 << 131 << 19;
        QTest::newRow("VFP F") << 0x30 << QChar('F') << 20 << 0 << 131 << 19;
        QTest::newRow("VFP I") << 0x30 << QChar('I') << 4 << 0x04 << 3 << 4;
        QTest::newRow("VFP I autoincrement") << 0x31 << QChar('I') << 4 << 0x0C << 3 << 4;
        QTest::newRow("VFP B double") << 0x30 << QChar('B') << 8 << 0x04 << 5 << 8;
        QTest::newRow("VFP Y") << 0x30 << QChar('Y') << 8 << 0x04 << 6 << 8;
        QTest::newRow("VFP D") << 0x30 << QChar('D') << 8 << 0 << 133 << 6;
        QTest::newRow("VFP T") << 0x30 << QChar('T') << 8 << 0x04 << 135 << 16;
        QTest::newRow("VFP L") << 0x30 << QChar('L') << 1 << 0 << 11 << 2;
        QTest::newRow("VFP unknown letter") << 0x30 << QChar('X') << 7 << 0 << 132 << 7;
        QTest::newRow("FoxBASE C") << 0x02 << QChar('C') << 10 << 0 << 129 << 10;
        QTest::newRow("dBase III N") << 0x03 << QChar('N') << 12 << 0 << 131 << 19;
        QTest::newRow("dBase III memo") << 0x83 << QChar('M') << 10 << 0 << 203 << 2147483647;
        QTest::newRow("dBase III junk flags ignored") << 0x03 << QChar('C') << 10 << 0x05 << 129 << 10;
        QTest::newRow("dBase IV F") << 0x8B << QChar('F') << 15 << 0 << 131 << 19;
        QTest::newRow("dBase IV binary memo B") << 0x8B << QChar('B') << 10 << 0 << 205 << 2147483647;
        QTest::newRow("FoxPro 2 G") << 0xF5 << QChar('G') << 10 << 0 << 205 << 2147483647;
        QTest::newRow("FoxPro 2 D") << 0xF5 << QChar('D') << 8 << 0 << 133 << 6;
        QTest::newRow("dBase 7 I") << 0x04 << QChar('I') << 4 << 0 << 3 << 4;
        QTest::newRow("dBase 7 +") << 0x8C << QChar('+') << 4 << 0 << 3 << 4;
        QTest::newRow("dBase 7 O") << 0x04 << QChar('O') << 8 << 0 << 5 << 8;
        QTest::newRow("dBase 7 @") << 0x8C << QChar('@') << 8 << 0 << 135 << 16;
        QTest::newRow("dBase 7 L") << 0x04 << QChar('L') << 1 << 0 << 11 << 2;
    }

    void typeCodes()
    {
        QFETCH(int, version);
        QFETCH(QChar, letter);
        QFETCH(int, width);
        QFETCH(int, flags);
        QFETCH(int, type);
        QFETCH(int, size);

        TableSpec layout;
        layout.version = quint8(version);
        layout.fields = {{"FIRST", 'C', 5}, {"SECOND", letter.toLatin1(), width, 0, quint8(flags)}, {"THIRD", 'L', 1}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const auto connection = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(connection);
        const auto records = openTable(*connection, QStringLiteral("t"));
        QCOMPARE(fieldNames(*records), (QStringList{"first", "second", "third"}));
        QCOMPARE(records->field(1).type, type);
        QCOMPARE(records->field(1).definedSize, size);
    }

    void systemFieldsAreHidden()
    {
        TableSpec layout;
        layout.version = 0x32;
        layout.fields = {{"NAME", 'V', 10, 0, 0x02}, {"AGE", 'I', 4, 0, 0x06}, {"_NullFlags", '0', 1, 0, 0x05}};
        writeTable(m_dir->filePath(QStringLiteral("people.dbf")), layout);
        const auto connection = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(connection);
        QCOMPARE(fieldNames(*openTable(*connection, QStringLiteral("PEOPLE"))), (QStringList{"name", "age"}));
    }

    void folderListing()
    {
        TableSpec layout;
        layout.fields = {{"A", 'C', 1}};
        for (const char *name : {"zeta.dbf", "Alpha.DBF", ".hidden.dbf", "mixed.Dbf", "with space.dbf", "notes.txt",
                                 "dbf", "b.dbf.bak"})
            writeTable(m_dir->filePath(QLatin1String(name)), layout);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.dbf")));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
        writeTable(m_dir->filePath(QStringLiteral("sub/inner.dbf")), layout);

        const auto connection = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(connection);
        QCOMPARE(listTables(*connection),
                 (QStringList{".hidden", "alpha", "mixed", "with space", "zeta"}));
        QCOMPARE(openTable(*connection, QStringLiteral("With Space"))->fieldCount(), 1);
        QCOMPARE(openTable(*connection, QStringLiteral("ALPHA"))->fieldCount(), 1);
    }

    void codePages_data()
    {
        QTest::addColumn<int>("mark");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("comment");
        // The stored bytes are the name in the code page of the mark (from the code page charts).
        // 0x80, 0x92 and 0x9C are "€", "’" and "œ" in windows-1252 but C1 controls in
        // ISO-8859-1, so these rows tell the two apart; 0xC9 "É" is the same in both.
        const QByteArray ansi("CAF\xC9\x80\x92\x9C");
        const QString ansiName = QString::fromUtf8("café€’œ");
        const QString ansiComment = QString::fromUtf8("Œuvre: 5 €, l’œil");
        QTest::newRow("windows-1252") << 0x03 << ansi << ansiName << ansiComment;
        QTest::newRow("no mark: windows-1252") << 0x00 << ansi << ansiName << ansiComment;
        QTest::newRow("unknown mark: windows-1252") << 0x7F << ansi << ansiName << ansiComment;
        // Code pages no converter knows: 437 with letters of their own in some places
        // (0xA2 is 437's "ó" in both). The test writes their containers as windows-1252.
        QTest::newRow("Mazovia") << 0x69 << QByteArray("\x9C\xA3\x86\x91\xA2\x9E") << QString::fromUtf8("łóąęóś")
                                 << QStringLiteral("Polish");
        QTest::newRow("Kamenicky") << 0x68 << QByteArray("\x80\x9B\x92\xA6\x82\x9F") << QString::fromUtf8("čšžůéť")
                                   << QStringLiteral("Czech");
        // ESRI's "ANSI" language driver id.
        QTest::newRow("0x57: windows-1252") << 0x57 << ansi << ansiName << ansiComment;
        // The "English OEM (U.S.)" driver id: DOS 437, where 0x9B is "¢" and 0x9D "¥"
        // (850 has "ø" and "Ø" there, windows-1252 "›" and a gap).
        QTest::newRow("0x1B: DOS 437") << 0x1B << QByteArray("\x87\x82\x9B\x9D") << QString::fromUtf8("çé¢¥")
                                       << QString::fromUtf8("Größe: 5 £, 3 ¥");
        // Not a FoxPro mark, but written by some tools for UTF-8: "€" is E2 82 AC, "É" C3 89.
        QTest::newRow("0xF0: UTF-8") << 0xF0 << QByteArray("\xE2\x82\xAC" "CAF\xC3\x89") << QString::fromUtf8("€café")
                                     << QString::fromUtf8("Größe – 5 €, 東京");
        // A sequence cut short by the end of the name is shown, not dropped.
        QTest::newRow("0xF0: UTF-8 cut short") << 0xF0 << QByteArray("CAF\xC3") << QString::fromUtf8("caf\uFFFD")
                                               << QStringLiteral("Cut");
        QTest::newRow("windows-1251") << 0xC9 << QByteArray("\xC8\xCC\xDF") << QString::fromUtf8("имя")
                                      << QString::fromUtf8("Клиент");
        QTest::newRow("windows-1250") << 0xC8 << QByteArray("\x8A\xC8") << QString::fromUtf8("šč")
                                      << QString::fromUtf8("Žluťoučký");
        QTest::newRow("DOS 866") << 0x65 << QByteArray("\x88\x8C\x9F") << QString::fromUtf8("имя")
                                 << QString::fromUtf8("Клиент");
        QTest::newRow("DOS 437") << 0x01 << QByteArray("\x82T\x82") << QString::fromUtf8("été")
                                 << QString::fromUtf8("Überblick");
        QTest::newRow("DOS 850") << 0x02 << QByteArray("\x90T\x90") << QString::fromUtf8("été")
                                 << QString::fromUtf8("Überblick");
        QTest::newRow("windows-1253") << 0xCB << QByteArray("\xC1\xC2") << QString::fromUtf8("αβ")
                                      << QString::fromUtf8("Ελληνικά");
    }

    void codePages()
    {
        QFETCH(int, mark);
        QFETCH(QByteArray, stored);
        QFETCH(QString, name);
        QFETCH(QString, comment);

        TableSpec layout;
        layout.codePage = quint8(mark);
        layout.fields = {{stored, 'C', 8}};
        writeTable(m_dir->filePath(QStringLiteral("free.dbf")), layout);
        const auto folder = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(folder);
        QCOMPARE(openTable(*folder, QStringLiteral("free"))->field(0).name, name);

        // The container's text in its own code page (the writer encodes it);
        // the marks without a converter are written as windows-1252.
        ContainerSpec container;
        container.codePage = quint8(mark);
        container.tables = {{QStringLiteral("free"), QStringLiteral("free.dbf"), {{QStringLiteral("long"), comment, {}}}, {}}};
        writeContainer(m_dir->filePath(QStringLiteral("db.dbc")), container);
        layout.backlink = "db.dbc";
        writeTable(m_dir->filePath(QStringLiteral("free.dbf")), layout);
        const auto connection = openConnection(containerConnectionString(m_dir->filePath(QStringLiteral("db.dbc"))));
        QVERIFY(connection);
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        QCOMPARE(catalog->Tables(QStringLiteral("free"))->columnProperty(QStringLiteral("long"), QStringLiteral("Description")),
                 comment);
    }

    void containerNamesAndComments()
    {
        ContainerSpec container;
        container.tables = {
            {QStringLiteral("Order Lines"), QStringLiteral("ORDLINES.DBF"),
             {{QStringLiteral("order_identifier"), QStringLiteral("Which order"), {}},
              {QStringLiteral("gone"), QStringLiteral("deleted field"), {}, true},
              {QStringLiteral("quantity_ordered"), {}, {}}},
             QStringLiteral("Lines of each order")},
            {QStringLiteral("removed"), QStringLiteral("removed.dbf"), {{QStringLiteral("x"), {}, {}}}, {}, true},
            {QStringLiteral("customers"), QStringLiteral("Data/Cust.dbf"),
             {{QStringLiteral("id"), QStringLiteral("Key"), {}}}, {}},
            {QStringLiteral("Alpha"), QStringLiteral("alpha.dbf"), {{QStringLiteral("a"), {}, {}}}, {}},
        };
        container.views = {
            {QStringLiteral("zeta view"),
             {{QStringLiteral("name"), QStringLiteral("Shown name"), QStringLiteral("C(40)")},
              {QStringLiteral("amount"), {}, QStringLiteral("N(10,2)")},
              {QStringLiteral("id"), {}, QStringLiteral("I")},
              {QStringLiteral("photo"), {}, QStringLiteral("M NOCPTRANS")}}},
            {QStringLiteral("Beta"), {{QStringLiteral("when"), {}, QStringLiteral("T")}}},
        };
        writeContainer(m_dir->filePath(QStringLiteral("Sales.DBC")), container);

        TableSpec lines;
        lines.backlink = "Sales.DBC";
        lines.fields = {{"ORDER_IDEN", 'I', 4, 0, 0x04}, {"QUANTITY_O", 'N', 8, 2}, {"_NullFlags", '0', 1, 0, 0x05}};
        writeTable(m_dir->filePath(QStringLiteral("ordlines.dbf")), lines); // stored Path is upper case
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("data")));
        TableSpec customers;
        customers.backlink = "../Sales.DBC";
        customers.fields = {{"ID", 'C', 6}};
        writeTable(m_dir->filePath(QStringLiteral("data/CUST.dbf")), customers);
        TableSpec alpha;
        alpha.fields = {{"A", 'C', 1}};
        writeTable(m_dir->filePath(QStringLiteral("alpha.dbf")), alpha);

        const auto connection = openConnection(containerConnectionString(m_dir->filePath(QStringLiteral("Sales.DBC"))));
        QVERIFY(connection);
        QCOMPARE(listTables(*connection),
                 (QStringList{"Alpha", "customers", "Order Lines", "Beta", "zeta view"}));

        const auto lineFields = openTable(*connection, QStringLiteral("order lines"));
        QCOMPARE(fieldNames(*lineFields), (QStringList{"order_identifier", "quantity_ordered"}));
        QCOMPARE(lineFields->field(1).type, 131);
        QCOMPARE(fieldNames(*openTable(*connection, QStringLiteral("CUSTOMERS"))), QStringList{"id"});

        const auto view = openTable(*connection, QStringLiteral("Zeta View"));
        QCOMPARE(fieldNames(*view), (QStringList{"name", "amount", "id", "photo"}));
        QCOMPARE(view->field(0).type, 129);
        QCOMPARE(view->field(0).definedSize, 40);
        QCOMPARE(view->field(1).type, 131);
        QCOMPARE(view->field(1).definedSize, 19);
        QCOMPARE(view->field(2).type, 3);
        QCOMPARE(view->field(3).type, 205);

        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        const auto table = catalog->Tables(QStringLiteral("Order Lines"));
        QCOMPARE(table->columnProperty(QStringLiteral("order_identifier"), QStringLiteral("Description")),
                 QStringLiteral("Which order"));
        QCOMPARE(table->columnProperty(QStringLiteral("QUANTITY_ORDERED"), QStringLiteral("description")), QString());
        QCOMPARE(catalog->Tables(QStringLiteral("zeta view"))->columnProperty(QStringLiteral("name"), QStringLiteral("Description")),
                 QStringLiteral("Shown name"));
        // One comment is enough for a table's descriptions to be asked for; none, and they need not be.
        QVERIFY(!table->allDescriptionsEmpty());
        QVERIFY(!catalog->Tables(QStringLiteral("zeta view"))->allDescriptionsEmpty());
        QVERIFY(catalog->Tables(QStringLiteral("Beta"))->allDescriptionsEmpty());
        QVERIFY(catalog->Tables(QStringLiteral("Alpha"))->allDescriptionsEmpty());

        const Caught removed = failureOf([&] { catalog->Tables(QStringLiteral("removed")); });
        QCOMPARE(removed.number, 1);
        QCOMPARE(removed.description, QStringLiteral("Table 'removed' does not exist in 'Sales.DBC'."));
        QCOMPARE(failureOf([&] { table->columnProperty(QStringLiteral("nosuch"), QStringLiteral("Description")); }).number,
                 3265);
        QCOMPARE(failureOf([&] { table->columnProperty(QStringLiteral("order_identifier"), QStringLiteral("Caption")); }).number,
                 3265);

        // Folder mode: the backlinked container beside the table lends its names and comments.
        const auto folder = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(folder);
        QCOMPARE(listTables(*folder), (QStringList{"alpha", "ordlines"}));
        QCOMPARE(fieldNames(*openTable(*folder, QStringLiteral("ordlines"))),
                 (QStringList{"order_identifier", "quantity_ordered"}));
        const auto folderCatalog = model::factory().createCatalog();
        folderCatalog->setActiveConnection(*folder);
        QCOMPARE(folderCatalog->Tables(QStringLiteral("ordlines"))
                     ->columnProperty(QStringLiteral("order_identifier"), QStringLiteral("Description")),
                 QStringLiteral("Which order"));
        QCOMPARE(folderCatalog->Tables(QStringLiteral("alpha"))->columnProperty(QStringLiteral("a"), QStringLiteral("Description")),
                 QString());
        QVERIFY(folderCatalog->Tables(QStringLiteral("alpha"))->allDescriptionsEmpty());
        QVERIFY(!folderCatalog->Tables(QStringLiteral("ordlines"))->allDescriptionsEmpty());
    }

    // User-defined properties have ids from 256 on, stored in 2 bytes (id length 2, little-endian).
    // They sit anywhere among the known entries; the reader steps over them by their
    // length and takes only ids 1 (Path) and 7 (Comment).
    void customProperties_data()
    {
        QTest::addColumn<QByteArray>("tableProperties");
        QTest::addColumn<QByteArray>("fieldProperties");
        QTest::addColumn<QList<int>>("tableIds");
        QTest::addColumn<QString>("tableComment");
        QTest::addColumn<QString>("fieldComment");

        const QByteArray tableClass = rawPropertyEntry(2, QByteArray(1, '\x01'));
        const QByteArray path = propertyEntry(1, "products.dbf");
        const QByteArray comment = propertyEntry(7, "Product list");
        const QByteArray fieldComment = propertyEntry(7, "Name of the product");

        // As in the Tastrade sample: id 1000 (E8 03) ahead of everything.
        QTest::newRow("custom entry first")
            << customPropertyEntry(1000, QByteArray("Wow, I can write own property", 30)) + tableClass + path + comment
            << customPropertyEntry(1000, QByteArray("own", 4)) + fieldComment
            << QList<int>{1000, 2, 1, 7} << "Product list" << "Name of the product";

        // An empty value (entry length 8) and a 300-byte one (length 308 = 34 01 00 00).
        QTest::newRow("custom entries between")
            << tableClass + customPropertyEntry(1001, {}) + path + customPropertyEntry(1000, QByteArray(299, 'x') + '\0')
                   + comment
            << customPropertyEntry(1001, {}) + fieldComment + customPropertyEntry(1000, QByteArray("after", 6))
            << QList<int>{2, 1001, 1, 1000, 7} << "Product list" << "Name of the product";

        // Ids whose low or high byte is 1 or 7, after the real Path and Comment so they would
        // replace them if read by one byte or big-endian: 257 = 01 01, 263 = 07 01,
        // 256 = 00 01, 1792 = 00 07, 1793 = 01 07.
        const QByteArray notPath("elsewhere.dbf", 14);
        const QByteArray notComment("not the comment", 16);
        QTest::newRow("custom ids sharing a byte with 1 and 7")
            << tableClass + path + comment + customPropertyEntry(257, notPath) + customPropertyEntry(263, notComment)
                   + customPropertyEntry(256, notPath) + customPropertyEntry(1792, notComment)
                   + customPropertyEntry(1793, notComment)
            << customPropertyEntry(263, notComment) + customPropertyEntry(1792, notComment)
                   + customPropertyEntry(1793, notComment)
            << QList<int>{2, 1, 7, 257, 263, 256, 1792, 1793} << "Product list" << QString();

        // A value over 64 KiB (length 70 008 = 78 11 01 00) made of entries that look like a
        // Path and a Comment: a reader that lost its place would land among them.
        QByteArray decoys;
        while (decoys.size() < 70000)
            decoys += propertyEntry(1, "decoy.dbf") + propertyEntry(7, "decoy");
        decoys.truncate(70000);
        QTest::newRow("custom value over 64 KiB")
            << tableClass + path + customPropertyEntry(1000, decoys) + comment
            << customPropertyEntry(1001, decoys) + fieldComment
            << QList<int>{2, 1, 1000, 7} << "Product list" << "Name of the product";
    }

    void customProperties()
    {
        QFETCH(QByteArray, tableProperties);
        QFETCH(QByteArray, fieldProperties);
        QFETCH(QList<int>, tableIds);
        QFETCH(QString, tableComment);
        QFETCH(QString, fieldComment);

        // A reader that loses its place throws "corrupted": reported as a plain failure.
        QList<int> ids;
        QCOMPARE(failureOf([&] {
                     for (const platform::Property &property : platform::parseProperties(tableProperties, QStringLiteral("c.dct")))
                         ids.append(int(property.id));
                 }).description,
                 QString());
        QCOMPARE(ids, tableIds);

        ContainerSpec container;
        ContainerTable products{QStringLiteral("Products"), {}, {}, {}};
        products.properties = tableProperties;
        ContainerField name{QStringLiteral("product_name"), {}, {}};
        name.properties = fieldProperties;
        products.fields = {name, {QStringLiteral("unit_price"), QStringLiteral("Price per unit"), {}}};
        container.tables = {products};
        const ContainerFiles files = containerBytes(container);
        platform::ContainerModel model;
        QCOMPARE(failureOf([&] {
                     model = platform::parseContainer(files.dbc, platform::MemoFile(files.dct, QStringLiteral("c.dct")),
                                                    QStringLiteral("c.dbc"));
                 }).description,
                 QString());
        const platform::ContainerObject *table = model.findTable(QStringLiteral("products"));
        QVERIFY(table);
        QCOMPARE(table->path, QStringLiteral("products.dbf"));
        QCOMPARE(table->comment, tableComment);
        QCOMPARE(table->fields.size(), 2);
        QCOMPARE(table->fields[0].comment, fieldComment);

        writeContainer(m_dir->filePath(QStringLiteral("c.dbc")), container);
        TableSpec layout;
        layout.backlink = "c.dbc";
        layout.fields = {{"PRODUCT_NA", 'C', 40}, {"UNIT_PRICE", 'Y', 8, 0, 0x04}};
        writeTable(m_dir->filePath(QStringLiteral("products.dbf")), layout);

        const auto connection = openConnection(containerConnectionString(m_dir->filePath(QStringLiteral("c.dbc"))));
        QVERIFY(connection);
        QCOMPARE(fieldNames(*openTable(*connection, QStringLiteral("products"))),
                 (QStringList{"product_name", "unit_price"}));
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        const auto described = catalog->Tables(QStringLiteral("Products"));
        QCOMPARE(described->columnProperty(QStringLiteral("product_name"), QStringLiteral("Description")), fieldComment);
        QCOMPARE(described->columnProperty(QStringLiteral("unit_price"), QStringLiteral("Description")),
                 QStringLiteral("Price per unit"));
    }

    void catalogSharesTheConnectionsModel()
    {
        ContainerSpec container;
        container.tables = {{QStringLiteral("t"), QStringLiteral("t.dbf"), {{QStringLiteral("field_one"), QStringLiteral("One"), {}}}, {}}};
        writeContainer(m_dir->filePath(QStringLiteral("c.dbc")), container);
        TableSpec layout;
        layout.backlink = "c.dbc";
        layout.fields = {{"FIELD_ONE", 'C', 3}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);

        const auto connection = openConnection(containerConnectionString(m_dir->filePath(QStringLiteral("c.dbc"))));
        QVERIFY(connection);
        QCOMPARE(openTable(*connection, QStringLiteral("t"))->field(0).name, QStringLiteral("field_one"));
        // Parsed once: with the files gone, the catalog still answers from the connection's model.
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("c.dbc"))));
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("t.dbf"))));
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        QCOMPARE(catalog->Tables(QStringLiteral("T"))->columnProperty(QStringLiteral("field_one"), QStringLiteral("Description")),
                 QStringLiteral("One"));
    }

    void millionRowsReadOnlyTheHeader()
    {
        TableSpec layout;
        layout.recordCount = 1000000;
        layout.fields = {{"NAME", 'C', 40}, {"AMOUNT", 'N', 12, 2}};
        writeSparseTable(m_dir->filePath(QStringLiteral("big.dbf")), layout);
        const auto connection = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(connection);
        QCOMPARE(fieldNames(*openTable(*connection, QStringLiteral("big"))), (QStringList{"name", "amount"}));
    }

    // One connection describes table after table in the same storage: what
    // a caller still holds of a table described before keeps that table's
    // names, whatever comes next, longer or shorter, ASCII or not.
    void describedTablesStayAsTheyWere()
    {
        TableSpec wide;
        wide.fields = {{"ALPHA", 'C', 4}, {"BETA", 'N', 6, 2}, {"GAMMA", 'L', 1}, {"DELTA", 'D', 8}, {"EPSILON", 'M', 4}};
        writeTable(m_dir->filePath(QStringLiteral("wide.dbf")), wide);
        TableSpec narrow;
        narrow.codePage = 0x03;
        narrow.fields = {{"CAF\xC9", 'C', 2}, {"X", 'C', 1}};
        writeTable(m_dir->filePath(QStringLiteral("narrow.dbf")), narrow);
        TableSpec other;
        other.fields = {{"ONE", 'I', 4, 0, 0x04}, {"TWO", 'C', 9}, {"THREE", 'C', 3}};
        writeTable(m_dir->filePath(QStringLiteral("other.dbf")), other);
        const QStringList wideNames{"alpha", "beta", "gamma", "delta", "epsilon"};
        const QStringList narrowNames{QString::fromUtf8("café"), "x"};
        const QStringList otherNames{"one", "two", "three"};

        const auto connection = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(connection);
        // A record set still open keeps its table while another is described.
        const auto first = openTable(*connection, QStringLiteral("wide"));
        QCOMPARE(fieldNames(*openTable(*connection, QStringLiteral("narrow"))), narrowNames);
        QCOMPARE(fieldNames(*first), wideNames);
        first->Close();

        // Fields taken from a closed record set keep their names.
        auto records = openTable(*connection, QStringLiteral("wide"));
        const model::Field kept = records->field(4);
        records->Close();
        records->Open(QStringLiteral("select * from [other]"), *connection);
        QCOMPARE(fieldNames(*records), otherNames);
        QCOMPARE(kept.name, QStringLiteral("epsilon"));
        QCOMPARE(kept.type, int(model::adLongVarWChar));

        // So does a catalog's table.
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        const auto held = catalog->Tables(QStringLiteral("other"));
        records->Close();
        records->Open(QStringLiteral("select * from [narrow]"), *connection);
        QCOMPARE(fieldNames(*records), narrowNames);
        QCOMPARE(held->columnProperty(QStringLiteral("three"), QStringLiteral("Description")), QString());
        QCOMPARE(failureOf([&] { held->columnProperty(QStringLiteral("x"), QStringLiteral("Description")); }).number,
                 int(platform::ItemNotFound));

        // A longer table after a shorter one, and back: every name and type its own.
        for (const QString &table : {QStringLiteral("wide"), QStringLiteral("narrow"), QStringLiteral("other"),
                                     QStringLiteral("wide")}) {
            records->Close();
            records->Open(QStringLiteral("select * from [") + table + QLatin1Char(']'), *connection);
            const QStringList expected = table == QLatin1String("wide") ? wideNames
                : table == QLatin1String("narrow")                     ? narrowNames
                                                                       : otherNames;
            QCOMPARE(fieldNames(*records), expected);
        }
        QCOMPARE(records->field(1).type, int(model::adNumeric));
        QCOMPARE(records->field(0).definedSize, 4);
    }

    // Within a snapshot every connection to a source reads it as it was when
    // first read, and the check for a report's file asks that same listing;
    // once the snapshot ends, the source is read afresh.
    void snapshotReadsTheSourceOnce()
    {
        TableSpec layout;
        layout.fields = {{"A", 'C', 1}};
        const QString folder = m_dir->filePath(QStringLiteral("src"));
        QVERIFY(QDir().mkdir(folder));
        writeTable(folder + QStringLiteral("/alpha.dbf"), layout);
        TableSpec linkedBack = layout;
        linkedBack.backlink = "../shop.dbc";
        writeTable(folder + QStringLiteral("/beta.dbf"), linkedBack);
        const QString memo = m_dir->filePath(QStringLiteral("memo.txt"));
        const QString later = m_dir->filePath(QStringLiteral("later.txt"));
        writeFile(memo, QByteArray(512, '\0'));
        writeFile(later, QByteArray(512, '\0'));
        QVERIFY(QFile::link(memo, folder + QStringLiteral("/beta.fpt")));
        ContainerSpec container;
        container.tables = {{QStringLiteral("alpha"), QStringLiteral("src/alpha.dbf"), {{QStringLiteral("a"), {}, {}}}, {}}};
        const QString dbc = m_dir->filePath(QStringLiteral("shop.dbc"));
        writeContainer(dbc, container);
        const QStringList tables{QStringLiteral("alpha"), QStringLiteral("beta")};
        const QString linked = QDir::toNativeSeparators(folder + QStringLiteral("/beta.fpt"));
        {
            const model::SourceSnapshot snapshot;
            const auto first = openConnection(folderConnectionString(folder));
            QVERIFY(first);
            QCOMPARE(listTables(*first), tables);
            QCOMPARE(listTables(*openConnection(containerConnectionString(dbc))), QStringList{"alpha"});

            writeTable(folder + QStringLiteral("/gamma.dbf"), layout);
            QVERIFY(QFile::remove(folder + QStringLiteral("/alpha.dbf")));
            QVERIFY(QFile::link(later, folder + QStringLiteral("/alpha.fpt")));
            container.tables.append({QStringLiteral("gamma"), QStringLiteral("src/gamma.dbf"), {{QStringLiteral("a"), {}, {}}}, {}});
            writeContainer(dbc, container);

            const auto second = openConnection(folderConnectionString(folder));
            QVERIFY(second);
            QCOMPARE(listTables(*second), tables);
            QCOMPARE(listTables(*openConnection(containerConnectionString(dbc))), QStringList{"alpha"});
            // The link the listing found is found, and a container a table
            // links back to is the source's file at every check.
            QCOMPARE(model::sourceFileMatching(folder, tables, memo), std::optional<QString>(linked));
            const std::optional<QString> backlinked(QDir::toNativeSeparators(folder + QStringLiteral("/../shop.dct")));
            QCOMPARE(model::sourceFileMatching(folder, tables, m_dir->filePath(QStringLiteral("shop.dct"))), backlinked);
            QCOMPARE(model::sourceFileMatching(folder, tables, m_dir->filePath(QStringLiteral("shop.dct"))), backlinked);
            // A table gone since is gone when read, and says so.
            QCOMPARE(failureOf([&] { openTable(*second, QStringLiteral("alpha")); }).number,
                     int(platform::FileDoesNotExist));
            QCOMPARE(openTable(*second, QStringLiteral("beta"))->fieldCount(), 1);
        }
        const auto after = openConnection(folderConnectionString(folder));
        QVERIFY(after);
        QCOMPARE(listTables(*after), (QStringList{"beta", "gamma"}));
        QCOMPARE(listTables(*openConnection(containerConnectionString(dbc))), (QStringList{"alpha", "gamma"}));
        QCOMPARE(model::sourceFileMatching(folder, tables, later),
                 std::optional<QString>(QDir::toNativeSeparators(folder + QStringLiteral("/alpha.fpt"))));
    }

    void dataSourceOfConnectionString_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("dataSource");
        QTest::newRow("folder") << "Provider=vfpoledb.1;Data Source=/data/sales;Collating Sequence=general;"
                                << "/data/sales";
        QTest::newRow("container") << "Provider=vfpoledb.1;Data Source=/data/s.dbc;Collating Sequence=machine;"
                                   << "/data/s.dbc";
        QTest::newRow("path holding ;") << "Provider=vfpoledb.1;Data Source=/data/a;b;Collating Sequence=general;"
                                        << "/data/a;b";
        QTest::newRow("path holding the key") << "Provider=vfpoledb.1;Data Source=/x;Collating Sequence=y/z;Collating Sequence=machine;"
                                              << "/x;Collating Sequence=y/z";
        QTest::newRow("empty") << "Provider=vfpoledb.1;Data Source=;Collating Sequence=machine;" << "";
        QTest::newRow("no collating sequence") << "Provider=vfpoledb.1;Data Source=/data;" << "/data";
        QTest::newRow("no data source") << "Provider=vfpoledb.1;" << "";
        QTest::newRow("spaces kept") << "Provider=vfpoledb.1;Data Source= /my data ;Collating Sequence=general;"
                                     << " /my data ";
    }

    void dataSourceOfConnectionString()
    {
        QFETCH(QString, connectionString);
        QFETCH(QString, dataSource);
        QCOMPARE(model::dataSourceOf(connectionString), dataSource);
    }

    void connectionStates()
    {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("a;b")));
        TableSpec layout;
        layout.fields = {{"A", 'C', 1}};
        writeTable(m_dir->filePath(QStringLiteral("a;b/only.dbf")), layout);

        const auto connection = model::factory().createConnection();
        QCOMPARE(connection->State(), model::adStateClosed);
        connection->setCursorLocation(2);
        connection->Open(folderConnectionString(m_dir->filePath(QStringLiteral("a;b"))));
        QCOMPARE(connection->State(), model::adStateOpen);
        QCOMPARE(failureOf([&] { connection->Open(folderConnectionString(m_dir->path())); }).number, 3705);
        QCOMPARE(listTables(*connection), QStringList{"only"});
        const auto rows = connection->OpenSchema(model::adSchemaTables);
        QCOMPARE(rows->value(QStringLiteral("TABLE_TYPE")), QStringLiteral("TABLE"));
        QCOMPARE(failureOf([&] { rows->value(QStringLiteral("NO_SUCH")); }).number, 3265);
        rows->MoveNext();
        QVERIFY(rows->atEnd());
        QCOMPARE(failureOf([&] { rows->MoveNext(); }).number, 3265);
        QCOMPARE(failureOf([&] { connection->OpenSchema(4); }).number, platform::UnsupportedCommand);
        connection->Close();
        QCOMPARE(connection->State(), model::adStateClosed);
        QCOMPARE(failureOf([&] { connection->Close(); }).number, platform::ObjectClosed);
        QCOMPARE(failureOf([&] { connection->OpenSchema(model::adSchemaTables); }).number, platform::ObjectClosed);
        const auto records = model::factory().createRecordset();
        QCOMPARE(failureOf([&] { records->Open(QStringLiteral("select * from [only]"), *connection); }).number,
                 platform::ObjectClosed);
        QCOMPARE(records->State(), model::adStateClosed);
    }

    void openErrors_data()
    {
        QTest::addColumn<QString>("dataSource");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("empty") << "" << 202 << "Invalid path or file name.";
        QTest::newRow("missing folder") << "missing" << 1 << "File or folder '%1/missing' does not exist.";
        QTest::newRow("missing container") << "gone.dbc" << 1 << "File or folder '%1/gone.dbc' does not exist.";
        QTest::newRow("folder named like a container") << "dir.DBC" << 202 << "'%1/dir.DBC' is a folder, not a database container.";
        QTest::newRow("free table as container") << "free.dbf" << 15 << "'free.dbf' is not a database container: it has no OBJECTID field.";
        QTest::newRow("text file as container") << "text.dbc" << 15 << "'text.dbc' is not a table: its first byte 0x68 is no known table version.";
        QTest::newRow("container without memo") << "nomemo.dbc" << 1 << "File 'nomemo.dct' does not exist.";
    }

    void openErrors()
    {
        QFETCH(QString, dataSource);
        QFETCH(int, number);
        QFETCH(QString, description);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("dir.DBC")));
        TableSpec layout;
        layout.fields = {{"A", 'C', 1}};
        writeTable(m_dir->filePath(QStringLiteral("free.dbf")), layout);
        writeFile(m_dir->filePath(QStringLiteral("text.dbc")), QByteArray("hello, this is not a table at all"));
        writeContainer(m_dir->filePath(QStringLiteral("nomemo.dbc")), ContainerSpec());
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("nomemo.dct"))));

        const QString path = dataSource.isEmpty() ? QString() : m_dir->filePath(dataSource);
        const auto connection = model::factory().createConnection();
        const Caught caught = failureOf([&] { connection->Open(containerConnectionString(path)); });
        QCOMPARE(caught.number, number);
        QCOMPARE(caught.description, description.contains(QLatin1String("%1")) ? description.arg(m_dir->path()) : description);
        QCOMPARE(connection->State(), model::adStateClosed);
    }

    // The one command a record set opens, in any spacing and case; the name
    // runs from its "[" to the last "]".
    void commands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("field"); // of the table opened; empty when none is
        QTest::addColumn<int>("failure"); // -1: none
        QTest::newRow("as the report writes it") << "select * from [t]" << "a" << -1;
        QTest::newRow("spaced, in capitals, with a semicolon") << "  SELECT  *\tFROM  [t] ; " << "a" << -1;
        QTest::newRow("a name holding a bracket") << "select * from [a]b]" << "b" << -1;
        QTest::newRow("no name") << "select * from []" << "" << 1;
        QTest::newRow("words after the name") << "select * from [t] where 1" << "" << 3001;
        QTest::newRow("no brackets") << "select * from t" << "" << 3001;
        QTest::newRow("no closing bracket") << "select * from [t" << "" << 3001;
        QTest::newRow("fields named") << "select a from [t]" << "" << 3001;
    }

    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QString, field);
        QFETCH(int, failure);
        TableSpec t;
        t.fields = {{"A", 'C', 1}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), t);
        TableSpec bracketed;
        bracketed.fields = {{"B", 'C', 1}};
        writeTable(m_dir->filePath(QStringLiteral("a]b.dbf")), bracketed);
        const auto connection = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(connection);
        const auto records = model::factory().createRecordset();
        const Caught caught = failureOf([&] { records->Open(command, *connection); });
        QCOMPARE(caught.number, failure);
        if (failure < 0)
            QCOMPARE(records->field(0).name, field);
    }

    void recordsetErrors()
    {
        TableSpec layout;
        layout.fields = {{"A", 'C', 1}};
        writeTable(m_dir->filePath(QStringLiteral("t.dbf")), layout);
        const auto connection = openConnection(folderConnectionString(m_dir->path()));
        QVERIFY(connection);
        const auto records = model::factory().createRecordset();
        QCOMPARE(failureOf([&] { records->Open(QStringLiteral("select a from [t]"), *connection); }).number,
                 platform::UnsupportedCommand);
        const Caught missing = failureOf([&] { records->Open(QStringLiteral("select * from [nosuch]"), *connection); });
        QCOMPARE(missing.number, 1);
        QCOMPARE(missing.description, QStringLiteral("File 'nosuch.dbf' does not exist."));
        records->Open(QStringLiteral("SELECT * FROM [T]"), *connection);
        QCOMPARE(records->fieldCount(), 1);
        QCOMPARE(failureOf([&] { records->Open(QStringLiteral("select * from [t]"), *connection); }).number, 3705);
        QCOMPARE(failureOf([&] { records->field(1); }).number, 3265);
        QCOMPARE(failureOf([&] { records->field(-1); }).number, 3265);
        records->Close();
        QCOMPARE(records->State(), model::adStateClosed);
        QCOMPARE(failureOf([&] { records->fieldCount(); }).number, platform::ObjectClosed);
        QCOMPARE(failureOf([&] { records->Close(); }).number, platform::ObjectClosed);
        records->Open(QStringLiteral("select * from [t]"), *connection);
        QCOMPARE(records->State(), model::adStateOpen);
        const auto catalog = model::factory().createCatalog();
        QCOMPARE(failureOf([&] { catalog->Tables(QStringLiteral("t")); }).number, platform::ObjectClosed);
    }

    void factorySeam()
    {
        CountingFactory counting(model::factory());
        model::setFactory(&counting);
        const auto connection = model::factory().createConnection();
        model::setFactory(nullptr);
        QCOMPARE(counting.created, 1);
        QVERIFY(&model::factory() != &counting);
        QCOMPARE(connection->State(), model::adStateClosed);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(WrittenTest)

#include "tst_written.moc"
