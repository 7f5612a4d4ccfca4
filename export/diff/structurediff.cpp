#include "export/diff/structurediff.h"

#include "model/properties.h"

#include "export/dictionary/dictionaryload.h"
#include "export/dictionary/dictionarytext.h"
#include "platform/failure.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace diff {

namespace {

using model::FieldModel;
using model::IndexModel;
using model::RelationModel;
using model::SourceModel;
using model::TableModel;
using model::ViewModel;

QString key(const QString &name)
{
    return name.toCaseFolded();
}

// Pairs items of two lists by name, each item used once: first those
// spelled the same at the same index (the usual case, costing no lookup),
// then those spelled the same elsewhere (a folder may hold names equal but
// for case, each a table of its own), then the ones left whose names are
// equal but for case, as FoxPro compares names. Among several candidates the
// i-th left over before goes with the i-th left over after. Gives, for each
// item after, the index of its partner before, or -1.
template <class Item, class Name>
std::vector<qsizetype> pairByName(const QList<Item> &before, const QList<Item> &after, Name name)
{
    std::vector<qsizetype> partner(size_t(after.size()), -1);
    std::vector<bool> taken(size_t(before.size()), false);
    bool allPaired = before.size() == after.size();
    for (qsizetype n = 0; n < qMin(before.size(), after.size()); ++n) {
        if (name(before.at(n)) == name(after.at(n))) {
            partner[size_t(n)] = n;
            taken[size_t(n)] = true;
        } else {
            allPaired = false;
        }
    }
    if (allPaired)
        return partner;
    const auto pairLeftOver = [&](auto keyOf) {
        QHash<QString, QList<qsizetype>> unpaired;
        for (qsizetype i = before.size() - 1; i >= 0; --i) {
            if (!taken[size_t(i)])
                unpaired[keyOf(name(before.at(i)))].append(i);
        }
        for (qsizetype j = 0; j < after.size(); ++j) {
            if (partner[size_t(j)] >= 0)
                continue;
            const auto found = unpaired.find(keyOf(name(after.at(j))));
            if (found != unpaired.end() && !found->isEmpty()) {
                partner[size_t(j)] = found->takeLast();
                taken[size_t(partner[size_t(j)])] = true;
            }
        }
    };
    pairLeftOver([](const QString &spelling) { return spelling; });
    pairLeftOver(key);
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

// The changed properties the difference compares, in their order; `part`
// compares those that are parts of their own.
template <class Model, class Part>
QList<ValueChange> changedValues(const Model &before, const Model &after,
                                 const QList<model::Property<Model>> &properties, Part part)
{
    using Kind = typename model::Property<Model>::Kind;
    Values values;
    for (const model::Property<Model> &property : properties) {
        const char *key = property.key;
        if (property.kind == Kind::Part) {
            part(values, key);
            continue;
        }
        if (property.compared == model::Compared::No)
            continue;
        switch (property.kind) {
        case Kind::Text:
        case Kind::Choice: {
            const auto shown = [&](const Model &side) {
                const QString &text = side.*property.text;
                return text.isEmpty() && property.whenEmpty ? QString::fromLatin1(property.whenEmpty) : text;
            };
            if (property.compared == model::Compared::AsName)
                values.name(key, shown(before), shown(after));
            else
                values.text(key, shown(before), shown(after));
            break;
        }
        case Kind::Number:
            if (model::isPresent(property, before) && model::isPresent(property, after))
                values.number(key, property.value(before), property.value(after));
            break;
        case Kind::Boolean:
            values.boolean(key, property.value(before) != 0, property.value(after) != 0);
            break;
        case Kind::Word:
            values.text(key, QString::fromLatin1(property.words.at(property.value(before))),
                        QString::fromLatin1(property.words.at(property.value(after))));
            break;
        case Kind::Part:
            break;
        }
    }
    return values.take();
}

QList<ValueChange> fieldValues(const model::FieldModel &before, const model::FieldModel &after)
{
    // The type by its name, a change of letter alone too.
    return changedValues(before, after, model::fieldProperties(), [&](Values &values, const char *key) {
        if (before.type != after.type || before.typeName != after.typeName)
            values.text(key, before.typeName, after.typeName);
    });
}

QList<ValueChange> tagValues(const model::IndexModel &before, const model::IndexModel &after)
{
    return changedValues(before, after, model::indexProperties(), [](Values &, const char *) {});
}

QList<ValueChange> tableValues(const model::TableModel &before, const model::TableModel &after)
{
    // Fields and tags are compared item by item, the rest of the parts not at all.
    return changedValues(before, after, model::tableProperties(), [](Values &, const char *) {});
}

QString viewFieldsText(const model::ViewModel &view)
{
    QStringList fields;
    for (const model::ViewFieldModel &field : view.fields)
        fields.append(field.name + QLatin1Char(' ') + field.dataType);
    return fields.join(QStringLiteral(", "));
}

QList<ValueChange> viewValues(const model::ViewModel &before, const model::ViewModel &after)
{
    return changedValues(before, after, model::viewProperties(), [&](Values &values, const char *key) {
        values.name(key, viewFieldsText(before), viewFieldsText(after));
    });
}

QList<ValueChange> relationValues(const model::RelationModel &before, const model::RelationModel &after)
{
    return changedValues(before, after, model::relationProperties(), [](Values &, const char *) {});
}

// Of pairs listed in the new order (each with its old index and whether
// its position number stayed), those outside a longest run whose old order
// rises too: the fewest fields that must have moved for the rest to keep
// their order. Among runs as long, the one keeping most fields at their
// positions, so that a swap moves the two swapped and not a third.
struct PairPlace {
    qsizetype oldIndex;
    bool samePosition;
};

std::vector<bool> movedPairs(const std::vector<PairPlace> &pairs, qsizetype oldCount)
{
    // Best run ending at each pair, as (length, kept in place); a Fenwick
    // tree over old indices gives the best run ending below a given one.
    using Score = std::pair<qsizetype, qsizetype>;
    struct Best {
        Score score{0, 0};
        qsizetype pair = -1;
    };
    std::vector<Best> tree(size_t(oldCount) + 1);
    std::vector<qsizetype> previous(pairs.size(), -1);
    Best overall;
    for (size_t n = 0; n < pairs.size(); ++n) {
        Best below;
        for (qsizetype i = pairs[n].oldIndex; i > 0; i -= i & -i) {
            if (tree[size_t(i)].score > below.score)
                below = tree[size_t(i)];
        }
        previous[n] = below.pair;
        const Best here{{below.score.first + 1, below.score.second + (pairs[n].samePosition ? 1 : 0)}, qsizetype(n)};
        for (qsizetype i = pairs[n].oldIndex + 1; i <= oldCount; i += i & -i) {
            if (here.score > tree[size_t(i)].score)
                tree[size_t(i)] = here;
        }
        if (here.score > overall.score)
            overall = here;
    }
    std::vector<bool> moved(pairs.size(), true);
    for (qsizetype n = overall.pair; n >= 0; n = previous[size_t(n)])
        moved[size_t(n)] = false;
    return moved;
}

QList<FieldChange> fieldChanges(const QList<model::FieldModel> &before, const QList<model::FieldModel> &after)
{
    // Most tables of two sources are the same: one pass tells.
    if (before == after)
        return {};
    std::vector<qsizetype> partner = pairByName(before, after, [](const model::FieldModel &f) { return f.name; });
    std::vector<bool> paired = pairedBefore(before.size(), partner);

    // A field that lost its name and one that took its place and type.
    QHash<std::pair<int, char>, qsizetype> unpairedAt;
    for (qsizetype i = before.size() - 1; i >= 0; --i) {
        if (!paired[size_t(i)])
            unpairedAt.insert({before.at(i).position, before.at(i).type}, i);
    }
    std::vector<bool> renamed(size_t(after.size()), false);
    for (qsizetype j = 0; j < after.size() && !unpairedAt.isEmpty(); ++j) {
        if (partner[size_t(j)] >= 0)
            continue;
        const auto found = unpairedAt.constFind({after.at(j).position, after.at(j).type});
        if (found == unpairedAt.cend())
            continue;
        const qsizetype i = *found;
        unpairedAt.erase(found);
        partner[size_t(j)] = i;
        paired[size_t(i)] = true;
        renamed[size_t(j)] = true;
    }

    std::vector<PairPlace> places;
    for (qsizetype j = 0; j < after.size(); ++j) {
        if (const qsizetype i = partner[size_t(j)]; i >= 0)
            places.push_back({i, before.at(i).position == after.at(j).position});
    }
    const std::vector<bool> moved = movedPairs(places, before.size());

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

// Items paired by name: the new side's in order, added or changed, then
// the old side's left over, removed. `make` builds a change from its kind,
// the item and the values that differ.
template <class Change, class Item, class Name, class ValuesOf, class Make>
QList<Change> listChanges(const QList<Item> &before, const QList<Item> &after, Name name, ValuesOf valuesOf,
                          Make make)
{
    const std::vector<qsizetype> partner = pairByName(before, after, name);
    QList<Change> changes;
    for (qsizetype j = 0; j < after.size(); ++j) {
        const qsizetype i = partner[size_t(j)];
        if (i < 0) {
            changes.append(make(ChangeKind::Added, after.at(j), {}));
        } else {
            QList<ValueChange> values = valuesOf(before.at(i), after.at(j));
            if (!values.isEmpty())
                changes.append(make(ChangeKind::Changed, after.at(j), std::move(values)));
        }
    }
    const std::vector<bool> paired = pairedBefore(before.size(), partner);
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (!paired[size_t(i)])
            changes.append(make(ChangeKind::Removed, before.at(i), {}));
    }
    return changes;
}

QList<TagChange> tagChanges(const QList<model::IndexModel> &before, const QList<model::IndexModel> &after)
{
    return listChanges<TagChange>(before, after, [](const model::IndexModel &tag) { return tag.name; }, tagValues,
                                  [](ChangeKind kind, const model::IndexModel &tag, QList<ValueChange> values) {
                                      return TagChange{kind, tag, std::move(values)};
                                  });
}

// `tagsUnknown…`: that side's structural index was announced but is missing
// or could not be read. A table with no structural index has no tags to know.
TableChange tableChange(const model::TableModel &before, bool tagsUnknownBefore, const model::TableModel &after,
                        bool tagsUnknownAfter)
{
    TableChange change;
    change.name = after.name;
    change.fieldCount = int(after.fields.size());
    change.values = tableValues(before, after);
    change.fields = fieldChanges(before.fields, after.fields);
    change.tagsUnknownBefore = tagsUnknownBefore;
    change.tagsUnknownAfter = tagsUnknownAfter;
    if (!change.tagsUnknownBefore && !change.tagsUnknownAfter)
        change.tags = tagChanges(before.indexes, after.indexes);
    return change;
}

bool differs(const TableChange &change)
{
    return !change.values.isEmpty() || !change.fields.isEmpty() || !change.tags.isEmpty();
}

QString relationKey(const model::RelationModel &relation)
{
    return key(relation.parentTable) + QChar(0) + key(relation.parentTag) + QChar(0) + key(relation.childTable)
        + QChar(0) + key(relation.childTag);
}

QList<ViewChange> viewChanges(const QList<model::ViewModel> &before, const QList<model::ViewModel> &after)
{
    return listChanges<ViewChange>(before, after, [](const model::ViewModel &view) { return view.name; }, viewValues,
                                   [](ChangeKind kind, const model::ViewModel &view, QList<ValueChange> values) {
                                       return ViewChange{kind, view.name, std::move(values)};
                                   });
}

QList<RelationChange> relationChanges(const QList<model::RelationModel> &before, const QList<model::RelationModel> &after)
{
    return listChanges<RelationChange>(before, after, relationKey, relationValues,
                                       [](ChangeKind kind, const model::RelationModel &relation, QList<ValueChange> values) {
                                           return RelationChange{kind, relation, std::move(values)};
                                       });
}

// A side read from a dictionary, a table at a time. The tables its findings
// say could not be read when it was written are listed after the others,
// and cannot be read now either.
class ModelStream : public TableStream {
public:
    using TableAt = std::function<model::TableModel(qsizetype)>;

    // `rest`: the dictionary without its tables; `names`: its tables'.
    ModelStream(model::SourceModel rest, QStringList names, TableAt tableAt)
        : m_rest(std::move(rest)), m_names(std::move(names)), m_tableCount(m_names.size()),
          m_tableAt(std::move(tableAt))
    {
        QSet<QString> described;
        for (const QString &name : std::as_const(m_names))
            described.insert(key(name));
        for (const model::ViewModel &view : std::as_const(m_rest.views))
            described.insert(key(view.name));
        const QString container = m_rest.kind == model::SourceModel::Kind::Container
            ? key(QFileInfo(m_rest.path).fileName()) : QString();
        for (const model::Finding &finding : std::as_const(m_rest.findings)) {
            const QString place = key(finding.place);
            if (const model::ModelGap gap = model::gapOf(finding);
                gap == model::ModelGap::Tags || gap == model::ModelGap::FieldProperties)
                m_gaps.insert(finding.place, {gap, finding.message});
            // An error about a name the document describes nothing of, but the container itself.
            if (finding.severity == model::Severity::Error && !place.isEmpty() && !described.contains(place)
                && place != container) {
                described.insert(place);
                m_names.append(finding.place);
                m_unreadable.append(finding.message);
            }
        }
    }

    const QStringList &tableNames() const override { return m_names; }
    std::optional<model::TableModel> readTable(qsizetype index, QString &failure, QString &tagsUnknown) override
    {
        if (index >= m_tableCount) {
            failure = m_unreadable.at(index - m_tableCount);
            return std::nullopt;
        }
        std::optional<model::TableModel> table;
        try {
            table = m_tableAt(index);
        } catch (const Failure &read) {
            failure = read.description();
            return std::nullopt;
        }
        const auto gap = m_gaps.constFind(table->name);
        if (gap != m_gaps.cend() && gap->first == model::ModelGap::FieldProperties) {
            failure = gap->second;
            return std::nullopt;
        }
        if (gap != m_gaps.cend() && !table->indexesKnown)
            tagsUnknown = gap->second;
        return table;
    }
    model::SourceModel rest() override { return std::move(m_rest); }

private:
    model::SourceModel m_rest;
    QStringList m_names;
    qsizetype m_tableCount; // of m_names, those the dictionary describes
    TableAt m_tableAt;
    QStringList m_unreadable; // why each table after the described ones could not be read
    QHash<QString, std::pair<model::ModelGap, QString>> m_gaps; // by table name: what it lacks, and why
};

// A source read a table at a time.
class ReaderStream : public TableStream {
public:
    // The tables and views the table list shows, as a dictionary of every
    // table holds them, so that a source equals its own dictionary.
    explicit ReaderStream(const QString &path) : m_reader(path)
    {
        const qsizetype tableCount = m_reader.tableNames().size();
        const QStringList names = m_reader.tableNames() + m_reader.viewNames();
        for (const qsizetype i : m_reader.selected(names, {})) {
            if (i < tableCount) {
                m_names.append(names.at(i));
                m_indexes.append(i);
            } else {
                m_views.append(i - tableCount);
            }
        }
    }

    const QStringList &tableNames() const override { return m_names; }
    std::optional<model::TableModel> readTable(qsizetype index, QString &failure, QString &tagsUnknown) override
    {
        const qsizetype known = m_reader.findings().size();
        std::optional<model::TableModel> table = m_reader.readTable(m_indexes.at(index));
        const QList<model::Finding> &findings = m_reader.findings();
        for (qsizetype n = known; n < findings.size(); ++n) {
            const model::Finding &finding = findings.at(n);
            const model::ModelGap gap = model::gapOf(finding);
            if ((!table && finding.severity == model::Severity::Error)
                || gap == model::ModelGap::FieldProperties) {
                if (failure.isEmpty())
                    failure = finding.message;
            } else if (gap == model::ModelGap::Tags) {
                tagsUnknown = finding.message;
            }
        }
        // Fields without their container's names and properties would show
        // changes that are none.
        if (!failure.isEmpty())
            return std::nullopt;
        return table;
    }
    model::SourceModel rest() override { return m_reader.takeRest(m_views); }

private:
    model::SourceReader m_reader;
    QStringList m_names;
    QList<qsizetype> m_indexes; // of each of m_names in the reader's list
    QList<qsizetype> m_views;   // in the reader's list of views
};

TableChange addedOrRemoved(ChangeKind kind, const model::TableModel &table)
{
    return {kind, table.name, int(table.fields.size()), {}, {}, {}, false, false};
}

template <class Item, class Name>
QList<Item> wantedOnly(const QList<Item> &items, const QSet<QString> &wanted, Name name)
{
    if (wanted.isEmpty())
        return items;
    QList<Item> kept;
    for (const Item &item : items) {
        if (wanted.contains(key(name(item))))
            kept.append(item);
    }
    return kept;
}

} // namespace

std::unique_ptr<TableStream> modelStream(model::SourceModel model)
{
    auto tables = std::make_shared<QList<model::TableModel>>(std::move(model.tables));
    model.tables.clear();
    QStringList names;
    for (const model::TableModel &table : std::as_const(*tables))
        names.append(table.name);
    return std::make_unique<ModelStream>(std::move(model), std::move(names),
                                         [tables](qsizetype index) { return tables->at(index); });
}

std::unique_ptr<TableStream> dictionaryStream(const QString &path)
{
    std::shared_ptr<dictionary::DictionaryFile> file = dictionary::openDictionaryFile(path);
    QStringList names = file->tableNames();
    return std::make_unique<ModelStream>(file->takeRest(), std::move(names),
                                         [file](qsizetype index) { return file->table(index); });
}

std::unique_ptr<TableStream> sourceStream(const QString &path)
{
    return std::make_unique<ReaderStream>(path);
}

Comparison compareStreams(TableStream &before, TableStream &after, const QStringList &selection)
{
    Comparison result;
    QSet<QString> wanted;
    for (const QString &name : selection)
        wanted.insert(key(name));
    auto isWanted = [&](const QString &name) { return wanted.isEmpty() || wanted.contains(key(name)); };
    QSet<QString> leftOut; // a table one side could not read is compared on neither

    const QStringList &beforeNames = before.tableNames();
    const QStringList &afterNames = after.tableNames();
    const std::vector<qsizetype> partner = pairByName(beforeNames, afterNames, [](const QString &name) { return name; });
    for (qsizetype j = 0; j < afterNames.size(); ++j) {
        if (!isWanted(afterNames.at(j)))
            continue;
        QString failure;
        QString afterTagsUnknown;
        const std::optional<model::TableModel> table = after.readTable(j, failure, afterTagsUnknown);
        if (!table) {
            result.diff.notCompared.append({NotCompared::Side::After, afterNames.at(j), failure});
            leftOut.insert(key(afterNames.at(j)));
            continue;
        }
        const qsizetype i = partner[size_t(j)];
        if (i < 0) {
            result.diff.tables.append(addedOrRemoved(ChangeKind::Added, *table));
            continue;
        }
        QString beforeTagsUnknown;
        const std::optional<model::TableModel> old = before.readTable(i, failure, beforeTagsUnknown);
        if (!old) {
            result.diff.notCompared.append({NotCompared::Side::Before, beforeNames.at(i), failure});
            leftOut.insert(key(afterNames.at(j)));
            continue;
        }
        if (!beforeTagsUnknown.isEmpty())
            result.diff.tagsNotCompared.append({NotCompared::Side::Before, beforeNames.at(i), beforeTagsUnknown});
        if (!afterTagsUnknown.isEmpty())
            result.diff.tagsNotCompared.append({NotCompared::Side::After, afterNames.at(j), afterTagsUnknown});
        TableChange change = tableChange(*old, !beforeTagsUnknown.isEmpty(), *table, !afterTagsUnknown.isEmpty());
        if (differs(change))
            result.diff.tables.append(std::move(change));
    }
    const std::vector<bool> paired = pairedBefore(beforeNames.size(), partner);
    for (qsizetype i = 0; i < beforeNames.size(); ++i) {
        if (paired[size_t(i)] || !isWanted(beforeNames.at(i)))
            continue;
        QString failure;
        QString tagsUnknown;
        const std::optional<model::TableModel> old = before.readTable(i, failure, tagsUnknown);
        if (!old) {
            result.diff.notCompared.append({NotCompared::Side::Before, beforeNames.at(i), failure});
            leftOut.insert(key(beforeNames.at(i)));
            continue;
        }
        result.diff.tables.append(addedOrRemoved(ChangeKind::Removed, *old));
    }

    const model::SourceModel beforeRest = before.rest();
    const model::SourceModel afterRest = after.rest();
    auto viewName = [](const model::ViewModel &view) { return view.name; };
    result.diff.views = viewChanges(wantedOnly(beforeRest.views, wanted, viewName),
                                    wantedOnly(afterRest.views, wanted, viewName));
    auto kept = [&](const QList<model::RelationModel> &relations) {
        QList<model::RelationModel> kept;
        for (const model::RelationModel &relation : relations) {
            if (isWanted(relation.parentTable) && isWanted(relation.childTable)
                && !leftOut.contains(key(relation.parentTable)) && !leftOut.contains(key(relation.childTable)))
                kept.append(relation);
        }
        return kept;
    };
    result.diff.relations = relationChanges(kept(beforeRest.relations), kept(afterRest.relations));

    QSet<QString> known;
    for (const QStringList *names : {&beforeNames, &afterNames}) {
        for (const QString &name : *names)
            known.insert(key(name));
    }
    for (const model::SourceModel *rest : {&beforeRest, &afterRest}) {
        for (const model::ViewModel &view : rest->views)
            known.insert(key(view.name));
    }
    for (const QString &name : selection) {
        if (!known.contains(key(name)))
            result.unknownNames.append(name);
    }
    return result;
}

} // namespace diff
