#include "fakefactory.h"

#include "platform/failure.h"

namespace {

const QString connectionClosed = QStringLiteral("The connection is closed.");
const QString connectionRefused = QStringLiteral("The connection cannot be used.");
const QString catalogUnconnected = QStringLiteral("The catalog has no connection.");
const QString itemNotFound = QStringLiteral("Item cannot be found in the collection.");

class ScriptedConnection final : public model::Connection {
public:
    explicit ScriptedConnection(FakeFactory &factory) : m_factory(factory) {}
    ~ScriptedConnection() override
    {
        if (m_open)
            --m_factory.connectionsOpen;
    }

    void setCursorLocation(int) override {}
    void Open(const QString &connectionString) override
    {
        m_factory.connectionStrings.append(connectionString);
        m_open = true;
        ++m_factory.connectionsOpen;
    }
    int State() const override { return m_open ? model::adStateOpen : model::adStateClosed; }
    void Close() override
    {
        if (!m_open)
            throw Failure(connectionClosed, platform::ObjectClosed);
        m_open = false;
        --m_factory.connectionsOpen;
    }
    std::unique_ptr<model::Recordset> OpenSchema(int schema) override;

private:
    FakeFactory &m_factory;
    bool m_open = false;
};

// A connection whose Open fails, as a source that cannot be reached does.
class ClosedConnection final : public model::Connection {
public:
    explicit ClosedConnection(FakeFactory &factory) : m_factory(factory) {}

    void setCursorLocation(int) override {}
    void Open(const QString &connectionString) override
    {
        m_factory.connectionStrings.append(connectionString);
        throw Failure(FakeFactory::openFailure, platform::InvalidPath);
    }
    int State() const override { return model::adStateClosed; }
    void Close() override { throw Failure(connectionClosed, platform::ObjectClosed); }
    std::unique_ptr<model::Recordset> OpenSchema(int) override
    {
        throw Failure(connectionClosed, platform::ObjectClosed);
    }

private:
    FakeFactory &m_factory;
};

// The rows of the table list, or the fields of one table.
class ScriptedRecordset final : public model::Recordset {
public:
    explicit ScriptedRecordset(FakeFactory &factory) : m_factory(factory) {}
    ~ScriptedRecordset() override
    {
        if (m_open)
            --m_factory.recordsetsOpen;
    }

    void Open(const QString &source, model::Connection &connection) override
    {
        if (m_factory.beforeOpen)
            m_factory.beforeOpen(source);
        if (m_open)
            throw Failure(QStringLiteral("The record set is already open."), platform::ObjectOpen);
        if (connection.State() != model::adStateOpen)
            throw Failure(connectionClosed, platform::ObjectClosed);
        const QString prefix = QStringLiteral("select * from [");
        if (!source.startsWith(prefix) || !source.endsWith(QLatin1Char(']')))
            throw Failure(QStringLiteral("Unsupported command."), platform::UnsupportedCommand);
        const QString name = source.mid(prefix.size(), source.size() - prefix.size() - 1);
        const FakeFactory::Table *table = m_factory.find(name);
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
    int State() const override { return m_open ? model::adStateOpen : model::adStateClosed; }
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
    model::Field field(int index) const override
    {
        if (index < 0 || index >= m_fields.size())
            throw Failure(QStringLiteral("No field %1.").arg(index));
        const FakeFactory::Field &field = m_fields.at(index);
        return {field.name, field.type, field.size};
    }

private:
    void setOpen()
    {
        m_open = true;
        ++m_factory.recordsetsOpen;
    }

    FakeFactory &m_factory;
    bool m_open = false;
    QList<FakeFactory::Field> m_fields;
    QStringList m_rows;
    qsizetype m_row = 0;
};

std::unique_ptr<model::Recordset> ScriptedConnection::OpenSchema(int schema)
{
    if (!m_open)
        throw Failure(connectionClosed, platform::ObjectClosed);
    if (schema != model::adSchemaTables)
        throw Failure(QStringLiteral("Unsupported schema."));
    QStringList names;
    for (const FakeFactory::Table &table : std::as_const(m_factory.tables))
        names.append(table.name);
    auto rows = std::make_unique<ScriptedRecordset>(m_factory);
    rows->openRows(names);
    return rows;
}

// The reader's record set, with the test's hook before each Open.
class WatchedRecordset final : public model::Recordset {
public:
    WatchedRecordset(std::unique_ptr<model::Recordset> inner, const FakeFactory &factory)
        : m_inner(std::move(inner)), m_factory(factory) {}

    void Open(const QString &source, model::Connection &connection) override
    {
        if (m_factory.beforeOpen)
            m_factory.beforeOpen(source);
        m_inner->Open(source, connection);
    }
    int State() const override { return m_inner->State(); }
    void Close() override { m_inner->Close(); }
    bool atEnd() const override { return m_inner->atEnd(); }
    void MoveNext() override { m_inner->MoveNext(); }
    QString value(const QString &column) const override { return m_inner->value(column); }
    int fieldCount() const override { return m_inner->fieldCount(); }
    model::Field field(int index) const override { return m_inner->field(index); }

private:
    std::unique_ptr<model::Recordset> m_inner;
    const FakeFactory &m_factory;
};

class ScriptedCatalogTable final : public model::CatalogTable {
public:
    explicit ScriptedCatalogTable(FakeFactory::Table table) : m_table(std::move(table)) {}
    QString columnProperty(const QString &column, const QString &property) const override
    {
        for (const FakeFactory::Field &field : m_table.fields) {
            if (field.name != column)
                continue;
            if (property != QLatin1String("Description") || !field.hasDescription)
                throw Failure(itemNotFound, platform::ItemNotFound);
            return field.description;
        }
        throw Failure(itemNotFound, platform::ItemNotFound);
    }

private:
    FakeFactory::Table m_table;
};

class ScriptedCatalog final : public model::Catalog {
public:
    explicit ScriptedCatalog(const FakeFactory &factory) : m_factory(factory) {}
    void setActiveConnection(model::Connection &connection) override
    {
        if (connection.State() != model::adStateOpen)
            throw Failure(connectionRefused, 3001);
        m_connected = true;
    }
    std::shared_ptr<const model::CatalogTable> Tables(const QString &name) const override
    {
        if (!m_connected)
            throw Failure(catalogUnconnected, platform::ObjectClosed);
        const FakeFactory::Table *table = m_factory.find(name);
        if (!table || !table->inCatalog)
            throw Failure(itemNotFound, platform::ItemNotFound);
        return std::make_shared<ScriptedCatalogTable>(*table);
    }

private:
    const FakeFactory &m_factory;
    bool m_connected = false;
};

class RefusingCatalog final : public model::Catalog {
public:
    void setActiveConnection(model::Connection &) override
    {
        throw Failure(connectionRefused, 3001);
    }
    std::shared_ptr<const model::CatalogTable> Tables(const QString &) const override
    {
        throw Failure(catalogUnconnected, platform::ObjectClosed);
    }
};

// The FoxPro reader's factory, whatever is installed now.
model::Factory &readerFactory()
{
    model::setFactory(nullptr);
    return model::factory();
}

} // namespace

FakeFactory::FakeFactory(Source source)
{
    if (source == Reader)
        m_reader = &readerFactory();
    model::setFactory(this);
}

FakeFactory::~FakeFactory()
{
    model::setFactory(nullptr);
}

std::unique_ptr<model::Connection> FakeFactory::createConnection()
{
    if (failConnectionCreation)
        throw Failure(creationFailure, 429);
    if (failConnectionOpen)
        return std::make_unique<ClosedConnection>(*this);
    if (m_reader)
        return m_reader->createConnection();
    return std::make_unique<ScriptedConnection>(*this);
}

std::unique_ptr<model::Recordset> FakeFactory::createRecordset()
{
    if (failRecordsetCreation)
        throw Failure(creationFailure, 429);
    if (m_reader)
        return std::make_unique<WatchedRecordset>(m_reader->createRecordset(), *this);
    return std::make_unique<ScriptedRecordset>(*this);
}

std::unique_ptr<model::Catalog> FakeFactory::createCatalog()
{
    if (failCatalogCreation)
        throw Failure(creationFailure, 429);
    ++catalogsCreated;
    if (catalogRefusesConnection)
        return std::make_unique<RefusingCatalog>();
    if (m_reader)
        return m_reader->createCatalog();
    return std::make_unique<ScriptedCatalog>(*this);
}

const FakeFactory::Table *FakeFactory::find(const QString &name) const
{
    for (const Table &table : tables) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}
