#include "portdevice.h"

#include <QFile>

#include <windows.h>

namespace PortDevice {

bool isTerminal(const QString &path)
{
    Q_UNUSED(path)
    return true; // every port name goes to the serial port module
}

bool drain(qintptr handle)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool lockExclusive(QFile &file)
{
    Q_UNUSED(file) // Windows opens devices exclusively by itself
    return true;
}

} // namespace PortDevice
