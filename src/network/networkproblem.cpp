#include "networkproblem.h"

#include <QCoreApplication>
#include <QUrl>

namespace {

QString hostOf(const QUrl &url)
{
    return url.port() >= 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
}

QString tr(const char *text)
{
    return QCoreApplication::translate("NetworkProblem", text);
}

} // namespace

bool isUnreachable(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::SslHandshakeFailedError:
        return true;
    default:
        return false;
    }
}

QString networkProblem(QNetworkReply::NetworkError error, const QUrl &url, const QString &errorString, int timeoutMs)
{
    QString why;
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        why = tr("veza odbijena");
        break;
    case QNetworkReply::HostNotFoundError:
        why = tr("adresa nije pronađena");
        break;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        why = timeoutMs > 0 ? tr("nema odgovora %1 s").arg(timeoutMs / 1000) : tr("nema odgovora");
        break;
    case QNetworkReply::RemoteHostClosedError:
        why = tr("veza je prekinuta");
        break;
    case QNetworkReply::SslHandshakeFailedError:
        why = tr("sigurna veza nije uspostavljena");
        break;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        why = tr("mreža nije dostupna");
        break;
    default:
        return errorString;
    }
    return tr("Servis %1 nije dostupan (%2)").arg(hostOf(url), why);
}
