#include "platform/cleantext.h"

namespace platform {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool isKeptInLines(char16_t c)
{
    return c == u'\t' || c == u'\n' || c == u'\r';
}

// Whether the text holds anything to clean; nearly every text holds nothing.
bool needsCleaning(const QString &text, Cleaning cleaning)
{
    for (const QChar character : text) {
        const char16_t c = character.unicode();
        if ((isControl(c) && !(cleaning.keepsLines && isKeptInLines(c))) || QChar::isSurrogate(c) || c >= 0xFFFE)
            return true;
    }
    return false;
}

} // namespace

QString cleanText(const QString &text, Cleaning cleaning)
{
    if (!needsCleaning(text, cleaning))
        return text;
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            clean += text.at(i);
            clean += text.at(++i);
        } else if (QChar::isSurrogate(c) || c >= 0xFFFE) {
            clean += QChar(cleaning.nonCharacter);
        } else if (isControl(c) && !(cleaning.keepsLines && isKeptInLines(c))) {
            clean += QChar(cleaning.control);
        } else {
            clean += QChar(c);
        }
    }
    return clean;
}

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\r' || u == u'\n' || u == 0x0B || u == 0x0C || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace platform
