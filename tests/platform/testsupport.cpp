#include "testsupport.h"

#include "model/dataaccess.h"

#include <QTest>

QString folderConnectionString(const QString &folder)
{
    return QStringLiteral("Provider=vfpoledb.1;Data Source=") + folder + QStringLiteral(";Collating Sequence=general;");
}

QString containerConnectionString(const QString &dbcPath)
{
    return QStringLiteral("Provider=vfpoledb.1;Data Source=") + dbcPath + QStringLiteral(";Collating Sequence=machine;");
}

std::unique_ptr<model::Connection> openConnection(const QString &connectionString)
{
    std::unique_ptr<model::Connection> connection = model::factory().createConnection();
    try {
        connection->Open(connectionString);
    } catch (const Failure &failure) {
        qWarning("Open failed: %s", failure.what());
        return nullptr;
    }
    return connection;
}

QStringList listTables(model::Connection &connection)
{
    QStringList names;
    std::unique_ptr<model::Recordset> rows = connection.OpenSchema(model::adSchemaTables);
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
