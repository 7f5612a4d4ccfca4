#include "export/dictionary.h"

#include <array>
#include <utility>

namespace exporting {

namespace {

const std::array<std::pair<DictionaryFormat, const char *>, 5> formatNames = {{
    {DictionaryFormat::Json, "json"},
    {DictionaryFormat::Markdown, "markdown"},
    {DictionaryFormat::Html, "html"},
    {DictionaryFormat::Postgres, "postgres"},
    {DictionaryFormat::Sqlite, "sqlite"},
}};

} // namespace

std::optional<DictionaryFormat> dictionaryFormatNamed(const QString &name)
{
    for (const auto &[format, word] : formatNames) {
        if (name == QLatin1String(word))
            return format;
    }
    return std::nullopt;
}

QString dictionaryFormatName(DictionaryFormat format)
{
    for (const auto &[known, word] : formatNames) {
        if (known == format)
            return QLatin1String(word);
    }
    return QString();
}

QByteArray writeDictionary(DictionaryFormat format, const platform::SourceModel &source)
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

} // namespace exporting
