#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace Main {

namespace {
QString folderOverride;
void (*endHandler)() = nullptr;
} // namespace

QString ProgramFolder()
{
    return folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
}

void SetProgramFolder(const QString &folder)
{
    folderOverride = folder;
}

QString BesideProgram(const QString &relativePath)
{
    return ProgramFolder() + QDir::separator() + QDir::toNativeSeparators(relativePath);
}

void EndProgram()
{
    if (endHandler)
        endHandler();
    else
        QCoreApplication::exit(0);
}

void SetProgramEndHandler(void (*handler)())
{
    endHandler = handler;
}

} // namespace Main
