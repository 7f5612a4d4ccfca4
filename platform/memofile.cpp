#include "memofile.h"

#include "dataaccess.h"

namespace foxpro {

namespace {

quint32 be32(QByteArrayView bytes, qsizetype at)
{
    return quint32(uchar(bytes[at])) << 24 | quint32(uchar(bytes[at + 1])) << 16
           | quint32(uchar(bytes[at + 2])) << 8 | quint32(uchar(bytes[at + 3]));
}

Failure corrupted(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is corrupted: %2").arg(fileName, what), ado::TableCorrupted);
}

} // namespace

MemoFile::MemoFile(QByteArray bytes, QString fileName)
    : m_bytes(std::move(bytes)), m_fileName(std::move(fileName))
{
    if (m_bytes.size() < 8)
        throw corrupted(m_fileName, QStringLiteral("the file is %1 bytes long, shorter than a memo header.")
                                        .arg(m_bytes.size()));
    m_blockSize = quint32(uchar(m_bytes[6])) << 8 | quint32(uchar(m_bytes[7]));
    if (m_blockSize == 0)
        throw corrupted(m_fileName, QStringLiteral("its block size is 0."));
}

QByteArrayView MemoFile::memo(quint32 block) const
{
    if (block == 0)
        return {};
    const qint64 start = qint64(block) * m_blockSize;
    const qint64 size = m_bytes.size();
    if (start + 8 > size)
        throw corrupted(m_fileName, QStringLiteral("memo block %1 lies beyond the end of the file (%2 bytes).")
                                        .arg(block).arg(size));
    const qint64 length = be32(m_bytes, start + 4);
    if (length > size - start - 8)
        throw corrupted(m_fileName, QStringLiteral("the memo at block %1 (%2 bytes) runs past the end of the file.")
                                        .arg(block).arg(length));
    return QByteArrayView(m_bytes).sliced(start + 8, length);
}

} // namespace foxpro
