#include "errorpage.h"

#include <QtTest>

// The shell's own page, built from addresses that carry what looks like markup
// or like places to fill.
class TestErrorPage : public QObject
{
    Q_OBJECT

private slots:
    void addressesShownAsTheyAre_data();
    void addressesShownAsTheyAre();
    void foreignPageHasNoCountdown();
};

void TestErrorPage::addressesShownAsTheyAre_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("inPage"); // how the address stands in the page, text and link alike

    QTest::newRow("percent escape after a login")
        << "https://s.example/accounts/login?next=%2Finvoices%2F7" << "https://s.example/accounts/login?next=%2Finvoices%2F7";
    QTest::newRow("control character escape") << "https://s.example/a%01b" << "https://s.example/a%01b";
    QTest::newRow("all the places at once") << "https://s.example/%1%2%3%4%5%6%7%8%9"
                                            << "https://s.example/%251%252%253%254%255%256%257%258%259";
    QTest::newRow("quote breaking out of the link") << "https://s.example/x'onmouseover='alert(1)"
                                                    << "https://s.example/x&#39;onmouseover=&#39;alert(1)";
    QTest::newRow("markup") << "https://s.example/<b>\"x\"</b>" << "https://s.example/%3Cb%3E%22x%22%3C/b%3E";
}

void TestErrorPage::addressesShownAsTheyAre()
{
    QFETCH(QString, address);
    QFETCH(QString, inPage);
    const QString page = errorPageHtml(QStringLiteral("Servis s.example nije dostupan (100% <sigurno>)"),
                                       QUrl(address), QTime(9, 5, 7), 15);
    QVERIFY2(page.contains(QStringLiteral("<code id=\"address\">%1</code>").arg(inPage)), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("href=\"%1\"").arg(inPage)), qPrintable(page));
    QVERIFY(page.contains(QStringLiteral("var left=15;")));
    QVERIFY(page.contains(QStringLiteral("100% &lt;sigurno&gt;")));
    QVERIFY(page.contains(QStringLiteral("09:05:07")));
    QVERIFY(!page.contains(QStringLiteral("onmouseover='")));
}

void TestErrorPage::foreignPageHasNoCountdown()
{
    const QString page = errorPageHtml(QStringLiteral("x"), QUrl(QStringLiteral("https://other.example/")), QTime(), 0,
                                       QUrl(QStringLiteral("https://s.example/accounts/login")));
    QVERIFY(!page.contains(QStringLiteral("countdown")));
    QVERIFY(page.contains(QStringLiteral("id=\"back\" href=\"https://s.example/accounts/login\"")));
}

QTEST_MAIN(TestErrorPage)
#include "tst_errorpage.moc"
