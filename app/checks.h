#pragma once

#include <QString>

namespace Main {

// True when `path` names an existing file (not a folder) whose date can be read.
// Never throws.
bool IsFilePresent(const QString &path);
// True when `path` names an existing folder, with or without a trailing
// separator. Never throws.
bool IsFolderPresent(const QString &path);
// Deletes the file, forcing a read-only one; reports nothing and never throws.
void DeleteExistingFile(const QString &path);

} // namespace Main
