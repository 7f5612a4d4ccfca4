#pragma once

// The one failure every guarded step raises, and the error numbers it
// carries.

#include <QByteArray>
#include <QString>
#include <exception>

// A failure raised by any step the program guards: a number (the data access
// component's error number, 0 when there is none) and a plain description.
class Failure : public std::exception {
public:
    explicit Failure(QString description, int number = 0)
        : m_number(number), m_description(std::move(description)),
          m_what(m_description.toUtf8()) {}

    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

namespace platform {

// Error numbers, FoxPro's where one fits.
enum ErrorNumber {
    FileDoesNotExist = 1,
    FileInUse = 3, // a report asked to be written over one of the source's own files
    ObjectNotSet = 91, // a data access object that could not be created
    NotATable = 15,
    InvalidPath = 202,
    AccessDenied = 1705,
    TableCorrupted = 2091,
    ObjectClosed = 3704,       // an operation on a closed connection or record set
    UnsupportedCommand = 3001, // anything but "select * from [name]"
    ItemNotFound = 3265,       // no such field, column, property or schema column
    ObjectOpen = 3705,         // Open on an object that is already open
};

} // namespace platform
