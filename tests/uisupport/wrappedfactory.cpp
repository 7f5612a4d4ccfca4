#include "wrappedfactory.h"

namespace {

platform::Factory &readerFactory()
{
    platform::setFactory(nullptr);
    return platform::factory();
}

class WatchedRecordset final : public platform::Recordset {
public:
    WatchedRecordset(std::unique_ptr<platform::Recordset> inner, const WrappedFactory &owner)
        : m_inner(std::move(inner)), m_owner(owner) {}

    void Open(const QString &source, platform::Connection &connection, int cursorType, int lockType) override
    {
        if (m_owner.beforeOpen)
            m_owner.beforeOpen(source);
        m_inner->Open(source, connection, cursorType, lockType);
    }
    int State() const override { return m_inner->State(); }
    void Close() override { m_inner->Close(); }
    bool atEnd() const override { return m_inner->atEnd(); }
    void MoveNext() override { m_inner->MoveNext(); }
    QString value(const QString &column) const override { return m_inner->value(column); }
    int fieldCount() const override { return m_inner->fieldCount(); }
    platform::Field field(int index) const override { return m_inner->field(index); }

private:
    std::unique_ptr<platform::Recordset> m_inner;
    const WrappedFactory &m_owner;
};

// A connection that never opens: nothing else of it is reached.
class ClosedConnection final : public platform::Connection {
public:
    void setCursorLocation(int) override {}
    void Open(const QString &) override { throw Failure(WrappedFactory::openFailure, platform::AccessDenied); }
    int State() const override { return platform::adStateClosed; }
    void Close() override {}
    std::unique_ptr<platform::Recordset> OpenSchema(int) override
    {
        throw Failure(QStringLiteral("The connection is closed."));
    }
};

} // namespace

WrappedFactory::WrappedFactory() : m_reader(readerFactory())
{
    platform::setFactory(this);
}

WrappedFactory::~WrappedFactory()
{
    platform::setFactory(nullptr);
}

std::unique_ptr<platform::Connection> WrappedFactory::createConnection()
{
    if (failConnectionCreation)
        throw Failure(QStringLiteral("Class not registered"), 429);
    if (failConnectionOpen)
        return std::make_unique<ClosedConnection>();
    return m_reader.createConnection();
}

std::unique_ptr<platform::Recordset> WrappedFactory::createRecordset()
{
    return std::make_unique<WatchedRecordset>(m_reader.createRecordset(), *this);
}

std::unique_ptr<platform::Catalog> WrappedFactory::createCatalog()
{
    if (failCatalogCreation)
        throw Failure(QStringLiteral("Class not registered"), 429);
    return m_reader.createCatalog();
}
