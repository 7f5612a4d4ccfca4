// The SQL schemas of a table with ten thousand index tags, all of one name
// against all of distinct names: making names unique must not cost more for
// the first. Reported as the ratio of their medians.

#include "export/dictionary/dictionary.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr int tagCount = 10000;

model::SourceModel manyTags(bool oneName)
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
        tag.name = oneName ? QStringLiteral("ID") : QStringLiteral("ID%1").arg(i);
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
    const model::SourceModel source = manyTags(state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(dictionary::postgresSchema(source));
    state.SetLabel(state.range(0) ? "one name" : "distinct names");
}

// Alternating runs of both, so the machine's moods fall on both alike.
void BM_OneNameOverDistinct(benchmark::State &state)
{
    const model::SourceModel same = manyTags(true);
    const model::SourceModel distinct = manyTags(false);
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
}

} // namespace

BENCHMARK(BM_PostgresTags)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneNameOverDistinct)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
