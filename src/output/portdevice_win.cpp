// Windows: the serial port module opens ports by name, exclusively.
#include "portdevice.h"

#include <QSerialPort>

namespace PortDevice {
namespace {

class WindowsDevice final : public Device
{
public:
    explicit WindowsDevice(std::unique_ptr<QSerialPort> port)
        : port(std::move(port))
    {
    }

    bool dataSetReady() override
    {
        const QSerialPort::PinoutSignals pins = port->pinoutSignals();
        if (port->error() != QSerialPort::NoError) {
            port->clearError();
            return false;
        }
        return pins & QSerialPort::DataSetReadySignal;
    }

    bool write(const QByteArray &bytes, QDeadlineTimer deadline, const std::atomic<bool> &stop,
               QString *error) override
    {
        if (port->write(bytes) != bytes.size()) {
            *error = port->errorString();
            return false;
        }
        // In short waits, so that a stop is seen.
        while (port->bytesToWrite() > 0) {
            if (stop) {
                *error = stoppedText();
                return false;
            }
            if (deadline.hasExpired()) {
                *error = QStringLiteral("uređaj ne prima podatke");
                return false;
            }
            if (!port->waitForBytesWritten(int(qBound<qint64>(1, deadline.remainingTime(), 100)))
                && port->error() != QSerialPort::TimeoutError) {
                *error = port->errorString();
                return false;
            }
        }
        return true;
    }

    void discard() override { port->clear(QSerialPort::Output); }

private:
    std::unique_ptr<QSerialPort> port;
};

} // namespace

std::unique_ptr<Device> open(const QString &path, const SerialLine &line, QString *error)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    if (!port->open(QIODevice::ReadWrite)) {
        *error = port->errorString();
        return nullptr;
    }
    if (!(port->setBaudRate(line.baudRate) && port->setFlowControl(line.flowControl) && port->setParity(line.parity)
          && port->setDataBits(line.dataBits) && port->setStopBits(line.stopBits))) {
        *error = QStringLiteral("postavke linije se ne mogu primijeniti (%1)").arg(port->errorString());
        return nullptr;
    }
    return std::make_unique<WindowsDevice>(std::move(port));
}

} // namespace PortDevice
