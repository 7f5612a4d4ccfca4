#pragma once

// The header of a FoxPro-family table (.dbf): its version, dates, code page
// and field descriptors.

#include "platform/fileaccess.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <QVarLengthArray>

#include <optional>

namespace platform {

// What a field descriptor says besides the field's name.
struct FieldLayout {
    char type = 0;
    int width = 0;
    int decimals = 0;
    quint8 flags = 0; // Visual FoxPro only; 0 in other dialects, whose byte 18 holds junk
    // The next value an autoincrementing field gives and its step: Visual
    // FoxPro's bytes 19-22 and 23, dBase 7's bytes 40-43; 0 in other dialects.
    quint32 nextValue = 0;
    quint8 step = 0;

    bool isSystem() const { return type == '0' || (flags & 0x01); } // _NullFlags and other hidden columns
    bool isBinary() const { return flags & 0x04; }                    // NOCPTRANS
    bool isNullable() const { return flags & 0x02; }
    // Visual FoxPro's flagged Integer, dBase 7's "+".
    bool isAutoIncrement() const { return (type == 'I' && (flags & 0x08)) || type == '+'; }
};

struct FieldDescriptor : FieldLayout {
    QString name; // as stored up to its NUL, decoded in the table's code page
};

// A descriptor whose name is still the file's bytes (up to its NUL), viewed
// where they were read.
struct StoredField : FieldLayout {
    QByteArrayView name;
};

constexpr bool isVisualFoxProVersion(quint8 version)
{
    return version == 0x30 || version == 0x31 || version == 0x32;
}

// The width a type always has, stored in binary or (a Date) as eight digits:
// a field of that type with another width holds nothing that can be read as
// it. 0 for a type whose width its field gives.
constexpr int fixedWidth(char type, bool visualFoxPro)
{
    switch (type) {
    case 'D': case 'T': case '@': case 'Y': case 'O':
        return 8;
    case 'B':
        return visualFoxPro ? 8 : 0; // dBase's B is a memo
    case 'I': case '+':
        return 4;
    default:
        return 0;
    }
}

struct TableHeader {
    quint8 version = 0;
    bool dBase2 = false; // version 0x02 read with dBase II's own layout
    std::optional<QDate> lastUpdate; // none when the bytes are no date
    quint8 flags = 0; // byte 28: 0x01 structural index, 0x02 memo, 0x04 container
    quint8 codePage = 0;
    quint32 recordCount = 0;
    int headerLength = 0;
    int recordLength = 0;
    QList<FieldDescriptor> fields; // every field, system fields included
    QByteArray backlink;           // Visual FoxPro: the owning container, relative to the table

    bool isVisualFoxPro() const { return isVisualFoxProVersion(version); }
    bool isLevel7() const { return version == 0x04 || version == 0x8C; } // dBase 7: 48-byte descriptors
};

// Whether a record length that disagrees with the field widths is refused
// (the reader's rule) or kept as stored, so the caller can report it.
enum class RecordLengthCheck { Strict, Lenient };

// Parses the header from the first bytes of a file whose full size is fileSize;
// fileName names the file in errors. Never reads outside the bytes given.
// Throws Failure (15 not a table, 2091 corrupted).
TableHeader parseTableHeader(QByteArrayView bytes, qint64 fileSize, const QString &fileName,
                             RecordLengthCheck check = RecordLengthCheck::Strict);

// A header whose field names are not decoded yet: `header` holds all but its
// fields, which `fields` gives as stored. Describing a table needs no string
// per name but the one it keeps.
struct StoredHeader {
    TableHeader header;
    QVarLengthArray<StoredField, 64> fields; // they view the bytes the header was scanned from
};

// Reads the header of the open file into `bytes` (whatever they held is
// replaced; their storage is reused, so a caller reading many tables keeps
// one buffer) and parses it with parseTableHeader's checks and failures,
// leaving the names undecoded; the fields view `bytes`.
StoredHeader readStoredHeader(const ReadOnlyFile &file, QByteArray &bytes,
                              RecordLengthCheck check = RecordLengthCheck::Strict);

// Reads the header only from the start of an open file.
TableHeader readTableHeader(QFile &file, const QString &fileName,
                            RecordLengthCheck check = RecordLengthCheck::Strict);
// Opens the file read-only, reads its header only and closes it.
TableHeader readTableHeader(const LocalPath &path, RecordLengthCheck check = RecordLengthCheck::Strict);
// The same from an open file, through `bytes` as readStoredHeader reads.
TableHeader readTableHeader(const ReadOnlyFile &file, QByteArray &bytes,
                            RecordLengthCheck check = RecordLengthCheck::Strict);

// The date of the last update in bytes 1-3 (year, month, day). dBase counts
// the year from 1900; Visual FoxPro writes it modulo 100, so a year below 100
// is read in the window 1980-2079. None when the bytes are no date.
std::optional<QDate> updateDate(quint8 year, quint8 month, quint8 day);

// The container a Visual FoxPro table names, and the code page of that name:
// read from the header without parsing its fields. Empty for other tables
// and for a header that cannot say. Throws as openRegularFile does.
struct Backlink {
    QByteArray name;
    quint8 codePage = 0;
};
Backlink readBacklink(const LocalPath &path);

} // namespace platform
