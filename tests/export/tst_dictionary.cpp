#include "controlcharacters.h"
#include "fixturesources.h"
#include "golden.h"
#include "modelparts.h"
#include "export/dictionary/dictionary.h"
#include "export/dictionary/dictionarytext.h"
#include "xbasewriter.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <functional>

using namespace dictionary;
using model::FieldModel;
using model::IndexModel;
using model::SourceModel;
using model::TableModel;
using model::TagKind;

Q_DECLARE_METATYPE(model::SourceModel)
Q_DECLARE_METATYPE(dictionary::DictionaryFormat)

namespace {

// A whole document written by hand in tests/export/data.
QByteArray golden(const QString &name)
{
    return goldenFile(QStringLiteral(ORVALLE_TEST_DATA_DIR "/") + name, {});
}

const QString schemaFile = QStringLiteral(ORVALLE_DICTIONARY_SCHEMA);
const QString python = QStringLiteral("/usr/bin/python3");
const QChar replacement(QChar::ReplacementCharacter);

using modelparts::field;
using modelparts::tag;

TableModel table(const QString &name, const QString &file)
{
    TableModel t;
    t.name = name;
    t.file = file;
    t.dialect = QStringLiteral("Visual FoxPro");
    t.version = 0x30;
    t.codePageMark = 0x03;
    t.codePage = QStringLiteral("1252 (Windows ANSI)");
    t.headerLength = 296;
    t.recordLength = 20;
    t.lastUpdate = QDate(2024, 1, 5);
    t.indexesKnown = true;
    return t;
}

// Names a table could carry that mean something to each format.
const QString scriptName = QStringLiteral("<script>alert('x')</script>");
QString russianWithBreakAndBell()
{
    return QStringLiteral("Заказы\r\n") + QChar(0x07) + QStringLiteral("итог");
}

// Free tables: case twins, a table without a date or memo, hostile names.
SourceModel folderSource()
{
    SourceModel source;
    source.kind = SourceModel::Kind::Folder;
    source.path = QStringLiteral("/srv/shop data");

    TableModel customers = table(QStringLiteral("customers"), QStringLiteral("customers.dbf"));
    customers.recordCount = 91;
    customers.memo = model::MemoModel{QStringLiteral("customers.fpt"), 64, true};
    customers.fields.append(field(1, QStringLiteral("custid"), 'C', QStringLiteral("Character"), 5));
    FieldModel pipe = field(2, QStringLiteral("a|b"), 'C', QStringLiteral("Character"), 10);
    pipe.nullable = true;
    pipe.defaultValue = QStringLiteral("\"x|y\"");
    pipe.caption = QStringLiteral("<script>alert(1)</script>");
    pipe.comment = QStringLiteral("first line\nsecond | line");
    customers.fields.append(pipe);
    FieldModel id = field(3, QStringLiteral("id"), 'I', QStringLiteral("Integer"), 4);
    id.autoIncrement = true;
    id.nextValue = 17;
    id.step = 2;
    customers.fields.append(id);
    FieldModel notes = field(4, QStringLiteral("notes"), 'M', QStringLiteral("Memo"), 4);
    notes.binary = true;
    customers.fields.append(notes);
    customers.indexes = {tag(QStringLiteral("CUSTID"), TagKind::Candidate, QStringLiteral("custid")),
                         tag(QStringLiteral("NAMES"), TagKind::Unique, QStringLiteral("UPPER(name)"),
                               QStringLiteral("!DELETED()"), true, QStringLiteral("GENERAL")),
                         tag(QStringLiteral("ID"), TagKind::Regular, QStringLiteral("id"))};
    source.tables.append(customers);

    TableModel twin = table(QStringLiteral("Customers"), QStringLiteral("Customers.DBF"));
    twin.dialect = QStringLiteral("FoxPro 2.x");
    twin.version = 0xF5;
    twin.codePageMark = 0;
    twin.codePage.clear();
    twin.lastUpdate.reset();
    twin.memo = model::MemoModel{QStringLiteral("Customers.FPT"), 0, false};
    twin.indexesKnown = false;
    twin.fields.append(field(1, QStringLiteral("name"), 'C', QStringLiteral("Character"), 30));
    source.tables.append(twin);

    TableModel script = table(scriptName, QStringLiteral("script.dbf"));
    script.comment = QStringLiteral("Made by <b>hand</b> & \"kept\"");
    script.fields.append(field(1, QStringLiteral("\"quote\""), 'C', QStringLiteral("Character"), 8));
    script.fields.append(field(2, QStringLiteral("顧客番号"), 'N', QStringLiteral("Numeric"), 8, 2));
    source.tables.append(script);

    TableModel russian = table(russianWithBreakAndBell(), QStringLiteral("zakazy.dbf"));
    russian.codePageMark = 0xC9;
    russian.codePage = QStringLiteral("1251 (Russian Windows)");
    FieldModel odd = field(1, QStringLiteral("odd"), '\x01', QString(), 1);
    odd.comment = QStringLiteral("lone ") + QChar(0xD800) + QStringLiteral(" surrogate, fox ") + QString::fromUtf8("🦊");
    russian.fields.append(odd);
    source.tables.append(russian);

    source.findings = {{model::Severity::Warning, QStringLiteral("Customers"),
                        QStringLiteral("The memo file Customers.FPT is missing.")},
                       {model::Severity::Error, QStringLiteral("broken.dbf"),
                        QStringLiteral("Not a table: the header is shorter than 32 bytes.")}};
    return source;
}

const QString salesSql = QStringLiteral("SELECT o.customer, SUM(l.qty) AS `qty|total`\r\n"
                                        "FROM orders o JOIN order_lines l ON l.order_id = o.order_id\r\n"
                                        "````\r\n"
                                        "GROUP BY 1");

// A container with every kind of fact its files can state.
SourceModel containerSource()
{
    SourceModel source;
    source.kind = SourceModel::Kind::Container;
    source.path = QStringLiteral("/srv/shop/shop.dbc");
    source.comment = QStringLiteral("Shop | *orders* & <lines>");
    source.codePageMark = 0x03;

    TableModel orders = table(QStringLiteral("orders"), QStringLiteral("orders.dbf"));
    orders.recordCount = 830;
    orders.memo = model::MemoModel{QStringLiteral("orders.fpt"), 64, true};
    orders.comment = QStringLiteral("One row per order");
    orders.rule = QStringLiteral("placed <= DATETIME()");
    orders.ruleText = QStringLiteral("\"An order cannot be placed in the future.\"");
    orders.insertTrigger = QStringLiteral("__ri_insert_orders()");
    orders.updateTrigger = QStringLiteral("__ri_update_orders()");
    orders.deleteTrigger = QStringLiteral("__ri_delete_orders()");
    orders.primaryKey = QStringLiteral("order_id");
    FieldModel orderId = field(1, QStringLiteral("order_id"), 'I', QStringLiteral("Integer"), 4);
    orderId.autoIncrement = true;
    orderId.nextValue = 1001;
    orderId.step = 1;
    orders.fields.append(orderId);
    FieldModel customer = field(2, QStringLiteral("customer_name"), 'C', QStringLiteral("Character"), 40);
    customer.shortName = QStringLiteral("CUSTOMER_N");
    customer.nullable = true;
    customer.caption = QStringLiteral("Customer");
    customer.comment = QStringLiteral("Who ordered");
    orders.fields.append(customer);
    FieldModel placed = field(3, QStringLiteral("placed"), 'T', QStringLiteral("DateTime"), 8);
    placed.defaultValue = QStringLiteral("DATETIME()");
    orders.fields.append(placed);
    FieldModel total = field(4, QStringLiteral("total"), 'Y', QStringLiteral("Currency"), 8, 4);
    total.rule = QStringLiteral("total >= 0");
    total.ruleText = QStringLiteral("\"The total cannot be negative.\"");
    total.format = QStringLiteral("$");
    total.inputMask = QStringLiteral("999,999.9999");
    orders.fields.append(total);
    orders.indexes = {tag(QStringLiteral("ORDER_ID"), TagKind::Primary, QStringLiteral("order_id")),
                      tag(QStringLiteral("REF"), TagKind::Candidate, QStringLiteral("STR(order_id)"),
                            QStringLiteral("!DELETED()")),
                      tag(QStringLiteral("CUSTOMER"), TagKind::Unique, QStringLiteral("customer_name")),
                      tag(QStringLiteral("PLACED"), TagKind::Regular, QStringLiteral("placed"), QString(), true)};
    source.tables.append(orders);

    TableModel lines = table(QStringLiteral("order_lines"), QStringLiteral("orditems.dbf"));
    lines.recordCount = 2155;
    lines.fields = {field(1, QStringLiteral("order_id"), 'I', QStringLiteral("Integer"), 4),
                    field(2, QStringLiteral("product"), 'C', QStringLiteral("Character"), 10),
                    field(3, QStringLiteral("qty"), 'N', QStringLiteral("Numeric"), 6)};
    lines.indexes = {tag(QStringLiteral("ORDER_ID"), TagKind::Regular, QStringLiteral("order_id"))};
    source.tables.append(lines);

    source.relations = {
        {QStringLiteral("orders"), QStringLiteral("ORDER_ID"), QStringLiteral("order_lines"),
         QStringLiteral("ORDER_ID"), QStringLiteral("cascade"), QStringLiteral("restrict"), QStringLiteral("ignore"),
         true, QString()},
        {QStringLiteral("ORDERS"), QStringLiteral("ORDER_ID"), QStringLiteral("returns"), QStringLiteral("ORDER_ID"),
         QString(), QString(), QString(), true, QString()},
    };

    model::ViewModel sales;
    sales.name = QStringLiteral("sales | summary");
    sales.sql = salesSql;
    sales.comment = QStringLiteral("Sales per customer");
    sales.fields = {{QStringLiteral("customer"), QStringLiteral("C(40)"), QString()},
                    {QStringLiteral("qty|total"), QStringLiteral("N(20,0)"), QStringLiteral("Quantity | sum")}};
    source.views.append(sales);
    model::ViewModel remote;
    remote.name = QStringLiteral("remote_orders");
    remote.remote = true;
    remote.connection = QStringLiteral("erp<prod>");
    source.views.append(remote);

    source.findings = {{model::Severity::Warning, QStringLiteral("orders"),
                        QStringLiteral("The tag CUSTOMER is unique: FoxPro keeps the first record of each key.")},
                       {model::Severity::Error, QString(),
                        QStringLiteral("The memo of record 12 of shop.dct points past the end of the file.")}};
    return source;
}

// One free table, small enough to write its whole dictionary by hand.
SourceModel smallSource()
{
    SourceModel source;
    source.path = QStringLiteral("/data/tiny");
    TableModel items = table(QStringLiteral("items"), QStringLiteral("items.dbf"));
    items.dialect = QStringLiteral("FoxPro 2.x");
    items.version = 0xF5;
    items.codePageMark = 0x01;
    items.codePage = QStringLiteral("437 (U.S. MS-DOS)");
    items.recordCount = 3;
    items.lastUpdate = QDate(2023, 11, 30);
    items.fields = {field(1, QStringLiteral("code"), 'C', QStringLiteral("Character"), 6),
                    field(2, QStringLiteral("price"), 'N', QStringLiteral("Numeric"), 8, 2)};
    items.indexes = {tag(QStringLiteral("CODE"), TagKind::Regular, QStringLiteral("code"))};
    source.tables.append(items);
    source.findings = {{model::Severity::Warning, QStringLiteral("items"),
                        QStringLiteral("The header's record count is larger than the file holds.")}};
    return source;
}

// One table "t" with one field whose name, caption and comment are the text.
SourceModel oneFieldSource(const QString &text)
{
    SourceModel source;
    source.path = QStringLiteral("/data");
    TableModel t = table(QStringLiteral("t"), QStringLiteral("t.dbf"));
    FieldModel f = field(1, text, 'C', QStringLiteral("Character"), 10);
    f.caption = text;
    f.comment = text;
    t.fields.append(f);
    source.tables.append(t);
    return source;
}

QString markdown(const SourceModel &source)
{
    return QString::fromUtf8(markdownDictionary(source));
}

QString html(const SourceModel &source)
{
    return QString::fromUtf8(htmlDictionary(source));
}

// The line after the first table's separator row: its first data row.
QString firstRowAfter(const QString &document, const QString &separator)
{
    const QStringList lines = document.split(QLatin1Char('\n'));
    const qsizetype at = lines.indexOf(separator);
    return at >= 0 && at + 1 < lines.size() ? lines.at(at + 1) : QString();
}

// Pipes that separate Markdown table cells: those no backslash escapes.
int cellPipes(const QString &line)
{
    int pipes = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('\\'))
            ++i;
        else if (line.at(i) == QLatin1Char('|'))
            ++pipes;
    }
    return pipes;
}

// An element of the page as an XML parser reads it.
struct Node {
    QString name; // empty for text
    QMap<QString, QString> attributes;
    QString text;
    QList<Node> children;

    QString attribute(const char *attributeName) const { return attributes.value(QLatin1String(attributeName)); }
    bool hasClass(const char *className) const
    {
        return attribute("class").split(QLatin1Char(' ')).contains(QLatin1String(className));
    }
    // The text a reader sees, a <br /> as a line break.
    QString textContent() const
    {
        if (name.isEmpty())
            return text;
        if (name == QLatin1String("br"))
            return QStringLiteral("\n");
        QString all;
        for (const Node &child : children)
            all += child.textContent();
        return all;
    }
    void visit(const std::function<void(const Node &)> &see) const
    {
        see(*this);
        for (const Node &child : children)
            child.visit(see);
    }
    QList<const Node *> all(const std::function<bool(const Node &)> &wanted) const
    {
        QList<const Node *> found;
        visit([&](const Node &node) {
            if (wanted(node))
                found.append(&node);
        });
        return found;
    }
    QList<const Node *> elements(const char *elementName) const
    {
        return all([&](const Node &node) { return node.name == QLatin1String(elementName); });
    }
};

Node readElement(QXmlStreamReader &xml)
{
    Node node;
    node.name = xml.name().toString();
    for (const QXmlStreamAttribute &attribute : xml.attributes())
        node.attributes.insert(attribute.qualifiedName().toString(), attribute.value().toString());
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            node.children.append(readElement(xml));
        } else if (xml.isCharacters()) {
            Node text;
            text.text = xml.text().toString();
            node.children.append(text);
        } else if (xml.isEndElement()) {
            break;
        }
    }
    return node;
}

// The whole page read by an XML parser; the error it met, if any.
Node parsePage(const QByteArray &page, QString *error)
{
    QXmlStreamReader xml(page);
    Node root;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            root = readElement(xml);
    }
    *error = xml.hasError() ? QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString())
                            : firstControlCharacter(page);
    return root;
}

const Node *sectionWithId(const Node &root, const QString &id)
{
    const auto found = root.all([&](const Node &node) { return node.attribute("id") == id; });
    return found.size() == 1 ? found.first() : nullptr;
}

QString headingOf(const Node &section)
{
    const auto headings = section.elements("h3");
    return headings.isEmpty() ? QString() : headings.first()->textContent();
}

QStringList keysOf(const QJsonObject &object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

QStringList sorted(QStringList keys)
{
    keys.sort();
    return keys;
}

struct Validation {
    int exitCode = -1;
    QString output;
};

// Checks the document against the shipped schema with Python's jsonschema
// (format "date" checked too), after checking the schema itself.
Validation validate(const QByteArray &document)
{
    static const char *const script = R"(
import json, sys, jsonschema
with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
document = json.loads(sys.stdin.buffer.read().decode("utf-8"))
validator = jsonschema.Draft202012Validator(schema, format_checker=jsonschema.FormatChecker())
errors = sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path))
for e in errors:
    print("/".join(str(p) for p in e.absolute_path), e.message)
sys.exit(1 if errors else 0)
)";
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(python, {QStringLiteral("-c"), QString::fromLatin1(script), schemaFile});
    process.write(document);
    process.closeWriteChannel();
    Validation result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

bool pythonHasJsonSchema()
{
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QStringLiteral("import jsonschema")});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The value with the member at path ("tables/0/name") replaced, or removed.
QJsonValue changed(const QJsonValue &value, QStringList path, const QJsonValue &replacement, bool remove)
{
    const QString step = path.takeFirst();
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        const int at = step.toInt();
        array[at] = path.isEmpty() ? replacement : changed(array[at], path, replacement, remove);
        return array;
    }
    QJsonObject object = value.toObject();
    if (path.isEmpty() && remove)
        object.remove(step);
    else
        object[step] = path.isEmpty() ? replacement : changed(object[step], path, replacement, remove);
    return object;
}

// Whatever the files hold, every line is one the writer began (text from the
// files starts none), every row of a table has its table's cells, and every
// link of the contents leads to one anchor.
void checkMarkdownShape(const SourceModel &source)
{
    const QString document = markdown(source);
    const QStringList lines = document.split(QLatin1Char('\n'));
    const QStringList starts = {"# ", "## ", "### ", "#### ", "**", "- ", "  - ", "| ", "No "};
    QString fence;
    int tableCells = -1;
    for (const QString &line : lines) {
        if (!fence.isEmpty()) {
            // As CommonMark reads it: backticks alone, at least as many as opened it.
            static const QRegularExpression closing(QStringLiteral("^ {0,3}(`+) *$"));
            const auto match = closing.match(line);
            if (match.hasMatch() && match.capturedLength(1) >= fence.size())
                fence.clear();
            continue;
        }
        if (line.startsWith(QLatin1String("```"))) {
            static const QRegularExpression opening(QStringLiteral("^(`{3,})(sql|mermaid)$"));
            const auto match = opening.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            fence = match.captured(1);
            continue;
        }
        if (line.startsWith(QLatin1Char('|'))) {
            if (tableCells < 0)
                tableCells = cellPipes(line);
            QVERIFY2(cellPipes(line) == tableCells, qPrintable(line));
        } else {
            tableCells = -1;
        }
        QVERIFY2(line.isEmpty() || line.startsWith(QLatin1Char('|'))
                     || std::any_of(starts.cbegin(), starts.cend(), [&](const QString &s) { return line.startsWith(s); }),
                 qPrintable(line));
        QVERIFY2(!line.contains(QLatin1String("<script")), qPrintable(line));
    }
    QVERIFY(fence.isEmpty());

    static const QRegularExpression anchor(QStringLiteral("<a id=\"([^\"]+)\"></a>"));
    static const QRegularExpression target(QStringLiteral("\\]\\(#([^)]+)\\)"));
    QSet<QString> ids;
    for (const auto &match : anchor.globalMatch(document)) {
        QVERIFY2(!ids.contains(match.captured(1)), qPrintable(match.captured(1)));
        ids.insert(match.captured(1));
    }
    const bool diagram = !source.relations.isEmpty() || !source.impliedRelations.isEmpty();
    QCOMPARE(ids.size(),
             3 + diagram + source.tables.size() + (source.views.isEmpty() ? 0 : 1 + source.views.size()));
    for (const auto &match : target.globalMatch(document))
        QVERIFY2(ids.contains(match.captured(1)), qPrintable(match.captured(1)));
}

// Read by an XML parser without error, one page that runs and fetches
// nothing, every link leading to one place of it, every table and view in
// its contents.
void checkPageShape(const SourceModel &source)
{
    QString error;
    const Node root = parsePage(htmlDictionary(source), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(root.name, QStringLiteral("html"));
    QCOMPARE(root.attribute("lang"), QStringLiteral("en"));
    const auto metas = root.elements("meta");
    QVERIFY(std::any_of(metas.cbegin(), metas.cend(),
                        [](const Node *meta) { return meta->attribute("charset") == QLatin1String("utf-8"); }));
    QCOMPARE(root.elements("head").size(), 1);
    QCOMPARE(root.elements("head").first()->elements("title").size(), 1);
    QCOMPARE(root.elements("title").first()->textContent(),
             QStringLiteral("Data dictionary of ") + source.path);

    // Nothing runs and nothing is fetched: only these elements and attributes.
    const QSet<QString> elements = {"html", "head", "meta", "title", "style", "body", "header", "h1", "h2", "h3",
                                    "h4", "p", "strong", "nav", "ul", "li", "a", "main", "section", "dl", "div",
                                    "dt", "dd", "table", "thead", "tbody", "tr", "th", "td", "code", "pre", "br",
                                    // The diagrams' drawing.
                                    "svg", "g", "polygon", "path", "text",
                                    // The coverage bars.
                                    "meter"};
    const QSet<QString> attributes = {"xmlns", "lang", "xml:lang", "charset", "name", "content", "id", "class",
                                      "href", "xmlns:xlink", "xlink:href", "xlink:title", "width", "height",
                                      "viewBox", "transform", "points", "d", "x", "y", "fill", "stroke",
                                      "stroke-dasharray", "text-anchor", "font-family", "font-size", "font-weight",
                                      "font-style", "min", "max", "value"};
    QStringList hrefs;
    QStringList ids;
    root.visit([&](const Node &node) {
        if (node.name.isEmpty())
            return;
        QVERIFY2(elements.contains(node.name), qPrintable(node.name));
        for (auto it = node.attributes.cbegin(); it != node.attributes.cend(); ++it)
            QVERIFY2(attributes.contains(it.key()), qPrintable(it.key()));
        if (node.attributes.contains(QStringLiteral("href")))
            hrefs.append(node.attribute("href"));
        if (node.attributes.contains(QStringLiteral("xlink:href")))
            hrefs.append(node.attribute("xlink:href"));
        if (node.attributes.contains(QStringLiteral("id")))
            ids.append(node.attribute("id"));
    });
    QCOMPARE(root.elements("style").size(), 1);
    const QString style = root.elements("style").first()->textContent();
    QVERIFY(style.contains(QLatin1String("@media print")));
    QVERIFY(!style.contains(QLatin1String("url(")));
    QVERIFY(!style.contains(QLatin1String("@import")));

    // Every link leads to exactly one place of the page.
    QCOMPARE(QSet<QString>(ids.cbegin(), ids.cend()).size(), ids.size());
    for (const QString &href : hrefs) {
        QVERIFY2(href.startsWith(QLatin1Char('#')), qPrintable(href));
        QVERIFY2(ids.contains(href.mid(1)), qPrintable(href));
    }
    // The contents lead to every table and view.
    const Node *contents = sectionWithId(root, QStringLiteral("contents"));
    QVERIFY(contents);
    QStringList listed;
    for (const Node *a : contents->elements("a"))
        listed.append(a->attribute("href").mid(1));
    for (const Node *section : root.all([](const Node &n) { return n.hasClass("table") || n.hasClass("view"); }))
        QVERIFY2(listed.contains(section->attribute("id")), qPrintable(section->attribute("id")));
    QCOMPARE(root.all([](const Node &n) { return n.hasClass("table") && n.name == QLatin1String("section"); }).size(),
             source.tables.size());
}

// Each format written as the source is read, a table at a time, says what it
// says of the source held whole.
void checkWrittenAsRead(const QString &path, const QStringList &selection, const SourceModel &whole)
{
    for (const ReportFormat &format : reportFormats()) {
        if (!format.dictionary)
            continue;
        QByteArray streamed;
        const WrittenDictionary written =
            writeDictionary(*format.dictionary, path, selection, [&](QByteArrayView bytes) { streamed += bytes; });
        QVERIFY2(streamed == writeDictionary(*format.dictionary, whole), format.name);
        QCOMPARE(written.rest.findings, whole.findings);
        QStringList names;
        for (const model::TableModel &table : whole.tables)
            names.append(table.name);
        QCOMPARE(written.tables, names);
    }
}

} // namespace

class DictionaryTest : public QObject {
    Q_OBJECT

private slots:
    void formatListsAgree();
    void formatNames_data();
    void formatNames();
    void wrongFormatNames_data();
    void wrongFormatNames();
    void writeDictionaryDispatches();

    void jsonMatchesTheSchema_data();
    void jsonMatchesTheSchema();
    void schemaRefusesWhatNoDictionaryHolds_data();
    void schemaRefusesWhatNoDictionaryHolds();
    void jsonHoldsEveryFact();
    void jsonKeepsTextFromFilesAsItIs();

    void markdownWholeDocument();
    void markdownEscapesTextFromFiles_data();
    void markdownEscapesTextFromFiles();
    void markdownKeepsItsStructure_data();
    void markdownKeepsItsStructure();
    void markdownFencesSqlPastItsBackticks();
    void markdownContainerFacts();

    void htmlWholeBody();
    void htmlEscapesTextFromFiles_data();
    void htmlEscapesTextFromFiles();
    void htmlIsOneSelfContainedWellFormedPage_data();
    void htmlIsOneSelfContainedWellFormedPage();
    void htmlReadsBackTextFromFiles();
    void htmlRelationsLinkToTheRelatedTable();
    void htmlFindingsCarryTheirSeverity();
    void htmlContainerFacts();

    void anchors_data();
    void anchors();

    void realSources_data();
    void realSources();

    void writtenAsReadEqualsWhole_data();
    void writtenAsReadEqualsWhole();
    void tablesTakeTheirPlaceInTheOutline();
    void tablesFoundByName_data();
    void tablesFoundByName();
};

void DictionaryTest::formatNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<DictionaryFormat>("format");
    QTest::newRow("json") << QStringLiteral("json") << DictionaryFormat::Json;
    QTest::newRow("markdown") << QStringLiteral("markdown") << DictionaryFormat::Markdown;
    QTest::newRow("html") << QStringLiteral("html") << DictionaryFormat::Html;
    QTest::newRow("postgres") << QStringLiteral("postgres") << DictionaryFormat::Postgres;
    QTest::newRow("sqlite") << QStringLiteral("sqlite") << DictionaryFormat::Sqlite;
}

void DictionaryTest::formatNames()
{
    QFETCH(QString, name);
    QFETCH(DictionaryFormat, format);
    QCOMPARE(dictionaryFormatNamed(name), std::optional<DictionaryFormat>(format));
    QCOMPARE(dictionaryFormatName(format), name);
}

void DictionaryTest::wrongFormatNames_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"", "JSON", "Html", " json", "json ", "md", "htm", "xml", "sql", "postgresql",
                             "sqlite3", "text"})
        QTest::addRow("'%s'", name) << QString::fromLatin1(name);
    QTest::newRow("json and a line feed") << QStringLiteral("json\n");
}

void DictionaryTest::wrongFormatNames()
{
    QFETCH(QString, name);
    QVERIFY(!dictionaryFormatNamed(name));
}

void DictionaryTest::writeDictionaryDispatches()
{
    const SourceModel source = containerSource();
    QCOMPARE(writeDictionary(DictionaryFormat::Json, source), jsonDictionary(source));
    QCOMPARE(writeDictionary(DictionaryFormat::Markdown, source), markdownDictionary(source));
    QCOMPARE(writeDictionary(DictionaryFormat::Html, source), htmlDictionary(source));
    QCOMPARE(writeDictionary(DictionaryFormat::Postgres, source), postgresSchema(source));
    QCOMPARE(writeDictionary(DictionaryFormat::Sqlite, source), sqliteSchema(source));
    // Each format writes its own document.
    QSet<QByteArray> documents;
    for (DictionaryFormat format : {DictionaryFormat::Json, DictionaryFormat::Markdown, DictionaryFormat::Html,
                                    DictionaryFormat::Postgres, DictionaryFormat::Sqlite})
        documents.insert(writeDictionary(format, source));
    QCOMPARE(documents.size(), 5);
}

void DictionaryTest::jsonMatchesTheSchema_data()
{
    QTest::addColumn<SourceModel>("source");
    QTest::newRow("folder") << folderSource();
    QTest::newRow("container") << containerSource();
    QTest::newRow("small") << smallSource();
    QTest::newRow("empty") << SourceModel();
}

void DictionaryTest::jsonMatchesTheSchema()
{
    QFETCH(SourceModel, source);
    if (!pythonHasJsonSchema())
        QSKIP("/usr/bin/python3 has no jsonschema module (Debian package python3-jsonschema): the JSON "
              "dictionary was not checked against docs/dictionary.schema.json");
    const Validation result = validate(jsonDictionary(source));
    QVERIFY2(result.exitCode == 0, qPrintable(result.output));
}

void DictionaryTest::schemaRefusesWhatNoDictionaryHolds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<bool>("remove");
    const auto row = [](const char *name, const char *path, const QJsonValue &value, bool remove = false) {
        QTest::newRow(name) << QString::fromLatin1(path) << value << remove;
    };
    row("another format", "format", QStringLiteral("dictionary"));
    row("another version", "version", 2);
    row("key no object has", "tables/0/fields/1/colour", QStringLiteral("red"));
    row("key at the top", "generator", QStringLiteral("someone"));
    row("key of a table missing", "tables/0/indexesKnown", QJsonValue(), true);
    row("key of a field missing", "tables/0/fields/0/nextValue", QJsonValue(), true);
    row("source of no kind", "source/kind", QStringLiteral("archive"));
    row("index of no kind", "tables/0/indexes/0/kind", QStringLiteral("clustered"));
    row("finding of no severity", "findings/0/severity", QStringLiteral("info"));
    row("rule of no word", "relations/0/onDelete", QStringLiteral("sometimes"));
    row("date that is not one", "tables/0/lastUpdate", QStringLiteral("2024-13-45"));
    row("counter without autoincrement", "tables/0/fields/1/nextValue", 5);
    row("autoincrement without counter", "tables/0/fields/0/step", QJsonValue());
    row("type of two letters", "tables/0/fields/0/type", QStringLiteral("CC"));
    row("byte past 255", "tables/0/codePageMark", 256);
    row("text as number", "tables/0/recordCount", QStringLiteral("830"));
    row("memo without its file", "tables/0/memo/file", QJsonValue(), true);
}

void DictionaryTest::schemaRefusesWhatNoDictionaryHolds()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(bool, remove);
    if (!pythonHasJsonSchema())
        QSKIP("/usr/bin/python3 has no jsonschema module (Debian package python3-jsonschema): the schema's "
              "strictness was not checked");
    const QJsonObject written = QJsonDocument::fromJson(jsonDictionary(containerSource())).object();
    const QJsonValue wrong = changed(written, path.split(QLatin1Char('/')), value, remove);
    QVERIFY(wrong != QJsonValue(written));
    const Validation result = validate(QJsonDocument(wrong.toObject()).toJson());
    QVERIFY2(result.exitCode == 1, qPrintable(QStringLiteral("exit %1: %2").arg(result.exitCode).arg(result.output)));
}

void DictionaryTest::jsonHoldsEveryFact()
{
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(jsonDictionary(containerSource()), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject document = parsed.object();
    QCOMPARE(keysOf(document),
             sorted({"format", "version", "source", "tables", "views", "relations", "findings", "coverage"}));
    QCOMPARE(document["format"].toString(), QStringLiteral("orvalle-dictionary"));
    // Of the orders' four fields only the customer's is documented; the lines' three are not.
    const QJsonObject coverage = document["coverage"].toObject();
    QCOMPARE(coverage["tables"].toArray().size(), 2);
    QCOMPARE(coverage["tables"].toArray().first().toObject(),
             (QJsonObject{{"table", "orders"}, {"fields", 4}, {"comment", 1}, {"caption", 1}, {"either", 1}}));
    QCOMPARE(coverage["total"].toObject(), (QJsonObject{{"fields", 7}, {"comment", 1}, {"caption", 1}, {"either", 1}}));
    QCOMPARE(document["version"].toInt(-1), 1);

    const QJsonObject source = document["source"].toObject();
    QCOMPARE(keysOf(source), sorted({"kind", "path", "comment", "codePageMark"}));
    QCOMPARE(source["kind"].toString(), QStringLiteral("container"));
    QCOMPARE(source["path"].toString(), QStringLiteral("/srv/shop/shop.dbc"));
    QCOMPARE(source["comment"].toString(), QStringLiteral("Shop | *orders* & <lines>"));
    QCOMPARE(source["codePageMark"].toInt(-1), 3);

    const QJsonArray tables = document["tables"].toArray();
    QCOMPARE(tables.size(), 2);
    const QJsonObject orders = tables[0].toObject();
    QCOMPARE(keysOf(orders),
             sorted({"name", "file", "dialect", "version", "codePageMark", "codePage", "recordCount", "lastUpdate",
                     "headerLength", "recordLength", "memo", "comment", "rule", "ruleText", "insertTrigger",
                     "updateTrigger", "deleteTrigger", "primaryKey", "fields", "indexes", "indexesKnown"}));
    QCOMPARE(orders["name"].toString(), QStringLiteral("orders"));
    QCOMPARE(orders["file"].toString(), QStringLiteral("orders.dbf"));
    QCOMPARE(orders["dialect"].toString(), QStringLiteral("Visual FoxPro"));
    QCOMPARE(orders["version"].toInt(-1), 48);
    QCOMPARE(orders["codePageMark"].toInt(-1), 3);
    QCOMPARE(orders["codePage"].toString(), QStringLiteral("1252 (Windows ANSI)"));
    QCOMPARE(orders["recordCount"].toInt(-1), 830);
    QCOMPARE(orders["lastUpdate"].toString(), QStringLiteral("2024-01-05"));
    QCOMPARE(orders["headerLength"].toInt(-1), 296);
    QCOMPARE(orders["recordLength"].toInt(-1), 20);
    const QJsonObject memo = orders["memo"].toObject();
    QCOMPARE(keysOf(memo), sorted({"file", "blockSize", "present"}));
    QCOMPARE(memo["file"].toString(), QStringLiteral("orders.fpt"));
    QCOMPARE(memo["blockSize"].toInt(-1), 64);
    QCOMPARE(memo["present"].toBool(false), true);
    QCOMPARE(orders["comment"].toString(), QStringLiteral("One row per order"));
    QCOMPARE(orders["rule"].toString(), QStringLiteral("placed <= DATETIME()"));
    QCOMPARE(orders["ruleText"].toString(), QStringLiteral("\"An order cannot be placed in the future.\""));
    QCOMPARE(orders["insertTrigger"].toString(), QStringLiteral("__ri_insert_orders()"));
    QCOMPARE(orders["updateTrigger"].toString(), QStringLiteral("__ri_update_orders()"));
    QCOMPARE(orders["deleteTrigger"].toString(), QStringLiteral("__ri_delete_orders()"));
    QCOMPARE(orders["primaryKey"].toString(), QStringLiteral("order_id"));
    QCOMPARE(orders["indexesKnown"].toBool(false), true);

    const QJsonArray fields = orders["fields"].toArray();
    QCOMPARE(fields.size(), 4);
    const QStringList fieldKeys = sorted({"position", "name", "shortName", "type", "typeName", "width", "decimals",
                                          "nullable", "binary", "autoIncrement", "nextValue", "step", "defaultValue",
                                          "rule", "ruleText", "caption", "format", "inputMask", "comment"});
    for (const QJsonValue &f : fields)
        QCOMPARE(keysOf(f.toObject()), fieldKeys);
    const QJsonObject orderId = fields[0].toObject();
    QCOMPARE(orderId["position"].toInt(-1), 1);
    QCOMPARE(orderId["name"].toString(), QStringLiteral("order_id"));
    QCOMPARE(orderId["shortName"].toString(), QString());
    QCOMPARE(orderId["type"].toString(), QStringLiteral("I"));
    QCOMPARE(orderId["typeName"].toString(), QStringLiteral("Integer"));
    QCOMPARE(orderId["width"].toInt(-1), 4);
    QCOMPARE(orderId["decimals"].toInt(-1), 0);
    QCOMPARE(orderId["nullable"].toBool(true), false);
    QCOMPARE(orderId["binary"].toBool(true), false);
    QCOMPARE(orderId["autoIncrement"].toBool(false), true);
    QCOMPARE(orderId["nextValue"].toInt(-1), 1001);
    QCOMPARE(orderId["step"].toInt(-1), 1);
    const QJsonObject customer = fields[1].toObject();
    QCOMPARE(customer["name"].toString(), QStringLiteral("customer_name"));
    QCOMPARE(customer["shortName"].toString(), QStringLiteral("CUSTOMER_N"));
    QCOMPARE(customer["nullable"].toBool(false), true);
    QCOMPARE(customer["caption"].toString(), QStringLiteral("Customer"));
    QCOMPARE(customer["comment"].toString(), QStringLiteral("Who ordered"));
    QVERIFY(customer["nextValue"].isNull());
    QVERIFY(customer["step"].isNull());
    QCOMPARE(fields[2].toObject()["defaultValue"].toString(), QStringLiteral("DATETIME()"));
    const QJsonObject total = fields[3].toObject();
    QCOMPARE(total["type"].toString(), QStringLiteral("Y"));
    QCOMPARE(total["decimals"].toInt(-1), 4);
    QCOMPARE(total["rule"].toString(), QStringLiteral("total >= 0"));
    QCOMPARE(total["ruleText"].toString(), QStringLiteral("\"The total cannot be negative.\""));
    QCOMPARE(total["format"].toString(), QStringLiteral("$"));
    QCOMPARE(total["inputMask"].toString(), QStringLiteral("999,999.9999"));

    const QJsonArray indexes = orders["indexes"].toArray();
    QCOMPARE(indexes.size(), 4);
    for (const QJsonValue &i : indexes)
        QCOMPARE(keysOf(i.toObject()), sorted({"name", "kind", "expression", "filter", "descending", "collation"}));
    QStringList kinds;
    for (const QJsonValue &i : indexes)
        kinds.append(i.toObject()["kind"].toString());
    QCOMPARE(kinds, QStringList({"primary", "candidate", "unique", "regular"}));
    QCOMPARE(indexes[1].toObject()["name"].toString(), QStringLiteral("REF"));
    QCOMPARE(indexes[1].toObject()["expression"].toString(), QStringLiteral("STR(order_id)"));
    QCOMPARE(indexes[1].toObject()["filter"].toString(), QStringLiteral("!DELETED()"));
    QCOMPARE(indexes[1].toObject()["collation"].toString(), QStringLiteral("MACHINE"));
    QCOMPARE(indexes[1].toObject()["descending"].toBool(true), false);
    QCOMPARE(indexes[3].toObject()["descending"].toBool(false), true);

    const QJsonArray views = document["views"].toArray();
    QCOMPARE(views.size(), 2);
    const QJsonObject sales = views[0].toObject();
    QCOMPARE(keysOf(sales), sorted({"name", "sql", "remote", "connection", "comment", "fields"}));
    QCOMPARE(sales["name"].toString(), QStringLiteral("sales | summary"));
    QCOMPARE(sales["sql"].toString(), salesSql);
    QCOMPARE(sales["remote"].toBool(true), false);
    QCOMPARE(sales["comment"].toString(), QStringLiteral("Sales per customer"));
    const QJsonArray viewFields = sales["fields"].toArray();
    QCOMPARE(viewFields.size(), 2);
    QCOMPARE(keysOf(viewFields[1].toObject()), sorted({"name", "dataType", "comment"}));
    QCOMPARE(viewFields[1].toObject()["name"].toString(), QStringLiteral("qty|total"));
    QCOMPARE(viewFields[1].toObject()["dataType"].toString(), QStringLiteral("N(20,0)"));
    QCOMPARE(viewFields[1].toObject()["comment"].toString(), QStringLiteral("Quantity | sum"));
    QCOMPARE(views[1].toObject()["remote"].toBool(false), true);
    QCOMPARE(views[1].toObject()["connection"].toString(), QStringLiteral("erp<prod>"));
    QCOMPARE(views[1].toObject()["sql"].toString(), QString());

    const QJsonArray relations = document["relations"].toArray();
    QCOMPARE(relations.size(), 2);
    const QJsonObject relation = relations[0].toObject();
    QCOMPARE(keysOf(relation),
             sorted({"parentTable", "parentTag", "childTable", "childTag", "onUpdate", "onDelete", "onInsert",
                     "declared", "childField"}));
    QCOMPARE(relation["parentTable"].toString(), QStringLiteral("orders"));
    QCOMPARE(relation["parentTag"].toString(), QStringLiteral("ORDER_ID"));
    QCOMPARE(relation["childTable"].toString(), QStringLiteral("order_lines"));
    QCOMPARE(relation["childTag"].toString(), QStringLiteral("ORDER_ID"));
    QCOMPARE(relation["onUpdate"].toString(), QStringLiteral("cascade"));
    QCOMPARE(relation["onDelete"].toString(), QStringLiteral("restrict"));
    QCOMPARE(relation["onInsert"].toString(), QStringLiteral("ignore"));
    // A relation whose rules the container leaves empty.
    QVERIFY(relations[1].toObject()["onUpdate"].isNull());
    QVERIFY(relations[1].toObject()["onDelete"].isNull());
    QVERIFY(relations[1].toObject()["onInsert"].isNull());

    const QJsonArray findings = document["findings"].toArray();
    QCOMPARE(findings.size(), 2);
    QCOMPARE(keysOf(findings[0].toObject()), sorted({"severity", "place", "message"}));
    QCOMPARE(findings[0].toObject()["severity"].toString(), QStringLiteral("warning"));
    QCOMPARE(findings[0].toObject()["place"].toString(), QStringLiteral("orders"));
    QCOMPARE(findings[1].toObject()["severity"].toString(), QStringLiteral("error"));
    QCOMPARE(findings[1].toObject()["place"].toString(), QString());
    QCOMPARE(findings[1].toObject()["message"].toString(),
             QStringLiteral("The memo of record 12 of shop.dct points past the end of the file."));
}

void DictionaryTest::jsonKeepsTextFromFilesAsItIs()
{
    const QByteArray bytes = jsonDictionary(folderSource());
    // Strictly valid UTF-8 even for a lone surrogate in a comment.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(bytes);
    QVERIFY(!decoder.hasError());

    const QJsonObject document = QJsonDocument::fromJson(bytes).object();
    QCOMPARE(document["source"].toObject()["kind"].toString(), QStringLiteral("folder"));
    const QJsonArray tables = document["tables"].toArray();
    QCOMPARE(tables.size(), 4);
    QCOMPARE(tables[0].toObject()["fields"].toArray()[1].toObject()["name"].toString(), QStringLiteral("a|b"));
    QCOMPARE(tables[0].toObject()["fields"].toArray()[1].toObject()["caption"].toString(),
             QStringLiteral("<script>alert(1)</script>"));
    QCOMPARE(tables[0].toObject()["fields"].toArray()[1].toObject()["comment"].toString(),
             QStringLiteral("first line\nsecond | line"));
    QCOMPARE(tables[0].toObject()["fields"].toArray()[3].toObject()["binary"].toBool(false), true);
    QCOMPARE(tables[0].toObject()["indexes"].toArray()[1].toObject()["collation"].toString(),
             QStringLiteral("GENERAL"));
    QCOMPARE(tables[2].toObject()["name"].toString(), scriptName);
    QCOMPARE(tables[2].toObject()["fields"].toArray()[0].toObject()["name"].toString(), QStringLiteral("\"quote\""));
    QCOMPARE(tables[2].toObject()["fields"].toArray()[1].toObject()["name"].toString(), QStringLiteral("顧客番号"));
    QCOMPARE(tables[3].toObject()["name"].toString(), russianWithBreakAndBell());
    QCOMPARE(tables[3].toObject()["fields"].toArray()[0].toObject()["type"].toString(), QString(QChar(0x01)));
    // A lone surrogate has no UTF-8 form, and many readers refuse its escape.
    QCOMPARE(tables[3].toObject()["fields"].toArray()[0].toObject()["comment"].toString(),
             QStringLiteral("lone ") + replacement + QStringLiteral(" surrogate, fox ") + QString::fromUtf8("🦊"));
    QVERIFY(!bytes.toLower().contains("\\ud800"));

    // What the files do not state is null: no date, no memo file, no counter.
    const QJsonObject twin = tables[1].toObject();
    QCOMPARE(twin["name"].toString(), QStringLiteral("Customers"));
    QVERIFY(twin["lastUpdate"].isNull());
    QCOMPARE(twin["codePage"].toString(QStringLiteral("absent")), QString());
    QCOMPARE(twin["indexesKnown"].toBool(true), false);
    QCOMPARE(twin["memo"].toObject()["present"].toBool(true), false);
    QCOMPARE(twin["memo"].toObject()["blockSize"].toInt(-1), 0);
    QVERIFY(tables[2].toObject()["memo"].isNull());
    QVERIFY(tables[2].toObject()["fields"].toArray()[0].toObject()["nextValue"].isNull());
}

void DictionaryTest::markdownWholeDocument()
{
    QCOMPARE(markdown(smallSource()).toUtf8(), golden(QStringLiteral("tiny.md")));
}

void DictionaryTest::markdownEscapesTextFromFiles_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cell");
    QTest::newRow("pipe") << QStringLiteral("a|b") << QStringLiteral("a\\|b");
    QTest::newRow("script") << QStringLiteral("<script>alert(1)</script>")
                            << QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;");
    QTest::newRow("quotes") << QStringLiteral("\"quote\" 'single'") << QStringLiteral("\"quote\" 'single'");
    QTest::newRow("line feed") << QStringLiteral("two\nlines") << QStringLiteral("two<br>lines");
    QTest::newRow("cr lf and cr") << QStringLiteral("crlf\r\nand\rcr") << QStringLiteral("crlf<br>and<br>cr");
    QTest::newRow("controls") << QStringLiteral("bell") + QChar(0x07) + QStringLiteral("nul") + QChar(0)
            + QStringLiteral("tab\tdel") + QChar(0x7F) + QStringLiteral("c1") + QChar(0x85)
                              << QStringLiteral("bell") + replacement + QStringLiteral("nul") + replacement
            + QStringLiteral("tab\tdel") + replacement + QStringLiteral("c1") + replacement;
    QTest::newRow("emphasis") << QStringLiteral("*bold* _it_") << QStringLiteral("\\*bold\\* \\_it\\_");
    QTest::newRow("code span") << QStringLiteral("`code`") << QStringLiteral("\\`code\\`");
    QTest::newRow("link") << QStringLiteral("[link](http://x)") << QStringLiteral("\\[link\\](http://x)");
    QTest::newRow("image") << QStringLiteral("![i](x.png)") << QStringLiteral("!\\[i\\](x.png)");
    QTest::newRow("backslashes") << QStringLiteral("back\\slash\\|") << QStringLiteral("back\\\\slash\\\\\\|");
    QTest::newRow("heading") << QStringLiteral("# not a heading") << QStringLiteral("\\# not a heading");
    QTest::newRow("entities") << QStringLiteral("&amp; &lt;") << QStringLiteral("&amp;amp; &amp;lt;");
    QTest::newRow("strike and math") << QStringLiteral("~~gone~~ $x$") << QStringLiteral("\\~\\~gone\\~\\~ \\$x\\$");
    QTest::newRow("quote mark") << QStringLiteral("> quoted") << QStringLiteral("&gt; quoted");
    QTest::newRow("non-Latin") << QStringLiteral("Заказы 顧客 🦊") << QStringLiteral("Заказы 顧客 🦊");
    QTest::newRow("lone surrogate") << QStringLiteral("a") + QChar(0xDC00) + QStringLiteral("b")
                                    << QStringLiteral("a") + replacement + QStringLiteral("b");
}

void DictionaryTest::markdownEscapesTextFromFiles()
{
    QFETCH(QString, text);
    QFETCH(QString, cell);
    const QString document = markdown(oneFieldSource(text));
    QCOMPARE(firstRowAfter(document, QStringLiteral("|---|---|---:|---:|---|---|---|---|")),
             QStringLiteral("| %1 | Character | 10 | 0 | no |  | %1 | %1 |").arg(cell));
}

void DictionaryTest::markdownKeepsItsStructure_data()
{
    QTest::addColumn<SourceModel>("source");
    QTest::newRow("folder") << folderSource();
    QTest::newRow("container") << containerSource();
}

void DictionaryTest::markdownKeepsItsStructure()
{
    QFETCH(SourceModel, source);
    checkMarkdownShape(source);
}

void DictionaryTest::markdownFencesSqlPastItsBackticks()
{
    const QString document = markdown(containerSource());
    const QString expected = QStringLiteral(
        "### <a id=\"view-1-sales-summary\"></a>sales \\| summary\n"
        "\n"
        "**Local view**\n"
        "\n"
        "**Comment:** Sales per customer\n"
        "\n"
        "| Name | Data type | Description |\n"
        "|---|---|---|\n"
        "| customer | C(40) |  |\n"
        "| qty\\|total | N(20,0) | Quantity \\| sum |\n"
        "\n"
        "`````sql\n"
        "SELECT o.customer, SUM(l.qty) AS `qty|total`\n"
        "FROM orders o JOIN order_lines l ON l.order_id = o.order_id\n"
        "````\n"
        "GROUP BY 1\n"
        "`````\n"
        "\n"
        "### <a id=\"view-2-remote-orders\"></a>remote\\_orders\n"
        "\n"
        "**Remote view, connection:** erp&lt;prod&gt;\n"
        "\n"
        "No SQL is stored.\n"
        "\n");
    QVERIFY2(document.contains(expected), qPrintable(document));
    QVERIFY(document.contains(QLatin1String("  - [sales \\| summary](#view-1-sales-summary)\n"
                                            "  - [remote\\_orders](#view-2-remote-orders)\n")));
}

void DictionaryTest::markdownContainerFacts()
{
    const QString document = markdown(containerSource());
    const QString head = QStringLiteral(
        "# Data dictionary\n"
        "\n"
        "**Source:** /srv/shop/shop.dbc (database container)\n"
        "\n"
        "**Comment:** Shop \\| \\*orders\\* &amp; &lt;lines&gt;\n"
        "\n"
        "**Documented fields:** 1 of 7 fields (14%): comment 1, caption 1\n"
        "\n");
    QVERIFY(document.startsWith(head));
    const QString orders = QStringLiteral(
        "### <a id=\"table-1-orders\"></a>orders\n"
        "\n"
        "**File:** orders.dbf · **Dialect:** Visual FoxPro · **Code page:** 1252 (Windows ANSI) · "
        "**Records:** 830 · **Last update:** 2024-01-05 · **Memo:** orders.fpt, blocks of 64 bytes · "
        "**Documented:** 1 of 4 fields (25%): comment 1, caption 1\n"
        "\n"
        "**Comment:** One row per order\n"
        "\n"
        "**Rule:** placed &lt;= DATETIME() (\"An order cannot be placed in the future.\")\n"
        "\n"
        "**Insert trigger:** \\_\\_ri\\_insert\\_orders() · **Update trigger:** \\_\\_ri\\_update\\_orders() · "
        "**Delete trigger:** \\_\\_ri\\_delete\\_orders()\n"
        "\n"
        "#### Fields\n"
        "\n"
        "| Name | Type | Width | Decimals | Null | Default | Caption | Description |\n"
        "|---|---|---:|---:|---|---|---|---|\n"
        "| order\\_id | Integer, autoincrement (next 1001, step 1) | 4 | 0 | no |  |  |  |\n"
        "| customer\\_name (CUSTOMER\\_N) | Character | 40 | 0 | yes |  | Customer | Who ordered |\n"
        "| placed | DateTime | 8 | 0 | no | DATETIME() |  |  |\n"
        "| total | Currency | 8 | 4 | no |  |  | Rule: total &gt;= 0 (\"The total cannot be negative.\")"
        "<br>Format: \\$<br>Input mask: 999,999.9999 |\n"
        "\n"
        "#### Indexes\n"
        "\n"
        "| Name | Kind | Expression | Filter | Order |\n"
        "|---|---|---|---|---|\n"
        "| ORDER\\_ID | primary | order\\_id |  | ascending, MACHINE |\n"
        "| REF | candidate | STR(order\\_id) | !DELETED() | ascending, MACHINE |\n"
        "| CUSTOMER | unique | customer\\_name |  | ascending, MACHINE |\n"
        "| PLACED | regular | placed |  | descending, MACHINE |\n"
        "\n"
        "#### Relations\n"
        "\n"
        "| Parent table | Parent tag | Child table | Child tag | On update | On delete | On insert |\n"
        "|---|---|---|---|---|---|---|\n"
        "| [orders](#table-1-orders) | ORDER\\_ID | [order\\_lines](#table-2-order-lines) | ORDER\\_ID | cascade | "
        "restrict | ignore |\n"
        "| [ORDERS](#table-1-orders) | ORDER\\_ID | returns | ORDER\\_ID |  |  |  |\n"
        "\n"
        "### <a id=\"table-2-order-lines\"></a>order\\_lines\n");
    QVERIFY2(document.contains(orders), qPrintable(document));
    // The child lists the relation too, linked back to its parent.
    const QString lines = document.section(QStringLiteral("### <a id=\"table-2-order-lines\"></a>"), 1);
    QVERIFY(lines.contains(QLatin1String(
        "| [orders](#table-1-orders) | ORDER\\_ID | [order\\_lines](#table-2-order-lines) | ORDER\\_ID | cascade | "
        "restrict | ignore |\n\n## ")));
    QVERIFY(document.endsWith(QLatin1String(
        "| Severity | Place | Message |\n"
        "|---|---|---|\n"
        "| **Warning** | [orders](#table-1-orders) | The tag CUSTOMER is unique: FoxPro keeps the first record of "
        "each key. |\n"
        "| **Error** |  | The memo of record 12 of shop.dct points past the end of the file. |\n")));
}

void DictionaryTest::htmlWholeBody()
{
    const QString page = html(smallSource());
    QVERIFY(page.startsWith(QLatin1String("<!DOCTYPE html>\n"
                                          "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n"
                                          "<head>\n"
                                          "<meta charset=\"utf-8\" />\n")));
    QVERIFY(page.contains(QLatin1String("<title>Data dictionary of /data/tiny</title>\n")));
    QCOMPARE(page.mid(page.indexOf(QLatin1String("<body>"))).toUtf8(), golden(QStringLiteral("tiny-body.html")));
}

void DictionaryTest::htmlEscapesTextFromFiles_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cell");
    QTest::newRow("pipe") << QStringLiteral("a|b") << QStringLiteral("a|b");
    QTest::newRow("script") << QStringLiteral("<script>alert(1)</script>")
                            << QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;");
    QTest::newRow("quotes") << QStringLiteral("\"quote\" 'single'")
                            << QStringLiteral("&quot;quote&quot; &#39;single&#39;");
    QTest::newRow("line feed") << QStringLiteral("two\nlines") << QStringLiteral("two<br />lines");
    QTest::newRow("cr lf and cr") << QStringLiteral("crlf\r\nand\rcr") << QStringLiteral("crlf<br />and<br />cr");
    QTest::newRow("controls") << QStringLiteral("bell") + QChar(0x07) + QStringLiteral("nul") + QChar(0)
            + QStringLiteral("tab\tdel") + QChar(0x7F) + QStringLiteral("c1") + QChar(0x85)
                              << QStringLiteral("bell") + replacement + QStringLiteral("nul") + replacement
            + QStringLiteral("tab\tdel") + replacement + QStringLiteral("c1") + replacement;
    QTest::newRow("not characters") << QStringLiteral("a") + QChar(0xFFFE) + QChar(0xFFFF) + QChar(0xD800)
                                    << QStringLiteral("a") + replacement + replacement + replacement;
    QTest::newRow("entities") << QStringLiteral("&amp; &nbsp;") << QStringLiteral("&amp;amp; &amp;nbsp;");
    QTest::newRow("markup") << QStringLiteral("]]> <!-- --> <![CDATA[")
                            << QStringLiteral("]]&gt; &lt;!-- --&gt; &lt;![CDATA[");
    QTest::newRow("markdown stays") << QStringLiteral("*a* _b_ `c` [d]") << QStringLiteral("*a* _b_ `c` [d]");
    QTest::newRow("non-Latin") << QStringLiteral("Заказы 顧客 🦊") << QStringLiteral("Заказы 顧客 🦊");
}

void DictionaryTest::htmlEscapesTextFromFiles()
{
    QFETCH(QString, text);
    QFETCH(QString, cell);
    // The same text in a view: its field's name, data type and comment, and its SQL.
    SourceModel source = oneFieldSource(text);
    model::ViewModel view;
    view.name = QStringLiteral("v");
    view.sql = text;
    view.fields = {{text, text, text}};
    source.views = {view};
    const QString page = html(source);
    const QString row = QStringLiteral("<tr><td>%1</td><td>Character</td><td class=\"number\">10</td>"
                                       "<td class=\"number\">0</td><td>no</td><td></td><td>%1</td><td>%1</td></tr>\n")
                            .arg(cell);
    QVERIFY2(page.contains(row), qPrintable(page));
    const QString viewRow = QStringLiteral("<tr><td>%1</td><td>%1</td><td>%1</td></tr>\n").arg(cell);
    QVERIFY2(page.contains(viewRow), qPrintable(page));
    if (!cell.contains(QLatin1String("<br />")))
        QVERIFY2(page.contains(QStringLiteral("<code>%1</code>").arg(cell)), qPrintable(page));
    QString error;
    parsePage(page.toUtf8(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void DictionaryTest::htmlIsOneSelfContainedWellFormedPage_data()
{
    QTest::addColumn<SourceModel>("source");
    QTest::newRow("folder") << folderSource();
    QTest::newRow("container") << containerSource();
    QTest::newRow("empty") << SourceModel();
}

void DictionaryTest::htmlIsOneSelfContainedWellFormedPage()
{
    QFETCH(SourceModel, source);
    checkPageShape(source);
}

void DictionaryTest::htmlReadsBackTextFromFiles()
{
    QString error;
    const Node root = parsePage(htmlDictionary(folderSource()), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList headings;
    for (const Node *section : root.all([](const Node &n) { return n.hasClass("table"); }))
        headings.append(headingOf(*section));
    QCOMPARE(headings, QStringList({QStringLiteral("customers"), QStringLiteral("Customers"), scriptName,
                                    QStringLiteral("Заказы\n") + replacement + QStringLiteral("итог")}));

    const Node *customers = sectionWithId(root, QStringLiteral("table-1-customers"));
    QVERIFY(customers);
    const auto rows = customers->elements("tbody").first()->elements("tr");
    QCOMPARE(rows.size(), 4);
    QStringList cells;
    for (const Node *td : rows.at(1)->elements("td"))
        cells.append(td->textContent());
    QCOMPARE(cells, QStringList({QStringLiteral("a|b"), QStringLiteral("Character"), QStringLiteral("10"),
                                 QStringLiteral("0"), QStringLiteral("yes"), QStringLiteral("\"x|y\""),
                                 QStringLiteral("<script>alert(1)</script>"),
                                 QStringLiteral("first line\nsecond | line")}));
    QCOMPARE(rows.at(2)->elements("td").at(1)->textContent(),
             QStringLiteral("Integer, autoincrement (next 17, step 2)"));
    QCOMPARE(rows.at(3)->elements("td").at(1)->textContent(), QStringLiteral("Memo, binary"));
    const auto indexRows = customers->elements("tbody").at(1)->elements("tr");
    QCOMPARE(indexRows.size(), 3);
    cells.clear();
    for (const Node *td : indexRows.at(1)->elements("td"))
        cells.append(td->textContent());
    QCOMPARE(cells, QStringList({QStringLiteral("NAMES"), QStringLiteral("unique"), QStringLiteral("UPPER(name)"),
                                 QStringLiteral("!DELETED()"), QStringLiteral("descending, GENERAL")}));

    const Node *twin = sectionWithId(root, QStringLiteral("table-2-customers"));
    QVERIFY(twin);
    QStringList facts;
    for (const Node *dd : twin->elements("dd"))
        facts.append(dd->textContent());
    QCOMPARE(facts, QStringList({QStringLiteral("Customers.DBF"), QStringLiteral("FoxPro 2.x"), QStringLiteral("none"),
                                 QStringLiteral("0"), QStringLiteral("not a date"),
                                 QStringLiteral("Customers.FPT, missing"),
                                 QStringLiteral(" 0 of 1 field (0%): comment 0, caption 0")}));
    QVERIFY(twin->textContent().contains(QLatin1String("No structural index was read.")));

    const Node *script = sectionWithId(root, QStringLiteral("table-3-script-alert-x-script"));
    QVERIFY(script);
    QCOMPARE(script->all([](const Node &n) { return n.hasClass("comment"); }).first()->textContent(),
             QStringLiteral("Made by <b>hand</b> & \"kept\""));
    QCOMPARE(script->elements("tbody").first()->elements("tr").at(0)->elements("td").first()->textContent(),
             QStringLiteral("\"quote\""));
    QCOMPARE(script->elements("tbody").first()->elements("tr").at(1)->elements("td").first()->textContent(),
             QStringLiteral("顧客番号"));
    QVERIFY(script->textContent().contains(QLatin1String("No indexes.")));

    const Node *russian = sectionWithId(root, QStringLiteral("table-4"));
    QVERIFY(russian);
    const auto oddCells = russian->elements("tbody").first()->elements("tr").first()->elements("td");
    QCOMPARE(oddCells.at(1)->textContent(), QString(replacement));
    QCOMPARE(oddCells.at(7)->textContent(),
             QStringLiteral("lone ") + replacement + QStringLiteral(" surrogate, fox ") + QString::fromUtf8("🦊"));
}

void DictionaryTest::htmlRelationsLinkToTheRelatedTable()
{
    QString error;
    const Node root = parsePage(htmlDictionary(containerSource()), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const Node *lines = sectionWithId(root, QStringLiteral("table-2-order-lines"));
    QVERIFY(lines);
    QCOMPARE(headingOf(*lines), QStringLiteral("order_lines"));
    const auto relations = lines->all([](const Node &n) { return n.hasClass("relations"); });
    QCOMPARE(relations.size(), 1);
    const auto rows = relations.first()->elements("tbody").first()->elements("tr");
    QCOMPARE(rows.size(), 1);
    const auto cells = rows.first()->elements("td");
    QCOMPARE(cells.size(), 7);
    const auto parentLink = cells.at(0)->elements("a");
    QCOMPARE(parentLink.size(), 1);
    QCOMPARE(parentLink.first()->textContent(), QStringLiteral("orders"));
    const Node *parent = sectionWithId(root, parentLink.first()->attribute("href").mid(1));
    QVERIFY(parent);
    QCOMPARE(headingOf(*parent), QStringLiteral("orders"));
    QCOMPARE(cells.at(1)->textContent(), QStringLiteral("ORDER_ID"));
    QCOMPARE(cells.at(2)->elements("a").first()->attribute("href"), QStringLiteral("#table-2-order-lines"));
    QCOMPARE(cells.at(4)->textContent(), QStringLiteral("cascade"));
    QCOMPARE(cells.at(5)->textContent(), QStringLiteral("restrict"));
    QCOMPARE(cells.at(6)->textContent(), QStringLiteral("ignore"));

    // The parent lists both of its relations; a table the source lacks is not linked,
    // a name in another case is.
    const auto parentRows = parent->all([](const Node &n) { return n.hasClass("relations"); })
                                .first()->elements("tbody").first()->elements("tr");
    QCOMPARE(parentRows.size(), 2);
    const auto second = parentRows.at(1)->elements("td");
    QCOMPARE(second.at(0)->elements("a").first()->attribute("href"), QStringLiteral("#table-1-orders"));
    QCOMPARE(second.at(0)->textContent(), QStringLiteral("ORDERS"));
    QVERIFY(second.at(2)->elements("a").isEmpty());
    QCOMPARE(second.at(2)->textContent(), QStringLiteral("returns"));
}

void DictionaryTest::htmlFindingsCarryTheirSeverity()
{
    QString error;
    const Node root = parsePage(htmlDictionary(containerSource()), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const auto findings = root.all([](const Node &n) { return n.hasClass("finding"); });
    QCOMPARE(findings.size(), 2);
    QVERIFY(findings.at(0)->hasClass("warning"));
    QVERIFY(!findings.at(0)->hasClass("error"));
    QCOMPARE(findings.at(0)->elements("td").at(0)->textContent(), QStringLiteral("Warning"));
    QCOMPARE(findings.at(0)->elements("a").first()->attribute("href"), QStringLiteral("#table-1-orders"));
    QVERIFY(findings.at(1)->hasClass("error"));
    QVERIFY(!findings.at(1)->hasClass("warning"));
    QCOMPARE(findings.at(1)->elements("td").at(0)->textContent(), QStringLiteral("Error"));
    QCOMPARE(findings.at(1)->elements("td").at(2)->textContent(),
             QStringLiteral("The memo of record 12 of shop.dct points past the end of the file."));
    // The page's style sets each apart.
    const QString style = root.elements("style").first()->textContent();
    QVERIFY(style.contains(QLatin1String("tr.warning td {")));
    QVERIFY(style.contains(QLatin1String("tr.error td {")));

    QVERIFY(html(smallSource()).contains(QLatin1String("<tr class=\"finding warning\">")));
    SourceModel none = smallSource();
    none.findings.clear();
    QVERIFY(html(none).contains(QLatin1String("<h2>Findings</h2>\n<p class=\"none\">No findings.</p>\n</section>")));
}

void DictionaryTest::htmlContainerFacts()
{
    const QString page = html(containerSource());
    QVERIFY(page.contains(QLatin1String(
        "<p><strong>Source:</strong> /srv/shop/shop.dbc (database container)</p>\n"
        "<p class=\"comment\">Shop | *orders* &amp; &lt;lines&gt;</p>\n")));
    QVERIFY(page.contains(QLatin1String(
        "<div><dt>Memo</dt><dd>orders.fpt, blocks of 64 bytes</dd></div>\n"
        "<div><dt>Documented</dt><dd><meter class=\"coverage\" min=\"0\" max=\"100\" value=\"25\"></meter> "
        "1 of 4 fields (25%): comment 1, caption 1</dd></div>\n"
        "<div><dt>Insert trigger</dt><dd><code>__ri_insert_orders()</code></dd></div>\n"
        "<div><dt>Update trigger</dt><dd><code>__ri_update_orders()</code></dd></div>\n"
        "<div><dt>Delete trigger</dt><dd><code>__ri_delete_orders()</code></dd></div>\n"
        "</dl>\n"
        "<p class=\"comment\">One row per order</p>\n"
        "<p><strong>Rule:</strong> <code>placed &lt;= DATETIME()</code> "
        "(&quot;An order cannot be placed in the future.&quot;)</p>\n")));
    QVERIFY(page.contains(QLatin1String(
        "<tr><td>customer_name (CUSTOMER_N)</td><td>Character</td><td class=\"number\">40</td>"
        "<td class=\"number\">0</td><td>yes</td><td></td><td>Customer</td><td>Who ordered</td></tr>\n"
        "<tr><td>placed</td><td>DateTime</td><td class=\"number\">8</td><td class=\"number\">0</td><td>no</td>"
        "<td><code>DATETIME()</code></td><td></td><td></td></tr>\n"
        "<tr><td>total</td><td>Currency</td><td class=\"number\">8</td><td class=\"number\">4</td><td>no</td>"
        "<td></td><td></td><td>Rule: <code>total &gt;= 0</code> (&quot;The total cannot be negative.&quot;)"
        "<br />Format: <code>$</code><br />Input mask: <code>999,999.9999</code></td></tr>\n")));
    QVERIFY(page.contains(QLatin1String(
        "<tr><td>ORDER_ID</td><td>primary</td><td><code>order_id</code></td><td></td><td>ascending, MACHINE</td></tr>\n"
        "<tr><td>REF</td><td>candidate</td><td><code>STR(order_id)</code></td><td><code>!DELETED()</code></td>"
        "<td>ascending, MACHINE</td></tr>\n")));
    QVERIFY(page.contains(QLatin1String(
        "<section class=\"view\" id=\"view-1-sales-summary\">\n"
        "<h3>sales | summary</h3>\n"
        "<p><strong>Local view</strong></p>\n"
        "<p class=\"comment\">Sales per customer</p>\n")));
    QVERIFY(page.contains(QLatin1String(
        "<pre class=\"sql\"><code>SELECT o.customer, SUM(l.qty) AS `qty|total`\n"
        "FROM orders o JOIN order_lines l ON l.order_id = o.order_id\n"
        "````\n"
        "GROUP BY 1</code></pre>\n"
        "</section>\n")));
    QVERIFY(page.contains(QLatin1String(
        "<section class=\"view\" id=\"view-2-remote-orders\">\n"
        "<h3>remote_orders</h3>\n"
        "<p><strong>Remote view, connection:</strong> erp&lt;prod&gt;</p>\n"
        "<p class=\"none\">No SQL is stored.</p>\n"
        "</section>\n")));
}

void DictionaryTest::anchors_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("plain") << QStringList{"customers"} << QStringList{"table-1-customers"};
    QTest::newRow("equal but for case") << QStringList{"Orders", "orders", "ORDERS"}
                                        << QStringList{"table-1-orders", "table-2-orders", "table-3-orders"};
    QTest::newRow("no ASCII letter") << QStringList{"顧客", "Заказы", "!!"}
                                     << QStringList{"table-1", "table-2", "table-3"};
    QTest::newRow("punctuation and spaces")
        << QStringList{"Order Lines (2024)", "__ri_x", "a|b", "expense categories"}
        << QStringList{"table-1-order-lines-2024", "table-2-ri-x", "table-3-a-b", "table-4-expense-categories"};
    QTest::newRow("markup") << QStringList{"\"><script>", "x\ny\x01z"}
                            << QStringList{"table-1-script", "table-2-x-y-z"};
    QTest::newRow("long") << QStringList{QString(60, QLatin1Char('a'))}
                          << QStringList{QStringLiteral("table-1-") + QString(40, QLatin1Char('a'))};
    QTest::newRow("empty") << QStringList{QString()} << QStringList{"table-1"};
}

// The same section ids in both readable formats, each table's own.
void DictionaryTest::anchors()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, ids);
    SourceModel source;
    for (const QString &name : names)
        source.tables.append(table(name, QStringLiteral("t.dbf")));

    QString error;
    const Node root = parsePage(htmlDictionary(source), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList htmlIds;
    for (const Node *section : root.all([](const Node &n) { return n.hasClass("table"); }))
        htmlIds.append(section->attribute("id"));
    QCOMPARE(htmlIds, ids);
    QStringList htmlLinks;
    for (const Node *a : sectionWithId(root, QStringLiteral("contents"))->elements("a"))
        htmlLinks.append(a->attribute("href"));
    QStringList expectedLinks{QStringLiteral("#tables")};
    for (const QString &id : ids)
        expectedLinks.append(QLatin1Char('#') + id);
    expectedLinks.append(QStringLiteral("#findings"));
    QCOMPARE(htmlLinks, expectedLinks);

    const QString document = markdown(source);
    static const QRegularExpression heading(QStringLiteral("^### <a id=\"([^\"]+)\"></a>"),
                                            QRegularExpression::MultilineOption);
    QStringList markdownIds;
    for (const auto &match : heading.globalMatch(document))
        markdownIds.append(match.captured(1));
    QCOMPARE(markdownIds, ids);
    static const QRegularExpression contentsLink(QStringLiteral("^  - \\[.*\\]\\(#([^)]+)\\)$"),
                                                 QRegularExpression::MultilineOption);
    QStringList markdownLinks;
    for (const auto &match : contentsLink.globalMatch(document))
        markdownLinks.append(match.captured(1));
    QCOMPARE(markdownLinks, ids);
}

void DictionaryTest::realSources_data()
{
    QTest::addColumn<QString>("path");
    const QString fixtures = QStringLiteral(ORVALLE_FIXTURES_DIR);
    QTest::newRow("samples") << QStringLiteral(ORVALLE_SAMPLES_DIR);
    QTest::newRow("northwind") << fixtures + QStringLiteral("/VFPX__Samples/Northwind/northwind.dbc");
    QTest::newRow("testdata") << fixtures + QStringLiteral("/VFPX__Samples/Data/testdata.dbc");
    QTest::newRow("expenses")
        << fixtures + QStringLiteral("/Valentin-Kaiser__go-dbase/examples/test_data/database/EXPENSES.DBC");
    QTest::newRow("dialects") << fixtures + QStringLiteral("/SebastiaanKlippert__go-foxpro-dbf/testdata");
    QTest::newRow("code pages") << fixtures + QStringLiteral("/yortus__DBFFile/test/fixtures");

    // Then every other container and every folder holding tables among the fixtures.
    const QStringList sources = fixtureSources(fixtures);
    const QDir root(fixtures);
    for (const QString &path : std::as_const(sources))
        QTest::newRow(qPrintable(root.relativeFilePath(path))) << path;
}

// What the reader makes of real files keeps each format's shape and the schema.
void DictionaryTest::realSources()
{
    QFETCH(QString, path);
    if (!QFileInfo::exists(path))
        QSKIP(qPrintable(path + QStringLiteral(" is not there")));
    SourceModel source;
    try {
        source = model::readSourceModel(path);
    } catch (const Failure &failure) {
        // A few fixtures are containers the reader refuses (no OBJECTID field, …).
        QSKIP(qPrintable(QStringLiteral("the reader refuses it: ") + failure.description()));
    }
    QVERIFY(!source.tables.isEmpty() || !source.views.isEmpty());
    checkWrittenAsRead(path, {}, source);
    if (QTest::currentTestFailed())
        return;
    checkMarkdownShape(source);
    if (QTest::currentTestFailed())
        return;
    checkPageShape(source);
    if (QTest::currentTestFailed())
        return;

    const QByteArray json = jsonDictionary(source);
    const QJsonObject document = QJsonDocument::fromJson(json).object();
    QCOMPARE(document["tables"].toArray().size(), source.tables.size());
    QCOMPARE(document["views"].toArray().size(), source.views.size());
    QCOMPARE(document["relations"].toArray().size(), source.relations.size() + source.impliedRelations.size());
    QCOMPARE(document["findings"].toArray().size(), source.findings.size());
    if (!pythonHasJsonSchema())
        QSKIP("/usr/bin/python3 has no jsonschema module (Debian package python3-jsonschema): the JSON "
              "dictionary was not checked against docs/dictionary.schema.json");
    const Validation result = validate(json);
    QVERIFY2(result.exitCode == 0, qPrintable(result.output));
}

namespace {

using xbasewriter::ContainerTable;
using xbasewriter::RelationRecord;

ContainerTable containerTable(const QString &name, const QStringList &fields, const QList<RelationRecord> &relations)
{
    ContainerTable table;
    table.name = name;
    table.path = name + QStringLiteral(".dbf");
    for (const QString &field : fields) {
        xbasewriter::ContainerField record;
        record.name = field;
        table.fields.append(record);
    }
    table.relations = relations;
    return table;
}

RelationRecord relationTo(const QString &parent, const QString &tag, const QByteArray &rules)
{
    RelationRecord relation;
    relation.childTag = tag;
    relation.parentTable = parent;
    relation.parentTag = tag;
    relation.riInfo = rules;
    return relation;
}

// A container of three related tables: orders under customers, lines under
// orders, and a free-standing notes table.
xbasewriter::ContainerSpec relatedTables()
{
    xbasewriter::ContainerSpec layout;
    layout.tables = {
        containerTable(QStringLiteral("customers"), {QStringLiteral("cust_id"), QStringLiteral("name")}, {}),
        containerTable(QStringLiteral("orders"), {QStringLiteral("order_id"), QStringLiteral("cust_id")},
                       {relationTo(QStringLiteral("customers"), QStringLiteral("cust_id"), "CRI")}),
        containerTable(QStringLiteral("lines"), {QStringLiteral("order_id"), QStringLiteral("qty")},
                       {relationTo(QStringLiteral("orders"), QStringLiteral("order_id"), "RRR")}),
        containerTable(QStringLiteral("notes"), {QStringLiteral("text")}, {}),
    };
    return layout;
}

xbasewriter::TableSpec twoFields(const QByteArray &first, const QByteArray &second)
{
    xbasewriter::TableSpec table;
    table.backlink = "shop.dbc";
    table.fields = {{first, 'C', 10}, {second, 'N', 8, 2}};
    return table;
}

QString fileText(const char *path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The words of a bash array "local NAME=(" … ")", one a line.
QStringList bashArray(const QString &script, const QString &name)
{
    const qsizetype start = script.indexOf(QStringLiteral("local %1=(\n").arg(name));
    if (start < 0)
        return {};
    const qsizetype end = script.indexOf(QLatin1Char(')'), start);
    QStringList words = script.sliced(start, end - start).split(QLatin1Char('\n')).mid(1);
    for (QString &word : words)
        word = word.trimmed();
    words.removeAll(QString());
    return words;
}

// The lower-case words set in bold (".B word", ".BR word ,") in the manual
// page's paragraph that starts with the line `head`, up to the next ".TP".
QStringList boldWords(const QString &page, const QString &head)
{
    const qsizetype start = page.indexOf(head + QLatin1Char('\n'));
    if (start < 0)
        return {};
    QStringList words;
    const QStringList lines = page.sliced(start + head.size() + 1).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String(".TP")))
            break;
        static const QRegularExpression lowerCase(QStringLiteral("^[a-z]+$"));
        const QString word = line.section(QLatin1Char(' '), 1, 1);
        if ((line.startsWith(QLatin1String(".B ")) || line.startsWith(QLatin1String(".BR ")))
            && lowerCase.match(word).hasMatch())
            words.append(word);
    }
    return words;
}

} // namespace

// The command line, the file dialog, the bash completion and the manual page
// all follow the one list of formats.
void DictionaryTest::formatListsAgree()
{
    QStringList names;
    QStringList diffNames;
    for (const ReportFormat &format : reportFormats()) {
        names.append(QLatin1String(format.name));
        if (format.diff)
            diffNames.append(QLatin1String(format.name));
        QCOMPARE(QLatin1String(format.filterText).endsWith(QStringLiteral("(%1)").arg(QLatin1String(format.pattern))),
                 true);
        if (format.dictionary)
            QCOMPARE(dictionaryFormatNamed(QLatin1String(format.name)), format.dictionary);
    }
    QCOMPARE(reportFormatNames(), QStringLiteral("text, json, markdown, html, postgres, sqlite, dot or svg"));
    QCOMPARE(reportFormatNames(true), QStringLiteral("text, json, markdown or html"));

    const QString completion = fileText(ORVALLE_COMPLETION);
    QCOMPARE(bashArray(completion, QStringLiteral("formats")), names);
    QCOMPARE(bashArray(completion, QStringLiteral("diff_formats")), diffNames);

    const QString page = fileText(ORVALLE_MANUAL_PAGE);
    QCOMPARE(boldWords(page, QStringLiteral(".BR \\-f \", \" \\-\\-format \" \\fIFORMAT\\fP\"")), names);
    QStringList diffWords = boldWords(page, QStringLiteral("instead of a report:"));
    diffWords.sort();
    diffNames.sort();
    QCOMPARE(diffWords, diffNames);
}

QTEST_MAIN(DictionaryTest)
// The outline a document lists before its first table is what the reading
// then holds: tables that cannot be read are left out of the contents and
// of the relations, as they are when the source is held whole.
void DictionaryTest::writtenAsReadEqualsWhole_data()
{
    QTest::addColumn<QString>("missing"); // a table file not written
    QTest::addColumn<QString>("damaged"); // a table file that is no table
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<int>("relations"); // among the tables read
    QTest::newRow("every table read") << QString() << QString() << QStringList() << 2;
    QTest::newRow("a child's file missing") << QStringLiteral("lines.dbf") << QString() << QStringList() << 1;
    QTest::newRow("a parent's file missing") << QStringLiteral("customers.dbf") << QString() << QStringList() << 1;
    QTest::newRow("a parent that is no table") << QString() << QStringLiteral("orders.dbf") << QStringList() << 0;
    QTest::newRow("a selection, one name in another case")
        << QString() << QString() << QStringList{QStringLiteral("LINES"), QStringLiteral("orders")} << 1;
    QTest::newRow("a selection naming a table that cannot be read")
        << QStringLiteral("orders.dbf") << QString() << QStringList{QStringLiteral("orders"), QStringLiteral("lines")}
        << 0;
}

void DictionaryTest::writtenAsReadEqualsWhole()
{
    QFETCH(QString, missing);
    QFETCH(QString, damaged);
    QFETCH(QStringList, selection);
    QFETCH(int, relations);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString dbc = dir.filePath(QStringLiteral("shop.dbc"));
    xbasewriter::writeContainer(dbc, relatedTables());
    const QList<std::pair<QString, xbasewriter::TableSpec>> files = {
        {QStringLiteral("customers.dbf"), twoFields("cust_id", "name")},
        {QStringLiteral("orders.dbf"), twoFields("order_id", "cust_id")},
        {QStringLiteral("lines.dbf"), twoFields("order_id", "qty")},
    };
    for (const auto &[file, layout] : files) {
        if (file == damaged)
            xbasewriter::writeFile(dir.filePath(file), QByteArray("not a table at all"));
        else if (file != missing)
            xbasewriter::writeTable(dir.filePath(file), layout);
    }
    xbasewriter::TableSpec notes;
    notes.backlink = "shop.dbc";
    notes.fields = {{"text", 'C', 40}};
    xbasewriter::writeTable(dir.filePath(QStringLiteral("notes.dbf")), notes);

    const SourceModel whole = model::readSourceModel(dbc, selection);
    // The rows are what they say: the relations of the tables read, and no more.
    QCOMPARE(whole.relations.size(), qsizetype(relations));
    checkWrittenAsRead(dbc, selection, whole);
}

// A name finds the table spelt exactly so, else the first equal but for
// case, as FoxPro ignores case; nothing for an empty name.
void DictionaryTest::tablesFoundByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::newRow("spelt exactly") << QStringLiteral("ORDERS") << 1;
    QTest::newRow("in another case, the first") << QStringLiteral("orders") << 0;
    QTest::newRow("none") << QStringLiteral("lines") << -1;
    QTest::newRow("empty") << QString() << -1;
}

void DictionaryTest::tablesFoundByName()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    const TableLookup lookup(QStringList{QStringLiteral("Orders"), QStringLiteral("ORDERS"), QStringLiteral("customers")});
    QCOMPARE(lookup(name), qsizetype(index));
}

// A table the outline did not foresee is skipped, one it foresaw but that
// did not come is passed over, and a name held twice takes its places in turn.
void DictionaryTest::tablesTakeTheirPlaceInTheOutline()
{
    const QStringList outline{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")};
    OutlinePlaces places;
    QCOMPARE(places.next(outline, QStringLiteral("a")), 0);
    QCOMPARE(places.next(outline, QStringLiteral("x")), -1);
    QCOMPARE(places.next(outline, QStringLiteral("a")), 2);
    QCOMPARE(places.next(outline, QStringLiteral("c")), 3);
    QCOMPARE(places.next(outline, QStringLiteral("b")), -1);
}

#include "tst_dictionary.moc"
