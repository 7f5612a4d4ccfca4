#pragma once

// orvalle-report's command line: the report, the dictionary, the difference,
// the table list.

#include <QIODevice>
#include <QStringList>

namespace cli {

enum ExitCode { Success = 0, Failed = 1, UsageError = 2 };

// Runs orvalle-report with `arguments` (the program name first): the report
// or the table list goes to `out`, every failure as one line to `err`.
int run(const QStringList &arguments, QIODevice &out, QIODevice &err);

} // namespace cli
