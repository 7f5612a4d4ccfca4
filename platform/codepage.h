#pragma once

#include <QByteArrayView>
#include <QString>

namespace platform {

// The converter name for a code page mark (byte 29 of a table header), or
// nullptr when the mark names no code page we can convert.
const char *encodingForCodePageMark(quint8 mark);

// Decodes names and comments written in the code page of the mark; an unknown
// or zero mark falls back to windows-1252, the code page VFP writes by default.
QString decodeText(QByteArrayView bytes, quint8 mark);

// Names are shown in lower case.
QString lowerCase(QString text);
// Sets `text` to lowerCase(decodeText(bytes, mark)): for ASCII in one pass
// and in the string's own storage when it has room.
void assignLowerCaseText(QString &text, QByteArrayView bytes, quint8 mark);

} // namespace platform
