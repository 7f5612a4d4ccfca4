#pragma once

// Records kept aside in the order they were put and handed back in that order:
// in memory up to a quarter of a megabyte, then in a temporary file, so a
// writer that must see a whole source before it writes can hold one part of
// it at a time. The record layout is the caller's, written with RecordWriter
// and read back with RecordReader, which checks every length against what the
// record holds.

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Numbers as eight bytes and text as its length and UTF-16 code units, in this
// machine's byte order: a record never leaves the process that wrote it.
// Every record and every text in it starts at an even offset, so a text is
// read where it lies.
class RecordWriter {
public:
    explicit RecordWriter(std::string &out) : m_out(out) {}

    void number(qint64 value) { m_out.append(reinterpret_cast<const char *>(&value), sizeof value); }
    void text(const QString &text)
    {
        number(text.size());
        m_out.append(reinterpret_cast<const char *>(text.constData()), size_t(text.size()) * sizeof(QChar));
    }

private:
    std::string &m_out;
};

// A record that cannot be read back as it was written.
[[noreturn]] void spoolChanged();

// Throws Failure when the record holds less than is asked of it.
class RecordReader {
public:
    explicit RecordReader(QByteArrayView in) : m_in(in) {}

    bool atEnd() const { return m_at == m_in.size(); }
    qint64 number()
    {
        qint64 value;
        std::memcpy(&value, take(sizeof value), sizeof value);
        return value;
    }
    // The text where the record holds it, valid while the record is.
    QStringView textView()
    {
        const qint64 size = count(sizeof(QChar));
        return QStringView(reinterpret_cast<const QChar *>(take(size * qint64(sizeof(QChar)))), qsizetype(size));
    }
    QString text() { return textView().toString(); }
    // A number of items that each take at least `itemSize` bytes of the rest.
    qint64 count(qint64 itemSize)
    {
        const qint64 value = number();
        if (value < 0 || value > (m_in.size() - m_at) / itemSize)
            spoolChanged();
        return value;
    }

private:
    const char *take(qint64 size)
    {
        if (size > m_in.size() - m_at)
            spoolChanged();
        const char *at = m_in.data() + m_at;
        m_at += size;
        return at;
    }

    QByteArrayView m_in;
    qint64 m_at = 0;
};

class Spool {
public:
    // `what` names what is kept, in a sentence of its own: "The tables read".
    explicit Spool(QString what) : m_what(std::move(what)) {}
    Spool(const Spool &) = delete;
    Spool &operator=(const Spool &) = delete;

    // Throws Failure when the record cannot be kept.
    void put(std::string_view record);
    // Hands every record put, in the order put, to `record`. Throws Failure
    // when what was kept cannot be read back as it was written.
    void replay(const std::function<void(QByteArrayView record)> &record);

private:
    // Made whole at the first record, so it is never copied as it grows.
    static constexpr size_t HeldMost = 256 * 1024;

    void write(std::string_view bytes);
    [[noreturn]] void cannotKeep() const;

    QString m_what;
    std::string m_held;
    std::unique_ptr<QTemporaryFile> m_file;
    QByteArray m_read; // the record in hand; its storage serves the next
    qsizetype m_count = 0;
};

} // namespace platform
