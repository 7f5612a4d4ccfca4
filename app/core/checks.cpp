#include "app/core/checks.h"

#include <QFile>
#include <QFileInfo>

namespace app {

bool isFilePresent(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.lastModified().isValid();
}

bool isFolderPresent(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

std::optional<QFile::Permissions> allowReplacing(const QString &path)
{
    const QFile::Permissions before = QFile::permissions(path);
    if (!QFileInfo(path).isFile() || ((before & QFile::WriteOwner) && QFileInfo(path).isWritable()))
        return std::nullopt;
    if (!QFile::setPermissions(path, before | QFile::WriteOwner | QFile::WriteUser))
        return std::nullopt;
    // The *User flags say what this user may do, not the file's mode: for
    // root they hold write, which setPermissions would put back as the
    // owner's write bit.
    return before & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

} // namespace app
