#include "startupsettings.h"

#include "serviceorigin.h"
#include "settingskeys.h"

#include <QSettings>
#include <QStringList>

QString settingsText(const QVariant &value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

StartupSettings readStartupSettings()
{
    QSettings settings(SettingsKeys::fileName, QSettings::IniFormat);
    StartupSettings result;

    result.mainUrl = settingsText(settings.value(SettingsKeys::mainUrl));
    if (result.mainUrl.isEmpty())
        result.mainUrl = ServiceOrigin::value() + QLatin1String("/accounts/login");

    // An absent key keeps the default; a present one that is empty or not a
    // number gives 0.
    if (settings.contains(SettingsKeys::timeout))
        result.timeout = settingsText(settings.value(SettingsKeys::timeout)).toInt(nullptr, 10);

    return result;
}
