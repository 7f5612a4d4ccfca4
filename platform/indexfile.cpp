#include "platform/indexfile.h"

#include "platform/bytes.h"
#include "platform/cleantext.h"
#include "platform/codepage.h"
#include "platform/failure.h"

#include <QSet>

#include <algorithm>
#include <functional>

namespace platform {

namespace {

constexpr qint64 PageSize = 512;
constexpr qint64 HeaderSize = 1024;
constexpr quint32 NoPage = 0xFFFFFFFF;

// Header (directory and tag alike).
constexpr qsizetype RootOffset = 0;
constexpr qsizetype KeyLengthOffset = 12;
constexpr qsizetype OptionsOffset = 14;
constexpr qsizetype CollationOffset = 494;
constexpr qsizetype CollationSize = 8;
constexpr qsizetype OrderOffset = 502;
constexpr qsizetype ForPositionOffset = 504;
constexpr qsizetype ForLengthOffset = 506;
constexpr qsizetype KeyPositionOffset = 508;
constexpr qsizetype KeyExpressionLengthOffset = 510;
constexpr qsizetype PoolOffset = 512;
constexpr qsizetype PoolSize = 512;

constexpr quint8 OptionUnique = 0x01;
constexpr quint8 OptionCandidate = 0x04;
constexpr quint8 OptionHasFor = 0x08;
constexpr quint8 OptionCompact = 0x20;
constexpr quint8 OptionCompound = 0x40;

constexpr int DirectoryKeyLength = 10;

// Nodes.
constexpr qsizetype AttributesOffset = 0;
constexpr qsizetype KeyCountOffset = 2;
constexpr qsizetype RightSiblingOffset = 8;
constexpr quint16 AttributeLeaf = 0x02;
constexpr qsizetype InteriorEntriesOffset = 12;
constexpr qsizetype InteriorEntriesSize = 500;
constexpr qsizetype InteriorPointerSize = 4; // record number, then child, both big-endian

constexpr qsizetype RecordMaskOffset = 14;
constexpr qsizetype DuplicateMaskOffset = 18;
constexpr qsizetype TrailMaskOffset = 19;
constexpr qsizetype RecordBitsOffset = 20;
constexpr qsizetype DuplicateBitsOffset = 21;
constexpr qsizetype TrailBitsOffset = 22;
constexpr qsizetype EntrySizeOffset = 23;
constexpr qsizetype LeafEntriesOffset = 24;
constexpr qsizetype LeafAreaSize = 488;
constexpr int MaxEntrySize = 8; // bytes decoded into one 64-bit value

// No real directory is deeper than a few levels; more means a crafted chain.
constexpr int MaxDepth = 32;

// A key must leave room for at least one entry of an interior node.
constexpr int MaxKeyLength = int(InteriorEntriesSize) - 2 * int(InteriorPointerSize);

Failure notCompound(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is not a compound index: %2").arg(fileName, what), platform::TableCorrupted);
}

Failure corrupted(const QString &fileName, const QString &what)
{
    return Failure(QStringLiteral("'%1' is corrupted: %2").arg(fileName, what), platform::TableCorrupted);
}

QString hex(quint32 offset)
{
    return QStringLiteral("0x%1").arg(offset, 0, 16);
}

// A tag name as messages show it: a name is bytes from the file, and no
// control character or line break may reach a one-line message.
QString shown(const QString &name)
{
    return cleanText(name, MarkedLine);
}

// Where the parser's pages come from: bytes in memory or an open file. Both
// are only ever asked for ranges already checked against size().
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual qint64 size() const = 0;
    virtual QByteArray read(qint64 offset, qint64 length) = 0;
};

class BytesSource final : public PageSource {
public:
    explicit BytesSource(QByteArrayView bytes) : m_bytes(bytes) {}
    qint64 size() const override { return m_bytes.size(); }
    QByteArray read(qint64 offset, qint64 length) override { return m_bytes.sliced(offset, length).toByteArray(); }

private:
    QByteArrayView m_bytes;
};

// Every range asked for lies within the size the file had when opened, so
// fewer bytes mean the file shrank meanwhile. The file's start comes in one
// read: a small index's directory and tag headers all lie there.
class FileSource final : public PageSource {
public:
    explicit FileSource(const ReadOnlyFile &file) : m_file(file) {}
    qint64 size() const override { return m_file.size(); }
    QByteArray read(qint64 offset, qint64 length) override
    {
        if (m_start.isNull())
            m_file.appendAt(0, qMin(m_file.size(), StartSize), m_start);
        if (offset + length <= m_start.size())
            return m_start.sliced(offset, length);
        return readAt(m_file, offset, length);
    }

private:
    static constexpr qint64 StartSize = 8192;
    const ReadOnlyFile &m_file;
    QByteArray m_start;
};

// Entries are at most 64 bits wide, and a shift by all of them is undefined.
quint64 shifted(quint64 value, int bits)
{
    return bits >= 64 ? 0 : value >> bits;
}

QByteArray withoutTrailingFill(QByteArray key)
{
    qsizetype end = key.size();
    while (end > 0 && (key[end - 1] == ' ' || key[end - 1] == '\0'))
        --end;
    key.truncate(end);
    return key;
}

struct DirectoryEntry {
    QString name;
    quint32 headerOffset = 0;
};

class Parser {
public:
    // The file's name is made only for a failure: most indexes have none.
    Parser(PageSource &source, quint8 codePage, std::function<QString()> fileName)
        : m_source(source), m_size(source.size()), m_codePage(codePage), m_fileName(std::move(fileName))
    {
    }

    QList<IndexTag> tags()
    {
        if (m_size < HeaderSize)
            throw notCompound(m_fileName(), QStringLiteral("the file is %1 bytes long, shorter than its header.").arg(m_size));
        const QByteArray header = m_source.read(0, HeaderSize);
        const quint8 options = quint8(header[OptionsOffset]);
        if ((options & OptionCompound) == 0 || (options & OptionCompact) == 0)
            throw notCompound(m_fileName(), QStringLiteral("its options byte is %1.").arg(hex(options)));
        if (littleEndian16(header, KeyLengthOffset) != DirectoryKeyLength)
            throw notCompound(m_fileName(), QStringLiteral("its tag names are %1 bytes long, not 10.").arg(littleEndian16(header, KeyLengthOffset)));

        const QList<DirectoryEntry> entries = directory(littleEndian32(header, RootOffset));
        QList<IndexTag> result;
        result.reserve(entries.size());
        for (const DirectoryEntry &entry : entries)
            result.append(tag(entry.name, entry.headerOffset));
        std::stable_sort(result.begin(), result.end(),
                         [](const IndexTag &a, const IndexTag &b) { return a.headerOffset < b.headerOffset; });
        return result;
    }

private:
    // `what` names the page only when it is wrong.
    template <class What>
    void checkPage(quint32 offset, qint64 length, const What &what) const
    {
        if (offset % PageSize != 0)
            throw corrupted(m_fileName(), QStringLiteral("%1 at %2 is not on a page boundary.").arg(what(), hex(offset)));
        if (offset < HeaderSize)
            throw corrupted(m_fileName(), QStringLiteral("%1 at %2 lies in the directory's header.").arg(what(), hex(offset)));
        if (qint64(offset) + length > m_size)
            throw corrupted(m_fileName(), QStringLiteral("%1 at %2 lies outside the file (%3 bytes).").arg(what(), hex(offset), QString::number(m_size)));
    }

    QByteArray node(quint32 offset, QLatin1StringView what)
    {
        checkPage(offset, PageSize, [what] { return QString(what); });
        if (m_visited.contains(offset))
            throw corrupted(m_fileName(), QStringLiteral("the tag directory comes back to the page at %1.").arg(hex(offset)));
        m_visited.insert(offset);
        return m_source.read(offset, PageSize);
    }

    // Down the first children to the leftmost leaf, then along the leaves.
    QList<DirectoryEntry> directory(quint32 root)
    {
        QByteArray page = node(root, QLatin1StringView("the tag directory's root"));
        for (int depth = 0; (littleEndian16(page, AttributesOffset) & AttributeLeaf) == 0; ++depth) {
            if (depth == MaxDepth)
                throw corrupted(m_fileName(), QStringLiteral("the tag directory is more than %1 levels deep.").arg(MaxDepth));
            const int keys = littleEndian16(page, KeyCountOffset);
            if (keys == 0 || keys * (DirectoryKeyLength + 2 * InteriorPointerSize) > InteriorEntriesSize)
                throw corrupted(m_fileName(), QStringLiteral("a directory node claims %1 entries.").arg(keys));
            const quint32 child = qFromBigEndian<quint32>(page.constData() + InteriorEntriesOffset + DirectoryKeyLength + InteriorPointerSize);
            page = node(child, QLatin1StringView("a directory node"));
        }
        QList<DirectoryEntry> entries;
        for (;;) {
            leafEntries(page, entries);
            const quint32 right = littleEndian32(page, RightSiblingOffset);
            if (right == 0 || right == NoPage)
                return entries;
            page = node(right, QLatin1StringView("a directory leaf"));
        }
    }

    // Each entry's header is checked as it is decoded, and no two share one,
    // so a crafted directory cannot hold more entries than the file has pages.
    void leafEntries(const QByteArray &page, QList<DirectoryEntry> &entries)
    {
        const int keys = littleEndian16(page, KeyCountOffset);
        const int entrySize = quint8(page[EntrySizeOffset]);
        const int recordBits = quint8(page[RecordBitsOffset]);
        const int duplicateBits = quint8(page[DuplicateBitsOffset]);
        const int trailBits = quint8(page[TrailBitsOffset]);
        if (entrySize < 1 || entrySize > MaxEntrySize || recordBits + duplicateBits + trailBits > 8 * entrySize)
            throw corrupted(m_fileName(), QStringLiteral("a directory leaf has entries of %1 bytes with %2+%3+%4 bits.")
                                            .arg(entrySize).arg(recordBits).arg(duplicateBits).arg(trailBits));
        if (keys * entrySize > LeafAreaSize)
            throw corrupted(m_fileName(), QStringLiteral("a directory leaf claims %1 entries of %2 bytes.").arg(keys).arg(entrySize));
        const quint32 recordMask = littleEndian32(page, RecordMaskOffset);
        const quint8 duplicateMask = quint8(page[DuplicateMaskOffset]);
        const quint8 trailMask = quint8(page[TrailMaskOffset]);

        const qsizetype entriesEnd = LeafEntriesOffset + qsizetype(keys) * entrySize;
        qsizetype keyEnd = PageSize;
        QByteArray key;
        for (int i = 0; i < keys; ++i) {
            quint64 value = 0;
            const qsizetype at = LeafEntriesOffset + qsizetype(i) * entrySize;
            for (int b = entrySize - 1; b >= 0; --b)
                value = value << 8 | quint8(page[at + b]);
            const quint32 record = quint32(value) & recordMask;
            // The first key has nothing before it to share.
            const int duplicate = i == 0 ? 0 : int(shifted(value, recordBits) & duplicateMask);
            const int trail = int(shifted(value, recordBits + duplicateBits) & trailMask);
            const int stored = DirectoryKeyLength - duplicate - trail;
            if (stored < 0 || duplicate > key.size() || keyEnd - stored < entriesEnd)
                throw corrupted(m_fileName(), QStringLiteral("entry %1 of a directory leaf does not fit its key.").arg(i + 1));
            keyEnd -= stored;
            key = key.first(duplicate) + page.sliced(keyEnd, stored) + QByteArray(trail, ' ');
            const QString name = decodeText(withoutTrailingFill(key), m_codePage);
            checkPage(record, HeaderSize, [&name] { return QStringLiteral("the header of tag %1").arg(shown(name)); });
            if (m_headers.contains(record))
                throw corrupted(m_fileName(), QStringLiteral("two tags share the header at %1.").arg(hex(record)));
            m_headers.insert(record);
            entries.append({name, record});
        }
    }

    template <class What>
    QString expression(const QByteArray &header, qsizetype position, qsizetype length, const What &what) const
    {
        if (position + length > PoolSize)
            throw corrupted(m_fileName(), QStringLiteral("the %1 runs past the end of its header.").arg(what()));
        return decodeText(upToNul(QByteArrayView(header).sliced(PoolOffset + position, length)), m_codePage);
    }

    IndexTag tag(const QString &name, quint32 offset)
    {
        const auto subject = [&name] { return QStringLiteral("tag %1").arg(shown(name)); };
        const QByteArray header = m_source.read(offset, HeaderSize);
        const quint8 options = quint8(header[OptionsOffset]);
        if ((options & OptionCompound) == 0)
            throw corrupted(m_fileName(), QStringLiteral("the header of %1 at %2 is no tag header.").arg(subject(), hex(offset)));
        checkPage(littleEndian32(header, RootOffset), PageSize, [&] { return QStringLiteral("the root of %1").arg(subject()); });
        const int keyLength = littleEndian16(header, KeyLengthOffset);
        if (keyLength < 1 || keyLength > MaxKeyLength)
            throw corrupted(m_fileName(), QStringLiteral("the keys of %1 are %2 bytes long.").arg(subject(), QString::number(keyLength)));

        qsizetype keyPosition = littleEndian16(header, KeyPositionOffset);
        qsizetype keyLengthInPool = littleEndian16(header, KeyExpressionLengthOffset);
        qsizetype forPosition = littleEndian16(header, ForPositionOffset);
        qsizetype forLength = littleEndian16(header, ForLengthOffset);
        if (keyPosition > PoolSize || forPosition > PoolSize)
            throw corrupted(m_fileName(), QStringLiteral("the expressions of %1 lie outside its header.").arg(subject()));
        // Some writers leave the lengths 0: the text then runs to the next
        // expression or the end of the pool, and its first NUL ends it. A FOR
        // expression is only looked for where option 0x08 announces one.
        if (keyLengthInPool == 0)
            keyLengthInPool = (forPosition > keyPosition ? forPosition : PoolSize) - keyPosition;
        if (forLength == 0 && (options & OptionHasFor) != 0)
            forLength = (keyPosition > forPosition ? keyPosition : PoolSize) - forPosition;

        IndexTag tag;
        tag.name = name;
        tag.expression = expression(header, keyPosition, keyLengthInPool, [&] { return QStringLiteral("key expression of %1").arg(subject()); });
        tag.filter = expression(header, forPosition, forLength, [&] { return QStringLiteral("FOR expression of %1").arg(subject()); });
        if (tag.expression.isEmpty())
            throw corrupted(m_fileName(), QStringLiteral("%1 has no key expression.").arg(subject()));
        tag.candidate = (options & OptionCandidate) != 0;
        tag.unique = (options & OptionUnique) != 0;
        tag.descending = littleEndian16(header, OrderOffset) != 0;
        tag.collation = QString::fromLatin1(upToNul(QByteArrayView(header).sliced(CollationOffset, CollationSize))).trimmed();
        tag.headerOffset = offset;
        return tag;
    }

    PageSource &m_source;
    qint64 m_size;
    quint8 m_codePage;
    std::function<QString()> m_fileName;
    QSet<quint32> m_visited;
    QSet<quint32> m_headers;
};

} // namespace

QList<IndexTag> parseCompoundIndex(QByteArrayView bytes, quint8 codePage, const QString &fileName)
{
    BytesSource source(bytes);
    return Parser(source, codePage, [&fileName] { return fileName; }).tags();
}

QList<IndexTag> readCompoundIndex(const ReadOnlyFile &file, quint8 codePage)
{
    FileSource source(file);
    return Parser(source, codePage, [&file] { return displayName(file.path()); }).tags();
}

QList<IndexTag> readCompoundIndex(const LocalPath &path, quint8 codePage)
{
    return readCompoundIndex(ReadOnlyFile(path), codePage);
}

} // namespace platform
