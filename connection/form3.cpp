#include "form3.h"

#include "appsink.h"
#include "checks.h"
#include "form1.h"
#include "programfolder.h"
#include "prompts.h"
#include "settings.h"
#include "twips.h"
#include "windowlook.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

using errorreport::Guard;

Form3::Form3(Form1 &startWindow, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      m_startWindow(startWindow)
{
    using Main::TwipsRect;
    setWindowTitle(QStringLiteral("Advanced Options"));
    setModal(true);
    setFixedSize(Main::Twips(8040), Main::Twips(1650));
    setFont(Main::BoxFont());

    Frame2 = new QGroupBox(QStringLiteral("Advanced Option"), this);
    Frame2->setGeometry(TwipsRect(120, 120, 7800, 885));
    Label1 = new QLabel(QStringLiteral("DBC File:"), Frame2);
    Label1->setGeometry(TwipsRect(240, 360, 735, 225));
    for (QWidget *plain : {static_cast<QWidget *>(Frame2), static_cast<QWidget *>(Label1)})
        plain->setFont(Main::BoxFont());
    Main::FitWidth(Label1); // fonts differ from the design's; never cut a caption
    Text1 = new QLineEdit(Frame2);
    Text1->setGeometry(TwipsRect(1080, 330, 5775, 345));
    Text1->setFont(Main::BoxFont());
    PushButton5 = Main::MakeButton(QStringLiteral("..."), Frame2, TwipsRect(6960, 330, 600, 345));
    PushButton1 = Main::MakeButton(QStringLiteral("OK"), this, TwipsRect(120, 1130, 3840, 405));
    PushButton2 = Main::MakeButton(QStringLiteral("Cancel"), this, TwipsRect(4080, 1130, 3840, 405));
    for (QPushButton *button : {PushButton5, PushButton1, PushButton2})
        button->setAutoDefault(false);

    Main::NameWidgets({{this, "Form3"}, {Frame2, "Frame2"}, {Label1, "Label1"}, {Text1, "Text1"},
                       {PushButton5, "PushButton5"}, {PushButton1, "PushButton1"}, {PushButton2, "PushButton2"}});

    m_pointer = new Main::WindowPointer(this);
    for (QWidget *button : {PushButton5, PushButton1, PushButton2})
        m_pointer->addButton(button);
    m_pointer->addBackground(Frame2);
    m_pointer->addBackground(Text1);
    m_pointer->addInert(Label1);
    Text1->installEventFilter(this);

    connect(PushButton5, &QPushButton::clicked, this, &Form3::PushButton5_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form3::Text1_Change);
}

void Form3::Form_Load()
{
    Guard guard("Form3.Form_Load", Main::ErrorBox());
    guard.step(100, [&] { Main::ApplyColours(this); });
    guard.step(102, [&] { Main::ApplyIcon(this); });
    const QString hand = Main::BesideProgram(QStringLiteral("HAND-M.CUR"));
    if (guard.test(106, [&] { return Main::IsFilePresent(hand); }))
        guard.step(108, [&] { m_pointer->loadCustomImage(hand); });
    guard.step(110, [&] { setFileBox(Settings::Get(Settings::DBCFile)); });
}

void Form3::PushButton5_Click()
{
    Guard guard("Form3.PushButton5_Click", Main::ErrorBox());
    QString chosen;
    guard.step(108, [&] {
        chosen = prompts().openFile(this, QStringLiteral("Select Foxpro Database"),
                                    QStringLiteral("Microsoft Database (*.dbc)|*.dbc|"));
    });
    if (guard.test(110, [&] { return !chosen.isEmpty(); }))
        guard.step(112, [&] { setFileBox(chosen); });
}

void Form3::PushButton1_Click()
{
    Guard guard("Form3.PushButton1_Click", Main::ErrorBox());
    const QString text = Text1->text();
    if (guard.test(100, [&] { return !text.isEmpty(); })) {
        guard.step(102, [&] {
            m_startWindow.OptionDBC1 = true;
            m_startWindow.DBCPath1 = text;
        });
        guard.step(104, [&] { Settings::Save(Settings::FoxproOption, QStringLiteral("1")); });
    }
    guard.step(106, [&] { accept(); });
}

void Form3::PushButton2_Click()
{
    Guard guard("Form3.PushButton2_Click", Main::ErrorBox());
    guard.step(100, [&] { Settings::Save(Settings::FoxproOption, QStringLiteral("2")); });
    guard.step(102, [&] { m_startWindow.OptionDBC1 = false; });
    guard.step(104, [&] { reject(); });
}

void Form3::setFileBox(const QString &text)
{
    // The change is stored here, inside the caller's guarded step, so that a
    // failing write is reported under the caller's routine and line.
    if (text == Text1->text())
        return;
    {
        const QSignalBlocker quiet(Text1);
        Text1->setText(text);
    }
    Settings::Save(Settings::DBCFile, text);
}

void Form3::Text1_Change()
{
    // A keystroke has no routine above it to report a failing write, and a
    // failure must not escape the handler, so it is reported here.
    Guard guard("Form3.Text1_Change", Main::ErrorBox());
    guard.step(100, [&] { Settings::Save(Settings::DBCFile, Text1->text()); });
}

bool Form3::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::FocusIn)
        Text1->selectAll();
    return QDialog::eventFilter(watched, event);
}
