#include "export/cli/reportcommand.h"

#include "export/check/checks.h"
#include "export/cli/standardoutput.h"

#include "export/report/dictionaryreport.h"
#include "export/cli/diffcommand.h"
#include "export/cli/lines.h"
#include "export/cli/migratecommand.h"
#include "platform/cleantext.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"
#include "export/report/reportfile.h"
#include "export/report/structurereport.h"
#include "export/report/tablelist.h"
#include "model/sourcemodel.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <optional>

namespace cli {

namespace {

const char helpText[] =
    "Usage: orvalle-report [--format FORMAT] SOURCE [TABLE ...] [-o FILE]\n"
    "                      [--section pre-data|post-data | --data]\n"
    "       orvalle-report --diff OLD NEW [TABLE ...] [--format FORMAT] [-o FILE]\n"
    "       orvalle-report --check SOURCE [TABLE ...] [--format text|json|markdown]\n"
    "                      [--ignore RULE ...] [-o FILE]\n"
    "       orvalle-report SOURCE --list\n"
    "       orvalle-report --migrate DATABASE SOURCE [TABLE ...] [--replace] [--strict]\n"
    "                      [--constraints strict|after|off] [--schema NAME]\n"
    "       orvalle-report --help | --version\n"
    "\n"
    "Writes the structure report of FoxPro tables: for each table its fields,\n"
    "with their type and description, exactly as the Orvalle table window\n"
    "writes it for the same source and selection; or, in another FORMAT,\n"
    "the data dictionary of those tables: everything their files say about\n"
    "them (sizes, nulls, defaults, captions, rules, index tags, relations,\n"
    "views) and what looks wrong with them.\n"
    "\n"
    "SOURCE   a folder of free tables (.dbf files), or a database container\n"
    "         file (a name ending in .dbc). The report's first line names it\n"
    "         as given here.\n"
    "TABLE    a table to report, named as --list names it (the names are\n"
    "         compared exactly; with --diff, ignoring case). Tables are written\n"
    "         in the order of the list, whatever the order given here. No\n"
    "         TABLE: every table.\n"
    "\n"
    "With --diff: what changed in the structure from OLD to NEW, each a SOURCE\n"
    "or a JSON dictionary written earlier (a file whose name ends in .json):\n"
    "tables, views and relations added, removed or changed; within a table its\n"
    "fields (added, removed, possibly renamed, moved, retyped, resized, other\n"
    "properties), its index tags and its code page. Names are compared\n"
    "ignoring case, as FoxPro compares them. TABLE limits the comparison to\n"
    "those tables and views. FORMAT is text (a change list, the default),\n"
    "markdown, html or json (described in docs/diff-json.md), all UTF-8 with\n"
    "LF line ends. A table that a side cannot read, or whose index tags it\n"
    "cannot read, is named on standard error and in the difference, and is\n"
    "never reported as added or removed. A dictionary written for some\n"
    "tables holds only those: compare it with the same TABLE list.\n"
    "\n"
    "With --check: the health and design of the tables, as a CI can check\n"
    "them: what reading found wrong (read-error, read-warning) and design\n"
    "rules (no-key, nullable-key, unindexed-relation, name-collision,\n"
    "reserved-word, untranslated-index, unreached-table, memo-candidate,\n"
    "undocumented-table, undocumented-field; listed in docs/checks.md), each\n"
    "finding with its rule, severity, place and why it matters; then how many\n"
    "fields of each table have a comment, a caption, either. --ignore RULE\n"
    "leaves a rule out. Exit status: 0 no error or warning (notes may\n"
    "remain), 1 an error or a warning, 2 trouble (the command line, or the\n"
    "source cannot be read, or the output cannot be written).\n"
    "\n"
    "With --migrate: every record of the tables, deleted records left out,\n"
    "into DATABASE: a new SQLite database file with the schema of the sqlite\n"
    "format, or a PostgreSQL database named by a libpq connection string\n"
    "(postgresql://... or host=... dbname=...) with that of the postgres\n"
    "format. The tables are made first, then the rows go in, then the keys,\n"
    "indexes and foreign keys. Text is converted from each table's code page\n"
    "to UTF-8; a value that cannot be read (a number of asterisks, an\n"
    "impossible date, a memo outside its file) is loaded as NULL and named on\n"
    "standard error with its record and field. Each table's rows are counted\n"
    "in the database and compared with the records read; a row that breaks a\n"
    "key or a relation the container declares fails the load, naming the\n"
    "values, unless --constraints says otherwise. A summary table goes to\n"
    "standard output. A SQLite database is made beside DATABASE and put in\n"
    "its place only when complete; PostgreSQL takes everything in one\n"
    "transaction. A failure leaves nothing behind.\n"
    "\n"
    "Options:\n"
    "  -f, --format FORMAT  text (the default): the structure report;\n"
    "                     json, markdown, html: the data dictionary;\n"
    "                     postgres, sqlite: a schema to start a migration from;\n"
    "                     dot, svg: the diagram of the tables and their\n"
    "                     relations, declared and implied (Graphviz source,\n"
    "                     or laid out)\n"
    "  -o, --output FILE  write the report to FILE (created, or replaced when\n"
    "                     it exists) instead of standard output; a device\n"
    "                     or a pipe (/dev/null, /dev/stdout) is written as\n"
    "                     it is\n"
    "  --section pre-data|post-data\n"
    "                     with postgres or sqlite: only the tables, made\n"
    "                     before the data is loaded (pre-data), or only the\n"
    "                     keys, unique constraints, indexes and foreign keys,\n"
    "                     made after it (post-data); both, in that order, by\n"
    "                     default\n"
    "  --data             with postgres: every record too, in COPY blocks between\n"
    "                     the tables and their keys (a dump that psql -f loads)\n"
    "  --list             print the table names of SOURCE, one a line\n"
    "  --migrate DATABASE load the tables into a new SQLite database file, or\n"
    "                     into the PostgreSQL database a connection string names\n"
    "  --replace          with --migrate into SQLite: replace DATABASE when it\n"
    "                     exists (otherwise it is refused)\n"
    "  --schema NAME      with --migrate into PostgreSQL: make the schema NAME\n"
    "                     and load into it\n"
    "  --strict           with --migrate: a value that cannot be read fails\n"
    "                     the load\n"
    "  --constraints strict|after|off\n"
    "                     with --migrate: rows that break a key, a unique\n"
    "                     constraint or a relation the container declares fail\n"
    "                     the load (strict, the default), or are loaded with\n"
    "                     that constraint left out and named (after), or every\n"
    "                     such constraint is left out (off). With after or\n"
    "                     off, a SQLite primary key is a unique index made\n"
    "                     after the rows; SQLite keeps foreign keys but\n"
    "                     enforces them only when PRAGMA foreign_keys = ON\n"
    "                     asks\n"
    "  -h, --help         print this text\n"
    "  --version          print the program's name and version\n"
    "\n"
    "The text report is in the system's code page with CR LF line ends; the\n"
    "other formats are UTF-8 with LF line ends. Every format is\n"
    "written whole or not at all: FILE is replaced only by a complete report,\n"
    "and on standard output it appears only when it was written completely.\n"
    "A FILE that is one of the source's own files (a table, its memo or\n"
    "index, the container), or one the source names but lacks (a missing\n"
    "memo or index), is refused: a data source is never written.\n"
    "Text taken from the files never starts a line of its own: control\n"
    "characters become spaces and a description of several lines goes on\n"
    "below itself, indented.\n"
    "Each failure goes to standard error as one line that names the table or\n"
    "field concerned, and the rest of the report is still written where it\n"
    "can be; in a dictionary, a table whose index tags cannot be read is\n"
    "such a failure. The tool reads and writes no settings and needs no\n"
    "display.\n"
    "\n"
    "Exit status: 0 everything was written; 1 something failed (a failure\n"
    "line says what), a TABLE is not in the list or standard output cannot\n"
    "be written; 2 the command line is wrong.\n"
    "With --diff, as diff(1) has it: 0 no difference, 1 a difference, 2 trouble\n"
    "(the command line is wrong, a side, a table or its index tags cannot be\n"
    "read, or the output cannot be written).\n";

// The difference is written in the dictionary's readable formats, not as SQL.
std::optional<DiffFormat> diffFormatOf(dictionary::DictionaryFormat format)
{
    switch (format) {
    case dictionary::DictionaryFormat::Json:
        return DiffFormat::Json;
    case dictionary::DictionaryFormat::Markdown:
        return DiffFormat::Markdown;
    case dictionary::DictionaryFormat::Html:
        return DiffFormat::Html;
    case dictionary::DictionaryFormat::Postgres:
    case dictionary::DictionaryFormat::Sqlite:
    case dictionary::DictionaryFormat::Dot:
    case dictionary::DictionaryFormat::Svg:
        break;
    }
    return std::nullopt;
}

const char versionText[] = "orvalle-report " ORVALLE_VERSION "\n";

struct Options {
    std::optional<dictionary::DictionaryFormat> format; // none: the text report
    bool diff = false;
    QString migrate; // the database to load the source into
    QString schema;  // PostgreSQL: the new schema to load into
    bool replace = false;
    bool strict = false;
    std::optional<migrate::Constraints> constraints;
    std::optional<dictionary::SqlSections> section; // of an SQL schema; none: both
    bool data = false; // the PostgreSQL schema with every record
    bool check = false;
    QStringList ignored; // rules --check leaves out
    QString source;
    QStringList tables;
    QString output;
    bool list = false;
    bool help = false;
    bool version = false;
};

bool writeText(QIODevice &device, const char *text)
{
    const qint64 size = qint64(std::strlen(text));
    return device.write(text, size) == size;
}

// Standard output could not take what was written: one line says so.
int outputFailed(QIODevice &out, QIODevice &err)
{
    const QString reason = out.errorString();
    writeLine(err, QStringLiteral("orvalle-report: cannot write to standard output: %1").arg(reason));
    return Failed;
}

// Returns an empty text when the arguments make sense, else what is wrong.
QString parse(const QStringList &arguments, Options &options)
{
    bool optionsEnded = false;
    bool formatGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == QLatin1String("-h") || argument == QLatin1String("--help"))) {
            options.help = true;
        } else if (!optionsEnded && argument == QLatin1String("--version")) {
            options.version = true;
        } else if (!optionsEnded
                   && (argument == QLatin1String("-f") || argument == QLatin1String("--format")
                       || argument.startsWith(QLatin1String("--format=")))) {
            QString name;
            if (argument.startsWith(QLatin1String("--format="))) {
                name = argument.mid(9);
            } else {
                if (i + 1 >= arguments.size())
                    return QStringLiteral("%1 needs a format name").arg(argument);
                name = arguments.at(++i);
            }
            if (formatGiven)
                return QStringLiteral("only one format can be given");
            formatGiven = true;
            if (name != QLatin1String("text")) {
                options.format = dictionary::dictionaryFormatNamed(name);
                if (!options.format)
                    return QStringLiteral("unknown format %1 (%2)").arg(oneLine(name), dictionary::reportFormatNames());
            }
        } else if (!optionsEnded && argument == QLatin1String("--diff")) {
            options.diff = true;
        } else if (!optionsEnded && argument == QLatin1String("--migrate")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
                return QStringLiteral("--migrate needs a database file name");
            if (!options.migrate.isEmpty())
                return QStringLiteral("only one database can be given");
            options.migrate = arguments.at(++i);
        } else if (!optionsEnded && argument == QLatin1String("--schema")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
                return QStringLiteral("--schema needs a schema name");
            options.schema = arguments.at(++i);
        } else if (!optionsEnded && argument == QLatin1String("--replace")) {
            options.replace = true;
        } else if (!optionsEnded && argument == QLatin1String("--strict")) {
            options.strict = true;
        } else if (!optionsEnded && argument == QLatin1String("--constraints")) {
            const QString mode = i + 1 < arguments.size() ? arguments.at(++i) : QString();
            if (mode == QLatin1String("strict"))
                options.constraints = migrate::Constraints::Strict;
            else if (mode == QLatin1String("after"))
                options.constraints = migrate::Constraints::After;
            else if (mode == QLatin1String("off"))
                options.constraints = migrate::Constraints::Off;
            else
                return QStringLiteral("--constraints takes strict, after or off");
        } else if (!optionsEnded && argument == QLatin1String("--section")) {
            const QString name = i + 1 < arguments.size() ? arguments.at(++i) : QString();
            if (name != QLatin1String("pre-data") && name != QLatin1String("post-data"))
                return QStringLiteral("--section takes pre-data or post-data");
            if (options.section)
                return QStringLiteral("only one section can be given");
            options.section = name == QLatin1String("pre-data") ? dictionary::SqlSections::PreData
                                                                : dictionary::SqlSections::PostData;
        } else if (!optionsEnded && argument == QLatin1String("--check")) {
            options.check = true;
        } else if (!optionsEnded && argument == QLatin1String("--ignore")) {
            const QString rule = i + 1 < arguments.size() ? arguments.at(++i) : QString();
            if (!check::ruleNamed(rule)) {
                QStringList ids;
                for (const check::Rule &known : check::rules())
                    ids.append(QLatin1String(known.id));
                return QStringLiteral("--ignore takes a rule: %1").arg(ids.join(QStringLiteral(", ")));
            }
            options.ignored.append(rule);
        } else if (!optionsEnded && argument == QLatin1String("--data")) {
            options.data = true;
        } else if (!optionsEnded && argument == QLatin1String("--list")) {
            options.list = true;
        } else if (!optionsEnded && (argument == QLatin1String("-o") || argument == QLatin1String("--output"))) {
            if (i + 1 >= arguments.size())
                return QStringLiteral("%1 needs a file name").arg(argument);
            if (!options.output.isEmpty())
                return QStringLiteral("only one output file can be given");
            options.output = arguments.at(++i);
            if (options.output.isEmpty())
                return QStringLiteral("the output file name is empty");
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            return QStringLiteral("unknown option %1").arg(argument);
        } else if (options.source.isNull()) {
            options.source = argument;
        } else {
            options.tables.append(argument);
        }
    }
    if (options.help || options.version)
        return QString();
    if (!options.ignored.isEmpty() && !options.check)
        return QStringLiteral("--ignore goes with --check");
    if (options.migrate.isEmpty() && (options.replace || options.strict || options.constraints || !options.schema.isNull()))
        return QStringLiteral("--replace, --strict, --constraints and --schema go with --migrate");
    if (options.check) {
        if (options.diff || options.list || !options.migrate.isEmpty() || options.section || options.data)
            return QStringLiteral("--check takes no --diff, --list, --migrate, --section or --data");
        if (options.format && options.format != dictionary::DictionaryFormat::Json
            && options.format != dictionary::DictionaryFormat::Markdown)
            return QStringLiteral("--check writes text, json or markdown");
        if (options.source.isNull())
            return QStringLiteral("no SOURCE given");
        return QString();
    }
    if (!options.migrate.isEmpty()) {
        if (options.diff || options.list || formatGiven || !options.output.isEmpty() || options.section || options.data)
            return QStringLiteral("--migrate takes no --diff, --list, format, section, --data or output file");
        if (options.source.isNull())
            return QStringLiteral("no SOURCE given");
        const bool postgres = migrate::isPostgresTarget(options.migrate);
        if (postgres && options.replace)
            return QStringLiteral("--replace goes with a database file; PostgreSQL tables are never replaced");
        if (!postgres && !options.schema.isNull())
            return QStringLiteral("--schema goes with a PostgreSQL database");
        return QString();
    }
    const bool sqlFormat = options.format == dictionary::DictionaryFormat::Postgres
        || options.format == dictionary::DictionaryFormat::Sqlite;
    if (options.section && (options.diff || !sqlFormat))
        return QStringLiteral("--section goes with --format postgres or sqlite");
    if (options.data && (options.diff || options.format != dictionary::DictionaryFormat::Postgres || options.section))
        return QStringLiteral("--data goes with --format postgres, and no --section");
    if (options.diff) {
        if (options.list)
            return QStringLiteral("--diff and --list cannot be given together");
        if (options.source.isNull() || options.tables.isEmpty())
            return QStringLiteral("--diff needs OLD and NEW");
        if (options.format && !diffFormatOf(*options.format))
            return QStringLiteral("--diff writes %1").arg(dictionary::reportFormatNames(true));
        return QString();
    }
    if (options.source.isNull())
        return QStringLiteral("no SOURCE given");
    if (options.list && (!options.tables.isEmpty() || !options.output.isEmpty() || formatGiven))
        return QStringLiteral("--list takes no TABLE, no output file and no format");
    return QString();
}

report::ReportSource sourceOf(const QString &source)
{
    const QFileInfo info(source);
    if (!info.isDir() && info.suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) == 0)
        return report::ReportSource::containerFile(source);
    return report::ReportSource::folder(source);
}

// The list the window shows, read the same way.
QStringList readTableNames(const report::ReportSource &source)
{
    QStringList names;
    report::readTableList(source.connectionString, [&] { names.clear(); },
                           [&](const QString &name) { names.append(name); });
    return names;
}

class Selection : public report::TableSelection {
public:
    Selection(QStringList names, QList<bool> selected)
        : m_names(std::move(names)), m_selected(std::move(selected)) {}
    int count() const override { return int(m_names.size()); }
    QString text(int index) const override { return m_names.at(index); }
    bool isSelected(int index) const override { return m_selected.at(index); }

private:
    QStringList m_names;
    QList<bool> m_selected;
};

// Failures and messages become lines on standard error; the table or field
// being worked on names what the failure concerns.
class StderrReporter : public report::ReportFeedback, public app::ErrorSink {
public:
    StderrReporter(QIODevice &err, QString source) : m_err(err), m_source(std::move(source)) {}

    void setBusy(bool) override {}
    void letEventsRun() override {}
    void message(const QString &text) override
    {
        // "Done." is what the exit status already says.
        if (text != QLatin1String("Done."))
            writeLine(m_err, QStringLiteral("orvalle-report: ") + text);
    }
    void workingOn(const QString &table, QStringView field) override
    {
        // The table stays the same for all its fields: no copy each time.
        if (table.constData() != m_table.constData() || table.size() != m_table.size())
            m_table = table;
        m_field = field;
    }
    void report(const QString &location, int label, const QString &description) override
    {
        ++m_failures;
        QString subject = m_table.isEmpty() ? m_source : m_table;
        if (!m_field.isEmpty())
            subject += QLatin1Char('.') + m_field.toString();
        writeLine(m_err, QStringLiteral("orvalle-report: %1: %2 (%3at line %4)")
                             .arg(oneLine(subject), oneLine(description), location)
                             .arg(label));
    }
    int failures() const { return m_failures; }

private:
    QIODevice &m_err;
    QString m_source;
    QString m_table;
    QStringView m_field; // valid until the writer's next workingOn
    int m_failures = 0;
};

// The source itself cannot be read: one line naming it, the number and what is wrong.
void writeSourceFailure(QIODevice &err, const report::ReportSource &source, const Failure &failure)
{
    // A failure of our own (writing the report) has no number to give.
    if (failure.number() == 0)
        writeLine(err, QStringLiteral("orvalle-report: %1: %2").arg(oneLine(source.path), oneLine(failure.description())));
    else
        writeLine(err, QStringLiteral("orvalle-report: %1: %2 %3")
                           .arg(oneLine(source.path))
                           .arg(failure.number())
                           .arg(oneLine(failure.description())));
}

// The list, or none after a line saying why the source cannot be read.
std::optional<QStringList> tableNamesOrFailure(const report::ReportSource &source, QIODevice &err)
{
    try {
        return readTableNames(source);
    } catch (const Failure &failure) {
        writeSourceFailure(err, source, failure);
        return std::nullopt;
    }
}

// Where in `names` the TABLE argument `table` is: spelled the same; else
// spelled as --list writes it (on one line), or, where the file system
// ignores case (Windows, where orders.dbf and ORDERS.DBF are one file), in
// another case; -1 when nowhere.
qsizetype tableIndex(const QStringList &names, const QString &table)
{
    const qsizetype exact = names.indexOf(table);
    if (exact >= 0)
        return exact;
    const Qt::CaseSensitivity cases = platform::fileNamesIgnoreCase() ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const auto found = std::find_if(names.cbegin(), names.cend(), [&](const QString &name) {
        return name.compare(table, cases) == 0 || oneLine(name).compare(table, cases) == 0;
    });
    return found == names.cend() ? -1 : found - names.cbegin();
}

// The source's tables as --list names them, and where among them each TABLE
// argument is, in the arguments' order; none after the lines on standard
// error that say why: the source cannot be read, or lacks a TABLE.
struct ChosenTables {
    QStringList listed;
    QList<qsizetype> named;
};

std::optional<ChosenTables> chooseTables(const report::ReportSource &source, const QStringList &tables, QIODevice &err)
{
    std::optional<QStringList> listed = tableNamesOrFailure(source, err);
    if (!listed)
        return std::nullopt;
    ChosenTables chosen{*std::move(listed), {}};
    bool unknown = false;
    for (const QString &table : tables) {
        const qsizetype index = tableIndex(chosen.listed, table);
        if (index < 0) {
            writeLine(err, QStringLiteral("orvalle-report: %1: no such table in %2 (see --list)")
                               .arg(oneLine(table), oneLine(source.path)));
            unknown = true;
        }
        chosen.named.append(index);
    }
    if (unknown)
        return std::nullopt;
    return chosen;
}

int listTables(const report::ReportSource &source, QIODevice &out, QIODevice &err)
{
    const std::optional<QStringList> names = tableNamesOrFailure(source, err);
    if (!names)
        return Failed;
    for (const QString &name : *names) {
        if (!writeLine(out, oneLine(name)))
            return outputFailed(out, err);
    }
    return Success;
}

// The PostgreSQL script with every record to `path`, whole or not at all;
// what reading the records found goes to standard error, a line each.
report::DictionaryResult writeDumpFile(const QString &path, const report::ReportSource &source,
                                       const QStringList &tables, QIODevice &err)
{
    report::refuseSourceFile(path, source, tables);
    migrate::Migration dump;
    report::writeWholeFile(path, [&](const dictionary::DictionarySink &sink) {
        dump = migrate::writePostgresDump(source.path, tables, sink, {});
    });
    writeFindings(err, dump.findings);
    return {};
}

// The checks to standard output or to the output file, whole or not at all.
// 0 nothing but notes, 1 an error or a warning, 2 trouble.
int runCheck(const Options &options, QIODevice &out, QIODevice &err)
{
    constexpr int trouble = 2;
    const report::ReportSource source = sourceOf(options.source);
    const check::CheckFormat format = options.format == dictionary::DictionaryFormat::Json ? check::CheckFormat::Json
        : options.format == dictionary::DictionaryFormat::Markdown                        ? check::CheckFormat::Markdown
                                                                                          : check::CheckFormat::Text;
    // The source as it is now, listed once: a TABLE must be one of it, as
    // for every other document.
    const model::SourceSnapshot snapshot;
    const std::optional<ChosenTables> chosen = chooseTables(source, options.tables, err);
    if (!chosen)
        return trouble;
    QStringList tables;
    for (const qsizetype index : chosen->named)
        tables.append(chosen->listed.at(index));
    try {
        const check::CheckResult result = check::checkSource(source.path, tables, options.ignored);
        const QByteArray document = check::writeCheck(result, format);
        if (options.output.isEmpty()) {
            if (out.write(document) != document.size()) {
                outputFailed(out, err);
                return trouble;
            }
        } else {
            report::refuseSourceFile(options.output, source, tables);
            report::writeWholeFile(options.output, document);
        }
        return result.exitStatus();
    } catch (const Failure &failure) {
        writeSourceFailure(err, source, failure);
        return trouble;
    }
}

// The tables into a database; a TABLE the source lacks fails before any is made.
int migrateTables(const Options &options, QIODevice &out, QIODevice &err)
{
    // Listed once, for the names and for the load.
    const model::SourceSnapshot snapshot;
    QStringList tables;
    if (!options.tables.isEmpty()) {
        const std::optional<ChosenTables> chosen = chooseTables(sourceOf(options.source), options.tables, err);
        if (!chosen)
            return Failed;
        // In the list's order, as every document has them.
        QList<bool> named(chosen->listed.size(), false);
        for (const qsizetype index : chosen->named)
            named[index] = true;
        for (qsizetype i = 0; i < chosen->listed.size(); ++i) {
            if (named.at(i))
                tables.append(chosen->listed.at(i));
        }
    }
    return runMigration({options.migrate, options.schema, options.source, tables, options.replace, options.strict,
                         options.constraints.value_or(migrate::Constraints::Strict)},
                        out, err);
}

int writeDictionaryReport(const Options &options, dictionary::DictionaryFormat format, const report::ReportSource &source,
                          const QStringList &names, const QList<bool> &selected, QIODevice &out, QIODevice &err)
{
    QStringList tables;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (selected.at(i))
            tables.append(names.at(i));
    }
    dictionary::SqlOptions sqlOptions;
    sqlOptions.sections = options.section.value_or(dictionary::SqlSections::Both);
    const auto writeTo = [&](const QString &path) {
        return options.data ? writeDumpFile(path, source, tables, err)
                            : report::writeDictionaryFile(path, format, source, tables, sqlOptions);
    };
    report::DictionaryResult result;
    if (!options.output.isEmpty()) {
        try {
            result = writeTo(options.output);
        } catch (const Failure &failure) {
            writeSourceFailure(err, source, failure);
            return Failed;
        }
        writeFindings(err, result.failures);
        return result.failures.isEmpty() ? Success : Failed;
    }
    const bool written = writeThroughTemporaryFile(
        QStringLiteral("dictionary"), QStringLiteral("dictionary"), out,
        [&](const QString &path) {
            try {
                result = writeTo(path);
            } catch (const Failure &failure) {
                writeSourceFailure(err, source, failure);
                return false;
            }
            writeFindings(err, result.failures);
            return true;
        },
        [&](const QString &line) { writeLine(err, QStringLiteral("orvalle-report: ") + line); });
    return written && result.failures.isEmpty() ? Success : Failed;
}

int writeReport(const Options &options, const report::ReportSource &source, QIODevice &out,
                QIODevice &err)
{
    // The source is read once, as it is now: for its names, for the check that
    // the report is none of its files, and for the report itself.
    const model::SourceSnapshot snapshot;
    const std::optional<ChosenTables> chosen = chooseTables(source, options.tables, err);
    if (!chosen)
        return Failed;
    const QStringList &names = chosen->listed;
    QList<bool> selected(names.size(), options.tables.isEmpty());
    for (const qsizetype index : chosen->named)
        selected[index] = true;

    if (options.format)
        return writeDictionaryReport(options, *options.format, source, names, selected, out, err);

    const Selection selection(names, selected);
    StderrReporter reporter(err, source.path);
    if (!options.output.isEmpty()) {
        const bool written = report::writeStructureReport(options.output, selection, source, reporter, reporter);
        return written && reporter.failures() == 0 ? Success : Failed;
    }
    const bool written = writeThroughTemporaryFile(
        QStringLiteral("report.txt"), QStringLiteral("report"), out,
        [&](const QString &path) { return report::writeStructureReport(path, selection, source, reporter, reporter); },
        [&](const QString &line) { writeLine(err, QStringLiteral("orvalle-report: ") + line); });
    return written && reporter.failures() == 0 ? Success : Failed;
}

} // namespace

int run(const QStringList &arguments, QIODevice &out, QIODevice &err)
{
    Options options;
    const QString problem = parse(arguments, options);
    if (options.help || options.version)
        return writeText(out, options.help ? helpText : versionText) ? Success : outputFailed(out, err);
    if (!problem.isEmpty()) {
        writeLine(err, QStringLiteral("orvalle-report: ") + problem);
        writeLine(err, QStringLiteral("Try 'orvalle-report --help'."));
        return UsageError;
    }
    if (options.diff) {
        DiffRequest request;
        request.before = options.source;
        request.after = options.tables.first();
        request.tables = options.tables.mid(1);
        request.format = options.format ? *diffFormatOf(*options.format) : DiffFormat::Text;
        request.output = options.output;
        return runDiff(request, out, err);
    }
    if (!options.migrate.isEmpty())
        return migrateTables(options, out, err);
    if (options.check)
        return runCheck(options, out, err);
    const report::ReportSource source = sourceOf(options.source);
    if (options.list)
        return listTables(source, out, err);
    return writeReport(options, source, out, err);
}

} // namespace cli
