// Real files written by FoxPro, Visual FoxPro and dBase programs, read in place.
// Every expected value below was decoded by hand from a hex dump of the file.

#include "testsupport.h"

#include "model/dataaccess.h"
#include "platform/tableheader.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QString fixture(const QString &relative)
{
    return QDir(QStringLiteral(ORVALLE_FIXTURES_DIR)).filePath(relative);
}

QString sourceString(const QString &relative)
{
    const QString path = fixture(relative);
    return relative.endsWith(QLatin1String(".dbc"), Qt::CaseInsensitive) ? containerConnectionString(path)
                                                                          : folderConnectionString(path);
}

const QString Northwind = QStringLiteral("VFPX__Samples/Northwind/northwind.dbc");
const QString TestData = QStringLiteral("VFPX__Samples/Data/testdata.dbc");
const QString ViewsOnly = QStringLiteral("VFPX__Samples/Com+/Transactions/testdata.dbc");
const QString Expenses = QStringLiteral("Valentin-Kaiser__go-dbase/examples/test_data/database/EXPENSES.DBC");
// The folder names are the fixture repository's own.
const QString InfusedFixtures = QStringLiteral("infused__dbf/spec/fixtures");
const QString InfusedDb = InfusedFixtures + QStringLiteral("/foxprodb/FOXPRO-DB-TEST.DBC");

} // namespace

class FixturesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QDir(QStringLiteral(ORVALLE_FIXTURES_DIR)).exists())
            QSKIP("The folder of real FoxPro files (ORVALLE_FIXTURES_DIR) is absent; nothing to read.");
    }

    void tableList_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("northwind: tables, then views") << Northwind << QStringList{
            "Categories", "CustomerCustomerDemo", "CustomerDemographics", "Customers", "Employees",
            "EmployeeTerritories", "OrderDetails", "Orders", "Products", "Region", "Shippers", "Suppliers",
            "Territories", "alphabetical_list_of_products", "category_sales_for_1997", "current_product_list",
            "customer_and_suppliers_by_city", "invoices", "order_details_extended", "order_subtotals",
            "orders_qry", "product_sales_for_1997", "products_above_average_price", "products_by_category",
            "quarterly_orders", "sales_by_category", "sales_totals_by_amount", "summary_of_sales_by_quarter",
            "summary_of_sales_by_year", "ten_most_expensive_products"};
        QTest::newRow("testdata: deleted records skipped") << TestData << QStringList{
            "customer", "employee", "orders", "orditems", "products", "customers in specific country", "invoice"};
        QTest::newRow("views only") << ViewsOnly << QStringList{"customer", "employee", "orders", "orditems", "products"};
        QTest::newRow("expenses") << Expenses << QStringList{"employees", "expense_categories", "expense_details",
                                                             "expense_reports"};
        QTest::newRow("infused") << InfusedDb << QStringList{"calls", "contacts", "setup", "types"};
        QTest::newRow("folder of free and container tables")
            << QStringLiteral("VFPX__Samples/Data")
            << QStringList{"country", "customer", "employee", "orders", "orditems", "products", "queries"};
        QTest::newRow("folder with upper-case file names")
            << QStringLiteral("Valentin-Kaiser__go-dbase/examples/test_data/database")
            << QStringList{"employees", "expense categories", "expense details", "expense reports"};
    }

    void tableList()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, expected);
        const std::unique_ptr<model::Connection> connection = openConnection(sourceString(source));
        QVERIFY(connection);
        QCOMPARE(listTables(*connection), expected);
    }

    void fields_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("description");

        // northwind: long names from the container, hidden _NullFlags, autoincrement, G, nullable binary memo.
        QTest::newRow("Categories 0 autoinc") << Northwind << "Categories" << 4 << 0 << "categoryid" << 3 << 4
                                              << "Number automatically assigned to a new category.";
        QTest::newRow("Categories 1 long name") << Northwind << "categories" << 4 << 1 << "categoryname" << 129 << int(platform::NotATable)
                                                << "Name of food category.";
        QTest::newRow("Categories 2 memo") << Northwind << "Categories" << 4 << 2 << "description" << 203
                                           << 2147483647 << "";
        QTest::newRow("Categories 3 general") << Northwind << "Categories" << 4 << 3 << "picture" << 205
                                              << 2147483647 << "A picture representing the food category.";
        QTest::newRow("Employees 4") << Northwind << "Employees" << 17 << 4 << "titleofcourtesy" << 129 << 25
                                     << "Title used in salutations.";
        QTest::newRow("Employees 5 date") << Northwind << "Employees" << 17 << 5 << "birthdate" << 133 << 6 << "";
        QTest::newRow("Employees 14 binary memo") << Northwind << "EMPLOYEES" << 17 << 14 << "photo" << 205
                                                  << 2147483647 << "Picture of employee.";
        QTest::newRow("Employees 15 memo") << Northwind << "Employees" << 17 << int(platform::NotATable) << "notes" << 203 << 2147483647
                                           << "General information about employee's background.";
        QTest::newRow("Orders 7 currency") << Northwind << "Orders" << 14 << 7 << "freight" << 6 << 8 << "";
        QTest::newRow("Orders 12") << Northwind << "Orders" << 14 << 12 << "shippostalcode" << 129 << 10 << "";
        QTest::newRow("view field C(40)") << Northwind << "current_product_list" << 2 << 1 << "productname" << 129
                                          << 40 << "";

        // testdata: comments, numeric, currency, dates.
        QTest::newRow("customer 0") << TestData << "customer" << 12 << 0 << "cust_id" << 129 << 6
                                    << "Unique Customer ID code made up of the first five character of the "
                                       "Customer's Company name.";
        QTest::newRow("products 4") << TestData << "products" << 10 << 4 << "unit_price" << 6 << 8
                                    << "Amount Product is sold to Customers for.";
        QTest::newRow("orditems 4 numeric") << TestData << "orditems" << 5 << 4 << "quantity" << 131 << 19
                                            << "Quantity of the product ordered.";
        QTest::newRow("employee 4 date") << TestData << "employee" << 16 << 4 << "birth_date" << 133 << 6 << "";

        // Views only: B(8,2), T, Y data types.
        QTest::newRow("view B(8,2)") << ViewsOnly << "orditems" << 5 << 0 << "line_no" << 5 << 8 << "";
        QTest::newRow("view T") << ViewsOnly << "employee" << 17 << 4 << "birth_date" << 135 << 16 << "";
        QTest::newRow("view Y") << ViewsOnly << "products" << 10 << 4 << "unit_price" << 6 << 8 << "";

        // expenses: table files with spaces, names renamed by VFP (EXPENSECA2) matched by position.
        QTest::newRow("expense_categories 1") << Expenses << "expense_categories" << 3 << 1 << "expensecategory"
                                              << 129 << 50 << "";
        QTest::newRow("expense_categories 2") << Expenses << "expense_categories" << 3 << 2
                                              << "expensecategoryaccount" << 3 << 4 << "";
        QTest::newRow("expense_details 5 datetime") << Expenses << "expense_details" << 6 << 5 << "expensedate"
                                                    << 135 << 16 << "";
        QTest::newRow("expense_reports 4 memo") << Expenses << "expense_reports" << 9 << 4 << "expenserptdescr"
                                                << 203 << 2147483647 << "";

        // dBase II: 16-byte descriptors from byte 8, names with colons, widths adding up to 127.
        QTest::newRow("dBase II numeric") << InfusedFixtures << "dbase_02" << 14 << 0 << "emp:nmbr" << 131 << 19 << "";
        QTest::newRow("dBase II character") << InfusedFixtures << "dbase_02" << 14 << 3 << "addr" << 129 << 20 << "";
        QTest::newRow("dBase II last field") << InfusedFixtures << "dbase_02" << 14 << 13 << "start:pay" << 131 << 19
                                             << "";
        QTest::newRow("calls 5 memo") << InfusedDb << "calls" << 6 << 5 << "notes" << 203 << 2147483647 << "";
        QTest::newRow("contacts 4") << InfusedDb << "contacts" << 29 << 4 << "address" << 129 << 254 << "";

        // Folder mode: the backlinked container beside the table gives long names and comments.
        QTest::newRow("folder, container table") << "VFPX__Samples/Data" << "customer" << 12 << 0 << "cust_id"
                                                 << 129 << 6
                                                 << "Unique Customer ID code made up of the first five character of "
                                                    "the Customer's Company name.";
        QTest::newRow("folder, long name from container")
            << "Valentin-Kaiser__go-dbase/examples/test_data/database" << "expense categories" << 3 << 2
            << "expensecategoryaccount" << 3 << 4 << "";
        QTest::newRow("folder, free table memo") << "VFPX__Samples/Data" << "queries" << 3 << 0 << "scenario" << 203
                                                 << 2147483647 << "";
        QTest::newRow("orphan backlink keeps short names")
            << "SebastiaanKlippert__go-foxpro-dbf/testdata" << "dbase_31" << 10 << 1 << "productnam" << 129 << 40
            << "";

        // Older dialects.
        QTest::newRow("dBase III memo") << "luads__php-xbase/tests/Resources/dBase" << "dbaseiii" << 6 << 3 << "bio"
                                        << 203 << 2147483647 << "";
        QTest::newRow("dBase IV logical") << InfusedFixtures << "dbase_8b" << 6 << 3 << "logical" << 11
                                          << 2 << "";
        QTest::newRow("FoxPro 2 numeric") << InfusedFixtures << "dbase_f5" << 59 << 0 << "nf" << 131
                                          << 19 << "";
        QTest::newRow("dBase 7 autoincrement") << "albfernandez__javadbf/src/test/resources" << "inventory" << 6
                                               << 0 << "item id" << 3 << 4 << "";
        QTest::newRow("dBase 7 properties block") << InfusedFixtures << "dbase_8c" << 6 << 3
                                                  << "length cm" << 131 << 19 << "";
        QTest::newRow("dBase 7 double") << "luads__php-xbase/tests/Resources/dBase" << "dbasevii_double" << 1 << 0
                                        << "double" << 5 << 8 << "";
        QTest::newRow("dBase 7 timestamp") << "luads__php-xbase/tests/Resources/dBase" << "dbasevii_ts" << 1 << 0
                                           << "ts" << 135 << 16 << "";
        QTest::newRow("LF terminator") << "OSGeo__shapelib/tests/shape_eg_data" << "3dpoints" << 1 << 0 << "z"
                                       << 131 << 19 << "";
        QTest::newRow("no terminator") << "albfernandez__javadbf/src/test/resources/bug-77-no-header-record-terminator"
                                       << "continents_no_header_record_terminator" << 1 << 0 << "name" << 129
                                       << 80 << "";
        QTest::newRow("NUL terminator") << "albfernandez__javadbf/src/test/resources/bug-77-no-header-record-terminator"
                                        << "continents-null-header-record-terminator" << 1 << 0 << "name" << 129
                                        << 80 << "";
        QTest::newRow("character width in two bytes") << "yellowfeather__DbfDataReader/test/fixtures"
                                                      << "folderroot" << 10 << 0 << "name" << 129 << 1040 << "";
        QTest::newRow("unknown letter") << "yellowfeather__DbfDataReader/test/fixtures" << "folderroot" << 10 << 9
                                        << "ts" << 132 << 8 << "";
    }

    void fields()
    {
        QFETCH(QString, source);
        QFETCH(QString, table);
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(QString, description);

        const std::unique_ptr<model::Connection> connection = openConnection(sourceString(source));
        QVERIFY(connection);
        const std::unique_ptr<model::Recordset> records = model::factory().createRecordset();
        records->Open(QStringLiteral("select * from [") + table + QStringLiteral("]"), *connection);
        QCOMPARE(records->State(), model::adStateOpen);
        QCOMPARE(records->fieldCount(), count);
        const model::Field field = records->field(index);
        QCOMPARE(field.name, name);
        QCOMPARE(field.type, type);
        QCOMPARE(field.definedSize, size);

        const std::unique_ptr<model::Catalog> catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        QCOMPARE(catalog->Tables(table)->columnProperty(name, QStringLiteral("Description")), description);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("record length one short") << "tmontaigu__dbase-rs/tests/data/stations_with_deleted.dbf" << int(platform::TableCorrupted)
                                                 << "'stations_with_deleted.dbf' is corrupted: the record length 1016 "
                                                    "disagrees with the field widths (1017 in all).";
        QTest::newRow("fuzz input, no terminator") << "tmontaigu__dbase-rs/tests/fuzz/read_all/oob-memo-field-bytes.bin"
                                                   << int(platform::TableCorrupted)
                                                   << "'oob-memo-field-bytes.bin' is corrupted: the field descriptors "
                                                      "have no terminator within the header length 68.";
        QTest::newRow("fuzz input, version 0x0D") << "tmontaigu__dbase-rs/tests/fuzz/reader_new/reader-new-overflow.bin"
                                                  << int(platform::NotATable)
                                                  << "'reader-new-overflow.bin' is not a table: its first byte 0x0D is "
                                                     "no known table version.";
    }

    void refused()
    {
        QFETCH(QString, file);
        QFETCH(int, number);
        QFETCH(QString, description);
        const Caught caught = failureOf([&] { platform::readTableHeader(platform::LocalPath::fromText(fixture(file))); });
        QCOMPARE(caught.number, number);
        QCOMPARE(caught.description, description);
    }

    void everyFixtureTableReadsOrFailsCleanly()
    {
        // Opens every folder of the fixtures and every table in it: each gives
        // its fields or a Failure naming it, never a crash (run under the
        // sanitizers too). Only the one whose record length is one byte short
        // of its fields is refused.
        QStringList refused;
        QList<QString> folders{fixture(QString())};
        for (qsizetype i = 0; i < folders.size(); ++i) {
            const QDir dir(folders[i]);
            for (const QString &sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                folders.append(dir.filePath(sub));
            const std::unique_ptr<model::Connection> connection = openConnection(folderConnectionString(folders[i]));
            QVERIFY(connection);
            for (const QString &table : listTables(*connection)) {
                const std::unique_ptr<model::Recordset> records = model::factory().createRecordset();
                const Caught caught = failureOf([&] {
                    records->Open(QStringLiteral("select * from [") + table + QStringLiteral("]"), *connection);
                });
                if (caught.number != -1) {
                    QVERIFY2(caught.description.contains(table, Qt::CaseInsensitive), qPrintable(caught.description));
                    refused.append(table);
                } else {
                    // (infused's polygon.dbf legally has no fields at all.)
                    QCOMPARE(records->State(), model::adStateOpen);
                }
            }
        }
        refused.sort();
        QCOMPARE(refused, (QStringList{"stations_with_deleted"}));
    }

    void fuzzInputsNeverCrash_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *name : {"empty-logical-field.bin", "invalid-time-word.bin", "julian-day-overflow.bin",
                                 "oob-memo-field-bytes.bin"})
            QTest::newRow(name) << QStringLiteral("tmontaigu__dbase-rs/tests/fuzz/read_all/") + QLatin1String(name);
    }

    void fuzzInputsNeverCrash()
    {
        QFETCH(QString, file);
        const Caught caught = failureOf([&] { platform::readTableHeader(platform::LocalPath::fromText(fixture(file))); });
        QVERIFY(caught.number == platform::NotATable || caught.number == platform::TableCorrupted);
        QVERIFY(caught.description.startsWith(QLatin1Char('\'') + QFileInfo(file).fileName() + QLatin1Char('\'')));
    }
};

QTEST_MAIN(FixturesTest)

#include "tst_fixtures.moc"
