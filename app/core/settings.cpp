#include "app/core/settings.h"

#include "platform/failure.h"

#include <QSettings>

namespace app {

namespace {

QString describe(QSettings::Status status, const QSettings &store)
{
    const QString what = status == QSettings::AccessError
        ? QStringLiteral("cannot be accessed")
        : QStringLiteral("is not in a readable format");
    return QStringLiteral("The settings store '%1' %2.").arg(store.fileName(), what);
}

} // namespace

QString readSetting(const QString &key)
{
    QSettings store(QStringLiteral("Tarnvista"), QStringLiteral("Orvalle"));
    if (store.status() != QSettings::NoError)
        throw Failure(describe(store.status(), store));
    return store.value(key).toString();
}

void saveSetting(const QString &key, const QString &value)
{
    QSettings store(QStringLiteral("Tarnvista"), QStringLiteral("Orvalle"));
    store.setValue(key, value);
    store.sync();
    if (store.status() != QSettings::NoError)
        throw Failure(describe(store.status(), store));
}

} // namespace app
