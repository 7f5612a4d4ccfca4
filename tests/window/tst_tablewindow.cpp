// The table window driven offscreen: listing, selection, and the export from
// "Start Exporting" to the report file, with every question and message.

#include "connection/startwindow.h"
#include "export/window/tablewindow.h"
#include "app/core/programfolder.h"
#include "fakefactory.h"
#include "golden.h"
#include "scriptedprompts.h"
#include "windowparts.h"
#include "app/windowlook.h"
#include "xbasewriter.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QXmlStreamReader>
#include <QtTest>

#include <sqlite3.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace app;
using namespace connection;
using namespace dictionary;
using namespace report;
using namespace window;

namespace {

const QString selectTable = QStringLiteral("Select The Table To Print The Structure");
const QString done = QStringLiteral("Done.");
// The report file dialog's entries: the text report, then each dictionary format.
const QString reportFilter = QStringLiteral(
    "Text Files (*.txt)|*.txt|JSON Data Dictionary (*.json)|*.json|Markdown Data Dictionary (*.md)|*.md|"
    "HTML Data Dictionary (*.html)|*.html|PostgreSQL Schema (*.sql)|*.sql|SQLite Schema (*.sql)|*.sql|"
    "SQLite database with the data (*.sqlite)|*.sqlite|Graphviz Diagram (*.dot)|*.dot|SVG Diagram (*.svg)|*.svg");

QString overwrite(const QString &path)
{
    return path + QStringLiteral(" Already Exists. Overwrite It?");
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Whether both names lead to the same file on disk.
bool sameFile(const QString &one, const QString &other)
{
    struct stat a {};
    struct stat b {};
    return ::stat(QFile::encodeName(one).constData(), &a) == 0 && ::stat(QFile::encodeName(other).constData(), &b) == 0
        && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The permission bits on disk.
int mode(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

// Everything in a folder, hidden files too.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A folder with three free tables, the windows on the table step listing them.
struct Exporting {
    Sandbox sandbox;
    ScriptedPrompts prompts;
    StartWindow start;
    TableWindow tables{start, start};
    QDir data{sandbox.dataFolder()};

    Exporting()
    {
        start.setTableStep(&tables);
        xbasewriter::TableSpec customer;
        customer.fields = {{"CUST_ID", 'C', 6}, {"NAME", 'C', 40}};
        xbasewriter::writeTable(data.filePath(QStringLiteral("customer.dbf")), customer);
        xbasewriter::TableSpec items;
        items.fields = {{"LINE", 'I', 4}, {"QTY", 'N', 8, 2}};
        xbasewriter::writeTable(data.filePath(QStringLiteral("order items.dbf")), items);
        xbasewriter::TableSpec notes;
        notes.fields = {{"BODY", 'M', 4}};
        xbasewriter::writeTable(data.filePath(QStringLiteral("notes.dbf")), notes);
        widget<QLineEdit>(start, "Text2")->setText(data.path());
        widget<QPushButton>(start, "PushButton3")->click();
    }

    QString report(const QString &name = QStringLiteral("report.txt")) const
    {
        return QDir(sandbox.programFolder()).filePath(name);
    }

    void selectOnly(const QList<int> &rows)
    {
        widget<QPushButton>(tables, "PushButton9")->click();
        for (int row : rows)
            widget<QListWidget>(tables, "List1")->item(row)->setSelected(true);
    }
};

const QString textEntry = QStringLiteral("Text Files (*.txt)");
const QString jsonEntry = QStringLiteral("JSON Data Dictionary (*.json)");
const QString markdownEntry = QStringLiteral("Markdown Data Dictionary (*.md)");
const QString htmlEntry = QStringLiteral("HTML Data Dictionary (*.html)");
const QString postgresEntry = QStringLiteral("PostgreSQL Schema (*.sql)");
const QString sqliteEntry = QStringLiteral("SQLite Schema (*.sql)");
const QString dotEntry = QStringLiteral("Graphviz Diagram (*.dot)");
const QString svgEntry = QStringLiteral("SVG Diagram (*.svg)");
const QString databaseEntry = QStringLiteral("SQLite database with the data (*.sqlite)");

// The rows of a table of an SQLite database, or -1.
qint64 rowsIn(const QString &database, const QString &table)
{
    sqlite3 *db = nullptr;
    qint64 rows = -1;
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *count = nullptr;
        const QByteArray sql = "SELECT count(*) FROM \"" + table.toUtf8() + '"';
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &count, nullptr) == SQLITE_OK && sqlite3_step(count) == SQLITE_ROW)
            rows = sqlite3_column_int64(count, 0);
        sqlite3_finalize(count);
    }
    sqlite3_close(db);
    return rows;
}

// 5,000 customers, each record "A<number>" and a name, in the folder's customer table.
void writeCustomers(const QDir &folder)
{
    xbasewriter::TableSpec customer;
    customer.fields = {{"CUST_ID", 'C', 6}, {"NAME", 'C', 40}};
    QList<QByteArray> records;
    for (int i = 0; i < 5000; ++i)
        records << ' ' + QByteArray::number(i).leftJustified(6) + QByteArray("Customer ").leftJustified(40);
    xbasewriter::writeFile(folder.filePath(QStringLiteral("customer.dbf")), xbasewriter::tableBytes(customer, records));
}

// While it lives, files this process writes stop growing at `bytes`, and a write
// past that fails instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limited{bytes, m_old.rlim_max};
        m_set = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool isSet() const { return m_set; }

private:
    rlimit m_old {};
    void (*m_signal)(int) = nullptr;
    bool m_set = false;
};

// The report of the selected tables, written from the layout rules.
QByteArray expectedReport(const QString &folder, const QStringList &tables)
{
    QByteArray text = " Printing From " + folder.toUtf8() + "\r\n\r\nPrinting Table Structures:\r\n";
    for (int i = 0; i < tables.size(); ++i)
        text += QByteArray::number(i + 1) + ") " + tables[i].toUtf8() + "\r\n";
    text += "\r\n\r\n";
    const QByteArray heads = "Field Name                DataType     Description\r\n"
                             "__________                ________     ___________\r\n";
    for (const QString &table : tables) {
        if (table == QLatin1String("customer"))
            text += "Table Name : customer    Total Fields : 2\r\n\r\n" + heads
                + " cust_id                Character[6] \r\n"
                  " name                   Character[40] \r\n\r\n\r\n";
        else if (table == QLatin1String("notes"))
            text += "Table Name : notes    Total Fields : 1\r\n\r\n" + heads
                + " body                   Memo         \r\n\r\n\r\n";
        else
            text += "Table Name : order items    Total Fields : 2\r\n\r\n" + heads
                + " line                   Integer      \r\n"
                  " qty                    Numeric      \r\n\r\n\r\n";
    }
    return text + "\r\n";
}

} // namespace

class TableWindowTest : public QObject {
    Q_OBJECT
private slots:
    void loadListsAndSelectsTheFirstTable();
    void selectAllAndDeselectAllKeepTheCurrentItem();
    void failingListKeepsThePreviousTables();
    void pointerOverButtonsListAndFrame();
    void noCurrentItem();
    void cancelledDialogDoesNothing();
    void exportWritesTheSelectedTablesInListOrder();
    void existingFileAnsweredNoIsUntouched();
    void agreedReplacementKeepsTheOldFileUntilTheReportTakesItsPlace_data();
    void agreedReplacementKeepsTheOldFileUntilTheReportTakesItsPlace();
    void hiddenFileCountsAsExisting();
    void nothingSelectedKeepsTheFileTheUserAgreedToReplace();
    void unwritableReportEndsWithoutDone();
    void sourceFileIsNeverTheReport_data();
    void sourceFileIsNeverTheReport();
    void missingTableIsReportedAndTheRestWritten();
    void unreachableSourceEndsWithoutDone();
    void commandsWaitWhileAnExportRuns();
    void lockedWhileTheOverwriteQuestionIsShown();
    void commandLineToolWritesTheSameBytes();
    void sampleDatabaseReport();
    void reportDialogOpensInTheSourceFolderThenWhereTheLastReportWent_data();
    void reportDialogOpensInTheSourceFolderThenWhereTheLastReportWent();
    void textEntryWritesTheTextReport();
    void eachDictionaryEntryWritesItsFormat_data();
    void eachDictionaryEntryWritesItsFormat();
    void dictionaryAsksAndTellsLikeTheReport();
    void dictionaryNeverReplacesASourceFile_data();
    void dictionaryNeverReplacesASourceFile();
    void failingDictionaryOutputLeavesTheOldFile_data();
    void failingDictionaryOutputLeavesTheOldFile();
    void unreadableSourceEndsTheDictionaryWithoutDone();
    void unreadableTableIsAFailureInTheWindowAndTheCommand();
    void databaseEntryLoadsEveryRowAndEndsWithTheSummary();
    void cancelledLoadLeavesNothing();
};

void TableWindowTest::databaseEntryLoadsEveryRowAndEndsWithTheSummary()
{
    Exporting e;
    writeCustomers(e.data);
    e.selectOnly({2, 0});
    const QString path = e.report(QStringLiteral("shop.sqlite"));
    e.prompts.answerFile(path, databaseEntry);
    e.prompts.expectProgress(QStringLiteral("Loading the data"));
    e.prompts.expectMessage(QStringLiteral("Loaded into %1: 5000 rows of 2 tables.\r\n\r\n"
                                           "customer: 5000 read, 5000 loaded, 0 deleted left out, 0 findings\r\n"
                                           "order items: 0 read, 0 loaded, 0 deleted left out, 0 findings")
                                .arg(path));
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    // Customer records are 47 bytes, order items hold none.
    QCOMPARE(e.prompts.progressUpdates, (QStringList{QStringLiteral("customer: 4096 rows @ 819"),
                                                     QStringLiteral("customer: 5000 rows @ 1000"),
                                                     QStringLiteral("order items: 0 rows @ 1000")}));
    QCOMPARE(rowsIn(path, QStringLiteral("customer")), qint64(5000));
    QCOMPARE(rowsIn(path, QStringLiteral("order items")), qint64(0));
    QVERIFY(widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

// Cancel in the progress dialog: no database, no file beside it, and the
// file the user agreed to replace still there.
void TableWindowTest::cancelledLoadLeavesNothing()
{
    Exporting e;
    writeCustomers(e.data);
    const QString path = e.report(QStringLiteral("shop.sqlite"));
    writeText(path, "keep me");
    const QStringList before = entries(QFileInfo(path).absolutePath());
    e.prompts.answerFile(path, databaseEntry);
    e.prompts.expectQuestion(overwrite(path), true);
    e.prompts.expectProgress(QStringLiteral("Loading the data"), 1);
    e.prompts.expectMessage(QStringLiteral("Cancelled: nothing was written."));
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(e.prompts.progressUpdates, QStringList{QStringLiteral("customer: 4096 rows @ 819")});
    QCOMPARE(readAll(path), QByteArray("keep me"));
    QCOMPARE(entries(QFileInfo(path).absolutePath()), before);
}

void TableWindowTest::loadListsAndSelectsTheFirstTable()
{
    Exporting e;
    QVERIFY(e.tables.isVisible());
    QCOMPARE(e.tables.windowTitle(), QStringLiteral("Orvalle"));
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->count(), 3);
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->item(0)->text(), QStringLiteral("customer"));
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->item(1)->text(), QStringLiteral("notes"));
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->item(2)->text(), QStringLiteral("order items"));
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->selectedItems().size(), 1);
    QVERIFY(widget<QListWidget>(e.tables, "List1")->item(0)->isSelected());
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->currentRow(), 0);
}

void TableWindowTest::selectAllAndDeselectAllKeepTheCurrentItem()
{
    Exporting e;
    widget<QListWidget>(e.tables, "List1")->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    widget<QPushButton>(e.tables, "PushButton8")->click();
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->selectedItems().size(), 3);
    widget<QPushButton>(e.tables, "PushButton9")->click();
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->selectedItems().size(), 0);
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->currentRow(), 2);
}

void TableWindowTest::failingListKeepsThePreviousTables()
{
    Exporting e;
    FakeFactory factory(FakeFactory::Reader);
    factory.failConnectionCreation = true;
    e.prompts.expectMessage(QStringLiteral("429 Class not registered"));
    e.tables.load();
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->count(), 3);
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->item(2)->text(), QStringLiteral("order items"));
    QVERIFY(widget<QListWidget>(e.tables, "List1")->item(0)->isSelected());
}

void TableWindowTest::pointerOverButtonsListAndFrame()
{
    Exporting e;
    app::WindowPointer *pointer = e.tables.pointer();
    moveOver(widget<QPushButton>(e.tables, "PushButton5"));
    QCOMPARE(pointer->code(), app::PointerCustom);
    moveOver(widget<QListWidget>(e.tables, "List1")->viewport());
    QCOMPARE(pointer->code(), app::PointerDefault);
    moveOver(widget<QPushButton>(e.tables, "PushButton8"));
    moveOver(widget<QGroupBox>(e.tables, "Frame1"));
    QCOMPARE(pointer->code(), app::PointerDefault);
    QCOMPARE(e.tables.cursor().shape(), Qt::ArrowCursor);
    pointer->setCode(app::PointerHourglass);
    moveOver(widget<QPushButton>(e.tables, "PushButton2"));
    moveOver(&e.tables);
    QCOMPARE(e.tables.cursor().shape(), Qt::WaitCursor);
}

void TableWindowTest::noCurrentItem()
{
    Exporting e;
    widget<QListWidget>(e.tables, "List1")->setCurrentRow(-1);
    e.prompts.expectMessage(QStringLiteral("Please select a table"));
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.calls, (QList<PromptCall>{{QStringLiteral("message"), QStringLiteral("Orvalle"),
                                                  QStringLiteral("Please select a table"), QString(), &e.tables}}));
}

void TableWindowTest::cancelledDialogDoesNothing()
{
    Exporting e;
    e.prompts.answerFile(QString());
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.calls.size(), 1);
    QCOMPARE(e.prompts.calls[0], (PromptCall{QStringLiteral("openFile"), QStringLiteral("Select The Text File"),
                                             reportFilter, e.data.path(), &e.tables}));
    QCOMPARE(e.prompts.unsettled(), QString());
}

void TableWindowTest::exportWritesTheSelectedTablesInListOrder()
{
    Exporting e;
    e.selectOnly({2, 0});
    const QString path = e.report(QStringLiteral("structure")); // used as typed: no suffix added
    e.prompts.answerFile(path);
    e.prompts.expectMessage(done);
    int busyDuringExport = -1;
    FakeFactory factory(FakeFactory::Reader);
    factory.beforeOpen = [&](const QString &) { busyDuringExport = e.tables.pointer()->code(); };
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer"), QStringLiteral("order items")}));
    QCOMPARE(busyDuringExport, app::PointerHourglass);
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
    QVERIFY(widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

void TableWindowTest::existingFileAnsweredNoIsUntouched()
{
    Exporting e;
    const QString path = e.report();
    writeText(path, "keep me");
    e.prompts.answerFile(path);
    e.prompts.expectQuestion(overwrite(path), false);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.calls.constLast().caption, QStringLiteral("Orvalle"));
    QCOMPARE(readAll(path), QByteArray("keep me"));
    QVERIFY(!e.tables.isExporting() && widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

void TableWindowTest::agreedReplacementKeepsTheOldFileUntilTheReportTakesItsPlace_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("exportFails");
    QTest::newRow("written") << false << false;
    QTest::newRow("read-only, written") << true << false;
    QTest::newRow("export fails") << false << true;
    QTest::newRow("read-only, export fails") << true << true;
}

void TableWindowTest::agreedReplacementKeepsTheOldFileUntilTheReportTakesItsPlace()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, exportFails);
    Exporting e;
    const QString path = e.report();
    const QByteArray old("old report that is longer than nothing");
    writeText(path, old);
    if (readOnly)
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    const int permissions = mode(path);
    // A second name for the old file shows whether it was replaced or emptied in place.
    const QString keeper = e.report(QStringLiteral("keeper"));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(keeper).constData()), 0);
    FakeFactory factory(FakeFactory::Reader);
    factory.failConnectionOpen = exportFails;
    QByteArray whileWriting;
    factory.beforeOpen = [&](const QString &) { whileWriting = readAll(path); };
    e.prompts.answerFile(path);
    e.prompts.expectQuestion(overwrite(path), true);
    if (exportFails)
        e.prompts.expectError(QStringLiteral("Form2.generateStructure"), 146, FakeFactory::openFailure);
    else
        e.prompts.expectMessage(done);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(keeper), old);
    if (exportFails) {
        QVERIFY(sameFile(path, keeper));
        QCOMPARE(readAll(path), old);
        QCOMPARE(mode(path), permissions);
    } else {
        QCOMPARE(whileWriting, old); // still there while the tables are read
        QVERIFY(!sameFile(path, keeper));
        QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer")}));
    }
    // No temporary file is left beside it.
    QCOMPARE(entries(e.sandbox.programFolder()), (QStringList{QStringLiteral("keeper"), QStringLiteral("report.txt")}));
    QVERIFY(!e.tables.isExporting() && widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

void TableWindowTest::hiddenFileCountsAsExisting()
{
    Exporting e;
    const QString path = e.report(QStringLiteral(".hidden.txt"));
    writeText(path, "hidden");
    e.prompts.answerFile(path);
    e.prompts.expectQuestion(overwrite(path), false);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(readAll(path), QByteArray("hidden"));
}

void TableWindowTest::nothingSelectedKeepsTheFileTheUserAgreedToReplace()
{
    Exporting e;
    widget<QPushButton>(e.tables, "PushButton9")->click();
    const QString path = e.report();
    writeText(path, "previous");
    e.prompts.answerFile(path);
    e.prompts.expectQuestion(overwrite(path), true);
    e.prompts.expectMessage(selectTable);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(path), QByteArray("previous"));

    // With no file there, none is created.
    const QString fresh = e.report(QStringLiteral("fresh.txt"));
    e.prompts.answerFile(fresh);
    e.prompts.expectMessage(selectTable);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QVERIFY(!QFile::exists(fresh));
    QCOMPARE(entries(e.sandbox.programFolder()), QStringList{QStringLiteral("report.txt")});
}

void TableWindowTest::unwritableReportEndsWithoutDone()
{
    Exporting e;
    const QString path = e.report(QStringLiteral("no such folder/report.txt"));
    e.prompts.answerFile(path);
    e.prompts.expectError(QStringLiteral("Form2.generateStructure"), 120, path);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
}

void TableWindowTest::sourceFileIsNeverTheReport_data()
{
    QTest::addColumn<QString>("table"); // the one selected
    QTest::addColumn<QString>("file");  // its file in the data folder
    QTest::addColumn<QString>("reach"); // how the chosen report path leads to it
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("the table") << "customer" << "customer.dbf" << "itself" << false;
    QTest::newRow("the read-only table") << "customer" << "customer.dbf" << "itself" << true;
    QTest::newRow("the memo file") << "notes" << "notes.fpt" << "itself" << false;
    QTest::newRow("the memo file, other case") << "notes" << "NOTES.FPT" << "itself" << false;
    QTest::newRow("a symbolic link to the table") << "order items" << "order items.dbf" << "symbolic link" << false;
    QTest::newRow("a symbolic link to the memo file") << "notes" << "notes.fpt" << "symbolic link" << true;
    QTest::newRow("a hard link to the table") << "customer" << "customer.dbf" << "hard link" << false;
}

void TableWindowTest::sourceFileIsNeverTheReport()
{
    QFETCH(QString, table);
    QFETCH(QString, file);
    QFETCH(QString, reach);
    QFETCH(bool, readOnly);
    Exporting e;
    const QString source = e.data.filePath(file);
    if (!QFile::exists(source))
        writeText(source, QByteArray("\0\0\0\x08\0\0\0\x40memo blocks", 19)); // the reader never opens it
    if (readOnly)
        QCOMPARE(::chmod(QFile::encodeName(source).constData(), 0444), 0);
    const QByteArray bytes = readAll(source);
    QVERIFY(!bytes.isEmpty());
    const int permissions = mode(source);
    const QStringList dataFiles = entries(e.data.path());
    QString path = source;
    if (reach == QLatin1String("symbolic link")) {
        path = e.report();
        QVERIFY(QFile::link(source, path));
    } else if (reach == QLatin1String("hard link")) {
        path = e.report();
        QCOMPARE(::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData()), 0);
    }
    const QList<QListWidgetItem *> found = widget<QListWidget>(e.tables, "List1")->findItems(table, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    e.selectOnly({widget<QListWidget>(e.tables, "List1")->row(found[0])});

    // The user agrees to replace it; the report is refused all the same.
    e.prompts.answerFile(path);
    e.prompts.expectQuestion(overwrite(path), true);
    e.prompts.expectError(QStringLiteral("Form2.generateStructure"), 120, QStringLiteral("data source's file"));
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(source), bytes);
    QCOMPARE(mode(source), permissions);
    QCOMPARE(entries(e.data.path()), dataFiles);
    if (reach == QLatin1String("symbolic link")) {
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(QFileInfo(path).symLinkTarget(), source);
    } else {
        QVERIFY(sameFile(path, source));
    }
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
    QVERIFY(!e.tables.isExporting() && widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

void TableWindowTest::missingTableIsReportedAndTheRestWritten()
{
    Exporting e;
    widget<QPushButton>(e.tables, "PushButton8")->click();
    QVERIFY(QFile::remove(e.data.filePath(QStringLiteral("notes.dbf"))));
    const QString path = e.report();
    e.prompts.answerFile(path);
    e.prompts.expectError(QStringLiteral("Form2.generateStructure"), 158, QStringLiteral("notes.dbf"));
    e.prompts.expectMessage(done);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    const QByteArray report = readAll(path);
    QVERIFY(report.contains("3) order items\r\n"));
    QVERIFY(report.contains("Table Name : customer    Total Fields : 2\r\n"));
    QVERIFY(report.contains("Table Name : order items    Total Fields : 2\r\n"));
}

void TableWindowTest::unreachableSourceEndsWithoutDone()
{
    Exporting e;
    // The container vanished after the list was made.
    e.start.setContainerMode(true);
    e.start.setContainerPath(e.data.filePath(QStringLiteral("gone.dbc")));
    e.prompts.answerFile(e.report());
    e.prompts.expectError(QStringLiteral("Form2.generateStructure"), 144, QStringLiteral("gone.dbc"));
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QVERIFY(!QFile::exists(e.report()));
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
    QVERIFY(widget<QPushButton>(e.tables, "PushButton5")->isEnabled() && widget<QListWidget>(e.tables, "List1")->isEnabled());
    QVERIFY(!e.tables.isExporting());
}

void TableWindowTest::commandsWaitWhileAnExportRuns()
{
    Exporting e;
    widget<QPushButton>(e.tables, "PushButton8")->click();
    const QString path = e.report();
    e.prompts.answerFile(path);
    e.prompts.expectMessage(done);
    FakeFactory factory(FakeFactory::Reader);
    bool tried = false;
    factory.beforeOpen = [&](const QString &) {
        if (tried)
            return;
        tried = true;
        QVERIFY(e.tables.isExporting());
        widget<QPushButton>(e.tables, "PushButton9")->click(); // Deselect All
        e.tables.onExportClicked();  // a second export, even when asked directly
        widget<QPushButton>(e.tables, "PushButton2")->click(); // < Back
        QTest::mouseClick(widget<QListWidget>(e.tables, "List1")->viewport(), Qt::LeftButton, Qt::NoModifier,
                          widget<QListWidget>(e.tables, "List1")->visualItemRect(widget<QListWidget>(e.tables, "List1")->item(1)).center());
        e.tables.close();
    };
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QVERIFY(tried);
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->selectedItems().size(), 3);
    QVERIFY(e.tables.isVisible());
    QCOMPARE(Sandbox::endCalls, 0);
    QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer"), QStringLiteral("notes"),
                                                           QStringLiteral("order items")}));
}

void TableWindowTest::lockedWhileTheOverwriteQuestionIsShown()
{
    Exporting e;
    widget<QPushButton>(e.tables, "PushButton8")->click();
    const QString path = e.report();
    writeText(path, "old");
    bool queuedCallRan = false;
    e.prompts.answerFile(path);
    e.prompts.expectQuestion(overwrite(path), true, [&] {
        QVERIFY(e.tables.isExporting());
        const QList<QWidget *> commands{widget<QPushButton>(e.tables, "PushButton5"), widget<QListWidget>(e.tables, "List1"), widget<QPushButton>(e.tables, "PushButton2"),
                                        widget<QPushButton>(e.tables, "PushButton8"), widget<QPushButton>(e.tables, "PushButton9")};
        for (QWidget *command : commands)
            QVERIFY(!command->isEnabled());
        // What the question's own event loop lets run: another "Start Exporting",
        // "< Back", a click in the list, the export asked for directly, closing.
        postClick(widget<QPushButton>(e.tables, "PushButton5"));
        postClick(widget<QPushButton>(e.tables, "PushButton2"));
        postClick(widget<QListWidget>(e.tables, "List1")->viewport(), widget<QListWidget>(e.tables, "List1")->visualItemRect(widget<QListWidget>(e.tables, "List1")->item(1)).center());
        QMetaObject::invokeMethod(
            &e.tables,
            [&] {
                queuedCallRan = true;
                e.tables.onExportClicked();
            },
            Qt::QueuedConnection);
        QCoreApplication::processEvents();
        e.tables.close();
    });
    e.prompts.expectMessage(done);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QVERIFY(queuedCallRan);
    QCOMPARE(e.prompts.texts(QStringLiteral("openFile")).size(), 1);
    QCOMPARE(e.prompts.texts(QStringLiteral("message")), QStringList{done});
    QVERIFY(e.tables.isVisible());
    QCOMPARE(Sandbox::endCalls, 0);
    QCOMPARE(widget<QListWidget>(e.tables, "List1")->selectedItems().size(), 3);
    QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer"), QStringLiteral("notes"),
                                                           QStringLiteral("order items")}));
    QVERIFY(!e.tables.isExporting());
    QVERIFY(widget<QPushButton>(e.tables, "PushButton5")->isEnabled() && widget<QListWidget>(e.tables, "List1")->isEnabled() && widget<QPushButton>(e.tables, "PushButton2")->isEnabled());
}

void TableWindowTest::commandLineToolWritesTheSameBytes()
{
    Exporting e;
    e.selectOnly({0, 2});
    const QString path = e.report();
    e.prompts.answerFile(path);
    e.prompts.expectMessage(done);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QProcess tool;
    tool.start(QStringLiteral(ORVALLE_REPORT_EXE),
               {e.data.path(), QStringLiteral("customer"), QStringLiteral("order items")});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(tool.readAllStandardOutput(), readAll(path));
}

void TableWindowTest::sampleDatabaseReport()
{
    const QString assets = QStringLiteral(ORVALLE_ASSETS_DIR);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    app::setProgramFolder(assets);
    StartWindow start;
    TableWindow tables(start, start);
    start.setTableStep(&tables);
    widget<QPushButton>(start, "PushButton1")->click();
    widget<QPushButton>(start, "PushButton3")->click();
    QVERIFY(tables.isVisible());
    QStringList names;
    for (int i = 0; i < widget<QListWidget>(tables, "List1")->count(); ++i)
        names << widget<QListWidget>(tables, "List1")->item(i)->text();
    QVERIFY(names.contains(QStringLiteral("products")));
    QVERIFY(names.contains(QStringLiteral("customers")));
    widget<QPushButton>(tables, "PushButton9")->click();
    widget<QListWidget>(tables, "List1")->item(names.indexOf(QStringLiteral("products")))->setSelected(true);
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("products.txt"));
    prompts.answerFile(path);
    prompts.expectMessage(done);
    widget<QPushButton>(tables, "PushButton5")->click();
    QCOMPARE(readAll(path), goldenFile(QStringLiteral(ORVALLE_GOLDEN_DIR "/products_report.txt"),
                                       {{QStringLiteral("SAMPLES"), widget<QLineEdit>(start, "Text2")->text()}}));
}

void TableWindowTest::reportDialogOpensInTheSourceFolderThenWhereTheLastReportWent_data()
{
    QTest::addColumn<bool>("container");
    QTest::newRow("folder") << false;
    QTest::newRow("container") << true;
}

void TableWindowTest::reportDialogOpensInTheSourceFolderThenWhereTheLastReportWent()
{
    QFETCH(bool, container);
    Exporting e;
    QString sourceFolder = e.data.path();
    if (container) {
        // shop/shop.dbc holding the folder's customer table.
        QVERIFY(e.data.mkdir(QStringLiteral("shop")));
        sourceFolder = e.data.filePath(QStringLiteral("shop"));
        xbasewriter::TableSpec customer;
        customer.fields = {{"CUST_ID", 'C', 6}, {"NAME", 'C', 40}};
        customer.backlink = "shop.dbc";
        xbasewriter::writeTable(sourceFolder + QStringLiteral("/customer.dbf"), customer);
        xbasewriter::ContainerTable table;
        table.name = QStringLiteral("customer");
        table.path = QStringLiteral("customer.dbf");
        for (const char *field : {"cust_id", "name"}) {
            xbasewriter::ContainerField named;
            named.name = QLatin1String(field);
            table.fields << named;
        }
        xbasewriter::ContainerSpec shop;
        shop.tables << table;
        xbasewriter::writeContainer(sourceFolder + QStringLiteral("/shop.dbc"), shop);
        e.start.setContainerMode(true);
        e.start.setContainerPath(sourceFolder + QStringLiteral("/shop.dbc"));
        e.tables.load();
        QCOMPARE(widget<QListWidget>(e.tables, "List1")->count(), 1);
    }
    const QString elsewhere = e.sandbox.programFolder();
    e.prompts.answerFile(QString()); // cancelled: nothing was saved yet
    e.prompts.answerFile(elsewhere + QStringLiteral("/no such folder/report.txt"));
    e.prompts.expectError(QStringLiteral("Form2.generateStructure"), 120, QStringLiteral("no such folder"));
    e.prompts.answerFile(elsewhere + QStringLiteral("/report.txt"));
    e.prompts.expectMessage(done);
    e.prompts.answerFile(QString());
    for (int i = 0; i < 4; ++i)
        widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QStringList opened;
    for (const PromptCall &call : std::as_const(e.prompts.calls)) {
        if (call.kind == QLatin1String("openFile")) {
            opened << call.startFolder;
            QCOMPARE(call.owner, &e.tables);
        }
    }
    // Neither a cancelled dialog nor a report that could not be written moves it.
    QCOMPARE(opened, (QStringList{sourceFolder, sourceFolder, sourceFolder, elsewhere}));
}

void TableWindowTest::textEntryWritesTheTextReport()
{
    Exporting e;
    e.selectOnly({0, 1});
    const QString path = e.report(QStringLiteral("structure.json")); // the entry decides, not the name
    e.prompts.answerFile(path, textEntry);
    e.prompts.expectMessage(done);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer"), QStringLiteral("notes")}));
}

void TableWindowTest::eachDictionaryEntryWritesItsFormat_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("JSON") << jsonEntry;
    QTest::newRow("Markdown") << markdownEntry;
    QTest::newRow("HTML") << htmlEntry;
    QTest::newRow("PostgreSQL") << postgresEntry;
    QTest::newRow("SQLite") << sqliteEntry;
    QTest::newRow("Graphviz") << dotEntry;
    QTest::newRow("SVG") << svgEntry;
}

// The selected tables, in list order, and only those.
void TableWindowTest::eachDictionaryEntryWritesItsFormat()
{
    QFETCH(QString, entry);
    Exporting e;
    e.selectOnly({2, 0});
    const QString path = e.report(QStringLiteral("dictionary")); // used as typed: no suffix added
    e.prompts.answerFile(path, entry);
    e.prompts.expectMessage(done);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(entries(e.sandbox.programFolder()), QStringList{QStringLiteral("dictionary")});
    const QByteArray document = readAll(path);
    const QString text = QString::fromUtf8(document);
    const QString customer = QStringLiteral("customer");
    const QString items = QStringLiteral("order items");
    if (entry == jsonEntry) {
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(document, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json.value(QStringLiteral("format")).toString(), QStringLiteral("orvalle-dictionary"));
        QCOMPARE(json.value(QStringLiteral("version")).toInt(), 1);
        const QJsonObject source = json.value(QStringLiteral("source")).toObject();
        QCOMPARE(source.value(QStringLiteral("kind")).toString(), QStringLiteral("folder"));
        QCOMPARE(source.value(QStringLiteral("path")).toString(), e.data.path());
        const QJsonArray tables = json.value(QStringLiteral("tables")).toArray();
        QCOMPARE(tables.size(), 2);
        QCOMPARE(tables[0].toObject().value(QStringLiteral("name")).toString(), customer);
        QCOMPARE(tables[1].toObject().value(QStringLiteral("name")).toString(), items);
        QStringList fields;
        for (const QJsonValue field : tables[1].toObject().value(QStringLiteral("fields")).toArray())
            fields << field.toObject().value(QStringLiteral("name")).toString();
        QCOMPARE(fields, (QStringList{QStringLiteral("line"), QStringLiteral("qty")}));
    } else if (entry == markdownEntry) {
        QVERIFY(text.startsWith(QStringLiteral("# Data dictionary\n")));
        QVERIFY(text.indexOf(customer) < text.indexOf(items));
    } else if (entry == htmlEntry) {
        QVERIFY(text.startsWith(QStringLiteral("<!DOCTYPE html>")));
        QXmlStreamReader xml(document); // written so that an XML parser reads it
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(text.indexOf(customer) > 0 && text.indexOf(customer) < text.indexOf(items));
    } else if (entry == dotEntry || entry == svgEntry) {
        // A box for each table chosen, named in its tooltip.
        QVERIFY(text.startsWith(entry == dotEntry ? QStringLiteral("digraph ") : QStringLiteral("<?xml")));
        QCOMPARE(text.count(QStringLiteral("tooltip=\"customer\"")) + text.count(QStringLiteral("xlink:title=\"customer\"")), 1);
        QCOMPARE(text.count(QStringLiteral("tooltip=\"order items\"")) + text.count(QStringLiteral("xlink:title=\"order items\"")), 1);
        QVERIFY(!text.contains(QStringLiteral("\"notes\"")));
    } else {
        const bool postgres = entry == postgresEntry;
        QVERIFY(text.startsWith(QStringLiteral("-- Orvalle: %1 schema of the FoxPro tables in ")
                                    .arg(postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"))));
        QCOMPARE(text.contains(QStringLiteral("client_encoding")), postgres);
        const qsizetype first = text.indexOf(QStringLiteral("CREATE TABLE \"customer\""));
        QVERIFY(first > 0);
        QVERIFY(text.indexOf(QStringLiteral("CREATE TABLE \"order items\"")) > first);
        QVERIFY(!text.contains(QStringLiteral("\"notes\"")));
    }

    // Asked again for the same name: the same question, the file untouched on No.
    e.prompts.answerFile(path, entry);
    e.prompts.expectQuestion(overwrite(path), false);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(path), document);
}

// Nothing selected, or a file there already: the same message and question
// as the text report, and "Done." only once it is written.
void TableWindowTest::dictionaryAsksAndTellsLikeTheReport()
{
    Exporting e;
    widget<QPushButton>(e.tables, "PushButton9")->click();
    const QString path = e.report(QStringLiteral("schema.sql"));
    writeText(path, "previous");
    e.prompts.answerFile(path, sqliteEntry);
    e.prompts.expectQuestion(overwrite(path), true);
    e.prompts.expectMessage(selectTable);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(path), QByteArray("previous"));

    e.selectOnly({1});
    const QString keeper = e.report(QStringLiteral("keeper"));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(keeper).constData()), 0);
    QString whileDone;
    e.prompts.answerFile(path, sqliteEntry);
    e.prompts.expectQuestion(overwrite(path), true);
    e.prompts.expectMessage(done, [&] { whileDone = QString::fromUtf8(readAll(path)); });
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QVERIFY(whileDone.contains(QStringLiteral("CREATE TABLE \"notes\""))); // in place before "Done."
    QCOMPARE(readAll(keeper), QByteArray("previous"));                      // replaced, not written over
    QCOMPARE(entries(e.sandbox.programFolder()), (QStringList{QStringLiteral("keeper"), QStringLiteral("schema.sql")}));
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
    QVERIFY(!e.tables.isExporting() && widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

void TableWindowTest::dictionaryNeverReplacesASourceFile_data()
{
    QTest::addColumn<QString>("table"); // the one selected
    QTest::addColumn<QString>("file");  // its file in the data folder
    QTest::addColumn<bool>("symbolicLink");
    QTest::newRow("the table") << "customer" << "customer.dbf" << false;
    QTest::newRow("the memo file") << "notes" << "notes.fpt" << false;
    QTest::newRow("a symbolic link to the table") << "order items" << "order items.dbf" << true;
}

void TableWindowTest::dictionaryNeverReplacesASourceFile()
{
    QFETCH(QString, table);
    QFETCH(QString, file);
    QFETCH(bool, symbolicLink);
    Exporting e;
    const QString source = e.data.filePath(file);
    if (!QFile::exists(source))
        writeText(source, QByteArray("\0\0\0\x08\0\0\0\x40memo blocks", 19));
    const QByteArray bytes = readAll(source);
    const QStringList dataFiles = entries(e.data.path());
    QString path = source;
    if (symbolicLink) {
        path = e.report(QStringLiteral("dictionary.json"));
        QVERIFY(QFile::link(source, path));
    }
    const QList<QListWidgetItem *> found = widget<QListWidget>(e.tables, "List1")->findItems(table, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    e.selectOnly({widget<QListWidget>(e.tables, "List1")->row(found[0])});
    e.prompts.answerFile(path, jsonEntry);
    e.prompts.expectQuestion(overwrite(path), true);
    e.prompts.expectError(QStringLiteral("Form2.generateDictionary"), 100, QStringLiteral("data source's file"));
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(source), bytes);
    QCOMPARE(entries(e.data.path()), dataFiles);
    if (symbolicLink)
        QCOMPARE(QFileInfo(path).symLinkTarget(), source);
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
    QVERIFY(!e.tables.isExporting() && widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

void TableWindowTest::failingDictionaryOutputLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("file");
    // The HTML page is handed to the file whole, the JSON document as the
    // writer goes: a failed write is the writing step's either way.
    QTest::newRow("HTML") << htmlEntry << QStringLiteral("dictionary.html");
    QTest::newRow("JSON") << jsonEntry << QStringLiteral("dictionary.json");
}

void TableWindowTest::failingDictionaryOutputLeavesTheOldFile()
{
    QFETCH(QString, entry);
    QFETCH(QString, file);
    Exporting e;
    widget<QPushButton>(e.tables, "PushButton8")->click();
    const QString path = e.report(file);
    const QByteArray old("the last dictionary, longer than what may be written now");
    writeText(path, old);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    e.prompts.answerFile(path, entry);
    e.prompts.expectQuestion(overwrite(path), true);
    // The document's first bytes are written, the rest refused.
    e.prompts.expectError(QStringLiteral("Form2.generateDictionary"), 104, QStringLiteral("Cannot write the report file"));
    {
        const FileSizeLimit limit(16);
        QVERIFY(limit.isSet());
        widget<QPushButton>(e.tables, "PushButton5")->click();
    }
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(readAll(path), old);
    QCOMPARE(mode(path), 0444);
    QCOMPARE(entries(e.sandbox.programFolder()), QStringList{file});
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
    QVERIFY(!e.tables.isExporting() && widget<QPushButton>(e.tables, "PushButton5")->isEnabled());
}

void TableWindowTest::unreadableSourceEndsTheDictionaryWithoutDone()
{
    Exporting e;
    // The container vanished after the list was made.
    e.start.setContainerMode(true);
    e.start.setContainerPath(e.data.filePath(QStringLiteral("gone.dbc")));
    const QString path = e.report(QStringLiteral("dictionary.md"));
    e.prompts.answerFile(path, markdownEntry);
    e.prompts.expectError(QStringLiteral("Form2.generateDictionary"), 102, QStringLiteral("gone.dbc"));
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QCOMPARE(entries(e.sandbox.programFolder()), QStringList());
    QCOMPARE(e.tables.pointer()->code(), app::PointerDefault);
    QVERIFY(!e.tables.isExporting() && widget<QListWidget>(e.tables, "List1")->isEnabled());
}

// A selected table that can no longer be read: the window names it in an
// error and says no "Done.", as orvalle-report names it and exits 1; both
// write the rest.
void TableWindowTest::unreadableTableIsAFailureInTheWindowAndTheCommand()
{
    Exporting e;
    writeText(e.data.filePath(QStringLiteral("notes.dbf")), "abcdefg");
    const QString reason = QStringLiteral("notes: 'notes.dbf' is not a table: the file is 7 bytes long, shorter than "
                                          "a header. The table cannot be read and is left out.");
    e.selectOnly({0, 1});
    const QString path = e.report(QStringLiteral("dictionary.json"));
    e.prompts.answerFile(path, jsonEntry);
    e.prompts.expectError(QStringLiteral("Form2.generateDictionary"), 102, reason);
    widget<QPushButton>(e.tables, "PushButton5")->click();
    QCOMPARE(e.prompts.unsettled(), QString());
    QVERIFY(readAll(path).contains("\"name\": \"customer\""));

    QProcess tool;
    tool.start(QStringLiteral(ORVALLE_REPORT_EXE), {QStringLiteral("--format"), QStringLiteral("json"), e.data.path(),
                                                    QStringLiteral("customer"), QStringLiteral("notes")});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.readAllStandardError(), (QStringLiteral("orvalle-report: ") + reason + QLatin1Char('\n')).toUtf8());
    QCOMPARE(tool.exitCode(), 1);
    QCOMPARE(tool.readAllStandardOutput(), readAll(path));
}

QTEST_MAIN(TableWindowTest)
#include "tst_tablewindow.moc"
