// The SQL schemas of a table with ten thousand index tags, all of one name,
// or of names alike in PostgreSQL's first 63 bytes, against all of distinct
// names: making names unique must not cost more for the first two. Reported
// as the ratio of their medians.
//
// The HTML dictionary of a container of 200 tables and 300 relations, with
// its diagrams (the overview and one for each table, laid out by Graphviz),
// against the same tables without their relations, whose page draws none.

#include "export/dictionary/dictionary.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr int tagCount = 10000;

// How the tags are named: each its own name, all one name, or names that
// differ only past PostgreSQL's 63 bytes.
enum TagNames { Distinct, OneName, AlikeIn63Bytes };

model::SourceModel manyTags(int names)
{
    model::TableModel table;
    table.name = QStringLiteral("t");
    table.version = 0x30;
    model::FieldModel field;
    field.position = 1;
    field.name = QStringLiteral("id");
    field.type = 'I';
    field.typeName = QStringLiteral("Integer");
    field.width = 4;
    table.fields = {field};
    for (int i = 0; i < tagCount; ++i) {
        model::IndexModel tag;
        tag.name = names == OneName       ? QStringLiteral("ID")
            : names == AlikeIn63Bytes ? QString(70, QLatin1Char('A')) + QString::number(i)
                                      : QStringLiteral("ID%1").arg(i);
        tag.expression = QStringLiteral("id");
        tag.kind = i % 2 ? model::TagKind::Candidate : model::TagKind::Regular;
        tag.collation = QStringLiteral("MACHINE");
        table.indexes.append(tag);
    }
    table.indexesKnown = true;
    model::SourceModel source;
    source.path = QStringLiteral("/data");
    source.tables = {table};
    return source;
}

double secondsFor(const model::SourceModel &source)
{
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(dictionary::postgresSchema(source));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PostgresTags(benchmark::State &state)
{
    const model::SourceModel source = manyTags(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(dictionary::postgresSchema(source));
    const char *labels[] = {"distinct names", "one name", "alike in 63 bytes"};
    state.SetLabel(labels[state.range(0)]);
}

// Alternating runs of both, so the machine's moods fall on both alike.
void BM_OneNameOverDistinct(benchmark::State &state)
{
    const model::SourceModel same = manyTags(int(state.range(0)));
    const model::SourceModel distinct = manyTags(Distinct);
    std::vector<double> sameTimes;
    std::vector<double> distinctTimes;
    for (auto _ : state) {
        sameTimes.push_back(secondsFor(same));
        distinctTimes.push_back(secondsFor(distinct));
        state.SetIterationTime(sameTimes.back());
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    state.counters["ratio"] = median(sameTimes) / median(distinctTimes);
    state.SetLabel(state.range(0) == OneName ? "one name" : "alike in 63 bytes");
}

// 200 tables of eight fields, each keyed on its id; table i refers to tables
// i-1, i-7 and i-31 where there are such (300 relations in all).
model::SourceModel relatedTables(bool withRelations)
{
    constexpr int tables = 200;
    model::SourceModel source;
    source.kind = model::SourceModel::Kind::Container;
    source.path = QStringLiteral("/data/shop.dbc");
    const auto field = [](int position, const QString &name, char type, const QString &typeName, int width) {
        model::FieldModel f;
        f.position = position;
        f.name = name;
        f.type = type;
        f.typeName = typeName;
        f.width = width;
        return f;
    };
    const int steps[] = {1, 7, 31};
    for (int i = 0; i < tables; ++i) {
        model::TableModel table;
        table.name = QStringLiteral("table%1").arg(i);
        table.file = table.name + QStringLiteral(".dbf");
        table.version = 0x30;
        table.fields.append(field(1, QStringLiteral("id"), 'I', QStringLiteral("Integer"), 4));
        model::IndexModel key;
        key.name = QStringLiteral("ID");
        key.expression = QStringLiteral("id");
        key.kind = model::TagKind::Primary;
        key.collation = QStringLiteral("MACHINE");
        table.indexes.append(key);
        for (int s = 0; s < 3; ++s) {
            const QString name = QStringLiteral("ref%1").arg(s);
            table.fields.append(field(2 + s, name, 'I', QStringLiteral("Integer"), 4));
            model::IndexModel tag = key;
            tag.name = name.toUpper();
            tag.expression = name;
            tag.kind = model::TagKind::Regular;
            table.indexes.append(tag);
            if (withRelations && i >= steps[s] && source.relations.size() < 300) {
                model::RelationModel relation;
                relation.parentTable = QStringLiteral("table%1").arg(i - steps[s]);
                relation.parentTag = QStringLiteral("ID");
                relation.childTable = table.name;
                relation.childTag = tag.name;
                relation.onDelete = QStringLiteral("restrict");
                source.relations.append(relation);
            }
        }
        for (int f = 5; f <= 8; ++f)
            table.fields.append(field(f, QStringLiteral("text%1").arg(f), 'C', QStringLiteral("Character"), 40));
        table.indexesKnown = true;
        source.tables.append(table);
    }
    return source;
}

double htmlSeconds(const model::SourceModel &source)
{
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(dictionary::htmlDictionary(source));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_DiagramsOverPage(benchmark::State &state)
{
    const model::SourceModel drawn = relatedTables(true);
    const model::SourceModel plain = relatedTables(false);
    std::vector<double> drawnTimes;
    std::vector<double> plainTimes;
    for (auto _ : state) {
        drawnTimes.push_back(htmlSeconds(drawn));
        plainTimes.push_back(htmlSeconds(plain));
        state.SetIterationTime(drawnTimes.back());
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    state.counters["relations"] = double(drawn.relations.size());
    state.counters["plain_ms"] = median(plainTimes) * 1000;
    state.counters["ratio"] = median(drawnTimes) / median(plainTimes);
}

} // namespace

BENCHMARK(BM_DiagramsOverPage)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostgresTags)->Arg(Distinct)->Arg(OneName)->Arg(AlikeIn63Bytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneNameOverDistinct)->Arg(OneName)->Arg(AlikeIn63Bytes)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
