#include "networkproblem.h"

#include <QtTest>

// A failed request in words a shop's staff understand, naming the host.
class TestNetworkProblem : public QObject
{
    Q_OBJECT

private slots:
    void words_data();
    void words();
};

void TestNetworkProblem::words_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("unreachable");

    QTest::newRow("refused") << int(QNetworkReply::ConnectionRefusedError) << 0
                             << "Servis s.example:8443 nije dostupan (veza odbijena)" << true;
    QTest::newRow("no such host") << int(QNetworkReply::HostNotFoundError) << 0
                                  << "Servis s.example:8443 nije dostupan (adresa nije pronađena)" << true;
    QTest::newRow("stalled") << int(QNetworkReply::OperationCanceledError) << 30000
                             << "Servis s.example:8443 nije dostupan (nema odgovora 30 s)" << true;
    QTest::newRow("certificate is not called unreachable")
        << int(QNetworkReply::SslHandshakeFailedError) << 0
        << "Sigurna veza sa servisom s.example:8443 nije uspostavljena: certifikat nije valjan ili mu se ne vjeruje"
        << true;
    QTest::newRow("an answer, in words") << int(QNetworkReply::ContentNotFoundError) << 0
                                         << "Servis s.example:8443 javlja grešku (stranica ne postoji)" << false;
    QTest::newRow("anything else, never English") << int(QNetworkReply::ProtocolUnknownError) << 0
                                                  << "Servis s.example:8443 javlja grešku (poslužitelj ne odgovara kako treba)"
                                                  << false;
}

void TestNetworkProblem::words()
{
    QFETCH(int, error);
    QFETCH(int, timeoutMs);
    QFETCH(QString, said);
    QFETCH(bool, unreachable);
    const auto kind = QNetworkReply::NetworkError(error);
    QCOMPARE(networkProblem(kind, QUrl(QStringLiteral("https://s.example:8443/x")), timeoutMs), said);
    QCOMPARE(isUnreachable(kind), unreachable);
}

QTEST_GUILESS_MAIN(TestNetworkProblem)
#include "tst_networkproblem.moc"
