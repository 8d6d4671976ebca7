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
    void onlyServiceDocumentsGetIt_data();
    void onlyServiceDocumentsGetIt();
    void pageCannotHarmTheShell();
};

namespace {

const QUrl service(QStringLiteral("https://service.example"));
const QUrl mainAddress(QStringLiteral("https://app.example:8443/start"));
const QUrl blankMainAddress(QStringLiteral("about:blank"));

// Loads `body` as a document of `base` and waits until it has loaded.
bool loadPage(QWebView &view, const QString &body, const QUrl &base)
{
    QSignalSpy loaded(&view, &QWebView::loadFinished);
    view.setHtml(QStringLiteral("<html><body>") + body + QStringLiteral("</body></html>"), base);
    return !loaded.isEmpty() || loaded.wait(5000);
}

// What a script of the page finds on its JSConnector.
QString evaluatedKeys(QWebView &view)
{
    return view.page()->mainFrame()->evaluateJavaScript(QStringLiteral(
        "(function () { var names = []; for (var name in JSConnector) names.push(name);"
        " return names.sort().join(','); })()")).toString();
}

} // namespace

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
    connector.bindToView(&view, {service});
    QSignalSpy displaySpy(&connector, &JSConnector::display_string_received);
    QSignalSpy reportSpy(&connector, &JSConnector::download_report_request_received);

    QVERIFY(loadPage(view, QStringLiteral("<script>") + script + QStringLiteral("</script>"), service));

    QStringList gotDisplayed, gotReports;
    for (const QList<QVariant> &args : displaySpy)
        gotDisplayed << args.at(0).toString();
    for (const QList<QVariant> &args : reportSpy)
        gotReports << args.at(0).toString();
    QCOMPARE(gotDisplayed, displayed);
    QCOMPARE(gotReports, reports);
}

void TestJSConnector::onlyServiceDocumentsGetIt_data()
{
    QTest::addColumn<QUrl>("document");
    QTest::addColumn<QString>("seen");

    QTest::newRow("service page") << QUrl(QStringLiteral("https://service.example/invoices")) << "object";
    QTest::newRow("service, port written out") << QUrl(QStringLiteral("https://service.example:443/x")) << "object";
    QTest::newRow("main address's origin") << QUrl(QStringLiteral("https://app.example:8443/other")) << "object";
    QTest::newRow("another host") << QUrl(QStringLiteral("https://elsewhere.example/")) << "undefined";
    QTest::newRow("service host, other port") << QUrl(QStringLiteral("https://service.example:8443/")) << "undefined";
    QTest::newRow("service host over http") << QUrl(QStringLiteral("http://service.example/")) << "undefined";
    QTest::newRow("a page of no address") << QUrl() << "undefined";
}

void TestJSConnector::onlyServiceDocumentsGetIt()
{
    QFETCH(QUrl, document);
    QFETCH(QString, seen);

    QWebView view;
    JSConnector connector;
    connector.bindToView(&view, {service, mainAddress, blankMainAddress});
    QVERIFY(loadPage(view, QStringLiteral("<script>document.title = typeof JSConnector;</script>"), document));
    QCOMPARE(view.title(), seen);
}

void TestJSConnector::pageCannotHarmTheShell()
{
    QWebView view;
    auto *connector = new JSConnector(&view);
    QPointer<JSConnector> alive(connector);
    connector->bindToView(&view, {service});
    QSignalSpy displaySpy(connector, &JSConnector::display_string_received);

    // Everything a QObject offers a script, tried on what the page was given.
    const QString hostile = QStringLiteral(
        "<script>var b = JSConnector;"
        "['destroyed', 'objectNameChanged', 'deleteLater'].forEach(function (name) {"
        "  try { if (b[name].connect) b[name].connect(function () {}); b[name](); } catch (e) {} });"
        "try { b.objectName = 'taken'; } catch (e) {}"
        "try { delete b.displayString; b.downloadReport = null; JSConnector = null; } catch (e) {}"
        "var seen = Object.getOwnPropertyNames(window).filter(function (name) { return name.indexOf('velmor') >= 0; });"
        "document.title = ['display_string_received', 'download_report_request_received', 'attachObject',"
        " 'bindToView', 'deleteLater', 'destroyed', 'objectName', 'displayString(QString)']"
        ".filter(function (name) { return name in b; }).concat(seen).join(',') || 'none';"
        "window.setTimeout(function () { JSConnector.displayString('later'); }, 100);</script>");
    QVERIFY(loadPage(view, hostile, service));
    QCOMPARE(view.title(), QStringLiteral("none")); // nothing of the shell's own
    QTest::qWait(50); // the deferred delete runs

    QVERIFY(alive);
    QCOMPARE(connector->objectName(), QString());
    QTRY_COMPARE(displaySpy.count(), 1); // the same document's later call still arrives
    QCOMPARE(evaluatedKeys(view), QStringLiteral("displayString,downloadReport"));
    QVERIFY(loadPage(view, QStringLiteral("<script>JSConnector.displayString('still here')</script>"), service));
    QCOMPARE(displaySpy.count(), 2);
}

QTEST_MAIN(TestJSConnector)
#include "tst_jsconnector.moc"
