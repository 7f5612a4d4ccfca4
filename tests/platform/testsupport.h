#pragma once

// What the reader's tests share: the connection strings the program builds,
// opening and listing through the factory, and the failure a call throws.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Failure;

namespace model {
class Connection;
}

// The connection strings the program builds, one per mode.
QString folderConnectionString(const QString &folder);
QString containerConnectionString(const QString &dbcPath);

// Opens a connection through the factory; the test fails when it throws.
std::unique_ptr<model::Connection> openConnection(const QString &connectionString);

// The TABLE_NAME column of OpenSchema(20), in order.
QStringList listTables(model::Connection &connection);

// Runs the call and returns the Failure it throws; number -1 and an empty
// description when it throws none.
struct Caught {
    int number = -1;
    QString description;
};
Caught failureOf(const std::function<void()> &call);
