// A source as one PostgreSQL script with its rows: the tables, a COPY block
// of each table's records, then NOT NULL, the keys, indexes and foreign
// keys, for psql -f where no connection can be made.

#include "export/migrate/migration.h"

#include "export/dictionary/documentwriter.h"
#include "export/migrate/copytext.h"
#include "export/migrate/loading.h"

#include <QSet>

namespace migrate {

namespace {

// Bytes of rows handed on at a time.
constexpr qsizetype DumpBlock = 256 * 1024;

} // namespace

Migration writePostgresDump(const QString &source, const QStringList &tables, const dictionary::DictionarySink &sink,
                            const MigrationOptions &options)
{
    Migration migration;
    const model::SourceModel model = readForLoad(source, tables, migration.findings);
    const QHash<QString, QList<bool>> bytesFields = textMemosHoldingNul(model);
    // The columns that take no NULL but got one, a value that could not be read.
    NullColumns nullWhereNotNull;

    dictionary::SqlOptions sql;
    sql.notNullAfterData = true;
    sql.textAsBytes = [&](const model::TableModel &table, qsizetype field) {
        return bytesFields.value(table.name).value(field);
    };
    sql.data = [&](const QList<dictionary::SqlTableNames> &names, const dictionary::DictionarySink &out) {
        out(QByteArrayLiteral("\n-- ============================================================================\n"
                              "-- Data: every record that is not deleted\n"
                              "-- ============================================================================\n"));
        MigrationProgress progress;
        for (const model::TableModel &table : model.tables)
            progress.bytesTotal += qint64(table.recordCount) * table.recordLength;
        for (qsizetype i = 0; i < model.tables.size() && i < names.size(); ++i) {
            const model::TableModel &table = model.tables.at(i);
            const dictionary::SqlTableNames &named = names.at(i);
            const qsizetype findingsBefore = migration.findings.size();
            TableRows rows(model, table, named, options, migration.findings, progress, false);
            const TableCopy copy = tableCopy(named, bytesFields.value(table.name), rows, "stdin");
            const QList<int> &fields = copy.fields;
            const QStringList &bytesColumns = copy.bytesColumns;
            QByteArray block = ('\n' + copy.statement + QStringLiteral(";\n")).toUtf8();
            QList<int> lost;
            while (rows.next()) {
                lost.clear();
                appendCopyRow(block, rows.values(), fields, &lost);
                for (const int at : std::as_const(lost))
                    rows.problem(fields.at(at), QStringLiteral("Its text holds NUL, which PostgreSQL text cannot "
                                                               "hold. Loaded without it."));
                if (block.size() >= DumpBlock) {
                    out(block);
                    block.clear();
                }
            }
            block += "\\.\n";
            TableLoad load = rows.finish();
            for (const QString &column : rows.nullWhereNotNull())
                nullWhereNotNull.insert({named.name, column});
            load.loaded = load.read;
            load.bytesColumns = bytesColumns;
            if (!bytesColumns.isEmpty())
                migration.findings.append(
                    {model::Severity::Warning, table.name,
                     QStringLiteral("Text memo %1 holds bytes that PostgreSQL text cannot (NUL): made bytea.")
                         .arg(bytesColumns.join(QStringLiteral(", ")))});
            // What the rows' reading found, below them.
            for (qsizetype f = findingsBefore; f < migration.findings.size(); ++f) {
                for (const QString &line : dictionary::sqlCommentLines(migration.findings.at(f).message))
                    block += line.toUtf8() + '\n';
            }
            out(block);
            migration.tables.append(load);
        }
    };
    sql.adjust = [&](dictionary::SqlStatement &statement, QStringList &notes) {
        notes = leaveOutNullColumns(statement, nullWhereNotNull);
    };
    // psql reads the rows of a COPY that failed as statements: it must stop
    // at the first error, before any row's text can run.
    sink(QByteArrayLiteral("\\set ON_ERROR_STOP on\n"));
    const std::unique_ptr<dictionary::DocumentWriter> writer =
        dictionary::sqlDocumentWriter(dictionary::DictionaryFormat::Postgres, sink, sql);
    dictionary::writeWhole(*writer, model);
    migration.target = source;
    return migration;
}

} // namespace migrate
