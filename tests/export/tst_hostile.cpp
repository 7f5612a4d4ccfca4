// Hostile and unlucky sources through orvalle-report: each case is made here
// by the test, and each asserts the exact outcome (exit status, what reaches
// standard output and standard error) and that no byte of the source changed.

#include "reporttool.h"
#include "xbasewriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace xbasewriter;

namespace {

using Outcome = ToolOutcome;

// `outputFile`, when given, takes standard output (e.g. /dev/full).
Outcome runTool(const QStringList &arguments, const QString &outputFile = QString())
{
    return runProgram(reportTool(), arguments, outputFile);
}

// Every regular file below `folder` with a digest of its bytes (of a sparse
// giant, its size and first bytes).
QMap<QString, QByteArray> digests(const QString &folder)
{
    QMap<QString, QByteArray> result;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!it.fileInfo().isFile())
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.size() > (64 << 20) ? QByteArray::number(file.size()) + file.read(1 << 16)
                                                           : file.readAll();
        result.insert(path, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
    }
    return result;
}

TableSpec customers(const QByteArray &backlink = QByteArray())
{
    TableSpec layout;
    layout.fields = {{"CUST_ID", 'C', 6}, {"NOTES", 'M', 4}};
    layout.backlink = backlink;
    return layout;
}

void writeFolderOfTables(const QString &folder)
{
    QDir().mkpath(folder);
    writeTable(folder + QStringLiteral("/customers.dbf"), customers());
    writeFile(folder + QStringLiteral("/customers.fpt"), QByteArray(512, '\0'));
    TableSpec orders;
    orders.version = 0x03;
    orders.fields = {{"ORDER_ID", 'N', 6}};
    writeTable(folder + QStringLiteral("/orders.dbf"), orders);
}

ContainerSpec shop(const QString &tablePath, const QString &comment = QStringLiteral("Customer number"))
{
    ContainerSpec layout;
    layout.tables = {{QStringLiteral("customers"), tablePath,
                      {{QStringLiteral("cust_id"), comment, {}}, {QStringLiteral("notes"), QString(), {}}},
                      {}}};
    return layout;
}

void mkfifoAt(const QString &path)
{
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
}

void symlinkAt(const QString &target, const QString &path)
{
    QCOMPARE(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()), 0);
}

const QByteArray Refusal = "The report cannot be written to '%1': that is the data source's file '%2', and a "
                           "data source is never written. Choose another file. (in Orvallix2021/08/31.Form2."
                           "generateStructure at line 120)";

struct Case {
    const char *name;
    // Makes the source in the folder and gives the tool's arguments; %D in
    // them and in the expectations stands for the folder.
    std::function<QStringList(const QString &dir)> make;
    int exitCode;
    QByteArray out; // exact, or, when it starts with "~", a text it contains
    QByteArray err; // exact
    QString outputFile = QString();
    QString created = QString(); // the one file the run may add, relative to the folder
};

QList<Case> cases()
{
    return {
        {"report over one of the tables",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/src/customers.dbf")};
         },
         1, "", "orvalle-report: %D/src: " + QByteArray(Refusal).replace("%1", "%D/src/customers.dbf").replace("%2", "%D/src/customers.dbf") + "\n"},
        {"report over another table's memo than the one reported",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("orders"), QStringLiteral("-o"),
                                d + QStringLiteral("/src/customers.fpt")};
         },
         1, "", "orvalle-report: %D/src: " + QByteArray(Refusal).replace("%1", "%D/src/customers.fpt").replace("%2", "%D/src/customers.fpt") + "\n"},
        {"a new table file in the folder of tables",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/src/report.DBF")};
         },
         1, "", "orvalle-report: %D/src: " + QByteArray(Refusal).replace("%1", "%D/src/report.DBF").replace("%2", "%D/src/report.DBF") + "\n"},
        {"a table file beside the folder of tables is no file of the source",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/report.dbf")};
         },
         0, "", "", QString(), QStringLiteral("report.dbf")},
        {"a report named like a table is no file of the source",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("customers"), QStringLiteral("-o"),
                                d + QStringLiteral("/src/customers.txt")};
         },
         0, "", "", QString(), QStringLiteral("src/customers.txt")},
        {"report through a link to a name in no encoding",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             // Followed by its text, the link would lead to the other file.
             const QByteArray odd = QFile::encodeName(d) + "/caf\xE9.txt";
             const QByteArray spelt = QFile::encodeName(d) + "/caf\xEF\xBF\xBD.txt";
             for (const QByteArray &name : {odd, spelt}) {
                 if (::close(::open(name.constData(), O_CREAT | O_WRONLY, 0644)) != 0)
                     return QStringList();
             }
             if (::symlink(odd.constData(), QFile::encodeName(d + QStringLiteral("/link.txt")).constData()) != 0)
                 return QStringList();
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/link.txt")};
         },
         1, "", "orvalle-report: %D/src: Cannot create the report file '%D/link.txt': its symbolic link leads to a "
                "name the system's encoding cannot spell. (in Orvallix2021/08/31.Form2.generateStructure at line 120)\n"},
        {"report over a table's memo through a symbolic link",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             symlinkAt(d + QStringLiteral("/src/customers.fpt"), d + QStringLiteral("/link.txt"));
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/link.txt")};
         },
         1, "", "orvalle-report: %D/src: " + QByteArray(Refusal).replace("%1", "%D/link.txt").replace("%2", "%D/src/customers.fpt") + "\n"},
        {"report over the file a table's memo is a symbolic link to",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             QFile::remove(d + QStringLiteral("/src/customers.fpt"));
             writeFile(d + QStringLiteral("/memo.txt"), QByteArray(512, '\0'));
             symlinkAt(d + QStringLiteral("/memo.txt"), d + QStringLiteral("/src/customers.fpt"));
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/memo.txt")};
         },
         1, "", "orvalle-report: %D/src: " + QByteArray(Refusal).replace("%1", "%D/memo.txt").replace("%2", "%D/src/customers.fpt") + "\n"},
        {"report over a table through a hard link",
         [](const QString &d) {
             writeFolderOfTables(d + QStringLiteral("/src"));
             const QByteArray from = QFile::encodeName(d + QStringLiteral("/src/orders.dbf"));
             const QByteArray to = QFile::encodeName(d + QStringLiteral("/other.txt"));
             if (::link(from.constData(), to.constData()) != 0)
                 return QStringList();
             return QStringList{d + QStringLiteral("/src"), QStringLiteral("orders"), QStringLiteral("-o"),
                                d + QStringLiteral("/other.txt")};
         },
         1, "", "orvalle-report: %D/src: " + QByteArray(Refusal).replace("%1", "%D/other.txt").replace("%2", "%D/src/orders.dbf") + "\n"},
        {"report over the container's memo",
         [](const QString &d) {
             writeTable(d + QStringLiteral("/customers.dbf"), customers("shop.dbc"));
             writeContainer(d + QStringLiteral("/shop.dbc"), shop(QStringLiteral("customers.dbf")));
             return QStringList{d + QStringLiteral("/shop.dbc"), QStringLiteral("-o"), d + QStringLiteral("/shop.dct")};
         },
         1, "", "orvalle-report: %D/shop.dbc: " + QByteArray(Refusal).replace("%1", "%D/shop.dct").replace("%2", "%D/shop.dct") + "\n"},
        {"report over the backlinked container of a free table",
         [](const QString &d) {
             writeTable(d + QStringLiteral("/customers.dbf"), customers("shop.dbc"));
             writeContainer(d + QStringLiteral("/shop.dbc"), shop(QStringLiteral("customers.dbf")));
             return QStringList{d, QStringLiteral("-o"), d + QStringLiteral("/shop.dbc")};
         },
         1, "", "orvalle-report: %D: " + QByteArray(Refusal).replace("%1", "%D/shop.dbc").replace("%2", "%D/shop.dbc") + "\n"},
        {"a pipe named like a table is no table",
         [](const QString &d) {
             writeFolderOfTables(d);
             mkfifoAt(d + QStringLiteral("/x.dbf"));
             return QStringList{d, QStringLiteral("--list")};
         },
         0, "customers\norders\n", ""},
        {"a pipe as the container",
         [](const QString &d) {
             mkfifoAt(d + QStringLiteral("/f.dbc"));
             return QStringList{d + QStringLiteral("/f.dbc"), QStringLiteral("--list")};
         },
         1, "", "orvalle-report: %D/f.dbc: 202 'f.dbc' is not a regular file (a pipe, a device or a socket).\n"},
        {"a pipe as the backlinked container keeps the short names",
         [](const QString &d) {
             writeTable(d + QStringLiteral("/customers.dbf"), customers("shop.dbc"));
             mkfifoAt(d + QStringLiteral("/shop.dbc"));
             return QStringList{d, QStringLiteral("customers")};
         },
         0, "~ cust_id                Character[6] \r\n", ""},
        {"a container table read from standard input",
         [](const QString &d) {
             writeContainer(d + QStringLiteral("/shop.dbc"), shop(QStringLiteral("/dev/stdin")));
             return QStringList{d + QStringLiteral("/shop.dbc")};
         },
         1, "~Table Name : customers    Total Fields : 0\r\n",
         "orvalle-report: customers: 'stdin' is not a regular file (a pipe, a device or a socket). "
         "(in Orvallix2021/08/31.Form2.generateStructure at line 158)\n"},
        {"a container table that is a folder",
         [](const QString &d) {
             QDir().mkpath(d + QStringLiteral("/sub"));
             writeContainer(d + QStringLiteral("/shop.dbc"), shop(QStringLiteral("sub")));
             return QStringList{d + QStringLiteral("/shop.dbc")};
         },
         1, "~Table Name : customers    Total Fields : 0\r\n",
         "orvalle-report: customers: 'sub' is a folder, not a file. "
         "(in Orvallix2021/08/31.Form2.generateStructure at line 158)\n"},
        {"a container of 8 TB that holds nothing",
         [](const QString &d) {
             QFile big(d + QStringLiteral("/big.dbc"));
             if (!big.open(QIODevice::WriteOnly) || !big.resize(qint64(8) << 40))
                 return QStringList();
             return QStringList{QStringLiteral("--list"), d + QStringLiteral("/big.dbc")};
         },
         1, "", "orvalle-report: %D/big.dbc: 15 'big.dbc' is not a table: its first byte 0x00 is no known table version.\n"},
        {"a loop of symbolic links",
         [](const QString &d) {
             symlinkAt(d + QStringLiteral("/a"), d + QStringLiteral("/b"));
             symlinkAt(d + QStringLiteral("/b"), d + QStringLiteral("/a"));
             return QStringList{d + QStringLiteral("/a"), QStringLiteral("--list")};
         },
         1, "", "orvalle-report: %D/a: 202 '%D/a' cannot be opened: its symbolic links form a loop.\n"},
        {"a folder named like a container",
         [](const QString &d) {
             QDir().mkpath(d + QStringLiteral("/d.dbc"));
             return QStringList{d + QStringLiteral("/d.dbc"), QStringLiteral("--list")};
         },
         1, "", "orvalle-report: %D/d.dbc: 202 '%D/d.dbc' is a folder, not a database container.\n"},
        {"a name that is not valid UTF-8 is listed",
         [](const QString &d) {
             writeFolderOfTables(d);
             writeTable(d + QStringLiteral("/tmp.dbf"), customers());
             const QByteArray name = QFile::encodeName(d) + "/caf\xE9.dbf";
             if (::rename(QFile::encodeName(d + QStringLiteral("/tmp.dbf")).constData(), name.constData()) != 0)
                 return QStringList();
             return QStringList{d, QStringLiteral("--list")};
         },
         0, "caf\xEF\xBF\xBD\ncustomers\norders\n", ""},
        {"a table that is not valid UTF-8 is reported by its own bytes",
         [](const QString &d) {
             TableSpec accents;
             accents.fields = {{"PRICE", 'Y', 8, 4, 0x04}};
             writeTable(d + QStringLiteral("/tmp.dbf"), accents);
             const QByteArray name = QFile::encodeName(d) + "/caf\xE9.dbf";
             if (::rename(QFile::encodeName(d + QStringLiteral("/tmp.dbf")).constData(), name.constData()) != 0)
                 return QStringList();
             return QStringList{d};
         },
         0, "~Table Name : caf\xEF\xBF\xBD    Total Fields : 1\r\n\r\nField Name                DataType     Description\r\n"
            "__________                ________     ___________\r\n price                  Currency     \r\n", ""},
        {"names equal but for case are both listed",
         [](const QString &d) {
             writeTable(d + QStringLiteral("/T.dbf"), customers());
             writeTable(d + QStringLiteral("/t.DBF"), customers());
             writeTable(d + QStringLiteral("/Other.DBF"), customers());
             return QStringList{d, QStringLiteral("--list")};
         },
         0, "T\nother\nt\n", ""},
        {"a comment cannot forge a table block",
         [](const QString &d) {
             writeTable(d + QStringLiteral("/customers.dbf"), customers("shop.dbc"));
             writeContainer(d + QStringLiteral("/shop.dbc"),
                            shop(QStringLiteral("customers.dbf"),
                                 QStringLiteral("evil\r\n\r\nTable Name : fake    Total Fields : 0\ttab\x01")));
             return QStringList{d + QStringLiteral("/shop.dbc")};
         },
         0, "~ cust_id                Character[6] evil\r\n"
            "                                     \r\n"
            "                                     Table Name : fake    Total Fields : 0 tab \r\n"
            " notes                  Memo         \r\n", ""},
        {"line breaks in names become spaces in the list",
         [](const QString &d) {
             writeTable(d + QStringLiteral("/customers.dbf"), customers("shop.dbc"));
             ContainerSpec layout = shop(QStringLiteral("customers.dbf"));
             layout.tables[0].name = QStringLiteral("two\nlines");
             writeContainer(d + QStringLiteral("/shop.dbc"), layout);
             return QStringList{d + QStringLiteral("/shop.dbc"), QStringLiteral("--list")};
         },
         0, "two lines\n", ""},
        {"standard output on a full device",
         [](const QString &d) {
             writeFolderOfTables(d);
             return QStringList{d};
         },
         1, "", "orvalle-report: cannot write to standard output: No space left on device\n", QStringLiteral("/dev/full")},
        {"the table list on a full device",
         [](const QString &d) {
             writeFolderOfTables(d);
             return QStringList{d, QStringLiteral("--list")};
         },
         1, "", "orvalle-report: cannot write to standard output: No space left on device\n", QStringLiteral("/dev/full")},
    };
}

// A container whose first table has a tab in its name; `withFile`: its file
// is there (with a memo field and no memo file), else it is missing.
QString writeTabbedContainer(const QString &d, bool withFile)
{
    ContainerSpec layout;
    layout.tables = {{QStringLiteral("a\tb"), QStringLiteral("ab.dbf"), {{QStringLiteral("notes"), {}, {}}}, {}},
                     {QStringLiteral("kept"), QStringLiteral("kept.dbf"), {{QStringLiteral("id"), {}, {}}}, {}}};
    const QString dbc = d + QStringLiteral("/db.dbc");
    writeContainer(dbc, layout);
    TableSpec kept;
    kept.fields = {{"ID", 'I', 4}};
    kept.backlink = "db.dbc";
    writeTable(d + QStringLiteral("/kept.dbf"), kept);
    if (withFile) {
        TableSpec tabbed;
        tabbed.fields = {{"NOTES", 'M', 4}};
        tabbed.backlink = "db.dbc";
        writeTable(d + QStringLiteral("/ab.dbf"), tabbed);
    }
    return dbc;
}

// A free table whose structural index comes back to its first page.
void writeLoopingIndex(const QString &d)
{
    TableSpec layout;
    layout.fields = {{"ID", 'I', 4}};
    layout.tableFlags = 0x01;
    writeTable(d + QStringLiteral("/t.dbf"), layout);
    IndexTagSpec tag;
    tag.name = "ID";
    tag.expression = "id";
    QByteArray index = compoundIndexBytes({tag});
    index[0x400 + 8] = 0x00;
    index[0x400 + 9] = 0x04;
    index[0x400 + 10] = 0x00;
    index[0x400 + 11] = 0x00;
    writeFile(d + QStringLiteral("/t.cdx"), index);
}

// What a dictionary format cannot show because a file could not be read is
// a failure: one line each, exit 1, and the rest written.
QList<Case> dictionaryCases()
{
    QList<Case> all;
    const QByteArray looping = "orvalle-report: t: 't.cdx' is corrupted: the tag directory comes back to the page at "
                               "0x400. Its index file cannot be read: tags unknown.\n";
    for (const char *format : {"json", "markdown", "html", "postgres", "sqlite"}) {
        all.append({"a table with a tab in its name and no file",
                    [format](const QString &d) {
                        return QStringList{QStringLiteral("--format"), QLatin1String(format),
                                           writeTabbedContainer(d, false)};
                    },
                    1, "~kept", "orvalle-report: a b: Its file 'ab.dbf' is missing; the table is left out.\n"});
        all.append({"an index whose tag directory loops",
                    [format](const QString &d) {
                        writeLoopingIndex(d);
                        return QStringList{QStringLiteral("--format"), QLatin1String(format), d};
                    },
                    1, "~t", looping});
    }
    // A device the user names is written as it is: the null device takes the
    // report whole, a full one fails it; nothing is made anywhere else.
    for (const char *format : {"text", "json", "markdown", "html", "postgres", "sqlite"}) {
        all.append({"the null device as the report",
                    [format](const QString &d) {
                        writeFolderOfTables(d);
                        return QStringList{QStringLiteral("--format"), QLatin1String(format), d, QStringLiteral("-o"),
                                           QStringLiteral("/dev/null")};
                    },
                    0, "", ""});
    }
    all.append({"standard output named as the report",
                [](const QString &d) {
                    writeFolderOfTables(d);
                    return QStringList{d, QStringLiteral("orders"), QStringLiteral("-o"), QStringLiteral("/dev/stdout")};
                },
                0, "~Table Name : orders    Total Fields : 1\r\n", ""});
    all.append({"a full device as the report",
                [](const QString &d) {
                    writeFolderOfTables(d);
                    return QStringList{d, QStringLiteral("-o"), QStringLiteral("/dev/full")};
                },
                1, "",
                "orvalle-report: %D: Cannot write the report file '/dev/full': No space left on device (in "
                "Orvallix2021/08/31.Form2.generateStructure at line 208)\n"});
    all.append({"a full device as the dictionary",
                [](const QString &d) {
                    writeFolderOfTables(d);
                    return QStringList{QStringLiteral("--format"), QStringLiteral("json"), d, QStringLiteral("-o"),
                                       QStringLiteral("/dev/full")};
                },
                1, "", "orvalle-report: %D: Cannot write the report file '/dev/full': No space left on device\n"});
    all.append({"the null device as the difference",
                [](const QString &d) {
                    writeFolderOfTables(d);
                    return QStringList{QStringLiteral("--diff"), d, d, QStringLiteral("-o"), QStringLiteral("/dev/null")};
                },
                0, "", ""});
    // A file the source names but lacks is the source's too: made there, a
    // report would be read as the table's memo, index or file.
    // The text report names where it stopped; a dictionary gives the number.
    const auto lacking = [](const char *format, const char *file) {
        QByteArray refusal = QByteArray(Refusal).replace("%1", "%D/" + QByteArray(file)).replace("%2", "%D/" + QByteArray(file));
        if (QByteArrayView(format) != "text")
            refusal = "3 " + refusal.first(refusal.indexOf(" (in "));
        return "orvalle-report: %D: " + refusal + "\n";
    };
    for (const char *format : {"text", "json", "postgres"}) {
        all.append({"a report as the memo file a table lacks",
                    [format](const QString &d) {
                        writeTable(d + QStringLiteral("/notes.dbf"), customers());
                        return QStringList{QStringLiteral("--format"), QLatin1String(format), d, QStringLiteral("-o"),
                                           d + QStringLiteral("/NOTES.FPT")};
                    },
                    1, "", lacking(format, "NOTES.FPT")});
        all.append({"a report as the structural index a header announces",
                    [format](const QString &d) {
                        TableSpec keyed;
                        keyed.fields = {{"ID", 'I', 4}};
                        keyed.tableFlags = 0x01;
                        writeTable(d + QStringLiteral("/keyed.dbf"), keyed);
                        return QStringList{QStringLiteral("--format"), QLatin1String(format), d, QStringLiteral("-o"),
                                           d + QStringLiteral("/keyed.cdx")};
                    },
                    1, "", lacking(format, "keyed.cdx")});
    }
    all.append({"a report as the file a container's table lacks",
                [](const QString &d) {
                    return QStringList{writeTabbedContainer(d, false), QStringLiteral("kept"), QStringLiteral("-o"),
                                       d + QStringLiteral("/ab.dbf")};
                },
                1, "",
                "orvalle-report: %D/db.dbc: " + QByteArray(Refusal).replace("%1", "%D/ab.dbf").replace("%2", "%D/ab.dbf")
                    + "\n"});
    all.append({"a report as the container a free table links to",
                [](const QString &d) {
                    writeTable(d + QStringLiteral("/orphan.dbf"), customers("shop.dbc"));
                    writeFile(d + QStringLiteral("/orphan.fpt"), QByteArray(512, '\0'));
                    return QStringList{d, QStringLiteral("-o"), d + QStringLiteral("/Shop.dbc")};
                },
                1, "", lacking("text", "Shop.dbc")});
    // The same through a symbolic link that leads where the file is not yet,
    // and a pipe that sits where the memo should be: neither is ever opened.
    all.append({"a report through a link to the index a table lacks",
                [](const QString &d) {
                    writeFolderOfTables(d + QStringLiteral("/src"));
                    symlinkAt(QStringLiteral("src/orders.cdx"), d + QStringLiteral("/out.txt"));
                    return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/out.txt")};
                },
                1, "",
                "orvalle-report: %D/src: " + QByteArray(Refusal).replace("%1", "%D/out.txt").replace("%2", "%D/src/orders.cdx")
                    + "\n"});
    all.append({"a report to a pipe named as a table's memo",
                [](const QString &d) {
                    writeFolderOfTables(d + QStringLiteral("/src"));
                    mkfifoAt(d + QStringLiteral("/src/orders.dbt"));
                    return QStringList{d + QStringLiteral("/src"), QStringLiteral("-o"), d + QStringLiteral("/src/orders.dbt")};
                },
                1, "",
                "orvalle-report: %D/src: "
                    + QByteArray(Refusal).replace("%1", "%D/src/orders.dbt").replace("%2", "%D/src/orders.dbt") + "\n"});
    all.append({"a report as the container a table not reported links to",
                [](const QString &d) {
                    writeFolderOfTables(d);
                    writeTable(d + QStringLiteral("/orphan.dbf"), customers("shop.dbc"));
                    writeFile(d + QStringLiteral("/orphan.fpt"), QByteArray(512, '\0'));
                    return QStringList{d, QStringLiteral("orders"), QStringLiteral("-o"), d + QStringLiteral("/shop.dbc")};
                },
                1, "", lacking("text", "shop.dbc")});
    // A name with a control character is matched with its own findings.
    all.append({"a source with a tab in a table's name against its own dictionary",
                [](const QString &d) {
                    const QString dbc = writeTabbedContainer(d, true);
                    const QString json = d + QStringLiteral("/tabbed.json");
                    if (runTool({QStringLiteral("--format"), QStringLiteral("json"), dbc, QStringLiteral("-o"), json})
                            .exitCode != 0)
                        return QStringList();
                    return QStringList{QStringLiteral("--diff"), json, dbc};
                },
                0, "~No changes.", ""});
    // Tables whose names differ only in case are tables of their own: the
    // one that cannot be read is a failure though its twin reads.
    all.append({"an unreadable table beside its case twin",
                [](const QString &d) {
                    TableSpec twin;
                    twin.fields = {{"ID", 'I', 4}};
                    writeTable(d + QStringLiteral("/T.DBF"), twin);
                    writeFile(d + QStringLiteral("/t.dbf"), "abcdefg");
                    return QStringList{QStringLiteral("--format"), QStringLiteral("json"), d};
                },
                1, "~\"name\": \"T\"",
                "orvalle-report: t: 't.dbf' is not a table: the file is 7 bytes long, shorter than a header. The table "
                "cannot be read and is left out.\n"});
    // Two tables of one name, the second without its file: that one is a
    // failure though the first reads.
    all.append({"a table left out beside one of its name",
                [](const QString &d) {
                    ContainerSpec layout;
                    layout.tables = {{QStringLiteral("t"), QStringLiteral("t.dbf"), {{QStringLiteral("id"), {}, {}}}, {}},
                                     {QStringLiteral("t"), QStringLiteral("gone.dbf"), {{QStringLiteral("id"), {}, {}}}, {}}};
                    writeContainer(d + QStringLiteral("/db.dbc"), layout);
                    TableSpec table;
                    table.fields = {{"ID", 'I', 4}};
                    table.backlink = "db.dbc";
                    writeTable(d + QStringLiteral("/t.dbf"), table);
                    return QStringList{QStringLiteral("--format"), QStringLiteral("json"), d + QStringLiteral("/db.dbc")};
                },
                1, "~\"file\": \"t.dbf\"", "orvalle-report: t: Its file 'gone.dbf' is missing; the table is left out.\n"});
    // A table and a view of one name: the dictionary holds both.
    all.append({"a table and a view of one name against their own dictionary",
                [](const QString &d) {
                    ContainerSpec layout;
                    layout.tables = {{QStringLiteral("customers"), QStringLiteral("customers.dbf"),
                                      {{QStringLiteral("id"), {}, {}}}, {}}};
                    layout.views = {{QStringLiteral("customers"), {{QStringLiteral("id"), {}, QStringLiteral("I")}}}};
                    writeContainer(d + QStringLiteral("/db.dbc"), layout);
                    TableSpec table;
                    table.fields = {{"ID", 'I', 4}};
                    table.backlink = "db.dbc";
                    writeTable(d + QStringLiteral("/customers.dbf"), table);
                    const QString json = d + QStringLiteral("/db.json");
                    if (runTool({QStringLiteral("--format"), QStringLiteral("json"), d + QStringLiteral("/db.dbc"),
                                 QStringLiteral("-o"), json})
                            .exitCode != 0)
                        return QStringList();
                    return QStringList{QStringLiteral("--diff"), json, d + QStringLiteral("/db.dbc")};
                },
                0, "~No changes.", ""});
    // Nor in the dictionary of a folder that holds nothing else.
    all.append({"a folder of FoxPro's resource table alone",
                [](const QString &d) {
                    writeFile(d + QStringLiteral("/foxuser.dbf"), QByteArray(40, '\0'));
                    return QStringList{QStringLiteral("--format"), QStringLiteral("json"), d};
                },
                0, "~\"tables\": [],\n    \"views\": [],\n    \"relations\": [],\n    \"findings\": []", ""});
    // FoxPro's resource table is in no table list: nor in a difference.
    all.append({"a folder with FoxPro's resource table against its own dictionary",
                [](const QString &d) {
                    writeFolderOfTables(d);
                    TableSpec resource;
                    resource.fields = {{"TYPE", 'C', 12}};
                    writeTable(d + QStringLiteral("/foxuser.dbf"), resource);
                    const QString json = d + QStringLiteral("/folder.json");
                    if (runTool({QStringLiteral("--format"), QStringLiteral("json"), d, QStringLiteral("-o"), json})
                            .exitCode != 0)
                        return QStringList();
                    return QStringList{QStringLiteral("--diff"), json, d};
                },
                0, "~No changes.", ""});
    all.append({"a dictionary with a tab in a table's name against itself",
                [](const QString &d) {
                    const QString json = d + QStringLiteral("/tabbed.json");
                    if (runTool({QStringLiteral("--format"), QStringLiteral("json"), writeTabbedContainer(d, true),
                                 QStringLiteral("-o"), json})
                            .exitCode != 0)
                        return QStringList();
                    return QStringList{QStringLiteral("--diff"), json, json};
                },
                0, "~No changes.", ""});
    return all;
}

QByteArray expand(QByteArray text, const QString &dir)
{
    text.replace("%D", QFile::encodeName(dir));
    return text;
}

} // namespace

class HostileTest : public QObject {
    Q_OBJECT

private slots:
    void hostileSources_data()
    {
        QTest::addColumn<int>("index");
        const QList<Case> all = cases();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(all[i].name) << i;
    }

    void dictionarySources_data()
    {
        QTest::addColumn<int>("index");
        const QList<Case> all = dictionaryCases();
        for (int i = 0; i < all.size(); ++i) {
            QTest::addRow("%s (%d)", all[i].name, i) << i;
        }
    }

    void dictionarySources()
    {
        QFETCH(int, index);
        runCase(dictionaryCases().at(index));
    }

    void hostileSources()
    {
        QFETCH(int, index);
        runCase(cases().at(index));
    }

private:
    static void runCase(const Case &item)
    {
        // What only Linux has: devices and pipes by path, symbolic and hard
        // links, names in no encoding, descriptors as files.
        static const QSet<QString> linuxOnly{
            "a full device as the dictionary", "a full device as the report",
            "a report through a link to the index a table lacks", "a report to a pipe named as a table's memo",
            "standard output named as the report", "the null device as the difference",
            "the null device as the report", "a container table read from standard input",
            "a loop of symbolic links", "a name that is not valid UTF-8 is listed",
            "a pipe named like a table is no table", "a table that is not valid UTF-8 is reported by its own bytes",
            "report over a table through a hard link", "report over a table's memo through a symbolic link",
            "report over the file a table's memo is a symbolic link to", "report through a link to a name in no encoding"};
        if (reportToolIsWindows() && linuxOnly.contains(QLatin1String(item.name)))
            QSKIP("what this case is made of is Linux's");
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        const QString dir = temporary.path();
        const QStringList arguments = item.make(dir);
        if (arguments.isEmpty())
            QSKIP("this file system cannot hold the case");
        const QMap<QString, QByteArray> before = digests(dir);

        Outcome outcome = runTool(arguments, item.outputFile);
        // A Windows program names the files it found with its own separator.
        if (reportToolIsWindows())
            outcome.err.replace('\\', '/');
        QCOMPARE(outcome.err, expand(item.err, dir));
        QCOMPARE(outcome.exitCode, item.exitCode);
        if (item.out.startsWith('~'))
            QVERIFY2(outcome.out.contains(expand(item.out.mid(1), dir)), outcome.out.constData());
        else
            QCOMPARE(outcome.out, expand(item.out, dir));
        QMap<QString, QByteArray> after = digests(dir);
        if (!item.created.isEmpty())
            QVERIFY(after.remove(dir + QLatin1Char('/') + item.created) == 1);
        QCOMPARE(after, before);
    }

private slots:

    // A pipe the user names as the report is written to, not replaced.
    void pipeNamedAsTheReport()
    {
        if (reportToolIsWindows())
            QSKIP("a Linux pipe and Linux file modes");
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        writeFolderOfTables(temporary.filePath(QStringLiteral("src")));
        const QString pipe = temporary.filePath(QStringLiteral("report.pipe"));
        mkfifoAt(pipe);
        QProcess reader;
        reader.start(QStringLiteral("cat"), {pipe});
        QVERIFY(reader.waitForStarted());
        const Outcome outcome = runTool({temporary.filePath(QStringLiteral("src")), QStringLiteral("orders"),
                                         QStringLiteral("-o"), pipe});
        QVERIFY(reader.waitForFinished(30000));
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY2(reader.readAllStandardOutput().contains("Table Name : orders    Total Fields : 1\r\n"),
                 "the report did not come through the pipe");
        QVERIFY(!QFileInfo(pipe).isFile());
    }

    // A folder the user may not read is an access-denied error, never an
    // empty list. Root reads every folder, so as root the tool runs as nobody.
    void unreadableFolder()
    {
        if (reportToolIsWindows())
            QSKIP("Linux file modes and users");
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        QVERIFY(QFile::setPermissions(temporary.path(), QFile::Permissions(0x7555)));
        const QString folder = temporary.filePath(QStringLiteral("locked"));
        writeFolderOfTables(folder);
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions()));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(folder, QFile::Permissions(0x7000)); });
        QStringList arguments{folder, QStringLiteral("--list")};
        QString program = reportTool();
        if (::geteuid() == 0) {
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (setpriv.isEmpty())
                QSKIP("running as root without setpriv to run the tool as another user");
            arguments = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                    QStringLiteral("--clear-groups"), program} + arguments;
            program = setpriv;
        }
        QProcess process;
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(30000));
        if (program != reportTool() && process.exitCode() >= 126)
            QSKIP("the other user cannot run the tool from where it was built");
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        QCOMPARE(process.readAllStandardError(), QByteArray("orvalle-report: ") + QFile::encodeName(folder)
                                                     + ": 1705 Access to folder '" + QFile::encodeName(folder)
                                                     + "' is denied.\n");
    }
};

QTEST_MAIN(HostileTest)

#include "tst_hostile.moc"
