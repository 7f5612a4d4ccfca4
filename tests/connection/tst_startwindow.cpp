// The first step of the wizard driven offscreen: start-up, the folder box and
// its settings, the Advanced Options window, the validation and Test Connection.

#include "connection/folderfiles.h"
#include "connection/startwindow.h"
#include "export/window/tablewindow.h"
#include "connection/advancedoptionswindow.h"
#include "connection/sourceconnection.h"
#include "fakefactory.h"
#include "scriptedprompts.h"
#include "windowparts.h"
#include "app/windowlook.h"
#include "xbasewriter.h"

#include <algorithm>
#include <QAccessible>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace app;
using namespace connection;
using namespace dictionary;
using namespace report;
using namespace window;

namespace {

const QString invalidFolder = QStringLiteral(" input is not a valid folder. Please correct.");
// The table window loaded while no container or folder is chosen: listing
// tells so with the reader's number and description.
const QString noSourceChosen = QStringLiteral("202 Invalid path or file name.");

xbasewriter::TableSpec customerTable(const QByteArray &backlink = {})
{
    xbasewriter::TableSpec table;
    table.fields = {{"CUST_ID", 'C', 6}, {"NAME", 'C', 40}, {"BALANCE", 'Y', 8}};
    table.recordCount = 3;
    table.backlink = backlink;
    return table;
}

// The two windows as the program wires them.
struct Windows {
    StartWindow start;
    TableWindow tables{start, start};
    Windows() { start.setTableStep(&tables); }
};

QStringList items(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

} // namespace

class StartWindowTest : public QObject {
    Q_OBJECT
private slots:
    void widgetsAreFoundByTheirNames();
    void startUp_data();
    void startUp();
    void emptyStoreStartsInContainerModeOnTheStartWindow();
    void typingWritesTheFolderOnEveryKeystroke();
    void clearingTheFolderBoxKeepsTheMode();
    void focusSelectsTheWholeText();
    void failingSettingsWriteIsReportedAndTheChangeGoesOn();
    void advancedOptionsCancelStoresTypedFileAndFolderMode();
    void advancedOptionsOkChoosesTheContainer();
    void advancedOptionsBrowse();
    void advancedOptionsReportsFailingWritesUnderItsCaller();
    void loadSampleHelpAndBrowse();
    void folderBrowserOpensOnTheFolderInTheBox_data();
    void folderBrowserOpensOnTheFolderInTheBox();
    void browsingTheFolderInTheBoxAfterAContainerChoosesTheFolder_data();
    void browsingTheFolderInTheBoxAfterAContainerChoosesTheFolder();
    void folderModePathAndConnectionString_data();
    void folderModePathAndConnectionString();
    void validation_data();
    void validation();
    void moreThanAHundredTablesAreListed();
    void testConnection_data();
    void testConnection();
    void testConnectionKeepsHourglassUntilDismissed();
    void failingConnectionCreationIsReportedThenCouldNotConnect();
    void nextBackAndNextShowTheNewSource();
    void pointerFollowsButtonsAndBackground();
    void windowLayout();
    void captionsKeepClearOfTheirBoxes_data();
    void captionsKeepClearOfTheirBoxes();
    void screenReadersNameTheBoxesByTheirCaptions_data();
    void screenReadersNameTheBoxesByTheirCaptions();
    void skin_data();
    void skin();
    void handPointerBesideTheProgram();
    void fixtureContainers_data();
    void fixtureContainers();
};

// Every widget carries the name it has always had; a tool finds "Next >" as PushButton3.
void StartWindowTest::widgetsAreFoundByTheirNames()
{
    Windows windows;
    AdvancedOptionsWindow options(windows.start, &windows.start);
    const QList<std::pair<QWidget *, QStringList>> windowsAndNames{
        {&windows.start, {"PushButton10", "Frame1", "Label1", "Text2", "PushButton7", "PushButton1", "PushButton8",
                          "PushButton12", "PushButton3"}},
        {&windows.tables, {"PushButton2", "Frame1", "List1", "PushButton8", "PushButton9", "PushButton5"}},
        {&options, {"Frame2", "Label1", "Text1", "PushButton5", "PushButton1", "PushButton2"}},
    };
    for (const auto &[window, names] : windowsAndNames) {
        for (const QString &name : names) {
            // The options window is the start window's child; count each window's own widgets.
            const QList<QWidget *> all = window->findChildren<QWidget *>(name);
            const auto own = std::count_if(all.cbegin(), all.cend(), [&](QWidget *w) { return w->window() == window; });
            QVERIFY2(own == 1, qPrintable(window->objectName() + QLatin1Char('.') + name));
        }
    }
    QCOMPARE(windows.start.findChild<QPushButton *>(QStringLiteral("PushButton3"))->text(), QStringLiteral("Next >"));
    QCOMPARE(windows.start.findChild<QPushButton *>(QStringLiteral("PushButton12"))->text(), QStringLiteral("dbc"));
    QCOMPARE(windows.tables.findChild<QPushButton *>(QStringLiteral("PushButton5"))->text(),
             QStringLiteral("Start Exporting"));
    QCOMPARE(options.findChild<QPushButton *>(QStringLiteral("PushButton2"))->text(), QStringLiteral("Cancel"));
    QCOMPARE((QStringList{windows.start.objectName(), windows.tables.objectName(), options.objectName()}),
             (QStringList{"Form1", "Form2", "Form3"}));
}

void StartWindowTest::startUp_data()
{
    QTest::addColumn<QString>("folder");       // "", "tables", "empty", "missing"
    QTest::addColumn<QString>("option");       // stored FoxproOption, "<absent>" for none
    QTest::addColumn<bool>("realContainer");
    QTest::addColumn<bool>("tableWindow");     // the program opens on the table window
    QTest::addColumn<bool>("containerMode");
    QTest::addColumn<bool>("folderMessage");

    const QStringList options{QStringLiteral("1"), QStringLiteral("2"), QString(), QStringLiteral("0"),
                              QStringLiteral("<absent>")};
    for (const QString &folder : {QString(), QStringLiteral("tables"), QStringLiteral("empty"),
                                  QStringLiteral("missing")}) {
        for (const QString &option : options) {
            for (bool realContainer : {true, false}) {
                bool tableWindow = false;
                bool containerMode = false;
                bool message = false;
                if (!folder.isEmpty()) {
                    // Restoring a non-empty folder always switches to folder mode.
                    tableWindow = folder == QLatin1String("tables");
                    message = folder == QLatin1String("missing");
                } else if (option == QLatin1String("2")) {
                    message = true; // an empty folder box is no folder
                } else {
                    containerMode = true;
                    tableWindow = realContainer;
                }
                const QString row = QStringLiteral("folder=%1 option=%2 dbc=%3")
                                        .arg(folder.isEmpty() ? QStringLiteral("<empty>") : folder, option,
                                             realContainer ? QStringLiteral("real") : QStringLiteral("missing"));
                QTest::newRow(qPrintable(row))
                    << folder << option << realContainer << tableWindow << containerMode << message;
            }
        }
    }
}

void StartWindowTest::startUp()
{
    QFETCH(QString, folder);
    QFETCH(QString, option);
    QFETCH(bool, realContainer);
    QFETCH(bool, tableWindow);
    QFETCH(bool, containerMode);
    QFETCH(bool, folderMessage);

    Sandbox sandbox;
    ScriptedPrompts prompts;
    const QDir data(sandbox.dataFolder());
    QVERIFY(data.mkpath(QStringLiteral("tables")) && data.mkpath(QStringLiteral("empty"))
            && data.mkpath(QStringLiteral("shop")));
    xbasewriter::writeTable(data.filePath(QStringLiteral("tables/customer.dbf")), customerTable());
    xbasewriter::writeTable(data.filePath(QStringLiteral("shop/customer.dbf")), customerTable("shop.dbc"));
    xbasewriter::ContainerTable customer;
    customer.name = QStringLiteral("customer");
    customer.path = QStringLiteral("customer.dbf");
    for (const char *field : {"cust_id", "name", "balance"}) {
        xbasewriter::ContainerField description;
        description.name = QLatin1String(field);
        customer.fields << description;
    }
    xbasewriter::ContainerSpec shop;
    shop.tables << customer;
    xbasewriter::writeContainer(data.filePath(QStringLiteral("shop/shop.dbc")), shop);

    const QString folderPath = folder.isEmpty() ? QString() : data.filePath(folder);
    const QString dbc = realContainer ? data.filePath(QStringLiteral("shop/shop.dbc"))
                                      : data.filePath(QStringLiteral("shop/gone.dbc"));
    sandbox.setSetting(QStringLiteral("FreeTableFolder"), folderPath);
    sandbox.setSetting(QStringLiteral("DBCFile"), dbc);
    if (option != QLatin1String("<absent>"))
        sandbox.setSetting(QStringLiteral("FoxproOption"), option);
    if (folderMessage)
        prompts.expectMessage(QStringLiteral("Free Table Folder ") + folderPath + invalidFolder);

    Windows windows;
    windows.start.load();

    QCOMPARE(windows.start.containerMode(), containerMode);
    QCOMPARE(windows.start.containerPath(), dbc);
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->text(), folderPath);
    QCOMPARE(windows.tables.isVisible(), tableWindow);
    QCOMPARE(windows.start.isVisible(), !tableWindow);
    if (!folder.isEmpty())
        QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("2"));
    QCOMPARE(prompts.unsettled(), QString());
    if (tableWindow)
        QCOMPARE(items(widget<QListWidget>(windows.tables, "List1")), QStringList{QStringLiteral("customer")});
}

void StartWindowTest::emptyStoreStartsInContainerModeOnTheStartWindow()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    windows.start.load();
    QVERIFY(windows.start.containerMode());
    QVERIFY(windows.start.containerPath().isEmpty());
    QVERIFY(widget<QLineEdit>(windows.start, "Text2")->text().isEmpty());
    QVERIFY(windows.start.isVisible());
    QVERIFY(!windows.tables.isVisible());
    QCOMPARE(windows.start.windowTitle(), QStringLiteral("Orvalle"));
    QVERIFY(!windows.start.pointer()->hasCustomImage()); // no hand pointer beside the program
    // Nothing was restored, so nothing was written.
    QVERIFY(!sandbox.hasSetting(QStringLiteral("FoxproOption")));
}

void StartWindowTest::typingWritesTheFolderOnEveryKeystroke()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    windows.start.load();
    widget<QLineEdit>(windows.start, "Text2")->setFocus();
    const QString typed = QStringLiteral("/srv/data1");
    for (qsizetype i = 0; i < typed.size(); ++i) {
        QTest::keyClick(widget<QLineEdit>(windows.start, "Text2"), typed.at(i).toLatin1());
        QCOMPARE(sandbox.setting(QStringLiteral("FreeTableFolder")), typed.left(i + 1));
    }
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("2"));
    QVERIFY(!windows.start.containerMode());
}

void StartWindowTest::clearingTheFolderBoxKeepsTheMode()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    sandbox.setSetting(QStringLiteral("FreeTableFolder"), QStringLiteral("/nowhere"));
    prompts.expectMessage(QStringLiteral("Free Table Folder /nowhere") + invalidFolder);
    Windows windows;
    windows.start.load();
    // A container chosen afterwards stays the source when the box is cleared.
    windows.start.setContainerMode(true);
    sandbox.setSetting(QStringLiteral("FoxproOption"), QStringLiteral("1"));
    widget<QLineEdit>(windows.start, "Text2")->clear();
    QCOMPARE(sandbox.setting(QStringLiteral("FreeTableFolder")), QString());
    QVERIFY(sandbox.hasSetting(QStringLiteral("FreeTableFolder")));
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("1"));
    QVERIFY(windows.start.containerMode());
}

void StartWindowTest::focusSelectsTheWholeText()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    sandbox.setSetting(QStringLiteral("FreeTableFolder"), QStringLiteral("/srv/nowhere"));
    prompts.expectMessage(QStringLiteral("Free Table Folder /srv/nowhere") + invalidFolder);
    Windows windows;
    windows.start.load();
    QApplication::setActiveWindow(&windows.start);
    widget<QPushButton>(windows.start, "PushButton7")->setFocus();
    widget<QLineEdit>(windows.start, "Text2")->deselect();
    QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason); // the box itself selects only on Tab
    QCoreApplication::sendEvent(widget<QLineEdit>(windows.start, "Text2"), &focusIn);
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->selectedText(), QStringLiteral("/srv/nowhere"));

    AdvancedOptionsWindow options(windows.start, &windows.start);
    widget<QLineEdit>(options, "Text1")->setText(QStringLiteral("/data/sales.dbc"));
    widget<QLineEdit>(options, "Text1")->deselect();
    QCoreApplication::sendEvent(widget<QLineEdit>(options, "Text1"), &focusIn);
    QCOMPARE(widget<QLineEdit>(options, "Text1")->selectedText(), QStringLiteral("/data/sales.dbc"));
}

void StartWindowTest::failingSettingsWriteIsReportedAndTheChangeGoesOn()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    windows.start.load();
    QVERIFY(windows.start.containerMode());
    QVERIFY(QDir().mkpath(sandbox.settingsFile())); // the store cannot be written now
    prompts.expectError(QStringLiteral("Form1.Text2_Change"), 100);
    prompts.expectError(QStringLiteral("Form1.Text2_Change"), 104);
    widget<QLineEdit>(windows.start, "Text2")->setText(QStringLiteral("/srv"));
    QCOMPARE(prompts.unsettled(), QString());
    QVERIFY(!windows.start.containerMode()); // the step after the failed writes still ran
}

void StartWindowTest::advancedOptionsCancelStoresTypedFileAndFolderMode()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    sandbox.setSetting(QStringLiteral("DBCFile"), QStringLiteral("/old/first.dbc"));
    Windows windows;
    windows.start.load();
    QCOMPARE(windows.start.containerPath(), QStringLiteral("/old/first.dbc"));
    prompts.whileModal([&](QDialog *dialog) {
        auto *options = qobject_cast<AdvancedOptionsWindow *>(dialog);
        QVERIFY(options);
        QVERIFY(options->isModal());
        QCOMPARE(widget<QLineEdit>(*options, "Text1")->text(), QStringLiteral("/old/first.dbc"));
        widget<QLineEdit>(*options, "Text1")->clear();
        QTest::keyClicks(widget<QLineEdit>(*options, "Text1"), QStringLiteral("/new/x.dbc"));
        QCOMPARE(sandbox.setting(QStringLiteral("DBCFile")), QStringLiteral("/new/x.dbc"));
        widget<QPushButton>(*options, "PushButton2")->click();
    });
    widget<QPushButton>(windows.start, "PushButton12")->click();
    QCOMPARE(prompts.calls.constLast().caption, QStringLiteral("Advanced Options"));
    QCOMPARE(sandbox.setting(QStringLiteral("DBCFile")), QStringLiteral("/new/x.dbc"));
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("2"));
    QVERIFY(!windows.start.containerMode());
    QCOMPARE(windows.start.containerPath(), QStringLiteral("/old/first.dbc"));
    QCOMPARE(prompts.unsettled(), QString());
}

void StartWindowTest::advancedOptionsOkChoosesTheContainer()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    sandbox.setSetting(QStringLiteral("FreeTableFolder"), QStringLiteral("/nowhere"));
    prompts.expectMessage(QStringLiteral("Free Table Folder /nowhere") + invalidFolder);
    Windows windows;
    windows.start.load();
    QVERIFY(!windows.start.containerMode());

    // OK with an empty box changes nothing.
    prompts.whileModal([&](QDialog *dialog) {
        auto *options = qobject_cast<AdvancedOptionsWindow *>(dialog);
        widget<QLineEdit>(*options, "Text1")->clear();
        widget<QPushButton>(*options, "PushButton1")->click();
    });
    widget<QPushButton>(windows.start, "PushButton12")->click();
    QVERIFY(!windows.start.containerMode());
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("2"));

    prompts.whileModal([&](QDialog *dialog) {
        auto *options = qobject_cast<AdvancedOptionsWindow *>(dialog);
        widget<QLineEdit>(*options, "Text1")->setText(QStringLiteral("/data/sales.dbc"));
        widget<QPushButton>(*options, "PushButton1")->click();
    });
    widget<QPushButton>(windows.start, "PushButton12")->click();
    QVERIFY(windows.start.containerMode());
    QCOMPARE(windows.start.containerPath(), QStringLiteral("/data/sales.dbc"));
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("1"));
    QCOMPARE(connection::connectionStringOf(windows.start),
             QStringLiteral("Provider=vfpoledb.1;Data Source=/data/sales.dbc;Collating Sequence=machine;"));
    QVERIFY(connection::folderPathOf(windows.start).isEmpty());
    QCOMPARE(connection::containerPathOf(windows.start), QStringLiteral("/data/sales.dbc"));
    QCOMPARE(prompts.unsettled(), QString());
}

void StartWindowTest::advancedOptionsBrowse()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    windows.start.load();
    prompts.whileModal([&](QDialog *dialog) {
        auto *options = qobject_cast<AdvancedOptionsWindow *>(dialog);
        widget<QLineEdit>(*options, "Text1")->setText(QStringLiteral("typed"));
        widget<QPushButton>(*options, "PushButton5")->click();
        QCOMPARE(widget<QLineEdit>(*options, "Text1")->text(), QStringLiteral("typed"));
        widget<QPushButton>(*options, "PushButton5")->click();
        QCOMPARE(widget<QLineEdit>(*options, "Text1")->text(), QStringLiteral("/data/Chosen.DBC"));
        // The file dialog belongs to the options window.
        const PromptCall expected{QStringLiteral("openFile"), QStringLiteral("Select Foxpro Database"),
                                  QStringLiteral("Microsoft Database (*.dbc)|*.dbc|"), QString(), options};
        QCOMPARE(prompts.calls.at(1), expected);
        options->reject(); // the close box: the mode stays
    });
    prompts.answerFile(QString()); // cancelled
    prompts.answerFile(QStringLiteral("/data/Chosen.DBC"));
    widget<QPushButton>(windows.start, "PushButton12")->click();
    QCOMPARE(prompts.calls.at(0).owner, &windows.start); // the options window's own owner
    QCOMPARE(sandbox.setting(QStringLiteral("DBCFile")), QStringLiteral("/data/Chosen.DBC"));
    QVERIFY(windows.start.containerMode());
    QVERIFY(!sandbox.hasSetting(QStringLiteral("FoxproOption")));
    QCOMPARE(prompts.unsettled(), QString());
}

void StartWindowTest::advancedOptionsReportsFailingWritesUnderItsCaller()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    AdvancedOptionsWindow options(windows.start, &windows.start);
    QVERIFY(QDir().mkpath(sandbox.settingsFile())); // the store can be neither read nor written
    prompts.expectError(QStringLiteral("Form3.Form_Load"), 110);
    prompts.answerFile(QStringLiteral("/new.dbc"));
    prompts.expectError(QStringLiteral("Form3.PushButton5_Click"), 112);
    options.load();
    widget<QPushButton>(options, "PushButton5")->click();
    QCOMPARE(widget<QLineEdit>(options, "Text1")->text(), QStringLiteral("/new.dbc"));
}

void StartWindowTest::loadSampleHelpAndBrowse()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    windows.start.load();

    prompts.expectMessage(QStringLiteral("Make sure FoxPro is closed while using this application."));
    widget<QPushButton>(windows.start, "PushButton10")->click();
    QCOMPARE(prompts.calls.constLast(),
             (PromptCall{QStringLiteral("message"), QStringLiteral("Orvalle"),
                         QStringLiteral("Make sure FoxPro is closed while using this application."), QString(),
                         &windows.start}));
    QVERIFY(windows.start.containerMode());

    widget<QPushButton>(windows.start, "PushButton1")->click();
    const QString samples = sandbox.programFolder() + QStringLiteral("/Samples");
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->text(), samples);
    QCOMPARE(sandbox.setting(QStringLiteral("FreeTableFolder")), samples);
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("2"));
    QVERIFY(!windows.start.containerMode());
    QVERIFY(!windows.tables.isVisible()); // it never moves on by itself

    // Load Sample again after a container was chosen: the mode is set before the text.
    windows.start.setContainerMode(true);
    widget<QPushButton>(windows.start, "PushButton1")->click();
    QVERIFY(!windows.start.containerMode());

    prompts.answerFolder(QString());
    widget<QPushButton>(windows.start, "PushButton7")->click();
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->text(), samples);
    QCOMPARE(prompts.calls.constLast(),
             (PromptCall{QStringLiteral("browseFolder"), QStringLiteral("Please select folder:"), QString(), QString(),
                         &windows.start})); // the samples folder is not there: the dialog's own default
    windows.start.setContainerMode(true);
    prompts.answerFolder(sandbox.dataFolder());
    widget<QPushButton>(windows.start, "PushButton7")->click();
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->text(), sandbox.dataFolder());
    QCOMPARE(sandbox.setting(QStringLiteral("FreeTableFolder")), sandbox.dataFolder());
    QVERIFY(!windows.start.containerMode());
    QCOMPARE(prompts.unsettled(), QString());
}

void StartWindowTest::folderBrowserOpensOnTheFolderInTheBox_data()
{
    QTest::addColumn<QString>("inBox"); // below the data folder; "<none>" for an empty box
    QTest::addColumn<bool>("opensThere");
    QTest::newRow("a folder") << "tables" << true;
    QTest::newRow("a folder with a trailing separator") << "tables/" << true;
    QTest::newRow("a missing folder") << "gone" << false;
    QTest::newRow("a file") << "tables/customer.dbf" << false;
    QTest::newRow("nothing") << "<none>" << false;
}

void StartWindowTest::folderBrowserOpensOnTheFolderInTheBox()
{
    QFETCH(QString, inBox);
    QFETCH(bool, opensThere);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    const QDir data(sandbox.dataFolder());
    QVERIFY(data.mkpath(QStringLiteral("tables")));
    xbasewriter::writeTable(data.filePath(QStringLiteral("tables/customer.dbf")), customerTable());
    Windows windows;
    const QString typed = inBox == QLatin1String("<none>") ? QString() : data.path() + QLatin1Char('/') + inBox;
    widget<QLineEdit>(windows.start, "Text2")->setText(typed);
    prompts.answerFolder(QString());
    widget<QPushButton>(windows.start, "PushButton7")->click();
    const QString start = opensThere ? typed : QString();
    QCOMPARE(prompts.calls, (QList<PromptCall>{{QStringLiteral("browseFolder"), QStringLiteral("Please select folder:"),
                                                start, start, &windows.start}}));
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->text(), typed);
}

void StartWindowTest::browsingTheFolderInTheBoxAfterAContainerChoosesTheFolder_data()
{
    QTest::addColumn<QString>("how"); // how the folder came into the box before the container was chosen
    QTest::newRow("restored at start") << "restored";
    QTest::newRow("typed") << "typed";
    QTest::newRow("chosen with ...") << "browsed";
}

void StartWindowTest::browsingTheFolderInTheBoxAfterAContainerChoosesTheFolder()
{
    QFETCH(QString, how);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    const QDir data(sandbox.dataFolder());
    QVERIFY(data.mkpath(QStringLiteral("tables")) && data.mkpath(QStringLiteral("shop")));
    xbasewriter::writeTable(data.filePath(QStringLiteral("tables/customer.dbf")), customerTable());
    xbasewriter::writeTable(data.filePath(QStringLiteral("shop/orders.dbf")), customerTable("shop.dbc"));
    xbasewriter::ContainerTable orders;
    orders.name = QStringLiteral("orders");
    orders.path = QStringLiteral("orders.dbf");
    for (const char *field : {"cust_id", "name", "balance"}) {
        xbasewriter::ContainerField description;
        description.name = QLatin1String(field);
        orders.fields << description;
    }
    xbasewriter::ContainerSpec shop;
    shop.tables << orders;
    const QString dbc = data.filePath(QStringLiteral("shop/shop.dbc"));
    xbasewriter::writeContainer(dbc, shop);
    const QString folder = data.filePath(QStringLiteral("tables"));

    if (how == QLatin1String("restored"))
        sandbox.setSetting(QStringLiteral("FreeTableFolder"), folder);
    Windows windows;
    windows.start.load();
    if (how == QLatin1String("restored")) {
        QVERIFY(windows.tables.isVisible()); // a valid folder goes on at once
        widget<QPushButton>(windows.tables, "PushButton2")->click();
    } else if (how == QLatin1String("typed")) {
        QTest::keyClicks(widget<QLineEdit>(windows.start, "Text2"), folder);
    } else {
        prompts.answerFolder(folder);
        widget<QPushButton>(windows.start, "PushButton7")->click();
    }
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->text(), folder);
    QVERIFY(!windows.start.containerMode());

    prompts.whileModal([&](QDialog *dialog) {
        auto *options = qobject_cast<AdvancedOptionsWindow *>(dialog);
        widget<QLineEdit>(*options, "Text1")->setText(dbc);
        widget<QPushButton>(*options, "PushButton1")->click();
    });
    widget<QPushButton>(windows.start, "PushButton12")->click();
    QVERIFY(windows.start.containerMode());
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("1"));

    // The box's text does not change, yet the folder is now the source.
    prompts.answerFolder(folder);
    widget<QPushButton>(windows.start, "PushButton7")->click();
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->text(), folder);
    QVERIFY(!windows.start.containerMode());
    QCOMPARE(sandbox.setting(QStringLiteral("FoxproOption")), QStringLiteral("2"));
    QCOMPARE(sandbox.setting(QStringLiteral("FreeTableFolder")), folder);
    QCOMPARE(sandbox.setting(QStringLiteral("DBCFile")), dbc);
    widget<QPushButton>(windows.start, "PushButton3")->click();
    QVERIFY(windows.tables.isVisible());
    QCOMPARE(items(widget<QListWidget>(windows.tables, "List1")), QStringList{QStringLiteral("customer")}); // not the container's "orders"
}

void StartWindowTest::folderModePathAndConnectionString_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("path");
    QTest::newRow("separator added") << "/srv/data" << "/srv/data/";
    QTest::newRow("separator kept") << "/srv/data/" << "/srv/data/";
    QTest::newRow("empty box") << "" << "/";
    QTest::newRow("semicolon in the path") << "/srv/a;b" << "/srv/a;b/";
}

void StartWindowTest::folderModePathAndConnectionString()
{
    QFETCH(QString, typed);
    QFETCH(QString, path);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    windows.start.setContainerPath(QStringLiteral("/data/sales.dbc"));
    widget<QLineEdit>(windows.start, "Text2")->setText(typed);
    windows.start.setContainerMode(false);
    QCOMPARE(connection::folderPathOf(windows.start), path);
    QVERIFY(connection::containerPathOf(windows.start).isEmpty());
    QCOMPARE(connection::connectionStringOf(windows.start),
             QStringLiteral("Provider=vfpoledb.1;Data Source=") + typed + QStringLiteral(";Collating Sequence=general;"));
}

void StartWindowTest::validation_data()
{
    QTest::addColumn<QStringList>("files");   // relative paths; a trailing "/" makes a folder
    QTest::addColumn<QString>("folder");      // relative to the data folder, as typed
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("message");
    QTest::newRow("upper-case table") << QStringList{"src/A.DBF"} << "src" << true << false;
    QTest::newRow("hidden table") << QStringList{"src/.secret.dbf"} << "src" << true << false;
    QTest::newRow("only ~ files") << QStringList{"src/~work.dbf"} << "src" << false << false;
    QTest::newRow("folder named like a table") << QStringList{"src/old.dbf/"} << "src" << false << false;
    QTest::newRow("tables only in sub-folders") << QStringList{"src/sub/a.dbf"} << "src" << false << false;
    QTest::newRow("trailing separator") << QStringList{"src/a.dbf"} << "src/" << true << false;
    QTest::newRow("dbf in the folder's own path") << QStringList{"dbfdata/notes.Dbf"} << "dbfdata" << true << false;
    QTest::newRow("other files only") << QStringList{"src/a.txt"} << "src" << false << false;
    QTest::newRow("missing folder") << QStringList{} << "gone" << false << true;
    QTest::newRow("a file, not a folder") << QStringList{"src/a.dbf"} << "src/a.dbf" << false << true;
}

void StartWindowTest::validation()
{
    QFETCH(QStringList, files);
    QFETCH(QString, folder);
    QFETCH(bool, valid);
    QFETCH(bool, message);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    const QDir data(sandbox.dataFolder());
    for (const QString &file : files) {
        if (file.endsWith(QLatin1Char('/'))) {
            QVERIFY(data.mkpath(file));
        } else {
            QVERIFY(data.mkpath(QFileInfo(file).path()));
            xbasewriter::writeTable(data.filePath(file), customerTable());
        }
    }
    Windows windows;
    widget<QLineEdit>(windows.start, "Text2")->setText(data.path() + QLatin1Char('/') + folder);
    if (message)
        prompts.expectMessage(QStringLiteral("Free Table Folder ") + widget<QLineEdit>(windows.start, "Text2")->text() + invalidFolder);
    QCOMPARE(connection::canConnect(windows.start), valid);
}

void StartWindowTest::moreThanAHundredTablesAreListed()
{
    QTemporaryDir dir;
    for (int i = 0; i < 160; ++i)
        xbasewriter::writeTable(dir.filePath(QStringLiteral("t%1.dbf").arg(i, 3, 10, QLatin1Char('0'))),
                                customerTable());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("z.dbf")));
    const QStringList names = connection::filesInFolder(dir.path(), QStringLiteral("*.dbf"));
    QCOMPARE(names.size(), 160);
    QCOMPARE(names.first(), QStringLiteral("t000.dbf"));
    QCOMPARE(names.last(), QStringLiteral("t159.dbf"));
    QVERIFY(connection::filesInFolder(dir.filePath(QStringLiteral("z.dbf")), QStringLiteral("*.dbf")).isEmpty());
}

void StartWindowTest::testConnection_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("answer");
    QTest::newRow("folder with tables") << "tables" << "Connection successful.";
    QTest::newRow("missing folder") << "gone" << "Could not connect.";
    QTest::newRow("empty folder box") << "" << "Could not connect.";
}

void StartWindowTest::testConnection()
{
    QFETCH(QString, folder);
    QFETCH(QString, answer);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    const QDir data(sandbox.dataFolder());
    QVERIFY(data.mkpath(QStringLiteral("tables")));
    xbasewriter::writeTable(data.filePath(QStringLiteral("tables/customer.dbf")), customerTable());
    Windows windows;
    widget<QLineEdit>(windows.start, "Text2")->setText(folder.isEmpty() ? QString() : data.filePath(folder));
    windows.start.setContainerMode(false);
    prompts.expectMessage(answer);
    widget<QPushButton>(windows.start, "PushButton8")->click();
    QCOMPARE(prompts.calls,
             (QList<PromptCall>{{QStringLiteral("message"), QStringLiteral("Orvalle"), answer, QString(), &windows.start}}));
    QCOMPARE(windows.start.pointer()->code(), app::PointerDefault);
    QVERIFY(!windows.start.containerMode());
}

void StartWindowTest::testConnectionKeepsHourglassUntilDismissed()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    widget<QLineEdit>(windows.start, "Text2")->setText(sandbox.dataFolder());
    int codeWhileShown = -1;
    prompts.expectMessage(QStringLiteral("Connection successful."), [&] {
        codeWhileShown = windows.start.pointer()->code();
        // Moving over a button or the background changes nothing while busy.
        moveOver(widget<QPushButton>(windows.start, "PushButton3"));
        moveOver(widget<QLineEdit>(windows.start, "Text2"));
    });
    widget<QPushButton>(windows.start, "PushButton8")->click();
    QCOMPARE(codeWhileShown, app::PointerHourglass);
    QCOMPARE(windows.start.pointer()->code(), app::PointerDefault);
}

void StartWindowTest::failingConnectionCreationIsReportedThenCouldNotConnect()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    FakeFactory factory(FakeFactory::Reader);
    factory.failConnectionCreation = true;
    Windows windows;
    widget<QLineEdit>(windows.start, "Text2")->setText(sandbox.dataFolder());
    prompts.expectError(QStringLiteral("Form1.PushButton8_Click"), 100, QStringLiteral("Class not registered"));
    prompts.expectMessage(QStringLiteral("Could not connect."));
    widget<QPushButton>(windows.start, "PushButton8")->click();
    QVERIFY(prompts.calls[0].text.startsWith(
        QStringLiteral("Class not registered\r\nin Orvallix2021/08/31.Form1.PushButton8_Click at line 100\r\r")));
}

void StartWindowTest::nextBackAndNextShowTheNewSource()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    const QDir data(sandbox.dataFolder());
    QVERIFY(data.mkpath(QStringLiteral("one")) && data.mkpath(QStringLiteral("two")));
    xbasewriter::writeTable(data.filePath(QStringLiteral("one/alpha.dbf")), customerTable());
    xbasewriter::writeTable(data.filePath(QStringLiteral("two/Beta.DBF")), customerTable());
    xbasewriter::writeTable(data.filePath(QStringLiteral("two/gamma.dbf")), customerTable());
    Windows windows;
    windows.start.load();

    widget<QLineEdit>(windows.start, "Text2")->setText(data.filePath(QStringLiteral("nowhere")));
    prompts.expectMessage(QStringLiteral("Free Table Folder ") + data.filePath(QStringLiteral("nowhere"))
                          + invalidFolder);
    widget<QPushButton>(windows.start, "PushButton3")->click();
    QVERIFY(windows.start.isVisible());
    QVERIFY(!windows.tables.isVisible());
    QCOMPARE(prompts.unsettled(), QString());

    widget<QLineEdit>(windows.start, "Text2")->setText(data.filePath(QStringLiteral("one")));
    widget<QPushButton>(windows.start, "PushButton3")->click();
    QVERIFY(windows.tables.isVisible());
    QVERIFY(!windows.start.isVisible());
    QCOMPARE(items(widget<QListWidget>(windows.tables, "List1")), QStringList{QStringLiteral("alpha")});

    widget<QPushButton>(windows.tables, "PushButton2")->click();
    QVERIFY(windows.start.isVisible());
    QVERIFY(!windows.tables.isVisible());
    widget<QLineEdit>(windows.start, "Text2")->setText(data.filePath(QStringLiteral("two")));
    widget<QPushButton>(windows.start, "PushButton3")->click();
    QCOMPARE(items(widget<QListWidget>(windows.tables, "List1")), (QStringList{QStringLiteral("beta"), QStringLiteral("gamma")}));
    QVERIFY(widget<QListWidget>(windows.tables, "List1")->item(0)->isSelected());
    QVERIFY(!widget<QListWidget>(windows.tables, "List1")->item(1)->isSelected());

    windows.tables.close();
    QCOMPARE(Sandbox::endCalls, 1);
}

void StartWindowTest::pointerFollowsButtonsAndBackground()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    app::WindowPointer *pointer = windows.start.pointer();
    moveOver(widget<QPushButton>(windows.start, "PushButton3"));
    QCOMPARE(pointer->code(), app::PointerCustom);
    QCOMPARE(windows.start.cursor().shape(), Qt::PointingHandCursor); // no hand image loaded
    moveOver(widget<QLabel>(windows.start, "Label1"));
    QCOMPARE(pointer->code(), app::PointerCustom); // labels leave the pointer alone
    moveOver(widget<QLineEdit>(windows.start, "Text2"));
    QCOMPARE(pointer->code(), app::PointerDefault);
    QCOMPARE(windows.start.cursor().shape(), Qt::ArrowCursor);
    moveOver(widget<QPushButton>(windows.start, "PushButton12"));
    moveOver(widget<QGroupBox>(windows.start, "Frame1"));
    QCOMPARE(pointer->code(), app::PointerDefault);
    pointer->setCode(app::PointerHourglass);
    moveOver(widget<QPushButton>(windows.start, "PushButton1"));
    moveOver(&windows.start);
    QCOMPARE(pointer->code(), app::PointerHourglass);
    QCOMPARE(windows.start.cursor().shape(), Qt::WaitCursor);
}

void StartWindowTest::windowLayout()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    QCOMPARE(windows.start.size(), QSize(536, 172));
    QCOMPARE(widget<QGroupBox>(windows.start, "Frame1")->geometry(), QRect(8, 38, 520, 91));
    // The box ends, stands and is as high as designed; its left edge makes room
    // for the caption (captionsKeepClearOfTheirBoxes).
    const QRect folderBox = widget<QLineEdit>(windows.start, "Text2")->geometry();
    QCOMPARE(folderBox.right(), 456);
    QCOMPARE(folderBox.top(), 20);
    QCOMPARE(folderBox.height(), 23);
    QVERIFY(folderBox.left() >= 160);
    QCOMPARE(widget<QPushButton>(windows.start, "PushButton3")->geometry(), QRect(8, 136, 520, 27));
    QCOMPARE(widget<QPushButton>(windows.start, "PushButton1")->text(), QStringLiteral("Load Sample/Example Database"));
    QCOMPARE(widget<QPushButton>(windows.start, "PushButton3")->font().pointSizeF(), 11.25);
    QVERIFY(widget<QLineEdit>(windows.start, "Text2")->font().bold());
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->font().pointSizeF(), 9.0);
    QVERIFY(windows.start.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(windows.start.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(widget<QLineEdit>(windows.start, "Text2")->nextInFocusChain(), widget<QPushButton>(windows.start, "PushButton7"));
    QCOMPARE(windows.tables.size(), QSize(536, 235));
    QCOMPARE(widget<QListWidget>(windows.tables, "List1")->toolTip(), QStringLiteral("Hold CTRL+Click to select multiple tables"));
    QCOMPARE(widget<QListWidget>(windows.tables, "List1")->selectionMode(), QAbstractItemView::ExtendedSelection);
    AdvancedOptionsWindow options(windows.start, &windows.start);
    QCOMPARE(options.size(), QSize(536, 110));
    QCOMPARE(widget<QGroupBox>(options, "Frame2")->title(), QStringLiteral("Advanced Option"));
    QCOMPARE(options.windowTitle(), QStringLiteral("Advanced Options"));
    QVERIFY(!(options.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    // The Advanced Options window's pointer follows its own buttons, frame and box.
    moveOver(widget<QPushButton>(options, "PushButton1"));
    QCOMPARE(options.pointer()->code(), app::PointerCustom);
    moveOver(widget<QLineEdit>(options, "Text1"));
    QCOMPARE(options.pointer()->code(), app::PointerDefault);
    moveOver(widget<QPushButton>(options, "PushButton5"));
    moveOver(widget<QGroupBox>(options, "Frame2"));
    QCOMPARE(options.pointer()->code(), app::PointerDefault);

    // Closing the start window ends the program; closing the options window does not.
    options.close();
    QCOMPARE(Sandbox::endCalls, 0);
    windows.start.close();
    QCOMPARE(Sandbox::endCalls, 1);
}

void StartWindowTest::captionsKeepClearOfTheirBoxes_data()
{
    QTest::addColumn<QString>("window"); // "start" or "options"
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("designedRight"); // the box's right edge in the design
    QTest::newRow("folder") << "start" << "Text2" << "Folder containing DBF/s:" << 456;
    QTest::newRow("container") << "options" << "Text1" << "DBC File:" << 456;
}

// Whatever font the platform gives, a caption's last character stays at least
// 4 pixels clear of its box, and the caption is never cut.
void StartWindowTest::captionsKeepClearOfTheirBoxes()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, caption);
    QFETCH(int, designedRight);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    AdvancedOptionsWindow options(windows.start, &windows.start);
    QWidget &shown = window == QLatin1String("start") ? static_cast<QWidget &>(windows.start) : options;
    auto *label = widget<QLabel>(shown, "Label1");
    auto *field = widget<QLineEdit>(shown, qPrintable(box));
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->parentWidget(), field->parentWidget());
    const int captionEnd = label->x() + QFontMetrics(label->font()).horizontalAdvance(label->text());
    QVERIFY2(captionEnd + 4 <= field->x(),
             qPrintable(QStringLiteral("caption ends at %1, box starts at %2").arg(captionEnd).arg(field->x())));
    QCOMPARE(field->geometry().right(), designedRight);
    QVERIFY(label->width() >= label->sizeHint().width());
}

void StartWindowTest::screenReadersNameTheBoxesByTheirCaptions_data()
{
    QTest::addColumn<QString>("window"); // "start", "options" or "tables"
    QTest::addColumn<QString>("element");
    QTest::addColumn<QString>("name");
    QTest::newRow("folder box") << "start" << "Text2" << "Folder containing DBF/s:";
    QTest::newRow("container box") << "options" << "Text1" << "DBC File:";
    QTest::newRow("table list") << "tables" << "List1" << "Tables";
}

// The boxes sit in frames whose titles a screen reader would otherwise read as their names.
void StartWindowTest::screenReadersNameTheBoxesByTheirCaptions()
{
    QFETCH(QString, window);
    QFETCH(QString, element);
    QFETCH(QString, name);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    AdvancedOptionsWindow options(windows.start, &windows.start);
    QWidget *shown = &windows.start;
    if (window == QLatin1String("options"))
        shown = &options;
    else if (window == QLatin1String("tables"))
        shown = &windows.tables;
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget<QWidget>(*shown, qPrintable(element)));
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
}

void StartWindowTest::skin_data()
{
    QTest::addColumn<QByteArray>("sheet"); // "<none>": no skin file beside the program
    QTest::addColumn<bool>("applied");
    QTest::addColumn<int>("errors");
    QTest::newRow("no skin") << QByteArray("<none>") << false << 0;
    QTest::newRow("skin") << QByteArray("QPushButton { padding: 1px; }") << true << 0;
    QTest::newRow("empty skin") << QByteArray("") << false << 1;
}

void StartWindowTest::skin()
{
    QFETCH(QByteArray, sheet);
    QFETCH(bool, applied);
    QFETCH(int, errors);
    Sandbox sandbox;
    ScriptedPrompts prompts;
    if (sheet != "<none>") {
        QVERIFY(QDir(sandbox.programFolder()).mkdir(QStringLiteral("x")));
        QFile file(sandbox.programFolder() + QStringLiteral("/x/o.cjs"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sheet);
    }
    Windows windows;
    const QColor designColour = windows.start.palette().color(QPalette::Window);
    for (int i = 0; i < errors; ++i)
        prompts.expectError(QStringLiteral("Form1.Form_Load"), 100);
    windows.start.load();
    QCOMPARE(prompts.unsettled(), QString());
    QCOMPARE(windows.start.styleSheet().isEmpty(), !applied);
    // The button-face colour comes with the skin file only; the other windows always get it.
    const QColor face = windows.start.palette().color(QPalette::Button);
    QCOMPARE(windows.start.autoFillBackground(), sheet != "<none>");
    if (sheet == "<none>")
        QCOMPARE(windows.start.palette().color(QPalette::Window), designColour);
    prompts.expectMessage(noSourceChosen);
    windows.tables.load();
    QVERIFY(windows.tables.autoFillBackground());
    QCOMPARE(windows.tables.palette().color(QPalette::Window), face);
    QCOMPARE(windows.start.windowTitle(), QStringLiteral("Orvalle")); // start-up went on
}

void StartWindowTest::handPointerBesideTheProgram()
{
    Sandbox sandbox;
    ScriptedPrompts prompts;
    QVERIFY(QFile::copy(QStringLiteral(ORVALLE_ASSETS_DIR "/HAND-M.CUR"),
                        sandbox.programFolder() + QStringLiteral("/HAND-M.CUR")));
    Windows windows;
    windows.start.load();
    QVERIFY(windows.start.pointer()->hasCustomImage());
    moveOver(widget<QPushButton>(windows.start, "PushButton8"));
    QCOMPARE(windows.start.cursor().shape(), Qt::BitmapCursor);
    QVERIFY(!windows.start.cursor().pixmap().isNull());
    // The other windows load it when they load.
    prompts.expectMessage(noSourceChosen);
    windows.tables.load();
    QVERIFY(windows.tables.pointer()->hasCustomImage());
    AdvancedOptionsWindow options(windows.start, &windows.start);
    options.load();
    QVERIFY(options.pointer()->hasCustomImage());
}

void StartWindowTest::fixtureContainers_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QStringList>("firstTables");
    QTest::newRow("northwind") << "VFPX__Samples/Northwind/northwind.dbc"
                               << QStringList{"Categories", "CustomerCustomerDemo", "CustomerDemographics",
                                              "Customers", "Employees", "EmployeeTerritories"};
    QTest::newRow("testdata") << "VFPX__Samples/Data/testdata.dbc"
                              << QStringList{"customer", "employee", "orders", "orditems", "products"};
}

void StartWindowTest::fixtureContainers()
{
    QFETCH(QString, container);
    QFETCH(QStringList, firstTables);
    const QString path = QStringLiteral(ORVALLE_FIXTURES_DIR "/") + container;
    if (!QFileInfo::exists(path))
        QSKIP("The shared fixtures folder is not beside the project.");
    Sandbox sandbox;
    ScriptedPrompts prompts;
    Windows windows;
    windows.start.load();
    prompts.whileModal([&](QDialog *dialog) {
        auto *options = qobject_cast<AdvancedOptionsWindow *>(dialog);
        widget<QLineEdit>(*options, "Text1")->setText(path);
        widget<QPushButton>(*options, "PushButton1")->click();
    });
    prompts.expectMessage(QStringLiteral("Connection successful."));
    widget<QPushButton>(windows.start, "PushButton12")->click();
    widget<QPushButton>(windows.start, "PushButton8")->click();
    QCOMPARE(prompts.unsettled(), QString());
    widget<QPushButton>(windows.start, "PushButton3")->click();
    QVERIFY(windows.tables.isVisible());
    QCOMPARE(items(widget<QListWidget>(windows.tables, "List1")).mid(0, firstTables.size()), firstTables);
}

QTEST_MAIN(StartWindowTest)
#include "tst_startwindow.moc"
