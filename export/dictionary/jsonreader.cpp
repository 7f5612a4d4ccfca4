#include "export/dictionary/jsonreader.h"

#include "platform/failure.h"

#include <QJsonParseError>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace dictionary {

namespace {

// As deep as Qt's own parser goes.
constexpr int deepestNesting = 1024;
// Read a piece at a time, so that a check of the whole document holds one piece.
constexpr qint64 pieceSize = 1 << 20;

class MemoryBytes final : public JsonBytes {
public:
    explicit MemoryBytes(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    qint64 size() const override { return m_bytes.size(); }
    void read(qint64 offset, qint64 count, QByteArray &out) const override
    {
        out.append(QByteArrayView(m_bytes).sliced(offset, count));
    }

private:
    QByteArray m_bytes;
};

class FileBytes final : public JsonBytes {
public:
    explicit FileBytes(const platform::LocalPath &path) : m_file(path) {}
    qint64 size() const override { return m_file.size(); }
    void read(qint64 offset, qint64 count, QByteArray &out) const override
    {
        const qsizetype before = out.size();
        m_file.appendAt(offset, count, out);
        if (out.size() - before != count)
            throw Failure(QStringLiteral("'%1' changed while it was read.").arg(platform::displayName(m_file.path())));
    }

private:
    platform::ReadOnlyFile m_file;
};

struct Stop {
    JsonFault fault;
};

QString qtWords(QJsonParseError::ParseError error)
{
    QJsonParseError described;
    described.error = error;
    return described.errorString();
}

// The bytes of a range, a piece at a time.
class Cursor {
public:
    Cursor(const JsonBytes &bytes, JsonRange range) : m_bytes(bytes), m_next(range.begin), m_end(range.end) {}

    bool atEnd()
    {
        return m_at == m_piece.size() && !fill();
    }
    // Only when not atEnd().
    uchar peek() const { return uchar(m_piece[m_at]); }
    uchar take() { return uchar(m_piece[m_at++]); }
    qint64 offset() const { return m_next - m_piece.size() + m_at; }
    qint64 end() const { return m_end; }
    // The bytes of the piece from here that `keep` accepts, taken.
    template <class Keep>
    QByteArrayView takeWhile(Keep keep)
    {
        const qsizetype from = m_at;
        while (m_at < m_piece.size() && keep(uchar(m_piece[m_at])))
            ++m_at;
        return QByteArrayView(m_piece).sliced(from, m_at - from);
    }

    // Names the fault at the byte after the one that showed it, as Qt does.
    [[noreturn]] void fail(QJsonParseError::ParseError error) const { throw Stop{{offset(), qtWords(error)}}; }
    [[noreturn]] void failAtEnd(QJsonParseError::ParseError error) const { throw Stop{{m_end, qtWords(error)}}; }
    [[noreturn]] void failWith(const QString &what) const { throw Stop{{offset(), what}}; }
    [[noreturn]] void failBeyond(const QString &what) const { throw Stop{{offset(), what, true}}; }

private:
    bool fill()
    {
        if (m_next >= m_end)
            return false;
        const qint64 count = qMin(pieceSize, m_end - m_next);
        m_piece.clear();
        m_bytes.read(m_next, count, m_piece);
        m_next += count;
        m_at = 0;
        return true;
    }

    const JsonBytes &m_bytes;
    qint64 m_next;
    qint64 m_end;
    QByteArray m_piece;
    qsizetype m_at = 0;
};

bool isWhiteSpace(uchar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int hexDigit(uchar c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads values; with `keep` false it only checks them.
class Parser {
public:
    // `keep`: values are read into memory, strings to at most `longest`
    // characters (the rest checked only).
    Parser(Cursor &cursor, bool keep, qsizetype longest = std::numeric_limits<qsizetype>::max())
        : m_in(cursor), m_keep(keep), m_longest(longest)
    {
    }

    void skipWhiteSpace()
    {
        while (!m_in.atEnd() && isWhiteSpace(m_in.peek()))
            m_in.take();
    }

    // The value that starts here (white space skipped). `unterminated`: the
    // fault when the input ends first.
    JsonValue value(int depth, QJsonParseError::ParseError unterminated)
    {
        skipWhiteSpace();
        if (m_in.atEnd())
            m_in.failAtEnd(unterminated);
        if (m_keep && ++m_values > mostValues)
            m_in.failBeyond(QStringLiteral("more than %1 values in one part").arg(mostValues));
        JsonValue v;
        const uchar c = m_in.take();
        switch (c) {
        case '{':
            object(v, depth + 1);
            break;
        case '[':
            array(v, depth + 1);
            break;
        case '"':
            v.type = JsonValue::Type::String;
            string(m_keep ? &v.string : nullptr);
            break;
        case 't':
            literal("rue");
            v.type = JsonValue::Type::Boolean;
            v.boolean = true;
            break;
        case 'f':
            literal("alse");
            v.type = JsonValue::Type::Boolean;
            break;
        case 'n':
            literal("ull");
            v.type = JsonValue::Type::Null;
            break;
        default:
            if (c == '-' || (c >= '0' && c <= '9')) {
                number(v, c);
                break;
            }
            m_in.fail(QJsonParseError::IllegalValue);
        }
        return v;
    }

    // After the opening quote; the text into `text` when given.
    void string(QString *text)
    {
        for (;;) {
            if (m_in.atEnd())
                m_in.failAtEnd(QJsonParseError::UnterminatedString);
            // Plain characters a run at a time, up to the end of the piece in hand.
            const QByteArrayView plain =
                m_in.takeWhile([](uchar c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; });
            if (!plain.isEmpty()) {
                if (text && text->size() < m_longest)
                    text->append(QLatin1StringView(plain));
                continue;
            }
            const uchar c = m_in.take();
            if (c == '"')
                break;
            if (c == '\\')
                escape(text);
            else if (c < 0x20)
                m_in.failWith(QStringLiteral("a control character (0x%1) not escaped in a string")
                                  .arg(uint(c), 2, 16, QLatin1Char('0')));
            else
                multiByte(c, text);
        }
        if (text && text->size() > (1 << 20))
            text->squeeze();
    }

    void object(JsonValue &v, int depth)
    {
        if (depth > deepestNesting)
            m_in.fail(QJsonParseError::DeepNesting);
        v.type = JsonValue::Type::Object;
        skipWhiteSpace();
        if (m_in.atEnd())
            m_in.failAtEnd(QJsonParseError::UnterminatedObject);
        if (m_in.peek() == '}') {
            m_in.take();
            return;
        }
        for (bool first = true;; first = false) {
            skipWhiteSpace();
            if (m_in.atEnd())
                m_in.failAtEnd(QJsonParseError::UnterminatedObject);
            if (m_in.take() != '"')
                m_in.fail(first ? QJsonParseError::IllegalValue : QJsonParseError::MissingObject);
            QString key;
            string(m_keep ? &key : nullptr);
            separator();
            JsonValue member = value(depth, QJsonParseError::UnterminatedObject);
            if (m_keep)
                v.members.append({std::move(key), std::move(member)});
            if (!next('}', QJsonParseError::UnterminatedObject))
                return;
        }
    }

    void array(JsonValue &v, int depth)
    {
        if (depth > deepestNesting)
            m_in.fail(QJsonParseError::DeepNesting);
        v.type = JsonValue::Type::Array;
        if (emptyArray())
            return;
        do {
            JsonValue item = value(depth, QJsonParseError::UnterminatedArray);
            if (m_keep)
                v.items.append(std::move(item));
        } while (next(']', QJsonParseError::UnterminatedArray));
    }

    // Whether an array just opened closes at once.
    bool emptyArray()
    {
        skipWhiteSpace();
        if (m_in.atEnd())
            m_in.failAtEnd(QJsonParseError::UnterminatedArray);
        if (m_in.peek() != ']')
            return false;
        m_in.take();
        return true;
    }

    // After a member or item: true at a comma, false at `closing`.
    bool next(uchar closing, QJsonParseError::ParseError unterminated)
    {
        skipWhiteSpace();
        if (m_in.atEnd())
            m_in.failAtEnd(unterminated);
        const uchar c = m_in.take();
        if (c == closing)
            return false;
        if (c != ',')
            m_in.fail(QJsonParseError::MissingValueSeparator);
        return true;
    }

    // The colon between a key and its value.
    void separator()
    {
        skipWhiteSpace();
        if (m_in.atEnd())
            m_in.failAtEnd(QJsonParseError::UnterminatedObject);
        if (m_in.take() != ':')
            m_in.fail(QJsonParseError::MissingNameSeparator);
    }

private:
    void literal(const char *rest)
    {
        for (const char *c = rest; *c; ++c) {
            if (m_in.atEnd() || m_in.take() != uchar(*c))
                m_in.fail(QJsonParseError::IllegalValue);
        }
    }

    void escape(QString *text)
    {
        if (m_in.atEnd())
            m_in.failAtEnd(QJsonParseError::UnterminatedString);
        const uchar c = m_in.take();
        char16_t unit = 0;
        switch (c) {
        case '"': case '\\': case '/': unit = c; break;
        case 'b': unit = u'\b'; break;
        case 'f': unit = u'\f'; break;
        case 'n': unit = u'\n'; break;
        case 'r': unit = u'\r'; break;
        case 't': unit = u'\t'; break;
        case 'u':
            for (int i = 0; i < 4; ++i) {
                if (m_in.atEnd())
                    m_in.failAtEnd(QJsonParseError::UnterminatedString);
                const int digit = hexDigit(m_in.take());
                if (digit < 0)
                    m_in.fail(QJsonParseError::IllegalEscapeSequence);
                unit = char16_t(unit << 4 | digit);
            }
            break;
        default:
            m_in.fail(QJsonParseError::IllegalEscapeSequence);
        }
        if (text && text->size() < m_longest)
            text->append(QChar(unit));
    }

    // A character of two to four bytes, `lead` its first; only the shortest
    // form of a scalar value is UTF-8.
    void multiByte(uchar lead, QString *text)
    {
        int more = 0;
        char32_t point = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            point = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            point = lead & 0x07;
        } else {
            m_in.fail(QJsonParseError::IllegalUTF8String);
        }
        for (int i = 0; i < more; ++i) {
            if (m_in.atEnd() || (m_in.peek() & 0xC0) != 0x80)
                m_in.fail(QJsonParseError::IllegalUTF8String);
            point = point << 6 | (m_in.take() & 0x3F);
        }
        const char32_t shortest = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (point < shortest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            m_in.fail(QJsonParseError::IllegalUTF8String);
        if (text && text->size() < m_longest) {
            if (QChar::requiresSurrogates(point)) {
                text->append(QChar(QChar::highSurrogate(point)));
                text->append(QChar(QChar::lowSurrogate(point)));
            } else {
                text->append(QChar(char16_t(point)));
            }
        }
    }

    void number(JsonValue &v, uchar first)
    {
        // Longer numbers are refused unread: no dictionary writes one, and
        // a number is checked, whether kept or not, only as a whole.
        constexpr size_t longestNumber = 512;
        std::string digits(1, char(first));
        bool tooLong = false;
        const auto keep = [&](uchar c) {
            if (digits.size() < longestNumber)
                digits += char(c);
            else
                tooLong = true;
        };
        const auto run = [&] {
            int count = 0;
            while (!m_in.atEnd() && m_in.peek() >= '0' && m_in.peek() <= '9') {
                keep(m_in.take());
                ++count;
            }
            return count;
        };
        uchar lead = first;
        if (first == '-') {
            if (m_in.atEnd() || m_in.peek() < '0' || m_in.peek() > '9')
                m_in.fail(QJsonParseError::IllegalNumber);
            lead = m_in.take();
            keep(lead);
        }
        if (lead != '0')
            run();
        bool fraction = false;
        if (!m_in.atEnd() && m_in.peek() == '.') {
            keep(m_in.take());
            fraction = true;
            if (run() == 0)
                m_in.fail(QJsonParseError::IllegalNumber);
        }
        if (!m_in.atEnd() && (m_in.peek() == 'e' || m_in.peek() == 'E')) {
            keep(m_in.take());
            fraction = true;
            if (!m_in.atEnd() && (m_in.peek() == '+' || m_in.peek() == '-'))
                keep(m_in.take());
            if (run() == 0)
                m_in.fail(QJsonParseError::IllegalNumber);
        }
        v.type = JsonValue::Type::Number;
        if (tooLong)
            m_in.failBeyond(QStringLiteral("a number of more than %1 characters").arg(longestNumber));
        const char *begin = digits.data();
        const char *end = begin + digits.size();
        if (!fraction && std::from_chars(begin, end, v.integer).ec == std::errc()) {
            v.number = double(v.integer);
            v.integral = JsonValue::Integral::Exact;
            return;
        }
        const auto [stop, error] = std::from_chars(begin, end, v.number);
        if (error != std::errc() || stop != end || !std::isfinite(v.number))
            m_in.fail(QJsonParseError::IllegalNumber);
        if (std::trunc(v.number) != v.number) {
            v.integral = JsonValue::Integral::No;
        } else if (v.number >= -9223372036854775808.0 && v.number < 9223372036854775808.0) {
            v.integer = qint64(v.number);
            v.integral = JsonValue::Integral::Exact;
        } else {
            v.integral = JsonValue::Integral::TooLarge;
        }
    }

    Cursor &m_in;
    bool m_keep;
    qsizetype m_longest;
    qint64 m_values = 0;
};

// A UTF-8 byte order mark, which Qt's parser also passes over.
void skipByteOrderMark(Cursor &cursor)
{
    if (!cursor.atEnd() && cursor.peek() == 0xEF) {
        cursor.take();
        for (const uchar c : {uchar(0xBB), uchar(0xBF)}) {
            if (cursor.atEnd() || cursor.take() != c)
                cursor.fail(QJsonParseError::IllegalValue);
        }
    }
}

} // namespace

std::unique_ptr<JsonBytes> JsonBytes::inMemory(QByteArray bytes)
{
    return std::make_unique<MemoryBytes>(std::move(bytes));
}

std::unique_ptr<JsonBytes> JsonBytes::inFile(const platform::LocalPath &path)
{
    return std::make_unique<FileBytes>(path);
}

std::variant<JsonLayout, JsonFault> layOutJson(const JsonBytes &bytes, QLatin1StringView listKey)
{
    Cursor in(bytes, {0, bytes.size()});
    Parser check(in, false);
    JsonLayout layout;
    try {
        skipByteOrderMark(in);
        check.skipWhiteSpace();
        if (in.atEnd())
            in.failAtEnd(QJsonParseError::IllegalValue);
        const uchar top = in.take();
        if (top == '[') {
            JsonValue ignored;
            check.array(ignored, 1);
        } else if (top != '{') {
            in.fail(QJsonParseError::IllegalValue);
        } else {
            layout.topIsObject = true;
            check.skipWhiteSpace();
            if (in.atEnd())
                in.failAtEnd(QJsonParseError::UnterminatedObject);
            if (in.peek() == '}')
                in.take();
            else {
                for (bool first = true;; first = false) {
                    check.skipWhiteSpace();
                    if (in.atEnd())
                        in.failAtEnd(QJsonParseError::UnterminatedObject);
                    if (in.take() != '"')
                        in.fail(first ? QJsonParseError::IllegalValue : QJsonParseError::MissingObject);
                    JsonLayout::Member member;
                    // Only the start of a key is kept: no key the layout looks for is longer.
                    QString key;
                    Parser keyReader(in, true, JsonLayout::keyShown + 1);
                    keyReader.string(&key);
                    member.keyCut = key.size() > JsonLayout::keyShown;
                    member.key = key.first(qMin(key.size(), JsonLayout::keyShown));
                    check.separator();
                    check.skipWhiteSpace();
                    member.value.begin = in.offset();
                    if (member.key == listKey && !member.keyCut && !in.atEnd() && in.peek() == '[') {
                        in.take();
                        layout.listItems.clear();
                        layout.listIsArray = true;
                        if (!check.emptyArray()) {
                            do {
                                check.skipWhiteSpace();
                                JsonRange item{in.offset(), 0};
                                check.value(2, QJsonParseError::UnterminatedArray);
                                item.end = in.offset();
                                if (layout.listItems.size() == mostListItems)
                                    in.failBeyond(QStringLiteral("more than %1 items in \"%2\"")
                                                      .arg(mostListItems)
                                                      .arg(listKey));
                                layout.listItems.append(item);
                            } while (check.next(']', QJsonParseError::UnterminatedArray));
                        }
                    } else {
                        if (member.key == listKey && !member.keyCut) {
                            layout.listItems.clear();
                            layout.listIsArray = false;
                        }
                        check.value(1, QJsonParseError::UnterminatedObject);
                    }
                    member.value.end = in.offset();
                    if (layout.members.size() == mostTopMembers)
                        in.failBeyond(QStringLiteral("more than %1 members at the top").arg(mostTopMembers));
                    layout.members.append(std::move(member));
                    if (!check.next('}', QJsonParseError::UnterminatedObject))
                        break;
                }
            }
        }
        check.skipWhiteSpace();
        if (!in.atEnd())
            in.fail(QJsonParseError::GarbageAtEnd);
    } catch (const Stop &stop) {
        return stop.fault;
    }
    return layout;
}

std::variant<JsonValue, JsonFault> readJsonValue(const JsonBytes &bytes, JsonRange range)
{
    Cursor in(bytes, range);
    Parser reader(in, true);
    try {
        JsonValue value = reader.value(0, QJsonParseError::IllegalValue);
        reader.skipWhiteSpace();
        if (!in.atEnd())
            in.fail(QJsonParseError::GarbageAtEnd);
        return value;
    } catch (const Stop &stop) {
        return stop.fault;
    }
}

} // namespace dictionary
