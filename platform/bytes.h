#pragma once

// Integers read from file bytes, through Qt's endian helpers. The caller has
// checked that the bytes hold them.

#include <QByteArrayView>
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

} // namespace platform
