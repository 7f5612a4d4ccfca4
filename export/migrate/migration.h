#pragma once

// A FoxPro source carried into a database, SQLite or PostgreSQL: the tables
// of the schema the SQL dictionary formats write, every record of the chosen
// tables, then the keys, indexes and foreign keys, all counted and verified.
// Nothing of a load that fails is left behind.

#include "export/dictionary/dictionary.h"
#include "model/sourcemodel.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace migrate {

// One table's load.
struct TableLoad {
    QString table;       // its FoxPro name
    qint64 read = 0;     // records read that are not deleted
    qint64 loaded = 0;   // rows the database holds once loaded
    qint64 deleted = 0;  // deleted records, left out
    qint64 findings = 0; // values that could not be read (loaded as NULL) and records missing
    bool created = true; // false for a table SQLite cannot hold (one without a field): nothing is loaded
    // PostgreSQL: the text memo fields whose values hold NUL, made bytea.
    QStringList bytesColumns;
};

struct Migration {
    QString target; // what was loaded, as the summary names it (never a password)
    QList<TableLoad> tables;
    // What reading the structure found, then what reading the values found:
    // the first of each table's value findings, each naming its record and
    // field, and how many more there were.
    QList<model::Finding> findings;
};

// What a row that breaks a key, a unique constraint or a relation the
// container declares does: fail the load (naming the rows); load, with the
// constraint left out and named among the findings; or load with no
// constraint made at all. SQLite adds no key to a table once made: unless
// the load is strict, a primary key is a unique index made after the rows,
// and a foreign key stays in the table, enforced only when
// "PRAGMA foreign_keys = ON" asks.
enum class Constraints { Strict, After, Off };

// How far a load has come: the table being loaded, its rows so far, and the
// bytes of records read of all the chosen tables' records.
struct MigrationProgress {
    QString table;
    qint64 rows = 0;
    qint64 bytesRead = 0;
    qint64 bytesTotal = 0;
};

struct MigrationOptions {
    bool replace = false; // an existing target is replaced; otherwise it is refused
    bool strict = false;  // a value that cannot be read fails the load
    Constraints constraints = Constraints::Strict;
    // Told now and then while records are loaded, and when a table is done.
    std::function<void(const MigrationProgress &)> progress;
};

// The most value findings kept for one table; the rest are counted.
inline constexpr int FindingsKeptPerTable = 20;

// Loads the tables of the source at `source` chosen by `tables` (as the
// dictionary chooses them; none: every table) into a new SQLite database at
// `target`. Throws Failure, leaving the target as it was and no file behind,
// when the source or a chosen table cannot be read, a row breaks a
// constraint (as `options.constraints` says), a count does not match, the
// database cannot be written, the target exists and may not be replaced, or
// it is one of the source's files.
Migration migrateToSqlite(const QString &source, const QStringList &tables, const QString &target,
                          const MigrationOptions &options);

// Loads them into the PostgreSQL database that the libpq connection string
// `connection` reaches ("postgresql://…", "host=… dbname=…"), in one
// transaction: the tables, their rows by COPY, then the keys, indexes and
// foreign keys. `schema`, when given, is a new schema made to hold them.
// Throws Failure, with nothing committed, as migrateToSqlite does, and when
// the server cannot be reached, refuses a statement or goes away.
Migration migrateToPostgres(const QString &source, const QStringList &tables, const QString &connection,
                            const QString &schema, const MigrationOptions &options);

// The PostgreSQL script of the source with its rows, handed to `sink` as it
// is made: the tables, a COPY block of each table's records, then NOT NULL,
// the keys, indexes and foreign keys, in one transaction, for psql -f where
// no connection can be made. Values that cannot be read are NULL, named
// among the findings and in comments below their table's rows; a NOT NULL
// they break is left out, saying so. Throws Failure as migrateToPostgres
// does, before the server's part.
Migration writePostgresDump(const QString &source, const QStringList &tables, const dictionary::DictionarySink &sink,
                            const MigrationOptions &options);

// Whether a database target names a PostgreSQL server rather than a file:
// a postgresql:// or postgres:// address, or libpq's "key=value" words.
bool isPostgresTarget(const QString &target);

} // namespace migrate
