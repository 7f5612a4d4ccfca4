#pragma once

// The JSON writer the dictionary and the structure difference share: keys in
// the order they are written, text escaped as JSON requires.

#include "export/dictionary/dictionarytext.h"

#include <QByteArray>
#include <QStringView>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>
#include <functional>
#include <string>
#include <vector>

namespace dictionary {

// Writes one JSON document, indented by four spaces, to a byte array.
class JsonWriter {
public:
    using Sink = std::function<void(QByteArrayView)>;

    JsonWriter() = default;
    // Hands the document to `sink` a block at a time, as it is written;
    // finish() hands on the last block.
    explicit JsonWriter(Sink sink) : m_sink(std::move(sink)) {}

    QByteArray take() const { return QByteArray(m_out.data(), qsizetype(m_out.size())); }
    void finish() { handOn(); }
    // The bytes written so far.
    qint64 size() const { return m_handedOn + qint64(m_out.size()); }

    void beginObject(const char *key = nullptr) { open(key, '{'); }
    void endObject() { close('}'); }
    void beginArray(const char *key) { open(key, '['); }
    void endArray() { close(']'); }

    void text(const char *key, QStringView value)
    {
        member(key);
        quoted(value);
    }
    // Text of ours (a word the format defines), ASCII.
    void word(const char *key, std::string_view value)
    {
        member(key);
        char *at = m_out.grow(2 + value.size() * 6);
        *at++ = '"';
        for (const char c : value)
            at = escapedCharacter(at, char16_t(uchar(c)));
        *at++ = '"';
        m_out.endAt(at);
    }
    void textOrNull(const char *key, QStringView value)
    {
        if (value.isEmpty())
            null(key);
        else
            text(key, value);
    }
    void number(const char *key, qint64 value)
    {
        member(key);
        char *at = m_out.grow(24);
        m_out.endAt(std::to_chars(at, at + 24, value).ptr);
    }
    void boolean(const char *key, bool value)
    {
        member(key);
        if (value)
            m_out.append("true", 4);
        else
            m_out.append("false", 5);
    }
    void null(const char *key)
    {
        member(key);
        m_out.append("null", 4);
    }

private:
    // Bytes appended to storage that grows as needed but is never cleared
    // byte by byte: a writer asks for room, fills it and says where it ended.
    class Bytes {
    public:
        const char *data() const { return m_data.get(); }
        size_t size() const { return m_size; }
        void clear() { m_size = 0; }
        // Room for `count` more bytes, counted as written until endAt.
        char *grow(size_t count)
        {
            if (m_size + count > m_capacity)
                enlarge(m_size + count);
            char *at = m_data.get() + m_size;
            m_size += count;
            return at;
        }
        // The end of what was written into the room grown last.
        void endAt(const char *end) { m_size = size_t(end - m_data.get()); }
        void append(const char *bytes, size_t count) { std::memcpy(grow(count), bytes, count); }
        void push(char byte) { *grow(1) = byte; }

    private:
        void enlarge(size_t least)
        {
            const size_t capacity = std::max(least, m_capacity * 2);
            auto data = std::make_unique_for_overwrite<char[]>(capacity);
            if (m_size)
                std::memcpy(data.get(), m_data.get(), m_size);
            m_data = std::move(data);
            m_capacity = capacity;
        }

        std::unique_ptr<char[]> m_data;
        size_t m_size = 0;
        size_t m_capacity = 0;
    };

    void open(const char *key, char bracket)
    {
        member(key);
        m_out.push(bracket);
        m_first.push_back(true);
    }
    void close(char bracket)
    {
        const bool empty = m_first.back();
        m_first.pop_back();
        if (!empty)
            newline();
        m_out.push(bracket);
        if (m_first.empty())
            m_out.push('\n');
        if (m_out.size() >= blockSize)
            handOn();
    }
    // Starts the next member of the object or array in hand: its separator,
    // its line and indentation, and its key, in one piece of room.
    void member(const char *key)
    {
        const size_t indent = m_first.size() * 4;
        const size_t keyLength = key ? std::strlen(key) : 0;
        char *at = m_out.grow(2 + indent + (key ? keyLength + 4 : 0));
        if (!m_first.empty()) {
            if (!m_first.back())
                *at++ = ',';
            m_first.back() = false;
            *at++ = '\n';
            std::memset(at, ' ', indent);
            at += indent;
        }
        if (key) {
            *at++ = '"';
            std::memcpy(at, key, keyLength);
            at += keyLength;
            std::memcpy(at, "\": ", 3);
            at += 3;
        }
        m_out.endAt(at);
    }
    void newline()
    {
        const size_t indent = m_first.size() * 4;
        char *at = m_out.grow(1 + indent);
        *at = '\n';
        std::memset(at + 1, ' ', indent);
    }
    void handOn()
    {
        if (m_sink && m_out.size() > 0) {
            m_sink(QByteArrayView(m_out.data(), qsizetype(m_out.size())));
            m_handedOn += qint64(m_out.size());
            m_out.clear();
        }
    }

    // A text a part at a time (a surrogate pair kept in one), so that no copy
    // of a large one is made and a sink takes it as it goes.
    void quoted(QStringView value)
    {
        constexpr qsizetype partSize = 16 * 1024;
        m_out.push('"');
        for (qsizetype at = 0; at < value.size();) {
            qsizetype end = qMin(at + partSize, value.size());
            if (end < value.size() && value.at(end - 1).isHighSurrogate() && value.at(end).isLowSurrogate())
                --end;
            escaped(value.sliced(at, end - at));
            at = end;
            if (m_out.size() >= blockSize)
                handOn();
        }
        m_out.push('"');
    }

    void escaped(QStringView value)
    {
        // Text of one code unit per character is copied as it is; the rest
        // goes through pairedText and Qt's UTF-8 encoder.
        bool plain = true;
        for (const QChar c : value)
            plain = plain && c.unicode() < 0x80;
        if (plain) {
            // At most six bytes a character: \u00XX.
            char *at = m_out.grow(size_t(value.size()) * 6);
            for (const QChar c : value)
                at = escapedCharacter(at, c.unicode());
            m_out.endAt(at);
            return;
        }
        const QString paired = pairedText(value);
        qsizetype plainFrom = 0;
        const auto flush = [&](qsizetype to) {
            if (to <= plainFrom)
                return;
            const QByteArray utf8 = QStringView(paired).mid(plainFrom, to - plainFrom).toUtf8();
            m_out.append(utf8.constData(), size_t(utf8.size()));
        };
        for (qsizetype i = 0; i < paired.size(); ++i) {
            const char16_t c = paired[i].unicode();
            if (c >= 0x20 && c != u'"' && c != u'\\')
                continue;
            flush(i);
            plainFrom = i + 1;
            m_out.endAt(escapedCharacter(m_out.grow(6), c));
        }
        flush(paired.size());
    }

    // Writes one character below 0x80 as JSON has it in a string; returns
    // where it ended.
    static char *escapedCharacter(char *at, char16_t c)
    {
        if (c >= 0x20 && c != u'"' && c != u'\\') {
            *at++ = char(c);
            return at;
        }
        *at++ = '\\';
        switch (c) {
        case u'"': *at++ = '"'; break;
        case u'\\': *at++ = '\\'; break;
        case u'\n': *at++ = 'n'; break;
        case u'\r': *at++ = 'r'; break;
        case u'\t': *at++ = 't'; break;
        case u'\b': *at++ = 'b'; break;
        case u'\f': *at++ = 'f'; break;
        default:
            std::memcpy(at, "u00", 3);
            at[3] = "0123456789abcdef"[c >> 4];
            at[4] = "0123456789abcdef"[c & 15];
            at += 5;
        }
        return at;
    }

    // What a sink is handed at least, but for the document's end.
    static constexpr size_t blockSize = 64 * 1024;

    Sink m_sink;
    qint64 m_handedOn = 0;
    Bytes m_out;
    std::vector<char> m_first; // per open object or array: nothing written in it yet
};

} // namespace dictionary
