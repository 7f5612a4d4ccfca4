#include "reporttool.h"

#include <QProcess>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

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
    process.start(program, arguments);
    ToolOutcome outcome;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}
