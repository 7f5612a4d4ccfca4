#include "export/fieldcolumns.h"

#include "export/objectcheck.h"

#include <charconv>
#include <iterator>

namespace exporting {

namespace {

// The name of a type code, null for a code no row names.
QLatin1StringView knownTypeName(qint32 code)
{
    switch (code) {
    case 2: case 3: case 16: case 17: case 18: case 19: case 20: case 21:
        return QLatin1StringView("Integer");
    case 4:
        return QLatin1StringView("Float");
    case 5:
        return QLatin1StringView("Double");
    case 6:
        return QLatin1StringView("Currency");
    case 7: case 133: case 134: case 135:
        return QLatin1StringView("DateTime");
    case 8:
        return QLatin1StringView("BSTR");
    case 11:
        return QLatin1StringView("Logical");
    case 12:
        return QLatin1StringView("Variant");
    case 14: case 131:
        return QLatin1StringView("Numeric");
    case 72:
        return QLatin1StringView("GUID");
    case 128: case 204:
        return QLatin1StringView("Character (Binary)");
    case 129: case 130: case 200: case 201: case 202:
        return QLatin1StringView("Character");
    case 132:
        return QLatin1StringView("UserDefined");
    case 203:
        return QLatin1StringView("Memo");
    case 205:
        return QLatin1StringView("Memo (Binary)");
    default:
        return QLatin1StringView();
    }
}

} // namespace

QString typeNameOf(qint32 code)
{
    const QLatin1StringView name = knownTypeName(code);
    return name.isNull() ? QString::number(code) : QString(name);
}

QString typeColumnText(qint32 code, int definedSize)
{
    return TypeColumnText(code, definedSize).view().toString();
}

TypeColumnText::TypeColumnText(qint32 code, int definedSize)
{
    // Digits without a string of their own: this runs for every field of a report.
    char digits[16];
    QLatin1StringView name = knownTypeName(code);
    if (name.isNull()) {
        const auto written = std::to_chars(std::begin(digits), std::end(digits), code);
        name = QLatin1StringView(digits, written.ptr - digits);
    }
    append(name);
    if (name == QLatin1StringView("Character")) {
        const auto written = std::to_chars(std::begin(digits), std::end(digits), definedSize);
        append(QLatin1StringView("["));
        append(QLatin1StringView(digits, written.ptr - digits));
        append(QLatin1StringView("]"));
    }
}

void TypeColumnText::append(QLatin1StringView text)
{
    // The longest text, "Character (Binary)" or a code's or size's digits in
    // brackets, is far within the storage.
    for (const char c : text)
        m_text[m_size++] = char16_t(uchar(c));
}

namespace {

// Runs one step of the lookup and reports its failure; the location text is
// built once, as this runs for nearly every field of an export.
template <class Step> void lookupStep(app::ErrorSink &errors, int label, Step &&step)
{
    static const QString where = app::errorLocation("Foxpro1.GetFieldDesc_ADO");
    try {
        step();
    } catch (const Failure &failure) {
        errors.report(where, label, failure.description());
    } catch (const std::exception &failure) {
        errors.report(where, label, QString::fromLocal8Bit(failure.what()));
    }
}

} // namespace

QString fieldDescription(QString tableName, QString fieldName, platform::Connection &connection,
                         app::ErrorSink &errors)
{
    std::unique_ptr<platform::Catalog> catalog;
    std::shared_ptr<const platform::CatalogTable> table;
    QString description;

    lookupStep(errors, 100, [&] {
        catalog = platform::factory().createCatalog();
        exporting::require(catalog.get())->setActiveConnection(connection);
    });
    lookupStep(errors, 102, [&] { table = exporting::require(catalog.get())->Tables(tableName); });
    lookupStep(errors, 104, [&] {
        description = exporting::require(table.get())
                          ->columnProperty(fieldName, QStringLiteral("Description"));
    });
    return description;
}

FieldDescriptions::FieldDescriptions(const QString &tableName, platform::Connection &connection,
                                     app::ErrorSink &errors)
    : m_tableName(tableName), m_connection(connection), m_errors(errors)
{
    try {
        const std::unique_ptr<platform::Catalog> catalog = platform::factory().createCatalog();
        exporting::require(catalog.get())->setActiveConnection(connection);
        m_table = catalog->Tables(tableName);
    } catch (const Failure &) {
        m_table.reset(); // reported field by field, by fieldDescription
    } catch (const std::exception &) {
        m_table.reset();
    }
}

QString FieldDescriptions::of(const QString &fieldName) const
{
    if (!m_table)
        return fieldDescription(m_tableName, fieldName, m_connection, m_errors);
    QString description;
    lookupStep(m_errors, 104, [&] { description = m_table->columnProperty(fieldName, QStringLiteral("Description")); });
    return description;
}

} // namespace exporting
