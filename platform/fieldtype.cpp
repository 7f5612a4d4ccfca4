#include "platform/fieldtype.h"

#include "platform/dataaccess.h"

#include <QRegularExpression>

namespace platform {

namespace {
constexpr int MemoSize = 2147483647;
constexpr int NumericSize = 19; // sizeof DB_NUMERIC
}

ColumnType columnTypeOf(char letter, int width, bool binary, bool visualFoxPro)
{
    switch (letter) {
    case 'C': return {binary ? platform::adBinary : platform::adChar, width};
    case 'V': return {binary ? platform::adVarBinary : platform::adVarChar, width};
    case 'Q': return {platform::adVarBinary, width};
    case 'M': return {binary ? platform::adLongVarBinary : platform::adLongVarWChar, MemoSize};
    case 'G':
    case 'W':
    case 'P':
        return {platform::adLongVarBinary, MemoSize};
    case 'B': // a double in Visual FoxPro, a binary memo in dBase
        return visualFoxPro ? ColumnType{platform::adDouble, 8} : ColumnType{platform::adLongVarBinary, MemoSize};
    case 'N':
    case 'F':
        return {platform::adNumeric, NumericSize};
    case 'I':
    case '+':
        return {platform::adInteger, 4};
    case 'O': return {platform::adDouble, 8};
    case 'Y': return {platform::adCurrency, 8};
    case 'D': return {platform::adDBDate, 6};
    case 'T':
    case '@':
        return {platform::adDBTimeStamp, 16};
    case 'L': return {platform::adBoolean, 2};
    default: return {platform::adUserDefined, width};
    }
}

ColumnType columnTypeOf(const FieldLayout &field, bool visualFoxPro)
{
    return columnTypeOf(field.type, field.width, visualFoxPro && field.isBinary(), visualFoxPro);
}

ColumnType columnTypeOfDataType(const QString &dataType)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*([A-Za-z0-9@+])\s*(?:\(\s*(\d{1,9})\s*(?:,\s*\d{1,9}\s*)?\))?(.*)$)"));
    const QRegularExpressionMatch match = pattern.match(dataType);
    if (!match.hasMatch())
        return {platform::adUserDefined, 0};
    const char letter = match.captured(1).toUpper().at(0).toLatin1();
    const bool binary = match.captured(3).contains(QLatin1String("NOCPTRANS"), Qt::CaseInsensitive);
    // The letters a view field can have are Visual FoxPro's.
    return columnTypeOf(letter, match.captured(2).toInt(), binary, true);
}

} // namespace platform
