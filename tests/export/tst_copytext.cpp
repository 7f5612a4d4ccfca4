// Values in the text form of PostgreSQL's COPY, written here by hand from
// PostgreSQL's rules: a row is one line, its values apart by tabs, so no
// value may hold a raw tab or line end; a backslash starts an escape.

#include "export/migrate/copytext.h"

#include <QtTest>

using platform::FieldValue;
using platform::ValueKind;

class CopyTextTest : public QObject {
    Q_OBJECT

private slots:
    void valuesAsCopyReadsThem_data();
    void valuesAsCopyReadsThem();
    void aRowIsOneLine();
};

void CopyTextTest::valuesAsCopyReadsThem_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<double>("real");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("whole");

    const auto text = [](const char *name, QByteArray value, const char *expected, bool whole = true) {
        QTest::newRow(name) << int(ValueKind::Text) << value << qint64(0) << 0.0 << QByteArray(expected) << whole;
    };
    text("plain", "Müller", "Müller");
    text("backslash", "C:\\data\\shop", "C:\\\\data\\\\shop");
    text("line ends and a tab", "a\r\nb\tc\nd", "a\\r\\nb\\tc\\nd");
    text("the end of the data", "\\.", "\\\\.");
    text("NUL left out", QByteArray("a\0b", 3), "ab", false);
    QTest::newRow("null") << int(ValueKind::Null) << QByteArray("raw") << qint64(0) << 0.0 << QByteArray("\\N") << true;
    QTest::newRow("bytes") << int(ValueKind::Bytes) << QByteArray("\x00\x7f\xff\\", 4) << qint64(0) << 0.0
                           << QByteArray("\\\\x007fff5c") << true;
    QTest::newRow("no bytes") << int(ValueKind::Bytes) << QByteArray() << qint64(0) << 0.0 << QByteArray("\\\\x")
                              << true;
    QTest::newRow("negative integer") << int(ValueKind::Integer) << QByteArray() << qint64(-2147483648) << 0.0
                                      << QByteArray("-2147483648") << true;
    QTest::newRow("true") << int(ValueKind::Boolean) << QByteArray() << qint64(1) << 0.0 << QByteArray("t") << true;
    // The shortest text that reads back as the same double.
    QTest::newRow("a tenth") << int(ValueKind::Real) << QByteArray() << qint64(0) << 0.1 << QByteArray("0.1") << true;
    QTest::newRow("large") << int(ValueKind::Real) << QByteArray() << qint64(0) << 1e300 << QByteArray("1e+300") << true;
}

void CopyTextTest::valuesAsCopyReadsThem()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, data);
    QFETCH(qint64, integer);
    QFETCH(double, real);
    QFETCH(QByteArray, expected);
    QFETCH(bool, whole);
    QByteArray line("x");
    QCOMPARE(migrate::appendCopyValue(line, {ValueKind(kind), data, integer, real}), whole);
    QCOMPARE(line, "x" + expected);
}

// Only the fields asked for, in their order, apart by tabs, one line end;
// each value that lost a NUL is named by its place among them.
void CopyTextTest::aRowIsOneLine()
{
    const QList<FieldValue> values{{ValueKind::Text, QByteArray("a\0", 2), 0, 0},
                                   {ValueKind::Integer, {}, 7, 0},
                                   {ValueKind::Text, QByteArray("b\nc\0", 4), 0, 0},
                                   {ValueKind::Null, {}, 0, 0}};
    QByteArray line;
    QList<int> lost;
    QVERIFY(!migrate::appendCopyRow(line, values, {3, 2, 1}, &lost));
    QCOMPARE(line, QByteArray("\\N\tb\\nc\t7\n"));
    QCOMPARE(lost, QList<int>{1});
    line.clear();
    lost.clear();
    QVERIFY(migrate::appendCopyRow(line, values, {1, 3}, &lost));
    QCOMPARE(line, QByteArray("7\t\\N\n"));
    QCOMPARE(lost, QList<int>());
    line.clear();
    QVERIFY(!migrate::appendCopyRow(line, values, {0, 1, 2}, &lost));
    QCOMPARE(line, QByteArray("a\t7\tb\\nc\n"));
    QCOMPARE(lost, (QList<int>{0, 2}));
}

QTEST_GUILESS_MAIN(CopyTextTest)
#include "tst_copytext.moc"
