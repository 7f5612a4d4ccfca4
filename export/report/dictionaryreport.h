#pragma once

// Writes a data dictionary of chosen tables to a file: the same source, the
// same refusal of the source's own files and the same whole-or-nothing file
// as the text report, for every dictionary format.

#include "export/dictionary/dictionary.h"
#include "export/report/structurereport.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace report {

struct DictionaryResult {
    // The tables asked for that the reader could not read, as its findings
    // say why. The document holds everything else.
    QList<model::Finding> failures;
};

// The dictionary of `tables` (named as the table list names them, in that
// list's order) of `source`, handed to `sink` as it is made; `sql` says how
// an SQL schema is written. Throws Failure when the source cannot be read;
// the sink's failures pass through.
DictionaryResult dictionaryOf(dictionary::DictionaryFormat format, const ReportSource &source,
                              const QStringList &tables, const dictionary::DictionarySink &sink,
                              const dictionary::SqlOptions &sql = {});

// Writes the dictionary to `reportPath`, which takes the document's place
// only whole. Throws Failure 3 when `reportPath` is one of the source's own
// files (before anything is read or created), and the reader's and the
// file's failures.
DictionaryResult writeDictionaryFile(const QString &reportPath, dictionary::DictionaryFormat format,
                                     const ReportSource &source, const QStringList &tables,
                                     const dictionary::SqlOptions &sql = {});

} // namespace report
