#pragma once

// Text from files made safe for whatever we write it into. One set of
// characters is cleaned, of two kinds:
// - controls: C0 (U+0000 to U+001F), DEL and C1 (U+007F to U+009F), the line
//   and paragraph separators U+2028 and U+2029: they could start a line of
//   their own, move a terminal's cursor or break a document's structure;
// - non-characters: a half of a surrogate pair standing alone, U+FFFE and
//   U+FFFF: no encoder or XML parser takes them.
// Each output says what each kind becomes.

#include <QChar>
#include <QString>

namespace platform {

struct Cleaning {
    char16_t control;      // what a control becomes
    char16_t nonCharacter; // what a non-character becomes
    bool keepsLines;       // tab, LF and CR stay: a text of several lines
};

// One line: a control becomes a space.
inline constexpr Cleaning OneLine{u' ', u'\uFFFD', false};
// One line where a name must show that something was there: U+FFFD.
inline constexpr Cleaning MarkedLine{u'\uFFFD', u'\uFFFD', false};
// Several lines: tab, LF and CR stay, any other control shows as U+FFFD.
inline constexpr Cleaning Lines{u'\uFFFD', u'\uFFFD', true};
// One line in the system's code page, which may have no U+FFFD: '?', as its
// encoder writes for what it cannot encode.
inline constexpr Cleaning CodePageLine{u' ', u'?', false};

// The text cleaned; the very same string, shared, when nothing needed it.
QString cleanText(const QString &text, Cleaning cleaning);

// LF, VT, FF, CR, NEL, U+2028 and U+2029: the controls that end a line.
bool isLineBreak(QChar c);

} // namespace platform
