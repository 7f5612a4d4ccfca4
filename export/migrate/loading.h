#pragma once

// What every load shares, whatever the database: the source read for its
// structure, and a table's records read with their problems named.

#include "export/dictionary/dictionary.h"
#include "export/migrate/migration.h"
#include "model/sourcemodel.h"
#include "platform/recordreader.h"

#include <QHash>
#include <QSet>
#include <QList>
#include <QString>

#include <memory>

namespace migrate {

// The chosen tables' structure; throws Failure when a chosen table cannot be
// read. The other findings of the reading go to `findings`.
model::SourceModel readForLoad(const QString &source, const QStringList &tables, QList<model::Finding> &findings);

// The folder a source's file names are relative to.
QString sourceFolder(const model::SourceModel &source);

// The records of one table of `source`, read for a load: the values of each
// record that is not deleted, one per field. A value that cannot be read is
// a finding naming table, record and field (the first FindingsKeptPerTable
// of them, then how many more); with `strict` it fails the load. Progress
// is told through `progress`. `bytesWhereNotNull`: the database takes the
// bytes of a value that cannot be read where its column takes no NULL.
class TableRows {
public:
    TableRows(const model::SourceModel &source, const model::TableModel &table,
              const dictionary::SqlTableNames &names, const MigrationOptions &options,
              QList<model::Finding> &findings, MigrationProgress &progress, bool bytesWhereNotNull);
    ~TableRows();

    // The memo field at `field` handed out as the bytes its file holds.
    void keepBytes(qsizetype field);

    bool next();
    const QList<platform::FieldValue> &values() const { return m_values; }
    // A value of the current record that the database cannot take as read:
    // named as the reader names its problems; `message` says how it was loaded.
    void problem(qsizetype field, const QString &message);
    qint64 recordNumber() const;
    // The record of the `row`-th row handed out, from 1: a database that
    // numbers the rows it takes (COPY's line numbers) names it so.
    qint64 recordOfRow(qint64 row) const;

    // Once every record is read: what was read, deleted and found.
    TableLoad finish();

    // Where the database takes no bytes for a value that cannot be read: the
    // columns that take no NULL but got one, by their names in the schema.
    const QSet<QString> &nullWhereNotNull() const { return m_nullWhereNotNull; }

private:
    void onProblem(const platform::RecordProblem &problem, bool saysHowLoaded = false);

    const model::TableModel &m_table;
    bool m_bytesWhereNotNull = false;
    QHash<QString, qsizetype> m_fieldNamed;
    QList<bool> m_notNull;
    QStringList m_columns;
    QSet<QString> m_nullWhereNotNull;
    const MigrationOptions &m_options;
    QList<model::Finding> &m_findings;
    MigrationProgress &m_progress;
    qint64 m_bytesBefore = 0;
    TableLoad m_load;
    qint64 m_kept = 0;
    QList<qint64> m_deleted;
    QList<platform::FieldValue> m_values;
    std::unique_ptr<platform::RecordReader> m_reader;
};

// The text memo fields that hold NUL, which SQL text cannot: for each table
// that has one, by name, a flag per field; read from the records, a first
// look before the tables are made.
QHash<QString, QList<bool>> textMemosHoldingNul(const model::SourceModel &source);

// The columns that take no NULL but got one from a value that could not be
// read, by table and column name in the schema.
using NullColumns = QSet<std::pair<QString, QString>>;
// "NOT NULL of "t"."c" left out: …", for a column that takes no NULL but
// got one.
QString notNullLeftOut(const QString &table, const QString &column);
// Takes those columns out of a NOT NULL statement (leaving no SQL when none
// is left); the notes that say so.
QStringList leaveOutNullColumns(dictionary::SqlStatement &statement, const NullColumns &columns);

// The values that break a constraint, as the queries below find them: the
// first five, then "…" when there were more.
QString someRows(const QStringList &rows);

} // namespace migrate

namespace migrate {

// A statement of the post-data section that rows can break, said in words:
// "the primary key of "t" on "id"".
QString constraintText(const dictionary::SqlStatement &statement);
// The query of at most five values that a key or unique constraint finds
// repeated, with how often: none for a key on more than a plain column.
QString repeatedValuesQuery(const dictionary::SqlStatement &statement);
// The query of at most five values of a foreign key's column that no parent
// row holds, and how many rows hold each.
QString orphanValuesQuery(const dictionary::SqlStatement &statement);

} // namespace migrate
