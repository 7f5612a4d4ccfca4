#pragma once

#include "fileaccess.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace platform {

struct FieldDescriptor {
    QString name; // as stored up to its NUL, decoded in the table's code page
    char type = 0;
    int width = 0;
    int decimals = 0;
    quint8 flags = 0; // Visual FoxPro only; 0 in other dialects, whose byte 18 holds junk

    bool isSystem() const; // _NullFlags and other hidden columns
    bool isBinary() const; // NOCPTRANS
};

struct TableHeader {
    quint8 version = 0;
    quint8 codePage = 0;
    quint32 recordCount = 0;
    int headerLength = 0;
    int recordLength = 0;
    QList<FieldDescriptor> fields; // every field, system fields included
    QByteArray backlink;           // Visual FoxPro: the owning container, relative to the table

    bool isVisualFoxPro() const;
    bool isLevel7() const; // dBase 7: 48-byte descriptors
};

bool isVisualFoxProVersion(quint8 version);

// Parses the header from the first bytes of a file whose full size is fileSize;
// fileName names the file in errors. Never reads outside the bytes given.
// Throws Failure (15 not a table, 2091 corrupted).
TableHeader parseTableHeader(QByteArrayView bytes, qint64 fileSize, const QString &fileName);

// Reads the header only from the start of an open file.
TableHeader readTableHeader(QFile &file, const QString &fileName);
// Opens the file read-only, reads its header only and closes it.
TableHeader readTableHeader(const LocalPath &path);

// The container a Visual FoxPro table names, and the code page of that name:
// read from the header without parsing its fields. Empty for other tables
// and for a header that cannot say. Throws as openRegularFile does.
struct Backlink {
    QByteArray name;
    quint8 codePage = 0;
};
Backlink readBacklink(const LocalPath &path);

} // namespace platform
