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

MemoFile::MemoFile(const ReadOnlyFile &file, QString fileName)
    : m_readOnly(&file), m_size(file.size()), m_fileName(std::move(fileName))
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
    if (!m_readOnly)
        return m_bytes.sliced(offset, size);
    // Memos asked for one after another come from one read of the file's
    // next stretch; others (a memo here and there) are read alone.
    constexpr qint64 windowSize = 256 * 1024;
    constexpr qint64 nearby = 4096;
    const qint64 end = offset + size;
    const bool following = offset >= m_lastEnd && offset - m_lastEnd <= nearby;
    m_lastEnd = end;
    if (offset >= m_windowStart && end <= m_windowStart + m_window.size())
        return m_window.sliced(offset - m_windowStart, size);
    if (!following || size >= windowSize || offset >= m_size)
        return readAt(*m_readOnly, offset, size);
    m_window = readAt(*m_readOnly, offset, qMin(windowSize, m_size - offset));
    m_windowStart = offset;
    if (size > m_window.size())
        return readAt(*m_readOnly, offset, size); // the file ended first: the same read says so
    return m_window.first(size);
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

namespace {

constexpr qint64 DBase3BlockSize = 512;
constexpr char DBase3End = 0x1A;
constexpr qint64 DBaseBlockSizeOffset = 20;

} // namespace

DbtFile::DbtFile(const ReadOnlyFile &file, QString fileName, bool dBase3)
    : m_file(file), m_fileName(std::move(fileName)), m_dBase3(dBase3)
{
    if (m_file.size() < DBase3BlockSize)
        throw corrupted(m_fileName, QStringLiteral("the file is %1 bytes long, shorter than a memo header.").arg(m_file.size()));
    if (!m_dBase3) {
        QByteArray size;
        m_file.appendAt(DBaseBlockSizeOffset, 2, size);
        const int given = size.size() == 2 ? qFromLittleEndian<quint16>(size.constData()) : 0;
        m_blockSize = given == 0 ? DBase3BlockSize : given;
    }
}

QByteArray DbtFile::memo(quint32 block, qint64 maxLength) const
{
    if (block == 0)
        return {};
    const qint64 start = qint64(block) * m_blockSize;
    const qint64 size = m_file.size();
    if (start >= size)
        throw corrupted(m_fileName, QStringLiteral("memo block %1 lies beyond the end of the file (%2 bytes).")
                                        .arg(block).arg(size));
    if (m_dBase3) {
        // Read a block at a time up to the end mark, never past the file.
        QByteArray text;
        for (qint64 at = start; at < size; at += DBase3BlockSize) {
            const qsizetype from = text.size();
            m_file.appendAt(at, DBase3BlockSize, text);
            const qsizetype end = text.indexOf(DBase3End, from);
            if (end >= 0)
                text.truncate(end);
            if (text.size() > maxLength)
                throw corrupted(m_fileName, QStringLiteral("the memo at block %1 is longer than such a memo can be.").arg(block));
            if (end >= 0 || text.size() == from)
                break;
        }
        return text;
    }
    QByteArray head;
    m_file.appendAt(start, MemoHeadSize, head);
    if (head.size() != MemoHeadSize || !head.startsWith(QByteArrayView("\xFF\xFF\x08\x00", 4)))
        throw corrupted(m_fileName, QStringLiteral("memo block %1 holds no memo.").arg(block));
    // The length counts the 8-byte head; it is checked against the file's
    // real size before anything is allocated by it.
    const qint64 length = qint64(qFromLittleEndian<quint32>(head.constData() + MemoLengthOffset)) - MemoHeadSize;
    if (length < 0 || length > size - start - MemoHeadSize)
        throw corrupted(m_fileName, QStringLiteral("the memo at block %1 runs past the end of the file.").arg(block));
    if (length > maxLength)
        throw corrupted(m_fileName, QStringLiteral("the memo at block %1 (%2 bytes) is longer than such a memo can be.")
                                        .arg(block).arg(length));
    return readAt(m_file, start + MemoHeadSize, length);
}

} // namespace platform
