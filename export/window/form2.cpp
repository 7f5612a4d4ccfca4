#include "form2.h"

#include "appsink.h"
#include "apptitle.h"
#include "checks.h"
#include "foxpro1.h"
#include "programfolder.h"
#include "prompts.h"
#include "structurereport.h"
#include "tablelist.h"
#include "twips.h"
#include "windowlook.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>

using errorreport::Guard;

namespace {

// The list as the writer reads it. Selection changes wait while an export
// runs, so the flags are taken once: asking the list item by item costs a
// search of its selection ranges each time.
class ListSelection final : public TableSelection {
public:
    explicit ListSelection(const QListWidget &list) : m_list(list), m_selected(list.count(), false)
    {
        const QModelIndexList selected = list.selectionModel()->selectedIndexes();
        for (const QModelIndex &index : selected)
            m_selected[index.row()] = true;
    }
    int count() const override { return m_list.count(); }
    QString text(int index) const override { return m_list.item(index)->text(); }
    bool isSelected(int index) const override { return m_selected.at(index); }

    QStringList selectedTexts() const
    {
        QStringList texts;
        for (int i = 0; i < count(); ++i) {
            if (m_selected.at(i))
                texts.append(text(i));
        }
        return texts;
    }

private:
    const QListWidget &m_list;
    QList<bool> m_selected;
};

// The window's side of an export: the hourglass, messages, and pending events
// let through at most every few milliseconds so a long export stays responsive
// without paying for an event pass per field.
class WindowFeedback final : public ReportFeedback {
public:
    explicit WindowFeedback(Main::WindowPointer &pointer) : m_pointer(pointer) { m_sinceEvents.start(); }

    void setBusy(bool busy) override
    {
        m_pointer.setCode(busy ? Main::PointerHourglass : Main::PointerDefault);
    }

    void letEventsRun() override
    {
        if (m_sinceEvents.elapsed() < 15)
            return;
        QCoreApplication::processEvents();
        m_sinceEvents.restart();
    }

    void message(const QString &text) override { prompts().message(text); }

private:
    Main::WindowPointer &m_pointer;
    QElapsedTimer m_sinceEvents;
};

} // namespace

Form2::Form2(QWidget &startWindow, const ConnectionState &source)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_startWindow(startWindow), m_source(source)
{
    using Main::TwipsRect;
    setFixedSize(Main::Twips(8040), Main::Twips(3525));
    setFont(Main::BoxFont());

    PushButton2 = Main::MakeButton(QStringLiteral("< Back"), this, TwipsRect(120, 120, 7800, 405));
    Frame1 = new QGroupBox(
        QStringLiteral("Which tables structure do you want to export to text file?"), this);
    Frame1->setGeometry(TwipsRect(120, 600, 7800, 2350));
    List1 = new QListWidget(Frame1);
    List1->setGeometry(TwipsRect(240, 300, 7320, 1410));
    Frame1->setFont(Main::BoxFont());
    List1->setFont(Main::BoxFont());
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setToolTip(QStringLiteral("Hold CTRL+Click to select multiple tables"));
    PushButton8 = Main::MakeButton(QStringLiteral("Select All"), Frame1, TwipsRect(240, 1800, 3600, 405));
    PushButton9 = Main::MakeButton(QStringLiteral("Deselect All"), Frame1, TwipsRect(3960, 1800, 3600, 405));
    PushButton5 = Main::MakeButton(QStringLiteral("Start Exporting"), this, TwipsRect(120, 3075, 7800, 405));

    Main::NameWidgets({{this, "Form2"}, {PushButton2, "PushButton2"}, {Frame1, "Frame1"}, {List1, "List1"},
                       {PushButton8, "PushButton8"}, {PushButton9, "PushButton9"}, {PushButton5, "PushButton5"}});

    m_pointer = new Main::WindowPointer(this);
    for (QWidget *button : {PushButton2, PushButton5, PushButton8, PushButton9})
        m_pointer->addButton(button);
    m_pointer->addBackground(Frame1);
    m_pointer->addBackground(List1->viewport());

    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form2::PushButton9_Click);
}

void Form2::showTableWindow()
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    show();
}

void Form2::Form_Load()
{
    Guard guard("Form2.Form_Load", Main::ErrorBox());
    guard.step(100, [&] { Main::ApplyColours(this); });
    guard.step(102, [&] { Main::ApplyIcon(this); });
    const QString hand = Main::BesideProgram(QStringLiteral("HAND-M.CUR"));
    if (guard.test(106, [&] { return Main::IsFilePresent(hand); }))
        guard.step(108, [&] { m_pointer->loadCustomImage(hand); });
    guard.step(110, [&] { setWindowTitle(Main::ProductName); });
    guard.step(112, [&] { Foxpro1::AddTablesToFoxproListbox(List1, m_source); });
    if (guard.test(114, [&] { return List1->count() > 0; }))
        // The first item is also the current one, so "Start Exporting" takes it.
        guard.step(114, [&] { List1->setCurrentRow(0, QItemSelectionModel::Select); });
    guard.step(116, [&] { setEnabled(true); });
    guard.step(118, [&] { m_pointer->setCode(Main::PointerDefault); });
}

void Form2::PushButton2_Click()
{
    Guard guard("Form2.PushButton2_Click", Main::ErrorBox());
    guard.step(100, [&] { m_startWindow.show(); });
    guard.step(102, [&] { hide(); });
}

void Form2::PushButton8_Click()
{
    Guard guard("Form2.PushButton8_Click", Main::ErrorBox());
    for (int i = 0; i < List1->count(); ++i)
        guard.step(102, [&] { List1->item(i)->setSelected(true); });
}

void Form2::PushButton9_Click()
{
    Guard guard("Form2.PushButton9_Click", Main::ErrorBox());
    for (int i = 0; i < List1->count(); ++i)
        guard.step(102, [&] { List1->item(i)->setSelected(false); });
}

void Form2::PushButton5_Click()
{
    if (m_exporting)
        return;
    Guard guard("Form2.PushButton5_Click", Main::ErrorBox());
    if (guard.test(100, [&] { return List1->currentRow() == -1; })) {
        guard.step(124, [&] { prompts().message(QStringLiteral("Please select a table")); });
        return;
    }
    QString path;
    guard.step(110, [&] {
        path = prompts().openFile(this, QStringLiteral("Select The Text File"),
                                  QStringLiteral("Text Files (*.txt)|*.txt"));
    });
    if (guard.test(114, [&] { return path.isEmpty(); }))
        return;
    // Locked before anything lets pending events run: a queued click can
    // start no second export and change no selection.
    const ExportLock lock(*this);
    std::optional<QFile::Permissions> restore;
    // Hidden files count as existing: the user is asked before any file is replaced.
    if (guard.test(116, [&] { return QFileInfo(path).isFile(); })) {
        bool replace = false;
        guard.step(118, [&] {
            replace = prompts().question(path + QStringLiteral(" Already Exists. Overwrite It?"));
        });
        if (!replace)
            return;
        // The old file stays until the new report takes its place; with
        // nothing selected none will, and a source's file is never touched.
        if (List1->selectionModel()->hasSelection())
            guard.step(120, [&] {
                if (!isSourceFile(path, currentSource(), ListSelection(*List1).selectedTexts()))
                    restore = Main::AllowReplacing(path);
            });
    }
    bool written = false;
    guard.step(122, [&] { written = generateStructure(path); });
    if (!written && restore)
        QFile::setPermissions(path, *restore);
}

ReportSource Form2::currentSource() const
{
    return m_source.containerMode() ? ReportSource::containerFile(m_source.containerPath())
                                    : ReportSource::folder(m_source.folderText());
}

bool Form2::generateStructure(const QString &reportPath)
{
    ListSelection selection(*List1);
    WindowFeedback feedback(*m_pointer);
    // Commands, selection changes and closing wait until the export ends, so
    // the contents list and the blocks always agree.
    std::optional<ExportLock> lock;
    if (!m_exporting)
        lock.emplace(*this);
    return ::generateStructure(reportPath, selection, currentSource(), feedback, Main::ErrorBox());
}

Form2::ExportLock::ExportLock(Form2 &window) : m_window(window)
{
    m_window.m_exporting = true;
    m_window.setCommandsEnabled(false);
}

Form2::ExportLock::~ExportLock()
{
    m_window.setCommandsEnabled(true);
    m_window.m_exporting = false;
}

void Form2::setCommandsEnabled(bool enabled)
{
    const QList<QWidget *> commands{List1, PushButton2, PushButton5, PushButton8, PushButton9};
    for (QWidget *widget : commands)
        widget->setEnabled(enabled);
}

void Form2::closeEvent(QCloseEvent *event)
{
    if (m_exporting) {
        event->ignore();
        return;
    }
    event->accept();
    Main::EndProgram();
}

namespace Foxpro1 {

void AddTablesToFoxproListbox(QListWidget *list, const ConnectionState &source)
{
    try {
        ReadTableList(
            GetConnectionString(source), [&] { list->clear(); },
            [&](const QString &name) { list->addItem(name); });
    } catch (const Failure &failure) {
        prompts().message(QString::number(failure.number()) + QLatin1Char(' ') + failure.description());
    } catch (const std::exception &failure) {
        prompts().message(QStringLiteral("0 ") + QString::fromLocal8Bit(failure.what()));
    }
}

} // namespace Foxpro1
