#pragma once

// orvalle-report --diff: the structure difference between two sources, each
// a folder, a container or a JSON dictionary written earlier.

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace cli {

enum class DiffFormat { Text, Json, Markdown, Html };

struct DiffRequest {
    QString before;
    QString after;
    QStringList tables; // none: every table and view
    DiffFormat format = DiffFormat::Text;
    QString output;     // empty: standard output
};

// Exit statuses as diff(1) has them.
enum DiffExit { NoDifference = 0, Different = 1, DiffTrouble = 2 };

// Writes the difference to the output (whole or not at all) and every
// failure as one line to `err`. A table one side could not read is left out
// of the comparison on both sides; it, and a table whose index tags could not
// be compared, make the status DiffTrouble, and the document says so.
int runDiff(const DiffRequest &request, QIODevice &out, QIODevice &err);

} // namespace cli
