#include "fileaccess.h"

#include "dataaccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace foxpro {

QString displayName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QByteArray readFileStart(const QString &path, qint64 maxBytes, qint64 *fileSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path))
            throw Failure(QStringLiteral("File '%1' does not exist.").arg(displayName(path)),
                          ado::FileDoesNotExist);
        throw Failure(QStringLiteral("Access to file '%1' is denied.").arg(displayName(path)),
                      ado::AccessDenied);
    }
    if (fileSize)
        *fileSize = file.size();
    QByteArray bytes = file.read(qMin(maxBytes, file.size()));
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("File '%1' cannot be read: %2").arg(displayName(path), file.errorString()),
                      ado::AccessDenied);
    return bytes;
}

QByteArray readWholeFile(const QString &path)
{
    return readFileStart(path, std::numeric_limits<qsizetype>::max(), nullptr);
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
