#include "export/window/tablewindow.h"

#include "app/appsink.h"
#include "app/core/apptitle.h"
#include "app/core/checks.h"
#include "model/dataaccess.h"
#include "export/dictionary/dictionary.h"
#include "export/migrate/migration.h"
#include "export/report/dictionaryreport.h"
#include "platform/cleantext.h"
#include "export/report/reportfile.h"
#include "connection/sourceconnection.h"
#include "app/core/programfolder.h"
#include "app/prompts.h"
#include "model/sourcemodel.h"
#include "export/report/structurereport.h"
#include "export/report/tablelist.h"
#include "app/twips.h"
#include "app/windowlook.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>

#include <memory>
#include <optional>

namespace window {

using app::ErrorGuard;
using app::prompts;
using connection::ConnectionState;
using connection::connectionStringOf;

namespace {

// The line labels each routine's error report names.
namespace loadLabels {
constexpr int Colours = 100;
constexpr int Icon = 102;
constexpr int HandPointerPresent = 106;
constexpr int HandPointer = 108;
constexpr int Title = 110;
constexpr int FillList = 112;
constexpr int SelectFirst = 114;
constexpr int Enable = 116;
constexpr int Pointer = 118;
} // namespace loadLabels

namespace backLabels {
constexpr int ShowStart = 100;
constexpr int Hide = 102;
} // namespace backLabels

namespace selectionLabels {
constexpr int SelectItem = 102;
} // namespace selectionLabels

namespace exportLabels {
constexpr int NoCurrentItem = 100;
constexpr int ChooseFile = 110;
constexpr int Cancelled = 114;
constexpr int FileExists = 116;
constexpr int AskToReplace = 118;
constexpr int AllowReplacing = 120;
constexpr int Write = 122;
constexpr int SelectTable = 124;
} // namespace exportLabels

// Form2.generateDictionary, the data dictionary's writer.
namespace dictionaryLabels {
constexpr int OpenFile = 100;
constexpr int ReadModel = 102;
constexpr int WriteDocument = 104;
constexpr int CloseFile = 106;
} // namespace dictionaryLabels

// Form2.generateDatabase, the SQLite database with the data.
namespace databaseLabels {
constexpr int Load = 100;
} // namespace databaseLabels

// The dialog entry of a new SQLite database holding the tables and their rows.
const char databaseFilter[] = "SQLite database with the data (*.sqlite)";

// The entries of the report file dialog, the text report first (the one
// chosen when the dialog opens), then the database with the data, then the
// diagrams.
QString reportFilter()
{
    QStringList parts;
    const auto add = [&](bool diagrams) {
        for (const dictionary::ReportFormat &format : dictionary::reportFormats()) {
            if (format.diagram == diagrams)
                parts << QLatin1String(format.filterText) << QLatin1String(format.pattern);
        }
    };
    add(false);
    parts << QLatin1String(databaseFilter) << QStringLiteral("*.sqlite");
    add(true);
    return parts.join(QLatin1Char('|'));
}

// Thrown from the load's progress when the user chose Cancel.
struct LoadCancelled {};

// What a load did, for the message that ends it: the total, each table's
// counts, then what reading the values found.
QString loadSummary(const migrate::Migration &migration)
{
    qint64 rows = 0;
    QStringList lines;
    for (const migrate::TableLoad &load : migration.tables) {
        rows += load.loaded;
        lines << QStringLiteral("%1: %2 read, %3 loaded, %4 deleted left out, %5 findings")
                     .arg(load.table)
                     .arg(load.read)
                     .arg(load.loaded)
                     .arg(load.deleted)
                     .arg(load.findings);
    }
    QString text = QStringLiteral("Loaded into %1: %2 %3 of %4 %5.")
                       .arg(migration.target)
                       .arg(rows)
                       .arg(rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                       .arg(migration.tables.size())
                       .arg(migration.tables.size() == 1 ? QStringLiteral("table") : QStringLiteral("tables"));
    text += QStringLiteral("\r\n\r\n") + lines.join(QStringLiteral("\r\n"));
    if (!migration.findings.isEmpty()) {
        QStringList found;
        for (const model::Finding &finding : migration.findings)
            found << finding.place + QStringLiteral(": ") + platform::cleanText(finding.message, platform::OneLine);
        text += QStringLiteral("\r\n\r\n") + found.join(QStringLiteral("\r\n"));
    }
    return text;
}

// The selected tables and every record of them into a new SQLite database at
// `path` (replacing a file there when `replace`), a progress dialog with
// Cancel showing how far it has come. Rows that break a relation are loaded
// and named. Ends with the summary; a failure goes to `errors` under
// "Form2.generateDatabase". Cancel, or a failure, leaves nothing behind.
bool loadDatabase(QWidget &window, const QString &path, bool replace, const QStringList &tables,
                  const report::ReportSource &source, app::ErrorSink &errors)
{
    if (tables.isEmpty()) {
        prompts().message(&window, QStringLiteral("Select The Table To Print The Structure"));
        return false;
    }
    ErrorGuard guard("Form2.generateDatabase", errors);
    migrate::MigrationOptions options;
    options.replace = replace;
    options.constraints = migrate::Constraints::After;
    std::unique_ptr<app::Progress> progress = prompts().progress(&window, QStringLiteral("Loading the data"));
    options.progress = [&](const migrate::MigrationProgress &now) {
        const int permille = now.bytesTotal > 0 ? int(now.bytesRead * 1000 / now.bytesTotal) : 0;
        if (!progress->update(QStringLiteral("%1: %2 rows").arg(now.table).arg(now.rows), permille))
            throw LoadCancelled();
    };
    migrate::Migration migration;
    bool cancelled = false;
    const bool loaded = guard.step(databaseLabels::Load, [&] {
        try {
            migration = migrate::migrateToSqlite(source.path, tables, path, options);
        } catch (const LoadCancelled &) {
            cancelled = true;
        }
    });
    progress.reset();
    if (cancelled) {
        prompts().message(&window, QStringLiteral("Cancelled: nothing was written."));
        return false;
    }
    if (loaded)
        prompts().message(&window, loadSummary(migration));
    return loaded;
}

// The format of the dialog entry described by `filter`; the text report for
// any other (a dialog that names none).
std::optional<dictionary::DictionaryFormat> formatChosen(const QString &filter)
{
    for (const dictionary::ReportFormat &format : dictionary::reportFormats()) {
        if (filter == QLatin1String(format.filterText))
            return format.dictionary;
    }
    return std::nullopt;
}

// The data dictionary of the selected tables, written whole or not at all
// like the text report, with the same messages; failures go to `errors`
// under "Form2.generateDictionary", a table the document lacks among them.
// True when all of it was written and "Done." shown.
bool writeDictionaryReport(const QString &reportPath, dictionary::DictionaryFormat format, const QStringList &tables,
                           const report::ReportSource &source, report::ReportFeedback &feedback, app::ErrorSink &errors)
{
    if (tables.isEmpty()) {
        feedback.message(QStringLiteral("Select The Table To Print The Structure"));
        return false;
    }
    const char *routine = "Form2.generateDictionary";
    ErrorGuard guard(routine, errors);
    feedback.setBusy(true);
    std::unique_ptr<report::ReportOutput> output;
    report::DictionaryResult dictionary;
    // The document is written as it is made; a failure to write it is the
    // writing step's, not the reading's.
    bool writing = false;
    std::optional<Failure> writeFailure;
    const auto write = [&](QByteArrayView bytes) {
        writing = true;
        output->write(bytes);
        writing = false;
    };
    const bool written =
        guard.step(dictionaryLabels::OpenFile,
                   [&] {
                       report::refuseSourceFile(reportPath, source, tables);
                       output = report::openReportOutput(reportPath);
                   })
        && guard.step(dictionaryLabels::ReadModel,
                      [&] {
                          try {
                              dictionary = report::dictionaryOf(format, source, tables, write);
                          } catch (const Failure &failure) {
                              if (!writing)
                                  throw;
                              writeFailure = failure;
                          }
                      })
        && guard.step(dictionaryLabels::WriteDocument, [&] {
               if (writeFailure)
                   throw *writeFailure;
           })
        && guard.step(dictionaryLabels::CloseFile, [&] { output->commit(); });
    if (!written && output)
        output->discard();
    output.reset();
    feedback.setBusy(false);
    // What the document lacks because a table could not be read is an error
    // naming the table, as orvalle-report's failure lines are: no "Done.".
    for (const model::Finding &failure : std::as_const(dictionary.failures))
        errors.report(app::errorLocation(routine), dictionaryLabels::ReadModel,
                      failure.place + QStringLiteral(": ") + failure.message);
    const bool whole = written && dictionary.failures.isEmpty();
    if (whole)
        feedback.message(QStringLiteral("Done."));
    return whole;
}

// The list as the writer reads it. Selection changes wait while an export
// runs, so the flags are taken once: asking the list item by item costs a
// search of its selection ranges each time.
class ListSelection final : public report::TableSelection {
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
class WindowFeedback final : public report::ReportFeedback {
public:
    WindowFeedback(QWidget &window, app::WindowPointer &pointer) : m_window(window), m_pointer(pointer)
    {
        m_sinceEvents.start();
    }

    void setBusy(bool busy) override
    {
        m_pointer.setCode(busy ? app::PointerHourglass : app::PointerDefault);
    }

    void letEventsRun() override
    {
        // The clock is read every few calls only: reading it for every field
        // would slow the export itself.
        if (++m_calls % 32 != 0 || m_sinceEvents.elapsed() < 15)
            return;
        QCoreApplication::processEvents();
        m_sinceEvents.restart();
    }

    void message(const QString &text) override { prompts().message(&m_window, text); }

private:
    QWidget &m_window;
    app::WindowPointer &m_pointer;
    QElapsedTimer m_sinceEvents;
    quint32 m_calls = 0;
};

} // namespace

TableWindow::TableWindow(QWidget &startWindow, const ConnectionState &source)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_startWindow(startWindow), m_source(source)
{
    using app::twipsRect;
    setFixedSize(app::twips(8040), app::twips(3525));
    setFont(app::boxFont());

    m_backButton = app::makeButton(QStringLiteral("< Back"), this, twipsRect(120, 120, 7800, 405));
    m_tableFrame = new QGroupBox(
        QStringLiteral("Which tables structure do you want to export to text file?"), this);
    m_tableFrame->setGeometry(twipsRect(120, 600, 7800, 2350));
    m_tableList = new QListWidget(m_tableFrame);
    m_tableList->setGeometry(twipsRect(240, 300, 7320, 1410));
    m_tableFrame->setFont(app::boxFont());
    m_tableList->setFont(app::boxFont());
    m_tableList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tableList->setToolTip(QStringLiteral("Hold CTRL+Click to select multiple tables"));
    // Screen readers would otherwise name the list after its frame's question.
    m_tableList->setAccessibleName(QStringLiteral("Tables"));
    m_selectAllButton = app::makeButton(QStringLiteral("Select All"), m_tableFrame, twipsRect(240, 1800, 3600, 405));
    m_deselectAllButton = app::makeButton(QStringLiteral("Deselect All"), m_tableFrame, twipsRect(3960, 1800, 3600, 405));
    m_exportButton = app::makeButton(QStringLiteral("Start Exporting"), this, twipsRect(120, 3075, 7800, 405));

    app::nameWidgets({{this, "Form2"}, {m_backButton, "PushButton2"}, {m_tableFrame, "Frame1"}, {m_tableList, "List1"},
                       {m_selectAllButton, "PushButton8"}, {m_deselectAllButton, "PushButton9"}, {m_exportButton, "PushButton5"}});

    m_pointer = new app::WindowPointer(this);
    for (QWidget *button : {m_backButton, m_exportButton, m_selectAllButton, m_deselectAllButton})
        m_pointer->addButton(button);
    m_pointer->addBackground(m_tableFrame);
    m_pointer->addBackground(m_tableList->viewport());

    connect(m_backButton, &QPushButton::clicked, this, &TableWindow::onBackClicked);
    connect(m_exportButton, &QPushButton::clicked, this, &TableWindow::onExportClicked);
    connect(m_selectAllButton, &QPushButton::clicked, this, &TableWindow::onSelectAllClicked);
    connect(m_deselectAllButton, &QPushButton::clicked, this, &TableWindow::onDeselectAllClicked);
}

void TableWindow::showTableWindow()
{
    if (!m_loaded) {
        m_loaded = true;
        load();
    }
    show();
}

void TableWindow::load()
{
    ErrorGuard guard("Form2.Form_Load", app::errorBoxSink());
    guard.step(loadLabels::Colours, [&] { app::applyColours(this); });
    guard.step(loadLabels::Icon, [&] { app::applyIcon(this); });
    const QString hand = app::besideProgram(QStringLiteral("HAND-M.CUR"));
    if (guard.test(loadLabels::HandPointerPresent, [&] { return app::isFilePresent(hand); }))
        guard.step(loadLabels::HandPointer, [&] { m_pointer->loadCustomImage(hand); });
    guard.step(loadLabels::Title, [&] { setWindowTitle(app::ProductName); });
    guard.step(loadLabels::FillList, [&] { fillTableList(m_tableList, m_source); });
    if (guard.test(loadLabels::SelectFirst, [&] { return m_tableList->count() > 0; }))
        // The first item is also the current one, so "Start Exporting" takes it.
        guard.step(loadLabels::SelectFirst, [&] { m_tableList->setCurrentRow(0, QItemSelectionModel::Select); });
    guard.step(loadLabels::Enable, [&] { setEnabled(true); });
    guard.step(loadLabels::Pointer, [&] { m_pointer->setCode(app::PointerDefault); });
}

void TableWindow::onBackClicked()
{
    ErrorGuard guard("Form2.PushButton2_Click", app::errorBoxSink());
    guard.step(backLabels::ShowStart, [&] { m_startWindow.show(); });
    guard.step(backLabels::Hide, [&] { hide(); });
}

void TableWindow::onSelectAllClicked()
{
    ErrorGuard guard("Form2.PushButton8_Click", app::errorBoxSink());
    for (int i = 0; i < m_tableList->count(); ++i)
        guard.step(selectionLabels::SelectItem, [&] { m_tableList->item(i)->setSelected(true); });
}

void TableWindow::onDeselectAllClicked()
{
    ErrorGuard guard("Form2.PushButton9_Click", app::errorBoxSink());
    for (int i = 0; i < m_tableList->count(); ++i)
        guard.step(selectionLabels::SelectItem, [&] { m_tableList->item(i)->setSelected(false); });
}

void TableWindow::onExportClicked()
{
    if (m_exporting)
        return;
    ErrorGuard guard("Form2.PushButton5_Click", app::errorBoxSink());
    if (guard.test(exportLabels::NoCurrentItem, [&] { return m_tableList->currentRow() == -1; })) {
        guard.step(exportLabels::SelectTable,
                   [&] { prompts().message(this, QStringLiteral("Please select a table")); });
        return;
    }
    QString path;
    std::optional<dictionary::DictionaryFormat> format;
    bool database = false;
    guard.step(exportLabels::ChooseFile, [&] {
        const app::FileChoice choice =
            prompts().openFile(this, QStringLiteral("Select The Text File"), reportFilter(), reportFolder());
        path = choice.path;
        format = formatChosen(choice.filter);
        database = choice.filter == QLatin1String(databaseFilter);
    });
    if (guard.test(exportLabels::Cancelled, [&] { return path.isEmpty(); }))
        return;
    // Locked before anything lets pending events run: a queued click can
    // start no second export and change no selection.
    const ExportLock lock(*this);
    std::optional<QFile::Permissions> restore;
    bool replace = false;
    // Hidden files count as existing: the user is asked before any file is replaced.
    if (guard.test(exportLabels::FileExists, [&] { return QFileInfo(path).isFile(); })) {
        guard.step(exportLabels::AskToReplace, [&] {
            replace = prompts().question(this, path + QStringLiteral(" Already Exists. Overwrite It?"));
        });
        if (!replace)
            return;
        // The old file stays until the new report takes its place; with
        // nothing selected none will, and a source's file is never touched.
        if (m_tableList->selectionModel()->hasSelection())
            guard.step(exportLabels::AllowReplacing, [&] {
                if (!report::isSourceFile(path, currentSource(), ListSelection(*m_tableList).selectedTexts()))
                    restore = app::allowReplacing(path);
            });
    }
    bool written = false;
    guard.step(exportLabels::Write, [&] {
        written = database ? writeDatabase(path, replace)
            : format       ? writeDictionaryFile(*format, path)
                           : writeReport(path);
    });
    if (written)
        m_lastReportFolder = QFileInfo(path).absolutePath();
    else if (restore)
        QFile::setPermissions(path, *restore);
}

QString TableWindow::reportFolder() const
{
    if (!m_lastReportFolder.isEmpty())
        return m_lastReportFolder;
    return m_source.containerMode() ? QFileInfo(m_source.containerPath()).absolutePath() : m_source.folderText();
}

report::ReportSource TableWindow::currentSource() const
{
    return m_source.containerMode() ? report::ReportSource::containerFile(m_source.containerPath())
                                    : report::ReportSource::folder(m_source.folderText());
}

bool TableWindow::writeReport(const QString &reportPath)
{
    ListSelection selection(*m_tableList);
    WindowFeedback feedback(*this, *m_pointer);
    // Commands, selection changes and closing wait until the export ends, so
    // the contents list and the blocks always agree.
    std::optional<ExportLock> lock;
    if (!m_exporting)
        lock.emplace(*this);
    return report::writeStructureReport(reportPath, selection, currentSource(), feedback, app::errorBoxSink());
}

bool TableWindow::writeDictionaryFile(dictionary::DictionaryFormat format, const QString &reportPath)
{
    WindowFeedback feedback(*this, *m_pointer);
    std::optional<ExportLock> lock;
    if (!m_exporting)
        lock.emplace(*this);
    return writeDictionaryReport(reportPath, format, ListSelection(*m_tableList).selectedTexts(), currentSource(),
                                 feedback, app::errorBoxSink());
}

bool TableWindow::writeDatabase(const QString &path, bool replace)
{
    std::optional<ExportLock> lock;
    if (!m_exporting)
        lock.emplace(*this);
    return loadDatabase(*this, path, replace, ListSelection(*m_tableList).selectedTexts(), currentSource(),
                        app::errorBoxSink());
}

TableWindow::ExportLock::ExportLock(TableWindow &window) : m_window(window)
{
    m_window.m_exporting = true;
    m_window.setCommandsEnabled(false);
}

TableWindow::ExportLock::~ExportLock()
{
    m_window.setCommandsEnabled(true);
    m_window.m_exporting = false;
}

void TableWindow::setCommandsEnabled(bool enabled)
{
    const QList<QWidget *> commands{m_tableList, m_backButton, m_exportButton, m_selectAllButton, m_deselectAllButton};
    for (QWidget *widget : commands)
        widget->setEnabled(enabled);
}

void TableWindow::closeEvent(QCloseEvent *event)
{
    if (m_exporting) {
        event->ignore();
        return;
    }
    event->accept();
    app::endProgram();
}

void fillTableList(QListWidget *list, const ConnectionState &source)
{
    try {
        report::readTableList(
            connectionStringOf(source), [&] { list->clear(); },
            [&](const QString &name) { list->addItem(name); });
    } catch (const Failure &failure) {
        prompts().message(list, QString::number(failure.number()) + QLatin1Char(' ') + failure.description());
    } catch (const std::exception &failure) {
        prompts().message(list, QStringLiteral("0 ") + QString::fromLocal8Bit(failure.what()));
    }
}

} // namespace window
