#pragma once

// Type names and descriptions of the fields the report writer lists.

#include "platform/dataaccess.h"
#include "app/core/errorreport.h"

#include <QString>

namespace exporting {

// The FoxPro-style name of an ADO data type code; a code no row names gives
// its own decimal text.
QString typeNameOf(qint32 code);

// The type column of a field line: the type name, with the defined size in
// brackets only when that name is exactly "Character".
QString typeColumnText(qint32 code, int definedSize);

// The description the catalog keeps for a field; "" after a failure, which is
// reported under "Foxpro1.fieldDescription" with the failing step's label.
QString fieldDescription(QString tableName, QString fieldName, platform::Connection &connection,
                         app::ErrorSink &errors);

} // namespace exporting
