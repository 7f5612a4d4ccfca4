#include "export/report/structurereport.h"

#include "connection/core/connectionstring.h"
#include "model/dataaccess.h"
#include "export/report/fieldcolumns.h"
#include "model/sourcemodel.h"
#include "export/report/reportfile.h"
#include "platform/cleantext.h"

#include <QDir>

#include <algorithm>
#include <memory>

namespace report {

ReportSource ReportSource::containerFile(const QString &dbcPath)
{
    return {true, dbcPath, connection::buildConnectionString(true, dbcPath)};
}

ReportSource ReportSource::folder(const QString &folderAsTyped)
{
    return {false, folderAsTyped, connection::buildConnectionString(false, folderAsTyped)};
}

namespace {

const QString columnHeads = QStringLiteral(
    "Field Name                DataType     Description");
const QString underline = QStringLiteral(
    "__________                ________     ___________");

// Where the description starts in a field line.
qsizetype descriptionColumn(const QString &name, QStringView typeText)
{
    return 1 + qMax<qsizetype>(name.size(), 22) + 1 + qMax<qsizetype>(typeText.size(), 12) + 1;
}

// The lines of a description taken from a file; CR LF ends one line.
QList<QStringView> linesOf(const QString &text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!platform::isLineBreak(text.at(i)))
            continue;
        lines.append(QStringView(text).sliced(start, i - start));
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    lines.append(QStringView(text).sliced(start));
    return lines;
}

// One run of the writer. Each step that can fail runs through the guard with
// its label; the steps whose failure means no report can be written end the
// run early.
class StructureWriter {
public:
    StructureWriter(const TableSelection &selection, const ReportSource &source,
                    ReportFeedback &feedback, app::ErrorSink &errors)
        : m_selection(selection), m_source(source), m_feedback(feedback), m_errors(errors),
          m_guard("Form2.generateStructure", errors)
    {
    }

    bool run(const QString &reportPath);

private:
    bool createObjects();
    int countSelected() const;
    bool writeHead(const QString &reportPath);
    QStringList selectedTables() const;
    bool openConnection();
    bool writeBlocks();
    bool writeBlock(const QString &table);
    bool writeField(const QString &table, int index, const FieldDescriptions &descriptions);
    // A field whose name has fewer than 25 characters: name padded to 22,
    // type text padded to 12, each followed by one space, then the description.
    bool writeFieldLine(const QString &name, QStringView typeText, QStringView description);
    bool write(int label, const QString &line);
    bool write(int label, std::initializer_list<ReportFile::Column> columns);
    bool closeFile();
    void releaseObjects();

    const TableSelection &m_selection;
    const ReportSource &m_source;
    ReportFeedback &m_feedback;
    app::ErrorSink &m_errors;
    app::ErrorGuard m_guard;
    std::unique_ptr<model::Recordset> m_records;
    std::unique_ptr<model::Connection> m_connection;
    ReportFile m_file;
};

bool StructureWriter::run(const QString &reportPath)
{
    if (!createObjects())
        return false;
    if (countSelected() < 1) {
        m_feedback.message(QStringLiteral("Select The Table To Print The Structure"));
        return false;
    }
    m_feedback.setBusy(true);
    const bool written = writeHead(reportPath) && openConnection() && writeBlocks()
        && write(206, QString()) && closeFile();
    if (!written)
        m_file.abandon();
    releaseObjects();
    m_feedback.setBusy(false);
    if (written)
        m_feedback.message(QStringLiteral("Done."));
    return written;
}

bool StructureWriter::createObjects()
{
    return m_guard.step(100, [&] { m_records = model::factory().createRecordset(); })
        && m_guard.step(102, [&] { m_connection = model::factory().createConnection(); });
}

int StructureWriter::countSelected() const
{
    int selected = 0;
    const int items = m_selection.count();
    for (int i = 0; i < items; ++i) {
        if (m_selection.isSelected(i))
            ++selected;
    }
    return selected;
}

QStringList StructureWriter::selectedTables() const
{
    QStringList tables;
    const int items = m_selection.count();
    for (int i = 0; i < items; ++i) {
        if (m_selection.isSelected(i))
            tables.append(m_selection.text(i));
    }
    return tables;
}

bool StructureWriter::writeHead(const QString &reportPath)
{
    const bool opened = m_guard.step(120, [&] {
        refuseSourceFile(reportPath, m_source, selectedTables());
        m_file.open(reportPath);
    });
    if (!opened)
        return false;
    if (!write(122, QStringLiteral(" Printing From ") + m_source.path) || !write(124, QString())
        || !write(126, QStringLiteral("Printing Table Structures:")))
        return false;
    int number = 0;
    const int items = m_selection.count();
    for (int i = 0; i < items; ++i) {
        if (!m_selection.isSelected(i))
            continue;
        ++number;
        if (!write(134, {{DecimalText(number).view()}, {u") "}, {m_selection.text(i)}}))
            return false;
    }
    return write(138, QString()) && write(140, QString());
}

bool StructureWriter::openConnection()
{
    m_feedback.workingOn(QString(), QStringView());
    return m_guard.step(m_source.container ? 144 : 146,
                        [&] { m_connection->Open(m_source.connectionString); });
}

bool StructureWriter::writeBlocks()
{
    const int items = m_selection.count();
    for (int j = 0; j < items; ++j) {
        m_feedback.letEventsRun();
        if (!m_selection.isSelected(j))
            continue;
        if (!writeBlock(m_selection.text(j)))
            return false;
    }
    m_feedback.workingOn(QString(), QStringView());
    return true;
}

bool StructureWriter::writeBlock(const QString &table)
{
    m_feedback.workingOn(table, QStringView());
    m_guard.step(156, [&] {
        if (m_records->State() == model::adStateOpen)
            m_records->Close();
    });
    // A table that cannot be opened keeps its block, with no fields, so the
    // contents list and the blocks stay alike.
    int fieldCount = 0;
    const bool opened = m_guard.step(158, [&] {
        QString command;
        command.reserve(16 + table.size()); // one allocation for every table's command
        command.append(u"select * from [").append(table).append(u']');
        m_records->Open(command, *m_connection);
    });
    if (opened)
        m_guard.step(160, [&] { fieldCount = m_records->fieldCount(); });

    if (!write(166, {{u"Table Name : "}, {table}, {u"    Total Fields : "}, {DecimalText(fieldCount).view()}})
        || !write(168, QString()) || !write(170, columnHeads) || !write(172, underline))
        return false;
    if (fieldCount > 0) {
        const FieldDescriptions descriptions(table, *m_connection, m_errors);
        for (int k = 0; k < fieldCount; ++k) {
            m_feedback.letEventsRun();
            const bool written = writeField(table, k, descriptions);
            m_feedback.workingOn(table, QStringView());
            if (!written)
                return false;
        }
    }
    return write(200, QString()) && write(202, QString());
}

bool StructureWriter::writeField(const QString &table, int index, const FieldDescriptions &descriptions)
{
    model::Field field;
    // A field that cannot be read is reported and gets no line.
    if (!m_guard.step(178, [&] { field = m_records->field(index); }))
        return true;
    m_feedback.workingOn(table, field.name);
    if (field.name.size() >= 25)
        return write(196, field.name + QString::number(field.type));
    const TypeColumnText type(field.type, field.definedSize);
    const QStringView typeText = type.view();
    const QString description = descriptions.of(field.name);
    if (!std::any_of(description.cbegin(), description.cend(), platform::isLineBreak))
        return writeFieldLine(field.name, typeText, description);
    // A description of several lines goes on below itself, indented to its
    // column, so no text from a file can start a line of the report.
    const QList<QStringView> lines = linesOf(description);
    if (!writeFieldLine(field.name, typeText, lines.first()))
        return false;
    const QString indent(descriptionColumn(field.name, typeText), QLatin1Char(' '));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!write(190, indent + lines[i].toString()))
            return false;
    }
    return true;
}

bool StructureWriter::writeFieldLine(const QString &name, QStringView typeText, QStringView description)
{
    return m_guard.step(190, [&] {
        m_file.writeLine({{name, 22, 1}, {typeText, 12, 1}, {description, 0, 1}});
    });
}

bool StructureWriter::write(int label, const QString &line)
{
    return m_guard.step(label, [&] { m_file.writeLine(line); });
}

bool StructureWriter::write(int label, std::initializer_list<ReportFile::Column> columns)
{
    return m_guard.step(label, [&] { m_file.writeLine(columns); });
}

bool StructureWriter::closeFile()
{
    return m_guard.step(208, [&] { m_file.close(); });
}

void StructureWriter::releaseObjects()
{
    m_guard.step(210, [&] {
        if (m_records && m_records->State() != model::adStateClosed)
            m_records->Close();
    });
    m_records.reset();
    m_guard.step(214, [&] {
        if (m_connection && m_connection->State() != model::adStateClosed)
            m_connection->Close();
    });
    m_connection.reset();
}

} // namespace

void refuseSourceFile(const QString &reportPath, const ReportSource &source, const QStringList &tables)
{
    if (const std::optional<QString> file = model::sourceFileMatching(source.path, tables, reportPath))
        throw Failure(QStringLiteral("The report cannot be written to '%1': that is the data source's file '%2', "
                                     "and a data source is never written. Choose another file.")
                          .arg(QDir::toNativeSeparators(reportPath), *file),
                      platform::FileInUse);
}

bool isSourceFile(const QString &reportPath, const ReportSource &source, const QStringList &tables)
{
    return model::sourceFileMatching(source.path, tables, reportPath).has_value();
}

bool writeStructureReport(const QString &reportPath, const TableSelection &selection,
                       const ReportSource &source, ReportFeedback &feedback,
                       app::ErrorSink &errors)
{
    return StructureWriter(selection, source, feedback, errors).run(reportPath);
}

} // namespace report
