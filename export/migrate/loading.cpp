#include "export/migrate/loading.h"

#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace migrate {

namespace {

// Rows loaded between two reports of progress.
constexpr qint64 RowsBetweenReports = 4096;

platform::LocalPath fileOf(const QString &folder, const QString &relative)
{
    return platform::LocalPath::fromText(QDir(folder).filePath(relative));
}

platform::LocalPath memoOf(const model::SourceModel &source, const model::TableModel &table)
{
    return table.memo && table.memo->present ? fileOf(sourceFolder(source), table.memo->file) : platform::LocalPath();
}

} // namespace

model::SourceModel readForLoad(const QString &source, const QStringList &tables, QList<model::Finding> &findings)
{
    model::SourceModel model = model::readSourceModel(source, tables);
    for (const model::Finding &finding : std::as_const(model.findings)) {
        if (finding.severity == model::Severity::Error && model::gapOf(finding) == model::ModelGap::Table)
            throw Failure(QStringLiteral("Table %1 cannot be read: %2").arg(finding.place, finding.message),
                          platform::TableCorrupted);
        findings.append(finding);
    }
    return model;
}

QString sourceFolder(const model::SourceModel &source)
{
    if (source.kind == model::SourceModel::Kind::Container)
        return QFileInfo(source.path).absolutePath();
    return source.path;
}

TableRows::TableRows(const model::SourceModel &source, const model::TableModel &table,
                     const dictionary::SqlTableNames &names, const MigrationOptions &options,
                     QList<model::Finding> &findings, MigrationProgress &progress, bool bytesWhereNotNull)
    : m_table(table), m_bytesWhereNotNull(bytesWhereNotNull), m_notNull(names.notNull), m_columns(names.columns),
      m_options(options),
      m_findings(findings), m_progress(progress), m_bytesBefore(progress.bytesRead)
{
    m_progress.table = table.name;
    m_progress.rows = 0;
    m_load.table = table.name;
    // The reader names a field as its header does, in lower case.
    for (qsizetype i = 0; i < table.fields.size(); ++i) {
        const model::FieldModel &field = table.fields.at(i);
        m_fieldNamed.insert(field.shortName.isEmpty() ? platform::lowerCase(field.name) : field.shortName, i);
    }
    m_reader = std::make_unique<platform::RecordReader>(
        fileOf(sourceFolder(source), table.file), memoOf(source, table),
        [this](const platform::RecordProblem &problem) { onProblem(problem); });
    if (m_reader->fields().size() != names.columns.size())
        throw Failure(QStringLiteral("Table %1 changed while it was being read.").arg(table.name),
                      platform::TableCorrupted);
}

TableRows::~TableRows() = default;

void TableRows::onProblem(const platform::RecordProblem &problem, bool saysHowLoaded)
{
    ++m_load.findings;
    QString place = QStringLiteral("Record %1").arg(problem.record);
    if (!problem.field.isEmpty())
        place += QStringLiteral(", field ") + problem.field;
    if (m_options.strict)
        throw Failure(QStringLiteral("Table %1, %2: %3").arg(m_table.name, place.toLower(), problem.message),
                      platform::TableCorrupted);
    if (++m_kept > FindingsKeptPerTable)
        return;
    QString message = problem.message;
    if (!problem.field.isEmpty() && !saysHowLoaded) {
        const qsizetype field = m_fieldNamed.value(problem.field, -1);
        if (field >= 0 && m_notNull.value(field) && m_bytesWhereNotNull)
            message += QStringLiteral(" Loaded as the bytes the file holds, since its column takes no NULL.");
        else
            message += QStringLiteral(" Loaded as NULL.");
    }
    m_findings.append({model::Severity::Error, m_table.name, place + QStringLiteral(": ") + message});
}

void TableRows::problem(qsizetype field, const QString &message)
{
    onProblem({m_reader->recordNumber(), m_reader->fields().at(field).name, message}, true);
}

void TableRows::keepBytes(qsizetype field)
{
    m_reader->keepBytes(field);
}

bool TableRows::next()
{
    const qint64 before = m_reader->recordNumber();
    const bool more = m_reader->next(m_values);
    // Every record between two handed out was skipped as deleted.
    for (qint64 record = before + 1; more && record < m_reader->recordNumber(); ++record)
        m_deleted.append(record);
    // Only a value that could not be read is NULL where its column takes none.
    for (qsizetype i = 0; more && !m_bytesWhereNotNull && i < m_values.size(); ++i) {
        if (m_values.at(i).kind == platform::ValueKind::Null && m_notNull.value(i))
            m_nullWhereNotNull.insert(m_columns.value(i));
    }
    if (more && ++m_progress.rows % RowsBetweenReports == 0 && m_options.progress) {
        m_progress.bytesRead = m_bytesBefore + m_reader->recordNumber() * m_table.recordLength;
        m_options.progress(m_progress);
    }
    return more;
}

qint64 TableRows::recordNumber() const
{
    return m_reader->recordNumber();
}

qint64 TableRows::recordOfRow(qint64 row) const
{
    // The row-th record that is not deleted: past each deleted record at or
    // before it.
    qint64 record = row;
    for (const qint64 deleted : m_deleted) {
        if (deleted > record)
            break;
        ++record;
    }
    return record;
}

TableLoad TableRows::finish()
{
    m_progress.bytesRead = m_bytesBefore + m_reader->recordNumber() * m_table.recordLength;
    if (m_options.progress)
        m_options.progress(m_progress);
    m_load.read = m_reader->recordsRead();
    m_load.deleted = m_reader->deleted();
    if (m_load.findings > FindingsKeptPerTable)
        m_findings.append({model::Severity::Error, m_table.name,
                           QStringLiteral("%1 more values could not be read.").arg(m_load.findings - FindingsKeptPerTable)});
    return m_load;
}

namespace {

QList<bool> textMemosHoldingNul(const model::SourceModel &source, const model::TableModel &table)
{
    QList<bool> holding(table.fields.size(), false);
    QList<qsizetype> memos;
    for (qsizetype i = 0; i < table.fields.size(); ++i) {
        if (table.fields.at(i).type == 'M' && !table.fields.at(i).binary)
            memos.append(i);
    }
    if (memos.isEmpty())
        return holding;
    // Problems are named when the rows are loaded; this look only decides types.
    platform::RecordReader reader(fileOf(sourceFolder(source), table.file), memoOf(source, table),
                                  [](const platform::RecordProblem &) {});
    if (reader.fields().size() != table.fields.size())
        return holding;
    for (const qsizetype memo : std::as_const(memos))
        reader.keepBytes(memo);
    QList<platform::FieldValue> values;
    while (reader.next(values)) {
        for (const qsizetype memo : std::as_const(memos)) {
            const platform::FieldValue &value = values.at(memo);
            if (value.kind == platform::ValueKind::Bytes && value.data.contains('\0'))
                holding[memo] = true;
        }
    }
    return holding;
}

} // namespace

QHash<QString, QList<bool>> textMemosHoldingNul(const model::SourceModel &source)
{
    QHash<QString, QList<bool>> holding;
    for (const model::TableModel &table : source.tables) {
        const QList<bool> fields = textMemosHoldingNul(source, table);
        if (fields.contains(true))
            holding.insert(table.name, fields);
    }
    return holding;
}

QString notNullLeftOut(const QString &table, const QString &column)
{
    return QStringLiteral("NOT NULL of %1.%2 left out: some of its values are NULL (empty, or not readable).")
        .arg(dictionary::sqlIdentifier(table), dictionary::sqlIdentifier(column));
}

QStringList leaveOutNullColumns(dictionary::SqlStatement &statement, const NullColumns &columns)
{
    QStringList notes;
    if (statement.kind != dictionary::SqlStatement::Kind::NotNull)
        return notes;
    QStringList kept;
    for (const QString &column : std::as_const(statement.columns)) {
        if (columns.contains({statement.table, column}))
            notes << notNullLeftOut(statement.table, column);
        else
            kept << column;
    }
    statement.columns = kept;
    statement.sql = dictionary::sqlNotNull(statement.table, kept);
    return notes;
}

QString someRows(const QStringList &rows)
{
    constexpr qsizetype shown = 5;
    return rows.first(qMin(rows.size(), shown)).join(QStringLiteral("; "))
        + (rows.size() > shown ? QStringLiteral("; …") : QString());
}

} // namespace migrate

namespace migrate {

QString constraintText(const dictionary::SqlStatement &statement)
{
    using Kind = dictionary::SqlStatement::Kind;
    const QString table = dictionary::sqlIdentifier(statement.table);
    const QString column = dictionary::sqlIdentifier(statement.column);
    switch (statement.kind) {
    case Kind::NotNull:
        return QStringLiteral("NOT NULL of %1").arg(table);
    case Kind::PrimaryKey:
        return QStringLiteral("the primary key of %1 on %2").arg(table, column);
    case Kind::Unique:
        if (statement.column.isEmpty())
            return QStringLiteral("a unique index of %1").arg(table);
        return QStringLiteral("the unique key of %1 on %2").arg(table, column);
    case Kind::Index:
        return QStringLiteral("an index of %1").arg(table);
    case Kind::ForeignKey:
        return QStringLiteral("the foreign key of %1 on %2 to %3").arg(table, column,
                                                                      dictionary::sqlIdentifier(statement.parentTable));
    }
    return QString();
}

QString repeatedValuesQuery(const dictionary::SqlStatement &statement)
{
    if (statement.column.isEmpty())
        return QString();
    const QString column = dictionary::sqlIdentifier(statement.column);
    return QStringLiteral("SELECT %1, count(*) FROM %2 WHERE %1 IS NOT NULL GROUP BY %1 HAVING count(*) > 1 "
                          "ORDER BY count(*) DESC LIMIT 6")
        .arg(column, dictionary::sqlIdentifier(statement.table));
}

QString orphanValuesQuery(const dictionary::SqlStatement &statement)
{
    const QString column = dictionary::sqlIdentifier(statement.column);
    return QStringLiteral("SELECT c.%1, count(*) FROM %2 c WHERE c.%1 IS NOT NULL AND NOT EXISTS "
                          "(SELECT 1 FROM %3 p WHERE p.%4 = c.%1) GROUP BY c.%1 ORDER BY count(*) DESC LIMIT 6")
        .arg(column, dictionary::sqlIdentifier(statement.table), dictionary::sqlIdentifier(statement.parentTable),
             dictionary::sqlIdentifier(statement.parentColumn));
}

} // namespace migrate
