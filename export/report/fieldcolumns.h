#pragma once

// Type names and descriptions of the fields the report writer lists.

#include "model/dataaccess.h"
#include "app/core/errorreport.h"

#include <QString>

#include <memory>

namespace report {

// The FoxPro-style name of an ADO data type code; a code no row names gives
// its own decimal text.
QString typeNameOf(qint32 code);

// The type column of a field line: the type name, with the defined size in
// brackets only when that name is exactly "Character".
QString typeColumnText(qint32 code, int definedSize);

// A number's decimal digits in storage of their own, for a line made of
// columns without a string for each number.
class DecimalText {
public:
    explicit DecimalText(qint64 number);
    QStringView view() const { return QStringView(m_text, m_size); }

private:
    char16_t m_text[24];
    qsizetype m_size = 0;
};

// The same text in storage of its own, for a caller that writes one per
// field and wants no string for it.
class TypeColumnText {
public:
    TypeColumnText(qint32 code, int definedSize);
    TypeColumnText(const TypeColumnText &) = delete;
    TypeColumnText &operator=(const TypeColumnText &) = delete;
    QStringView view() const { return m_view; }

private:
    void append(QStringView text);

    QStringView m_view; // a name's own fixed text, or m_text when it needs digits
    char16_t m_text[48];
    qsizetype m_size = 0;
};

// The description the catalog keeps for a field; "" after a failure, which is
// reported under "Foxpro1.fieldDescription" with the failing step's label.
QString fieldDescription(QString tableName, QString fieldName, model::Connection &connection,
                         app::ErrorSink &errors);

// The descriptions of one table's fields (asked for by the names its record
// set gives): what fieldDescription gives for each, through one catalog for
// the table instead of one per field. When that catalog or the table cannot
// be had, each field is looked up by fieldDescription, so every failure is
// reported as it would be there.
class FieldDescriptions {
public:
    FieldDescriptions(const QString &tableName, model::Connection &connection, app::ErrorSink &errors);

    QString of(const QString &fieldName) const;

private:
    QString m_tableName;
    model::Connection &m_connection;
    app::ErrorSink &m_errors;
    std::shared_ptr<const model::CatalogTable> m_table;
    bool m_allEmpty = false;
};

} // namespace report
