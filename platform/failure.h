#pragma once

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
