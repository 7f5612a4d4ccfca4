#include "export/report/reportfile.h"

#include "platform/cleantext.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace report {

namespace {

constexpr qsizetype flushThreshold = 64 * 1024;
constexpr qint64 writeBackStep = 1024 * 1024;

// Nearly every line is plain ASCII without control characters, the same
// bytes in every code page: copied as they are in one pass. Returns nullptr,
// having written nothing that counts, when the text needs the encoder.
inline char *appendPlain(char *out, QStringView text)
{
    const char16_t *in = text.utf16();
    const qsizetype size = text.size();
#ifdef __SSE2__
    // Eight characters at a time, or four, each less 0x20 not exceeding 0x5E.
    // The last step of a text that is no multiple of the step overlaps the one
    // before, so no character is copied one by one unless the text has fewer
    // than four.
    if (size >= 4) {
        const __m128i low = _mm_set1_epi16(0x20);
        const __m128i span = _mm_set1_epi16(0x5E);
        __m128i over = _mm_setzero_si128();
        const auto step = [&](qsizetype at, auto load, auto store) {
            const __m128i chars = load(in + at);
            over = _mm_or_si128(over, _mm_subs_epu16(_mm_sub_epi16(chars, low), span));
            store(out + at, _mm_packus_epi16(chars, chars));
        };
        if (size >= 8) {
            const auto load = [](const char16_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); };
            const auto store = [](char *p, __m128i bytes) { _mm_storel_epi64(reinterpret_cast<__m128i *>(p), bytes); };
            for (qsizetype i = 0; i + 8 <= size; i += 8)
                step(i, load, store);
            if (size % 8)
                step(size - 8, load, store);
        } else {
            // Four characters, twice over, so every lane holds one of them.
            const auto load = [](const char16_t *p) {
                const __m128i four = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
                return _mm_unpacklo_epi64(four, four);
            };
            const auto store = [](char *p, __m128i bytes) {
                const int four = _mm_cvtsi128_si32(bytes);
                std::memcpy(p, &four, 4);
            };
            step(0, load, store);
            step(size - 4, load, store);
        }
        return _mm_movemask_epi8(_mm_cmpeq_epi16(over, _mm_setzero_si128())) == 0xFFFF ? out + size : nullptr;
    }
#endif
    bool outside = false;
    for (qsizetype i = 0; i < size; ++i) {
        outside |= char16_t(in[i] - 0x20) >= 0x5F;
        out[i] = char(in[i]);
    }
    return outside ? nullptr : out + size;
}

// Writes every byte, however many calls the system takes; throws Failure
// when one fails.
void writeAll(QFileDevice &file, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            throw Failure(
                QStringLiteral("Cannot write the report file '%1': %2").arg(file.fileName(), file.errorString()));
        done += written;
    }
}

// A report takes a file's place by renaming; a device, a pipe or a socket
// must never be renamed over (as root that would replace /dev/null itself),
// and links are followed by their text, which must lead where they do.
void refuseNonRegularTarget(const QString &path)
{
    const platform::FileKind kind = platform::kindOf(platform::LocalPath::fromText(path));
    QString what;
    if (kind == platform::FileKind::Folder)
        what = QStringLiteral("it is a folder");
    else if (kind == platform::FileKind::Other)
        what = QStringLiteral("it is not a regular file (a pipe, a device or a socket)");
    else if (kind == platform::FileKind::Loop)
        what = QStringLiteral("its symbolic links form a loop");
    else if (!platform::linksSpellable(platform::LocalPath::fromText(path)))
        what = QStringLiteral("its symbolic link leads to a name the system's encoding cannot spell");
    else
        return;
    throw Failure(QStringLiteral("Cannot create the report file '%1': %2.").arg(path, what), platform::AccessDenied);
}

class SaveFileOutput final : public ReportOutput {
public:
    explicit SaveFileOutput(const QString &path) : m_file(path)
    {
        refuseNonRegularTarget(path);
        // Unbuffered: the report file keeps the one buffer, so a failed write shows at once.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw Failure(QStringLiteral("Cannot create the report file '%1': %2").arg(path, m_file.errorString()),
                          platform::AccessDenied);
    }

    ~SaveFileOutput() override { discard(); }

    void write(QByteArrayView bytes) override
    {
        writeAll(m_file, bytes);
        // The disk takes the bytes while the report goes on, so the sync on
        // commit does not wait for all of them at once. Each request costs a
        // round trip to the device's queue, so it is made a megabyte at a
        // time rather than for every buffer.
        m_size += bytes.size();
        if (m_size - m_handedToDisk >= writeBackStep) {
            platform::startWriteBack(m_file.handle(), m_handedToDisk, m_size - m_handedToDisk);
            m_handedToDisk = m_size;
        }
    }

    void commit() override
    {
        // QSaveFile syncs before it renames, but takes no notice when the
        // sync fails: a report the disk did not keep must not take the
        // target's place as if it had.
        const QString lost = platform::syncToDisk(m_file.handle());
        if (!lost.isEmpty())
            throw Failure(QStringLiteral("Cannot write the report file '%1': %2").arg(m_file.fileName(), lost));
        if (!m_file.commit())
            throw Failure(QStringLiteral("Cannot write the report file '%1': %2")
                              .arg(m_file.fileName(), m_file.errorString()));
    }

    void discard() noexcept override
    {
        if (m_file.isOpen()) {
            // After cancelWriting, commit only removes the temporary file.
            m_file.cancelWriting();
            m_file.commit();
        }
    }

private:
    QSaveFile m_file;
    qint64 m_size = 0;         // written so far
    qint64 m_handedToDisk = 0; // of those, asked to be written back
};

// A character device or a pipe the user named (/dev/null, /dev/stdout, a
// FIFO): written as it is, since it cannot be replaced and renaming over it
// would replace the device itself. A failed write still fails the report.
class DirectOutput final : public ReportOutput {
public:
    explicit DirectOutput(const QString &path) : m_file(path)
    {
        // Never made: a name that no longer holds anything is no device.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Unbuffered))
            throw Failure(QStringLiteral("Cannot create the report file '%1': %2").arg(path, m_file.errorString()),
                          platform::AccessDenied);
    }

    void write(QByteArrayView bytes) override
    {
        writeAll(m_file, bytes);
    }

    void commit() override { m_file.close(); }
    void discard() noexcept override { m_file.close(); }

private:
    QFile m_file;
};

ReportOutputOpener &opener()
{
    static ReportOutputOpener installed;
    return installed;
}

} // namespace

std::unique_ptr<ReportOutput> openReportOutput(const QString &path)
{
    if (platform::isStreamDevice(platform::LocalPath::fromText(path)))
        return std::make_unique<DirectOutput>(path);
    return std::make_unique<SaveFileOutput>(path);
}

void writeWholeFile(const QString &path, QByteArrayView bytes)
{
    writeWholeFile(path, [&](const std::function<void(QByteArrayView)> &sink) { sink(bytes); });
}

void writeWholeFile(const QString &path, const std::function<void(const std::function<void(QByteArrayView)> &)> &write)
{
    const std::unique_ptr<ReportOutput> output = openReportOutput(path);
    try {
        write([&](QByteArrayView bytes) { output->write(bytes); });
        output->commit();
    } catch (...) {
        output->discard();
        throw;
    }
}

QString copyFinishedFile(const QString &path, QIODevice &out, const QString &what)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read back the %1: %2").arg(what, file.errorString());
    while (!file.atEnd()) {
        const QByteArray block = file.read(64 * 1024);
        if (block.isEmpty())
            return QStringLiteral("cannot read back the %1: %2").arg(what, file.errorString());
        if (out.write(block) != block.size())
            return QStringLiteral("cannot write to standard output: %1").arg(out.errorString());
    }
    return QString();
}

void setReportOutputOpener(ReportOutputOpener replacement)
{
    opener() = std::move(replacement);
}

ReportFile::ReportFile() : m_encoder(QStringConverter::System) {}

void ReportFile::open(const QString &path)
{
    m_path = path;
    m_output = opener() ? opener()(path) : openReportOutput(path);
    m_buffer.resize(flushThreshold + 4096);
    m_used = 0;
}

char *ReportFile::grow(qsizetype size)
{
    if (!m_output)
        throw Failure(QStringLiteral("The report file is not open."));
    if (m_used + size > m_buffer.size())
        m_buffer.resize(m_used + size);
    return m_buffer.data() + m_used;
}

void ReportFile::writeLine(const QString &text)
{
    char *end = appendPlain(room(text.size() + 2), text);
    if (!end) {
        // Encodes straight into the buffer: no byte array per line.
        const QString clean = platform::cleanText(text, platform::CodePageLine);
        end = m_encoder.appendToBuffer(room(m_encoder.requiredSpace(clean.size()) + 2), clean);
    }
    *end++ = '\r';
    *end++ = '\n';
    m_used = end - m_buffer.constData();
    flushWhenFull();
}

void ReportFile::writeLine(std::initializer_list<Column> columns)
{
    // A column's spaces are stored first, as one block at least as wide as
    // the column, and its text is then written over them: a few fixed-size
    // stores instead of a fill of every column's own length.
    static constexpr char spaces[] = "                                ";
    constexpr qsizetype block = sizeof spaces - 1;
    const auto widthOf = [](const Column &column) { return column.lead + qMax(column.text.size(), column.width); };
    qsizetype size = 2;
    for (const Column &column : columns)
        size += widthOf(column);
    char *end = room(size + block);
    for (const Column &column : columns) {
        if (column.lead + column.width <= block)
            std::memcpy(end, spaces, block);
        else
            std::memset(end, ' ', column.lead + column.width);
        if (!appendPlain(end + column.lead, column.text)) {
            QString line;
            line.reserve(size - 2);
            for (const Column &each : columns) {
                line += QString(each.lead, QLatin1Char(' '));
                line += each.text;
                line += QString(qMax<qsizetype>(each.width - each.text.size(), 0), QLatin1Char(' '));
            }
            writeLine(line);
            return;
        }
        end += widthOf(column);
    }
    *end++ = '\r';
    *end++ = '\n';
    m_used = end - m_buffer.constData();
    flushWhenFull();
}

void ReportFile::close()
{
    if (!m_output)
        return;
    try {
        flush();
        m_output->commit();
    } catch (...) {
        abandon();
        throw;
    }
    m_output.reset();
}

void ReportFile::abandon() noexcept
{
    if (m_output)
        m_output->discard();
    m_output.reset();
    m_buffer.clear();
    m_used = 0;
}

void ReportFile::flushWhenFull()
{
    if (m_used >= flushThreshold)
        flush();
}

void ReportFile::flush()
{
    if (m_used == 0)
        return;
    m_output->write(QByteArrayView(m_buffer.constData(), m_used));
    m_used = 0;
}

} // namespace report
