#include "platform/memofile.h"

#include "platform/failure.h"
#include "platform/fileaccess.h"

#include <QtEndian>

namespace platform {

namespace {

constexpr qint64 BlockSizeOffset = 6;
constexpr qint64 MemoHeadSize = 8;
constexpr qint64 MemoLengthOffset = 4;

Failure corrupted(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is corrupted: %2").arg(fileName, what), platform::TableCorrupted);
}

} // namespace

MemoFile::MemoFile(QByteArray bytes, QString fileName)
    : m_bytes(std::move(bytes)), m_size(m_bytes.size()), m_fileName(std::move(fileName))
{
    readBlockSize();
}

MemoFile::MemoFile(QFile &file, QString fileName) : m_file(&file), m_size(file.size()), m_fileName(std::move(fileName))
{
    readBlockSize();
}

void MemoFile::readBlockSize()
{
    if (m_size < MemoHeadSize)
        throw corrupted(m_fileName, QStringLiteral("the file is %1 bytes long, shorter than a memo header.").arg(m_size));
    m_blockSize = qFromBigEndian<quint16>(bytesAt(BlockSizeOffset, 2).constData());
    if (m_blockSize == 0)
        throw corrupted(m_fileName, QStringLiteral("its block size is 0."));
}

QByteArray MemoFile::bytesAt(qint64 offset, qint64 size) const
{
    if (m_file)
        return readAt(*m_file, offset, size, m_fileName);
    return m_bytes.sliced(offset, size);
}

QByteArray MemoFile::memo(quint32 block, qint64 maxLength) const
{
    if (block == 0)
        return {};
    const qint64 start = qint64(block) * m_blockSize;
    if (start + MemoHeadSize > m_size)
        throw corrupted(m_fileName, QStringLiteral("memo block %1 lies beyond the end of the file (%2 bytes).")
                                        .arg(block).arg(m_size));
    // The length is checked against the file's real size before anything is allocated by it.
    const qint64 length = qFromBigEndian<quint32>(bytesAt(start + MemoLengthOffset, 4).constData());
    if (length > m_size - start - MemoHeadSize)
        throw corrupted(m_fileName, QStringLiteral("the memo at block %1 (%2 bytes) runs past the end of the file.")
                                        .arg(block).arg(length));
    if (length > maxLength)
        throw corrupted(m_fileName, QStringLiteral("the memo at block %1 (%2 bytes) is longer than such a memo can be.")
                                        .arg(block).arg(length));
    return bytesAt(start + MemoHeadSize, length);
}

} // namespace platform
