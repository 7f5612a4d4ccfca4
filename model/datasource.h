#pragma once

#include "model/dataaccess.h"
#include "platform/fileaccess.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace model {

struct ColumnDescription {
    QString name; // lower case; a container's long name where there is one
    int type = 0;
    int size = 0;
    QString description; // the container's field comment; empty for a free table
};

// The fields of one table or view. It is also the catalog's view of that
// table, so a description lookup needs nothing new.
class TableDescription : public model::CatalogTable {
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

// What one connection reads: a folder of free tables or a database container.
// The description in hand is kept (a container's are all kept), so the
// catalog's lookups cost nothing.
class DataSource {
public:
    virtual ~DataSource() = default;

    // Opens the data source a connection string names; within a
    // SourceSnapshot, the one already open for that path. Throws Failure: 202
    // for an empty path, 1 for a missing one, and the container's own errors.
    static std::shared_ptr<DataSource> open(const QString &path);

    // The tables in the order they are listed; views follow the tables.
    virtual QList<TableEntry> tables() = 0;
    // The fields of a table or view, names matched case-insensitively. Throws
    // Failure when there is no such table or its file cannot be read.
    std::shared_ptr<const TableDescription> describe(const QString &name);
    // Every file of the source that a report of these tables could touch:
    // each table of the source with the files sharing its name (memo,
    // indexes, backups), the container with its memo and index, and each
    // container these tables link back to.
    virtual QList<platform::LocalPath> filesRead(const QStringList &tables) = 0;
    // Those of filesRead that a file with one name only, not named like a
    // FoxPro file, can be: the ones reached through a symbolic link (every
    // other file read is a FoxPro file's own entry). A folder leaves out the
    // containers its tables link back to, which only each table's header
    // names: reading them all would double the cost of a report.
    virtual QList<platform::LocalPath> linksRead(const QStringList &tables) { return filesRead(tables); }
    // The files the source names but lacks, where they would be: a container
    // table's file, the container a free table of these links back to. A
    // file made there would be taken as the source's.
    virtual QList<platform::LocalPath> filesLacking(const QStringList &tables) = 0;

protected:
    virtual TableDescription load(const QString &name) = 0;
    // The same key for every spelling of a name that finds the same table.
    virtual QString keyOf(const QString &name) const = 0;
    // Whether every description is kept, or only the one in hand (a folder's
    // tables are many, and a report describes each once).
    virtual bool keepsDescriptions() const { return false; }
    // The columns of the last description when nobody held it any more:
    // storage for load to describe the next table in.
    QList<ColumnDescription> takeSpareColumns();

private:
    QHash<QString, std::shared_ptr<TableDescription>> m_kept;
    QString m_lastKey;
    QString m_lastName; // shares its text with the caller's, so a repeat is one pointer test
    std::shared_ptr<TableDescription> m_last;
    QList<ColumnDescription> m_spareColumns;
};

// While one lives, on its thread, the sources opened for one path are one
// source, read as it was when first read: a folder's tables and links are
// listed once and a container parsed once, however many connections ask for
// them (only filesRead, the full check of a target named like a FoxPro file,
// lists the folder again). A command holds one for its run, which reads the
// source for its names, checks that the report is none of its files and then
// reports it. Without one, as in the windows, each source is read afresh
// whenever it is asked.
class SourceSnapshot {
public:
    SourceSnapshot();
    ~SourceSnapshot();
    SourceSnapshot(const SourceSnapshot &) = delete;
    SourceSnapshot &operator=(const SourceSnapshot &) = delete;

private:
    friend class DataSource;
    SourceSnapshot *m_outer;
    QHash<QString, std::shared_ptr<DataSource>> m_sources; // by path as given
};

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

// The file of the source at `sourcePath` (a folder or a container), as a
// report of `tables` reads it, that `candidate` is, links followed and however
// spelled; none when it is none of them. A report must never be written there.
// A candidate that does not exist yet is the source's when its name is a
// FoxPro file's and it would share its folder and its name up to the
// extension with a file of the source, or one the source names but lacks: a
// memo or an index made there would be taken as the table's own.
std::optional<QString> sourceFileMatching(const QString &sourcePath, const QStringList &tables,
                                          const QString &candidate);

} // namespace model
