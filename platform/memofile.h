#pragma once

// FoxPro memo files (.fpt, .dct), read a memo at a time.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace platform {

// A FoxPro memo file (.fpt, or a container's .dct): a header with the block
// size (big-endian), then memos that each start on a block with an 8-byte
// head (type, length; big-endian). Memos are read when asked for, so what a
// memo file costs is what is asked of it, whatever size it claims.
class MemoFile {
public:
    // Over bytes held in memory. Throws Failure 2091 when the header is unusable.
    MemoFile(QByteArray bytes, QString fileName);
    // Over a file the caller keeps open while the memo file is used.
    MemoFile(QFile &file, QString fileName);

    // The data of the memo at the block; empty for block 0. Throws Failure
    // 2091 when the memo lies beyond the end of the file or is longer than
    // maxLength.
    QByteArray memo(quint32 block, qint64 maxLength) const;

    const QString &fileName() const { return m_fileName; }
    quint32 blockSize() const { return m_blockSize; }

private:
    void readBlockSize();
    QByteArray bytesAt(qint64 offset, qint64 size) const;

    QByteArray m_bytes;
    QFile *m_file = nullptr;
    qint64 m_size = 0;
    QString m_fileName;
    quint32 m_blockSize = 0;
};

} // namespace platform
