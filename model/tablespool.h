#pragma once

// The tables of one reading kept in a temporary file in the order they were
// read, for a document that must see every table before it writes the first
// (its contents, its keys and relations stand at its top): the source is read
// once, and one table at a time is held, however many there are.

#include "model/sourcemodel.h"

#include <QByteArray>
#include <QTemporaryFile>

#include <functional>
#include <memory>
#include <string>

namespace model {

class TableSpool {
public:
    TableSpool() = default;
    TableSpool(const TableSpool &) = delete;
    TableSpool &operator=(const TableSpool &) = delete;

    // Throws Failure when the table cannot be written.
    void put(const TableModel &table);
    // Hands every table put, in the order put, to `table`. Throws Failure
    // when the file cannot be read back as it was written.
    void replay(const std::function<void(TableModel &&table)> &table);

private:
    // A few tables are held in memory; a temporary file is made only for more.
    static constexpr size_t HeldMost = 1024 * 1024;

    void write(const std::string &records);
    [[noreturn]] void cannotKeep() const;

    std::string m_held;
    std::unique_ptr<QTemporaryFile> m_file;
    // The record in hand; its storage serves the next.
    std::string m_written;
    QByteArray m_read;
    qsizetype m_count = 0;
};

} // namespace model
