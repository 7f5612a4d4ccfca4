#pragma once

// The lines orvalle-report writes on its standard streams.

#include "model/sourcemodel.h"

#include <QIODevice>
#include <QList>
#include <QString>

namespace cli {

// One line of text from the files or the user: control characters, line
// breaks among them, become spaces, so a line says one thing.
QString oneLine(const QString &text);
// `text` and a line end in the system's code page; whether all of it was written.
bool writeLine(QIODevice &device, const QString &text);
// Each finding as one line, "orvalle-report: place: message".
void writeFindings(QIODevice &device, const QList<model::Finding> &findings);

} // namespace cli
