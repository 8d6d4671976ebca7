#include "certificatejudge.h"
#include "trustedhosts.h"
#include "testhelpers.h"

#include <QSslError>
#include <QtTest>

// What is decided of a certificate the system does not vouch for, as a web
// engine reports it: one error for the whole handshake.
class TestCertificateJudge : public QObject
{
    Q_OBJECT

private slots:
    void judge_data();
    void judge();
};

void TestCertificateJudge::judge_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("certDir");
    QTest::addColumn<int>("error"); // QSslError::SslError, as reported
    QTest::addColumn<QString>("firstUseHost");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("hostsFile"); // trusted-hosts.ini as written by hand; FP and DER its certificate's

    const QString built = QStringLiteral(TEST_CERT_DIR);
    const QString other = QStringLiteral(UNTRUSTED_CERT_DIR);
    const int untrusted = QSslError::UnableToGetLocalIssuerCertificate;
    QTest::newRow("the build's certificate on its own name")
        << "https://localhost:8443/" << built << untrusted << QString() << true << QString();
    QTest::newRow("the build's certificate on its address")
        << "https://127.0.0.1:8443/" << built << untrusted << QString() << true << QString();
    // An engine that calls a wrong name a missing authority does not get it excused.
    QTest::newRow("the build's certificate for another host")
        << "https://impostor.example/" << built << untrusted << QString() << false << QString();
    QTest::newRow("the build's certificate, wrong name said")
        << "https://impostor.example/" << built << int(QSslError::HostNameMismatch) << QString() << false << QString();
    QTest::newRow("the build's certificate, expired said")
        << "https://localhost:8443/" << built << int(QSslError::CertificateExpired) << QString() << false << QString();
    QTest::newRow("an unknown certificate")
        << "https://localhost:8443/" << other << untrusted << QString() << false << QString();
    QTest::newRow("an unknown certificate on the first-use host")
        << "https://localhost:9443/" << other << untrusted << QStringLiteral("localhost:9443") << true << QString();
    // The page and its synchronous requests (which trust the recorded
    // certificate before they go) take a line the same way.
    const QString firstUse = QStringLiteral("localhost:9443");
    QTest::newRow("a line written by hand, with its certificate")
        << "https://localhost:9443/" << other << untrusted << firstUse << true
        << "[hosts]\nLocalHost:9443 = FP\n[certificates]\nFP=DER\n";
    QTest::newRow("a line written by hand, in lower case")
        << "https://localhost:9443/" << other << untrusted << firstUse << true
        << "[hosts]\nlocalhost:9443=fp\n[certificates]\nfp=DER\n";
    QTest::newRow("a line written by hand, the fingerprint alone")
        << "https://localhost:9443/" << other << untrusted << firstUse << false << "[hosts]\nlocalhost:9443=FP\n";
    QTest::newRow("a line written by hand, the fingerprint without colons")
        << "https://localhost:9443/" << other << untrusted << firstUse << false
        << "[hosts]\nlocalhost:9443=FPX\n[certificates]\nFPX=DER\n";
}

void TestCertificateJudge::judge()
{
    QFETCH(QString, url);
    QFETCH(QString, certDir);
    QFETCH(int, error);
    QFETCH(QString, firstUseHost);
    QFETCH(bool, accepted);
    QFETCH(QString, hostsFile);

    ScopedWorkDir workDir;
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certDir + QStringLiteral("/cert.pem"));
    QVERIFY(!chain.isEmpty());
    const QString print = TrustedHosts::fingerprint(chain.first());
    const QString hostsPath = workDir.filePath(QStringLiteral("trusted-hosts.ini"));
    if (!hostsFile.isEmpty())
        QVERIFY(writeFile(hostsPath, hostsFile.replace(QLatin1String("FPX"), QString(print).remove(QLatin1Char(':')))
                                         .replace(QLatin1String("FP"), print)
                                         .replace(QLatin1String("fp"), print.toLower())
                                         .replace(QLatin1String("DER"), QString::fromLatin1(chain.first().toDer().toBase64()))
                                         .toUtf8()));
    CertificateJudge judge(hostsPath, readFile(QStringLiteral(TEST_CERT_DIR "/cert.pem")));
    judge.setFirstUseHost(firstUseHost);
    if (!hostsFile.isEmpty())
        QCOMPARE(!judge.authoritiesFor(TrustedHosts::hostPort(QUrl(url))).isEmpty(), accepted);
    const CertificateJudge::Verdict verdict =
        judge.judge(QUrl(url), chain, {QSslError(QSslError::SslError(error), chain.first())});
    QCOMPARE(verdict.accepted, accepted);
    QCOMPARE(verdict.refusal.isEmpty(), accepted);
}

QTEST_MAIN(TestCertificateJudge)
#include "tst_certificatejudge.moc"
