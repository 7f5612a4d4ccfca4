#pragma once

// The tags of a compound index file (.cdx), read from its headers.

#include "platform/fileaccess.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace platform {

// One tag of a compound index (.cdx) as its header states it.
struct IndexTag {
    QString name;       // as stored (upper case), trailing blanks and NULs removed
    QString expression; // the key expression, as typed
    QString filter;     // the FOR expression; empty when there is none
    bool candidate = false; // option 0x04: a candidate key (or the container's primary key)
    bool unique = false;    // option 0x01: UNIQUE, first record of each key kept
    bool descending = false;
    QString collation;  // empty means MACHINE
    quint32 headerOffset = 0; // orders tags as FoxPro created them
};

// Reads the tag list of a compound index from its bytes: the tag directory,
// then each tag's header, in header-offset order. Expressions are decoded in
// the table's code page. Throws Failure 2091 naming fileName when the file
// is not a compound index or a structure points outside it.
QList<IndexTag> parseCompoundIndex(QByteArrayView bytes, quint8 codePage, const QString &fileName);

// Opens a .cdx (regular files only) and reads its tag list. Reads only the
// pages the directory and the tag headers occupy.
QList<IndexTag> readCompoundIndex(const LocalPath &path, quint8 codePage);
// The same for a file already open.
QList<IndexTag> readCompoundIndex(const ReadOnlyFile &file, quint8 codePage);

} // namespace platform
