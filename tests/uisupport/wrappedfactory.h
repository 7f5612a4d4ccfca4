#pragma once

// Wraps the FoxPro reader's data access objects so a test can make a creation
// fail or act in the middle of an operation.

#include "dataaccess.h"

#include <QString>

#include <functional>

class WrappedFactory final : public platform::Factory {
public:
    WrappedFactory();
    ~WrappedFactory() override;

    bool failConnectionCreation = false;
    bool failCatalogCreation = false;
    // Connections are created, but opening one fails with openFailure.
    bool failConnectionOpen = false;
    static inline const QString openFailure = QStringLiteral("The test keeps this source closed.");
    // Runs before each record set Open, with its source text.
    std::function<void(const QString &)> beforeOpen;

    std::unique_ptr<platform::Connection> createConnection() override;
    std::unique_ptr<platform::Recordset> createRecordset() override;
    std::unique_ptr<platform::Catalog> createCatalog() override;

private:
    platform::Factory &m_reader;
};
