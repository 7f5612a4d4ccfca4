#pragma once

// The tables of one reading kept aside in the order they were read (in a
// spool: a few in memory, the rest in a temporary file), for a document that
// must see every table before it writes the first (its contents, its keys and
// relations stand at its top): the source is read once, and one table at a
// time is held, however many there are.

#include "model/sourcemodel.h"
#include "platform/spool.h"

#include <functional>
#include <string>

namespace model {

class TableSpool {
public:
    // Throws Failure when the table cannot be kept.
    void put(const TableModel &table);
    // Hands every table put, in the order put, to `table`. Throws Failure
    // when one cannot be read back as it was written.
    void replay(const std::function<void(TableModel &&table)> &table);

private:
    platform::Spool m_spool{QStringLiteral("The tables read")};
    std::string m_written; // the record in hand; its storage serves the next
};

} // namespace model
