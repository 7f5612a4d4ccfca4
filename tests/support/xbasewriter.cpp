#include "xbasewriter.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QtEndian>

#include <algorithm>
#include <stdexcept>

namespace xbasewriter {

namespace {

bool isVisualFoxPro(quint8 version)
{
    return version == 0x30 || version == 0x31 || version == 0x32;
}

bool isLevel7(quint8 version)
{
    return version == 0x04 || version == 0x8C;
}

bool isMemoType(char type)
{
    return type == 'M' || type == 'G' || type == 'W' || type == 'P';
}

void putLe16(QByteArray &bytes, int at, quint32 value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

void putLe32(QByteArray &bytes, int at, quint32 value)
{
    putLe16(bytes, at, value & 0xFFFF);
    putLe16(bytes, at + 2, value >> 16);
}

void putBe32(QByteArray &bytes, int at, quint32 value)
{
    bytes[at] = char((value >> 24) & 0xFF);
    bytes[at + 1] = char((value >> 16) & 0xFF);
    bytes[at + 2] = char((value >> 8) & 0xFF);
    bytes[at + 3] = char(value & 0xFF);
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    putLe32(bytes, 0, value);
    return bytes;
}

// The few code pages the tests write containers in.
const char *encodingName(quint8 codePage)
{
    switch (codePage) {
    case 0x01: case 0x1B: return "IBM437";
    case 0x02: return "IBM850";
    case 0x65: return "IBM866";
    case 0xC8: return "windows-1250";
    case 0xC9: return "windows-1251";
    case 0xCB: return "windows-1253";
    case 0xF0: return "UTF-8";
    default: return "windows-1252";
    }
}

int descriptorSize(quint8 version)
{
    return isLevel7(version) ? 48 : 32;
}

int prefixSize(quint8 version)
{
    return isLevel7(version) ? 68 : 32;
}

} // namespace

int headerLength(const TableSpec &layout)
{
    const int backlinkSize = isVisualFoxPro(layout.version) ? 263 : 0;
    return prefixSize(layout.version) + descriptorSize(layout.version) * int(layout.fields.size()) + 1
           + backlinkSize;
}

int recordLength(const TableSpec &layout)
{
    int length = 1;
    for (const FieldSpec &field : layout.fields)
        length += field.width;
    return length;
}

namespace {

QByteArray headerBytes(const TableSpec &layout)
{
    const int hlen = headerLength(layout);
    QByteArray header(hlen, '\0');
    header[0] = char(layout.version);
    header[1] = char(layout.updateYear);
    header[2] = char(layout.updateMonth);
    header[3] = char(layout.updateDay);
    putLe32(header, 4, layout.recordCount);
    putLe16(header, 8, quint32(hlen));
    putLe16(header, 10, quint32(recordLength(layout)));

    quint8 flags = 0;
    for (const FieldSpec &field : layout.fields)
        if (isMemoType(field.type))
            flags |= 0x02;
    header[28] = char(layout.tableFlags == 0xFF ? (isVisualFoxPro(layout.version) ? flags : 0)
                                              : layout.tableFlags);
    header[29] = char(layout.codePage);

    int at = prefixSize(layout.version);
    if (isLevel7(layout.version))
        header.replace(32, 8, "DBWINWE0");
    int displacement = 1;
    for (const FieldSpec &field : layout.fields) {
        if (isLevel7(layout.version)) {
            header.replace(at, qMin<int>(field.name.size(), 31), field.name.left(31));
            header[at + 32] = field.type;
            header[at + 33] = char(field.width);
            header[at + 34] = char(field.decimals);
            putLe32(header, at + 40, field.nextValue);
        } else {
            header.replace(at, qMin<int>(field.name.size(), 10), field.name.left(10));
            header[at + 11] = field.type;
            if (isVisualFoxPro(layout.version))
                putLe32(header, at + 12, quint32(displacement));
            header[at + 16] = char(field.width);
            header[at + 17] = char(field.decimals);
            header[at + 18] = char(field.flags);
            putLe32(header, at + 19, field.nextValue);
            header[at + 23] = char(field.step);
        }
        displacement += field.width;
        at += descriptorSize(layout.version);
    }
    header[at] = 0x0D;
    if (isVisualFoxPro(layout.version))
        header.replace(at + 1, qMin<int>(layout.backlink.size(), 263), layout.backlink.left(263));
    return header;
}


constexpr int IndexPageSize = 512;
constexpr int IndexHeaderSize = 1024;
constexpr int DirectoryKeyLength = 10;
constexpr quint32 NoIndexPage = 0xFFFFFFFF;
constexpr int LeafArea = 488;
// An interior entry: the key, then record number and child, 4 bytes each.
constexpr int InteriorCapacity = 500 / (DirectoryKeyLength + 8);

int bitLength(quint32 value)
{
    int bits = 0;
    for (; value != 0; value >>= 1)
        ++bits;
    return bits;
}

QByteArray indexHeader(quint32 root, int keyLength, quint8 options, const QByteArray &expression,
                       const QByteArray &filter, bool descending, const QByteArray &collation)
{
    QByteArray header(IndexHeaderSize, '\0');
    putLe32(header, 0, root);
    putLe16(header, 12, quint32(keyLength));
    header[14] = char(options);
    header[15] = 1; // signature
    header.replace(494, qMin<int>(collation.size(), 8), collation.left(8));
    putLe16(header, 502, descending ? 1 : 0);
    // The pool holds the key expression, its NUL, the FOR expression, its NUL.
    putLe16(header, 504, quint32(expression.size() + 1));
    putLe16(header, 506, quint32(filter.size() + 1));
    putLe16(header, 508, 0);
    putLe16(header, 510, quint32(expression.size() + 1));
    if (expression.size() + filter.size() + 2 > 512)
        throw std::runtime_error("index expressions longer than the pool");
    header.replace(512, expression.size(), expression);
    header.replace(512 + expression.size() + 1, filter.size(), filter);
    return header;
}

struct DirectoryKey {
    QByteArray name;
    quint32 headerOffset = 0;
};

// A compact leaf: N-byte entries (record, duplicate count, trailing count)
// from the front, the keys' remaining bytes packed from the end backwards.
QByteArray leafPage(const QList<DirectoryKey> &keys, int keyLength, quint16 attributes, quint32 left, quint32 right)
{
    quint32 largest = 0;
    for (const DirectoryKey &key : keys)
        largest = std::max(largest, key.headerOffset);
    const int countBits = bitLength(quint32(keyLength));
    const int entrySize = (std::max(bitLength(largest), 16) + 2 * countBits + 7) / 8;
    const int recordBits = 8 * entrySize - 2 * countBits;

    QByteArray page(IndexPageSize, '\0');
    putLe16(page, 0, attributes);
    putLe16(page, 2, quint32(keys.size()));
    putLe32(page, 4, left);
    putLe32(page, 8, right);
    putLe32(page, 14, recordBits >= 32 ? 0xFFFFFFFF : (quint32(1) << recordBits) - 1);
    page[18] = char((1 << countBits) - 1);
    page[19] = char((1 << countBits) - 1);
    page[20] = char(recordBits);
    page[21] = char(countBits);
    page[22] = char(countBits);
    page[23] = char(entrySize);

    int keyEnd = IndexPageSize;
    QByteArray previous;
    for (int i = 0; i < keys.size(); ++i) {
        const QByteArray key = keys[i].name.leftJustified(keyLength, ' ', true);
        int trail = 0;
        while (trail < keyLength && key[keyLength - 1 - trail] == ' ')
            ++trail;
        int duplicate = 0;
        while (i > 0 && duplicate < keyLength - trail && key[duplicate] == previous[duplicate])
            ++duplicate;
        const int stored = keyLength - duplicate - trail;
        keyEnd -= stored;
        if (keyEnd < 24 + entrySize * int(keys.size()))
            throw std::runtime_error("too many index keys for one leaf");
        page.replace(keyEnd, stored, key.mid(duplicate, stored));
        const quint64 value = quint64(keys[i].headerOffset) | quint64(duplicate) << recordBits
                              | quint64(trail) << (recordBits + countBits);
        for (int b = 0; b < entrySize; ++b)
            page[24 + entrySize * i + b] = char((value >> (8 * b)) & 0xFF);
        previous = key;
    }
    putLe16(page, 12, quint32(LeafArea - (IndexPageSize - keyEnd) - entrySize * int(keys.size())));
    return page;
}

// A node of the directory as its parent sees it: its last key and where it is.
struct DirectoryNode {
    QByteArray lastKey;
    quint32 lastRecord = 0;
    quint32 offset = 0;
};

QByteArray interiorPage(const QList<DirectoryNode> &children, quint16 attributes, quint32 left, quint32 right)
{
    QByteArray page(IndexPageSize, '\0');
    putLe16(page, 0, attributes);
    putLe16(page, 2, quint32(children.size()));
    putLe32(page, 4, left);
    putLe32(page, 8, right);
    int at = 12;
    for (const DirectoryNode &child : children) {
        page.replace(at, DirectoryKeyLength, child.lastKey.leftJustified(DirectoryKeyLength, ' ', true));
        putBe32(page, at + DirectoryKeyLength, child.lastRecord);
        putBe32(page, at + DirectoryKeyLength + 4, child.offset);
        at += DirectoryKeyLength + 8;
    }
    return page;
}

int directoryLeafCount(int tagCount, int tagsPerLeaf)
{
    return tagsPerLeaf <= 0 || tagCount == 0 ? 1 : (tagCount + tagsPerLeaf - 1) / tagsPerLeaf;
}

} // namespace

QByteArray tableBytes(const TableSpec &layout)
{
    QByteArray bytes = headerBytes(layout);
    bytes.append(QByteArray(qsizetype(layout.recordCount) * recordLength(layout), ' '));
    bytes.append(char(0x1A));
    return bytes;
}

QByteArray tableBytes(TableSpec layout, const QList<QByteArray> &records)
{
    layout.recordCount = quint32(records.size());
    QByteArray bytes = tableBytes(layout).first(headerLength(layout));
    for (const QByteArray &record : records) {
        if (record.size() != recordLength(layout))
            throw std::runtime_error("a record of another length than the table's");
        bytes += record;
    }
    return bytes + char(0x1A);
}

QByteArray memoFileBytes(const QList<std::pair<quint32, QByteArray>> &memos)
{
    constexpr int blockSize = 64;
    QByteArray bytes(512, '\0');
    qToBigEndian<quint16>(blockSize, bytes.data() + 6);
    for (const auto &[type, data] : memos) {
        QByteArray head(8, '\0');
        qToBigEndian<quint32>(type, head.data());
        qToBigEndian<quint32>(quint32(data.size()), head.data() + 4);
        bytes += head + data;
        bytes += QByteArray((blockSize - bytes.size() % blockSize) % blockSize, '\0');
    }
    qToBigEndian<quint32>(quint32(bytes.size() / blockSize), bytes.data());
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot create " + path.toStdString());
    if (file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void writeTable(const QString &path, const TableSpec &layout)
{
    writeFile(path, tableBytes(layout));
}

void writeSparseTable(const QString &path, const TableSpec &layout)
{
    writeFile(path, headerBytes(layout));
    QFile file(path);
    const qint64 size = headerLength(layout) + qint64(layout.recordCount) * recordLength(layout) + 1;
    if (!file.resize(size))
        throw std::runtime_error("cannot extend " + path.toStdString());
}

QByteArray rawPropertyEntry(quint8 id, const QByteArray &value)
{
    QByteArray entry = le32(quint32(4 + 2 + 1 + value.size()));
    entry.append(char(1)).append(char(0)); // id length 1
    entry.append(char(id));
    entry.append(value);
    return entry;
}

QByteArray propertyEntry(quint8 id, const QByteArray &value)
{
    return rawPropertyEntry(id, value + QByteArray(1, '\0'));
}

QByteArray customPropertyEntry(quint16 id, const QByteArray &value)
{
    QByteArray entry = le32(quint32(4 + 2 + 2 + value.size()));
    entry.append(char(2)).append(char(0)); // id length 2
    entry.append(char(id & 0xFF)).append(char(id >> 8));
    entry.append(value);
    return entry;
}

namespace {

// The .dct being built: a 512-byte header, then memos each starting on a block.
class MemoBuilder {
public:
    explicit MemoBuilder(int blockSize) : m_blockSize(blockSize), m_bytes(512, '\0')
    {
        m_bytes[6] = char((blockSize >> 8) & 0xFF);
        m_bytes[7] = char(blockSize & 0xFF);
        pad();
    }

    // Returns the block number of the new memo (0 when there is nothing to store).
    quint32 add(const QByteArray &data)
    {
        if (data.isEmpty())
            return 0;
        const quint32 block = quint32(m_bytes.size() / m_blockSize);
        QByteArray head(8, '\0');
        putBe32(head, 0, 1); // text memo, as VFP writes property lists
        putBe32(head, 4, quint32(data.size()));
        m_bytes.append(head).append(data);
        pad();
        return block;
    }

    QByteArray bytes()
    {
        putBe32(m_bytes, 0, quint32(m_bytes.size() / m_blockSize));
        return m_bytes;
    }

private:
    void pad()
    {
        const int rest = int(m_bytes.size() % m_blockSize);
        if (rest != 0)
            m_bytes.append(QByteArray(m_blockSize - rest, '\0'));
    }

    int m_blockSize;
    QByteArray m_bytes;
};

// Record layout of a container: OBJECTID I, PARENTID I, OBJECTTYPE C(10),
// OBJECTNAME C(128), PROPERTY M, CODE M, RIINFO C(6), USER M.
TableSpec containerTableSpec(quint8 codePage, quint32 records)
{
    TableSpec layout;
    layout.version = 0x30;
    layout.codePage = codePage;
    layout.tableFlags = 0x07;
    layout.recordCount = records;
    layout.fields = {
        {"OBJECTID", 'I', 4, 0, 0x04},   {"PARENTID", 'I', 4, 0, 0x04},
        {"OBJECTTYPE", 'C', 10, 0, 0},   {"OBJECTNAME", 'C', 128, 0, 0},
        {"PROPERTY", 'M', 4, 0, 0x04},   {"CODE", 'M', 4, 0, 0x04},
        {"RIINFO", 'C', 6, 0, 0},        {"USER", 'M', 4, 0, 0},
    };
    return layout;
}

class ContainerBuilder {
public:
    explicit ContainerBuilder(const ContainerSpec &layout)
        : m_memo(layout.blockSize), m_encoder(encodingName(layout.codePage))
    {
    }

    quint32 add(quint32 parent, const char *type, const QString &name, const QByteArray &properties,
                bool deleted, const QByteArray &riInfo = {})
    {
        const quint32 id = quint32(m_records.size() + 1);
        QByteArray record(165, ' ');
        record[0] = deleted ? '*' : ' ';
        putLe32(record, 1, id);
        putLe32(record, 5, parent);
        const QByteArray typeBytes(type);
        record.replace(9, typeBytes.size(), typeBytes);
        const QByteArray nameBytes = encode(name).left(128);
        record.replace(19, nameBytes.size(), nameBytes);
        putLe32(record, 147, m_memo.add(properties));
        putLe32(record, 151, 0);
        record.replace(155, qMin<int>(riInfo.size(), 6), riInfo.left(6));
        putLe32(record, 161, 0);
        m_records.append(record);
        return id;
    }

    QByteArray encode(const QString &text) { return m_encoder.encode(text); }

    ContainerFiles finish(quint8 codePage)
    {
        ContainerFiles files;
        TableSpec layout = containerTableSpec(codePage, quint32(m_records.size()));
        QByteArray dbc = tableBytes(layout);
        const int hlen = headerLength(layout);
        for (int i = 0; i < m_records.size(); ++i)
            dbc.replace(hlen + i * 165, 165, m_records[i]);
        files.dbc = dbc;
        files.dct = m_memo.bytes();
        return files;
    }

private:
    MemoBuilder m_memo;
    QStringEncoder m_encoder;
    QList<QByteArray> m_records;
};

} // namespace

ContainerFiles containerBytes(const ContainerSpec &layout)
{
    ContainerBuilder builder(layout);
    // Records 1-5 as VFP creates them; the database record holds the version (id 24, big-endian 10).
    QByteArray database = rawPropertyEntry(24, QByteArray::fromHex("0000000A"));
    if (!layout.comment.isEmpty())
        database += propertyEntry(7, builder.encode(layout.comment));
    builder.add(1, "Database", "Database", database, false);
    builder.add(1, "Database", "TransactionLog", {}, false);
    builder.add(1, "Database", "StoredProceduresSource", {}, false);
    builder.add(1, "Database", "StoredProceduresObject", {}, false);
    builder.add(1, "Database", "StoredProceduresDependencies", {}, false);

    for (const ContainerTable &table : layout.tables) {
        QByteArray properties = table.properties;
        if (properties.isEmpty()) {
            properties = rawPropertyEntry(2, QByteArray(1, '\x01')); // Class: table
            properties += propertyEntry(1, builder.encode(table.path));
            if (!table.comment.isEmpty())
                properties += propertyEntry(7, builder.encode(table.comment));
            properties += table.extraProperties;
        }
        const quint32 id = builder.add(1, "Table", table.name, properties, table.deleted);
        for (const ContainerField &field : table.fields) {
            const QByteArray properties = !field.properties.isEmpty() ? field.properties
                                          : field.comment.isEmpty() ? QByteArray()
                                                                    : propertyEntry(7, builder.encode(field.comment));
            builder.add(id, "Field", field.name, properties, table.deleted || field.deleted);
        }
        for (const IndexRecord &index : table.indexes)
            builder.add(id, "Index", index.name, rawPropertyEntry(17, QByteArray(1, index.unique ? '\x01' : '\x00')),
                        table.deleted || index.deleted);
        int number = 0;
        for (const RelationRecord &relation : table.relations) {
            const QByteArray properties = propertyEntry(13, builder.encode(relation.childTag))
                                          + propertyEntry(18, builder.encode(relation.parentTable))
                                          + propertyEntry(19, builder.encode(relation.parentTag));
            builder.add(id, "Relation", QStringLiteral("Relation %1").arg(++number), properties,
                        table.deleted || relation.deleted, relation.riInfo);
        }
    }
    for (const ContainerView &view : layout.views) {
        const QByteArray properties = rawPropertyEntry(2, QByteArray(1, '\x06')) + view.properties; // Class: view
        const quint32 id = builder.add(1, "View", view.name, properties, false);
        for (const ContainerField &field : view.fields) {
            QByteArray fieldProperties;
            if (!field.comment.isEmpty())
                fieldProperties += propertyEntry(7, builder.encode(field.comment));
            fieldProperties += propertyEntry(77, builder.encode(field.dataType));
            builder.add(id, "Field", field.name, fieldProperties, field.deleted);
        }
    }
    return builder.finish(layout.codePage);
}

void writeContainer(const QString &dbcPath, const ContainerSpec &layout)
{
    const ContainerFiles files = containerBytes(layout);
    const QFileInfo info(dbcPath);
    const QString suffix = info.suffix();
    // The memo keeps the container's case: x.dbc -> x.dct, X.DBC -> X.DCT.
    const QString memoSuffix = suffix == suffix.toUpper() && !suffix.isEmpty() ? QStringLiteral("DCT")
                                                                               : QStringLiteral("dct");
    writeFile(dbcPath, files.dbc);
    writeFile(info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') + memoSuffix,
              files.dct);
}

int compoundIndexDirectoryPages(int tagCount, int tagsPerLeaf)
{
    int nodes = directoryLeafCount(tagCount, tagsPerLeaf);
    int pages = nodes;
    while (nodes > 1) {
        nodes = (nodes + InteriorCapacity - 1) / InteriorCapacity;
        pages += nodes;
    }
    return pages;
}

QByteArray compoundIndexBytes(const QList<IndexTagSpec> &tags, int tagsPerLeaf)
{
    const int tagCount = int(tags.size());
    const quint32 tagsStart = quint32(IndexHeaderSize + IndexPageSize * compoundIndexDirectoryPages(tagCount, tagsPerLeaf));
    const quint32 tagSize = IndexHeaderSize + IndexPageSize;
    QByteArray bytes(qsizetype(tagsStart) + qsizetype(tagSize) * tagCount, '\0');

    QList<DirectoryKey> keys;
    for (int i = 0; i < tagCount; ++i)
        keys.append({tags[i].name, tagsStart + tagSize * quint32(i)});
    std::stable_sort(keys.begin(), keys.end(), [](const DirectoryKey &a, const DirectoryKey &b) { return a.name < b.name; });

    const int leafCount = directoryLeafCount(tagCount, tagsPerLeaf);
    const int perLeaf = tagsPerLeaf <= 0 ? std::max(tagCount, 1) : tagsPerLeaf;
    quint32 next = IndexHeaderSize;
    QList<DirectoryNode> level;
    for (int j = 0; j < leafCount; ++j) {
        const QList<DirectoryKey> leafKeys = keys.mid(j * perLeaf, perLeaf);
        const quint16 attributes = leafCount == 1 ? 3 : 2;
        const quint32 left = j == 0 ? NoIndexPage : next - IndexPageSize;
        const quint32 right = j + 1 == leafCount ? NoIndexPage : next + IndexPageSize;
        bytes.replace(next, IndexPageSize, leafPage(leafKeys, DirectoryKeyLength, attributes, left, right));
        level.append({leafKeys.isEmpty() ? QByteArray() : leafKeys.last().name,
                      leafKeys.isEmpty() ? 0 : leafKeys.last().headerOffset, next});
        next += IndexPageSize;
    }
    while (level.size() > 1) {
        QList<DirectoryNode> parents;
        const int parentCount = int((level.size() + InteriorCapacity - 1) / InteriorCapacity);
        for (int j = 0; j < parentCount; ++j) {
            const QList<DirectoryNode> children = level.mid(j * InteriorCapacity, InteriorCapacity);
            const quint16 attributes = parentCount == 1 ? 1 : 0;
            const quint32 left = j == 0 ? NoIndexPage : next - IndexPageSize;
            const quint32 right = j + 1 == parentCount ? NoIndexPage : next + IndexPageSize;
            bytes.replace(next, IndexPageSize, interiorPage(children, attributes, left, right));
            parents.append({children.last().lastKey, children.last().lastRecord, next});
            next += IndexPageSize;
        }
        level = parents;
    }
    bytes.replace(0, IndexHeaderSize, indexHeader(level.first().offset, DirectoryKeyLength, 0xE0, {}, {}, false, {}));

    for (int i = 0; i < tagCount; ++i) {
        const IndexTagSpec &tag = tags[i];
        const quint32 at = tagsStart + tagSize * quint32(i);
        const quint8 options = tag.filter.isEmpty() ? tag.options : quint8(tag.options | 0x08);
        bytes.replace(at, IndexHeaderSize,
                      indexHeader(at + IndexHeaderSize, tag.keyLength, options, tag.expression, tag.filter,
                                  tag.descending, tag.collation));
        bytes.replace(at + IndexHeaderSize, IndexPageSize, leafPage({}, tag.keyLength, 3, NoIndexPage, NoIndexPage));
    }
    return bytes;
}

} // namespace xbasewriter
