#include "container.h"

#include "codepage.h"
#include "dataaccess.h"
#include "fileaccess.h"
#include "tableheader.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace foxpro {

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
                   ado::NotATable);
}

Failure corrupted(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is corrupted: %2").arg(fileName, what), ado::TableCorrupted);
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

struct Record {
    quint32 id = 0;
    quint32 parent = 0;
    QByteArray type;
    QByteArrayView name;
    quint32 propertyBlock = 0;
};

class ContainerReader {
public:
    ContainerReader(const MemoFile &memo, quint8 codePage) : m_memo(memo), m_codePage(codePage) {}

    ContainerObject object(const Record &record, const QList<const Record *> &children) const
    {
        ContainerObject object;
        object.name = decodeText(record.name, m_codePage);
        for (const Property &property : properties(record)) {
            if (property.id == PathProperty)
                object.path = textValue(property.value, m_codePage);
            else if (property.id == CommentProperty)
                object.comment = textValue(property.value, m_codePage);
        }
        for (const Record *child : children) {
            ContainerField field;
            field.name = decodeText(child->name, m_codePage);
            for (const Property &property : properties(*child)) {
                if (property.id == CommentProperty)
                    field.comment = textValue(property.value, m_codePage);
                else if (property.id == DataTypeProperty)
                    field.dataType = textValue(property.value, m_codePage);
            }
            object.fields.append(field);
        }
        return object;
    }

private:
    QList<Property> properties(const Record &record) const
    {
        return parseProperties(m_memo.memo(record.propertyBlock), m_memo.fileName());
    }

    const MemoFile &m_memo;
    quint8 m_codePage;
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
    QList<Record> live; // names point into the .dbc bytes
};

ContainerRecords readRecords(QByteArrayView dbc, const QString &dbcName)
{
    const TableHeader header = parseTableHeader(dbc, dbc.size(), dbcName);
    const Column objectId = findColumn(header, "OBJECTID", 'I', dbcName);
    const Column parentId = findColumn(header, "PARENTID", 'I', dbcName);
    const Column objectType = findColumn(header, "OBJECTTYPE", 'C', dbcName);
    const Column objectName = findColumn(header, "OBJECTNAME", 'C', dbcName);
    const Column property = findColumn(header, "PROPERTY", 'M', dbcName);

    const qint64 recordLength = header.recordLength;
    const qint64 available = (dbc.size() - header.headerLength) / recordLength;
    if (available < header.recordCount)
        throw corrupted(dbcName, QStringLiteral("it holds %1 records but the file ends after %2.")
                                     .arg(header.recordCount).arg(available));

    ContainerRecords result;
    result.codePage = header.codePage;
    result.live.reserve(header.recordCount);
    for (quint32 i = 0; i < header.recordCount; ++i) {
        const QByteArrayView bytes = dbc.sliced(header.headerLength + i * recordLength, recordLength);
        if (bytes[0] == '*')
            continue; // deleted: left behind by REMOVE TABLE and ALTER
        Record record;
        record.id = le32(bytes, objectId.offset);
        record.parent = le32(bytes, parentId.offset);
        record.type = trimmedText(bytes.sliced(objectType.offset, objectType.width)).toByteArray();
        record.name = trimmedText(bytes.sliced(objectName.offset, objectName.width));
        record.propertyBlock = le32(bytes, property.offset);
        result.live.append(record);
    }
    return result;
}

ContainerModel buildModel(const ContainerRecords &records, const MemoFile &memo)
{
    // Children are grouped by parent in record order; VFP does not store them next to their parent.
    QHash<quint32, QList<const Record *>> fieldsOf;
    for (const Record &record : records.live)
        if (record.type == "Field")
            fieldsOf[record.parent].append(&record);

    const ContainerReader reader(memo, records.codePage);
    ContainerModel model;
    for (const Record &record : records.live) {
        if (record.type == "Table")
            model.tables.append(reader.object(record, fieldsOf.value(record.id)));
        else if (record.type == "View")
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
    return buildModel(readRecords(dbc, dbcName), memo);
}

ContainerModel readContainer(const QString &dbcPath)
{
    const QFileInfo info(dbcPath);
    const QByteArray dbc = readWholeFile(dbcPath);
    const ContainerRecords records = readRecords(dbc, info.fileName());
    const QString memoName = info.completeBaseName() + QStringLiteral(".dct");
    const QString memoPath = resolveCaseInsensitive(info.path(), memoName);
    if (memoPath.isEmpty())
        throw Failure(QStringLiteral("File '%1' does not exist.").arg(memoName), ado::FileDoesNotExist);
    const MemoFile memo(readWholeFile(memoPath), displayName(memoPath));
    return buildModel(records, memo);
}

} // namespace foxpro
