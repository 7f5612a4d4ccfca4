#include "testsupport.h"

#include "platform/dataaccess.h"

#include <QTest>

QString folderConnectionString(const QString &folder)
{
    return QStringLiteral("Provider=vfpoledb.1;Data Source=") + folder + QStringLiteral(";Collating Sequence=general;");
}

QString containerConnectionString(const QString &dbcPath)
{
    return QStringLiteral("Provider=vfpoledb.1;Data Source=") + dbcPath + QStringLiteral(";Collating Sequence=machine;");
}

std::unique_ptr<platform::Connection> openConnection(const QString &connectionString)
{
    std::unique_ptr<platform::Connection> connection = platform::factory().createConnection();
    try {
        connection->Open(connectionString);
    } catch (const Failure &failure) {
        qWarning("Open failed: %s", failure.what());
        return nullptr;
    }
    return connection;
}

QStringList listTables(platform::Connection &connection)
{
    QStringList names;
    std::unique_ptr<platform::Recordset> rows = connection.OpenSchema(platform::adSchemaTables);
    for (; !rows->atEnd(); rows->MoveNext())
        names.append(rows->value(QStringLiteral("TABLE_NAME")));
    return names;
}

Caught failureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Failure &failure) {
        return {failure.number(), failure.description()};
    }
    return {};
}
