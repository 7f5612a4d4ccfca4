// Relations implied by the tables' names and keys: small sources made here,
// each row one rule kept or broken, and the Northwind tables read as free
// tables against the relations their container declares.

#include "model/impliedrelations.h"
#include "modelparts.h"

#include <QDir>
#include <QTest>

using namespace model;

namespace {

// "child.field -> parent TAG (child tag)".
QStringList described(const QList<RelationModel> &relations)
{
    QStringList lines;
    for (const RelationModel &r : relations) {
        lines.append(QStringLiteral("%1.%2 -> %3 %4 (%5)%6")
                         .arg(r.childTable, r.childField, r.parentTable, r.parentTag, r.childTag,
                              r.declared ? QStringLiteral(" declared") : QString()));
    }
    return lines;
}

} // namespace

class ImpliedRelationsTest : public QObject {
    Q_OBJECT

private slots:
    void found_data()
    {
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QStringList>("declared"); // "child -> parent"
        QTest::addColumn<QStringList>("expected");

        const QString customers = QStringLiteral("customers: CUSTID C 6 [primary CUSTID], NAME C 30");
        // The child comes first: a parent read later still counts.
        QTest::newRow("same name and type")
            << QStringList{QStringLiteral("orders: ORDID I 4 [primary ORDID], CUSTID C 6"), customers} << QStringList()
            << QStringList{QStringLiteral("orders.CUSTID -> customers CUSTID ()")};
        QTest::newRow("other width")
            << QStringList{customers, QStringLiteral("orders: CUSTID C 8")} << QStringList() << QStringList();
        QTest::newRow("other type")
            << QStringList{customers, QStringLiteral("orders: CUSTID N 6")} << QStringList() << QStringList();
        QTest::newRow("other decimals")
            << QStringList{QStringLiteral("rates: CODE N 6.2 [primary CODE]"), QStringLiteral("prices: CODE N 6.0")}
            << QStringList() << QStringList();
        QTest::newRow("equal but for case, spelled as the child spells it")
            << QStringList{customers, QStringLiteral("orders: CustId C 6 [regular BYCUST]")} << QStringList()
            << QStringList{QStringLiteral("orders.CustId -> customers CUSTID (BYCUST)")};
        QTest::newRow("each child spelled as it spells it")
            << QStringList{QStringLiteral("orders: CustId C 6"), customers, QStringLiteral("invoices: custid C 6"),
                           QStringLiteral("notes: CustId C 6")}
            << QStringList()
            << QStringList{QStringLiteral("orders.CustId -> customers CUSTID ()"),
                           QStringLiteral("invoices.custid -> customers CUSTID ()"),
                           QStringLiteral("notes.CustId -> customers CUSTID ()")};
        QTest::newRow("already declared")
            << QStringList{customers, QStringLiteral("orders: CUSTID C 6")}
            << QStringList{QStringLiteral("orders -> customers")} << QStringList();
        QTest::newRow("declared the other way round")
            << QStringList{customers, QStringLiteral("orders: CUSTID C 6")}
            << QStringList{QStringLiteral("customers -> orders")} << QStringList();
        QTest::newRow("a declared relation elsewhere keeps nothing out")
            << QStringList{customers, QStringLiteral("orders: CUSTID C 6"), QStringLiteral("notes: CUSTID C 6")}
            << QStringList{QStringLiteral("orders -> customers")}
            << QStringList{QStringLiteral("notes.CUSTID -> customers CUSTID ()")};
        QTest::newRow("candidate key")
            << QStringList{QStringLiteral("customers: CODE C 4 [candidate BYCODE]"), QStringLiteral("orders: CODE C 4")}
            << QStringList() << QStringList{QStringLiteral("orders.CODE -> customers BYCODE ()")};
        QTest::newRow("a unique tag is no key")
            << QStringList{QStringLiteral("customers: CODE C 4 [unique BYCODE]"), QStringLiteral("orders: CODE C 4")}
            << QStringList() << QStringList();
        QTest::newRow("a key with a filter")
            << QStringList{QStringLiteral("customers: CODE C 4 [primary BYCODE?]"), QStringLiteral("orders: CODE C 4")}
            << QStringList() << QStringList();
        QTest::newRow("a key over an expression")
            << QStringList{QStringLiteral("customers: CODE C 4 [primary BYCODE=UPPER(CODE)]"),
                           QStringLiteral("orders: CODE C 4")}
            << QStringList() << QStringList();
        QTest::newRow("a key written with spaces and in other case")
            << QStringList{QStringLiteral("customers: CODE C 4 [primary BYCODE= code ]"),
                           QStringLiteral("orders: CODE C 4")}
            << QStringList() << QStringList{QStringLiteral("orders.CODE -> customers BYCODE ()")};
        QTest::newRow("tables keyed on the same name imply nothing")
            << QStringList{QStringLiteral("regions: ID I 4 [primary ID]"), QStringLiteral("towns: ID I 4 [primary ID]")}
            << QStringList() << QStringList();
        QTest::newRow("a key of the child's own implies nothing")
            << QStringList{customers, QStringLiteral("profiles: CUSTID C 6 [candidate ONE]")} << QStringList()
            << QStringList();
        QTest::newRow("long names match; the key names the short one")
            << QStringList{QStringLiteral("customers: customerid/CUSTOMERID C 5 [primary CUSTOMERID]"),
                           QStringLiteral("orders: customerid/CUSTOMERID C 5")}
            << QStringList() << QStringList{QStringLiteral("orders.customerid -> customers CUSTOMERID ()")};
        QTest::newRow("a key that two tables share is no one's parent")
            << QStringList{QStringLiteral("notes: REF C 8"), QStringLiteral("a: REF C 8 [candidate A]"),
                           QStringLiteral("b: REF C 8 [primary B]")}
            << QStringList() << QStringList();
        QTest::newRow("a key shared but for its width still has its parent")
            << QStringList{QStringLiteral("notes: REF C 8 [regular BYREF]"), QStringLiteral("a: REF C 8 [candidate A]"),
                           QStringLiteral("b: REF C 9 [primary B]")}
            << QStringList() << QStringList{QStringLiteral("notes.REF -> a A (BYREF)")};
    }

    void found()
    {
        QFETCH(QStringList, tables);
        QFETCH(QStringList, declared);
        QFETCH(QStringList, expected);
        QList<TableModel> models;
        for (const QString &description : tables)
            models.append(modelparts::tableOf(description));
        QList<RelationModel> declaredRelations;
        for (const QString &pair : declared) {
            const QStringList ends = pair.split(QStringLiteral(" -> "));
            RelationModel relation;
            relation.childTable = ends[0];
            relation.parentTable = ends[1];
            declaredRelations.append(relation);
        }
        QCOMPARE(described(impliedRelations(models, declaredRelations)), expected);
    }

    // A parent with both a primary and a candidate key on one field is one parent.
    void oneRelationForTwoKeysOnOneField()
    {
        TableModel customers = modelparts::tableOf(QStringLiteral("customers: CODE C 4 [primary PK]"));
        customers.indexes.append(modelparts::tag(QStringLiteral("ALSO"), TagKind::Candidate, QStringLiteral("CODE")));
        const QList<TableModel> tables = {customers, modelparts::tableOf(QStringLiteral("orders: CODE C 4"))};
        QCOMPARE(described(impliedRelations(tables, {})), QStringList{QStringLiteral("orders.CODE -> customers PK ()")});
    }

    // The sample database holds no index tag, so no key: it implies nothing,
    // and declares nothing either.
    void theSamplesImplyNothing()
    {
        const SourceModel samples = readSourceModel(QStringLiteral(ORVALLE_SAMPLES_DIR));
        QCOMPARE(samples.tables.size(), 5);
        for (const TableModel &table : samples.tables)
            QVERIFY(table.indexes.isEmpty());
        QVERIFY(samples.relations.isEmpty());
        QVERIFY(samples.impliedRelations.isEmpty());
    }

    // Northwind's tables read as free tables from the container's folder: the
    // relations they imply are among those the container declares (the same
    // child and parent), and the plainest of them are there.
    void northwindImpliesWhatItsContainerDeclares()
    {
        const QString folder = QStringLiteral(ORVALLE_FIXTURES_DIR "/VFPX__Samples/Northwind");
        if (!QDir(folder).exists())
            QSKIP("the fixtures are not here");
        const SourceModel free = readSourceModel(folder);
        const SourceModel container = readSourceModel(folder + QStringLiteral("/northwind.dbc"));
        QVERIFY(free.relations.isEmpty());
        QVERIFY(container.impliedRelations.isEmpty()); // every such pair is declared there
        QSet<QString> declaredPairs;
        for (const RelationModel &r : container.relations)
            declaredPairs.insert(r.childTable.toLower() + QLatin1String(" -> ") + r.parentTable.toLower());
        QStringList pairs;
        for (const RelationModel &r : free.impliedRelations) {
            QVERIFY(!r.declared);
            const QString pair = r.childTable.toLower() + QLatin1String(" -> ") + r.parentTable.toLower();
            QVERIFY2(declaredPairs.contains(pair), qPrintable(pair));
            pairs.append(pair + QLatin1Char(' ') + r.childField.toLower());
        }
        for (const char *plain : {"orders -> customers customerid", "orderdetails -> orders orderid",
                                  "orderdetails -> products productid", "products -> categories categoryid"})
            QVERIFY2(pairs.contains(QLatin1String(plain)), plain);
    }
};

QTEST_GUILESS_MAIN(ImpliedRelationsTest)
#include "tst_impliedrelations.moc"
