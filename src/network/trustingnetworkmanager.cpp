#include "trustingnetworkmanager.h"

#include "certificatechain.h"
#include "trustedhosts.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QSslConfiguration>

#include <algorithm>

namespace {

const char refusalProperty[] = "velmorCertificateRefusal";

QString tr(const char *text)
{
    return QCoreApplication::translate("TrustingNetworkManager", text);
}

QString certificateChanged(const QString &hostPort, const QString &recorded, const QString &presented,
                           const QString &file)
{
    return tr("Certifikat poslužitelja %1 nije onaj koji je zapamćen, pa je veza odbijena: netko bi mogao "
              "presretati promet. Zapamćeni otisak (SHA-256): %2. Predstavljeni otisak: %3. "
              "Ako IT podrška potvrdi da je novi certifikat ispravan, neka iz datoteke %4 izbriše redak "
              "koji počinje s „%1=”; novi će se certifikat zapamtiti pri sljedećem učitavanju.")
        .arg(hostPort, recorded, presented, QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()));
}

QString notVouchedFor(const QString &hostPort, const QString &presented)
{
    return tr("Certifikat poslužitelja %1 ne potvrđuje ni sustav ni ovaj program, pa je veza odbijena: "
              "to možda nije pravi poslužitelj. Predstavljeni otisak (SHA-256): %2.")
        .arg(hostPort, presented);
}

int defaultPort(const QUrl &url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

} // namespace

TrustingNetworkManager::TrustingNetworkManager(const QString &trustedHostsFile, const QByteArray &trustedPem,
                                               QObject *parent)
    : QNetworkAccessManager(parent)
    , trustedHostsFile(trustedHostsFile)
    , buildCertificates(QSslCertificate::fromData(trustedPem, QSsl::Pem))
{
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
        // An address no protocol answers to: the reply fails at once, and nothing leaves.
        QNetworkRequest refused(original);
        refused.setUrl(QUrl(QStringLiteral("velmor-refused:")));
        return QNetworkAccessManager::createRequest(op, refused, outgoingData);
    }

    if (original.url().scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
        return QNetworkAccessManager::createRequest(op, original, outgoingData);

    // A host known to need the build's certificate, or one recorded on first
    // use, gets it before the request goes, so that a page's synchronous
    // request (which cannot wait for a handshake to be mended) works too.
    // Every other request keeps Qt's own configuration.
    const QString hostPort = TrustedHosts::hostPort(original.url());
    QList<QSslCertificate> trusted;
    if (vouchedByBuild.contains(hostPort))
        trusted = buildCertificates;
    if (!firstUseHost.isEmpty() && hostPort == firstUseHost && !recordedCertificate().isNull())
        trusted.append(recorded);
    if (trusted.isEmpty())
        return QNetworkAccessManager::createRequest(op, original, outgoingData);
    QNetworkRequest request(original);
    QSslConfiguration ssl = request.sslConfiguration();
    ssl.setCaCertificates(trusted);
    request.setSslConfiguration(ssl);
    return QNetworkAccessManager::createRequest(op, request, outgoingData);
}

QSslCertificate TrustingNetworkManager::recordedCertificate()
{
    const QFileInfo file(trustedHostsFile);
    const QDateTime changed = file.exists() ? file.lastModified() : QDateTime();
    if (changed != recordedAt || recordedAt.isNull()) {
        recordedAt = changed;
        recorded = TrustedHosts(trustedHostsFile).certificateOf(firstUseHost);
    }
    return recorded;
}

void TrustingNetworkManager::on_ssl_errors(QNetworkReply *reply, const QList<QSslError> &errors)
{
    QSslCertificate presented = reply->sslConfiguration().peerCertificate();
    for (int i = 0; presented.isNull() && i < errors.size(); ++i)
        presented = errors.at(i).certificate();
    const TrustedHosts hosts(trustedHostsFile);
    const QString where = TrustedHosts::hostPort(reply->url());
    if (presented.isNull()) {
        qWarning().noquote() << "Poslužitelj" << where << "nije predstavio certifikat; veza je odbijena";
        return;
    }

    // Trust alone was missing: the build's certificates, or (for a host asked
    // with a list of our own) the system's authorities, may vouch for it.
    const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
    if (onlyUntrusted(errors)) {
        if (chainLeadsTo(chain, buildCertificates)) {
            vouchedByBuild.insert(where);
            reply->ignoreSslErrors(errors);
            return;
        }
        if ((vouchedByBuild.contains(where) || where == firstUseHost)
            && QSslCertificate::verify(chain, reply->url().host()).isEmpty()) {
            reply->ignoreSslErrors(errors);
            return;
        }
    }

    const QString seen = TrustedHosts::fingerprint(presented);
    if (where != firstUseHost) {
        // Nothing is recorded for a host that may not be trusted on first use.
        const QString problem = notVouchedFor(where, seen);
        reply->setProperty(refusalProperty, problem);
        qWarning().noquote() << "Veza odbijena:" << reply->url().toString(QUrl::RemoveUserInfo) << "-" << problem;
        return;
    }
    const QString recorded = hosts.fingerprintOf(where);
    if (recorded.isEmpty()) {
        if (hosts.record(where, presented))
            qWarning().noquote() << "Certifikat poslužitelja" << where
                                 << "nije potvrđen od sustava; prihvaćen je pri prvoj uporabi i zapamćen:" << seen;
        else
            qWarning().noquote() << "Certifikat poslužitelja" << where << "prihvaćen je pri prvoj uporabi (" << seen
                                 << "), ali se ne može zapamtiti u" << hosts.path();
        reply->ignoreSslErrors();
        return;
    }
    if (recorded == seen) {
        reply->ignoreSslErrors(); // the one recorded, expired or not
        return;
    }
    const QString problem = certificateChanged(where, recorded, seen, hosts.path());
    reply->setProperty(refusalProperty, problem);
    qWarning().noquote() << "Veza odbijena:" << reply->url().toString(QUrl::RemoveUserInfo) << "-" << problem;
}
