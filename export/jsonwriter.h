#pragma once

// The JSON writer the dictionary and the structure difference share: keys in
// the order they are written, text escaped as JSON requires.

#include "export/dictionarytext.h"

#include <QByteArray>
#include <QStringView>

#include <charconv>
#include <string>
#include <vector>

namespace exporting {

// Writes one JSON document, indented by four spaces, to a byte array.
class JsonWriter {
public:
    QByteArray take() const { return QByteArray(m_out.data(), qsizetype(m_out.size())); }
    // The bytes written so far.
    qint64 size() const { return qint64(m_out.size()); }

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
    void quoted(QStringView value)
    {
        m_out += '"';
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
        m_out += '"';
    }

    std::string m_out;
    std::vector<bool> m_first; // per open object or array: nothing written in it yet
};

} // namespace exporting
