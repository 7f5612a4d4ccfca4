#pragma once

// The path a connection string names.

#include <QString>

namespace model {

// The data source of a connection string
// "Provider=vfpoledb.1;Data Source=<path>;Collating Sequence=machine|general;":
// everything between "Data Source=" and the trailing ";Collating Sequence=…;"
// (or the last ";"), so a path holding ";" is kept whole. Empty when the
// string names no data source.
QString dataSourceOf(const QString &connectionString);

} // namespace model
