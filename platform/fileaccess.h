#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace foxpro {

// The name a file is given in error descriptions.
QString displayName(const QString &path);

// Opens the file read-only, or throws Failure 1 when it does not exist and
// 1705 when it cannot be read.
void openReadOnly(QFile &file);
// Reads at most maxBytes more from the open file; throws Failure 1705 on a read error.
QByteArray readSome(QFile &file, qint64 maxBytes);

// Reads the whole file (read-only; closed on return). Throws as openReadOnly
// and readSome do.
QByteArray readWholeFile(const QString &path);

// The existing entry that relative names under base, each part matched
// case-insensitively when the exact name is missing ("\" counts as a
// separator). Empty when there is none.
QString resolveCaseInsensitive(const QString &base, const QString &relative);

} // namespace foxpro
