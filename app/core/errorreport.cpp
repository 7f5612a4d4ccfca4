#include "app/core/errorreport.h"

#ifndef ORVALLE_SUPPORT_EMAIL
#define ORVALLE_SUPPORT_EMAIL "support@tarnvista.example"
#endif

namespace app {

QString errorLocation(const char *routine)
{
    return QStringLiteral("in Orvallix2021/08/31.") + QLatin1String(routine) + QLatin1Char(' ');
}

QString errorMessage(const QString &description, const QString &location, int label)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ")
        + QString::number(label) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ")
        + QStringLiteral(ORVALLE_SUPPORT_EMAIL);
}

} // namespace app
