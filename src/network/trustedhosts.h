#pragma once

#include <QSslCertificate>
#include <QString>
#include <QUrl>

// The certificates trusted on first use, one per host and port, kept in a
// small text file an IT person can read and edit:
//
//   [hosts]
//   invoices.example.com:443=AB:CD:...        (SHA-256 fingerprint)
//   [certificates]
//   AB:CD:...=MIIC...                         (the certificate, base64 DER)
//
// Removing a host's line makes the next certificate it presents a first use
// again. The certificate itself is kept so that requests can trust it before
// they go out. The file is read afresh on every call: edits count at once.
class TrustedHosts
{
public:
    explicit TrustedHosts(const QString &filePath);

    QString path() const { return filePath; }

    // "host:port" of an address (443 when it gives none).
    static QString hostPort(const QUrl &url);
    // SHA-256 of the certificate, as `openssl x509 -fingerprint -sha256` shows it.
    static QString fingerprint(const QSslCertificate &certificate);

    // The fingerprint recorded for "host:port"; empty when there is none.
    QString fingerprintOf(const QString &hostPort) const;
    // The certificate recorded for "host:port"; null when there is none.
    QSslCertificate certificateOf(const QString &hostPort) const;
    // Records the certificate for "host:port"; false when the file cannot be written.
    bool record(const QString &hostPort, const QSslCertificate &certificate) const;

private:
    QString filePath;
};
