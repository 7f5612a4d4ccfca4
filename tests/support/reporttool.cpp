#include "reporttool.h"

#include <QProcess>

ToolOutcome runProgram(const QString &program, const QStringList &arguments, const QString &outputFile)
{
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    ToolOutcome outcome;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}
