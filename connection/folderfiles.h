#pragma once

// The start window's look at the file system: files of a folder, the folder
// dialog.

#include <QString>
#include <QStringList>

class QWidget;

namespace connection {

// Names (without folder) of the files in `folder` matching `pattern` without
// regard to case, hidden ones included, folders never; sub-folders are not searched.
QStringList filesInFolder(const QString &folder, const QString &pattern);
// Whether `path` names an existing file (not a folder).
bool isExistingFile(const QString &path);
// The folder dialog: the chosen folder's path, or "" when cancelled.
QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder);

} // namespace connection
