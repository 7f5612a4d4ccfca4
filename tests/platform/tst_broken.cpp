// Damaged tables and containers: each is refused with its own clear error,
// none crashes or reads out of bounds (these also run under the sanitizers).

#include "testsupport.h"

#include "model/dataaccess.h"
#include "platform/container.h"
#include "platform/fileaccess.h"
#include "xbasewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace xbasewriter;

namespace {

void putLe16(QByteArray &bytes, int at, int value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

void putLe32(QByteArray &bytes, int at, quint32 value)
{
    putLe16(bytes, at, int(value & 0xFFFF));
    putLe16(bytes, at + 2, int(value >> 16));
}

quint32 le32(const QByteArray &bytes, int at)
{
    return quint32(uchar(bytes[at])) | quint32(uchar(bytes[at + 1])) << 8 | quint32(uchar(bytes[at + 2])) << 16
           | quint32(uchar(bytes[at + 3])) << 24;
}

TableSpec dBase3()
{
    TableSpec layout;
    layout.version = 0x03;
    layout.fields = {{"NAME", 'C', 20}, {"QTY", 'N', 5}};
    layout.recordCount = 2;
    return layout; // header 32 + 2 * 32 + 1 = 97 bytes, records of 26 bytes
}

ContainerSpec oneTable(const QString &path)
{
    ContainerSpec layout;
    layout.tables = {{QStringLiteral("orders"), path, {{QStringLiteral("name"), QStringLiteral("Who"), {}}}, {}}};
    return layout;
}

// A container's layout as the writer makes it: header 296 + 8 * 32 = 552
// bytes, records of 165 bytes, PROPERTY at offset 147 of a record; the
// first table is record 6 (index 5) after the five database records.
constexpr int ContainerHeader = 552;
constexpr int ContainerRecord = 165;
constexpr int TableRecord = ContainerHeader + 5 * ContainerRecord;

} // namespace

class BrokenTest : public QObject {
    Q_OBJECT

private slots:
    void refused_data()
    {
        QTest::addColumn<QByteArray>("dbf");
        QTest::addColumn<QByteArray>("dbc");
        QTest::addColumn<QByteArray>("dct");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");

        const QByteArray good = tableBytes(dBase3());
        const QByteArray none;

        QTest::newRow("truncated file") << good.left(20) << none << none << int(platform::NotATable)
                                        << "'t.dbf' is not a table: the file is 20 bytes long, shorter than a header.";
        QTest::newRow("empty file") << QByteArray() << none << none << int(platform::NotATable)
                                    << "'t.dbf' is not a table: the file is 0 bytes long, shorter than a header.";
        QByteArray shortHeader = good;
        putLe16(shortHeader, 8, 20);
        QTest::newRow("header length shorter than a header")
            << shortHeader << none << none << int(platform::NotATable) << "'t.dbf' is not a table: the header length 20 is shorter than a header.";
        QByteArray longHeader = good;
        putLe16(longHeader, 8, 5000);
        QTest::newRow("header length beyond the file")
            << longHeader << none << none << int(platform::TableCorrupted)
            << QStringLiteral("'t.dbf' is corrupted: the header length 5000 runs past the end of the file (%1 bytes).")
                   .arg(good.size());
        QByteArray cutHeader = good.left(80);
        QTest::newRow("file ends inside the header")
            << cutHeader << none << none << int(platform::TableCorrupted)
            << "'t.dbf' is corrupted: the header length 97 runs past the end of the file (80 bytes).";
        QByteArray noTerminator = good;
        noTerminator[96] = 'X';
        QTest::newRow("no terminator") << noTerminator << none << none << int(platform::TableCorrupted)
                                       << "'t.dbf' is corrupted: the field descriptors have no terminator within "
                                          "the header length 97.";
        QByteArray wrongRecordLength = good;
        putLe16(wrongRecordLength, 10, 29);
        QTest::newRow("record length disagrees with the widths")
            << wrongRecordLength << none << none << int(platform::TableCorrupted)
            << "'t.dbf' is corrupted: the record length 29 disagrees with the field widths (26 in all).";
        QByteArray zeroRecordLength = good;
        putLe16(zeroRecordLength, 10, 0);
        QTest::newRow("record length 0") << zeroRecordLength << none << none << int(platform::TableCorrupted)
                                         << "'t.dbf' is corrupted: the record length is 0.";
        QByteArray unknownVersion = good;
        unknownVersion[0] = char(0x99);
        QTest::newRow("unknown version") << unknownVersion << none << none << int(platform::NotATable)
                                         << "'t.dbf' is not a table: its first byte 0x99 is no known table version.";

        // 2047 one-byte fields: the header length 32 + 2047 * 32 + 1 wraps to 1 in 16 bits.
        TableSpec manyFields;
        manyFields.version = 0x03;
        for (int i = 0; i < 2047; ++i)
            manyFields.fields.append({QByteArray("F") + QByteArray::number(i), 'C', 1});
        QTest::newRow("field count that overflows the header length")
            << tableBytes(manyFields) << none << none << int(platform::NotATable)
            << "'t.dbf' is not a table: the header length 1 is shorter than a header.";
        // 300 fields of 255 bytes: the record length 76 501 wraps to 10 965.
        TableSpec wideFields;
        wideFields.version = 0x03;
        for (int i = 0; i < 300; ++i)
            wideFields.fields.append({QByteArray("F") + QByteArray::number(i), 'C', 255});
        QTest::newRow("field widths that overflow the record length")
            << tableBytes(wideFields) << none << none << int(platform::TableCorrupted)
            << "'t.dbf' is corrupted: the record length 10965 disagrees with the field widths (76501 in all).";

        TableSpec level7;
        level7.version = 0x04;
        level7.fields = {{"LONG FIELD NAME", 'C', 10}};
        QByteArray level7Short = tableBytes(level7);
        putLe16(level7Short, 8, 60);
        QTest::newRow("dBase 7 header shorter than its prefix")
            << level7Short << none << none << int(platform::NotATable) << "'t.dbf' is not a table: the header length 60 is shorter than a header.";

        // Containers.
        TableSpec orders;
        orders.backlink = "c.dbc";
        orders.fields = {{"NAME", 'C', 10}};
        const QByteArray ordersTable = tableBytes(orders);
        const ContainerFiles container = containerBytes(oneTable(QStringLiteral("t.dbf")));

        QTest::newRow("container whose table file is missing")
            << QByteArray() << containerBytes(oneTable(QStringLiteral("gone.dbf"))).dbc
            << containerBytes(oneTable(QStringLiteral("gone.dbf"))).dct << 1 << "File 'gone.dbf' does not exist.";

        QByteArray farBlock = container.dbc;
        putLe32(farBlock, TableRecord + 147, 9999);
        QTest::newRow("memo block beyond its memo file")
            << ordersTable << farBlock << container.dct << int(platform::TableCorrupted)
            << QStringLiteral("'c.dct' is corrupted: memo block 9999 lies beyond the end of the file (%1 bytes).")
                   .arg(container.dct.size());

        const quint32 block = le32(container.dbc, TableRecord + 147);
        QByteArray longEntry = container.dct;
        putLe32(longEntry, int(block * 64 + 8), 200);
        QTest::newRow("property entry running past its memo")
            << ordersTable << container.dbc << longEntry << int(platform::TableCorrupted)
            << "'c.dct' is corrupted: a property entry of 200 bytes runs past the end of its memo.";

        QByteArray zeroEntry = container.dct;
        putLe32(zeroEntry, int(block * 64 + 8), 0);
        QTest::newRow("property entry of length 0")
            << ordersTable << container.dbc << zeroEntry << int(platform::TableCorrupted)
            << "'c.dct' is corrupted: a property entry of 0 bytes runs past the end of its memo.";

        QByteArray longMemo = container.dct;
        putLe32(longMemo, int(block * 64 + 4), 0);
        longMemo[int(block * 64 + 4)] = char(0x10); // big-endian length 0x10000000
        QTest::newRow("memo longer than its file")
            << ordersTable << container.dbc << longMemo << int(platform::TableCorrupted)
            << QStringLiteral("'c.dct' is corrupted: the memo at block %1 (268435456 bytes) runs past the end of the file.")
                   .arg(block);

        QByteArray giantMemo = container.dct;
        giantMemo.resize(int(block * 64 + 8 + (17 << 20)), '\0');
        putLe32(giantMemo, int(block * 64 + 4), 0);
        giantMemo[int(block * 64 + 5)] = char(0x10);
        giantMemo[int(block * 64 + 4)] = char(0x01); // big-endian length 0x01100000: 17 MiB, within the file
        QTest::newRow("memo longer than a property list can be")
            << ordersTable << container.dbc << giantMemo << int(platform::TableCorrupted)
            << QStringLiteral("'c.dct' is corrupted: the memo at block %1 (17825792 bytes) is longer than such a "
                              "memo can be.")
                   .arg(block);

        QByteArray pastTwoGigabytes = container.dbc;
        putLe32(pastTwoGigabytes, 4, 20000000);
        QTest::newRow("container records past FoxPro's 2 GB limit")
            << ordersTable << pastTwoGigabytes << container.dct << int(platform::TableCorrupted)
            << "'c.dbc' is corrupted: its 20000000 records of 165 bytes would pass FoxPro's 2 GB file limit.";

        QByteArray zeroBlockSize = container.dct;
        zeroBlockSize[6] = 0;
        zeroBlockSize[7] = 0;
        QTest::newRow("memo block size 0") << ordersTable << container.dbc << zeroBlockSize << int(platform::TableCorrupted)
                                           << "'c.dct' is corrupted: its block size is 0.";
        QTest::newRow("memo shorter than its header") << ordersTable << container.dbc << QByteArray("abc") << int(platform::TableCorrupted)
                                                      << "'c.dct' is corrupted: the file is 3 bytes long, shorter than "
                                                         "a memo header.";

        QByteArray truncatedContainer = container.dbc.left(TableRecord + 10);
        QTest::newRow("container cut inside its records")
            << ordersTable << truncatedContainer << container.dct << int(platform::TableCorrupted)
            << "'c.dbc' is corrupted: it holds 7 records but the file ends after 5.";

        QByteArray wrongType = container.dbc;
        wrongType[32 + 2 * 32 + 11] = 'N'; // OBJECTTYPE becomes numeric
        QTest::newRow("container column of the wrong type")
            << ordersTable << wrongType << container.dct << int(platform::NotATable)
            << "'c.dbc' is not a database container: its OBJECTTYPE field is not of the container's type.";
    }

    void refused()
    {
        QFETCH(QByteArray, dbf);
        QFETCH(QByteArray, dbc);
        QFETCH(QByteArray, dct);
        QFETCH(int, number);
        QFETCH(QString, description);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (!dbf.isNull() || dbc.isEmpty())
            writeFile(dir.filePath(QStringLiteral("t.dbf")), dbf);
        if (!dbc.isEmpty()) {
            writeFile(dir.filePath(QStringLiteral("c.dbc")), dbc);
            writeFile(dir.filePath(QStringLiteral("c.dct")), dct);
        }
        const QString source = dbc.isEmpty() ? folderConnectionString(dir.path())
                                             : containerConnectionString(dir.filePath(QStringLiteral("c.dbc")));
        const QString table = dbc.isEmpty() ? QStringLiteral("t") : QStringLiteral("orders");

        const Caught caught = failureOf([&] {
            const auto connection = model::factory().createConnection();
            connection->Open(source);
            const auto records = model::factory().createRecordset();
            records->Open(QStringLiteral("select * from [") + table + QStringLiteral("]"), *connection);
        });
        QCOMPARE(caught.description, description);
        QCOMPARE(caught.number, number);
    }

    void accepted_data()
    {
        QTest::addColumn<QByteArray>("dbf");
        QTest::addColumn<QStringList>("fields");
        const QByteArray good = tableBytes(dBase3());
        QByteArray lineFeed = good;
        lineFeed[96] = 0x0A;
        QTest::newRow("0x0A terminator") << lineFeed << QStringList{"name", "qty"};
        QByteArray nul = good;
        nul[96] = 0x00;
        QTest::newRow("NUL where the terminator belongs") << nul << QStringList{"name", "qty"};
        QByteArray missing = good;
        missing.remove(96, 1);
        putLe16(missing, 8, 96);
        QTest::newRow("terminator left out, descriptors fill the header") << missing << QStringList{"name", "qty"};
        QByteArray padded = good;
        padded.insert(97, '\0');
        putLe16(padded, 8, 98);
        QTest::newRow("pad byte after the terminator") << padded << QStringList{"name", "qty"};
        TableSpec wide;
        wide.version = 0x03;
        wide.fields = {{"TEXT", 'C', 520 % 256, 520 / 256}};
        QByteArray wideBytes = tableBytes(wide);
        putLe16(wideBytes, 10, 521);
        QTest::newRow("character width in two bytes") << wideBytes << QStringList{"text"};
        TableSpec noBacklink;
        noBacklink.fields = {{"A", 'C', 3}};
        QByteArray noBacklinkBytes = tableBytes(noBacklink).left(65);
        putLe16(noBacklinkBytes, 8, 65);
        QTest::newRow("Visual FoxPro without backlink space") << noBacklinkBytes << QStringList{"a"};
        QTest::newRow("records missing: only the header is read")
            << tableBytes(dBase3()).left(97).append(QByteArray(5, ' ')) << QStringList{"name", "qty"};
    }

    void accepted()
    {
        QFETCH(QByteArray, dbf);
        QFETCH(QStringList, fields);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writeFile(dir.filePath(QStringLiteral("t.dbf")), dbf);
        const auto connection = openConnection(folderConnectionString(dir.path()));
        QVERIFY(connection);
        const auto records = model::factory().createRecordset();
        records->Open(QStringLiteral("select * from [t]"), *connection);
        QStringList names;
        for (int i = 0; i < records->fieldCount(); ++i)
            names.append(records->field(i).name);
        QCOMPARE(names, fields);
    }

    // The memo is read where the records point, never whole: a .dct that
    // claims 2 GB of blocks behind a valid container costs what it holds.
    void sparseGiantMemoIsReadWhereNeeded()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TableSpec orders;
        orders.backlink = "c.dbc";
        orders.fields = {{"NAME", 'C', 10}};
        writeTable(dir.filePath(QStringLiteral("orders.dbf")), orders);
        writeContainer(dir.filePath(QStringLiteral("c.dbc")), oneTable(QStringLiteral("orders.dbf")));
        QFile dct(dir.filePath(QStringLiteral("c.dct")));
        QVERIFY(dct.open(QIODevice::ReadWrite));
        if (!dct.resize(qint64(2) << 30))
            QSKIP("this file system holds no sparse file of 2 GB");
        dct.close();
        const auto connection = openConnection(containerConnectionString(dir.filePath(QStringLiteral("c.dbc"))));
        QVERIFY(connection);
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        QCOMPARE(catalog->Tables(QStringLiteral("orders"))->columnProperty(QStringLiteral("name"),
                                                                           QStringLiteral("Description")),
                 QStringLiteral("Who"));
    }

    // Field records that all point at one memo block share what it says.
    void fieldsSharingOneMemo()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TableSpec orders;
        orders.backlink = "c.dbc";
        orders.fields = {{"A", 'C', 1}, {"B", 'C', 1}, {"C", 'C', 1}};
        writeTable(dir.filePath(QStringLiteral("orders.dbf")), orders);
        ContainerSpec layout;
        layout.tables = {{QStringLiteral("orders"), QStringLiteral("orders.dbf"),
                          {{QStringLiteral("a"), QStringLiteral("Shared"), {}},
                           {QStringLiteral("b"), QStringLiteral("Own b"), {}},
                           {QStringLiteral("c"), QStringLiteral("Own c"), {}}},
                          {}}};
        ContainerFiles files = containerBytes(layout);
        // Fields follow their table: records 7, 8 and 9. Point b and c at a's memo.
        const quint32 shared = le32(files.dbc, TableRecord + ContainerRecord + 147);
        putLe32(files.dbc, TableRecord + 2 * ContainerRecord + 147, shared);
        putLe32(files.dbc, TableRecord + 3 * ContainerRecord + 147, shared);
        writeFile(dir.filePath(QStringLiteral("c.dbc")), files.dbc);
        writeFile(dir.filePath(QStringLiteral("c.dct")), files.dct);
        const auto connection = openConnection(containerConnectionString(dir.filePath(QStringLiteral("c.dbc"))));
        QVERIFY(connection);
        const auto catalog = model::factory().createCatalog();
        catalog->setActiveConnection(*connection);
        const auto table = catalog->Tables(QStringLiteral("orders"));
        QStringList descriptions;
        for (const char *field : {"a", "b", "c"})
            descriptions.append(table->columnProperty(QLatin1String(field), QStringLiteral("Description")));
        QCOMPARE(descriptions, (QStringList{"Shared", "Shared", "Shared"}));
    }

    // Table records that share one id (a damaged container) do not each
    // take every field of that id: the first takes them, once.
    void tablesSharingAnId()
    {
        ContainerSpec layout;
        layout.tables = {{QStringLiteral("orders"), QStringLiteral("orders.dbf"),
                          {{QStringLiteral("a"), {}, {}}, {QStringLiteral("b"), {}, {}}}, {}},
                         {QStringLiteral("lines"), QStringLiteral("lines.dbf"), {{QStringLiteral("c"), {}, {}}}, {}}};
        ContainerFiles files = containerBytes(layout);
        // Records: orders, its two fields, lines, its field; the id follows the deletion flag.
        putLe32(files.dbc, TableRecord + 3 * ContainerRecord + 1, le32(files.dbc, TableRecord + 1));
        const platform::ContainerModel model = platform::parseContainer(
            files.dbc, platform::MemoFile(files.dct, QStringLiteral("c.dct")), QStringLiteral("c.dbc"));
        const platform::ContainerObject *orders = model.findTable(QStringLiteral("orders"));
        const platform::ContainerObject *lines = model.findTable(QStringLiteral("lines"));
        QVERIFY(orders && lines);
        QCOMPARE(orders->fields.size(), 2);
        QCOMPARE(lines->fields.size(), 0);
    }

    // A table is asked for by its listed name; no name reaches a file
    // outside the folder or one the listing does not give.
    void namesNeverLeaveTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent folder") << "../other/t";
        QTest::newRow("absolute path") << "%1/other/t";
        QTest::newRow("NUL cutting the name") << QStringLiteral("t") + QChar(0) + QStringLiteral("x");
        QTest::newRow("the folder itself") << "..";
    }

    void namesNeverLeaveTheFolder()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("inner")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("other")));
        writeTable(dir.filePath(QStringLiteral("other/t.dbf")), dBase3());
        writeTable(dir.filePath(QStringLiteral("t.dbf")), dBase3());
        if (name.contains(QLatin1String("%1")))
            name = name.arg(dir.path());
        const auto connection = openConnection(folderConnectionString(dir.filePath(QStringLiteral("inner"))));
        QVERIFY(connection);
        const Caught caught = failureOf([&] {
            const auto records = model::factory().createRecordset();
            records->Open(QStringLiteral("select * from [") + name + QStringLiteral("]"), *connection);
        });
        QCOMPARE(caught.number, 1);
        QCOMPARE(caught.description, QStringLiteral("File '%1.dbf' does not exist.").arg(name));
    }

    void damagedBacklinkedContainerKeepsShortNames()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TableSpec orders;
        orders.backlink = "c.dbc";
        orders.fields = {{"NAME", 'C', 10}};
        writeTable(dir.filePath(QStringLiteral("orders.dbf")), orders);
        writeFile(dir.filePath(QStringLiteral("c.dbc")), QByteArray("not a container"));
        const auto connection = openConnection(folderConnectionString(dir.path()));
        QVERIFY(connection);
        const auto records = model::factory().createRecordset();
        records->Open(QStringLiteral("select * from [orders]"), *connection);
        QCOMPARE(records->field(0).name, QStringLiteral("name"));
    }

    // A table's path made from its name and extension is the path its whole
    // text names, ASCII or not, under a folder with or without a final separator.
    void childPathsAreTheWholeTextsPaths()
    {
        using platform::LocalPath;
        for (const QString &folder : {QStringLiteral("/data/tables"), QStringLiteral("/data/tables/")}) {
            const LocalPath base = LocalPath::fromText(folder);
            for (const QString &name : {QStringLiteral("orders"), QStringLiteral("caf\u00e9 no\u00ebl"), QStringLiteral("Mixed Case")}) {
                const LocalPath whole = LocalPath::fromText(QStringLiteral("/data/tables/") + name + QStringLiteral(".dbf"));
                QCOMPARE(base.child(name, QLatin1StringView(".dbf")), whole);
            }
        }
    }

#ifndef Q_OS_WIN
    // A held folder opens its own files by name, with the same refusals as
    // opening by path; any other path is opened by itself.
    void heldFolderOpensItsFilesAsPathsDo()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("tables"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        writeFile(folder + QStringLiteral("/a.dbf"), QByteArray(40, 'a'));
        writeFile(folder + QStringLiteral("/sub/b.dbf"), QByteArray(7, 'b'));
        writeFile(dir.filePath(QStringLiteral("outside.dbf")), QByteArray(3, 'o'));
        QVERIFY(QFile::link(folder + QStringLiteral("/a.dbf"), folder + QStringLiteral("/link.dbf")));
        QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe.dbf")).constData(), 0600), 0);
        QVERIFY(QDir().mkdir(folder + QStringLiteral("/dir.dbf")));

        const auto path = [](const QString &text) { return platform::LocalPath::fromText(text); };
        const platform::HeldFolder held(path(folder));
        const auto sizeOf = [&](const QString &file) { return platform::ReadOnlyFile(held, path(file)).size(); };
        QCOMPARE(sizeOf(folder + QStringLiteral("/a.dbf")), 40);
        QCOMPARE(sizeOf(folder + QStringLiteral("/link.dbf")), 40);
        QCOMPARE(sizeOf(folder + QStringLiteral("/sub/b.dbf")), 7);
        QCOMPARE(sizeOf(dir.filePath(QStringLiteral("outside.dbf"))), 3);
        const Caught pipe = failureOf([&] { sizeOf(folder + QStringLiteral("/pipe.dbf")); });
        QCOMPARE(pipe.number, 202);
        QVERIFY2(pipe.description.contains(QStringLiteral("pipe.dbf")), qPrintable(pipe.description));
        QCOMPARE(failureOf([&] { sizeOf(folder + QStringLiteral("/dir.dbf")); }).number, 202);
        const Caught missing = failureOf([&] { sizeOf(folder + QStringLiteral("/none.dbf")); });
        QCOMPARE(missing.number, 1);
        QVERIFY2(missing.description.contains(QStringLiteral("none.dbf")), qPrintable(missing.description));

        // What was held is read: the folder's files are found in it even
        // after it has moved away from its path.
        QVERIFY(QDir().rename(folder, dir.filePath(QStringLiteral("moved"))));
        QCOMPARE(sizeOf(folder + QStringLiteral("/a.dbf")), 40);
        QCOMPARE(failureOf([&] { platform::ReadOnlyFile(path(folder + QStringLiteral("/a.dbf"))); }).number, 1);

        // A folder that cannot be held still has its files opened, by path.
        const platform::HeldFolder none(path(dir.filePath(QStringLiteral("no such folder"))));
        QCOMPARE(platform::ReadOnlyFile(none, path(dir.filePath(QStringLiteral("moved/a.dbf")))).size(), 40);
    }
#endif
};

QTEST_MAIN(BrokenTest)

#include "tst_broken.moc"
