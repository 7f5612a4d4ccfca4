#include "postgresserver.h"


Outcome runProcess(const QString &program, const QStringList &arguments, const QByteArray &input,
                   const QProcessEnvironment &environment, const QString &workingDirectory)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForStarted(30000))
        return {false, {}, program + QStringLiteral(": ") + process.errorString()};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return {false, {}, program + QStringLiteral(" did not finish")};
    }
    Outcome outcome;
    outcome.out = process.readAllStandardOutput();
    outcome.error = QString::fromUtf8(process.readAllStandardError());
    outcome.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!outcome.ok && outcome.error.isEmpty())
        outcome.error = program + QStringLiteral(" ended with %1").arg(process.exitCode());
    return outcome;
}

const QChar fieldSeparator(0x1F);
const QChar recordSeparator(0x1E);

QStringList rowsOf(QByteArray output)
{
    if (output.endsWith('\n'))
        output.chop(1);
    QStringList rows;
    for (const QString &record : QString::fromUtf8(output).split(recordSeparator, Qt::SkipEmptyParts))
        rows << record.split(fieldSeparator).join(QStringLiteral(" | "));
    return rows;
}

QString idOf(const char *arguments)
{
    const Outcome outcome = runProcess(QStringLiteral("id"), QString::fromLatin1(arguments).split(QLatin1Char(' ')));
    return outcome.ok ? QString::fromUtf8(outcome.out).trimmed() : QString();
}

