// Listing and describing tables through the data access objects, against a
// baseline that only opens, reads and closes each header; what a missing
// container and a property memo shared by many records cost.

#include "model/dataaccess.h"
#include "xbasewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace xbasewriter;

namespace {

QString folderString(const QString &folder)
{
    return QStringLiteral("Provider=vfpoledb.1;Data Source=") + folder + QStringLiteral(";Collating Sequence=general;");
}

QString containerString(const QString &dbc)
{
    return QStringLiteral("Provider=vfpoledb.1;Data Source=") + dbc + QStringLiteral(";Collating Sequence=machine;");
}

TableSpec thirtyFields()
{
    TableSpec layout;
    const char letters[] = {'C', 'N', 'I', 'D', 'M', 'Y', 'L', 'T'};
    const int widths[] = {20, 10, 4, 8, 4, 8, 1, 8};
    for (int i = 0; i < 30; ++i)
        layout.fields.append({QByteArray("FIELD") + QByteArray::number(i), letters[i % 8], widths[i % 8]});
    return layout;
}

// 2,000 free tables of 30 fields, written once.
const QTemporaryDir &manyTables()
{
    static QTemporaryDir dir;
    static bool written = false;
    if (!written) {
        const TableSpec layout = thirtyFields();
        for (int i = 0; i < 2000; ++i)
            writeTable(dir.filePath(QStringLiteral("table%1.dbf").arg(i, 4, 10, QLatin1Char('0'))), layout);
        written = true;
    }
    return dir;
}

void listAndDescribeFolder(benchmark::State &state)
{
    const QString folder = manyTables().path();
    for (auto _ : state) {
        const auto connection = model::factory().createConnection();
        connection->Open(folderString(folder));
        const auto rows = connection->OpenSchema(model::adSchemaTables);
        int fields = 0;
        for (; !rows->atEnd(); rows->MoveNext()) {
            const auto records = model::factory().createRecordset();
            records->Open(QStringLiteral("select * from [") + rows->value(QStringLiteral("TABLE_NAME")) + QStringLiteral("]"),
                          *connection);
            for (int i = 0; i < records->fieldCount(); ++i)
                fields += records->field(i).definedSize > 0;
        }
        benchmark::DoNotOptimize(fields);
    }
}
BENCHMARK(listAndDescribeFolder)->Unit(benchmark::kMillisecond);

void baselineReadHeaders(benchmark::State &state)
{
    const QString folder = manyTables().path();
    for (auto _ : state) {
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.dbf")}, QDir::Files);
        qint64 total = 0;
        for (const QString &name : files) {
            QFile file(QDir(folder).filePath(name));
            file.open(QIODevice::ReadOnly);
            const QByteArray start = file.read(32);
            const int headerLength = uchar(start[8]) | uchar(start[9]) << 8;
            total += file.read(headerLength - 32).size();
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(baselineReadHeaders)->Unit(benchmark::kMillisecond);

// One table of 0 or 1,000,000 rows (a sparse file), described by a fresh connection.
void describeByRows(benchmark::State &state)
{
    QTemporaryDir dir;
    TableSpec layout = thirtyFields();
    layout.recordCount = quint32(state.range(0));
    writeSparseTable(dir.filePath(QStringLiteral("big.dbf")), layout);
    for (auto _ : state) {
        const auto connection = model::factory().createConnection();
        connection->Open(folderString(dir.path()));
        const auto records = model::factory().createRecordset();
        records->Open(QStringLiteral("select * from [big]"), *connection);
        benchmark::DoNotOptimize(records->fieldCount());
    }
}
BENCHMARK(describeByRows)->Arg(0)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// A container of 500 tables x 40 commented fields and its tables, written once.
const QTemporaryDir &bigContainer()
{
    static QTemporaryDir dir;
    static bool written = false;
    if (!written) {
        ContainerSpec container;
        TableSpec table;
        table.backlink = "big.dbc";
        for (int f = 0; f < 40; ++f)
            table.fields.append({QByteArray("F") + QByteArray::number(f), 'C', 10});
        for (int t = 0; t < 500; ++t) {
            ContainerTable entry{QStringLiteral("table_%1").arg(t), QStringLiteral("t%1.dbf").arg(t), {}, {}};
            for (int f = 0; f < 40; ++f)
                entry.fields.append({QStringLiteral("long_field_name_%1").arg(f), QStringLiteral("Comment of field %1").arg(f), {}});
            container.tables.append(entry);
            writeTable(dir.filePath(QStringLiteral("t%1.dbf").arg(t)), table);
        }
        writeContainer(dir.filePath(QStringLiteral("big.dbc")), container);
        written = true;
    }
    return dir;
}

// Opening parses the container and its memo once.
void containerOpen(benchmark::State &state)
{
    const QString dbc = bigContainer().filePath(QStringLiteral("big.dbc"));
    for (auto _ : state) {
        const auto connection = model::factory().createConnection();
        connection->Open(containerString(dbc));
        benchmark::DoNotOptimize(connection->State());
    }
}
BENCHMARK(containerOpen)->Unit(benchmark::kMillisecond);

// Open, then every field's description: each table's header is read once,
// each description is a lookup.
void containerDescriptions(benchmark::State &state)
{
    const QString dbc = bigContainer().filePath(QStringLiteral("big.dbc"));
    for (auto _ : state) {
        const auto connection = model::factory().createConnection();
        connection->Open(containerString(dbc));
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        qsizetype characters = 0;
        for (int t = 0; t < 500; ++t) {
            const auto entry = catalog->Tables(QStringLiteral("table_%1").arg(t));
            for (int f = 0; f < 40; ++f)
                characters += entry->columnProperty(QStringLiteral("long_field_name_%1").arg(f), QStringLiteral("Description")).size();
        }
        benchmark::DoNotOptimize(characters);
    }
}
BENCHMARK(containerDescriptions)->Unit(benchmark::kMillisecond);

// Times `baseline` and `measured` in turn, the order swapped every other
// iteration, and reports their mean times and measured / baseline.
template <class Baseline, class Measured>
void compare(benchmark::State &state, Baseline &&baseline, Measured &&measured)
{
    using Clock = std::chrono::steady_clock;
    const auto timed = [](auto &&work) {
        const Clock::time_point start = Clock::now();
        work();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double baselineSeconds = 0;
    double measuredSeconds = 0;
    bool baselineFirst = true;
    for (auto _ : state) {
        if (baselineFirst) {
            baselineSeconds += timed(baseline);
            measuredSeconds += timed(measured);
        } else {
            measuredSeconds += timed(measured);
            baselineSeconds += timed(baseline);
        }
        baselineFirst = !baselineFirst;
    }
    const double iterations = double(state.iterations());
    state.counters["baseline_ms"] = baselineSeconds * 1e3 / iterations;
    state.counters["measured_ms"] = measuredSeconds * 1e3 / iterations;
    state.counters["ratio"] = measuredSeconds / baselineSeconds;
}

constexpr int folderTables = 4000;

// 4,000 Visual FoxPro tables of 30 fields, written once: free ones, and
// ones whose header names a container "gone.dbc" that is not there.
const QTemporaryDir &tablesOf(bool backlinked)
{
    static QTemporaryDir free;
    static QTemporaryDir orphans;
    static bool written = false;
    if (!written) {
        TableSpec layout = thirtyFields();
        for (int i = 0; i < folderTables; ++i)
            writeTable(free.filePath(QStringLiteral("table%1.dbf").arg(i, 4, 10, QLatin1Char('0'))), layout);
        layout.backlink = "gone.dbc";
        for (int i = 0; i < folderTables; ++i)
            writeTable(orphans.filePath(QStringLiteral("table%1.dbf").arg(i, 4, 10, QLatin1Char('0'))), layout);
        written = true;
    }
    return backlinked ? orphans : free;
}

// What a report of every table asks of a folder: the list, each table's
// fields, and each field's description.
int listDescribeAll(const QString &folder)
{
    const auto connection = model::factory().createConnection();
    connection->Open(folderString(folder));
    const auto catalog = model::factory().createCatalog();
    catalog->setActiveConnection(*connection);
    const auto rows = connection->OpenSchema(model::adSchemaTables);
    int described = 0;
    for (; !rows->atEnd(); rows->MoveNext()) {
        const QString name = rows->value(QStringLiteral("TABLE_NAME"));
        const auto records = model::factory().createRecordset();
        records->Open(QStringLiteral("select * from [") + name + QStringLiteral("]"), *connection);
        const auto table = catalog->Tables(name);
        for (int i = 0; i < records->fieldCount(); ++i)
            described += table->columnProperty(records->field(i).name, QStringLiteral("Description")).isEmpty();
    }
    return described;
}

// A folder whose every table names a missing container, against the same
// folder of free tables: the missing container costs a look, not a look per table.
void folderMissingContainer(benchmark::State &state)
{
    const QString free = tablesOf(false).path();
    const QString orphans = tablesOf(true).path();
    if (listDescribeAll(free) != folderTables * 30 || listDescribeAll(orphans) != folderTables * 30) {
        state.SkipWithError("not every field was described");
        return;
    }
    compare(state, [&] { benchmark::DoNotOptimize(listDescribeAll(free)); },
            [&] { benchmark::DoNotOptimize(listDescribeAll(orphans)); });
    state.counters["tables"] = folderTables;
}
BENCHMARK(folderMissingContainer)->Unit(benchmark::kMillisecond);

constexpr int sharedTables = 20;
constexpr int sharedFields = 100; // per table: 2,000 Field records in all

// Two containers of 2,000 Field records with .dct files of about the same
// size: in one every Field record points at one property memo holding a
// comment of about 125 KB, in the other each has a memo of its own (a
// comment of about 50 bytes, one 64-byte block each).
const QTemporaryDir &sharedMemoContainers()
{
    static QTemporaryDir dir;
    static bool written = false;
    if (!written) {
        ContainerSpec own;
        ContainerSpec shared;
        TableSpec layout;
        for (int f = 0; f < sharedFields; ++f)
            layout.fields.append({QByteArray("F") + QByteArray::number(f), 'C', 10});
        for (int t = 0; t < sharedTables; ++t) {
            writeTable(dir.filePath(QStringLiteral("t%1.dbf").arg(t)), layout);
            ContainerTable ownTable{QStringLiteral("table_%1").arg(t), QStringLiteral("t%1.dbf").arg(t), {}, {}};
            ContainerTable sharedTable = ownTable;
            for (int f = 0; f < sharedFields; ++f) {
                const QString name = QStringLiteral("long_field_name_%1").arg(f);
                ownTable.fields.append({name, QStringLiteral("Comment of field %1 of table %2, kept short.").arg(f).arg(t), {}});
                // One comment, on the first field; the others get its memo below.
                sharedTable.fields.append({name, t == 0 && f == 0 ? QString(125000, QLatin1Char('c')) : QString(), {}});
            }
            own.tables.append(ownTable);
            shared.tables.append(sharedTable);
        }
        writeContainer(dir.filePath(QStringLiteral("own.dbc")), own);

        ContainerFiles files = containerBytes(shared);
        // Records: 5 database records, then each table and its fields. Every
        // Field record takes the first field's PROPERTY block (offset 147).
        const int headerLength = uchar(files.dbc[8]) | uchar(files.dbc[9]) << 8;
        constexpr int recordLength = 165;
        const auto property = [&](int record) { return headerLength + record * recordLength + 147; };
        const int first = 6;
        for (int t = 0; t < sharedTables; ++t) {
            for (int f = 0; f < sharedFields; ++f) {
                const int record = 5 + t * (sharedFields + 1) + 1 + f;
                files.dbc.replace(property(record), 4, files.dbc.mid(property(first), 4));
            }
        }
        writeFile(dir.filePath(QStringLiteral("shared.dbc")), files.dbc);
        writeFile(dir.filePath(QStringLiteral("shared.dct")), files.dct);
        written = true;
    }
    return dir;
}

int openContainer(const QString &dbc)
{
    const auto connection = model::factory().createConnection();
    connection->Open(containerString(dbc));
    return connection->State();
}

// Opening a container whose 2,000 Field records share one large property
// memo, against one whose records each have their own small memo.
void containerSharedMemo(benchmark::State &state)
{
    const QString own = sharedMemoContainers().filePath(QStringLiteral("own.dbc"));
    const QString shared = sharedMemoContainers().filePath(QStringLiteral("shared.dbc"));
    // Every field of the shared one carries the long comment.
    {
        const auto connection = model::factory().createConnection();
        connection->Open(containerString(shared));
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        const auto last = catalog->Tables(QStringLiteral("table_%1").arg(sharedTables - 1));
        if (last->columnProperty(QStringLiteral("long_field_name_%1").arg(sharedFields - 1),
                                 QStringLiteral("Description")).size() != 125000) {
            state.SkipWithError("the shared memo is not every field's");
            return;
        }
    }
    compare(state, [&] { benchmark::DoNotOptimize(openContainer(own)); },
            [&] { benchmark::DoNotOptimize(openContainer(shared)); });
    state.counters["own_dct_kb"] = QFileInfo(sharedMemoContainers().filePath(QStringLiteral("own.dct"))).size() / 1024.0;
    state.counters["shared_dct_kb"] = QFileInfo(sharedMemoContainers().filePath(QStringLiteral("shared.dct"))).size() / 1024.0;
}
BENCHMARK(containerSharedMemo)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
