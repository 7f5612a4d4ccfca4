#include "fixturesources.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

QStringList fixtureSources(const QString &root)
{
    QStringList sources;
    QSet<QString> folders;
    QDirIterator files(root, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QFileInfo file(files.next());
        if (file.suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) == 0)
            sources << file.filePath();
        else if (file.suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) == 0)
            folders.insert(file.path());
    }
    sources += QStringList(folders.cbegin(), folders.cend());
    std::sort(sources.begin(), sources.end());
    return sources;
}
