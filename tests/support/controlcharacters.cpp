#include "controlcharacters.h"

#include <QStringDecoder>

QString firstControlCharacter(const QByteArray &utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(utf8);
    if (decoder.hasError())
        return QStringLiteral("bytes that are no UTF-8");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool allowed = c == u'\t' || c == u'\n' || c == u'\r';
        if ((c < 0x20 && !allowed) || (c >= 0x7F && c < 0xA0))
            return QStringLiteral("U+%1 at character %2").arg(uint(c), 4, 16, QLatin1Char('0')).arg(i);
    }
    return QString();
}
