#include "export/dictionary/dictionaryload.h"
#include "export/dictionary/dictionary.h"
#include "export/dictionary/dictionarytext.h"

#include "export/dictionary/jsonreader.h"
#include "model/properties.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <vector>

namespace dictionary {

namespace {

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
enum class Number { Integer, NotInteger, TooLarge };
Number integerOf(const JsonValue &value, qint64 &out)
{
    if (value.type != JsonValue::Type::Number)
        return Number::NotInteger;
    switch (value.integral) {
    case JsonValue::Integral::Exact:
        out = value.integer;
        return Number::Integer;
    case JsonValue::Integral::TooLarge:
        return Number::TooLarge;
    case JsonValue::Integral::No:
        break;
    }
    return Number::NotInteger;
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
    Object(const QString &name, const QString &where, const JsonValue &object,
           std::initializer_list<const char *> keys)
        : Object(name, where, object, std::vector<const char *>(keys))
    {
    }
    // `mayLack`: the keys, by index, that a document may leave out.
    Object(const QString &name, const QString &where, const JsonValue &object, std::vector<const char *> keys,
           const std::vector<bool> &mayLack = {})
        : m_name(name), m_where(where), m_keys(std::move(keys)), m_values(m_keys.size(), &undefined())
    {
        // Each member's value by the index of its key; the writer's order is
        // tried first, so a document it wrote takes one comparison a key.
        size_t expected = 0;
        for (const auto &[key, value] : object.members) {
            size_t found = m_keys.size();
            for (size_t n = 0; n < m_keys.size() && found == m_keys.size(); ++n) {
                const size_t at = (expected + n) % m_keys.size();
                if (key == QLatin1StringView(m_keys[at]))
                    found = at;
            }
            if (found == m_keys.size())
                failHere(QStringLiteral("unknown key ") + shownKey(key));
            m_values[found] = &value; // a key written twice counts as its last value
            expected = found + 1;
        }
        for (size_t n = 0; n < m_keys.size(); ++n) {
            if (m_values[n]->isUndefined() && !(n < mayLack.size() && mayLack[n]))
                fail(m_keys[n], QStringLiteral("missing"));
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
    const JsonValue &value(const char *key) const
    {
        for (size_t n = 0; n < m_keys.size(); ++n) {
            if (std::strcmp(m_keys[n], key) == 0)
                return *m_values[n];
        }
        return undefined();
    }
    bool isNull(const char *key) const { return value(key).isNull(); }
    bool has(const char *key) const { return !value(key).isUndefined(); }

    QString text(const char *key) const
    {
        const JsonValue &v = value(key);
        if (!v.isString())
            fail(key, QStringLiteral("not a string"));
        return textOf(v.string);
    }
    bool boolean(const char *key) const
    {
        const JsonValue &v = value(key);
        if (v.type != JsonValue::Type::Boolean)
            fail(key, QStringLiteral("not a boolean"));
        return v.boolean;
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
    int word(const char *key, const QList<const char *> &words) const
    {
        const JsonValue &v = value(key);
        if (!v.isString())
            fail(key, QStringLiteral("not a string"));
        const QString &given = v.string;
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
    const QList<JsonValue> &array(const char *key) const
    {
        const JsonValue &v = value(key);
        if (!v.isArray())
            fail(key, QStringLiteral("not an array"));
        return v.items;
    }

private:
    static const JsonValue &undefined()
    {
        static const JsonValue none;
        return none;
    }

    QString m_name;
    QString m_where;
    std::vector<const char *> m_keys;
    std::vector<const JsonValue *> m_values; // by the index of their key in m_keys
};

// The objects of the array at `key`, each read by `read` with its place.
template <class Read>
auto objects(const Object &owner, const char *key, Read read)
{
    QList<decltype(read(QString(), JsonValue()))> items;
    const QList<JsonValue> &array = owner.array(key);
    items.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString where = owner.place(key) + QStringLiteral("[%1]").arg(i);
        if (!array.at(i).isObject())
            throw Failure(QStringLiteral("%1: %2: not an object").arg(owner.name(), where));
        items.append(read(where, array.at(i)));
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

// The properties of a model read in their order, each checked as it is
// read; `part` reads those that are parts of their own.
template <class Model, class Part>
Model readObject(const QString &name, const QString &where, const JsonValue &object,
                 const QList<model::Property<Model>> &properties, Part part)
{
    using Kind = typename model::Property<Model>::Kind;
    std::vector<const char *> keys;
    std::vector<bool> mayLack;
    for (const model::Property<Model> &property : properties) {
        keys.push_back(property.key);
        mayLack.push_back(property.addedLater);
    }
    const Object read(name, where, object, std::move(keys), mayLack);
    Model model;
    for (const model::Property<Model> &property : properties) {
        const char *key = property.key;
        if (property.addedLater && !read.has(key))
            continue;
        switch (property.kind) {
        case Kind::Text:
            model.*property.text = read.text(key);
            if (property.whenEmpty && (model.*property.text).isEmpty())
                read.fail(key, QStringLiteral("empty"));
            break;
        case Kind::Number:
            if (!model::isPresent(property, model)) {
                if (!read.isNull(key))
                    read.fail(key, QStringLiteral("not null, though %1 is false").arg(QLatin1String(property.presentWith)));
                break;
            }
            property.setValue(model, read.integer(key, property.least, property.most));
            break;
        case Kind::Boolean:
            property.setValue(model, read.boolean(key));
            break;
        case Kind::Word:
            property.setValue(model, read.word(key, property.words));
            break;
        case Kind::Choice:
            // One of the words, or null for none.
            if (read.isNull(key))
                break;
            if (!read.value(key).isString())
                read.fail(key, QStringLiteral("not a string or null"));
            read.word(key, property.words);
            model.*property.text = read.text(key);
            break;
        case Kind::Part:
            part(read, key, model);
            break;
        }
    }
    return model;
}

// For a model without parts of its own.
const auto noPart = [](const Object &, const char *, auto &) {};

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

model::FieldModel readField(const QString &name, const QString &where, const JsonValue &object)
{
    return readObject(name, where, object, model::fieldProperties(),
                      [](const Object &field, const char *, model::FieldModel &model) { model.type = typeOf(field); });
}

model::IndexModel readIndex(const QString &name, const QString &where, const JsonValue &object)
{
    return readObject(name, where, object, model::indexProperties(), noPart);
}

model::TableModel readTable(const QString &name, const QString &where, const JsonValue &object)
{
    return readObject(name, where, object, model::tableProperties(),
                      [&](const Object &table, const char *key, model::TableModel &model) {
        const QLatin1StringView part(key);
        if (part == "lastUpdate") {
            model.lastUpdate = lastUpdateOf(table);
        } else if (part == "memo") {
            const JsonValue &memo = table.value("memo");
            if (memo.isObject()) {
                model.memo = readObject(name, table.place("memo"), memo, model::memoProperties(), noPart);
            } else if (!memo.isNull()) {
                table.fail("memo", QStringLiteral("not an object or null"));
            }
        } else if (part == "fields") {
            model.fields = objects(table, "fields", [&](const QString &place, const JsonValue &item) {
                return readField(name, place, item);
            });
        } else if (part == "indexes") {
            model.indexes = objects(table, "indexes", [&](const QString &place, const JsonValue &item) {
                return readIndex(name, place, item);
            });
        }
    });
}

model::ViewModel readView(const QString &name, const QString &where, const JsonValue &object)
{
    return readObject(name, where, object, model::viewProperties(),
                      [&](const Object &view, const char *, model::ViewModel &model) {
        model.fields = objects(view, "fields", [&](const QString &place, const JsonValue &item) {
            const Object field(name, place, item, {"name", "dataType", "comment"});
            return model::ViewFieldModel{field.text("name"), field.text("dataType"), field.text("comment")};
        });
    });
}

model::RelationModel readRelation(const QString &name, const QString &where, const JsonValue &object)
{
    return readObject(name, where, object, model::relationProperties(), noPart);
}

model::Finding readFinding(const QString &name, const QString &where, const JsonValue &object)
{
    return readObject(name, where, object, model::findingProperties(), noPart);
}

// The value of one part of the document (a member of its top, or a table),
// refused unread when larger than a part may be.
JsonValue partOf(const JsonBytes &bytes, JsonRange range, const QString &name, const QString &where,
                 qint64 largestPart)
{
    if (range.size() > largestPart)
        throw Failure(QStringLiteral("%1: %2: %3 bytes, more than the %4 a part of a data dictionary may have")
                          .arg(name, where, QString::number(range.size()), QString::number(largestPart)));
    std::variant<JsonValue, JsonFault> value = readJsonValue(bytes, range);
    if (const JsonFault *fault = std::get_if<JsonFault>(&value))
        throw Failure(QStringLiteral("%1: %2: %3 at byte %4")
                          .arg(name, where, fault->what, QString::number(fault->offset)));
    return std::get<JsonValue>(std::move(value));
}

} // namespace

struct DictionaryFile::Parts {
    std::unique_ptr<JsonBytes> bytes;
    QString name;
    qint64 largestPart = 0;
    QList<JsonRange> tables;
};

DictionaryFile::DictionaryFile(std::unique_ptr<JsonBytes> bytes, const QString &name, qint64 largestPart)
    : m_parts(std::make_unique<Parts>())
{
    m_parts->bytes = std::move(bytes);
    m_parts->name = name;
    m_parts->largestPart = largestPart;
    const JsonBytes &document = *m_parts->bytes;
    if (document.size() == 0)
        throw Failure(QStringLiteral("%1: empty, not JSON").arg(name));
    std::variant<JsonLayout, JsonFault> laidOut = layOutJson(document, QLatin1StringView("tables"));
    if (const JsonFault *fault = std::get_if<JsonFault>(&laidOut))
        throw Failure(QStringLiteral("%1: %2%3 at byte %4")
                          .arg(name, fault->beyondLimits ? QString() : QStringLiteral("not JSON: "), fault->what,
                               QString::number(fault->offset)));
    const JsonLayout &layout = std::get<JsonLayout>(laidOut);

    // The top's members, each read when it is checked; "tables" only stands in.
    JsonValue top;
    top.type = JsonValue::Type::Object;
    QHash<QString, JsonRange> ranges; // the last of each key
    for (const JsonLayout::Member &member : layout.members) {
        JsonValue standIn;
        standIn.type = JsonValue::Type::Null;
        top.members.append({member.keyCut ? member.key + QStringLiteral("…") : member.key, standIn});
        ranges.insert(member.key, member.value);
    }
    const auto part = [&](const char *key) {
        const auto found = ranges.constFind(QLatin1String(key));
        return found == ranges.constEnd() ? JsonValue()
                                          : partOf(document, *found, name, QLatin1String(key), largestPart);
    };

    const JsonValue format = layout.topIsObject ? part("format") : JsonValue();
    if (!format.isString() || format.string != QLatin1String(JsonFormatName))
        throw Failure(QStringLiteral("%1: not an %2 document").arg(name, QLatin1String(JsonFormatName)));
    // A later version may hold other keys: its number is the one thing to say.
    const JsonValue versionValue = part("version");
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

    // The coverage is counted from the tables, and documents written before
    // it was added lack it: it is read past.
    const Object root(name, QString(), top,
                      {"format", "version", "source", "tables", "views", "relations", "findings", "coverage"},
                      {false, false, false, false, false, false, false, true});
    model::SourceModel &model = m_rest;
    const JsonValue sourceValue = part("source");
    if (!sourceValue.isObject())
        root.fail("source", QStringLiteral("not an object"));
    const model::SourceModel facts =
        readObject(name, QStringLiteral("source"), sourceValue, model::sourceProperties(), noPart);
    model = model::sourceFacts(facts);

    // Each table is checked now, and read again when asked for.
    if (!layout.listIsArray)
        root.fail("tables", QStringLiteral("not an array"));
    m_parts->tables = layout.listItems;
    for (qsizetype i = 0; i < m_parts->tables.size(); ++i)
        m_tableNames.append(table(i).name);

    const auto listed = [&](const char *key) {
        JsonValue holder;
        holder.type = JsonValue::Type::Object;
        holder.members.append({QString::fromLatin1(key), part(key)});
        return holder;
    };
    const JsonValue views = listed("views");
    model.views = objects(Object(name, QString(), views, {"views"}), "views",
                          [&](const QString &where, const JsonValue &item) { return readView(name, where, item); });
    const JsonValue relations = listed("relations");
    // Declared and implied relations share the list and are kept apart.
    for (model::RelationModel &relation :
         objects(Object(name, QString(), relations, {"relations"}), "relations",
                 [&](const QString &where, const JsonValue &item) { return readRelation(name, where, item); }))
        (relation.declared ? model.relations : model.impliedRelations).append(std::move(relation));
    const JsonValue findings = listed("findings");
    model.findings = objects(Object(name, QString(), findings, {"findings"}), "findings",
                             [&](const QString &where, const JsonValue &item) {
                                 return readFinding(name, where, item);
                             });
}

DictionaryFile::~DictionaryFile() = default;

model::TableModel DictionaryFile::table(qsizetype index) const
{
    const QString where = QStringLiteral("tables[%1]").arg(index);
    const JsonValue item = partOf(*m_parts->bytes, m_parts->tables.at(index), m_parts->name, where,
                                  m_parts->largestPart);
    if (!item.isObject())
        throw Failure(QStringLiteral("%1: %2: not an object").arg(m_parts->name, where));
    return readTable(m_parts->name, where, item);
}

model::SourceModel DictionaryFile::takeRest()
{
    return std::move(m_rest);
}

model::SourceModel dictionaryFromJson(const QByteArray &document, const QString &name)
{
    DictionaryFile file(JsonBytes::inMemory(document), name);
    QList<model::TableModel> tables;
    for (qsizetype i = 0; i < file.tableNames().size(); ++i)
        tables.append(file.table(i));
    model::SourceModel model = file.takeRest();
    model.tables = std::move(tables);
    return model;
}

std::unique_ptr<DictionaryFile> openDictionaryFile(const QString &path)
{
    const platform::LocalPath local = platform::LocalPath::fromText(path);
    return std::make_unique<DictionaryFile>(JsonBytes::inFile(local), platform::displayName(local));
}

model::SourceModel readDictionaryFile(const QString &path)
{
    const std::unique_ptr<DictionaryFile> file = openDictionaryFile(path);
    QList<model::TableModel> tables;
    for (qsizetype i = 0; i < file->tableNames().size(); ++i)
        tables.append(file->table(i));
    model::SourceModel model = file->takeRest();
    model.tables = std::move(tables);
    return model;
}

bool looksLikeDictionaryFile(const QString &path)
{
    return path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)
        && platform::kindOf(platform::LocalPath::fromText(path)) == platform::FileKind::Regular;
}

} // namespace dictionary
