#include "apptitle.h"

namespace Main {

namespace {
QString title = ProductName;
}

QString AppTitleFor(const QString &productName)
{
    QString result = productName;
    do {
        const qsizetype blank = result.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        result.truncate(blank);
    } while (result.size() > 40);
    return result;
}

void SetAppTitle()
{
    title = AppTitleFor(ProductName);
}

const QString &AppTitle()
{
    return title;
}

} // namespace Main
