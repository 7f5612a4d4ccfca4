#include "model/sourcefiles.h"
#include "model/sourcemodel.h"
#include "platform/codepage.h"

#include <QDir>

namespace model {

namespace {

// The source's file that a FoxPro file made at `candidate`, which does not
// exist yet, would belong to: one of its folder whose name it shares up to
// the extension, among the files the source reads or lacks; or, in a folder
// of free tables, the table it would be.
std::optional<QString> companionMatching(const QString &sourcePath, const QStringList &tables,
                                         const QString &candidate)
{
    // A file made there is made where its symbolic links lead.
    const platform::LocalPath path = platform::linkTarget(platform::LocalPath::fromText(candidate));
    const QString name = path.fileName();
    if (!isFoxProFile(name))
        return std::nullopt;
    const std::optional<platform::FileIdentity> folder = platform::identityOf(path.folder());
    if (!folder)
        return std::nullopt;
    std::shared_ptr<SourceReader> source;
    try {
        source = SourceReader::open(sourcePath);
    } catch (const Failure &) {
        return std::nullopt;
    }
    // A table file made in a folder of free tables would be one of its tables.
    if (source->files().kind() == SourceKind::Folder && name.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive)
        && platform::identityOf(platform::LocalPath::fromText(sourcePath)) == folder)
        return QDir::toNativeSeparators(path.text());
    const QString base = platform::lowerCase(baseOf(name));
    QHash<platform::LocalPath::Native, bool> sameFolder; // by folder: whether it is the candidate's
    for (const platform::LocalPath &file : source->files().filesRead(tables) + source->files().filesLacking(tables)) {
        if (platform::lowerCase(baseOf(file.fileName())) != base)
            continue;
        const platform::LocalPath fileFolder = file.folder();
        auto known = sameFolder.constFind(fileFolder.native());
        if (known == sameFolder.constEnd())
            known = sameFolder.insert(fileFolder.native(), platform::identityOf(fileFolder) == folder);
        if (known.value())
            return QDir::toNativeSeparators(path.text());
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> sourceFileMatching(const QString &sourcePath, const QStringList &tables,
                                          const QString &candidate)
{
    const std::optional<platform::FileIdentity> target = platform::identityOf(platform::LocalPath::fromText(candidate));
    // A file not there yet, or a pipe or a device (written to as it is, and
    // never one a source reads), is the source's by its name alone.
    if (!target || platform::kindOf(platform::LocalPath::fromText(candidate)) != platform::FileKind::Regular)
        return companionMatching(sourcePath, tables, candidate);
    if (platform::identityOf(platform::LocalPath::fromText(sourcePath)) == target)
        return QDir::toNativeSeparators(sourcePath);
    std::shared_ptr<SourceReader> source;
    try {
        source = SourceReader::open(sourcePath);
    } catch (const Failure &) {
        return std::nullopt; // nothing of it can be read, so nothing of it is at stake
    }
    // Only through a symbolic link can a report read a file whose one name is
    // not a FoxPro file's: the others need not be asked.
    const std::optional<QString> soleName = platform::soleEntryName(platform::LocalPath::fromText(candidate));
    const QList<platform::LocalPath> files =
        soleName && !isFoxProFile(*soleName) ? source->files().linksRead(tables) : source->files().filesRead(tables);
    for (const platform::LocalPath &file : files) {
        if (platform::identityOf(file) == target)
            return QDir::toNativeSeparators(file.text());
    }
    return std::nullopt;
}

} // namespace model
