#include "portname.h"

#include <QRegularExpression>

std::optional<NetworkPrinterAddress> networkPrinterAddress(const QString &portName)
{
    // A host name, an IPv4 address, or an IPv6 address in brackets; then a port.
    static const QRegularExpression address(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?)):([0-9]{1,5})$"));
    const QRegularExpressionMatch match = address.match(portName);
    if (!match.hasMatch())
        return std::nullopt;
    const int port = match.captured(3).toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    const QString host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    return NetworkPrinterAddress{host, quint16(port)};
}

QString devicePathFor(const QString &portName)
{
    if (networkPrinterAddress(portName))
        return portName;
#ifdef Q_OS_WIN
    return portName;
#else
    if (portName.isEmpty())
        return QString();
    if (portName.startsWith(QLatin1Char('/')))
        return portName;
    // Any other name is a device directly under /dev, and stays there.
    if (portName.contains(QLatin1Char('/')) || portName.contains(QLatin1String("..")))
        return QString();

    static const QRegularExpression numbered(QStringLiteral("^(COM|LPT)([0-9]+)$"));
    const QRegularExpressionMatch match = numbered.match(portName);
    if (match.hasMatch()) {
        bool ok = false;
        const int number = match.captured(2).toInt(&ok);
        if (ok && number >= 1) {
            const QLatin1String base(match.captured(1) == QLatin1String("COM") ? "/dev/ttyS" : "/dev/lp");
            return base + QString::number(number - 1);
        }
    }
    return QLatin1String("/dev/") + portName;
#endif
}
