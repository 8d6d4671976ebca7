#pragma once

#include <QString>

#include <optional>

// A receipt printer on the network, taking raw bytes over TCP (JetDirect,
// usually port 9100).
struct NetworkPrinterAddress
{
    QString host; // a name, an IPv4 address, or an IPv6 address without brackets
    quint16 port = 0;
};

// "HOST:PORT" or "[IPv6]:PORT" (port 1 to 65535) names a network printer;
// any other name does not.
std::optional<NetworkPrinterAddress> networkPrinterAddress(const QString &portName);

// The device a configured port name stands for. On Linux COMn is
// /dev/ttyS(n-1), LPTn is /dev/lp(n-1), a name that starts with "/" is a
// device path and any other name is a device under /dev; such a name with "/"
// or ".." in it gives an empty path (it would lead elsewhere). On Windows the
// serial port module takes the name as it is. A network printer's name is
// its own address, on every system.
QString devicePathFor(const QString &portName);
