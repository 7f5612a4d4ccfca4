// A source carried into SQLite and into a PostgreSQL server the test runs
// itself: values as each database reads them back, written here by hand from
// the bytes and the databases' types; the targets refused; loads that fail
// leaving nothing behind; and every real source among the fixtures, counted.

#include "export/migrate/migration.h"
#include "platform/failure.h"
#include "postgresserver.h"
#include "reporttool.h"
#include "xbasewriter.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sqlite3.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using migrate::Constraints;
using migrate::MigrationOptions;
using xbasewriter::FieldSpec;
using xbasewriter::TableSpec;

namespace {

QString fixtures()
{
    return QStringLiteral(ORVALLE_FIXTURES_DIR);
}

QByteArray littleEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// Each row of a query, its columns' quote() joined by " | ".
QStringList sqliteRows(const QString &database, const QString &sql)
{
    sqlite3 *db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("cannot open")};
    }
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i)));
            rows << columns.join(QStringLiteral(" | "));
        }
    } else {
        rows << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// What migrateToSqlite threw; empty when it did not.
QString failureOf(const QString &source, const QString &target, const MigrationOptions &options = {},
                  const QStringList &tables = {})
{
    try {
        migrate::migrateToSqlite(source, tables, target, options);
    } catch (const Failure &failure) {
        return failure.description();
    }
    return {};
}

// Every folder of the fixtures that holds tables, and every container.
QStringList fixtureSources()
{
    QStringList sources;
    QDirIterator folders(fixtures(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (folders.hasNext()) {
        const QString folder = folders.next();
        if (!QDir(folder).entryList({QStringLiteral("*.dbf"), QStringLiteral("*.DBF")}, QDir::Files).isEmpty())
            sources << folder;
        for (const QString &dbc : QDir(folder).entryList({QStringLiteral("*.dbc"), QStringLiteral("*.DBC")}, QDir::Files))
            sources << folder + QLatin1Char('/') + dbc;
    }
    return sources;
}

// The tables of a source that can be read; none when the source cannot be
// (a container that is none): no table of it can be loaded.
QStringList readableTables(const QString &source)
{
    QStringList readable;
    try {
        for (const model::TableModel &table : model::readSourceModel(source).tables)
            readable << table.name;
    } catch (const Failure &) {
    }
    return readable;
}

// A load's findings, "place: message" each.
QStringList findingLines(const migrate::Migration &migration)
{
    QStringList lines;
    for (const model::Finding &finding : migration.findings)
        lines << finding.place + QStringLiteral(": ") + finding.message;
    return lines;
}

// What migrateToPostgres threw; empty when it did not.
QString postgresFailureOf(const QString &source, const QString &connection, const MigrationOptions &options = {})
{
    try {
        migrate::migrateToPostgres(source, {}, connection, {}, options);
    } catch (const Failure &failure) {
        return failure.description();
    }
    return {};
}

// The table "items" of every type, a deleted record and a blank one between.
void writeItems(const QString &folder)
{
    TableSpec items;
    items.fields = {{"ID", 'I', 4},      {"NAME", 'C', 6},  {"NOTE", 'V', 4, 0, 0x02}, {"PRICE", 'N', 6, 2},
                    {"COST", 'Y', 8},    {"RATIO", 'B', 8}, {"DAY", 'D', 8},           {"STAMP", 'T', 8},
                    {"DONE", 'L', 1},    {"MEMO", 'M', 4},  {"BLOB", 'W', 4},          {"_NullFlags", '0', 1, 0, 0x05}};
    QByteArray cost(8, '\0');
    qToLittleEndian<qint64>(12345, cost.data());
    const QByteArray full = ' ' + littleEndian(7) + QByteArray("M\xFCller") + QByteArray("ab\0\x02", 4)
        + QByteArray(" 12.50") + cost + QByteArray::fromHex("000000000000f83f") + QByteArray("20240131")
        + QByteArray::fromHex("b58a2500b26bf302") + 'T' + littleEndian(8) + littleEndian(9) + '\x01';
    QByteArray deleted = full;
    deleted[0] = '*';
    // Blank where blanks are allowed; the Varchar's null bit (its second) set.
    const QByteArray blank = ' ' + littleEndian(0) + QByteArray(6, ' ') + QByteArray(4, '\0') + QByteArray(6, ' ')
        + QByteArray(8, '\0') + QByteArray(8, '\0') + QByteArray(8, ' ') + QByteArray(8, '\0') + ' ' + littleEndian(0)
        + littleEndian(0) + '\x02';
    xbasewriter::writeFile(folder + QStringLiteral("/items.dbf"), xbasewriter::tableBytes(items, {full, deleted, blank}));
    xbasewriter::writeFile(folder + QStringLiteral("/items.fpt"),
                           xbasewriter::memoFileBytes({{1, "hello"}, {0, QByteArray("\x00\x01\x02", 3)}}));
}

// The files a folder holds besides `kept`: what a failed load left behind.
QStringList leftBehind(const QString &folder, const QStringList &kept)
{
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : kept)
        files.removeAll(name);
    return files;
}

// A container "shop" of customers (primary key cust_id) and orders, each
// order related to its customer: the customers' and orders' records given.
void writeShop(const QString &folder, const QList<QByteArray> &customers, const QList<QByteArray> &orders)
{
    xbasewriter::ContainerSpec shop;
    xbasewriter::ContainerTable customerTable;
    customerTable.name = QStringLiteral("customers");
    customerTable.path = QStringLiteral("customers.dbf");
    customerTable.fields = {{QStringLiteral("cust_id"), {}, {}}, {QStringLiteral("name"), {}, {}}};
    customerTable.indexes = {{QStringLiteral("CUST_ID")}};
    customerTable.extraProperties = xbasewriter::propertyEntry(20, "CUST_ID");
    xbasewriter::ContainerTable orderTable;
    orderTable.name = QStringLiteral("orders");
    orderTable.path = QStringLiteral("orders.dbf");
    orderTable.fields = {{QStringLiteral("order_id"), {}, {}}, {QStringLiteral("cust_id"), {}, {}}};
    orderTable.indexes = {{QStringLiteral("CUST_ID")}};
    orderTable.relations = {{QStringLiteral("CUST_ID"), QStringLiteral("customers"), QStringLiteral("CUST_ID"), "RRI"}};
    shop.tables = {customerTable, orderTable};
    xbasewriter::writeContainer(folder + QStringLiteral("/shop.dbc"), shop);

    TableSpec layout;
    layout.backlink = "shop.dbc";
    layout.tableFlags = 0x05;
    layout.fields = {{"CUST_ID", 'C', 2}, {"NAME", 'C', 3}};
    xbasewriter::writeFile(folder + QStringLiteral("/customers.dbf"), xbasewriter::tableBytes(layout, customers));
    xbasewriter::writeFile(folder + QStringLiteral("/customers.cdx"),
                           xbasewriter::compoundIndexBytes({{"CUST_ID", "cust_id", {}, 0x64, false, {}, 2}}));
    layout.fields = {{"ORDER_ID", 'C', 2}, {"CUST_ID", 'C', 2}};
    xbasewriter::writeFile(folder + QStringLiteral("/orders.dbf"), xbasewriter::tableBytes(layout, orders));
    xbasewriter::writeFile(folder + QStringLiteral("/orders.cdx"),
                           xbasewriter::compoundIndexBytes({{"CUST_ID", "cust_id", {}, 0x60, false, {}, 2}}));
}

} // namespace

class MigrationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyTypeArrivesAsWritten();
    void everyTypeArrivesInPostgres();
    void textMemosHoldingBytesBecomeBytea();
    void postgresConstraints_data();
    void postgresConstraints();
    void unreadableValuesArriveAsNull();
    void numbersOfEveryWholeDigit();
    void aDatabaseOfAnotherEncoding();
    void refusedRowsAreNamed();
    void serverGoneMidLoadCommitsNothing();
    void everyRealSourceArrivesInPostgres();
    void dumpLoadsWithPsql();
    void targetsRefused_data();
    void targetsRefused();
    void onlyAFileIsReplaced();
    void databaseTakesTheTargetsPermissions();
    void failedLoadsLeaveNothing_data();
    void failedLoadsLeaveNothing();
    void fullDiskLeavesNothing();
    void brokenRelationsLoadedWhenAsked();
    void expressionIndexesRowsBreak();
    void repeatedKeysLoadedWhenAsked_data();
    void repeatedKeysLoadedWhenAsked();
    void progressIsToldAsRowsGoIn();
    void everyRealSourceArrivesCounted();
    void theCommand_data();
    void theCommand();

private:
    // A fresh database of the test server, by name; empty when there is no server.
    QString database(const QString &name);
    QStringList postgresRows(const QString &database, const QByteArray &sql);

    std::unique_ptr<PostgresServer> m_postgres;
    QString m_postgresProblem;
    int m_databases = 0;
};

#define NEED_POSTGRES()                                                                                      \
    do {                                                                                                     \
        if (!m_postgres)                                                                                     \
            QSKIP(qPrintable(QStringLiteral("No PostgreSQL server can be had here: ") + m_postgresProblem)); \
    } while (false)

void MigrationTest::initTestCase()
{
    m_postgres = std::make_unique<PostgresServer>();
    m_postgresProblem = m_postgres->start();
    if (!m_postgresProblem.isEmpty())
        m_postgres.reset();
}

void MigrationTest::cleanupTestCase()
{
    m_postgres.reset();
}

QString MigrationTest::database(const QString &name)
{
    const Outcome made = m_postgres->createDatabase(name);
    if (!made.ok)
        qWarning() << made.error;
    return m_postgres->connectionString(name);
}

QStringList MigrationTest::postgresRows(const QString &database, const QByteArray &sql)
{
    const Outcome outcome = m_postgres->query(database, "\\pset null NULL\n" + sql);
    return outcome.ok ? rowsOf(outcome.out) : QStringList{outcome.error};
}

void MigrationTest::everyTypeArrivesInPostgres()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    writeItems(dir.path());
    const migrate::Migration migration = migrate::migrateToPostgres(dir.path(), {}, database(QStringLiteral("types")), {}, {});
    QCOMPARE(migration.tables.size(), qsizetype(1));
    QCOMPARE(migration.tables[0].read, qint64(2));
    QCOMPARE(migration.tables[0].loaded, qint64(2));
    QCOMPARE(migration.tables[0].deleted, qint64(1));
    QCOMPARE(migration.findings.size(), qsizetype(0));
    QCOMPARE(postgresRows(QStringLiteral("types"),
                          "SELECT id, name, note, price, cost, ratio, day, stamp, done, memo, encode(blob, 'hex') "
                          "FROM items ORDER BY id DESC"),
             (QStringList{QStringLiteral("7 | Müller | ab | 12.50 | 1.2345 | 1.5 | 2024-01-31 | 2024-01-31 13:45:07.25 | "
                                         "t | hello | 000102"),
                          QStringLiteral("0 |  | NULL | 0.00 | 0.0000 | 0 | NULL | NULL | f |  | ")}));
    // The next value FoxPro would give stays the identity's next (none here).
    QCOMPARE(postgresRows(QStringLiteral("types"),
                          "SELECT is_nullable FROM information_schema.columns WHERE table_name = 'items' "
                          "AND column_name IN ('name', 'price') ORDER BY column_name"),
             (QStringList{QStringLiteral("NO"), QStringLiteral("NO")}));
}

// A text memo holding NUL cannot be PostgreSQL text: its column is bytea,
// its bytes kept as the memo file holds them, and the summary says so.
void MigrationTest::textMemosHoldingBytesBecomeBytea()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    TableSpec layout;
    layout.fields = {{"NOTE", 'M', 4}, {"TITLE", 'C', 3}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("res.dbf")),
                           xbasewriter::tableBytes(layout, {' ' + littleEndian(8) + "a\tb", ' ' + littleEndian(9) + QByteArray("c\0d", 3)}));
    xbasewriter::writeFile(dir.filePath(QStringLiteral("res.fpt")),
                           xbasewriter::memoFileBytes({{1, QByteArray("x\0\xE9", 3)}, {1, "plain"}}));
    const migrate::Migration migration = migrate::migrateToPostgres(dir.path(), {}, database(QStringLiteral("bytes")), {}, {});
    QCOMPARE(migration.tables.value(0).bytesColumns, QStringList{QStringLiteral("note")});
    const QStringList findings = findingLines(migration);
    QCOMPARE(findings, (QStringList{
        QStringLiteral("res: Record 2, field title: Its text holds NUL, which PostgreSQL text cannot hold. Loaded without it."),
        QStringLiteral("res: Text memo note holds bytes that PostgreSQL text cannot (NUL): made bytea.")}));
    QCOMPARE(postgresRows(QStringLiteral("bytes"), "SELECT encode(note, 'hex'), title FROM res ORDER BY title"),
             (QStringList{QStringLiteral("7800e9 | a\tb"), QStringLiteral("706c61696e | cd")}));
}

void MigrationTest::postgresConstraints_data()
{
    QTest::addColumn<QList<QByteArray>>("customers");
    QTest::addColumn<QList<QByteArray>>("orders");
    QTest::addColumn<int>("constraints");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("findings");
    QTest::addColumn<QStringList>("ordersLoaded");
    QTest::addColumn<QStringList>("constraintsMade");
    const QStringList all{QStringLiteral("customers_pkey"), QStringLiteral("orders_cust_id_fkey")};
    QTest::newRow("sound") << QList<QByteArray>{" A1ann"} << QList<QByteArray>{" O1A1"} << int(Constraints::Strict)
                           << QString() << QStringList() << QStringList{QStringLiteral("O1 | A1")} << all;
    QTest::newRow("a primary key twice")
        << QList<QByteArray>{" A1ann", " A1bob", " B2cy "} << QList<QByteArray>{} << int(Constraints::Strict)
        << QStringLiteral("The primary key of \"customers\" on \"cust_id\" cannot be made: rows repeat its values: "
                          "A1 (2 rows).")
        << QStringList() << QStringList() << QStringList();
    QTest::newRow("an order of no customer")
        << QList<QByteArray>{" A1ann"} << QList<QByteArray>{" O1A1", " O2B7", " O3B7"} << int(Constraints::Strict)
        << QStringLiteral("The foreign key of \"orders\" on \"cust_id\" to \"customers\" cannot be made: no parent "
                          "row holds B7 (2 rows).")
        << QStringList() << QStringList() << QStringList();
    QTest::newRow("an order of no customer, after")
        << QList<QByteArray>{" A1ann"} << QList<QByteArray>{" O1A1", " O2B7"} << int(Constraints::After) << QString()
        << QStringList{QStringLiteral("orders: The foreign key of \"orders\" on \"cust_id\" to \"customers\" cannot "
                                      "be made: no parent row holds B7 (1 row); left out.")}
        << QStringList{QStringLiteral("O1 | A1"), QStringLiteral("O2 | B7")} << QStringList{QStringLiteral("customers_pkey")};
    QTest::newRow("everything, off")
        << QList<QByteArray>{" A1ann", " A1bob"} << QList<QByteArray>{" O2B7"} << int(Constraints::Off) << QString()
        << QStringList() << QStringList{QStringLiteral("O2 | B7")} << QStringList();
}

void MigrationTest::postgresConstraints()
{
    NEED_POSTGRES();
    QFETCH(QList<QByteArray>, customers);
    QFETCH(QList<QByteArray>, orders);
    QFETCH(int, constraints);
    QFETCH(QString, failure);
    QFETCH(QStringList, findings);
    QFETCH(QStringList, ordersLoaded);
    QFETCH(QStringList, constraintsMade);
    QTemporaryDir dir;
    writeShop(dir.path(), customers, orders);
    const QString name = QStringLiteral("shop%1").arg(++m_databases);
    const QString connection = database(name);
    MigrationOptions options;
    options.constraints = Constraints(constraints);
    QStringList found;
    try {
        const migrate::Migration migration =
            migrate::migrateToPostgres(dir.filePath(QStringLiteral("shop.dbc")), {}, connection, {}, options);
        QCOMPARE(QString(), failure);
        found = findingLines(migration);
    } catch (const Failure &thrown) {
        QCOMPARE(thrown.description(), failure);
        // Nothing committed: not even the tables.
        QCOMPARE(postgresRows(name, "SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'"),
                 QStringList{QStringLiteral("0")});
        return;
    }
    QCOMPARE(found, findings);
    QCOMPARE(postgresRows(name, "SELECT order_id, cust_id FROM orders ORDER BY order_id"), ordersLoaded);
    QCOMPARE(postgresRows(name, "SELECT conname FROM pg_constraint WHERE contype IN ('p', 'u', 'f') "
                                 "AND connamespace = 'public'::regnamespace ORDER BY conname"),
             constraintsMade);
}

// A number of asterisks in a field that takes no NULL: NULL all the same,
// named, and the column's NOT NULL left out, named too.
void MigrationTest::unreadableValuesArriveAsNull()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 1}, {"N", 'N', 3}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")), xbasewriter::tableBytes(layout, {" x  1", " y***"}));
    const migrate::Migration migration =
        migrate::migrateToPostgres(dir.path(), {}, database(QStringLiteral("unreadable")), {}, {});
    const QStringList findings = findingLines(migration);
    QCOMPARE(findings, (QStringList{
        QStringLiteral("t: Record 2, field n: Its number was too large for the field (it holds asterisks). Loaded as NULL."),
        QStringLiteral("t: NOT NULL of \"t\".\"n\" left out: some of its values are NULL (empty, or not readable).")}));
    QCOMPARE(postgresRows(QStringLiteral("unreadable"), "SELECT a, n FROM t ORDER BY a"),
             (QStringList{QStringLiteral("x | 1"), QStringLiteral("y | NULL")}));
    QCOMPARE(postgresRows(QStringLiteral("unreadable"), "SELECT column_name, is_nullable FROM information_schema.columns "
                                                        "WHERE table_name = 't' ORDER BY column_name"),
             (QStringList{QStringLiteral("a | NO"), QStringLiteral("n | YES")}));
}

// The session speaks UTF-8 before anything from the files is sent, whatever
// the database's own encoding and string settings.
void MigrationTest::aDatabaseOfAnotherEncoding()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 1}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("größe.dbf")), xbasewriter::tableBytes(layout, {" x"}));
    const Outcome made = m_postgres->script(
        QStringLiteral("postgres"), "CREATE DATABASE latin ENCODING 'LATIN1' TEMPLATE template0;\n"
                                    "ALTER DATABASE latin SET standard_conforming_strings = off;");
    QVERIFY2(made.ok, qPrintable(made.error));
    migrate::migrateToPostgres(dir.path(), {}, m_postgres->connectionString(QStringLiteral("latin")),
                               QStringLiteral("schön"), {});
    QCOMPARE(postgresRows(QStringLiteral("latin"), "SET client_encoding = 'UTF8'; SELECT a FROM \"schön\".\"größe\""),
             QStringList{QStringLiteral("x")});
}

// FoxPro gives up decimals before it overflows: an N(5,2) may hold 12345,
// which its column takes whole.
void MigrationTest::numbersOfEveryWholeDigit()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"N", 'N', 5, 2}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")),
                           xbasewriter::tableBytes(layout, {" 12345", " -9.99", "  0.01"}));
    migrate::migrateToPostgres(dir.path(), {}, database(QStringLiteral("digits")), {}, {});
    QCOMPARE(postgresRows(QStringLiteral("digits"), "SELECT n FROM t ORDER BY n"),
             (QStringList{QStringLiteral("-9.99"), QStringLiteral("0.01"), QStringLiteral("12345.00")}));
}

// A value that fits its FoxPro field but not its column (a Float whose
// exponent no numeric reaches): the load fails, naming the record past the
// deleted ones and the field.
void MigrationTest::refusedRowsAreNamed()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 1}, {"N", 'F', 9}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")),
                           xbasewriter::tableBytes(layout, {" a      1.0", "*b      2.0", "*c      3.0", " d1E+999999"}));
    const QString connection = database(QStringLiteral("refused"));
    const QString failure = postgresFailureOf(dir.path(), connection);
    QCOMPARE(failure,
             QStringLiteral("Table t: the database refused its rows: record 4, field n: value overflows numeric format"));
}

// The server ends the connection while rows go in: the load fails, naming
// the server, and the database holds nothing of it.
void MigrationTest::serverGoneMidLoadCommitsNothing()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 1}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("a.dbf")), xbasewriter::tableBytes(layout, QList<QByteArray>(300000, " x")));
    const QString connection = database(QStringLiteral("gone"));
    MigrationOptions options;
    bool ended = false;
    options.progress = [&](const migrate::MigrationProgress &progress) {
        if (ended || progress.rows < 8192)
            return;
        ended = true;
        m_postgres->query(QStringLiteral("postgres"), "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                      "WHERE datname = 'gone' AND pid <> pg_backend_pid()");
    };
    const QString failure = postgresFailureOf(dir.path(), connection, options);
    QVERIFY(ended);
    QVERIFY2(failure.startsWith(QLatin1String("Table a: the database refused its rows: ")), qPrintable(failure));
    QCOMPARE(postgresRows(QStringLiteral("gone"), "SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'"),
             QStringList{QStringLiteral("0")});
}

// --format postgres --data: a script psql loads whole, the same values as a
// load through the server, and a NOT NULL that a value which cannot be read
// breaks left out, saying so.
void MigrationTest::dumpLoadsWithPsql()
{
    NEED_POSTGRES();
    QTemporaryDir dir;
    writeItems(dir.path());
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 1}, {"N", 'N', 3}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")), xbasewriter::tableBytes(layout, {" x  1", " y***"}));
    // PostgreSQL holds a table of no column, and each of its records as a row.
    TableSpec noFields;
    noFields.version = 0x03;
    xbasewriter::writeFile(dir.filePath(QStringLiteral("z.dbf")), xbasewriter::tableBytes(noFields, {" ", " ", "*"}));
    const QString dump = dir.filePath(QStringLiteral("dump.sql"));
    const ToolOutcome outcome = runProgram(reportTool(),
                                           {QStringLiteral("--format"), QStringLiteral("postgres"), QStringLiteral("--data"),
                                            dir.path(), QStringLiteral("-o"), dump});
    QCOMPARE(QString::fromUtf8(outcome.err),
             QStringLiteral("orvalle-report: t: Record 2, field n: Its number was too large for the field (it holds "
                            "asterisks). Loaded as NULL.\n"));
    QCOMPARE(outcome.exitCode, 0);
    QFile file(dump);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray script = file.readAll();
    // psql stops at the first failure: never reads a row as a statement.
    QVERIFY(script.startsWith("\\set ON_ERROR_STOP on\n"));
    QVERIFY(script.contains("\n-- NOT NULL of \"t\".\"n\" left out: some of its values are NULL (empty, or not readable).\n"));
    QVERIFY(script.contains("\nALTER TABLE \"t\" ALTER COLUMN \"a\" SET NOT NULL;\n"));

    database(QStringLiteral("dump"));
    const Outcome loaded = m_postgres->script(QStringLiteral("dump"), script);
    QVERIFY2(loaded.ok, qPrintable(loaded.error));
    QCOMPARE(postgresRows(QStringLiteral("dump"),
                          "SELECT id, name, note, price, cost, ratio, day, stamp, done, memo, encode(blob, 'hex') "
                          "FROM items ORDER BY id DESC"),
             (QStringList{QStringLiteral("7 | Müller | ab | 12.50 | 1.2345 | 1.5 | 2024-01-31 | 2024-01-31 13:45:07.25 | "
                                         "t | hello | 000102"),
                          QStringLiteral("0 |  | NULL | 0.00 | 0.0000 | 0 | NULL | NULL | f |  | ")}));
    QCOMPARE(postgresRows(QStringLiteral("dump"), "SELECT a, n FROM t ORDER BY a"),
             (QStringList{QStringLiteral("x | 1"), QStringLiteral("y | NULL")}));
    QCOMPARE(postgresRows(QStringLiteral("dump"), "SELECT count(*) FROM z"), QStringList{QStringLiteral("2")});
}

// Every real source, each into a schema of its own: its rows counted.
void MigrationTest::everyRealSourceArrivesInPostgres()
{
    NEED_POSTGRES();
    if (!QFileInfo::exists(fixtures()))
        QSKIP("the fixtures are not here");
    const QString connection = database(QStringLiteral("fixtures"));
    const QStringList sources = fixtureSources();
    qint64 rows = 0;
    int failed = 0;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const QString &source = sources.at(i);
        const QStringList readable = readableTables(source);
        if (readable.isEmpty())
            continue;
        MigrationOptions options;
        options.constraints = Constraints::After;
        try {
            const migrate::Migration migration =
                migrate::migrateToPostgres(source, readable, connection, QStringLiteral("s%1").arg(i), options);
            for (const migrate::TableLoad &load : migration.tables) {
                QVERIFY2(load.loaded == load.read, qPrintable(source + QLatin1Char(' ') + load.table));
                rows += load.loaded;
            }
        } catch (const Failure &failure) {
            QVERIFY2(failure.description().contains(QLatin1String("disagrees with the field widths")),
                     qPrintable(source + QStringLiteral(": ") + failure.description()));
            ++failed;
        }
    }
    QVERIFY(rows > 10000);
    QVERIFY2(failed <= 1, qPrintable(QString::number(failed)));
}

void MigrationTest::everyTypeArrivesAsWritten()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeItems(dir.path());
    const QString target = dir.filePath(QStringLiteral("out.sqlite"));

    const migrate::Migration migration = migrate::migrateToSqlite(dir.path(), {}, target, {});
    QCOMPARE(migration.tables.size(), qsizetype(1));
    QCOMPARE(migration.tables[0].read, qint64(2));
    QCOMPARE(migration.tables[0].loaded, qint64(2));
    QCOMPARE(migration.tables[0].deleted, qint64(1));
    // NUMERIC affinity keeps "12.50" as the real 12.5 and "0.0000" as the integer 0.
    QCOMPARE(sqliteRows(target, QStringLiteral("SELECT quote(id), quote(name), quote(note), quote(price), quote(cost), "
                                           "quote(ratio), quote(day), quote(stamp), quote(done), quote(memo), "
                                           "quote(blob) FROM items ORDER BY rowid")),
             (QStringList{QStringLiteral("7 | 'Müller' | 'ab' | 12.5 | 1.2345 | 1.5 | '2024-01-31' | "
                                         "'2024-01-31 13:45:07.250' | 1 | 'hello' | X'000102'"),
                          QStringLiteral("0 | '' | NULL | 0 | 0 | 0.0 | NULL | NULL | 0 | '' | X''")}));
    QCOMPARE(leftBehind(dir.path(), {QStringLiteral("items.dbf"), QStringLiteral("items.fpt"), QStringLiteral("out.sqlite")}),
             QStringList());
}

void MigrationTest::targetsRefused_data()
{
    QTest::addColumn<QString>("target"); // in the source's folder
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("failure"); // "%1" is the folder
    QTest::newRow("an existing file") << QStringLiteral("old.sqlite") << false
                                      << QStringLiteral("The database '%1/old.sqlite' exists already.");
    QTest::newRow("the source's own table, even to replace")
        << QStringLiteral("t.dbf") << true
        << QStringLiteral("The database cannot be written to '%1/t.dbf': that is the data source's file '%1/t.dbf', "
                          "and a data source is never written.");
    QTest::newRow("an existing file to replace") << QStringLiteral("old.sqlite") << true << QString();
}

void MigrationTest::targetsRefused()
{
    QFETCH(QString, target);
    QFETCH(bool, replace);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    TableSpec layout;
    layout.fields = {{"A", 'C', 1}};
    const QByteArray table = xbasewriter::tableBytes(layout, {" x"});
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")), table);
    xbasewriter::writeFile(dir.filePath(QStringLiteral("old.sqlite")), "not a database");
    MigrationOptions options;
    options.replace = replace;
    QCOMPARE(failureOf(dir.path(), dir.filePath(target), options),
             failure.isEmpty() ? QString() : failure.arg(QDir::toNativeSeparators(dir.path())));
    if (!failure.isEmpty()) {
        QFile kept(dir.filePath(target));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), target == QLatin1String("t.dbf") ? table : QByteArray("not a database"));
    } else {
        QCOMPARE(sqliteRows(dir.filePath(target), QStringLiteral("SELECT a FROM t")), QStringList{QStringLiteral("x")});
    }
    QCOMPARE(leftBehind(dir.path(), {QStringLiteral("t.dbf"), QStringLiteral("old.sqlite")}), QStringList());
}

// A target that is no file (here a folder; a device such as /dev/null alike)
// is refused even with --replace, and stays as it was.
void MigrationTest::onlyAFileIsReplaced()
{
    QTemporaryDir dir;
    TableSpec layout;
    layout.fields = {{"A", 'C', 1}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")), xbasewriter::tableBytes(layout, {" x"}));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.sqlite")));
    xbasewriter::writeFile(dir.filePath(QStringLiteral("folder.sqlite/kept")), "kept");
    MigrationOptions options;
    options.replace = true;
    const QString target = dir.filePath(QStringLiteral("folder.sqlite"));
    QCOMPARE(failureOf(dir.path(), target, options),
             QStringLiteral("The database cannot be written to '%1': it is no regular file.")
                 .arg(QDir::toNativeSeparators(target)));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("folder.sqlite/kept"))));
    QCOMPARE(leftBehind(dir.path(), {QStringLiteral("t.dbf")}), QStringList());
}

// A new database is read as a new file is (not kept to its owner as its
// temporary file was); one replaced keeps the permissions it had.
void MigrationTest::databaseTakesTheTargetsPermissions()
{
#ifdef Q_OS_WIN
    QSKIP("Windows files take their folder's permissions.");
#else
    QTemporaryDir dir;
    TableSpec layout;
    layout.fields = {{"A", 'C', 1}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")), xbasewriter::tableBytes(layout, {" x"}));
    const mode_t before = ::umask(027);
    const auto restoreMask = qScopeGuard([&] { ::umask(before); });
    const QString made = dir.filePath(QStringLiteral("new.sqlite"));
    migrate::migrateToSqlite(dir.path(), {}, made, {});
    using P = QFileDevice::Permission;
    QCOMPARE(QFile::permissions(made) & 0x7077, QFileDevice::Permissions(P::ReadOwner | P::WriteOwner | P::ReadGroup));
    const QString replaced = dir.filePath(QStringLiteral("old.sqlite"));
    xbasewriter::writeFile(replaced, "old");
    const QFileDevice::Permissions shared(P::ReadOwner | P::WriteOwner | P::ReadGroup | P::WriteGroup | P::ReadOther);
    QVERIFY(QFile::setPermissions(replaced, shared));
    MigrationOptions options;
    options.replace = true;
    migrate::migrateToSqlite(dir.path(), {}, replaced, options);
    QCOMPARE(QFile::permissions(replaced) & 0x7077, shared);
#endif
}

void MigrationTest::failedLoadsLeaveNothing_data()
{
    QTest::addColumn<QList<QByteArray>>("customers");
    QTest::addColumn<QList<QByteArray>>("orders");
    QTest::addColumn<bool>("strict");
    QTest::addColumn<QString>("failure");
    QTest::newRow("a primary key twice")
        << QList<QByteArray>{" A1ann", " A1bob"} << QList<QByteArray>{} << false
        << QStringLiteral("Table customers, record 2: the database refused the row: UNIQUE constraint failed: "
                          "customers.cust_id");
    QTest::newRow("an order of no customer")
        << QList<QByteArray>{" A1ann"} << QList<QByteArray>{" O1A1", " O2B7"} << false
        << QStringLiteral("1 rows break the relations the container declares. orders: A row whose cust_id B7 is no "
                          "row of customers breaks the relation the container declares.");
    QTest::newRow("a number of asterisks, strictly")
        << QList<QByteArray>{" A1ann"} << QList<QByteArray>{" O1A1"} << true << QString();
}

void MigrationTest::failedLoadsLeaveNothing()
{
    QFETCH(QList<QByteArray>, customers);
    QFETCH(QList<QByteArray>, orders);
    QFETCH(bool, strict);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    writeShop(dir.path(), customers, orders);
    QString source = dir.filePath(QStringLiteral("shop.dbc"));
    if (strict) {
        TableSpec layout;
        layout.fields = {{"N", 'N', 3}};
        xbasewriter::writeFile(dir.filePath(QStringLiteral("free.dbf")), xbasewriter::tableBytes(layout, {"   1", " ***"}));
        source = dir.path();
        failure = QStringLiteral("Table free, record 2, field n: Its number was too large for the field (it holds "
                                 "asterisks).");
    }
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    MigrationOptions options;
    options.strict = strict;
    QCOMPARE(failureOf(source, dir.filePath(QStringLiteral("out.sqlite")), options,
                       strict ? QStringList{QStringLiteral("free")} : QStringList()),
             failure);
    QCOMPARE(leftBehind(dir.path(), files), QStringList());
}

// Files this process writes stop at 64 KiB, as on a full disk: the load
// fails, saying so, and neither the database nor its temporary file is left.
void MigrationTest::fullDiskLeavesNothing()
{
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 40}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")),
                           xbasewriter::tableBytes(layout, QList<QByteArray>(5000, ' ' + QByteArray(40, 'x'))));
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limited{64 * 1024, old.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    const QString failure = failureOf(dir.path(), dir.filePath(QStringLiteral("out.sqlite")));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, signal);
    QCOMPARE(failure, QStringLiteral("The database cannot be written: disk I/O error"));
    QCOMPARE(leftBehind(dir.path(), files), QStringList());
}

void MigrationTest::brokenRelationsLoadedWhenAsked()
{
    QTemporaryDir dir;
    writeShop(dir.path(), {" A1ann"}, {" O1A1", " O2B7"});
    MigrationOptions options;
    options.constraints = Constraints::After;
    const QString target = dir.filePath(QStringLiteral("out.sqlite"));
    const migrate::Migration migration = migrate::migrateToSqlite(dir.filePath(QStringLiteral("shop.dbc")), {}, target, options);
    QCOMPARE(migration.findings.size(), qsizetype(1));
    QCOMPARE(migration.findings[0].place, QStringLiteral("orders"));
    QCOMPARE(migration.findings[0].message,
             QStringLiteral("A row whose cust_id B7 is no row of customers breaks the relation the container declares."));
    QCOMPARE(sqliteRows(target, QStringLiteral("SELECT order_id, cust_id FROM orders ORDER BY rowid")),
             (QStringList{QStringLiteral("O1 | A1"), QStringLiteral("O2 | B7")}));
}

// A candidate tag on UPPER(name) is a unique index SQLite makes after the
// rows: "ab" and "AB" break it, which fails a strict load and is named, the
// index left out, under after.
void MigrationTest::expressionIndexesRowsBreak()
{
    QTemporaryDir dir;
    TableSpec layout;
    layout.fields = {{"NAME", 'C', 2}};
    layout.tableFlags = 0x01; // with its structural index
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")), xbasewriter::tableBytes(layout, {" ab", " AB"}));
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.cdx")),
                           xbasewriter::compoundIndexBytes({{"NAME", "UPPER(name)", {}, 0x64, false, {}, 2}}));
    const QString strict = failureOf(dir.path(), dir.filePath(QStringLiteral("strict.sqlite")));
    QVERIFY2(strict.startsWith(QLatin1String("A unique index of \"t\" cannot be made: ")), qPrintable(strict));
    MigrationOptions options;
    options.constraints = Constraints::After;
    const QString target = dir.filePath(QStringLiteral("after.sqlite"));
    const migrate::Migration migration = migrate::migrateToSqlite(dir.path(), {}, target, options);
    QCOMPARE(migration.findings.size(), qsizetype(1));
    QCOMPARE(migration.findings[0].place, QStringLiteral("t"));
    QVERIFY2(migration.findings[0].message.startsWith(QLatin1String("A unique index of \"t\" cannot be made: "))
                 && migration.findings[0].message.endsWith(QLatin1String("; left out.")),
             qPrintable(migration.findings[0].message));
    QCOMPARE(sqliteRows(target, QStringLiteral("SELECT name FROM t ORDER BY rowid")),
             (QStringList{QStringLiteral("ab"), QStringLiteral("AB")}));
}

// SQLite holds a primary key in its table, so a load that lets rows break it
// makes it a unique index after the rows instead: left out and named (after),
// or not made (off).
void MigrationTest::repeatedKeysLoadedWhenAsked_data()
{
    QTest::addColumn<int>("constraints");
    QTest::addColumn<QStringList>("findings");
    QTest::addColumn<QStringList>("indexes");
    QTest::newRow("after") << int(Constraints::After)
                           << QStringList{QStringLiteral("customers: The primary key of \"customers\" on \"cust_id\" "
                                                         "cannot be made: rows repeat its values: A1 (2 rows); left out."),
                                          QStringLiteral("orders: Its foreign keys cannot be checked, as the key they "
                                                         "refer to was left out (foreign key mismatch - \"orders\" "
                                                         "referencing \"customers\").")}
                           << QStringList{QStringLiteral("orders_CUST_ID")};
    QTest::newRow("off") << int(Constraints::Off) << QStringList() << QStringList{QStringLiteral("orders_CUST_ID")};
}

void MigrationTest::repeatedKeysLoadedWhenAsked()
{
    QFETCH(int, constraints);
    QFETCH(QStringList, findings);
    QFETCH(QStringList, indexes);
    QTemporaryDir dir;
    writeShop(dir.path(), {" A1ann", " A1bob", " B2cy "}, {" O1A1"});
    MigrationOptions options;
    options.constraints = Constraints(constraints);
    const QString target = dir.filePath(QStringLiteral("out.sqlite"));
    const migrate::Migration migration =
        migrate::migrateToSqlite(dir.filePath(QStringLiteral("shop.dbc")), {}, target, options);
    const QStringList found = findingLines(migration);
    QCOMPARE(found.join(QLatin1Char('\n')), findings.join(QLatin1Char('\n')));
    QCOMPARE(sqliteRows(target, QStringLiteral("SELECT cust_id, name FROM customers ORDER BY rowid")),
             (QStringList{QStringLiteral("A1 | ann"), QStringLiteral("A1 | bob"), QStringLiteral("B2 | cy")}));
    QCOMPARE(sqliteRows(target, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"))
                 .join(QLatin1Char(',')),
             indexes.join(QLatin1Char(',')));
    // The index that failed is undone whole, not left half made.
    QCOMPARE(sqliteRows(target, QStringLiteral("PRAGMA integrity_check")), QStringList{QStringLiteral("ok")});
}

// A report every 4,096 rows and one when a table is done, its bytes counting
// up to all the tables' records, deleted ones too.
void MigrationTest::progressIsToldAsRowsGoIn()
{
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 1}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("a.dbf")), xbasewriter::tableBytes(layout, QList<QByteArray>(5000, " x")));
    xbasewriter::writeFile(dir.filePath(QStringLiteral("b.dbf")), xbasewriter::tableBytes(layout, {" y", "*z"}));
    QStringList told;
    MigrationOptions options;
    options.progress = [&](const migrate::MigrationProgress &progress) {
        told << QStringLiteral("%1 %2 %3/%4").arg(progress.table).arg(progress.rows).arg(progress.bytesRead).arg(progress.bytesTotal);
    };
    migrate::migrateToSqlite(dir.path(), {}, dir.filePath(QStringLiteral("out.sqlite")), options);
    QCOMPARE(told, (QStringList{QStringLiteral("a 4096 8192/10004"), QStringLiteral("a 5000 10000/10004"),
                                QStringLiteral("b 1 10004/10004")}));
}

// Every folder of the fixtures that holds tables, and every container: its
// tables that read, loaded with the relations as found, each table's rows
// counted in the database as they were read. Two failures are allowed, each
// naming what fails: rows that break a key of their own (duplicates under a
// candidate tag), and a table whose record length disagrees with its fields,
// whose records no reader can lay out.
void MigrationTest::everyRealSourceArrivesCounted()
{
    if (!QFileInfo::exists(fixtures()))
        QSKIP("the fixtures are not here");
    const QStringList sources = fixtureSources();
    QVERIFY(sources.size() > 20);
    QTemporaryDir dir;
    qint64 rows = 0;
    int brokenKeys = 0;
    for (const QString &source : std::as_const(sources)) {
        const QStringList readable = readableTables(source);
        if (readable.isEmpty())
            continue;
        MigrationOptions options;
        options.constraints = Constraints::After;
        options.replace = true;
        migrate::Migration migration;
        try {
            migration = migrate::migrateToSqlite(source, readable, dir.filePath(QStringLiteral("out.sqlite")), options);
        } catch (const Failure &failure) {
            QVERIFY2(failure.description().contains(QLatin1String("the database refused the row: UNIQUE constraint failed"))
                         || failure.description().contains(QLatin1String("disagrees with the field widths")),
                     qPrintable(source + QStringLiteral(": ") + failure.description()));
            ++brokenKeys;
            continue;
        }
        for (const migrate::TableLoad &load : std::as_const(migration.tables)) {
            QVERIFY2(load.loaded == load.read || !load.created, qPrintable(source + QLatin1Char(' ') + load.table));
            rows += load.loaded;
        }
    }
    QVERIFY(rows > 10000);
    QVERIFY2(brokenKeys <= 3, qPrintable(QString::number(brokenKeys)));
}

// orvalle-report --migrate over a folder of one table "t" whose second
// record holds asterisks in a number; "%1" in the texts is the folder.
void MigrationTest::theCommand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString usage = QStringLiteral("\nTry 'orvalle-report --help'.\n");
    QTest::newRow("loaded, a value named")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/new.sqlite"), QStringLiteral("%1")} << 0
        << QStringLiteral("Table        Read      Loaded     Deleted    Findings\n"
                          "t               2           2           0           1\n"
                          "Loaded into %1/new.sqlite: 2 rows of 1 table.\n")
        << QStringLiteral("orvalle-report: t: Record 2, field n: Its number was too large for the field (it holds "
                          "asterisks). Loaded as the bytes the file holds, since its column takes no NULL.\n");
    QTest::newRow("strictly") << QStringList{QStringLiteral("--strict"), QStringLiteral("--migrate"),
                                             QStringLiteral("%1/new.sqlite"), QStringLiteral("%1")}
                              << 1 << QString()
                              << QStringLiteral("orvalle-report: Table t, record 2, field n: Its number was too large "
                                                "for the field (it holds asterisks).\norvalle-report: nothing was written\n");
    QTest::newRow("a table the source lacks")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/new.sqlite"), QStringLiteral("%1"),
                       QStringLiteral("t"), QStringLiteral("nosuch")}
        << 1 << QString() << QStringLiteral("orvalle-report: nosuch: no such table in %1 (see --list)\n");
    // Loaded, but its records are not: the database stays, the status says so.
    QTest::newRow("a table of no field")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/new.sqlite"), QStringLiteral("%1/nofields")}
        << 1
        << QStringLiteral("Table        Read      Loaded     Deleted    Findings\n"
                          "z               2           0           0           0\n"
                          "Loaded into %1/new.sqlite: 0 rows of 1 table.\n")
        << QStringLiteral("orvalle-report: z: SQLite cannot hold a table without a column; its 2 records, which "
                          "hold no value, are left out.\n");
    QTest::newRow("a new table file among the source's tables")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/d.dbf"), QStringLiteral("%1")} << 1 << QString()
        << QStringLiteral("orvalle-report: The database cannot be written to '%1/d.dbf': that is the data source's "
                          "file '%1/d.dbf', and a data source is never written.\norvalle-report: nothing was written\n");
    QTest::newRow("an existing database")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/old.sqlite"), QStringLiteral("%1")} << 1 << QString()
        << QStringLiteral("orvalle-report: The database '%1/old.sqlite' exists already.\n"
                          "orvalle-report: nothing was written; --replace replaces an existing database\n");
    QTest::newRow("--replace alone") << QStringList{QStringLiteral("--replace"), QStringLiteral("%1")} << 2 << QString()
                                     << QStringLiteral("orvalle-report: --replace, --strict, --constraints and --schema "
                                                       "go with --migrate")
            + usage;
    QTest::newRow("--check with --schema")
        << QStringList{QStringLiteral("--check"), QStringLiteral("%1"), QStringLiteral("--schema"), QStringLiteral("s")}
        << 2 << QString()
        << QStringLiteral("orvalle-report: --replace, --strict, --constraints and --schema go with --migrate") + usage;
    QTest::newRow("--migrate with a format")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/new.sqlite"), QStringLiteral("-f"),
                       QStringLiteral("json"), QStringLiteral("%1")}
        << 2 << QString()
        << QStringLiteral("orvalle-report: --migrate takes no --diff, --list, format, section, --data or output file") + usage;
    QTest::newRow("--constraints of another kind")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/new.sqlite"), QStringLiteral("--constraints"),
                       QStringLiteral("none"), QStringLiteral("%1")}
        << 2 << QString() << QStringLiteral("orvalle-report: --constraints takes strict, after or off") + usage;
    QTest::newRow("--schema of a file")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("%1/new.sqlite"), QStringLiteral("--schema"),
                       QStringLiteral("foxpro"), QStringLiteral("%1")}
        << 2 << QString() << QStringLiteral("orvalle-report: --schema goes with a PostgreSQL database") + usage;
    QTest::newRow("--replace of a server")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("host=/nowhere dbname=x"), QStringLiteral("--replace"),
                       QStringLiteral("%1")}
        << 2 << QString()
        << QStringLiteral("orvalle-report: --replace goes with a database file; PostgreSQL tables are never replaced")
            + usage;
    QTest::newRow("a server that is not there")
        << QStringList{QStringLiteral("--migrate"), QStringLiteral("postgresql:///x?host=%1/nowhere"), QStringLiteral("%1")}
        << 1 << QString()
        << QStringLiteral("orvalle-report: The PostgreSQL server cannot be reached: connection to server on socket "
                          "\"%1/nowhere/.s.PGSQL.5432\" failed: No such file or directory  Is the server running "
                          "locally and accepting connections on that socket?\norvalle-report: nothing was written\n");
}

void MigrationTest::theCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    // libpq under wine cannot speak of a Unix socket at all.
    if (reportToolIsWindows() && QByteArray(QTest::currentDataTag()) == "a server that is not there")
        QSKIP("a server reached through a Unix socket");
    QTemporaryDir dir;
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"A", 'C', 1}, {"N", 'N', 3}};
    xbasewriter::writeFile(dir.filePath(QStringLiteral("t.dbf")), xbasewriter::tableBytes(layout, {" x  1", " y***"}));
    xbasewriter::writeFile(dir.filePath(QStringLiteral("old.sqlite")), "not a database");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("nofields")));
    TableSpec noFields;
    noFields.version = 0x03;
    xbasewriter::writeFile(dir.filePath(QStringLiteral("nofields/z.dbf")), xbasewriter::tableBytes(noFields, {" ", " "}));
    for (QString &argument : arguments)
        argument = argument.arg(dir.path());
    const ToolOutcome outcome = runProgram(reportTool(), arguments);
    QString said = QString::fromLocal8Bit(outcome.err);
    QString written = QString::fromLocal8Bit(outcome.out);
    // A Windows program names files with its own separator.
    if (reportToolIsWindows()) {
        said.replace(QLatin1Char('\\'), QLatin1Char('/'));
        written.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    QCOMPARE(said, err.arg(dir.path()));
    QCOMPARE(written, out.arg(dir.path()));
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(QFileInfo::exists(dir.filePath(QStringLiteral("new.sqlite"))), written.contains(QLatin1String("Loaded into")));
}

QTEST_GUILESS_MAIN(MigrationTest)
#include "tst_migration.moc"
