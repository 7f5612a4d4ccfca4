#pragma once

// A program run to its end, as the tests of orvalle-report run it.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ToolOutcome {
    int exitCode = -1; // -1: it did not end normally within a minute
    QByteArray out;
    QByteArray err;
};

// Runs `program` with `arguments` and the null device as standard input;
// standard output goes to `outputFile` instead when one is given (e.g.
// /dev/full). With `fileSizeLimit` (Unix only), no file the program writes may
// grow past that many bytes: a write beyond it fails as on a full disk.
// `environment` ("NAME=value" each) is added to what the program inherits.
ToolOutcome runProgram(const QString &program, const QStringList &arguments, const QString &outputFile = {},
                       qint64 fileSizeLimit = -1, const QStringList &environment = {});
