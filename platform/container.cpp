#include "platform/container.h"

#include "platform/bytes.h"
#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"
#include "platform/tableheader.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <functional>
#include <optional>

namespace platform {

namespace {

constexpr quint32 PathProperty = 1;
constexpr quint32 CommentProperty = 7;
constexpr quint32 RuleProperty = 9;
constexpr quint32 RuleTextProperty = 10;
constexpr quint32 DefaultValueProperty = 11;
constexpr quint32 ChildTagProperty = 13;
constexpr quint32 InsertTriggerProperty = 14;
constexpr quint32 UpdateTriggerProperty = 15;
constexpr quint32 DeleteTriggerProperty = 16;
constexpr quint32 IsUniqueProperty = 17;
constexpr quint32 RelatedTableProperty = 18;
constexpr quint32 RelatedTagProperty = 19;
constexpr quint32 PrimaryKeyProperty = 20;
constexpr quint32 ConnectNameProperty = 32;
constexpr quint32 SourceTypeProperty = 41;
constexpr quint32 SqlProperty = 42;
constexpr quint32 InputMaskProperty = 54;
constexpr quint32 FormatProperty = 55;
constexpr quint32 CaptionProperty = 56;
constexpr quint32 DataTypeProperty = 77;

Failure notAContainer(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is not a database container: %2").arg(fileName, what),
                   platform::NotATable);
}

Failure corrupted(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is corrupted: %2").arg(fileName, what), platform::TableCorrupted);
}

// Where a container column sits in a record.
struct Column {
    qsizetype offset = 0;
    int width = 0;
};

Column findColumn(const TableHeader &header, const char *name, char type, const QString &fileName)
{
    qsizetype offset = 1;
    for (const FieldDescriptor &field : header.fields) {
        if (field.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            const bool fixedWidth = type == 'C' || field.width == 4;
            if (field.type != type || !fixedWidth)
                throw notAContainer(fileName, QStringLiteral("its %1 field is not of the container's type.")
                                                  .arg(QLatin1String(name)));
            return {offset, field.width};
        }
        offset += field.width;
    }
    throw notAContainer(fileName, QStringLiteral("it has no %1 field.").arg(QLatin1String(name)));
}

// RIINFO is only builder data: a container without it still reads.
std::optional<Column> findOptionalColumn(const TableHeader &header, const char *name, char type,
                                         const QString &fileName)
{
    const bool present = std::any_of(header.fields.begin(), header.fields.end(), [&](const FieldDescriptor &field) {
        return field.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    });
    return present ? std::optional<Column>(findColumn(header, name, type, fileName)) : std::nullopt;
}

QByteArrayView trimmedText(QByteArrayView bytes)
{
    qsizetype end = bytes.size();
    while (end > 0 && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0'))
        --end;
    return bytes.first(end);
}

// A character property value: its bytes and one trailing NUL.
QString textValue(QByteArrayView value, quint8 codePage)
{
    const qsizetype end = value.indexOf('\0');
    return decodeText(end < 0 ? value : value.first(end), codePage);
}

// A numeric property value: 4 bytes big-endian as FoxPro writes most, or 2 or 1.
int numberValue(QByteArrayView value)
{
    switch (value.size()) {
    case 4:
        return qint32(bigEndian32(value, 0));
    case 2:
        return qint16(bigEndian16(value, 0));
    case 1:
        return uchar(value[0]);
    default:
        return 0;
    }
}

// No property list of a real container comes near this; a longer memo is damage.
constexpr qint64 MaxPropertyMemo = 16 * 1024 * 1024;
// FoxPro files end at 2 GB.
constexpr qint64 MaxContainerSize = qint64(1) << 31;

enum class RecordType { Database, Table, View, Field, Index, Relation };

struct Record {
    quint32 id = 0;
    quint32 parent = 0;
    RecordType type = RecordType::Table;
    QByteArray name;
    quint32 propertyBlock = 0;
    QByteArray riInfo; // relations only
};

// What the reader takes from one PROPERTY memo, whatever the record's type.
struct ObjectProperties {
    QString path;
    QString comment;
    QString dataType;
    QString defaultValue;
    QString rule;
    QString ruleText;
    QString caption;
    QString format;
    QString inputMask;
    QString insertTrigger;
    QString updateTrigger;
    QString deleteTrigger;
    QString primaryKey;
    QString childTag;
    QString relatedTable;
    QString relatedTag;
    QString sql;
    QString connection;
    int sourceType = 0;
    bool unique = false;
};

struct Children {
    QList<const Record *> fields;
    QList<const Record *> indexes;
    QList<const Record *> relations;
};

class ContainerReader {
public:
    ContainerReader(const MemoFile &memo, quint8 codePage) : m_memo(memo), m_codePage(codePage) {}

    ContainerObject object(const Record &record, const Children &children)
    {
        ContainerObject object;
        object.name = decodeText(record.name, m_codePage);
        const ObjectProperties &own = properties(record);
        object.path = own.path;
        object.comment = own.comment;
        object.rule = own.rule;
        object.ruleText = own.ruleText;
        object.insertTrigger = own.insertTrigger;
        object.updateTrigger = own.updateTrigger;
        object.deleteTrigger = own.deleteTrigger;
        object.primaryKey = own.primaryKey;
        object.sql = own.sql;
        object.sourceType = own.sourceType;
        object.connection = own.connection;
        for (const Record *child : children.fields) {
            const ObjectProperties &values = properties(*child);
            object.fields.append({decodeText(child->name, m_codePage), values.comment, values.dataType,
                                  values.defaultValue, values.rule, values.ruleText, values.caption, values.format,
                                  values.inputMask});
        }
        for (const Record *child : children.indexes)
            object.indexes.append({decodeText(child->name, m_codePage), propertiesOrNone(*child).unique});
        for (const Record *child : children.relations) {
            const ObjectProperties &values = propertiesOrNone(*child);
            object.relations.append({values.childTag, values.relatedTable, values.relatedTag, child->riInfo});
        }
        return object;
    }

    QString comment(const Record &record) { return propertiesOrNone(record).comment; }

    const QStringList &damage() const { return m_damage; }

private:
    // The properties of the database, its indexes and relations: a container
    // whose tables and fields read is read, whatever these hold, and what
    // could not be read is told.
    const ObjectProperties &propertiesOrNone(const Record &record)
    {
        try {
            return properties(record);
        } catch (const Failure &failure) {
            m_damage.append(failure.description());
            return m_parsed.insert(record.propertyBlock, ObjectProperties()).value();
        }
    }

    // Each memo block is read and parsed once, however many records point
    // at it; the texts are shared, not copied.
    const ObjectProperties &properties(const Record &record)
    {
        auto found = m_parsed.constFind(record.propertyBlock);
        if (found != m_parsed.constEnd())
            return found.value();
        ObjectProperties values;
        const QByteArray memo = m_memo.memo(record.propertyBlock, MaxPropertyMemo);
        for (const Property &property : parseProperties(memo, m_memo.fileName())) {
            switch (property.id) {
            case PathProperty: values.path = textValue(property.value, m_codePage); break;
            case CommentProperty: values.comment = textValue(property.value, m_codePage); break;
            case RuleProperty: values.rule = textValue(property.value, m_codePage); break;
            case RuleTextProperty: values.ruleText = textValue(property.value, m_codePage); break;
            case DefaultValueProperty: values.defaultValue = textValue(property.value, m_codePage); break;
            case ChildTagProperty: values.childTag = textValue(property.value, m_codePage); break;
            case InsertTriggerProperty: values.insertTrigger = textValue(property.value, m_codePage); break;
            case UpdateTriggerProperty: values.updateTrigger = textValue(property.value, m_codePage); break;
            case DeleteTriggerProperty: values.deleteTrigger = textValue(property.value, m_codePage); break;
            case IsUniqueProperty: values.unique = numberValue(property.value) != 0; break;
            case RelatedTableProperty: values.relatedTable = textValue(property.value, m_codePage); break;
            case RelatedTagProperty: values.relatedTag = textValue(property.value, m_codePage); break;
            case PrimaryKeyProperty: values.primaryKey = textValue(property.value, m_codePage); break;
            case ConnectNameProperty: values.connection = textValue(property.value, m_codePage); break;
            case SourceTypeProperty: values.sourceType = numberValue(property.value); break;
            case SqlProperty: values.sql = textValue(property.value, m_codePage); break;
            case InputMaskProperty: values.inputMask = textValue(property.value, m_codePage); break;
            case FormatProperty: values.format = textValue(property.value, m_codePage); break;
            case CaptionProperty: values.caption = textValue(property.value, m_codePage); break;
            case DataTypeProperty: values.dataType = textValue(property.value, m_codePage); break;
            default: break;
            }
        }
        return m_parsed.insert(record.propertyBlock, std::move(values)).value();
    }

    const MemoFile &m_memo;
    quint8 m_codePage;
    QHash<quint32, ObjectProperties> m_parsed;
    QStringList m_damage;
};

bool lessCaseInsensitive(const ContainerObject &a, const ContainerObject &b)
{
    return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
}

QHash<QString, qsizetype> indexByName(const QList<ContainerObject> &objects)
{
    QHash<QString, qsizetype> index;
    index.reserve(objects.size());
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const QString key = lowerCase(objects[i].name);
        if (!index.contains(key))
            index.insert(key, i);
    }
    return index;
}

const ContainerObject *findByName(const QList<ContainerObject> &objects, const QHash<QString, qsizetype> &index,
                                  const QString &name)
{
    const auto found = index.constFind(lowerCase(name));
    return found == index.constEnd() ? nullptr : &objects[found.value()];
}

} // namespace

const ContainerObject *ContainerModel::findTable(const QString &name) const
{
    return findByName(tables, m_tableIndex, name);
}

const ContainerObject *ContainerModel::findView(const QString &name) const
{
    return findByName(views, m_viewIndex, name);
}

void ContainerModel::index()
{
    m_tableIndex = indexByName(tables);
    m_viewIndex = indexByName(views);
}

QList<Property> parseProperties(QByteArrayView memo, const QString &memoName)
{
    QList<Property> properties;
    qsizetype at = 0;
    while (at < memo.size()) {
        const qsizetype rest = memo.size() - at;
        if (rest < 6)
            throw corrupted(memoName, QStringLiteral("a property entry runs past the end of its memo."));
        const quint32 length = littleEndian32(memo, at);
        const quint32 idLength = littleEndian16(memo, at + 4);
        if (length > quint64(rest) || idLength < 1 || idLength > 4 || length < 6 + idLength)
            throw corrupted(memoName, QStringLiteral("a property entry of %1 bytes runs past the end of its memo.")
                                          .arg(length));
        Property property;
        for (quint32 i = 0; i < idLength; ++i)
            property.id |= quint32(uchar(memo[at + 6 + i])) << (8 * i);
        property.value = memo.sliced(at + 6 + idLength, length - 6 - idLength);
        properties.append(property);
        at += length;
    }
    return properties;
}

namespace {

struct ContainerRecords {
    quint8 codePage = 0;
    QList<Record> live; // the live records of the kinds the model holds; nothing else is kept
    std::optional<Record> database; // the first live Database record named "Database"
};

// Gives `size` bytes of the .dbc from `offset`.
using DbcBytes = std::function<QByteArray(qint64 offset, qint64 size)>;

std::optional<RecordType> recordTypeOf(QByteArrayView type)
{
    if (type == "Database")
        return RecordType::Database;
    if (type == "Table")
        return RecordType::Table;
    if (type == "View")
        return RecordType::View;
    if (type == "Field")
        return RecordType::Field;
    if (type == "Index")
        return RecordType::Index;
    if (type == "Relation")
        return RecordType::Relation;
    return std::nullopt;
}

// Reads the records a chunk at a time, so memory follows the records kept,
// not the size the file claims.
ContainerRecords readRecords(const TableHeader &header, qint64 fileSize, const DbcBytes &bytesAt,
                             const QString &dbcName)
{
    const Column objectId = findColumn(header, "OBJECTID", 'I', dbcName);
    const Column parentId = findColumn(header, "PARENTID", 'I', dbcName);
    const Column objectType = findColumn(header, "OBJECTTYPE", 'C', dbcName);
    const Column objectName = findColumn(header, "OBJECTNAME", 'C', dbcName);
    const Column property = findColumn(header, "PROPERTY", 'M', dbcName);
    const std::optional<Column> riInfo = findOptionalColumn(header, "RIINFO", 'C', dbcName);

    const qint64 recordLength = header.recordLength;
    const qint64 claimed = header.headerLength + qint64(header.recordCount) * recordLength;
    if (claimed > MaxContainerSize)
        throw corrupted(dbcName, QStringLiteral("its %1 records of %2 bytes would pass FoxPro's 2 GB file limit.")
                                     .arg(header.recordCount).arg(recordLength));
    const qint64 available = (fileSize - header.headerLength) / recordLength;
    if (available < header.recordCount)
        throw corrupted(dbcName, QStringLiteral("it holds %1 records but the file ends after %2.")
                                     .arg(header.recordCount).arg(available));

    ContainerRecords result;
    result.codePage = header.codePage;
    const qint64 perChunk = qMax<qint64>(1, 64 * 1024 / recordLength);
    for (qint64 first = 0; first < header.recordCount; first += perChunk) {
        const qint64 count = qMin<qint64>(perChunk, header.recordCount - first);
        const QByteArray chunk = bytesAt(header.headerLength + first * recordLength, count * recordLength);
        for (qint64 i = 0; i < count; ++i) {
            const QByteArrayView bytes = QByteArrayView(chunk).sliced(i * recordLength, recordLength);
            if (bytes[0] == '*')
                continue; // deleted: left behind by REMOVE TABLE and ALTER
            const std::optional<RecordType> type =
                recordTypeOf(trimmedText(bytes.sliced(objectType.offset, objectType.width)));
            if (!type)
                continue;
            const QByteArrayView name = trimmedText(bytes.sliced(objectName.offset, objectName.width));
            if (*type == RecordType::Database && (result.database || name != "Database"))
                continue; // the other Database records hold the stored procedures and the log
            Record record;
            record.id = littleEndian32(bytes, objectId.offset);
            record.parent = littleEndian32(bytes, parentId.offset);
            record.type = *type;
            record.name = name.toByteArray();
            record.propertyBlock = littleEndian32(bytes, property.offset);
            if (*type == RecordType::Relation && riInfo)
                record.riInfo = trimmedText(bytes.sliced(riInfo->offset, riInfo->width)).toByteArray();
            if (*type == RecordType::Database)
                result.database = std::move(record);
            else
                result.live.append(std::move(record));
        }
    }
    return result;
}

ContainerModel buildModel(const ContainerRecords &records, const MemoFile &memo)
{
    // Children are grouped by parent in record order; VFP does not store them next to their parent.
    QHash<quint32, Children> childrenOf;
    for (const Record &record : records.live) {
        if (record.type == RecordType::Field)
            childrenOf[record.parent].fields.append(&record);
        else if (record.type == RecordType::Index)
            childrenOf[record.parent].indexes.append(&record);
        else if (record.type == RecordType::Relation)
            childrenOf[record.parent].relations.append(&record);
    }

    ContainerReader reader(memo, records.codePage);
    ContainerModel model;
    model.codePage = records.codePage;
    if (records.database)
        model.comment = reader.comment(*records.database);
    // Each child is given once: of objects sharing an id (a damaged
    // container), the first takes them, so that the reading stays linear.
    for (const Record &record : records.live) {
        if (record.type == RecordType::Table)
            model.tables.append(reader.object(record, childrenOf.take(record.id)));
        else if (record.type == RecordType::View)
            model.views.append(reader.object(record, childrenOf.take(record.id)));
    }
    model.damage = reader.damage();
    std::stable_sort(model.tables.begin(), model.tables.end(), lessCaseInsensitive);
    std::stable_sort(model.views.begin(), model.views.end(), lessCaseInsensitive);
    model.index();
    return model;
}

} // namespace

ContainerModel parseContainer(QByteArrayView dbc, const MemoFile &memo, const QString &dbcName)
{
    const TableHeader header = parseTableHeader(dbc, dbc.size(), dbcName);
    const DbcBytes bytesAt = [&](qint64 offset, qint64 size) { return dbc.sliced(offset, size).toByteArray(); };
    return buildModel(readRecords(header, dbc.size(), bytesAt, dbcName), memo);
}

ContainerModel readContainer(const LocalPath &dbcPath)
{
    const QString dbcName = displayName(dbcPath);
    QFile dbc;
    openRegularFile(dbc, dbcPath);
    const TableHeader header = readTableHeader(dbc, dbcName);
    const DbcBytes bytesAt = [&](qint64 offset, qint64 size) { return readAt(dbc, offset, size, dbcName); };
    const ContainerRecords records = readRecords(header, dbc.size(), bytesAt, dbcName);
    dbc.close();

    const LocalPath memoPath = memoOf(dbcPath);
    if (memoPath.isEmpty())
        throw fileDoesNotExist(memoName(dbcPath));
    QFile dct;
    openRegularFile(dct, memoPath);
    const MemoFile memo(dct, displayName(memoPath));
    return buildModel(records, memo);
}

QString memoName(const LocalPath &dbcPath)
{
    return QFileInfo(dbcPath.fileName()).completeBaseName() + QStringLiteral(".dct");
}

LocalPath memoOf(const LocalPath &dbcPath)
{
    return resolveCaseInsensitive(dbcPath.folder(), memoName(dbcPath));
}

} // namespace platform
