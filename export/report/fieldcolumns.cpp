#include "export/report/fieldcolumns.h"

#include "export/report/objectcheck.h"

#include <charconv>
#include <iterator>

namespace report {

namespace {

// The name of a type code, null for a code no row names.
QStringView knownTypeName(qint32 code)
{
    switch (code) {
    case 2: case 3: case 16: case 17: case 18: case 19: case 20: case 21:
        return u"Integer";
    case 4:
        return u"Float";
    case 5:
        return u"Double";
    case 6:
        return u"Currency";
    case 7: case 133: case 134: case 135:
        return u"DateTime";
    case 8:
        return u"BSTR";
    case 11:
        return u"Logical";
    case 12:
        return u"Variant";
    case 14: case 131:
        return u"Numeric";
    case 72:
        return u"GUID";
    case 128: case 204:
        return u"Character (Binary)";
    case 129: case 130: case 200: case 201: case 202:
        return u"Character";
    case 132:
        return u"UserDefined";
    case 203:
        return u"Memo";
    case 205:
        return u"Memo (Binary)";
    default:
        return QStringView();
    }
}

} // namespace

QString typeNameOf(qint32 code)
{
    const QStringView name = knownTypeName(code);
    return name.isNull() ? QString::number(code) : name.toString();
}

QString typeColumnText(qint32 code, int definedSize)
{
    return TypeColumnText(code, definedSize).view().toString();
}

DecimalText::DecimalText(qint64 number)
{
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
    for (const char *c = digits; c != written.ptr; ++c)
        m_text[m_size++] = char16_t(*c);
}

TypeColumnText::TypeColumnText(qint32 code, int definedSize)
{
    const QStringView name = knownTypeName(code);
    if (!name.isNull() && name != u"Character") {
        m_view = name; // static text: nothing to copy
        return;
    }
    if (name.isNull()) {
        append(DecimalText(code).view());
    } else {
        append(name);
        m_text[m_size++] = u'[';
        append(DecimalText(definedSize).view());
        m_text[m_size++] = u']';
    }
    m_view = QStringView(m_text, m_size);
}

void TypeColumnText::append(QStringView text)
{
    // The longest text, "Character (Binary)" or a code's or size's digits in
    // brackets, is far within the storage.
    std::copy(text.utf16(), text.utf16() + text.size(), m_text + m_size);
    m_size += text.size();
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

QString fieldDescription(QString tableName, QString fieldName, model::Connection &connection,
                         app::ErrorSink &errors)
{
    std::unique_ptr<model::Catalog> catalog;
    std::shared_ptr<const model::CatalogTable> table;
    QString description;

    lookupStep(errors, 100, [&] {
        catalog = model::factory().createCatalog();
        report::require(catalog.get())->setActiveConnection(connection);
    });
    lookupStep(errors, 102, [&] { table = report::require(catalog.get())->Tables(tableName); });
    lookupStep(errors, 104, [&] {
        description = report::require(table.get())
                          ->columnProperty(fieldName, QStringLiteral("Description"));
    });
    return description;
}

FieldDescriptions::FieldDescriptions(const QString &tableName, model::Connection &connection,
                                     app::ErrorSink &errors)
    : m_tableName(tableName), m_connection(connection), m_errors(errors)
{
    try {
        const std::unique_ptr<model::Catalog> catalog = model::factory().createCatalog();
        report::require(catalog.get())->setActiveConnection(connection);
        m_table = catalog->Tables(tableName);
        m_allEmpty = m_table && m_table->allDescriptionsEmpty();
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
    // The fields asked for are the table's own, so none is unknown to it.
    if (m_allEmpty)
        return QString();
    QString description;
    lookupStep(m_errors, 104, [&] { description = m_table->columnProperty(fieldName, QStringLiteral("Description")); });
    return description;
}

} // namespace report
