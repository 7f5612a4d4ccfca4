#include "connection/advancedoptionswindow.h"

#include "app/appsink.h"
#include "app/core/checks.h"
#include "connection/startwindow.h"
#include "app/core/programfolder.h"
#include "app/prompts.h"
#include "app/core/settings.h"
#include "app/twips.h"
#include "app/windowlook.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace connection {

using app::ErrorGuard;
using app::prompts;

namespace {

// The line labels each routine's error report names.
namespace loadLabels {
constexpr int Colours = 100;
constexpr int Icon = 102;
constexpr int HandPointerPresent = 106;
constexpr int HandPointer = 108;
constexpr int RestoreFile = 110;
} // namespace loadLabels

namespace browseLabels {
constexpr int Browse = 108;
constexpr int Chosen = 110;
constexpr int SetFile = 112;
} // namespace browseLabels

namespace okLabels {
constexpr int NotEmpty = 100;
constexpr int ContainerMode = 102;
constexpr int SaveOption = 104;
constexpr int Close = 106;
} // namespace okLabels

namespace cancelLabels {
constexpr int SaveOption = 100;
constexpr int FolderMode = 102;
constexpr int Close = 104;
} // namespace cancelLabels

namespace fileChangeLabels {
constexpr int SaveFile = 100;
} // namespace fileChangeLabels

} // namespace

AdvancedOptionsWindow::AdvancedOptionsWindow(StartWindow &startWindow, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      m_startWindow(startWindow)
{
    using app::twipsRect;
    setWindowTitle(QStringLiteral("Advanced Options"));
    setModal(true);
    setFixedSize(app::twips(8040), app::twips(1650));
    setFont(app::boxFont());

    m_fileFrame = new QGroupBox(QStringLiteral("Advanced Option"), this);
    m_fileFrame->setGeometry(twipsRect(120, 120, 7800, 885));
    m_fileLabel = new QLabel(QStringLiteral("DBC File:"), m_fileFrame);
    m_fileLabel->setGeometry(twipsRect(240, 360, 735, 225));
    for (QWidget *plain : {static_cast<QWidget *>(m_fileFrame), static_cast<QWidget *>(m_fileLabel)})
        plain->setFont(app::boxFont());
    app::fitWidth(m_fileLabel); // fonts differ from the design's; never cut a caption
    m_fileBox = new QLineEdit(m_fileFrame);
    m_fileBox->setGeometry(twipsRect(1080, 330, 5775, 345));
    m_fileBox->setFont(app::boxFont());
    app::keepClearOfCaption(m_fileLabel, m_fileBox);
    // Screen readers name the box after its caption.
    m_fileLabel->setBuddy(m_fileBox);
    m_browseButton = app::makeButton(QStringLiteral("..."), m_fileFrame, twipsRect(6960, 330, 600, 345));
    m_okButton = app::makeButton(QStringLiteral("OK"), this, twipsRect(120, 1130, 3840, 405));
    m_cancelButton = app::makeButton(QStringLiteral("Cancel"), this, twipsRect(4080, 1130, 3840, 405));
    for (QPushButton *button : {m_browseButton, m_okButton, m_cancelButton})
        button->setAutoDefault(false);

    app::nameWidgets({{this, "Form3"}, {m_fileFrame, "Frame2"}, {m_fileLabel, "Label1"}, {m_fileBox, "Text1"},
                       {m_browseButton, "PushButton5"}, {m_okButton, "PushButton1"}, {m_cancelButton, "PushButton2"}});

    m_pointer = new app::WindowPointer(this);
    for (QWidget *button : {m_browseButton, m_okButton, m_cancelButton})
        m_pointer->addButton(button);
    m_pointer->addBackground(m_fileFrame);
    m_pointer->addBackground(m_fileBox);
    m_pointer->addInert(m_fileLabel);
    m_fileBox->installEventFilter(this);

    connect(m_browseButton, &QPushButton::clicked, this, &AdvancedOptionsWindow::onBrowseClicked);
    connect(m_okButton, &QPushButton::clicked, this, &AdvancedOptionsWindow::onOkClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &AdvancedOptionsWindow::onCancelClicked);
    connect(m_fileBox, &QLineEdit::textChanged, this, &AdvancedOptionsWindow::onFileTextChanged);
}

void AdvancedOptionsWindow::load()
{
    ErrorGuard guard("Form3.Form_Load", app::errorBoxSink());
    guard.step(loadLabels::Colours, [&] { app::applyColours(this); });
    guard.step(loadLabels::Icon, [&] { app::applyIcon(this); });
    const QString hand = app::besideProgram(QStringLiteral("HAND-M.CUR"));
    if (guard.test(loadLabels::HandPointerPresent, [&] { return app::isFilePresent(hand); }))
        guard.step(loadLabels::HandPointer, [&] { m_pointer->loadCustomImage(hand); });
    guard.step(loadLabels::RestoreFile, [&] { setFileBox(app::readSetting(app::DBCFileKey)); });
}

void AdvancedOptionsWindow::onBrowseClicked()
{
    ErrorGuard guard("Form3.PushButton5_Click", app::errorBoxSink());
    QString chosen;
    guard.step(browseLabels::Browse, [&] {
        chosen = prompts()
                     .openFile(this, QStringLiteral("Select Foxpro Database"),
                               QStringLiteral("Microsoft Database (*.dbc)|*.dbc|"), QString())
                     .path;
    });
    if (guard.test(browseLabels::Chosen, [&] { return !chosen.isEmpty(); }))
        guard.step(browseLabels::SetFile, [&] { setFileBox(chosen); });
}

void AdvancedOptionsWindow::onOkClicked()
{
    ErrorGuard guard("Form3.PushButton1_Click", app::errorBoxSink());
    const QString text = m_fileBox->text();
    if (guard.test(okLabels::NotEmpty, [&] { return !text.isEmpty(); })) {
        guard.step(okLabels::ContainerMode, [&] {
            m_startWindow.setContainerMode(true);
            m_startWindow.setContainerPath(text);
        });
        guard.step(okLabels::SaveOption, [&] { app::saveSetting(app::FoxproOptionKey, QStringLiteral("1")); });
    }
    guard.step(okLabels::Close, [&] { accept(); });
}

void AdvancedOptionsWindow::onCancelClicked()
{
    ErrorGuard guard("Form3.PushButton2_Click", app::errorBoxSink());
    guard.step(cancelLabels::SaveOption, [&] { app::saveSetting(app::FoxproOptionKey, QStringLiteral("2")); });
    guard.step(cancelLabels::FolderMode, [&] { m_startWindow.setContainerMode(false); });
    guard.step(cancelLabels::Close, [&] { reject(); });
}

void AdvancedOptionsWindow::setFileBox(const QString &text)
{
    // The change is stored here, inside the caller's guarded step, so that a
    // failing write is reported under the caller's routine and line.
    if (text == m_fileBox->text())
        return;
    {
        const QSignalBlocker quiet(m_fileBox);
        m_fileBox->setText(text);
    }
    app::saveSetting(app::DBCFileKey, text);
}

void AdvancedOptionsWindow::onFileTextChanged()
{
    // A keystroke has no routine above it to report a failing write, and a
    // failure must not escape the handler, so it is reported here.
    ErrorGuard guard("Form3.Text1_Change", app::errorBoxSink());
    guard.step(fileChangeLabels::SaveFile, [&] { app::saveSetting(app::DBCFileKey, m_fileBox->text()); });
}

bool AdvancedOptionsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_fileBox && event->type() == QEvent::FocusIn)
        m_fileBox->selectAll();
    return QDialog::eventFilter(watched, event);
}

} // namespace connection
