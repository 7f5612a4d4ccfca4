#include "golden.h"

#include <QFile>

QByteArray goldenFile(const QString &path, const QHash<QString, QString> &values)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<golden file missing: ") + path.toUtf8() + '>';
    QByteArray bytes = file.readAll();
    for (auto value = values.cbegin(); value != values.cend(); ++value)
        bytes.replace('{' + value.key().toUtf8() + '}', value.value().toUtf8());
    return bytes;
}
