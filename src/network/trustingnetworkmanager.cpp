#include "trustingnetworkmanager.h"

#include "trustedhosts.h"

#include <QDebug>
#include <QNetworkReply>
#include <QSslConfiguration>

#include <algorithm>

namespace {

const char refusalProperty[] = "velmorCertificateRefusal";

int defaultPort(const QUrl &url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

} // namespace

TrustingNetworkManager::TrustingNetworkManager(const QString &trustedHostsFile, const QByteArray &trustedPem,
                                               QObject *parent)
    : QNetworkAccessManager(parent)
    , certificates(trustedHostsFile, trustedPem)
{
    // Redirects are the caller's to follow, on Qt 6 as on Qt 5: a report or
    // an update file that moves is not fetched from wherever it points.
    setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    connect(this, &QNetworkAccessManager::sslErrors, this, &TrustingNetworkManager::on_ssl_errors);
}

QString TrustingNetworkManager::refusal(const QNetworkReply *reply)
{
    return reply ? reply->property(refusalProperty).toString() : QString();
}

QNetworkReply *TrustingNetworkManager::createRequest(Operation op, const QNetworkRequest &original,
                                                     QIODevice *outgoingData)
{
    const QUrl url = original.url();
    if (!allowedOrigins.isEmpty() && url.scheme() != QLatin1String("data")
        && std::none_of(allowedOrigins.begin(), allowedOrigins.end(), [&url](const QUrl &origin) {
               return url.scheme() == origin.scheme() && url.host().compare(origin.host(), Qt::CaseInsensitive) == 0
                      && url.port(defaultPort(url)) == origin.port(defaultPort(origin));
           })) {
        qInfo().noquote() << "Zahtjev izvan servisa nije poslan:" << url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
        // An empty answer, at once, and nothing leaves: a frame shows
        // nothing, not an error of an unknown protocol.
        QNetworkRequest refused(original);
        refused.setUrl(QUrl(QStringLiteral("data:,")));
        return QNetworkAccessManager::createRequest(GetOperation, refused, nullptr);
    }

    if (original.url().scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
        return QNetworkAccessManager::createRequest(op, original, outgoingData);

    // A host known to need the build's certificate, or one recorded on first
    // use, gets it before the request goes, so that a page's synchronous
    // request (which cannot wait for a handshake to be mended) works too.
    // Every other request keeps Qt's own configuration.
    const QList<QSslCertificate> trusted = certificates.authoritiesFor(TrustedHosts::hostPort(original.url()));
    if (trusted.isEmpty())
        return QNetworkAccessManager::createRequest(op, original, outgoingData);
    QNetworkRequest request(original);
    QSslConfiguration ssl = request.sslConfiguration();
    ssl.setCaCertificates(trusted);
    request.setSslConfiguration(ssl);
    return QNetworkAccessManager::createRequest(op, request, outgoingData);
}

void TrustingNetworkManager::on_ssl_errors(QNetworkReply *reply, const QList<QSslError> &errors)
{
    QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
    if (chain.isEmpty() && !reply->sslConfiguration().peerCertificate().isNull())
        chain.append(reply->sslConfiguration().peerCertificate());
    const CertificateJudge::Verdict verdict = certificates.judge(reply->url(), chain, errors);
    if (verdict.accepted)
        reply->ignoreSslErrors(errors);
    else
        reply->setProperty(refusalProperty, verdict.refusal);
}
