#pragma once

#include <QString>

// The device a configured port name stands for. On Linux COMn is
// /dev/ttyS(n-1), LPTn is /dev/lp(n-1), a name that starts with "/" is a
// device path and any other name is a device under /dev; such a name with "/"
// or ".." in it gives an empty path (it would lead elsewhere). On Windows the
// serial port module takes the name as it is.
QString devicePathFor(const QString &portName);
