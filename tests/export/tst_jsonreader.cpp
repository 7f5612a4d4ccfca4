// The strict JSON reader: what each document reads as, or the fault and the
// byte it names; the same across the pieces the reader takes a file in.

#include "export/dictionary/jsonreader.h"

#include <QTemporaryDir>
#include <QTest>

using dictionary::JsonBytes;
using dictionary::JsonFault;
using dictionary::JsonLayout;
using dictionary::JsonRange;
using dictionary::JsonValue;

namespace {

// A value in a short form the expectations are written in: strings quoted
// with their characters as they are (\u{XXXX} for the unprintable), numbers
// as integers ("i5"), integral numbers beyond 64 bits ("big") or others
// ("d2.5"), objects with their members in order.
QString shown(const JsonValue &value)
{
    switch (value.type) {
    case JsonValue::Type::Undefined:
        return QStringLiteral("undefined");
    case JsonValue::Type::Null:
        return QStringLiteral("null");
    case JsonValue::Type::Boolean:
        return value.boolean ? QStringLiteral("true") : QStringLiteral("false");
    case JsonValue::Type::Number:
        if (value.integral == JsonValue::Integral::Exact)
            return QStringLiteral("i%1").arg(value.integer);
        if (value.integral == JsonValue::Integral::TooLarge)
            return QStringLiteral("big");
        return QStringLiteral("d%1").arg(value.number);
    case JsonValue::Type::String: {
        QString text = QStringLiteral("\"");
        for (const QChar c : value.string) {
            if (c.unicode() < 0x20 || c.unicode() > 0x7E)
                text += QStringLiteral("\\u{%1}").arg(uint(c.unicode()), 4, 16, QLatin1Char('0'));
            else
                text += c;
        }
        return text + QLatin1Char('"');
    }
    case JsonValue::Type::Array: {
        QStringList items;
        for (const JsonValue &item : value.items)
            items.append(shown(item));
        return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    case JsonValue::Type::Object: {
        QStringList members;
        for (const auto &[key, member] : value.members)
            members.append(key + QLatin1Char(':') + shown(member));
        return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
    }
    }
    return QString();
}

// What a whole document reads as: its value, or "fault <what> at <byte>".
QString read(const QByteArray &document)
{
    const std::unique_ptr<JsonBytes> bytes = JsonBytes::inMemory(document);
    const std::variant<JsonValue, JsonFault> value = dictionary::readJsonValue(*bytes, {0, bytes->size()});
    if (const JsonFault *fault = std::get_if<JsonFault>(&value))
        return QStringLiteral("fault %1 at %2").arg(fault->what).arg(fault->offset);
    return shown(std::get<JsonValue>(value));
}

} // namespace

class JsonReaderTest : public QObject {
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void acrossPieces();
    void layout();
    void layoutFaults_data();
    void layoutFaults();
};

void JsonReaderTest::values_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("expected");

    QTest::newRow("object") << QByteArray(R"( {"a": [1, -2.5, "x", true, false, null], "b": {}} )")
                            << R"({a:[i1,d-2.5,"x",true,false,null],b:{}})";
    QTest::newRow("a key twice keeps both, in order") << QByteArray(R"({"k": 1, "k": 2})") << "{k:i1,k:i2}";
    // Numbers as Qt's parser keeps them: integers of 64 bits exactly.
    QTest::newRow("largest integer") << QByteArray("[9223372036854775807, -9223372036854775808]")
                                     << "[i9223372036854775807,i-9223372036854775808]";
    QTest::newRow("integral beyond 64 bits") << QByteArray("[9223372036854775808, 1e19]") << "[big,big]";
    QTest::newRow("integral in other forms") << QByteArray("[1.0, 1e2, -0, 0.5e1]") << "[i1,i100,i0,i5]";
    QTest::newRow("a fraction") << QByteArray("[0.25, 1e-2]") << "[d0.25,d0.01]";
    QTest::newRow("beyond a double") << QByteArray("[1e400]") << "fault illegal number at 6";
    QTest::newRow("leading zero") << QByteArray("[01]") << "fault missing value separator at 3";
    QTest::newRow("point without digits") << QByteArray("[1.]") << "fault illegal number at 3";
    QTest::newRow("plus sign") << QByteArray("[+1]") << "fault illegal value at 2";
    // Strings: every escape, UTF-8 of every length, nothing raw below 0x20.
    QTest::newRow("escapes") << QByteArray(R"(["\" \\ \/ \b \f \n \r \t \u00e9 \ud83e\udd8a"])")
                             << "[\"\" \\ / \\u{0008} \\u{000c} \\u{000a} \\u{000d} \\u{0009} \\u{00e9} "
                                "\\u{d83e}\\u{dd8a}\"]";
    QTest::newRow("a lone surrogate escape is kept") << QByteArray(R"(["\ud800"])") << "[\"\\u{d800}\"]";
    QTest::newRow("UTF-8") << QByteArray("[\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\xA6\x8A\xEF\xBB\xBF\"]")
                           << "[\"\\u{00e9}\\u{20ac}\\u{d83e}\\u{dd8a}\\u{feff}\"]";
    QTest::newRow("raw tab") << QByteArray("[\"a\tb\"]")
                             << "fault a control character (0x09) not escaped in a string at 4";
    QTest::newRow("raw line feed") << QByteArray("[\"a\nb\"]")
                                   << "fault a control character (0x0a) not escaped in a string at 4";
    QTest::newRow("unknown escape") << QByteArray(R"(["\x"])") << "fault invalid escape sequence at 4";
    QTest::newRow("short unicode escape") << QByteArray(R"(["\u12"])") << "fault invalid escape sequence at 7";
    QTest::newRow("overlong UTF-8") << QByteArray("[\"\xC0\xAF\"]") << "fault invalid UTF8 string at 3";
    QTest::newRow("encoded surrogate") << QByteArray("[\"\xED\xA0\x80\"]") << "fault invalid UTF8 string at 5";
    QTest::newRow("UTF-8 cut short") << QByteArray("[\"\xE2\x82\"]") << "fault invalid UTF8 string at 4";
    QTest::newRow("beyond U+10FFFF") << QByteArray("[\"\xF4\x90\x80\x80\"]") << "fault invalid UTF8 string at 6";
    QTest::newRow("unterminated string") << QByteArray("[\"abc") << "fault unterminated string at 5";
    // Structure.
    QTest::newRow("unterminated object") << QByteArray(R"({"a": 1)") << "fault unterminated object at 7";
    QTest::newRow("unterminated array") << QByteArray("[1, 2") << "fault unterminated array at 5";
    QTest::newRow("missing colon") << QByteArray(R"({"a" 1})") << "fault missing name separator at 6";
    QTest::newRow("missing comma") << QByteArray("[1 2]") << "fault missing value separator at 4";
    QTest::newRow("trailing comma") << QByteArray(R"({"a": 1,})") << "fault object is missing after a comma at 9";
    QTest::newRow("key not a string") << QByteArray("{a: 1}") << "fault illegal value at 2";
    QTest::newRow("misspelt literal") << QByteArray("[tru]") << "fault illegal value at 5";
    QTest::newRow("garbage after") << QByteArray("[] []") << "fault garbage at the end of the document at 3";
    QTest::newRow("1024 levels") << QByteArray(1024, '[') + QByteArray(1024, ']')
                                 << QStringLiteral("[").repeated(1024) + QStringLiteral("]").repeated(1024);
    QTest::newRow("1025 levels") << QByteArray(1025, '[') + QByteArray(1025, ']')
                                 << "fault too deeply nested document at 1025";
}

void JsonReaderTest::values()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, expected);
    QCOMPARE(read(document), expected);
}

// A file is read a mebibyte at a time: a string, an escape, a character of
// four bytes, a number and a literal each cut by the end of a piece read
// as they do whole.
void JsonReaderTest::acrossPieces()
{
    constexpr qsizetype piece = 1 << 20;
    const QList<QByteArray> cut = {"\"x\"", "\"\\u00e9\"", "\"\xF0\x9F\xA6\x8A\"", "12345", "true"};
    for (const QByteArray &value : cut) {
        for (qsizetype at = 1; at < value.size(); ++at) {
            // "[" + spaces, so the value starts `at` bytes before the piece ends.
            QByteArray document = "[" + QByteArray(piece - 1 - (value.size() - at), ' ');
            document += value + "]";
            QTemporaryDir dir;
            QVERIFY(dir.isValid());
            QFile file(dir.filePath(QStringLiteral("cut.json")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(document), document.size());
            file.close();
            const std::unique_ptr<JsonBytes> bytes =
                JsonBytes::inFile(platform::LocalPath::fromText(file.fileName()));
            const std::variant<JsonValue, JsonFault> whole = dictionary::readJsonValue(*bytes, {0, bytes->size()});
            QVERIFY2(std::holds_alternative<JsonValue>(whole), value.constData());
            QCOMPARE(shown(std::get<JsonValue>(whole)), read("[" + value + "]"));
        }
    }
}

// The top object laid out: each member by the bytes of its value, the items
// of the list asked for each by their own, a key written twice as often as
// it is written and the list as its last one holds it.
void JsonReaderTest::layout()
{
    const QByteArray document = R"({"a": 1, "tables": [ {"n": 1} , "x"], "tables": [[2], 3], "b": "y"})";
    const std::unique_ptr<JsonBytes> bytes = JsonBytes::inMemory(document);
    const std::variant<JsonLayout, JsonFault> laidOut = dictionary::layOutJson(*bytes, QLatin1StringView("tables"));
    QVERIFY(std::holds_alternative<JsonLayout>(laidOut));
    const JsonLayout &layout = std::get<JsonLayout>(laidOut);
    QVERIFY(layout.topIsObject);
    QStringList members;
    for (const JsonLayout::Member &member : layout.members)
        members.append(member.key + QLatin1Char('=') + QString::fromUtf8(document.sliced(member.value.begin, member.value.size())));
    QCOMPARE(members, (QStringList{"a=1", R"(tables=[ {"n": 1} , "x"])", "tables=[[2], 3]", R"(b="y")"}));
    QVERIFY(layout.listIsArray);
    QStringList items;
    for (const JsonRange &item : layout.listItems)
        items.append(QString::fromUtf8(document.sliced(item.begin, item.size())));
    QCOMPARE(items, (QStringList{"[2]", "3"}));
}

void JsonReaderTest::layoutFaults_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("fault");
    QTest::newRow("markup") << QByteArray("<html>") << "illegal value at 1";
    QTest::newRow("only white space") << QByteArray(" \n") << "illegal value at 2";
    QTest::newRow("cut in the list") << QByteArray(R"({"tables": [{"a": 1}, )") << "unterminated array at 22";
    QTest::newRow("raw control in an item") << QByteArray("{\"tables\": [\"a\x01\"]}")
                                            << "a control character (0x01) not escaped in a string at 15";
    QTest::newRow("garbage after the top") << QByteArray("{} {}") << "garbage at the end of the document at 3";
}

void JsonReaderTest::layoutFaults()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, fault);
    const std::unique_ptr<JsonBytes> bytes = JsonBytes::inMemory(document);
    const std::variant<JsonLayout, JsonFault> laidOut = dictionary::layOutJson(*bytes, QLatin1StringView("tables"));
    QVERIFY(std::holds_alternative<JsonFault>(laidOut));
    const JsonFault &found = std::get<JsonFault>(laidOut);
    QCOMPARE(QStringLiteral("%1 at %2").arg(found.what).arg(found.offset), fault);
}

QTEST_MAIN(JsonReaderTest)
#include "tst_jsonreader.moc"
