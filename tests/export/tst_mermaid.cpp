// The Mermaid block of the Markdown dictionary: names Mermaid cannot take
// made into ones it can, by rows written from its grammar; and every block
// the dictionary writes, of hostile names and of every real source, read by
// Mermaid's own parser (tests/mermaid, installed from the npm registry).

#include "export/dictionary/diagram.h"
#include "export/dictionary/dictionary.h"
#include "fixturesources.h"
#include "modelparts.h"
#include "reporttool.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace dictionary;

namespace {

const QString checker = QStringLiteral(ORVALLE_SOURCE_DIR "/tests/mermaid/check.mjs");

// A diagram of one box named `table` with one row, related to itself when
// `label` is given.
Diagram oneBox(const QString &table, const QString &field, const QString &type, const QString &label = {})
{
    Diagram diagram;
    DiagramBox box;
    box.table = table;
    box.rows.append({field, type, true, true, false});
    diagram.boxes.append(box);
    if (!label.isNull())
        diagram.edges.append({0, 0, 0, 0, false, label, QString()});
    return diagram;
}

// Tables and fields named as badly as files can name them, related declared
// and implied.
model::SourceModel hostileSource()
{
    const QStringList names = {
        QStringLiteral("end"),           QStringLiteral("1abc"),          QStringLiteral("a b"),
        QStringLiteral("x\"y"),          QStringLiteral("%%{init: {}}%%"), QStringLiteral("direction LR"),
        QStringLiteral("accDescr {"),    QStringLiteral("日本語"),          QString(),
        QStringLiteral("dbo.orders"),    QStringLiteral("PK"),            QStringLiteral("a_b"),
        QStringLiteral("a-b"),           QStringLiteral("line\nbreak"),   QStringLiteral("```"),
        QStringLiteral("~x~ <a x=\"1\">"), QStringLiteral("back\\slash"),   QStringLiteral("50% off="),
        QStringLiteral("lone ") + QChar(0xD800) + QStringLiteral("P"),
    };
    model::SourceModel source;
    source.path = QStringLiteral("hostile");
    for (qsizetype i = 0; i < names.size(); ++i) {
        model::TableModel table = modelparts::tableOf(QStringLiteral("t: ID I 4 [primary ID], REF C 8"));
        table.name = names[i];
        table.file = QStringLiteral("t%1.dbf").arg(i);
        table.fields[1].name = names[(i + 1) % names.size()];
        table.fields[1].typeName = QStringLiteral("N(10,2) \"x\" %%");
        source.tables.append(table);
        if (i > 0) {
            model::RelationModel relation;
            relation.parentTable = names[i - 1];
            relation.parentTag = QStringLiteral("ID");
            relation.childTable = names[i];
            relation.childTag = names[(i + 2) % names.size()];
            source.relations.append(relation);
        }
    }
    // Every table keyed on ID, and one field of each spelled like another's key.
    model::RelationModel implied = source.relations[0];
    implied.declared = false;
    implied.childField = QStringLiteral("%%{x}%% \"~~\"");
    source.impliedRelations.append(implied);
    return source;
}

} // namespace

class MermaidTest : public QObject {
    Q_OBJECT

private slots:
    void namesMermaidTakes_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("expected"); // the block's lines, without their indent
        QTest::newRow("plain") << "orders" << "id" << "Integer" << QString()
                               << QStringList{"erDiagram", "orders[\"orders\"] {", "Integer id PK", "}"};
        QTest::newRow("a word of Mermaid's, quotes in the label")
            << "End" << "x" << "Character(4)" << "a \"b\""
            << QStringList{"erDiagram", "End_[\"End\"] {", "Character(4) x PK", "}",
                           "End_ ||--o{ End_ : \"a 'b'\""};
        QTest::newRow("a digit first, spaces, an accent")
            << "1 Café" << "größe" << "N(10,2)" << QString()
            << QStringList{"erDiagram", "t_1_Cafe[\"1 Café\"] {", "N(10_2) gro_e PK \"größe\"", "}"};
        QTest::newRow("a key word as a field, percent and backslash in the name")
            << "50%\\x" << "pk" << "pk(1)" << "%%{init}%% ~x~"
            << QStringList{"erDiagram", "t_50_x[\"50％＼x\"] {", "_pk(1) _pk PK \"pk\"", "}",
                           "t_50_x ||--o{ t_50_x : \"%{init}% ∼x∼\""};
        QTest::newRow("a direction statement and a tag's attribute")
            << "direction LR" << "_" << "x=" << "a=\"b\" direction tb="
            << QStringList{"erDiagram", "direction_LR[\"direction_LR\"] {", "x_ _ PK", "}",
                           "direction_LR ||--o{ direction_LR : \"a='b' direction_tb= \""};
        QTest::newRow("nothing ASCII, nothing at all")
            << "日本" << "" << "" << QString()
            << QStringList{"erDiagram", "table[\"日本\"] {", "_ _ PK \"\"", "}"};
    }
    void namesMermaidTakes()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QString, type);
        QFETCH(QString, label);
        QFETCH(QStringList, expected);
        QStringList lines;
        for (const QString &line : QString::fromUtf8(mermaidSource(oneBox(table, field, type, label))).split(u'\n'))
            lines.append(line.trimmed());
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines, expected);
    }

    // Tables with one name but for case, or made alike, keep identifiers of their own.
    void identifiersStayDistinct()
    {
        Diagram diagram;
        for (const QString &name : {QStringLiteral("a_b"), QStringLiteral("a-b"), QStringLiteral("A B")}) {
            DiagramBox box;
            box.table = name;
            diagram.boxes.append(box);
        }
        const QString source = QString::fromUtf8(mermaidSource(diagram));
        QVERIFY2(source.contains(QLatin1String("a_b[\"a_b\"]")), qPrintable(source));
        QVERIFY2(source.contains(QLatin1String("a_b_2[\"a-b\"]")), qPrintable(source));
        QVERIFY2(source.contains(QLatin1String("A_B_3[\"A B\"]")), qPrintable(source));
    }

    void tooLargeForMermaid()
    {
        Diagram diagram;
        for (int i = 0; i < 400; ++i) {
            DiagramBox box;
            box.table = QStringLiteral("table%1").arg(i);
            box.rows.append({QStringLiteral("id"), QStringLiteral("Integer"), true, true, false});
            for (int f = 0; f < 20; ++f)
                box.rows.append({QStringLiteral("field%1").arg(f), QStringLiteral("Character(40)"), false, false, false});
            diagram.boxes.append(box);
        }
        // Past the size Mermaid draws, only the keys stay.
        const QByteArray keysOnly = mermaidSource(diagram);
        QVERIFY(!keysOnly.isEmpty());
        QVERIFY(keysOnly.size() <= MermaidMostCharacters);
        QVERIFY(!keysOnly.contains("field0"));
        QVERIFY(keysOnly.contains("Integer id PK"));
        for (int i = 400; i < 2000; ++i) {
            DiagramBox box;
            box.table = QStringLiteral("table%1").arg(i);
            box.rows.append({QStringLiteral("id"), QStringLiteral("Integer"), true, true, false});
            diagram.boxes.append(box);
        }
        QCOMPARE(mermaidSource(diagram), QByteArray());
    }

    // Every block read by Mermaid itself, as the fixtures, the sample
    // database and the hostile names write it; and the checker catches a
    // block Mermaid misreads.
    void mermaidReadsEveryBlock()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty()
            || !QDir(QStringLiteral(ORVALLE_SOURCE_DIR "/tests/mermaid/node_modules/mermaid")).exists())
            QSKIP("Mermaid's parser is not installed: npm ci --prefix tests/mermaid");
        QTemporaryDir folder;
        QStringList files;
        const auto write = [&](const QString &name, const QByteArray &document) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(document);
            files.append(file.fileName());
        };
        write(QStringLiteral("hostile.md"), markdownDictionary(hostileSource()));
        QVERIFY(markdownDictionary(hostileSource()).contains("```mermaid"));
        QStringList sources = fixtureSources(QStringLiteral(ORVALLE_FIXTURES_DIR));
        sources.append(QStringLiteral(ORVALLE_SOURCE_DIR "/assets/Samples"));
        int drawn = 0;
        for (const QString &path : std::as_const(sources)) {
            model::SourceModel source;
            try {
                source = model::readSourceModel(path);
            } catch (const Failure &) {
                continue; // a container the reader refuses
            }
            const QByteArray document = markdownDictionary(source);
            drawn += document.contains("```mermaid");
            write(QStringLiteral("source%1.md").arg(files.size()), document);
        }
        const ToolOutcome good = runProgram(QStringLiteral("node"), QStringList{checker} + files);
        QVERIFY2(good.exitCode == 0, good.err.constData());

        const QByteArray misread = "```mermaid\n    erDiagram\n        MY TABLE[\"x\"] {\n            int id\n"
                                   "        }\n```\n";
        files = {};
        write(QStringLiteral("misread.md"), misread);
        const ToolOutcome bad = runProgram(QStringLiteral("node"), {checker, files.first()});
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.err.contains("FAIL"));
        if (QDir(QStringLiteral(ORVALLE_FIXTURES_DIR)).exists())
            QVERIFY(drawn > 5);
    }
};

QTEST_GUILESS_MAIN(MermaidTest)
#include "tst_mermaid.moc"
