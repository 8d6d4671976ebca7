#pragma once

#include "outputselection.h"

#include <QString>

// Where invoices go, as decided from the settings file's output selection.
struct OutputSetup
{
    bool useSerialPort = false;
    QString portName;    // port mode: the port; empty when the file names none
    QString printerName; // printer mode: the printer asked for; empty for the system's default
    QString portEncoding;  // port mode: as the file writes it; empty for UTF-8
    QString portCodeTable; // port mode: as the file writes it; empty for none
    bool portCutPaper = false;   // port mode: cut after each invoice
    bool portOpenDrawer = false; // port mode: open the cash drawer with each invoice

    bool operator==(const OutputSetup &other) const
    {
        return useSerialPort == other.useSerialPort && portName == other.portName && printerName == other.printerName
               && portEncoding == other.portEncoding && portCodeTable == other.portCodeTable
               && portCutPaper == other.portCutPaper && portOpenDrawer == other.portOpenDrawer;
    }
    bool operator!=(const OutputSetup &other) const { return !(*this == other); }
};

// A file without useSerialPort keeps the mode in use (`portModeNow`), with no
// port and the default printer. A printer asked for that is not installed
// falls back to the default when the printer is made.
OutputSetup decideOutput(const OutputSelection &selection, bool portModeNow);
