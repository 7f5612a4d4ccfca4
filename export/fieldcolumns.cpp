#include "export/fieldcolumns.h"

#include "export/objectcheck.h"

#include <charconv>
#include <iterator>

namespace exporting {

QString typeNameOf(qint32 code)
{
    switch (code) {
    case 2: case 3: case 16: case 17: case 18: case 19: case 20: case 21:
        return QStringLiteral("Integer");
    case 4:
        return QStringLiteral("Float");
    case 5:
        return QStringLiteral("Double");
    case 6:
        return QStringLiteral("Currency");
    case 7: case 133: case 134: case 135:
        return QStringLiteral("DateTime");
    case 8:
        return QStringLiteral("BSTR");
    case 11:
        return QStringLiteral("Logical");
    case 12:
        return QStringLiteral("Variant");
    case 14: case 131:
        return QStringLiteral("Numeric");
    case 72:
        return QStringLiteral("GUID");
    case 128: case 204:
        return QStringLiteral("Character (Binary)");
    case 129: case 130: case 200: case 201: case 202:
        return QStringLiteral("Character");
    case 132:
        return QStringLiteral("UserDefined");
    case 203:
        return QStringLiteral("Memo");
    case 205:
        return QStringLiteral("Memo (Binary)");
    default:
        return QString::number(code);
    }
}

QString typeColumnText(qint32 code, int definedSize)
{
    QString text;
    appendTypeColumnText(text, code, definedSize);
    return text;
}

void appendTypeColumnText(QString &text, qint32 code, int definedSize)
{
    const QString name = typeNameOf(code);
    // As a view: appending the string itself to an empty one would share the
    // name's static text, and the caller's reuse would then copy it.
    text += QStringView(name);
    if (name == QLatin1String("Character")) {
        // The size's digits without a string of their own: this runs for
        // every character field of a report.
        char digits[16];
        const auto written = std::to_chars(std::begin(digits), std::end(digits), definedSize);
        text += QLatin1Char('[');
        text += QLatin1StringView(digits, written.ptr - digits);
        text += QLatin1Char(']');
    }
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
