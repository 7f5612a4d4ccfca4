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
    const QFile::Permissions before = QFile::permissions(path);
    QFile::setPermissions(path, before | QFile::WriteOwner | QFile::WriteUser);
    if (!QFile::remove(path))
        QFile::setPermissions(path, before);
}

} // namespace Main
