#pragma once

// Where a source's files are and which of them belong to it: a folder's
// tables, a container's, the containers free tables link back to, a table's
// memo and index found by name. The source reader's one place for listing
// folders and parsing containers: each is done once per reading.

#include "model/dataaccess.h"
#include "platform/container.h"
#include "platform/fileaccess.h"
#include "platform/tableheader.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace model {

// A table of a folder and the name it is listed by.
struct FolderTable {
    QString name;
    platform::LocalPath path;
    bool caseTwin = false; // another table's file name differs from its own only in case
};

// The tables among a folder's entries: every regular file ending in ".dbf"
// (any case), named by its file name without the extension in lower case.
// Two that lower-casing would merge keep their own spelling, and a name still
// taken gets a number, so no table is ever left out. In name order.
QList<FolderTable> folderTables(const platform::LocalPath &folder, const QList<platform::FolderEntry> &entries);

// What the path names: a folder of free tables, or a container (any other
// file: its reader says what is wrong with it). Throws Failure: 202 for an
// empty path, a folder named .dbc or a link loop, 1 for a missing path, 1705
// when access is denied.
enum class SourceKind { Folder, Container };
SourceKind sourceKindOf(const QString &path);

// Tables, memos, indexes, containers and the backups FoxPro leaves of them.
bool isFoxProFile(const QString &fileName);
// The file name up to its extension (a name that starts with its only dot is all name).
QString baseOf(const QString &fileName);

struct ColumnDescription {
    QString name; // lower case; a container's long name where there is one
    int type = 0;
    int size = 0;
    QString description; // the container's field comment; empty for a free table
};

// The fields of one table or view as the data access objects show them. It
// is also the catalog's view of that table, so a description lookup needs
// nothing new.
class TableDescription : public CatalogTable {
public:
    TableDescription(QString name, QList<ColumnDescription> columns);

    const QList<ColumnDescription> &columns() const { return m_columns; }
    // The columns, taken out for their storage to be reused.
    QList<ColumnDescription> takeColumns() && { return std::move(m_columns); }
    // Case-insensitive; the first of that name, nullptr when there is none.
    const ColumnDescription *findColumn(const QString &name) const;

    QString columnProperty(const QString &column, const QString &property) const override;
    bool allDescriptionsEmpty() const override { return m_allDescriptionsEmpty; }

private:
    QString m_name;
    QList<ColumnDescription> m_columns;
    bool m_allDescriptionsEmpty = true;
    // Where the last search ended: a report asks for the fields in order, so the
    // next search starts just after it. Only the one user-interface thread reads.
    mutable qsizetype m_searchFrom = 0;
};

struct TableEntry {
    QString name;
    bool isView = false;
};

// A container, parsed, and where each of its tables' files is.
struct OpenedContainer {
    platform::LocalPath path;
    QString fileName;
    platform::LocalPath folder;
    platform::ContainerModel model;

    explicit OpenedContainer(const platform::LocalPath &dbcPath);

    platform::LocalPath fileOf(const platform::ContainerObject &table) const;
    // The container's table whose file is this one, however either path spells it.
    const platform::ContainerObject *ownerOf(const platform::LocalPath &tablePath);

private:
    std::optional<QHash<platform::FileIdentity, const platform::ContainerObject *>> m_tableByFile;
};

// A container a free table links back to, followed once however many tables
// name it.
struct LinkedContainer {
    platform::LocalPath path;                // empty when the link leads nowhere
    std::shared_ptr<OpenedContainer> opened; // none when missing or unreadable
    QString failure;                         // why it could not be read
};

// The files of one source: a folder of free tables or a container.
class SourceFiles {
public:
    // A folder is listed when first asked; a container is parsed now (throws
    // its reader's Failure). `snapshot`: the folder is listed once and read
    // as that listing found it; otherwise each table list lists it afresh.
    SourceFiles(const QString &path, bool snapshot);
    ~SourceFiles();
    SourceFiles(const SourceFiles &) = delete;
    SourceFiles &operator=(const SourceFiles &) = delete;

    SourceKind kind() const { return m_container ? SourceKind::Container : SourceKind::Folder; }
    // The folder the source's files are named from.
    const platform::LocalPath &folder() const { return m_folder; }
    // A container's model; null for a folder.
    const OpenedContainer *container() const { return m_container.get(); }

    // A folder's tables, in name order.
    const QList<FolderTable> &folderTables();
    // The tables in the order they are listed; views follow the tables.
    QList<TableEntry> entries();

    // The fields of a table or view, names matched case-insensitively, in
    // `columns`' storage. Throws Failure when there is no such table or its
    // file cannot be read.
    TableDescription describe(const QString &name, QList<ColumnDescription> columns);
    // The same key for every spelling of a name that finds the same table.
    QString keyOf(const QString &name) const;

    // The file of that name in the folder, its case as the exact spelling or
    // else any; empty when there is none. Each folder is listed once.
    platform::LocalPath find(const platform::LocalPath &folder, const QString &name);
    // A file of the source, opened read-only as ReadOnlyFile opens it; from
    // the second file on, through the source's folder held open.
    platform::ReadOnlyFile open(const platform::LocalPath &path);
    // One buffer for every table header read, its storage reused.
    QByteArray &headerBuffer();
    // Where a Visual FoxPro table's backlink leads, and the container there.
    const LinkedContainer &linked(const QByteArray &backlink, quint8 codePage);

    // Every file of the source that a report of these tables could touch:
    // each table of the source with the files sharing its name (memo,
    // indexes, backups), the container with its memo and index, and each
    // container these tables link back to.
    QList<platform::LocalPath> filesRead(const QStringList &tables);
    // Those of filesRead that a file with one name only, not named like a
    // FoxPro file, can be: the ones reached through a symbolic link (every
    // other file read is a FoxPro file's own entry). A folder leaves out the
    // containers its tables link back to, which only each table's header
    // names: reading them all would double the cost of a report.
    QList<platform::LocalPath> linksRead(const QStringList &tables);
    // The files the source names but lacks, where they would be: a container
    // table's file, the container a free table of these links back to. A
    // file made there would be taken as the source's.
    QList<platform::LocalPath> filesLacking(const QStringList &tables);

private:
    struct Folder;
    const FolderTable *tableNamed(const QString &name) const;
    platform::LocalPath pathOf(const QString &name) const;
    // The tables of a listing of the folder; the entries themselves are not
    // kept, as a folder may hold tens of thousands of them.
    void takeListing(const QList<platform::FolderEntry> &entries);
    TableDescription describeFolderTable(const QString &name, QList<ColumnDescription> columns);
    template <class Visit>
    void forEachBacklink(const QStringList &tables, Visit visit);

    platform::LocalPath m_folder;
    std::unique_ptr<OpenedContainer> m_container;
    std::unique_ptr<Folder> m_state;
};

} // namespace model
