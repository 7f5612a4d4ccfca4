#include "export/diffcommand.h"

#include "export/dictionaryload.h"
#include "export/reportfile.h"
#include "export/structurediff.h"
#include "platform/datasource.h"
#include "platform/failure.h"
#include "platform/fileaccess.h"

#include <QFileInfo>
#include <QSet>

#include <memory>
#include <optional>

namespace exporting {

namespace {

using platform::SourceModel;

bool writeLine(QIODevice &device, const QString &text)
{
    const QByteArray line = (QStringLiteral("orvalle-report: ") + reportText(text).trimmed()).toLocal8Bit() + '\n';
    return device.write(line) == line.size();
}

struct Side {
    QString path; // as given
    bool dictionary = false;
    SourceModel model;
};

std::optional<Side> readSide(const QString &path, QIODevice &err)
{
    Side side{path, looksLikeDictionaryFile(path), {}};
    try {
        side.model = side.dictionary ? readDictionaryFile(path) : platform::readSourceModel(path);
    } catch (const Failure &failure) {
        writeLine(err, QStringLiteral("%1: %2 %3").arg(path).arg(failure.number()).arg(failure.description()));
        return std::nullopt;
    }
    return side;
}

QString folded(const QString &name)
{
    return name.toCaseFolded();
}

QSet<QString> describedNames(const SourceModel &model)
{
    QSet<QString> names;
    for (const platform::TableModel &table : model.tables)
        names.insert(folded(table.name));
    for (const platform::ViewModel &view : model.views)
        names.insert(folded(view.name));
    return names;
}

// The tables the reader had to leave out (or had left out when the
// dictionary was written): errors about a name that is neither a table or
// view it describes nor the container itself.
QList<platform::Finding> unreadableTables(const SourceModel &model)
{
    const QSet<QString> described = describedNames(model);
    const QString container = model.kind == SourceModel::Kind::Container
        ? folded(QFileInfo(model.path).fileName()) : QString();
    QList<platform::Finding> unreadable;
    for (const platform::Finding &finding : model.findings) {
        const QString place = folded(finding.place);
        if (finding.severity == platform::Severity::Error && !place.isEmpty() && !described.contains(place)
            && place != container)
            unreadable.append(finding);
    }
    return unreadable;
}

QStringList namesOf(const SourceModel &model)
{
    QStringList names;
    for (const platform::TableModel &table : model.tables)
        names.append(table.name);
    for (const platform::ViewModel &view : model.views)
        names.append(view.name);
    return names;
}

// The model without the named tables and views.
SourceModel without(const SourceModel &model, const QSet<QString> &left)
{
    if (left.isEmpty())
        return model;
    QStringList kept;
    for (const QString &name : namesOf(model)) {
        if (!left.contains(folded(name)))
            kept.append(name);
    }
    SourceModel part = selectedPart(model, kept);
    part.findings = model.findings;
    return part;
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
    QStringList tables;
    for (const platform::TableModel &table : side.model.tables)
        tables.append(table.name);
    return platform::sourceFileMatching(side.path, tables, output);
}

QByteArray document(DiffFormat format, const StructureDiff &diff)
{
    switch (format) {
    case DiffFormat::Json:
        return diffJson(diff);
    case DiffFormat::Markdown:
        return diffMarkdown(diff);
    case DiffFormat::Html:
        return diffHtml(diff);
    case DiffFormat::Text:
        break;
    }
    return diffText(diff);
}

bool writeOutput(const DiffRequest &request, const QByteArray &bytes, QIODevice &out, QIODevice &err)
{
    if (request.output.isEmpty()) {
        if (out.write(bytes) == bytes.size())
            return true;
        writeLine(err, QStringLiteral("cannot write to standard output: %1").arg(out.errorString()));
        return false;
    }
    try {
        const std::unique_ptr<ReportOutput> output = openReportOutput(request.output);
        try {
            output->write(bytes);
            output->commit();
        } catch (...) {
            output->discard();
            throw;
        }
    } catch (const Failure &failure) {
        writeLine(err, QStringLiteral("%1: %2").arg(request.output, failure.description()));
        return false;
    }
    return true;
}

} // namespace

int runDiff(const DiffRequest &request, QIODevice &out, QIODevice &err)
{
    std::optional<Side> before = readSide(request.before, err);
    std::optional<Side> after = readSide(request.after, err);
    if (!before || !after)
        return DiffTrouble;

    const QList<platform::Finding> unreadableBefore = unreadableTables(before->model);
    const QList<platform::Finding> unreadableAfter = unreadableTables(after->model);

    if (!request.tables.isEmpty()) {
        QSet<QString> known = describedNames(before->model) + describedNames(after->model);
        for (const QList<platform::Finding> *unreadable : {&unreadableBefore, &unreadableAfter}) {
            for (const platform::Finding &finding : *unreadable)
                known.insert(folded(finding.place));
        }
        bool unknown = false;
        for (const QString &table : request.tables) {
            if (!known.contains(folded(table))) {
                writeLine(err, QStringLiteral("%1: no such table or view in %2 or %3")
                                   .arg(table, request.before, request.after));
                unknown = true;
            }
        }
        if (unknown)
            return DiffTrouble;
        before->model = selectedPart(before->model, request.tables);
        after->model = selectedPart(after->model, request.tables);
    }

    for (const Side *side : {&*before, &*after}) {
        if (!request.output.isEmpty()) {
            if (const std::optional<QString> file = sideFileAt(*side, request.output)) {
                writeLine(err, QStringLiteral("%1: %2 that is %3's file %4, and a source is never written")
                                   .arg(request.output)
                                   .arg(platform::FileInUse)
                                   .arg(side->path, *file));
                return DiffTrouble;
            }
        }
    }

    // A table one side could not read is compared on neither: it is not
    // known to have been added or removed.
    QSet<QString> leftOut;
    const QStringList selected = request.tables;
    auto asked = [&](const QString &name) {
        return selected.isEmpty()
            || std::any_of(selected.begin(), selected.end(),
                           [&](const QString &table) { return folded(table) == folded(name); });
    };
    for (const auto &[side, unreadable] : {std::pair{&*before, &unreadableBefore}, std::pair{&*after, &unreadableAfter}}) {
        for (const platform::Finding &finding : *unreadable) {
            if (!asked(finding.place))
                continue;
            leftOut.insert(folded(finding.place));
            writeLine(err, QStringLiteral("%1: %2: %3").arg(side->path, finding.place, finding.message));
        }
    }

    StructureDiff diff = compareStructures(without(before->model, leftOut), without(after->model, leftOut));
    diff.before = request.before;
    diff.after = request.after;
    if (!writeOutput(request, document(request.format, diff), out, err))
        return DiffTrouble;
    if (!leftOut.isEmpty())
        return DiffTrouble;
    return diff.isEmpty() ? NoDifference : Different;
}

} // namespace exporting
