#pragma once

// Parts of a structure model for tests that build one by hand.

#include "model/sourcemodel.h"

#include <QRegularExpression>
#include <QStringList>

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

// A table from "name: FIELD TYPE WIDTH[.DECIMALS] [KIND TAG], …": KIND is
// primary, candidate, unique or regular; "KIND TAG?" gives the tag a filter;
// "KIND TAG=EXPR" an expression other than the field's name. A field
// "long/SHORT" has a long name and the header's short one.
inline model::TableModel tableOf(const QString &description)
{
    model::TableModel table;
    const qsizetype colon = description.indexOf(QLatin1Char(':'));
    table.name = description.left(colon).trimmed();
    static const QRegularExpression fieldPattern(
        QStringLiteral(R"(^(\S+) (\S) (\d+)(?:\.(\d+))?(?: \[(\w+) ([^\]=?]+)(\?)?(?:=([^\]]+))?\])?$)"));
    int position = 0;
    for (const QString &part : description.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = fieldPattern.match(part.trimmed());
        if (!m.hasMatch())
            qFatal("a field not described as FIELD TYPE WIDTH: %s", qPrintable(part));
        const QStringList names = m.captured(1).split(QLatin1Char('/'));
        model::FieldModel f = field(++position, names[0], m.captured(2).at(0).toLatin1(), QString(),
                                         m.captured(3).toInt(), m.captured(4).toInt());
        if (names.size() > 1)
            f.shortName = names[1];
        table.fields.append(f);
        if (m.captured(5).isEmpty())
            continue;
        static const QStringList kinds = {QStringLiteral("primary"), QStringLiteral("candidate"),
                                          QStringLiteral("unique"), QStringLiteral("regular")};
        const QString expression = m.captured(8).isEmpty() ? f.shortName.isEmpty() ? f.name : f.shortName
                                                           : m.captured(8);
        table.indexes.append(tag(m.captured(6), model::TagKind(kinds.indexOf(m.captured(5))), expression,
                                             m.captured(7).isEmpty() ? QString() : QStringLiteral("!DELETED()")));
    }
    table.indexesKnown = true;
    return table;
}

} // namespace modelparts
