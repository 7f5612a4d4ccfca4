#include "export/report/tablelist.h"

#include "model/dataaccess.h"
#include "model/sourcemodel.h"

namespace report {

void readTableList(const QString &connectionString, const std::function<void()> &ready,
                   const std::function<void(const QString &)> &add)
{
    std::unique_ptr<model::Connection> connection = model::factory().createConnection();
    std::unique_ptr<model::Recordset> rows = model::factory().createRecordset();
    connection->Open(connectionString);
    rows = connection->OpenSchema(model::adSchemaTables);
    ready();
    const QString column = QStringLiteral("TABLE_NAME");
    while (!rows->atEnd()) {
        const QString name = rows->value(column);
        if (!model::isResourceTable(name))
            add(name);
        rows->MoveNext();
    }
    rows->Close();
    connection->Close();
}

} // namespace report
