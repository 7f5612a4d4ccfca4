#pragma once

// A strict JSON reader (RFC 8259) over bytes in memory or in a file read a
// piece at a time, so that a document far larger than memory can be checked
// whole and then read a part at a time. It refuses what the RFC refuses and
// Qt's own parser lets through (raw control characters in strings), nests
// no deeper than Qt's parser, and names each fault in Qt's parser's words,
// with the byte offset where it was met (after the byte that showed it).

#include "platform/fileaccess.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <utility>
#include <variant>

namespace dictionary {

// One value of a document. Objects keep their members in document order, a
// key written twice as often as it is written.
struct JsonValue {
    enum class Type { Undefined, Null, Boolean, Number, String, Array, Object };
    // How a number holds: an integer of 64 bits exactly, an integral number
    // beyond them, or a number with a fraction.
    enum class Integral { Exact, TooLarge, No };

    Type type = Type::Undefined;
    bool boolean = false;
    double number = 0;
    qint64 integer = 0;
    Integral integral = Integral::No;
    QString string;
    QList<JsonValue> items;
    QList<std::pair<QString, JsonValue>> members;

    bool isUndefined() const { return type == Type::Undefined; }
    bool isNull() const { return type == Type::Null; }
    bool isString() const { return type == Type::String; }
    bool isObject() const { return type == Type::Object; }
    bool isArray() const { return type == Type::Array; }
};

// Where the bytes come from: a document in memory, or a regular file (opened
// as platform/fileaccess.h opens every file).
class JsonBytes {
public:
    virtual ~JsonBytes() = default;
    virtual qint64 size() const = 0;
    // Appends the bytes at [offset, offset + count) to `out`; throws Failure
    // when they cannot be read.
    virtual void read(qint64 offset, qint64 count, QByteArray &out) const = 0;

    static std::unique_ptr<JsonBytes> inMemory(QByteArray bytes);
    static std::unique_ptr<JsonBytes> inFile(const platform::LocalPath &path);
};

// A fault of the document: what it is, in the words of Qt's parser where it
// has words for it, and where. `beyondLimits`: well-formed JSON, but more
// than this reader holds (numbers of over 512 characters, more than
// mostTopMembers members at the top, mostListItems items in the list laid
// out, mostValues values in one value read).
struct JsonFault {
    qint64 offset = 0;
    QString what;
    bool beyondLimits = false;
};

inline constexpr qsizetype mostTopMembers = 1024;
inline constexpr qsizetype mostListItems = qsizetype(1) << 20;
inline constexpr qint64 mostValues = qint64(1) << 22;

// The top of a document laid out without reading its values into memory:
// the members of its top object, each by key and by the bytes of its value,
// and for the one named `listKey` (an array) the bytes of each item.
struct JsonRange {
    qint64 begin = 0;
    qint64 end = 0;
    qint64 size() const { return end - begin; }
};
struct JsonLayout {
    bool topIsObject = false;
    struct Member {
        QString key;         // its first characters only when it is longer than keyShown
        bool keyCut = false;
        JsonRange value;
    };
    QList<Member> members; // in document order
    QList<JsonRange> listItems; // of the last member named listKey, when it is an array
    bool listIsArray = false;
    static constexpr qsizetype keyShown = 64;
};

// Checks the whole document and lays out its top; the fault when it is none.
std::variant<JsonLayout, JsonFault> layOutJson(const JsonBytes &bytes, QLatin1StringView listKey);

// The value held by the bytes in `range` (a value the layout found, so well
// formed unless the file changed since); the fault when it is not one.
std::variant<JsonValue, JsonFault> readJsonValue(const JsonBytes &bytes, JsonRange range);

} // namespace dictionary
