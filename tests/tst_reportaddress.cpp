#include "reportaddress.h"

#include <QtTest>

// A page's report path stays on the service.
class TestReportAddress : public QObject
{
    Q_OBJECT

private slots:
    void address_data();
    void address();
};

void TestReportAddress::address_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("address"); // empty: refused

    const QString origin = QStringLiteral("https://s.example:8443");
    QTest::newRow("path") << "/reports/r.pdf" << origin + "/reports/r.pdf";
    QTest::newRow("path and query") << "/r.pdf?from=1&to=2" << origin + "/r.pdf?from=1&to=2";
    QTest::newRow("empty: the bare origin") << "" << origin;
    QTest::newRow("user info before another host") << "@other.example/x" << "";
    QTest::newRow("network path") << "//other.example/x" << "";
    QTest::newRow("whole address") << "https://other.example/x" << "";
    QTest::newRow("no leading slash") << "x" << "";
    QTest::newRow("port of its own") << ":9999/x" << "";
}

void TestReportAddress::address()
{
    QFETCH(QString, path);
    QFETCH(QString, address);
    QString problem;
    const QUrl got = reportAddress(QStringLiteral("https://s.example:8443"), path, &problem);
    if (address.isEmpty()) {
        QVERIFY2(!got.isValid(), qPrintable(got.toString()));
        QVERIFY(!problem.isEmpty());
    } else {
        QCOMPARE(got.toString(), address);
    }
}

QTEST_GUILESS_MAIN(TestReportAddress)
#include "tst_reportaddress.moc"
