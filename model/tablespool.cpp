#include "model/tablespool.h"

#include "model/properties.h"

#include <vector>

// Each table is one record: its properties in the order model/properties.h
// lists them.

namespace model {

namespace {

using Encoder = platform::RecordWriter;
using Decoder = platform::RecordReader;

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

// The text each property last had: most repeat from one field or table to
// the next ("Character", "MACHINE", a code page, empty), and a repeat shares
// that text rather than being made again.
template <class Model>
class LastTexts {
public:
    explicit LastTexts(const QList<Property<Model>> &properties) : m_texts(size_t(properties.size())) {}
    QString &of(qsizetype property) { return m_texts[size_t(property)]; }

private:
    std::vector<QString> m_texts;
};

template <class Model, class Part>
void decode(Decoder &in, Model &model, const QList<Property<Model>> &properties, LastTexts<Model> &last, Part part)
{
    for (qsizetype i = 0; i < properties.size(); ++i) {
        const Property<Model> &property = properties[i];
        switch (property.kind) {
        case Property<Model>::Kind::Text:
        case Property<Model>::Kind::Choice: {
            const QStringView text = in.textView();
            QString &known = last.of(i);
            if (text != known)
                known = text.toString();
            model.*property.text = known;
            break;
        }
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

class TableDecoder {
public:
    TableModel table(Decoder &in)
    {
        TableModel table;
        decode(in, table, tableProperties(), m_tables, [&](const char *key) {
            const QLatin1StringView part(key);
            if (part == "lastUpdate") {
                const bool known = in.number() != 0;
                const qint64 day = in.number();
                if (known)
                    table.lastUpdate = QDate::fromJulianDay(day);
            } else if (part == "memo") {
                if (in.number() != 0) {
                    MemoModel memo;
                    decode(in, memo, memoProperties(), m_memos, noPart);
                    table.memo = memo;
                }
            } else if (part == "fields") {
                const qint64 count = in.count(leastItemSize);
                table.fields.reserve(count);
                for (qint64 i = 0; i < count; ++i) {
                    FieldModel field;
                    decode(in, field, fieldProperties(), m_fields,
                           [&](const char *) { field.type = char(in.number()); });
                    table.fields.append(std::move(field));
                }
            } else if (part == "indexes") {
                const qint64 count = in.count(leastItemSize);
                table.indexes.reserve(count);
                for (qint64 i = 0; i < count; ++i) {
                    IndexModel index;
                    decode(in, index, indexProperties(), m_indexes, noPart);
                    table.indexes.append(std::move(index));
                }
            }
        });
        return table;
    }

private:
    LastTexts<TableModel> m_tables{tableProperties()};
    LastTexts<MemoModel> m_memos{memoProperties()};
    LastTexts<FieldModel> m_fields{fieldProperties()};
    LastTexts<IndexModel> m_indexes{indexProperties()};
};

} // namespace

void TableSpool::put(const TableModel &table)
{
    m_written.clear();
    Encoder out(m_written);
    encodeTable(out, table);
    m_spool.put(m_written);
}

void TableSpool::replay(const std::function<void(TableModel &&table)> &table)
{
    TableDecoder decoder;
    m_spool.replay([&](QByteArrayView record) {
        Decoder in(record);
        TableModel read = decoder.table(in);
        if (!in.atEnd())
            platform::spoolChanged();
        table(std::move(read));
    });
}

} // namespace model
