#pragma once

// orvalle-report --migrate: a source's tables and every record into a new
// SQLite database or a PostgreSQL database, with a summary of what was read
// and loaded.

#include "export/migrate/migration.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace cli {

struct MigrateRequest {
    QString target;     // the database file to make, or a PostgreSQL connection string
    QString schema;     // PostgreSQL: a new schema to load into
    QString source;
    QStringList tables; // none: every table
    bool replace = false;
    bool strict = false;
    migrate::Constraints constraints = migrate::Constraints::Strict;
};

// Loads the tables, prints the summary to `out` and each finding and failure
// as one line to `err`; when standard error is a terminal, a line on it
// says how far the load has come. 0 when every record read was loaded; 1 when
// some were not (a table SQLite cannot hold), or when the load failed
// (nothing is then left at the target).
int runMigration(const MigrateRequest &request, QIODevice &out, QIODevice &err);

} // namespace cli
