#include "model/impliedrelations.h"

#include "platform/codepage.h"
#include "platform/texthash.h"

#include <QSet>

#include <algorithm>
#include <deque>
#include <unordered_set>

namespace model {

std::optional<qsizetype> plainTagField(const TableModel &table, const IndexModel &tag)
{
    if (!tag.filter.trimmed().isEmpty())
        return std::nullopt;
    const QString expression = tag.expression.trimmed();
    for (qsizetype i = 0; i < table.fields.size(); ++i) {
        const FieldModel &field = table.fields[i];
        if (platform::sameName(expression, field.name)
            || (!field.shortName.isEmpty() && platform::sameName(expression, field.shortName)))
            return i;
    }
    return std::nullopt;
}

namespace {

// A field's name folded for case, its type, width and decimals, as one number:
// fields with equal numbers may join.
using Signature = quint64;

struct Key {
    quint32 signature;
    QString tag;
};

struct Tag {
    QString name;
    qsizetype field;
};

// Where a table's fields, keys and plain tags are in the finder's lists.
struct AddedTable {
    QString name;
    size_t firstField = 0;
    size_t fieldCount = 0;
    size_t firstKey = 0; // primary first, then candidates
    size_t keyCount = 0;
    size_t firstTag = 0;
    size_t tagCount = 0;
};

} // namespace

struct ImpliedRelationFinder::Found {
    platform::HashedMap<QString, quint32> foldedNames;
    std::unordered_map<Signature, quint32> signatureNumbers;
    platform::HashedMap<QString, quint32> spellingNumbers;
    std::vector<QString> spellings;
    std::vector<quint32> foldedOfSpelling; // by spelling number
    // Every field of every table is kept, as its signature's number: four
    // bytes a field. Its spelling is the first its signature was met with,
    // but for the fields listed apart, by their place, as spelt otherwise.
    std::vector<quint32> spellingOfSignature; // by signature number
    std::vector<std::pair<size_t, quint32>> otherSpellings; // in the order of the fields
    // Lists that grow a block at a time: however many tables, none is ever
    // copied whole into a larger one.
    std::deque<quint32> fields;
    std::deque<Key> keys;
    std::deque<Tag> plainTags;
    std::deque<AddedTable> tables;

    // A name's case is folded once for each spelling met, not once a field:
    // most sources spell their field names the same way in every table.
    quint32 signature(const FieldModel &field, quint32 spelling)
    {
        const Signature whole = Signature(foldedOfSpelling[spelling]) << 32 | Signature(quint8(field.type)) << 24
            | Signature(quint16(field.width)) << 8 | quint8(field.decimals);
        const auto [found, added] = signatureNumbers.try_emplace(whole, quint32(signatureNumbers.size()));
        if (added)
            spellingOfSignature.push_back(spelling);
        return found->second;
    }

    // The name of the field at `index` as it is spelt.
    const QString &spellingOf(size_t index) const
    {
        const auto other = std::lower_bound(otherSpellings.cbegin(), otherSpellings.cend(),
                                            std::pair<size_t, quint32>(index, 0));
        if (other != otherSpellings.cend() && other->first == index)
            return spellings[other->second];
        return spellings[spellingOfSignature[fields[index]]];
    }

    quint32 spelling(const QString &name)
    {
        const auto [found, added] = spellingNumbers.try_emplace(name, quint32(spellings.size()));
        if (added) {
            spellings.push_back(name);
            const auto folded = foldedNames.try_emplace(name.toCaseFolded(), quint32(foldedNames.size())).first;
            foldedOfSpelling.push_back(folded->second);
        }
        return found->second;
    }
};

ImpliedRelationFinder::ImpliedRelationFinder() : m_found(std::make_unique<Found>()) {}
ImpliedRelationFinder::~ImpliedRelationFinder() = default;
ImpliedRelationFinder::ImpliedRelationFinder(ImpliedRelationFinder &&) noexcept = default;
ImpliedRelationFinder &ImpliedRelationFinder::operator=(ImpliedRelationFinder &&) noexcept = default;

void ImpliedRelationFinder::add(const TableModel &table)
{
    Found &found = *m_found;
    AddedTable added;
    added.name = table.name;
    added.firstField = found.fields.size();
    added.fieldCount = size_t(table.fields.size());
    for (const FieldModel &field : table.fields) {
        const quint32 spelling = found.spelling(field.name);
        const quint32 signature = found.signature(field, spelling);
        if (found.spellingOfSignature[signature] != spelling)
            found.otherSpellings.emplace_back(found.fields.size(), spelling);
        found.fields.push_back(signature);
    }
    added.firstKey = found.keys.size();
    added.firstTag = found.plainTags.size();
    std::vector<Key> primary;
    std::vector<Key> candidates;
    for (const IndexModel &tag : table.indexes) {
        const std::optional<qsizetype> field = plainTagField(table, tag);
        if (!field)
            continue;
        found.plainTags.push_back({tag.name, *field});
        const quint32 signature = found.fields[added.firstField + size_t(*field)];
        if (tag.kind == TagKind::Primary)
            primary.push_back({signature, tag.name});
        else if (tag.kind == TagKind::Candidate)
            candidates.push_back({signature, tag.name});
    }
    // The primary key first (the last, should several tags say so).
    found.keys.insert(found.keys.end(), primary.rbegin(), primary.rend());
    found.keys.insert(found.keys.end(), candidates.begin(), candidates.end());
    added.keyCount = found.keys.size() - added.firstKey;
    added.tagCount = found.plainTags.size() - added.firstTag;
    found.tables.push_back(std::move(added));
}

QList<RelationModel> ImpliedRelationFinder::relations(const QList<RelationModel> &declared) const
{
    const Found &found = *m_found;
    const auto pair = [](const QString &a, const QString &b) { return a + QChar(0) + b; };
    QSet<QString> joined;
    for (const RelationModel &relation : declared) {
        joined.insert(pair(relation.parentTable, relation.childTable));
        joined.insert(pair(relation.childTable, relation.parentTable));
    }
    // The one parent each field's signature joins: a key of one table only,
    // its first tag where it has two on the field. A field that is a key of
    // its own table shares that key, so it joins none.
    std::unordered_map<quint32, std::pair<size_t, const Key *>> parents;
    std::unordered_set<quint32> shared;
    for (size_t t = 0; t < found.tables.size(); ++t) {
        const AddedTable &table = found.tables[t];
        for (size_t k = table.firstKey; k < table.firstKey + table.keyCount; ++k) {
            const Key &key = found.keys[k];
            const auto [parent, added] = parents.try_emplace(key.signature, t, &key);
            if (!added && parent->second.first != t)
                shared.insert(key.signature);
        }
    }
    for (const quint32 signature : shared)
        parents.erase(signature);
    QList<RelationModel> relations;
    if (parents.empty())
        return relations;
    for (size_t c = 0; c < found.tables.size(); ++c) {
        const AddedTable &child = found.tables[c];
        for (size_t i = 0; i < child.fieldCount; ++i) {
            const auto parentOf = parents.find(found.fields[child.firstField + i]);
            if (parentOf == parents.end())
                continue;
            const auto &[p, key] = parentOf->second;
            const AddedTable &parent = found.tables[p];
            if (p == c || joined.contains(pair(parent.name, child.name)))
                continue;
            RelationModel relation;
            relation.parentTable = parent.name;
            relation.parentTag = key->tag;
            relation.childTable = child.name;
            for (size_t t = child.firstTag; t < child.firstTag + child.tagCount; ++t) {
                const Tag &tag = found.plainTags[t];
                if (size_t(tag.field) == i) {
                    relation.childTag = tag.name;
                    break;
                }
            }
            relation.declared = false;
            relation.childField = found.spellingOf(child.firstField + i);
            relations.append(relation);
        }
    }
    return relations;
}

QList<RelationModel> impliedRelations(const QList<TableModel> &tables, const QList<RelationModel> &declared)
{
    ImpliedRelationFinder finder;
    for (const TableModel &table : tables)
        finder.add(table);
    return finder.relations(declared);
}

} // namespace model
