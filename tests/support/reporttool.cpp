#include "reporttool.h"

#include <QProcess>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

bool isWindowsProgram(const QString &program)
{
    return program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive);
}

ToolOutcome runProgram(const QString &program, const QStringList &arguments, const QString &outputFile,
                       qint64 fileSizeLimit, const QStringList &environment)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setEnvironment(QProcess::systemEnvironment() + environment);
#ifdef Q_OS_UNIX
    if (fileSizeLimit >= 0) {
        process.setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            // Ignored, the signal leaves the write to fail with EFBIG.
            ::signal(SIGXFSZ, SIG_IGN);
        });
    }
#else
    Q_UNUSED(fileSizeLimit);
#endif
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_WIN
    process.start(program, arguments);
#else
    // A Windows program runs under wine.
    if (isWindowsProgram(program))
        process.start(QStringLiteral("wine"), QStringList{program} + arguments);
    else
        process.start(program, arguments);
#endif
    ToolOutcome outcome;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    // Windows' C runtime ends each line of standard error with CR LF; the
    // messages are the same.
    if (isWindowsProgram(program))
        outcome.err.replace("\r\n", "\n");
    return outcome;
}
