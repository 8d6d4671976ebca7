#include "reportaddress.h"

#include <QCoreApplication>

QUrl reportAddress(const QString &serviceOrigin, const QString &path, QString *problem)
{
    const QUrl origin(serviceOrigin, QUrl::TolerantMode);
    // An empty path asks for the service's own front page, as it always has.
    const bool pathOnly = path.isEmpty() || (path.startsWith(QLatin1Char('/')) && !path.startsWith(QLatin1String("//")));
    const QUrl address(serviceOrigin + path, QUrl::TolerantMode);
    if (pathOnly && address.isValid() && address.scheme() == origin.scheme() && address.host() == origin.host()
        && address.port() == origin.port() && address.userInfo().isEmpty())
        return address;
    if (problem)
        *problem = QCoreApplication::translate("ReportAddress", "adresa izvještaja „%1” ne vodi na servis %2")
                       .arg(path, origin.host());
    return QUrl();
}
