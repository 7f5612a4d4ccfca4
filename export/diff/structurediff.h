#pragma once

// What changed in the structure of a source between two readings of it: the
// tables, fields, index tags, views and relations added, removed and changed.
// Names are compared as FoxPro compares them, ignoring case. Only structure
// counts: record counts, dates of last update, header sizes and the next
// value of an autoincrement counter change with the data and are left out,
// as are the findings about the files' health.

#include "model/sourcemodel.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace diff {

enum class ChangeKind { Added, Removed, Changed };

// One property that differs. `property` is the key the JSON dictionary gives
// it ("width", "caption", "codePage", …). Values are texts: numbers in
// decimal, yes/no properties as "true" and "false" (see ValueType).
struct ValueChange {
    enum class ValueType { Text, Number, Boolean };
    QString property;
    ValueType type = ValueType::Text;
    QString before;
    QString after;
    bool operator==(const ValueChange &) const = default;
};

struct FieldChange {
    ChangeKind kind = ChangeKind::Changed;
    // The field as it is now; as it was for a removed one.
    model::FieldModel field;
    // The field as it was, for a changed one (its name differs on a rename).
    model::FieldModel before;
    // No field of the old name is left and this one took its position and
    // type: possibly the same field renamed, possibly another one.
    bool renamed = false;
    // Its place among the fields it shares with the other side moved (not
    // merely shifted by fields added or removed before it).
    bool moved = false;
    QList<ValueChange> values; // in the JSON dictionary's key order
};

struct TagChange {
    ChangeKind kind = ChangeKind::Changed;
    model::IndexModel tag; // as it is now; as it was for a removed one
    QList<ValueChange> values;
};

struct TableChange {
    ChangeKind kind = ChangeKind::Changed;
    QString name;        // as the new side spells it; the old side's for a removed table
    int fieldCount = 0;  // as the table is now; as it was for a removed one
    QList<ValueChange> values;
    QList<FieldChange> fields; // in the new side's field order, removed ones where they were
    QList<TagChange> tags;     // the new side's creation order, then the removed ones
    // A side whose structural index could not be read: its tags were not compared.
    bool tagsUnknownBefore = false;
    bool tagsUnknownAfter = false;
};

struct ViewChange {
    ChangeKind kind = ChangeKind::Changed;
    QString name;
    QList<ValueChange> values;
};

struct RelationChange {
    ChangeKind kind = ChangeKind::Changed;
    model::RelationModel relation; // as it is now; as it was for a removed one
    QList<ValueChange> values;
};

// A table that one side could not read, or read without its container's
// field names and properties: compared on neither side, so never reported
// as added or removed.
struct NotCompared {
    enum class Side { Before, After };
    Side side = Side::Before;
    QString table;
    QString reason; // what the reader found
};

struct StructureDiff {
    QString before; // the old source or dictionary, as given
    QString after;
    QList<TableChange> tables; // the new side's order, removed ones after
    QList<ViewChange> views;
    QList<RelationChange> relations;
    QList<NotCompared> notCompared;
    // Tables compared without their index tags, and why: their structural
    // index is announced but missing or unreadable on that side.
    QList<NotCompared> tagsNotCompared;

    // No change found (what was not compared aside).
    bool isEmpty() const { return tables.isEmpty() && views.isEmpty() && relations.isEmpty(); }
    bool isComplete() const { return notCompared.isEmpty() && tagsNotCompared.isEmpty(); }
};

// One side of a comparison, read a table at a time so that a large source
// is never held whole.
class TableStream {
public:
    virtual ~TableStream() = default;
    // Every table the side lists, those that cannot be read too.
    virtual const QStringList &tableNames() const = 0;
    // The table at `index` of tableNames, or none with `failure` saying why
    // (it cannot be read, or its fields lack the container's names and
    // properties); `tagsUnknown` says why its tags are not known when its
    // structural index is announced but missing or unreadable. Each table is
    // asked for at most once.
    virtual std::optional<model::TableModel> readTable(qsizetype index, QString &failure, QString &tagsUnknown) = 0;
    // The side without its tables (views, relations, findings), once the
    // tables are done.
    virtual model::SourceModel rest() = 0;
};

// A side held whole (a dictionary read back): the tables its findings say
// could not be read when it was written cannot be read now either.
std::unique_ptr<TableStream> modelStream(model::SourceModel model);
// The same for a JSON dictionary file, read a table at a time. Throws
// Failure as openDictionaryFile does.
std::unique_ptr<TableStream> dictionaryStream(const QString &path);
// A folder or a container, read as readSourceModel reads it. Throws Failure
// when the source itself cannot be opened.
std::unique_ptr<TableStream> sourceStream(const QString &path);

struct Comparison {
    StructureDiff diff;
    QStringList unknownNames; // names in the selection that neither side has
};

// The difference from `before` to `after`, limited to the tables and views
// `selection` names (case-insensitively; none: all) and the relations among
// those tables.
Comparison compareStreams(TableStream &before, TableStream &after, const QStringList &selection);

// The structure difference in each format orvalle-report writes it. Text and
// Markdown read as a change list; the JSON is described in docs/diff-json.md.
// Every writer keeps text from the files from breaking its structure.
inline constexpr const char *DiffFormatName = "orvalle-diff";
inline constexpr int DiffFormatVersion = 1;

QByteArray diffText(const StructureDiff &diff);
QByteArray diffMarkdown(const StructureDiff &diff);
QByteArray diffHtml(const StructureDiff &diff);
QByteArray diffJson(const StructureDiff &diff);

// The same handed to `sink` a block at a time as it is written, so that no
// copy of the document, nor of a large value in it, is held.
using DiffSink = std::function<void(QByteArrayView)>;
void writeDiffText(const StructureDiff &diff, const DiffSink &sink);
void writeDiffMarkdown(const StructureDiff &diff, const DiffSink &sink);
void writeDiffHtml(const StructureDiff &diff, const DiffSink &sink);
void writeDiffJson(const StructureDiff &diff, const DiffSink &sink);

} // namespace diff
