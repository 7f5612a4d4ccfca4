#pragma once

// The ADO type code and size the data access objects give a field.

#include "platform/tableheader.h"

#include <QString>

namespace model {

// The ADO type code and DefinedSize a field is reported with.
struct ColumnType {
    int type = 0;
    int size = 0;
};

ColumnType columnTypeOf(char letter, int width, bool binary, bool visualFoxPro);
ColumnType columnTypeOf(const platform::FieldLayout &field, bool visualFoxPro);

// A view field's DataType property: a letter, an optional "(width[,decimals])"
// and optional words such as "NOCPTRANS", e.g. "C(40)", "N(10,2)", "I", "M NOCPTRANS".
ColumnType columnTypeOfDataType(const QString &dataType);

} // namespace model
