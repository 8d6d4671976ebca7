#include "settingsfile.h"

#include "settingskeys.h"

#include <QSettings>
#include <QStringList>

QString settingsText(const QVariant &value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

SettingsFile::SettingsFile(const QString &path)
    : file(path)
{
}

StartupSettings SettingsFile::startup(const QString &serviceOrigin) const
{
    QSettings settings(file, QSettings::IniFormat);
    StartupSettings result;

    result.mainUrl = settingsText(settings.value(SettingsKeys::mainUrl));
    if (result.mainUrl.isEmpty())
        result.mainUrl = serviceOrigin + QLatin1String("/accounts/login");

    // An absent key keeps the default; a present one that is empty or not a
    // number gives 0.
    if (settings.contains(SettingsKeys::timeout))
        result.timeout = settingsText(settings.value(SettingsKeys::timeout)).toInt(nullptr, 10);

    return result;
}

OutputSelection SettingsFile::outputSelection() const
{
    QSettings settings(file, QSettings::IniFormat);
    OutputSelection selection;
    selection.hasMode = settings.contains(SettingsKeys::useSerialPort);
    selection.hasPort = settings.contains(SettingsKeys::printerPort);
    // Qt's rule for text: empty, "0" and "false" in any case are false.
    selection.choice = PrinterInfo(settingsText(settings.value(SettingsKeys::printerPort)),
                                   QVariant(settingsText(settings.value(SettingsKeys::useSerialPort))).toBool(),
                                   settingsText(settings.value(SettingsKeys::friendlyName)));
    return selection;
}

void SettingsFile::writeOutputSelection(const PrinterInfo &selection) const
{
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(SettingsKeys::printerPort, selection.printerPort);
    settings.setValue(SettingsKeys::useSerialPort, selection.useSerialPort);
    settings.setValue(SettingsKeys::friendlyName, selection.friendlyName);
}

QString SettingsFile::checkForNewVersionUrl() const
{
    QSettings settings(file, QSettings::IniFormat);
    return settingsText(settings.value(SettingsKeys::checkForNewVersionUrl));
}

double SettingsFile::version() const
{
    QSettings settings(file, QSettings::IniFormat);
    bool ok = false;
    const double version = settingsText(settings.value(SettingsKeys::version)).toDouble(&ok);
    return ok ? version : 0;
}

bool SettingsFile::writeVersion(double version) const
{
    {
        QSettings settings(file, QSettings::IniFormat);
        const QVariant previous = settings.value(SettingsKeys::version);
        settings.setValue(SettingsKeys::version, version);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            // Qt keeps unsaved values for the file in memory, where the next
            // write of any key would save them after all: take it back.
            if (previous.isValid())
                settings.setValue(SettingsKeys::version, previous);
            else
                settings.remove(SettingsKeys::version);
            return false;
        }
    }
    return this->version() == version;
}
