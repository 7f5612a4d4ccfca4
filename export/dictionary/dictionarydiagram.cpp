#include "export/dictionary/diagram.h"
#include "export/dictionary/documentwriter.h"
#include "export/dictionary/graphviz.h"

namespace dictionary {

namespace {

// The overview of the tables handed to it, written once they all are.
class DiagramDocumentWriter : public DocumentWriter {
public:
    DiagramDocumentWriter(DictionaryFormat format, const DictionarySink &sink) : m_format(format), m_sink(sink) {}

    void begin(const model::SourceOutline &) override {}
    void table(const model::TableModel &table) override { m_tables.add(table); }
    void end(const model::SourceModel &rest) override
    {
        m_tables.relate(rest.relations, rest.impliedRelations);
        const QByteArray dot = dotSource(m_tables.overview(), "tables");
        m_sink(m_format == DictionaryFormat::Svg ? graphvizSvg(dot) : dot);
    }

private:
    DictionaryFormat m_format;
    DictionarySink m_sink;
    DiagramTables m_tables;
};

} // namespace

std::unique_ptr<DocumentWriter> diagramDocumentWriter(DictionaryFormat format, const DictionarySink &sink)
{
    return std::make_unique<DiagramDocumentWriter>(format, sink);
}

} // namespace dictionary
