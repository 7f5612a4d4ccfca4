#pragma once

// The data dictionary of a source in each format orvalle-report and the table
// window offer beside the text report, and the one list of those formats.
// Text from the files never breaks the structure of a document (escaped or
// quoted as the format requires).

#include "model/sourcemodel.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include <optional>

namespace dictionary {

enum class DictionaryFormat { Json, Markdown, Html, Postgres, Sqlite, Dot, Svg };

// Every format orvalle-report writes and the table window offers, the text
// report first, in the order both list them: the one list the command line,
// the file dialog, the bash completion and the manual page follow.
struct ReportFormat {
    const char *name;       // the word --format takes: "text", "json", …
    const char *filterText; // the file dialog's entry: "Text Files (*.txt)", …
    const char *pattern;    // the file dialog's pattern: "*.txt", …
    std::optional<DictionaryFormat> dictionary; // none: the text report
    bool diff;              // --diff writes the difference in it
    bool diagram = false;   // a picture of the tables and relations, listed after the rest
};
const QList<ReportFormat> &reportFormats();
// The names, as a sentence lists them: "text, json, … or sqlite"; `diffOnly`:
// those --diff writes.
QString reportFormatNames(bool diffOnly = false);

// "json", "markdown", "html", "postgres", "sqlite"; none for any other word.
std::optional<DictionaryFormat> dictionaryFormatNamed(const QString &name);
QString dictionaryFormatName(DictionaryFormat format);

// The format's own name and version, written into the JSON document.
inline constexpr const char *JsonFormatName = "orvalle-dictionary";
inline constexpr int JsonFormatVersion = 1;

// The largest part of a JSON dictionary: a table, or a member of the top
// other than the table list. The loader reads no larger part, so the writer
// writes none: a table that would take more is a Failure.
inline constexpr qint64 MaxDictionaryPartSize = qint64(512) << 20;

QByteArray jsonDictionary(const model::SourceModel &source, qint64 largestPart = MaxDictionaryPartSize);
QByteArray markdownDictionary(const model::SourceModel &source);
QByteArray htmlDictionary(const model::SourceModel &source);
QByteArray postgresSchema(const model::SourceModel &source);
QByteArray sqliteSchema(const model::SourceModel &source);

// Any of the above by format.
QByteArray writeDictionary(DictionaryFormat format, const model::SourceModel &source);

// What writes a document: handed a block of it at a time.
using DictionarySink = std::function<void(QByteArrayView)>;

// What an SQL schema calls the source's tables and columns: for each table,
// in order, its name in the schema (empty when the schema leaves the table
// out) and, for each of its fields in the model's order, its column's name
// (empty for a field that has no column) and whether the column takes no NULL.
struct SqlTableNames {
    QString name;
    QStringList columns;
    QList<bool> notNull;
};

// The sections of an SQL schema, in their order in a script: the tables,
// made before the data is loaded, and the keys, unique constraints, indexes
// and foreign keys, made after it, so that rows are checked against them
// once, all loaded. SQLite cannot add a primary key or a foreign key to a
// table once made: they stay in its table, in the first section.
enum class SqlSections { Both, PreData, PostData };

// A statement of the post-data section, for a caller that runs them one by
// one (a migration, which names the rows that break one).
struct SqlStatement {
    enum class Kind { NotNull, PrimaryKey, Unique, Index, ForeignKey };
    Kind kind = Kind::Index;
    QString table;  // the table's name in the schema
    QString column; // a key's or a foreign key's column
    QStringList columns; // NotNull: every column of the table that takes no NULL
    QString sql;    // the statement alone, with no comment
    QString parentTable;  // of a foreign key
    QString parentColumn; // of a foreign key
};

struct SqlOptions {
    SqlSections sections = SqlSections::Both;
    bool transaction = true; // BEGIN and COMMIT around the whole
    // PostgreSQL: NOT NULL set after the data, by the post-data section, for
    // a load whose values that cannot be read arrive as NULL.
    bool notNullAfterData = false;
    // SQLite: a primary key as a unique index made after the data, which
    // rows may then break (SQLite adds no primary key to a table once made);
    // one that AUTOINCREMENT needs stays in the table.
    bool sqlitePrimaryKeysAfterData = false;
    // Whether a text memo field (the table, the field's place in it) becomes
    // a bytes column: one whose values hold what SQL text cannot (NUL).
    std::function<bool(const model::TableModel &, qsizetype)> textAsBytes;
    // When given, writes between the sections (a dump's rows), handed the
    // names of every table in the schema.
    std::function<void(const QList<SqlTableNames> &, const DictionarySink &)> data;
    // When given, shown each post-data statement once the data is written,
    // to change it (a NOT NULL without the columns that got NULL, say; no
    // SQL leaves it out) and to add notes, written as comments before it.
    std::function<void(SqlStatement &, QStringList &notes)> adjust;
};

// The SQL schema of `format` (postgres or sqlite) for a source held whole,
// as postgresSchema and sqliteSchema write it with `options`: the script,
// the names it gives, and the post-data section's statements one by one.
struct SqlSchema {
    QByteArray script;
    QList<SqlTableNames> tables;
    QList<SqlStatement> postData;
};
SqlSchema sqlSchema(DictionaryFormat format, const model::SourceModel &source, const SqlOptions &options = {});
// The index tags of `table` that the PostgreSQL schema cannot carry and keeps
// only as comments (an expression or filter SQL cannot say), by name.
QStringList sqlUntranslatedTags(const model::TableModel &table);
// A name as the schemas write it: double-quoted, quotes doubled, NULs removed.
QString sqlIdentifier(const QString &name);
// The statement that makes `columns` of `table` take no NULL, in one scan of
// the table; empty for no column.
QString sqlNotNull(const QString &table, const QStringList &columns);
// A text as the schemas write it in comments: "-- " before each of its
// lines, control characters made spaces.
QStringList sqlCommentLines(const QString &text);

// The dictionary of the source at `path`, its tables and views chosen by
// `selection` as readSourceModel chooses them, handed to `sink` a block at a
// time as it is made. The JSON dictionary holds no more than one table at a
// time. Throws Failure when the source cannot be read or the document not
// written; the sink's own failures pass through. `sql` says how an SQL
// schema is written.
struct WrittenDictionary {
    model::SourceModel rest; // the source without its tables: its findings say what the document lacks
    QStringList tables;      // the names of the tables the document describes
};
WrittenDictionary writeDictionary(DictionaryFormat format, const QString &path, const QStringList &selection,
                                  const DictionarySink &sink, const SqlOptions &sql = {});

} // namespace dictionary
