#pragma once

// FoxPro memo files (.fpt, .dct), read a memo at a time.

#include <QByteArray>
#include <QFile>
#include <QString>

#include "platform/fileaccess.h"

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
    MemoFile(const ReadOnlyFile &file, QString fileName);

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
    const ReadOnlyFile *m_readOnly = nullptr;
    // Of a file read one memo after another (a table's records name their
    // memos in order): the part of it read last, in one read.
    mutable QByteArray m_window;
    mutable qint64 m_windowStart = 0;
    mutable qint64 m_lastEnd = 0; // where the last read ended
    qint64 m_size = 0;
    QString m_fileName;
    quint32 m_blockSize = 0;
};

// A dBase memo file (.dbt). dBase III keeps a memo in 512-byte blocks and
// ends its text at 0x1A; later dBase starts a memo's first block with
// FF FF 08 00 and its length, those 8 bytes included, in the block size the
// header gives at 20 (0 meaning 512).
class DbtFile {
public:
    // Throws Failure 2091 when the header is unusable.
    DbtFile(const ReadOnlyFile &file, QString fileName, bool dBase3);

    // As MemoFile::memo.
    QByteArray memo(quint32 block, qint64 maxLength) const;

private:
    const ReadOnlyFile &m_file;
    QString m_fileName;
    bool m_dBase3;
    qint64 m_blockSize = 512;
};

} // namespace platform
