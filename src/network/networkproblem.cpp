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

QString networkReason(QNetworkReply::NetworkError error, int timeoutMs)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return tr("veza odbijena");
    case QNetworkReply::HostNotFoundError:
        return tr("adresa nije pronađena");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return timeoutMs > 0 ? tr("nema odgovora %1 s").arg(timeoutMs / 1000) : tr("nema odgovora");
    case QNetworkReply::RemoteHostClosedError:
        return tr("veza je prekinuta");
    case QNetworkReply::SslHandshakeFailedError:
        return tr("certifikat nije valjan ili mu se ne vjeruje");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return tr("mreža nije dostupna");
    case QNetworkReply::ContentNotFoundError:
        return tr("stranica ne postoji");
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::AuthenticationRequiredError:
        return tr("pristup nije dopušten");
    case QNetworkReply::InternalServerError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return tr("greška na poslužitelju");
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProtocolFailure:
        return tr("poslužitelj ne odgovara kako treba");
    default:
        return tr("greška mreže %1").arg(int(error));
    }
}

QString networkProblem(QNetworkReply::NetworkError error, const QUrl &url, int timeoutMs)
{
    const QString why = networkReason(error, timeoutMs);
    if (error == QNetworkReply::SslHandshakeFailedError)
        return tr("Sigurna veza sa servisom %1 nije uspostavljena: %2").arg(hostOf(url), why);
    if (isUnreachable(error))
        return tr("Servis %1 nije dostupan (%2)").arg(hostOf(url), why);
    return tr("Servis %1 javlja grešku (%2)").arg(hostOf(url), why);
}
