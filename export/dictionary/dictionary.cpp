#include "export/dictionary/dictionary.h"

#include "export/dictionary/documentwriter.h"
#include "model/tablespool.h"

#include <QStringList>

namespace dictionary {

const QList<ReportFormat> &reportFormats()
{
    static const QList<ReportFormat> formats = {
        {"text", "Text Files (*.txt)", "*.txt", std::nullopt, true},
        {"json", "JSON Data Dictionary (*.json)", "*.json", DictionaryFormat::Json, true},
        {"markdown", "Markdown Data Dictionary (*.md)", "*.md", DictionaryFormat::Markdown, true},
        {"html", "HTML Data Dictionary (*.html)", "*.html", DictionaryFormat::Html, true},
        {"postgres", "PostgreSQL Schema (*.sql)", "*.sql", DictionaryFormat::Postgres, false},
        {"sqlite", "SQLite Schema (*.sql)", "*.sql", DictionaryFormat::Sqlite, false},
        {"dot", "Graphviz Diagram (*.dot)", "*.dot", DictionaryFormat::Dot, false, true},
        {"svg", "SVG Diagram (*.svg)", "*.svg", DictionaryFormat::Svg, false, true},
    };
    return formats;
}

QString reportFormatNames(bool diffOnly)
{
    QStringList names;
    for (const ReportFormat &format : reportFormats()) {
        if (format.diff || !diffOnly)
            names.append(QLatin1String(format.name));
    }
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

std::optional<DictionaryFormat> dictionaryFormatNamed(const QString &name)
{
    for (const ReportFormat &format : reportFormats()) {
        if (format.dictionary && name == QLatin1String(format.name))
            return format.dictionary;
    }
    return std::nullopt;
}

QString dictionaryFormatName(DictionaryFormat format)
{
    for (const ReportFormat &known : reportFormats()) {
        if (known.dictionary == format)
            return QLatin1String(known.name);
    }
    return QString();
}

std::unique_ptr<DocumentWriter> documentWriter(DictionaryFormat format, const DictionarySink &sink,
                                               const SqlOptions &sql)
{
    switch (format) {
    case DictionaryFormat::Json:
        return jsonDocumentWriter(sink, MaxDictionaryPartSize);
    case DictionaryFormat::Markdown:
        return markdownDocumentWriter(sink);
    case DictionaryFormat::Html:
        return htmlDocumentWriter(sink);
    case DictionaryFormat::Dot:
    case DictionaryFormat::Svg:
        return diagramDocumentWriter(format, sink);
    case DictionaryFormat::Postgres:
    case DictionaryFormat::Sqlite:
        break;
    }
    return sqlDocumentWriter(format, sink, sql);
}

QByteArray wholeDocument(DictionaryFormat format, const model::SourceModel &source, qint64 largestPart)
{
    QByteArray document;
    const DictionarySink sink = [&](QByteArrayView bytes) { document += bytes; };
    const std::unique_ptr<DocumentWriter> writer =
        format == DictionaryFormat::Json ? jsonDocumentWriter(sink, largestPart) : documentWriter(format, sink);
    writeWhole(*writer, source);
    return document;
}

void writeWhole(DocumentWriter &writer, const model::SourceModel &source)
{
    if (writer.plansFirst()) {
        for (const model::TableModel &table : source.tables)
            writer.plan(table);
        writer.planned(source);
        if (writer.plansAgain()) {
            for (const model::TableModel &table : source.tables)
                writer.planAgain(table);
        }
    }
    model::SourceOutline outline{source, {}};
    outline.facts.tables.clear();
    for (const model::TableModel &table : source.tables)
        outline.tables.append(table.name);
    writer.begin(outline);
    for (const model::TableModel &table : source.tables)
        writer.table(table);
    writer.end(source);
}

QByteArray writeDictionary(DictionaryFormat format, const model::SourceModel &source)
{
    return wholeDocument(format, source);
}

WrittenDictionary writeDictionary(DictionaryFormat format, const QString &path, const QStringList &selection,
                                  const DictionarySink &sink, const SqlOptions &sql)
{
    const std::unique_ptr<DocumentWriter> writer = documentWriter(format, sink, sql);
    WrittenDictionary written;
    if (!writer->plansFirst()) {
        written.rest = model::readSourceModel(
            path, selection, [&](const model::SourceModel &facts) { writer->begin({facts, {}}); },
            [&](model::TableModel &&table) {
                writer->table(table);
                written.tables.append(table.name);
            });
        writer->end(written.rest);
        return written;
    }
    // A writer that plans first sees every table before it writes: the
    // source is read once, its tables kept aside and handed on again. Its
    // outline is that reading's: the tables read, the views chosen and the
    // relations among the tables.
    model::TableSpool spool;
    written.rest = model::readSourceModel(
        path, selection, [](const model::SourceModel &) {},
        [&](model::TableModel &&table) {
            writer->plan(table);
            written.tables.append(table.name);
            spool.put(table);
        });
    writer->planned(written.rest);
    if (writer->plansAgain())
        spool.replay([&](model::TableModel &&table) { writer->planAgain(table); });
    model::SourceOutline outline{model::sourceFacts(written.rest), {}};
    if (writer->needsOutline()) {
        outline.facts.views = written.rest.views;
        outline.facts.relations = written.rest.relations;
        outline.tables = written.tables;
    }
    writer->begin(outline);
    spool.replay([&](model::TableModel &&table) { writer->table(table); });
    writer->end(written.rest);
    return written;
}

} // namespace dictionary
