#include "trustedhosts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QStringList>
#include <QUrl>

namespace {

const QLatin1String hostsSection("[hosts]");
const QLatin1String certificatesSection("[certificates]");

struct Entries
{
    QMap<QString, QString> hosts;        // "host:port" -> fingerprint
    QMap<QString, QString> certificates; // fingerprint -> base64 DER
};

Entries readEntries(const QString &path)
{
    Entries entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    const QMap<QString, QString> *section = nullptr;
    // Bounded: the file is small, and a huge one is not ours. Read as it is
    // otherwise: a buffer of the bound for every read (one per certificate
    // decision) was most of the time spent here.
    const qint64 bound = 4 << 20;
    const QStringList lines =
        QString::fromUtf8(file.size() > bound ? file.read(bound) : file.readAll()).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            section = line.compare(hostsSection, Qt::CaseInsensitive) == 0          ? &entries.hosts
                      : line.compare(certificatesSection, Qt::CaseInsensitive) == 0 ? &entries.certificates
                                                                                      : nullptr;
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        // Host names in lower case, fingerprints in upper case, however typed.
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (section == &entries.hosts)
            entries.hosts.insert(key.toLower(), value.toUpper());
        else if (section == &entries.certificates)
            entries.certificates.insert(key.toUpper(), value);
    }
    return entries;
}

} // namespace

TrustedHosts::TrustedHosts(const QString &filePath)
    : filePath(filePath)
{
}

QString TrustedHosts::hostPort(const QUrl &url)
{
    return url.host().toLower() + QLatin1Char(':') + QString::number(url.port(443));
}

QString TrustedHosts::fingerprint(const QSslCertificate &certificate)
{
    const QByteArray hex = certificate.digest(QCryptographicHash::Sha256).toHex().toUpper();
    QStringList pairs;
    for (int i = 0; i < hex.size(); i += 2)
        pairs.append(QString::fromLatin1(hex.mid(i, 2)));
    return pairs.join(QLatin1Char(':'));
}

QString TrustedHosts::fingerprintOf(const QString &hostPort) const
{
    return readEntries(filePath).hosts.value(hostPort.toLower());
}

QSslCertificate TrustedHosts::certificateOf(const QString &hostPort) const
{
    const Entries entries = readEntries(filePath);
    const QString recorded = entries.hosts.value(hostPort.toLower());
    if (recorded.isEmpty())
        return QSslCertificate();
    const QSslCertificate certificate(QByteArray::fromBase64(entries.certificates.value(recorded).toLatin1()),
                                      QSsl::Der);
    // Only the certificate the line names, not whatever was left below it.
    return fingerprint(certificate) == recorded ? certificate : QSslCertificate();
}

bool TrustedHosts::record(const QString &hostPort, const QSslCertificate &certificate) const
{
    Entries entries = readEntries(filePath);
    const QString print = fingerprint(certificate);
    entries.hosts.insert(hostPort.toLower(), print);
    entries.certificates.insert(print, QString::fromLatin1(certificate.toDer().toBase64()));

    QByteArray text = "; Certifikati prihvaćeni pri prvoj uporabi (SHA-256). Izbrišite redak poslužitelja\n"
                      "; da bi se njegov sljedeći certifikat ponovno prihvatio.\n";
    text += "[hosts]\n";
    for (auto it = entries.hosts.cbegin(); it != entries.hosts.cend(); ++it)
        text += it.key().toUtf8() + '=' + it.value().toUtf8() + '\n';
    text += "\n[certificates]\n";
    const QStringList named = entries.hosts.values();
    for (auto it = entries.certificates.cbegin(); it != entries.certificates.cend(); ++it) {
        // A certificate no host line names any more goes.
        if (named.contains(it.key()))
            text += it.key().toUtf8() + '=' + it.value().toUtf8() + '\n';
    }
    QSaveFile file(filePath);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}
