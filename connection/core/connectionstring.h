#pragma once

// The connection string the start window builds for a folder or a container.

#include <QString>

namespace connection {

// The one form of connection string: the path goes in as typed, unquoted; the
// collating sequence follows from the mode alone.
inline QString buildConnectionString(bool container, const QString &path)
{
    return QStringLiteral("Provider=vfpoledb.1;Data Source=") + path
        + (container ? QStringLiteral(";Collating Sequence=machine;")
                     : QStringLiteral(";Collating Sequence=general;"));
}

} // namespace connection
