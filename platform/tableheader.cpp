#include "platform/tableheader.h"

#include "platform/bytes.h"
#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"

#include <algorithm>
#include <optional>

namespace platform {

namespace {

constexpr int BacklinkSize = 263;

bool isKnownVersion(quint8 version)
{
    switch (version) {
    case 0x02: case 0x03: case 0x04: case 0x05: case 0x07:
    case 0x30: case 0x31: case 0x32:
    case 0x43: case 0x63: case 0x7B: case 0x83: case 0x87: case 0x8B: case 0x8C: case 0x8E:
    case 0xCB: case 0xE5: case 0xF5: case 0xFB:
        return true;
    default:
        return false;
    }
}

// A slot that ends the descriptors: CR as written, LF as some shapefile
// writers leave it, NUL where a writer left the terminator out.
bool isTerminator(char c)
{
    return c == 0x0D || c == 0x0A || c == 0x00;
}

Failure notATable(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is not a table: %2").arg(fileName, what), platform::NotATable);
}

Failure corrupted(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is corrupted: %2").arg(fileName, what), platform::TableCorrupted);
}

StoredField parseDescriptor(QByteArrayView slot, bool level7, bool visualFoxPro)
{
    StoredField field;
    if (level7) {
        field.name = upToNul(slot.first(32));
        field.type = slot[32];
        field.width = uchar(slot[33]);
        field.decimals = uchar(slot[34]);
        if (field.type == '+') {
            field.nextValue = littleEndian32(slot, 40);
            field.step = 1; // dBase 7 counts by one and stores no step
        }
    } else {
        field.name = upToNul(slot.first(11));
        field.type = slot[11];
        field.width = uchar(slot[16]);
        field.decimals = uchar(slot[17]);
        if (visualFoxPro) {
            field.flags = uchar(slot[18]);
            field.nextValue = littleEndian32(slot, 19);
            field.step = uchar(slot[23]);
        }
    }
    return field;
}

using StoredFields = QVarLengthArray<StoredField, 64>;

int totalWidth(const StoredFields &fields)
{
    int total = 1; // the deletion flag
    for (const StoredField &field : fields)
        total += field.width;
    return total;
}

// Clipper, FoxPro 2.x, Excel and some Visual FoxPro-version writers store a character width above 255 with its
// high byte in the decimals byte; accept that reading when it alone makes
// the widths add up.
bool widenCharacterFields(StoredFields &fields, int recordLength)
{
    int total = 1;
    for (const StoredField &field : fields)
        total += field.type == 'C' ? field.width + 256 * field.decimals : field.width;
    if (total != recordLength)
        return false;
    for (StoredField &field : fields) {
        if (field.type == 'C') {
            field.width += 256 * field.decimals;
            field.decimals = 0;
        }
    }
    return true;
}

// dBase II also marks its tables 0x02, with a layout of its own: the record
// count and record length in 16 bits at 1 and 6, then up to 32 descriptors of
// 16 bytes from byte 8 (name 11, type, width, address 2, decimals), ended by
// CR. It is taken for dBase II only when the descriptors read that way are
// well formed and their widths add up to the record length.
constexpr int DBase2Prefix = 8;
constexpr int DBase2SlotSize = 16;
constexpr int DBase2MaxFields = 32;
constexpr int DBase2HeaderLength = DBase2Prefix + DBase2MaxFields * DBase2SlotSize + 1;

bool isPlainName(QByteArrayView name)
{
    return !name.isEmpty()
        && std::all_of(name.begin(), name.end(), [](char c) { return uchar(c) > 0x20 && uchar(c) < 0x7F; });
}

std::optional<StoredHeader> parseDBase2(QByteArrayView bytes, quint8 codePage)
{
    StoredHeader stored;
    TableHeader &header = stored.header;
    header.version = 0x02;
    header.dBase2 = true;
    header.recordCount = littleEndian16(bytes, 1);
    header.recordLength = int(littleEndian16(bytes, 6));
    header.codePage = codePage;
    int total = 1;
    for (int i = 0; i < DBase2MaxFields; ++i) {
        const qsizetype at = DBase2Prefix + i * DBase2SlotSize;
        if (at >= bytes.size())
            return std::nullopt;
        if (bytes[at] == 0x0D) {
            if (i == 0 || total != header.recordLength || bytes.size() < DBase2HeaderLength)
                return std::nullopt;
            // The header keeps room for every slot: the records follow it,
            // not the end of the descriptors.
            header.headerLength = DBase2HeaderLength;
            return stored;
        }
        if (at + DBase2SlotSize > bytes.size())
            return std::nullopt;
        const QByteArrayView slot = bytes.sliced(at, DBase2SlotSize);
        StoredField field;
        field.name = upToNul(slot.first(11));
        field.type = slot[11];
        if (!isPlainName(field.name) || !(field.type == 'C' || field.type == 'N' || field.type == 'L')
            || uchar(slot[12]) == 0)
            return std::nullopt;
        field.width = uchar(slot[12]);
        field.decimals = uchar(slot[15]);
        total += field.width;
        stored.fields.append(field);
    }
    return std::nullopt;
}

} // namespace

std::optional<QDate> updateDate(quint8 year, quint8 month, quint8 day)
{
    const int fullYear = year >= 100 ? 1900 + year : year < 80 ? 2000 + year : 1900 + year;
    const QDate date(fullYear, month, day);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

namespace {

// The parse itself; `nameOf` gives the file's name for a failure, and is
// called only when one is thrown.
template <class NameOf>
StoredHeader scan(QByteArrayView bytes, qint64 fileSize, const NameOf &nameOf, RecordLengthCheck check)
{
    const qint64 available = qMin<qint64>(bytes.size(), fileSize);
    if (available < 32)
        throw notATable(nameOf(), QStringLiteral("the file is %1 bytes long, shorter than a header.").arg(available));

    StoredHeader stored;
    TableHeader &header = stored.header;
    header.version = uchar(bytes[0]);
    if (!isKnownVersion(header.version))
        throw notATable(nameOf(), QStringLiteral("its first byte %1 is no known table version.")
                                      .arg(hexByte(header.version)));
    if (header.version == 0x02) {
        if (std::optional<StoredHeader> dBase2 = parseDBase2(bytes.first(available), 0))
            return *std::move(dBase2);
    }
    header.recordCount = littleEndian32(bytes, 4);
    header.headerLength = int(littleEndian16(bytes, 8));
    header.recordLength = int(littleEndian16(bytes, 10));
    header.lastUpdate = updateDate(uchar(bytes[1]), uchar(bytes[2]), uchar(bytes[3]));
    header.flags = uchar(bytes[28]);
    header.codePage = uchar(bytes[29]);

    const bool level7 = header.isLevel7();
    const bool visualFoxPro = header.isVisualFoxPro();
    const int prefix = level7 ? 68 : 32;
    const int slotSize = level7 ? 48 : 32;
    if (header.headerLength <= prefix)
        throw notATable(nameOf(), QStringLiteral("the header length %1 is shorter than a header.").arg(header.headerLength));
    if (header.headerLength > available)
        throw corrupted(nameOf(), QStringLiteral("the header length %1 runs past the end of the file (%2 bytes).")
                                      .arg(header.headerLength).arg(fileSize));
    if (header.recordLength == 0)
        throw corrupted(nameOf(), QStringLiteral("the record length is 0."));

    const QByteArrayView area = bytes.first(header.headerLength);
    StoredFields &fields = stored.fields;
    fields.reserve((header.headerLength - prefix) / slotSize);
    qsizetype at = prefix;
    bool terminated = false;
    while (at < area.size()) {
        if (isTerminator(area[at])) {
            terminated = true;
            break;
        }
        if (at + slotSize > area.size())
            throw corrupted(nameOf(), QStringLiteral("the field descriptors have no terminator within the header length %1.")
                                          .arg(header.headerLength));
        fields.append(parseDescriptor(area.sliced(at, slotSize), level7, visualFoxPro));
        at += slotSize;
    }
    // Without a terminator the descriptors must fill the header exactly (a
    // writer that left the byte out), which the loop above ensures.

    if (totalWidth(fields) != header.recordLength
        && !widenCharacterFields(fields, header.recordLength) && check == RecordLengthCheck::Strict)
        throw corrupted(nameOf(), QStringLiteral("the record length %1 disagrees with the field widths (%2 in all).")
                                      .arg(header.recordLength).arg(totalWidth(fields)));

    if (visualFoxPro && terminated) {
        const qsizetype start = at + 1;
        const qsizetype size = qMin<qsizetype>(BacklinkSize, area.size() - start);
        if (size > 0)
            header.backlink = upToNul(area.sliced(start, size)).toByteArray();
    }
    return stored;
}

} // namespace

namespace {

TableHeader withNames(StoredHeader stored)
{
    TableHeader &header = stored.header;
    header.fields.reserve(stored.fields.size());
    for (const StoredField &field : std::as_const(stored.fields)) {
        FieldDescriptor decoded;
        static_cast<FieldLayout &>(decoded) = field;
        decoded.name = decodeText(field.name, header.codePage);
        header.fields.append(std::move(decoded));
    }
    return std::move(header);
}

} // namespace

TableHeader parseTableHeader(QByteArrayView bytes, qint64 fileSize, const QString &fileName,
                             RecordLengthCheck check)
{
    return withNames(scan(bytes, fileSize, [&] { return fileName; }, check));
}

namespace {

// How much of a header the fixed part announces: at least a dBase II
// header's worth for a 0x02 table, whose bytes 8-9 are no length.
qint64 announcedLength(QByteArrayView fixed)
{
    const qint64 headerLength = littleEndian16(fixed, 8);
    return uchar(fixed[0]) == 0x02 ? qMax<qint64>(headerLength, DBase2HeaderLength) : headerLength;
}

// The fixed part first, then exactly the rest of the header it announces.
// A read that stops short has reached the end of the file, so what was read
// is all of the header the file holds.
QByteArray readHeaderBytes(QFile &file, const QString &fileName)
{
    QByteArray bytes = readSome(file, 32, fileName);
    if (bytes.size() == 32 && announcedLength(bytes) > 32)
        bytes += readSome(file, announcedLength(bytes) - 32, fileName);
    return bytes;
}

// Most headers (up to about a hundred fields) come whole with the first read.
constexpr qint64 FirstRead = 4096;

// The same bytes from a file opened by path, in place of what `bytes` held:
// what the first read brings, then the rest of the header it announces.
// Bytes past the header are no part of it to the parser.
void readHeaderBytes(const ReadOnlyFile &file, QByteArray &bytes)
{
    bytes.truncate(0); // keeps the storage for the next table
    file.appendAt(0, FirstRead, bytes);
    if (bytes.size() >= 32 && announcedLength(bytes) > bytes.size())
        file.appendAt(bytes.size(), announcedLength(bytes) - bytes.size(), bytes);
}

} // namespace

TableHeader readTableHeader(QFile &file, const QString &fileName, RecordLengthCheck check)
{
    const QByteArray bytes = readHeaderBytes(file, fileName);
    return parseTableHeader(bytes, bytes.size(), fileName, check);
}

Backlink readBacklink(const LocalPath &path)
{
    const ReadOnlyFile file(path);
    QByteArray bytes;
    readHeaderBytes(file, bytes);
    if (bytes.size() < 32 || !isVisualFoxProVersion(uchar(bytes[0])))
        return {};
    // The same walk as the full parse, without decoding a single name.
    const QByteArrayView area = QByteArrayView(bytes).first(qMin<qsizetype>(littleEndian16(bytes, 8), bytes.size()));
    for (qsizetype at = 32; at < area.size(); at += 32) {
        if (isTerminator(area[at])) {
            const qsizetype size = qMin<qsizetype>(BacklinkSize, area.size() - at - 1);
            return {size > 0 ? upToNul(area.sliced(at + 1, size)).toByteArray() : QByteArray(), uchar(bytes[29])};
        }
    }
    return {};
}

TableHeader readTableHeader(const LocalPath &path, RecordLengthCheck check)
{
    QByteArray bytes;
    return readTableHeader(ReadOnlyFile(path), bytes, check);
}

TableHeader readTableHeader(const ReadOnlyFile &file, QByteArray &bytes, RecordLengthCheck check)
{
    return withNames(readStoredHeader(file, bytes, check));
}

StoredHeader readStoredHeader(const ReadOnlyFile &file, QByteArray &bytes, RecordLengthCheck check)
{
    readHeaderBytes(file, bytes);
    return scan(bytes, bytes.size(), [&] { return displayName(file.path()); }, check);
}

} // namespace platform
