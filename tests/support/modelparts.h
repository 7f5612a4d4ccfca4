#pragma once

// Parts of a structure model for tests that build one by hand.

#include "model/sourcemodel.h"

namespace modelparts {

inline model::FieldModel field(int position, const QString &name, char type, const QString &typeName, int width,
                                  int decimals = 0)
{
    model::FieldModel f;
    f.position = position;
    f.name = name;
    f.type = type;
    f.typeName = typeName;
    f.width = width;
    f.decimals = decimals;
    return f;
}

inline model::IndexModel tag(const QString &name, model::TagKind kind, const QString &expression,
                                const QString &filter = {}, bool descending = false,
                                const QString &collation = QStringLiteral("MACHINE"))
{
    model::IndexModel i;
    i.name = name;
    i.kind = kind;
    i.expression = expression;
    i.filter = filter;
    i.descending = descending;
    i.collation = collation;
    return i;
}

} // namespace modelparts
