#include "export/structurediff.h"

#include "export/dictionarytext.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <vector>

namespace exporting {

namespace {

using platform::FieldModel;
using platform::IndexModel;
using platform::RelationModel;
using platform::SourceModel;
using platform::TableModel;
using platform::ViewModel;

QString key(const QString &name)
{
    return name.toCaseFolded();
}

// Pairs items of two lists whose names are equal but for case, each item
// used once: first those at the same index (the usual case, costing no
// lookup), then the i-th left over of a name before with the i-th left over
// after. Gives, for each item after, the index of its partner before, or -1.
template <class Item, class Name>
std::vector<qsizetype> pairByName(const QList<Item> &before, const QList<Item> &after, Name name)
{
    std::vector<qsizetype> partner(size_t(after.size()), -1);
    std::vector<bool> taken(size_t(before.size()), false);
    bool allPaired = before.size() == after.size();
    for (qsizetype n = 0; n < qMin(before.size(), after.size()); ++n) {
        if (name(before.at(n)).compare(name(after.at(n)), Qt::CaseInsensitive) == 0) {
            partner[size_t(n)] = n;
            taken[size_t(n)] = true;
        } else {
            allPaired = false;
        }
    }
    if (allPaired)
        return partner;
    QHash<QString, QList<qsizetype>> unpaired;
    for (qsizetype i = before.size() - 1; i >= 0; --i) {
        if (!taken[size_t(i)])
            unpaired[key(name(before.at(i)))].append(i);
    }
    for (qsizetype j = 0; j < after.size(); ++j) {
        if (partner[size_t(j)] >= 0)
            continue;
        const auto found = unpaired.find(key(name(after.at(j))));
        if (found != unpaired.end() && !found->isEmpty())
            partner[size_t(j)] = found->takeLast();
    }
    return partner;
}

// The items before that no item after was paired with.
std::vector<bool> pairedBefore(qsizetype beforeCount, const std::vector<qsizetype> &partner)
{
    std::vector<bool> paired(size_t(beforeCount), false);
    for (const qsizetype i : partner) {
        if (i >= 0)
            paired[size_t(i)] = true;
    }
    return paired;
}

class Values {
public:
    void text(const char *property, const QString &before, const QString &after)
    {
        if (before != after)
            add(property, ValueChange::ValueType::Text, before, after);
    }
    void name(const char *property, const QString &before, const QString &after)
    {
        if (key(before) != key(after))
            add(property, ValueChange::ValueType::Text, before, after);
    }
    void number(const char *property, qint64 before, qint64 after)
    {
        if (before != after)
            add(property, ValueChange::ValueType::Number, QString::number(before), QString::number(after));
    }
    void boolean(const char *property, bool before, bool after)
    {
        if (before != after)
            add(property, ValueChange::ValueType::Boolean, word(before), word(after));
    }
    QList<ValueChange> take() { return std::move(m_values); }

private:
    static QString word(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
    void add(const char *property, ValueChange::ValueType type, const QString &before, const QString &after)
    {
        m_values.append({QString::fromLatin1(property), type, before, after});
    }
    QList<ValueChange> m_values;
};

QList<ValueChange> fieldValues(const FieldModel &before, const FieldModel &after)
{
    Values values;
    if (before.type != after.type || before.typeName != after.typeName)
        values.text("type", before.typeName, after.typeName);
    values.number("width", before.width, after.width);
    values.number("decimals", before.decimals, after.decimals);
    values.boolean("nullable", before.nullable, after.nullable);
    values.boolean("binary", before.binary, after.binary);
    values.boolean("autoIncrement", before.autoIncrement, after.autoIncrement);
    // The next value moves with every record added: only the step is structure.
    if (before.autoIncrement && after.autoIncrement)
        values.number("step", before.step, after.step);
    values.text("defaultValue", before.defaultValue, after.defaultValue);
    values.text("rule", before.rule, after.rule);
    values.text("ruleText", before.ruleText, after.ruleText);
    values.text("caption", before.caption, after.caption);
    values.text("format", before.format, after.format);
    values.text("inputMask", before.inputMask, after.inputMask);
    values.text("comment", before.comment, after.comment);
    return values.take();
}

QString collationOf(const IndexModel &tag)
{
    return tag.collation.isEmpty() ? QStringLiteral("MACHINE") : tag.collation;
}

QList<ValueChange> tagValues(const IndexModel &before, const IndexModel &after)
{
    Values values;
    values.text("expression", before.expression, after.expression);
    values.text("filter", before.filter, after.filter);
    values.text("kind", tagKindWord(before.kind), tagKindWord(after.kind));
    values.boolean("descending", before.descending, after.descending);
    values.text("collation", collationOf(before), collationOf(after));
    return values.take();
}

QList<ValueChange> tableValues(const TableModel &before, const TableModel &after)
{
    Values values;
    values.text("dialect", before.dialect, after.dialect);
    values.text("codePage", before.codePage, after.codePage);
    values.text("comment", before.comment, after.comment);
    values.text("rule", before.rule, after.rule);
    values.text("ruleText", before.ruleText, after.ruleText);
    values.text("insertTrigger", before.insertTrigger, after.insertTrigger);
    values.text("updateTrigger", before.updateTrigger, after.updateTrigger);
    values.text("deleteTrigger", before.deleteTrigger, after.deleteTrigger);
    values.name("primaryKey", before.primaryKey, after.primaryKey);
    return values.take();
}

QString viewFieldsText(const ViewModel &view)
{
    QStringList fields;
    for (const platform::ViewFieldModel &field : view.fields)
        fields.append(field.name + QLatin1Char(' ') + field.dataType);
    return fields.join(QStringLiteral(", "));
}

QList<ValueChange> viewValues(const ViewModel &before, const ViewModel &after)
{
    Values values;
    values.text("sql", before.sql, after.sql);
    values.boolean("remote", before.remote, after.remote);
    values.text("connection", before.connection, after.connection);
    values.text("comment", before.comment, after.comment);
    values.text("fields", viewFieldsText(before), viewFieldsText(after));
    return values.take();
}

QList<ValueChange> relationValues(const RelationModel &before, const RelationModel &after)
{
    Values values;
    values.text("onUpdate", before.onUpdate, after.onUpdate);
    values.text("onDelete", before.onDelete, after.onDelete);
    values.text("onInsert", before.onInsert, after.onInsert);
    return values.take();
}

// Of pairs listed in the new order, those outside a longest run whose old
// order rises too: the fewest fields that must have moved for the rest to
// keep their order.
std::vector<bool> movedPairs(const std::vector<qsizetype> &oldIndexInNewOrder)
{
    const size_t count = oldIndexInNewOrder.size();
    std::vector<size_t> tails;            // positions ending the best run of each length
    std::vector<qsizetype> previous(count, -1);
    for (size_t n = 0; n < count; ++n) {
        const auto place = std::lower_bound(tails.begin(), tails.end(), oldIndexInNewOrder[n],
                                            [&](size_t at, qsizetype value) { return oldIndexInNewOrder[at] < value; });
        if (place != tails.begin())
            previous[n] = qsizetype(*(place - 1));
        if (place == tails.end())
            tails.push_back(n);
        else
            *place = n;
    }
    std::vector<bool> moved(count, true);
    for (qsizetype n = tails.empty() ? -1 : qsizetype(tails.back()); n >= 0; n = previous[size_t(n)])
        moved[size_t(n)] = false;
    return moved;
}

QList<FieldChange> fieldChanges(const QList<FieldModel> &before, const QList<FieldModel> &after)
{
    std::vector<qsizetype> partner = pairByName(before, after, [](const FieldModel &f) { return f.name; });
    std::vector<bool> paired = pairedBefore(before.size(), partner);

    // A field that lost its name and one that took its place and type.
    std::vector<bool> renamed(size_t(after.size()), false);
    for (qsizetype j = 0; j < after.size(); ++j) {
        if (partner[size_t(j)] >= 0)
            continue;
        for (qsizetype i = 0; i < before.size(); ++i) {
            if (!paired[size_t(i)] && before.at(i).position == after.at(j).position
                && before.at(i).type == after.at(j).type) {
                partner[size_t(j)] = i;
                paired[size_t(i)] = true;
                renamed[size_t(j)] = true;
                break;
            }
        }
    }

    std::vector<qsizetype> oldOrder;
    for (const qsizetype i : partner) {
        if (i >= 0)
            oldOrder.push_back(i);
    }
    const std::vector<bool> moved = movedPairs(oldOrder);

    QList<FieldChange> changes;
    qsizetype nextRemoved = 0;
    auto removedUpTo = [&](qsizetype end) {
        for (; nextRemoved < end; ++nextRemoved) {
            if (!paired[size_t(nextRemoved)])
                changes.append({ChangeKind::Removed, before.at(nextRemoved), {}, false, false, {}});
        }
    };
    size_t pairNumber = 0;
    for (qsizetype j = 0; j < after.size(); ++j) {
        const qsizetype i = partner[size_t(j)];
        if (i < 0) {
            changes.append({ChangeKind::Added, after.at(j), {}, false, false, {}});
            continue;
        }
        removedUpTo(qMax(nextRemoved, i));
        QList<ValueChange> values = fieldValues(before.at(i), after.at(j));
        const bool wasMoved = moved[pairNumber++];
        if (renamed[size_t(j)] || wasMoved || !values.isEmpty())
            changes.append({ChangeKind::Changed, after.at(j), before.at(i), renamed[size_t(j)], wasMoved,
                            std::move(values)});
    }
    removedUpTo(before.size());
    return changes;
}

QList<TagChange> tagChanges(const QList<IndexModel> &before, const QList<IndexModel> &after)
{
    const std::vector<qsizetype> partner = pairByName(before, after, [](const IndexModel &t) { return t.name; });
    QList<TagChange> changes;
    for (qsizetype j = 0; j < after.size(); ++j) {
        const qsizetype i = partner[size_t(j)];
        if (i < 0) {
            changes.append({ChangeKind::Added, after.at(j), {}});
        } else {
            QList<ValueChange> values = tagValues(before.at(i), after.at(j));
            if (!values.isEmpty())
                changes.append({ChangeKind::Changed, after.at(j), std::move(values)});
        }
    }
    const std::vector<bool> paired = pairedBefore(before.size(), partner);
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (!paired[size_t(i)])
            changes.append({ChangeKind::Removed, before.at(i), {}});
    }
    return changes;
}

// The tables whose tags are unknown: their structural index was announced
// but is missing, or could not be read (the findings say "tags unknown"). A
// table with no structural index at all has no tags to know.
QSet<QString> tagsUnknown(const SourceModel &source)
{
    QSet<QString> tables;
    for (const platform::Finding &finding : source.findings) {
        if (finding.message.contains(QLatin1String("tags unknown")))
            tables.insert(key(finding.place));
    }
    return tables;
}

TableChange tableChange(const TableModel &before, const QSet<QString> &unknownBefore, const TableModel &after,
                        const QSet<QString> &unknownAfter)
{
    TableChange change;
    change.name = after.name;
    change.fieldCount = int(after.fields.size());
    change.values = tableValues(before, after);
    change.fields = fieldChanges(before.fields, after.fields);
    change.tagsUnknownBefore = !before.indexesKnown && unknownBefore.contains(key(before.name));
    change.tagsUnknownAfter = !after.indexesKnown && unknownAfter.contains(key(after.name));
    if (!change.tagsUnknownBefore && !change.tagsUnknownAfter)
        change.tags = tagChanges(before.indexes, after.indexes);
    return change;
}

bool differs(const TableChange &change)
{
    return !change.values.isEmpty() || !change.fields.isEmpty() || !change.tags.isEmpty()
        || change.tagsUnknownBefore != change.tagsUnknownAfter;
}

QString relationKey(const RelationModel &relation)
{
    return key(relation.parentTable) + QChar(0) + key(relation.parentTag) + QChar(0) + key(relation.childTable)
        + QChar(0) + key(relation.childTag);
}

} // namespace

StructureDiff compareStructures(const SourceModel &before, const SourceModel &after)
{
    StructureDiff diff;
    diff.before = before.path;
    diff.after = after.path;

    const std::vector<qsizetype> tablePartner = pairByName(before.tables, after.tables,
                                                           [](const TableModel &t) { return t.name; });
    const QSet<QString> unknownBefore = tagsUnknown(before);
    const QSet<QString> unknownAfter = tagsUnknown(after);
    for (qsizetype j = 0; j < after.tables.size(); ++j) {
        const TableModel &table = after.tables.at(j);
        const qsizetype i = tablePartner[size_t(j)];
        if (i < 0) {
            diff.tables.append({ChangeKind::Added, table.name, int(table.fields.size()), {}, {}, {}, false, false});
            continue;
        }
        TableChange change = tableChange(before.tables.at(i), unknownBefore, table, unknownAfter);
        if (differs(change))
            diff.tables.append(std::move(change));
    }
    const std::vector<bool> tablePaired = pairedBefore(before.tables.size(), tablePartner);
    for (qsizetype i = 0; i < before.tables.size(); ++i) {
        const TableModel &table = before.tables.at(i);
        if (!tablePaired[size_t(i)])
            diff.tables.append({ChangeKind::Removed, table.name, int(table.fields.size()), {}, {}, {}, false, false});
    }

    const std::vector<qsizetype> viewPartner = pairByName(before.views, after.views,
                                                          [](const ViewModel &v) { return v.name; });
    for (qsizetype j = 0; j < after.views.size(); ++j) {
        const qsizetype i = viewPartner[size_t(j)];
        if (i < 0) {
            diff.views.append({ChangeKind::Added, after.views.at(j).name, {}});
        } else {
            QList<ValueChange> values = viewValues(before.views.at(i), after.views.at(j));
            if (!values.isEmpty())
                diff.views.append({ChangeKind::Changed, after.views.at(j).name, std::move(values)});
        }
    }
    const std::vector<bool> viewPaired = pairedBefore(before.views.size(), viewPartner);
    for (qsizetype i = 0; i < before.views.size(); ++i) {
        if (!viewPaired[size_t(i)])
            diff.views.append({ChangeKind::Removed, before.views.at(i).name, {}});
    }

    const std::vector<qsizetype> relationPartner = pairByName(before.relations, after.relations, relationKey);
    for (qsizetype j = 0; j < after.relations.size(); ++j) {
        const qsizetype i = relationPartner[size_t(j)];
        if (i < 0) {
            diff.relations.append({ChangeKind::Added, after.relations.at(j), {}});
        } else {
            QList<ValueChange> values = relationValues(before.relations.at(i), after.relations.at(j));
            if (!values.isEmpty())
                diff.relations.append({ChangeKind::Changed, after.relations.at(j), std::move(values)});
        }
    }
    const std::vector<bool> relationPaired = pairedBefore(before.relations.size(), relationPartner);
    for (qsizetype i = 0; i < before.relations.size(); ++i) {
        if (!relationPaired[size_t(i)])
            diff.relations.append({ChangeKind::Removed, before.relations.at(i), {}});
    }
    return diff;
}

SourceModel selectedPart(const SourceModel &model, const QStringList &names)
{
    QSet<QString> wanted;
    for (const QString &name : names)
        wanted.insert(key(name));
    SourceModel part = model;
    part.tables.clear();
    part.views.clear();
    part.relations.clear();
    part.findings.clear();
    QSet<QString> tables;
    for (const TableModel &table : model.tables) {
        if (wanted.contains(key(table.name))) {
            part.tables.append(table);
            tables.insert(key(table.name));
        }
    }
    for (const ViewModel &view : model.views) {
        if (wanted.contains(key(view.name)))
            part.views.append(view);
    }
    for (const RelationModel &relation : model.relations) {
        if (tables.contains(key(relation.parentTable)) && tables.contains(key(relation.childTable)))
            part.relations.append(relation);
    }
    for (const platform::Finding &finding : model.findings) {
        if (finding.place.isEmpty() || wanted.contains(key(finding.place)))
            part.findings.append(finding);
    }
    return part;
}

} // namespace exporting
