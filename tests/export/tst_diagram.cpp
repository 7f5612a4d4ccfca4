// The diagrams: what each shows of the tables and relations, and the SVG
// Graphviz lays out from it, read back as XML and counted against the model.

#include "export/dictionary/diagram.h"
#include "export/dictionary/dictionary.h"
#include "export/dictionary/graphviz.h"
#include "model/impliedrelations.h"
#include "modelparts.h"
#include "reporttool.h"

#include <QDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace dictionary;
using modelparts::tableOf;

namespace {

model::RelationModel declared(const QString &child, const QString &childTag, const QString &parent,
                              const QString &parentTag)
{
    model::RelationModel r;
    r.childTable = child;
    r.childTag = childTag;
    r.parentTable = parent;
    r.parentTag = parentTag;
    r.onUpdate = QStringLiteral("cascade");
    r.onDelete = QStringLiteral("restrict");
    return r;
}

// "table: field type marks, …" for each box; "child.row -> parent.row [implied]" for each edge.
QStringList described(const Diagram &diagram)
{
    QStringList lines;
    for (const DiagramBox &box : diagram.boxes) {
        QStringList rows;
        for (const DiagramRow &row : box.rows) {
            QString marks = row.key ? (row.primary ? QStringLiteral(" PK") : QStringLiteral(" CK")) : QString();
            if (row.foreign)
                marks += QStringLiteral(" FK");
            rows.append(row.name + QLatin1Char(' ') + row.type + marks);
        }
        QString line = box.table + QStringLiteral(": ") + rows.join(QStringLiteral(", "));
        if (box.rowsLeftOut)
            line += QStringLiteral(" +%1").arg(box.rowsLeftOut);
        if (!box.related)
            line += QStringLiteral(" (unrelated)");
        lines.append(line);
    }
    for (const DiagramEdge &edge : diagram.edges) {
        const auto end = [&](qsizetype box, qsizetype row) {
            return diagram.boxes[box].table + QLatin1Char('.')
                + (row < 0 ? QStringLiteral("?") : diagram.boxes[box].rows[row].name);
        };
        lines.append(end(edge.child, edge.childRow) + QStringLiteral(" -> ") + end(edge.parent, edge.parentRow)
                     + (edge.implied ? QStringLiteral(" implied") : QString()));
    }
    return lines;
}

// A shop: orders declare their customer, lines only imply their order, a
// note table stands alone.
struct Shop {
    QList<model::TableModel> tables = {
        tableOf(QStringLiteral("customers: CUSTID C 6 [primary CUSTID], NAME C 30")),
        tableOf(QStringLiteral("orders: ORDID I 4 [primary ORDID], CUSTID C 6 [regular BYCUST=UPPER(CUSTID)], "
                               "TOTAL N 10.2")),
        tableOf(QStringLiteral("lines: ORDID I 4, QTY N 5")),
        tableOf(QStringLiteral("notes: TEXT M 4")),
    };
    QList<model::RelationModel> relations = {declared(QStringLiteral("orders"), QStringLiteral("BYCUST"),
                                                      QStringLiteral("customers"), QStringLiteral("CUSTID"))};

    DiagramTables diagramTables() const
    {
        DiagramTables kept;
        for (const model::TableModel &table : tables)
            kept.add(table);
        kept.relate(relations, model::impliedRelations(tables, relations));
        return kept;
    }
};

// What an SVG shows: its node groups' titles (their tooltips), its edges
// with whether each is dashed, and every text drawn.
struct SvgParts {
    bool wellFormed = false;
    QStringList boxes;
    QList<bool> dashedEdges;
    QStringList edgeTitles;
    QStringList texts;
};

SvgParts svgParts(const QByteArray &svg)
{
    SvgParts parts;
    QXmlStreamReader xml(svg);
    QString group;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        const QStringView name = xml.name();
        if (name == QLatin1String("g") && !attributes.value(QLatin1String("class")).isEmpty())
            group = attributes.value(QLatin1String("class")).toString();
        if (name == QLatin1String("a")) {
            const QString title = attributes.value(QLatin1String("http://www.w3.org/1999/xlink"), QLatin1String("title"))
                                      .toString();
            if (group == QLatin1String("node"))
                parts.boxes.append(title);
            else if (group == QLatin1String("edge"))
                parts.edgeTitles.append(title);
        }
        if (name == QLatin1String("path") && group == QLatin1String("edge"))
            parts.dashedEdges.append(!attributes.value(QLatin1String("stroke-dasharray")).isEmpty());
        if (name == QLatin1String("text"))
            parts.texts.append(xml.readElementText());
    }
    if (xml.hasError())
        qWarning("%s", qPrintable(xml.errorString()));
    parts.wellFormed = !xml.hasError();
    return parts;
}

} // namespace

class DiagramTest : public QObject {
    Q_OBJECT

private slots:
    void overviewOfAFewTables()
    {
        const Diagram diagram = Shop().diagramTables().overview();
        QCOMPARE(described(diagram),
                 (QStringList{
                     "customers: CUSTID C(6) PK, NAME C(30)",
                     "orders: ORDID I PK, CUSTID C(6) FK, TOTAL N(10,2)",
                     "lines: ORDID I FK, QTY N(5)",
                     "notes: TEXT M (unrelated)",
                     "orders.CUSTID -> customers.CUSTID",
                     "lines.ORDID -> orders.ORDID implied",
                 }));
        QVERIFY(diagram.groupUnrelated);
        QVERIFY(diagram.leftOut.isEmpty());
        QCOMPARE(diagram.edges[0].title, QStringLiteral("orders.CUSTID → customers.CUSTID (on update cascade, "
                                                        "on delete restrict)"));
        QCOMPARE(diagram.edges[1].label, QStringLiteral("implied: ORDID"));
    }

    // A relation may name its tables and tags in any case, as FoxPro compares them.
    void relationNamesInAnotherCase()
    {
        Shop shop;
        shop.relations = {declared(QStringLiteral("ORDERS"), QStringLiteral("bycust"), QStringLiteral("Customers"),
                                   QStringLiteral("CustId"))};
        const QStringList lines = described(shop.diagramTables().overview());
        QVERIFY2(lines.contains(QStringLiteral("orders.CUSTID -> customers.CUSTID")), qPrintable(lines.join(u'\n')));
    }

    // Past the number of tables whose every field the overview shows, only
    // the related tables stay, with their key and foreign-key fields; past the
    // most it draws, there is none.
    void overviewOfManyTables_data()
    {
        QTest::addColumn<int>("pairs"); // of related tables, besides one unrelated table each
        QTest::addColumn<int>("boxes");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("all shown") << int(OverviewAllTables / 4) << int(OverviewAllTables / 2) << true;
        QTest::newRow("related only") << int(OverviewAllTables) << int(OverviewAllTables) * 2 << true;
        QTest::newRow("too many") << int(OverviewMostTables / 2 + 1) << 0 << false;
    }
    void overviewOfManyTables()
    {
        QFETCH(int, pairs);
        QFETCH(int, boxes);
        QFETCH(bool, drawn);
        QList<model::TableModel> tables;
        QList<model::RelationModel> relations;
        for (int i = 0; i < pairs; ++i) {
            const QString n = QString::number(i);
            tables.append(tableOf(QStringLiteral("p%1: ID I 4 [primary ID], A C 9, B C 9").arg(n)));
            tables.append(tableOf(QStringLiteral("c%1: PID I 4 [regular PID], C C 9").arg(n)));
            tables.append(tableOf(QStringLiteral("u%1: X C 9").arg(n)));
            relations.append(declared(QStringLiteral("c") + n, QStringLiteral("PID"), QStringLiteral("p") + n,
                                      QStringLiteral("ID")));
        }
        DiagramTables kept;
        for (const model::TableModel &table : tables)
            kept.add(table);
        kept.relate(relations, {});
        const Diagram diagram = kept.overview();
        QCOMPARE(diagram.leftOut.isEmpty(), drawn);
        if (!drawn)
            return;
        const bool all = tables.size() <= OverviewAllTables;
        QCOMPARE(diagram.boxes.size(), all ? tables.size() : boxes);
        QCOMPARE(diagram.edges.size(), pairs);
        const QStringList lines = described(diagram);
        QCOMPARE(lines[0], all ? QStringLiteral("p0: ID I PK, A C(9), B C(9)") : QStringLiteral("p0: ID I PK +2"));
        QCOMPARE(lines[1], all ? QStringLiteral("c0: PID I FK, C C(9)") : QStringLiteral("c0: PID I FK +1"));
        QCOMPARE(lines.last(), QStringLiteral("c%1.PID -> p%1.ID").arg(pairs - 1));
    }

    // Past the tables whose every field is kept, an implied relation's child
    // field, untagged, still shows, marked, with its parent key's type.
    void impliedFieldsPastTheCap()
    {
        QList<model::TableModel> tables{tableOf(QStringLiteral("p: ID I 4 [primary ID]"))};
        for (int i = 0; i < OverviewAllTables; ++i)
            tables.append(tableOf(QStringLiteral("c%1: CID C 4, ID I 4").arg(i)));
        DiagramTables kept;
        for (const model::TableModel &table : tables)
            kept.add(table);
        kept.relate({}, model::impliedRelations(tables, {}));
        const QStringList lines = described(kept.overview());
        QCOMPARE(lines[1], QStringLiteral("c0: ID I FK +1"));
        QCOMPARE(lines.last(), QStringLiteral("c%1.ID -> p.ID implied").arg(OverviewAllTables - 1));
    }

    // Past the relations a diagram draws, neither the overview nor the
    // diagram of a table they reach is drawn, and each says why.
    void relationsPastTheMost_data()
    {
        QTest::addColumn<int>("relations");
        QTest::newRow("the most") << int(DiagramMostEdges);
        QTest::newRow("one more") << int(DiagramMostEdges + 1);
    }
    void relationsPastTheMost()
    {
        QFETCH(int, relations);
        const model::TableModel parent = tableOf(QStringLiteral("p: ID I 4 [primary ID]"));
        model::TableModel child = tableOf(QStringLiteral("c: X I 4"));
        QList<model::RelationModel> implied;
        for (int i = 0; i < relations; ++i) {
            child.fields.append(child.fields[0]);
            child.fields.last().name = QStringLiteral("x%1").arg(i);
            model::RelationModel relation;
            relation.childTable = QStringLiteral("c");
            relation.parentTable = QStringLiteral("p");
            relation.parentTag = QStringLiteral("ID");
            relation.declared = false;
            relation.childField = QStringLiteral("x%1").arg(i);
            implied.append(relation);
        }
        DiagramTables kept;
        kept.add(parent);
        kept.add(child);
        kept.relate({}, implied);
        const Diagram overview = kept.overview();
        const std::optional<Diagram> around = kept.around(child);
        QVERIFY(around);
        if (relations <= DiagramMostEdges) {
            QCOMPARE(overview.edges.size(), relations);
            QCOMPARE(around->edges.size(), relations);
            QVERIFY(overview.leftOut.isEmpty() && around->leftOut.isEmpty());
            return;
        }
        QCOMPARE(overview.leftOut, QStringLiteral("No overview: 501 relations, more than the 500 a diagram shows readably."));
        QCOMPARE(around->leftOut,
                 QStringLiteral("No diagram: 501 relations reach the table, more than the 500 a diagram shows readably."));
        QVERIFY(overview.boxes.isEmpty() && overview.edges.isEmpty());
        QVERIFY(around->boxes.isEmpty() && around->edges.isEmpty());
    }

    // The tables' own diagrams on a page draw so many relations together,
    // each within the most a diagram draws; past them a table's says why.
    void pageOfManyDiagrams()
    {
        constexpr int children = int(PageMostEdges / DiagramMostEdges) + 1;
        model::SourceModel source;
        source.path = QStringLiteral("many");
        source.tables.append(tableOf(QStringLiteral("p: ID I 4 [primary ID]")));
        for (int c = 0; c < children; ++c) {
            model::TableModel child = tableOf(QStringLiteral("c%1: X I 4").arg(c));
            for (int i = 0; i < DiagramMostEdges; ++i) {
                child.fields.append(child.fields[0]);
                child.fields.last().name = QStringLiteral("x%1").arg(i);
                model::RelationModel relation;
                relation.childTable = child.name;
                relation.parentTable = QStringLiteral("p");
                relation.parentTag = QStringLiteral("ID");
                relation.declared = false;
                relation.childField = child.fields.last().name;
                source.impliedRelations.append(relation);
            }
            source.tables.append(child);
        }
        const QByteArray page = htmlDictionary(source);
        QCOMPARE(page.count("<svg"), children - 1);
        QCOMPARE(page.count("No diagram: the tables before it have drawn the 5000 relations a page&#39;s diagrams "
                            "draw."),
                 1);
        QVERIFY(page.indexOf("No diagram: the tables before it") > page.indexOf("id=\"table-" + QByteArray::number(children + 1) + "-c"));
    }

    void aTableWithItsNeighbours()
    {
        const Shop shop;
        const DiagramTables kept = shop.diagramTables();
        QCOMPARE(described(*kept.around(shop.tables[1])),
                 (QStringList{
                     "orders: ORDID I PK, CUSTID C(6) FK, TOTAL N(10,2)",
                     "customers: CUSTID C(6) PK +1",
                     "lines: ORDID I FK +1",
                     "orders.CUSTID -> customers.CUSTID",
                     "lines.ORDID -> orders.ORDID implied",
                 }));
        QVERIFY(!kept.around(shop.tables[3])); // no relation reaches the notes
    }

    // The SVG is XML, with one box a table and one edge a relation, the
    // implied ones dashed, and text from the files drawn as it is.
    void svgCountsTheModel()
    {
        Shop shop;
        const QString hostile = QStringLiteral("a<b>&\"c\\N]]>-- &#1; &#xD800;x &amp; ") + QChar(0xD800);
        shop.tables[3].name = hostile;
        shop.tables[3].fields[0].name = QStringLiteral("x</TD></TR></TABLE>>];y");
        const Diagram diagram = shop.diagramTables().overview();
        const QByteArray svg = graphvizSvg(dotSource(diagram, "d1"));
        const SvgParts parts = svgParts(svg);
        QVERIFY(parts.wellFormed);
        // Shown as it is, but for the lone surrogate, which no XML holds.
        const QString shown = QString(hostile).replace(QChar(0xD800), QChar(0xFFFD));
        QCOMPARE(parts.boxes, (QStringList{"customers", "orders", "lines", shown}));
        QCOMPARE(parts.dashedEdges, (QList<bool>{false, true}));
        QCOMPARE(parts.edgeTitles[0], diagram.edges[0].title);
        QVERIFY(parts.texts.contains(shown));
        QVERIFY(parts.texts.contains(QStringLiteral("x</TD></TR></TABLE>>];y")));
        QVERIFY(parts.texts.contains(QStringLiteral("Tables without relations")));
        QVERIFY(!inlineSvg(svg).startsWith("<?xml"));
        QVERIFY(inlineSvg(svg).startsWith("<svg"));
    }

    void linksLeadToSections()
    {
        const QByteArray svg = graphvizSvg(dotSource(Shop().diagramTables().overview(), "d2",
                                                     [](const DiagramBox &box) { return "#table-" + box.table.toStdString(); }));
        QXmlStreamReader xml(svg);
        QStringList links;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("a"))
                links.append(xml.attributes().value(QLatin1String("http://www.w3.org/1999/xlink"), QLatin1String("href")).toString());
        }
        QVERIFY(!xml.hasError());
        links.removeAll(QString());
        QCOMPARE(links, (QStringList{"#table-customers", "#table-orders", "#table-lines", "#table-notes"}));
    }

    // The HTML page: the overview and a diagram in each related table's
    // section, every id once, every box leading to its table's section, the
    // implied relation listed apart.
    void htmlPageDrawsItsTables()
    {
        const Shop shop;
        model::SourceModel source;
        source.path = QStringLiteral("shop");
        source.tables = shop.tables;
        source.relations = shop.relations;
        source.impliedRelations = model::impliedRelations(shop.tables, shop.relations);
        const QByteArray page = htmlDictionary(source);
        QXmlStreamReader xml(page);
        QStringList ids;
        QStringList links;
        int drawings = 0;
        QString sectionOfDrawing;
        QStringList drawnIn;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (attributes.hasAttribute(QLatin1String("id")))
                ids.append(attributes.value(QLatin1String("id")).toString());
            if (xml.name() == QLatin1String("section"))
                sectionOfDrawing = attributes.value(QLatin1String("id")).toString();
            if (xml.name() == QLatin1String("svg")) {
                ++drawings;
                drawnIn.append(sectionOfDrawing);
            }
            const QString link = attributes.value(QLatin1String("http://www.w3.org/1999/xlink"), QLatin1String("href"))
                                     .toString();
            if (!link.isEmpty())
                links.append(link);
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(QSet<QString>(ids.cbegin(), ids.cend()).size(), ids.size());
        for (const QString &link : std::as_const(links))
            QVERIFY2(link.startsWith(QLatin1Char('#')) && ids.contains(link.mid(1)), qPrintable(link));
        QCOMPARE(drawnIn, (QStringList{"diagram", "table-1-customers", "table-2-orders", "table-3-lines"}));
        QCOMPARE(drawings, 4);
        QCOMPARE(page.count("<h4>Implied relations</h4>"), 2); // the parent's section and the child's
        QVERIFY(page.contains("<a href=\"#diagram\">Diagram</a>"));

        const QByteArray markdown = markdownDictionary(source);
        QCOMPARE(markdown.count("```mermaid\n"), 1);
        QVERIFY(markdown.contains("- [Diagram](#diagram)"));
        QVERIFY(!markdown.contains("        orders ||--o{ lines : \"implied: ORDID\""));
        QVERIFY(markdown.contains("        orders ||..o{ lines : \"implied: ORDID\""));
    }

    void refusedSourceIsAFailure()
    {
        QVERIFY_THROWS_EXCEPTION(Failure, graphvizSvg("digraph { a -> }"));
    }

    // Northwind's container: a box for each of its tables and an edge for
    // each relation it declares; its tables read as free tables: the
    // relations they imply, dashed.
    void northwindThroughTheCommand_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("dashed");
        QTest::newRow("container") << QStringLiteral("Northwind/northwind.dbc") << false;
        QTest::newRow("free tables") << QStringLiteral("Northwind") << true;
    }
    void northwindThroughTheCommand()
    {
        QFETCH(QString, source);
        QFETCH(bool, dashed);
        const QString path = QStringLiteral(ORVALLE_FIXTURES_DIR "/VFPX__Samples/") + source;
        if (!QFileInfo::exists(path))
            QSKIP("the fixtures are not here");
        const model::SourceModel model = model::readSourceModel(path);
        const ToolOutcome outcome = runProgram(reportTool(), {"--format", "svg", path});
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        const SvgParts parts = svgParts(outcome.out);
        QVERIFY(parts.wellFormed);
        QCOMPARE(parts.boxes.size(), model.tables.size());
        QCOMPARE(parts.dashedEdges.size(), model.relations.size() + model.impliedRelations.size());
        QCOMPARE(parts.dashedEdges.count(true), model.impliedRelations.size());
        QCOMPARE(parts.dashedEdges.count(true) > 0, dashed);
    }
};

QTEST_GUILESS_MAIN(DiagramTest)
#include "tst_diagram.moc"
