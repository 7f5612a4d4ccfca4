#pragma once

// The database container (.dbc) and its memo (.dct): tables, views, fields,
// indexes and relations as stored.

#include "platform/fileaccess.h"
#include "platform/memofile.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace platform {

// Texts are as stored: expressions in FoxPro's syntax, captions and masks as typed.
struct ContainerField {
    QString name;     // the long name, as stored
    QString comment;  // property 7
    QString dataType; // property 77, view fields only
    QString defaultValue = {}; // property 11
    QString rule = {};         // property 9
    QString ruleText = {};     // property 10
    QString caption = {};      // property 56
    QString format = {};       // property 55
    QString inputMask = {};    // property 54
};

// An Index record: a tag of the table's structural index as the container names it.
struct ContainerIndex {
    QString name;        // as stored, lower case as FoxPro writes it
    bool unique = false; // property 17: a primary or candidate tag
};

// A Relation record, kept with the table that owns it: the child.
struct ContainerRelation {
    QString childTag;    // property 13
    QString parentTable; // property 18, as stored
    QString parentTag;   // property 19
    QByteArray riInfo;   // the RIINFO column, trailing blanks removed
};

// A table or a view of a container.
struct ContainerObject {
    QString name;    // as stored
    QString path;    // property 1 (tables): the .dbf relative to the container's folder
    QString comment; // property 7
    QList<ContainerField> fields; // live Field records in record order
    QString rule = {};     // property 9
    QString ruleText = {}; // property 10
    // Tables only.
    QString insertTrigger = {}; // property 14
    QString updateTrigger = {}; // property 15
    QString deleteTrigger = {}; // property 16
    QString primaryKey = {};    // property 20: the primary tag's name
    QList<ContainerIndex> indexes = {};      // live Index records in record order
    QList<ContainerRelation> relations = {}; // live Relation records in record order
    // Views only.
    QString sql = {};        // property 42
    int sourceType = 0;      // property 41: 1 local, 2 remote
    QString connection = {}; // property 32
};

struct ContainerModel {
    QList<ContainerObject> tables; // in listing order
    QList<ContainerObject> views;
    QString comment;         // the Database record's property 7
    quint8 codePage = 0;     // the .dbc's code page mark
    // Why properties of the database record, an index or a relation could not
    // be read (they are left empty); tables, views and fields never land here.
    QStringList damage;

    // Case-insensitive lookups; nullptr when there is none.
    const ContainerObject *findTable(const QString &name) const;
    const ContainerObject *findView(const QString &name) const;

    // Builds the lookups once the lists are complete.
    void index();

private:
    QHash<QString, qsizetype> m_tableIndex; // lower-case name -> the first such table
    QHash<QString, qsizetype> m_viewIndex;
};

struct Property {
    quint32 id = 0;
    QByteArrayView value;
};

// The entries of a PROPERTY memo. Throws Failure 2091 naming memoName when an
// entry runs past the memo.
QList<Property> parseProperties(QByteArrayView memo, const QString &memoName);

// Parses a container from the bytes of its .dbc and its memo. Throws Failure
// (15 not a container, 2091 corrupted).
ContainerModel parseContainer(QByteArrayView dbc, const MemoFile &memo, const QString &dbcName);

// Reads the .dbc and the .dct beside it (any case of the extension).
ContainerModel readContainer(const LocalPath &dbcPath);

// The container's memo: its name, and the file beside it (any case of the
// extension), empty when there is none.
QString memoName(const LocalPath &dbcPath);
LocalPath memoOf(const LocalPath &dbcPath);

} // namespace platform
