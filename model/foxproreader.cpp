#include "model/foxproreader.h"

#include "model/sourcefiles.h"
#include "model/sourcemodel.h"
#include "model/datasourcestring.h"

#include <QRegularExpression>

namespace model {

namespace {


Failure openFailure(const char *what)
{
    return Failure(QStringLiteral("Operation is not allowed when the %1 is open.").arg(QLatin1String(what)), platform::ObjectOpen);
}

Failure closedFailure(const char *what)
{
    return Failure(QStringLiteral("Operation is not allowed when the %1 is closed.").arg(QLatin1String(what)),
                   platform::ObjectClosed);
}

class ReaderConnection : public model::Connection {
public:
    void setCursorLocation(int) override {}

    void Open(const QString &connectionString) override
    {
        if (m_source)
            throw openFailure("connection");
        m_source = SourceReader::open(dataSourceOf(connectionString));
    }

    int State() const override { return m_source ? model::adStateOpen : model::adStateClosed; }

    void Close() override
    {
        if (!m_source)
            throw closedFailure("connection");
        m_source.reset();
    }
    std::unique_ptr<model::Recordset> OpenSchema(int schema) override;

    // The open data source; throws when the connection is closed.
    std::shared_ptr<SourceReader> source() const
    {
        if (!m_source)
            throw closedFailure("connection");
        return m_source;
    }

private:
    std::shared_ptr<SourceReader> m_source;
};

std::shared_ptr<SourceReader> sourceOf(model::Connection &connection)
{
    const auto *ours = dynamic_cast<const ReaderConnection *>(&connection);
    if (!ours)
        throw closedFailure("connection");
    return ours->source();
}

class ReaderRecordset : public model::Recordset {
public:
    ReaderRecordset() = default;
    explicit ReaderRecordset(QList<TableEntry> rows) : m_rows(std::move(rows)), m_open(true) {}

    // The table a command names; throws when it is no "select * from [table]".
    static QString tableNamed(const QString &source)
    {
        // The form the report writer sends for every table, matched without
        // the expression: whatever lies between its "[" and the last "]".
        static const QLatin1StringView plain("select * from [");
        if (source.startsWith(plain) && source.endsWith(QLatin1Char(']')) && source.size() > plain.size())
            return source.sliced(plain.size(), source.size() - plain.size() - 1);
        static const QRegularExpression command(QStringLiteral(R"(^\s*select\s+\*\s+from\s+\[(.*)\]\s*;?\s*$)"),
                                                QRegularExpression::CaseInsensitiveOption
                                                    | QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = command.match(source);
        if (!match.hasMatch())
            throw Failure(QStringLiteral("Only \"select * from [table]\" can be opened, not \"%1\".").arg(source),
                          platform::UnsupportedCommand);
        return match.captured(1);
    }

    void Open(const QString &source, model::Connection &activeConnection) override
    {
        if (m_open)
            throw openFailure("record set");
        m_table = sourceOf(activeConnection)->describe(tableNamed(source));
        m_open = true;
    }

    int State() const override { return m_open ? model::adStateOpen : model::adStateClosed; }

    void Close() override
    {
        requireOpen();
        m_open = false;
        m_table.reset();
        m_rows.clear();
        m_position = 0;
    }

    bool atEnd() const override
    {
        requireOpen();
        return m_position >= m_rows.size();
    }

    void MoveNext() override
    {
        if (atEnd())
            throw Failure(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."),
                          platform::ItemNotFound);
        ++m_position;
    }

    QString value(const QString &column) const override
    {
        if (atEnd())
            throw Failure(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."),
                          platform::ItemNotFound);
        const TableEntry &row = m_rows[m_position];
        // Asked for by this spelling once a row: the exact comparison first.
        if (column == QLatin1String("TABLE_NAME") || column.compare(QLatin1String("TABLE_NAME"), Qt::CaseInsensitive) == 0)
            return row.name;
        if (column.compare(QLatin1String("TABLE_TYPE"), Qt::CaseInsensitive) == 0)
            return row.isView ? QStringLiteral("VIEW") : QStringLiteral("TABLE");
        throw Failure(QStringLiteral("Column '%1' does not exist in the table list.").arg(column), platform::ItemNotFound);
    }

    int fieldCount() const override
    {
        requireOpen();
        return m_table ? int(m_table->columns().size()) : 2;
    }

    model::Field field(int index) const override
    {
        requireOpen();
        if (!m_table) {
            if (index == 0 || index == 1)
                return {index == 0 ? QStringLiteral("TABLE_NAME") : QStringLiteral("TABLE_TYPE"), model::adVarChar, 128};
        } else if (index >= 0 && index < m_table->columns().size()) {
            const ColumnDescription &column = m_table->columns()[index];
            return {column.name, column.type, column.size};
        }
        throw Failure(QStringLiteral("There is no field %1.").arg(index), platform::ItemNotFound);
    }

private:
    void requireOpen() const
    {
        if (!m_open)
            throw closedFailure("record set");
    }

    QList<TableEntry> m_rows;
    qsizetype m_position = 0;
    std::shared_ptr<const TableDescription> m_table;
    bool m_open = false;
};

std::unique_ptr<model::Recordset> ReaderConnection::OpenSchema(int schema)
{
    const std::shared_ptr<SourceReader> opened = source();
    if (schema != model::adSchemaTables)
        throw Failure(QStringLiteral("Schema %1 is not supported; only the table list (20) is.").arg(schema),
                      platform::UnsupportedCommand);
    return std::make_unique<ReaderRecordset>(opened->entries());
}

class ReaderCatalog : public model::Catalog {
public:
    void setActiveConnection(model::Connection &connection) override { m_source = sourceOf(connection); }

    std::shared_ptr<const model::CatalogTable> Tables(const QString &name) const override
    {
        if (!m_source)
            throw Failure(QStringLiteral("The catalog has no active connection."), platform::ObjectClosed);
        return m_source->describe(name);
    }

private:
    std::shared_ptr<SourceReader> m_source;
};

class ReaderFactory : public model::Factory {
public:
    std::unique_ptr<model::Connection> createConnection() override { return std::make_unique<ReaderConnection>(); }
    std::unique_ptr<model::Recordset> createRecordset() override { return std::make_unique<ReaderRecordset>(); }
    std::unique_ptr<model::Catalog> createCatalog() override { return std::make_unique<ReaderCatalog>(); }
};

} // namespace

model::Factory &readerFactory()
{
    static ReaderFactory instance;
    return instance;
}

} // namespace model
