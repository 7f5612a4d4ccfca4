#pragma once

// orvalle-report --migrate: a source's tables and every record into a new
// SQLite database, with a summary of what was read and loaded.

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace cli {

struct MigrateRequest {
    QString target;     // the database file to make
    QString source;
    QStringList tables; // none: every table
    bool replace = false;
    bool strict = false;
    bool constraintsAfter = false; // rows that break a relation are loaded and named
};

// Loads the tables, prints the summary to `out` and each finding and failure
// as one line to `err`; when standard error is a terminal, a line on it
// says how far the load has come. 0 when every record read was loaded, 1 when the load
// failed (nothing is then left at the target).
int runMigration(const MigrateRequest &request, QIODevice &out, QIODevice &err);

} // namespace cli
