#include "outputchoice.h"

#include "portname.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("OutputChoice", text);
}

} // namespace

QString printerEntryText(const QString &name, bool isDefault)
{
    return isDefault ? tr("Pisač: %1 (zadani)").arg(name) : tr("Pisač: %1").arg(name);
}

QString portEntryText(const QString &name)
{
    const QString device = devicePathFor(name);
    if (device == name)
        return tr("Port: %1").arg(name);
    return tr("Port: %1 (%2)").arg(name, device.isEmpty() ? tr("neispravan naziv") : device);
}

QList<PortEntry> portEntries(const QStringList &printerNames, const QString &defaultPrinter)
{
    QList<PortEntry> entries;
    for (const QString &name : printerNames)
        entries.append({printerEntryText(name, name == defaultPrinter), PrinterInfo(name, false, QString())});
    for (const char *port : {"COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2"}) {
        const QString name = QLatin1String(port);
        entries.append({portEntryText(name), PrinterInfo(name, true, name)});
    }
    return entries;
}

int entryInUse(const QList<PortEntry> &entries, bool portMode, const QString &name, const QString &friendlyName,
               const QString &defaultPrinter, QString *note)
{
    auto find = [&entries](bool port, const QString &wanted) {
        for (int i = 0; i < entries.size(); ++i) {
            if (entries.at(i).info.useSerialPort == port && entries.at(i).info.printerPort == wanted)
                return i;
        }
        return -1;
    };
    if (portMode) {
        const int byName = find(true, name);
        return byName >= 0 || friendlyName.isEmpty() ? byName : find(true, friendlyName);
    }
    const int named = name.isEmpty() ? -1 : find(false, name);
    if (named >= 0)
        return named;
    const int fallback = defaultPrinter.isEmpty() ? -1 : find(false, defaultPrinter);
    if (!name.isEmpty() && note) {
        *note = fallback >= 0 ? tr("Pisač „%1” nije instaliran; računi idu na zadani pisač %2.").arg(name, defaultPrinter)
                              : tr("Pisač „%1” nije instaliran, a zadanog pisača nema.").arg(name);
    } else if (fallback < 0 && note) {
        *note = tr("Nema instaliranog pisača.");
    }
    return fallback;
}

std::optional<PrinterInfo> selectionToSave(bool editorHidden, const QString &typedName,
                                           const std::optional<PrinterInfo> &current)
{
    if (!editorHidden) {
        const QString name = typedName.trimmed();
        if (name.isEmpty())
            return std::nullopt;
        return PrinterInfo(name, true, QString());
    }
    return current;
}

PrinterInfo keepingStoredName(const PrinterInfo &chosen, const OutputSelection &stored)
{
    if (!stored.hasPort || !stored.hasMode || stored.choice.printerPort != chosen.printerPort
        || stored.choice.useSerialPort != chosen.useSerialPort)
        return chosen;
    return PrinterInfo(chosen.printerPort, chosen.useSerialPort, stored.choice.friendlyName);
}
