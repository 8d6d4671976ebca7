#include "origin.h"

QString webOrigin(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return QString();
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    const int port = url.port(defaultPort);
    // QUrl keeps an IPv6 host without its brackets.
    QString host = url.host(QUrl::FullyEncoded).toLower();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    QString origin = scheme + QLatin1String("://") + host;
    if (port != defaultPort)
        origin += QLatin1Char(':') + QString::number(port);
    return origin;
}

bool isFromOrigins(const QUrl &url, const QList<QUrl> &origins)
{
    const QString origin = webOrigin(url);
    if (origin.isEmpty())
        return false;
    for (const QUrl &allowed : origins) {
        if (webOrigin(allowed) == origin)
            return true;
    }
    return false;
}
