#pragma once

// Golden files: expected output written by hand, where what depends on the
// machine (a source's path, say) stands as a {NAME} placeholder.

#include <QByteArray>
#include <QHash>
#include <QString>

// The file with each "{NAME}" replaced by values[NAME]; when it cannot be
// read, a line naming it, which no output matches.
QByteArray goldenFile(const QString &path, const QHash<QString, QString> &values);
