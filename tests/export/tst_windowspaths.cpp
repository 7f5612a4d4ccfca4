// orvalle-report.exe, the Windows build, under wine on what only Windows has:
// drive letters and extended-length paths, paths past 260 characters, names
// that differ from a file's only in case, reserved device names, and other
// spellings of a source's own file given as the report. Skipped unless
// ORVALLE_REPORT_TOOL names a Windows program.

#include "reporttool.h"
#include "xbasewriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace xbasewriter;

namespace {

// How a Windows program under wine names a path of this machine: drive Z:
// is the root of its file system.
QString onDriveZ(const QString &path)
{
    return QStringLiteral("Z:") + QDir::toNativeSeparators(path);
}

void writeOrders(const QString &folder)
{
    QDir().mkpath(folder);
    TableSpec orders;
    orders.version = 0x03;
    orders.fields = {{"ORDER_ID", 'N', 6}, {"CUSTOMER", 'C', 20}};
    writeTable(folder + QStringLiteral("/orders.dbf"), orders);
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

const QByteArray ordersLine = "Table Name : orders    Total Fields : 2\r\n";

} // namespace

class WindowsPathsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (!reportToolIsWindows())
            QSKIP("ORVALLE_REPORT_TOOL names no Windows program");
    }

    // One folder, however Windows lets it be spelled.
    void sourceSpellings_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("forwardSlashes");
        QTest::newRow("drive letter") << QString() << false;
        QTest::newRow("drive letter, forward slashes") << QString() << true;
        QTest::newRow("extended-length") << QStringLiteral("\\\\?\\") << false;
    }

    void sourceSpellings()
    {
        QFETCH(QString, prefix);
        QFETCH(bool, forwardSlashes);
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        writeOrders(temporary.path() + QStringLiteral("/data"));
        QString source = prefix + onDriveZ(temporary.path() + QStringLiteral("/data"));
        if (forwardSlashes)
            source.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const ToolOutcome outcome = runProgram(reportTool(), {source});
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY2(outcome.out.contains(ordersLine), outcome.out.constData());
    }

    // A folder and a report deeper than Windows' old limit of 260 characters.
    void pathPastTheOldLimit()
    {
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        QString folder = temporary.path();
        while (onDriveZ(folder).size() <= 300)
            folder += QStringLiteral("/a-folder-whose-name-is-long-enough");
        writeOrders(folder);
        const QString report = folder + QStringLiteral("/report.txt");
        const ToolOutcome outcome = runProgram(reportTool(), {onDriveZ(folder), QStringLiteral("-o"), onDriveZ(report)});
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QFile written(report);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().contains(ordersLine));
    }

    // A table named in another case than its file's is that one table.
    void tableNamedInAnotherCase()
    {
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        writeOrders(temporary.path());
        const ToolOutcome outcome = runProgram(reportTool(), {onDriveZ(temporary.path()), QStringLiteral("ORDERS")});
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out.count(ordersLine), 1);
    }

    // A file named like a device is never opened: Windows would open the
    // device (a serial port may block for good). The table beside it is read.
    void reservedDeviceNames()
    {
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        writeOrders(temporary.path());
        for (const char *name : {"COM1.dbf", "nul.dbf", "CON.DBF", "aux.dbf"})
            QFile::copy(temporary.filePath(QStringLiteral("orders.dbf")), temporary.filePath(QLatin1String(name)));
        const ToolOutcome listed = runProgram(reportTool(), {onDriveZ(temporary.path()), QStringLiteral("--list")});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out, QByteArray("orders\n"));

        const ToolOutcome chosen = runProgram(reportTool(), {onDriveZ(temporary.path()), QStringLiteral("COM1")});
        QVERIFY2(chosen.exitCode == 1 || chosen.exitCode == 2, chosen.err.constData());
        QVERIFY(!chosen.err.isEmpty());

        const ToolOutcome device = runProgram(reportTool(), {QStringLiteral("NUL")});
        QVERIFY2(device.exitCode == 1 || device.exitCode == 2, device.err.constData());
        QVERIFY(!device.err.isEmpty());
    }

    // The report named as one of the source's own files, spelled otherwise:
    // refused, and the file stays as it was. (An 8.3 short name is the same
    // case on NTFS, but wine gives a file of this machine no short name.)
    void reportOverTheSourceSpelledOtherwise_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::newRow("upper case") << QStringLiteral("ORDERS.DBF");
        QTest::newRow("trailing dot") << QStringLiteral("orders.dbf.");
        QTest::newRow("trailing space") << QStringLiteral("orders.dbf ");
    }

    void reportOverTheSourceSpelledOtherwise()
    {
        QFETCH(QString, spelling);
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        writeOrders(temporary.path());
        const QByteArray ordersBefore = digest(temporary.filePath(QStringLiteral("orders.dbf")));
        const ToolOutcome outcome = runProgram(
            reportTool(), {onDriveZ(temporary.path()), QStringLiteral("-o"), onDriveZ(temporary.path()) + QLatin1Char('\\') + spelling});
        QVERIFY2(outcome.err.contains("a data source is never written"), outcome.err.constData());
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(digest(temporary.filePath(QStringLiteral("orders.dbf"))), ordersBefore);
        QCOMPARE(QDir(temporary.path()).entryList(QDir::Files), QStringList{QStringLiteral("orders.dbf")});
    }
};

QTEST_MAIN(WindowsPathsTest)
#include "tst_windowspaths.moc"
