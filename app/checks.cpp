#include "checks.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace Main {

bool IsFilePresent(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.lastModified().isValid();
}

bool IsFolderPresent(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void DeleteExistingFile(const QString &path)
{
    QCoreApplication::processEvents();
    if (QFile::remove(path))
        return;
    // A read-only file refuses a plain delete on some systems: make it writable first.
    QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::WriteUser);
    QFile::remove(path);
}

} // namespace Main
