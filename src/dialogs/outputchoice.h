#pragma once

#include "outputselection.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One entry of the printer/port list: its text and what OK writes when it
// is chosen.
struct PortEntry
{
    QString text;
    PrinterInfo info;
};

// The installed printers in the system's order, then the six fixed ports.
// Nothing is sorted or de-duplicated.
QList<PortEntry> portEntries(const QStringList &printerNames);

// The entry to make current for a saved selection: the first whose text is
// the saved printerPort, else the first whose text is its friendlyName, else
// -1 (the selection gets an entry of its own).
int findSavedEntry(const QStringList &entryTexts, const PrinterInfo &saved);

// What OK writes. With the port-name editor shown, a non-empty typed name
// (unchanged) as a port; an empty one writes nothing at all. With the editor
// hidden, the current entry, if there is one.
std::optional<PrinterInfo> selectionToSave(bool editorHidden, const QString &typedName,
                                           const std::optional<PrinterInfo> &current);
