#include "app/core/programfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace app {

namespace {
QString folderOverride;
void (*endHandler)() = nullptr;
} // namespace

QString programFolder()
{
    return folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
}

void setProgramFolder(const QString &folder)
{
    folderOverride = folder;
}

QString besideProgram(const QString &relativePath)
{
    return programFolder() + QDir::separator() + QDir::toNativeSeparators(relativePath);
}

void endProgram()
{
    if (endHandler)
        endHandler();
    else
        QCoreApplication::exit(0);
}

void setProgramEndHandler(void (*handler)())
{
    endHandler = handler;
}

} // namespace app
