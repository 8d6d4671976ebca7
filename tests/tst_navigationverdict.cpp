#include "navigationguard.h"

#include <QtTest>

// Where the page may go, as one rule for both engines.
class TestNavigationVerdict : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
    void download_data();
    void download();
};

Q_DECLARE_METATYPE(NavigationCause)
Q_DECLARE_METATYPE(NavigationVerdict)

namespace {

const QList<QUrl> origins{QUrl(QStringLiteral("https://shop.example")),
                          QUrl(QStringLiteral("http://till.local:8080/accounts/login"))};

} // namespace

void TestNavigationVerdict::verdict_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<NavigationCause>("cause");
    QTest::addColumn<bool>("userActed");
    QTest::addColumn<NavigationVerdict>("verdict");

    using C = NavigationCause;
    using V = NavigationVerdict;
    QTest::newRow("service, by a script") << "https://shop.example/x" << C::Script << false << V::Allow;
    QTest::newRow("service, its port written out") << "https://SHOP.example:443/x" << C::Redirect << false << V::Allow;
    QTest::newRow("main address's origin") << "http://till.local:8080/y" << C::Form << false << V::Allow;
    QTest::newRow("main address's host, another port") << "http://till.local:8081/y" << C::Script << false << V::Refuse;
    QTest::newRow("service over plain http") << "http://shop.example/x" << C::Link << false << V::Refuse;
    QTest::newRow("other site, clicked") << "https://news.example/" << C::Link << true << V::OpenOutside;
    QTest::newRow("other site, a link without a click") << "https://news.example/" << C::Link << false << V::Refuse;
    QTest::newRow("other site, a form sent by a click") << "https://news.example/" << C::Form << true << V::Refuse;
    QTest::newRow("other site, redirect after a click") << "https://news.example/" << C::Redirect << true << V::Refuse;
    QTest::newRow("other site, history") << "https://news.example/" << C::History << true << V::Refuse;
    QTest::newRow("the shell's own load") << "https://news.example/" << C::Shell << false << V::Allow;
    QTest::newRow("file, clicked") << "file:///etc/passwd" << C::Link << true << V::Refuse;
    QTest::newRow("mail, clicked") << "mailto:a@news.example" << C::Link << true << V::Refuse;
    QTest::newRow("blob of the service") << "blob:https://shop.example/4b1e" << C::Script << false << V::Allow;
    QTest::newRow("blob of another site, clicked") << "blob:https://news.example/4b1e" << C::Link << true << V::Refuse;
}

void TestNavigationVerdict::verdict()
{
    QFETCH(QString, url);
    QFETCH(NavigationCause, cause);
    QFETCH(bool, userActed);
    QFETCH(NavigationVerdict, verdict);
    QCOMPARE(navigationVerdict(QUrl(url), cause, origins, userActed), verdict);
}

void TestNavigationVerdict::download_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("requester");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("service file, service page") << "https://shop.example/r.pdf" << "https://shop.example" << true;
    QTest::newRow("service file, main address's page") << "https://shop.example/r.pdf" << "http://till.local:8080"
                                                       << true;
    QTest::newRow("service file, another site's frame") << "https://shop.example/r.pdf" << "https://pay.example"
                                                        << false;
    QTest::newRow("other file, service page") << "https://pay.example/r.pdf" << "https://shop.example" << false;
    QTest::newRow("service file, nobody said") << "https://shop.example/r.pdf" << "" << false;
}

void TestNavigationVerdict::download()
{
    QFETCH(QString, url);
    QFETCH(QString, requester);
    QFETCH(bool, allowed);
    QCOMPARE(downloadAllowed(QUrl(url), requester, origins), allowed);
}

QTEST_GUILESS_MAIN(TestNavigationVerdict)
#include "tst_navigationverdict.moc"
