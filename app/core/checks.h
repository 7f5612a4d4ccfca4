#pragma once

// Checks on files and folders the windows make before they act, none of which
// throws.

#include <QFile>
#include <QString>

#include <optional>

namespace app {

// True when `path` names an existing file (not a folder) whose date can be read.
// Never throws.
bool isFilePresent(const QString &path);
// True when `path` names an existing folder, with or without a trailing
// separator. Never throws.
bool isFolderPresent(const QString &path);
// The user agreed to replace the file: a read-only one is made writable, so
// that a new report can take its place when it is complete. Returns the
// permissions to put back when none does (nothing when nothing changed).
// Reports nothing and never throws.
std::optional<QFile::Permissions> allowReplacing(const QString &path);

} // namespace app
