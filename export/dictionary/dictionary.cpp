#include "export/dictionary/dictionary.h"

#include "export/dictionary/jsondictionary.h"

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

QByteArray writeDictionary(DictionaryFormat format, const model::SourceModel &source)
{
    switch (format) {
    case DictionaryFormat::Json:
        return jsonDictionary(source);
    case DictionaryFormat::Markdown:
        return markdownDictionary(source);
    case DictionaryFormat::Html:
        return htmlDictionary(source);
    case DictionaryFormat::Postgres:
        return postgresSchema(source);
    case DictionaryFormat::Sqlite:
        return sqliteSchema(source);
    }
    return QByteArray();
}

WrittenDictionary writeDictionary(DictionaryFormat format, const QString &path, const QStringList &selection,
                                  const DictionarySink &sink)
{
    WrittenDictionary written;
    if (format == DictionaryFormat::Json) {
        JsonWriter json(sink);
        JsonDictionaryWriter writer(json, MaxDictionaryPartSize);
        written.rest = model::readSourceModel(
            path, selection, [&](const model::SourceModel &facts) { writer.begin(facts); },
            [&](model::TableModel &&table) {
                writer.table(table);
                written.tables.append(table.name);
            });
        writer.end(written.rest);
        return written;
    }
    model::SourceModel source = model::readSourceModel(path, selection);
    for (const model::TableModel &table : std::as_const(source.tables))
        written.tables.append(table.name);
    sink(writeDictionary(format, source));
    source.tables.clear();
    written.rest = std::move(source);
    return written;
}

} // namespace dictionary
