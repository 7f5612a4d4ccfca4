#pragma once

// The report file: text in the system's code page, every line ended by CR LF,
// written through one buffer so that a long report costs few system calls.
// It takes the target's place only when it is complete: until then the bytes
// go to a temporary file beside it, removed again on any failure.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringEncoder>

#include <functional>
#include <initializer_list>
#include <memory>

namespace report {

// Where a report's bytes go. Every call throws Failure when it fails.
class ReportOutput {
public:
    virtual ~ReportOutput() = default;
    virtual void write(QByteArrayView bytes) = 0;
    // Puts the complete report in place of the target.
    virtual void commit() = 0;
    // Leaves the target as it was and nothing of the report behind.
    virtual void discard() noexcept = 0;
};

using ReportOutputOpener = std::function<std::unique_ptr<ReportOutput>(const QString &path)>;

// A new report at `path` through a temporary file that is renamed into place.
// Throws Failure when it cannot be created, or when `path` is an existing
// file the user may not write.
std::unique_ptr<ReportOutput> openReportOutput(const QString &path);
// Puts `bytes` in place of the file at `path` through openReportOutput:
// whole, or (when anything fails, with a Failure) not at all.
void writeWholeFile(const QString &path, QByteArrayView bytes);
// The same for a file made a part at a time: `write` hands its parts to the
// sink it is given; the file takes the target's place only when `write`
// returns.
void writeWholeFile(const QString &path, const std::function<void(const std::function<void(QByteArrayView)> &)> &write);
// Installs how report files are opened (tests inject failing ones); an empty
// function restores openReportOutput.
void setReportOutputOpener(ReportOutputOpener opener);

class ReportFile {
public:
    ReportFile();

    // Starts the report; the target is untouched until close(). Throws Failure.
    void open(const QString &path);
    // Appends one line and its CR LF; throws Failure when the buffer cannot be
    // written out, so a full disk stops the report.
    void writeLine(const QString &text);
    // One column of a line: `lead` spaces, its text, then the spaces that
    // fill the text to `width` characters (none when it is as wide or wider).
    struct Column {
        QStringView text;
        qsizetype width = 0;
        qsizetype lead = 0;
    };
    // Appends one line made of `columns`, as writeLine of the text they make.
    void writeLine(std::initializer_list<Column> columns);
    // Writes out what the buffer holds and puts the report in place. Throws
    // Failure, and then nothing of the report remains.
    void close();
    // After a failure already reported: nothing of the report remains.
    void abandon() noexcept;

private:
    // Room for `size` more bytes after the ones in use; throws when no report is open.
    char *room(qsizetype size)
    {
        if (m_output && m_used + size <= m_buffer.size()) [[likely]]
            return m_buffer.data() + m_used;
        return grow(size);
    }
    // room's way when the buffer must grow, or when no report is open.
    char *grow(qsizetype size);
    void flushWhenFull();
    void flush();

    std::unique_ptr<ReportOutput> m_output;
    QString m_path;
    QStringEncoder m_encoder;
    QByteArray m_buffer; // its first m_used bytes are the report's, not yet written out
    qsizetype m_used = 0;
};

// Copies the finished file at `path` (a report, a difference) to `out` a
// block at a time: what goes wrong, as the line saying it reads ("cannot read
// back the <what>: …", "cannot write to standard output: …"); empty when it
// was all copied.
QString copyFinishedFile(const QString &path, QIODevice &out, const QString &what);


} // namespace report
