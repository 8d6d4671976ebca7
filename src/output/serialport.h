#pragma once

#include "serialline.h"

#include <QString>

#include <atomic>
#include <memory>

namespace PortDevice {
class Device;
}

// A receipt printer's port by name, closed at rest: it opens for one invoice
// (once: opening a serial line twice can pulse its modem lines), takes the
// bytes, and closes again. A device that is not a terminal (a parallel or USB
// printer node, a FIFO) is written as a plain device file. A name that leads
// to a regular file or a folder is refused, never written over. A name
// "HOST:PORT" is a printer on the network, written over one TCP connection
// that closes once every byte is sent.
class SerialPort final
{
public:
    explicit SerialPort(const QString &name, const SerialLine &line = SerialLine());
    ~SerialPort();

    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    QString portName() const { return name; }
    SerialLine line() const { return settings; }

    // Read-write and exclusive; a serial line gets the line settings before
    // this returns true.
    bool open();
    bool isOpen() const;
    // Whether the device asserts DSR; false when the modem lines cannot be read.
    bool deviceReady();
    // Hands all the bytes to the device and waits until it has taken them,
    // for at most twice their time on the line at 9600 baud 8N2 plus 2 s, or
    // until `stop` is set; then what it has not taken is dropped and the
    // write fails.
    bool write(const QByteArray &bytes, const std::atomic<bool> *stop = nullptr);
    void close();

    // Why the printer would not print now, as it says in answer to ESC/POS
    // real-time status (DLE EOT): no paper, or its cover open. Empty when
    // it is ready, or does not answer in time (a printer that cannot say is
    // written to as it is). Asked of network printers and serial lines; a
    // parallel or USB device node is not asked.
    QString printerProblem();

    // The longest `write` waits for so many bytes.
    static int writeDeadlineMs(qint64 bytes);
    // What `printerProblem` sends.
    static const QByteArray statusRequest;
    // How long a network printer has to take the connection.
    static constexpr int networkConnectMs = 5000;
    // How long a printer has to answer its status.
    static constexpr int networkStatusWaitMs = 500;
    static constexpr int lineStatusWaitMs = 300;

    // Why the last open or write failed.
    QString errorString() const { return error; }

private:
    QString name;
    SerialLine settings;
    std::unique_ptr<PortDevice::Device> device;
    QString error;
};
