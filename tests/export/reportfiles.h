#pragma once

// The sources the golden reports describe, made with the test writer, and the
// golden files themselves.

#include "golden.h"
#include "xbasewriter.h"

#include <QDir>

namespace reportfiles {

// A folder of free tables: alpha, foxuser (never listed), nofields, order lines.
inline void writeFolder(const QString &folder)
{
    using xbasewriter::FieldSpec;
    QDir().mkpath(folder);
    xbasewriter::TableSpec alpha;
    alpha.fields = {FieldSpec{"ALPHA", 'C', 1}};
    xbasewriter::writeTable(folder + QStringLiteral("/alpha.dbf"), alpha);
    xbasewriter::writeTable(folder + QStringLiteral("/FOXUSER.DBF"), alpha);
    xbasewriter::writeTable(folder + QStringLiteral("/nofields.dbf"), xbasewriter::TableSpec{});
    xbasewriter::TableSpec lines;
    lines.fields = {
        FieldSpec{"ORDER_ID", 'I', 4, 0, 0x04},
        FieldSpec{"QTY", 'N', 5, 0},
        FieldSpec{"PRICE", 'Y', 8, 4, 0x04},
        FieldSpec{"NOTE", 'M', 4},
        FieldSpec{"SHIPPED", 'L', 1},
        FieldSpec{"STAMP", 'T', 8, 0, 0x04},
        FieldSpec{"PHOTO", 'G', 4},
        FieldSpec{"NAME", 'C', 30},
        FieldSpec{"RAW", 'C', 10, 0, 0x04},
        FieldSpec{"ODD", 'X', 3},
        FieldSpec{"BORN", 'D', 8},
        FieldSpec{"RATE", 'B', 8, 2, 0x04},
        FieldSpec{"_NullFlags", '0', 1, 0, 0x05},
    };
    lines.recordCount = 3;
    xbasewriter::writeTable(folder + QStringLiteral("/order lines.dbf"), lines);
}

// A table record of a container with its fields' names and comments.
inline xbasewriter::ContainerTable containerTable(const char *name, const char *path,
                                                  const QList<QPair<const char *, const char *>> &fields)
{
    xbasewriter::ContainerTable table;
    table.name = QString::fromUtf8(name);
    table.path = QString::fromUtf8(path);
    for (const auto &[fieldName, comment] : fields) {
        xbasewriter::ContainerField field;
        field.name = QString::fromUtf8(fieldName);
        field.comment = QString::fromUtf8(comment);
        table.fields.append(field);
    }
    return table;
}

// A container shop.dbc with the tables LongNames and Plain, and a table
// Missing whose file is not there.
inline void writeContainer(const QString &folder)
{
    using xbasewriter::FieldSpec;
    QDir().mkpath(folder);
    xbasewriter::TableSpec longNames;
    longNames.fields = {
        FieldSpec{"CUSTOMER_M", 'C', 40}, FieldSpec{"CUSTOMER_2", 'C', 5},
        FieldSpec{"CUSTOMER_3", 'N', 10, 2}, FieldSpec{"CUSTOMER_4", 'Y', 8, 4, 0x04},
        FieldSpec{"CUSTOMER_5", 'C', 8}, FieldSpec{"CUSTOMER_6", 'D', 8},
        FieldSpec{"LEGACY_COD", 'X', 4},
    };
    longNames.backlink = "shop.dbc";
    xbasewriter::writeTable(folder + QStringLiteral("/longnames.dbf"), longNames);
    xbasewriter::TableSpec plain;
    plain.fields = {FieldSpec{"ID", 'I', 4, 0, 0x04}, FieldSpec{"NOTE", 'M', 4}};
    plain.backlink = "shop.dbc";
    xbasewriter::writeTable(folder + QStringLiteral("/plain.dbf"), plain);

    xbasewriter::ContainerSpec shop;
    shop.tables = {
        containerTable("Plain", "plain.dbf", {{"id", "Key of the row"}, {"note", ""}}),
        containerTable("LongNames", "longnames.dbf",
                       {{"customer_mailing_addr", "Street and number"},
                        {"customer_mailing_addr2", ""},
                        {"customer_mailing_street", "Shifted by one"},
                        {"customer_mailing_street2", ""},
                        {"customer_mailing_postcode", "not in the report"},
                        {"customer_mailing_postcode_zone", ""},
                        {"legacy_code", "Old system code"}}),
        containerTable("Missing", "missing.dbf", {{"a", ""}}),
    };
    xbasewriter::writeContainer(folder + QStringLiteral("/shop.dbc"), shop);
}

// A golden report from tests/export/data; its first line names the source
// as "{SOURCE}".
inline QByteArray golden(const QString &name, const QString &source)
{
    return goldenFile(QStringLiteral(ORVALLE_TEST_DATA_DIR "/") + name, {{QStringLiteral("SOURCE"), source}});
}

} // namespace reportfiles
