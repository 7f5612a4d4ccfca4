#pragma once

// An in-memory data source behind the data access factory, so the report
// writer's failure policy and codes no FoxPro file produces can be tested.

#include "dataaccess.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace fake {

struct Field {
    QString name;
    int type = platform::adChar;
    int size = 10;
    QString description;
    bool hasDescription = true; // false: the catalog holds no "Description" for it
};

struct Table {
    QString name;
    QList<Field> fields;
    bool opens = true;     // false: opening it fails as a missing file does
    bool inCatalog = true; // false: the catalog does not know it
};

class Factory : public platform::Factory {
public:
    QList<Table> tables;
    bool connectionOpens = true;
    bool catalogAcceptsConnection = true;
    bool recordsetCreationFails = false;

    // What happened, for the tests to look at.
    QStringList connectionStrings; // one per Open
    int catalogsCreated = 0;
    int connectionsOpen = 0; // open now
    int recordsetsOpen = 0;  // open now

    std::unique_ptr<platform::Connection> createConnection() override;
    std::unique_ptr<platform::Recordset> createRecordset() override;
    std::unique_ptr<platform::Catalog> createCatalog() override;

    const Table *find(const QString &name) const;
};

// Installs the factory for the lifetime of the object.
class Installed {
public:
    explicit Installed(Factory &factory) { platform::setFactory(&factory); }
    ~Installed() { platform::setFactory(nullptr); }
    Installed(const Installed &) = delete;
    Installed &operator=(const Installed &) = delete;
};

} // namespace fake
