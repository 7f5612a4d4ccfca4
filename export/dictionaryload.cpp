#include "export/dictionaryload.h"
#include "export/dictionary.h"
#include "export/dictionarytext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>

namespace exporting {

namespace {

constexpr qint64 IntMax = std::numeric_limits<int>::max();
constexpr qint64 IntMin = std::numeric_limits<int>::min();
constexpr qint64 Int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 Int64Min = std::numeric_limits<qint64>::min();

// A key the document holds but the schema does not, shown so that no text of
// the document can break the one line of the message or run on for pages.
QString shownKey(const QString &key)
{
    constexpr qsizetype MaxShown = 40;
    QString shown = QStringLiteral("\"");
    for (qsizetype i = 0; i < key.size() && i < MaxShown; ++i) {
        const char16_t c = key[i].unicode();
        if (c == u'"' || c == u'\\') {
            shown += QLatin1Char('\\');
            shown += QChar(c);
        } else if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029 || QChar::isSurrogate(c)) {
            shown += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        } else {
            shown += QChar(c);
        }
    }
    if (key.size() > MaxShown)
        shown += QStringLiteral("…");
    return shown + QLatin1Char('"');
}

// The integer a JSON number holds exactly, if it is one within qint64.
// QJsonDocument keeps integers of up to 64 bits exactly.
enum class Number { Integer, NotInteger, TooLarge };
Number integerOf(const QJsonValue &value, qint64 &out)
{
    if (!value.isDouble())
        return Number::NotInteger;
    const qint64 zero = value.toInteger(0);
    if (zero != 0 || value.toInteger(1) == 0) {
        out = zero;
        return Number::Integer;
    }
    const double real = value.toDouble();
    return std::isfinite(real) && std::trunc(real) == real ? Number::TooLarge : Number::NotInteger;
}

// Text as the document holds it but for an unpaired surrogate, which only an
// escape can carry: U+FFFD, as the writer writes one, so a model read writes
// the same document again.
QString textOf(const QString &text)
{
    for (const QChar c : text) {
        if (c.isSurrogate())
            return pairedText(text);
    }
    return text;
}

// One object of the document: its keys checked against those the schema
// names for it, then its values read by key, each checked as it is read.
class Object {
public:
    Object(const QString &name, const QString &where, const QJsonObject &object,
           std::initializer_list<const char *> keys)
        : m_name(name), m_where(where), m_object(object)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool known = false;
            for (const char *key : keys)
                known = known || it.key() == QLatin1String(key);
            if (!known)
                failHere(QStringLiteral("unknown key ") + shownKey(it.key()));
        }
        for (const char *key : keys) {
            if (!object.contains(QLatin1String(key)))
                fail(key, QStringLiteral("missing"));
        }
    }

    [[noreturn]] void fail(const char *key, const QString &problem) const
    {
        throw Failure(QStringLiteral("%1: %2: %3").arg(m_name, place(key), problem));
    }
    [[noreturn]] void failHere(const QString &problem) const
    {
        if (m_where.isEmpty())
            throw Failure(QStringLiteral("%1: %2").arg(m_name, problem));
        throw Failure(QStringLiteral("%1: %2: %3").arg(m_name, m_where, problem));
    }

    QString place(const char *key) const
    {
        return m_where.isEmpty() ? QString::fromLatin1(key) : m_where + QLatin1Char('.') + QLatin1String(key);
    }
    const QString &name() const { return m_name; }
    QJsonValue value(const char *key) const { return m_object.value(QLatin1String(key)); }
    bool isNull(const char *key) const { return value(key).isNull(); }

    QString text(const char *key) const
    {
        const QJsonValue v = value(key);
        if (!v.isString())
            fail(key, QStringLiteral("not a string"));
        return textOf(v.toString());
    }
    bool boolean(const char *key) const
    {
        const QJsonValue v = value(key);
        if (!v.isBool())
            fail(key, QStringLiteral("not a boolean"));
        return v.toBool();
    }
    qint64 integer(const char *key, qint64 min, qint64 max) const
    {
        qint64 number = 0;
        switch (integerOf(value(key), number)) {
        case Number::NotInteger:
            fail(key, QStringLiteral("not an integer"));
        case Number::TooLarge:
            fail(key, QStringLiteral("out of range %1..%2").arg(min).arg(max));
        case Number::Integer:
            break;
        }
        if (number < min || number > max)
            fail(key, QStringLiteral("%1 is out of range %2..%3").arg(number).arg(min).arg(max));
        return number;
    }
    // One of `words`, its index among them.
    int word(const char *key, std::initializer_list<const char *> words) const
    {
        const QJsonValue v = value(key);
        if (!v.isString())
            fail(key, QStringLiteral("not a string"));
        const QString given = v.toString();
        QStringList listed;
        int index = 0;
        for (const char *word : words) {
            if (given == QLatin1String(word))
                return index;
            listed.append(QString::fromLatin1(word));
            ++index;
        }
        fail(key, QStringLiteral("not one of ") + listed.join(QStringLiteral(", ")));
    }
    QJsonArray array(const char *key) const
    {
        const QJsonValue v = value(key);
        if (!v.isArray())
            fail(key, QStringLiteral("not an array"));
        return v.toArray();
    }

private:
    QString m_name;
    QString m_where;
    QJsonObject m_object;
};

// The objects of the array at `key`, each read by `read` with its place.
template <class Read>
auto objects(const Object &owner, const char *key, Read read)
{
    QList<decltype(read(QString(), QJsonObject()))> items;
    const QJsonArray array = owner.array(key);
    items.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString where = owner.place(key) + QStringLiteral("[%1]").arg(i);
        if (!array.at(i).isObject())
            throw Failure(QStringLiteral("%1: %2: not an object").arg(owner.name(), where));
        items.append(read(where, array.at(i).toObject()));
    }
    return items;
}

std::optional<QDate> lastUpdateOf(const Object &table)
{
    const char *key = "lastUpdate";
    if (table.isNull(key))
        return std::nullopt;
    if (!table.value(key).isString())
        table.fail(key, QStringLiteral("not a string or null"));
    // Only the form the writer gives, in ASCII digits, and only real dates.
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})$"));
    const QRegularExpressionMatch match = form.match(table.text(key));
    const QDate date = match.hasMatch()
        ? QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt())
        : QDate();
    if (!date.isValid())
        table.fail(key, QStringLiteral("not a date YYYY-MM-DD"));
    return date;
}

char typeOf(const Object &field)
{
    const QString type = field.text("type");
    const bool onePoint = type.size() == 1 || (type.size() == 2 && type[0].isHighSurrogate() && type[1].isLowSurrogate());
    if (!onePoint)
        field.fail("type", QStringLiteral("not one character"));
    // The writer reads the stored byte as Latin-1, so one such character is a byte.
    if (type.size() != 1 || type[0].unicode() > 0xff)
        field.fail("type", QStringLiteral("not a Latin-1 character"));
    return char(static_cast<uchar>(type[0].unicode()));
}

platform::FieldModel readField(const QString &name, const QString &where, const QJsonObject &object)
{
    const Object field(name, where, object,
                       {"position", "name", "shortName", "type", "typeName", "width", "decimals", "nullable",
                        "binary", "autoIncrement", "nextValue", "step", "defaultValue", "rule", "ruleText",
                        "caption", "format", "inputMask", "comment"});
    platform::FieldModel model;
    model.position = int(field.integer("position", 1, IntMax));
    model.name = field.text("name");
    model.shortName = field.text("shortName");
    model.type = typeOf(field);
    model.typeName = field.text("typeName");
    model.width = int(field.integer("width", 0, IntMax));
    model.decimals = int(field.integer("decimals", 0, 255));
    model.nullable = field.boolean("nullable");
    model.binary = field.boolean("binary");
    model.autoIncrement = field.boolean("autoIncrement");
    if (model.autoIncrement) {
        model.nextValue = field.integer("nextValue", Int64Min, Int64Max);
        model.step = int(field.integer("step", IntMin, IntMax));
    } else {
        for (const char *key : {"nextValue", "step"}) {
            if (!field.isNull(key))
                field.fail(key, QStringLiteral("not null, though autoIncrement is false"));
        }
    }
    model.defaultValue = field.text("defaultValue");
    model.rule = field.text("rule");
    model.ruleText = field.text("ruleText");
    model.caption = field.text("caption");
    model.format = field.text("format");
    model.inputMask = field.text("inputMask");
    model.comment = field.text("comment");
    return model;
}

platform::IndexModel readIndex(const QString &name, const QString &where, const QJsonObject &object)
{
    const Object index(name, where, object, {"name", "kind", "expression", "filter", "descending", "collation"});
    platform::IndexModel model;
    model.name = index.text("name");
    static constexpr platform::TagKind kinds[] = {platform::TagKind::Primary, platform::TagKind::Candidate,
                                                  platform::TagKind::Unique, platform::TagKind::Regular};
    model.kind = kinds[index.word("kind", {"primary", "candidate", "unique", "regular"})];
    model.expression = index.text("expression");
    model.filter = index.text("filter");
    model.descending = index.boolean("descending");
    model.collation = index.text("collation");
    if (model.collation.isEmpty())
        index.fail("collation", QStringLiteral("empty"));
    return model;
}

platform::TableModel readTable(const QString &name, const QString &where, const QJsonObject &object)
{
    const Object table(name, where, object,
                       {"name", "file", "dialect", "version", "codePageMark", "codePage", "recordCount",
                        "lastUpdate", "headerLength", "recordLength", "memo", "comment", "rule", "ruleText",
                        "insertTrigger", "updateTrigger", "deleteTrigger", "primaryKey", "fields", "indexes",
                        "indexesKnown"});
    platform::TableModel model;
    model.name = table.text("name");
    model.file = table.text("file");
    model.dialect = table.text("dialect");
    model.version = quint8(table.integer("version", 0, 255));
    model.codePageMark = quint8(table.integer("codePageMark", 0, 255));
    model.codePage = table.text("codePage");
    model.recordCount = quint32(table.integer("recordCount", 0, std::numeric_limits<quint32>::max()));
    model.lastUpdate = lastUpdateOf(table);
    model.headerLength = int(table.integer("headerLength", 0, 65535));
    model.recordLength = int(table.integer("recordLength", 0, 65535));
    const QJsonValue memo = table.value("memo");
    if (memo.isObject()) {
        const Object file(name, table.place("memo"), memo.toObject(), {"file", "blockSize", "present"});
        model.memo = platform::MemoModel{file.text("file"), int(file.integer("blockSize", 0, IntMax)),
                                         file.boolean("present")};
    } else if (!memo.isNull()) {
        table.fail("memo", QStringLiteral("not an object or null"));
    }
    model.comment = table.text("comment");
    model.rule = table.text("rule");
    model.ruleText = table.text("ruleText");
    model.insertTrigger = table.text("insertTrigger");
    model.updateTrigger = table.text("updateTrigger");
    model.deleteTrigger = table.text("deleteTrigger");
    model.primaryKey = table.text("primaryKey");
    model.fields = objects(table, "fields", [&](const QString &place, const QJsonObject &item) {
        return readField(name, place, item);
    });
    model.indexes = objects(table, "indexes", [&](const QString &place, const QJsonObject &item) {
        return readIndex(name, place, item);
    });
    model.indexesKnown = table.boolean("indexesKnown");
    return model;
}

platform::ViewModel readView(const QString &name, const QString &where, const QJsonObject &object)
{
    const Object view(name, where, object, {"name", "sql", "remote", "connection", "comment", "fields"});
    platform::ViewModel model;
    model.name = view.text("name");
    model.sql = view.text("sql");
    model.remote = view.boolean("remote");
    model.connection = view.text("connection");
    model.comment = view.text("comment");
    model.fields = objects(view, "fields", [&](const QString &place, const QJsonObject &item) {
        const Object field(name, place, item, {"name", "dataType", "comment"});
        return platform::ViewFieldModel{field.text("name"), field.text("dataType"), field.text("comment")};
    });
    return model;
}

// A referential rule: one of the three words, or null for none.
QString ruleOf(const Object &relation, const char *key)
{
    if (relation.isNull(key))
        return QString();
    if (!relation.value(key).isString())
        relation.fail(key, QStringLiteral("not a string or null"));
    relation.word(key, {"cascade", "restrict", "ignore"});
    return relation.text(key);
}

platform::RelationModel readRelation(const QString &name, const QString &where, const QJsonObject &object)
{
    const Object relation(name, where, object,
                          {"parentTable", "parentTag", "childTable", "childTag", "onUpdate", "onDelete", "onInsert"});
    platform::RelationModel model;
    model.parentTable = relation.text("parentTable");
    model.parentTag = relation.text("parentTag");
    model.childTable = relation.text("childTable");
    model.childTag = relation.text("childTag");
    model.onUpdate = ruleOf(relation, "onUpdate");
    model.onDelete = ruleOf(relation, "onDelete");
    model.onInsert = ruleOf(relation, "onInsert");
    return model;
}

platform::Finding readFinding(const QString &name, const QString &where, const QJsonObject &object)
{
    const Object finding(name, where, object, {"severity", "place", "message"});
    platform::Finding model;
    model.severity = finding.word("severity", {"warning", "error"}) == 1 ? platform::Severity::Error
                                                                         : platform::Severity::Warning;
    model.place = finding.text("place");
    model.message = finding.text("message");
    return model;
}

} // namespace

platform::SourceModel dictionaryFromJson(const QByteArray &document, const QString &name)
{
    if (document.isEmpty())
        throw Failure(QStringLiteral("%1: empty, not JSON").arg(name));
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        throw Failure(QStringLiteral("%1: not JSON: %2 at byte %3")
                          .arg(name, error.errorString(), QString::number(error.offset)));
    const QJsonObject top = json.object();
    if (!json.isObject() || top.value(QLatin1String("format")) != QJsonValue(QLatin1String(JsonFormatName)))
        throw Failure(QStringLiteral("%1: not an %2 document").arg(name, QLatin1String(JsonFormatName)));
    // A later version may hold other keys: its number is the one thing to say.
    const QJsonValue versionValue = top.value(QLatin1String("version"));
    if (versionValue.isUndefined())
        throw Failure(QStringLiteral("%1: version: missing").arg(name));
    qint64 version = 0;
    const Number kind = integerOf(versionValue, version);
    if (kind == Number::NotInteger)
        throw Failure(QStringLiteral("%1: version: not an integer").arg(name));
    if (kind == Number::TooLarge)
        throw Failure(QStringLiteral("%1: version: out of range; only version %2 of the %3 format is read")
                          .arg(name, QString::number(JsonFormatVersion), QLatin1String(JsonFormatName)));
    if (version != JsonFormatVersion)
        throw Failure(QStringLiteral("%1: version %2 of the %3 format; only version %4 is read")
                          .arg(name, QString::number(version), QLatin1String(JsonFormatName),
                               QString::number(JsonFormatVersion)));

    const Object root(name, QString(), top, {"format", "version", "source", "tables", "views", "relations", "findings"});
    platform::SourceModel model;
    const QJsonValue sourceValue = root.value("source");
    if (!sourceValue.isObject())
        root.fail("source", QStringLiteral("not an object"));
    const Object source(name, QStringLiteral("source"), sourceValue.toObject(), {"kind", "path", "comment", "codePageMark"});
    model.kind = source.word("kind", {"folder", "container"}) == 1 ? platform::SourceModel::Kind::Container
                                                                   : platform::SourceModel::Kind::Folder;
    model.path = source.text("path");
    model.comment = source.text("comment");
    model.codePageMark = quint8(source.integer("codePageMark", 0, 255));
    model.tables = objects(root, "tables", [&](const QString &where, const QJsonObject &item) {
        return readTable(name, where, item);
    });
    model.views = objects(root, "views", [&](const QString &where, const QJsonObject &item) {
        return readView(name, where, item);
    });
    model.relations = objects(root, "relations", [&](const QString &where, const QJsonObject &item) {
        return readRelation(name, where, item);
    });
    model.findings = objects(root, "findings", [&](const QString &where, const QJsonObject &item) {
        return readFinding(name, where, item);
    });
    return model;
}

platform::SourceModel readDictionaryFile(const QString &path)
{
    const platform::LocalPath local = platform::LocalPath::fromText(path);
    const QString name = platform::displayName(local);
    QFile file;
    platform::openRegularFile(file, local);
    const qint64 size = file.size();
    if (size > MaxDictionaryFileSize)
        throw Failure(QStringLiteral("%1: %2 bytes, more than the %3 a data dictionary may have")
                          .arg(name, QString::number(size), QString::number(MaxDictionaryFileSize)));
    return dictionaryFromJson(platform::readAt(file, 0, size, name), name);
}

bool looksLikeDictionaryFile(const QString &path)
{
    return path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)
        && platform::kindOf(platform::LocalPath::fromText(path)) == platform::FileKind::Regular;
}

} // namespace exporting
