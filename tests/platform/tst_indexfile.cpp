// The compound index reader: the tag lists of real FoxPro files, directories
// and tag headers written by the test writer, and damaged files, each of
// which is refused with Failure 2091 and never read out of bounds.

#include "model/dataaccess.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"
#include "platform/indexfile.h"
#include "xbasewriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace xbasewriter;

namespace {

constexpr quint8 Windows1252 = 0x03;

QString fixtures()
{
    return QStringLiteral(ORVALLE_FIXTURES_DIR);
}

// One tag as "NAME expression" plus, when set, " FOR filter", " candidate",
// " unique", " descending", " collation NAME": short enough to write by hand.
QString describe(const platform::IndexTag &tag)
{
    QString text = tag.name + QLatin1Char(' ') + tag.expression;
    if (!tag.filter.isEmpty())
        text += QStringLiteral(" FOR ") + tag.filter;
    if (tag.candidate)
        text += QStringLiteral(" candidate");
    if (tag.unique)
        text += QStringLiteral(" unique");
    if (tag.descending)
        text += QStringLiteral(" descending");
    if (!tag.collation.isEmpty())
        text += QStringLiteral(" collation ") + tag.collation;
    return text;
}

QStringList describe(const QList<platform::IndexTag> &tags)
{
    QStringList lines;
    for (const platform::IndexTag &tag : tags)
        lines.append(describe(tag));
    return lines;
}

QList<platform::IndexTag> readFixture(const QString &relative)
{
    return platform::readCompoundIndex(platform::LocalPath::fromText(fixtures() + QLatin1Char('/') + relative),
                                       Windows1252);
}

struct Caught {
    int number = -1;
    QString description;
};

Caught failureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Failure &failure) {
        return {failure.number(), failure.description()};
    }
    return {};
}

void putLe16(QByteArray &bytes, qsizetype at, quint32 value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

void putLe32(QByteArray &bytes, qsizetype at, quint32 value)
{
    putLe16(bytes, at, value & 0xFFFF);
    putLe16(bytes, at + 2, value >> 16);
}

void putBe32(QByteArray &bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
}

// Where the writer puts things (its documented layout).
constexpr qsizetype DirectoryStart = 0x400;
constexpr qsizetype Page = 512;

qsizetype tagHeaderAt(int tagCount, int tagsPerLeaf, int tag)
{
    return DirectoryStart + Page * compoundIndexDirectoryPages(tagCount, tagsPerLeaf) + tag * 3 * Page;
}

IndexTagSpec plainTag(const QByteArray &name, const QByteArray &expression)
{
    IndexTagSpec tag;
    tag.name = name;
    tag.expression = expression;
    return tag;
}

QList<IndexTagSpec> threeTags()
{
    return {plainTag("ORDERID", "orderid"), plainTag("CUSTOMERID", "customerid"), plainTag("ORDERDATE", "orderdate")};
}

// Tag names in an order unlike their creation order, so a list sorted by
// name and one sorted by header offset differ.
QList<IndexTagSpec> manyTags(int count)
{
    QList<IndexTagSpec> tags;
    for (int i = 0; i < count; ++i) {
        const QByteArray name = "T" + QByteArray::number((i * 37) % count).rightJustified(3, '0');
        tags.append(plainTag(name, "field" + QByteArray::number(i)));
    }
    return tags;
}

QStringList describeSpecs(const QList<IndexTagSpec> &tags)
{
    QStringList lines;
    for (const IndexTagSpec &tag : tags)
        lines.append(QString::fromLatin1(tag.name + ' ' + tag.expression));
    return lines;
}

} // namespace

class IndexFileTest : public QObject {
    Q_OBJECT

private slots:
    void fixtureTagLists_data();
    void fixtureTagLists();
    void containerIndexTags_data();
    void containerIndexTags();
    void candidateTagWithFilter();
    void everyFixtureIndexParses();

    void writtenDirectories_data();
    void writtenDirectories();
    void tagProperties();
    void whatWritersLeaveAtTheEdges();
    void expressionLengthsLeftZero();
    void openedFromAFile();

    void damaged_data();
    void damaged();
    void chainDeeperThanAnyDirectory();
    void notAFile();
};

void IndexFileTest::fixtureTagLists_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");

    const QString northwind = QStringLiteral("VFPX__Samples/Northwind/");
    QTest::newRow("Northwind categories") << northwind + "categories.cdx"
        << QStringList{"CATEGORYNM UPPER(categoryname)", "CATEGORYID categoryid candidate"};
    QTest::newRow("Northwind customers") << northwind + "customers.cdx"
        << QStringList{"CUSTOMERID customerid candidate", "COMPANYNAM UPPER(companyname)", "CITY UPPER(city)",
                       "POSTALCODE UPPER(postalcode)", "REGION UPPER(region)"};
    QTest::newRow("Northwind employees") << northwind + "employees.cdx"
        << QStringList{"REPORTSTO reportsto", "LASTNAME UPPER(lastname)", "POSTALCODE UPPER(postalcode)",
                       "EMPLOYEEID employeeid candidate"};
    QTest::newRow("Northwind orderdetails") << northwind + "orderdetails.cdx"
        << QStringList{"PRODUCTID productid", "ORDERID orderid", "PRIMARYKEY STR(orderid)+STR(productid) candidate"};
    QTest::newRow("Northwind orders") << northwind + "orders.cdx"
        << QStringList{"CUSTOMERID customerid", "ORDERDATE orderdate", "SHIPPEDDAT shippeddate",
                       "EMPLOYEEID employeeid", "SHIPPERID shipvia", "ORDERID orderid candidate"};
    QTest::newRow("Northwind products") << northwind + "products.cdx"
        << QStringList{"CATEGORYID categoryid", "SUPPLIERID supplierid", "PRODUCTNAM UPPER(productname)",
                       "PRODUCTID productid candidate"};
    QTest::newRow("Northwind shippers") << northwind + "shippers.cdx" << QStringList{"SHIPPERID shipperid candidate"};
    QTest::newRow("Northwind suppliers") << northwind + "suppliers.cdx"
        << QStringList{"POSTALCODE postalcode", "COMPANYNAM UPPER(companyname)", "SUPPLIERID supplierid candidate"};
    QTest::newRow("Northwind territories") << northwind + "territories.cdx"
        << QStringList{"TERRITORYI ALLTRIM(UPPER(territoryid)) candidate", "REGIONID regionid"};
    QTest::newRow("Northwind employeeterritories") << northwind + "employeeterritories.cdx"
        << QStringList{"EMPLOYEEID employeeid", "TERRITORYI territoryid"};
    QTest::newRow("Northwind customerdemographics") << northwind + "customerdemographics.cdx"
        << QStringList{"CUSTTYPEID ALLTRIM(UPPER(customertypeid)) candidate"};
    QTest::newRow("Northwind customercustomerdemo") << northwind + "customercustomerdemo.cdx"
        << QStringList{"CUSTOMERID ALLTRIM(UPPER(customerid))", "CUSTTYPEID ALLTRIM(UPPER(customertypeid))"};
    QTest::newRow("Northwind region") << northwind + "region.cdx" << QStringList{"REGIONID regionid candidate"};

    const QString data = QStringLiteral("VFPX__Samples/Data/");
    QTest::newRow("testdata customer") << data + "customer.cdx"
        << QStringList{"COMPANY company", "CONTACT contact", "POSTALCODE postalcode", "CUST_ID cust_id candidate",
                       "COUNTRY UPPER(country)"};
    QTest::newRow("testdata products") << data + "products.cdx" << QStringList{"PRODUCT_ID product_id candidate"};
    QTest::newRow("testdata orditems") << data + "orditems.cdx"
        << QStringList{"ORDER_ID order_id+STR(line_no,5,0)", "PRODUCT_ID product_id"};
    QTest::newRow("testdata orders") << data + "orders.cdx"
        << QStringList{"CUST_ID cust_id", "EMP_ID emp_id", "ORDER_ID order_id candidate"};
    QTest::newRow("testdata employee") << data + "employee.cdx" << QStringList{"EMP_ID emp_id candidate"};
}

void IndexFileTest::fixtureTagLists()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    if (!QFile::exists(fixtures() + QLatin1Char('/') + file))
        QSKIP("the fixtures are not here");
    const QList<platform::IndexTag> tags = readFixture(file);
    QCOMPARE(describe(tags), expected);
    for (qsizetype i = 1; i < tags.size(); ++i)
        QVERIFY(tags[i - 1].headerOffset < tags[i].headerOffset);
}

void IndexFileTest::containerIndexTags_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("Northwind") << QStringLiteral("VFPX__Samples/Northwind/northwind.dcx");
    QTest::newRow("testdata") << QStringLiteral("VFPX__Samples/Data/testdata.dcx");
    QTest::newRow("Transactions testdata") << QStringLiteral("VFPX__Samples/Com+/Transactions/testdata.dcx");
    QTest::newRow("EXPENSES") << QStringLiteral("Valentin-Kaiser__go-dbase/examples/test_data/database/EXPENSES.DCX");
    QTest::newRow("FOXPRO-DB-TEST") << QStringLiteral("infused__dbf/spec/fixtures/foxprodb/FOXPRO-DB-TEST.DCX");
}

void IndexFileTest::containerIndexTags()
{
    QFETCH(QString, file);
    if (!QFile::exists(fixtures() + QLatin1Char('/') + file))
        QSKIP("the fixtures are not here");
    QCOMPARE(describe(readFixture(file)),
             (QStringList{"OBJECTNAME STR(parentid)+objecttype+LOWER(objectname) FOR .NOT.DELETED()",
                          "OBJECTTYPE STR(parentid)+objecttype FOR .NOT.DELETED()"}));
}

void IndexFileTest::candidateTagWithFilter()
{
    const QString file = QStringLiteral("luads__php-xbase/tests/Resources/foxpro/issue115.cdx");
    if (!QFile::exists(fixtures() + QLatin1Char('/') + file))
        QSKIP("the fixtures are not here");
    const QList<platform::IndexTag> tags = readFixture(file);
    const auto cod = std::find_if(tags.begin(), tags.end(), [](const platform::IndexTag &tag) { return tag.name == "COD"; });
    QVERIFY(cod != tags.end());
    QCOMPARE(describe(*cod), QStringLiteral("COD cod FOR .NOT.DELETED() candidate"));
}

// Every index file FoxPro wrote: read from disk and parsed from memory, the
// same non-empty list, no tag without a name or a key expression.
void IndexFileTest::everyFixtureIndexParses()
{
    if (!QDir(fixtures()).exists())
        QSKIP("the fixtures are not here");
    int files = 0;
    QDirIterator it(fixtures(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QLatin1String(".cdx"), Qt::CaseInsensitive)
            && !path.endsWith(QLatin1String(".dcx"), Qt::CaseInsensitive))
            continue;
        ++files;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QList<platform::IndexTag> fromFile;
        QList<platform::IndexTag> fromBytes;
        const Caught caught = failureOf([&] {
            fromFile = platform::readCompoundIndex(platform::LocalPath::fromText(path), Windows1252);
            fromBytes = platform::parseCompoundIndex(bytes, Windows1252, QStringLiteral("x.cdx"));
        });
        QVERIFY2(caught.number == -1, qPrintable(path + ": " + caught.description));
        QVERIFY2(!fromFile.isEmpty(), qPrintable(path));
        QCOMPARE(describe(fromFile), describe(fromBytes));
        for (const platform::IndexTag &tag : fromFile)
            QVERIFY2(!tag.name.isEmpty() && !tag.expression.isEmpty(), qPrintable(path));
    }
    QCOMPARE(files, 35);
}

void IndexFileTest::writtenDirectories_data()
{
    QTest::addColumn<QList<IndexTagSpec>>("tags");
    QTest::addColumn<int>("tagsPerLeaf");

    QTest::newRow("one leaf") << threeTags() << 0;
    QTest::newRow("no tags") << QList<IndexTagSpec>{} << 0;
    QTest::newRow("three leaves under one root") << manyTags(7) << 3;
    QTest::newRow("a leaf per tag") << manyTags(20) << 1;
    // 60 leaves need three interior nodes and a root above them.
    QTest::newRow("two interior levels") << manyTags(120) << 2;
    // Header offsets above 0xFFFF widen the leaf entries to four bytes.
    QTest::newRow("headers past 64 KiB") << manyTags(60) << 0;
    // Names sharing most of their bytes and ending in blanks compress to little.
    QTest::newRow("shared prefixes") << QList<IndexTagSpec>{plainTag("ABCDEFGHIJ", "a"), plainTag("ABCDEFGHI", "b"),
                                                            plainTag("ABCDEFGH", "c"), plainTag("A", "d"),
                                                            plainTag("ABCDEFGHIK", "e")} << 2;
}

// Whatever the directory's shape, every tag comes back once, in creation order.
void IndexFileTest::writtenDirectories()
{
    QFETCH(QList<IndexTagSpec>, tags);
    QFETCH(int, tagsPerLeaf);
    const QList<platform::IndexTag> read =
        platform::parseCompoundIndex(compoundIndexBytes(tags, tagsPerLeaf), Windows1252, QStringLiteral("t.cdx"));
    QCOMPARE(describe(read), describeSpecs(tags));
}

void IndexFileTest::tagProperties()
{
    IndexTagSpec descending = plainTag("NEWEST", "orderdate");
    descending.descending = true;
    IndexTagSpec unique = plainTag("COUNTRY", "UPPER(country)");
    unique.options = 0x61;
    IndexTagSpec collated = plainTag("NAME", "lastname+firstname");
    collated.collation = "GENERAL";
    IndexTagSpec filtered = plainTag("OPEN", "orderid");
    filtered.filter = "shipped = .F. AND NOT DELETED()";
    IndexTagSpec candidate = plainTag("ID", "id");
    candidate.options = 0x64;
    candidate.keyLength = 4;
    // Names and expressions in the table's code page: é is 0xE9 in 1252.
    IndexTagSpec accented = plainTag("CAF\xC9", "caf\xE9+n\xFAmero");

    const QByteArray bytes = compoundIndexBytes({descending, unique, collated, filtered, candidate, accented});
    QCOMPARE(describe(platform::parseCompoundIndex(bytes, Windows1252, QStringLiteral("t.cdx"))),
             (QStringList{"NEWEST orderdate descending", "COUNTRY UPPER(country) unique",
                          "NAME lastname+firstname collation GENERAL",
                          "OPEN orderid FOR shipped = .F. AND NOT DELETED()", "ID id candidate",
                          QStringLiteral(u"CAFÉ café+número")}));
}

// A last directory leaf whose right sibling is 0, as some writers leave it,
// ends the chain as 0xFFFFFFFF does; keys of 492 bytes, the longest an
// interior node holds two of, are a tag's keys like any other.
void IndexFileTest::whatWritersLeaveAtTheEdges()
{
    QByteArray endsAtZero = compoundIndexBytes(manyTags(7), 3); // leaves at 0x400, 0x600, 0x800
    putLe32(endsAtZero, 0x800 + 8, 0);
    QCOMPARE(describe(platform::parseCompoundIndex(endsAtZero, Windows1252, QStringLiteral("t.cdx"))),
             describeSpecs(manyTags(7)));

    IndexTagSpec longest = plainTag("NOTES", "LEFT(notes, 240)+LEFT(more, 252)");
    longest.keyLength = 492;
    QCOMPARE(describe(platform::parseCompoundIndex(compoundIndexBytes({longest}), Windows1252,
                                                   QStringLiteral("t.cdx"))),
             describeSpecs({longest}));
}

// A writer that leaves both lengths 0: the key runs up to the FOR expression,
// the FOR expression (announced by option 0x08) to its NUL.
void IndexFileTest::expressionLengthsLeftZero()
{
    IndexTagSpec filtered = plainTag("OPEN", "orderid");
    filtered.filter = "!shipped";
    IndexTagSpec plain = plainTag("PLAIN", "customerid");
    QByteArray bytes = compoundIndexBytes({filtered, plain});
    for (int tag = 0; tag < 2; ++tag) {
        const qsizetype header = tagHeaderAt(2, 0, tag);
        putLe16(bytes, header + 506, 0);
        putLe16(bytes, header + 510, 0);
    }
    QCOMPARE(describe(platform::parseCompoundIndex(bytes, Windows1252, QStringLiteral("t.cdx"))),
             (QStringList{"OPEN orderid FOR !shipped", "PLAIN customerid"}));
}

// The file reader sees what the parser sees, and a file cut short (here the
// last tag's tree) is refused by the same checks, not read past its end.
void IndexFileTest::openedFromAFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("orders.cdx"));
    writeFile(path, compoundIndexBytes(manyTags(40), 4));
    QCOMPARE(describe(platform::readCompoundIndex(platform::LocalPath::fromText(path), Windows1252)),
             describeSpecs(manyTags(40)));

    QFile file(path);
    QVERIFY(file.resize(file.size() - Page));
    const Caught caught = failureOf([&] { platform::readCompoundIndex(platform::LocalPath::fromText(path), Windows1252); });
    QCOMPARE(caught.number, int(platform::TableCorrupted));
    QVERIFY2(caught.description.startsWith(QStringLiteral("'orders.cdx' is corrupted: ")), qPrintable(caught.description));
}

void IndexFileTest::damaged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason");

    const QString corrupted = QStringLiteral("'broken.cdx' is corrupted: ");
    const QString notCompound = QStringLiteral("'broken.cdx' is not a compound index: ");
    const QByteArray one = compoundIndexBytes(threeTags());
    const QByteArray several = compoundIndexBytes(manyTags(7), 3); // leaves at 0x400, 0x600, 0x800; root 0xA00

    QTest::newRow("empty file") << QByteArray() << notCompound << QStringLiteral("the file is 0 bytes long");
    QTest::newRow("shorter than its header") << one.left(1000) << notCompound << QStringLiteral("the file is 1000 bytes long");
    QTest::newRow("tag header cut off") << one.left(one.size() - 1024) << corrupted << QStringLiteral("the header of tag ORDERDATE at 0x1200 lies outside the file (5120 bytes)");
    {
        QByteArray bytes = one;
        bytes[14] = char(0xA0); // no compound bit
        QTest::newRow("options without 0x40") << bytes << notCompound << QStringLiteral("options byte is 0xa0");
    }
    {
        QByteArray bytes = one;
        bytes[14] = char(0xC0); // no compact bit
        QTest::newRow("options without 0x20") << bytes << notCompound << QStringLiteral("options byte is 0xc0");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, 12, 0);
        QTest::newRow("directory key length 0") << bytes << notCompound << QStringLiteral("tag names are 0 bytes long");
    }
    {
        QByteArray bytes = one;
        putLe32(bytes, 0, 0x100000);
        QTest::newRow("root past the end") << bytes << corrupted << QStringLiteral("root at 0x100000 lies outside the file");
    }
    {
        QByteArray bytes = one;
        putLe32(bytes, 0, 0xFFFFFFFF);
        QTest::newRow("no root") << bytes << corrupted << QStringLiteral("root at 0xffffffff is not on a page boundary");
    }
    {
        QByteArray bytes = one;
        putLe32(bytes, 0, 0);
        QTest::newRow("root is the header") << bytes << corrupted << QStringLiteral("root at 0x0 lies in the directory's header");
    }
    {
        QByteArray bytes = one;
        putLe32(bytes, 0, 0x401);
        QTest::newRow("root off a page boundary") << bytes << corrupted << QStringLiteral("root at 0x401 is not on a page boundary");
    }
    {
        QByteArray bytes = several;
        putBe32(bytes, 0xA00 + 12 + 10 + 4, 0x602);
        QTest::newRow("interior child off a page boundary") << bytes << corrupted << QStringLiteral("node at 0x602 is not on a page boundary");
    }
    {
        QByteArray bytes = several;
        putBe32(bytes, 0xA00 + 12 + 10 + 4, 0xA00);
        QTest::newRow("interior child is its parent") << bytes << corrupted << QStringLiteral("comes back to the page at 0xa00");
    }
    {
        QByteArray bytes = several;
        putLe16(bytes, 0xA00 + 2, 0);
        QTest::newRow("interior node without entries") << bytes << corrupted << QStringLiteral("node claims 0 entries");
    }
    {
        QByteArray bytes = several;
        putLe16(bytes, 0xA00 + 2, 28); // 28 × 18 > 500
        QTest::newRow("interior entries past the node") << bytes << corrupted << QStringLiteral("node claims 28 entries");
    }
    {
        QByteArray bytes = several;
        putLe32(bytes, 0x600 + 8, 0x400);
        QTest::newRow("right sibling back to the first leaf") << bytes << corrupted << QStringLiteral("comes back to the page at 0x400");
    }
    {
        QByteArray bytes = one;
        putLe32(bytes, 0x400 + 8, 0x400);
        QTest::newRow("leaf its own right sibling") << bytes << corrupted << QStringLiteral("comes back to the page at 0x400");
    }
    {
        QByteArray bytes = several;
        putLe32(bytes, 0x400 + 8, 0x10000);
        QTest::newRow("right sibling past the end") << bytes << corrupted << QStringLiteral("leaf at 0x10000 lies outside the file");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, 0x400 + 2, 163); // 163 × 3 = 489 > 488
        QTest::newRow("leaf entries past the key area") << bytes << corrupted << QStringLiteral("leaf claims 163 entries of 3 bytes");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, 0x400 + 2, 160); // 160 × 3 fits 488, but the entries end at 504, over the first name's bytes
        QTest::newRow("leaf entries over the keys") << bytes << corrupted
                                                    << QStringLiteral("entry 1 of a directory leaf does not fit its key");
    }
    {
        QByteArray bytes = one;
        bytes[0x400 + 23] = 0;
        QTest::newRow("leaf entries of 0 bytes") << bytes << corrupted << QStringLiteral("entries of 0 bytes");
    }
    {
        QByteArray bytes = one;
        bytes[0x400 + 23] = 9;
        QTest::newRow("leaf entries wider than 8 bytes") << bytes << corrupted << QStringLiteral("entries of 9 bytes");
    }
    {
        QByteArray bytes = one;
        bytes[0x400 + 20] = 20; // 20 + 4 + 4 bits in a 3-byte entry
        QTest::newRow("leaf bit counts past the entry") << bytes << corrupted << QStringLiteral("entries of 3 bytes with 20+4+4 bits");
    }
    {
        // First entry: trailing count 15 of a 10-byte name.
        QByteArray bytes = one;
        bytes[0x400 + 24 + 2] = char(0xF0);
        QTest::newRow("trailing count past the key") << bytes << corrupted << QStringLiteral("entry 1 of a directory leaf does not fit its key");
    }
    {
        // The first name, CUSTOMERID, has its header at 0x0C00; make it 0x0C01.
        QByteArray bytes = one;
        bytes[0x400 + 24] = 0x01;
        QTest::newRow("tag header off a page boundary") << bytes << corrupted << QStringLiteral("header of tag CUSTOMERID at 0xc01 is not on a page boundary");
    }
    {
        // Records are 16 bits here: 0xFE00 lies past the end of this small file.
        QByteArray bytes = one;
        bytes[0x400 + 24] = 0x00;
        bytes[0x400 + 25] = char(0xFE);
        QTest::newRow("tag header past the end") << bytes << corrupted << QStringLiteral("header of tag CUSTOMERID at 0xfe00 lies outside the file");
    }
    {
        QByteArray bytes = one;
        bytes[0x400 + 24] = 0x00;
        bytes[0x400 + 25] = 0x00;
        QTest::newRow("tag header at the directory header") << bytes << corrupted << QStringLiteral("header of tag CUSTOMERID at 0x0 lies in the directory's header");
    }
    {
        // The second entry's record made equal to the first's.
        QByteArray bytes = one;
        bytes[0x400 + 27] = bytes[0x400 + 24];
        bytes[0x400 + 28] = bytes[0x400 + 25];
        QTest::newRow("two tags, one header") << bytes << corrupted << QStringLiteral("two tags share the header at 0xc00");
    }
    const qsizetype firstTag = tagHeaderAt(3, 0, 0);
    {
        QByteArray bytes = one;
        putLe32(bytes, firstTag, 0x100000);
        QTest::newRow("tag root past the end") << bytes << corrupted << QStringLiteral("root of tag ORDERID at 0x100000 lies outside the file");
    }
    {
        QByteArray bytes = one;
        putLe32(bytes, firstTag, quint32(firstTag + 1024 + 8));
        QTest::newRow("tag root off a page boundary") << bytes << corrupted << QStringLiteral("root of tag ORDERID at 0xa08 is not on a page boundary");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, firstTag + 12, 0);
        QTest::newRow("tag key length 0") << bytes << corrupted << QStringLiteral("keys of tag ORDERID are 0 bytes long");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, firstTag + 12, 493);
        QTest::newRow("tag key longer than a node") << bytes << corrupted << QStringLiteral("keys of tag ORDERID are 493 bytes long");
    }
    {
        // A name is text from the file: its line break and its %1 stay out of the message's shape.
        QByteArray bytes = compoundIndexBytes({plainTag("A\n%1", "a")});
        putLe16(bytes, tagHeaderAt(1, 0, 0) + 12, 0);
        QTest::newRow("name with a line break") << bytes << corrupted
                                                << QStringLiteral(u"keys of tag A\uFFFD%1 are 0 bytes long.");
    }
    {
        QByteArray bytes = one;
        bytes[firstTag + 14] = 0x20;
        QTest::newRow("tag header without the compound bit") << bytes << corrupted << QStringLiteral("header of tag ORDERID at 0x600 is no tag header");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, firstTag + 510, 600);
        QTest::newRow("key expression longer than the pool") << bytes << corrupted << QStringLiteral("key expression of tag ORDERID runs past the end of its header");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, firstTag + 508, 500);
        putLe16(bytes, firstTag + 510, 20);
        QTest::newRow("key expression past the pool") << bytes << corrupted << QStringLiteral("key expression of tag ORDERID runs past the end of its header");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, firstTag + 504, 0xFFFF);
        QTest::newRow("FOR expression position past the pool") << bytes << corrupted << QStringLiteral("expressions of tag ORDERID lie outside its header");
    }
    {
        QByteArray bytes = one;
        putLe16(bytes, firstTag + 504, 511);
        putLe16(bytes, firstTag + 506, 2);
        QTest::newRow("FOR expression past the pool") << bytes << corrupted << QStringLiteral("FOR expression of tag ORDERID runs past the end of its header");
    }
    {
        QByteArray bytes = one;
        bytes[firstTag + 512] = '\0';
        QTest::newRow("empty key expression") << bytes << corrupted << QStringLiteral("tag ORDERID has no key expression");
    }
}

// Parsed from memory and read from a file alike: Failure 2091 with a
// one-line message naming the file.
void IndexFileTest::damaged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(QString, reason);

    const Caught parsed = failureOf([&] { platform::parseCompoundIndex(bytes, Windows1252, QStringLiteral("broken.cdx")); });
    QCOMPARE(parsed.number, int(platform::TableCorrupted));
    QVERIFY2(parsed.description.startsWith(message), qPrintable(parsed.description));
    QVERIFY2(parsed.description.contains(reason), qPrintable(parsed.description));
    QVERIFY(!parsed.description.contains(QLatin1Char('\n')));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("broken.cdx"));
    writeFile(path, bytes);
    const Caught read = failureOf([&] { platform::readCompoundIndex(platform::LocalPath::fromText(path), Windows1252); });
    QCOMPARE(read.number, int(platform::TableCorrupted));
    QCOMPARE(read.description, parsed.description);
}

// Interior nodes each pointing to the next one, never to a leaf: refused
// by depth before the pages run out.
void IndexFileTest::chainDeeperThanAnyDirectory()
{
    constexpr int Nodes = 200;
    QByteArray bytes = compoundIndexBytes(threeTags());
    const qsizetype chainStart = bytes.size();
    bytes.append(QByteArray(Nodes * Page, '\0'));
    for (int i = 0; i < Nodes; ++i) {
        const qsizetype at = chainStart + i * Page;
        putLe16(bytes, at, 0);
        putLe16(bytes, at + 2, 1);
        putBe32(bytes, at + 12 + 10 + 4, quint32(i + 1 < Nodes ? at + Page : chainStart));
    }
    putLe32(bytes, 0, quint32(chainStart));
    const Caught caught = failureOf([&] { platform::parseCompoundIndex(bytes, Windows1252, QStringLiteral("deep.cdx")); });
    QCOMPARE(caught.number, int(platform::TableCorrupted));
    QVERIFY2(caught.description.contains(QStringLiteral("levels deep")), qPrintable(caught.description));
}

void IndexFileTest::notAFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Caught missing = failureOf([&] {
        platform::readCompoundIndex(platform::LocalPath::fromText(dir.filePath(QStringLiteral("none.cdx"))), Windows1252);
    });
    QCOMPARE(missing.number, int(platform::FileDoesNotExist));

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.cdx")));
    const Caught folder = failureOf([&] {
        platform::readCompoundIndex(platform::LocalPath::fromText(dir.filePath(QStringLiteral("folder.cdx"))), Windows1252);
    });
    QCOMPARE(folder.number, int(platform::InvalidPath));
}

QTEST_MAIN(IndexFileTest)
#include "tst_indexfile.moc"
