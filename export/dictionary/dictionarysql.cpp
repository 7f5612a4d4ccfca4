// The PostgreSQL and SQLite schemas of a source: one CREATE TABLE per table,
// its keys and indexes, and the relations as foreign keys. What SQL cannot
// say is written as a comment holding the FoxPro original. docs/sql-types.md
// gives the type mapping and the choices behind it.

#include "export/dictionary/dictionary.h"
#include "export/dictionary/documentwriter.h"
#include "export/dictionary/dictionarytext.h"
#include "platform/bytes.h"
#include "platform/cleantext.h"
#include "platform/codepage.h"
#include "platform/spool.h"
#include "platform/tableheader.h"
#include "platform/texthash.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <utility>

namespace dictionary {

using model::FieldModel;
using model::IndexModel;
using model::RelationModel;
using model::SourceModel;
using model::TableModel;
using model::TagKind;
using model::ViewModel;

namespace {

enum class Dialect { Postgres, Sqlite };

// What a column holds: decides which defaults, keys and indexes fit it.
enum class ValueKind { Text, Bytes, Decimal, Integer, Float, Boolean, Date, Timestamp };

struct SqlType {
    QString name;
    ValueKind kind = ValueKind::Text;
    int length = 0;    // characters of a varchar, bytes of a bounded binary column
    int precision = 0; // numeric(precision, scale); 0 when unbounded
    int scale = 0;
    QString note;      // how the FoxPro type was kept, when not plainly
};

SqlType makeType(const QString &name, ValueKind kind)
{
    SqlType type;
    type.name = name;
    type.kind = kind;
    return type;
}

// "name(a)" or "name(a,b)", in one allocation: every column of a schema has one.
QString sized(QLatin1StringView name, int a, std::optional<int> b = std::nullopt)
{
    QString text;
    text.reserve(name.size() + 26);
    text += name;
    text += QLatin1Char('(');
    char digits[12];
    text += QLatin1StringView(digits, std::to_chars(digits, digits + sizeof digits, a).ptr);
    if (b) {
        text += QLatin1Char(',');
        text += QLatin1StringView(digits, std::to_chars(digits, digits + sizeof digits, *b).ptr);
    }
    text += QLatin1Char(')');
    return text;
}

QString letterText(char letter)
{
    const auto byte = static_cast<uchar>(letter);
    if (byte > 0x20 && byte < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(letter));
    return platform::hexByte(byte);
}

SqlType bytesType(Dialect dialect, int length = 0)
{
    SqlType type = makeType(dialect == Dialect::Postgres ? QStringLiteral("bytea") : QStringLiteral("blob"),
                            ValueKind::Bytes);
    type.length = qMax(length, 0);
    return type;
}

SqlType textType(int width)
{
    // PostgreSQL's longest varchar; FoxPro's widths stay far below it.
    constexpr int longestVarchar = 10485760;
    SqlType type = makeType(QStringLiteral("text"), ValueKind::Text);
    if (width >= 1 && width <= longestVarchar) {
        type.name = sized(QLatin1StringView("varchar"), width);
        type.length = width;
        return type;
    }
    type.note = QStringLiteral("FoxPro width %1 is no varchar length").arg(width);
    return type;
}

SqlType decimalType(int width, int decimals)
{
    constexpr int largestPrecision = 1000;
    SqlType type = makeType(QStringLiteral("numeric"), ValueKind::Decimal);
    if (width >= 1 && width <= largestPrecision && decimals >= 0 && decimals <= width) {
        type.name = sized(QLatin1StringView("numeric"), width, decimals);
        type.precision = width;
        type.scale = decimals;
        return type;
    }
    type.note = QStringLiteral("FoxPro width %1 with %2 decimals is no numeric precision")
                    .arg(width)
                    .arg(decimals);
    return type;
}

std::optional<SqlType> sqlType(const model::FieldModel &field, quint8 version, Dialect dialect)
{
    const bool visualFoxPro = platform::isVisualFoxProVersion(version);
    const int width = platform::fixedWidth(field.type, visualFoxPro);
    if (width != 0 && field.width != width) {
        SqlType type = bytesType(dialect);
        type.note = QStringLiteral("FoxPro type %1 (%2) of width %3, which it never has: kept as bytes")
                        .arg(letterText(field.type), field.typeName)
                        .arg(field.width);
        return type;
    }
    switch (field.type) {
    case 'C':
        return field.binary ? bytesType(dialect, field.width) : textType(field.width);
    case 'V':
        if (!visualFoxPro) {
            SqlType type = bytesType(dialect);
            type.note = QStringLiteral("a Clipper variant outside Visual FoxPro: kept as bytes");
            return type;
        }
        return field.binary ? bytesType(dialect, field.width) : textType(field.width);
    case 'Q':
        return bytesType(dialect, field.width);
    case 'N': {
        // FoxPro gives up decimals before it overflows: an N(5,2) holds
        // 12345. Every digit of the width may be a whole one.
        if (field.width < 1 || field.decimals < 0 || field.decimals > field.width)
            return decimalType(field.width, field.decimals);
        return decimalType(field.width + field.decimals, field.decimals);
    }
    case 'F':
        // dBase IV and shapefile writers store a Float in exponent notation,
        // with more digits than its decimals (1.3945052E+02 in an F(13,3)):
        // only an unbounded numeric keeps every value the field can hold.
        return makeType(QStringLiteral("numeric"), ValueKind::Decimal);
    case 'Y':
        return decimalType(19, 4);
    case 'I':
    case '+':
        return makeType(QStringLiteral("integer"), ValueKind::Integer);
    case 'B':
        if (!visualFoxPro)
            return bytesType(dialect);
        return makeType(QStringLiteral("double precision"), ValueKind::Float);
    case 'O':
        return makeType(QStringLiteral("double precision"), ValueKind::Float);
    case 'D':
        return makeType(QStringLiteral("date"), ValueKind::Date);
    case 'T':
    case '@':
        return makeType(QStringLiteral("timestamp"), ValueKind::Timestamp);
    case 'L':
        return makeType(QStringLiteral("boolean"), ValueKind::Boolean);
    case 'M':
        return field.binary ? bytesType(dialect) : makeType(QStringLiteral("text"), ValueKind::Text);
    case 'G':
    case 'P':
    case 'W':
        return bytesType(dialect);
    case '0':
        return std::nullopt;
    default:
        break;
    }
    SqlType type = bytesType(dialect);
    type.note = QStringLiteral("FoxPro type %1 (%2) has no SQL type: kept as bytes")
                    .arg(letterText(field.type), field.typeName);
    return type;
}

// --- Text written into the schema ---------------------------------------

QString withoutNul(const QString &text)
{
    QString copy = text;
    copy.remove(QChar(0));
    return copy;
}

QString identifier(const QString &name)
{
    if (!name.contains(QChar(0)) && !name.contains(QLatin1Char('"'))) {
        QString quoted;
        quoted.reserve(name.size() + 2);
        quoted += QLatin1Char('"');
        quoted += name;
        quoted += QLatin1Char('"');
        return quoted;
    }
    QString quoted = withoutNul(name);
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString literal(const QString &text)
{
    QString quoted = withoutNul(text);
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A name inside a comment: quoted like an identifier, so its ends show; a
// NUL stays, for the comment to show as a replacement character.
QString named(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// The "-- " lines of a comment. Each line of the text becomes a line of its
// own, and nothing a line holds (control characters are replaced) can end the
// comment early or start a statement.
QStringList commentLines(const QString &text)
{
    QStringList lines;
    for (const QString &line : textLines(platform::cleanText(text, platform::Lines))) {
        QString shown = QStringLiteral("-- ") + line;
        while (shown.endsWith(QLatin1Char(' ')) || shown.endsWith(QLatin1Char('\t')))
            shown.chop(1);
        lines.append(shown);
    }
    return lines;
}

int utf8Length(QStringView text)
{
    return static_cast<int>(text.toUtf8().size());
}

// The longest start of the text within the bytes, cut between characters.
QString cutToBytes(const QString &text, int bytes)
{
    int used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype step = (text.at(end).isHighSurrogate() && end + 1 < text.size()
                                && text.at(end + 1).isLowSurrogate())
            ? 2
            : 1;
        const int length = utf8Length(QStringView(text).sliced(end, step));
        if (used + length > bytes)
            break;
        used += length;
        end += step;
    }
    return text.left(end);
}

// Names that must be distinct within one scope (the tables and indexes of the
// schema, or the columns of a table): FoxPro's names ignore case, so these do
// too. PostgreSQL keeps only the first 63 bytes of a name.
class NameScope {
public:
    // `expected`: about how many names will be claimed, so the set is made once.
    NameScope(Dialect dialect, bool schemaObjects, qsizetype expected = 0)
        : m_dialect(dialect), m_schemaObjects(schemaObjects)
    {
        m_taken.reserve(expected);
    }

    void reserveExactly(const QString &name) { m_exact.insert(name); }

    QString claim(const QString &wanted, const QString &fallback, const QString &suffix = {})
    {
        return claim(wanted, [&fallback] { return fallback; }, suffix);
    }

    // `fallback()` names what `wanted` leaves unnamed (nothing but NULs).
    template <class Fallback>
    QString claim(const QString &wanted, const Fallback &fallback, const QString &suffix = {})
    {
        QString base = wanted.contains(QChar(0)) ? withoutNul(wanted) : wanted;
        if (base.isEmpty())
            base = fallback();
        // SQLite refuses schema objects of its own prefix.
        if (m_dialect == Dialect::Sqlite && m_schemaObjects
            && base.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
            base.prepend(QLatin1Char('_'));
        // Nearly every name is free as it stands.
        const QString first = numbered(base, 1, suffix);
        if (take(first))
            return first;
        // A name is never given back, so the numbers tried before stay
        // taken: the next claim starts after them, and many tags of one name
        // cost no more than as many of distinct names. Names that come out
        // the same (in another case, or alike in PostgreSQL's first 63
        // bytes) number alike, so they share the count.
        int &next = m_nextNumber[first.toCaseFolded() + QChar(0) + suffix.toCaseFolded()];
        for (int number = qMax(next, 2);; ++number) {
            if (QString candidate = numbered(base, number, suffix); take(candidate)) {
                next = number + 1;
                return candidate;
            }
        }
    }

private:
    QString numbered(const QString &base, int number, const QString &suffix) const
    {
        const QString tail = number == 1 ? suffix : QLatin1Char('_') + QString::number(number) + suffix;
        QString candidate = tail.isEmpty() ? base : base + tail;
        // A code unit takes three bytes at most: most names need no counting.
        if (m_dialect == Dialect::Postgres && candidate.size() * 3 > longestPostgresName
            && utf8Length(candidate) > longestPostgresName)
            candidate = cutToBytes(base, longestPostgresName - utf8Length(tail)) + tail;
        return candidate;
    }

    // Inserted if free: one lookup, as a schema claims a name for every column.
    bool take(const QString &candidate)
    {
        if (!m_exact.empty() && m_exact.contains(candidate))
            return false;
        return m_taken.insert(candidate.toCaseFolded()).second;
    }

    static constexpr int longestPostgresName = 63;
    Dialect m_dialect;
    bool m_schemaObjects;
    platform::HashedSet<QString> m_taken;
    platform::HashedSet<QString> m_exact;
    platform::HashedMap<QString, int> m_nextNumber; // by name and suffix: the first number not yet tried
};

// --- FoxPro expressions that have an SQL form ---------------------------

QRegularExpression pattern(const char *text)
{
    return QRegularExpression(QLatin1String(text), QRegularExpression::CaseInsensitiveOption);
}

// FoxPro accepts a function name cut to its first four letters.
const QRegularExpression &caseFunction()
{
    static const QRegularExpression re = pattern(R"(^(upper?|lower?)\s*\(\s*([^()]*?)\s*\)$)");
    return re;
}

const QRegularExpression &notDeleted()
{
    static const QRegularExpression re = pattern(R"(^(?:\.not\.|!|not\s)\s*dele(?:t(?:e(?:d)?)?)?\s*\(\s*\)$)");
    return re;
}

const QRegularExpression &numberLiteral()
{
    static const QRegularExpression re = pattern(R"(^([+-]?)(\$?)\s*(\d+(?:\.\d*)?|\.\d+)$)");
    return re;
}

const QRegularExpression &emptyDate()
{
    static const QRegularExpression re = pattern(R"(^\{[\s/.:,^-]*\}$)");
    return re;
}

const QRegularExpression &dateLiteral()
{
    static const QRegularExpression re = pattern(
        R"(^\{\^\s*(\d{1,4})[-/.](\d{1,2})[-/.](\d{1,2})(?:(?:\s+|\s*,\s*|T)(\d{1,2})(?::(\d{1,2})(?::(\d{1,2}))?)?\s*([ap]m?)?)?\s*\}$)");
    return re;
}

bool isDecimalDigits(QStringView text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// Whether a decimal literal (no sign) keeps its value in numeric(precision, scale).
bool fitsNumeric(const QString &digits, int precision, int scale)
{
    if (precision == 0)
        return true;
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    QString whole = point < 0 ? digits : digits.left(point);
    const QString fraction = point < 0 ? QString() : digits.mid(point + 1);
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    QString significantFraction = fraction;
    while (significantFraction.endsWith(QLatin1Char('0')))
        significantFraction.chop(1);
    return whole.size() <= precision - scale && significantFraction.size() <= scale;
}

struct DateTimeLiteral {
    QDate date;
    std::optional<QTime> time;
};

std::optional<DateTimeLiteral> parseDateLiteral(const QString &expression)
{
    const QRegularExpressionMatch match = dateLiteral().match(expression);
    if (!match.hasMatch())
        return std::nullopt;
    DateTimeLiteral value;
    value.date = QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!value.date.isValid())
        return std::nullopt;
    if (match.hasCaptured(4)) {
        int hour = match.captured(4).toInt();
        const QString half = match.captured(7).toLower();
        if (!half.isEmpty()) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (half.startsWith(QLatin1Char('p')) ? 12 : 0);
        }
        const QTime time(hour, match.captured(5).toInt(), match.captured(6).toInt());
        if (!time.isValid())
            return std::nullopt;
        value.time = time;
    }
    return value;
}

// The FoxPro string literal's text: "…", '…' or […], none inside.
std::optional<QString> stringLiteral(const QString &expression)
{
    if (expression.size() < 2)
        return std::nullopt;
    const QChar open = expression.front();
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    if ((open != QLatin1Char('"') && open != QLatin1Char('\'') && open != QLatin1Char('['))
        || expression.back() != close)
        return std::nullopt;
    const QString inner = expression.mid(1, expression.size() - 2);
    if (inner.contains(close))
        return std::nullopt;
    return inner;
}

// --- The plan: names, types and keys decided before anything is written --

struct Column {
    const model::FieldModel *field = nullptr;
    QString name;
    SqlType type;
    bool notNull = false;
    bool identity = false; // numbers itself: an identity in PostgreSQL, AUTOINCREMENT in SQLite
    QString identityOptions;
    bool sqliteAutoincrement = false;
    QString defaultSql;
    QStringList notes;
};

enum class TagForm { PrimaryKey, Unique, Index, UniqueIndex, Untranslated };

struct Tag {
    const model::IndexModel *index = nullptr;
    TagForm form = TagForm::Untranslated;
    int column = -1;
    QString function; // "upper" or "lower" around the column
    QString name;     // of the constraint or index
    QStringList notes;
};

struct Table {
    const model::TableModel *model = nullptr;
    QString name;
    bool created = true;
    QStringList notes;
    QList<Column> columns;
    QList<Tag> tags;
};

// What a relation needs of a table: its name in the schema, whether it is
// created, and the key of each tag. Kept for every table from its planning,
// before the first table is written.
struct TagKey {
    QString tag; // the FoxPro name
    TagForm form = TagForm::Untranslated;
    bool plainColumn = false; // the key is one column as it is
    QString column;           // when it is: the column's name in the schema
    ValueKind kind = ValueKind::Text;
    friend bool operator==(const TagKey &, const TagKey &) = default;
};

struct TableKeys {
    QString name;
    bool created = true;
    QList<TagKey> tags;
};

TableKeys keysOf(const Table &table)
{
    TableKeys keys{table.name, table.created, {}};
    for (const Tag &tag : table.tags) {
        TagKey key{tag.index->name, tag.form, tag.column >= 0 && tag.function.isEmpty(), {}, ValueKind::Text};
        if (key.plainColumn) {
            key.column = table.columns.at(tag.column).name;
            key.kind = table.columns.at(tag.column).type.kind;
        }
        keys.tags.append(key);
    }
    return keys;
}

struct ForeignKey {
    QString column;
    QString parentTable;
    QString parentColumn;
    QString onUpdate;
    QString onDelete;
    QStringList notes;
};

// A relation only implied, offered as a foreign key to make.
struct ImpliedKey {
    QString childField;
    QString parentTable; // in the schema
    QString parentColumn;
};

// A child table's relations: those that are foreign keys, and notes on those
// that are not.
struct ChildRelations {
    QList<ForeignKey> keys;
    QStringList notes;
};

QString tagDescription(const model::IndexModel &index)
{
    QString text = QStringLiteral("FoxPro %1 tag %2 on %3")
                       .arg(tagKindWord(index.kind), named(index.name), index.expression);
    if (!index.filter.trimmed().isEmpty())
        text += QStringLiteral(" FOR ") + index.filter;
    return text;
}

// The plan of one table: its columns, keys, indexes and notes. Schema
// objects (constraints, indexes, sequences) take their names from `objects`.
class SchemaPlanner {
public:
    SchemaPlanner(Dialect dialect, NameScope &objects, const SqlOptions &options)
        : m_dialect(dialect), m_objects(objects), m_options(options)
    {
    }

    // Keys: no more than keysOf() needs (the columns and the tags).
    enum class Depth { Keys, Whole };

    Table plan(const model::TableModel &model, const QString &name, Depth depth = Depth::Whole)
    {
        Table table;
        table.model = &model;
        table.name = name;
        planTable(table, depth);
        return table;
    }

private:
    void planTable(Table &table, Depth depth)
    {
        const model::TableModel &model = *table.model;
        if (table.name != model.name)
            table.notes << QStringLiteral("FoxPro name: ") + named(model.name);
        addNote(table.notes, QStringLiteral("FoxPro table rule: "), model.rule);
        addNote(table.notes, QStringLiteral("FoxPro table rule message: "), model.ruleText);
        addNote(table.notes, QStringLiteral("FoxPro insert trigger: "), model.insertTrigger);
        addNote(table.notes, QStringLiteral("FoxPro update trigger: "), model.updateTrigger);
        addNote(table.notes, QStringLiteral("FoxPro delete trigger: "), model.deleteTrigger);

        NameScope columnNames(m_dialect, false, model.fields.size());
        if (m_dialect == Dialect::Postgres) {
            for (const char *system : {"tableoid", "cmax", "xmax", "cmin", "xmin", "ctid"})
                columnNames.reserveExactly(QLatin1String(system));
        }
        table.columns.reserve(model.fields.size());
        for (qsizetype i = 0; i < model.fields.size(); ++i) {
            const model::FieldModel &field = model.fields.at(i);
            std::optional<SqlType> type = sqlType(field, model.version, m_dialect);
            if (type && type->kind == ValueKind::Text && field.type == 'M' && m_options.textAsBytes
                && m_options.textAsBytes(model, i)) {
                type = bytesType(m_dialect);
                type->note = QStringLiteral("FoxPro text memo whose values hold bytes SQL text cannot (NUL): kept as bytes");
            }
            if (!type) {
                table.notes << QStringLiteral("FoxPro system field %1 (null flags): no column").arg(named(field.name));
                continue;
            }
            Column column;
            column.field = &field;
            column.type = *type;
            const qsizetype number = table.columns.size() + 1;
            column.name = columnNames.claim(field.name, [number] { return QStringLiteral("column%1").arg(number); });
            if (column.name != field.name)
                column.notes << QStringLiteral("FoxPro name: ") + named(field.name);
            if (!column.type.note.isEmpty())
                column.notes << column.type.note;
            const bool numbersItself = field.autoIncrement || field.type == '+';
            if (numbersItself && column.type.kind != ValueKind::Integer)
                column.notes << QStringLiteral("FoxPro autoincrement left out: only integers number themselves");
            column.identity = numbersItself && column.type.kind == ValueKind::Integer;
            // Empty dates have no SQL value but NULL.
            const bool emptyIsNull = column.type.kind == ValueKind::Date || column.type.kind == ValueKind::Timestamp;
            column.notNull = column.identity || (!field.nullable && !emptyIsNull);
            table.columns.append(column);
        }
        table.created = m_dialect == Dialect::Postgres || !table.columns.isEmpty();

        planTags(table);
        if (depth == Depth::Keys)
            return;

        for (Column &column : table.columns) {
            planIdentity(table, column);
            planDefault(column);
            addNote(column.notes, QStringLiteral("FoxPro rule: "), column.field->rule);
            addNote(column.notes, QStringLiteral("FoxPro rule message: "), column.field->ruleText);
        }
    }

    static void addNote(QStringList &notes, const QString &label, const QString &text)
    {
        if (!text.trimmed().isEmpty())
            notes << label + text;
    }

    int columnNamed(const Table &table, const QString &expression) const
    {
        const QString name = expression.trimmed();
        if (name.isEmpty())
            return -1;
        for (int i = 0; i < table.columns.size(); ++i) {
            const model::FieldModel &field = *table.columns.at(i).field;
            if (platform::sameName(field.name, name)
                || (!field.shortName.isEmpty() && platform::sameName(field.shortName, name)))
                return i;
        }
        return -1;
    }

    void planTags(Table &table)
    {
        const model::TableModel &model = *table.model;
        qsizetype primary = -1;
        for (qsizetype i = 0; i < model.indexes.size() && primary < 0; ++i) {
            if (model.indexes.at(i).kind == model::TagKind::Primary)
                primary = i;
        }
        for (qsizetype i = 0; i < model.indexes.size() && primary < 0 && !model.primaryKey.isEmpty(); ++i) {
            if (model.indexes.at(i).name.compare(model.primaryKey.trimmed(), Qt::CaseInsensitive) == 0)
                primary = i;
        }
        if (primary < 0 && !model.primaryKey.trimmed().isEmpty())
            table.notes << QStringLiteral("FoxPro primary key %1: no such tag was read, so no key")
                               .arg(named(model.primaryKey));

        for (qsizetype i = 0; i < model.indexes.size(); ++i) {
            const model::IndexModel &index = model.indexes.at(i);
            Tag tag;
            tag.index = &index;
            const bool isPrimary = i == primary;
            const QString filter = index.filter.trimmed();
            if (!filter.isEmpty() && notDeleted().match(filter).hasMatch()) {
                tag.notes << QStringLiteral("FoxPro FOR %1 of tag %2 left out: deleted records are not carried over")
                                 .arg(filter, named(index.name));
            } else if (!filter.isEmpty()) {
                tag.notes << tagDescription(index) + QStringLiteral(": not translated");
                table.tags.append(tag);
                continue;
            }

            const QString expression = index.expression.trimmed();
            tag.column = columnNamed(table, expression);
            if (tag.column < 0) {
                const QRegularExpressionMatch match = caseFunction().match(expression);
                if (match.hasMatch()) {
                    const int column = columnNamed(table, match.captured(2));
                    if (column >= 0 && table.columns.at(column).type.kind == ValueKind::Text) {
                        tag.column = column;
                        tag.function = match.captured(1).startsWith(QLatin1Char('u'), Qt::CaseInsensitive)
                            ? QStringLiteral("upper")
                            : QStringLiteral("lower");
                    }
                }
            }
            if (tag.column < 0 || !table.created) {
                tag.notes << tagDescription(index) + QStringLiteral(": not translated");
                table.tags.append(tag);
                continue;
            }

            const Column &column = table.columns.at(tag.column);
            const bool plain = tag.function.isEmpty();
            const bool unique = isPrimary || index.kind == model::TagKind::Primary || index.kind == model::TagKind::Candidate;
            if (isPrimary && plain) {
                tag.form = TagForm::PrimaryKey;
                if (m_dialect == Dialect::Postgres || m_options.sqlitePrimaryKeysAfterData)
                    tag.name = m_objects.claim(table.name, QStringLiteral("table"), QStringLiteral("_pkey"));
            } else if (unique && plain) {
                tag.form = TagForm::Unique;
                tag.name = m_objects.claim(table.name + QLatin1Char('_') + column.name,
                                               QStringLiteral("table"), QStringLiteral("_key"));
            } else {
                tag.form = unique ? TagForm::UniqueIndex : TagForm::Index;
                tag.name = m_objects.claim(table.name + QLatin1Char('_') + withoutNul(index.name),
                                           QStringLiteral("table"));
                if (isPrimary)
                    tag.notes << QStringLiteral("FoxPro primary key %1 on %2: a unique index, since SQL keys only plain columns")
                                     .arg(named(index.name), index.expression);
                if (index.kind == model::TagKind::Unique)
                    tag.notes << QStringLiteral("FoxPro UNIQUE tag %1: it only skips repeated keys, so a plain index")
                                     .arg(named(index.name));
            }
            const QString collation = index.collation.trimmed();
            if (!collation.isEmpty() && collation.compare(QLatin1String("MACHINE"), Qt::CaseInsensitive) != 0)
                tag.notes << QStringLiteral("FoxPro collation %1 of tag %2 not carried over")
                                 .arg(collation, named(index.name));
            table.tags.append(tag);
        }
        // A key made after the data as a unique index takes the column as
        // FoxPro made it.
        for (const Tag &tag : std::as_const(table.tags)) {
            if (tag.form == TagForm::PrimaryKey && !m_options.sqlitePrimaryKeysAfterData)
                table.columns[tag.column].notNull = true;
        }
    }

    void planIdentity(const Table &table, Column &column)
    {
        if (!column.identity)
            return;
        const model::FieldModel &field = *column.field;
        if (m_dialect == Dialect::Postgres) {
            // Named here, so no table or index of the schema can take the name first.
            QStringList options{QStringLiteral("SEQUENCE NAME ")
                                + identifier(m_objects.claim(table.name + QLatin1Char('_') + column.name,
                                                             QStringLiteral("table"), QStringLiteral("_seq")))};
            if (field.autoIncrement) {
                if (field.nextValue < std::numeric_limits<qint32>::min()
                    || field.nextValue > std::numeric_limits<qint32>::max()) {
                    column.notes << QStringLiteral("FoxPro next value %1 left out: it does not fit an integer")
                                        .arg(field.nextValue);
                } else {
                    options << QStringLiteral("START WITH %1").arg(field.nextValue);
                    if (field.nextValue < 1)
                        options << QStringLiteral("MINVALUE %1").arg(field.nextValue);
                }
                if (field.step >= 1)
                    options << QStringLiteral("INCREMENT BY %1").arg(field.step);
                else
                    column.notes << QStringLiteral("FoxPro step %1 left out: a sequence needs a step").arg(field.step);
            }
            column.identityOptions = options.join(QLatin1Char(' '));
            return;
        }
        const bool isKey = std::any_of(table.tags.cbegin(), table.tags.cend(), [&](const Tag &tag) {
            return tag.form == TagForm::PrimaryKey && table.columns.at(tag.column).field == column.field;
        });
        if (!isKey) {
            column.identity = false;
            column.notes << QStringLiteral("FoxPro autoincrement%1: SQLite numbers only its INTEGER PRIMARY KEY")
                                .arg(autoincrementText(field));
            return;
        }
        column.sqliteAutoincrement = true;
        if (field.autoIncrement && field.step != 1)
            column.notes << QStringLiteral("FoxPro autoincrement step %1: SQLite counts by 1").arg(field.step);
        if (field.autoIncrement && field.nextValue < 1)
            column.notes << QStringLiteral("FoxPro next value %1: SQLite starts at 1").arg(field.nextValue);
    }

    static QString autoincrementText(const model::FieldModel &field)
    {
        if (!field.autoIncrement)
            return QString();
        return QStringLiteral(" (next value %1, step %2)").arg(field.nextValue).arg(field.step);
    }

    void planDefault(Column &column)
    {
        const QString expression = column.field->defaultValue.trimmed();
        if (expression.isEmpty())
            return;
        const auto leftOut = [&](const QString &why) {
            column.notes << QStringLiteral("FoxPro default %1 left out: %2").arg(expression, why);
        };
        if (column.identity) {
            leftOut(QStringLiteral("the column numbers itself"));
            return;
        }
        if (emptyDate().match(expression).hasMatch()) {
            leftOut(QStringLiteral("an empty date becomes NULL"));
            return;
        }
        const ValueKind kind = column.type.kind;
        const QString mismatch = QStringLiteral("it does not suit %1").arg(column.type.name);
        if (expression.compare(QLatin1String(".NULL."), Qt::CaseInsensitive) == 0
            || expression.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) {
            if (column.notNull)
                leftOut(QStringLiteral("the column takes no NULL"));
            else
                column.defaultSql = QStringLiteral("NULL");
            return;
        }
        static const QRegularExpression logical = pattern(R"(^\.([tfyn])\.$)");
        if (const QRegularExpressionMatch match = logical.match(expression); match.hasMatch()) {
            if (kind != ValueKind::Boolean)
                return leftOut(mismatch);
            const bool value = match.captured(1).compare(QLatin1String("t"), Qt::CaseInsensitive) == 0
                || match.captured(1).compare(QLatin1String("y"), Qt::CaseInsensitive) == 0;
            if (m_dialect == Dialect::Postgres)
                column.defaultSql = value ? QStringLiteral("true") : QStringLiteral("false");
            else
                column.defaultSql = value ? QStringLiteral("1") : QStringLiteral("0");
            return;
        }
        if (const QRegularExpressionMatch match = numberLiteral().match(expression); match.hasMatch()) {
            const QString sign = match.captured(1);
            const QString digits = match.captured(3);
            const bool currency = !match.captured(2).isEmpty();
            if (kind == ValueKind::Integer && !currency && isDecimalDigits(digits)) {
                bool ok = false;
                const qint64 value = (sign + digits).toLongLong(&ok);
                if (!ok || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
                    return leftOut(QStringLiteral("it does not fit an integer"));
                column.defaultSql = sign + digits;
                return;
            }
            if (kind == ValueKind::Decimal) {
                if (!fitsNumeric(digits, column.type.precision, column.type.scale))
                    return leftOut(QStringLiteral("it does not fit %1").arg(column.type.name));
                column.defaultSql = sign + digits;
                return;
            }
            if (kind == ValueKind::Float && !currency) {
                column.defaultSql = sign + digits;
                return;
            }
            return leftOut(mismatch);
        }
        if (const std::optional<QString> text = stringLiteral(expression)) {
            if (kind != ValueKind::Text)
                return leftOut(mismatch);
            if (column.type.length > 0 && text->toUcs4().size() > column.type.length)
                return leftOut(QStringLiteral("it is longer than %1").arg(column.type.name));
            column.defaultSql = literal(*text);
            return;
        }
        if (const std::optional<DateTimeLiteral> value = parseDateLiteral(expression)) {
            const QString date = value->date.toString(QStringLiteral("yyyy-MM-dd"));
            if (kind == ValueKind::Date && !value->time) {
                column.defaultSql = literal(date);
                return;
            }
            if (kind == ValueKind::Timestamp) {
                const QTime time = value->time.value_or(QTime(0, 0));
                column.defaultSql = literal(date + QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss")));
                return;
            }
            return leftOut(mismatch);
        }
        column.notes << QStringLiteral("FoxPro default, not translated: ") + expression;
    }

    Dialect m_dialect;
    NameScope &m_objects;
    const SqlOptions &m_options;
};

// The keys of every table planned, in the order planned: lists that grow a
// block at a time, since they are kept for every table of the source.
class PlannedKeys {
public:
    void append(const TableKeys &keys)
    {
        m_tables.push_back({keys.name, keys.created, m_tags.size(), size_t(keys.tags.size())});
        m_tags.insert(m_tags.end(), keys.tags.cbegin(), keys.tags.cend());
    }
    qsizetype size() const { return qsizetype(m_tables.size()); }
    const QString &name(qsizetype table) const { return m_tables[size_t(table)].name; }
    void setName(qsizetype table, const QString &name) { m_tables[size_t(table)].name = name; }
    bool created(qsizetype table) const { return m_tables[size_t(table)].created; }
    // Whether `keys` are the ones planned for that table.
    bool same(qsizetype table, const TableKeys &keys) const
    {
        const Kept &kept = m_tables[size_t(table)];
        return kept.name == keys.name && kept.created == keys.created && kept.tagCount == size_t(keys.tags.size())
            && std::equal(keys.tags.cbegin(), keys.tags.cend(), m_tags.cbegin() + qsizetype(kept.firstTag));
    }
    const TagKey *tagNamed(qsizetype table, const QString &name) const
    {
        const Kept &kept = m_tables[size_t(table)];
        const QString wanted = name.trimmed();
        for (size_t i = kept.firstTag; i < kept.firstTag + kept.tagCount; ++i) {
            if (platform::sameName(m_tags[i].tag, wanted))
                return &m_tags[i];
        }
        return nullptr;
    }

private:
    struct Kept {
        QString name;
        bool created;
        size_t firstTag;
        size_t tagCount;
    };
    std::deque<Kept> m_tables;
    std::deque<TagKey> m_tags;
};

QString action(const QString &rule)
{
    if (rule.compare(QLatin1String("cascade"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("CASCADE");
    if (rule.compare(QLatin1String("restrict"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("RESTRICT");
    return QString();
}

// A relation as a foreign key of its child, or a note on why it is none: on
// the child when the child is created, else among `unplaced`.
void planRelation(const PlannedKeys &tables, const TableLookup &tableNamed,
                  const model::RelationModel &relation, std::map<qsizetype, ChildRelations> &children,
                  QStringList &unplaced)
{
    const QString description = QStringLiteral("FoxPro relation from %1 tag %2 to %3 tag %4")
                                    .arg(named(relation.childTable), named(relation.childTag),
                                         named(relation.parentTable), named(relation.parentTag));
    QStringList integrity;
    const auto addRule = [&](const char *event, const QString &rule) {
        if (!rule.trimmed().isEmpty())
            integrity << QLatin1String(event) + QLatin1Char(' ') + rule.trimmed();
    };
    addRule("update", relation.onUpdate);
    addRule("delete", relation.onDelete);
    addRule("insert", relation.onInsert);
    const QString integrityText = integrity.isEmpty()
        ? QString()
        : QStringLiteral("; referential integrity: ") + integrity.join(QStringLiteral(", "));

    const qsizetype child = tableNamed(relation.childTable);
    const qsizetype parent = tableNamed(relation.parentTable);
    const auto untranslated = [&](const QString &why) {
        const QString note = description + integrityText + QStringLiteral(": not translated, ") + why;
        if (child >= 0 && tables.created(child))
            children[child].notes << note;
        else
            unplaced << note;
    };
    if (child < 0 || parent < 0)
        return untranslated(QStringLiteral("a table is missing"));
    if (!tables.created(child) || !tables.created(parent))
        return untranslated(QStringLiteral("a table is not created"));
    const TagKey *childTag = tables.tagNamed(child, relation.childTag);
    const TagKey *parentTag = tables.tagNamed(parent, relation.parentTag);
    if (!childTag || !parentTag)
        return untranslated(QStringLiteral("a tag is missing"));
    if (!childTag->plainColumn)
        return untranslated(QStringLiteral("the child tag is no plain field"));
    if (parentTag->form != TagForm::PrimaryKey && parentTag->form != TagForm::Unique)
        return untranslated(QStringLiteral("the parent tag is no key on a plain field"));
    if (childTag->kind != parentTag->kind)
        return untranslated(QStringLiteral("the fields' types differ"));

    ForeignKey key;
    key.column = childTag->column;
    key.parentTable = tables.name(parent);
    key.parentColumn = parentTag->column;
    key.onUpdate = action(relation.onUpdate);
    key.onDelete = action(relation.onDelete);
    if (!integrity.isEmpty())
        key.notes << description + integrityText;
    children[child].keys.append(key);
}

// --- Writing ------------------------------------------------------------

// The schema plans every table together (unique names, keys, relations to
// tables on either side) and names the findings of the reading at its top, so
// it plans first: the names and keys of every table and the findings, then
// a table at a time as it is written.
class SqlDocumentWriter : public DocumentWriter {
public:
    // `planned`, when given, is shown each table's plan as it is written,
    // and `statement` each statement of the post-data section.
    SqlDocumentWriter(Dialect dialect, const DictionarySink &sink, const SqlOptions &options,
                      std::function<void(const Table &)> planned = {},
                      std::function<void(const SqlStatement &)> statement = {})
        : m_dialect(dialect), m_sink(sink), m_options(options), m_objects(dialect, true),
          m_tablePlanned(std::move(planned)), m_statement(std::move(statement))
    {
    }

    bool plansFirst() const override { return true; }

    void plan(const model::TableModel &model) override
    {
        // Only the keys are kept; the names the plan gives its objects are
        // given for good when the table is written.
        NameScope scratch(m_dialect, true);
        m_keys.append(keysOf(SchemaPlanner(m_dialect, scratch, m_options)
                                 .plan(model, model.name, SchemaPlanner::Depth::Keys)));
        m_names.append(model.name);
    }

    void planned(const model::SourceModel &rest) override
    {
        for (qsizetype i = 0; i < m_keys.size(); ++i)
            m_keys.setName(i, m_objects.claim(m_names.at(i), QStringLiteral("table")));
        const TableLookup tableNamed(m_names);
        for (const model::RelationModel &relation : rest.relations)
            planRelation(m_keys, tableNamed, relation, m_children, m_unplaced);
        // An implied relation is offered, not made: only where it would be a
        // foreign key between tables made, on the parent's key column.
        for (const model::RelationModel &relation : rest.impliedRelations) {
            const qsizetype child = tableNamed(relation.childTable);
            const qsizetype parent = tableNamed(relation.parentTable);
            if (child < 0 || parent < 0 || !m_keys.created(child) || !m_keys.created(parent))
                continue;
            const TagKey *key = m_keys.tagNamed(parent, relation.parentTag);
            if (key && key->plainColumn && (key->form == TagForm::PrimaryKey || key->form == TagForm::Unique))
                m_implied[child].append({relation.childField, m_keys.name(parent), key->column});
        }
        m_findings = rest.findings;
    }

    void begin(const model::SourceOutline &outline) override
    {
        writeHeader(outline.facts);
        if (preData())
            marker(QStringLiteral("Pre-data: the tables, made before the data is loaded"));
        handOn(false);
    }

    void table(const model::TableModel &model) override
    {
        if (m_next >= m_keys.size() || m_names.at(m_next) != model.name)
            changed();
        const Table table = SchemaPlanner(m_dialect, m_objects, m_options).plan(model, m_keys.name(m_next));
        if (!m_keys.same(m_next, keysOf(table)))
            changed();
        if (m_tablePlanned)
            m_tablePlanned(table);
        if (m_options.data)
            m_tableNames.append(namesOf(table));
        const qsizetype before = m_out.size();
        const auto relations = m_children.find(m_next);
        writeTable(table, relations == m_children.end() ? ChildRelations() : relations->second);
        offerImpliedKeys(table, m_implied.value(m_next));
        if (!preData())
            m_out.truncate(before);
        writeKeysAndIndexes(table);
        ++m_next;
        handOn(false);
    }

    void end(const model::SourceModel &rest) override
    {
        if (m_next != m_keys.size())
            changed();
        if (preData())
            writeViews(rest.views);
        if (m_options.data) {
            handOn(true);
            m_options.data(m_tableNames, m_sink);
        }
        if (m_dialect == Dialect::Postgres)
            writeForeignKeys();
        if (!m_unplaced.isEmpty()) {
            postText(QStringLiteral("\n"));
            for (const QString &note : std::as_const(m_unplaced))
                postText(commentText(note));
        }
        if (!m_offered.isEmpty()) {
            postText(QStringLiteral("\n"));
            postText(commentText(m_dialect == Dialect::Postgres
                                     ? QStringLiteral("Implied by the tables' names and keys, declared nowhere: "
                                                      "remove \"-- \" to make one.")
                                     : QStringLiteral("Implied by the tables' names and keys, declared nowhere. "
                                                      "SQLite adds no foreign key to a table once made: put one in "
                                                      "its table's CREATE TABLE to make it.")));
            // A name may hold a line break: each line of an offer is commented.
            for (const QString &offer : std::as_const(m_offered))
                postText(commentText(offer));
        }
        if (postData()) {
            marker(QStringLiteral("Post-data: keys, unique constraints, indexes and foreign keys, made after the "
                                  "data is loaded"));
            m_post.replay([&](QByteArrayView record) {
                platform::RecordReader in(record);
                m_out += in.text();
                SqlStatement statement = readStatement(in);
                QStringList notes;
                if (m_options.adjust)
                    m_options.adjust(statement, notes);
                for (const QString &note : std::as_const(notes))
                    comment(note);
                if (!statement.sql.isEmpty())
                    m_out += statement.sql + QStringLiteral(";\n");
                handOn(false);
            });
            m_out += m_postText;
        }
        if (m_options.transaction) {
            line();
            line(QStringLiteral("COMMIT;"));
        }
        handOn(true);
    }

    static SqlTableNames namesOf(const Table &table)
    {
        SqlTableNames named;
        if (table.created)
            named.name = table.name;
        named.columns.resize(table.model->fields.size());
        named.notNull.resize(table.model->fields.size());
        for (const Column &column : table.columns) {
            const qsizetype field = column.field - table.model->fields.constData();
            named.columns[field] = column.name;
            named.notNull[field] = column.notNull;
        }
        return named;
    }

private:
    // A table handed on to be written that is not the one planned.
    [[noreturn]] static void changed()
    {
        throw Failure(QStringLiteral("The schema cannot be written: the source changed while it was being read."));
    }

    bool preData() const { return m_options.sections != SqlSections::PostData; }
    // An identity takes no NULL in PostgreSQL, whatever the table says.
    bool notNullAfterData(const Column &column) const
    {
        return m_options.notNullAfterData && postgres() && column.notNull && !column.identity;
    }
    bool postData() const { return m_options.sections != SqlSections::PreData; }

    void handOn(bool all)
    {
        if (m_out.isEmpty() || (!all && m_out.size() < blockSize))
            return;
        m_sink(m_out.toUtf8());
        m_out.clear();
    }
    bool postgres() const { return m_dialect == Dialect::Postgres; }

    void line(const QString &text = {})
    {
        m_out += text;
        m_out += QLatin1Char('\n');
    }

    static QString commentText(const QString &text, const QString &indent = {})
    {
        QString lines;
        for (const QString &shown : commentLines(text))
            lines += indent + shown + QLatin1Char('\n');
        return lines;
    }

    void comment(const QString &text, const QString &indent = {}) { m_out += commentText(text, indent); }

    // The start of a section, set apart so that a reader finds it.
    void marker(const QString &text)
    {
        line();
        line(QStringLiteral("-- ") + QString(76, QLatin1Char('=')));
        line(QStringLiteral("-- ") + text);
        line(QStringLiteral("-- ") + QString(76, QLatin1Char('=')));
    }

    void writeHeader(const model::SourceModel &facts)
    {
        const QString what = facts.kind == model::SourceModel::Kind::Container
            ? QStringLiteral("the FoxPro database container ")
            : QStringLiteral("the FoxPro tables in ");
        comment(QStringLiteral("Orvalle: %1 schema of %2")
                    .arg(postgres() ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"), what + facts.path));
        if (!facts.comment.trimmed().isEmpty())
            comment(QStringLiteral("Description: ") + facts.comment);
        for (const model::Finding &finding : std::as_const(m_findings)) {
            QString text = finding.severity == model::Severity::Error ? QStringLiteral("Error")
                                                                         : QStringLiteral("Warning");
            if (!finding.place.isEmpty())
                text += QStringLiteral(" about ") + named(finding.place);
            comment(text + QStringLiteral(" while reading: ") + finding.message);
            handOn(false);
        }
        if (postgres()) {
            line(QStringLiteral("SET client_encoding = 'UTF8';"));
            line(QStringLiteral("SET standard_conforming_strings = on;"));
        }
        if (m_options.transaction)
            line(QStringLiteral("BEGIN;"));
    }

    QString columnDefinition(const Column &column) const
    {
        QString text = identifier(column.name) + QLatin1Char(' ') + column.type.name;
        if (column.notNull && !notNullAfterData(column))
            text += QStringLiteral(" NOT NULL");
        if (column.identity && postgres())
            text += QStringLiteral(" GENERATED BY DEFAULT AS IDENTITY (%1)").arg(column.identityOptions);
        if (column.sqliteAutoincrement)
            text += QStringLiteral(" PRIMARY KEY AUTOINCREMENT");
        if (!column.defaultSql.isEmpty())
            text += QStringLiteral(" DEFAULT ") + column.defaultSql;
        if (column.type.kind == ValueKind::Bytes && column.type.length > 0)
            text += QStringLiteral(" CHECK (%1(%2) <= %3)")
                        .arg(postgres() ? QStringLiteral("octet_length") : QStringLiteral("length"),
                             identifier(column.name))
                        .arg(column.type.length);
        return text;
    }

    struct Item {
        QStringList notes;
        QString text;
    };

    void writeItems(const QList<Item> &items)
    {
        qsizetype last = -1;
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (!items.at(i).text.isEmpty())
                last = i;
        }
        for (qsizetype i = 0; i < items.size(); ++i) {
            for (const QString &note : items.at(i).notes)
                comment(note, QStringLiteral("  "));
            if (items.at(i).text.isEmpty())
                continue;
            m_out += QLatin1String("  ");
            m_out += items.at(i).text;
            m_out += QLatin1String(i < last ? ",\n" : "\n");
        }
    }

    QString keyColumns(const Table &table, const Tag &tag) const
    {
        return QLatin1Char('(') + identifier(table.columns.at(tag.column).name) + QLatin1Char(')');
    }

    // The table as made before its data: its columns, and in SQLite the keys
    // that only a table's definition can hold.
    void writeTable(const Table &table, const ChildRelations &relations)
    {
        line();
        if (!table.created) {
            comment(QStringLiteral("FoxPro table %1 left out: SQLite cannot create a table without a column")
                        .arg(named(table.model->name)));
            for (const QString &note : table.notes)
                comment(note);
            for (const Tag &tag : table.tags)
                for (const QString &note : tag.notes)
                    comment(note);
            return;
        }
        QList<Item> items;
        items.reserve(1 + table.columns.size() + table.tags.size() + relations.keys.size() + 1);
        Item tableNotes;
        if (!postgres() && !table.model->comment.trimmed().isEmpty())
            tableNotes.notes << table.model->comment;
        tableNotes.notes << table.notes;
        items << std::move(tableNotes);
        for (const Column &column : table.columns) {
            Item item;
            if (!postgres() && !column.field->comment.trimmed().isEmpty())
                item.notes << column.field->comment;
            item.notes << column.notes;
            item.text = columnDefinition(column);
            items << std::move(item);
        }
        if (!postgres()) {
            for (const Tag &tag : table.tags) {
                if (tag.form == TagForm::PrimaryKey && !primaryKeyAfterData(table))
                    items << Item{tag.notes, anyAutoincrement(table) ? QString()
                                                                     : QStringLiteral("PRIMARY KEY ") + keyColumns(table, tag)};
            }
            for (const ForeignKey &key : relations.keys)
                items << Item{key.notes, foreignKeyClause(key)};
            if (!relations.notes.isEmpty())
                items << Item{relations.notes, QString()};
        }
        line(QStringLiteral("CREATE TABLE %1 (").arg(identifier(table.name)));
        writeItems(items);
        line(QStringLiteral(");"));

        if (postgres())
            writeDescriptions(table);
        else
            writeSequenceStart(table);
    }

    // SQLite: a primary key made after the data as a unique index, when
    // asked and no AUTOINCREMENT needs it in the table.
    bool primaryKeyAfterData(const Table &table) const
    {
        return !postgres() && m_options.sqlitePrimaryKeysAfterData && !anyAutoincrement(table);
    }

    static bool anyAutoincrement(const Table &table)
    {
        return std::any_of(table.columns.cbegin(), table.columns.cend(),
                           [](const Column &column) { return column.sqliteAutoincrement; });
    }

    void writeDescriptions(const Table &table)
    {
        if (!table.model->comment.trimmed().isEmpty())
            line(QStringLiteral("COMMENT ON TABLE %1 IS %2;").arg(identifier(table.name), literal(table.model->comment)));
        for (const Column &column : table.columns) {
            if (column.field->comment.trimmed().isEmpty())
                continue;
            line(QStringLiteral("COMMENT ON COLUMN %1.%2 IS %3;")
                     .arg(identifier(table.name), identifier(column.name), literal(column.field->comment)));
        }
    }

    void writeSequenceStart(const Table &table)
    {
        for (const Column &column : table.columns) {
            if (!column.sqliteAutoincrement || !column.field->autoIncrement || column.field->nextValue <= 1)
                continue;
            line(QStringLiteral("INSERT INTO sqlite_sequence (\"name\", \"seq\") VALUES (%1, %2);")
                     .arg(literal(table.name))
                     .arg(column.field->nextValue - 1));
        }
    }

    void postText(const QString &text) { m_postText += text; }

    // A statement of the post-data section kept aside, with the text before it.
    void keepStatement(const SqlStatement &statement)
    {
        m_record.clear();
        platform::RecordWriter out(m_record);
        out.text(m_postText);
        out.number(qint64(statement.kind));
        out.text(statement.table);
        out.text(statement.column);
        out.number(statement.columns.size());
        for (const QString &column : statement.columns)
            out.text(column);
        out.text(statement.sql);
        out.text(statement.parentTable);
        out.text(statement.parentColumn);
        m_post.put(m_record);
        m_postText.clear();
    }

    static SqlStatement readStatement(platform::RecordReader &in)
    {
        SqlStatement statement;
        const qint64 kind = in.number();
        if (kind < qint64(SqlStatement::Kind::NotNull) || kind > qint64(SqlStatement::Kind::ForeignKey))
            platform::spoolChanged();
        statement.kind = SqlStatement::Kind(kind);
        statement.table = in.text();
        statement.column = in.text();
        const qint64 columns = in.count(sizeof(qint64));
        for (qint64 i = 0; i < columns; ++i)
            statement.columns.append(in.text());
        statement.sql = in.text();
        statement.parentTable = in.text();
        statement.parentColumn = in.text();
        if (!in.atEnd())
            platform::spoolChanged();
        return statement;
    }

    // A statement of the post-data section, after its notes.
    void postStatement(const QStringList &notes, const SqlStatement &statement)
    {
        if (postData()) {
            for (const QString &note : notes)
                postText(commentText(note));
            if (!statement.sql.isEmpty())
                keepStatement(statement);
        }
        if (m_statement && !statement.sql.isEmpty())
            m_statement(statement);
    }

    // The table's keys (those SQLite does not hold in the table) and indexes,
    // for the post-data section.
    void writeKeysAndIndexes(const Table &table)
    {
        const bool notNullAfter = std::any_of(table.columns.cbegin(), table.columns.cend(),
                                              [&](const Column &column) { return notNullAfterData(column); });
        if (!table.created || (table.tags.isEmpty() && !notNullAfter))
            return;
        if (postData())
            postText(QStringLiteral("\n"));
        SqlStatement notNull;
        notNull.kind = SqlStatement::Kind::NotNull;
        notNull.table = table.name;
        for (const Column &column : table.columns) {
            if (notNullAfterData(column))
                notNull.columns << column.name;
        }
        notNull.sql = sqlNotNull(table.name, notNull.columns);
        postStatement({}, notNull);
        for (const Tag &tag : table.tags) {
            SqlStatement statement;
            statement.table = table.name;
            if (tag.column >= 0)
                statement.column = table.columns.at(tag.column).name;
            if (tag.form == TagForm::PrimaryKey && !postgres() && !primaryKeyAfterData(table)) {
                continue; // in the table
            } else if (tag.form == TagForm::PrimaryKey && !postgres()) {
                statement.kind = SqlStatement::Kind::PrimaryKey;
                statement.sql = QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 %3")
                                    .arg(identifier(tag.name), identifier(table.name), keyColumns(table, tag));
            } else if (tag.form == TagForm::PrimaryKey || (tag.form == TagForm::Unique && postgres())) {
                statement.kind = tag.form == TagForm::PrimaryKey ? SqlStatement::Kind::PrimaryKey
                                                                   : SqlStatement::Kind::Unique;
                statement.sql = QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT %2 %3 %4")
                                    .arg(identifier(table.name), identifier(tag.name),
                                         tag.form == TagForm::PrimaryKey ? QStringLiteral("PRIMARY KEY")
                                                                         : QStringLiteral("UNIQUE"),
                                         keyColumns(table, tag));
            } else if (tag.form == TagForm::Unique) {
                // SQLite adds no constraint to a table once made; its unique
                // index is the same.
                statement.kind = SqlStatement::Kind::Unique;
                statement.sql = QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 %3")
                                    .arg(identifier(tag.name), identifier(table.name), keyColumns(table, tag));
            } else if (tag.form != TagForm::Untranslated) {
                QString key = identifier(table.columns.at(tag.column).name);
                if (!tag.function.isEmpty())
                    key = tag.function + QLatin1Char('(') + key + QLatin1Char(')');
                if (tag.index->descending)
                    key += QStringLiteral(" DESC");
                statement.kind = tag.form == TagForm::UniqueIndex ? SqlStatement::Kind::Unique : SqlStatement::Kind::Index;
                if (!tag.function.isEmpty())
                    statement.column.clear();
                statement.sql = QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                                    .arg(tag.form == TagForm::UniqueIndex ? QStringLiteral("UNIQUE ") : QString(),
                                         identifier(tag.name), identifier(table.name), key);
            }
            postStatement(tag.notes, statement);
        }
    }

    static QString foreignKeyClause(const ForeignKey &key)
    {
        QString text = QStringLiteral("FOREIGN KEY (%1) REFERENCES %2 (%3)")
                           .arg(identifier(key.column), identifier(key.parentTable), identifier(key.parentColumn));
        if (!key.onUpdate.isEmpty())
            text += QStringLiteral(" ON UPDATE ") + key.onUpdate;
        if (!key.onDelete.isEmpty())
            text += QStringLiteral(" ON DELETE ") + key.onDelete;
        return text;
    }

    void writeForeignKeys()
    {
        if (m_children.empty())
            return;
        if (postData())
            postText(QStringLiteral("\n"));
        for (const auto &[i, child] : m_children) {
            for (const ForeignKey &key : child.keys) {
                SqlStatement statement;
                statement.kind = SqlStatement::Kind::ForeignKey;
                statement.table = m_keys.name(i);
                statement.column = key.column;
                statement.parentTable = key.parentTable;
                statement.parentColumn = key.parentColumn;
                statement.sql = QStringLiteral("ALTER TABLE %1 ADD %2").arg(identifier(m_keys.name(i)), foreignKeyClause(key));
                postStatement(key.notes, statement);
            }
            postStatement(child.notes, {});
        }
    }

    // The statement of each implied relation of `table`, kept for the end.
    void offerImpliedKeys(const Table &table, const QList<ImpliedKey> &implied)
    {
        for (const ImpliedKey &key : implied) {
            for (const Column &column : table.columns) {
                if (!column.field || column.name.isEmpty() || column.field->name != key.childField)
                    continue;
                const QString clause = QStringLiteral("FOREIGN KEY (%1) REFERENCES %2 (%3)")
                                           .arg(identifier(column.name), identifier(key.parentTable),
                                                identifier(key.parentColumn));
                m_offered.append(m_dialect == Dialect::Postgres
                                     ? QStringLiteral("ALTER TABLE %1 ADD %2;").arg(identifier(table.name), clause)
                                     : QStringLiteral("%1: %2").arg(identifier(table.name), clause));
                break;
            }
        }
    }

    void writeViews(const QList<model::ViewModel> &views)
    {
        for (const model::ViewModel &view : views) {
            line();
            QString what = view.remote
                ? QStringLiteral("FoxPro remote view %1 through connection %2")
                      .arg(named(view.name), named(view.connection))
                : QStringLiteral("FoxPro view %1").arg(named(view.name));
            comment(what + QStringLiteral(", not translated:"));
            if (!view.comment.trimmed().isEmpty())
                comment(QStringLiteral("Description: ") + view.comment);
            comment(view.sql);
        }
    }

    static constexpr qsizetype blockSize = 32 * 1024;

    Dialect m_dialect;
    DictionarySink m_sink;
    SqlOptions m_options;
    NameScope m_objects;
    QStringList m_names;          // of the tables planned, in their order
    PlannedKeys m_keys;           // of the same tables
    std::map<qsizetype, ChildRelations> m_children; // of the tables a relation has as its child
    QStringList m_unplaced;       // notes on relations whose child is no table of the schema
    QHash<qsizetype, QList<ImpliedKey>> m_implied; // by child, of the tables planned
    QStringList m_offered;        // the implied keys' statements, commented out at the end
    QList<model::Finding> m_findings;
    qsizetype m_next = 0;         // the table written next
    std::function<void(const Table &)> m_tablePlanned;
    std::function<void(const SqlStatement &)> m_statement;
    QList<SqlTableNames> m_tableNames; // for the data between the sections
    QString m_out;
    // The post-data section, written once every table is made: text, and
    // statements that may yet be left out.
    // The post-data section, written after every table: its statements kept
    // aside as the tables are written, and the text after the last of them.
    platform::Spool m_post{QStringLiteral("The keys and indexes of the schema")};
    QString m_postText;
    std::string m_record; // the statement in hand; its storage serves the next
};

} // namespace

SqlSchema sqlSchema(DictionaryFormat format, const model::SourceModel &source, const SqlOptions &options)
{
    SqlSchema schema;
    SqlDocumentWriter writer(
        format == DictionaryFormat::Postgres ? Dialect::Postgres : Dialect::Sqlite,
        [&](QByteArrayView bytes) { schema.script += bytes; }, options,
        [&](const Table &table) { schema.tables.append(SqlDocumentWriter::namesOf(table)); },
        [&](const SqlStatement &statement) { schema.postData.append(statement); });
    writeWhole(writer, source);
    return schema;
}

QString sqlIdentifier(const QString &name)
{
    return identifier(name);
}

QString sqlNotNull(const QString &table, const QStringList &columns)
{
    QStringList set;
    for (const QString &column : columns)
        set << QStringLiteral("ALTER COLUMN %1 SET NOT NULL").arg(identifier(column));
    return set.isEmpty() ? QString() : QStringLiteral("ALTER TABLE %1 %2").arg(identifier(table), set.join(QStringLiteral(", ")));
}

QStringList sqlCommentLines(const QString &text)
{
    return commentLines(text);
}

std::unique_ptr<DocumentWriter> sqlDocumentWriter(DictionaryFormat format, const DictionarySink &sink,
                                                  const SqlOptions &options)
{
    return std::make_unique<SqlDocumentWriter>(
        format == DictionaryFormat::Postgres ? Dialect::Postgres : Dialect::Sqlite, sink, options);
}

QByteArray postgresSchema(const model::SourceModel &source)
{
    return wholeDocument(DictionaryFormat::Postgres, source);
}

QByteArray sqliteSchema(const model::SourceModel &source)
{
    return wholeDocument(DictionaryFormat::Sqlite, source);
}

QStringList sqlUntranslatedTags(const model::TableModel &table)
{
    NameScope scratch(Dialect::Postgres, true);
    const Table planned =
        SchemaPlanner(Dialect::Postgres, scratch, SqlOptions()).plan(table, table.name, SchemaPlanner::Depth::Keys);
    QStringList names;
    for (const Tag &tag : planned.tags) {
        if (tag.form == TagForm::Untranslated)
            names.append(tag.index->name);
    }
    return names;
}

} // namespace dictionary
