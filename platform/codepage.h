#pragma once

// The code pages a FoxPro file's mark names, and text decoded from them.

#include <QByteArrayView>
#include <QString>

#include <array>

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

// Record values turned into UTF-8, many values of one table's code page: the
// single-byte code pages through a table of each byte's UTF-8 made once, the
// others (the Asian double-byte pages, UTF-8) through the converter. Decodes
// as decodeText does.
class Utf8Decoder {
public:
    explicit Utf8Decoder(quint8 mark);
    // Appends the text of `bytes` to `utf8`.
    void append(QByteArrayView bytes, QByteArray &utf8) const;

private:
    QByteArray m_encoding;
    int m_codePage = 1252;
    bool m_byTable = false;
    // The UTF-8 of bytes 0x80-0xFF: up to three bytes each, and how many.
    std::array<std::array<char, 3>, 128> m_upper{};
    std::array<quint8, 128> m_upperLength{};
};

// Names are shown in lower case.
QString lowerCase(QString text);
// Whether two names are equal but for case, as FoxPro compares names. Case
// is folded one code unit for one, so names of unequal lengths differ: they
// are told apart without a character compared, as most are.
inline bool sameName(QStringView a, QStringView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}
// Sets `text` to lowerCase(decodeText(bytes, mark)): for ASCII in one pass
// and in the string's own storage when it has room.
void assignLowerCaseText(QString &text, QByteArrayView bytes, quint8 mark);

} // namespace platform
