#include "settingsfile.h"

#include "settingskeys.h"

#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryFile>

#include <memory>

namespace {

// The INI reader would take a byte-order mark for part of the first key and
// lose that key. The mark goes from the file (its text stays as it was);
// where the file cannot be rewritten, it is read from a copy without it.
std::unique_ptr<QSettings> openSettings(const QString &file)
{
    QFile in(file);
    if (in.open(QIODevice::ReadOnly) && in.peek(3) == QByteArray("\xEF\xBB\xBF")) {
        const QByteArray text = in.readAll().mid(3);
        in.close();
        QSaveFile out(file);
        if (!(out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit())) {
            static QTemporaryFile copy; // lives as long as the program may read it
            if (copy.open()) {
                copy.resize(0);
                copy.write(text);
                copy.flush();
                return std::make_unique<QSettings>(copy.fileName(), QSettings::IniFormat);
            }
        }
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

// Sets the keys (with `emptyRemoves`, an empty value removes its key) and saves them. When the
// file does not take them, they are taken back: Qt keeps unsaved values for
// the file in memory, where every later read would see them as if saved.
bool writeKeys(QSettings &settings, const QList<std::pair<QLatin1String, QVariant>> &values, bool emptyRemoves)
{
    QList<std::pair<QLatin1String, QVariant>> previous;
    for (const auto &[key, value] : values) {
        previous.append({key, settings.value(key)});
        if (emptyRemoves && value.toString().isEmpty())
            settings.remove(key);
        else
            settings.setValue(key, value);
    }
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    for (const auto &[key, value] : previous) {
        if (value.isValid())
            settings.setValue(key, value);
        else
            settings.remove(key);
    }
    return false;
}

} // namespace

QString settingsText(const QVariant &value)
{
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

SettingsFile::SettingsFile(const QString &path)
    : file(path)
{
}

StartupSettings SettingsFile::startup(const QString &serviceOrigin) const
{
    auto opened = openSettings(file);
    QSettings &settings = *opened;
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
    auto opened = openSettings(file);
    QSettings &settings = *opened;
    OutputSelection selection;
    selection.hasMode = settings.contains(SettingsKeys::useSerialPort);
    selection.hasPort = settings.contains(SettingsKeys::printerPort);
    // Qt's rule for text: empty, "0" and "false" in any case are false.
    selection.choice = PrinterInfo(settingsText(settings.value(SettingsKeys::printerPort)),
                                   QVariant(settingsText(settings.value(SettingsKeys::useSerialPort))).toBool(),
                                   settingsText(settings.value(SettingsKeys::friendlyName)));
    selection.portEncoding = settingsText(settings.value(SettingsKeys::portEncoding));
    selection.portCodeTable = settingsText(settings.value(SettingsKeys::portCodeTable));
    selection.portCutPaper = QVariant(settingsText(settings.value(SettingsKeys::portCutPaper))).toBool();
    selection.portOpenDrawer = QVariant(settingsText(settings.value(SettingsKeys::portOpenDrawer))).toBool();
    return selection;
}

bool SettingsFile::writeOutputSelection(const PrinterInfo &selection) const
{
    auto opened = openSettings(file);
    QSettings &settings = *opened;
    return writeKeys(settings,
                     {{SettingsKeys::printerPort, selection.printerPort},
                      {SettingsKeys::useSerialPort, selection.useSerialPort},
                      {SettingsKeys::friendlyName, selection.friendlyName}},
                     false);
}

bool SettingsFile::writePortEncoding(const QString &encoding, const QString &codeTable) const
{
    auto opened = openSettings(file);
    QSettings &settings = *opened;
    return writeKeys(settings, {{SettingsKeys::portEncoding, encoding}, {SettingsKeys::portCodeTable, codeTable}}, true);
}

bool SettingsFile::writePortActions(bool cutPaper, bool openDrawer) const
{
    auto opened = openSettings(file);
    QSettings &settings = *opened;
    // Written out either way: "false" here also overrides a preset that says "true".
    return writeKeys(settings,
                     {{SettingsKeys::portCutPaper, cutPaper ? QStringLiteral("true") : QStringLiteral("false")},
                      {SettingsKeys::portOpenDrawer, openDrawer ? QStringLiteral("true") : QStringLiteral("false")}},
                     false);
}

QString SettingsFile::checkForNewVersionUrl() const
{
    auto opened = openSettings(file);
    QSettings &settings = *opened;
    return settingsText(settings.value(SettingsKeys::checkForNewVersionUrl));
}

double SettingsFile::version() const
{
    auto opened = openSettings(file);
    QSettings &settings = *opened;
    bool ok = false;
    const double version = settingsText(settings.value(SettingsKeys::version)).toDouble(&ok);
    return ok ? version : 0;
}

bool SettingsFile::writeVersion(double version) const
{
    {
        auto opened = openSettings(file);
        QSettings &settings = *opened;
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
