#pragma once

// Standard output gets a document only once it is whole, for every document
// orvalle-report writes there: the report, the dictionary, the difference.

#include <QIODevice>
#include <QString>

#include <functional>

namespace cli {

// `write` makes the document in a temporary file at the path it is given
// (named `fileName`); it says itself why it fails and then returns false.
// The whole file is then copied to `out`, `what` naming the document in a
// failure. A temporary folder that cannot be made, or a copy that fails, is
// one line handed to `problem`. Returns whether all of the document reached
// `out`.
bool writeThroughTemporaryFile(const QString &fileName, const QString &what, QIODevice &out,
                               const std::function<bool(const QString &path)> &write,
                               const std::function<void(const QString &line)> &problem);

} // namespace cli
