#include "outputchoice.h"

QList<PortEntry> portEntries(const QStringList &printerNames)
{
    QList<PortEntry> entries;
    for (const QString &name : printerNames)
        entries.append({name, PrinterInfo(name, false, QString())});
    for (const char *port : {"COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2"}) {
        const QString name = QLatin1String(port);
        entries.append({name, PrinterInfo(name, true, name)});
    }
    return entries;
}

int findSavedEntry(const QStringList &entryTexts, const PrinterInfo &saved)
{
    const int byName = entryTexts.indexOf(saved.printerPort);
    if (byName >= 0)
        return byName;
    return entryTexts.indexOf(saved.friendlyName);
}

std::optional<PrinterInfo> selectionToSave(bool editorHidden, const QString &typedName,
                                           const std::optional<PrinterInfo> &current)
{
    if (!editorHidden) {
        if (typedName.isEmpty())
            return std::nullopt;
        return PrinterInfo(typedName, true, QString());
    }
    return current;
}
