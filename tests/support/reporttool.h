#pragma once

// A program run to its end, as the tests of orvalle-report run it.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

struct ToolOutcome {
    int exitCode = -1; // -1: it did not end normally within a minute
    QByteArray out;
    QByteArray err;
};

// Whether `program` is a Windows program (elsewhere than on Windows,
// runProgram starts it under wine).
bool isWindowsProgram(const QString &program);

// Runs `program` with `arguments` and the null device as standard input;
// standard output goes to `outputFile` instead when one is given (e.g.
// /dev/full). With `fileSizeLimit` (Unix only), no file the program writes may
// grow past that many bytes: a write beyond it fails as on a full disk.
// `environment` ("NAME=value" each) is added to what the program inherits.
ToolOutcome runProgram(const QString &program, const QStringList &arguments, const QString &outputFile = {},
                       qint64 fileSizeLimit = -1, const QStringList &environment = {});

#ifdef ORVALLE_REPORT_EXE
// The orvalle-report under test: the one built beside the tests, or the one
// ORVALLE_REPORT_TOOL names (the Windows build's orvalle-report.exe, which
// runProgram starts under wine).
inline QString reportTool()
{
    const QString named = qEnvironmentVariable("ORVALLE_REPORT_TOOL");
    return named.isEmpty() ? QStringLiteral(ORVALLE_REPORT_EXE) : named;
}

// Whether the tool under test is a Windows program, run under wine: the cases
// that need what only Linux has (a FIFO, /dev/full, file modes, a limit on a
// file's size) are skipped for it.
inline bool reportToolIsWindows()
{
    return isWindowsProgram(reportTool());
}
#endif
