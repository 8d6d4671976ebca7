#include "testhelpers.h"
#include "trustedhosts.h"

#include <QFile>
#include <QSslCertificate>
#include <QtTest>

// The certificates trusted on first use, as the file an IT person edits.
class TestTrustedHosts : public QObject
{
    Q_OBJECT

private slots:
    void hostPort_data();
    void hostPort();
    void recordedAndForgotten();
};

void TestTrustedHosts::hostPort_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("hostPort");
    QTest::newRow("https without a port") << "https://s.example/x" << "s.example:443";
    QTest::newRow("port written out") << "https://s.example:8443/x" << "s.example:8443";
    QTest::newRow("letter case") << "https://S.Example/x" << "s.example:443";
}

void TestTrustedHosts::hostPort()
{
    QFETCH(QString, url);
    QFETCH(QString, hostPort);
    QCOMPARE(TrustedHosts::hostPort(QUrl(url)), hostPort);
}

void TestTrustedHosts::recordedAndForgotten()
{
    ScopedWorkDir dir;
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromPath(QStringLiteral(UNTRUSTED_CERT_DIR "/cert.pem"), QSsl::Pem);
    QCOMPARE(certificates.size(), 1);
    const QSslCertificate certificate = certificates.first();
    const TrustedHosts hosts(QStringLiteral("trusted-hosts.ini"));
    QVERIFY(hosts.fingerprintOf(QStringLiteral("a.example:443")).isEmpty());
    QVERIFY(hosts.record(QStringLiteral("a.example:443"), certificate));

    // As openssl shows it, and the certificate itself, read back afresh.
    const QString fingerprint = TrustedHosts::fingerprint(certificate);
    QVERIFY(QRegularExpression(QStringLiteral("^([0-9A-F]{2}:){31}[0-9A-F]{2}$")).match(fingerprint).hasMatch());
    const TrustedHosts again(QStringLiteral("trusted-hosts.ini"));
    QCOMPARE(again.fingerprintOf(QStringLiteral("a.example:443")), fingerprint);
    QCOMPARE(again.certificateOf(QStringLiteral("a.example:443")), certificate);
    QVERIFY(again.fingerprintOf(QStringLiteral("a.example:8443")).isEmpty());

    // The host's line deleted by hand: a first use again.
    QByteArray file = readFile(QStringLiteral("trusted-hosts.ini"));
    const int line = file.indexOf("a.example:443=");
    QVERIFY(line >= 0);
    file.remove(line, file.indexOf('\n', line) - line + 1);
    QVERIFY(writeFile(QStringLiteral("trusted-hosts.ini"), file));
    QVERIFY(TrustedHosts(QStringLiteral("trusted-hosts.ini")).fingerprintOf(QStringLiteral("a.example:443")).isEmpty());
}

QTEST_GUILESS_MAIN(TestTrustedHosts)
#include "tst_trustedhosts.moc"
