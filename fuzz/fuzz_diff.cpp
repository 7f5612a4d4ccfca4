// Two JSON dictionaries of any bytes, split at the first line "----": their
// difference in every format keeps text from the files in its place (no
// line of the change list or of the Markdown starts with it, the HTML is
// well formed, the JSON parses), and a model compared with itself shows no
// difference.

#include "export/dictionary/dictionaryload.h"
#include "export/diff/structurediff.h"
#include "platform/failure.h"

#include <QJsonDocument>
#include <QXmlStreamReader>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

std::optional<model::SourceModel> modelOf(const QByteArray &document)
{
    try {
        return dictionary::dictionaryFromJson(document, QStringLiteral("fuzz.json"));
    } catch (const Failure &) {
        return std::nullopt;
    }
}

diff::Comparison compare(const model::SourceModel &before, const model::SourceModel &after)
{
    const std::unique_ptr<diff::TableStream> old = diff::modelStream(before);
    const std::unique_ptr<diff::TableStream> now = diff::modelStream(after);
    return diff::compareStreams(*old, *now, {});
}

// Every line starts as one of `starts`, and none holds a control character
// or a line or paragraph separator (U+2028, U+2029), which editors break at.
bool linesStartWith(const QByteArray &document, std::initializer_list<const char *> starts)
{
    if (document.contains("\xE2\x80\xA8") || document.contains("\xE2\x80\xA9"))
        return false;
    for (const QByteArray &line : document.split('\n')) {
        for (const char c : line) {
            if (uchar(c) < 0x20)
                return false;
        }
        bool known = false;
        for (const char *start : starts)
            known = known || line.startsWith(start);
        if (!known)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf("\n----\n");
    if (split < 0)
        return 0;
    const std::optional<model::SourceModel> before = modelOf(input.left(split));
    const std::optional<model::SourceModel> after = modelOf(input.mid(split + 6));
    if (!before || !after)
        return 0;

    if (!compare(*before, *before).diff.isEmpty() || !compare(*after, *after).diff.isEmpty())
        __builtin_trap();

    diff::StructureDiff diff = compare(*before, *after).diff;
    diff.before = QStringLiteral("old.json");
    diff.after = QStringLiteral("new.json");
    // The blank line, the summary and "No changes." start with nothing from a file.
    if (!linesStartWith(diff::diffText(diff),
                        {"Structure changes from old.json to new.json", "Table ", "Index tags of table ", "View ",
                         "Relation ", "  ", "In all: ", "No changes.", ""})
        || diff::diffText(diff).split('\n').count(QByteArray()) > 3)
        __builtin_trap();
    if (!linesStartWith(diff::diffMarkdown(diff),
                        {"# Structure changes", "Changes from old.json to new.json", "- ", "  - ", "In all: ",
                         "No changes.", ""}))
        __builtin_trap();
    QXmlStreamReader html(diff::diffHtml(diff));
    while (!html.atEnd())
        html.readNext();
    if (html.hasError())
        __builtin_trap();
    QJsonParseError error;
    if (!QJsonDocument::fromJson(diff::diffJson(diff), &error).isObject())
        __builtin_trap();
    return 0;
}
