#pragma once

// The records of a FoxPro-family table, read one at a time in the form an SQL
// database takes them: the data path's only reader of records. Documenting a
// source never comes here.

#include "platform/fileaccess.h"
#include "platform/tableheader.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace platform {

// What a value is, as SQL takes it. Text is UTF-8; a Decimal, a Date and a
// Timestamp are their SQL literal's text ("-12.3400", "2024-01-31",
// "2024-01-31 13:45:07.250").
enum class ValueKind { Null, Text, Bytes, Integer, Decimal, Real, Date, Timestamp, Boolean };

struct FieldValue {
    ValueKind kind = ValueKind::Null;
    // Text, Bytes, Decimal, Date, Timestamp; for a value that could not be
    // read (Null, with a problem) the field's bytes as the file holds them.
    QByteArray data;
    qint64 integer = 0; // Integer; Boolean as 0 or 1
    double real = 0;    // Real
};

// A value that could not be read as its field says (its value is then NULL,
// holding the bytes the file holds), or a record the file cut short. Numbered as FoxPro numbers records, from 1.
struct RecordProblem {
    qint64 record = 0;
    QString field; // empty for the record as a whole
    QString message;
};

// A field that has a value in each record: every field but the system ones.
struct RecordField {
    QString name; // as the header stores it, in lower case
    FieldLayout layout;
    int offset = 0;      // in the record, after the deletion flag
    int nullBit = -1;    // its bit in _NullFlags when it takes NULL
    int lengthBit = -1;  // a Varchar's or Varbinary's "shorter than the width" bit
    bool keepBytes = false; // a text memo's values handed out as the bytes the file holds
};

class RecordReader {
public:
    // `table`: the .dbf; `memo`: its memo file, or an empty path when it has
    // none (its memo values are then NULL, the first with a problem). Values that
    // break the rules are NULL and reported through `problem`. Throws Failure
    // when the table's header cannot be read, or disagrees with its records'
    // length.
    RecordReader(const LocalPath &table, const LocalPath &memo,
                 std::function<void(const RecordProblem &)> problem);
    ~RecordReader();
    RecordReader(const RecordReader &) = delete;
    RecordReader &operator=(const RecordReader &) = delete;

    const TableHeader &header() const;
    const QList<RecordField> &fields() const;
    // The text memo field at `field` (in fields()) is handed out as Bytes,
    // as the memo file holds them, from the next record on.
    void keepBytes(qsizetype field);

    // The values of the next record that is not deleted, one per field;
    // false after the last record the file holds.
    bool next(QList<FieldValue> &values);

    // The number of the record next() handed out last, from 1.
    qint64 recordNumber() const;
    qint64 recordsRead() const; // records handed out
    qint64 deleted() const;     // records skipped as deleted

private:
    struct State;
    std::unique_ptr<State> m;
};

} // namespace platform
