#include "connection/folderfiles.h"

#include "app/prompts.h"

#include <QDir>
#include <QFileInfo>

namespace connection {

using app::prompts;

QStringList filesInFolder(const QString &folder, const QString &pattern)
{
    const QDir dir(folder);
    const QStringList found = dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System,
                                            QDir::Name | QDir::IgnoreCase);
    QStringList names;
    for (const QString &name : found) {
        if (isExistingFile(dir.filePath(name)))
            names << name;
    }
    return names;
}

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder)
{
    return prompts().browseFolder(owner, prompt, startFolder);
}

} // namespace connection
