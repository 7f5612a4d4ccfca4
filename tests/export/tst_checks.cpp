// The checks: each rule on a source made to break exactly it and on one that
// keeps it, the coverage counted by hand, --check's exit statuses and
// documents, every fixture source checked, and the reserved words against a
// real PostgreSQL server's own list.

#include "export/check/checks.h"
#include "fixturesources.h"
#include "model/impliedrelations.h"
#include "modelparts.h"
#include "postgresserver.h"
#include "reporttool.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace check;
using modelparts::tableOf;

namespace {

const QString samples = QStringLiteral(ORVALLE_SOURCE_DIR "/assets/Samples");

model::SourceModel sourceOf(const QStringList &tables, model::SourceModel::Kind kind = model::SourceModel::Kind::Folder)
{
    model::SourceModel source;
    source.kind = kind;
    source.path = QStringLiteral("shop");
    for (const QString &description : tables)
        source.tables.append(tableOf(description));
    return source;
}

model::SourceModel container(const QStringList &tables)
{
    model::SourceModel source = sourceOf(tables, model::SourceModel::Kind::Container);
    for (model::TableModel &table : source.tables) {
        table.comment = QStringLiteral("Documented.");
        for (model::FieldModel &field : table.fields)
            field.caption = QStringLiteral("Documented");
    }
    return source;
}

model::RelationModel relation(const QString &child, const QString &childTag, const QString &parent)
{
    model::RelationModel r;
    r.childTable = child;
    r.childTag = childTag;
    r.parentTable = parent;
    r.parentTag = QStringLiteral("ID");
    return r;
}

// "rule place: message" of every finding.
QStringList found(const CheckResult &result)
{
    QStringList lines;
    for (const Finding &finding : result.findings)
        lines.append(QStringLiteral("%1 %2: %3").arg(QLatin1String(finding.rule->id), finding.place, finding.message));
    return lines;
}

} // namespace

class ChecksTest : public QObject {
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<model::SourceModel>("source");
        QTest::addColumn<QStringList>("expected");

        const QString keyed = QStringLiteral("t: ID I 4 [primary ID], NAME C 20");
        QTest::newRow("a table that keeps every rule") << sourceOf({keyed}) << QStringList();
        QTest::newRow("no-key") << sourceOf({QStringLiteral("t: NAME C 20 [regular NAME]")})
                                << QStringList{"no-key t: The table has no primary or candidate key."};
        QTest::newRow("no-key: a candidate key is a key")
            << sourceOf({QStringLiteral("t: NAME C 20 [candidate NAME]")}) << QStringList();
        {
            model::SourceModel unread = sourceOf({QStringLiteral("t: NAME C 20")});
            unread.tables[0].indexesKnown = false;
            QTest::newRow("no-key: no structural index at all")
                << unread << QStringList{"no-key t: The table has no primary or candidate key."};
            const QString lost = QStringLiteral("Bad page. Its index file cannot be read: tags unknown.");
            unread.findings = {{model::Severity::Error, QStringLiteral("t"), lost}};
            QTest::newRow("no-key: an index that cannot be read, nothing said")
                << unread << QStringList{QStringLiteral("read-error t: ") + lost};
        }
        {
            model::SourceModel nullable = sourceOf({QStringLiteral("t: ID I 4, CODE C 4 [candidate BYCODE=UPPER(code)]")});
            nullable.tables[0].fields[1].nullable = true;
            QTest::newRow("nullable-key, in an expression")
                << nullable
                << QStringList{"nullable-key t.CODE: The field takes NULL, and the candidate key \"BYCODE\" is on it."};
            model::SourceModel shortNamed =
                sourceOf({QStringLiteral("t: ID I 4, CUSTOMER_CODE C 4 [candidate BYCODE=UPPER(Customer_C)]")});
            shortNamed.tables[0].fields[1].shortName = QStringLiteral("customer_c");
            shortNamed.tables[0].fields[1].nullable = true;
            QTest::newRow("nullable-key, by its short name in another case")
                << shortNamed
                << QStringList{"nullable-key t.CUSTOMER_CODE: The field takes NULL, and the candidate key \"BYCODE\" is "
                               "on it."};
            nullable.tables[0].indexes[0].kind = model::TagKind::Regular;
            nullable.tables[0].indexes.append(modelparts::tag(QStringLiteral("PK"), model::TagKind::Primary, QStringLiteral("id")));
            QTest::newRow("nullable-key: a nullable field in a regular tag") << nullable << QStringList();
        }
        {
            model::SourceModel implied = sourceOf({keyed, QStringLiteral("c: CID I 4 [primary CID], ID I 4")});
            implied.impliedRelations = model::impliedRelations(implied.tables, {});
            QTest::newRow("unindexed-relation, implied")
                << implied
                << QStringList{"unindexed-relation c.ID: The field implies a relation to \"t\", and no index tag is "
                               "on it alone."};
            model::SourceModel tagged = sourceOf({keyed, QStringLiteral("c: CID I 4 [primary CID], ID I 4 [regular BYT]")});
            tagged.impliedRelations = model::impliedRelations(tagged.tables, {});
            QTest::newRow("unindexed-relation: the implied one's field tagged") << tagged << QStringList();
            model::SourceModel declared = sourceOf({keyed, QStringLiteral("c: CID I 4 [primary CID], TID I 4 [regular BYT]")});
            declared.relations = {relation(QStringLiteral("c"), QStringLiteral("NOSUCH"), QStringLiteral("t"))};
            QTest::newRow("unindexed-relation, declared on a tag the child lacks")
                << declared
                << QStringList{"unindexed-relation c: The relation to \"t\" names the tag \"NOSUCH\", which the table "
                               "does not have."};
            declared.relations = {relation(QStringLiteral("c"), QStringLiteral("byt"), QStringLiteral("t"))};
            QTest::newRow("unindexed-relation: declared on its tag, in any case") << declared << QStringList();
        }
        QTest::newRow("name-collision")
            << sourceOf({QStringLiteral("t: ID I 4 [primary ID], customerna1 C 9, CustomerNa2 C 9")})
            << QStringList{"name-collision t.CustomerNa2: Its first ten characters are those of \"customerna1\"."};
        {
            // A container's long names have distinct short ones in the header.
            model::SourceModel longNames = sourceOf({QStringLiteral("t: ID I 4 [primary ID], expensecategory/expensecat C 9, "
                                                                    "expensecategory2/expenseca2 C 9")});
            QTest::newRow("name-collision: long names with their own short ones") << longNames << QStringList();
        }
        QTest::newRow("name-collision: ten characters apart")
            << sourceOf({QStringLiteral("t: ID I 4 [primary ID], customer_a C 9, customer_b C 9")}) << QStringList();
        QTest::newRow("reserved-word")
            << sourceOf({QStringLiteral("Order: ID I 4 [primary ID], user C 9, Index C 9, abort C 9, orders C 9")})
            << QStringList{"reserved-word Order: The table name \"Order\" is a reserved word of PostgreSQL and SQLite.",
                           "reserved-word Order.user: The field name \"user\" is a reserved word of PostgreSQL.",
                           "reserved-word Order.Index: The field name \"Index\" is a reserved word of SQLite."};
        QTest::newRow("untranslated-index")
            << sourceOf({QStringLiteral("t: ID I 4 [primary ID], D D 8 [regular BYDAY=DTOC(D)]")})
            << QStringList{"untranslated-index t: The SQL schemas keep the index tag \"BYDAY\" only as a comment."};
        QTest::newRow("untranslated-index: an expression SQL can say")
            << sourceOf({QStringLiteral("t: ID I 4 [primary ID], N C 9 [regular BYNAME=UPPER(N)]")}) << QStringList();
        QTest::newRow("memo-candidate")
            << sourceOf({QStringLiteral("t: ID I 4 [primary ID], NOTES C 254, SHORT C 253")})
            << QStringList{"memo-candidate t.NOTES: A character field of width 254."};
        {
            model::SourceModel unreached = container({keyed, QStringLiteral("c: CID I 4 [primary CID], TID I 4 [regular BYT]"),
                                                      QStringLiteral("u: UID I 4 [primary UID]")});
            unreached.relations = {relation(QStringLiteral("c"), QStringLiteral("BYT"), QStringLiteral("t"))};
            QTest::newRow("unreached-table") << unreached
                                             << QStringList{"unreached-table u: No relation reaches the table, declared or implied."};
            unreached.kind = model::SourceModel::Kind::Folder;
            QTest::newRow("unreached-table: free tables need no relation") << unreached << QStringList();
        }
        {
            model::SourceModel bare = container({keyed});
            bare.tables[0].comment.clear();
            bare.tables[0].fields[1].caption.clear();
            bare.tables[0].fields[0].caption.clear();
            bare.tables[0].fields[0].comment = QStringLiteral("The number.");
            QTest::newRow("undocumented-table and undocumented-field")
                << bare
                << QStringList{"unreached-table t: No relation reaches the table, declared or implied.",
                               "undocumented-table t: The table has no comment.",
                               "undocumented-field t: 1 of 2 fields have neither caption nor comment: NAME."};
            QTest::newRow("undocumented: documented")
                << container({keyed})
                << QStringList{"unreached-table t: No relation reaches the table, declared or implied."};
            bare.kind = model::SourceModel::Kind::Folder;
            QTest::newRow("undocumented: free tables hold no documentation") << bare << QStringList();
        }
        {
            model::SourceModel read = sourceOf({keyed});
            read.findings = {{model::Severity::Warning, QStringLiteral("t"), QStringLiteral("Odd.")},
                             {model::Severity::Error, QStringLiteral("x.dbf"), QStringLiteral("Missing.")}};
            // By rule first, errors before warnings.
            QTest::newRow("read-error and read-warning")
                << read << QStringList{"read-error x.dbf: Missing.", "read-warning t: Odd."};
        }
    }
    void rules()
    {
        QFETCH(model::SourceModel, source);
        QFETCH(QStringList, expected);
        QCOMPARE(found(checkModel(source)), expected);
    }

    void ignoredRulesAndExitStatus()
    {
        const model::SourceModel source = sourceOf({QStringLiteral("t: NOTES C 254")});
        const CheckResult all = checkModel(source);
        QCOMPARE(found(all).size(), 2); // no-key and memo-candidate
        QCOMPARE(all.exitStatus(), 1);
        const CheckResult lenient = checkModel(source, {QStringLiteral("no-key")});
        QCOMPARE(found(lenient), QStringList{"memo-candidate t.NOTES: A character field of width 254."});
        QCOMPARE(lenient.exitStatus(), 0); // a note fails nothing
        QCOMPARE(lenient.ignored, QStringList{"no-key"});
    }

    // With some tables chosen, a relation to one left out is not seen: no
    // table is said to be unreached.
    void unreachedNeedsTheWholeSource()
    {
        const model::SourceModel source = container({QStringLiteral("u: UID I 4 [primary UID]")});
        Checker chosen(source, false);
        chosen.add(source.tables[0]);
        QCOMPARE(found(chosen.finish(source)), QStringList());
        Checker whole(source, true);
        whole.add(source.tables[0]);
        QCOMPARE(found(whole.finish(source)),
                 QStringList{"unreached-table u: No relation reaches the table, declared or implied."});
    }

    void coverageCounted()
    {
        model::SourceModel source = sourceOf({QStringLiteral("a: X C 1, Y C 1, Z C 1"), QStringLiteral("b: W C 1")});
        source.tables[0].fields[0].comment = QStringLiteral("c");
        source.tables[0].fields[1].caption = QStringLiteral("c");
        source.tables[0].fields[2].caption = QStringLiteral("  "); // blank is none
        source.tables[1].fields[0].comment = QStringLiteral("c");
        source.tables[1].fields[0].caption = QStringLiteral("c");
        const CheckResult result = checkModel(source);
        QCOMPARE(result.tables.size(), 2);
        const auto counts = [](const Coverage &c) { return QList<int>{c.fields, c.comment, c.caption, c.either}; };
        QCOMPARE(counts(result.tables[0]), (QList<int>{3, 1, 1, 2}));
        QCOMPARE(counts(result.tables[1]), (QList<int>{1, 1, 1, 1}));
        QCOMPARE(counts(result.total), (QList<int>{4, 2, 2, 3}));
        const QByteArray text = writeCheck(result, CheckFormat::Text);
        // Rounded down: two of three are 66%.
        QVERIFY2(text.contains("  a: 3 fields, comment 1 (33%), caption 1 (33%), either 2 (66%)\n"), text.constData());
        QVERIFY2(text.contains("  In all: 4 fields, comment 2 (50%), caption 2 (50%), either 3 (75%)\n"), text.constData());
    }

    // Text from the files breaks no line, no cell, and no count: a name
    // holding "%2" stays as it is.
    void hostileNamesStayInTheirPlace()
    {
        model::SourceModel source = sourceOf({QStringLiteral("t: X C 254")});
        source.tables[0].name = QStringLiteral("a|b%2\nc");
        const CheckResult result = checkModel(source);
        const QByteArray markdown = writeCheck(result, CheckFormat::Markdown);
        QVERIFY2(markdown.contains("| a\\|b%2<br>c | 1 | 0 (0%) | 0 (0%) | 0 (0%) |"), markdown.constData());
        const QByteArray text = writeCheck(result, CheckFormat::Text);
        QVERIFY2(text.contains("  a|b%2 c: 1 fields"), text.constData());
        const QJsonObject json = QJsonDocument::fromJson(writeCheck(result, CheckFormat::Json)).object();
        QCOMPARE(json[QStringLiteral("findings")].toArray().first()[QStringLiteral("place")].toString(),
                 source.tables[0].name);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("err");
        // The samples have no index tags: each table lacks a key.
        QTest::newRow("warnings") << QStringList{"--check", samples} << 1 << QByteArray();
        QTest::newRow("only notes left") << QStringList{"--check", samples, "--ignore", "no-key"} << 0 << QByteArray();
        QTest::newRow("an unknown rule")
            << QStringList{"--check", samples, "--ignore", "no-keys"} << 2
            << QByteArray("orvalle-report: --ignore takes a rule: read-error, read-warning, no-key, nullable-key, "
                          "unindexed-relation, name-collision, reserved-word, untranslated-index, unreached-table, "
                          "memo-candidate, undocumented-table, undocumented-field\nTry 'orvalle-report --help'.\n");
        QTest::newRow("--ignore alone") << QStringList{samples, "--ignore", "no-key"} << 2
                                        << QByteArray("orvalle-report: --ignore goes with --check\nTry 'orvalle-report --help'.\n");
        QTest::newRow("a format it does not write")
            << QStringList{"--check", samples, "--format", "html"} << 2
            << QByteArray("orvalle-report: --check writes text, json or markdown\nTry 'orvalle-report --help'.\n");
        QTest::newRow("no source") << QStringList{"--check", "/nonexistent/folder"} << 2 << QByteArray("*");
        QTest::newRow("a table that is not there")
            << QStringList{"--check", samples, "customers", "custmers"} << 2
            << (QStringLiteral("orvalle-report: custmers: no such table in %1 (see --list)\n").arg(samples).toUtf8());
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, err);
        const ToolOutcome outcome = runProgram(reportTool(), arguments);
        QCOMPARE(outcome.exitCode, exitCode);
        if (err == "*")
            QVERIFY(outcome.err.startsWith("orvalle-report: /nonexistent/folder"));
        else
            QCOMPARE(outcome.err, err);
        if (exitCode < 2)
            QVERIFY(outcome.out.contains("Documented fields"));
    }

    void writtenToAFileWhole()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("checks.json"));
        const ToolOutcome outcome =
            runProgram(reportTool(), {"--check", samples, "--format", "json", "-o", path});
        QCOMPARE(outcome.exitCode, 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(json[QStringLiteral("warnings")].toInt(), json[QStringLiteral("findings")].toArray().size()
                                                               - json[QStringLiteral("notes")].toInt());
        QCOMPARE(json[QStringLiteral("coverage")][QStringLiteral("tables")].toArray().size(), 5);
    }

    // Every fixture source is checked: a source that reads gives 0 or 1.
    void everyFixtureSource()
    {
        const QStringList sources = fixtureSources(QStringLiteral(ORVALLE_FIXTURES_DIR));
        if (sources.isEmpty())
            QSKIP("the fixtures are not here");
        for (const QString &path : sources) {
            bool reads = true;
            try {
                model::readSourceModel(path);
            } catch (const Failure &) {
                reads = false;
            }
            const ToolOutcome outcome = runProgram(reportTool(), {"--check", path, "--format", "json"});
            if (!reads) {
                QVERIFY2(outcome.exitCode == 2, qPrintable(path));
                continue;
            }
            QVERIFY2(outcome.exitCode == 0 || outcome.exitCode == 1, qPrintable(path + QString::fromUtf8(outcome.err)));
            QJsonParseError error;
            QJsonDocument::fromJson(outcome.out, &error);
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(path));
        }
    }

    // The docs list every rule with its severity, and nothing else.
    void docsListEveryRule()
    {
        QFile file(QStringLiteral(ORVALLE_SOURCE_DIR "/docs/checks.md"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(file.readAll());
        static const QRegularExpression row(QStringLiteral("^\\| `([a-z-]+)` \\| (error|warning|note) \\|"),
                                            QRegularExpression::MultilineOption);
        QStringList listed;
        for (const QRegularExpressionMatch &match : row.globalMatch(page)) {
            const Rule *rule = ruleNamed(match.captured(1));
            QVERIFY2(rule, qPrintable(match.captured(1)));
            QCOMPARE(severityWord(rule->severity), match.captured(2));
            QVERIFY2(page.contains(QLatin1String(rule->why)), rule->id);
            listed.append(match.captured(1));
        }
        QStringList ids;
        for (const Rule &rule : check::rules())
            ids.append(QLatin1String(rule.id));
        QCOMPARE(listed, ids);
    }

    // Our list of PostgreSQL's reserved words is the server's own.
    void postgresReservedWordsAreTheServers()
    {
        PostgresServer server;
        const QString problem = server.start();
        if (!problem.isEmpty())
            QSKIP(qPrintable(QStringLiteral("No PostgreSQL server can be had here: ") + problem));
        const Outcome words =
            server.query(QStringLiteral("postgres"), "SELECT word FROM pg_get_keywords() ORDER BY word;");
        QVERIFY2(words.ok, qPrintable(words.error));
        const Outcome reserved =
            server.query(QStringLiteral("postgres"), "SELECT word FROM pg_get_keywords() WHERE catcode IN ('R', 'T');");
        QVERIFY2(reserved.ok, qPrintable(reserved.error));
        const QStringList reservedWords = rowsOf(reserved.out);
        QVERIFY(reservedWords.size() > 50);
        for (const QString &word : rowsOf(words.out))
            QVERIFY2(isPostgresReservedWord(word) == reservedWords.contains(word), qPrintable(word));
    }
};

QTEST_GUILESS_MAIN(ChecksTest)
#include "tst_checks.moc"
