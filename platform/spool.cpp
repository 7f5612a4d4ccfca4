#include "platform/spool.h"

#include "platform/failure.h"

#include <QDir>

#include <cstring>

namespace platform {

void spoolChanged()
{
    throw Failure(QStringLiteral("A temporary file of this program was changed while it was in use."));
}

void Spool::put(std::string_view record)
{
    const qint64 size = qint64(record.size());
    const std::string_view length(reinterpret_cast<const char *>(&size), sizeof size);
    ++m_count;
    if (m_count == 1)
        m_held.reserve(HeldMost);
    if (!m_file && m_held.size() + length.size() + record.size() <= HeldMost) {
        m_held += length;
        m_held += record;
        return;
    }
    if (!m_file) {
        // Qt names no folder when the one the system gives is missing: the
        // file would be made at the root.
        const QString folder = QDir::tempPath();
        if (folder.isEmpty())
            throw Failure(QStringLiteral("%1 cannot be kept in a temporary file: the system's temporary folder is "
                                         "missing.")
                              .arg(m_what));
        m_file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/orvalle-XXXXXX"));
        if (!m_file->open())
            throw Failure(QStringLiteral("%1 cannot be kept in a temporary file in %2: %3")
                              .arg(m_what, QDir::toNativeSeparators(folder), m_file->errorString()));
        write(m_held);
        std::string().swap(m_held);
    }
    write(length);
    write(record);
}

void Spool::write(std::string_view bytes)
{
    if (m_file->write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        cannotKeep();
}

void Spool::cannotKeep() const
{
    throw Failure(QStringLiteral("%1 cannot be kept in the temporary file %2: %3")
                      .arg(m_what, QDir::toNativeSeparators(m_file->fileName()), m_file->errorString()));
}

void Spool::replay(const std::function<void(QByteArrayView record)> &record)
{
    if (!m_file) {
        QByteArrayView rest(m_held.data(), qsizetype(m_held.size()));
        for (qsizetype i = 0; i < m_count; ++i) {
            qint64 size = 0;
            if (rest.size() < qsizetype(sizeof size))
                spoolChanged();
            std::memcpy(&size, rest.data(), sizeof size);
            rest = rest.sliced(sizeof size);
            if (size < 0 || size > rest.size())
                spoolChanged();
            record(rest.first(size));
            rest = rest.sliced(size);
        }
        return;
    }
    if (!m_file->flush())
        cannotKeep();
    if (!m_file->seek(0))
        spoolChanged();
    for (qsizetype i = 0; i < m_count; ++i) {
        qint64 size = 0;
        if (m_file->read(reinterpret_cast<char *>(&size), sizeof size) != qint64(sizeof size) || size < 0
            || size > m_file->size() - m_file->pos())
            spoolChanged();
        m_read.resize(size);
        if (m_file->read(m_read.data(), size) != size)
            spoolChanged();
        record(m_read);
    }
}

} // namespace platform
