#include "UpgradeSettings.h"

#include "data/SettingsStore.h"

QDate UpgradeSettings::releaseDate()
{
    return QDate::fromString(QStringLiteral(LWJXC_RELEASE_DATE), Qt::ISODate);
}

QUrl UpgradeSettings::defaultInfoUrl()
{
    return QUrl(QStringLiteral("https://www.lanwei-xiangbao.cn/upgrade/lwjxc.inf"));
}

QUrl UpgradeSettings::infoUrl(const SettingsStore &settings)
{
    const QString fromEnvironment = qEnvironmentVariable("LWJXC_UPGRADE_URL");
    if (!fromEnvironment.isEmpty())
        return QUrl(fromEnvironment);
    const QString stored = settings.value(InfoUrlKey);
    if (!stored.isEmpty())
        return QUrl(stored);
    return defaultInfoUrl();
}
