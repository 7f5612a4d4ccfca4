#pragma once

// Relations that the tables' names and keys imply where the container
// declares none: most FoxPro applications kept their tables free or set their
// relations in code. A table whose primary or candidate key is one plain
// field (a tag without a filter whose expression is the field's name) is the
// parent of every other table that has a field of the same name (equal but
// for case, the long name where the container gives one), type, width and
// decimals, unless a declared relation already joins the two tables. A key
// that several tables share implies nothing (which of them would be the
// parent?), and so neither does a field that is itself a one-field key of its
// own table: tables keyed on one name would each be the parent of all the
// others. So a field implies one relation at most, and a source of any size
// no more relations than it has fields.

#include "model/sourcemodel.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

namespace model {

// The tag of `table` whose expression is nothing but one of its fields, with
// no filter: the position of that field in table.fields; none otherwise.
std::optional<qsizetype> plainTagField(const TableModel &table, const IndexModel &tag);

// Finds them over tables handed over one at a time, keeping of each only what
// the finding needs (its keys, and a number for each field's name and type),
// so a reading of any size can find them after its last table.
class ImpliedRelationFinder {
public:
    ImpliedRelationFinder();
    ~ImpliedRelationFinder();
    ImpliedRelationFinder(ImpliedRelationFinder &&) noexcept;
    ImpliedRelationFinder &operator=(ImpliedRelationFinder &&) noexcept;

    void add(const TableModel &table);
    // Every relation implied among the tables added, by child in the order
    // added, then by the child's field, then by parent; with declared == false.
    QList<RelationModel> relations(const QList<RelationModel> &declared) const;

private:
    struct Found;
    std::unique_ptr<Found> m_found;
};

QList<RelationModel> impliedRelations(const QList<TableModel> &tables, const QList<RelationModel> &declared);

} // namespace model
