#include "fakefactory.h"
#include "export/report/fieldcolumns.h"
#include "recorders.h"
#include "export/report/tablelist.h"

#include <QTest>

using namespace report;

class FieldTypesTest : public QObject {
    Q_OBJECT

private slots:
    void typeName_data();
    void typeName();
    void typeText_data();
    void typeText();
    void description_data();
    void description();
    void descriptionCreatesOneCatalogPerCall();
    void tableList();
    void tableListStopsAtTheFirstFailure();
};

void FieldTypesTest::typeName_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    const auto row = [](int code, const char *name) {
        QTest::addRow("%d", code) << code << QString::fromLatin1(name);
    };
    for (int code : {2, 3, 16, 17, 18, 19, 20, 21})
        row(code, "Integer");
    row(4, "Float");
    row(5, "Double");
    row(6, "Currency");
    for (int code : {7, 133, 134, 135})
        row(code, "DateTime");
    row(8, "BSTR");
    row(11, "Logical");
    row(12, "Variant");
    row(14, "Numeric");
    row(131, "Numeric");
    row(72, "GUID");
    row(128, "Character (Binary)");
    row(204, "Character (Binary)");
    for (int code : {129, 130, 200, 201, 202})
        row(code, "Character");
    row(132, "UserDefined");
    row(203, "Memo");
    row(205, "Memo (Binary)");
    // Codes no row names give their decimal text.
    row(0, "0");
    row(1, "1");
    row(9, "9");
    row(10, "10");
    row(13, "13");
    row(64, "64");
    row(136, "136");
    row(206, "206");
    row(300, "300");
    row(-5, "-5");
    row(2147483647, "2147483647");
    row(-2147483647 - 1, "-2147483648");
}

void FieldTypesTest::typeName()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(report::typeNameOf(code), name);
}

void FieldTypesTest::typeText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("char 5, 12 characters") << 129 << 5 << "Character[5]";
    QTest::newRow("char 30") << 129 << 30 << "Character[30]";
    QTest::newRow("wchar") << 130 << 1 << "Character[1]";
    QTest::newRow("varchar") << 200 << 254 << "Character[254]";
    QTest::newRow("long varchar is not memo") << 201 << 2147483647 << "Character[2147483647]";
    QTest::newRow("varwchar") << 202 << 0 << "Character[0]";
    QTest::newRow("binary gets no size") << 128 << 10 << "Character (Binary)";
    QTest::newRow("varbinary gets no size") << 204 << 10 << "Character (Binary)";
    QTest::newRow("memo") << 203 << 2147483647 << "Memo";
    QTest::newRow("general") << 205 << 2147483647 << "Memo (Binary)";
    QTest::newRow("numeric") << 131 << 19 << "Numeric";
    QTest::newRow("user defined") << 132 << 4 << "UserDefined";
    QTest::newRow("unknown") << 9 << 4 << "9";
}

void FieldTypesTest::typeText()
{
    QFETCH(int, code);
    QFETCH(int, size);
    QFETCH(QString, text);
    QCOMPARE(report::typeColumnText(code, size), text);
}

void FieldTypesTest::description_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("catalogAccepts");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("reports");
    const QString at = QStringLiteral("Foxpro1.GetFieldDesc_ADO %1");
    QTest::newRow("found") << "orders" << "shipname" << true << "Name of the receiver"
                           << QStringList();
    QTest::newRow("table name in another case") << "ORDERS" << "shipname" << true
                                                << "Name of the receiver" << QStringList();
    QTest::newRow("empty description") << "orders" << "freight" << true << "" << QStringList();
    QTest::newRow("no Description property") << "orders" << "nodesc" << true << ""
                                             << QStringList{at.arg(104)};
    QTest::newRow("missing column") << "orders" << "nosuch" << true << ""
                                    << QStringList{at.arg(104)};
    QTest::newRow("missing table") << "nosuch" << "shipname" << true << ""
                                   << QStringList{at.arg(102), at.arg(104)};
    QTest::newRow("table outside the catalog") << "hidden" << "a" << true << ""
                                               << QStringList{at.arg(102), at.arg(104)};
    QTest::newRow("catalog rejects the connection")
        << "orders" << "shipname" << false << "" << QStringList{at.arg(100), at.arg(102), at.arg(104)};
}

void FieldTypesTest::description()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(bool, catalogAccepts);
    QFETCH(QString, description);
    QFETCH(QStringList, reports);

    FakeFactory source(FakeFactory::Scripted);
    source.tables = {
        {QStringLiteral("orders"),
         {{QStringLiteral("shipname"), model::adChar, 40, QStringLiteral("Name of the receiver")},
          {QStringLiteral("freight"), model::adCurrency, 8, QString()},
          {QStringLiteral("nodesc"), model::adChar, 1, QString(), false}}},
        {QStringLiteral("hidden"), {{QStringLiteral("a"), model::adChar, 1, QStringLiteral("x")}}, true, false},
    };
    source.catalogRefusesConnection = !catalogAccepts;
    auto connection = model::factory().createConnection();
    connection->Open(QStringLiteral("Provider=vfpoledb.1;Data Source=x;Collating Sequence=general;"));

    RecordingSink sink;
    QCOMPARE(report::fieldDescription(table, field, *connection, sink), description);
    QCOMPARE(sink.where(), reports);
    for (const Reported &r : sink.reports)
        QCOMPARE(r.location, QStringLiteral("in Orvallix2021/08/31.Foxpro1.GetFieldDesc_ADO "));
    QCOMPARE(connection->State(), model::adStateOpen); // the caller's connection stays open
}

void FieldTypesTest::descriptionCreatesOneCatalogPerCall()
{
    FakeFactory source(FakeFactory::Scripted);
    source.tables = {{QStringLiteral("t"), {{QStringLiteral("a"), model::adChar, 1, QStringLiteral("A")},
                                            {QStringLiteral("b"), model::adChar, 1, QStringLiteral("B")}}}};
    auto connection = model::factory().createConnection();
    connection->Open(QStringLiteral("any"));
    RecordingSink sink;
    QCOMPARE(report::fieldDescription(QStringLiteral("t"), QStringLiteral("a"), *connection, sink), QStringLiteral("A"));
    QCOMPARE(report::fieldDescription(QStringLiteral("t"), QStringLiteral("b"), *connection, sink), QStringLiteral("B"));
    QCOMPARE(source.catalogsCreated, 2);
    QVERIFY(sink.reports.isEmpty());
}

void FieldTypesTest::tableList()
{
    FakeFactory source(FakeFactory::Scripted);
    for (const char *name : {"alpha", "foxuser", "FOXUSER", "Foxuser", "order lines", "foxuser2"})
        source.tables.append({QString::fromLatin1(name), {}});
    QStringList events;
    report::readTableList(
        QStringLiteral("Provider=vfpoledb.1;Data Source=/data;Collating Sequence=general;"),
        [&] { events.append(QStringLiteral("ready")); },
        [&](const QString &name) { events.append(name); });
    QCOMPARE(events, (QStringList{"ready", "alpha", "FOXUSER", "Foxuser", "order lines", "foxuser2"}));
    QCOMPARE(source.connectionStrings,
             QStringList{"Provider=vfpoledb.1;Data Source=/data;Collating Sequence=general;"});
    QCOMPARE(source.connectionsOpen, 0);
    QCOMPARE(source.recordsetsOpen, 0);
}

void FieldTypesTest::tableListStopsAtTheFirstFailure()
{
    FakeFactory source(FakeFactory::Scripted);
    source.tables = {{QStringLiteral("alpha"), {}}};
    source.failConnectionOpen = true;
    bool readyCalled = false;
    int added = 0;
    try {
        report::readTableList(QStringLiteral("x"), [&] { readyCalled = true; },
                               [&](const QString &) { ++added; });
        QFAIL("no failure was raised");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), int(platform::InvalidPath));
        QCOMPARE(failure.description(), FakeFactory::openFailure);
    }
    QVERIFY(!readyCalled);
    QCOMPARE(added, 0);
    QCOMPARE(source.connectionsOpen, 0);
}

QTEST_MAIN(FieldTypesTest)

#include "tst_fieldtypes.moc"
