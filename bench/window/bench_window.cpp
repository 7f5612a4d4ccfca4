// The export through the table window, offscreen, against the report writer's
// core on the same 2,000 tables × 30 fields, all selected.

#include "connection/startwindow.h"
#include "export/window/tablewindow.h"
#include "listselection.h"
#include "app/prompts.h"
#include "export/report/structurereport.h"
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
using namespace dictionary;
using namespace report;
using namespace window;

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
    std::unique_ptr<app::Progress> progress(QWidget *, const QString &) override { qFatal("unexpected progress"); }
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

// The writer core on every table, as the window would ask for them.
class CoreReport {
public:
    void write(const QString &report)
    {
        writeStructureReport(report, m_selection, ReportSource::folder(tables().path()), m_feedback, m_sink);
    }

private:
    static QStringList tableNames()
    {
        QStringList names;
        for (int t = 0; t < tableCount; ++t)
            names << QStringLiteral("table%1").arg(t, 4, 10, QLatin1Char('0'));
        return names;
    }

    const ListSelection m_selection{tableNames()};
    QuietFeedback m_feedback;
    FailOnReport m_sink;
};

// The table window on the folder of tables, every table selected; messages
// answered without a window while it lives.
class WindowReport {
public:
    WindowReport() : m_window(m_start, m_start)
    {
        m_start.setTableStep(&m_window);
        widget<QLineEdit>(m_start, "Text2")->setText(tables().path());
        m_window.load();
        widget<QPushButton>(m_window, "PushButton8")->click();
    }
    void write(const QString &report) { m_window.writeReport(report); }

private:
    // Installed before the windows are made, removed after they are gone.
    struct Installed {
        SilentPrompts prompts;
        Installed() { setPrompts(&prompts); }
        ~Installed() { setPrompts(nullptr); }
    } m_prompts;
    StartWindow m_start;
    TableWindow m_window;
};

void BM_Core(benchmark::State &state)
{
    CoreReport core;
    const QString report = tables().filePath(QStringLiteral("core.txt"));
    for (auto _ : state)
        core.write(report);
}

void BM_TableWindow(benchmark::State &state)
{
    const QString report = tables().filePath(QStringLiteral("window.txt"));
    {
        WindowReport window;
        for (auto _ : state)
            window.write(report);
    }
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
    const QString windowReport = tables().filePath(QStringLiteral("alternate-window.txt"));
    const QString coreReport = tables().filePath(QStringLiteral("alternate-core.txt"));
    std::vector<double> coreTimes, windowTimes;
    {
        WindowReport window;
        CoreReport core;
        using Clock = std::chrono::steady_clock;
        const auto timed = [](auto &&work) {
            const auto begin = Clock::now();
            work();
            return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        };
        const auto throughCore = [&] { core.write(coreReport); };
        const auto throughWindow = [&] { window.write(windowReport); };
        for (auto _ : state) {
            const bool windowFirst = windowTimes.size() % 2 == 1;
            if (windowFirst)
                windowTimes.push_back(timed(throughWindow));
            coreTimes.push_back(timed(throughCore));
            if (!windowFirst)
                windowTimes.push_back(timed(throughWindow));
            state.SetIterationTime((coreTimes.back() + windowTimes.back()) / 1000);
        }
    }
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
