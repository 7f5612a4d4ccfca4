// The application shell: the error report, the title, the shared checks, the
// settings store and the file-dialog filters.

#include "app/core/apptitle.h"
#include "app/core/checks.h"
#include "app/core/errorreport.h"
#include "platform/failure.h"
#include "app/prompts.h"
#include "scriptedprompts.h"
#include "app/core/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace app;

namespace {

struct Report {
    QString location;
    int label;
    QString description;
};

class RecordingSink final : public app::ErrorSink {
public:
    void report(const QString &location, int label, const QString &description) override
    {
        reports.append({location, label, description});
    }
    QList<Report> reports;
};

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void reportMessageIsExact_data();
    void reportMessageIsExact();
    void guardReportsEachFailureAndGoesOn();
    void failingTestCountsAsPassed();
    void appTitle_data();
    void appTitle();
    void fileAndFolderChecks();
    void fileDialogFilters_data();
    void fileDialogFilters();
    void settingsRoundTripAndAbsentValues();
    void failingSettingsWriteThrows();
    void allowReplacingMakesReadOnlyWritable();
};

void ShellTest::reportMessageIsExact_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("routine");
    QTest::addColumn<int>("label");
    QTest::addColumn<QString>("expected");
    const QString tail = QStringLiteral("\r\rPlease email screenshot of this message to " ORVALLE_SUPPORT_EMAIL);
    QTest::newRow("start-up")
        << "File 'x.dbf' does not exist." << "Form1.Form_Load" << 104
        << "File 'x.dbf' does not exist.\r\nin Orvallix2021/08/31.Form1.Form_Load at line 104" + tail;
    QTest::newRow("empty description starts with CR LF")
        << "" << "Foxpro1.GetFieldDesc_ADO" << 100
        << "\r\nin Orvallix2021/08/31.Foxpro1.GetFieldDesc_ADO at line 100" + tail;
}

void ShellTest::reportMessageIsExact()
{
    QFETCH(QString, description);
    QFETCH(QString, routine);
    QFETCH(int, label);
    QFETCH(QString, expected);
    const QByteArray name = routine.toLatin1();
    QCOMPARE(app::errorMessage(description, app::errorLocation(name.constData()), label), expected);
}

void ShellTest::guardReportsEachFailureAndGoesOn()
{
    RecordingSink sink;
    app::ErrorGuard guard("Form2.PushButton8_Click", sink);
    QStringList ran;
    QVERIFY(!guard.step(100, [&] { throw Failure(QStringLiteral("first")); }));
    QVERIFY(guard.step(102, [&] { ran << QStringLiteral("second"); }));
    QVERIFY(!guard.step(104, [&] { throw std::runtime_error("third"); }));
    QCOMPARE(ran, QStringList{QStringLiteral("second")});
    QCOMPARE(sink.reports.size(), 2);
    QCOMPARE(sink.reports[0].label, 100);
    QCOMPARE(sink.reports[0].description, QStringLiteral("first"));
    QCOMPARE(sink.reports[1].label, 104);
    QCOMPARE(sink.reports[1].description, QStringLiteral("third"));
    QCOMPARE(sink.reports[1].location, QStringLiteral("in Orvallix2021/08/31.Form2.PushButton8_Click "));
}

void ShellTest::failingTestCountsAsPassed()
{
    RecordingSink sink;
    app::ErrorGuard guard("Form1.PushButton7_Click", sink);
    QVERIFY(guard.test(102, [&]() -> bool { throw Failure(QStringLiteral("boom")); }));
    QVERIFY(!guard.test(102, [] { return false; }));
    QCOMPARE(sink.reports.size(), 1);
    QCOMPARE(sink.reports[0].label, 102);
}

void ShellTest::appTitle_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("title");
    QTest::newRow("no blank: the whole name") << "Orvalle" << "Orvalle";
    // 39 characters in five words: the last word goes all the same.
    QTest::newRow("five words") << "Alphabet Bravo Charlie Deltaxx Echoxxxx" << "Alphabet Bravo Charlie Deltaxx";
    // 50 characters whose last word has 6: 43 after the first cut, so a second follows.
    QTest::newRow("two cuts") << "Abcdefghij Klmnopqrst Uvwxyzabcd Efghijklmn 123456"
                              << "Abcdefghij Klmnopqrst Uvwxyzabcd";
}

void ShellTest::appTitle()
{
    QFETCH(QString, product);
    QFETCH(QString, title);
    QCOMPARE(app::appTitleFor(product), title);
}

void ShellTest::fileAndFolderChecks()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    touch(file);
    QVERIFY(!app::isFilePresent(QString()));
    QVERIFY(!app::isFilePresent(dir.filePath(QStringLiteral("missing/a.txt"))));
    QVERIFY(app::isFilePresent(file));
    QVERIFY(!app::isFilePresent(dir.path()));
    QVERIFY(!app::isFolderPresent(file));
    QVERIFY(app::isFolderPresent(dir.path()));
    QVERIFY(app::isFolderPresent(dir.path() + QDir::separator()));
    QVERIFY(!app::isFolderPresent(QString()));
}

void ShellTest::fileDialogFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("shown");
    QTest::newRow("text files") << "Text Files (*.txt)|*.txt" << "Text Files (*.txt)";
    QTest::newRow("trailing bar") << "Microsoft Database (*.dbc)|*.dbc|" << "Microsoft Database (*.dbc)";
    QTest::newRow("two entries") << "A (*.a)|*.a|B (*.b)|*.b" << "A (*.a);;B (*.b)";
}

void ShellTest::fileDialogFilters()
{
    QFETCH(QString, filter);
    QFETCH(QString, shown);
    QCOMPARE(qtFileFilter(filter), shown);
}

void ShellTest::settingsRoundTripAndAbsentValues()
{
    Sandbox sandbox;
    QCOMPARE(app::readSetting(app::DBCFileKey), QString());
    app::saveSetting(app::DBCFileKey, QStringLiteral("/data/sales.dbc"));
    QCOMPARE(sandbox.setting(QStringLiteral("DBCFile")), QStringLiteral("/data/sales.dbc"));
    QCOMPARE(app::readSetting(app::DBCFileKey), QStringLiteral("/data/sales.dbc"));
    app::saveSetting(app::DBCFileKey, QString());
    QCOMPARE(app::readSetting(app::DBCFileKey), QString());
}

void ShellTest::failingSettingsWriteThrows()
{
    Sandbox sandbox;
    QVERIFY(QDir().mkpath(sandbox.settingsFile())); // a folder where the file belongs
    QVERIFY_THROWS_EXCEPTION(Failure, app::saveSetting(app::FoxproOptionKey, QStringLiteral("2")));
}

void ShellTest::allowReplacingMakesReadOnlyWritable()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.txt"));
    touch(file);
    QCOMPARE(app::allowReplacing(file), std::nullopt); // already writable: nothing to put back
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadUser;
    QVERIFY(QFile::setPermissions(file, readOnly));
    const std::optional<QFile::Permissions> before = app::allowReplacing(file);
    QVERIFY(before.has_value());
    QCOMPARE(*before & QFile::WriteOwner, QFile::Permissions());
    QVERIFY(QFile::permissions(file) & QFile::WriteOwner);
    QVERIFY(QFile::exists(file)); // the old file stays until a new report takes its place
    QCOMPARE(app::allowReplacing(dir.filePath(QStringLiteral("none.txt"))), std::nullopt);
}

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
