#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

// One entry of the printer/port list: what OK writes when it is chosen.
struct PrinterInfo
{
    QString printerPort;  // printer name or port name
    QString friendlyName; // the port name for a fixed port, empty otherwise
    bool useSerialPort = false;

    PrinterInfo() = default;
    PrinterInfo(const QString &printerPort, bool useSerialPort, const QString &friendlyName)
        : printerPort(printerPort), friendlyName(friendlyName), useSerialPort(useSerialPort)
    {
    }

    bool operator==(const PrinterInfo &other) const
    {
        return printerPort == other.printerPort && friendlyName == other.friendlyName
               && useSerialPort == other.useSerialPort;
    }
};

Q_DECLARE_METATYPE(PrinterInfo)

struct PortEntry
{
    QString text;
    PrinterInfo info;
};

// The installed printers in the system's order, then the six fixed ports.
// Nothing is sorted or de-duplicated.
QList<PortEntry> portEntries(const QStringList &printerNames);

// The output selection the settings file holds; nothing when printerPort or
// useSerialPort is missing.
std::optional<PrinterInfo> readSavedSelection();

// The entry to make current for a saved selection: the first whose text is
// the saved printerPort, else the first whose text is its friendlyName, else
// -1 (the selection gets an entry of its own).
int findSavedEntry(const QStringList &entryTexts, const PrinterInfo &saved);

// What OK writes. With the port-name editor shown, a non-empty typed name
// (unchanged) as a port; an empty one writes nothing at all. With the editor
// hidden, the current entry, if there is one.
std::optional<PrinterInfo> selectionToSave(bool editorHidden, const QString &typedName,
                                           const std::optional<PrinterInfo> &current);

// Writes printerPort, useSerialPort and friendlyName; other keys stay.
void writeOutputSelection(const PrinterInfo &selection);
