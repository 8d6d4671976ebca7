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

// How a printer and a port read in the list: "Pisač: Kasa_Epson (zadani)",
// "Port: COM1 (/dev/ttyS0)".
QString printerEntryText(const QString &name, bool isDefault);
QString portEntryText(const QString &name);

// The installed printers in the system's order (the default one marked),
// then the six fixed ports with their devices. Nothing is sorted or
// de-duplicated.
QList<PortEntry> portEntries(const QStringList &printerNames, const QString &defaultPrinter = QString());

// The entry of the output in use: in port mode the port (by name, else by the
// saved friendlyName); in printer mode the printer named, or the default one
// when it names none or one not installed (then `note` says so). -1 when no
// entry is that output: a port of its own gets an entry appended by the
// caller; a printer mode without any printer has none.
int entryInUse(const QList<PortEntry> &entries, bool portMode, const QString &name, const QString &friendlyName,
               const QString &defaultPrinter, QString *note);

// What OK writes. With the port-name editor shown, a typed name (without the
// blanks around it) as a port; an empty one writes nothing at all. With the
// editor hidden, the current entry, if there is one.
std::optional<PrinterInfo> selectionToSave(bool editorHidden, const QString &typedName,
                                           const std::optional<PrinterInfo> &current);

// The chosen output with what the dialog does not show of the stored one
// kept: the stored friendlyName (which an IT person may have preset) stays
// while the output itself stays the same.
PrinterInfo keepingStoredName(const PrinterInfo &chosen, const OutputSelection &stored);
