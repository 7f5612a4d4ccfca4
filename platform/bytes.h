#pragma once

// Integers and names read from file bytes, and a byte as messages show it.
// The caller has checked that the bytes hold what it reads.

#include <QByteArrayView>
#include <QString>
#include <QtEndian>

namespace platform {

inline quint16 littleEndian16(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.data() + at);
}

inline quint32 littleEndian32(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

inline quint16 bigEndian16(QByteArrayView bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.data() + at);
}

inline quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.data() + at);
}

// The bytes up to the first NUL, or all of them when there is none: how the
// FoxPro files end a name in a fixed-size slot.
inline QByteArrayView upToNul(QByteArrayView bytes)
{
    // A plain loop: the names it cuts are a few bytes, shorter than a call costs.
    qsizetype end = 0;
    while (end < bytes.size() && bytes[end] != '\0')
        ++end;
    return bytes.first(end);
}

// "0x1B": a byte in two upper-case hexadecimal digits.
inline QString hexByte(quint8 value)
{
    return QStringLiteral("0x%1").arg(QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0')));
}

} // namespace platform
