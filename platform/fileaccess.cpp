#include "fileaccess.h"

#include "dataaccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace foxpro {

QString displayName(const QString &path)
{
    return QFileInfo(path).fileName();
}

void openReadOnly(QFile &file)
{
    if (file.open(QIODevice::ReadOnly))
        return;
    if (!QFileInfo::exists(file.fileName()))
        throw Failure(QStringLiteral("File '%1' does not exist.").arg(displayName(file.fileName())),
                      ado::FileDoesNotExist);
    throw Failure(QStringLiteral("Access to file '%1' is denied.").arg(displayName(file.fileName())),
                  ado::AccessDenied);
}

QByteArray readSome(QFile &file, qint64 maxBytes)
{
    QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("File '%1' cannot be read: %2").arg(displayName(file.fileName()), file.errorString()),
                      ado::AccessDenied);
    return bytes;
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    openReadOnly(file);
    return readSome(file, file.size());
}

QString resolveCaseInsensitive(const QString &base, const QString &relative)
{
    QString normalized = relative;
    normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString exact = QDir(base).filePath(normalized);
    if (QFileInfo::exists(exact))
        return exact;

    QString current = base;
    const QStringList parts = normalized.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QDir dir(current);
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            current = dir.filePath(part);
            continue;
        }
        if (QFileInfo::exists(dir.filePath(part))) {
            current = dir.filePath(part);
            continue;
        }
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const auto match = std::find_if(entries.begin(), entries.end(), [&](const QString &entry) {
            return entry.compare(part, Qt::CaseInsensitive) == 0;
        });
        if (match == entries.end())
            return {};
        current = dir.filePath(*match);
    }
    return parts.isEmpty() ? QString() : current;
}

} // namespace foxpro
