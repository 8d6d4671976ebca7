#pragma once

#include <QString>

class QFile;

// The few operating-system calls the port layer needs beyond Qt; one
// implementation file per platform.
namespace PortDevice {

// Whether the device at `path` is a terminal (a serial line) rather than a
// plain device file such as a parallel or USB printer node.
bool isTerminal(const QString &path);

// Blocks until every byte written to the open device `handle` has left the
// system's buffers. Returns false when the system says it could not.
bool drain(qintptr handle);

// Takes the plain device file for this process alone; false when another
// holder has it.
bool lockExclusive(QFile &file);

} // namespace PortDevice
