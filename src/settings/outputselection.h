#pragma once

#include <QMetaType>
#include <QString>

#include <optional>

// The output selection the settings dialog writes: one printer or port.
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

// The output selection as the settings file holds it; a key may be missing.
struct OutputSelection
{
    bool hasMode = false; // useSerialPort present
    bool hasPort = false; // printerPort present
    PrinterInfo choice;   // missing keys read as empty text and false
    QString portEncoding; // as written; empty for UTF-8
    QString portCodeTable; // as written; empty for none
    bool portCutPaper = false;
    bool portOpenDrawer = false;

    // The selection, when both printerPort and useSerialPort are present.
    std::optional<PrinterInfo> complete() const
    {
        if (!hasMode || !hasPort)
            return std::nullopt;
        return choice;
    }
};
