#include "export/dictionary/dictionary.h"
#include "export/dictionary/documentwriter.h"
#include "export/dictionary/jsonwriter.h"
#include "export/dictionary/dictionarytext.h"
#include "platform/failure.h"

// Every key of the model is always written. Text the files may leave out is
// an empty string; a value that may not exist at all (a date that is not a
// date, a memo file, an autoincrement counter, a referential rule) is null.
// Text from the files is written as it is (JSON escapes what it must) but
// for unpaired surrogates. The document is written as it goes, keys in the
// order below (a large source would spend most of its time building
// QJsonObjects); docs/dictionary-json.md describes it.

namespace dictionary {

namespace {

// A relation's rule: one of the three words the container can mean, else null.
void rule(JsonWriter &json, const char *key, const QString &word)
{
    for (const char *known : {"cascade", "restrict", "ignore"}) {
        if (word == QLatin1String(known)) {
            json.text(key, word);
            return;
        }
    }
    json.null(key);
}

void writeField(JsonWriter &json, const model::FieldModel &field)
{
    json.beginObject();
    json.number("position", field.position);
    json.text("name", field.name);
    json.text("shortName", field.shortName);
    // The letter as stored, read as Latin-1 so any byte stays one character.
    json.text("type", QString(QChar(static_cast<uchar>(field.type))));
    json.text("typeName", field.typeName);
    json.number("width", field.width);
    json.number("decimals", field.decimals);
    json.boolean("nullable", field.nullable);
    json.boolean("binary", field.binary);
    json.boolean("autoIncrement", field.autoIncrement);
    if (field.autoIncrement) {
        json.number("nextValue", field.nextValue);
        json.number("step", field.step);
    } else {
        json.null("nextValue");
        json.null("step");
    }
    json.text("defaultValue", field.defaultValue);
    json.text("rule", field.rule);
    json.text("ruleText", field.ruleText);
    json.text("caption", field.caption);
    json.text("format", field.format);
    json.text("inputMask", field.inputMask);
    json.text("comment", field.comment);
    json.endObject();
}

void writeIndex(JsonWriter &json, const model::IndexModel &index)
{
    json.beginObject();
    json.text("name", index.name);
    json.text("kind", tagKindWord(index.kind));
    json.text("expression", index.expression);
    json.text("filter", index.filter);
    json.boolean("descending", index.descending);
    json.text("collation", index.collation.isEmpty() ? QStringLiteral("MACHINE") : index.collation);
    json.endObject();
}

void writeTable(JsonWriter &json, const model::TableModel &table)
{
    json.beginObject();
    json.text("name", table.name);
    json.text("file", table.file);
    json.text("dialect", table.dialect);
    json.number("version", table.version);
    json.number("codePageMark", table.codePageMark);
    json.text("codePage", table.codePage);
    json.number("recordCount", table.recordCount);
    json.textOrNull("lastUpdate", isoLastUpdate(table));
    json.number("headerLength", table.headerLength);
    json.number("recordLength", table.recordLength);
    if (table.memo) {
        json.beginObject("memo");
        json.text("file", table.memo->file);
        json.number("blockSize", table.memo->blockSize);
        json.boolean("present", table.memo->present);
        json.endObject();
    } else {
        json.null("memo");
    }
    json.text("comment", table.comment);
    json.text("rule", table.rule);
    json.text("ruleText", table.ruleText);
    json.text("insertTrigger", table.insertTrigger);
    json.text("updateTrigger", table.updateTrigger);
    json.text("deleteTrigger", table.deleteTrigger);
    json.text("primaryKey", table.primaryKey);
    json.beginArray("fields");
    for (const model::FieldModel &field : table.fields)
        writeField(json, field);
    json.endArray();
    json.beginArray("indexes");
    for (const model::IndexModel &index : table.indexes)
        writeIndex(json, index);
    json.endArray();
    json.boolean("indexesKnown", table.indexesKnown);
    json.endObject();
}

void writeView(JsonWriter &json, const model::ViewModel &view)
{
    json.beginObject();
    json.text("name", view.name);
    json.text("sql", view.sql);
    json.boolean("remote", view.remote);
    json.text("connection", view.connection);
    json.text("comment", view.comment);
    json.beginArray("fields");
    for (const model::ViewFieldModel &field : view.fields) {
        json.beginObject();
        json.text("name", field.name);
        json.text("dataType", field.dataType);
        json.text("comment", field.comment);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

void writeRelation(JsonWriter &json, const model::RelationModel &relation)
{
    json.beginObject();
    json.text("parentTable", relation.parentTable);
    json.text("parentTag", relation.parentTag);
    json.text("childTable", relation.childTable);
    json.text("childTag", relation.childTag);
    rule(json, "onUpdate", relation.onUpdate);
    rule(json, "onDelete", relation.onDelete);
    rule(json, "onInsert", relation.onInsert);
    json.endObject();
}

class JsonDocumentWriter : public DocumentWriter {
public:
    // Every part (a table, or the source, the views, the relations, the
    // findings) larger than `largestPart` is a Failure: the loader reads no
    // larger one.
    JsonDocumentWriter(const DictionarySink &sink, qint64 largestPart) : m_json(sink), m_largestPart(largestPart) {}

    void begin(const model::SourceModel &facts) override
    {
        m_json.beginObject();
        m_json.text("format", QString::fromLatin1(JsonFormatName));
        m_json.number("version", JsonFormatVersion);
        part([] { return QStringLiteral("the source"); }, [&] {
            m_json.beginObject("source");
            m_json.text("kind", facts.kind == model::SourceModel::Kind::Container ? QStringLiteral("container")
                                                                                  : QStringLiteral("folder"));
            m_json.text("path", facts.path);
            m_json.text("comment", facts.comment);
            m_json.number("codePageMark", facts.codePageMark);
            m_json.endObject();
        });
        m_json.beginArray("tables");
    }

    void table(const model::TableModel &table) override
    {
        part([&] { return QStringLiteral("the table '%1'").arg(table.name); }, [&] { writeTable(m_json, table); });
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
            m_json.endArray();
        });
        part([] { return QStringLiteral("the findings"); }, [&] {
            m_json.beginArray("findings");
            for (const model::Finding &finding : rest.findings) {
                m_json.beginObject();
                m_json.text("severity", severityWord(finding.severity));
                m_json.text("place", finding.place);
                m_json.text("message", finding.message);
                m_json.endObject();
            }
            m_json.endArray();
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

    JsonWriter m_json;
    qint64 m_largestPart;
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
