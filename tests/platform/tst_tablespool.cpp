// The tables a reading keeps aside come back as they were put, in order,
// whether they were few enough to be held or many enough for a file; and a
// temporary file that cannot be made is a failure, not a lost table.

#include "model/tablespool.h"
#include "platform/failure.h"

#include <QTemporaryDir>
#include <QTest>

using namespace model;

namespace {

// Every property set, and no two texts alike, so a property read into
// another's place shows.
TableModel everythingSet(int number, int fieldCount)
{
    const auto text = [number](const char *what) { return QStringLiteral("%1 %2 ü€𝄞").arg(QLatin1String(what)).arg(number); };
    TableModel table;
    table.name = text("name");
    table.file = text("file");
    table.dialect = text("dialect");
    table.version = 0x30;
    table.codePageMark = 0x03;
    table.codePage = text("code page");
    table.recordCount = 4000000000u;
    table.lastUpdate = QDate(1999, 12, 31);
    table.headerLength = 65535;
    table.recordLength = 4001;
    table.memo = MemoModel{text("memo"), 64, true};
    table.comment = text("comment");
    table.rule = text("rule");
    table.ruleText = text("rule text");
    table.insertTrigger = text("insert");
    table.updateTrigger = text("update");
    table.deleteTrigger = text("delete");
    table.primaryKey = text("key");
    for (int i = 0; i < fieldCount; ++i) {
        FieldModel field;
        field.position = i + 1;
        field.name = text("field") + QString::number(i);
        field.shortName = text("short");
        field.type = char(0xFE); // a byte no dialect defines stays that byte
        field.typeName = text("type");
        field.width = 254;
        field.decimals = 18;
        field.nullable = true;
        field.binary = i % 2 == 0;
        field.autoIncrement = true;
        field.nextValue = -9000000000LL;
        field.step = -3;
        field.defaultValue = text("default");
        field.rule = text("field rule");
        field.ruleText = text("field rule text");
        field.caption = text("caption");
        field.format = text("format");
        field.inputMask = text("mask");
        field.comment = QString(300, QChar(u'c'));
        table.fields.append(field);
    }
    table.indexes = {IndexModel{text("tag"), text("expression"), text("filter"), TagKind::Candidate, true,
                                text("collation")},
                     IndexModel{text("second"), text("upper"), QString(), TagKind::Unique, false,
                                QStringLiteral("MACHINE")}};
    table.indexesKnown = true;
    return table;
}

// What a table left bare has: no date, no memo, no fields or tags.
TableModel bare(int number)
{
    TableModel table;
    table.name = QStringLiteral("bare%1").arg(number);
    return table;
}

QList<TableModel> replayed(TableSpool &spool)
{
    QList<TableModel> tables;
    spool.replay([&](TableModel &&table) { tables.append(std::move(table)); });
    return tables;
}

} // namespace

class TableSpoolTest : public QObject {
    Q_OBJECT

private slots:
    void tablesComeBackAsPut_data();
    void tablesComeBackAsPut();
    void aTemporaryFileThatCannotBeMadeIsAFailure_data();
    void aTemporaryFileThatCannotBeMadeIsAFailure();
};

void TableSpoolTest::tablesComeBackAsPut_data()
{
    QTest::addColumn<int>("tables");
    QTest::addColumn<int>("fields");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("a few, held") << 3 << 5;
    // About 12 KB a table: past what is held, so kept in a file.
    QTest::newRow("many, in a file") << 300 << 15;
}

void TableSpoolTest::tablesComeBackAsPut()
{
    QFETCH(int, tables);
    QFETCH(int, fields);
    QList<TableModel> put;
    for (int i = 0; i < tables; ++i)
        put.append(i % 3 == 1 ? bare(i) : everythingSet(i, fields));
    TableSpool spool;
    for (const TableModel &table : std::as_const(put))
        spool.put(table);
    const QList<TableModel> back = replayed(spool);
    QCOMPARE(back.size(), put.size());
    for (qsizetype i = 0; i < put.size(); ++i) {
        QCOMPARE(back[i].lastUpdate, put[i].lastUpdate);
        QCOMPARE(back[i].memo.has_value(), put[i].memo.has_value());
        QCOMPARE(back[i].fields.size(), put[i].fields.size());
        QVERIFY2(back[i] == put[i], qPrintable(put[i].name));
    }
    // Once more, the same: a document may be written again from the spool.
    QCOMPARE(replayed(spool), back);
}

void TableSpoolTest::aTemporaryFileThatCannotBeMadeIsAFailure_data()
{
    QTest::addColumn<QString>("temporaryFolder"); // within a folder of the test's own
    QTest::addColumn<QString>("failure");         // "%1": that folder
    QTest::newRow("missing") << QStringLiteral("gone")
                             << QStringLiteral("The tables read cannot be kept in a temporary file: the system's "
                                               "temporary folder is missing.");
    QTest::newRow("a file") << QStringLiteral("file")
                            << QStringLiteral("The tables read cannot be kept in a temporary file in %1: ");
}

void TableSpoolTest::aTemporaryFileThatCannotBeMadeIsAFailure()
{
    QFETCH(QString, temporaryFolder);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = dir.filePath(temporaryFolder);
    const bool wasSet = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray before = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder));
    TableSpool few;
    few.put(everythingSet(1, 5));
    TableSpool many;
    QString failed;
    try {
        for (int i = 0; i < 300; ++i)
            many.put(everythingSet(i, 15));
    } catch (const Failure &f) {
        failed = f.description();
    }
    if (wasSet)
        qputenv("TMPDIR", before);
    else
        qunsetenv("TMPDIR");
    // A few tables need no file.
    QCOMPARE(replayed(few), QList<TableModel>{everythingSet(1, 5)});
    if (failure.contains(QLatin1String("%1")))
        failure = failure.arg(QDir::toNativeSeparators(folder));
    QVERIFY2(failed.startsWith(failure), qPrintable(failed));
}

QTEST_GUILESS_MAIN(TableSpoolTest)
#include "tst_tablespool.moc"
