// The export through the table window, offscreen, against the report writer's
// core on the same 2,000 tables × 30 fields, all selected.

#include "connection/startwindow.h"
#include "export/window/tablewindow.h"
#include "listselection.h"
#include "app/prompts.h"
#include "export/structurereport.h"
#include "xbasewriter.h"
#include "windowparts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

using namespace app;
using namespace connection;
using namespace exporting;

namespace {

constexpr int tableCount = 2000;
constexpr int fieldCount = 30;

// Answers every message without a window.
class SilentPrompts final : public Prompts {
public:
    void message(QWidget *, const QString &) override {}
    bool question(QWidget *, const QString &) override { return true; }
    void errorBox(QWidget *, const QString &text) override { qFatal("unexpected error report: %s", qPrintable(text)); }
    FileChoice openFile(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString browseFolder(QWidget *, const QString &, const QString &) override { return QString(); }
    void showModal(QDialog *) override {}
};

const QTemporaryDir &tables()
{
    static QTemporaryDir folder;
    static const bool written = [] {
        const char types[] = {'C', 'N', 'I', 'D', 'L', 'M'};
        for (int t = 0; t < tableCount; ++t) {
            xbasewriter::TableSpec table;
            for (int f = 0; f < fieldCount; ++f) {
                const char type = types[f % 6];
                const int width = type == 'C' ? 20 : type == 'N' ? 10 : type == 'D' ? 8 : type == 'L' ? 1 : 4;
                table.fields.append({"FIELD" + QByteArray::number(f), type, width});
            }
            xbasewriter::writeTable(folder.filePath(QStringLiteral("table%1.dbf").arg(t, 4, 10, QLatin1Char('0'))),
                                    table);
        }
        return true;
    }();
    Q_UNUSED(written);
    return folder;
}

class QuietFeedback final : public ReportFeedback {
public:
    void setBusy(bool) override {}
    void letEventsRun() override {}
    void message(const QString &) override {}
};

class FailOnReport final : public app::ErrorSink {
public:
    void report(const QString &, int, const QString &description) override
    {
        qFatal("unexpected failure: %s", qPrintable(description));
    }
};

void BM_Core(benchmark::State &state)
{
    const QString folder = tables().path();
    QStringList names;
    for (int t = 0; t < tableCount; ++t)
        names << QStringLiteral("table%1").arg(t, 4, 10, QLatin1Char('0'));
    const ListSelection selection(names);
    QuietFeedback feedback;
    FailOnReport sink;
    const QString report = tables().filePath(QStringLiteral("core.txt"));
    for (auto _ : state)
        writeStructureReport(report, selection, ReportSource::folder(folder), feedback, sink);
}

void BM_TableWindow(benchmark::State &state)
{
    SilentPrompts prompts;
    setPrompts(&prompts);
    StartWindow start;
    TableWindow window(start, start);
    start.setTableStep(&window);
    widget<QLineEdit>(start, "Text2")->setText(tables().path());
    window.load();
    widget<QPushButton>(window, "PushButton8")->click();
    const QString report = tables().filePath(QStringLiteral("window.txt"));
    for (auto _ : state)
        window.writeReport(report);
    setPrompts(nullptr);
    if (QFile(report).size() != QFile(tables().filePath(QStringLiteral("core.txt"))).size())
        state.SkipWithError("the window and the core wrote different reports");
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The window and the core in turn on the same tables, the order swapped every
// time: their medians and ratio, which a shared machine's drift moves far
// less than it moves two benchmarks run one after the other.
void BM_WindowOverCore(benchmark::State &state)
{
    SilentPrompts prompts;
    setPrompts(&prompts);
    StartWindow start;
    TableWindow window(start, start);
    start.setTableStep(&window);
    widget<QLineEdit>(start, "Text2")->setText(tables().path());
    window.load();
    widget<QPushButton>(window, "PushButton8")->click();
    const QString windowReport = tables().filePath(QStringLiteral("alternate-window.txt"));

    QStringList names;
    for (int t = 0; t < tableCount; ++t)
        names << QStringLiteral("table%1").arg(t, 4, 10, QLatin1Char('0'));
    const ListSelection selection(names);
    QuietFeedback feedback;
    FailOnReport sink;
    const QString coreReport = tables().filePath(QStringLiteral("alternate-core.txt"));

    using Clock = std::chrono::steady_clock;
    const auto timed = [](auto &&work) {
        const auto begin = Clock::now();
        work();
        return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    };
    const auto core = [&] {
        writeStructureReport(coreReport, selection, ReportSource::folder(tables().path()), feedback, sink);
    };
    const auto throughWindow = [&] { window.writeReport(windowReport); };
    std::vector<double> coreTimes, windowTimes;
    for (auto _ : state) {
        const bool windowFirst = windowTimes.size() % 2 == 1;
        if (windowFirst)
            windowTimes.push_back(timed(throughWindow));
        coreTimes.push_back(timed(core));
        if (!windowFirst)
            windowTimes.push_back(timed(throughWindow));
        state.SetIterationTime((coreTimes.back() + windowTimes.back()) / 1000);
    }
    setPrompts(nullptr);
    if (contents(windowReport).isEmpty() || contents(windowReport) != contents(coreReport)) {
        state.SkipWithError("the window and the core wrote different reports");
        return;
    }
    state.counters["core_ms"] = median(coreTimes);
    state.counters["window_ms"] = median(windowTimes);
    state.counters["ratio"] = median(windowTimes) / median(coreTimes);
}

} // namespace

BENCHMARK(BM_Core)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowOverCore)->UseManualTime()->Iterations(31)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
