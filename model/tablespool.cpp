#include "model/tablespool.h"

#include "model/properties.h"
#include "platform/failure.h"

#include <QDir>

#include <cstring>

// Each table is one record: its length, then its properties in the order
// model/properties.h lists them, numbers as eight bytes and text as its
// length and its UTF-16 code units, all in this machine's byte order (the
// file never leaves the process that wrote it). Read back, every length is
// checked against what the record holds, as for any file.

namespace model {

namespace {

class Encoder {
public:
    explicit Encoder(std::string &out) : m_out(out) {}

    void number(qint64 value) { m_out.append(reinterpret_cast<const char *>(&value), sizeof value); }
    void text(const QString &text)
    {
        number(text.size());
        m_out.append(reinterpret_cast<const char *>(text.constData()), size_t(text.size()) * sizeof(QChar));
    }

private:
    std::string &m_out;
};

[[noreturn]] void unreadable()
{
    throw Failure(QStringLiteral("The temporary file that keeps the tables read was changed while they were "
                                 "being written."));
}

class Decoder {
public:
    explicit Decoder(QByteArrayView in) : m_in(in) {}

    bool atEnd() const { return m_at == m_in.size(); }
    qint64 number()
    {
        qint64 value;
        std::memcpy(&value, take(sizeof value), sizeof value);
        return value;
    }
    QString text()
    {
        const qint64 size = count(sizeof(QChar));
        return QString(reinterpret_cast<const QChar *>(take(size * qint64(sizeof(QChar)))), qsizetype(size));
    }
    // A number of items that each take at least `itemSize` bytes of the rest.
    qint64 count(qint64 itemSize)
    {
        const qint64 value = number();
        if (value < 0 || value > (m_in.size() - m_at) / itemSize)
            unreadable();
        return value;
    }

private:
    const char *take(qint64 size)
    {
        if (size > m_in.size() - m_at)
            unreadable();
        const char *at = m_in.data() + m_at;
        m_at += size;
        return at;
    }

    QByteArrayView m_in;
    qint64 m_at = 0;
};

template <class Model, class Part>
void encode(Encoder &out, const Model &model, const QList<Property<Model>> &properties, Part part)
{
    for (const Property<Model> &property : properties) {
        switch (property.kind) {
        case Property<Model>::Kind::Text:
        case Property<Model>::Kind::Choice:
            out.text(model.*property.text);
            break;
        case Property<Model>::Kind::Number:
        case Property<Model>::Kind::Boolean:
        case Property<Model>::Kind::Word:
            out.number(property.value(model));
            break;
        case Property<Model>::Kind::Part:
            part(property.key);
            break;
        }
    }
}

template <class Model, class Part>
void decode(Decoder &in, Model &model, const QList<Property<Model>> &properties, Part part)
{
    for (const Property<Model> &property : properties) {
        switch (property.kind) {
        case Property<Model>::Kind::Text:
        case Property<Model>::Kind::Choice:
            model.*property.text = in.text();
            break;
        case Property<Model>::Kind::Number:
        case Property<Model>::Kind::Boolean:
        case Property<Model>::Kind::Word:
            property.setValue(model, in.number());
            break;
        case Property<Model>::Kind::Part:
            part(property.key);
            break;
        }
    }
}

const auto noPart = [](const char *) {};

// The smallest a field or a tag can take: a number for each of its texts' lengths.
constexpr qint64 leastItemSize = sizeof(qint64);

void encodeTable(Encoder &out, const TableModel &table)
{
    encode(out, table, tableProperties(), [&](const char *key) {
        const QLatin1StringView part(key);
        if (part == "lastUpdate") {
            out.number(table.lastUpdate ? 1 : 0);
            out.number(table.lastUpdate ? table.lastUpdate->toJulianDay() : 0);
        } else if (part == "memo") {
            out.number(table.memo ? 1 : 0);
            if (table.memo)
                encode(out, *table.memo, memoProperties(), noPart);
        } else if (part == "fields") {
            out.number(table.fields.size());
            for (const FieldModel &field : table.fields)
                encode(out, field, fieldProperties(), [&](const char *) { out.number(quint8(field.type)); });
        } else if (part == "indexes") {
            out.number(table.indexes.size());
            for (const IndexModel &index : table.indexes)
                encode(out, index, indexProperties(), noPart);
        }
    });
}

TableModel decodeTable(Decoder &in)
{
    TableModel table;
    decode(in, table, tableProperties(), [&](const char *key) {
        const QLatin1StringView part(key);
        if (part == "lastUpdate") {
            const bool known = in.number() != 0;
            const qint64 day = in.number();
            if (known)
                table.lastUpdate = QDate::fromJulianDay(day);
        } else if (part == "memo") {
            if (in.number() != 0) {
                MemoModel memo;
                decode(in, memo, memoProperties(), noPart);
                table.memo = memo;
            }
        } else if (part == "fields") {
            const qint64 count = in.count(leastItemSize);
            table.fields.reserve(count);
            for (qint64 i = 0; i < count; ++i) {
                FieldModel field;
                decode(in, field, fieldProperties(), [&](const char *) { field.type = char(in.number()); });
                table.fields.append(std::move(field));
            }
        } else if (part == "indexes") {
            const qint64 count = in.count(leastItemSize);
            table.indexes.reserve(count);
            for (qint64 i = 0; i < count; ++i) {
                IndexModel index;
                decode(in, index, indexProperties(), noPart);
                table.indexes.append(std::move(index));
            }
        }
    });
    return table;
}

TableModel decodeRecord(QByteArrayView record)
{
    Decoder in(record);
    TableModel table = decodeTable(in);
    if (!in.atEnd())
        unreadable();
    return table;
}

} // namespace

void TableSpool::put(const TableModel &table)
{
    m_written.resize(sizeof(qint64));
    Encoder out(m_written);
    encodeTable(out, table);
    const qint64 size = qint64(m_written.size() - sizeof(qint64));
    std::memcpy(m_written.data(), &size, sizeof size);
    ++m_count;
    if (!m_file && m_held.size() + m_written.size() <= HeldMost) {
        m_held += m_written;
        return;
    }
    if (!m_file) {
        // Qt names no folder when the one the system gives is missing: the
        // file would be made at the root.
        const QString folder = QDir::tempPath();
        if (folder.isEmpty())
            throw Failure(QStringLiteral("The tables read cannot be kept in a temporary file: the system's "
                                         "temporary folder is missing."));
        m_file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/orvalle-tables-XXXXXX"));
        if (!m_file->open())
            throw Failure(QStringLiteral("The tables read cannot be kept in a temporary file in %1: %2")
                              .arg(QDir::toNativeSeparators(folder), m_file->errorString()));
        write(m_held);
        std::string().swap(m_held);
    }
    write(m_written);
}

void TableSpool::write(const std::string &records)
{
    if (m_file->write(records.data(), qint64(records.size())) != qint64(records.size()))
        cannotKeep();
}

void TableSpool::cannotKeep() const
{
    throw Failure(QStringLiteral("The tables read cannot be kept in the temporary file %1: %2")
                      .arg(QDir::toNativeSeparators(m_file->fileName()), m_file->errorString()));
}

void TableSpool::replay(const std::function<void(TableModel &&table)> &table)
{
    if (!m_file) {
        QByteArrayView rest(m_held.data(), qsizetype(m_held.size()));
        for (qsizetype i = 0; i < m_count; ++i) {
            qint64 size = 0;
            if (rest.size() < qsizetype(sizeof size))
                unreadable();
            std::memcpy(&size, rest.data(), sizeof size);
            rest = rest.sliced(sizeof size);
            if (size < 0 || size > rest.size())
                unreadable();
            table(decodeRecord(rest.first(size)));
            rest = rest.sliced(size);
        }
        return;
    }
    if (!m_file->flush())
        cannotKeep();
    if (!m_file->seek(0))
        unreadable();
    for (qsizetype i = 0; i < m_count; ++i) {
        qint64 size = 0;
        if (m_file->read(reinterpret_cast<char *>(&size), sizeof size) != qint64(sizeof size) || size < 0
            || size > m_file->size() - m_file->pos())
            unreadable();
        m_read.resize(size);
        if (m_file->read(m_read.data(), size) != size)
            unreadable();
        table(decodeRecord(m_read));
    }
}

} // namespace model
