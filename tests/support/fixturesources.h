#pragma once

#include <QString>
#include <QStringList>

// Every source among the files below `root`: each container (.dbc) and each
// folder holding tables (.dbf), either in any case, sorted. Empty when there
// is no such folder.
QStringList fixtureSources(const QString &root);
