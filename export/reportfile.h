#pragma once

// The report file: text in the system's code page, every line ended by CR LF,
// written through one buffer so that a long report costs few system calls.

#include <QByteArray>
#include <QFile>
#include <QStringEncoder>

class ReportFile {
public:
    ReportFile();

    // Creates the file, or empties an existing one. Throws Failure.
    void open(const QString &path);
    // Appends one line and its CR LF; throws Failure when the buffer cannot be
    // written out, so a full disk stops the report.
    void writeLine(const QString &text);
    // Writes out what the buffer holds and closes the file. Throws Failure.
    void close();
    // After a failure already reported: keeps what can still be written and
    // closes the file, failing silently.
    void abandon() noexcept;

private:
    void flush();

    QFile m_file;
    QStringEncoder m_encoder;
    QByteArray m_buffer;
};

// What a line of the report may hold: a tab becomes one space, a line break
// inside a text becomes CR LF, and a lone surrogate (which no code page holds)
// becomes "?".
QString reportText(const QString &text);
