// The writer core over many generated tables, against a baseline that reads
// the same headers and writes the same bytes with plain buffered output; and
// what a field description costs in containers of different sizes.

#include "model/dataaccess.h"
#include "app/core/errorreport.h"
#include "export/report/fieldcolumns.h"
#include "listselection.h"
#include "export/report/structurereport.h"
#include "export/report/tablelist.h"
#include "xbasewriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace app;
using namespace report;

namespace {

constexpr int tableCount = 2000;
constexpr int fieldsPerTable = 30;

class Silent : public ReportFeedback, public app::ErrorSink {
public:
    int failures = 0;
    void setBusy(bool) override {}
    void letEventsRun() override {}
    void message(const QString &) override {}
    void report(const QString &, int, const QString &) override { ++failures; }
};

xbasewriter::FieldSpec generatedField(int table, int field)
{
    static const char letters[] = {'C', 'N', 'I', 'D', 'L', 'M', 'Y', 'T'};
    const char type = letters[(table + field) % 8];
    const int width = type == 'C' ? 1 + (table * 7 + field * 13) % 120
        : type == 'N'             ? 10
        : type == 'D' || type == 'Y' || type == 'T' ? 8
        : type == 'L'             ? 1
                                  : 4;
    return {QByteArray("F") + QByteArray::number(field).rightJustified(2, '0'), type, width,
            type == 'N' ? 2 : 0, quint8(type == 'I' || type == 'Y' || type == 'T' ? 0x04 : 0)};
}

// A folder of free tables t0000 … t1999, made once.
struct FreeTables {
    QTemporaryDir folder;
    QStringList names;

    FreeTables()
    {
        for (int t = 0; t < tableCount; ++t) {
            xbasewriter::TableSpec layout;
            for (int f = 0; f < fieldsPerTable; ++f)
                layout.fields.append(generatedField(t, f));
            const QString name = QStringLiteral("t%1").arg(t, 4, 10, QLatin1Char('0'));
            xbasewriter::writeTable(folder.filePath(name + QStringLiteral(".dbf")), layout);
            names.append(name);
        }
    }
};

FreeTables &freeTables()
{
    static FreeTables tables;
    return tables;
}

// The baseline: read each header with stdio, name the types the same way and
// write the same lines through one stdio buffer.
std::string baselineTypeText(char letter, int width, quint8 flags)
{
    switch (letter) {
    case 'C':
        return (flags & 0x04) ? std::string("Character (Binary)")
                              : "Character[" + std::to_string(width) + "]";
    case 'N': case 'F': return "Numeric";
    case 'I': return "Integer";
    case 'D': case 'T': return "DateTime";
    case 'L': return "Logical";
    case 'M': return "Memo";
    case 'Y': return "Currency";
    default: return "UserDefined";
    }
}

void baselineLine(std::FILE *out, const std::string &line)
{
    std::fwrite(line.data(), 1, line.size(), out);
    std::fwrite("\r\n", 1, 2, out);
}

bool baselineReport(const std::string &reportPath, const std::string &folder,
                    const std::vector<std::string> &names)
{
    std::FILE *out = std::fopen(reportPath.c_str(), "wb");
    if (!out)
        return false;
    static char buffer[64 * 1024];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
    baselineLine(out, " Printing From " + folder);
    baselineLine(out, "");
    baselineLine(out, "Printing Table Structures:");
    for (size_t i = 0; i < names.size(); ++i)
        baselineLine(out, std::to_string(i + 1) + ") " + names[i]);
    baselineLine(out, "");
    baselineLine(out, "");
    std::vector<unsigned char> header;
    for (const std::string &name : names) {
        std::FILE *table = std::fopen((folder + "/" + name + ".dbf").c_str(), "rb");
        unsigned char head[32];
        if (!table || std::fread(head, 1, 32, table) != 32) {
            if (table)
                std::fclose(table);
            std::fclose(out);
            return false;
        }
        const size_t length = size_t(head[8]) | size_t(head[9]) << 8;
        header.resize(length > 32 ? length - 32 : 0);
        const size_t got = std::fread(header.data(), 1, header.size(), table);
        std::fclose(table);
        std::vector<std::string> lines;
        for (size_t p = 0; p + 32 <= got && header[p] != 0x0D; p += 32) {
            if (header[p + 18] & 0x01)
                continue;
            std::string field(reinterpret_cast<const char *>(&header[p]), 11);
            field.resize(field.find('\0') == std::string::npos ? 11 : field.find('\0'));
            for (char &c : field)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            std::string line = " " + field;
            line.append(field.size() < 22 ? 22 - field.size() : 0, ' ');
            const std::string type = baselineTypeText(char(header[p + 11]), header[p + 16], header[p + 18]);
            line += " " + type;
            line.append(type.size() < 12 ? 12 - type.size() : 0, ' ');
            line += " ";
            lines.push_back(std::move(line));
        }
        baselineLine(out, "Table Name : " + name + "    Total Fields : " + std::to_string(lines.size()));
        baselineLine(out, "");
        baselineLine(out, "Field Name                DataType     Description");
        baselineLine(out, "__________                ________     ___________");
        for (const std::string &line : lines)
            baselineLine(out, line);
        baselineLine(out, "");
        baselineLine(out, "");
    }
    baselineLine(out, "");
    return std::fclose(out) == 0;
}

bool coreReport(const QString &reportPath, FreeTables &tables)
{
    Silent silent;
    ListSelection selection(tables.names);
    return writeStructureReport(reportPath, selection, ReportSource::folder(tables.folder.path()), silent,
                             silent)
        && silent.failures == 0;
}

std::vector<std::string> stdNames(const QStringList &names)
{
    std::vector<std::string> result;
    for (const QString &name : names)
        result.push_back(name.toStdString());
    return result;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void BM_WriterCore(benchmark::State &state)
{
    FreeTables &tables = freeTables();
    const QString path = tables.folder.filePath(QStringLiteral("core.txt"));
    for (auto _ : state) {
        if (!coreReport(path, tables))
            state.SkipWithError("the writer reported a failure");
    }
    state.counters["tables"] = tableCount;
    state.counters["fields"] = tableCount * fieldsPerTable;
}

void BM_Baseline(benchmark::State &state)
{
    FreeTables &tables = freeTables();
    const std::string path = tables.folder.filePath(QStringLiteral("baseline.txt")).toStdString();
    const std::vector<std::string> names = stdNames(tables.names);
    const std::string folder = tables.folder.path().toStdString();
    for (auto _ : state) {
        if (!baselineReport(path, folder, names))
            state.SkipWithError("the baseline could not write");
    }
}

// Both in the same run, alternating; reports their ratio and checks that
// they wrote the same bytes.
void BM_CoreOverBaseline(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    FreeTables &tables = freeTables();
    const QString corePath = tables.folder.filePath(QStringLiteral("core.txt"));
    const QString basePath = tables.folder.filePath(QStringLiteral("baseline.txt"));
    const std::vector<std::string> names = stdNames(tables.names);
    const std::string folder = tables.folder.path().toStdString();
    double core = 0;
    double base = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool coreWritten = coreReport(corePath, tables);
        const auto t1 = Clock::now();
        const bool baseWritten = baselineReport(basePath.toStdString(), folder, names);
        const auto t2 = Clock::now();
        if (!coreWritten || !baseWritten) {
            state.SkipWithError("a report could not be written");
            break;
        }
        core += std::chrono::duration<double>(t1 - t0).count();
        base += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    }
    if (fileBytes(corePath) != fileBytes(basePath))
        state.SkipWithError("the core and the baseline wrote different bytes");
    state.counters["core_ms"] = 1000 * core / double(state.iterations());
    state.counters["baseline_ms"] = 1000 * base / double(state.iterations());
    state.counters["ratio"] = base > 0 ? core / base : 0;
    state.counters["within_2x"] = base > 0 && core / base <= 2.0 ? 1 : 0;
}

// A container of `tables` tables × 40 fields, each field commented.
struct CommentedContainer {
    QTemporaryDir folder;
    QString dbc;
    QStringList tableNames;
    QStringList fieldNames;

    explicit CommentedContainer(int tables)
    {
        xbasewriter::ContainerSpec layout;
        for (int f = 0; f < 40; ++f)
            fieldNames.append(QStringLiteral("described_field_%1").arg(f));
        for (int t = 0; t < tables; ++t) {
            const QString name = QStringLiteral("table%1").arg(t, 4, 10, QLatin1Char('0'));
            xbasewriter::TableSpec table;
            xbasewriter::ContainerTable entry;
            entry.name = name;
            entry.path = name + QStringLiteral(".dbf");
            for (int f = 0; f < 40; ++f) {
                table.fields.append({QByteArray("F") + QByteArray::number(f), 'C', 10});
                xbasewriter::ContainerField field;
                field.name = fieldNames.at(f);
                field.comment = QStringLiteral("Comment of field %1 of %2").arg(f).arg(name);
                entry.fields.append(field);
            }
            table.backlink = "big.dbc";
            xbasewriter::writeTable(folder.filePath(entry.path), table);
            layout.tables.append(entry);
            tableNames.append(name);
        }
        dbc = folder.filePath(QStringLiteral("big.dbc"));
        xbasewriter::writeContainer(dbc, layout);
    }
};

CommentedContainer &container(int tables)
{
    static std::map<int, std::unique_ptr<CommentedContainer>> made;
    auto &slot = made[tables];
    if (!slot)
        slot = std::make_unique<CommentedContainer>(tables);
    return *slot;
}

// Every description of the container, each through its own lookup.
void BM_DescriptionLookup(benchmark::State &state)
{
    CommentedContainer &source = container(int(state.range(0)));
    Silent silent;
    auto connection = model::factory().createConnection();
    connection->Open(ReportSource::containerFile(source.dbc).connectionString);
    qint64 lookups = 0;
    for (auto _ : state) {
        for (const QString &table : source.tableNames) {
            for (const QString &field : source.fieldNames) {
                benchmark::DoNotOptimize(report::fieldDescription(table, field, *connection, silent));
                ++lookups;
            }
        }
    }
    if (silent.failures)
        state.SkipWithError("a description could not be looked up");
    state.counters["per_description"] =
        benchmark::Counter(double(lookups), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The whole report of the container: 40 descriptions per table.
void BM_ContainerReport(benchmark::State &state)
{
    CommentedContainer &source = container(int(state.range(0)));
    const QString path = source.folder.filePath(QStringLiteral("report.txt"));
    Silent silent;
    ListSelection selection(source.tableNames);
    qint64 fields = 0;
    for (auto _ : state) {
        if (!writeStructureReport(path, selection, ReportSource::containerFile(source.dbc), silent, silent))
            state.SkipWithError("the report was not written");
        fields += 40 * source.tableNames.size();
    }
    if (silent.failures)
        state.SkipWithError("the writer reported a failure");
    state.counters["per_field"] =
        benchmark::Counter(double(fields), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_WriterCore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CoreOverBaseline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DescriptionLookup)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContainerReport)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
