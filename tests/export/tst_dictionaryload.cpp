#include "fixturesources.h"
#include "modelparts.h"
#include "export/dictionary/dictionary.h"
#include "export/dictionary/dictionaryload.h"
#include "export/dictionary/jsonreader.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <limits>

using namespace dictionary;
using model::FieldModel;
using model::IndexModel;
using model::SourceModel;
using model::TableModel;
using model::TagKind;

Q_DECLARE_METATYPE(model::SourceModel)

namespace {

using modelparts::field;
using modelparts::tag;

// Text that means something to JSON and to a reader of lines: breaks of every
// kind, quotes, backslashes, every C0 control, DEL and C1 controls, a byte
// order mark, noncharacters, and letters of other scripts beyond the BMP.
QString hostile(const QString &prefix)
{
    QString text = prefix + QStringLiteral(" \"quoted\" \\back\\slash\\ \r\n\n\r\t");
    for (char16_t c = 0; c < 0x20; ++c)
        text += QChar(c);
    text += QChar(0x7f);
    text += QChar(0x85);
    text += QChar(0x9f);
    text += QChar(0x2028);
    text += QChar(0x2029);
    text += QChar(0xfeff);
    text += QChar(0xfffe);
    text += QChar(0xffff);
    return text + QStringLiteral(" Заказы 顧客番号 ملاحظات ") + QString::fromUtf8("🦊𝄞") + QStringLiteral(" \\u0041 }]");
}

// Every key of the model set, none at its default.
SourceModel everyFieldSet()
{
    SourceModel source;
    source.kind = SourceModel::Kind::Container;
    source.path = QStringLiteral("/srv/shop/shop.dbc");
    source.comment = QStringLiteral("Orders and their lines");
    source.codePageMark = 0x03;

    TableModel orders;
    orders.name = QStringLiteral("orders");
    orders.file = QStringLiteral("data/orders.dbf");
    orders.dialect = QStringLiteral("Visual FoxPro");
    orders.version = 0x30;
    orders.codePageMark = 0x03;
    orders.codePage = QStringLiteral("1252 (Windows ANSI)");
    orders.recordCount = 830;
    orders.lastUpdate = QDate(2024, 1, 5);
    orders.headerLength = 392;
    orders.recordLength = 27;
    orders.memo = model::MemoModel{QStringLiteral("data/orders.fpt"), 64, true};
    orders.comment = QStringLiteral("One row per order");
    orders.rule = QStringLiteral("placed <= DATETIME()");
    orders.ruleText = QStringLiteral("\"Not in the future.\"");
    orders.insertTrigger = QStringLiteral("__ri_insert_orders()");
    orders.updateTrigger = QStringLiteral("__ri_update_orders()");
    orders.deleteTrigger = QStringLiteral("__ri_delete_orders()");
    orders.primaryKey = QStringLiteral("order_id");
    orders.indexesKnown = true;
    FieldModel id = field(1, QStringLiteral("order_id"), 'I', QStringLiteral("Integer"), 4);
    id.shortName = QStringLiteral("ORDER_ID");
    id.nullable = true;
    id.binary = true;
    id.autoIncrement = true;
    id.nextValue = 1001;
    id.step = 3;
    id.defaultValue = QStringLiteral("0");
    id.rule = QStringLiteral("order_id > 0");
    id.ruleText = QStringLiteral("\"Positive\"");
    id.caption = QStringLiteral("Order");
    id.format = QStringLiteral("Z");
    id.inputMask = QStringLiteral("99999");
    id.comment = QStringLiteral("Numbered by FoxPro");
    orders.fields.append(id);
    orders.fields.append(field(2, QStringLiteral("total"), 'Y', QStringLiteral("Currency"), 8, 4));
    orders.indexes = {tag(QStringLiteral("ORDER_ID"), TagKind::Primary, QStringLiteral("order_id")),
                      tag(QStringLiteral("REF"), TagKind::Candidate, QStringLiteral("STR(order_id)"),
                          QStringLiteral("!DELETED()"), true, QStringLiteral("GENERAL")),
                      tag(QStringLiteral("TOTAL"), TagKind::Unique, QStringLiteral("total")),
                      tag(QStringLiteral("PLACED"), TagKind::Regular, QStringLiteral("placed"))};
    source.tables.append(orders);

    TableModel lines = orders;
    lines.name = QStringLiteral("order_lines");
    lines.file = QStringLiteral("orditems.dbf");
    lines.lastUpdate.reset();
    lines.memo.reset();
    lines.indexes.clear();
    lines.indexesKnown = false;
    source.tables.append(lines);

    model::ViewModel view;
    view.name = QStringLiteral("remote_sales");
    view.sql = QStringLiteral("SELECT * FROM sales");
    view.remote = true;
    view.connection = QStringLiteral("warehouse");
    view.comment = QStringLiteral("Sales of the warehouse");
    view.fields = {{QStringLiteral("amount"), QStringLiteral("N(12,2)"), QStringLiteral("In euros")},
                   {QStringLiteral("day"), QStringLiteral("D"), QString()}};
    source.views.append(view);
    source.views.append(model::ViewModel{QStringLiteral("empty"), QString(), false, QString(), QString(), {}});

    source.relations = {{QStringLiteral("orders"), QStringLiteral("ORDER_ID"), QStringLiteral("order_lines"),
                         QStringLiteral("ORDER_ID"), QStringLiteral("cascade"), QStringLiteral("restrict"),
                         QStringLiteral("ignore"), true, QString()},
                        {QStringLiteral("orders"), QStringLiteral("REF"), QStringLiteral("order_lines"),
                         QStringLiteral("REF"), QString(), QString(), QString(), true, QString()}};
    source.findings = {{model::Severity::Warning, QStringLiteral("order_lines"), QStringLiteral("A warning.")},
                       {model::Severity::Error, QString(), QStringLiteral("An error.")}};
    return source;
}

// Hostile text in every text key.
SourceModel hostileText()
{
    SourceModel source = everyFieldSet();
    source.path = hostile(QStringLiteral("path"));
    source.comment = hostile(QStringLiteral("comment"));
    TableModel &table = source.tables[0];
    for (QString *text : {&table.name, &table.file, &table.dialect, &table.codePage, &table.comment, &table.rule,
                          &table.ruleText, &table.insertTrigger, &table.updateTrigger, &table.deleteTrigger,
                          &table.primaryKey, &table.memo->file})
        *text = hostile(QStringLiteral("table"));
    FieldModel &f = table.fields[0];
    for (QString *text : {&f.name, &f.shortName, &f.typeName, &f.defaultValue, &f.rule, &f.ruleText, &f.caption,
                          &f.format, &f.inputMask, &f.comment})
        *text = hostile(QStringLiteral("field"));
    IndexModel &i = table.indexes[0];
    for (QString *text : {&i.name, &i.expression, &i.filter, &i.collation})
        *text = hostile(QStringLiteral("tag"));
    model::ViewModel &v = source.views[0];
    for (QString *text : {&v.name, &v.sql, &v.connection, &v.comment, &v.fields[0].name, &v.fields[0].dataType,
                          &v.fields[0].comment})
        *text = hostile(QStringLiteral("view"));
    model::RelationModel &r = source.relations[0];
    for (QString *text : {&r.parentTable, &r.parentTag, &r.childTable, &r.childTag})
        *text = hostile(QStringLiteral("relation"));
    source.findings[0].place = hostile(QStringLiteral("place"));
    source.findings[0].message = hostile(QStringLiteral("message"));
    return source;
}

// Each of the 256 bytes as a type letter; a field with no type byte at all.
SourceModel everyTypeByte()
{
    SourceModel source;
    TableModel table;
    table.name = QStringLiteral("types");
    for (int byte = 0; byte < 256; ++byte)
        table.fields.append(field(byte + 1, QStringLiteral("f%1").arg(byte), char(byte), QString(), 1));
    source.tables.append(table);
    return source;
}

// Each number at the ends of what the model holds and the schema allows.
SourceModel extremeNumbers()
{
    SourceModel source;
    source.codePageMark = 255;
    TableModel table;
    table.version = 255;
    table.codePageMark = 255;
    table.recordCount = std::numeric_limits<quint32>::max();
    table.lastUpdate = QDate(9999, 12, 31);
    table.headerLength = 65535;
    table.recordLength = 65535;
    table.memo = model::MemoModel{QString(), std::numeric_limits<int>::max(), false};
    FieldModel high = field(std::numeric_limits<int>::max(), QString(), 'I', QString(), std::numeric_limits<int>::max(), 255);
    high.autoIncrement = true;
    high.nextValue = std::numeric_limits<qint64>::max();
    high.step = std::numeric_limits<int>::max();
    FieldModel low = field(1, QString(), 'I', QString(), 0, 0);
    low.autoIncrement = true;
    low.nextValue = std::numeric_limits<qint64>::min();
    low.step = std::numeric_limits<int>::min();
    FieldModel zero = low;
    zero.nextValue = 0;
    zero.step = 0;
    table.fields = {high, low, zero};
    source.tables.append(table);
    TableModel early;
    early.lastUpdate = QDate(1, 1, 1);
    early.recordCount = 0;
    source.tables.append(early);
    return source;
}

// Where two models first differ, to say so when they do.
QString differenceBetween(const SourceModel &read, const SourceModel &expected)
{
    if (read.tables.size() != expected.tables.size())
        return QStringLiteral("%1 tables, not %2").arg(read.tables.size()).arg(expected.tables.size());
    for (qsizetype t = 0; t < expected.tables.size(); ++t) {
        const TableModel &r = read.tables.at(t);
        const TableModel &e = expected.tables.at(t);
        if (r.fields.size() != e.fields.size())
            return QStringLiteral("tables[%1]: %2 fields, not %3").arg(t).arg(r.fields.size()).arg(e.fields.size());
        for (qsizetype f = 0; f < e.fields.size(); ++f) {
            if (r.fields.at(f) != e.fields.at(f))
                return QStringLiteral("tables[%1].fields[%2]").arg(t).arg(f);
        }
        if (r.indexes != e.indexes)
            return QStringLiteral("tables[%1].indexes").arg(t);
        if (r != e)
            return QStringLiteral("tables[%1], outside its fields and tags").arg(t);
    }
    if (read.views != expected.views)
        return QStringLiteral("views");
    if (read.relations != expected.relations)
        return QStringLiteral("relations");
    if (read.findings != expected.findings)
        return QStringLiteral("findings");
    return QStringLiteral("source");
}

#define COMPARE_MODELS(read, expected) \
    QVERIFY2((read) == (expected), qPrintable(QStringLiteral("differ in ") + differenceBetween((read), (expected))))

QString failureOf(const std::function<void()> &run)
{
    try {
        run();
    } catch (const Failure &failure) {
        return failure.description();
    }
    return QStringLiteral("(no failure)");
}

// The document of a small container: one table of two fields (the first
// autoincrementing), a memo, a tag, a view, a relation and a finding.
QJsonObject validDocument()
{
    SourceModel source;
    source.kind = SourceModel::Kind::Container;
    source.path = QStringLiteral("/srv/shop/shop.dbc");
    TableModel orders;
    orders.name = QStringLiteral("orders");
    orders.file = QStringLiteral("orders.dbf");
    orders.lastUpdate = QDate(2024, 1, 5);
    orders.memo = model::MemoModel{QStringLiteral("orders.fpt"), 64, true};
    FieldModel id = field(1, QStringLiteral("order_id"), 'I', QStringLiteral("Integer"), 4);
    id.autoIncrement = true;
    id.nextValue = 5;
    id.step = 1;
    orders.fields = {id, field(2, QStringLiteral("customer"), 'C', QStringLiteral("Character"), 40)};
    orders.indexes = {tag(QStringLiteral("ORDER_ID"), TagKind::Primary, QStringLiteral("order_id"))};
    orders.indexesKnown = true;
    source.tables.append(orders);
    source.views.append(model::ViewModel{QStringLiteral("v"), QStringLiteral("SELECT 1"), false, QString(),
                                            QString(), {{QStringLiteral("one"), QStringLiteral("N(1)"), QString()}}});
    source.relations = {{QStringLiteral("orders"), QStringLiteral("ORDER_ID"), QStringLiteral("orders"),
                         QStringLiteral("ORDER_ID"), QStringLiteral("cascade"), QString(), QString(), true, QString()}};
    source.findings = {{model::Severity::Warning, QString(), QStringLiteral("odd")}};
    return QJsonDocument::fromJson(jsonDictionary(source)).object();
}

// The value at `path` ("tables", "0", "fields", …) changed by `change`.
QJsonValue edited(const QJsonValue &node, QStringList path, const std::function<void(QJsonValue &)> &change)
{
    QJsonValue value = node;
    if (path.isEmpty()) {
        change(value);
        return value;
    }
    const QString step = path.takeFirst();
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        const qsizetype i = step.toLongLong();
        array[i] = edited(array.at(i), path, change);
        return array;
    }
    QJsonObject object = value.toObject();
    object[step] = edited(object.value(step), path, change);
    return object;
}

// The document with the value at the dotted path set (or, for an undefined
// value, removed).
QByteArray documentWith(const QString &dotted, const QJsonValue &value)
{
    QStringList path = dotted.split(QLatin1Char('.'));
    const QString key = path.takeLast();
    const QJsonValue changed = edited(validDocument(), path, [&](QJsonValue &owner) {
        QJsonObject object = owner.toObject();
        if (value.isUndefined())
            object.remove(key);
        else
            object[key] = value;
        owner = object;
    });
    return QJsonDocument(changed.toObject()).toJson();
}

QByteArray documentWhere(const QString &dotted, const QJsonValue &value)
{
    QStringList path = dotted.split(QLatin1Char('.'));
    const QJsonValue changed = edited(validDocument(), path, [&](QJsonValue &at) { at = value; });
    return QJsonDocument(changed.toObject()).toJson();
}

// A file name no test creates anything under.
const QString documentName = QStringLiteral("shop.json");

} // namespace

class DictionaryLoadTest : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void roundTripOfRealSources_data();
    void roundTripOfRealSources();
    void whatTheDocumentCannotTell();
    void handWrittenDocument();
    void brokenDocuments_data();
    void brokenDocuments();
    void namesKeepTheirPercentSigns();
    void files();
    void partsLargerThanTheCap();
    void looksLikeDictionaryFile_data();
    void looksLikeDictionaryFile();
};

void DictionaryLoadTest::roundTrip_data()
{
    QTest::addColumn<SourceModel>("model");
    QTest::newRow("empty folder") << SourceModel();
    QTest::newRow("every key set") << everyFieldSet();
    QTest::newRow("hostile text") << hostileText();
    QTest::newRow("every type byte") << everyTypeByte();
    QTest::newRow("extreme numbers") << extremeNumbers();
    // The reader takes a document a mebibyte at a time: text of every kind
    // (plain, escaped, two to four bytes a character) across those pieces.
    SourceModel across = everyFieldSet();
    across.tables[0].comment = QString::fromUtf8("plain \"quoted\" back\\slash\n\t é € 🦊 ").repeated(100000);
    QTest::newRow("text across pieces") << across;
    // ASCII only: each piece escaped where it is written, into room made for it.
    SourceModel plain = everyFieldSet();
    plain.tables[0].comment = QStringLiteral("plain \"quoted\" back\\slash\n\t\x01 ").repeated(100000);
    QTest::newRow("plain text across pieces") << plain;
    // Declared and implied relations share the document's list and come back apart.
    SourceModel implied = everyFieldSet();
    model::RelationModel guessed = implied.relations[0];
    guessed.declared = false;
    guessed.childField = QStringLiteral("order_id");
    guessed.onUpdate.clear();
    implied.impliedRelations = {guessed};
    QTest::newRow("an implied relation") << implied;
}

void DictionaryLoadTest::roundTrip()
{
    QFETCH(SourceModel, model);
    const SourceModel read = dictionaryFromJson(jsonDictionary(model), documentName);
    COMPARE_MODELS(read, model);
}

void DictionaryLoadTest::roundTripOfRealSources_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("samples") << QStringLiteral(ORVALLE_SAMPLES_DIR);
    // Every container and every folder holding tables among the fixtures.
    const QString fixtures = QStringLiteral(ORVALLE_FIXTURES_DIR);
    const QStringList sources = fixtureSources(fixtures);
    const QDir root(fixtures);
    for (const QString &path : std::as_const(sources))
        QTest::newRow(qPrintable(root.relativeFilePath(path))) << path;
    if (sources.isEmpty())
        QTest::newRow("fixtures") << fixtures;
}

void DictionaryLoadTest::roundTripOfRealSources()
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
    const SourceModel read = dictionaryFromJson(jsonDictionary(source), documentName);
    COMPARE_MODELS(read, source);
}

// What the header says the document loses, and no more.
void DictionaryLoadTest::whatTheDocumentCannotTell()
{
    SourceModel model = everyFieldSet();
    TableModel &table = model.tables[0];
    table.name = QStringLiteral("lone ") + QChar(0xd800) + QStringLiteral(" high, lone ") + QChar(0xdc00)
        + QStringLiteral(" low, reversed ") + QChar(0xdc00) + QChar(0xd800);
    table.indexes[0].collation.clear();
    table.fields[1].nextValue = 7; // not autoincrementing
    table.fields[1].step = 2;
    model.relations[0].onUpdate = QStringLiteral("Cascade");
    model.relations[0].onDelete = QStringLiteral("none");
    model.tables[1].lastUpdate = QDate();
    model.tables[0].lastUpdate = QDate(10000, 1, 1);

    SourceModel expected = model;
    const QChar replacement(QChar::ReplacementCharacter);
    expected.tables[0].name = QStringLiteral("lone ") + replacement + QStringLiteral(" high, lone ") + replacement
        + QStringLiteral(" low, reversed ") + replacement + replacement;
    expected.tables[0].indexes[0].collation = QStringLiteral("MACHINE");
    expected.tables[0].fields[1].nextValue = 0;
    expected.tables[0].fields[1].step = 0;
    expected.relations[0].onUpdate.clear();
    expected.relations[0].onDelete.clear();
    expected.tables[1].lastUpdate.reset();
    expected.tables[0].lastUpdate.reset();

    const SourceModel read = dictionaryFromJson(jsonDictionary(model), documentName);
    COMPARE_MODELS(read, expected);
}

// A document written by hand, escapes and all, read into the model it states.
void DictionaryLoadTest::handWrittenDocument()
{
    const QByteArray document = R"json({
  "version": 1, "format": "orvalle-dictionary",
  "source": {"kind": "folder", "path": "C:\\data\\shop", "comment": "", "codePageMark": 0},
  "tables": [{
    "name": "kunden \u00e9\u0000\u001f\ud83e\udd8a", "file": "kunden.dbf", "dialect": "FoxPro 2.x",
    "version": 245, "codePageMark": 201, "codePage": "1251 (Russian Windows)", "recordCount": 4294967295,
    "lastUpdate": "2000-02-29", "headerLength": 1e2, "recordLength": 12.0, "memo": null,
    "comment": "line\r\nnext\ttab \"q\" \/slash", "rule": "", "ruleText": "", "insertTrigger": "",
    "updateTrigger": "", "deleteTrigger": "", "primaryKey": "",
    "fields": [{
      "position": 1, "name": "Имя", "shortName": "", "type": "\u00ff", "typeName": "Unknown (0xFF)",
      "width": 11, "decimals": 0, "nullable": true, "binary": false, "autoIncrement": true,
      "nextValue": -9007199254740993, "step": -1, "defaultValue": "", "rule": "", "ruleText": "",
      "caption": "\ud800x\udc00 \udc00\ud800 \ud83e\udd8a", "format": "", "inputMask": "", "comment": "Заказы"
    }],
    "indexes": [{"name": "NAME", "kind": "unique", "expression": "name", "filter": "", "descending": true,
                 "collation": "RUSSIAN"}],
    "indexesKnown": true
  }],
  "views": [],
  "relations": [{"parentTable": "a", "parentTag": "b", "childTable": "c", "childTag": "d",
                 "onUpdate": "ignore", "onDelete": null, "onInsert": "restrict"}],
  "findings": [{"severity": "error", "place": "x.dbf", "message": "Not a table."}]
})json";
    SourceModel expected;
    expected.kind = SourceModel::Kind::Folder;
    expected.path = QStringLiteral("C:\\data\\shop");
    TableModel table;
    table.name = QStringLiteral("kunden ") + QChar(0xe9) + QChar(0) + QChar(0x1f) + QString::fromUtf8("🦊");
    table.file = QStringLiteral("kunden.dbf");
    table.dialect = QStringLiteral("FoxPro 2.x");
    table.version = 245;
    table.codePageMark = 201;
    table.codePage = QStringLiteral("1251 (Russian Windows)");
    table.recordCount = 4294967295u;
    table.lastUpdate = QDate(2000, 2, 29);
    table.headerLength = 100;
    table.recordLength = 12;
    table.comment = QStringLiteral("line\r\nnext\ttab \"q\" /slash");
    FieldModel name = field(1, QStringLiteral("Имя"), char(0xff), QStringLiteral("Unknown (0xFF)"), 11);
    name.nullable = true;
    name.autoIncrement = true;
    name.nextValue = -9007199254740993LL;
    name.step = -1;
    // Unpaired surrogates only an escape can carry read as the writer writes them; a pair is a pair.
    name.caption = QString(QChar(QChar::ReplacementCharacter)) + QStringLiteral("x") + QChar(QChar::ReplacementCharacter)
        + QStringLiteral(" ") + QChar(QChar::ReplacementCharacter) + QChar(QChar::ReplacementCharacter)
        + QStringLiteral(" ") + QString::fromUtf8("🦊");
    name.comment = QStringLiteral("Заказы");
    table.fields.append(name);
    table.indexes.append(tag(QStringLiteral("NAME"), TagKind::Unique, QStringLiteral("name"), QString(), true,
                             QStringLiteral("RUSSIAN")));
    table.indexesKnown = true;
    expected.tables.append(table);
    expected.relations = {{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                           QStringLiteral("ignore"), QString(), QStringLiteral("restrict"), true, QString()}};
    expected.findings = {{model::Severity::Error, QStringLiteral("x.dbf"), QStringLiteral("Not a table.")}};

    const SourceModel read = dictionaryFromJson(document, documentName);
    COMPARE_MODELS(read, expected);
}

void DictionaryLoadTest::brokenDocuments_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("message");
    const QJsonValue removed = QJsonValue(QJsonValue::Undefined);

    // Not JSON, or not a dictionary.
    QTest::newRow("empty") << QByteArray() << "shop.json: empty, not JSON";
    QTest::newRow("markup") << QByteArray("<html>") << "shop.json: not JSON: illegal value at byte 1";
    QTest::newRow("truncated")
        << QByteArray(R"({"format": "orvalle-dictionary", "version": 1, "source": {)")
        << "shop.json: not JSON: unterminated object at byte 58";
    // The writer's own document cut in its last closing brackets: the parser
    // meets the end of the input inside the document.
    const QByteArray cut = jsonDictionary(everyFieldSet()).chopped(3);
    QTest::newRow("truncated writer's document")
        << cut << QStringLiteral("shop.json: not JSON: unterminated object at byte %1").arg(cut.size());
    QTest::newRow("array") << QByteArray("[]") << "shop.json: not an orvalle-dictionary document";
    // RFC 8259 wants every control character in a string escaped.
    QTest::newRow("raw tab in a string") << QByteArray("{\"format\": \"orvalle-dictionary\t\"}")
                                         << "shop.json: not JSON: a control character (0x09) not escaped in a string at byte 31";
    QTest::newRow("raw NUL in a string") << QByteArray("{\"format\": \"orvalle-dictionary\0\"}", 33)
                                         << "shop.json: not JSON: a control character (0x00) not escaped in a string at byte 31";
    QTest::newRow("nested past 1024") << QByteArray("{\"a\": ") + QByteArray(1024, '[') + QByteArray(1024, ']') + "}"
                                      << "shop.json: not JSON: too deeply nested document at byte 1030";
    QTest::newRow("garbage after the document") << QByteArray("{} x") << "shop.json: not JSON: garbage at the end of the document at byte 3";
    {
        // Found when the document is checked, before a table is read.
        const QByteArray valid = documentWith("tables.0.recordCount", 7);
        const QByteArray huge = QByteArray(valid).replace("\"recordCount\": 7", "\"recordCount\": 1e400");
        QTest::newRow("number beyond a double")
            << huge << QStringLiteral("shop.json: not JSON: illegal number at byte %1").arg(huge.indexOf("1e400") + 5);
    }
    QTest::newRow("more members at the top than a reader holds")
        << QByteArray("{") + QByteArray("\"k\": 0, ").repeated(1024) + QByteArray("\"k\": 0}")
        << "shop.json: more than 1024 members at the top at byte 8199";
    QTest::newRow("another format") << documentWith("format", QStringLiteral("orvalle-report"))
                                    << "shop.json: not an orvalle-dictionary document";
    QTest::newRow("no format") << documentWith("format", removed) << "shop.json: not an orvalle-dictionary document";
    QTest::newRow("version 2") << documentWith("version", 2)
                               << "shop.json: version 2 of the orvalle-dictionary format; only version 1 is read";
    QTest::newRow("version 0") << documentWith("version", 0)
                               << "shop.json: version 0 of the orvalle-dictionary format; only version 1 is read";
    QTest::newRow("version beyond 64 bits")
        << QByteArray(documentWith("version", 7)).replace("\"version\": 7", "\"version\": 1e19")
        << "shop.json: version: out of range; only version 1 of the orvalle-dictionary format is read";
    QTest::newRow("version as text") << documentWith("version", QStringLiteral("1"))
                                     << "shop.json: version: not an integer";
    QTest::newRow("version 1.5") << documentWith("version", 1.5) << "shop.json: version: not an integer";
    QTest::newRow("no version") << documentWith("version", removed) << "shop.json: version: missing";

    // Keys missing or unknown.
    QTest::newRow("no findings") << documentWith("findings", removed) << "shop.json: findings: missing";
    QTest::newRow("no width") << documentWith("tables.0.fields.1.width", removed)
                              << "shop.json: tables[0].fields[1].width: missing";
    QTest::newRow("no memo") << documentWith("tables.0.memo", removed) << "shop.json: tables[0].memo: missing";
    QTest::newRow("no present") << documentWith("tables.0.memo.present", removed)
                                << "shop.json: tables[0].memo.present: missing";
    QTest::newRow("no dataType") << documentWith("views.0.fields.0.dataType", removed)
                                 << "shop.json: views[0].fields[0].dataType: missing";
    QTest::newRow("no onInsert") << documentWith("relations.0.onInsert", removed)
                                 << "shop.json: relations[0].onInsert: missing";
    QTest::newRow("no step") << documentWith("tables.0.fields.0.step", removed)
                             << "shop.json: tables[0].fields[0].step: missing";
    QTest::newRow("extra key at the top") << documentWith("colour", QStringLiteral("red"))
                                          << "shop.json: unknown key \"colour\"";
    QTest::newRow("extra key in a field") << documentWith("tables.0.fields.0.colour", 1)
                                          << "shop.json: tables[0].fields[0]: unknown key \"colour\"";
    QTest::newRow("extra key in the source") << documentWith("source.colour", QJsonValue())
                                             << "shop.json: source: unknown key \"colour\"";
    QTest::newRow("extra key in a finding") << documentWith("findings.0.line", 3)
                                            << "shop.json: findings[0]: unknown key \"line\"";
    QTest::newRow("extra key of hostile text")
        << documentWith(QStringLiteral("tables.0.a\nb\"c\\d") + QChar(0x2028) + QChar(0x85), true)
        << "shop.json: tables[0]: unknown key \"a\\u000ab\\\"c\\\\d\\u2028\\u0085\"";
    QTest::newRow("extra key, long")
        << documentWith(QStringLiteral("tables.0.") + QString(50, QLatin1Char('k')), true)
        << QStringLiteral("shop.json: tables[0]: unknown key \"") + QString(40, QLatin1Char('k'))
               + QStringLiteral("…\"");
    QTest::newRow("misspelt key") << QJsonDocument(validDocument()).toJson().replace("\"width\"", "\"widht\"")
                                  << "shop.json: tables[0].fields[0]: unknown key \"widht\"";

    // Values of the wrong type.
    QTest::newRow("source an array") << documentWith("source", QJsonArray()) << "shop.json: source: not an object";
    QTest::newRow("tables an object") << documentWith("tables", QJsonObject()) << "shop.json: tables: not an array";
    QTest::newRow("a table a string") << documentWhere("tables.0", QStringLiteral("orders"))
                                      << "shop.json: tables[0]: not an object";
    QTest::newRow("a view field null") << documentWhere("views.0.fields.0", QJsonValue())
                                       << "shop.json: views[0].fields[0]: not an object";
    QTest::newRow("name a number") << documentWith("tables.0.name", 5) << "shop.json: tables[0].name: not a string";
    QTest::newRow("path null") << documentWith("source.path", QJsonValue()) << "shop.json: source.path: not a string";
    QTest::newRow("width as text") << documentWith("tables.0.fields.1.width", QStringLiteral("40"))
                                   << "shop.json: tables[0].fields[1].width: not an integer";
    QTest::newRow("width a fraction") << documentWith("tables.0.fields.1.width", 40.5)
                                      << "shop.json: tables[0].fields[1].width: not an integer";
    QTest::newRow("nullable a number") << documentWith("tables.0.fields.1.nullable", 1)
                                       << "shop.json: tables[0].fields[1].nullable: not a boolean";
    QTest::newRow("indexesKnown null") << documentWith("tables.0.indexesKnown", QJsonValue())
                                       << "shop.json: tables[0].indexesKnown: not a boolean";
    QTest::newRow("memo a string") << documentWith("tables.0.memo", QStringLiteral("orders.fpt"))
                                   << "shop.json: tables[0].memo: not an object or null";
    QTest::newRow("lastUpdate a number") << documentWith("tables.0.lastUpdate", 20240105)
                                         << "shop.json: tables[0].lastUpdate: not a string or null";
    QTest::newRow("lastUpdate no date") << documentWith("tables.0.lastUpdate", QStringLiteral("2023-02-29"))
                                        << "shop.json: tables[0].lastUpdate: not a date YYYY-MM-DD";
    QTest::newRow("lastUpdate short") << documentWith("tables.0.lastUpdate", QStringLiteral("2024-1-5"))
                                      << "shop.json: tables[0].lastUpdate: not a date YYYY-MM-DD";
    QTest::newRow("lastUpdate with a time") << documentWith("tables.0.lastUpdate", QStringLiteral("2024-01-05T10:00"))
                                            << "shop.json: tables[0].lastUpdate: not a date YYYY-MM-DD";
    QTest::newRow("lastUpdate year 0") << documentWith("tables.0.lastUpdate", QStringLiteral("0000-01-01"))
                                       << "shop.json: tables[0].lastUpdate: not a date YYYY-MM-DD";
    QTest::newRow("lastUpdate other digits")
        << documentWith("tables.0.lastUpdate", QStringLiteral("２０２４-01-05"))
        << "shop.json: tables[0].lastUpdate: not a date YYYY-MM-DD";
    QTest::newRow("rule a boolean") << documentWith("relations.0.onUpdate", false)
                                    << "shop.json: relations[0].onUpdate: not a string or null";
    QTest::newRow("declared a word") << documentWith("relations.0.declared", QStringLiteral("no"))
                                     << "shop.json: relations[0].declared: not a boolean";
    QTest::newRow("kind a number") << documentWith("tables.0.indexes.0.kind", 0)
                                   << "shop.json: tables[0].indexes[0].kind: not a string";
    QTest::newRow("nextValue without autoIncrement") << documentWith("tables.0.fields.1.nextValue", 5)
                                                     << "shop.json: tables[0].fields[1].nextValue: not null, though "
                                                        "autoIncrement is false";
    QTest::newRow("step without autoIncrement") << documentWith("tables.0.fields.1.step", 0)
                                                << "shop.json: tables[0].fields[1].step: not null, though "
                                                   "autoIncrement is false";
    QTest::newRow("autoIncrement with no step") << documentWith("tables.0.fields.0.step", QJsonValue())
                                                << "shop.json: tables[0].fields[0].step: not an integer";

    // Numbers the model cannot hold, or the schema does not allow.
    QTest::newRow("version byte 256") << documentWith("tables.0.version", 256)
                                      << "shop.json: tables[0].version: 256 is out of range 0..255";
    QTest::newRow("code page mark -1") << documentWith("source.codePageMark", -1)
                                       << "shop.json: source.codePageMark: -1 is out of range 0..255";
    QTest::newRow("negative width") << documentWith("tables.0.fields.1.width", -1)
                                    << "shop.json: tables[0].fields[1].width: -1 is out of range 0..2147483647";
    QTest::newRow("width beyond int") << documentWith("tables.0.fields.1.width", 2147483648.0)
                                      << "shop.json: tables[0].fields[1].width: 2147483648 is out of range "
                                         "0..2147483647";
    QTest::newRow("decimals 256") << documentWith("tables.0.fields.1.decimals", 256)
                                  << "shop.json: tables[0].fields[1].decimals: 256 is out of range 0..255";
    QTest::newRow("position 0") << documentWith("tables.0.fields.0.position", 0)
                                << "shop.json: tables[0].fields[0].position: 0 is out of range 1..2147483647";
    QTest::newRow("record count beyond 32 bits")
        << documentWith("tables.0.recordCount", 4294967296.0)
        << "shop.json: tables[0].recordCount: 4294967296 is out of range 0..4294967295";
    QTest::newRow("header length beyond 16 bits")
        << documentWith("tables.0.headerLength", 65536)
        << "shop.json: tables[0].headerLength: 65536 is out of range 0..65535";
    QTest::newRow("negative record length")
        << documentWith("tables.0.recordLength", -27)
        << "shop.json: tables[0].recordLength: -27 is out of range 0..65535";
    QTest::newRow("negative block size") << documentWith("tables.0.memo.blockSize", -64)
                                         << "shop.json: tables[0].memo.blockSize: -64 is out of range 0..2147483647";
    QTest::newRow("step beyond int") << documentWith("tables.0.fields.0.step", -2147483649.0)
                                     << "shop.json: tables[0].fields[0].step: -2147483649 is out of range "
                                        "-2147483648..2147483647";
    QTest::newRow("nextValue beyond 64 bits")
        << QByteArray(documentWith("tables.0.fields.0.nextValue", 12345)).replace("12345", "9223372036854775808")
        << "shop.json: tables[0].fields[0].nextValue: out of range "
           "-9223372036854775808..9223372036854775807";
    QTest::newRow("huge version byte") << documentWith("tables.0.version", 1e300)
                                       << "shop.json: tables[0].version: out of range 0..255";

    // Type letters and words.
    QTest::newRow("type of two characters") << documentWith("tables.0.fields.1.type", QStringLiteral("CC"))
                                            << "shop.json: tables[0].fields[1].type: not one character";
    QTest::newRow("empty type") << documentWith("tables.0.fields.1.type", QString())
                                << "shop.json: tables[0].fields[1].type: not one character";
    QTest::newRow("type beyond Latin-1") << documentWith("tables.0.fields.1.type", QStringLiteral("€"))
                                         << "shop.json: tables[0].fields[1].type: not a Latin-1 character";
    QTest::newRow("type beyond the BMP") << documentWith("tables.0.fields.1.type", QString::fromUtf8("🦊"))
                                         << "shop.json: tables[0].fields[1].type: not a Latin-1 character";
    QTest::newRow("type a number") << documentWith("tables.0.fields.1.type", 67)
                                   << "shop.json: tables[0].fields[1].type: not a string";
    QTest::newRow("unknown tag kind") << documentWith("tables.0.indexes.0.kind", QStringLiteral("primry"))
                                      << "shop.json: tables[0].indexes[0].kind: not one of primary, candidate, "
                                         "unique, regular";
    QTest::newRow("tag kind in capitals") << documentWith("tables.0.indexes.0.kind", QStringLiteral("Primary"))
                                          << "shop.json: tables[0].indexes[0].kind: not one of primary, candidate, "
                                             "unique, regular";
    QTest::newRow("unknown source kind") << documentWith("source.kind", QStringLiteral("database"))
                                         << "shop.json: source.kind: not one of folder, container";
    QTest::newRow("unknown severity") << documentWith("findings.0.severity", QStringLiteral("fatal"))
                                      << "shop.json: findings[0].severity: not one of warning, error";
    QTest::newRow("unknown rule") << documentWith("relations.0.onDelete", QStringLiteral("CASCADE"))
                                  << "shop.json: relations[0].onDelete: not one of cascade, restrict, ignore";
    QTest::newRow("empty rule") << documentWith("relations.0.onInsert", QString())
                                << "shop.json: relations[0].onInsert: not one of cascade, restrict, ignore";
    QTest::newRow("empty collation") << documentWith("tables.0.indexes.0.collation", QString())
                                     << "shop.json: tables[0].indexes[0].collation: empty";
}

void DictionaryLoadTest::brokenDocuments()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, message);
    QCOMPARE(failureOf([&] { dictionaryFromJson(document, documentName); }), message);
}

// A name is text of the user's: its "%1" is no place for the next value.
void DictionaryLoadTest::namesKeepTheirPercentSigns()
{
    const QString name = QStringLiteral("shop%1%2%3%4.json");
    QCOMPARE(failureOf([&] { dictionaryFromJson("<html>", name); }),
             QStringLiteral("shop%1%2%3%4.json: not JSON: illegal value at byte 1"));
    QCOMPARE(failureOf([&] { dictionaryFromJson(documentWith("version", 2), name); }),
             QStringLiteral("shop%1%2%3%4.json: version 2 of the orvalle-dictionary format; only version 1 is read"));
    QCOMPARE(failureOf([&] { dictionaryFromJson(documentWith("tables.0.fields.1.width", 300.5), name); }),
             QStringLiteral("shop%1%2%3%4.json: tables[0].fields[1].width: not an integer"));
    QCOMPARE(failureOf([&] { dictionaryFromJson(documentWith("tables.0.version", 300), name); }),
             QStringLiteral("shop%1%2%3%4.json: tables[0].version: 300 is out of range 0..255"));
}

void DictionaryLoadTest::files()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("shop.JSON"));
    const SourceModel model = everyFieldSet();
    {
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(jsonDictionary(model)) > 0);
    }
    COMPARE_MODELS(readDictionaryFile(good), model);

    QCOMPARE(failureOf([&] { readDictionaryFile(dir.filePath(QStringLiteral("missing.json"))); }),
             QStringLiteral("File 'missing.json' does not exist."));

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.json")));
    QCOMPARE(failureOf([&] { readDictionaryFile(dir.filePath(QStringLiteral("folder.json"))); }),
             QStringLiteral("'folder.json' is a folder, not a file."));

    // No writer ever opens the pipe: an open that waited for one would hang here.
    const QString fifo = dir.filePath(QStringLiteral("pipe.json"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QCOMPARE(failureOf([&] { readDictionaryFile(fifo); }),
             QStringLiteral("'pipe.json' is not a regular file (a pipe, a device or a socket)."));

    const QString empty = dir.filePath(QStringLiteral("empty.json"));
    {
        QFile file(empty);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(failureOf([&] { readDictionaryFile(empty); }), QStringLiteral("empty.json: empty, not JSON"));

    // Failures name the file by its name alone, as every file failure does.
    const QString broken = dir.filePath(QStringLiteral("broken.json"));
    {
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(jsonDictionary(model).replace("\"kind\": \"regular\"", "\"kind\": \"clustered\"")) > 0);
    }
    QCOMPARE(failureOf([&] { readDictionaryFile(broken); }),
             QStringLiteral("broken.json: tables[0].indexes[3].kind: not one of primary, candidate, unique, regular"));
}

// What the writer writes, the loader reads: a document of any size, each of
// its tables no larger than a part may be. A larger table the writer refuses
// to write, and the loader to read.
void DictionaryLoadTest::partsLargerThanTheCap()
{
    QCOMPARE(MaxDictionaryPartSize, qint64(536870912));
    SourceModel model = everyFieldSet();
    const model::TableModel first = model.tables.first();
    for (const char *name : {"second", "third", "fourth"}) {
        model::TableModel copy = first;
        copy.name = QLatin1String(name);
        model.tables.append(copy);
    }
    const qint64 cap = jsonDictionary(model).size() / 3;
    const QByteArray document = jsonDictionary(model, cap);
    QVERIFY(document.size() > cap);
    DictionaryFile file(JsonBytes::inMemory(document), documentName, cap);
    QStringList names;
    for (const model::TableModel &table : std::as_const(model.tables))
        names.append(table.name);
    QCOMPARE(file.tableNames(), names);
    QVERIFY(file.table(3) == model.tables.at(3));

    const qsizetype second = names.indexOf(QStringLiteral("second"));
    model.tables[second].comment = QString(cap, QLatin1Char('x'));
    const QString refused = failureOf([&] { jsonDictionary(model, cap); });
    QVERIFY2(refused.startsWith(QStringLiteral("The dictionary cannot be written: the table 'second' would take ")),
             qPrintable(refused));
    QVERIFY2(refused.endsWith(QStringLiteral(" bytes, more than the %1 a part of a data dictionary may have.").arg(cap)),
             qPrintable(refused));
    const QString unread = failureOf([&] { DictionaryFile(JsonBytes::inMemory(jsonDictionary(model)), documentName, cap); });
    QVERIFY2(unread.startsWith(documentName + QStringLiteral(": tables[%1]: ").arg(second)), qPrintable(unread));
    QVERIFY2(unread.endsWith(QStringLiteral(" bytes, more than the %1 a part of a data dictionary may have").arg(cap)),
             qPrintable(unread));
}

void DictionaryLoadTest::looksLikeDictionaryFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::newRow("json") << "shop.json" << true;
    QTest::newRow("JSON") << "SHOP.JSON" << true;
    QTest::newRow("Json") << "shop.Json" << true;
    QTest::newRow("link to a json file") << "link.json" << true;
    QTest::newRow("json folder") << "folder.json" << false;
    QTest::newRow("missing") << "missing.json" << false;
    QTest::newRow("pipe") << "pipe.json" << false;
    QTest::newRow("table") << "shop.dbf" << false;
    QTest::newRow("container") << "shop.dbc" << false;
    QTest::newRow("json in the middle") << "shop.json.txt" << false;
    QTest::newRow("no dot") << "shopjson" << false;
}

void DictionaryLoadTest::looksLikeDictionaryFile()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *file : {"shop.json", "SHOP.JSON", "shop.Json", "shop.dbf", "shop.dbc", "shop.json.txt", "shopjson"}) {
        QFile made(dir.filePath(QLatin1String(file)));
        QVERIFY(made.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.json")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("shop.dbf")), dir.filePath(QStringLiteral("link.json"))));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.json"))).constData(), 0600), 0);
    QCOMPARE(dictionary::looksLikeDictionaryFile(dir.filePath(name)), expected);
}

QTEST_MAIN(DictionaryLoadTest)
#include "tst_dictionaryload.moc"
