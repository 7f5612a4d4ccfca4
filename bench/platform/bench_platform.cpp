// Listing and describing tables through the data access objects, against a
// baseline that only opens, reads and closes each header.

#include "dataaccess.h"
#include "xbasewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

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
        const auto connection = ado::factory().createConnection();
        connection->Open(folderString(folder));
        const auto rows = connection->OpenSchema(ado::adSchemaTables);
        int fields = 0;
        for (; !rows->atEnd(); rows->MoveNext()) {
            const auto records = ado::factory().createRecordset();
            records->Open(QStringLiteral("select * from [") + rows->value(QStringLiteral("TABLE_NAME")) + QStringLiteral("]"),
                          *connection, 3, 3);
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
        const auto connection = ado::factory().createConnection();
        connection->Open(folderString(dir.path()));
        const auto records = ado::factory().createRecordset();
        records->Open(QStringLiteral("select * from [big]"), *connection, 3, 3);
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
        const auto connection = ado::factory().createConnection();
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
        const auto connection = ado::factory().createConnection();
        connection->Open(containerString(dbc));
        const auto catalog = ado::factory().createCatalog();
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

} // namespace

BENCHMARK_MAIN();
