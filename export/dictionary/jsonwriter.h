#pragma once

// The JSON writer the dictionary and the structure difference share: keys in
// the order they are written, text escaped as JSON requires.

#include "export/dictionary/dictionarytext.h"

#include <QByteArray>
#include <QStringView>

#include <charconv>
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
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_out.append(digits, size_t(end - digits));
    }
    void boolean(const char *key, bool value)
    {
        member(key);
        m_out += value ? "true" : "false";
    }
    void null(const char *key)
    {
        member(key);
        m_out += "null";
    }

private:
    void open(const char *key, char bracket)
    {
        member(key);
        m_out += bracket;
        m_first.push_back(true);
    }
    void close(char bracket)
    {
        const bool empty = m_first.back();
        m_first.pop_back();
        if (!empty)
            newline();
        m_out += bracket;
        if (m_first.empty())
            m_out += '\n';
        if (m_out.size() >= blockSize)
            handOn();
    }
    // Starts the next member of the object or array in hand.
    void member(const char *key)
    {
        if (!m_first.empty()) {
            if (!m_first.back())
                m_out += ',';
            m_first.back() = false;
            newline();
        }
        if (key) {
            m_out += '"';
            m_out += key;
            m_out += "\": ";
        }
    }
    void newline()
    {
        m_out += '\n';
        m_out.append(m_first.size() * 4, ' ');
    }
    void handOn()
    {
        if (m_sink && !m_out.empty()) {
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
        m_out += '"';
        for (qsizetype at = 0; at < value.size();) {
            qsizetype end = qMin(at + partSize, value.size());
            if (end < value.size() && value.at(end - 1).isHighSurrogate() && value.at(end).isLowSurrogate())
                --end;
            escaped(value.sliced(at, end - at));
            at = end;
            if (m_out.size() >= blockSize)
                handOn();
        }
        m_out += '"';
    }

    void escaped(QStringView value)
    {
        // Text of one code unit per character is copied as it is; the rest
        // goes through pairedText and Qt's UTF-8 encoder.
        bool plain = true;
        for (const QChar c : value)
            plain = plain && c.unicode() < 0x80;
        const QString paired = plain ? QString() : pairedText(value);
        const QStringView text = plain ? value : QStringView(paired);
        qsizetype plainFrom = 0;
        auto flush = [&](qsizetype to) {
            if (to <= plainFrom)
                return;
            if (plain) {
                for (const QChar c : text.mid(plainFrom, to - plainFrom))
                    m_out += char(c.unicode());
            } else {
                const QByteArray utf8 = text.mid(plainFrom, to - plainFrom).toUtf8();
                m_out.append(utf8.constData(), size_t(utf8.size()));
            }
        };
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c >= 0x20 && c != u'"' && c != u'\\')
                continue;
            flush(i);
            plainFrom = i + 1;
            switch (c) {
            case u'"': m_out += "\\\""; break;
            case u'\\': m_out += "\\\\"; break;
            case u'\n': m_out += "\\n"; break;
            case u'\r': m_out += "\\r"; break;
            case u'\t': m_out += "\\t"; break;
            case u'\b': m_out += "\\b"; break;
            case u'\f': m_out += "\\f"; break;
            default:
                m_out += "\\u00";
                m_out += "0123456789abcdef"[c >> 4];
                m_out += "0123456789abcdef"[c & 15];
            }
        }
        flush(text.size());
    }

    // What a sink is handed at least, but for the document's end.
    static constexpr size_t blockSize = 64 * 1024;

    Sink m_sink;
    qint64 m_handedOn = 0;
    std::string m_out;
    std::vector<bool> m_first; // per open object or array: nothing written in it yet
};

} // namespace dictionary
