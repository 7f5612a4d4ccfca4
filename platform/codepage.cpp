#include "platform/codepage.h"

#include <QStringDecoder>

#include <algorithm>

namespace platform {

const char *encodingForCodePageMark(quint8 mark)
{
    switch (mark) {
    // The marks Visual FoxPro writes.
    case 0x01: return "IBM437";
    case 0x02: return "IBM850";
    case 0x03: return "windows-1252";
    case 0x04: return "macintosh";
    case 0x64: return "IBM852";
    case 0x65: return "IBM866";
    case 0x66: return "IBM865";
    case 0x67: return "IBM861";
    case 0x6A: return "IBM737";
    case 0x6B: return "IBM857";
    case 0x78: return "windows-950";
    case 0x79: return "windows-949";
    case 0x7A: return "windows-936";
    case 0x7B: return "windows-932";
    case 0x7C: return "windows-874";
    case 0x7D: return "windows-1255";
    case 0x7E: return "windows-1256";
    case 0x96: return "x-mac-cyrillic";
    case 0x97: return "x-mac-centraleurroman";
    case 0x98: return "x-mac-greek";
    case 0xC8: return "windows-1250";
    case 0xC9: return "windows-1251";
    case 0xCA: return "windows-1254";
    case 0xCB: return "windows-1253";
    // Language driver ids of dBase, Clipper and ESRI writers.
    case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18: case 0x19:
    case 0x1B:
        return "IBM437";
    case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A: case 0x1D:
    case 0x25: case 0x37:
        return "IBM850";
    case 0x08: case 0x17: return "IBM865";
    case 0x1C: case 0x6C: return "IBM863";
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x87: return "IBM852";
    case 0x24: return "IBM860";
    case 0x26: return "IBM866";
    case 0x86: return "IBM737";
    case 0x88: return "IBM857";
    case 0x13: return "windows-932";
    case 0x4D: return "windows-936";
    case 0x4E: return "windows-949";
    case 0x4F: return "windows-950";
    case 0x50: return "windows-874";
    case 0x57: case 0x58: case 0x59: return "windows-1252";
    case 0xCC: return "windows-1257";
    case 0xF0: return "UTF-8";
    default: return nullptr; // 0x00 (no mark), 0x68 Kamenicky, 0x69 Mazovia and junk
    }
}

QString decodeText(QByteArrayView bytes, quint8 mark)
{
    // Every code page here agrees with ASCII, and names nearly always are ASCII:
    // skip the converter for them.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    const char *name = encodingForCodePageMark(mark);
    // Stateless: a sequence cut short at the end is shown as U+FFFD, not kept
    // back for input that never comes.
    QStringDecoder decoder(name ? name : "windows-1252", QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        decoder = QStringDecoder("windows-1252", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString lowerCase(QString text)
{
    // ASCII names are the rule: lower them without Unicode's tables, which
    // costs a measurable share of describing a folder of tables. A name in
    // lower case already, as most are, is returned as it is, not copied.
    const auto needsWork = [](QChar c) { return c.unicode() >= 0x80 || (c >= u'A' && c <= u'Z'); };
    const qsizetype first = std::find_if(text.cbegin(), text.cend(), needsWork) - text.cbegin();
    if (first == text.size())
        return text;
    QChar *const data = text.data();
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t u = data[i].unicode();
        if (u >= 0x80)
            return text.toLower();
        if (u >= 'A' && u <= 'Z')
            data[i] = QChar(char16_t(u + ('a' - 'A')));
    }
    return text;
}

void assignLowerCaseText(QString &text, QByteArrayView bytes, quint8 mark)
{
    if (text.size() != bytes.size())
        text.resize(bytes.size()); // allocates only when the storage is shared or too small
    QChar *out = text.data();      // and this only when it is shared
    // ASCII in one pass; a byte above it sends the whole name to the converter.
    uchar high = 0;
    for (const char c : bytes) {
        high |= uchar(c);
        *out++ = QChar(char16_t(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : uchar(c)));
    }
    if (high >= 0x80)
        text = lowerCase(decodeText(bytes, mark));
}

} // namespace platform
