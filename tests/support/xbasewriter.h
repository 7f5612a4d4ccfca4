#pragma once

// A small writer of FoxPro-family files for tests: table headers of every
// dialect, database containers (.dbc) with their memo (.dct). Records are
// written blank; compound indexes (.cdx) hold their tags' headers and an
// empty tree per tag. Nothing here reads files back.

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace xbasewriter {

struct FieldSpec {
    QByteArray name; // as stored in the .dbf: at most 10 characters (31 in a dBase 7 table)
    char type;
    int width;
    int decimals = 0;
    quint8 flags = 0; // Visual FoxPro field flags: 0x01 system, 0x02 nullable, 0x04 binary
    // Autoincrement: Visual FoxPro's next value (bytes 19-22) and step (23);
    // dBase 7's next value (bytes 40-43), which has no step.
    quint32 nextValue = 0;
    quint8 step = 0;
};

struct TableSpec {
    quint8 version = 0x30; // 0x02, 0x03, 0x83, 0x8B, 0x04/0x8C (48-byte descriptors), 0xF5, 0x30, 0x31, 0x32
    quint8 codePage = 0x03;
    QList<FieldSpec> fields;
    quint32 recordCount = 0;  // records are written blank (spaces), so the file size agrees with the header
    QByteArray backlink;      // Visual FoxPro only: the container file name; empty = free table
    quint8 tableFlags = 0xFF; // byte 28; 0xFF = what the version implies (memo bit for memo fields)
    // Bytes 1-3, the date of the last update: 2024-05-20 as Visual FoxPro writes it.
    quint8 updateYear = 24;
    quint8 updateMonth = 5;
    quint8 updateDay = 20;
};

// Size in bytes of the header tableBytes writes (up to and including the backlink).
int headerLength(const TableSpec &layout);
// 1 + the sum of the field widths.
int recordLength(const TableSpec &layout);

QByteArray tableBytes(const TableSpec &layout);
// The header of `layout` followed by `records` (each its deletion flag and its
// fields' bytes; the record count is theirs) and the end mark.
QByteArray tableBytes(TableSpec layout, const QList<QByteArray> &records);
// A FoxPro memo file (.fpt) in blocks of 64 bytes holding `memos` (type, data)
// from block 8 on, each starting on a block of its own.
QByteArray memoFileBytes(const QList<std::pair<quint32, QByteArray>> &memos);
// Throws std::runtime_error on I/O failure.
void writeTable(const QString &path, const TableSpec &layout);
// Writes the header, then extends the file to its full size without writing the
// records (a sparse file), so a table of a million rows costs no disk.
void writeSparseTable(const QString &path, const TableSpec &layout);

struct ContainerField {
    QString name;
    QString comment;
    QString dataType;     // view fields only, e.g. "C(40)"
    bool deleted = false; // written as a deleted record (REMOVE/ALTER leave these behind)
    QByteArray properties = {}; // when not empty, the PROPERTY memo exactly as given, in place of the comment
};

// An Index record of a table: the name of a structural tag and its IsUnique property (17).
struct IndexRecord {
    QString name;
    bool unique = false;
    bool deleted = false;
};

// A Relation record, written as a child of the table that holds it: the
// child tag (13), the parent table (18) and tag (19), and the RIINFO column.
struct RelationRecord {
    QString childTag;
    QString parentTable;
    QString parentTag;
    QByteArray riInfo; // at most 6 letters, e.g. "CRI"; blank-padded
    bool deleted = false;
};

struct ContainerTable {
    QString name;
    QString path; // the Path property: the .dbf relative to the container's folder
    QList<ContainerField> fields;
    QString comment;
    bool deleted = false; // the table record and its fields are written deleted
    QByteArray properties = {}; // when not empty, the PROPERTY memo exactly as given, in place of class, path and comment
    QByteArray extraProperties = {}; // property entries written after class, path and comment
    QList<IndexRecord> indexes = {};      // written after the fields, in order
    QList<RelationRecord> relations = {}; // written after the indexes, in order
};

struct ContainerView {
    QString name;
    QList<ContainerField> fields;
    QByteArray properties = {}; // property entries written after the class (SQL, source type, …)
};

struct ContainerSpec {
    QList<ContainerTable> tables;
    QList<ContainerView> views;
    quint8 codePage = 0x03;
    int blockSize = 64; // of the .dct
    QString comment = {}; // the Database record's comment (property 7)
};

struct ContainerFiles {
    QByteArray dbc;
    QByteArray dct;
};

// The bytes of both files, so a test can damage them before writing.
ContainerFiles containerBytes(const ContainerSpec &layout);
// Writes the .dbc and its .dct beside it (same base name); throws std::runtime_error on I/O failure.
void writeContainer(const QString &dbcPath, const ContainerSpec &layout);
// Writes bytes to a file; throws std::runtime_error on I/O failure.
void writeFile(const QString &path, const QByteArray &bytes);

// One PROPERTY memo entry with a one-byte id: the value exactly as given, or
// a character value (the bytes plus a NUL).
QByteArray rawPropertyEntry(quint8 id, const QByteArray &value);
QByteArray propertyEntry(quint8 id, const QByteArray &value);
// One entry with a two-byte id (user-defined properties, ids from 256 on):
// id length 2, the id little-endian, then the value exactly as given.
QByteArray customPropertyEntry(quint16 id, const QByteArray &value);

struct IndexTagSpec {
    QByteArray name;       // stored as given (FoxPro writes at most 10 upper-case characters)
    QByteArray expression; // the key expression
    QByteArray filter;     // the FOR expression; empty = none
    quint8 options = 0x60; // compact + compound; 0x08 is added when there is a filter
    bool descending = false;
    QByteArray collation;  // at most 8 bytes; empty = MACHINE
    int keyLength = 10;
};

// A compound index of the tags, created in list order. The layout is fixed so
// tests can damage it: the directory header at 0; the directory's nodes from
// 0x400, first its leaves left to right, then each level above left to
// right, the root last; then per tag its 1024-byte header and its tree (one
// empty root leaf). The directory holds the names in ascending byte order,
// tagsPerLeaf to a leaf (0 = all in one), interior nodes holding as many
// entries as fit.
QByteArray compoundIndexBytes(const QList<IndexTagSpec> &tags, int tagsPerLeaf = 0);
// The number of pages compoundIndexBytes gives the directory's nodes.
int compoundIndexDirectoryPages(int tagCount, int tagsPerLeaf);

} // namespace xbasewriter
