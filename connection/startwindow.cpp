#include "connection/startwindow.h"

#include "connection/folderfiles.h"
#include "app/appsink.h"
#include "app/core/apptitle.h"
#include "app/core/checks.h"
#include "model/dataaccess.h"
#include "connection/advancedoptionswindow.h"
#include "connection/sourceconnection.h"
#include "app/core/programfolder.h"
#include "app/prompts.h"
#include "app/core/settings.h"
#include "app/twips.h"
#include "app/windowlook.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace connection {

using app::ErrorGuard;
using app::prompts;

namespace {

// The line labels each routine's error report names.
namespace loadLabels {
constexpr int Skin = 100;
constexpr int TitleAndIcon = 104;
constexpr int HandPointerPresent = 124;
constexpr int HandPointer = 126;
constexpr int RestoreFolder = 128;
constexpr int RestoreContainer = 130;
constexpr int ContainerOption = 132;
constexpr int ContainerMode = 134;
constexpr int FolderOption = 136;
constexpr int FolderMode = 138;
constexpr int CanConnect = 140;
constexpr int ShowTables = 142;
constexpr int Hide = 144;
} // namespace loadLabels

namespace sampleLabels {
constexpr int SaveOption = 100;
constexpr int FolderMode = 102;
constexpr int SamplesFolder = 104;
} // namespace sampleLabels

namespace nextLabels {
constexpr int CanConnect = 100;
constexpr int ShowTables = 102;
constexpr int Hide = 104;
constexpr int LoadTables = 106;
} // namespace nextLabels

namespace browseLabels {
constexpr int Browse = 100;
constexpr int Chosen = 102;
constexpr int SetFolder = 104;
} // namespace browseLabels

namespace testLabels {
constexpr int CreateConnection = 100;
} // namespace testLabels

namespace helpLabels {
constexpr int Message = 100;
} // namespace helpLabels

namespace containerLabels {
constexpr int ShowOptions = 100;
} // namespace containerLabels

namespace folderChangeLabels {
constexpr int SaveFolder = 100;
constexpr int NotEmpty = 102;
constexpr int SaveOption = 104;
constexpr int FolderMode = 106;
} // namespace folderChangeLabels

} // namespace

StartWindow::StartWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    using app::twipsRect;
    setFixedSize(app::twips(8040), app::twips(2580));

    m_helpButton = app::makeButton(QStringLiteral("Help"), this, twipsRect(120, 120, 7800, 405));
    m_folderFrame = new QGroupBox(QStringLiteral("FoxPro Login"), this);
    m_folderFrame->setFont(app::boxFont());
    m_folderFrame->setGeometry(twipsRect(120, 570, 7800, 1365));
    m_folderLabel = new QLabel(QStringLiteral("Folder containing DBF/s:"), m_folderFrame);
    m_folderLabel->setFont(app::boxFont());
    m_folderLabel->setGeometry(twipsRect(240, 345, 2025, 225));
    app::fitWidth(m_folderLabel); // fonts differ from the design's; never cut a caption
    m_folderBox = new QLineEdit(m_folderFrame);
    m_folderBox->setFont(app::boxFont());
    m_folderBox->setGeometry(twipsRect(2400, 300, 4455, 345));
    app::keepClearOfCaption(m_folderLabel, m_folderBox);
    // Screen readers name the box after its caption.
    m_folderLabel->setBuddy(m_folderBox);
    m_browseButton = app::makeButton(QStringLiteral("..."), m_folderFrame, twipsRect(6960, 300, 600, 345));
    m_sampleButton = app::makeButton(QStringLiteral("Load Sample/Example Database"), m_folderFrame,
                             twipsRect(240, 780, 3600, 405));
    m_testButton = app::makeButton(QStringLiteral("Test Connection"), m_folderFrame, twipsRect(3960, 780, 2880, 405));
    m_containerButton = app::makeButton(QStringLiteral("dbc"), m_folderFrame, twipsRect(6960, 780, 600, 405));
    m_nextButton = app::makeButton(QStringLiteral("Next >"), this, twipsRect(120, 2050, 7800, 405));

    setTabOrder(m_folderBox, m_browseButton);
    setTabOrder(m_browseButton, m_testButton);
    setTabOrder(m_testButton, m_nextButton);
    setTabOrder(m_nextButton, m_helpButton);
    setTabOrder(m_helpButton, m_sampleButton);
    setTabOrder(m_sampleButton, m_containerButton);
    m_folderBox->setFocus();

    app::nameWidgets({{this, "Form1"}, {m_helpButton, "PushButton10"}, {m_folderFrame, "Frame1"}, {m_folderLabel, "Label1"},
                       {m_folderBox, "Text2"}, {m_browseButton, "PushButton7"}, {m_sampleButton, "PushButton1"},
                       {m_testButton, "PushButton8"}, {m_containerButton, "PushButton12"}, {m_nextButton, "PushButton3"}});

    m_pointer = new app::WindowPointer(this);
    for (QWidget *button : {m_sampleButton, m_nextButton, m_browseButton, m_testButton, m_helpButton, m_containerButton})
        m_pointer->addButton(button);
    m_pointer->addBackground(m_folderFrame);
    m_pointer->addBackground(m_folderBox);
    m_pointer->addInert(m_folderLabel);
    m_folderBox->installEventFilter(this);

    connect(m_sampleButton, &QPushButton::clicked, this, &StartWindow::onSampleClicked);
    connect(m_nextButton, &QPushButton::clicked, this, &StartWindow::onNextClicked);
    connect(m_browseButton, &QPushButton::clicked, this, &StartWindow::onBrowseClicked);
    connect(m_testButton, &QPushButton::clicked, this, &StartWindow::onTestClicked);
    connect(m_helpButton, &QPushButton::clicked, this, &StartWindow::onHelpClicked);
    connect(m_containerButton, &QPushButton::clicked, this, &StartWindow::onContainerClicked);
    connect(m_folderBox, &QLineEdit::textChanged, this, &StartWindow::onFolderTextChanged);
}

TableStep &StartWindow::tableStep() const
{
    if (!m_tableStep)
        throw Failure(QStringLiteral("The table window is not there."));
    return *m_tableStep;
}

QString StartWindow::folderText() const
{
    return m_folderBox->text();
}

void StartWindow::load()
{
    ErrorGuard guard("Form1.Form_Load", app::errorBoxSink());
    guard.step(loadLabels::Skin, [&] { app::applySkin(this); });
    guard.step(loadLabels::TitleAndIcon, [&] { setWindowTitle(app::ProductName); });
    guard.step(loadLabels::TitleAndIcon, [&] { app::applyIcon(this); });
    guard.step(loadLabels::TitleAndIcon, [&] { app::setAppTitle(); });
    const QString hand = app::besideProgram(QStringLiteral("HAND-M.CUR"));
    if (guard.test(loadLabels::HandPointerPresent, [&] { return app::isFilePresent(hand); }))
        guard.step(loadLabels::HandPointer, [&] { m_pointer->loadCustomImage(hand); });
    // Restoring a non-empty folder runs the folder box change, which switches
    // to folder mode before the stored mode is read below.
    guard.step(loadLabels::RestoreFolder,
               [&] { m_folderBox->setText(app::readSetting(app::FreeTableFolderKey)); });
    guard.step(loadLabels::RestoreContainer, [&] { m_containerPath = app::readSetting(app::DBCFileKey); });
    if (guard.test(loadLabels::ContainerOption,
                   [&] { return app::readSetting(app::FoxproOptionKey) != QLatin1String("2"); })) {
        guard.step(loadLabels::ContainerMode, [&] { m_containerMode = true; });
    } else if (guard.test(loadLabels::FolderOption,
                          [&] { return app::readSetting(app::FoxproOptionKey) == QLatin1String("2"); })) {
        guard.step(loadLabels::FolderMode, [&] { m_containerMode = false; });
    }
    if (!guard.test(loadLabels::CanConnect, [&] { return connection::canConnect(*this); })) {
        show();
        m_folderBox->selectAll();
        return;
    }
    guard.step(loadLabels::ShowTables, [&] { tableStep().showTableWindow(); });
    guard.step(loadLabels::Hide, [&] { hide(); });
}

void StartWindow::onSampleClicked()
{
    ErrorGuard guard("Form1.PushButton1_Click", app::errorBoxSink());
    guard.step(sampleLabels::SaveOption, [&] { app::saveSetting(app::FoxproOptionKey, QStringLiteral("2")); });
    guard.step(sampleLabels::FolderMode, [&] { m_containerMode = false; });
    guard.step(sampleLabels::SamplesFolder,
               [&] { m_folderBox->setText(app::besideProgram(QStringLiteral("Samples"))); });
}

void StartWindow::onNextClicked()
{
    ErrorGuard guard("Form1.PushButton3_Click", app::errorBoxSink());
    if (!guard.test(nextLabels::CanConnect, [&] { return connection::canConnect(*this); }))
        return;
    guard.step(nextLabels::ShowTables, [&] { tableStep().showTableWindow(); });
    guard.step(nextLabels::Hide, [&] { hide(); });
    guard.step(nextLabels::LoadTables, [&] { tableStep().load(); });
}

void StartWindow::onBrowseClicked()
{
    ErrorGuard guard("Form1.PushButton7_Click", app::errorBoxSink());
    QString chosen;
    guard.step(browseLabels::Browse, [&] {
        // The browser opens on the folder in the box; on the dialog's own default when there is none.
        const QString typed = m_folderBox->text();
        chosen = connection::browseFolder(this, QStringLiteral("Please select folder:"),
                                          app::isFolderPresent(typed) ? typed : QString());
    });
    if (!guard.test(browseLabels::Chosen, [&] { return !chosen.isEmpty(); }))
        return;
    const bool unchanged = m_folderBox->text() == chosen;
    guard.step(browseLabels::SetFolder, [&] { m_folderBox->setText(chosen); });
    // The box's change handler runs only when its text changes; a folder
    // chosen again after a container is the source all the same.
    if (unchanged)
        onFolderTextChanged();
}

void StartWindow::onTestClicked()
{
    std::unique_ptr<model::Connection> connection;
    ErrorGuard guard("Form1.PushButton8_Click", app::errorBoxSink());
    guard.step(testLabels::CreateConnection, [&] { connection = model::factory().createConnection(); });
    // From here on any failure means the source cannot be reached.
    try {
        m_pointer->setCode(app::PointerHourglass);
        if (!connection)
            throw Failure(QStringLiteral("There is no connection to open."));
        connection->setCursorLocation(2);
        connection->Open(connection::connectionStringOf(*this));
        prompts().message(this, QStringLiteral("Connection successful."));
        m_pointer->setCode(app::PointerDefault);
    } catch (const std::exception &) {
        prompts().message(this, QStringLiteral("Could not connect."));
        m_pointer->setCode(app::PointerDefault);
    }
}

void StartWindow::onHelpClicked()
{
    ErrorGuard guard("Form1.PushButton10_Click", app::errorBoxSink());
    guard.step(helpLabels::Message, [&] {
        prompts().message(this, QStringLiteral("Make sure FoxPro is closed while using this application."));
    });
}

void StartWindow::onContainerClicked()
{
    ErrorGuard guard("Form1.PushButton12_Click", app::errorBoxSink());
    guard.step(containerLabels::ShowOptions, [&] {
        AdvancedOptionsWindow options(*this, this);
        options.load();
        prompts().showModal(&options);
    });
}

void StartWindow::onFolderTextChanged()
{
    ErrorGuard guard("Form1.Text2_Change", app::errorBoxSink());
    const QString text = m_folderBox->text();
    guard.step(folderChangeLabels::SaveFolder, [&] { app::saveSetting(app::FreeTableFolderKey, text); });
    if (guard.test(folderChangeLabels::NotEmpty, [&] { return !text.isEmpty(); })) {
        guard.step(folderChangeLabels::SaveOption,
                   [&] { app::saveSetting(app::FoxproOptionKey, QStringLiteral("2")); });
        guard.step(folderChangeLabels::FolderMode, [&] { m_containerMode = false; });
    }
}

void StartWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    app::endProgram();
}

bool StartWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_folderBox && event->type() == QEvent::FocusIn)
        m_folderBox->selectAll();
    return QWidget::eventFilter(watched, event);
}

} // namespace connection
