#pragma once

// The connection routines of the database module.

#include "connection/connectionstate.h"

#include <QString>

namespace connection {

// Folder mode: the folder box's text with one separator added unless it ends
// in one; container mode: "". Reports its own failures and then gives "".
QString folderPathOf(const ConnectionState &state);
// Container mode: the container's full path; folder mode: "".
QString containerPathOf(const ConnectionState &state);
QString connectionStringOf(const ConnectionState &state);

// Whether the chosen source can be used. Shows one message, for a folder that
// does not exist; every other failure answers false silently.
bool canConnect(const ConnectionState &state);

} // namespace connection
