#include "certificatejudge.h"
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

    const QString built = QStringLiteral(TEST_CERT_DIR);
    const QString other = QStringLiteral(UNTRUSTED_CERT_DIR);
    const int untrusted = QSslError::UnableToGetLocalIssuerCertificate;
    QTest::newRow("the build's certificate on its own name")
        << "https://localhost:8443/" << built << untrusted << QString() << true;
    QTest::newRow("the build's certificate on its address")
        << "https://127.0.0.1:8443/" << built << untrusted << QString() << true;
    // An engine that calls a wrong name a missing authority does not get it excused.
    QTest::newRow("the build's certificate for another host")
        << "https://impostor.example/" << built << untrusted << QString() << false;
    QTest::newRow("the build's certificate, wrong name said")
        << "https://impostor.example/" << built << int(QSslError::HostNameMismatch) << QString() << false;
    QTest::newRow("the build's certificate, expired said")
        << "https://localhost:8443/" << built << int(QSslError::CertificateExpired) << QString() << false;
    QTest::newRow("an unknown certificate")
        << "https://localhost:8443/" << other << untrusted << QString() << false;
    QTest::newRow("an unknown certificate on the first-use host")
        << "https://localhost:9443/" << other << untrusted << QStringLiteral("localhost:9443") << true;
}

void TestCertificateJudge::judge()
{
    QFETCH(QString, url);
    QFETCH(QString, certDir);
    QFETCH(int, error);
    QFETCH(QString, firstUseHost);
    QFETCH(bool, accepted);

    ScopedWorkDir workDir;
    CertificateJudge judge(workDir.filePath(QStringLiteral("trusted-hosts.ini")),
                           readFile(QStringLiteral(TEST_CERT_DIR "/cert.pem")));
    judge.setFirstUseHost(firstUseHost);
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certDir + QStringLiteral("/cert.pem"));
    QVERIFY(!chain.isEmpty());
    const CertificateJudge::Verdict verdict =
        judge.judge(QUrl(url), chain, {QSslError(QSslError::SslError(error), chain.first())});
    QCOMPARE(verdict.accepted, accepted);
    QCOMPARE(verdict.refusal.isEmpty(), accepted);
}

QTEST_MAIN(TestCertificateJudge)
#include "tst_certificatejudge.moc"
