#include "platform/codepage.h"

#include "platform/fileaccess.h"

#include <QStringDecoder>

#include <algorithm>
#include <span>

namespace platform {

int codePageOfMark(quint8 mark)
{
    switch (mark) {
    // The marks Visual FoxPro writes.
    case 0x01: return 437;
    case 0x02: return 850;
    case 0x03: return 1252;
    case 0x04: return 10000;
    case 0x64: return 852;
    case 0x65: return 866;
    case 0x66: return 865;
    case 0x67: return 861;
    case 0x68: return 895;
    case 0x69: return 620;
    case 0x6A: return 737;
    case 0x6B: return 857;
    case 0x78: return 950;
    case 0x79: return 949;
    case 0x7A: return 936;
    case 0x7B: return 932;
    case 0x7C: return 874;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x96: return 10007;
    case 0x97: return 10029;
    case 0x98: return 10006;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    // Language driver ids of dBase, Clipper and ESRI writers.
    case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18: case 0x19: case 0x1B:
        return 437;
    case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A: case 0x1D: case 0x25: case 0x37:
        return 850;
    case 0x08: case 0x17: return 865;
    case 0x1C: case 0x6C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: return 866;
    case 0x86: return 737;
    case 0x88: return 857;
    case 0x13: return 932;
    case 0x4D: return 936;
    case 0x4E: return 949;
    case 0x4F: return 950;
    case 0x50: return 874;
    case 0x57: case 0x58: case 0x59: return 1252;
    case 0xCC: return 1257;
    case 0xF0: return 65001;
    default: return 0;
    }
}

namespace {

// A letter a code page holds where U.S. MS-DOS (437) holds another.
struct Letter {
    quint8 byte;
    char16_t character;
};

// Polish letters in 437's places of others that look alike.
constexpr Letter mazoviaLetters[] = {
    {0x86, u'ą'}, {0x8D, u'ć'}, {0x8F, u'Ą'}, {0x90, u'Ę'}, {0x91, u'ę'}, {0x92, u'ł'},
    {0x95, u'Ć'}, {0x98, u'Ś'}, {0x9C, u'Ł'}, {0x9E, u'ś'}, {0xA0, u'Ź'}, {0xA1, u'Ż'},
    {0xA3, u'Ó'}, {0xA4, u'ń'}, {0xA5, u'Ń'}, {0xA6, u'ź'}, {0xA7, u'ż'},
};

// Czech and Slovak letters in 0x80-0xAB, where they differ from 437's.
constexpr Letter kamenickyLetters[] = {
    {0x80, u'Č'}, {0x83, u'ď'}, {0x85, u'Ď'}, {0x86, u'Ť'}, {0x87, u'č'}, {0x88, u'ě'},
    {0x89, u'Ě'}, {0x8A, u'Ĺ'}, {0x8B, u'Í'}, {0x8C, u'ľ'}, {0x8D, u'ĺ'}, {0x8F, u'Á'},
    {0x91, u'ž'}, {0x92, u'Ž'}, {0x95, u'Ó'}, {0x96, u'ů'}, {0x97, u'Ú'}, {0x98, u'ý'},
    {0x9B, u'Š'}, {0x9C, u'Ľ'}, {0x9D, u'Ý'}, {0x9E, u'Ř'}, {0x9F, u'ť'}, {0xA4, u'ň'},
    {0xA5, u'Ň'}, {0xA6, u'Ů'}, {0xA7, u'Ô'}, {0xA8, u'š'}, {0xA9, u'ř'}, {0xAA, u'ŕ'},
    {0xAB, u'Ŕ'},
};

struct CodePage {
    int number;
    const char *encoding; // the converter's name; nullptr where there is none
    const char *description;
    // A page no converter knows that is 437 but for these letters.
    std::span<const Letter> letters = {};
};

constexpr CodePage codePages[] = {
    {437, "IBM437", "U.S. MS-DOS"},
    {620, "IBM437", "Mazovia (Polish) MS-DOS", mazoviaLetters},
    {737, "IBM737", "Greek MS-DOS (437G)"},
    {850, "IBM850", "International MS-DOS"},
    {852, "IBM852", "Eastern European MS-DOS"},
    {857, "IBM857", "Turkish MS-DOS"},
    {860, "IBM860", "Portuguese MS-DOS"},
    {861, "IBM861", "Icelandic MS-DOS"},
    {863, "IBM863", "Canadian French MS-DOS"},
    {865, "IBM865", "Nordic MS-DOS"},
    {866, "IBM866", "Russian MS-DOS"},
    {874, "windows-874", "Thai Windows"},
    {895, "IBM437", "Kamenicky (Czech) MS-DOS", kamenickyLetters},
    {932, "windows-932", "Japanese Windows"},
    {936, "windows-936", "Chinese Simplified (PRC, Singapore) Windows"},
    {949, "windows-949", "Korean Windows"},
    {950, "windows-950", "Traditional Chinese (Hong Kong SAR, Taiwan) Windows"},
    {1250, "windows-1250", "Eastern European Windows"},
    {1251, "windows-1251", "Russian Windows"},
    {1252, "windows-1252", "Windows ANSI"},
    {1253, "windows-1253", "Greek Windows"},
    {1254, "windows-1254", "Turkish Windows"},
    {1255, "windows-1255", "Hebrew Windows"},
    {1256, "windows-1256", "Arabic Windows"},
    {1257, "windows-1257", "Baltic Windows"},
    {10000, "macintosh", "Standard Macintosh"},
    {10006, "x-mac-greek", "Greek Macintosh"},
    {10007, "x-mac-cyrillic", "Russian Macintosh"},
    {10029, "x-mac-centraleurroman", "Macintosh EE"},
    {65001, "UTF-8", "UTF-8"},
};

const CodePage *codePageNumbered(int number)
{
    for (const CodePage &page : codePages) {
        if (page.number == number)
            return &page;
    }
    return nullptr;
}

} // namespace

const char *codePageDescription(int codePage)
{
    const CodePage *page = codePageNumbered(codePage);
    return page ? page->description : "";
}

const char *encodingForCodePageMark(quint8 mark)
{
    const CodePage *page = codePageNumbered(codePageOfMark(mark));
    return page ? page->encoding : nullptr;
}

namespace {

// Text of code page `codePage` (Windows' number), known to Qt as `name`:
// through Qt's converter where it has one (ICU's), else through the
// system's (Windows'), else as Windows ANSI. Stateless: a sequence cut short
// at the end is shown as U+FFFD, not kept back for input that never comes.
QString decodePage(QByteArrayView bytes, const char *name, int codePage)
{
    const CodePage *page = codePageNumbered(codePage);
    if (page && !page->letters.empty()) {
        // 437 takes one byte for one character: the letters go where their bytes are.
        QString text = decodePage(bytes, "IBM437", 437);
        if (text.size() == bytes.size()) {
            for (qsizetype i = 0; i < bytes.size(); ++i) {
                for (const Letter &letter : page->letters) {
                    if (uchar(bytes[i]) == letter.byte)
                        text[i] = QChar(letter.character);
                }
            }
        }
        return text;
    }
    for (const auto &[qtName, number] : {std::pair{name, codePage}, std::pair{"windows-1252", 1252}}) {
        if (!qtName)
            continue;
        QStringDecoder decoder(qtName, QStringConverter::Flag::Stateless);
        if (decoder.isValid())
            return decoder.decode(bytes);
        if (std::optional<QString> text = platform::systemDecode(number, bytes))
            return *text;
    }
    return QString(bytes.size(), QChar::ReplacementCharacter);
}

} // namespace

QString decodeText(QByteArrayView bytes, quint8 mark)
{
    // Every code page here agrees with ASCII, and names nearly always are ASCII:
    // skip the converter for them.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    return decodePage(bytes, encodingForCodePageMark(mark), codePageOfMark(mark));
}

Utf8Decoder::Utf8Decoder(quint8 mark)
{
    const int codePage = codePageOfMark(mark);
    const char *name = encodingForCodePageMark(mark);
    m_encoding = name ? name : "windows-1252";
    m_codePage = name ? codePage : 1252;
    // A byte of a double-byte page may lead a character: only the
    // converter knows how many bytes follow it.
    m_byTable = codePage != 932 && codePage != 936 && codePage != 949 && codePage != 950 && codePage != 65001;
    if (!m_byTable)
        return;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char one = char(byte);
        const QByteArray utf8 = decodePage(QByteArrayView(&one, 1), m_encoding.constData(), m_codePage).toUtf8();
        // Every single-byte page maps a byte to one character of the Basic
        // Multilingual Plane; anything else is shown as U+FFFD.
        const QByteArray shown = utf8.size() >= 1 && utf8.size() <= 3 ? utf8 : QByteArray("\xEF\xBF\xBD");
        std::copy(shown.cbegin(), shown.cend(), m_upper[byte - 0x80].begin());
        m_upperLength[byte - 0x80] = quint8(shown.size());
    }
}

void Utf8Decoder::append(QByteArrayView bytes, QByteArray &utf8) const
{
    if (!m_byTable) {
        utf8 += decodePage(bytes, m_encoding.constData(), m_codePage).toUtf8();
        return;
    }
    const qsizetype start = utf8.size();
    utf8.resize(start + 3 * bytes.size());
    char *out = utf8.data() + start;
    for (const char c : bytes) {
        const auto byte = uchar(c);
        if (byte < 0x80) {
            *out++ = c;
            continue;
        }
        const auto &sequence = m_upper[byte - 0x80];
        const int length = m_upperLength[byte - 0x80];
        for (int i = 0; i < length; ++i)
            *out++ = sequence[size_t(i)];
    }
    utf8.truncate(out - utf8.constData());
}

QString lowerCase(QString text)
{
    // ASCII names are the rule: lower them without Unicode's tables, which
    // are slow for so common a case. A name in lower case already, as most
    // are, is returned as it is, not copied.
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
