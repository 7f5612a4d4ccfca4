#include "dictionary.h"
#include "dictionarytext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

// Every key of the model is always written. Text the files may leave out is
// an empty string; a value that may not exist at all (a date that is not a
// date, a memo file, an autoincrement counter, a referential rule) is null.
// Text from the files is written as it is (JSON escapes what it must) but
// for unpaired surrogates. QJsonObject orders each object's keys by name;
// docs/dictionary-json.md describes the document.

namespace exporting {

namespace {

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// A relation's rule: one of the three words the container can mean, else null.
QJsonValue ruleValue(const QString &word)
{
    for (const char *known : {"cascade", "restrict", "ignore"}) {
        if (word == QLatin1String(known))
            return word;
    }
    return QJsonValue::Null;
}

QJsonObject fieldObject(const platform::FieldModel &field)
{
    return {
        {QStringLiteral("position"), field.position},
        {QStringLiteral("name"), pairedText(field.name)},
        {QStringLiteral("shortName"), pairedText(field.shortName)},
        // The letter as stored, read as Latin-1 so any byte stays one character.
        {QStringLiteral("type"), QString(QChar(static_cast<uchar>(field.type)))},
        {QStringLiteral("typeName"), pairedText(field.typeName)},
        {QStringLiteral("width"), field.width},
        {QStringLiteral("decimals"), field.decimals},
        {QStringLiteral("nullable"), field.nullable},
        {QStringLiteral("binary"), field.binary},
        {QStringLiteral("autoIncrement"), field.autoIncrement},
        {QStringLiteral("nextValue"),
         field.autoIncrement ? QJsonValue(field.nextValue) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("step"), field.autoIncrement ? QJsonValue(field.step) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("defaultValue"), pairedText(field.defaultValue)},
        {QStringLiteral("rule"), pairedText(field.rule)},
        {QStringLiteral("ruleText"), pairedText(field.ruleText)},
        {QStringLiteral("caption"), pairedText(field.caption)},
        {QStringLiteral("format"), pairedText(field.format)},
        {QStringLiteral("inputMask"), pairedText(field.inputMask)},
        {QStringLiteral("comment"), pairedText(field.comment)},
    };
}

QJsonObject indexObject(const platform::IndexModel &index)
{
    return {
        {QStringLiteral("name"), pairedText(index.name)},
        {QStringLiteral("kind"), tagKindWord(index.kind)},
        {QStringLiteral("expression"), pairedText(index.expression)},
        {QStringLiteral("filter"), pairedText(index.filter)},
        {QStringLiteral("descending"), index.descending},
        {QStringLiteral("collation"),
         index.collation.isEmpty() ? QStringLiteral("MACHINE") : pairedText(index.collation)},
    };
}

QJsonValue memoValue(const platform::TableModel &table)
{
    if (!table.memo)
        return QJsonValue::Null;
    return QJsonObject{
        {QStringLiteral("file"), pairedText(table.memo->file)},
        {QStringLiteral("blockSize"), table.memo->blockSize},
        {QStringLiteral("present"), table.memo->present},
    };
}

QJsonObject tableObject(const platform::TableModel &table)
{
    QJsonArray fields;
    for (const platform::FieldModel &field : table.fields)
        fields.append(fieldObject(field));
    QJsonArray indexes;
    for (const platform::IndexModel &index : table.indexes)
        indexes.append(indexObject(index));
    return {
        {QStringLiteral("name"), pairedText(table.name)},
        {QStringLiteral("file"), pairedText(table.file)},
        {QStringLiteral("dialect"), pairedText(table.dialect)},
        {QStringLiteral("version"), table.version},
        {QStringLiteral("codePageMark"), table.codePageMark},
        {QStringLiteral("codePage"), pairedText(table.codePage)},
        {QStringLiteral("recordCount"), static_cast<qint64>(table.recordCount)},
        {QStringLiteral("lastUpdate"), orNull(isoLastUpdate(table))},
        {QStringLiteral("headerLength"), table.headerLength},
        {QStringLiteral("recordLength"), table.recordLength},
        {QStringLiteral("memo"), memoValue(table)},
        {QStringLiteral("comment"), pairedText(table.comment)},
        {QStringLiteral("rule"), pairedText(table.rule)},
        {QStringLiteral("ruleText"), pairedText(table.ruleText)},
        {QStringLiteral("insertTrigger"), pairedText(table.insertTrigger)},
        {QStringLiteral("updateTrigger"), pairedText(table.updateTrigger)},
        {QStringLiteral("deleteTrigger"), pairedText(table.deleteTrigger)},
        {QStringLiteral("primaryKey"), pairedText(table.primaryKey)},
        {QStringLiteral("fields"), fields},
        {QStringLiteral("indexes"), indexes},
        {QStringLiteral("indexesKnown"), table.indexesKnown},
    };
}

QJsonObject viewObject(const platform::ViewModel &view)
{
    QJsonArray fields;
    for (const platform::ViewFieldModel &field : view.fields) {
        fields.append(QJsonObject{
            {QStringLiteral("name"), pairedText(field.name)},
            {QStringLiteral("dataType"), pairedText(field.dataType)},
            {QStringLiteral("comment"), pairedText(field.comment)},
        });
    }
    return {
        {QStringLiteral("name"), pairedText(view.name)},
        {QStringLiteral("sql"), pairedText(view.sql)},
        {QStringLiteral("remote"), view.remote},
        {QStringLiteral("connection"), pairedText(view.connection)},
        {QStringLiteral("comment"), pairedText(view.comment)},
        {QStringLiteral("fields"), fields},
    };
}

QJsonObject relationObject(const platform::RelationModel &relation)
{
    return {
        {QStringLiteral("parentTable"), pairedText(relation.parentTable)},
        {QStringLiteral("parentTag"), pairedText(relation.parentTag)},
        {QStringLiteral("childTable"), pairedText(relation.childTable)},
        {QStringLiteral("childTag"), pairedText(relation.childTag)},
        {QStringLiteral("onUpdate"), ruleValue(relation.onUpdate)},
        {QStringLiteral("onDelete"), ruleValue(relation.onDelete)},
        {QStringLiteral("onInsert"), ruleValue(relation.onInsert)},
    };
}

} // namespace

QByteArray jsonDictionary(const platform::SourceModel &source)
{
    QJsonArray tables;
    for (const platform::TableModel &table : source.tables)
        tables.append(tableObject(table));
    QJsonArray views;
    for (const platform::ViewModel &view : source.views)
        views.append(viewObject(view));
    QJsonArray relations;
    for (const platform::RelationModel &relation : source.relations)
        relations.append(relationObject(relation));
    QJsonArray findings;
    for (const platform::Finding &finding : source.findings) {
        findings.append(QJsonObject{
            {QStringLiteral("severity"), severityWord(finding.severity)},
            {QStringLiteral("place"), pairedText(finding.place)},
            {QStringLiteral("message"), pairedText(finding.message)},
        });
    }
    const bool container = source.kind == platform::SourceModel::Kind::Container;
    const QJsonObject document{
        {QStringLiteral("format"), QLatin1String(JsonFormatName)},
        {QStringLiteral("version"), JsonFormatVersion},
        {QStringLiteral("source"),
         QJsonObject{
             {QStringLiteral("kind"), container ? QStringLiteral("container") : QStringLiteral("folder")},
             {QStringLiteral("path"), pairedText(source.path)},
             {QStringLiteral("comment"), pairedText(source.comment)},
             {QStringLiteral("codePageMark"), source.codePageMark},
         }},
        {QStringLiteral("tables"), tables},
        {QStringLiteral("views"), views},
        {QStringLiteral("relations"), relations},
        {QStringLiteral("findings"), findings},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace exporting
