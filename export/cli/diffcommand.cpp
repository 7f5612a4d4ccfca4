#include "export/cli/diffcommand.h"
#include "export/cli/lines.h"
#include "export/cli/standardoutput.h"

#include "export/dictionary/dictionaryload.h"
#include "export/report/reportfile.h"
#include "export/diff/structurediff.h"
#include "model/sourcemodel.h"
#include "platform/cleantext.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"



#include <memory>
#include <optional>

namespace cli {

namespace {

using model::SourceModel;

// A failure line: the tool's name, then the text on one line.
bool writeFailure(QIODevice &device, const QString &text)
{
    return writeLine(device, QStringLiteral("orvalle-report: ") + oneLine(text));
}

struct Side {
    QString path; // as given
    bool dictionary = false;
    std::unique_ptr<diff::TableStream> tables;
};

std::optional<Side> openSide(const QString &path, QIODevice &err)
{
    Side side{path, dictionary::looksLikeDictionaryFile(path), {}};
    try {
        side.tables = side.dictionary ? diff::dictionaryStream(path) : diff::sourceStream(path);
    } catch (const Failure &failure) {
        // The loader's own failures name the document by its file name and
        // carry no number: the path as given takes that name's place.
        const QString named = platform::displayName(platform::LocalPath::fromText(path)) + QStringLiteral(": ");
        if (failure.number() == 0 && failure.description().startsWith(named))
            writeFailure(err, path + QStringLiteral(": ") + failure.description().sliced(named.size()));
        else
            writeFailure(err, QStringLiteral("%1: %2 %3").arg(path).arg(failure.number()).arg(failure.description()));
        return std::nullopt;
    }
    return side;
}

// Where the output would replace one of a side's own files: the source's
// tables and their companions, the container, or the dictionary read.
std::optional<QString> sideFileAt(const Side &side, const QString &output)
{
    if (side.dictionary) {
        const auto input = platform::identityOf(platform::LocalPath::fromText(side.path));
        const auto target = platform::identityOf(platform::LocalPath::fromText(output));
        if (input && target && *input == *target)
            return side.path;
        return std::nullopt;
    }
    return model::sourceFileMatching(side.path, side.tables->tableNames(), output);
}

void writeDocument(DiffFormat format, const diff::StructureDiff &diff, const diff::DiffSink &sink)
{
    switch (format) {
    case DiffFormat::Json:
        return diff::writeDiffJson(diff, sink);
    case DiffFormat::Markdown:
        return diff::writeDiffMarkdown(diff, sink);
    case DiffFormat::Html:
        return diff::writeDiffHtml(diff, sink);
    case DiffFormat::Text:
        break;
    }
    diff::writeDiffText(diff, sink);
}

// Writes the document to `path` as it is made: the file takes the target's
// place whole, or nothing of it is left.
void writeFile(const QString &path, DiffFormat format, const diff::StructureDiff &diff)
{
    const std::unique_ptr<report::ReportOutput> output = report::openReportOutput(path);
    try {
        writeDocument(format, diff, [&](QByteArrayView bytes) { output->write(bytes); });
        output->commit();
    } catch (...) {
        output->discard();
        throw;
    }
}

bool writeOutput(const DiffRequest &request, const diff::StructureDiff &diff, QIODevice &out, QIODevice &err)
{
    if (request.output.isEmpty()) {
        return writeThroughTemporaryFile(
            QStringLiteral("difference"), QStringLiteral("difference"), out,
            [&](const QString &path) {
                try {
                    writeFile(path, request.format, diff);
                    return true;
                } catch (const Failure &failure) {
                    writeFailure(err, failure.description());
                    return false;
                }
            },
            [&](const QString &line) { writeFailure(err, line); });
    }
    try {
        writeFile(request.output, request.format, diff);
    } catch (const Failure &failure) {
        writeFailure(err, QStringLiteral("%1: %2").arg(request.output, failure.description()));
        return false;
    }
    return true;
}

} // namespace

int runDiff(const DiffRequest &request, QIODevice &out, QIODevice &err)
{
    std::optional<Side> before = openSide(request.before, err);
    std::optional<Side> after = openSide(request.after, err);
    if (!before || !after)
        return DiffTrouble;

    if (!request.output.isEmpty()) {
        for (const Side *side : {&*before, &*after}) {
            if (const std::optional<QString> file = sideFileAt(*side, request.output)) {
                writeFailure(err, QStringLiteral("%1: %2 that is %3's file %4, and a source is never written")
                                   .arg(request.output)
                                   .arg(platform::FileInUse)
                                   .arg(side->path, *file));
                return DiffTrouble;
            }
        }
    }

    diff::Comparison comparison = diff::compareStreams(*before->tables, *after->tables, request.tables);
    if (!comparison.unknownNames.isEmpty()) {
        for (const QString &name : std::as_const(comparison.unknownNames))
            writeFailure(err, QStringLiteral("%1: no such table or view in %2 or %3")
                               .arg(name, request.before, request.after));
        return DiffTrouble;
    }
    // What could not be compared makes the outcome incomplete: trouble, as
    // diff has it, named here and said in the document too.
    for (const QList<diff::NotCompared> *skipped : {&comparison.diff.notCompared, &comparison.diff.tagsNotCompared}) {
        for (const diff::NotCompared &table : *skipped)
            writeFailure(err, QStringLiteral("%1: %2: %3")
                               .arg(table.side == diff::NotCompared::Side::Before ? request.before : request.after, table.table,
                                    table.reason));
    }

    comparison.diff.before = request.before;
    comparison.diff.after = request.after;
    if (!writeOutput(request, comparison.diff, out, err))
        return DiffTrouble;
    if (!comparison.diff.isComplete())
        return DiffTrouble;
    return comparison.diff.isEmpty() ? NoDifference : Different;
}

} // namespace cli
