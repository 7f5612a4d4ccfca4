#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace foxpro {

// A FoxPro memo file (.fpt, or a container's .dct) held in memory: a 512-byte
// header with the block size (big-endian), then memos that each start on a
// block with an 8-byte head (type, length; big-endian).
class MemoFile {
public:
    // Throws Failure 2091 when the header is unusable.
    MemoFile(QByteArray bytes, QString fileName);

    // The data of the memo at the block; empty for block 0. Throws Failure
    // 2091 when the memo lies beyond the end of the file.
    QByteArrayView memo(quint32 block) const;

    const QString &fileName() const { return m_fileName; }

private:
    QByteArray m_bytes;
    QString m_fileName;
    quint32 m_blockSize = 0;
};

} // namespace foxpro
