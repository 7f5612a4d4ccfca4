#include "export/tablelist.h"

#include "platform/dataaccess.h"
#include "platform/sourcemodel.h"

namespace exporting {

void readTableList(const QString &connectionString, const std::function<void()> &ready,
                   const std::function<void(const QString &)> &add)
{
    std::unique_ptr<platform::Connection> connection = platform::factory().createConnection();
    std::unique_ptr<platform::Recordset> rows = platform::factory().createRecordset();
    connection->Open(connectionString);
    rows = connection->OpenSchema(platform::adSchemaTables);
    ready();
    const QString column = QStringLiteral("TABLE_NAME");
    while (!rows->atEnd()) {
        const QString name = rows->value(column);
        if (!platform::isResourceTable(name))
            add(name);
        rows->MoveNext();
    }
    rows->Close();
    connection->Close();
}

} // namespace exporting
