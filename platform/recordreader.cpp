#include "platform/recordreader.h"

#include "platform/bytes.h"
#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/memofile.h"

#include <QDate>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <variant>

namespace platform {

namespace {

// Records come in reads of about this many bytes, whatever the table's size.
constexpr qint64 ChunkBytes = 256 * 1024;
constexpr qint64 MillisecondsPerDay = 86'400'000;

bool isBlank(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == ' ' || c == '\0'; });
}

QByteArrayView withoutTrailingFill(QByteArrayView bytes)
{
    qsizetype end = bytes.size();
    while (end > 0 && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0'))
        --end;
    return bytes.first(end);
}

QByteArrayView trimmed(QByteArrayView bytes)
{
    bytes = withoutTrailingFill(bytes);
    qsizetype start = 0;
    while (start < bytes.size() && bytes[start] == ' ')
        ++start;
    return bytes.sliced(start);
}

FieldValue textValue(QByteArray utf8)
{
    return {ValueKind::Text, std::move(utf8), 0, 0};
}

FieldValue bytesValue(QByteArrayView bytes)
{
    return {ValueKind::Bytes, bytes.toByteArray(), 0, 0};
}

FieldValue integerValue(qint64 value)
{
    return {ValueKind::Integer, {}, value, 0};
}

FieldValue booleanValue(bool value)
{
    return {ValueKind::Boolean, {}, value ? 1 : 0, 0};
}

// The digits of a number as FoxPro writes it: an optional sign, digits with
// at most one point, and (dBase's Float) an exponent; "" when it is none.
// A bare point gets its zero ("-.5" is "-0.5"), a plus sign goes.
QByteArray decimalText(QByteArrayView text)
{
    qsizetype at = 0;
    QByteArray out;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        if (text[at] == '-')
            out += '-';
        ++at;
    }
    const qsizetype digitsStart = at;
    qsizetype digits = 0;
    bool point = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return {};
    QByteArrayView mantissa = text.sliced(digitsStart, at - digitsStart);
    if (mantissa.startsWith('.'))
        out += '0';
    if (mantissa.endsWith('.'))
        mantissa.chop(1);
    out += mantissa;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        const qsizetype exponentStart = at++;
        if (at < text.size() && (text[at] == '-' || text[at] == '+'))
            ++at;
        const qsizetype exponentDigits = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
        if (at == exponentDigits)
            return {};
        out += text.sliced(exponentStart, at - exponentStart);
    }
    return at == text.size() ? out : QByteArray();
}

// Four decimals exactly, from the count of ten-thousandths.
QByteArray currencyText(qint64 value)
{
    const bool negative = value < 0;
    // As unsigned, so the most negative value has a magnitude too.
    const quint64 magnitude = negative ? 0 - quint64(value) : quint64(value);
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%s%llu.%04llu", negative ? "-" : "",
                                      static_cast<unsigned long long>(magnitude / 10000),
                                      static_cast<unsigned long long>(magnitude % 10000));
    return QByteArray(text, length);
}

// `digits` decimal digits of `value`, with leading zeros, at `out`.
char *putDigits(char *out, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        out[i] = char('0' + value % 10);
    return out + digits;
}

// A day of years 1 to 9999, the years both databases take.
std::optional<QByteArray> dateText(const QDate &date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return std::nullopt;
    int year, month, day;
    date.getDate(&year, &month, &day);
    QByteArray text(10, Qt::Uninitialized);
    char *out = putDigits(text.data(), year, 4);
    *out++ = '-';
    out = putDigits(out, month, 2);
    *out++ = '-';
    putDigits(out, day, 2);
    return text;
}

std::optional<QByteArray> timestampText(const QDate &date, qint64 milliseconds)
{
    std::optional<QByteArray> text = dateText(date);
    if (!text || milliseconds < 0 || milliseconds >= MillisecondsPerDay)
        return std::nullopt;
    const int ms = int(milliseconds);
    char time[13];
    char *out = time;
    *out++ = ' ';
    out = putDigits(out, ms / 3'600'000, 2);
    *out++ = ':';
    out = putDigits(out, ms / 60'000 % 60, 2);
    *out++ = ':';
    out = putDigits(out, ms / 1000 % 60, 2);
    *out++ = '.';
    putDigits(out, ms % 1000, 3);
    text->append(time, sizeof time);
    return text;
}

// "YYYYMMDD" as FoxPro stores a date; an invalid date when it is none.
QDate storedDate(QByteArrayView bytes)
{
    int value[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    qsizetype at = 0;
    for (int part = 0; part < 3; ++part) {
        for (int i = 0; i < widths[part]; ++i, ++at) {
            const char c = bytes[at];
            if (c < '0' || c > '9')
                return QDate();
            value[part] = value[part] * 10 + (c - '0');
        }
    }
    return QDate(value[0], value[1], value[2]);
}

quint32 bigEndian32Unsigned(QByteArrayView bytes)
{
    return qFromBigEndian<quint32>(bytes.data());
}

// dBase 7 stores a number so that its bytes sort as it does: big-endian,
// with the sign bit flipped (and, for a negative double, every bit).
qint32 dBase7Long(QByteArrayView bytes)
{
    return qint32(bigEndian32Unsigned(bytes) ^ 0x8000'0000u);
}

double dBase7Double(QByteArrayView bytes)
{
    quint64 bits = qFromBigEndian<quint64>(bytes.data());
    bits = (bits & 0x8000'0000'0000'0000ull) ? bits & ~0x8000'0000'0000'0000ull : ~bits;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double bigEndianDouble(QByteArrayView bytes)
{
    const quint64 bits = qFromBigEndian<quint64>(bytes.data());
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

struct RecordReader::State {
    State(const LocalPath &tablePath, std::function<void(const RecordProblem &)> report)
        : file(tablePath), problem(std::move(report))
    {
    }

    ReadOnlyFile file;
    std::function<void(const RecordProblem &)> problem;
    TableHeader header;
    QList<RecordField> fields;
    std::optional<Utf8Decoder> decoder;
    int nullFlagsOffset = -1;
    int nullFlagsWidth = 0;

    std::optional<ReadOnlyFile> memoHandle;
    std::variant<std::monostate, MemoFile, DbtFile> memo;
    QString memoFailure; // why the memo file cannot be read; reported once

    qint64 available = 0; // records the file holds whole, at most the header's count
    qint64 nextRecord = 0;
    QByteArray chunk;
    qint64 chunkFirst = 0;
    qint64 chunkCount = 0;
    qint64 handedOut = 0;
    qint64 deleted = 0;

    void report(qint64 record, const RecordField *field, const QString &message) const
    {
        if (problem)
            problem({record, field ? field->name : QString(), message});
    }

    bool nullBitSet(QByteArrayView record, int bit) const
    {
        if (bit < 0 || nullFlagsOffset < 0 || bit / 8 >= nullFlagsWidth)
            return false;
        return (uchar(record[nullFlagsOffset + bit / 8]) >> (bit % 8)) & 1;
    }

    // A value that breaks its field's rules: reported, NULL, with the bytes the file holds.
    FieldValue unreadable(QByteArrayView raw, qint64 record, const RecordField &field, const QString &message) const
    {
        report(record, &field, message);
        return {ValueKind::Null, raw.toByteArray(), 0, 0};
    }

    // SQL keeps no NaN nor infinity.
    FieldValue realValue(QByteArrayView raw, double real, const RecordField &field, qint64 record) const
    {
        if (!std::isfinite(real))
            return unreadable(raw, record, field, QStringLiteral("Its double is %1, which SQL keeps no value for.")
                                                      .arg(std::isnan(real) ? QStringLiteral("not a number")
                                                                            : QStringLiteral("infinite")));
        return {ValueKind::Real, {}, 0, real};
    }

    FieldValue value(QByteArrayView record, const RecordField &field, qint64 number);
    FieldValue memoValue(QByteArrayView raw, const RecordField &field, qint64 number, bool text);
    FieldValue numericValue(QByteArrayView raw, const RecordField &field, qint64 record) const;
    FieldValue blankOrNull(const RecordField &field, FieldValue blank) const
    {
        return field.layout.isNullable() ? FieldValue{} : std::move(blank);
    }
};

RecordReader::RecordReader(const LocalPath &table, const LocalPath &memo,
                           std::function<void(const RecordProblem &)> problem)
    : m(std::make_unique<State>(table, std::move(problem)))
{
    QByteArray headerBytes;
    m->header = readTableHeader(m->file, headerBytes, RecordLengthCheck::Strict);
    const TableHeader &header = m->header;
    m->decoder.emplace(header.codePage);
    const bool visualFoxPro = header.isVisualFoxPro();

    // Fields lie one after the other behind the deletion flag; _NullFlags
    // gives Varchar lengths their bits first, then nullable fields theirs.
    int offset = 1;
    int bit = 0;
    bool memoFields = false;
    for (const FieldDescriptor &descriptor : header.fields) {
        if (descriptor.type == '0' && visualFoxPro && descriptor.isSystem()) {
            m->nullFlagsOffset = offset;
            m->nullFlagsWidth = descriptor.width;
        }
        if (!descriptor.isSystem()) {
            RecordField field;
            field.name = lowerCase(descriptor.name);
            field.layout = descriptor;
            if (!visualFoxPro)
                field.layout.flags = 0; // the byte holds junk outside Visual FoxPro
            field.offset = offset;
            if (visualFoxPro && (descriptor.type == 'V' || descriptor.type == 'Q'))
                field.lengthBit = bit++;
            if (visualFoxPro && descriptor.isNullable())
                field.nullBit = bit++;
            const char type = descriptor.type;
            memoFields = memoFields || type == 'M' || type == 'G' || type == 'P' || type == 'W'
                || (type == 'B' && !visualFoxPro);
            m->fields.append(field);
        }
        offset += descriptor.width;
    }

    if (memoFields) {
        if (memo.isEmpty()) {
            m->memoFailure = QStringLiteral("Its memo file is missing.");
        } else {
            try {
                m->memoHandle.emplace(memo);
                const QString name = memo.fileName();
                if (name.endsWith(QLatin1String(".dbt"), Qt::CaseInsensitive))
                    m->memo.emplace<DbtFile>(*m->memoHandle, displayName(memo), header.version == 0x83);
                else
                    m->memo.emplace<MemoFile>(*m->memoHandle, displayName(memo));
            } catch (const Failure &failure) {
                m->memoFailure = failure.description();
            }
        }
    }

    const qint64 body = qMax<qint64>(0, m->file.size() - header.headerLength);
    m->available = qMin<qint64>(header.recordCount, body / header.recordLength);
    if (m->available < header.recordCount)
        m->report(m->available + 1, nullptr,
                  QStringLiteral("The file ends before this record: %1 of the %2 records its header counts are missing.")
                      .arg(header.recordCount - m->available)
                      .arg(header.recordCount));
}

RecordReader::~RecordReader() = default;

const TableHeader &RecordReader::header() const
{
    return m->header;
}

const QList<RecordField> &RecordReader::fields() const
{
    return m->fields;
}

void RecordReader::keepBytes(qsizetype field)
{
    m->fields[field].keepBytes = true;
}

qint64 RecordReader::recordNumber() const
{
    return m->nextRecord;
}

qint64 RecordReader::recordsRead() const
{
    return m->handedOut;
}

qint64 RecordReader::deleted() const
{
    return m->deleted;
}

bool RecordReader::next(QList<FieldValue> &values)
{
    State &s = *m;
    const qint64 length = s.header.recordLength;
    for (;;) {
        if (s.nextRecord >= s.available)
            return false;
        if (s.nextRecord >= s.chunkFirst + s.chunkCount) {
            s.chunkFirst = s.nextRecord;
            s.chunkCount = qMin(qMax<qint64>(1, ChunkBytes / length), s.available - s.nextRecord);
            s.chunk.truncate(0);
            s.file.appendAt(s.header.headerLength + s.chunkFirst * length, s.chunkCount * length, s.chunk);
            // A file that shrank since it was opened ends the records there.
            if (s.chunk.size() < s.chunkCount * length) {
                s.chunkCount = s.chunk.size() / length;
                s.available = s.chunkFirst + s.chunkCount;
            }
            if (s.chunkCount == 0)
                return false;
        }
        const qint64 index = s.nextRecord++;
        const QByteArrayView record =
            QByteArrayView(s.chunk).sliced((index - s.chunkFirst) * length, length);
        if (record[0] == '*') {
            ++s.deleted;
            continue;
        }
        values.resize(s.fields.size());
        for (qsizetype i = 0; i < s.fields.size(); ++i)
            values[i] = s.value(record, s.fields[i], index + 1);
        ++s.handedOut;
        return true;
    }
}

FieldValue RecordReader::State::value(QByteArrayView record, const RecordField &field, qint64 number)
{
    if (nullBitSet(record, field.nullBit))
        return {};
    const FieldLayout &layout = field.layout;
    const QByteArrayView raw = record.sliced(field.offset, layout.width);
    const bool visualFoxPro = header.isVisualFoxPro();
    const int width = fixedWidth(layout.type, visualFoxPro);
    if (width != 0 && layout.width != width)
        return bytesValue(raw); // a binary type of a width it never has
    switch (layout.type) {
    case 'C':
        if (layout.isBinary())
            return bytesValue(raw);
        {
            QByteArray text;
            decoder->append(withoutTrailingFill(raw), text);
            return textValue(std::move(text));
        }
    case 'V':
    case 'Q': {
        if (layout.type == 'V' && !visualFoxPro)
            return bytesValue(raw); // a Clipper variant: its layout is not known here
        qsizetype size = raw.size();
        if (nullBitSet(record, field.lengthBit) && !raw.isEmpty()) {
            size = uchar(raw.back());
            if (size >= raw.size()) {
                return unreadable(raw, number, field, QStringLiteral("Its length byte says %1 bytes, more than the field holds.").arg(size));
            }
        }
        if (layout.type == 'Q' || layout.isBinary())
            return bytesValue(raw.first(size));
        QByteArray text;
        decoder->append(raw.first(size), text);
        return textValue(std::move(text));
    }
    case 'N':
    case 'F':
        return numericValue(raw, field, number);
    case 'Y':
        return {ValueKind::Decimal, currencyText(qFromLittleEndian<qint64>(raw.data())), 0, 0};
    case 'I':
    case '+':
        return integerValue(header.isLevel7() || layout.type == '+' ? dBase7Long(raw)
                                                                     : qFromLittleEndian<qint32>(raw.data()));
    case 'B':
        if (!visualFoxPro)
            return memoValue(raw, field, number, false);
        return realValue(raw, qFromLittleEndian<double>(raw.data()), field, number);
    case 'O':
        // Some writers leave an empty double all zeros, which the sortable
        // form never holds.
        if (raw.count('\0') == raw.size())
            return blankOrNull(field, {ValueKind::Real, {}, 0, 0});
        return realValue(raw, dBase7Double(raw), field, number);
    case 'D': {
        if (isBlank(raw) || raw == QByteArrayView("00000000"))
            return {};
        const QDate date = storedDate(raw);
        if (std::optional<QByteArray> text = dateText(date))
            return {ValueKind::Date, *std::move(text), 0, 0};
        return unreadable(raw, number, field, QStringLiteral("Its date '%1' is no date.").arg(QString::fromLatin1(raw)));
    }
    case 'T': {
        const quint32 day = qFromLittleEndian<quint32>(raw.data());
        const quint32 milliseconds = qFromLittleEndian<quint32>(raw.data() + 4);
        if (isBlank(raw) || day == 0)
            return {};
        if (std::optional<QByteArray> text = timestampText(QDate::fromJulianDay(day), milliseconds))
            return {ValueKind::Timestamp, *std::move(text), 0, 0};
        return unreadable(raw, number, field, QStringLiteral("Its date and time (day %1, millisecond %2) are no moment.")
                                   .arg(day)
                                   .arg(milliseconds));
    }
    case '@': {
        if (isBlank(raw))
            return {};
        // Milliseconds from the start of the day before 0001-01-01.
        const double count = bigEndianDouble(raw);
        if (std::isfinite(count) && count >= MillisecondsPerDay && count < 4e14) {
            const auto milliseconds = qint64(std::llround(count));
            const QDate date = QDate(1, 1, 1).addDays(milliseconds / MillisecondsPerDay - 1);
            if (std::optional<QByteArray> text = timestampText(date, milliseconds % MillisecondsPerDay))
                return {ValueKind::Timestamp, *std::move(text), 0, 0};
        }
        return unreadable(raw, number, field, QStringLiteral("Its timestamp is no moment."));
    }
    case 'L':
        switch (raw.isEmpty() ? ' ' : raw[0]) {
        case 'T': case 't': case 'Y': case 'y':
            return booleanValue(true);
        case 'F': case 'f': case 'N': case 'n':
            return booleanValue(false);
        case '?': case ' ': case '\0':
            return blankOrNull(field, booleanValue(false));
        default:
            return unreadable(raw, number, field, QStringLiteral("Its logical value %1 is none of T, F, Y, N or ?.")
                                       .arg(hexByte(uchar(raw[0]))));
        }
    case 'M':
        return memoValue(raw, field, number, !layout.isBinary() && !field.keepBytes);
    case 'G':
    case 'P':
    case 'W':
        return memoValue(raw, field, number, false);
    default:
        break;
    }
    // A letter no dialect defines.
    return bytesValue(raw);
}

FieldValue RecordReader::State::numericValue(QByteArrayView raw, const RecordField &field, qint64 record) const
{
    const QByteArrayView text = trimmed(raw);
    // dBase II keeps the point of a blank number with decimals ("    .   ").
    if (text.isEmpty() || text == ".")
        return blankOrNull(field, {ValueKind::Decimal, QByteArrayLiteral("0"), 0, 0});
    if (std::all_of(text.begin(), text.end(), [](char c) { return c == '*'; })) {
        return unreadable(raw, record, field, QStringLiteral("Its number was too large for the field (it holds asterisks)."));
    }
    QByteArray digits = decimalText(text);
    if (digits.isEmpty()) {
        QByteArray shown;
        decoder->append(text, shown);
        return unreadable(raw, record, field, QStringLiteral("Its value '%1' is no number.").arg(QString::fromUtf8(shown)));
    }
    return {ValueKind::Decimal, std::move(digits), 0, 0};
}

FieldValue RecordReader::State::memoValue(QByteArrayView raw, const RecordField &field, qint64 record, bool text)
{
    quint32 block = 0;
    if (raw.size() == 4) {
        block = qFromLittleEndian<quint32>(raw.data());
    } else {
        // dBase and FoxPro 2 give the block as digits, blank for none.
        const QByteArrayView digits = trimmed(raw);
        bool ok = digits.isEmpty();
        if (!ok)
            block = QByteArray(digits.data(), digits.size()).toUInt(&ok);
        if (!ok) {
            return unreadable(raw, record, field, QStringLiteral("Its memo block '%1' is no number.")
                                       .arg(QString::fromLatin1(digits)));
        }
    }
    const FieldValue empty = text ? textValue({}) : FieldValue{ValueKind::Bytes, {}, 0, 0};
    if (block == 0)
        return empty;
    // Each value the missing memo file holds is named: a load counts them all.
    if (std::holds_alternative<std::monostate>(memo) || !memoFailure.isEmpty())
        return unreadable(raw, record, field, memoFailure);
    QByteArray bytes;
    try {
        const qint64 largest = std::numeric_limits<qint64>::max();
        bytes = std::holds_alternative<MemoFile>(memo) ? std::get<MemoFile>(memo).memo(block, largest)
                                                       : std::get<DbtFile>(memo).memo(block, largest);
    } catch (const Failure &failure) {
        return unreadable(raw, record, field, failure.description());
    }
    if (!text)
        return {ValueKind::Bytes, std::move(bytes), 0, 0};
    QByteArray utf8;
    decoder->append(bytes, utf8);
    return textValue(std::move(utf8));
}

} // namespace platform
