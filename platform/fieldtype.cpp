#include "fieldtype.h"

#include "dataaccess.h"

#include <QRegularExpression>

namespace foxpro {

namespace {
constexpr int MemoSize = 2147483647;
constexpr int NumericSize = 19; // sizeof DB_NUMERIC
}

ColumnType columnTypeOf(char letter, int width, bool binary, bool visualFoxPro)
{
    switch (letter) {
    case 'C': return {binary ? ado::adBinary : ado::adChar, width};
    case 'V': return {binary ? ado::adVarBinary : ado::adVarChar, width};
    case 'Q': return {ado::adVarBinary, width};
    case 'M': return {binary ? ado::adLongVarBinary : ado::adLongVarWChar, MemoSize};
    case 'G':
    case 'W':
    case 'P':
        return {ado::adLongVarBinary, MemoSize};
    case 'B': // a double in Visual FoxPro, a binary memo in dBase
        return visualFoxPro ? ColumnType{ado::adDouble, 8} : ColumnType{ado::adLongVarBinary, MemoSize};
    case 'N':
    case 'F':
        return {ado::adNumeric, NumericSize};
    case 'I':
    case '+':
        return {ado::adInteger, 4};
    case 'O': return {ado::adDouble, 8};
    case 'Y': return {ado::adCurrency, 8};
    case 'D': return {ado::adDBDate, 6};
    case 'T':
    case '@':
        return {ado::adDBTimeStamp, 16};
    case 'L': return {ado::adBoolean, 2};
    default: return {ado::adUserDefined, width};
    }
}

ColumnType columnTypeOf(const FieldDescriptor &field, bool visualFoxPro)
{
    return columnTypeOf(field.type, field.width, visualFoxPro && field.isBinary(), visualFoxPro);
}

ColumnType columnTypeOfDataType(const QString &dataType)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*([A-Za-z0-9@+])\s*(?:\(\s*(\d{1,9})\s*(?:,\s*\d{1,9}\s*)?\))?(.*)$)"));
    const QRegularExpressionMatch match = pattern.match(dataType);
    if (!match.hasMatch())
        return {ado::adUserDefined, 0};
    const char letter = match.captured(1).toUpper().at(0).toLatin1();
    const bool binary = match.captured(3).contains(QLatin1String("NOCPTRANS"), Qt::CaseInsensitive);
    // The letters a view field can have are Visual FoxPro's.
    return columnTypeOf(letter, match.captured(2).toInt(), binary, true);
}

} // namespace foxpro
