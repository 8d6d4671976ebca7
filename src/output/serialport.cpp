#include "serialport.h"

#include "portdevice.h"
#include "portname.h"

#include <QFile>
#include <QSerialPort>

#include <cstring>

namespace {

QSerialPort::FlowControl toQt(SerialPort::FlowType flow)
{
    switch (flow) {
    case SerialPort::FLOW_HARDWARE: return QSerialPort::HardwareControl;
    case SerialPort::FLOW_XONXOFF: return QSerialPort::SoftwareControl;
    case SerialPort::FLOW_OFF: break;
    }
    return QSerialPort::NoFlowControl;
}

QSerialPort::Parity toQt(SerialPort::ParityType parity)
{
    switch (parity) {
    case SerialPort::PAR_ODD: return QSerialPort::OddParity;
    case SerialPort::PAR_EVEN: return QSerialPort::EvenParity;
    case SerialPort::PAR_SPACE: return QSerialPort::SpaceParity;
    case SerialPort::PAR_MARK: return QSerialPort::MarkParity;
    case SerialPort::PAR_NONE: break;
    }
    return QSerialPort::NoParity;
}

// Time for the system to take the bytes: generous even at 1200 baud for a
// receipt, short enough that a stuck device does not freeze the window for long.
int writeDeadlineMs(qint64 bytes)
{
    return 5000 + static_cast<int>(qMin<qint64>(bytes, 1 << 20) * 10);
}

} // namespace

SerialPort::SerialPort(const QString &name, QueryMode mode)
    : name(name)
    , mode(mode)
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

bool SerialPort::open(QIODevice::OpenMode openMode)
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
        if (!file->open(openMode | QIODevice::Unbuffered | QIODevice::ExistingOnly)) {
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
    if (!port->open(openMode)) {
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
    return serial->setBaudRate(settings.baudRate)
           && serial->setFlowControl(toQt(settings.flowControl))
           && serial->setParity(toQt(settings.parity))
           && serial->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits))
           && serial->setStopBits(settings.stopBits == STOP_2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
}

unsigned long SerialPort::lineStatus()
{
    if (!serial)
        return 0;
    const QSerialPort::PinoutSignals pins = serial->pinoutSignals();
    if (serial->error() != QSerialPort::NoError) {
        serial->clearError();
        return 0;
    }
    unsigned long status = 0;
    if (pins & QSerialPort::ClearToSendSignal)
        status |= LS_CTS;
    if (pins & QSerialPort::DataSetReadySignal)
        status |= LS_DSR;
    if (pins & QSerialPort::DataCarrierDetectSignal)
        status |= LS_DCD;
    if (pins & QSerialPort::RingIndicatorSignal)
        status |= LS_RI;
    if (pins & QSerialPort::RequestToSendSignal)
        status |= LS_RTS;
    if (pins & QSerialPort::DataTerminalReadySignal)
        status |= LS_DTR;
    return status;
}

qint64 SerialPort::write(const char *data)
{
    const qint64 length = static_cast<qint64>(std::strlen(data));
    if (plain) {
        const qint64 written = plain->write(data, length);
        if (written != length) {
            error = plain->errorString();
            return -1;
        }
        return written;
    }
    if (!serial) {
        error = QStringLiteral("port nije otvoren");
        return -1;
    }
    if (serial->write(data, length) != length) {
        error = serial->errorString();
        return -1;
    }
    // Hand everything to the system before returning, as a blocking write would.
    while (serial->bytesToWrite() > 0) {
        if (!serial->waitForBytesWritten(writeDeadlineMs(length))) {
            error = serial->error() == QSerialPort::TimeoutError
                        ? QStringLiteral("uredjaj ne prima podatke")
                        : serial->errorString();
            return -1;
        }
    }
    return length;
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
