#pragma once

// The per-user settings store: string values under "Tarnvista" / "Orvalle".
// An absent value reads as "". Each write is made at once; a failure throws.

#include <QString>

namespace app {

inline const QString FoxproOptionKey = QStringLiteral("FoxproOption");
inline const QString FreeTableFolderKey = QStringLiteral("FreeTableFolder");
inline const QString DBCFileKey = QStringLiteral("DBCFile");

QString readSetting(const QString &key);
void saveSetting(const QString &key, const QString &value);

} // namespace app
