#pragma once

// The per-user settings store: string values under "Tarnvista" / "Orvalle".
// An absent value reads as "". Each write is made at once; a failure throws.

#include <QString>

namespace Settings {

inline const QString FoxproOption = QStringLiteral("FoxproOption");
inline const QString FreeTableFolder = QStringLiteral("FreeTableFolder");
inline const QString DBCFile = QStringLiteral("DBCFile");

QString Get(const QString &key);
void Save(const QString &key, const QString &value);

} // namespace Settings
