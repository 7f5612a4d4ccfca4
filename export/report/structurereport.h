#pragma once

// The report writer: the structure of every selected table into one text
// file. It reads the selection through TableSelection and talks back through
// ReportFeedback, so the table window and the command-line tool write through
// this same code.

#include "app/core/errorreport.h"

#include <QString>
#include <QStringList>

namespace report {

// The table list as the writer sees it. Read afresh at each use: counting, the
// contents list and the blocks.
class TableSelection {
public:
    virtual ~TableSelection() = default;
    virtual int count() const = 0;
    virtual QString text(int index) const = 0;
    virtual bool isSelected(int index) const = 0;
};

class ReportFeedback {
public:
    virtual ~ReportFeedback() = default;
    // The hourglass on while the writer works, off when it ends.
    virtual void setBusy(bool busy) = 0;
    // Called before each list item and each field; the window lets pending
    // events run (and may throttle that).
    virtual void letEventsRun() = 0;
    // A plain message: "Select The Table To Print The Structure" or "Done.".
    virtual void message(const QString &text) = 0;
    // Which table (and field, empty between fields) the writer is working on,
    // so that a caller can name it next to a failure. The field's text stays
    // valid until the next call, which comes when the writer is done with the
    // field: a caller that keeps it keeps no copy per field. The window needs
    // nothing.
    virtual void workingOn(const QString &table, QStringView field)
    {
        Q_UNUSED(table);
        Q_UNUSED(field);
    }
};

struct ReportSource {
    bool container = false;   // true: a container file; false: a folder of free tables
    QString path;             // the source line's path: the container file or the folder as typed
    QString connectionString; // what the connection is opened with

    // Both build the connection string the one way every connection is built.
    static ReportSource containerFile(const QString &dbcPath);
    static ReportSource folder(const QString &folderAsTyped);
};

// Throws Failure 3 when `reportPath` is one of the files a report of
// `tables` from `source` reads (the same file, however reached).
void refuseSourceFile(const QString &reportPath, const ReportSource &source, const QStringList &tables);
bool isSourceFile(const QString &reportPath, const ReportSource &source, const QStringList &tables);

// Writes the report of the selected tables, in list order, to `reportPath`:
// created, or replaced when it exists, and only once it is complete; it is
// refused when it is one of the source's files. Failures go to `errors` under
// "Form2.generateStructure" with the step's label. Returns true when the
// report was written and "Done." shown. It ends early, without "Done." and
// leaving `reportPath` as it was, when nothing is selected (after the
// message), or when the file cannot be created or written or the connection
// cannot be opened (after that one report).
// A table that cannot be opened is reported and written as a block of 0 fields;
// a description that cannot be looked up is reported and left empty.
bool writeStructureReport(const QString &reportPath, const TableSelection &selection,
                       const ReportSource &source, ReportFeedback &feedback,
                       app::ErrorSink &errors);

} // namespace report
