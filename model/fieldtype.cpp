#include "model/fieldtype.h"

#include "model/dataaccess.h"

#include <QRegularExpression>

namespace model {

namespace {
constexpr int MemoSize = 2147483647;
constexpr int NumericSize = 19; // sizeof DB_NUMERIC
}

ColumnType columnTypeOf(char letter, int width, bool binary, bool visualFoxPro)
{
    switch (letter) {
    case 'C': return {binary ? model::adBinary : model::adChar, width};
    case 'V': return {binary ? model::adVarBinary : model::adVarChar, width};
    case 'Q': return {model::adVarBinary, width};
    case 'M': return {binary ? model::adLongVarBinary : model::adLongVarWChar, MemoSize};
    case 'G':
    case 'W':
    case 'P':
        return {model::adLongVarBinary, MemoSize};
    case 'B': // a double in Visual FoxPro, a binary memo in dBase
        return visualFoxPro ? ColumnType{model::adDouble, 8} : ColumnType{model::adLongVarBinary, MemoSize};
    case 'N':
    case 'F':
        return {model::adNumeric, NumericSize};
    case 'I':
    case '+':
        return {model::adInteger, 4};
    case 'O': return {model::adDouble, 8};
    case 'Y': return {model::adCurrency, 8};
    case 'D': return {model::adDBDate, 6};
    case 'T':
    case '@':
        return {model::adDBTimeStamp, 16};
    case 'L': return {model::adBoolean, 2};
    default: return {model::adUserDefined, width};
    }
}

ColumnType columnTypeOf(const platform::FieldLayout &field, bool visualFoxPro)
{
    return columnTypeOf(field.type, field.width, visualFoxPro && field.isBinary(), visualFoxPro);
}

ColumnType columnTypeOfDataType(const QString &dataType)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*([A-Za-z0-9@+])\s*(?:\(\s*(\d{1,9})\s*(?:,\s*\d{1,9}\s*)?\))?(.*)$)"));
    const QRegularExpressionMatch match = pattern.match(dataType);
    if (!match.hasMatch())
        return {model::adUserDefined, 0};
    const char letter = match.captured(1).toUpper().at(0).toLatin1();
    const bool binary = match.captured(3).contains(QLatin1String("NOCPTRANS"), Qt::CaseInsensitive);
    // The letters a view field can have are Visual FoxPro's.
    return columnTypeOf(letter, match.captured(2).toInt(), binary, true);
}

} // namespace model
