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

} // namespace

BENCHMARK(BM_Core)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableWindow)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
