#pragma once

// The data dictionary of a source in each format orvalle-report and the table
// window offer beside the text report. Every writer takes the whole model and
// returns the whole document; text from the files never breaks the structure
// of the document (escaped or quoted as the format requires).

#include "platform/sourcemodel.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace exporting {

enum class DictionaryFormat { Json, Markdown, Html, Postgres, Sqlite };

// "json", "markdown", "html", "postgres", "sqlite"; none for any other word.
std::optional<DictionaryFormat> dictionaryFormatNamed(const QString &name);
QString dictionaryFormatName(DictionaryFormat format);

// The format's own name and version, written into the JSON document.
inline constexpr const char *JsonFormatName = "orvalle-dictionary";
inline constexpr int JsonFormatVersion = 1;

// The largest part of a JSON dictionary: a table, or a member of the top
// other than the table list. The loader reads no larger part, so the writer
// writes none: a table that would take more is a Failure.
inline constexpr qint64 MaxDictionaryPartSize = qint64(512) << 20;

QByteArray jsonDictionary(const platform::SourceModel &source, qint64 largestPart = MaxDictionaryPartSize);
QByteArray markdownDictionary(const platform::SourceModel &source);
QByteArray htmlDictionary(const platform::SourceModel &source);
QByteArray postgresSchema(const platform::SourceModel &source);
QByteArray sqliteSchema(const platform::SourceModel &source);

// Any of the above by format.
QByteArray writeDictionary(DictionaryFormat format, const platform::SourceModel &source);

} // namespace exporting
