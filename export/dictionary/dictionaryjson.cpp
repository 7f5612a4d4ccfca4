#include "export/dictionary/dictionary.h"
#include "export/dictionary/dictionarytext.h"
#include "export/dictionary/documentwriter.h"
#include "model/coverage.h"
#include "export/dictionary/jsonwriter.h"
#include "model/properties.h"
#include "platform/failure.h"

#include <algorithm>

// Every key of the model is always written. Text the files may leave out is
// an empty string; a value that may not exist at all (a date that is not a
// date, a memo file, an autoincrement counter, a referential rule) is null.
// Text from the files is written as it is (JSON escapes what it must) but
// for unpaired surrogates. The document is written as it goes, keys in the
// order model/properties.h lists them (a large source would spend most of
// its time building QJsonObjects); docs/dictionary-json.md describes it.

namespace dictionary {

namespace {

// The properties of a model in their order, as the member `objectKey` of
// the object in hand (none: an item of its list); `part` writes those that are
// parts of their own.
template <class Model, class Part>
void writeObject(JsonWriter &json, const Model &model, const QList<model::Property<Model>> &properties, Part part,
                 const char *objectKey = nullptr)
{
    using Kind = typename model::Property<Model>::Kind;
    json.beginObject(objectKey);
    for (const model::Property<Model> &property : properties) {
        const char *key = property.key;
        switch (property.kind) {
        case Kind::Text: {
            const QString &text = model.*property.text;
            if (text.isEmpty() && property.whenEmpty)
                json.word(key, property.whenEmpty);
            else
                json.text(key, text);
            break;
        }
        case Kind::Number:
            if (model::isPresent(property, model))
                json.number(key, property.value(model));
            else
                json.null(key);
            break;
        case Kind::Boolean:
            json.boolean(key, property.value(model) != 0);
            break;
        case Kind::Word:
            json.word(key, property.words.at(property.value(model)));
            break;
        case Kind::Choice: {
            // One of the words the container can mean, else null.
            const QString &text = model.*property.text;
            const bool known = std::any_of(property.words.cbegin(), property.words.cend(),
                                           [&](const char *word) { return text == QLatin1String(word); });
            if (known)
                json.text(key, text);
            else
                json.null(key);
            break;
        }
        case Kind::Part:
            part(key);
            break;
        }
    }
    json.endObject();
}

void writeField(JsonWriter &json, const model::FieldModel &field)
{
    // The letter as stored, read as Latin-1 so any byte stays one character.
    const char16_t letter = static_cast<uchar>(field.type);
    writeObject(json, field, model::fieldProperties(),
                [&](const char *key) { json.text(key, QStringView(&letter, 1)); });
}

void writeTable(JsonWriter &json, const model::TableModel &table)
{
    writeObject(json, table, model::tableProperties(), [&](const char *key) {
        const QLatin1StringView part(key);
        if (part == "lastUpdate") {
            json.textOrNull(key, isoLastUpdate(table));
        } else if (part == "memo") {
            if (table.memo) {
                writeObject(json, *table.memo, model::memoProperties(), [](const char *) {}, key);
            } else {
                json.null(key);
            }
        } else if (part == "fields") {
            json.beginArray(key);
            for (const model::FieldModel &field : table.fields)
                writeField(json, field);
            json.endArray();
        } else if (part == "indexes") {
            json.beginArray(key);
            for (const model::IndexModel &index : table.indexes)
                writeObject(json, index, model::indexProperties(), [](const char *) {});
            json.endArray();
        }
    });
}

void writeView(JsonWriter &json, const model::ViewModel &view)
{
    writeObject(json, view, model::viewProperties(), [&](const char *key) {
        json.beginArray(key);
        for (const model::ViewFieldModel &field : view.fields) {
            json.beginObject();
            json.text("name", field.name);
            json.text("dataType", field.dataType);
            json.text("comment", field.comment);
            json.endObject();
        }
        json.endArray();
    });
}

void writeRelation(JsonWriter &json, const model::RelationModel &relation)
{
    writeObject(json, relation, model::relationProperties(), [](const char *) {});
}

class JsonDocumentWriter : public DocumentWriter {
public:
    // Every part (a table, or the source, the views, the relations, the
    // findings) larger than `largestPart` is a Failure: the loader reads no
    // larger one.
    JsonDocumentWriter(const DictionarySink &sink, qint64 largestPart) : m_json(sink), m_largestPart(largestPart) {}

    void begin(const model::SourceOutline &outline) override
    {
        const model::SourceModel &facts = outline.facts;
        m_json.beginObject();
        m_json.word("format", JsonFormatName);
        m_json.number("version", JsonFormatVersion);
        part([] { return QStringLiteral("the source"); },
             [&] { writeObject(m_json, facts, model::sourceProperties(), [](const char *) {}, "source"); });
        m_json.beginArray("tables");
    }

    void table(const model::TableModel &table) override
    {
        part([&] { return QStringLiteral("the table '%1'").arg(table.name); }, [&] { writeTable(m_json, table); });
        m_coverage.emplace_back(table.name, model::coverageOf(table));
    }

    void end(const model::SourceModel &rest) override
    {
        m_json.endArray();
        part([] { return QStringLiteral("the views"); }, [&] {
            m_json.beginArray("views");
            for (const model::ViewModel &view : rest.views)
                writeView(m_json, view);
            m_json.endArray();
        });
        part([] { return QStringLiteral("the relations"); }, [&] {
            m_json.beginArray("relations");
            for (const model::RelationModel &relation : rest.relations)
                writeRelation(m_json, relation);
            for (const model::RelationModel &relation : rest.impliedRelations)
                writeRelation(m_json, relation);
            m_json.endArray();
        });
        part([] { return QStringLiteral("the findings"); }, [&] {
            m_json.beginArray("findings");
            for (const model::Finding &finding : rest.findings)
                writeObject(m_json, finding, model::findingProperties(), [](const char *) {});
            m_json.endArray();
        });
        // Counted from the tables, so the loader reads it past.
        part([] { return QStringLiteral("the coverage"); }, [&] {
            m_json.beginObject("coverage");
            m_json.beginArray("tables");
            model::Coverage total;
            for (const auto &[name, coverage] : m_coverage) {
                writeCoverage(name, coverage);
                total += coverage;
            }
            m_json.endArray();
            writeCoverage(QString(), total, "total");
            m_json.endObject();
        });
        m_json.endObject();
        m_json.finish();
    }

private:
    // Each part, with the separator before it, no larger than the loader
    // reads. `what` names the part, and is asked only of one too large.
    template <class What, class Write>
    void part(What what, Write write)
    {
        const qint64 before = m_json.size();
        write();
        if (m_json.size() - before > m_largestPart)
            throw Failure(QStringLiteral("The dictionary cannot be written: %1 would take %2 bytes, more than the %3 "
                                         "a part of a data dictionary may have.")
                              .arg(what(), QString::number(m_json.size() - before), QString::number(m_largestPart)));
    }

    void writeCoverage(const QString &table, const model::Coverage &coverage, const char *key = nullptr)
    {
        m_json.beginObject(key);
        if (!key)
            m_json.text("table", table);
        m_json.number("fields", coverage.fields);
        m_json.number("comment", coverage.comment);
        m_json.number("caption", coverage.caption);
        m_json.number("either", coverage.either);
        m_json.endObject();
    }

    JsonWriter m_json;
    qint64 m_largestPart;
    std::vector<std::pair<QString, model::Coverage>> m_coverage; // of each table written
};

} // namespace

std::unique_ptr<DocumentWriter> jsonDocumentWriter(const DictionarySink &sink, qint64 largestPart)
{
    return std::make_unique<JsonDocumentWriter>(sink, largestPart);
}

QByteArray jsonDictionary(const model::SourceModel &source, qint64 largestPart)
{
    return wholeDocument(DictionaryFormat::Json, source, largestPart);
}

} // namespace dictionary
