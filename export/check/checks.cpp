#include "export/check/checks.h"

#include "export/dictionary/dictionary.h"
#include "model/impliedrelations.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <optional>
#include <vector>

namespace check {

const QList<Rule> &rules()
{
    static const QList<Rule> list = {
        {"read-error", Severity::Error,
         "What could not be read is missing from every document made of the source."},
        {"read-warning", Severity::Warning,
         "The files disagree with each other or with what their format allows, and a program reading them may "
         "take them otherwise."},
        {"no-key", Severity::Warning,
         "Without a primary or candidate key the rows of a table cannot be told apart, and no relation can "
         "point to it."},
        {"nullable-key", Severity::Warning,
         "A key over a field that takes NULL does not identify its row, and SQL refuses it as a primary key."},
        {"unindexed-relation", Severity::Warning,
         "Without an index tag on the child's field, finding a parent's children reads the whole child table."},
        {"name-collision", Severity::Warning,
         "Names equal in their first ten characters become one name in a free table or a dBase copy, which "
         "keeps only ten."},
        {"reserved-word", Severity::Warning,
         "A name that PostgreSQL or SQLite reserves must be quoted wherever a query names it there."},
        {"untranslated-index", Severity::Warning,
         "An index whose expression SQL cannot say is left out of the SQL schemas, and so are the queries it "
         "made fast."},
        {"unreached-table", Severity::Note,
         "A table of a container that no relation reaches, declared or implied, may be left over or be "
         "related only in code."},
        {"memo-candidate", Severity::Note,
         "A character field of the greatest width likely holds text that outgrew it; a memo holds any length."},
        {"undocumented-table", Severity::Note,
         "A table without a comment leaves the next maintainer to guess what it is for."},
        {"undocumented-field", Severity::Note,
         "A field with neither caption nor comment leaves the next maintainer to guess what it holds."},
    };
    return list;
}

const Rule *ruleNamed(const QString &id)
{
    for (const Rule &rule : rules()) {
        if (id == QLatin1String(rule.id))
            return &rule;
    }
    return nullptr;
}

QString severityWord(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return QStringLiteral("error");
    case Severity::Warning:
        return QStringLiteral("warning");
    case Severity::Note:
        break;
    }
    return QStringLiteral("note");
}

int CheckResult::count(Severity severity) const
{
    return int(std::count_if(findings.cbegin(), findings.cend(),
                             [&](const Finding &finding) { return finding.rule->severity == severity; }));
}

int CheckResult::exitStatus() const
{
    return count(Severity::Error) + count(Severity::Warning) > 0 ? 1 : 0;
}

namespace {

// A table's fields by their names (long and short) in any case, looked up
// for each word of its key tags' expressions.
class FieldNames {
public:
    explicit FieldNames(const model::TableModel &table)
    {
        for (qsizetype i = 0; i < table.fields.size(); ++i) {
            const model::FieldModel &field = table.fields[i];
            const QString name = field.name.toCaseFolded();
            m_places[name].append(i);
            if (!field.shortName.isEmpty() && field.shortName.toCaseFolded() != name)
                m_places[field.shortName.toCaseFolded()].append(i);
        }
    }

    // The fields an expression names, by their place in the table, each once.
    QList<qsizetype> in(const QString &expression) const
    {
        static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
        QList<qsizetype> found;
        QSet<qsizetype> seen;
        for (const QRegularExpressionMatch &match : word.globalMatch(expression)) {
            const auto places = m_places.constFind(match.capturedView().toString().toCaseFolded());
            if (places == m_places.constEnd())
                continue;
            for (const qsizetype place : *places) {
                if (!seen.contains(place)) {
                    seen.insert(place);
                    found.append(place);
                }
            }
        }
        return found;
    }

private:
    QHash<QString, QList<qsizetype>> m_places;
};

bool isKey(const model::IndexModel &tag)
{
    return tag.kind == model::TagKind::Primary || tag.kind == model::TagKind::Candidate;
}

// What the rules across tables keep of a table.
struct KeptTable {
    QString name;
    bool indexesKnown = false;
    std::vector<QString> tags; // folded
    std::vector<QString> taggedFields; // folded: a plain tag is on each
};

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

struct Checker::Kept {
    model::SourceModel::Kind kind = model::SourceModel::Kind::Folder;
    bool wholeSource = true;
    QSet<QString> ignored;
    QList<Finding> findings;
    std::vector<KeptTable> tables;
    QStringList unindexed; // tables without a structural index read
    QHash<QString, qsizetype> byName;
    CheckResult result;

    void add(const char *rule, const QString &place, const QString &message)
    {
        if (ignored.contains(QLatin1String(rule)))
            return;
        findings.append({ruleNamed(QLatin1String(rule)), place, message});
    }
};

Checker::Checker(const model::SourceModel &facts, bool wholeSource, QStringList ignored)
    : m_kept(std::make_unique<Kept>())
{
    m_kept->kind = facts.kind;
    m_kept->wholeSource = wholeSource;
    m_kept->result.source = facts.path;
    m_kept->result.ignored = ignored;
    m_kept->ignored = QSet<QString>(ignored.cbegin(), ignored.cend());
}

Checker::~Checker() = default;

void Checker::add(const model::TableModel &table)
{
    Kept &kept = *m_kept;
    const bool container = kept.kind == model::SourceModel::Kind::Container;
    const QString &name = table.name;

    KeptTable held{name, table.indexesKnown, {}, {}};
    bool keyed = false;
    std::optional<FieldNames> fieldNames; // made for the first key tag
    QSet<qsizetype> nullableKeyFields;
    for (const model::IndexModel &tag : table.indexes) {
        held.tags.push_back(tag.name.toCaseFolded());
        if (const std::optional<qsizetype> field = model::plainTagField(table, tag))
            held.taggedFields.push_back(table.fields[*field].name.toCaseFolded());
        if (!isKey(tag))
            continue;
        keyed = true;
        if (!fieldNames)
            fieldNames.emplace(table);
        for (const qsizetype field : fieldNames->in(tag.expression)) {
            if (table.fields[field].nullable && !nullableKeyFields.contains(field)) {
                nullableKeyFields.insert(field);
                kept.add("nullable-key", name + QLatin1Char('.') + table.fields[field].name,
                         QStringLiteral("The field takes NULL, and the %1 key %2 is on it.")
                             .arg(tag.kind == model::TagKind::Primary ? QStringLiteral("primary")
                                                                     : QStringLiteral("candidate"),
                                  quoted(tag.name)));
            }
        }
    }
    // Without a structural index read, the table has no tags, unless one it
    // announces could not be read: the end tells, from the findings.
    if (!keyed && table.indexesKnown)
        kept.add("no-key", name, QStringLiteral("The table has no primary or candidate key."));
    else if (!keyed)
        kept.unindexed.append(name);

    // Names.
    // The names the header holds: a container's long names already have
    // distinct short ones there; dBase 7's own names run to 31 characters.
    QHash<QString, QString> cut;
    for (const model::FieldModel &field : table.fields) {
        const QString &stored = field.shortName.isEmpty() ? field.name : field.shortName;
        const QString ten = stored.left(10).toCaseFolded();
        const auto same = cut.constFind(ten);
        if (same != cut.cend())
            kept.add("name-collision", name + QLatin1Char('.') + field.name,
                     QStringLiteral("Its first ten characters are those of %1.").arg(quoted(*same)));
        else
            cut.insert(ten, field.name);
    }
    const auto reserved = [&](const QString &place, const QString &word, const char *what) {
        const bool postgres = isPostgresReservedWord(word);
        const bool sqlite = isSqliteKeyword(word);
        if (!postgres && !sqlite)
            return;
        kept.add("reserved-word", place,
                 QStringLiteral("The %1 name %2 is a reserved word of %3.")
                     .arg(QLatin1String(what), quoted(word),
                          postgres && sqlite ? QStringLiteral("PostgreSQL and SQLite")
                          : postgres         ? QStringLiteral("PostgreSQL")
                                             : QStringLiteral("SQLite")));
    };
    reserved(name, name, "table");
    for (const model::FieldModel &field : table.fields)
        reserved(name + QLatin1Char('.') + field.name, field.name, "field");

    for (const QString &tag : dictionary::sqlUntranslatedTags(table))
        kept.add("untranslated-index", name,
                 QStringLiteral("The SQL schemas keep the index tag %1 only as a comment.").arg(quoted(tag)));
    for (const model::FieldModel &field : table.fields) {
        if (field.type == 'C' && field.width == 254)
            kept.add("memo-candidate", name + QLatin1Char('.') + field.name,
                     QStringLiteral("A character field of width 254."));
    }

    // Documentation.
    Coverage coverage;
    static_cast<model::Coverage &>(coverage) = model::coverageOf(table);
    coverage.table = name;
    kept.result.tables.append(coverage);
    kept.result.total += coverage;
    QStringList bare;
    for (const model::FieldModel &field : table.fields) {
        if (!model::isDocumented(field))
            bare.append(field.name);
    }
    // A free table holds no comment or caption: only a container's are asked for.
    if (container) {
        if (table.comment.trimmed().isEmpty())
            kept.add("undocumented-table", name, QStringLiteral("The table has no comment."));
        if (!bare.isEmpty())
            kept.add("undocumented-field", name,
                     QStringLiteral("%1 of %2 fields have neither caption nor comment: %3.")
                         .arg(bare.size())
                         .arg(table.fields.size())
                         .arg(bare.join(QStringLiteral(", "))));
    }

    kept.byName.insert(name, qsizetype(kept.tables.size()));
    kept.tables.push_back(std::move(held));
}

CheckResult Checker::finish(const model::SourceModel &rest)
{
    Kept &kept = *m_kept;
    QSet<QString> tagsUnknown;
    for (const model::Finding &finding : rest.findings) {
        kept.add(finding.severity == model::Severity::Error ? "read-error" : "read-warning", finding.place,
                 finding.message);
        if (model::gapOf(finding) == model::ModelGap::Tags)
            tagsUnknown.insert(finding.place);
    }
    for (const QString &table : std::as_const(kept.unindexed)) {
        if (!tagsUnknown.contains(table))
            kept.add("no-key", table, QStringLiteral("The table has no primary or candidate key."));
    }

    std::vector<bool> reached(kept.tables.size());
    const auto reach = [&](const QString &table) {
        const qsizetype at = kept.byName.value(table, -1);
        if (at >= 0)
            reached[size_t(at)] = true;
        return at;
    };
    for (const model::RelationModel &relation : rest.relations) {
        reach(relation.parentTable);
        const qsizetype child = reach(relation.childTable);
        if (child < 0 || !kept.tables[size_t(child)].indexesKnown)
            continue;
        const std::vector<QString> &tags = kept.tables[size_t(child)].tags;
        if (std::find(tags.cbegin(), tags.cend(), relation.childTag.trimmed().toCaseFolded()) == tags.cend())
            kept.add("unindexed-relation", relation.childTable,
                     QStringLiteral("The relation to %1 names the tag %2, which the table does not have.")
                         .arg(quoted(relation.parentTable), quoted(relation.childTag)));
    }
    for (const model::RelationModel &relation : rest.impliedRelations) {
        reach(relation.parentTable);
        reach(relation.childTable);
        if (relation.childTag.isEmpty())
            kept.add("unindexed-relation", relation.childTable + QLatin1Char('.') + relation.childField,
                     QStringLiteral("The field implies a relation to %1, and no index tag is on it alone.")
                         .arg(quoted(relation.parentTable)));
    }
    if (kept.kind == model::SourceModel::Kind::Container && kept.wholeSource) {
        for (size_t i = 0; i < kept.tables.size(); ++i) {
            if (!reached[i])
                kept.add("unreached-table", kept.tables[i].name,
                         QStringLiteral("No relation reaches the table, declared or implied."));
        }
    }

    // Listed by rule, then as met.
    CheckResult result = std::move(kept.result);
    for (const Rule &rule : rules()) {
        for (const Finding &finding : std::as_const(kept.findings)) {
            if (finding.rule == &rule)
                result.findings.append(finding);
        }
    }
    return result;
}

CheckResult checkSource(const QString &path, const QStringList &selection, const QStringList &ignored)
{
    std::unique_ptr<Checker> checker;
    const model::SourceModel rest = model::readSourceModel(
        path, selection,
        [&](const model::SourceModel &facts) {
            checker = std::make_unique<Checker>(facts, selection.isEmpty(), ignored);
        },
        [&](model::TableModel &&table) { checker->add(table); });
    return checker->finish(rest);
}

CheckResult checkModel(const model::SourceModel &source, const QStringList &ignored)
{
    Checker checker(source, true, ignored);
    for (const model::TableModel &table : source.tables)
        checker.add(table);
    return checker.finish(source);
}

} // namespace check
