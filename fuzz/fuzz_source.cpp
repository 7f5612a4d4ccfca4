// A whole data source built from a recipe in a temporary folder, then listed
// and reported through orvalle-report's own command: once as a folder of free
// tables, once as a second source (the recipe's container, or whatever file
// the recipe names). Whatever the files hold, every run keeps these:
//  - the command ends with 0 or 1 and throws nothing;
//  - no file under the temporary folder changes, appears or goes, except the
//    report file asked for (or where its symbolic link leads), and that one
//    only when it is not certainly one of the source's own files: a table of
//    the folder, a table's memo, index or backup, the container given;
//  - the report file is as it was or a complete report: its head, the
//    contents list numbered from 1 with the listed names in order, one block
//    per listed table in the same order, each closed by two empty lines and
//    the report by one more; inside a block every field line starts with a
//    space, except the line the layout gives a field name of 25 characters or
//    more (that name followed by the type code), checked against the field;
//    no control character anywhere but the CR LF line ends; exit status 0
//    always leaves one;
//  - standard error holds whole lines "orvalle-report: ..." without a control
//    character: none after exit status 0, at least one after 1;
//  - --list prints the names the report lists, one a line;
//  - the report written to standard output is the one written to a file.
//
// The source is made as fuzz/sourcerecipe.h says, after one byte of options:
// bit 0 a container; bits 1-2 how the folder is spelled; bits 3-5 the report
// file (mod 6); bits 6-7 the second source; then the name of the report file
// and of the second source when they need one.

#include "model/dataaccess.h"
#include "platform/cleantext.h"
#include "platform/failure.h"
#include "export/cli/reportcommand.h"
#include "export/report/reportfile.h"
#include "export/report/tablelist.h"
#include "sourcerecipe.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace report;
using namespace cli;
using namespace fuzzsource;

namespace {

// A line as the report writes it.
QString reportLine(const QString &text)
{
    return platform::cleanText(text, platform::CodePageLine);
}

} // namespace

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- the checks

QString shown(const std::string &key)
{
    return QString::fromLocal8Bit(QByteArray::fromStdString(key).toPercentEncoding("/ ._-"));
}

std::optional<std::pair<quint64, quint64>> identity(const QByteArray &path)
{
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return std::nullopt;
    return std::make_pair(quint64(status.st_dev), quint64(status.st_ino));
}

// The files certainly the folder's own: its tables (the regular *.dbf files)
// and, sharing a table's name, its memo, indexes and backups.
std::set<std::pair<quint64, quint64>> folderFiles(const QByteArray &folder)
{
    const auto baseOf = [](const QString &name) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot <= 0 ? name : name.first(dot);
    };
    const auto extensionOf = [](const QString &name) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot <= 0 ? QString() : name.sliced(dot + 1).toLower();
    };
    static const QStringList companions{"fpt", "dbt", "cdx", "mdx", "idx", "ndx", "ntx", "bak", "tbk"};
    struct Entry {
        QByteArray path;
        QString text;
    };
    QList<Entry> regular;
    std::error_code error;
    for (fs::directory_iterator it(folder.toStdString(), error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const QByteArray name = QByteArray::fromStdString(it->path().filename().native());
        const QByteArray path = folder + '/' + name;
        struct stat status;
        if (::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode))
            regular.append({path, QFile::decodeName(name)});
    }
    const auto isTable = [&](const QString &text) {
        return text.size() > 4 && extensionOf(text) == QLatin1String("dbf");
    };
    QStringList tableBases;
    for (const Entry &entry : std::as_const(regular)) {
        if (isTable(entry.text))
            tableBases.append(baseOf(entry.text));
    }
    std::set<std::pair<quint64, quint64>> files;
    for (const Entry &entry : std::as_const(regular)) {
        const QString base = baseOf(entry.text);
        const bool companion = companions.contains(extensionOf(entry.text))
                               && std::any_of(tableBases.cbegin(), tableBases.cend(), [&](const QString &table) {
                                      return table.compare(base, Qt::CaseInsensitive) == 0;
                                  });
        if (isTable(entry.text) || companion) {
            if (const auto id = identity(entry.path))
                files.insert(*id);
        }
    }
    return files;
}

bool isControl(QChar character)
{
    const char16_t c = character.unicode();
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

QString decodeUtf8(const QByteArray &bytes, const char *what)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        fail(what, QString::fromLatin1(bytes.toHex(' ')));
    return text;
}

// orvalle-report's command, which ends with 0 or 1 here.
Run runCommand(const QStringList &arguments)
{
    const Run run = runReportCommand(arguments);
    if (run.code != 0 && run.code != 1)
        fail("orvalle-report ended with neither 0 nor 1",
             arguments.join(QLatin1Char(' ')) + QStringLiteral(" -> %1").arg(run.code));
    return run;
}

// Whole lines "orvalle-report: ..." without a control character; none after
// 0, at least one after 1.
void checkErrors(const Run &run, const QString &what)
{
    if (run.code == 0 && !run.err.isEmpty())
        fail("a failure line after exit status 0", what + QLatin1Char('\n') + QString::fromUtf8(run.err));
    if (run.code == 1 && run.err.isEmpty())
        fail("exit status 1 and no failure line", what);
    if (run.err.isEmpty())
        return;
    if (!run.err.endsWith('\n'))
        fail("standard error does not end with a whole line", what + QLatin1Char('\n') + QString::fromUtf8(run.err));
    const QString text = decodeUtf8(run.err, "standard error is not UTF-8");
    const QStringList lines = text.chopped(1).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1String("orvalle-report: ")))
            fail("a line on standard error does not name the program", what + QLatin1Char('\n') + line);
        if (std::any_of(line.cbegin(), line.cend(), isControl))
            fail("a control character inside a failure line", what + QLatin1Char('\n') + line);
    }
}

const QString columnHeads = QStringLiteral("Field Name                DataType     Description");
const QString underline = QStringLiteral("__________                ________     ___________");

// The layout of a complete report of the tables `names` from `source`.
class ReportCheck {
public:
    ReportCheck(QString source, QString connectionString, QStringList names)
        : m_source(std::move(source)), m_connectionString(std::move(connectionString)), m_names(std::move(names))
    {
    }

    void check(const QByteArray &bytes, const QString &what)
    {
        m_what = what;
        m_bytes = bytes;
        // The report's last block ends with two empty lines, then one more.
        if (!bytes.endsWith("\r\n\r\n\r\n\r\n") || bytes.endsWith("\n\r\n\r\n\r\n\r\n"))
            problem("the report does not end with its last block's two empty lines and one more");
        const QString text = decodeUtf8(bytes, "the report is not UTF-8");
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeLast();
        for (const QString &line : std::as_const(lines)) {
            if (std::any_of(line.cbegin(), line.cend(), isControl))
                problem("a control character inside a line: " + line);
        }
        m_lines = lines;
        m_at = 0;

        expect(QStringLiteral(" Printing From ") + reportLine(m_source));
        expect(QString());
        expect(QStringLiteral("Printing Table Structures:"));
        for (qsizetype i = 0; i < m_names.size(); ++i)
            expect(QString::number(i + 1) + QStringLiteral(") ") + reportLine(m_names[i]));
        expect(QString());
        expect(QString());
        for (qsizetype i = 0; i < m_names.size(); ++i)
            block(i);
        expect(QString());
        if (m_at != m_lines.size())
            problem("lines after the report's end: " + m_lines[m_at]);
    }

private:
    [[noreturn]] void problem(const QString &what)
    {
        fail("the report is not complete and well formed",
             m_what + QLatin1Char('\n') + what + QStringLiteral("\n---\n") + QString::fromUtf8(m_bytes));
    }

    QString next()
    {
        if (m_at >= m_lines.size())
            problem(QStringLiteral("the report ends early"));
        return m_lines[m_at++];
    }

    void expect(const QString &line)
    {
        const QString found = next();
        if (found != line)
            problem(QStringLiteral("line %1 is \"%2\", not \"%3\"").arg(m_at).arg(found, line));
    }

    void block(qsizetype index)
    {
        const QString head = QStringLiteral("Table Name : ") + reportLine(m_names[index])
                             + QStringLiteral("    Total Fields : ");
        const QString line = next();
        bool number = false;
        const int fields = line.startsWith(head) ? line.mid(head.size()).toInt(&number) : -1;
        if (!number || fields < 0 || line.mid(head.size()) != QString::number(fields))
            problem(QStringLiteral("line %1 is \"%2\", not the head of the block of \"%3\"")
                        .arg(m_at).arg(line, m_names[index]));
        expect(QString());
        expect(columnHeads);
        expect(underline);
        int lines = 0;
        for (QString field = next(); !field.isEmpty(); field = next()) {
            ++lines;
            if (!field.startsWith(QLatin1Char(' ')))
                longName(index, field);
        }
        if (fields == 0 && lines > 0)
            problem(QStringLiteral("field lines in the block of \"%1\", which has no fields").arg(m_names[index]));
        expect(QString());
    }

    // A line starting with text of its own: only a field whose name has 25
    // characters or more, written as that name and its type code.
    void longName(qsizetype index, const QString &line)
    {
        QList<model::Field> fields;
        try {
            const auto connection = model::factory().createConnection();
            connection->Open(m_connectionString);
            const auto records = model::factory().createRecordset();
            records->Open(QStringLiteral("select * from [") + m_names[index] + QLatin1Char(']'), *connection);
            for (int i = 0; i < records->fieldCount(); ++i)
                fields.append(records->field(i));
        } catch (const Failure &failure) {
            problem(QStringLiteral("\"%1\" starts with text, and the fields of \"%2\" cannot be read: %3")
                        .arg(line, m_names[index], failure.description()));
        }
        for (const model::Field &field : std::as_const(fields)) {
            if (field.name.size() >= 25 && line == reportLine(field.name + QString::number(field.type)))
                return;
        }
        problem(QStringLiteral("\"%1\" starts a line with text and is no field of \"%2\"").arg(line, m_names[index]));
    }

    QString m_source;
    QString m_connectionString;
    QStringList m_names;
    QString m_what;
    QByteArray m_bytes;
    QStringList m_lines;
    qsizetype m_at = 0;
};

// What a path names, links followed, as the report file reads.
std::optional<QByteArray> contentOf(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Where the report file asked for ends up: the name, or where its links
// lead, each in its folder as the system resolves it (a folder on the way
// may be a link).
std::set<std::string> reportPlaces(const QByteArray &target, const fs::path &root)
{
    std::error_code error;
    const fs::path realRoot = fs::canonical(root, error);
    const auto keyOf = [&](const fs::path &path) {
        std::error_code ignored;
        return (fs::weakly_canonical(path.parent_path(), ignored) / path.filename()).lexically_relative(realRoot).native();
    };
    std::set<std::string> keys;
    fs::path path = target.toStdString();
    keys.insert(keyOf(path));
    for (int hop = 0; hop < 128 && fs::is_symlink(fs::symlink_status(path, error)); ++hop) {
        const fs::path link = fs::read_symlink(path, error);
        if (error)
            break;
        path = link.is_absolute() ? link : path.parent_path() / link;
        keys.insert(keyOf(path));
    }
    return keys;
}

// One source through --list, the report to standard output and the report
// into `target`.
void exercise(const QString &source, bool folder, const QByteArray &target, const fs::path &root,
              const std::set<std::pair<quint64, quint64>> &ownFiles)
{
    const QString connectionString = QStringLiteral("Provider=vfpoledb.1;Data Source=") + source
                                     + (folder ? QStringLiteral(";Collating Sequence=general;")
                                               : QStringLiteral(";Collating Sequence=machine;"));
    // The names the command lists and reports, read through the same routine.
    std::optional<QStringList> names;
    try {
        QStringList read;
        report::readTableList(connectionString, [&] { read.clear(); },
                               [&](const QString &name) { read.append(name); });
        names = read;
    } catch (const Failure &) {
    }
    const bool reportable = names && !names->isEmpty();
    ReportCheck report(source, connectionString, names.value_or(QStringList()));
    const Snapshot before = snapshot(root);
    const auto unchanged = [&](const QString &what) {
        const std::set<std::string> changed = changes(before, snapshot(root));
        if (!changed.empty())
            fail("a file of the temporary folder changed", what + QStringLiteral(": ") + shown(*changed.begin()));
    };

    const QString list = QStringLiteral("orvalle-report ") + source + QStringLiteral(" --list");
    const Run listed = runCommand({QStringLiteral("orvalle-report"), source, QStringLiteral("--list")});
    checkErrors(listed, list);
    unchanged(list);
    if (listed.code != (names ? 0 : 1))
        fail("--list and the table list disagree", list);
    if (names) {
        QByteArray expected;
        for (const QString &name : std::as_const(*names))
            expected += reportLine(name).trimmed().toUtf8() + '\n';
        if (listed.out != expected)
            fail("--list does not print the listed names, one a line", list + QLatin1Char('\n') + QString::fromUtf8(listed.out));
    } else if (!listed.out.isEmpty()) {
        fail("--list printed names of a source it cannot read", list);
    }

    const QString toOutput = QStringLiteral("orvalle-report ") + source;
    const Run printed = runCommand({QStringLiteral("orvalle-report"), source});
    checkErrors(printed, toOutput);
    unchanged(toOutput);
    if (!printed.out.isEmpty()) {
        if (!reportable)
            fail("a report of a source without tables", toOutput);
        report.check(printed.out, toOutput);
    } else if (printed.code == 0) {
        fail("exit status 0 and no report on standard output", toOutput);
    }

    const QString targetText = QFile::decodeName(target);
    const QByteArray targetPath = QFile::encodeName(targetText);
    const QString toFile = toOutput + QStringLiteral(" -o ") + targetText;
    const std::optional<QByteArray> old = contentOf(targetText);
    const std::optional<std::pair<quint64, quint64>> targetIdentity = identity(targetPath);
    const bool own = targetIdentity && ownFiles.count(*targetIdentity);
    const std::set<std::string> places = reportPlaces(targetPath, root);
    const Run written = runCommand({QStringLiteral("orvalle-report"), source, QStringLiteral("-o"), targetText});
    checkErrors(written, toFile);
    const Snapshot after = snapshot(root);
    for (const std::string &key : changes(before, after)) {
        if (own || !places.count(key))
            fail(own ? "the report was written over one of the source's own files"
                     : "a file of the temporary folder changed",
                 toFile + QStringLiteral(": ") + shown(key));
    }
    const std::optional<QByteArray> now = contentOf(targetText);
    const bool replaced = now && now != old;
    if (written.code == 0 && !now)
        fail("exit status 0 and no report file", toFile);
    if (own && written.code != 1)
        fail("a report over one of the source's own files did not fail", toFile);
    // A fresh report file goes again, so the folder is as it was for what follows.
    for (const std::string &key : places) {
        if (!before.count(key) && after.count(key)) {
            std::error_code error;
            fs::remove(root / key, error);
        }
    }
    if (replaced || written.code == 0) {
        if (!reportable)
            fail("a report file of a source without tables", toFile);
        report.check(*now, toFile);
        if (!printed.out.isEmpty() && printed.out != *now)
            fail("the report on standard output and the report file differ", toFile);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Recipe recipe(data, size);
    QTemporaryDir temporary;
    if (!temporary.isValid())
        fail("cannot make a temporary folder", temporary.errorString());
    const Places places = makePlaces(QFile::encodeName(temporary.path()));
    writeNew(places.out + "/old.txt", "an older file\r\n");

    const quint8 options = recipe.byte();
    for (int n = recipe.below(9); n > 0; --n)
        makeEntry(recipe, places);
    const QByteArray container = (options & 1) ? makeContainer(recipe, places) : QByteArray();

    QByteArray folder = places.data;
    switch ((options >> 1) & 3) {
    case 1: folder += '/'; break;
    case 2: folder += "/."; break;
    case 3:
        folder = places.base + "/dlink";
        ::symlink(places.data.constData(), folder.constData());
        break;
    default: break;
    }

    QByteArray target;
    switch (((options >> 3) & 7) % 6) {
    case 1: target = places.out + "/old.txt"; break;
    case 2: target = places.out; break;
    case 3: target = places.data + '/' + fileName(recipe); break;
    case 4: target = places.data + '/' + flipCase(fileName(recipe)); break;
    case 5: target = places.data + "/sub/" + fileName(recipe); break;
    default: target = places.out + "/report.txt"; break;
    }

    QByteArray second;
    switch (options >> 6) {
    case 1:
        if (!container.isEmpty()) {
            const qsizetype slash = container.lastIndexOf('/');
            second = container.first(slash + 1) + flipCase(container.mid(slash + 1));
        }
        break;
    case 3:
        second = places.base + "/clink";
        ::symlink((container.isEmpty() ? places.data : container).constData(), second.constData());
        break;
    case 0:
        second = container;
        break;
    default:
        break;
    }
    if (second.isEmpty())
        second = places.data + '/' + fileName(recipe);

    const fs::path root = places.root.toStdString();
    if (showing()) {
        for (const auto &[key, value] : snapshot(root))
            std::fprintf(stderr, "%s: %s\n", shown(key).toLocal8Bit().constData(),
                         value.rfind("file ", 0) == 0 ? "file" : value.c_str());
    }
    exercise(QFile::decodeName(folder), true, target, root, folderFiles(places.data));
    const QString secondSource = QFile::decodeName(second);
    std::set<std::pair<quint64, quint64>> secondOwn;
    if (const auto id = identity(QFile::encodeName(secondSource)))
        secondOwn.insert(*id);
    // A container when orvalle-report takes it for one.
    const QFileInfo secondInfo(secondSource);
    const bool secondIsFolder =
        secondInfo.isDir() || secondInfo.suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) != 0;
    exercise(secondSource, secondIsFolder, target, root, secondOwn);

    // Names that are not UTF-8 are removed by their bytes.
    std::error_code error;
    fs::remove_all(root, error);
    if (error || fs::exists(root))
        fail("cannot remove the temporary folder", QString::fromStdString(error.message()));
    return 0;
}
