#include "serialport.h"

#include "portdevice.h"
#include "portname.h"

#include <QDeadlineTimer>

#include <limits>

const QByteArray SerialPort::statusRequest("\x10\x04\x02\x10\x04\x04", 6);

SerialPort::SerialPort(const QString &name, const SerialLine &line)
    : name(name)
    , settings(line)
{
}

SerialPort::~SerialPort()
{
    close();
}

int SerialPort::writeDeadlineMs(qint64 bytes)
{
    // 11 bits a byte at 9600 baud, twice over, and 2 s for the device to wake.
    return int(qMin<qint64>(2 * bytes * 11 * 1000 / 9600 + 2000, std::numeric_limits<int>::max()));
}

bool SerialPort::isOpen() const
{
    return device != nullptr;
}

bool SerialPort::open()
{
    close();
    if (const std::optional<NetworkPrinterAddress> address = networkPrinterAddress(name)) {
        device = PortDevice::openNetwork(*address, networkConnectMs, &error);
        return device != nullptr;
    }
    const QString path = devicePathFor(name);
    if (path.isEmpty()) {
        error = name.isEmpty() ? QStringLiteral("nema naziva porta")
                               : QStringLiteral("naziv porta \"%1\" nije ispravan").arg(name);
        return false;
    }
    // Name the device in errors only where it is not the port's own name.
    const QString where = path == name ? QString() : path + QLatin1String(": ");
    QString problem;
    device = PortDevice::open(path, settings, &problem);
    if (!device)
        error = where + problem;
    return device != nullptr;
}

bool SerialPort::deviceReady()
{
    return device && device->dataSetReady();
}

bool SerialPort::write(const QByteArray &bytes, const std::atomic<bool> *stop)
{
    if (!device) {
        error = QStringLiteral("port nije otvoren");
        return false;
    }
    static const std::atomic<bool> never{false};
    if (device->write(bytes, QDeadlineTimer(writeDeadlineMs(bytes.size())), stop ? *stop : never, &error))
        return true;
    device->discard(); // so that closing does not wait for it either
    return false;
}

QString SerialPort::printerProblem()
{
    if (!device)
        return QString();
    // A line that never answers costs every receipt this wait: short where
    // the answer takes a few milliseconds on the wire.
    const int waitMs = networkPrinterAddress(name) ? networkStatusWaitMs : lineStatusWaitMs;
    // DLE EOT 2 (why off line) and DLE EOT 4 (the roll's sensor): one byte
    // each, whose fixed bits say it is such an answer.
    const QByteArray answer = device->ask(statusRequest, 2, waitMs);
    const auto isStatus = [](char byte) { return (uchar(byte) & 0x93) == 0x12; };
    if (answer.size() != 2 || !isStatus(answer.at(0)) || !isStatus(answer.at(1)))
        return QString();
    const uchar offline = uchar(answer.at(0));
    const uchar roll = uchar(answer.at(1));
    if (offline & 0x04)
        return QStringLiteral("poklopac pisača je otvoren");
    if ((offline & 0x20) || (roll & 0x60) == 0x60)
        return QStringLiteral("u pisaču nema papira");
    return QString();
}

void SerialPort::close()
{
    device.reset();
}
