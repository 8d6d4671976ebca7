#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>

// Whether `chain` (the server's, leaf first) leads to one of `anchors` (the
// certificates the build trusts), checked by OpenSSL with the dates; any of
// the anchors may end the chain, a self-signed server certificate included.
bool chainLeadsTo(const QList<QSslCertificate> &chain, const QList<QSslCertificate> &anchors);

// Whether `certificate` names `host` (a DNS name or an IP address), by its
// subject alternative names or, without them, its common name.
bool certificateMatchesHost(const QSslCertificate &certificate, const QString &host);

// Whether every error is one of trust alone (no known authority vouches for
// the chain), as opposed to a wrong host name, an expired or revoked
// certificate or a broken signature.
bool onlyUntrusted(const QList<QSslError> &errors);
