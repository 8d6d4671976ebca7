#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QUrl>

// What is decided of a certificate the system does not vouch for, whoever
// made the connection (Qt's network access, or a web engine of its own). A
// certificate the build trusts is accepted: a handshake that failed for
// want of an authority is checked against the build's certificates, and a
// host they vouch for gets them before its later requests. Any other is
// refused (nothing from that connection is used), except on the one host
// and port that may be trusted on first use (the main address's, when it is
// not the service's): there it is recorded in the trusted-hosts file,
// afterwards that certificate is accepted (expired or not), and a different
// one is refused. The service itself is never trusted on first use: an
// impostor on its address would otherwise be taken for it. A wrong host name
// is never excused by the build's certificates.
class CertificateJudge
{
public:
    CertificateJudge(const QString &trustedHostsFile, const QByteArray &trustedPem);

    // The "host:port" whose certificate may be trusted on first use; empty
    // (the default) for none.
    void setFirstUseHost(const QString &hostPort) { firstUseHost = hostPort; }

    // The authorities to give a connection to `hostPort` before it is made,
    // besides the system's: the build's for a host they vouched for, the
    // recorded certificate for the first-use host. Empty: nothing besides.
    QList<QSslCertificate> authoritiesFor(const QString &hostPort);

    struct Verdict
    {
        bool accepted = false;
        QString refusal; // why not, in words for the IT person; logged already
    };
    // A handshake with `url` failed with `errors`; `chain` is the server's,
    // leaf first.
    Verdict judge(const QUrl &url, const QList<QSslCertificate> &chain, const QList<QSslError> &errors);

private:
    // The certificate recorded for the first-use host, read again only when
    // the file changes.
    QSslCertificate recordedCertificate();

    QString trustedHostsFile;
    QList<QSslCertificate> buildCertificates;
    QSet<QString> vouchedByBuild; // "host:port" whose chain led to the build's certificates
    QDateTime recordedAt;         // when the trusted-hosts file was last read
    QSslCertificate recorded;
    QString firstUseHost;
};
