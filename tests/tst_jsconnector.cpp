#include "jsconnector.h"

#include <QSignalSpy>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>

// The bridge as the page's own scripts use it.
class TestJSConnector : public QObject
{
    Q_OBJECT

private slots:
    void callsFromThePage_data();
    void callsFromThePage();
};

void TestJSConnector::callsFromThePage_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("displayed");
    QTest::addColumn<QStringList>("reports");

    QTest::newRow("display empty emits nothing")
        << QStringLiteral("JSConnector.displayString('')") << QStringList() << QStringList();
    QTest::newRow("display one character emits once")
        << QStringLiteral("JSConnector.displayString('x')") << QStringList{QStringLiteral("x")} << QStringList();
    QTest::newRow("display Croatian text")
        << QStringLiteral("JSConnector.displayString('čćđšž')") << QStringList{QStringLiteral("čćđšž")}
        << QStringList();
    QTest::newRow("display number converted to text")
        << QStringLiteral("JSConnector.displayString(42)") << QStringList{QStringLiteral("42")} << QStringList();
    QTest::newRow("report empty still emits")
        << QStringLiteral("JSConnector.downloadReport('')") << QStringList() << QStringList{QString()};
    QTest::newRow("report path with query")
        << QStringLiteral("JSConnector.downloadReport('/reports/r.pdf?from=1&to=2')") << QStringList()
        << QStringList{QStringLiteral("/reports/r.pdf?from=1&to=2")};
    QTest::newRow("calls return nothing")
        << QStringLiteral("JSConnector.displayString(String(JSConnector.downloadReport('/a')))")
        << QStringList{QStringLiteral("undefined")} << QStringList{QStringLiteral("/a")};
}

void TestJSConnector::callsFromThePage()
{
    QFETCH(QString, script);
    QFETCH(QStringList, displayed);
    QFETCH(QStringList, reports);

    QWebView view;
    JSConnector connector;
    connector.bindToView(&view);
    QSignalSpy displaySpy(&connector, &JSConnector::display_string_received);
    QSignalSpy reportSpy(&connector, &JSConnector::download_report_request_received);
    QSignalSpy loaded(&view, &QWebView::loadFinished);

    view.setHtml(QStringLiteral("<html><body><script>") + script + QStringLiteral("</script></body></html>"));
    QTRY_VERIFY(!loaded.isEmpty());

    QStringList gotDisplayed, gotReports;
    for (const QList<QVariant> &args : displaySpy)
        gotDisplayed << args.at(0).toString();
    for (const QList<QVariant> &args : reportSpy)
        gotReports << args.at(0).toString();
    QCOMPARE(gotDisplayed, displayed);
    QCOMPARE(gotReports, reports);
}

QTEST_MAIN(TestJSConnector)
#include "tst_jsconnector.moc"
