#include "container.h"

#include "codepage.h"
#include "dataaccess.h"
#include "fileaccess.h"
#include "tableheader.h"

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
constexpr quint32 DataTypeProperty = 77;

quint32 le32(QByteArrayView bytes, qsizetype at)
{
    return quint32(uchar(bytes[at])) | quint32(uchar(bytes[at + 1])) << 8
           | quint32(uchar(bytes[at + 2])) << 16 | quint32(uchar(bytes[at + 3])) << 24;
}

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

// No property list of a real container comes near this; a longer memo is damage.
constexpr qint64 MaxPropertyMemo = 16 * 1024 * 1024;
// FoxPro files end at 2 GB.
constexpr qint64 MaxContainerSize = qint64(1) << 31;

enum class RecordType { Table, View, Field };

struct Record {
    quint32 id = 0;
    quint32 parent = 0;
    RecordType type = RecordType::Table;
    QByteArray name;
    quint32 propertyBlock = 0;
};

// What the reader takes from one PROPERTY memo.
struct ObjectProperties {
    QString path;
    QString comment;
    QString dataType;
};

class ContainerReader {
public:
    ContainerReader(const MemoFile &memo, quint8 codePage) : m_memo(memo), m_codePage(codePage) {}

    ContainerObject object(const Record &record, const QList<const Record *> &children)
    {
        ContainerObject object;
        object.name = decodeText(record.name, m_codePage);
        const ObjectProperties &own = properties(record);
        object.path = own.path;
        object.comment = own.comment;
        for (const Record *child : children) {
            const ObjectProperties &values = properties(*child);
            object.fields.append({decodeText(child->name, m_codePage), values.comment, values.dataType});
        }
        return object;
    }

private:
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
            if (property.id == PathProperty)
                values.path = textValue(property.value, m_codePage);
            else if (property.id == CommentProperty)
                values.comment = textValue(property.value, m_codePage);
            else if (property.id == DataTypeProperty)
                values.dataType = textValue(property.value, m_codePage);
        }
        return m_parsed.insert(record.propertyBlock, std::move(values)).value();
    }

    const MemoFile &m_memo;
    quint8 m_codePage;
    QHash<quint32, ObjectProperties> m_parsed;
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
        const quint32 length = le32(memo, at);
        const quint32 idLength = quint32(uchar(memo[at + 4])) | quint32(uchar(memo[at + 5])) << 8;
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
    QList<Record> live; // the live Table, View and Field records; nothing else is kept
};

// Gives `size` bytes of the .dbc from `offset`.
using DbcBytes = std::function<QByteArray(qint64 offset, qint64 size)>;

std::optional<RecordType> recordTypeOf(QByteArrayView type)
{
    if (type == "Table")
        return RecordType::Table;
    if (type == "View")
        return RecordType::View;
    if (type == "Field")
        return RecordType::Field;
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
            Record record;
            record.id = le32(bytes, objectId.offset);
            record.parent = le32(bytes, parentId.offset);
            record.type = *type;
            record.name = trimmedText(bytes.sliced(objectName.offset, objectName.width)).toByteArray();
            record.propertyBlock = le32(bytes, property.offset);
            result.live.append(std::move(record));
        }
    }
    return result;
}

ContainerModel buildModel(const ContainerRecords &records, const MemoFile &memo)
{
    // Children are grouped by parent in record order; VFP does not store them next to their parent.
    QHash<quint32, QList<const Record *>> fieldsOf;
    for (const Record &record : records.live)
        if (record.type == RecordType::Field)
            fieldsOf[record.parent].append(&record);

    ContainerReader reader(memo, records.codePage);
    ContainerModel model;
    for (const Record &record : records.live) {
        if (record.type == RecordType::Table)
            model.tables.append(reader.object(record, fieldsOf.value(record.id)));
        else if (record.type == RecordType::View)
            model.views.append(reader.object(record, fieldsOf.value(record.id)));
    }
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
