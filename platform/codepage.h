#pragma once

// The code pages a FoxPro file's mark names, and text decoded from them.

#include <QByteArrayView>
#include <QString>

namespace platform {

// The code page a mark (byte 29 of a table header) names, as Windows numbers
// them (1252, 437, …): the marks Visual FoxPro writes and the language
// driver ids of dBase, Clipper and ESRI writers. 0 for a mark naming none.
int codePageOfMark(quint8 mark);
// "Windows ANSI", "U.S. MS-DOS", …; empty for a code page not named here.
const char *codePageDescription(int codePage);
// The converter name for a code page mark, or nullptr when the mark names no
// code page we can convert.
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
