#include "portname.h"

#include <QRegularExpression>

QString devicePathFor(const QString &portName)
{
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
