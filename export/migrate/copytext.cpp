#include "export/migrate/copytext.h"

#include <charconv>

namespace migrate {

namespace {

const char hexDigits[] = "0123456789abcdef";

// Text escaped for COPY; false when a NUL had to be left out.
bool appendText(QByteArray &line, const QByteArray &text)
{
    bool whole = true;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '\\' && c != '\t' && c != '\n' && c != '\r' && c != '\0')
            continue;
        line.append(text.constData() + from, i - from);
        from = i + 1;
        switch (c) {
        case '\\': line.append("\\\\"); break;
        case '\t': line.append("\\t"); break;
        case '\n': line.append("\\n"); break;
        case '\r': line.append("\\r"); break;
        default: whole = false; break;
        }
    }
    line.append(text.constData() + from, text.size() - from);
    return whole;
}

} // namespace

TableCopy tableCopy(const dictionary::SqlTableNames &names, const QList<bool> &bytesFields, TableRows &rows,
                    const char *source)
{
    TableCopy copy;
    QStringList columns;
    for (int i = 0; i < names.columns.size(); ++i) {
        if (bytesFields.value(i)) {
            rows.keepBytes(i);
            copy.bytesColumns << names.columns.at(i);
        }
        if (names.columns.at(i).isEmpty())
            continue;
        copy.fields.append(i);
        columns.append(dictionary::sqlIdentifier(names.columns.at(i)));
    }
    const QString list = columns.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(columns.join(QStringLiteral(", ")));
    copy.statement = QStringLiteral("COPY %1%2 FROM %3").arg(dictionary::sqlIdentifier(names.name), list,
                                                            QLatin1String(source));
    return copy;
}

bool appendCopyValue(QByteArray &line, const platform::FieldValue &value)
{
    using platform::ValueKind;
    switch (value.kind) {
    case ValueKind::Null:
        line.append("\\N");
        return true;
    case ValueKind::Text:
        return appendText(line, value.data);
    case ValueKind::Decimal:
    case ValueKind::Date:
    case ValueKind::Timestamp:
        line.append(value.data);
        return true;
    case ValueKind::Bytes: {
        // bytea's hex form, its backslash doubled for COPY.
        const qsizetype start = line.size();
        line.resize(start + 3 + 2 * value.data.size());
        char *out = line.data() + start;
        *out++ = '\\';
        *out++ = '\\';
        *out++ = 'x';
        for (const char c : value.data) {
            *out++ = hexDigits[uchar(c) >> 4];
            *out++ = hexDigits[uchar(c) & 0x0F];
        }
        return true;
    }
    case ValueKind::Integer: {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value.integer).ptr;
        line.append(digits, end - digits);
        return true;
    }
    case ValueKind::Boolean:
        line.append(value.integer ? 't' : 'f');
        return true;
    case ValueKind::Real: {
        // The shortest text that reads back as the same double.
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value.real).ptr;
        line.append(digits, end - digits);
        return true;
    }
    }
    return true;
}

bool appendCopyRow(QByteArray &line, const QList<platform::FieldValue> &values, const QList<int> &fields,
                   QList<int> *lostNul)
{
    bool whole = true;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line.append('\t');
        if (!appendCopyValue(line, values.at(fields.at(i)))) {
            whole = false;
            if (lostNul)
                lostNul->append(i);
        }
    }
    line.append('\n');
    return whole;
}

} // namespace migrate
