#pragma once

// Everything a source's files say about its structure, read from table
// headers, memo files, the container and index files, with no record data.

#include "platform/fileaccess.h"
#include "platform/indexfile.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include <memory>
#include <optional>

namespace model {

class SourceFiles;
class TableDescription;
struct TableEntry;

struct FieldModel {
    int position = 0;    // 1-based among the fields a user sees (system fields excluded)
    QString name;        // the long name where the container has one, else the table's
    QString shortName;   // the name in the table's header, when it differs from name
    char type = 0;       // the type letter as stored
    QString typeName;    // "Character", "Numeric", … (fieldTypeName)
    int width = 0;
    int decimals = 0;
    bool nullable = false;
    bool binary = false; // no code-page translation
    bool autoIncrement = false;
    qint64 nextValue = 0; // autoincrement only
    int step = 0;         // autoincrement only
    QString defaultValue; // FoxPro expression text
    QString rule;
    QString ruleText;
    QString caption;
    QString format;
    QString inputMask;
    QString comment;

    bool operator==(const FieldModel &) const = default;
};

enum class TagKind { Primary, Candidate, Unique, Regular };

struct IndexModel {
    QString name;
    QString expression;
    QString filter;
    TagKind kind = TagKind::Regular;
    bool descending = false;
    QString collation; // "MACHINE" when the file names none

    bool operator==(const IndexModel &) const = default;
};

struct MemoModel {
    QString file;      // relative to the source's folder
    int blockSize = 0; // 0 when the file is missing or unreadable
    bool present = false;

    bool operator==(const MemoModel &) const = default;
};

struct TableModel {
    QString name;
    QString file;     // the .dbf relative to the source's folder
    QString dialect;  // "dBase III", "Visual FoxPro", … (dialectName)
    quint8 version = 0;
    quint8 codePageMark = 0;
    QString codePage; // "1252 (Windows ANSI)", … empty when the mark is 0
    quint32 recordCount = 0;
    std::optional<QDate> lastUpdate; // none when the header's date is not a date
    int headerLength = 0;
    int recordLength = 0;
    std::optional<MemoModel> memo; // when the table has memo fields or says it has a memo file
    QString comment;
    QString rule;
    QString ruleText;
    QString insertTrigger;
    QString updateTrigger;
    QString deleteTrigger;
    QString primaryKey; // the primary tag's name, as the container stores it
    QList<FieldModel> fields;
    QList<IndexModel> indexes; // in creation order
    bool indexesKnown = false; // a structural index was read

    bool operator==(const TableModel &) const = default;
};

struct ViewFieldModel {
    QString name;
    QString dataType; // as the container stores it, e.g. "C(40)"
    QString comment;

    bool operator==(const ViewFieldModel &) const = default;
};

struct ViewModel {
    QString name;
    QString sql;
    bool remote = false;
    QString connection; // remote views only
    QString comment;
    QList<ViewFieldModel> fields;

    bool operator==(const ViewModel &) const = default;
};

struct RelationModel {
    QString parentTable;
    QString parentTag;
    QString childTable;
    QString childTag;
    // Referential integrity, one word each: "cascade", "restrict", "ignore", or empty.
    QString onUpdate;
    QString onDelete;
    QString onInsert;
    // Whether the container declares it; one that the tables' names and keys
    // only imply (impliedRelations) joins on childField, the field of the
    // child named as the parent's key field, and has no rules.
    bool declared = true;
    QString childField;

    bool operator==(const RelationModel &) const = default;
};

enum class Severity { Warning, Error };

struct Finding {
    Severity severity = Severity::Warning;
    QString place;   // the table (or file) the finding is about, named exactly; empty for the whole source
    QString message; // one line

    bool operator==(const Finding &) const = default;
};

struct SourceModel {
    enum class Kind { Folder, Container };
    Kind kind = Kind::Folder;
    QString path;    // as given
    QString comment; // the container's
    quint8 codePageMark = 0; // the container's
    QList<TableModel> tables;
    QList<ViewModel> views;
    QList<RelationModel> relations; // declared by the container
    QList<RelationModel> impliedRelations; // never declared, kept apart (impliedrelations.h)
    QList<Finding> findings;

    bool operator==(const SourceModel &) const = default;
};

// The source's own facts (its kind, path, comment and code page), without
// its tables, views, relations or findings.
SourceModel sourceFacts(const SourceModel &source);

// Names a user reads: "Character", "Numeric", "DateTime", … for a type letter
// ("Unknown (X)" for a letter no dialect defines, "Unknown (0xNN)" for a byte
// that is no letter); "dBase III", "FoxPro 2.x", "Visual FoxPro", … for a
// version byte ("Unknown (0xNN)" for another); "1252 (Windows ANSI)", … for a
// code page mark (empty for 0, "mark 0xNN" for one no table should carry).
// A type name never says "binary": FieldModel::binary does.
QString fieldTypeName(char letter);
// The same within a dialect: "B" is a Double in Visual FoxPro and a binary
// memo ("Binary") in dBase; "V" outside Visual FoxPro is a Clipper "Variant".
QString fieldTypeName(char letter, quint8 version);
QString dialectName(quint8 version);
// Whether the name is FoxPro's resource table, "foxuser" spelt exactly so,
// which FoxPro keeps beside the data and the table list leaves out.
bool isResourceTable(const QString &name);
QString codePageName(quint8 mark);

// Reads the structure of the source at path (a folder of free tables or a
// .dbc). An empty selection means every table and view the table list shows
// (FoxPro's resource table left out); otherwise only those named (exactly,
// else case-insensitively), in the order the source lists them. Throws
// Failure when the source itself cannot be opened (a missing path, a folder
// that cannot be listed, a container that cannot be read).
//
// Everything else wrong becomes a finding and the reading goes on:
// - a table whose file is missing or whose header cannot be read is an Error
//   and is left out of tables, with the relations it takes part in;
// - a table that reads is kept with what is known, whatever else is wrong
//   with it: a record length that disagrees with the field widths (Error), a
//   memo file missing for its memo fields (Error) or unreadable (Error), an
//   index file that cannot be read (Error, indexesKnown stays false), a
//   structural index announced with no .cdx beside it (Warning: tags
//   unknown), a container whose field count differs from the table's (Error:
//   the fields are the table's own, without the container's names and
//   properties), a container that a free table names but that is missing,
//   unreadable or does not list it (Warning: read as a free table);
// - in a folder, tables whose file names differ only in case (Warning);
// - a selected name that is no table or view of the source (Error);
// - container records whose properties cannot be read (Error, left empty);
// - a relation whose parent the container does not hold (Warning, left out).
// Relations are those whose parent and child are both among tables, and so
// are the implied relations (impliedrelations.h) found among them.
SourceModel readSourceModel(const QString &path, const QStringList &selection = {});
// What a document lists before its first table: the source's facts with the
// chosen views and the relations among the tables read (but no tables), and
// the names of those tables in order.
struct SourceOutline {
    SourceModel facts;
    QStringList tables;
};

// The same reading handed over a table at a time, so that no more than one
// table is held: `begin` gets the source's own facts before any table is
// read, `table` each table as it is read. Returns the source without its
// tables.
SourceModel readSourceModel(const QString &path, const QStringList &selection,
                            const std::function<void(const SourceModel &facts)> &begin,
                            const std::function<void(TableModel &&table)> &table);

// What a finding about a table says its model lacks: its index tags (the
// structural index it announces is missing or cannot be read), its fields'
// names and properties from the container (the container lists another
// number of fields), or the whole table (left out: its file is missing or
// cannot be read). Findings in a dictionary read back say the same.
enum class ModelGap { None, Tags, FieldProperties, Table };
ModelGap gapOf(const Finding &finding);

// The same reading in steps, so a caller can hold one table at a time: the
// source is listed when the reader is made, each table is read when asked
// for, and the rest (the source's facts, its views, the relations among the
// tables read, every finding) is taken at the end.
class SourceReader {
public:
    // Throws Failure as readSourceModel does.
    explicit SourceReader(const QString &path);
    ~SourceReader();
    SourceReader(const SourceReader &) = delete;
    SourceReader &operator=(const SourceReader &) = delete;

    // In the source's order; a folder has no views.
    const QStringList &tableNames() const;
    const QStringList &viewNames() const;
    // The table at `index` of tableNames; none when it cannot be read, with
    // a finding (an Error) naming it.
    std::optional<TableModel> readTable(qsizetype index);
    const QList<Finding> &findings() const;
    // The source's own facts: its kind, path, comment and code page.
    SourceModel facts() const;
    // The positions in `names` a selection keeps, as readSourceModel keeps
    // them; a name matching none gives an Error finding.
    QList<qsizetype> selected(const QStringList &names, const QStringList &selection);
    // The model without tables: the views at `views` (positions in
    // viewNames), the relations declared and implied among the tables read,
    // the findings. Once.
    SourceModel takeRest(const QList<qsizetype> &views);

    // The reader the data access objects read through: within a
    // SourceSnapshot, the one already open for that path; otherwise a new
    // one, whose table list lists a folder afresh each time. Nothing is
    // listed before it is asked for. Throws Failure: 202 for an empty path,
    // 1 for a missing one, and the container's own errors.
    static std::shared_ptr<SourceReader> open(const QString &path);
    // The tables in the order they are listed; views follow the tables.
    QList<TableEntry> entries();
    // The fields of a table or view as the data access objects show them,
    // names matched case-insensitively. Throws Failure when there is no such
    // table or its file cannot be read.
    std::shared_ptr<const TableDescription> describe(const QString &name);
    // The source's files, for checking that a report is none of them.
    SourceFiles &files();

private:
    struct Access {};
    SourceReader(const QString &path, bool snapshot, Access);
    static std::shared_ptr<SourceFiles> filesFor(const QString &path);

    struct Reading;
    std::unique_ptr<Reading> m_reading;
};

// While one lives, on its thread, the readers opened for one path are one
// reader, and the source is read as it was when first read: a folder's
// tables and links are listed once and a container parsed once, however
// many connections ask for them (only filesRead, the full check of a target
// named like a FoxPro file, lists the folder again). A command holds one for
// its run, which reads the source for its names, checks that the report is
// none of its files and then reports it. Without one, as in the windows,
// each source is read afresh whenever it is asked.
class SourceSnapshot {
public:
    SourceSnapshot();
    ~SourceSnapshot();
    SourceSnapshot(const SourceSnapshot &) = delete;
    SourceSnapshot &operator=(const SourceSnapshot &) = delete;

private:
    friend class SourceReader;
    SourceSnapshot *m_outer;
    QHash<QString, std::shared_ptr<SourceReader>> m_readers; // by path as given
};

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

// Texts and numbers only: a list of them grows in place rather than by copies.
Q_DECLARE_TYPEINFO(model::FieldModel, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(model::IndexModel, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(model::ViewFieldModel, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(model::RelationModel, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(model::Finding, Q_RELOCATABLE_TYPE);
