#include "fakesource.h"

#include "failure.h"

namespace fake {

namespace {

class Connection : public platform::Connection {
public:
    explicit Connection(Factory &factory) : m_factory(factory) {}
    ~Connection() override
    {
        if (m_open)
            --m_factory.connectionsOpen;
    }

    void setCursorLocation(int) override {}
    void Open(const QString &connectionString) override
    {
        m_factory.connectionStrings.append(connectionString);
        if (!m_factory.connectionOpens)
            throw Failure(QStringLiteral("Invalid path or file name."), platform::InvalidPath);
        m_open = true;
        ++m_factory.connectionsOpen;
    }
    int State() const override { return m_open ? platform::adStateOpen : platform::adStateClosed; }
    void Close() override
    {
        if (!m_open)
            throw Failure(QStringLiteral("The connection is closed."), platform::ObjectClosed);
        m_open = false;
        --m_factory.connectionsOpen;
    }
    std::unique_ptr<platform::Recordset> OpenSchema(int schema) override;

    Factory &m_factory;

private:
    bool m_open = false;
};

// The rows of the table list, or the fields of one table.
class Recordset : public platform::Recordset {
public:
    explicit Recordset(Factory &factory) : m_factory(factory) {}
    ~Recordset() override
    {
        if (m_open)
            --m_factory.recordsetsOpen;
    }

    void Open(const QString &source, platform::Connection &connection, int, int) override
    {
        if (m_open)
            throw Failure(QStringLiteral("The record set is already open."), 3705);
        if (connection.State() != platform::adStateOpen)
            throw Failure(QStringLiteral("The connection is closed."), platform::ObjectClosed);
        const QString prefix = QStringLiteral("select * from [");
        if (!source.startsWith(prefix) || !source.endsWith(QLatin1Char(']')))
            throw Failure(QStringLiteral("Unsupported command."), platform::UnsupportedCommand);
        const QString name = source.mid(prefix.size(), source.size() - prefix.size() - 1);
        const Table *table = m_factory.find(name);
        if (!table || !table->opens)
            throw Failure(QStringLiteral("File '%1.dbf' does not exist.").arg(name),
                          platform::FileDoesNotExist);
        m_fields = table->fields;
        setOpen();
    }
    void openRows(const QStringList &rows)
    {
        m_rows = rows;
        setOpen();
    }
    int State() const override { return m_open ? platform::adStateOpen : platform::adStateClosed; }
    void Close() override
    {
        if (!m_open)
            throw Failure(QStringLiteral("The record set is closed."), platform::ObjectClosed);
        m_open = false;
        --m_factory.recordsetsOpen;
        m_fields.clear();
        m_rows.clear();
        m_row = 0;
    }
    bool atEnd() const override { return m_row >= m_rows.size(); }
    void MoveNext() override { ++m_row; }
    QString value(const QString &column) const override
    {
        if (column != QLatin1String("TABLE_NAME") || atEnd())
            throw Failure(QStringLiteral("No such column or row."));
        return m_rows.at(m_row);
    }
    int fieldCount() const override
    {
        if (!m_open)
            throw Failure(QStringLiteral("The record set is closed."), platform::ObjectClosed);
        return int(m_fields.size());
    }
    platform::Field field(int index) const override
    {
        if (index < 0 || index >= m_fields.size())
            throw Failure(QStringLiteral("No field %1.").arg(index));
        const Field &field = m_fields.at(index);
        return {field.name, field.type, field.size};
    }

private:
    void setOpen()
    {
        m_open = true;
        ++m_factory.recordsetsOpen;
    }

    Factory &m_factory;
    bool m_open = false;
    QList<Field> m_fields;
    QStringList m_rows;
    qsizetype m_row = 0;
};

std::unique_ptr<platform::Recordset> Connection::OpenSchema(int schema)
{
    if (!m_open)
        throw Failure(QStringLiteral("The connection is closed."), platform::ObjectClosed);
    if (schema != platform::adSchemaTables)
        throw Failure(QStringLiteral("Unsupported schema."));
    QStringList names;
    for (const Table &table : m_factory.tables)
        names.append(table.name);
    auto rows = std::make_unique<Recordset>(m_factory);
    rows->openRows(names);
    return rows;
}

class CatalogTable : public platform::CatalogTable {
public:
    explicit CatalogTable(Table table) : m_table(std::move(table)) {}
    QString columnProperty(const QString &column, const QString &property) const override
    {
        for (const Field &field : m_table.fields) {
            if (field.name != column)
                continue;
            if (property != QLatin1String("Description") || !field.hasDescription)
                throw Failure(QStringLiteral("Item cannot be found in the collection."), 3265);
            return field.description;
        }
        throw Failure(QStringLiteral("Item cannot be found in the collection."), 3265);
    }

private:
    Table m_table;
};

class Catalog : public platform::Catalog {
public:
    explicit Catalog(Factory &factory) : m_factory(factory) {}
    void setActiveConnection(platform::Connection &connection) override
    {
        if (!m_factory.catalogAcceptsConnection || connection.State() != platform::adStateOpen)
            throw Failure(QStringLiteral("The connection cannot be used."), 3001);
        m_connected = true;
    }
    std::shared_ptr<const platform::CatalogTable> Tables(const QString &name) const override
    {
        if (!m_connected)
            throw Failure(QStringLiteral("The catalog has no connection."), 3704);
        const Table *table = m_factory.find(name);
        if (!table || !table->inCatalog)
            throw Failure(QStringLiteral("Item cannot be found in the collection."), 3265);
        return std::make_shared<CatalogTable>(*table);
    }

private:
    Factory &m_factory;
    bool m_connected = false;
};

} // namespace

std::unique_ptr<platform::Connection> Factory::createConnection()
{
    return std::make_unique<Connection>(*this);
}

std::unique_ptr<platform::Recordset> Factory::createRecordset()
{
    if (recordsetCreationFails)
        throw Failure(QStringLiteral("ActiveX component can't create object."), 429);
    return std::make_unique<Recordset>(*this);
}

std::unique_ptr<platform::Catalog> Factory::createCatalog()
{
    ++catalogsCreated;
    return std::make_unique<Catalog>(*this);
}

const Table *Factory::find(const QString &name) const
{
    for (const Table &table : tables) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

} // namespace fake
