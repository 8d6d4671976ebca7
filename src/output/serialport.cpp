#include "serialport.h"

#include "portdevice.h"
#include "portname.h"

#include <QFile>

namespace {

// Time for the system to take the bytes: generous even at 1200 baud for a
// receipt, short enough that a stuck device does not freeze the window for long.
int writeDeadlineMs(qint64 bytes)
{
    return 5000 + static_cast<int>(qMin<qint64>(bytes, 1 << 20) * 10);
}

} // namespace

SerialPort::SerialPort(const QString &name, const SerialLine &line)
    : name(name)
    , settings(line)
{
}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::isOpen() const
{
    return serial || plain;
}

bool SerialPort::open()
{
    close();
    const QString path = devicePathFor(name);
    // Name the device in errors only where it is not the port's own name.
    const QString where = path == name ? QString() : path + QLatin1String(": ");
    if (path.isEmpty()) {
        error = QStringLiteral("nema naziva porta");
        return false;
    }

    if (!PortDevice::isTerminal(path)) {
        auto file = std::make_unique<QFile>(path);
        // A device is never created: a mistyped name must not leave a file behind.
        if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered | QIODevice::ExistingOnly)) {
            error = where + file->errorString();
            return false;
        }
        if (!PortDevice::lockExclusive(*file)) {
            error = where + QStringLiteral("uredjaj koristi drugi program");
            return false;
        }
        plain = std::move(file);
        return true;
    }

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    if (!port->open(QIODevice::ReadWrite)) {
        error = where + port->errorString();
        return false;
    }
    // Leave the line as configured when closing: restoring the previous
    // terminal settings at close could change the line under the last bytes.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    port->setSettingsRestoredOnClose(false);
    QT_WARNING_POP
    serial = std::move(port);
    if (!applySettings()) {
        error = where + QStringLiteral("postavke linije se ne mogu primijeniti (%1)").arg(serial->errorString());
        close();
        return false;
    }
    return true;
}

bool SerialPort::applySettings()
{
    return serial->setBaudRate(settings.baudRate) && serial->setFlowControl(settings.flowControl)
           && serial->setParity(settings.parity) && serial->setDataBits(settings.dataBits)
           && serial->setStopBits(settings.stopBits);
}

bool SerialPort::deviceReady()
{
    if (!serial)
        return false;
    const QSerialPort::PinoutSignals pins = serial->pinoutSignals();
    if (serial->error() != QSerialPort::NoError) {
        serial->clearError();
        return false;
    }
    return pins & QSerialPort::DataSetReadySignal;
}

bool SerialPort::write(const QByteArray &bytes)
{
    if (plain) {
        if (plain->write(bytes) != bytes.size()) {
            error = plain->errorString();
            return false;
        }
        return true;
    }
    if (!serial) {
        error = QStringLiteral("port nije otvoren");
        return false;
    }
    if (serial->write(bytes) != bytes.size()) {
        error = serial->errorString();
        return false;
    }
    // Hand everything to the system before returning, as a blocking write would.
    while (serial->bytesToWrite() > 0) {
        if (!serial->waitForBytesWritten(writeDeadlineMs(bytes.size()))) {
            error = serial->error() == QSerialPort::TimeoutError
                        ? QStringLiteral("uredjaj ne prima podatke")
                        : serial->errorString();
            return false;
        }
    }
    return true;
}

bool SerialPort::flush()
{
    if (plain)
        return plain->flush(); // unbuffered: the driver already holds the bytes
    if (!serial)
        return false;
    serial->flush();
    return PortDevice::drain(serial->handle());
}

void SerialPort::close()
{
    if (serial) {
        serial->close();
        serial.reset();
    }
    if (plain) {
        plain->close();
        plain.reset();
    }
}
