#include "reportfile.h"

#include "dataaccess.h"

namespace {

constexpr qsizetype flushThreshold = 64 * 1024;

// Whether a line holds a tab, a line break or a lone half of a surrogate pair.
bool needsCleaning(const QString &text)
{
    for (const QChar character : text) {
        const char16_t c = character.unicode();
        if ((c < 0x20 && (c == u'\t' || c == u'\r' || c == u'\n')) || (c >= 0xD800 && c <= 0xDFFF))
            return true;
    }
    return false;
}

// Nearly every line is plain ASCII without tabs or line breaks, the same
// bytes in every code page: copied as they are in one pass. Returns nullptr,
// having written nothing that counts, when the line needs the encoder.
char *appendPlain(char *out, const QString &text)
{
    for (const QChar character : text) {
        const char16_t c = character.unicode();
        if (c >= 0x80 || c == u'\t' || c == u'\r' || c == u'\n')
            return nullptr;
        *out++ = char(c);
    }
    return out;
}

} // namespace

QString reportText(const QString &text)
{
    if (!needsCleaning(text))
        return text;
    QString clean;
    clean.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\t')) {
            clean += QLatin1Char(' ');
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            clean += QLatin1String("\r\n");
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            clean += c;
            clean += text.at(++i);
        } else if (c.isSurrogate()) {
            clean += QLatin1Char('?');
        } else {
            clean += c;
        }
    }
    return clean;
}

ReportFile::ReportFile() : m_encoder(QStringConverter::System) {}

void ReportFile::open(const QString &path)
{
    m_file.setFileName(path);
    // Unbuffered: this class keeps the one buffer, so a failed write shows at once.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw Failure(QStringLiteral("Cannot create the report file '%1': %2")
                          .arg(path, m_file.errorString()),
                      ado::AccessDenied);
    m_buffer.reserve(flushThreshold + 4096);
}

void ReportFile::writeLine(const QString &text)
{
    if (!m_file.isOpen())
        throw Failure(QStringLiteral("The report file is not open."));
    const qsizetype used = m_buffer.size();
    m_buffer.resize(used + text.size() + 2);
    char *end = appendPlain(m_buffer.data() + used, text);
    if (!end) {
        // Encodes straight into the buffer: no byte array per line.
        const QString clean = reportText(text);
        m_buffer.resize(used + m_encoder.requiredSpace(clean.size()) + 2);
        end = m_encoder.appendToBuffer(m_buffer.data() + used, clean);
    }
    *end++ = '\r';
    *end++ = '\n';
    m_buffer.truncate(end - m_buffer.constData());
    if (m_buffer.size() >= flushThreshold)
        flush();
}

void ReportFile::close()
{
    if (!m_file.isOpen())
        return;
    try {
        flush();
    } catch (...) {
        m_file.close();
        throw;
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Cannot close the report file '%1': %2")
                          .arg(m_file.fileName(), m_file.errorString()));
}

void ReportFile::abandon() noexcept
{
    try {
        close();
    } catch (...) {
        m_file.close();
    }
}

void ReportFile::flush()
{
    qsizetype done = 0;
    while (done < m_buffer.size()) {
        const qint64 written = m_file.write(m_buffer.constData() + done, m_buffer.size() - done);
        if (written <= 0) {
            m_buffer.clear();
            throw Failure(QStringLiteral("Cannot write the report file '%1': %2")
                              .arg(m_file.fileName(), m_file.errorString()));
        }
        done += written;
    }
    m_buffer.clear();
}
