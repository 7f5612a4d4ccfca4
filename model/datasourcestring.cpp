#include "model/datasourcestring.h"

namespace model {

QString dataSourceOf(const QString &connectionString)
{
    static const QString key = QStringLiteral("Data Source=");
    static const QString collating = QStringLiteral(";Collating Sequence=");
    const qsizetype keyAt = connectionString.indexOf(key, 0, Qt::CaseInsensitive);
    if (keyAt < 0)
        return {};
    const qsizetype start = keyAt + key.size();
    qsizetype end = connectionString.lastIndexOf(collating, -1, Qt::CaseInsensitive);
    if (end < start) {
        end = connectionString.size();
        if (connectionString.endsWith(QLatin1Char(';')) && end > start)
            --end;
    }
    return connectionString.mid(start, end - start);
}

} // namespace model
