// orvalle-report as a whole program against floor_report, a plain POSIX
// program that does only what the report needs: list the folder, read each
// table's header, write the lines. Both run as child processes on the same
// folder of generated free tables, each started through a small copy of this
// program that times it with a steady clock and takes its own CPU time and
// peak resident memory from wait4. The two reports are compared once per
// folder before anything is timed: a floor that writes other bytes measures
// nothing.
//
// The benchmark's time is orvalle-report's; the counters give the medians of
// both, their ratio and both peaks.
//
// BM_DiffOfAHugeComment gives the peak memory of a difference of a
// dictionary holding one 200 MB comment, over the dictionary's size.
//
// BM_MigrateOverImport loads a table of rows into SQLite with --migrate
// against sqlite3's own .import of the same rows as CSV.
//
// BM_MigrateIntoPostgres loads the same table into a PostgreSQL server the
// benchmark starts itself, against psql's \copy of the same rows as CSV into
// a table made beforehand (the least any loader has to do) and, when it is
// installed, pgloader loading that CSV.
//
// BM_ReportUnderWine runs the Windows build's orvalle-report.exe, named by
// ORVALLE_REPORT_TOOL, under wine against this orvalle-report on the same
// tables (reported, not gated: wine's file calls pass through its server).
//
// BM_DictionaryOverReport compares, the same way, each format of the data
// dictionary of a folder whose tables each carry a structural index of two
// tags with the text report of the same folder.

#include "postgresserver.h"
#include "xbasewriter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int fieldsPerTable = 30;
const char orvalleReport[] = ORVALLE_REPORT_PATH;
const char floorReport[] = FLOOR_REPORT_PATH;

// Mixed types and widths, the same mix as the export benchmark's tables.
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

// One temporary folder holding a folder of tables per size (made when first
// asked for) and the reports.
class Workspace {
public:
    std::string path(const QString &name) const { return m_root.filePath(name).toStdString(); }

    // `indexed`: each table has a structural index of two tags beside it.
    std::string tables(int count, bool indexed = false)
    {
        const int key = indexed ? -count : count;
        auto found = m_tables.find(key);
        if (found != m_tables.end())
            return found->second;
        const QString folder = m_root.filePath(QStringLiteral("%1tables%2").arg(indexed ? "indexed" : "").arg(count));
        if (!QDir().mkdir(folder))
            return std::string();
        try {
            for (int t = 0; t < count; ++t) {
                xbasewriter::TableSpec layout;
                for (int f = 0; f < fieldsPerTable; ++f)
                    layout.fields.append(generatedField(t, f));
                const QString base = QStringLiteral("%1/t%2").arg(folder).arg(t, 5, 10, QLatin1Char('0'));
                if (indexed) {
                    const bool memo = std::any_of(layout.fields.begin(), layout.fields.end(),
                                                  [](const xbasewriter::FieldSpec &f) { return f.type == 'M'; });
                    layout.tableFlags = memo ? 0x03 : 0x01;
                    xbasewriter::writeFile(base + QStringLiteral(".cdx"),
                                           xbasewriter::compoundIndexBytes(
                                               {{"F00", "f00", {}, 0x64, false, {}, 4}, {"F01", "UPPER(f01)", {}, 0x60, false, {}, 10}}));
                }
                xbasewriter::writeTable(base + QStringLiteral(".dbf"), layout);
            }
        } catch (const std::exception &) {
            return std::string();
        }
        return m_tables[key] = folder.toStdString();
    }

    // The same tables as tables(count) with 1% of their fields changed:
    // three fields (a character field widened, a field retyped and one
    // renamed) in every tenth table.
    std::string alteredTables(int count)
    {
        auto found = m_altered.find(count);
        if (found != m_altered.end())
            return found->second;
        const QString folder = m_root.filePath(QStringLiteral("altered%1").arg(count));
        if (!QDir().mkdir(folder))
            return std::string();
        try {
            for (int t = 0; t < count; ++t) {
                xbasewriter::TableSpec layout;
                for (int f = 0; f < fieldsPerTable; ++f)
                    layout.fields.append(generatedField(t, f));
                if (t % 10 == 0) {
                    auto widened = std::find_if(layout.fields.begin(), layout.fields.end(),
                                                [](const xbasewriter::FieldSpec &f) { return f.type == 'C'; });
                    ++widened->width;
                    layout.fields[1] = {layout.fields[1].name, 'N', 12, 3};
                    layout.fields[2].name = "RENAMED";
                }
                xbasewriter::writeTable(QStringLiteral("%1/t%2.dbf").arg(folder).arg(t, 5, 10, QLatin1Char('0')), layout);
            }
        } catch (const std::exception &) {
            return std::string();
        }
        return m_altered[count] = folder.toStdString();
    }

private:
    QTemporaryDir m_root;
    std::map<int, std::string> m_tables;
    std::map<int, std::string> m_altered;
};

Workspace &workspace()
{
    static Workspace made;
    return made;
}

// The folder of `count` tables (see Workspace::tables); empty, and the
// benchmark marked skipped, when it cannot be made.
std::string tablesOrSkip(benchmark::State &state, Workspace &space, int count, bool indexed = false)
{
    std::string folder = space.tables(count, indexed);
    if (folder.empty())
        state.SkipWithError("the folder of tables could not be made");
    return folder;
}

struct Run {
    bool ok = false;
    std::string failure;
    double seconds = 0;    // wall, from the fork to the return of wait4
    double cpuSeconds = 0; // the child's user + system time
    double peakMiB = 0;    // the child's ru_maxrss
    int exitCode = -1;     // when it exited rather than being killed
};

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// What a child's own rusage says only holds when it was not started from a
// large process: Linux counts the resident size of the memory the child had
// before its exec in its ru_maxrss, and a child forked or spawned from this
// process starts with all of this one's. So each program is started through
// this same executable, freshly started and still small, in this mode: it
// forks, execs the program, waits for it with wait4 and writes to descriptor 3
// "exited code wall_s cpu_s maxrss_KiB". Its own start is outside the time.
constexpr char measureOption[] = "--measure-child";

int measureChild(char **argv)
{
    fcntl(3, F_SETFD, FD_CLOEXEC);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    if (pid < 0)
        return 1;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return 1;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    const bool exited = WIFEXITED(status);
    dprintf(3, "%d %d %.9f %.9f %ld\n", exited ? 1 : 0, exited ? WEXITSTATUS(status) : WTERMSIG(status),
            wall, cpu, usage.ru_maxrss);
    return 0;
}

Run runChild(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv = {const_cast<char *>("bench_report"), const_cast<char *>(measureOption)};
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    Run run;
    int results[2];
    if (pipe2(results, O_CLOEXEC) != 0) {
        run.failure = std::string("pipe2 failed: ") + std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, results[1], 3);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(results[1]);
    std::string said;
    if (spawned == 0) {
        char buffer[256];
        ssize_t n;
        while ((n = read(results[0], buffer, sizeof buffer)) != 0) {
            if (n > 0)
                said.append(buffer, size_t(n));
            else if (errno != EINTR)
                break;
        }
    }
    close(results[0]);
    if (spawned != 0) {
        run.failure = arguments[0] + ": cannot start: " + std::strerror(spawned);
        return run;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    int exited = 0;
    int code = 0;
    long maxrss = 0;
    if (std::sscanf(said.c_str(), "%d %d %lf %lf %ld", &exited, &code, &run.seconds, &run.cpuSeconds, &maxrss)
        != 5) {
        run.failure = arguments[0] + ": could not be started and measured";
        return run;
    }
    run.peakMiB = double(maxrss) / 1024.0; // KiB on Linux
    if (exited)
        run.exitCode = code;
    if (exited && code == 0)
        run.ok = true;
    else if (exited)
        run.failure = arguments[0] + ": exit status " + std::to_string(code);
    else
        run.failure = arguments[0] + ": ended by signal " + std::to_string(code);
    return run;
}

std::string fileBytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Where two reports first differ, with both lines; empty when they are the same.
std::string firstDifference(const std::string &a, const std::string &b)
{
    if (a == b)
        return std::string();
    const size_t at = size_t(std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first
                             - a.begin());
    const size_t lineStart = at == 0 ? 0 : a.rfind('\n', at - 1) + 1; // npos + 1 == 0
    const size_t lineNumber = size_t(std::count(a.begin(), a.begin() + lineStart, '\n')) + 1;
    auto lineOf = [lineStart](const std::string &s) {
        if (lineStart >= s.size())
            return std::string("(end of file)");
        std::string line = s.substr(lineStart, s.find('\n', lineStart) - lineStart);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return '"' + line + '"';
    };
    std::ostringstream text;
    text << "orvalle-report (" << a.size() << " bytes) and the floor (" << b.size()
         << " bytes) wrote different reports, first at line " << lineNumber << ": orvalle-report "
         << lineOf(a) << ", floor " << lineOf(b);
    return text.str();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs `measured` and `other` once per iteration, each first every other
// time so neither always finds the other's traces in the caches; the
// iteration's time is `measured`'s. False (the benchmark marked skipped)
// when either fails, `measured` failing when it exits other than with
// `measuredExit`.
bool runAlternately(benchmark::State &state, const std::vector<std::string> &measured,
                    const std::vector<std::string> &other, std::vector<Run> &measuredRuns,
                    std::vector<Run> &otherRuns, int measuredExit = 0)
{
    bool measuredFirst = true;
    for (auto _ : state) {
        Run a, b;
        if (measuredFirst) {
            a = runChild(measured);
            b = runChild(other);
        } else {
            b = runChild(other);
            a = runChild(measured);
        }
        measuredFirst = !measuredFirst;
        const bool measuredOk = a.exitCode == measuredExit;
        if (!measuredOk || !b.ok) {
            static std::string failure;
            failure = !measuredOk ? (a.ok ? std::string("exit status 0") : a.failure) : b.failure;
            state.SkipWithError(failure.c_str());
            return false;
        }
        state.SetIterationTime(a.seconds);
        measuredRuns.push_back(a);
        otherRuns.push_back(b);
    }
    return true;
}

double median(const std::vector<Run> &runs, double Run::*value)
{
    std::vector<double> values;
    for (const Run &run : runs)
        values.push_back(run.*value);
    return median(values);
}

double maximum(const std::vector<Run> &runs, double Run::*value)
{
    double most = 0;
    for (const Run &run : runs)
        most = std::max(most, run.*value);
    return most;
}

// Runs both programs once per folder and compares what they wrote; the
// verdict is kept for the repetitions that follow. Empty: the same bytes.
const std::string &sameReport(int tables, const std::vector<std::string> &orvalle,
                              const std::vector<std::string> &floor)
{
    static std::map<int, std::string> verdicts;
    auto found = verdicts.find(tables);
    if (found != verdicts.end())
        return found->second;
    std::string &verdict = verdicts[tables];
    const Run a = runChild(orvalle);
    const Run b = runChild(floor);
    if (!a.ok || !b.ok)
        verdict = !a.ok ? a.failure : b.failure;
    else
        verdict = firstDifference(fileBytes(orvalle.back()), fileBytes(floor.back()));
    return verdict;
}

void BM_ReportOverFloor(benchmark::State &state)
{
    const int tables = int(state.range(0));
    Workspace &space = workspace();
    const std::string folder = tablesOrSkip(state, space, tables);
    if (folder.empty())
        return;
    const std::string suffix = std::to_string(tables) + ".txt";
    const std::vector<std::string> orvalle = {orvalleReport, folder, "-o",
                                              space.path(QStringLiteral("orvalle") + QString::fromStdString(suffix))};
    const std::vector<std::string> floor = {floorReport, folder,
                                            space.path(QStringLiteral("floor") + QString::fromStdString(suffix))};
    const std::string &verdict = sameReport(tables, orvalle, floor);
    if (!verdict.empty()) {
        state.SkipWithError(verdict.c_str());
        return;
    }

    std::vector<Run> orvalleRuns, floorRuns;
    runAlternately(state, orvalle, floor, orvalleRuns, floorRuns);
    const double orvalleSeconds = median(orvalleRuns, &Run::seconds);
    const double floorSeconds = median(floorRuns, &Run::seconds);
    state.counters["tables"] = tables;
    state.counters["orvalle_s"] = orvalleSeconds;
    state.counters["floor_s"] = floorSeconds;
    state.counters["ratio"] = floorSeconds > 0 ? orvalleSeconds / floorSeconds : 0;
    const double floorCpu = median(floorRuns, &Run::cpuSeconds);
    state.counters["cpu_ratio"] = floorCpu > 0 ? median(orvalleRuns, &Run::cpuSeconds) / floorCpu : 0;
    state.counters["orvalle_MiB"] = maximum(orvalleRuns, &Run::peakMiB);
    state.counters["floor_MiB"] = maximum(floorRuns, &Run::peakMiB);
}

// Drive Z: is the root of this machine's file system under wine.
std::string onDriveZ(const std::string &path)
{
    return "Z:" + QDir::toNativeSeparators(QString::fromStdString(path)).toStdString();
}

// The report without its first line, which names the folder as each program
// was given it.
std::string afterFirstLine(const std::string &report)
{
    const size_t end = report.find('\n');
    return end == std::string::npos ? std::string() : report.substr(end + 1);
}

void BM_ReportUnderWine(benchmark::State &state)
{
    const QString exe = qEnvironmentVariable("ORVALLE_REPORT_TOOL");
    const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    if (!exe.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) || wine.isEmpty()) {
        state.SkipWithError("ORVALLE_REPORT_TOOL names no Windows program, or wine is missing");
        return;
    }
    const int tables = int(state.range(0));
    Workspace &space = workspace();
    const std::string folder = tablesOrSkip(state, space, tables);
    if (folder.empty())
        return;
    const std::string windowsReport = space.path(QStringLiteral("wine.txt"));
    const std::string linuxReport = space.path(QStringLiteral("linux.txt"));
    const std::vector<std::string> underWine = {wine.toStdString(), exe.toStdString(), onDriveZ(folder), "-o",
                                                onDriveZ(windowsReport)};
    const std::vector<std::string> onLinux = {orvalleReport, folder, "-o", linuxReport};
    // Once before the timing, which also starts wine's server; both reports
    // must say the same of the tables.
    const Run first = runChild(underWine);
    const Run second = runChild(onLinux);
    if (!first.ok || !second.ok) {
        state.SkipWithError(!first.ok ? "orvalle-report.exe failed under wine" : "orvalle-report failed");
        return;
    }
    if (afterFirstLine(fileBytes(windowsReport)) != afterFirstLine(fileBytes(linuxReport))) {
        state.SkipWithError("the two programs reported the tables differently");
        return;
    }
    std::vector<Run> wineRuns, linuxRuns;
    if (!runAlternately(state, underWine, onLinux, wineRuns, linuxRuns))
        return;
    const double wineSeconds = median(wineRuns, &Run::seconds);
    const double linuxSeconds = median(linuxRuns, &Run::seconds);
    state.counters["tables"] = tables;
    state.counters["wine_s"] = wineSeconds;
    state.counters["linux_s"] = linuxSeconds;
    state.counters["ratio"] = linuxSeconds > 0 ? wineSeconds / linuxSeconds : 0;
}

// The formats BM_DictionaryOverReport measures, by its second argument.
const char *const dictionaryFormats[] = {"json", "markdown", "html", "postgres", "sqlite"};

void BM_DictionaryOverReport(benchmark::State &state)
{
    const int tables = int(state.range(0));
    const std::string format = dictionaryFormats[state.range(1)];
    state.SetLabel(format);
    Workspace &space = workspace();
    const std::string folder = tablesOrSkip(state, space, tables, true);
    if (folder.empty())
        return;
    const std::string output = space.path(QStringLiteral("dictionary.") + QString::fromStdString(format));
    const std::vector<std::string> dictionary = {orvalleReport, "--format", format, folder, "-o", output};
    const std::vector<std::string> text = {orvalleReport, folder, "-o", space.path(QStringLiteral("report.txt"))};

    std::vector<Run> dictionaryRuns, textRuns;
    if (!runAlternately(state, dictionary, text, dictionaryRuns, textRuns))
        return;
    // The dictionary must hold every table: the readable formats and JSON
    // with the second tag's expression once a table, the schemas with a
    // CREATE TABLE each (they translate or note the tags as SQL allows).
    const std::string written = fileBytes(output);
    const bool schema = format == "postgres" || format == "sqlite";
    const std::string marker = schema ? "CREATE TABLE" : "UPPER(f01)";
    size_t found = 0;
    for (size_t at = written.find(marker); at != std::string::npos; at = written.find(marker, at + 1))
        ++found;
    if (found != size_t(tables)) {
        static std::string failure;
        failure = "the dictionary holds " + std::to_string(found) + " times " + marker + " for "
            + std::to_string(tables) + " tables";
        state.SkipWithError(failure.c_str());
        return;
    }
    const double dictionarySeconds = median(dictionaryRuns, &Run::seconds);
    const double textSeconds = median(textRuns, &Run::seconds);
    state.counters["tables"] = tables;
    state.counters["dict_s"] = dictionarySeconds;
    state.counters["text_s"] = textSeconds;
    state.counters["ratio"] = textSeconds > 0 ? dictionarySeconds / textSeconds : 0;
    state.counters["dict_MiB"] = maximum(dictionaryRuns, &Run::peakMiB);
    state.counters["text_MiB"] = maximum(textRuns, &Run::peakMiB);
    state.counters["memory_ratio"] = state.counters["dict_MiB"] / state.counters["text_MiB"];
    state.counters["out_MB_per_s"] = dictionarySeconds > 0 ? double(written.size()) / 1e6 / dictionarySeconds : 0;
}

// --check of the same tables against their JSON dictionary: it reads as much,
// and applies its rules to every table.
void BM_CheckOverJson(benchmark::State &state)
{
    const int tables = int(state.range(0));
    Workspace &space = workspace();
    const std::string folder = tablesOrSkip(state, space, tables, true);
    if (folder.empty())
        return;
    const std::string output = space.path(QStringLiteral("checks.txt"));
    const std::vector<std::string> checks = {orvalleReport, "--check", folder, "-o", output};
    const std::vector<std::string> json = {orvalleReport, "--format", "json", folder, "-o",
                                           space.path(QStringLiteral("dictionary.json"))};
    std::vector<Run> checkRuns, jsonRuns;
    // The tables break rules (their findings exit 1); what counts is that it runs through.
    if (!runAlternately(state, checks, json, checkRuns, jsonRuns, 1))
        return;
    // Every table is counted in the coverage.
    const std::string written = fileBytes(output);
    size_t counted = 0;
    for (size_t at = written.find(" fields, comment "); at != std::string::npos; at = written.find(" fields, comment ", at + 1))
        ++counted;
    if (counted != size_t(tables) + 1) {
        state.SkipWithError("the checks do not count every table");
        return;
    }
    const double checkSeconds = median(checkRuns, &Run::seconds);
    const double jsonSeconds = median(jsonRuns, &Run::seconds);
    state.counters["tables"] = tables;
    state.counters["check_s"] = checkSeconds;
    state.counters["json_s"] = jsonSeconds;
    state.counters["ratio"] = jsonSeconds > 0 ? checkSeconds / jsonSeconds : 0;
    state.counters["check_MiB"] = maximum(checkRuns, &Run::peakMiB);
    state.counters["json_MiB"] = maximum(jsonRuns, &Run::peakMiB);
}

// The structure difference between a folder and its altered copy, against
// the text report of one of them.
void BM_DiffOverReport(benchmark::State &state)
{
    const int tables = int(state.range(0));
    Workspace &space = workspace();
    const std::string before = space.tables(tables);
    const std::string after = space.alteredTables(tables);
    if (before.empty() || after.empty()) {
        state.SkipWithError("the folders of tables could not be made");
        return;
    }
    const std::vector<std::string> diff = {orvalleReport, "--diff", before, after, "-o",
                                           space.path(QStringLiteral("changes.txt"))};
    const std::vector<std::string> text = {orvalleReport, before, "-o", space.path(QStringLiteral("report.txt"))};

    std::vector<Run> diffRuns, textRuns;
    // The difference exits 1: there is one.
    if (!runAlternately(state, diff, text, diffRuns, textRuns, 1))
        return;
    // Every tenth table changed, and no other.
    const std::string written = fileBytes(space.path(QStringLiteral("changes.txt")));
    const std::string summary = "\nIn all: tables " + std::to_string((tables + 9) / 10) + " changed.\n";
    if (written.size() < summary.size() || written.compare(written.size() - summary.size(), summary.size(), summary) != 0) {
        static std::string failure;
        failure = "the change list does not end \"" + summary.substr(1, summary.size() - 2) + "\"";
        state.SkipWithError(failure.c_str());
        return;
    }
    const double diffSeconds = median(diffRuns, &Run::seconds);
    const double textSeconds = median(textRuns, &Run::seconds);
    state.counters["tables"] = tables;
    state.counters["diff_s"] = diffSeconds;
    state.counters["text_s"] = textSeconds;
    state.counters["ratio"] = textSeconds > 0 ? diffSeconds / textSeconds : 0;
    state.counters["diff_MiB"] = maximum(diffRuns, &Run::peakMiB);
    state.counters["text_MiB"] = maximum(textRuns, &Run::peakMiB);
}

// A JSON dictionary of one table of one field whose comment is `comment`
// characters long, written at `path`.
bool writeDictionaryWithComment(const std::string &path, qint64 comment)
{
    std::ofstream file(path, std::ios::binary);
    file << "{\"format\": \"orvalle-dictionary\", \"version\": 1, "
            "\"source\": {\"kind\": \"folder\", \"path\": \"/data\", \"comment\": \"\", \"codePageMark\": 0}, "
            "\"tables\": [{\"name\": \"t\", \"file\": \"t.dbf\", \"dialect\": \"Visual FoxPro\", \"version\": 48, "
            "\"codePageMark\": 3, \"codePage\": \"1252 (Windows ANSI)\", \"recordCount\": 0, \"lastUpdate\": null, "
            "\"headerLength\": 296, \"recordLength\": 11, \"memo\": null, \"comment\": \"\", \"rule\": \"\", "
            "\"ruleText\": \"\", \"insertTrigger\": \"\", \"updateTrigger\": \"\", \"deleteTrigger\": \"\", "
            "\"primaryKey\": \"\", \"fields\": [{\"position\": 1, \"name\": \"notes\", \"shortName\": \"\", "
            "\"type\": \"C\", \"typeName\": \"Character\", \"width\": 10, \"decimals\": 0, \"nullable\": false, "
            "\"binary\": false, \"autoIncrement\": false, \"nextValue\": null, \"step\": null, \"defaultValue\": \"\", "
            "\"rule\": \"\", \"ruleText\": \"\", \"caption\": \"\", \"format\": \"\", \"inputMask\": \"\", "
            "\"comment\": \"";
    const std::string block(1 << 20, 'x');
    for (qint64 left = comment; left > 0; left -= qint64(block.size()))
        file.write(block.data(), std::streamsize(std::min<qint64>(left, qint64(block.size()))));
    file << "\"}], \"indexes\": [], \"indexesKnown\": true}], \"views\": [], \"relations\": [], "
            "\"findings\": []}\n";
    return bool(file);
}

// The difference of a dictionary holding one 200 MB comment: against one
// where the comment is empty (the change list then holds all of it), and
// against itself. Its peak memory over the dictionary's size is the figure.
void BM_DiffOfAHugeComment(benchmark::State &state)
{
    Workspace &space = workspace();
    const std::string huge = space.path(QStringLiteral("huge.json"));
    const std::string plain = space.path(QStringLiteral("plain.json"));
    if (!writeDictionaryWithComment(huge, 200'000'000) || !writeDictionaryWithComment(plain, 0)) {
        state.SkipWithError("the dictionaries could not be written");
        return;
    }
    const double fileMiB = double(QFileInfo(QString::fromStdString(huge)).size()) / (1 << 20);
    const std::vector<std::string> changed = {orvalleReport, "--diff", huge, plain, "-o",
                                              space.path(QStringLiteral("changes.txt"))};
    const std::vector<std::string> same = {orvalleReport, "--diff", huge, huge, "-o",
                                           space.path(QStringLiteral("none.txt"))};
    std::vector<Run> changedRuns, sameRuns;
    for (auto _ : state) {
        const Run a = runChild(changed);
        const Run b = runChild(same);
        if (a.exitCode != 1 || !b.ok) {
            static std::string failure;
            failure = a.exitCode != 1 ? a.failure : b.failure;
            state.SkipWithError(failure.c_str());
            return;
        }
        state.SetIterationTime(a.seconds);
        changedRuns.push_back(a);
        sameRuns.push_back(b);
    }
    state.counters["file_MiB"] = fileMiB;
    state.counters["changed_MiB"] = maximum(changedRuns, &Run::peakMiB);
    state.counters["changed_x"] = maximum(changedRuns, &Run::peakMiB) / fileMiB;
    state.counters["same_MiB"] = maximum(sameRuns, &Run::peakMiB);
    state.counters["same_x"] = maximum(sameRuns, &Run::peakMiB) / fileMiB;
    state.counters["changed_s"] = median(changedRuns, &Run::seconds);
}

// A dBase III table of `rows` records of twelve fields (character, numeric,
// date, logical; 143 bytes a record) with varied values, and the same rows as
// the CSV that sqlite3's .import reads, with a header line naming the
// columns. False when either cannot be written.
bool writeRows(const std::string &table, const std::string &csv, int rows)
{
    const char *const names[] = {"NAME", "CITY", "STREET", "CODE", "PRICE", "TOTAL", "COUNT", "STOCK", "BORN", "SEEN",
                                 "ACTIVE", "PAID"};
    const char types[] = {'C', 'C', 'C', 'C', 'N', 'N', 'N', 'N', 'D', 'D', 'L', 'L'};
    const int widths[] = {30, 20, 20, 18, 10, 12, 8, 6, 8, 8, 1, 1};
    const int decimals[] = {0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 0, 0};
    xbasewriter::TableSpec layout;
    layout.version = 0x03;
    for (int f = 0; f < 12; ++f)
        layout.fields.append({QByteArray(names[f]), types[f], widths[f], decimals[f]});
    layout.recordCount = quint32(rows);
    const QByteArray header = xbasewriter::tableBytes(layout).first(xbasewriter::headerLength(layout));
    std::ofstream dbf(table, std::ios::binary);
    std::ofstream text(csv, std::ios::binary);
    dbf.write(header.constData(), header.size());
    for (int f = 0; f < 12; ++f)
        text << (f ? "," : "") << names[f];
    text << '\n';
    std::string record;
    std::vector<std::string> values(12);
    for (int r = 0; r < rows; ++r) {
        values[0] = "Customer " + std::to_string(r);
        values[1] = "City " + std::to_string(r % 977);
        values[2] = std::to_string(r % 311) + " Main Street";
        values[3] = "C" + std::to_string(r * 7 % 100000);
        values[4] = std::to_string(r % 100000) + "." + std::to_string(10 + r % 90);
        values[5] = std::to_string(r) + ".5" + std::to_string(r % 10);
        values[6] = std::to_string(r % 1000000);
        values[7] = std::to_string(r % 99999);
        values[8] = std::to_string(19000000 + (r % 100) * 10000 + (1 + r % 12) * 100 + 1 + r % 28);
        values[9] = std::to_string(20000000 + (r % 20) * 10000 + (1 + r % 12) * 100 + 1 + r % 28);
        values[10] = r % 3 ? "T" : "F";
        values[11] = r % 5 ? "F" : "T";
        record.assign(1, ' ');
        for (int f = 0; f < 12; ++f) {
            const std::string &value = values[size_t(f)];
            const std::string pad(size_t(widths[f]) - value.size(), ' ');
            record += types[f] == 'N' ? pad + value : value + pad;
            text << (f ? "," : "") << value;
        }
        text << '\n';
        dbf.write(record.data(), std::streamsize(record.size()));
    }
    dbf.put(0x1A);
    return bool(dbf) && bool(text);
}

// A Visual FoxPro table of `rows` records of integer, character, varchar
// (with its length bit), currency, double, datetime, logical and memo fields,
// its memo file beside it, and the same rows as CSV with a header line.
bool writeVisualFoxProRows(const std::string &table, const std::string &csv, int rows)
{
    xbasewriter::TableSpec layout;
    layout.version = 0x30;
    layout.fields = {{"ID", 'I', 4},    {"NAME", 'C', 30}, {"NOTE", 'V', 20},  {"PRICE", 'Y', 8},
                     {"RATIO", 'B', 8}, {"STAMP", 'T', 8}, {"DONE", 'L', 1},   {"MEMO", 'M', 4},
                     {"_NullFlags", '0', 1, 0, 0x05}};
    layout.recordCount = quint32(rows);
    const QByteArray header = xbasewriter::tableBytes(layout).first(xbasewriter::headerLength(layout));
    const std::string memoPath = table.substr(0, table.size() - 3) + "fpt";
    std::ofstream dbf(table, std::ios::binary);
    std::ofstream memo(memoPath, std::ios::binary);
    std::ofstream text(csv, std::ios::binary);
    dbf.write(header.constData(), header.size());
    // The memo file's header: the next free block, then the block size, big-endian.
    constexpr quint32 blockSize = 64;
    constexpr quint32 firstBlock = 512 / blockSize;
    std::string memoHeader(512, '\0');
    qToBigEndian<quint32>(firstBlock + quint32(rows), memoHeader.data());
    qToBigEndian<quint16>(quint16(blockSize), memoHeader.data() + 6);
    memo.write(memoHeader.data(), std::streamsize(memoHeader.size()));
    text << "ID,NAME,NOTE,PRICE,RATIO,STAMP,DONE,MEMO\n";
    constexpr qint64 julian20240101 = 2460311;
    char record[84];
    char block[blockSize];
    for (int r = 0; r < rows; ++r) {
        const std::string name = "Customer " + std::to_string(r);
        const std::string note = "note " + std::to_string(r % 1000);
        const qint64 cents = qint64(r) * 10000 + (r % 100) * 100; // four decimals
        const double ratio = double(r % 1000) / 8;
        const qint32 day = qint32(julian20240101 + r % 365);
        const qint32 milliseconds = (r % 86400) * 1000 + r % 1000;
        const std::string body = "Memo of record " + std::to_string(r);
        std::memset(record, ' ', sizeof record);
        record[0] = ' ';
        qToLittleEndian<qint32>(r, record + 1);
        std::memcpy(record + 5, name.data(), name.size());
        std::memcpy(record + 35, note.data(), note.size());
        record[35 + 19] = char(note.size()); // shorter than the width: the length in the last byte
        qToLittleEndian<qint64>(cents, record + 55);
        qToLittleEndian<double>(ratio, record + 63);
        qToLittleEndian<qint32>(day, record + 71);
        qToLittleEndian<qint32>(milliseconds, record + 75);
        record[79] = r % 3 ? 'T' : 'F';
        qToLittleEndian<quint32>(firstBlock + quint32(r), record + 80);
        dbf.write(record, 84);
        dbf.put(0x01); // the varchar's length bit
        std::memset(block, 0, sizeof block);
        qToBigEndian<quint32>(1, block);
        qToBigEndian<quint32>(quint32(body.size()), block + 4);
        std::memcpy(block + 8, body.data(), body.size());
        memo.write(block, blockSize);
        const QDateTime stamp(QDate::fromJulianDay(day), QTime(0, 0).addMSecs(milliseconds), Qt::UTC);
        char price[32];
        std::snprintf(price, sizeof price, "%lld.%04lld", cents / 10000, cents % 10000);
        text << r << ',' << name << ',' << note << ',' << price << ',' << ratio << ','
             << stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString() << ',' << (r % 3 ? 't' : 'f')
             << ',' << body << '\n';
    }
    dbf.put(0x1A);
    return bool(dbf) && bool(memo) && bool(text);
}

// The rows of the benchmarks' table of `kind` (0: dBase III, 1: Visual
// FoxPro with a memo field) in `folder` as t.dbf, and as CSV.
bool writeRowsOfKind(int kind, const std::string &folder, const std::string &csv, int rows)
{
    return kind == 0 ? writeRows(folder + "/t.dbf", csv, rows) : writeVisualFoxProRows(folder + "/t.dbf", csv, rows);
}

// orvalle-report --migrate of one table into SQLite against sqlite3's own
// .import of the same rows as CSV, each into a new database; memory is
// compared across sizes (it must not grow with the rows).
void BM_MigrateOverImport(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int kind = int(state.range(1));
    Workspace &space = workspace();
    const QString folder = QStringLiteral("rows%1-%2").arg(rows).arg(kind);
    const std::string csv = space.path(QStringLiteral("rows%1-%2.csv").arg(rows).arg(kind));
    if (!QDir().mkpath(QString::fromStdString(space.path(folder)))
        || !writeRowsOfKind(kind, space.path(folder), csv, rows)) {
        state.SkipWithError("the rows could not be written");
        return;
    }
    const std::string ours = space.path(QStringLiteral("migrated.sqlite"));
    const std::string theirs = space.path(QStringLiteral("imported.sqlite"));
    const std::vector<std::string> migrate = {orvalleReport, "--migrate", ours, "--replace", space.path(folder)};
    const std::vector<std::string> import = {"/bin/sh", "-c",
                                             "rm -f '" + theirs + "' && sqlite3 '" + theirs + "' '.import --csv " + csv
                                                 + " t'"};
    std::vector<Run> migrateRuns, importRuns;
    if (!runAlternately(state, migrate, import, migrateRuns, importRuns))
        return;
    // Both databases must hold every row.
    for (const std::string &database : {ours, theirs}) {
        QProcess count;
        count.start(QStringLiteral("sqlite3"), {QString::fromStdString(database), QStringLiteral("SELECT count(*) FROM t")});
        count.waitForFinished(-1);
        const QByteArray said = count.readAllStandardOutput().trimmed();
        if (said != QByteArray::number(rows)) {
            static std::string failure;
            failure = database + " holds " + said.toStdString() + " rows, not " + std::to_string(rows);
            state.SkipWithError(failure.c_str());
            return;
        }
    }
    const double migrateSeconds = median(migrateRuns, &Run::seconds);
    const double importSeconds = median(importRuns, &Run::seconds);
    state.counters["rows"] = rows;
    state.counters["migrate_s"] = migrateSeconds;
    state.counters["import_s"] = importSeconds;
    state.counters["ratio"] = importSeconds > 0 ? migrateSeconds / importSeconds : 0;
    state.counters["migrate_MiB"] = maximum(migrateRuns, &Run::peakMiB);
    state.counters["rows_per_s"] = migrateSeconds > 0 ? rows / migrateSeconds : 0;
}

// The benchmark's own PostgreSQL server, started once; null when none can be.
PostgresServer *postgresServer()
{
    static std::unique_ptr<PostgresServer> server = [] {
        auto started = std::make_unique<PostgresServer>();
        if (!started->start().isEmpty())
            started.reset();
        return started;
    }();
    return server.get();
}

// The rows a table of the server holds, or -1.
qint64 rowsIn(PostgresServer &server, const QString &database)
{
    const Outcome counted = server.query(database, "SELECT count(*) FROM t");
    return counted.ok ? rowsOf(counted.out).value(0).toLongLong() : -1;
}

// orvalle-report --migrate of the table of BM_MigrateOverImport into a new
// database of the server, against psql \copy of its CSV (and pgloader of
// the same CSV, once, when installed), each into a new database whose table
// is made first with the types --migrate gives it.
void BM_MigrateIntoPostgres(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int kind = int(state.range(1));
    PostgresServer *server = postgresServer();
    if (!server) {
        state.SkipWithError("no PostgreSQL server can be started here");
        return;
    }
    Workspace &space = workspace();
    const QString folder = QStringLiteral("pgrows%1-%2").arg(rows).arg(kind);
    const std::string csv = space.path(QStringLiteral("pgrows%1-%2.csv").arg(rows).arg(kind));
    if (!QDir().mkpath(QString::fromStdString(space.path(folder)))
        || !writeRowsOfKind(kind, space.path(folder), csv, rows)) {
        state.SkipWithError("the rows could not be written");
        return;
    }
    const QByteArray createTable = kind == 0
        ? QByteArray("CREATE TABLE t (name varchar(30), city varchar(20), street varchar(20), code varchar(18), "
                     "price numeric(10,2), total numeric(12,2), count numeric(8,0), stock numeric(6,0), born date, "
                     "seen date, active boolean, paid boolean);")
        : QByteArray("CREATE TABLE t (id integer, name varchar(30), note varchar(20), price numeric(19,4), "
                     "ratio double precision, stamp timestamp, done boolean, memo text);");
    const char *fields = kind == 0 ? "NAME, CITY, STREET, CODE, PRICE, TOTAL, COUNT, STOCK, BORN, SEEN, ACTIVE, PAID"
                                   : "ID, NAME, NOTE, PRICE, RATIO, STAMP, DONE, MEMO";
    static int databases = 0;
    const auto fresh = [&](const char *kind, bool withTable) {
        const QString name = QStringLiteral("%1%2").arg(QLatin1String(kind)).arg(++databases);
        server->createDatabase(name);
        if (withTable)
            server->script(name, createTable);
        return name;
    };
    std::vector<Run> migrateRuns, copyRuns;
    for (auto _ : state) {
        const QString ours = fresh("ours", false);
        const QString floor = fresh("floor", true);
        const Run migrate = runChild({orvalleReport, "--migrate", server->connectionString(ours).toStdString(),
                                      space.path(folder)});
        const Run copy = runChild({server->program(QStringLiteral("psql")).toStdString(), "-X", "-q", "-d", server->connectionString(floor).toStdString(), "-c",
                                   "\\copy t FROM '" + csv + "' WITH (FORMAT csv, HEADER true)"});
        if (!migrate.ok || !copy.ok || rowsIn(*server, ours) != rows || rowsIn(*server, floor) != rows) {
            static std::string failure;
            failure = !migrate.ok ? migrate.failure : !copy.ok ? copy.failure : "a database lacks rows";
            state.SkipWithError(failure.c_str());
            return;
        }
        state.SetIterationTime(migrate.seconds);
        migrateRuns.push_back(migrate);
        copyRuns.push_back(copy);
    }
    const double migrateSeconds = median(migrateRuns, &Run::seconds);
    const double copySeconds = median(copyRuns, &Run::seconds);
    state.counters["rows"] = rows;
    state.counters["migrate_s"] = migrateSeconds;
    state.counters["psql_copy_s"] = copySeconds;
    state.counters["ratio"] = copySeconds > 0 ? migrateSeconds / copySeconds : 0;
    state.counters["migrate_MiB"] = maximum(migrateRuns, &Run::peakMiB);
    if (const QString pgloaderPath = QStandardPaths::findExecutable(QStringLiteral("pgloader")); !pgloaderPath.isEmpty()) {
        const QString loaded = fresh("pgloader", true);
        const std::string command = space.path(QStringLiteral("pgrows%1.load").arg(rows));
        std::ofstream(command) << "LOAD CSV FROM '" << csv << "' HAVING FIELDS (" << fields
                               << ")\nINTO postgresql://postgres@unix:" << server->socketFolder().toStdString()
                               << ":5432/" << loaded.toStdString() << "?t ("
                               << QString::fromLatin1(fields).toLower().toStdString()
                               << ")\nWITH skip header = 1, fields terminated by ',';\n";
        const Run pgloader = runChild({pgloaderPath.toStdString(), "--quiet", command});
        if (pgloader.ok && rowsIn(*server, loaded) == rows)
            state.counters["pgloader_s"] = pgloader.seconds;
    }
}

} // namespace

// The second argument is the table's kind: 0 dBase III, 1 Visual FoxPro with a memo field.
BENCHMARK(BM_MigrateIntoPostgres)
    ->Args({1000, 0})
    ->Args({1000000, 0})
    ->Args({1000, 1})
    ->Args({1000000, 1})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_MigrateOverImport)
    ->Args({1000, 0})
    ->Args({1000000, 0})
    ->Args({1000, 1})
    ->Args({1000000, 1})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ReportUnderWine)->Arg(2000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DiffOfAHugeComment)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DiffOverReport)->Arg(2000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_CheckOverJson)->Arg(10000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// Every dictionary format at 10,000 tables of 30 fields and two tags each.
BENCHMARK(BM_DictionaryOverReport)
    ->ArgsProduct({{10000}, {0, 1, 2, 3, 4}})
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Fifteen runs of each, alternating: the medians hold still on a shared machine.
BENCHMARK(BM_ReportOverFloor)
    ->Arg(2000)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (argc > 2 && std::strcmp(argv[1], measureOption) == 0)
        return measureChild(argv + 2);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
