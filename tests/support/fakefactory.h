#pragma once

// The data access factory of the tests, installed while it lives. It serves
// either tables the test scripts, for the failure policy and the codes no
// FoxPro file produces, or the FoxPro reader's own objects. Either way a
// creation or an open can be made to fail, and a test can act just before a
// record set opens.

#include "model/dataaccess.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class FakeFactory final : public model::Factory {
public:
    struct Field {
        QString name;
        int type = model::adChar;
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

    enum Source { Scripted, Reader };

    explicit FakeFactory(Source source);
    ~FakeFactory() override;
    FakeFactory(const FakeFactory &) = delete;
    FakeFactory &operator=(const FakeFactory &) = delete;

    // The scripted source, in the order its table list gives them.
    QList<Table> tables;

    // Each makes its creation throw creationFailure (429).
    bool failConnectionCreation = false;
    bool failRecordsetCreation = false;
    bool failCatalogCreation = false;
    // Connections are created, but opening one throws openFailure (202).
    bool failConnectionOpen = false;
    // Catalogs are created, but they take no connection (3001).
    bool catalogRefusesConnection = false;
    static inline const QString creationFailure = QStringLiteral("Class not registered");
    static inline const QString openFailure = QStringLiteral("The test keeps this source closed.");
    // Runs before each record set Open, with its source text.
    std::function<void(const QString &)> beforeOpen;

    // What happened. The reader's own objects are not watched: connectionStrings
    // holds one entry per Open of a scripted connection or of one kept closed,
    // and the open counts are those of the scripted source.
    QStringList connectionStrings;
    int catalogsCreated = 0;
    int connectionsOpen = 0; // open now
    int recordsetsOpen = 0;  // open now

    std::unique_ptr<model::Connection> createConnection() override;
    std::unique_ptr<model::Recordset> createRecordset() override;
    std::unique_ptr<model::Catalog> createCatalog() override;

    // The scripted table of that name, whatever its letter case; nullptr when there is none.
    const Table *find(const QString &name) const;

private:
    model::Factory *m_reader = nullptr; // Reader only
};
