// The table window driven offscreen: listing, selection, and the export from
// "Start Exporting" to the report file, with every question and message.

#include "form1.h"
#include "form2.h"
#include "programfolder.h"
#include "scriptedprompts.h"
#include "windowlook.h"
#include "wrappedfactory.h"
#include "xbasewriter.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMouseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <unistd.h>

namespace {

const QString selectTable = QStringLiteral("Select The Table To Print The Structure");

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

// A folder with three free tables, the windows on the table step listing them.
struct Exporting {
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Form1 start;
    Form2 tables{start, start};
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
        start.Text2->setText(data.path());
        start.PushButton3->click();
    }

    QString report(const QString &name = QStringLiteral("report.txt")) const
    {
        return QDir(sandbox.programFolder()).filePath(name);
    }

    void selectOnly(const QList<int> &rows)
    {
        tables.PushButton9->click();
        for (int row : rows)
            tables.List1->item(row)->setSelected(true);
    }
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
    void existingFileAnsweredYesIsReplacedAlsoWhenReadOnly();
    void hiddenFileCountsAsExisting();
    void nothingSelectedKeepsTheFileTheUserAgreedToReplace();
    void unwritableReportEndsWithoutDone();
    void missingTableIsReportedAndTheRestWritten();
    void unreachableSourceEndsWithoutDone();
    void commandsWaitWhileAnExportRuns();
    void commandLineToolWritesTheSameBytes();
    void sampleDatabaseReport();
};

void TableWindowTest::loadListsAndSelectsTheFirstTable()
{
    Exporting e;
    QVERIFY(e.tables.isVisible());
    QCOMPARE(e.tables.windowTitle(), QStringLiteral("Orvalle"));
    QCOMPARE(e.tables.List1->count(), 3);
    QCOMPARE(e.tables.List1->item(0)->text(), QStringLiteral("customer"));
    QCOMPARE(e.tables.List1->item(1)->text(), QStringLiteral("notes"));
    QCOMPARE(e.tables.List1->item(2)->text(), QStringLiteral("order items"));
    QCOMPARE(e.tables.List1->selectedItems().size(), 1);
    QVERIFY(e.tables.List1->item(0)->isSelected());
    QCOMPARE(e.tables.List1->currentRow(), 0);
    QVERIFY(e.prompts.calls.isEmpty());
}

void TableWindowTest::selectAllAndDeselectAllKeepTheCurrentItem()
{
    Exporting e;
    e.tables.List1->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    e.tables.PushButton8->click();
    QCOMPARE(e.tables.List1->selectedItems().size(), 3);
    e.tables.PushButton9->click();
    QCOMPARE(e.tables.List1->selectedItems().size(), 0);
    QCOMPARE(e.tables.List1->currentRow(), 2);
}

void TableWindowTest::failingListKeepsThePreviousTables()
{
    Exporting e;
    WrappedFactory factory;
    factory.failConnectionCreation = true;
    e.tables.Form_Load();
    QCOMPARE(e.prompts.texts(QStringLiteral("message")), QStringList{QStringLiteral("429 Class not registered")});
    QVERIFY(e.prompts.texts(QStringLiteral("error")).isEmpty());
    QCOMPARE(e.tables.List1->count(), 3);
    QCOMPARE(e.tables.List1->item(2)->text(), QStringLiteral("order items"));
    QVERIFY(e.tables.List1->item(0)->isSelected());
}

void TableWindowTest::pointerOverButtonsListAndFrame()
{
    Exporting e;
    Main::WindowPointer *pointer = e.tables.pointer();
    moveOver(e.tables.PushButton5);
    QCOMPARE(pointer->code(), Main::PointerCustom);
    moveOver(e.tables.List1->viewport());
    QCOMPARE(pointer->code(), Main::PointerDefault);
    moveOver(e.tables.PushButton8);
    moveOver(e.tables.Frame1);
    QCOMPARE(pointer->code(), Main::PointerDefault);
    QCOMPARE(e.tables.cursor().shape(), Qt::ArrowCursor);
    pointer->setCode(Main::PointerHourglass);
    moveOver(e.tables.PushButton2);
    moveOver(&e.tables);
    QCOMPARE(e.tables.cursor().shape(), Qt::WaitCursor);
}

void TableWindowTest::noCurrentItem()
{
    Exporting e;
    e.tables.List1->setCurrentRow(-1);
    e.tables.PushButton5->click();
    QCOMPARE(e.prompts.calls.size(), 1);
    QCOMPARE(e.prompts.calls[0],
             (PromptCall{QStringLiteral("message"), QStringLiteral("Orvalle"), QStringLiteral("Please select a table")}));
}

void TableWindowTest::cancelledDialogDoesNothing()
{
    Exporting e;
    e.prompts.answerFile(QString());
    e.tables.PushButton5->click();
    QCOMPARE(e.prompts.calls.size(), 1);
    QCOMPARE(e.prompts.calls[0], (PromptCall{QStringLiteral("openFile"), QStringLiteral("Select The Text File"),
                                             QStringLiteral("Text Files (*.txt)|*.txt")}));
    QVERIFY(e.prompts.settled());
}

void TableWindowTest::exportWritesTheSelectedTablesInListOrder()
{
    Exporting e;
    e.selectOnly({2, 0});
    const QString path = e.report(QStringLiteral("structure")); // used as typed: no suffix added
    e.prompts.answerFile(path);
    int busyDuringExport = -1;
    WrappedFactory factory;
    factory.beforeOpen = [&](const QString &) { busyDuringExport = e.tables.pointer()->code(); };
    e.tables.PushButton5->click();
    QCOMPARE(e.prompts.texts(QStringLiteral("message")), QStringList{QStringLiteral("Done.")});
    QVERIFY(e.prompts.texts(QStringLiteral("error")).isEmpty());
    QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer"), QStringLiteral("order items")}));
    QCOMPARE(busyDuringExport, Main::PointerHourglass);
    QCOMPARE(e.tables.pointer()->code(), Main::PointerDefault);
    QVERIFY(e.tables.PushButton5->isEnabled());
    QVERIFY(e.prompts.settled());
}

void TableWindowTest::existingFileAnsweredNoIsUntouched()
{
    Exporting e;
    const QString path = e.report();
    writeText(path, "keep me");
    e.prompts.answerFile(path);
    e.prompts.answerQuestion(false);
    e.tables.PushButton5->click();
    QCOMPARE(e.prompts.texts(QStringLiteral("question")),
             QStringList{path + QStringLiteral(" Already Exists. Overwrite It?")});
    QCOMPARE(e.prompts.calls.constLast().caption, QStringLiteral("Orvalle"));
    QCOMPARE(readAll(path), QByteArray("keep me"));
    QVERIFY(e.prompts.texts(QStringLiteral("message")).isEmpty());
}

void TableWindowTest::existingFileAnsweredYesIsReplacedAlsoWhenReadOnly()
{
    Exporting e;
    const QString path = e.report();
    writeText(path, "old report that is longer than nothing");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
    // A second name for the old file shows it was deleted, not emptied in place.
    const QString keeper = e.report(QStringLiteral("keeper"));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(keeper).constData()), 0);
    e.prompts.answerFile(path);
    e.prompts.answerQuestion(true);
    e.tables.PushButton5->click();
    QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer")}));
    QCOMPARE(readAll(keeper), QByteArray("old report that is longer than nothing"));
    QCOMPARE(e.prompts.texts(QStringLiteral("message")), QStringList{QStringLiteral("Done.")});
}

void TableWindowTest::hiddenFileCountsAsExisting()
{
    Exporting e;
    const QString path = e.report(QStringLiteral(".hidden.txt"));
    writeText(path, "hidden");
    e.prompts.answerFile(path);
    e.prompts.answerQuestion(false);
    e.tables.PushButton5->click();
    QCOMPARE(e.prompts.texts(QStringLiteral("question")).size(), 1);
    QCOMPARE(readAll(path), QByteArray("hidden"));
}

void TableWindowTest::nothingSelectedKeepsTheFileTheUserAgreedToReplace()
{
    Exporting e;
    e.tables.PushButton9->click();
    const QString path = e.report();
    writeText(path, "previous");
    e.prompts.answerFile(path);
    e.prompts.answerQuestion(true);
    e.tables.PushButton5->click();
    QCOMPARE(e.prompts.texts(QStringLiteral("message")), QStringList{selectTable});
    QCOMPARE(readAll(path), QByteArray("previous"));

    // With no file there, none is created.
    const QString fresh = e.report(QStringLiteral("fresh.txt"));
    e.prompts.answerFile(fresh);
    e.tables.PushButton5->click();
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(e.prompts.settled());
}

void TableWindowTest::unwritableReportEndsWithoutDone()
{
    Exporting e;
    const QString path = e.report(QStringLiteral("no such folder/report.txt"));
    e.prompts.answerFile(path);
    e.tables.PushButton5->click();
    const QStringList errors = e.prompts.texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].contains(QStringLiteral("in Orvallix2021/08/31.Form2.generateStructure at line 120\r\r")));
    QVERIFY(e.prompts.texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(e.tables.pointer()->code(), Main::PointerDefault);
}

void TableWindowTest::missingTableIsReportedAndTheRestWritten()
{
    Exporting e;
    e.tables.PushButton8->click();
    QVERIFY(QFile::remove(e.data.filePath(QStringLiteral("notes.dbf"))));
    const QString path = e.report();
    e.prompts.answerFile(path);
    e.tables.PushButton5->click();
    const QStringList errors = e.prompts.texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].contains(QStringLiteral("notes")));
    QVERIFY(errors[0].contains(QStringLiteral("in Orvallix2021/08/31.Form2.generateStructure at line 158\r\r")));
    QCOMPARE(e.prompts.texts(QStringLiteral("message")), QStringList{QStringLiteral("Done.")});
    const QByteArray report = readAll(path);
    QVERIFY(report.contains("3) order items\r\n"));
    QVERIFY(report.contains("Table Name : customer    Total Fields : 2\r\n"));
    QVERIFY(report.contains("Table Name : order items    Total Fields : 2\r\n"));
}

void TableWindowTest::unreachableSourceEndsWithoutDone()
{
    Exporting e;
    // The container vanished after the list was made.
    e.start.OptionDBC1 = true;
    e.start.DBCPath1 = e.data.filePath(QStringLiteral("gone.dbc"));
    e.prompts.answerFile(e.report());
    e.tables.PushButton5->click();
    const QStringList errors = e.prompts.texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].contains(QStringLiteral("gone.dbc")));
    QVERIFY(errors[0].contains(QStringLiteral("in Orvallix2021/08/31.Form2.generateStructure at line 144\r\r")));
    QVERIFY(e.prompts.texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(e.tables.pointer()->code(), Main::PointerDefault);
    QVERIFY(e.tables.PushButton5->isEnabled() && e.tables.List1->isEnabled());
    QVERIFY(!e.tables.exporting());
}

void TableWindowTest::commandsWaitWhileAnExportRuns()
{
    Exporting e;
    e.tables.PushButton8->click();
    const QString path = e.report();
    e.prompts.answerFile(path);
    WrappedFactory factory;
    bool tried = false;
    factory.beforeOpen = [&](const QString &) {
        if (tried)
            return;
        tried = true;
        QVERIFY(e.tables.exporting());
        e.tables.PushButton9->click(); // Deselect All
        e.tables.PushButton5_Click();  // a second export, even when asked directly
        e.tables.PushButton2->click(); // < Back
        QTest::mouseClick(e.tables.List1->viewport(), Qt::LeftButton, Qt::NoModifier,
                          e.tables.List1->visualItemRect(e.tables.List1->item(1)).center());
        e.tables.close();
    };
    e.tables.PushButton5->click();
    QVERIFY(tried);
    QCOMPARE(e.tables.List1->selectedItems().size(), 3);
    QVERIFY(e.tables.isVisible());
    QCOMPARE(Sandbox::endCalls, 0);
    QCOMPARE(readAll(path), expectedReport(e.data.path(), {QStringLiteral("customer"), QStringLiteral("notes"),
                                                           QStringLiteral("order items")}));
    QVERIFY(e.prompts.settled());
}

void TableWindowTest::commandLineToolWritesTheSameBytes()
{
    Exporting e;
    e.selectOnly({0, 2});
    const QString path = e.report();
    e.prompts.answerFile(path);
    e.tables.PushButton5->click();
    QProcess tool;
    tool.start(QStringLiteral(ORVALLE_REPORT_TOOL),
               {e.data.path(), QStringLiteral("customer"), QStringLiteral("order items")});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(tool.readAllStandardOutput(), readAll(path));
}

void TableWindowTest::sampleDatabaseReport()
{
    const QString assets = QStringLiteral(ORVALLE_ASSETS_DIR);
    QByteArray golden = readAll(QStringLiteral(ORVALLE_GOLDEN_DIR "/products_report.txt"));
    QVERIFY(!golden.isEmpty());
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Main::SetProgramFolder(assets);
    Form1 start;
    Form2 tables(start, start);
    start.setTableStep(&tables);
    start.PushButton1->click();
    start.PushButton3->click();
    QVERIFY(tables.isVisible());
    QStringList names;
    for (int i = 0; i < tables.List1->count(); ++i)
        names << tables.List1->item(i)->text();
    QVERIFY(names.contains(QStringLiteral("products")));
    QVERIFY(names.contains(QStringLiteral("customers")));
    tables.PushButton9->click();
    tables.List1->item(names.indexOf(QStringLiteral("products")))->setSelected(true);
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("products.txt"));
    prompts.answerFile(path);
    tables.PushButton5->click();
    golden.replace("@SAMPLES@", start.Text2->text().toUtf8());
    QCOMPARE(readAll(path), golden);
    QVERIFY(prompts.texts(QStringLiteral("error")).isEmpty());
}

QTEST_MAIN(TableWindowTest)
#include "tst_tablewindow.moc"
