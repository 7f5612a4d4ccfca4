#pragma once

// Type names and descriptions of the fields the report writer lists.

#include "dataaccess.h"
#include "errorreport.h"

#include <QString>

namespace Foxpro1 {

// The FoxPro-style name of an ADO data type code; a code no row names gives
// its own decimal text.
QString GetFieldTypeName(qint32 code);

// The type column of a field line: the type name, with the defined size in
// brackets only when that name is exactly "Character".
QString FieldTypeText(qint32 code, int definedSize);

// The description the catalog keeps for a field; "" after a failure, which is
// reported under "Foxpro1.GetFieldDesc_ADO" with the failing step's label.
QString GetFieldDesc_ADO(QString tableName, QString fieldName, platform::Connection &connection,
                         errorreport::Sink &errors);

} // namespace Foxpro1
