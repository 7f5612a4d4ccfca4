#pragma once

// The table list of a source, as the table window and the command show it.

#include <QString>
#include <functional>

namespace report {

// Reads the table names of the source behind `connectionString` in the order
// the schema gives them. `ready` runs once the list is open (the table window
// empties its list there), then `add` once per name; "foxuser" written exactly
// so is left out. Throws Failure at the first failure.
void readTableList(const QString &connectionString, const std::function<void()> &ready,
                   const std::function<void(const QString &)> &add);

} // namespace report
