#include "form1.h"

#include "addfolder.h"
#include "appsink.h"
#include "apptitle.h"
#include "checks.h"
#include "dataaccess.h"
#include "form3.h"
#include "foxpro1.h"
#include "programfolder.h"
#include "prompts.h"
#include "settings.h"
#include "twips.h"
#include "windowlook.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using errorreport::Guard;

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    using Main::TwipsRect;
    setFixedSize(Main::Twips(8040), Main::Twips(2580));

    PushButton10 = Main::MakeButton(QStringLiteral("Help"), this, TwipsRect(120, 120, 7800, 405));
    Frame1 = new QGroupBox(QStringLiteral("FoxPro Login"), this);
    Frame1->setFont(Main::BoxFont());
    Frame1->setGeometry(TwipsRect(120, 570, 7800, 1365));
    Label1 = new QLabel(QStringLiteral("Folder containing DBF/s:"), Frame1);
    Label1->setFont(Main::BoxFont());
    Label1->setGeometry(TwipsRect(240, 345, 2025, 225));
    Main::FitWidth(Label1); // fonts differ from the design's; never cut a caption
    Text2 = new QLineEdit(Frame1);
    Text2->setFont(Main::BoxFont());
    Text2->setGeometry(TwipsRect(2400, 300, 4455, 345));
    PushButton7 = Main::MakeButton(QStringLiteral("..."), Frame1, TwipsRect(6960, 300, 600, 345));
    PushButton1 = Main::MakeButton(QStringLiteral("Load Sample/Example Database"), Frame1,
                             TwipsRect(240, 780, 3600, 405));
    PushButton8 = Main::MakeButton(QStringLiteral("Test Connection"), Frame1, TwipsRect(3960, 780, 2880, 405));
    PushButton12 = Main::MakeButton(QStringLiteral("dbc"), Frame1, TwipsRect(6960, 780, 600, 405));
    PushButton3 = Main::MakeButton(QStringLiteral("Next >"), this, TwipsRect(120, 2050, 7800, 405));

    setTabOrder(Text2, PushButton7);
    setTabOrder(PushButton7, PushButton8);
    setTabOrder(PushButton8, PushButton3);
    setTabOrder(PushButton3, PushButton10);
    setTabOrder(PushButton10, PushButton1);
    setTabOrder(PushButton1, PushButton12);
    Text2->setFocus();

    Main::NameWidgets({{this, "Form1"}, {PushButton10, "PushButton10"}, {Frame1, "Frame1"}, {Label1, "Label1"},
                       {Text2, "Text2"}, {PushButton7, "PushButton7"}, {PushButton1, "PushButton1"},
                       {PushButton8, "PushButton8"}, {PushButton12, "PushButton12"}, {PushButton3, "PushButton3"}});

    m_pointer = new Main::WindowPointer(this);
    for (QWidget *button : {PushButton1, PushButton3, PushButton7, PushButton8, PushButton10, PushButton12})
        m_pointer->addButton(button);
    m_pointer->addBackground(Frame1);
    m_pointer->addBackground(Text2);
    m_pointer->addInert(Label1);
    Text2->installEventFilter(this);

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(PushButton10, &QPushButton::clicked, this, &Form1::PushButton10_Click);
    connect(PushButton12, &QPushButton::clicked, this, &Form1::PushButton12_Click);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
}

TableStep &Form1::tableStep() const
{
    if (!m_tableStep)
        throw Failure(QStringLiteral("The table window is not there."));
    return *m_tableStep;
}

QString Form1::folderText() const
{
    return Text2->text();
}

void Form1::Form_Load()
{
    Guard guard("Form1.Form_Load", Main::ErrorBox());
    guard.step(100, [&] { Main::ApplySkin(this); });
    guard.step(104, [&] { setWindowTitle(Main::ProductName); });
    guard.step(104, [&] { Main::ApplyIcon(this); });
    guard.step(104, [&] { Main::SetAppTitle(); });
    const QString hand = Main::BesideProgram(QStringLiteral("HAND-M.CUR"));
    if (guard.test(124, [&] { return Main::IsFilePresent(hand); }))
        guard.step(126, [&] { m_pointer->loadCustomImage(hand); });
    // Restoring a non-empty folder runs the folder box change, which switches
    // to folder mode before the stored mode is read below.
    guard.step(128, [&] { Text2->setText(Settings::Get(Settings::FreeTableFolder)); });
    guard.step(130, [&] { DBCPath1 = Settings::Get(Settings::DBCFile); });
    if (guard.test(132, [&] { return Settings::Get(Settings::FoxproOption) != QLatin1String("2"); })) {
        guard.step(134, [&] { OptionDBC1 = true; });
    } else if (guard.test(136, [&] { return Settings::Get(Settings::FoxproOption) == QLatin1String("2"); })) {
        guard.step(138, [&] { OptionDBC1 = false; });
    }
    if (!guard.test(140, [&] { return Foxpro1::IsValidFoxProConnection(*this); })) {
        show();
        Text2->selectAll();
        return;
    }
    guard.step(142, [&] { tableStep().showTableWindow(); });
    guard.step(144, [&] { hide(); });
}

void Form1::PushButton1_Click()
{
    Guard guard("Form1.PushButton1_Click", Main::ErrorBox());
    guard.step(100, [&] { Settings::Save(Settings::FoxproOption, QStringLiteral("2")); });
    guard.step(102, [&] { OptionDBC1 = false; });
    guard.step(104, [&] { Text2->setText(Main::BesideProgram(QStringLiteral("Samples"))); });
}

void Form1::PushButton3_Click()
{
    Guard guard("Form1.PushButton3_Click", Main::ErrorBox());
    if (!guard.test(100, [&] { return Foxpro1::IsValidFoxProConnection(*this); }))
        return;
    guard.step(102, [&] { tableStep().showTableWindow(); });
    guard.step(104, [&] { hide(); });
    guard.step(106, [&] { tableStep().Form_Load(); });
}

void Form1::PushButton7_Click()
{
    Guard guard("Form1.PushButton7_Click", Main::ErrorBox());
    QString chosen;
    guard.step(100, [&] {
        chosen = AddFolder::BrowseFolder(this, QStringLiteral("Please select folder:"), QString());
    });
    if (!guard.test(102, [&] { return !chosen.isEmpty(); }))
        return;
    const bool unchanged = Text2->text() == chosen;
    guard.step(104, [&] { Text2->setText(chosen); });
    // The box's change handler runs only when its text changes; a folder
    // chosen again after a container is the source all the same.
    if (unchanged)
        Text2_Change();
}

void Form1::PushButton8_Click()
{
    std::unique_ptr<platform::Connection> connection;
    Guard guard("Form1.PushButton8_Click", Main::ErrorBox());
    guard.step(100, [&] { connection = platform::factory().createConnection(); });
    // From here on any failure means the source cannot be reached.
    try {
        m_pointer->setCode(Main::PointerHourglass);
        if (!connection)
            throw Failure(QStringLiteral("There is no connection to open."));
        connection->setCursorLocation(2);
        connection->Open(Foxpro1::GetConnectionString(*this));
        prompts().message(QStringLiteral("Connection successful."));
        m_pointer->setCode(Main::PointerDefault);
    } catch (const std::exception &) {
        prompts().message(QStringLiteral("Could not connect."));
        m_pointer->setCode(Main::PointerDefault);
    }
}

void Form1::PushButton10_Click()
{
    Guard guard("Form1.PushButton10_Click", Main::ErrorBox());
    guard.step(100, [&] {
        prompts().message(QStringLiteral("Make sure FoxPro is closed while using this application."));
    });
}

void Form1::PushButton12_Click()
{
    Guard guard("Form1.PushButton12_Click", Main::ErrorBox());
    guard.step(100, [&] {
        Form3 options(*this, this);
        options.Form_Load();
        prompts().showModal(&options);
    });
}

void Form1::Text2_Change()
{
    Guard guard("Form1.Text2_Change", Main::ErrorBox());
    const QString text = Text2->text();
    guard.step(100, [&] { Settings::Save(Settings::FreeTableFolder, text); });
    if (guard.test(102, [&] { return !text.isEmpty(); })) {
        guard.step(104, [&] { Settings::Save(Settings::FoxproOption, QStringLiteral("2")); });
        guard.step(106, [&] { OptionDBC1 = false; });
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    Main::EndProgram();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text2 && event->type() == QEvent::FocusIn)
        Text2->selectAll();
    return QWidget::eventFilter(watched, event);
}
