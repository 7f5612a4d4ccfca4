#include "export/diff/structurediff.h"

#include "export/dictionary/jsonwriter.h"

// docs/diff-json.md describes this document. Every key is always written;
// a value that does not apply (a position a field never had) is null.

namespace diff {

namespace {

const char *changeWord(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::Added:
        return "added";
    case ChangeKind::Removed:
        return "removed";
    case ChangeKind::Changed:
        break;
    }
    return "changed";
}

void writeValue(dictionary::JsonWriter &json, const char *key, const ValueChange &change, const QString &value)
{
    switch (change.type) {
    case ValueChange::ValueType::Boolean:
        json.boolean(key, value == QLatin1String("true"));
        return;
    case ValueChange::ValueType::Number:
        json.number(key, value.toLongLong());
        return;
    case ValueChange::ValueType::Text:
        json.text(key, value);
        return;
    }
}

void writeValues(dictionary::JsonWriter &json, const QList<ValueChange> &values)
{
    json.beginArray("values");
    for (const ValueChange &change : values) {
        json.beginObject();
        json.text("property", change.property);
        writeValue(json, "before", change, change.before);
        writeValue(json, "after", change, change.after);
        json.endObject();
    }
    json.endArray();
}

void writeField(dictionary::JsonWriter &json, const FieldChange &change)
{
    json.beginObject();
    json.text("change", QString::fromLatin1(changeWord(change.kind)));
    json.text("name", change.field.name);
    const bool changed = change.kind == ChangeKind::Changed;
    json.text("oldName", changed ? change.before.name : change.field.name);
    json.boolean("renamed", change.renamed);
    json.boolean("moved", change.moved);
    if (change.kind == ChangeKind::Added)
        json.null("positionBefore");
    else
        json.number("positionBefore", changed ? change.before.position : change.field.position);
    if (change.kind == ChangeKind::Removed)
        json.null("positionAfter");
    else
        json.number("positionAfter", change.field.position);
    json.text("type", change.field.typeName);
    json.number("width", change.field.width);
    json.number("decimals", change.field.decimals);
    writeValues(json, change.values);
    json.endObject();
}

void writeTag(dictionary::JsonWriter &json, const TagChange &change)
{
    json.beginObject();
    json.text("change", QString::fromLatin1(changeWord(change.kind)));
    json.text("name", change.tag.name);
    json.text("expression", change.tag.expression);
    json.text("filter", change.tag.filter);
    json.text("kind", dictionary::tagKindWord(change.tag.kind));
    writeValues(json, change.values);
    json.endObject();
}

void writeTable(dictionary::JsonWriter &json, const TableChange &change)
{
    json.beginObject();
    json.text("change", QString::fromLatin1(changeWord(change.kind)));
    json.text("name", change.name);
    json.number("fieldCount", change.fieldCount);
    writeValues(json, change.values);
    json.beginArray("fields");
    for (const FieldChange &field : change.fields)
        writeField(json, field);
    json.endArray();
    json.boolean("tagsCompared", !change.tagsUnknownBefore && !change.tagsUnknownAfter);
    json.beginArray("tags");
    for (const TagChange &tag : change.tags)
        writeTag(json, tag);
    json.endArray();
    json.endObject();
}

void writeNotCompared(dictionary::JsonWriter &json, const char *key, const QList<NotCompared> &tables)
{
    json.beginArray(key);
    for (const NotCompared &table : tables) {
        json.beginObject();
        json.text("side", table.side == NotCompared::Side::Before ? QStringLiteral("before") : QStringLiteral("after"));
        json.text("table", table.table);
        json.text("reason", table.reason);
        json.endObject();
    }
    json.endArray();
}

} // namespace

void writeDiffJson(const StructureDiff &diff, const DiffSink &sink)
{
    dictionary::JsonWriter json(sink);
    json.beginObject();
    json.text("format", QString::fromLatin1(DiffFormatName));
    json.number("version", DiffFormatVersion);
    json.text("before", diff.before);
    json.text("after", diff.after);
    json.boolean("different", !diff.isEmpty());
    json.beginArray("tables");
    for (const TableChange &change : diff.tables)
        writeTable(json, change);
    json.endArray();
    json.beginArray("views");
    for (const ViewChange &change : diff.views) {
        json.beginObject();
        json.text("change", QString::fromLatin1(changeWord(change.kind)));
        json.text("name", change.name);
        writeValues(json, change.values);
        json.endObject();
    }
    json.endArray();
    json.beginArray("relations");
    for (const RelationChange &change : diff.relations) {
        json.beginObject();
        json.text("change", QString::fromLatin1(changeWord(change.kind)));
        json.text("parentTable", change.relation.parentTable);
        json.text("parentTag", change.relation.parentTag);
        json.text("childTable", change.relation.childTable);
        json.text("childTag", change.relation.childTag);
        writeValues(json, change.values);
        json.endObject();
    }
    json.endArray();
    writeNotCompared(json, "notCompared", diff.notCompared);
    writeNotCompared(json, "tagsNotCompared", diff.tagsNotCompared);
    json.endObject();
    json.finish();
}

} // namespace diff
