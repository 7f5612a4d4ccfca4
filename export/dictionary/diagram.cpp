#include "export/dictionary/diagram.h"

#include "model/impliedrelations.h"
#include "platform/codepage.h"

#include <QHash>
#include <QRegularExpression>

#include <deque>
#include <vector>

namespace dictionary {

namespace {

// What a field's type in a diagram is written from: "Character(40)",
// "Numeric(10,2)", "Integer", the type's name with the width and decimals
// where the field's own width says something.
struct RowType {
    QString typeName;
    char letter = 0;
    int width = 0;
    int decimals = 0;

    QString text() const
    {
        QString type = typeName.isEmpty() ? QString(QChar(static_cast<uchar>(letter))) : typeName;
        switch (letter) {
        case 'C': case 'V': case 'Q':
            return type + QStringLiteral("(%1)").arg(width);
        case 'N': case 'F':
            if (decimals > 0)
                return type + QStringLiteral("(%1,%2)").arg(width).arg(decimals);
            return type + QStringLiteral("(%1)").arg(width);
        default:
            return type;
        }
    }
};

RowType rowType(const model::FieldModel &field)
{
    return {field.typeName, field.type, field.width, field.decimals};
}

// A row as kept for every table: its type's text is made only for a diagram
// that shows it.
struct KeptRow {
    DiagramRow row; // without its type
    RowType type;
    bool tagged = false; // some plain tag is on it: it may join a relation

    DiagramRow shown() const
    {
        DiagramRow whole = row;
        whole.type = type.text();
        return whole;
    }
};

struct KeptTable {
    QString name;
    std::vector<KeptRow> rows;
    qsizetype fieldCount = 0;
    // Each tag's name and the field it is on: a few a table, where a hash's
    // least allocation would outweigh the rest of the table.
    std::vector<std::pair<QString, QString>> tagFields;
    QString fieldOfTag(const QString &tag) const
    {
        for (const auto &[name, field] : tagFields) {
            if (platform::sameName(name, tag))
                return field;
        }
        return QString();
    }
    bool related = false;
};

// A relation with its ends found among the tables kept.
struct Link {
    qsizetype child;
    qsizetype parent;
    QString childField; // empty when unknown
    QString parentField;
    bool implied;
    QString label;
    QString title;
};

QString rulesText(const model::RelationModel &relation)
{
    QStringList rules;
    if (!relation.onUpdate.isEmpty())
        rules.append(QStringLiteral("on update ") + relation.onUpdate);
    if (!relation.onDelete.isEmpty())
        rules.append(QStringLiteral("on delete ") + relation.onDelete);
    if (!relation.onInsert.isEmpty())
        rules.append(QStringLiteral("on insert ") + relation.onInsert);
    return rules.isEmpty() ? QString() : QStringLiteral(" (") + rules.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The field a tag is on, for drawing a relation: the one field its expression
// names, however it wraps it (ALLTRIM(UPPER(customerid))); none when it names
// several or none.
std::optional<qsizetype> fieldOfTag(const model::TableModel &table, const model::IndexModel &tag)
{
    if (const std::optional<qsizetype> plain = model::plainTagField(table, tag))
        return plain;
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    std::optional<qsizetype> found;
    for (const QRegularExpressionMatch &match : word.globalMatch(tag.expression)) {
        const QStringView name = match.capturedView();
        for (qsizetype i = 0; i < table.fields.size(); ++i) {
            const model::FieldModel &field = table.fields[i];
            if (!platform::sameName(name, field.name)
                && (field.shortName.isEmpty() || !platform::sameName(name, field.shortName)))
                continue;
            if (found && *found != i)
                return std::nullopt;
            found = i;
        }
    }
    return found;
}

qsizetype rowNamed(const std::vector<KeptRow> &rows, const QString &name)
{
    if (name.isEmpty())
        return -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (platform::sameName(rows[i].row.name, name))
            return qsizetype(i);
    }
    return -1;
}

qsizetype rowOf(const DiagramBox &box, const QString &field)
{
    for (qsizetype r = 0; r < box.rows.size() && !field.isEmpty(); ++r) {
        if (platform::sameName(box.rows[r].name, field))
            return r;
    }
    return -1;
}

} // namespace

struct DiagramTables::Kept {
    std::deque<KeptTable> tables; // grows a block at a time, never copied whole
    QHash<QString, qsizetype> byName; // exact, else folded
    // Made when a name is first not found exactly: most sources never need it.
    mutable QHash<QString, qsizetype> byFoldedName;
    std::vector<Link> links;
    std::vector<std::vector<size_t>> linksOf; // by table: the links it takes part in
    bool allRows = true;

    qsizetype find(const QString &name) const
    {
        const auto exact = byName.constFind(name);
        if (exact != byName.cend())
            return *exact;
        if (byFoldedName.isEmpty()) {
            for (size_t i = 0; i < tables.size(); ++i)
                byFoldedName.insert(tables[i].name.toCaseFolded(), qsizetype(i));
        }
        return byFoldedName.value(name.toCaseFolded(), -1);
    }

    // Rows that can take part in no relation are let go once the tables are
    // too many for the overview to show every field.
    void keepOnlyJoiningRows()
    {
        allRows = false;
        for (KeptTable &table : tables)
            std::erase_if(table.rows, [](const KeptRow &row) { return !row.tagged && !row.row.key; });
    }

    DiagramBox box(const KeptTable &table, bool everyRow, const std::vector<qsizetype> &wanted = {}) const
    {
        DiagramBox box;
        box.table = table.name;
        box.related = table.related;
        for (size_t i = 0; i < table.rows.size(); ++i) {
            const DiagramRow &row = table.rows[i].row;
            const bool shown = everyRow ? true
                               : wanted.empty() ? row.key || row.foreign
                                                : std::find(wanted.begin(), wanted.end(), qsizetype(i)) != wanted.end();
            if (shown)
                box.rows.append(table.rows[i].shown());
        }
        box.rowsLeftOut = table.fieldCount - box.rows.size();
        return box;
    }
};

DiagramTables::DiagramTables() : m_kept(std::make_unique<Kept>()) {}
DiagramTables::~DiagramTables() = default;
DiagramTables::DiagramTables(DiagramTables &&) noexcept = default;
DiagramTables &DiagramTables::operator=(DiagramTables &&) noexcept = default;

void DiagramTables::add(const model::TableModel &table)
{
    Kept &kept = *m_kept;
    KeptTable added;
    added.name = table.name;
    added.fieldCount = table.fields.size();
    std::vector<bool> tagged(size_t(table.fields.size()));
    std::vector<bool> key(size_t(table.fields.size()));
    std::vector<bool> primary(size_t(table.fields.size()));
    for (const model::IndexModel &tag : table.indexes) {
        const std::optional<qsizetype> field = fieldOfTag(table, tag);
        if (!field)
            continue;
        tagged[size_t(*field)] = true;
        const bool keyTag = tag.filter.trimmed().isEmpty()
            && (tag.kind == model::TagKind::Primary || tag.kind == model::TagKind::Candidate);
        if (keyTag)
            key[size_t(*field)] = true;
        if (keyTag && tag.kind == model::TagKind::Primary)
            primary[size_t(*field)] = true;
        added.tagFields.emplace_back(tag.name, table.fields[*field].name);
    }
    for (qsizetype i = 0; i < table.fields.size(); ++i) {
        if (!kept.allRows && !tagged[size_t(i)])
            continue;
        const model::FieldModel &field = table.fields[i];
        added.rows.push_back(
            {{field.name, QString(), key[size_t(i)], primary[size_t(i)], false}, rowType(field), tagged[size_t(i)]});
    }
    const qsizetype index = qsizetype(kept.tables.size());
    kept.byName.insert(table.name, index);
    kept.byFoldedName.clear();
    kept.tables.push_back(std::move(added));
    if (kept.allRows && qsizetype(kept.tables.size()) > OverviewAllTables)
        kept.keepOnlyJoiningRows();
}

void DiagramTables::relate(const QList<model::RelationModel> &declared, const QList<model::RelationModel> &implied)
{
    Kept &kept = *m_kept;
    kept.linksOf.assign(kept.tables.size(), {});
    const auto link = [&](const model::RelationModel &relation) {
        const qsizetype child = kept.find(relation.childTable);
        const qsizetype parent = kept.find(relation.parentTable);
        if (child < 0 || parent < 0)
            return;
        KeptTable &childTable = kept.tables[size_t(child)];
        KeptTable &parentTable = kept.tables[size_t(parent)];
        Link made{child, parent, QString(), parentTable.fieldOfTag(relation.parentTag),
                  !relation.declared, QString(), QString()};
        made.childField = relation.declared ? childTable.fieldOfTag(relation.childTag)
                                            : relation.childField;
        const QString childEnd = childTable.name + QLatin1Char('.')
            + (made.childField.isEmpty() ? relation.childTag : made.childField);
        const QString parentEnd = parentTable.name + QLatin1Char('.')
            + (made.parentField.isEmpty() ? relation.parentTag : made.parentField);
        if (made.implied) {
            made.label = QStringLiteral("implied: ") + relation.childField;
            made.title = QStringLiteral("Implied, declared nowhere: %1 → %2 (key %3)")
                             .arg(childEnd, parentEnd, relation.parentTag);
        } else {
            made.label = relation.childTag.compare(relation.parentTag, Qt::CaseInsensitive) == 0
                ? relation.childTag
                : relation.childTag + QStringLiteral(" → ") + relation.parentTag;
            made.title = childEnd + QStringLiteral(" → ") + parentEnd + rulesText(relation);
        }
        childTable.related = true;
        parentTable.related = true;
        qsizetype row = rowNamed(childTable.rows, made.childField);
        // Past the tables whose every field is kept, an implied child's field
        // (untagged as a rule) was let go: it has its parent key's type.
        const qsizetype keyRow = rowNamed(parentTable.rows, made.parentField);
        if (row < 0 && made.implied && keyRow >= 0) {
            KeptRow joined = parentTable.rows[size_t(keyRow)];
            joined.row.name = made.childField;
            joined.row.key = false;
            joined.row.primary = false;
            childTable.rows.push_back(joined);
            row = qsizetype(childTable.rows.size()) - 1;
        }
        if (row >= 0)
            childTable.rows[size_t(row)].row.foreign = true;
        kept.linksOf[size_t(child)].push_back(kept.links.size());
        if (parent != child)
            kept.linksOf[size_t(parent)].push_back(kept.links.size());
        kept.links.push_back(std::move(made));
    };
    for (const model::RelationModel &relation : declared)
        link(relation);
    for (const model::RelationModel &relation : implied)
        link(relation);
}

Diagram DiagramTables::overview() const
{
    const Kept &kept = *m_kept;
    Diagram diagram;
    std::vector<qsizetype> boxOf(kept.tables.size(), -1);
    qsizetype related = 0;
    for (const KeptTable &table : kept.tables)
        related += table.related;
    if (!kept.allRows && related > OverviewMostTables) {
        diagram.leftOut = QStringLiteral("No overview: relations reach %1 tables, more than the %2 a diagram shows "
                                         "readably. Each table's section shows its neighbours.")
                              .arg(related)
                              .arg(OverviewMostTables);
        return diagram;
    }
    if (qsizetype(kept.links.size()) > DiagramMostEdges) {
        diagram.leftOut = QStringLiteral("No overview: %1 relations, more than the %2 a diagram shows readably.")
                              .arg(kept.links.size())
                              .arg(DiagramMostEdges);
        return diagram;
    }
    for (size_t i = 0; i < kept.tables.size(); ++i) {
        const KeptTable &table = kept.tables[i];
        if (!kept.allRows && !table.related)
            continue;
        boxOf[i] = diagram.boxes.size();
        diagram.boxes.append(kept.box(table, kept.allRows));
    }
    if (!kept.allRows && related == 0)
        diagram.leftOut = QStringLiteral("No overview: past %1 tables only the related ones are drawn, and no "
                                         "relation joins these %2.")
                              .arg(OverviewAllTables)
                              .arg(kept.tables.size());
    diagram.groupUnrelated = kept.allRows && related > 0 && related < qsizetype(kept.tables.size());
    for (const Link &link : kept.links) {
        const qsizetype child = boxOf[size_t(link.child)];
        const qsizetype parent = boxOf[size_t(link.parent)];
        diagram.edges.append({child, parent, rowOf(diagram.boxes[child], link.childField), rowOf(diagram.boxes[parent], link.parentField),
                              link.implied, link.label, link.title});
    }
    return diagram;
}

std::optional<Diagram> DiagramTables::around(const model::TableModel &table) const
{
    const Kept &kept = *m_kept;
    const qsizetype focus = kept.find(table.name);
    if (focus < 0 || !kept.tables[size_t(focus)].related)
        return std::nullopt;
    Diagram diagram;
    const size_t linkCount = kept.linksOf[size_t(focus)].size();
    if (qsizetype(linkCount) > DiagramMostEdges) {
        diagram.leftOut = QStringLiteral("No diagram: %1 relations reach the table, more than the %2 a diagram shows "
                                         "readably.")
                              .arg(linkCount)
                              .arg(DiagramMostEdges);
        return diagram;
    }
    // The table itself, every field shown and marked as the kept rows mark it.
    DiagramBox own;
    own.table = table.name;
    own.related = true;
    own.focus = true;
    const KeptTable &ownKept = kept.tables[size_t(focus)];
    for (const model::FieldModel &field : table.fields) {
        const qsizetype keptRow = rowNamed(ownKept.rows, field.name);
        DiagramRow row = keptRow >= 0 ? ownKept.rows[size_t(keptRow)].row : DiagramRow{};
        row.name = field.name;
        row.type = rowType(field).text();
        own.rows.append(row);
    }
    diagram.boxes.append(own);
    // Each neighbour once, with the fields its relations join on: only the
    // table's own links are looked at, and only its neighbours are held.
    QHash<qsizetype, qsizetype> boxOf{{focus, 0}};
    QHash<qsizetype, std::vector<qsizetype>> wanted;
    const auto mark = [&](qsizetype table, const QString &field) {
        const qsizetype row = rowNamed(kept.tables[size_t(table)].rows, field);
        if (row >= 0)
            wanted[table].push_back(row);
    };
    std::vector<const Link *> links;
    for (const size_t index : kept.linksOf[size_t(focus)]) {
        const Link &link = kept.links[index];
        links.push_back(&link);
        mark(link.child, link.childField);
        mark(link.parent, link.parentField);
    }
    for (const Link *link : links) {
        for (const qsizetype end : {link->child, link->parent}) {
            if (boxOf.contains(end))
                continue;
            boxOf.insert(end, diagram.boxes.size());
            std::vector<qsizetype> rows = wanted.value(end);
            DiagramBox box = kept.box(kept.tables[size_t(end)], false, rows.empty() ? std::vector<qsizetype>{-1} : rows);
            diagram.boxes.append(box);
        }
    }
    for (const Link *link : links) {
        const qsizetype child = boxOf.value(link->child);
        const qsizetype parent = boxOf.value(link->parent);
        diagram.edges.append({child, parent, rowOf(diagram.boxes[child], link->childField),
                              rowOf(diagram.boxes[parent], link->parentField),
                              link->implied, link->label, link->title});
    }
    return diagram;
}

} // namespace dictionary
