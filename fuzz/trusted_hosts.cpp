// trusted-hosts.ini, as a hand edit leaves it.
// Every host in it reads, and a certificate recorded in it afterwards is the
// one read back.
#include "fuzzing.h"
#include "trustedhosts.h"

#include <QFile>
#include <QSettings>

FUZZ_APPLICATION(QCoreApplication)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QSslCertificate certificate = [] {
        QFile pem(QStringLiteral(FUZZ_CERT_PEM));
        pem.open(QIODevice::ReadOnly);
        return QSslCertificate(pem.readAll());
    }();
    static int run = 0;
    const QString path = fuzzFolder() + QStringLiteral("/trusted-hosts-%1.ini").arg(++run);
    QFile file(path);
    FUZZ_EXPECT(file.open(QIODevice::WriteOnly) && file.write(fuzzBytes(data, size)) == qint64(size));
    file.close();

    const TrustedHosts hosts(path);
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("hosts"));
    const QStringList listed = ini.childKeys();
    ini.endGroup();
    for (const QString &hostPort : listed) {
        hosts.fingerprintOf(hostPort);
        hosts.certificateOf(hostPort);
    }
    // A host as the program names one: from an address.
    const QUrl address(QStringLiteral("https://") + listed.value(0));
    const QString hostPort = TrustedHosts::hostPort(address.isValid() && !address.host().isEmpty()
                                                        ? address
                                                        : QUrl(QStringLiteral("https://till.example")));
    if (hosts.record(hostPort, certificate)) {
        FUZZ_EXPECT(hosts.fingerprintOf(hostPort) == TrustedHosts::fingerprint(certificate));
        FUZZ_EXPECT(hosts.certificateOf(hostPort) == certificate);
    }
    QFile::remove(path);
    return 0;
}
