#include "reportcommand.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
#ifdef Q_OS_WIN
    // The report's CR LF must reach standard output untranslated.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly);
    const int status = reportcommand::run(app.arguments(), out, err);
    out.flush();
    err.flush();
    return status;
}
