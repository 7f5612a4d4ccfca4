#pragma once

// The small ADO-like surface the rest of the program reads FoxPro data through.
// Every operation that fails throws Failure (platform/failure.h) with a number
// and a description naming the file and what is wrong.

#include "platform/failure.h"

#include <QString>
#include <memory>

namespace model {

// ADO data type codes the reader reports (Field::type).
enum TypeCode {
    adInteger = 3,
    adDouble = 5,
    adCurrency = 6,
    adBoolean = 11,
    adBinary = 128,
    adChar = 129,
    adNumeric = 131,
    adUserDefined = 132,
    adDBDate = 133,
    adDBTimeStamp = 135,
    adVarChar = 200,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

inline constexpr int adSchemaTables = 20;
inline constexpr int adStateClosed = 0;
inline constexpr int adStateOpen = 1;

struct Field {
    QString name;
    int type = 0;
    int definedSize = 0;
};

class Connection;

class Recordset {
public:
    virtual ~Recordset() = default;

    // Only "select * from [name]" is accepted.
    virtual void Open(const QString &source, Connection &activeConnection) = 0;
    virtual int State() const = 0;
    virtual void Close() = 0;

    // Rows (the table list of OpenSchema).
    virtual bool atEnd() const = 0; // ADO's EOF
    virtual void MoveNext() = 0;
    virtual QString value(const QString &column) const = 0; // e.g. "TABLE_NAME"

    // The field collection of an opened table.
    virtual int fieldCount() const = 0;
    virtual Field field(int index) const = 0; // 0-based; throws when out of range
};

class Connection {
public:
    virtual ~Connection() = default;

    virtual void setCursorLocation(int location) = 0;
    // "Provider=vfpoledb.1;Data Source=<path>;Collating Sequence=machine|general;"
    virtual void Open(const QString &connectionString) = 0;
    virtual int State() const = 0;
    virtual void Close() = 0;
    // adSchemaTables only: one row per table with the column "TABLE_NAME".
    virtual std::unique_ptr<Recordset> OpenSchema(int schema) = 0;
};

// One table of the catalog: Tables(name).
class CatalogTable {
public:
    virtual ~CatalogTable() = default;
    // Columns(column).Properties(property).Value; throws when the column or the
    // property is unknown. "Description" is the only property every column has.
    virtual QString columnProperty(const QString &column, const QString &property) const = 0;
    // Whether every column's "Description" is known to be empty: a caller
    // asking only for the table's own columns may then take "" for each
    // without asking. False when that is not known.
    virtual bool allDescriptionsEmpty() const { return false; }
};

class Catalog {
public:
    virtual ~Catalog() = default;
    virtual void setActiveConnection(Connection &connection) = 0;
    // Throws when the catalog has no connection or holds no such table or view.
    virtual std::shared_ptr<const CatalogTable> Tables(const QString &name) const = 0;
};

// The one place data access objects are created ("create by name"); tests
// install their own to make a creation or an operation fail.
class Factory {
public:
    virtual ~Factory() = default;
    virtual std::unique_ptr<Connection> createConnection() = 0;
    virtual std::unique_ptr<Recordset> createRecordset() = 0;
    virtual std::unique_ptr<Catalog> createCatalog() = 0;
};

// The factory in use: the FoxPro reader unless a test installed another.
Factory &factory();
// Installs a factory (not owned) for the program; nullptr restores the FoxPro reader.
void setFactory(Factory *replacement);

} // namespace model
