#include "app/core/apptitle.h"

namespace app {

namespace {
QString title = ProductName;
}

QString appTitleFor(const QString &productName)
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

void setAppTitle()
{
    title = appTitleFor(ProductName);
}

const QString &appTitle()
{
    return title;
}

} // namespace app
