#pragma once

// The JSON dictionary written a part at a time: the source's facts, then
// each table as it is read, then the views, the relations and the findings.
// docs/dictionary-json.md describes the document.

#include "export/dictionary/jsonwriter.h"
#include "model/sourcemodel.h"

namespace dictionary {

class JsonDictionaryWriter {
public:
    // Every part (a table, or the source, the views, the relations, the
    // findings) larger than `largestPart` is a Failure: the loader reads no
    // larger one.
    JsonDictionaryWriter(JsonWriter &json, qint64 largestPart);

    // The source's own facts; its lists are not read.
    void begin(const model::SourceModel &facts);
    void table(const model::TableModel &table);
    // The views, the relations and the findings; the tables are not read.
    void end(const model::SourceModel &rest);

private:
    template <class What, class Write>
    void part(What what, Write write);

    JsonWriter &m_json;
    qint64 m_largestPart;
};

} // namespace dictionary
