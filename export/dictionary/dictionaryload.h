#pragma once

// Reading a JSON data dictionary (docs/dictionary-json.md) back into the
// structure model, so a source's structure captured once can be compared
// later without its files.
//
// A document is read exactly as docs/dictionary.schema.json states it: every
// key required, no other key, the words listed there, integers where it asks
// for integers, and no value the model cannot hold. Anything else is refused
// with a Failure naming the document and the place: "shop.json:
// tables[3].fields[2].width: not an integer". Text is kept as the document
// holds it, but for an unpaired UTF-16 surrogate (only an escape such as
// "\ud800" can carry one), read as U+FFFD as the writer writes it.
//
// The round trip: for a model whose values the schema allows (positions from
// 1, no negative counts, bytes within 0..255, lengths within 0..65535),
// dictionaryFromJson(jsonDictionary(model)) equals the model, except where
// the document cannot tell:
// - an unpaired UTF-16 surrogate in text is written as U+FFFD;
// - an empty collation is written as "MACHINE" (as the reader of the files
//   names one anyway);
// - a field that does not autoincrement has no nextValue and step: read as 0;
// - a relation rule other than "cascade", "restrict" or "ignore" is written as
//   null: read as "";
// - a last update that is no valid date of the years 1..9999 is written as
//   null: read as none.
// A model beyond the schema (a position of 0, a negative width) is written
// but refused when read. A key written twice counts once, its last value.
// Beyond the schema, JSON itself is read strictly (RFC 8259): a control
// character must be escaped in a string, and nesting ends at 1024 levels.

#include "export/dictionary/dictionary.h"
#include "model/sourcemodel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace dictionary {

class JsonBytes;

// A document may be of any size: it is checked whole a piece at a time and
// read a part at a time (MaxDictionaryPartSize), so memory follows its
// largest table, not its size.
//
// A dictionary read a table at a time: the whole document is checked when it
// is opened (every failure said then, as above), and each table is read
// again from it when asked for.
class DictionaryFile {
public:
    // `name` names the document in failures. Throws Failure.
    DictionaryFile(std::unique_ptr<JsonBytes> bytes, const QString &name,
                   qint64 largestPart = MaxDictionaryPartSize);
    ~DictionaryFile();
    DictionaryFile(const DictionaryFile &) = delete;
    DictionaryFile &operator=(const DictionaryFile &) = delete;

    // In the document's order.
    const QStringList &tableNames() const { return m_tableNames; }
    // Throws Failure when the file no longer holds what it held when opened.
    model::TableModel table(qsizetype index) const;
    // The model without its tables: the source's facts, views, relations
    // and findings. Once.
    model::SourceModel takeRest();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    QStringList m_tableNames;
    model::SourceModel m_rest;
};

// The model `document` holds; `name` names it in failures.
model::SourceModel dictionaryFromJson(const QByteArray &document, const QString &name);

// The dictionary in the file at `path`, opened as platform/fileaccess.h opens
// every file (regular files only, never blocking) and named by its file name
// in failures; a failure to open or read it passes through.
std::unique_ptr<DictionaryFile> openDictionaryFile(const QString &path);
// The same, read whole.
model::SourceModel readDictionaryFile(const QString &path);

// Whether `path` names a JSON dictionary rather than a source: a regular file
// (links followed) whose name ends in ".json", in any case. Nothing is read;
// readDictionaryFile says whether it holds one.
bool looksLikeDictionaryFile(const QString &path);

} // namespace dictionary
