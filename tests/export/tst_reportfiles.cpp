#include "model/dataaccess.h"
#include "listselection.h"
#include "recorders.h"
#include "reportfiles.h"
#include "export/report/structurereport.h"
#include "export/report/tablelist.h"
#include "export/report/reportfile.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace report;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList tableList(const ReportSource &source)
{
    QStringList names;
    report::readTableList(source.connectionString, [&] { names.clear(); },
                           [&](const QString &name) { names.append(name); });
    return names;
}

QList<bool> selectionOf(const QStringList &names, const QStringList &wanted)
{
    QList<bool> flags;
    for (const QString &name : names)
        flags.append(wanted.contains(name));
    return flags;
}

} // namespace

// Reports of real files read by the FoxPro reader, against golden reports
// written by hand.
class ReportFilesTest : public QObject {
    Q_OBJECT

private slots:
    void folderOfFreeTables();
    void container();
    void fixtureContainer();
    void oneCharacterOutOfPlaceAnywhere();
};

// Lines of every length up to 20 with one character that is not plain ASCII
// at every place, written as a whole line and as padded columns: a control
// character becomes a space, "é" its bytes in the system's code page, and
// the rest of the line is untouched. Plain lines are copied many characters
// at a time, so each place in and after such a run is tried.
void ReportFilesTest::oneCharacterOutOfPlaceAnywhere()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("lines.txt"));
    ReportFile file;
    file.open(path);
    QByteArray expected;
    const QList<QPair<QChar, QByteArray>> odd = {
        {QChar(0x00), " "}, {QChar(0x09), " "}, {QChar(0x1F), " "}, {QChar(0x7F), " "},
        {QChar(0x85), " "}, {QChar(0x2028), " "}, {QChar(0xE9), QStringEncoder(QStringConverter::System).encode(u"\u00e9")}};
    for (int length = 1; length <= 20; ++length) {
        for (int at = 0; at < length; ++at) {
            for (const auto &[character, bytes] : odd) {
                QString text;
                QByteArray written;
                for (int i = 0; i < length; ++i) {
                    text += i == at ? character : QChar(u'a' + i % 26);
                    written += i == at ? bytes : QByteArray(1, char('a' + i % 26));
                }
                file.writeLine(text);
                expected += written + "\r\n";
                file.writeLine({{text, 24, 1}, {u"x", 3, 0}});
                expected += ' ' + written + QByteArray(qMax(0, 24 - length), ' ') + "x  \r\n";
            }
        }
        // And the same line with nothing out of place.
        QString plain;
        for (int i = 0; i < length; ++i)
            plain += QChar(u'A' + i % 26);
        file.writeLine({{plain, 0, 2}, {plain, 0, 0}});
        expected += "  " + plain.toLatin1() + plain.toLatin1() + "\r\n";
    }
    file.close();
    QCOMPARE(readAll(path), expected);
}

void ReportFilesTest::folderOfFreeTables()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString folder = temporary.filePath(QStringLiteral("Sales Data"));
    reportfiles::writeFolder(folder);
    const ReportSource source = ReportSource::folder(folder);
    const QStringList names = tableList(source);
    QCOMPARE(names, (QStringList{"alpha", "nofields", "order lines"}));

    ListSelection selection(names, selectionOf(names, {"nofields", "order lines"}));
    RecordingFeedback feedback;
    RecordingSink sink;
    const QString report = temporary.filePath(QStringLiteral("report.txt"));
    QVERIFY(writeStructureReport(report, selection, source, feedback, sink));
    QCOMPARE(sink.where(), QStringList());
    QCOMPARE(readAll(report), reportfiles::golden(QStringLiteral("folder.txt"), folder));
}

void ReportFilesTest::container()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    reportfiles::writeContainer(temporary.path());
    const QString dbc = temporary.filePath(QStringLiteral("shop.dbc"));
    const ReportSource source = ReportSource::containerFile(dbc);
    const QStringList names = tableList(source);
    QCOMPARE(names, (QStringList{"LongNames", "Missing", "Plain"}));

    ListSelection selection(names, {true, true, true});
    RecordingFeedback feedback;
    RecordingSink sink;
    const QString report = temporary.filePath(QStringLiteral("report.txt"));
    QVERIFY(writeStructureReport(report, selection, source, feedback, sink));
    QCOMPARE(sink.where(), QStringList{"Form2.generateStructure 158"});
    QCOMPARE(feedback.messages, QStringList{"Done."});
    QCOMPARE(readAll(report), reportfiles::golden(QStringLiteral("container.txt"), dbc));
}

void ReportFilesTest::fixtureContainer()
{
    const QString dbc = QStringLiteral(ORVALLE_FIXTURES_DIR "/VFPX__Samples/Northwind/northwind.dbc");
    if (!QFile::exists(dbc))
        QSKIP("the shared fixtures (VFPX__Samples/Northwind/northwind.dbc) are not present");
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const ReportSource source = ReportSource::containerFile(dbc);
    const QStringList names = tableList(source);
    QVERIFY(names.contains(QStringLiteral("Categories")));
    QVERIFY(names.contains(QStringLiteral("Shippers")));

    ListSelection selection(names, selectionOf(names, {"Shippers", "Categories"}));
    RecordingFeedback feedback;
    RecordingSink sink;
    const QString report = temporary.filePath(QStringLiteral("northwind.txt"));
    QVERIFY(writeStructureReport(report, selection, source, feedback, sink));
    QCOMPARE(sink.where(), QStringList());
    QCOMPARE(readAll(report), reportfiles::golden(QStringLiteral("northwind.txt"), dbc));
}

QTEST_MAIN(ReportFilesTest)

#include "tst_reportfiles.moc"
