#pragma once

#include "certificatejudge.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QSslError>
#include <QString>
#include <QUrl>

// Network access for pages, reports, printed invoices and updates. A
// certificate the system or the build trusts is accepted as usual: Qt finds
// the system's authorities on demand (reading them all would hold up the
// first request), and a handshake that fails for want of an authority is
// checked against the build's certificates; a host they vouch for gets them
// before its later requests go out. Any other is refused
// (nothing from that connection is used), except on the one host and port
// that may be trusted on first use (the main address's, when it is not the
// service's): there it is recorded in the trusted-hosts file, afterwards that
// certificate is accepted (expired or not), and a different one is refused.
// The service itself is never trusted on first use: an impostor on its
// address would otherwise be taken for it.
//
// The recorded certificate is trusted before a request goes out, so a
// synchronous request (which has no chance to answer a certificate error)
// works too.
class TrustingNetworkManager final : public QNetworkAccessManager
{
    Q_OBJECT

public:
    TrustingNetworkManager(const QString &trustedHostsFile, const QByteArray &trustedPem, QObject *parent = nullptr);

    // The "host:port" whose certificate may be trusted on first use; empty
    // (the default) for none.
    void setFirstUseHost(const QString &hostPort) { certificates.setFirstUseHost(hostPort); }

    // Only these origins (scheme, host, port) are reached, besides data:
    // addresses; every other request fails at once. Empty (the default): any.
    void setAllowedOrigins(const QList<QUrl> &origins) { allowedOrigins = origins; }

    // Why the reply's certificate was refused, in words for the IT person;
    // empty when it was not.
    static QString refusal(const QNetworkReply *reply);

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *outgoingData) override;

private:
    void on_ssl_errors(QNetworkReply *reply, const QList<QSslError> &errors);

    CertificateJudge certificates;
    QList<QUrl> allowedOrigins;
};
