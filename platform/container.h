#pragma once

#include "fileaccess.h"
#include "memofile.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

namespace platform {

struct ContainerField {
    QString name;     // the long name, as stored
    QString comment;  // property 7
    QString dataType; // property 77, view fields only
};

// A table or a view of a container.
struct ContainerObject {
    QString name;    // as stored
    QString path;    // property 1 (tables): the .dbf relative to the container's folder
    QString comment; // property 7
    QList<ContainerField> fields; // live Field records in record order
};

struct ContainerModel {
    QList<ContainerObject> tables; // in listing order
    QList<ContainerObject> views;

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
