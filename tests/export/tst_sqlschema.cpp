// The PostgreSQL and SQLite schemas: the text written for small models, then
// the same schemas, and those of every fixture source, applied to a real
// PostgreSQL server the test runs itself and to SQLite, their catalogs
// compared with the model.

#include "fixturesources.h"
#include "golden.h"
#include "modelparts.h"
#include "model/impliedrelations.h"
#include "postgresserver.h"
#include "export/dictionary/dictionary.h"
#include "export/dictionary/documentwriter.h"
#include "platform/failure.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <limits>
#include <memory>

using namespace dictionary;
using model::FieldModel;
using model::IndexModel;
using model::RelationModel;
using model::SourceModel;
using model::TableModel;
using model::TagKind;
using model::ViewModel;

Q_DECLARE_METATYPE(model::FieldModel)

namespace {

const QChar replacement(QChar::ReplacementCharacter);

// A whole schema written by hand in tests/export/data.
QByteArray golden(const QString &name, const QHash<QString, QString> &values = {})
{
    return goldenFile(QStringLiteral(ORVALLE_TEST_DATA_DIR "/") + name, values);
}

FieldModel field(const QString &name, char type, int width, int decimals = 0)
{
    FieldModel f;
    f.name = name;
    f.type = type;
    f.width = width;
    f.decimals = decimals;
    return f;
}

FieldModel nullable(FieldModel f)
{
    f.nullable = true;
    return f;
}

FieldModel binary(FieldModel f)
{
    f.binary = true;
    return f;
}

FieldModel withDefault(FieldModel f, const QString &expression)
{
    f.defaultValue = expression;
    return f;
}

IndexModel tag(const QString &name, const QString &expression, TagKind kind = TagKind::Regular,
               const QString &filter = {}, bool descending = false)
{
    IndexModel i;
    i.name = name;
    i.expression = expression;
    i.kind = kind;
    i.filter = filter;
    i.descending = descending;
    i.collation = QStringLiteral("MACHINE");
    return i;
}

TableModel table(const QString &name, quint8 version, const QList<FieldModel> &fields)
{
    TableModel t;
    t.name = name;
    t.file = name + QStringLiteral(".dbf");
    t.version = version;
    t.fields = fields;
    for (int i = 0; i < t.fields.size(); ++i)
        t.fields[i].position = i + 1;
    return t;
}

RelationModel relation(const QString &child, const QString &childTag, const QString &parent,
                       const QString &parentTag)
{
    RelationModel r;
    r.childTable = child;
    r.childTag = childTag;
    r.parentTable = parent;
    r.parentTag = parentTag;
    return r;
}

SourceModel folder(const QList<TableModel> &tables, const QString &path = QStringLiteral("/data/free"))
{
    SourceModel source;
    source.kind = SourceModel::Kind::Folder;
    source.path = path;
    source.tables = tables;
    return source;
}

// A small shop: every kind of tag, defaults, rules, a trigger, an
// autoincrement key, a relation with integrity rules, descriptions that try
// to end comments and strings, and two views.
SourceModel shop()
{
    SourceModel source;
    source.kind = SourceModel::Kind::Container;
    source.path = QStringLiteral("/data/shop.dbc");
    source.comment = QStringLiteral("Shop's data");

    TableModel customer = table(QStringLiteral("customer"), 0x30, {
        field(QStringLiteral("cust_id"), 'C', 6),
        withDefault(field(QStringLiteral("company"), 'C', 40), QStringLiteral("\"(none)\"")),
        nullable(field(QStringLiteral("email"), 'V', 60)),
        withDefault(field(QStringLiteral("since"), 'D', 8), QStringLiteral("{}")),
        withDefault(field(QStringLiteral("balance"), 'Y', 8, 4), QStringLiteral("0")),
        withDefault(field(QStringLiteral("active"), 'L', 1), QStringLiteral(".T.")),
        field(QStringLiteral("notes"), 'M', 4),
        field(QStringLiteral("photo"), 'G', 4),
        withDefault(nullable(field(QStringLiteral("last seen"), 'T', 8)), QStringLiteral("DATETIME()")),
    });
    customer.comment = QStringLiteral("Who buys.\nSee: */ -- not code\nDROP TABLE customer;");
    customer.rule = QStringLiteral("!EMPTY(cust_id)");
    customer.ruleText = QStringLiteral("\"Every customer has an id\"");
    customer.insertTrigger = QStringLiteral("__ri_insert_customer()");
    customer.primaryKey = QStringLiteral("cust_id");
    customer.fields[0].comment = QStringLiteral("Customer's id");
    customer.fields[2].comment = QStringLiteral("Where to write\r\nto them");
    customer.fields[4].rule = QStringLiteral("balance >= 0");
    customer.fields[4].ruleText = QStringLiteral("\"No debts\"");
    customer.indexes = {
        tag(QStringLiteral("CUST_ID"), QStringLiteral("cust_id"), TagKind::Primary),
        tag(QStringLiteral("EMAIL"), QStringLiteral("EMAIL"), TagKind::Candidate),
        tag(QStringLiteral("COMPANY"), QStringLiteral("UPPER(company)")),
        tag(QStringLiteral("SINCE"), QStringLiteral("since"), TagKind::Regular, {}, true),
        tag(QStringLiteral("ACTIVE"), QStringLiteral("active"), TagKind::Regular, QStringLiteral("!DELETED()")),
        tag(QStringLiteral("BALANCE"), QStringLiteral("balance"), TagKind::Regular, QStringLiteral("balance > 0")),
        tag(QStringLiteral("NAMEDATE"), QStringLiteral("company+DTOS(since)")),
    };
    customer.indexesKnown = true;

    FieldModel id = field(QStringLiteral("id"), 'I', 4);
    id.autoIncrement = true;
    id.nextValue = 42;
    id.step = 1;
    TableModel items = table(QStringLiteral("order \"items\""), 0x31, {
        id,
        field(QStringLiteral("cust_id"), 'C', 6),
        withDefault(field(QStringLiteral("qty"), 'N', 5), QStringLiteral("1")),
        withDefault(field(QStringLiteral("price"), 'N', 10, 2), QStringLiteral("9.99")),
        nullable(field(QStringLiteral("weight"), 'F', 8, 3)),
        withDefault(field(QStringLiteral("ratio"), 'B', 8, 2), QStringLiteral("0.5")),
        nullable(field(QStringLiteral("stamp"), 'T', 8)),
        field(QStringLiteral("code"), 'Q', 8),
        binary(field(QStringLiteral("raw"), 'C', 10)),
        field(QStringLiteral("blob"), 'W', 4),
        field(QStringLiteral("pic"), 'P', 4),
    });
    items.primaryKey = QStringLiteral("id");
    items.indexes = {
        tag(QStringLiteral("ID"), QStringLiteral("id"), TagKind::Primary),
        tag(QStringLiteral("CUST_ID"), QStringLiteral("cust_id")),
    };
    items.indexesKnown = true;
    source.tables = {customer, items};

    RelationModel link = relation(QStringLiteral("order \"items\""), QStringLiteral("CUST_ID"),
                                  QStringLiteral("customer"), QStringLiteral("CUST_ID"));
    link.onUpdate = QStringLiteral("cascade");
    link.onDelete = QStringLiteral("restrict");
    link.onInsert = QStringLiteral("ignore");
    source.relations = {link};

    ViewModel big;
    big.name = QStringLiteral("big orders");
    big.sql = QStringLiteral("SELECT * FROM items WHERE qty > 10");
    big.comment = QStringLiteral("Orders of more than ten");
    ViewModel people;
    people.name = QStringLiteral("people");
    people.remote = true;
    people.connection = QStringLiteral("crm");
    people.sql = QStringLiteral("SELECT id FROM people");
    source.views = {big, people};

    model::Finding finding;
    finding.place = QStringLiteral("old.dbf");
    finding.message = QStringLiteral("The file is missing");
    source.findings = {finding};
    return source;
}



// Names SQL cannot take as they are: equal but for case, PostgreSQL's system
// columns and 63-byte limit, SQLite's reserved prefix, a NUL, none at all.
SourceModel names()
{
    const QString seventyA(70, QLatin1Char('a'));
    const QString sixtyNineAb = QString(69, QLatin1Char('a')) + QLatin1Char('b');
    const QString fortyE(40, QChar(0x00E9));
    TableModel first = table(QStringLiteral("sqlite_stat"), 0x30, {
        field(QStringLiteral("Name"), 'C', 5),
        field(QStringLiteral("NAME"), 'C', 5),
        field(QStringLiteral("xmin"), 'I', 4),
        field(QStringLiteral("XMAX"), 'I', 4),
        field(QStringLiteral("a") + QChar(0) + QStringLiteral("b"), 'L', 1),
        field(QString(), 'N', 3),
        field(seventyA, 'C', 1),
        field(sixtyNineAb, 'C', 1),
        field(fortyE, 'D', 8),
        field(QStringLiteral("we \"quote\" it"), 'I', 4),
    });
    TableModel second = table(QStringLiteral("SQLITE_STAT"), 0x30, {field(QStringLiteral("f"), 'I', 4)});
    TableModel flags = table(QStringLiteral("flags"), 0x30, {field(QStringLiteral("_NullFlags"), '0', 1)});
    return folder({first, second, flags}, QStringLiteral("/data/names"));
}



// Relations of every kind a schema cannot hold, beside one it can.
SourceModel relations()
{
    TableModel parent = table(QStringLiteral("p"), 0x30, {
        field(QStringLiteral("id"), 'I', 4),
        field(QStringLiteral("code"), 'C', 4),
        field(QStringLiteral("kind"), 'N', 3),
    });
    parent.primaryKey = QStringLiteral("id");
    parent.indexes = {
        tag(QStringLiteral("ID"), QStringLiteral("id"), TagKind::Primary),
        tag(QStringLiteral("CODE"), QStringLiteral("uppe( code )"), TagKind::Candidate),
        tag(QStringLiteral("KIND"), QStringLiteral("kind")),
    };
    TableModel child = table(QStringLiteral("c"), 0x30, {
        field(QStringLiteral("pid"), 'I', 4),
        field(QStringLiteral("pcode"), 'C', 4),
        field(QStringLiteral("pkind"), 'N', 3),
    });
    child.indexes = {
        tag(QStringLiteral("PID"), QStringLiteral("pid"), TagKind::Regular, QStringLiteral(".NOT. DELETED()")),
        tag(QStringLiteral("PCODE"), QStringLiteral("pcode")),
        tag(QStringLiteral("PKIND"), QStringLiteral("pkind")),
        tag(QStringLiteral("EXPR"), QStringLiteral("STR(pid)")),
    };
    SourceModel source = folder({parent, child});
    source.kind = SourceModel::Kind::Container;
    RelationModel kept = relation(QStringLiteral("C"), QStringLiteral("pid"), QStringLiteral("P"), QStringLiteral("id"));
    kept.onDelete = QStringLiteral("cascade");
    kept.onUpdate = QStringLiteral("ignore");
    source.relations = {
        kept,
        relation(QStringLiteral("c"), QStringLiteral("PCODE"), QStringLiteral("p"), QStringLiteral("CODE")),
        relation(QStringLiteral("c"), QStringLiteral("PKIND"), QStringLiteral("p"), QStringLiteral("KIND")),
        relation(QStringLiteral("c"), QStringLiteral("EXPR"), QStringLiteral("p"), QStringLiteral("ID")),
        relation(QStringLiteral("c"), QStringLiteral("PID"), QStringLiteral("gone"), QStringLiteral("ID")),
        relation(QStringLiteral("c"), QStringLiteral("NOPE"), QStringLiteral("p"), QStringLiteral("ID")),
        relation(QStringLiteral("c"), QStringLiteral("PCODE"), QStringLiteral("p"), QStringLiteral("ID")),
        relation(QStringLiteral("gone"), QStringLiteral("X"), QStringLiteral("p"), QStringLiteral("ID")),
    };
    return source;
}

const QString hostile = QStringLiteral("one\rDROP TABLE t;\ntwo\r\n-- three */ /* \x0b\x0c\x1b[2J") + QChar(0)
    + QStringLiteral("end");

// The same hostile text in every place the schema writes text from the files.
SourceModel hostileText()
{
    TableModel t = table(QStringLiteral("t"), 0x30, {withDefault(field(QStringLiteral("f"), 'C', 5), hostile)});
    t.fields[0].rule = hostile;
    t.fields[0].comment = hostile;
    t.comment = hostile;
    t.insertTrigger = hostile;
    t.indexes = {tag(hostile, hostile)};
    SourceModel source = folder({t}, hostile);
    source.comment = hostile;
    model::Finding finding;
    finding.place = hostile;
    finding.message = hostile;
    source.findings = {finding};
    ViewModel view;
    view.name = hostile;
    view.sql = hostile;
    view.comment = hostile;
    source.views = {view};
    source.relations = {relation(hostile, hostile, hostile, hostile)};
    return source;
}

QStringList matchingLines(const QString &text, const QRegularExpression &pattern)
{
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (pattern.match(line).hasMatch())
            lines << line.trimmed();
    }
    return lines;
}

// The body of the one-table schema: the lines between CREATE TABLE and ");".
QString tableBody(const QString &schema)
{
    const qsizetype start = schema.indexOf(QStringLiteral("CREATE TABLE \"t\" (\n"));
    const qsizetype end = schema.indexOf(QStringLiteral("\n);\n"), start);
    if (start < 0 || end < 0)
        return QStringLiteral("(no CREATE TABLE \"t\")");
    const qsizetype from = start + QStringLiteral("CREATE TABLE \"t\" (\n").size();
    return schema.mid(from, end - from);
}

// --- The servers ---------------------------------------------------------

class SqliteDatabase {
public:
    explicit SqliteDatabase(const QString &folder, const QString &name)
        : m_path(QDir(folder).filePath(name + QStringLiteral(".db")))
    {
    }

    static QString program() { return QStandardPaths::findExecutable(QStringLiteral("sqlite3")); }

    Outcome script(const QByteArray &sql) const
    {
        return runProcess(program(), {QStringLiteral("-batch"), QStringLiteral("-bail"), m_path}, sql);
    }

    Outcome query(const QString &sql) const
    {
        return runProcess(program(), {QStringLiteral("-batch"), QStringLiteral("-bail"), QStringLiteral("-noheader"),
                                      QStringLiteral("-separator"), QString(fieldSeparator), QStringLiteral("-newline"),
                                      QString(recordSeparator), m_path, sql});
    }

private:
    QString m_path;
};

// --- What the catalogs should say for a model --------------------------

bool isVisualFoxPro(quint8 version)
{
    return version >= 0x30 && version <= 0x32;
}

// The documented mapping (docs/sql-types.md), as each catalog states it.
struct ExpectedType {
    QString postgres;      // information_schema.columns.data_type
    QString length;        // character_maximum_length
    QString precision;     // numeric_precision
    QString scale;         // numeric_scale
    QString sqlite;        // the declared type
};

// A binary type, or a Date, whose field is not as wide as the type always
// is: what it holds is kept as bytes.
bool oddWidth(const FieldModel &f, quint8 version)
{
    if (QByteArrayLiteral("DT@YO").contains(f.type) || (f.type == 'B' && isVisualFoxPro(version)))
        return f.width != 8;
    if (f.type == 'I' || f.type == '+')
        return f.width != 4;
    return false;
}

ExpectedType expectedType(const FieldModel &f, quint8 version)
{
    const ExpectedType bytes{QStringLiteral("bytea"), {}, {}, {}, QStringLiteral("blob")};
    if (oddWidth(f, version))
        return bytes;
    const auto text = [&] {
        if (f.width < 1)
            return ExpectedType{QStringLiteral("text"), {}, {}, {}, QStringLiteral("text")};
        return ExpectedType{QStringLiteral("character varying"), QString::number(f.width), {}, {},
                            QStringLiteral("varchar(%1)").arg(f.width)};
    };
    const auto decimal = [&](int width, int decimals) {
        if (width < 1 || decimals < 0 || decimals > width)
            return ExpectedType{QStringLiteral("numeric"), {}, {}, {}, QStringLiteral("numeric")};
        return ExpectedType{QStringLiteral("numeric"), {}, QString::number(width), QString::number(decimals),
                            QStringLiteral("numeric(%1,%2)").arg(width).arg(decimals)};
    };
    const ExpectedType integer{QStringLiteral("integer"), {}, QStringLiteral("32"), QStringLiteral("0"),
                               QStringLiteral("integer")};
    const ExpectedType dbl{QStringLiteral("double precision"), {}, QStringLiteral("53"), {},
                           QStringLiteral("double precision")};
    switch (f.type) {
    case 'C':
        return f.binary ? bytes : text();
    case 'V':
        return !isVisualFoxPro(version) || f.binary ? bytes : text();
    case 'N':
        // Every digit of the width may be a whole one (FoxPro gives up
        // decimals before it overflows).
        if (f.width < 1 || f.decimals < 0 || f.decimals > f.width)
            return decimal(f.width, f.decimals);
        return decimal(f.width + f.decimals, f.decimals);
    case 'F':
        return decimal(0, 0);
    case 'Y':
        return decimal(19, 4);
    case 'I':
    case '+':
        return integer;
    case 'B':
        return isVisualFoxPro(version) ? dbl : bytes;
    case 'O':
        return dbl;
    case 'D':
        return {QStringLiteral("date"), {}, {}, {}, QStringLiteral("date")};
    case 'T':
    case '@':
        return {QStringLiteral("timestamp without time zone"), {}, {}, {}, QStringLiteral("timestamp")};
    case 'L':
        return {QStringLiteral("boolean"), {}, {}, {}, QStringLiteral("boolean")};
    case 'M':
        return f.binary ? bytes : ExpectedType{QStringLiteral("text"), {}, {}, {}, QStringLiteral("text")};
    default:
        return bytes;
    }
}

bool notDeletedFilter(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(!|\.not\.|not\s)\s*deleted\(\)$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    return filter.trimmed().isEmpty() || pattern.match(filter.trimmed()).hasMatch();
}

// The column a primary tag keys, when its expression is a field's name alone.
int primaryKeyField(const TableModel &t)
{
    for (const IndexModel &index : t.indexes) {
        if (index.kind != TagKind::Primary || !notDeletedFilter(index.filter))
            continue;
        for (int i = 0; i < t.fields.size(); ++i) {
            const FieldModel &f = t.fields.at(i);
            if (f.type != '0'
                && (f.name.compare(index.expression.trimmed(), Qt::CaseInsensitive) == 0
                    || (!f.shortName.isEmpty() && f.shortName.compare(index.expression.trimmed(), Qt::CaseInsensitive) == 0)))
                return i;
        }
    }
    return -1;
}

// A name either database keeps as it is: no NUL, not empty, within
// PostgreSQL's 63 bytes, no PostgreSQL system column, SQLite's prefix not
// on a table, and no earlier name equal but for case.
bool keptAsIs(const QString &name, const QStringList &earlier, bool isTable)
{
    static const QStringList system{QStringLiteral("tableoid"), QStringLiteral("cmax"), QStringLiteral("xmax"),
                                    QStringLiteral("cmin"), QStringLiteral("xmin"), QStringLiteral("ctid")};
    if (name.isEmpty() || name.contains(QChar(0)) || name.toUtf8().size() > 63)
        return false;
    if (!isTable && system.contains(name))
        return false;
    if (isTable && name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
        return false;
    return std::none_of(earlier.cbegin(), earlier.cend(),
                        [&](const QString &other) { return other.compare(name, Qt::CaseInsensitive) == 0; });
}

QList<const FieldModel *> columnsOf(const TableModel &t)
{
    QList<const FieldModel *> columns;
    for (const FieldModel &f : t.fields) {
        if (f.type != '0')
            columns << &f;
    }
    return columns;
}

bool emptyIsNull(const FieldModel &f, quint8 version)
{
    return (f.type == 'D' || f.type == 'T' || f.type == '@') && !oddWidth(f, version);
}

bool expectNotNull(const TableModel &t, const FieldModel &f)
{
    const int key = primaryKeyField(t);
    const bool numbersItself = (f.type == '+' || (f.autoIncrement && f.type == 'I')) && !oddWidth(f, t.version);
    return numbersItself || (key >= 0 && &t.fields.at(key) == &f) || (!f.nullable && !emptyIsNull(f, t.version));
}

QString withoutNul(QString text)
{
    return text.remove(QChar(0));
}

const QByteArray postgresColumns = R"(
SELECT c.table_name, c.column_name, c.data_type, coalesce(c.character_maximum_length::text, ''),
       coalesce(c.numeric_precision::text, ''), coalesce(c.numeric_scale::text, ''), c.is_nullable,
       coalesce(c.column_default, ''), c.is_identity, coalesce(c.identity_start, ''),
       coalesce(c.identity_increment, ''), coalesce(col_description(k.oid, c.ordinal_position::int), '')
FROM information_schema.columns c
JOIN pg_class k ON k.relname = c.table_name
JOIN pg_namespace n ON n.oid = k.relnamespace AND n.nspname = c.table_schema
WHERE c.table_schema = 'public'
ORDER BY k.oid, c.ordinal_position;
)";

const QByteArray postgresTables = R"(
SELECT k.relname, coalesce(obj_description(k.oid, 'pg_class'), '')
FROM pg_class k JOIN pg_namespace n ON n.oid = k.relnamespace
WHERE n.nspname = 'public' AND k.relkind = 'r'
ORDER BY k.oid;
)";

const QByteArray postgresKeys = R"(
SELECT t.table_name, t.constraint_type, u.column_name
FROM information_schema.table_constraints t
JOIN information_schema.key_column_usage u
  ON u.constraint_schema = t.constraint_schema AND u.constraint_name = t.constraint_name
 AND u.table_name = t.table_name
WHERE t.table_schema = 'public' AND t.constraint_type IN ('PRIMARY KEY', 'UNIQUE')
ORDER BY t.table_name COLLATE "C", t.constraint_type, u.column_name COLLATE "C";
)";

const QByteArray postgresForeignKeys = R"(
SELECT conrelid::regclass::text, pg_get_constraintdef(oid)
FROM pg_constraint WHERE contype = 'f' ORDER BY conrelid::regclass::text COLLATE "C", pg_get_constraintdef(oid) COLLATE "C";
)";

const QByteArray postgresIndexes = R"(
SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = 'public' ORDER BY indexname COLLATE "C";
)";

QString sqliteColumns(const QString &tableName)
{
    QString quoted = tableName;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QStringLiteral("SELECT name, type, \"notnull\", coalesce(dflt_value, ''), pk FROM pragma_table_info('%1');")
        .arg(quoted);
}

const QString sqliteTables = QStringLiteral(
    "SELECT name FROM sqlite_schema WHERE type = 'table' AND name <> 'sqlite_sequence' ORDER BY rowid;");

} // namespace

class SqlSchemaTest : public QObject {
    Q_OBJECT

private slots:
    void containerSchema();
    void columnTypes_data();
    void columnTypes();
    void defaults_data();
    void defaults();
    void namesSqlCannotTake();
    void tagsOfOneNameStayDistinct();
    void primaryKeyColumnsTakeNoNull();
    void relationsThatAreNoForeignKeys();
    void commentsCannotBeLeft();
    void aSourceChangedBetweenItsReadingsIsRefused_data();
    void aSourceChangedBetweenItsReadingsIsRefused();
    void keysOfManyTablesComeInTheirTablesOrder();

    void shopOnPostgres();
    void shopOnSqlite();
    void typesAndDefaultsOnPostgres();
    void typesAndDefaultsOnSqlite();
    void floatInExponentOnPostgres();
    void floatInExponentOnSqlite();
    void namesAndRelationsOnPostgres();
    void namesAndRelationsOnSqlite();
    void impliedRelationsOfferedOnPostgres();
    void impliedRelationsOfferedOnSqlite();
    void fixturesOnPostgres_data();
    void fixturesOnPostgres();
    void fixturesOnSqlite_data();
    void fixturesOnSqlite();

    void cleanupTestCase();

private:
    PostgresServer *postgres();
    QString freshDatabase();
    QString sqliteFolder();
    void fixtureRows();
    void compareWithPostgres(const SourceModel &model, const QString &database);
    void compareWithSqlite(const SourceModel &model, const SqliteDatabase &database);

    std::unique_ptr<PostgresServer> m_postgres;
    QString m_postgresProblem;
    bool m_postgresTried = false;
    int m_databases = 0;
    std::unique_ptr<QTemporaryDir> m_sqliteFolder;
};

PostgresServer *SqlSchemaTest::postgres()
{
    if (!m_postgresTried) {
        m_postgresTried = true;
        m_postgres = std::make_unique<PostgresServer>();
        m_postgresProblem = m_postgres->start();
        if (!m_postgresProblem.isEmpty())
            m_postgres.reset();
    }
    return m_postgres.get();
}

QString SqlSchemaTest::freshDatabase()
{
    const QString name = QStringLiteral("schema%1").arg(++m_databases);
    const Outcome made = m_postgres->createDatabase(name);
    return made.ok ? name : QString();
}

QString SqlSchemaTest::sqliteFolder()
{
    if (!m_sqliteFolder)
        m_sqliteFolder = std::make_unique<QTemporaryDir>();
    return m_sqliteFolder->path();
}

void SqlSchemaTest::cleanupTestCase()
{
    if (m_postgres)
        m_postgres->stop();
    m_postgres.reset();
}

#define NEED_POSTGRES()                                                                                      \
    do {                                                                                                     \
        if (!postgres())                                                                                     \
            QSKIP(qPrintable(QStringLiteral("No PostgreSQL server can be had here: ") + m_postgresProblem)); \
    } while (false)

#define NEED_SQLITE()                                                                                        \
    do {                                                                                                     \
        if (SqliteDatabase::program().isEmpty())                                                             \
            QSKIP("No sqlite3 command-line tool here");                                                      \
    } while (false)

void SqlSchemaTest::containerSchema()
{
    QCOMPARE(postgresSchema(shop()), golden(QStringLiteral("shop-postgres.sql")));
    QCOMPARE(sqliteSchema(shop()), golden(QStringLiteral("shop-sqlite.sql")));
    QCOMPARE(writeDictionary(DictionaryFormat::Postgres, shop()), postgresSchema(shop()));
    QCOMPARE(writeDictionary(DictionaryFormat::Sqlite, shop()), sqliteSchema(shop()));
}

namespace {

// One field "f" in a table "t": what each database's CREATE TABLE holds, and
// what its catalog then says (PostgreSQL: data_type, length, precision, scale,
// nullable; SQLite: the type table_info shows and notnull).
struct TypeCase {
    const char *name;
    quint8 version;
    FieldModel f;
    QString postgres;
    QString sqlite;
    QString postgresCatalog;
    QString sqliteCatalog;
};

QList<TypeCase> typeCases()
{
    QList<TypeCase> cases;
    const quint8 vfp = 0x30;
    cases.append({"C", vfp,
                  field(QStringLiteral("f"), 'C', 10),
                  R"(  "f" varchar(10) NOT NULL)",
                  R"(  "f" varchar(10) NOT NULL)",
                  "f | character varying | 10 |  |  | NO",
                  "f | varchar(10) | 1"});
    cases.append({"C nullable", vfp,
                  nullable(field(QStringLiteral("f"), 'C', 254)),
                  R"(  "f" varchar(254))",
                  R"(  "f" varchar(254))",
                  "f | character varying | 254 |  |  | YES",
                  "f | varchar(254) | 0"});
    cases.append({"C binary", vfp,
                  binary(field(QStringLiteral("f"), 'C', 10)),
                  R"(  "f" bytea NOT NULL CHECK (octet_length("f") <= 10))",
                  R"(  "f" blob NOT NULL CHECK (length("f") <= 10))",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"C of width 0", vfp,
                  field(QStringLiteral("f"), 'C', 0),
                  "  -- FoxPro width 0 is no varchar length\n  \"f\" text NOT NULL",
                  "  -- FoxPro width 0 is no varchar length\n  \"f\" text NOT NULL",
                  "f | text |  |  |  | NO",
                  "f | TEXT | 1"});
    cases.append({"N all decimals", vfp,
                  field(QStringLiteral("f"), 'N', 5, 5),
                  R"(  "f" numeric(10,5) NOT NULL)",
                  R"(  "f" numeric(10,5) NOT NULL)",
                  "f | numeric |  | 10 | 5 | NO",
                  "f | numeric(10,5) | 1"});
    cases.append({"N", vfp,
                  field(QStringLiteral("f"), 'N', 8, 2),
                  R"(  "f" numeric(10,2) NOT NULL)",
                  R"(  "f" numeric(10,2) NOT NULL)",
                  "f | numeric |  | 10 | 2 | NO",
                  "f | numeric(10,2) | 1"});
    cases.append({"N without decimals", vfp,
                  nullable(field(QStringLiteral("f"), 'N', 20)),
                  R"(  "f" numeric(20,0))",
                  R"(  "f" numeric(20,0))",
                  "f | numeric |  | 20 | 0 | YES",
                  "f | numeric(20,0) | 0"});
    cases.append({"N decimals beyond width", vfp,
                  field(QStringLiteral("f"), 'N', 3, 5),
                  "  -- FoxPro width 3 with 5 decimals is no numeric precision\n  \"f\" numeric NOT NULL",
                  "  -- FoxPro width 3 with 5 decimals is no numeric precision\n  \"f\" numeric NOT NULL",
                  "f | numeric |  |  |  | NO",
                  "f | numeric | 1"});
    cases.append({"F", vfp,
                  field(QStringLiteral("f"), 'F', 10, 4),
                  R"(  "f" numeric NOT NULL)",
                  R"(  "f" numeric NOT NULL)",
                  "f | numeric |  |  |  | NO",
                  "f | numeric | 1"});
    cases.append({"Y", vfp,
                  field(QStringLiteral("f"), 'Y', 8, 4),
                  R"(  "f" numeric(19,4) NOT NULL)",
                  R"(  "f" numeric(19,4) NOT NULL)",
                  "f | numeric |  | 19 | 4 | NO",
                  "f | numeric(19,4) | 1"});
    cases.append({"I", vfp,
                  field(QStringLiteral("f"), 'I', 4),
                  R"(  "f" integer NOT NULL)",
                  R"(  "f" integer NOT NULL)",
                  "f | integer |  | 32 | 0 | NO",
                  "f | INTEGER | 1"});
    cases.append({"B in Visual FoxPro", vfp,
                  field(QStringLiteral("f"), 'B', 8, 3),
                  R"(  "f" double precision NOT NULL)",
                  R"(  "f" double precision NOT NULL)",
                  "f | double precision |  | 53 |  | NO",
                  "f | double precision | 1"});
    cases.append({"B in dBase", quint8(0x8B),
                  field(QStringLiteral("f"), 'B', 10),
                  R"(  "f" bytea NOT NULL)",
                  R"(  "f" blob NOT NULL)",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"D", vfp,
                  field(QStringLiteral("f"), 'D', 8),
                  R"(  "f" date)",
                  R"(  "f" date)",
                  "f | date |  |  |  | YES",
                  "f | date | 0"});
    cases.append({"T", vfp,
                  field(QStringLiteral("f"), 'T', 8),
                  R"(  "f" timestamp)",
                  R"(  "f" timestamp)",
                  "f | timestamp without time zone |  |  |  | YES",
                  "f | timestamp | 0"});
    cases.append({"L", vfp,
                  field(QStringLiteral("f"), 'L', 1),
                  R"(  "f" boolean NOT NULL)",
                  R"(  "f" boolean NOT NULL)",
                  "f | boolean |  |  |  | NO",
                  "f | boolean | 1"});
    cases.append({"M", vfp,
                  field(QStringLiteral("f"), 'M', 4),
                  R"(  "f" text NOT NULL)",
                  R"(  "f" text NOT NULL)",
                  "f | text |  |  |  | NO",
                  "f | TEXT | 1"});
    cases.append({"M binary", vfp,
                  nullable(binary(field(QStringLiteral("f"), 'M', 4))),
                  R"(  "f" bytea)",
                  R"(  "f" blob)",
                  "f | bytea |  |  |  | YES",
                  "f | BLOB | 0"});
    cases.append({"M in dBase", quint8(0x83),
                  field(QStringLiteral("f"), 'M', 10),
                  R"(  "f" text NOT NULL)",
                  R"(  "f" text NOT NULL)",
                  "f | text |  |  |  | NO",
                  "f | TEXT | 1"});
    cases.append({"G", vfp,
                  field(QStringLiteral("f"), 'G', 4),
                  R"(  "f" bytea NOT NULL)",
                  R"(  "f" blob NOT NULL)",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"P", quint8(0xF5),
                  field(QStringLiteral("f"), 'P', 10),
                  R"(  "f" bytea NOT NULL)",
                  R"(  "f" blob NOT NULL)",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"W", quint8(0x32),
                  field(QStringLiteral("f"), 'W', 4),
                  R"(  "f" bytea NOT NULL)",
                  R"(  "f" blob NOT NULL)",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"V", quint8(0x32),
                  nullable(field(QStringLiteral("f"), 'V', 20)),
                  R"(  "f" varchar(20))",
                  R"(  "f" varchar(20))",
                  "f | character varying | 20 |  |  | YES",
                  "f | varchar(20) | 0"});
    cases.append({"V binary", quint8(0x32),
                  binary(field(QStringLiteral("f"), 'V', 20)),
                  R"(  "f" bytea NOT NULL CHECK (octet_length("f") <= 20))",
                  R"(  "f" blob NOT NULL CHECK (length("f") <= 20))",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"V outside Visual FoxPro", quint8(0x03),
                  field(QStringLiteral("f"), 'V', 10),
                  "  -- a Clipper variant outside Visual FoxPro: kept as bytes\n  \"f\" bytea NOT NULL",
                  "  -- a Clipper variant outside Visual FoxPro: kept as bytes\n  \"f\" blob NOT NULL",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"Q", quint8(0x32),
                  field(QStringLiteral("f"), 'Q', 12),
                  R"(  "f" bytea NOT NULL CHECK (octet_length("f") <= 12))",
                  R"(  "f" blob NOT NULL CHECK (length("f") <= 12))",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    cases.append({"@", quint8(0x04),
                  nullable(field(QStringLiteral("f"), '@', 8)),
                  R"(  "f" timestamp)",
                  R"(  "f" timestamp)",
                  "f | timestamp without time zone |  |  |  | YES",
                  "f | timestamp | 0"});
    cases.append({"O", quint8(0x04),
                  field(QStringLiteral("f"), 'O', 8),
                  R"(  "f" double precision NOT NULL)",
                  R"(  "f" double precision NOT NULL)",
                  "f | double precision |  | 53 |  | NO",
                  "f | double precision | 1"});
    cases.append({"+", quint8(0x04),
                  nullable(field(QStringLiteral("f"), '+', 4)),
                  R"(  "f" integer NOT NULL GENERATED BY DEFAULT AS IDENTITY (SEQUENCE NAME "t_f_seq"))",
                  "  -- FoxPro autoincrement: SQLite numbers only its INTEGER PRIMARY KEY\n  \"f\" integer NOT NULL",
                  "f | integer |  | 32 | 0 | NO",
                  "f | INTEGER | 1"});
    FieldModel counter = field(QStringLiteral("f"), 'I', 4);
    counter.autoIncrement = true;
    counter.nextValue = 0;
    counter.step = 5;
    cases.append({"I autoincrement from 0", quint8(0x31),
                  counter,
                  R"(  "f" integer NOT NULL GENERATED BY DEFAULT AS IDENTITY (SEQUENCE NAME "t_f_seq" START WITH 0 MINVALUE 0 INCREMENT BY 5))",
                  "  -- FoxPro autoincrement (next value 0, step 5): SQLite numbers only its INTEGER PRIMARY KEY\n  \"f\" integer NOT NULL",
                  "f | integer |  | 32 | 0 | NO",
                  "f | INTEGER | 1"});
    FieldModel huge = counter;
    huge.nextValue = 3000000000;
    huge.step = 0;
    cases.append({"I autoincrement beyond integers", quint8(0x31),
                  huge,
                  "  -- FoxPro next value 3000000000 left out: it does not fit an integer\n"
                                                        "  -- FoxPro step 0 left out: a sequence needs a step\n"
                                                        R"(  "f" integer NOT NULL GENERATED BY DEFAULT AS IDENTITY (SEQUENCE NAME "t_f_seq"))",
                  "  -- FoxPro autoincrement (next value 3000000000, step 0): SQLite numbers only its INTEGER PRIMARY KEY\n  \"f\" integer NOT NULL",
                  "f | integer |  | 32 | 0 | NO",
                  "f | INTEGER | 1"});
    FieldModel unknown = field(QStringLiteral("f"), 'X', 7);
    unknown.typeName = QStringLiteral("Unknown (X)");
    cases.append({"unknown letter", vfp,
                  unknown,
                  "  -- FoxPro type 'X' (Unknown (X)) has no SQL type: kept as bytes\n  \"f\" bytea NOT NULL",
                  "  -- FoxPro type 'X' (Unknown (X)) has no SQL type: kept as bytes\n  \"f\" blob NOT NULL",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    FieldModel control = field(QStringLiteral("f"), '\x01', 7);
    control.typeName = QStringLiteral("Unknown (0x01)");
    cases.append({"byte that is no letter", vfp,
                  control,
                  "  -- FoxPro type 0x01 (Unknown (0x01)) has no SQL type: kept as bytes\n  \"f\" bytea NOT NULL",
                  "  -- FoxPro type 0x01 (Unknown (0x01)) has no SQL type: kept as bytes\n  \"f\" blob NOT NULL",
                  "f | bytea |  |  |  | NO",
                  "f | BLOB | 1"});
    return cases;
}

} // namespace

void SqlSchemaTest::columnTypes_data()
{
    QTest::addColumn<quint8>("version");
    QTest::addColumn<FieldModel>("f");
    QTest::addColumn<QString>("postgres");
    QTest::addColumn<QString>("sqlite");
    for (const TypeCase &c : typeCases())
        QTest::newRow(c.name) << c.version << c.f << c.postgres << c.sqlite;
}

void SqlSchemaTest::columnTypes()
{
    QFETCH(quint8, version);
    QFETCH(FieldModel, f);
    QFETCH(QString, postgres);
    QFETCH(QString, sqlite);
    const SourceModel source = folder({table(QStringLiteral("t"), version, {f})});
    QCOMPARE(tableBody(QString::fromUtf8(postgresSchema(source))), postgres);
    QCOMPARE(tableBody(QString::fromUtf8(sqliteSchema(source))), sqlite);
}

namespace {

// A default on a field: the column each database gets, and the value a row
// inserted with defaults only then holds (empty when no DEFAULT is written).
struct DefaultCase {
    const char *name;
    FieldModel f;
    QString postgres;
    QString sqlite;
    QString postgresValue;
    QString sqliteValue;
};

QList<DefaultCase> defaultCases()
{
    QList<DefaultCase> cases;
    const auto with = [](char type, int width, int decimals, const char *expression) {
        return withDefault(field(QStringLiteral("f"), type, width, decimals), QString::fromUtf8(expression));
    };
    const auto both = [](const QString &line) { return std::make_pair(line, line); };
    const auto row = [&](const char *name, const FieldModel &f, const std::pair<QString, QString> &lines,
                         const char *postgresValue, const char *sqliteValue) {
        cases.append({name, f, lines.first, lines.second, QString::fromUtf8(postgresValue),
                      QString::fromUtf8(sqliteValue)});
    };

    row("number", with('N', 5, 2, "12.5"), both(R"(  "f" numeric(7,2) NOT NULL DEFAULT 12.5)"), "12.50", "12.5");
    row("number filling the width", with('N', 5, 2, " 123.45 "),
        both(R"(  "f" numeric(7,2) NOT NULL DEFAULT 123.45)"), "123.45", "123.45");
    row("negative number", with('N', 5, 2, "-0.50"), both(R"(  "f" numeric(7,2) NOT NULL DEFAULT -0.50)"), "-0.50",
        "-0.5");
    row("number without integer digits", with('N', 4, 2, ".25"), both(R"(  "f" numeric(6,2) NOT NULL DEFAULT .25)"),
        "0.25", "0.25");
    // Five whole digits fit (FoxPro gives up the decimals), six do not.
    row("number too large", with('N', 5, 2, "123456"),
        both("  -- FoxPro default 123456 left out: it does not fit numeric(7,2)\n  \"f\" numeric(7,2) NOT NULL"), "", "");
    row("number too precise", with('N', 5, 2, "1.234"),
        both("  -- FoxPro default 1.234 left out: it does not fit numeric(7,2)\n  \"f\" numeric(7,2) NOT NULL"), "", "");
    row("currency", with('Y', 8, 4, "$3.5"), both(R"(  "f" numeric(19,4) NOT NULL DEFAULT 3.5)"), "3.5000", "3.5");
    row("integer", with('I', 4, 0, "-42"), both(R"(  "f" integer NOT NULL DEFAULT -42)"), "-42", "-42");
    row("integer too large", with('I', 4, 0, "3000000000"),
        both("  -- FoxPro default 3000000000 left out: it does not fit an integer\n  \"f\" integer NOT NULL"), "", "");
    row("fraction on an integer", with('I', 4, 0, "1.5"),
        both("  -- FoxPro default 1.5 left out: it does not suit integer\n  \"f\" integer NOT NULL"), "", "");
    row("double", with('B', 8, 2, "+2.5"), both(R"(  "f" double precision NOT NULL DEFAULT +2.5)"), "2.5", "2.5");
    row("double-quoted string", with('C', 5, 0, "\"abc\""), both(R"(  "f" varchar(5) NOT NULL DEFAULT 'abc')"), "abc",
        "abc");
    row("string as long as the column", with('C', 3, 0, "'abc'"), both(R"(  "f" varchar(3) NOT NULL DEFAULT 'abc')"),
        "abc", "abc");
    row("bracketed string with a quote", with('C', 5, 0, "[it's]"),
        both(R"(  "f" varchar(5) NOT NULL DEFAULT 'it''s')"), "it's", "it's");
    row("single-quoted string with a backslash", with('C', 5, 0, R"('a\b')"),
        both(R"(  "f" varchar(5) NOT NULL DEFAULT 'a\b')"), R"(a\b)", R"(a\b)");
    row("string with a NUL", withDefault(field(QStringLiteral("f"), 'C', 5), QStringLiteral("\"a") + QChar(0) + QStringLiteral("b\"")),
        both(R"(  "f" varchar(5) NOT NULL DEFAULT 'ab')"), "ab", "ab");
    row("string too long", with('C', 5, 0, "\"toolong\""),
        both("  -- FoxPro default \"toolong\" left out: it is longer than varchar(5)\n  \"f\" varchar(5) NOT NULL"), "",
        "");
    row("expression of strings", with('C', 5, 0, "\"a\" + \"b\""),
        both("  -- FoxPro default, not translated: \"a\" + \"b\"\n  \"f\" varchar(5) NOT NULL"), "", "");
    row("number on a character field", with('C', 5, 0, "12"),
        both("  -- FoxPro default 12 left out: it does not suit varchar(5)\n  \"f\" varchar(5) NOT NULL"), "", "");
    row("string on a memo", with('M', 4, 0, "\"memo\""), both(R"(  "f" text NOT NULL DEFAULT 'memo')"), "memo", "memo");
    row("string on a binary field", binary(with('C', 5, 0, "\"ab\"")),
        std::make_pair(QStringLiteral("  -- FoxPro default \"ab\" left out: it does not suit bytea\n"
                                      "  \"f\" bytea NOT NULL CHECK (octet_length(\"f\") <= 5)"),
                       QStringLiteral("  -- FoxPro default \"ab\" left out: it does not suit blob\n"
                                      "  \"f\" blob NOT NULL CHECK (length(\"f\") <= 5)")),
        "", "");
    row("false", with('L', 1, 0, ".F."),
        std::make_pair(QStringLiteral(R"(  "f" boolean NOT NULL DEFAULT false)"),
                       QStringLiteral(R"(  "f" boolean NOT NULL DEFAULT 0)")),
        "false", "0");
    row("yes", with('L', 1, 0, ".y."),
        std::make_pair(QStringLiteral(R"(  "f" boolean NOT NULL DEFAULT true)"),
                       QStringLiteral(R"(  "f" boolean NOT NULL DEFAULT 1)")),
        "true", "1");
    row("string on a logical", with('L', 1, 0, "\"T\""),
        both("  -- FoxPro default \"T\" left out: it does not suit boolean\n  \"f\" boolean NOT NULL"), "", "");
    row("date", with('D', 8, 0, "{^2024-02-29}"), both(R"(  "f" date DEFAULT '2024-02-29')"), "2024-02-29",
        "2024-02-29");
    row("date with slashes", with('D', 8, 0, "{^1997/1/2}"), both(R"(  "f" date DEFAULT '1997-01-02')"),
        "1997-01-02", "1997-01-02");
    row("no such date", with('D', 8, 0, "{^2023-02-29}"),
        both("  -- FoxPro default, not translated: {^2023-02-29}\n  \"f\" date"), "", "");
    row("empty date", with('D', 8, 0, "{}"),
        both("  -- FoxPro default {} left out: an empty date becomes NULL\n  \"f\" date"), "", "");
    row("empty date with slashes", with('D', 8, 0, "{ / / }"),
        both("  -- FoxPro default { / / } left out: an empty date becomes NULL\n  \"f\" date"), "", "");
    row("date of a function", with('D', 8, 0, "DATE()"),
        both("  -- FoxPro default, not translated: DATE()\n  \"f\" date"), "", "");
    row("datetime on a date", with('D', 8, 0, "{^2024-01-02 10:00}"),
        both("  -- FoxPro default {^2024-01-02 10:00} left out: it does not suit date\n  \"f\" date"), "", "");
    row("datetime", with('T', 8, 0, "{^2024-01-02 1:30:05 PM}"),
        both(R"(  "f" timestamp DEFAULT '2024-01-02 13:30:05')"), "2024-01-02 13:30:05", "2024-01-02 13:30:05");
    row("datetime at midnight", with('T', 8, 0, "{^2024-01-02 12:00 am}"),
        both(R"(  "f" timestamp DEFAULT '2024-01-02 00:00:00')"), "2024-01-02 00:00:00", "2024-01-02 00:00:00");
    row("date on a datetime", with('T', 8, 0, "{^2024-01-02}"),
        both(R"(  "f" timestamp DEFAULT '2024-01-02 00:00:00')"), "2024-01-02 00:00:00", "2024-01-02 00:00:00");
    row("empty datetime", with('T', 8, 0, "{:}"),
        both("  -- FoxPro default {:} left out: an empty date becomes NULL\n  \"f\" timestamp"), "", "");
    row("null on a nullable field", nullable(with('C', 5, 0, ".NULL.")), both(R"(  "f" varchar(5) DEFAULT NULL)"),
        "(null)", "(null)");
    row("null on a field without nulls", with('C', 5, 0, ".null."),
        both("  -- FoxPro default .null. left out: the column takes no NULL\n  \"f\" varchar(5) NOT NULL"), "", "");
    FieldModel counter = with('I', 4, 0, "1");
    counter.autoIncrement = true;
    counter.nextValue = 7;
    counter.step = 1;
    row("autoincrement", counter,
        std::make_pair(QStringLiteral("  -- FoxPro default 1 left out: the column numbers itself\n"
                                      R"(  "f" integer NOT NULL GENERATED BY DEFAULT AS IDENTITY (SEQUENCE NAME "t_f_seq" START WITH 7 INCREMENT BY 1))"),
                       QStringLiteral("  -- FoxPro autoincrement (next value 7, step 1): SQLite numbers only its INTEGER PRIMARY KEY\n"
                                      R"(  "f" integer NOT NULL DEFAULT 1)")),
        "7", "1");
    return cases;
}

} // namespace

void SqlSchemaTest::defaults_data()
{
    QTest::addColumn<FieldModel>("f");
    QTest::addColumn<QString>("postgres");
    QTest::addColumn<QString>("sqlite");
    for (const DefaultCase &c : defaultCases())
        QTest::newRow(c.name) << c.f << c.postgres << c.sqlite;
}

void SqlSchemaTest::defaults()
{
    QFETCH(FieldModel, f);
    QFETCH(QString, postgres);
    QFETCH(QString, sqlite);
    const SourceModel source = folder({table(QStringLiteral("t"), 0x30, {f})});
    QCOMPARE(tableBody(QString::fromUtf8(postgresSchema(source))), postgres);
    QCOMPARE(tableBody(QString::fromUtf8(sqliteSchema(source))), sqlite);
}

void SqlSchemaTest::namesSqlCannotTake()
{
    const QHash<QString, QString> values{
        {QStringLiteral("REPLACEMENT"), replacement},
        {QStringLiteral("A70"), QString(70, QLatin1Char('a'))},
        {QStringLiteral("A63"), QString(63, QLatin1Char('a'))},
        {QStringLiteral("A69B"), QString(69, QLatin1Char('a')) + QLatin1Char('b')},
        {QStringLiteral("A61"), QString(61, QLatin1Char('a'))},
        {QStringLiteral("E40"), QString(40, QChar(0x00E9))},
        {QStringLiteral("E31"), QString(31, QChar(0x00E9))},
    };
    QCOMPARE(postgresSchema(names()), golden(QStringLiteral("names-postgres.sql"), values));
    QCOMPARE(sqliteSchema(names()), golden(QStringLiteral("names-sqlite.sql"), values));
}

// Tags of one name, and one whose name is what a number would make of it:
// each index gets a name of its own, the numbers counting on past taken ones.
void SqlSchemaTest::tagsOfOneNameStayDistinct()
{
    TableModel t = table(QStringLiteral("t"), 0x30, {field(QStringLiteral("a"), 'C', 5)});
    for (const char *name : {"X", "X_2", "X", "x", "X_3"})
        t.indexes.append(tag(QLatin1String(name), QStringLiteral("a")));
    t.indexesKnown = true;
    const QRegularExpression indexLines(QStringLiteral("^CREATE INDEX"));
    QCOMPARE(matchingLines(QString::fromUtf8(postgresSchema(folder({t}))), indexLines), QStringList({
        R"(CREATE INDEX "t_X" ON "t" ("a");)",
        R"(CREATE INDEX "t_X_2" ON "t" ("a");)",
        R"(CREATE INDEX "t_X_3" ON "t" ("a");)",
        R"(CREATE INDEX "t_x_4" ON "t" ("a");)",
        R"(CREATE INDEX "t_X_3_2" ON "t" ("a");)",
    }));
}

// A nullable field that FoxPro's primary key covers is NOT NULL, as SQL keys are.
void SqlSchemaTest::primaryKeyColumnsTakeNoNull()
{
    TableModel t = table(QStringLiteral("t"), 0x30, {nullable(field(QStringLiteral("id"), 'C', 5))});
    t.primaryKey = QStringLiteral("ID");
    t.indexes = {tag(QStringLiteral("ID"), QStringLiteral("id"), TagKind::Primary)};
    t.indexesKnown = true;
    const QString postgres = QString::fromUtf8(postgresSchema(folder({t})));
    QCOMPARE(tableBody(postgres), QStringLiteral("  \"id\" varchar(5) NOT NULL"));
    QVERIFY(postgres.contains(QStringLiteral("\nALTER TABLE \"t\" ADD CONSTRAINT \"t_pkey\" PRIMARY KEY (\"id\");\n")));
    QCOMPARE(tableBody(QString::fromUtf8(sqliteSchema(folder({t})))),
             QStringLiteral("  \"id\" varchar(5) NOT NULL,\n  PRIMARY KEY (\"id\")"));

    // Made after the data as a unique index, SQLite's key takes the column
    // as FoxPro made it, NULL and all.
    SqlOptions after;
    after.sqlitePrimaryKeysAfterData = true;
    const SqlSchema sqlite = sqlSchema(DictionaryFormat::Sqlite, folder({t}), after);
    QCOMPARE(tableBody(QString::fromUtf8(sqlite.script)), QStringLiteral("  \"id\" varchar(5)"));
    QCOMPARE(sqlite.postData.size(), qsizetype(1));
    QCOMPARE(sqlite.postData[0].sql, QStringLiteral("CREATE UNIQUE INDEX \"t_pkey\" ON \"t\" (\"id\")"));
}

void SqlSchemaTest::relationsThatAreNoForeignKeys()
{
    const QRegularExpression keyLines(QStringLiteral("FOREIGN KEY|FoxPro relation"));
    QCOMPARE(matchingLines(QString::fromUtf8(postgresSchema(relations())), keyLines), QStringList({
        R"(-- FoxPro relation from "C" tag "pid" to "P" tag "id"; referential integrity: update ignore, delete cascade)",
        R"(ALTER TABLE "c" ADD FOREIGN KEY ("pid") REFERENCES "p" ("id") ON DELETE CASCADE;)",
        R"(-- FoxPro relation from "c" tag "PCODE" to "p" tag "CODE": not translated, the parent tag is no key on a plain field)",
        R"(-- FoxPro relation from "c" tag "PKIND" to "p" tag "KIND": not translated, the parent tag is no key on a plain field)",
        R"(-- FoxPro relation from "c" tag "EXPR" to "p" tag "ID": not translated, the child tag is no plain field)",
        R"(-- FoxPro relation from "c" tag "PID" to "gone" tag "ID": not translated, a table is missing)",
        R"(-- FoxPro relation from "c" tag "NOPE" to "p" tag "ID": not translated, a tag is missing)",
        R"(-- FoxPro relation from "c" tag "PCODE" to "p" tag "ID": not translated, the fields' types differ)",
        R"(-- FoxPro relation from "gone" tag "X" to "p" tag "ID": not translated, a table is missing)",
    }));
    QCOMPARE(matchingLines(QString::fromUtf8(sqliteSchema(relations())), keyLines), QStringList({
        R"(-- FoxPro relation from "C" tag "pid" to "P" tag "id"; referential integrity: update ignore, delete cascade)",
        R"(FOREIGN KEY ("pid") REFERENCES "p" ("id") ON DELETE CASCADE)",
        R"(-- FoxPro relation from "c" tag "PCODE" to "p" tag "CODE": not translated, the parent tag is no key on a plain field)",
        R"(-- FoxPro relation from "c" tag "PKIND" to "p" tag "KIND": not translated, the parent tag is no key on a plain field)",
        R"(-- FoxPro relation from "c" tag "EXPR" to "p" tag "ID": not translated, the child tag is no plain field)",
        R"(-- FoxPro relation from "c" tag "PID" to "gone" tag "ID": not translated, a table is missing)",
        R"(-- FoxPro relation from "c" tag "NOPE" to "p" tag "ID": not translated, a tag is missing)",
        R"(-- FoxPro relation from "c" tag "PCODE" to "p" tag "ID": not translated, the fields' types differ)",
        R"(-- FoxPro relation from "gone" tag "X" to "p" tag "ID": not translated, a table is missing)",
    }));
}

// Text from the files in every place a comment holds it: each of its lines
// is a comment line of its own, without the controls it holds, so none of it
// is ever read as a statement.
void SqlSchemaTest::commentsCannotBeLeft()
{
    const SourceModel source = hostileText();
    // PostgreSQL's descriptions are string literals, which keep the text.
    static const QRegularExpression description(QStringLiteral("COMMENT ON [^\n]* IS '[^']*';\n"));
    for (const QByteArray &schema : {postgresSchema(source), sqliteSchema(source)}) {
        QString text = QString::fromUtf8(schema);
        QVERIFY(!text.contains(QChar(0)));
        text.remove(description);
        int commented = 0;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(QLatin1String("--"))) {
                for (const QChar c : line)
                    QVERIFY2(c >= QLatin1Char(' ') || c == QLatin1Char('\t'), qPrintable(line));
                if (line.contains(QLatin1String("DROP TABLE t;")))
                    ++commented;
            } else {
                QVERIFY2(!line.contains(QLatin1String("DROP TABLE t;")), qPrintable(line));
            }
        }
        // The path, the container's description, the finding, the table's
        // description in SQLite, the trigger, the field's description in
        // SQLite, its default and rule, the tag, the view and the relation.
        QVERIFY2(commented >= 11, qPrintable(QString::number(commented)));
    }
}

// The schema plans every table, then writes each: a table handed on that is
// not the one planned would get keys that are not its own.
void SqlSchemaTest::aSourceChangedBetweenItsReadingsIsRefused_data()
{
    const TableModel orders = [] {
        TableModel t = table(QStringLiteral("orders"), 0x30, {field(QStringLiteral("id"), 'I', 4)});
        t.indexes = {tag(QStringLiteral("ID"), QStringLiteral("id"), TagKind::Primary)};
        return t;
    }();
    TableModel ordersWithoutKey = orders;
    ordersWithoutKey.indexes[0].kind = TagKind::Regular;
    const TableModel lines = table(QStringLiteral("lines"), 0x30, {field(QStringLiteral("order"), 'I', 4)});
    const TableModel items = table(QStringLiteral("items"), 0x30, {field(QStringLiteral("order"), 'I', 4)});

    QTest::addColumn<QList<TableModel>>("planned");
    QTest::addColumn<QList<TableModel>>("written");
    QTest::addColumn<bool>("refused");
    QTest::newRow("the same tables") << QList{orders, lines} << QList{orders, lines} << false;
    QTest::newRow("another table") << QList{orders, lines} << QList{orders, items} << true;
    QTest::newRow("a key changed") << QList{orders, lines} << QList{ordersWithoutKey, lines} << true;
    QTest::newRow("a table fewer") << QList{orders, lines} << QList{orders} << true;
    QTest::newRow("a table more") << QList{orders} << QList{orders, lines} << true;
}

void SqlSchemaTest::aSourceChangedBetweenItsReadingsIsRefused()
{
    QFETCH(QList<TableModel>, planned);
    QFETCH(QList<TableModel>, written);
    QFETCH(bool, refused);
    SourceModel rest;
    rest.path = QStringLiteral("/data/shop.dbc");
    rest.relations = {relation(QStringLiteral("lines"), QStringLiteral("ORDER"), QStringLiteral("orders"),
                               QStringLiteral("ID"))};
    for (const DictionaryFormat format : {DictionaryFormat::Postgres, DictionaryFormat::Sqlite}) {
        QByteArray document;
        const std::unique_ptr<DocumentWriter> writer =
            documentWriter(format, [&](QByteArrayView bytes) { document += bytes; });
        QVERIFY(writer->plansFirst());
        for (const TableModel &t : planned)
            writer->plan(t);
        writer->planned(rest);
        bool thrown = false;
        try {
            writer->begin({rest, {}});
            for (const TableModel &t : written)
                writer->table(t);
            writer->end(rest);
        } catch (const Failure &failure) {
            thrown = true;
            QCOMPARE(failure.description(),
                     QStringLiteral("The schema cannot be written: the source changed while it was being read."));
        }
        QCOMPARE(thrown, refused);
        if (!refused)
            QVERIFY(document.endsWith("COMMIT;\n"));
    }
}

// The post-data section of thousands of tables is more than is held in
// memory: kept aside in a file, it comes back whole and in order.
void SqlSchemaTest::keysOfManyTablesComeInTheirTablesOrder()
{
    constexpr int tables = 3000;
    QList<TableModel> many;
    for (int i = 0; i < tables; ++i) {
        TableModel t = table(QStringLiteral("t%1").arg(i, 4, 10, QLatin1Char('0')), 0x30,
                             {field(QStringLiteral("id"), 'I', 4)});
        t.indexes = {tag(QStringLiteral("ID"), QStringLiteral("id"), TagKind::Candidate)};
        many.append(t);
    }
    QStringList keys;
    for (const QString &line : QString::fromUtf8(postgresSchema(folder(many))).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("ALTER TABLE")))
            keys.append(line);
    }
    QCOMPARE(keys.size(), tables);
    for (int i = 0; i < tables; ++i) {
        const QString name = QStringLiteral("t%1").arg(i, 4, 10, QLatin1Char('0'));
        QCOMPARE(keys.at(i),
                 QStringLiteral("ALTER TABLE \"%1\" ADD CONSTRAINT \"%1_id_key\" UNIQUE (\"id\");").arg(name));
    }
}

// --- On the servers ---------------------------------------------------------

void SqlSchemaTest::shopOnPostgres()
{
    NEED_POSTGRES();
    const QString database = freshDatabase();
    QVERIFY(!database.isEmpty());
    const Outcome applied = m_postgres->script(database, postgresSchema(shop()));
    QVERIFY2(applied.ok, qPrintable(applied.error));

    const Outcome tables = m_postgres->query(database, postgresTables);
    QVERIFY2(tables.ok, qPrintable(tables.error));
    QCOMPARE(rowsOf(tables.out), QStringList({
        "customer | Who buys.\nSee: */ -- not code\nDROP TABLE customer;",
        "order \"items\" | ",
    }));
    const Outcome columns = m_postgres->query(database, postgresColumns);
    QVERIFY2(columns.ok, qPrintable(columns.error));
    QCOMPARE(rowsOf(columns.out), QStringList({
        "customer | cust_id | character varying | 6 |  |  | NO |  | NO |  |  | Customer's id",
        "customer | company | character varying | 40 |  |  | NO | '(none)'::character varying | NO |  |  | ",
        "customer | email | character varying | 60 |  |  | YES |  | NO |  |  | Where to write\r\nto them",
        "customer | since | date |  |  |  | YES |  | NO |  |  | ",
        "customer | balance | numeric |  | 19 | 4 | NO | 0 | NO |  |  | ",
        "customer | active | boolean |  |  |  | NO | true | NO |  |  | ",
        "customer | notes | text |  |  |  | NO |  | NO |  |  | ",
        "customer | photo | bytea |  |  |  | NO |  | NO |  |  | ",
        "customer | last seen | timestamp without time zone |  |  |  | YES |  | NO |  |  | ",
        "order \"items\" | id | integer |  | 32 | 0 | NO |  | YES | 42 | 1 | ",
        "order \"items\" | cust_id | character varying | 6 |  |  | NO |  | NO |  |  | ",
        "order \"items\" | qty | numeric |  | 5 | 0 | NO | 1 | NO |  |  | ",
        "order \"items\" | price | numeric |  | 12 | 2 | NO | 9.99 | NO |  |  | ",
        "order \"items\" | weight | numeric |  |  |  | YES |  | NO |  |  | ",
        "order \"items\" | ratio | double precision |  | 53 |  | NO | 0.5 | NO |  |  | ",
        "order \"items\" | stamp | timestamp without time zone |  |  |  | YES |  | NO |  |  | ",
        "order \"items\" | code | bytea |  |  |  | NO |  | NO |  |  | ",
        "order \"items\" | raw | bytea |  |  |  | NO |  | NO |  |  | ",
        "order \"items\" | blob | bytea |  |  |  | NO |  | NO |  |  | ",
        "order \"items\" | pic | bytea |  |  |  | NO |  | NO |  |  | ",
    }));
    const Outcome keys = m_postgres->query(database, postgresKeys);
    QVERIFY2(keys.ok, qPrintable(keys.error));
    QCOMPARE(rowsOf(keys.out), QStringList({
        "customer | PRIMARY KEY | cust_id",
        "customer | UNIQUE | email",
        "order \"items\" | PRIMARY KEY | id",
    }));
    const Outcome foreign = m_postgres->query(database, postgresForeignKeys);
    QVERIFY2(foreign.ok, qPrintable(foreign.error));
    QCOMPARE(rowsOf(foreign.out), QStringList({
        "\"order \"\"items\"\"\" | FOREIGN KEY (cust_id) REFERENCES customer(cust_id) ON UPDATE CASCADE ON DELETE RESTRICT",
    }));
    const Outcome indexes = m_postgres->query(database, postgresIndexes);
    QVERIFY2(indexes.ok, qPrintable(indexes.error));
    QCOMPARE(rowsOf(indexes.out), QStringList({
        "customer_ACTIVE | CREATE INDEX \"customer_ACTIVE\" ON public.customer USING btree (active)",
        "customer_COMPANY | CREATE INDEX \"customer_COMPANY\" ON public.customer USING btree (upper((company)::text))",
        "customer_SINCE | CREATE INDEX \"customer_SINCE\" ON public.customer USING btree (since DESC)",
        "customer_email_key | CREATE UNIQUE INDEX customer_email_key ON public.customer USING btree (email)",
        "customer_pkey | CREATE UNIQUE INDEX customer_pkey ON public.customer USING btree (cust_id)",
        "order \"items\"_CUST_ID | CREATE INDEX \"order \"\"items\"\"_CUST_ID\" ON public.\"order \"\"items\"\"\" USING btree (cust_id)",
        "order \"items\"_pkey | CREATE UNIQUE INDEX \"order \"\"items\"\"_pkey\" ON public.\"order \"\"items\"\"\" USING btree (id)",
    }));

    // Rows take the defaults and the next number, and the keys and checks hold.
    const Outcome rows = m_postgres->query(database, R"(
INSERT INTO customer (cust_id, notes, photo) VALUES ('C1', '', '\x');
INSERT INTO "order ""items""" (cust_id, code, raw, blob, pic) VALUES ('C1', '\x0102', '\x03', '\x', '\x');
SELECT c.company, c.balance, c.active, i.id, i.qty, i.price, i.ratio
FROM customer c JOIN "order ""items""" i ON i.cust_id = c.cust_id;
)");
    QVERIFY2(rows.ok, qPrintable(rows.error));
    QCOMPARE(rowsOf(rows.out), QStringList({"(none) | 0.0000 | t | 42 | 1 | 9.99 | 0.5"}));
    const Outcome tooLong = m_postgres->script(database, R"(
INSERT INTO "order ""items""" (cust_id, code, raw, blob, pic) VALUES ('C1', '\x010203040506070809', '\x', '\x', '\x');
)");
    QVERIFY(!tooLong.ok);
    QVERIFY2(tooLong.error.contains(QLatin1String("check constraint")), qPrintable(tooLong.error));
    const Outcome orphan = m_postgres->script(database, R"(
INSERT INTO "order ""items""" (cust_id, code, raw, blob, pic) VALUES ('C2', '\x', '\x', '\x', '\x');
)");
    QVERIFY(!orphan.ok);
    QVERIFY2(orphan.error.contains(QLatin1String("foreign key")), qPrintable(orphan.error));
}

void SqlSchemaTest::shopOnSqlite()
{
    NEED_SQLITE();
    const SqliteDatabase database(sqliteFolder(), QStringLiteral("shop"));
    const Outcome applied = database.script(sqliteSchema(shop()));
    QVERIFY2(applied.ok, qPrintable(applied.error));

    const Outcome tables = database.query(sqliteTables);
    QVERIFY2(tables.ok, qPrintable(tables.error));
    QCOMPARE(rowsOf(tables.out), QStringList({"customer", "order \"items\""}));
    const Outcome customer = database.query(sqliteColumns(QStringLiteral("customer")));
    QVERIFY2(customer.ok, qPrintable(customer.error));
    QCOMPARE(rowsOf(customer.out), QStringList({
        "cust_id | varchar(6) | 1 |  | 1",
        "company | varchar(40) | 1 | '(none)' | 0",
        "email | varchar(60) | 0 |  | 0",
        "since | date | 0 |  | 0",
        "balance | numeric(19,4) | 1 | 0 | 0",
        "active | boolean | 1 | 1 | 0",
        "notes | TEXT | 1 |  | 0",
        "photo | BLOB | 1 |  | 0",
        "last seen | timestamp | 0 |  | 0",
    }));
    const Outcome items = database.query(sqliteColumns(QStringLiteral("order \"items\"")));
    QVERIFY2(items.ok, qPrintable(items.error));
    QCOMPARE(rowsOf(items.out), QStringList({
        "id | INTEGER | 1 |  | 1",
        "cust_id | varchar(6) | 1 |  | 0",
        "qty | numeric(5,0) | 1 | 1 | 0",
        "price | numeric(12,2) | 1 | 9.99 | 0",
        "weight | numeric | 0 |  | 0",
        "ratio | double precision | 1 | 0.5 | 0",
        "stamp | timestamp | 0 |  | 0",
        "code | BLOB | 1 |  | 0",
        "raw | BLOB | 1 |  | 0",
        "blob | BLOB | 1 |  | 0",
        "pic | BLOB | 1 |  | 0",
    }));
    const Outcome indexes = database.query(QStringLiteral(
        "SELECT l.name, l.\"unique\", l.origin, x.cid, coalesce(x.name, ''), x.\"desc\" "
        "FROM pragma_index_list('customer') l, pragma_index_xinfo(l.name) x WHERE x.key = 1 ORDER BY l.name;"));
    QVERIFY2(indexes.ok, qPrintable(indexes.error));
    QCOMPARE(rowsOf(indexes.out), QStringList({
        "customer_ACTIVE | 0 | c | 5 | active | 0",
        "customer_COMPANY | 0 | c | -2 |  | 0",
        "customer_SINCE | 0 | c | 3 | since | 1",
        "customer_email_key | 1 | c | 2 | email | 0",
        "sqlite_autoindex_customer_1 | 1 | pk | 0 | cust_id | 0",
    }));
    const Outcome foreign = database.query(QStringLiteral(
        "SELECT \"table\", \"from\", \"to\", on_update, on_delete FROM pragma_foreign_key_list('order \"items\"');"));
    QVERIFY2(foreign.ok, qPrintable(foreign.error));
    QCOMPARE(rowsOf(foreign.out), QStringList({"customer | cust_id | cust_id | CASCADE | RESTRICT"}));

    const Outcome rows = database.query(QStringLiteral(R"(
PRAGMA foreign_keys = ON;
INSERT INTO customer (cust_id, notes, photo) VALUES ('C1', '', x'');
INSERT INTO "order ""items""" (cust_id, code, raw, blob, pic) VALUES ('C1', x'0102', x'03', x'', x'');
SELECT c.company, c.balance, c.active, i.id, i.qty, i.price, i.ratio
FROM customer c JOIN "order ""items""" i ON i.cust_id = c.cust_id;
)"));
    QVERIFY2(rows.ok, qPrintable(rows.error));
    QCOMPARE(rowsOf(rows.out), QStringList({"(none) | 0 | 1 | 42 | 1 | 9.99 | 0.5"}));
    const Outcome tooLong = database.script(R"(
INSERT INTO "order ""items""" (cust_id, code, raw, blob, pic) VALUES ('C1', x'010203040506070809', x'', x'', x'');
)");
    QVERIFY(!tooLong.ok);
    QVERIFY2(tooLong.error.contains(QLatin1String("CHECK constraint")), qPrintable(tooLong.error));
    const Outcome orphan = database.script(R"(
PRAGMA foreign_keys = ON;
INSERT INTO "order ""items""" (cust_id, code, raw, blob, pic) VALUES ('C2', x'', x'', x'', x'');
)");
    QVERIFY(!orphan.ok);
    QVERIFY2(orphan.error.contains(QLatin1String("FOREIGN KEY")), qPrintable(orphan.error));
}

namespace {

// Every case of columnTypes or defaults as a table of its own, in one schema.
SourceModel typeTables()
{
    QList<TableModel> tables;
    const QList<TypeCase> cases = typeCases();
    for (qsizetype i = 0; i < cases.size(); ++i)
        tables << table(QStringLiteral("type%1").arg(i + 1), cases.at(i).version, {cases.at(i).f});
    return folder(tables, QStringLiteral("/data/types"));
}

SourceModel defaultTables()
{
    QList<TableModel> tables;
    const QList<DefaultCase> cases = defaultCases();
    for (qsizetype i = 0; i < cases.size(); ++i)
        tables << table(QStringLiteral("default%1").arg(i + 1), 0x30, {cases.at(i).f});
    return folder(tables, QStringLiteral("/data/defaults"));
}

// Rows the columns query gives, without the default, identity and
// description: table, column, type, length, precision, scale, nullable.
QStringList typeColumns(const QStringList &rows)
{
    QStringList shortened;
    for (const QString &row : rows)
        shortened << row.split(QStringLiteral(" | ")).mid(0, 7).join(QStringLiteral(" | "));
    return shortened;
}

} // namespace

void SqlSchemaTest::typesAndDefaultsOnPostgres()
{
    NEED_POSTGRES();
    const QString database = freshDatabase();
    QVERIFY(!database.isEmpty());
    const Outcome types = m_postgres->script(database, postgresSchema(typeTables()));
    QVERIFY2(types.ok, qPrintable(types.error));
    const Outcome columns = m_postgres->query(database, postgresColumns);
    QVERIFY2(columns.ok, qPrintable(columns.error));
    QStringList expected;
    const QList<TypeCase> cases = typeCases();
    for (qsizetype i = 0; i < cases.size(); ++i)
        expected << QStringLiteral("type%1 | ").arg(i + 1) + cases.at(i).postgresCatalog;
    QCOMPARE(typeColumns(rowsOf(columns.out)), expected);

    const Outcome defaults = m_postgres->script(database, postgresSchema(defaultTables()));
    QVERIFY2(defaults.ok, qPrintable(defaults.error));
    const QList<DefaultCase> defaultRows = defaultCases();
    for (qsizetype i = 0; i < defaultRows.size(); ++i) {
        const DefaultCase &c = defaultRows.at(i);
        if (c.postgresValue.isEmpty())
            continue;
        const Outcome value = m_postgres->query(
            database, QStringLiteral("INSERT INTO default%1 DEFAULT VALUES; SELECT '%2', coalesce(f::text, '(null)') "
                                     "FROM default%1;")
                          .arg(i + 1)
                          .arg(QLatin1String(c.name))
                          .toUtf8());
        QVERIFY2(value.ok, qPrintable(value.error));
        QCOMPARE(rowsOf(value.out), QStringList{QLatin1String(c.name) + QStringLiteral(" | ") + c.postgresValue});
    }
}

void SqlSchemaTest::typesAndDefaultsOnSqlite()
{
    NEED_SQLITE();
    const SqliteDatabase database(sqliteFolder(), QStringLiteral("types"));
    const Outcome types = database.script(sqliteSchema(typeTables()));
    QVERIFY2(types.ok, qPrintable(types.error));
    const QList<TypeCase> cases = typeCases();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const Outcome columns = database.query(
            QStringLiteral("SELECT '%1', name, type, \"notnull\" FROM pragma_table_info('type%2');")
                .arg(QLatin1String(cases.at(i).name))
                .arg(i + 1));
        QVERIFY2(columns.ok, qPrintable(columns.error));
        QCOMPARE(rowsOf(columns.out),
                 QStringList{QLatin1String(cases.at(i).name) + QStringLiteral(" | ") + cases.at(i).sqliteCatalog});
    }

    const Outcome defaults = database.script(sqliteSchema(defaultTables()));
    QVERIFY2(defaults.ok, qPrintable(defaults.error));
    const QList<DefaultCase> defaultRows = defaultCases();
    for (qsizetype i = 0; i < defaultRows.size(); ++i) {
        const DefaultCase &c = defaultRows.at(i);
        if (c.sqliteValue.isEmpty())
            continue;
        const Outcome value = database.query(
            QStringLiteral("INSERT INTO default%1 DEFAULT VALUES; SELECT '%2', coalesce(f, '(null)') FROM default%1;")
                .arg(i + 1)
                .arg(QLatin1String(c.name)));
        QVERIFY2(value.ok, qPrintable(value.error));
        QCOMPARE(rowsOf(value.out), QStringList{QLatin1String(c.name) + QStringLiteral(" | ") + c.sqliteValue});
    }
}

namespace {

// A dBase IV table whose Float fields hold values as its writers store them:
// in exponent notation, with more digits than the decimals declared.
SourceModel exponentFloats()
{
    return folder({table(QStringLiteral("t"), 0x8B,
                         {nullable(field(QStringLiteral("f"), 'F', 13, 3)),
                          nullable(field(QStringLiteral("g"), 'F', 20, 3))})});
}

const char exponentInsert[] = "INSERT INTO t (f, g) VALUES ('1.3945052E+02', '-2.5E+30');";

} // namespace

void SqlSchemaTest::floatInExponentOnPostgres()
{
    NEED_POSTGRES();
    const QString database = freshDatabase();
    QVERIFY(!database.isEmpty());
    const Outcome schema = m_postgres->script(database, postgresSchema(exponentFloats()));
    QVERIFY2(schema.ok, qPrintable(schema.error));
    const Outcome values = m_postgres->query(
        database, QByteArray(exponentInsert) + "SELECT f::text, g::text FROM t;");
    QVERIFY2(values.ok, qPrintable(values.error));
    QCOMPARE(rowsOf(values.out),
             QStringList{QStringLiteral("139.45052 | -25") + QString(29, QLatin1Char('0'))});
}

void SqlSchemaTest::floatInExponentOnSqlite()
{
    NEED_SQLITE();
    const SqliteDatabase database(sqliteFolder(), QStringLiteral("exponent"));
    const Outcome schema = database.script(sqliteSchema(exponentFloats()));
    QVERIFY2(schema.ok, qPrintable(schema.error));
    const Outcome values = database.query(QLatin1String(exponentInsert)
                                          + QStringLiteral("SELECT f, typeof(f), g, typeof(g) FROM t;"));
    QVERIFY2(values.ok, qPrintable(values.error));
    QCOMPARE(rowsOf(values.out), QStringList{QStringLiteral("139.45052 | real | -2.5e+30 | real")});
}

void SqlSchemaTest::namesAndRelationsOnPostgres()
{
    NEED_POSTGRES();
    const QString database = freshDatabase();
    QVERIFY(!database.isEmpty());
    const Outcome applied = m_postgres->script(database, postgresSchema(names()));
    QVERIFY2(applied.ok, qPrintable(applied.error));
    const Outcome tables = m_postgres->query(database, postgresTables);
    QVERIFY2(tables.ok, qPrintable(tables.error));
    QCOMPARE(rowsOf(tables.out), QStringList({"sqlite_stat | ", "SQLITE_STAT_2 | ", "flags | "}));
    const Outcome columns = m_postgres->query(
        database, "SELECT table_name, column_name FROM information_schema.columns WHERE table_schema = 'public' "
                  "ORDER BY table_name COLLATE \"C\", ordinal_position;");
    QVERIFY2(columns.ok, qPrintable(columns.error));
    QCOMPARE(rowsOf(columns.out), QStringList({
        QStringLiteral("SQLITE_STAT_2 | f"),
        QStringLiteral("sqlite_stat | Name"),
        QStringLiteral("sqlite_stat | NAME_2"),
        QStringLiteral("sqlite_stat | xmin_2"),
        QStringLiteral("sqlite_stat | XMAX"),
        QStringLiteral("sqlite_stat | ab"),
        QStringLiteral("sqlite_stat | column6"),
        QStringLiteral("sqlite_stat | ") + QString(63, QLatin1Char('a')),
        QStringLiteral("sqlite_stat | ") + QString(61, QLatin1Char('a')) + QStringLiteral("_2"),
        QStringLiteral("sqlite_stat | ") + QString(31, QChar(0x00E9)),
        QStringLiteral("sqlite_stat | we \"quote\" it"),
    }));

    const QString hostileDatabase = freshDatabase();
    QVERIFY(!hostileDatabase.isEmpty());
    const Outcome hostileApplied = m_postgres->script(hostileDatabase, postgresSchema(hostileText()));
    QVERIFY2(hostileApplied.ok, qPrintable(hostileApplied.error));
    const QString kept = QString(hostile).remove(QChar(0));
    const Outcome hostileTables = m_postgres->query(hostileDatabase, postgresTables);
    QVERIFY2(hostileTables.ok, qPrintable(hostileTables.error));
    QCOMPARE(rowsOf(hostileTables.out), QStringList{QStringLiteral("t | ") + kept});
    const Outcome hostileColumns = m_postgres->query(hostileDatabase, postgresColumns);
    QVERIFY2(hostileColumns.ok, qPrintable(hostileColumns.error));
    QCOMPARE(rowsOf(hostileColumns.out),
             QStringList{QStringLiteral("t | f | character varying | 5 |  |  | NO |  | NO |  |  | ") + kept});

    const Outcome related = m_postgres->script(database, postgresSchema(relations()));
    QVERIFY2(related.ok, qPrintable(related.error));
    const Outcome foreign = m_postgres->query(database, postgresForeignKeys);
    QVERIFY2(foreign.ok, qPrintable(foreign.error));
    QCOMPARE(rowsOf(foreign.out), QStringList({"c | FOREIGN KEY (pid) REFERENCES p(id) ON DELETE CASCADE"}));
    const Outcome indexes = m_postgres->query(
        database, "SELECT indexname, indexdef FROM pg_indexes WHERE tablename IN ('p', 'c') ORDER BY indexname COLLATE \"C\";");
    QVERIFY2(indexes.ok, qPrintable(indexes.error));
    QCOMPARE(rowsOf(indexes.out), QStringList({
        "c_PCODE | CREATE INDEX \"c_PCODE\" ON public.c USING btree (pcode)",
        "c_PID | CREATE INDEX \"c_PID\" ON public.c USING btree (pid)",
        "c_PKIND | CREATE INDEX \"c_PKIND\" ON public.c USING btree (pkind)",
        "p_CODE | CREATE UNIQUE INDEX \"p_CODE\" ON public.p USING btree (upper((code)::text))",
        "p_KIND | CREATE INDEX \"p_KIND\" ON public.p USING btree (kind)",
        "p_pkey | CREATE UNIQUE INDEX p_pkey ON public.p USING btree (id)",
    }));
}

namespace {

// A parent keyed on id, a child whose id only implies the relation, and a
// child whose id is declared: the declared key is made, the implied one
// offered commented out.
SourceModel impliedRelationSource()
{
    SourceModel source;
    source.tables = {modelparts::tableOf(QStringLiteral("p: id I 4 [primary ID], name C 9")),
                     modelparts::tableOf(QStringLiteral("c: cid I 4 [primary CID], id I 4")),
                     modelparts::tableOf(QStringLiteral("d: did I 4 [primary DID], id I 4 [regular PID]"))};
    RelationModel declared;
    declared.parentTable = QStringLiteral("p");
    declared.parentTag = QStringLiteral("ID");
    declared.childTable = QStringLiteral("d");
    declared.childTag = QStringLiteral("PID");
    source.relations = {declared};
    source.impliedRelations = model::impliedRelations(source.tables, source.relations);
    return source;
}

} // namespace

void SqlSchemaTest::impliedRelationsOfferedOnPostgres()
{
    NEED_POSTGRES();
    const QByteArray script = postgresSchema(impliedRelationSource());
    const QByteArray offer = "-- ALTER TABLE \"c\" ADD FOREIGN KEY (\"id\") REFERENCES \"p\" (\"id\");\n";
    QCOMPARE(script.count(offer), 1);
    QCOMPARE(script.count("ADD FOREIGN KEY"), 2); // the declared one, and the offer

    const QString asWritten = freshDatabase();
    QVERIFY(!asWritten.isEmpty());
    const Outcome applied = m_postgres->script(asWritten, script);
    QVERIFY2(applied.ok, qPrintable(applied.error));
    const Outcome made = m_postgres->query(asWritten, postgresForeignKeys);
    QVERIFY2(made.ok, qPrintable(made.error));
    QCOMPARE(rowsOf(made.out), QStringList({"d | FOREIGN KEY (id) REFERENCES p(id)"}));

    // Uncommented by a user, it is a foreign key.
    const QString taken = freshDatabase();
    QVERIFY(!taken.isEmpty());
    const Outcome uncommented = m_postgres->script(taken, QByteArray(script).replace(offer, offer.mid(3)));
    QVERIFY2(uncommented.ok, qPrintable(uncommented.error));
    const Outcome both = m_postgres->query(taken, postgresForeignKeys);
    QVERIFY2(both.ok, qPrintable(both.error));
    QCOMPARE(rowsOf(both.out), QStringList({"c | FOREIGN KEY (id) REFERENCES p(id)", "d | FOREIGN KEY (id) REFERENCES p(id)"}));
}

// SQLite takes a foreign key only in CREATE TABLE: the offer is the clause,
// named with its table, and the script as written makes none of it.
void SqlSchemaTest::impliedRelationsOfferedOnSqlite()
{
    NEED_SQLITE();
    const QByteArray script = sqliteSchema(impliedRelationSource());
    QCOMPARE(script.count("-- \"c\": FOREIGN KEY (\"id\") REFERENCES \"p\" (\"id\")\n"), 1);
    const SqliteDatabase database(sqliteFolder(), QStringLiteral("implied"));
    const Outcome applied = database.script(script);
    QVERIFY2(applied.ok, qPrintable(applied.error));
    const Outcome keys = database.query(QStringLiteral("SELECT \"table\", \"from\" FROM pragma_foreign_key_list('c');"));
    QVERIFY2(keys.ok, qPrintable(keys.error));
    QCOMPARE(rowsOf(keys.out), QStringList());

    // A name that breaks its line keeps the rest of the offer commented.
    SourceModel broken = impliedRelationSource();
    broken.tables[1].name = QStringLiteral("c\nCREATE TABLE injected(a);--");
    broken.impliedRelations = model::impliedRelations(broken.tables, broken.relations);
    QCOMPARE(broken.impliedRelations.size(), 1);
    const SqliteDatabase other(sqliteFolder(), QStringLiteral("implied-broken"));
    const Outcome brokenApplied = other.script(sqliteSchema(broken));
    QVERIFY2(brokenApplied.ok, qPrintable(brokenApplied.error));
    const Outcome tables = other.query(QStringLiteral("SELECT name FROM sqlite_master WHERE name = 'injected';"));
    QVERIFY2(tables.ok, qPrintable(tables.error));
    QCOMPARE(rowsOf(tables.out), QStringList());
}

void SqlSchemaTest::namesAndRelationsOnSqlite()
{
    NEED_SQLITE();
    const SqliteDatabase database(sqliteFolder(), QStringLiteral("names"));
    const Outcome applied = database.script(sqliteSchema(names()));
    QVERIFY2(applied.ok, qPrintable(applied.error));
    const Outcome tables = database.query(sqliteTables);
    QVERIFY2(tables.ok, qPrintable(tables.error));
    QCOMPARE(rowsOf(tables.out), QStringList({"_sqlite_stat", "_SQLITE_STAT_2"}));
    const Outcome columns = database.query(QStringLiteral("SELECT name FROM pragma_table_info('_sqlite_stat');"));
    QVERIFY2(columns.ok, qPrintable(columns.error));
    QCOMPARE(rowsOf(columns.out), QStringList({
        QStringLiteral("Name"),
        QStringLiteral("NAME_2"),
        QStringLiteral("xmin"),
        QStringLiteral("XMAX"),
        QStringLiteral("ab"),
        QStringLiteral("column6"),
        QString(70, QLatin1Char('a')),
        QString(69, QLatin1Char('a')) + QLatin1Char('b'),
        QString(40, QChar(0x00E9)),
        QStringLiteral("we \"quote\" it"),
    }));

    const SqliteDatabase hostileDatabase(sqliteFolder(), QStringLiteral("hostile"));
    const Outcome hostileApplied = hostileDatabase.script(sqliteSchema(hostileText()));
    QVERIFY2(hostileApplied.ok, qPrintable(hostileApplied.error));
    const Outcome hostileTables = hostileDatabase.query(sqliteTables);
    QVERIFY2(hostileTables.ok, qPrintable(hostileTables.error));
    QCOMPARE(rowsOf(hostileTables.out), QStringList{QStringLiteral("t")});
    const Outcome hostileColumns = hostileDatabase.query(sqliteColumns(QStringLiteral("t")));
    QVERIFY2(hostileColumns.ok, qPrintable(hostileColumns.error));
    QCOMPARE(rowsOf(hostileColumns.out), QStringList{QStringLiteral("f | varchar(5) | 1 |  | 0")});

    const SqliteDatabase related(sqliteFolder(), QStringLiteral("relations"));
    const Outcome relatedApplied = related.script(sqliteSchema(relations()));
    QVERIFY2(relatedApplied.ok, qPrintable(relatedApplied.error));
    const Outcome foreign = related.query(QStringLiteral(
        "SELECT \"table\", \"from\", \"to\", on_update, on_delete FROM pragma_foreign_key_list('c');"));
    QVERIFY2(foreign.ok, qPrintable(foreign.error));
    QCOMPARE(rowsOf(foreign.out), QStringList({"p | pid | id | NO ACTION | CASCADE"}));
    // SQLite finds a key that references no unique column only when it checks one.
    const Outcome check = related.query(QStringLiteral("PRAGMA foreign_keys = ON; PRAGMA foreign_key_check;"));
    QVERIFY2(check.ok, qPrintable(check.error));
    QCOMPARE(rowsOf(check.out), QStringList());
}

// --- Every fixture source -----------------------------------------------

void SqlSchemaTest::fixtureRows()
{
    QTest::addColumn<QString>("path");
    const QDir fixtures(QStringLiteral(ORVALLE_FIXTURES_DIR));
    if (!fixtures.exists())
        QSKIP("The fixtures folder is absent");
    for (const QString &path : fixtureSources(fixtures.path()))
        QTest::newRow(qPrintable(fixtures.relativeFilePath(path))) << path;
}

void SqlSchemaTest::fixturesOnPostgres_data()
{
    fixtureRows();
}

void SqlSchemaTest::fixturesOnPostgres()
{
    QFETCH(QString, path);
    NEED_POSTGRES();
    SourceModel model;
    try {
        model = model::readSourceModel(path);
    } catch (const Failure &failure) {
        QSKIP(qPrintable(QStringLiteral("No model: ") + failure.description()));
    }
    const QString database = freshDatabase();
    QVERIFY(!database.isEmpty());
    const Outcome applied = m_postgres->script(database, postgresSchema(model));
    QVERIFY2(applied.ok, qPrintable(applied.error));
    compareWithPostgres(model, database);
}

void SqlSchemaTest::fixturesOnSqlite_data()
{
    fixtureRows();
}

void SqlSchemaTest::fixturesOnSqlite()
{
    QFETCH(QString, path);
    NEED_SQLITE();
    SourceModel model;
    try {
        model = model::readSourceModel(path);
    } catch (const Failure &failure) {
        QSKIP(qPrintable(QStringLiteral("No model: ") + failure.description()));
    }
    const SqliteDatabase database(sqliteFolder(), QStringLiteral("fixture%1").arg(++m_databases));
    const Outcome applied = database.script(sqliteSchema(model));
    QVERIFY2(applied.ok, qPrintable(applied.error));
    compareWithSqlite(model, database);
}

// The catalog against the model: every table in source order with its
// description, every column with its type, length, precision, scale,
// nullability, identity and description, and each primary key. Where SQL
// had to rename something, the server's name is taken as it is.
void SqlSchemaTest::compareWithPostgres(const SourceModel &model, const QString &database)
{
    const Outcome tables = m_postgres->query(database, postgresTables);
    QVERIFY2(tables.ok, qPrintable(tables.error));
    const QStringList actualTables = rowsOf(tables.out);
    QCOMPARE(actualTables.size(), model.tables.size());
    QStringList expectedTables;
    QStringList tableNames;
    QStringList earlierTables;
    for (qsizetype i = 0; i < model.tables.size(); ++i) {
        const TableModel &t = model.tables.at(i);
        const QString actualName = actualTables.at(i).section(QStringLiteral(" | "), 0, 0);
        tableNames << (keptAsIs(t.name, earlierTables, true) ? t.name : actualName);
        earlierTables << t.name;
        expectedTables << tableNames.last() + QStringLiteral(" | ")
                + (t.comment.trimmed().isEmpty() ? QString() : withoutNul(t.comment));
    }
    QCOMPARE(actualTables, expectedTables);

    const Outcome columns = m_postgres->query(database, postgresColumns);
    QVERIFY2(columns.ok, qPrintable(columns.error));
    const QStringList actualColumns = rowsOf(columns.out);
    QStringList expectedColumns;
    QStringList expectedKeys;
    qsizetype row = 0;
    for (qsizetype i = 0; i < model.tables.size(); ++i) {
        const TableModel &t = model.tables.at(i);
        const int key = primaryKeyField(t);
        QStringList earlier;
        for (const FieldModel *f : columnsOf(t)) {
            const QStringList actual = row < actualColumns.size()
                ? actualColumns.at(row).split(QStringLiteral(" | "))
                : QStringList();
            ++row;
            const auto actualField = [&](int index) { return index < actual.size() ? actual.at(index) : QString(); };
            const ExpectedType type = expectedType(*f, t.version);
            const QString name = keptAsIs(f->name, earlier, false) ? f->name : actualField(1);
            earlier << f->name;
            const bool identity = (f->type == '+' || (f->type == 'I' && f->autoIncrement)) && !oddWidth(*f, t.version);
            const bool startKnown = identity && f->autoIncrement && f->nextValue >= std::numeric_limits<qint32>::min()
                && f->nextValue <= std::numeric_limits<qint32>::max();
            expectedColumns << QStringList{
                tableNames.at(i), name, type.postgres, type.length, type.precision, type.scale,
                expectNotNull(t, *f) ? QStringLiteral("NO") : QStringLiteral("YES"),
                actualField(7), identity ? QStringLiteral("YES") : QStringLiteral("NO"),
                startKnown ? QString::number(f->nextValue) : actualField(9),
                identity && f->autoIncrement && f->step >= 1 ? QString::number(f->step) : actualField(10),
                f->comment.trimmed().isEmpty() ? QString() : withoutNul(f->comment)}
                                   .join(QStringLiteral(" | "));
            if (key >= 0 && &t.fields.at(key) == f)
                expectedKeys << tableNames.at(i) + QStringLiteral(" | PRIMARY KEY | ") + name;
        }
    }
    QCOMPARE(actualColumns, expectedColumns);

    const Outcome keys = m_postgres->query(database, postgresKeys);
    QVERIFY2(keys.ok, qPrintable(keys.error));
    QStringList actualKeys;
    for (const QString &key : rowsOf(keys.out)) {
        if (key.contains(QLatin1String(" | PRIMARY KEY | ")))
            actualKeys << key;
    }
    std::sort(actualKeys.begin(), actualKeys.end());
    std::sort(expectedKeys.begin(), expectedKeys.end());
    QCOMPARE(actualKeys, expectedKeys);
}

void SqlSchemaTest::compareWithSqlite(const SourceModel &model, const SqliteDatabase &database)
{
    const Outcome tables = database.query(sqliteTables);
    QVERIFY2(tables.ok, qPrintable(tables.error));
    const QStringList actualTables = rowsOf(tables.out);
    QStringList expectedTables;
    QList<const TableModel *> created;
    QStringList earlierTables;
    for (const TableModel &t : model.tables) {
        const bool kept = keptAsIs(t.name, earlierTables, true);
        earlierTables << t.name;
        if (columnsOf(t).isEmpty())
            continue;
        created << &t;
        const qsizetype at = expectedTables.size();
        expectedTables << (kept || at >= actualTables.size() ? t.name : actualTables.at(at));
    }
    QCOMPARE(actualTables, expectedTables);

    for (qsizetype i = 0; i < created.size(); ++i) {
        const TableModel &t = *created.at(i);
        const Outcome columns = database.query(sqliteColumns(actualTables.at(i)));
        QVERIFY2(columns.ok, qPrintable(columns.error));
        const QStringList actualColumns = rowsOf(columns.out);
        QStringList lowered;
        for (const QString &column : actualColumns) {
            QStringList parts = column.split(QStringLiteral(" | "));
            if (parts.size() > 1)
                parts[1] = parts.at(1).toLower();
            lowered << parts.join(QStringLiteral(" | "));
        }
        const int key = primaryKeyField(t);
        QStringList expected;
        QStringList earlier;
        for (const FieldModel *f : columnsOf(t)) {
            const qsizetype at = expected.size();
            const QStringList actual = at < actualColumns.size() ? actualColumns.at(at).split(QStringLiteral(" | "))
                                                                 : QStringList();
            const QString name = keptAsIs(f->name, earlier, false) || actual.isEmpty() ? f->name : actual.at(0);
            earlier << f->name;
            const bool isKey = key >= 0 && &t.fields.at(key) == f;
            expected << QStringList{name, expectedType(*f, t.version).sqlite,
                                    expectNotNull(t, *f) ? QStringLiteral("1") : QStringLiteral("0"),
                                    actual.size() > 3 ? actual.at(3) : QString(),
                                    isKey ? QStringLiteral("1") : QStringLiteral("0")}
                            .join(QStringLiteral(" | "));
        }
        QCOMPARE(lowered, expected);
    }
    const Outcome check = database.query(QStringLiteral("PRAGMA foreign_keys = ON; PRAGMA foreign_key_check;"));
    QVERIFY2(check.ok, qPrintable(check.error));
    QCOMPARE(rowsOf(check.out), QStringList());
}

QTEST_MAIN(SqlSchemaTest)
#include "tst_sqlschema.moc"
