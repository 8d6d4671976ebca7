#pragma once

#include "portname.h"
#include "serialline.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <atomic>
#include <memory>

// The operating-system side of a port; one implementation file per platform.
namespace PortDevice {

// Why a write that was stopped from outside failed.
inline QString stoppedText()
{
    return QStringLiteral("ispis je prekinut");
}

// One open device, for one invoice.
class Device
{
public:
    virtual ~Device() = default;

    // Whether the device asserts DSR; false when it has no modem lines.
    virtual bool dataSetReady() = 0;
    // Writes all the bytes and waits until the device has taken them, both
    // by `deadline` ("uređaj ne prima podatke" past it), or until `stop` is
    // set ("ispis je prekinut"). Never blocks past either.
    virtual bool write(const QByteArray &bytes, QDeadlineTimer deadline, const std::atomic<bool> &stop,
                       QString *error) = 0;
    // Drops what the device has not taken yet.
    virtual void discard() = 0;
    // Sends `request` and returns the `answerBytes` bytes the device answers
    // within `waitMs`; empty when it does not answer (or cannot be asked).
    virtual QByteArray ask(const QByteArray &request, int answerBytes, int waitMs)
    {
        Q_UNUSED(request) Q_UNUSED(answerBytes) Q_UNUSED(waitMs)
        return QByteArray();
    }
};

// Opens the device at `path` once, read-write and for this process alone; a
// serial line gets `line`. A regular file or a folder is refused, and
// nothing is ever created.
std::unique_ptr<Device> open(const QString &path, const SerialLine &line, QString *error);

// Connects to a network printer within `timeoutMs`. The same on every system
// (portdevice_network.cpp).
std::unique_ptr<Device> openNetwork(const NetworkPrinterAddress &address, int timeoutMs, QString *error);

} // namespace PortDevice
