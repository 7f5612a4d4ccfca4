#pragma once

// A row in the text form of PostgreSQL's COPY: values separated by tabs,
// NULL as \N, backslashes, tabs and line ends escaped, bytes as bytea's hex.
// What a migration sends the server and a dump writes into its script.

#include "export/dictionary/dictionary.h"
#include "export/migrate/loading.h"
#include "platform/recordreader.h"

#include <QByteArray>
#include <QList>

namespace migrate {

// A table's COPY: the fields that have a column, in their order, the text
// memos read as bytes (`bytesFields`, told to `rows`), and the statement that
// starts it, "COPY "t" ("a", "b") FROM <source>" (no list for a table
// without a column, whose rows are empty lines).
struct TableCopy {
    QList<int> fields;
    QStringList bytesColumns;
    QString statement;
};
TableCopy tableCopy(const dictionary::SqlTableNames &names, const QList<bool> &bytesFields, TableRows &rows,
                    const char *source);

// Appends `value` to `line`. A text value holding NUL, which PostgreSQL text
// cannot hold, is appended without it; the return is false then.
bool appendCopyValue(QByteArray &line, const platform::FieldValue &value);

// Appends one row of the values at `fields` and its line end; false when a
// text value lost a NUL (the indexes, in `fields`, of each such value in
// `lostNul`).
bool appendCopyRow(QByteArray &line, const QList<platform::FieldValue> &values, const QList<int> &fields,
                   QList<int> *lostNul = nullptr);

} // namespace migrate
