#pragma once

// A dictionary document written a part at a time, as the source is read:
// its start from the outline (the source's facts, and for the formats that
// list them first, the tables it will hold, its views and relations), then
// each table, then the end from the rest (views, relations, findings). Every
// format has one; a source held whole goes through it the same way.

#include "export/dictionary/dictionary.h"
#include "export/dictionary/dictionarytext.h"
#include "model/sourcemodel.h"

#include <memory>

namespace dictionary {

class DocumentWriter {
public:
    virtual ~DocumentWriter() = default;
    // Whether the writer must see every table before it writes the first:
    // each table read is then shown to plan() and kept aside, the rest of the
    // reading shown to planned(), and the tables handed on again through
    // begin, table and end.
    virtual bool plansFirst() const { return false; }
    // Whether begin, after planning, needs the outline: the tables to come,
    // the views and the relations among the tables.
    virtual bool needsOutline() const { return false; }
    virtual void plan(const model::TableModel &) {}
    virtual void planned(const model::SourceModel &) {}
    // Whether, once planned, the writer must see every table once more
    // before it begins: what it keeps of them all is kept only when needed.
    virtual bool plansAgain() const { return false; }
    virtual void planAgain(const model::TableModel &) {}
    // With needsOutline, the whole outline; otherwise its facts only.
    virtual void begin(const model::SourceOutline &outline) = 0;
    virtual void table(const model::TableModel &table) = 0;
    virtual void end(const model::SourceModel &rest) = 0;
};

std::unique_ptr<DocumentWriter> jsonDocumentWriter(const DictionarySink &sink, qint64 largestPart);
std::unique_ptr<DocumentWriter> markdownDocumentWriter(const DictionarySink &sink);
std::unique_ptr<DocumentWriter> htmlDocumentWriter(const DictionarySink &sink);
// The overview diagram, as Graphviz source (Dot) or laid out (Svg).
std::unique_ptr<DocumentWriter> diagramDocumentWriter(DictionaryFormat format, const DictionarySink &sink);
std::unique_ptr<DocumentWriter> sqlDocumentWriter(DictionaryFormat format, const DictionarySink &sink,
                                                  const SqlOptions &options);

// The writer of a format; `sql` says how an SQL schema is written.
std::unique_ptr<DocumentWriter> documentWriter(DictionaryFormat format, const DictionarySink &sink,
                                               const SqlOptions &sql = {});

// Hands a source held whole to `writer`: planned first when it plans, then
// begun, table by table, and ended.
void writeWhole(DocumentWriter &writer, const model::SourceModel &source);

// The document of a source held whole, through its format's writer.
QByteArray wholeDocument(DictionaryFormat format, const model::SourceModel &source,
                         qint64 largestPart = MaxDictionaryPartSize);

} // namespace dictionary
