#include "engine.h"
#include "jsconnector.h"
#include "pagedownload.h"
#include "pagescript.h"
#include "shellpage.h"
#include "testhelpers.h"
#include "testserver.h"

#include <httplib.h>

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// The bridge as the page's own scripts use it, on the engine this build has.
class TestJSConnector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void callsFromThePage_data();
    void callsFromThePage();
    void onlyServiceDocumentsGetIt_data();
    void onlyServiceDocumentsGetIt();
    void pageCannotHarmTheShell();
    void callsArriveInOrder();
    void invoiceMoment_data();
    void invoiceMoment();
    void pagesThatGoOnAtOnce();
    void sameAddressAgain_data();
    void sameAddressAgain();
    void replacedWhileLoading_data();
    void replacedWhileLoading();
    void downloadOnceInThePagesSession_data();
    void downloadOnceInThePagesSession();
    void failedDownloadKeepsTheFile_data();
    void failedDownloadKeepsTheFile();
    void defaultPortIsTheSameOrigin();
    void rendererKilled();
    void quietPageKeepsItsRenderer();
    void currentJavaScript();

private:
    // A fresh page on its way to `body`, served at `path` of `server`; the
    // engine says nothing of it before the event loop runs.
    std::unique_ptr<ShellPage> loading(TestServer &server, const QByteArray &path, const QString &body);
    // The same, waited for until it has loaded.
    std::unique_ptr<ShellPage> open(TestServer &server, const QByteArray &path, const QString &body,
                                    PageLoad *load = nullptr);

    TestServer service;
    TestServer mainSite;
    TestServer otherPort;
    TestServer plain{TestServer::Http};
    PageSetup setup;
};

void TestJSConnector::initTestCase()
{
    QVERIFY(service.start());
    QVERIFY(mainSite.start());
    QVERIFY(otherPort.start());
    QVERIFY(plain.start());
    const ShellContext context = testContext(service.origin());
    setup.serviceOrigins = {QUrl(service.origin()), QUrl(mainSite.url(QStringLiteral("/start"))),
                            QUrl(QStringLiteral("about:blank"))};
    setup.trustedHostsFile = context.trustedHostsFile;
    setup.trustedCertificates = context.trustedCertificates;
    setup.pageTimeoutMs = 5000;
}

std::unique_ptr<ShellPage> TestJSConnector::loading(TestServer &server, const QByteArray &path, const QString &body)
{
    server.html(path, (QStringLiteral("<html><head><title>-</title></head><body>") + body
                       + QStringLiteral("</body></html>"))
                          .toUtf8());
    std::unique_ptr<ShellPage> page = createShellPage(setup, nullptr);
    page->load(QUrl(server.url(QString::fromLatin1(path))));
    return page;
}

std::unique_ptr<ShellPage> TestJSConnector::open(TestServer &server, const QByteArray &path, const QString &body,
                                                 PageLoad *load)
{
    std::unique_ptr<ShellPage> page = loading(server, path, body);
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    if (!loaded.wait(10000)) {
        qWarning("%s did not load within 10 s", path.constData());
        return nullptr;
    }
    if (load)
        *load = loaded.first().at(0).value<PageLoad>();
    return page;
}

namespace {

QStringList arguments(const QSignalSpy &spy)
{
    QStringList values;
    for (const QList<QVariant> &args : spy)
        values << args.at(0).toString();
    return values;
}

} // namespace

void TestJSConnector::callsFromThePage_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("displayed");
    QTest::addColumn<QStringList>("reports");

    QTest::newRow("display empty emits nothing")
        << QStringLiteral("JSConnector.displayString('')") << QStringList() << QStringList();
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

    // The calls are made by the document's inline script, during its load.
    const QString body = QStringLiteral("<script>") + script
                         + QStringLiteral(";JSConnector.displayString('end')</script>");
    std::unique_ptr<ShellPage> page = loading(service, "/calls", body);
    QSignalSpy displaySpy(page->connector(), &JSConnector::display_string_received);
    QSignalSpy reportSpy(page->connector(), &JSConnector::download_report_request_received);
    QTRY_VERIFY_WITH_TIMEOUT(displaySpy.count() > 0 && displaySpy.last().at(0).toString() == QLatin1String("end"),
                             10000);

    QCOMPARE(arguments(displaySpy).mid(0, displaySpy.count() - 1), displayed);
    QCOMPARE(arguments(reportSpy), reports);
}

void TestJSConnector::onlyServiceDocumentsGetIt_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("seen");

    QTest::newRow("service page") << "service" << "object";
    QTest::newRow("main address's origin") << "main" << "object";
    QTest::newRow("service host, other port") << "other port" << "undefined";
    QTest::newRow("plain http") << "http" << "undefined";
    QTest::newRow("the shell's own page") << "html" << "undefined";
}

void TestJSConnector::onlyServiceDocumentsGetIt()
{
    QFETCH(QString, where);
    QFETCH(QString, seen);

    const QString body = QStringLiteral("<script>document.title = typeof JSConnector;</script><p>x</p>");
    std::unique_ptr<ShellPage> page;
    PageLoad load;
    if (where == QLatin1String("html")) {
        // The shell's own page is no load of the page's: it is only seen.
        page = createShellPage(setup, nullptr);
        page->showHtml(body);
        // (before it, the engine titles the empty page by its address)
        QTRY_VERIFY_WITH_TIMEOUT(page->title() == QLatin1String("undefined") || page->title() == QLatin1String("object"),
                                 10000);
        load.fromService = false;
    } else {
        TestServer &server = where == QLatin1String("service") ? service
                             : where == QLatin1String("main") ? mainSite
                             : where == QLatin1String("other port") ? otherPort
                                                                     : plain;
        page = open(server, "/typeof", body, &load);
        QVERIFY(page);
    }
    QCOMPARE(page->title(), seen);
    QCOMPARE(load.fromService, seen == QLatin1String("object"));
}

void TestJSConnector::pageCannotHarmTheShell()
{
    // Everything a QObject offers a script, tried on what the page was given.
    const QString hostile = QStringLiteral(
        "<script>var b = JSConnector;"
        "['destroyed', 'objectNameChanged', 'deleteLater'].forEach(function (name) {"
        "  try { if (b[name].connect) b[name].connect(function () {}); b[name](); } catch (e) {} });"
        "try { b.objectName = 'taken'; } catch (e) {}"
        "try { delete b.displayString; b.downloadReport = null; JSConnector = null; } catch (e) {}"
        "try { window.dispatchEvent = null; EventTarget.prototype.dispatchEvent = function () {}; } catch (e) {}"
        "var seen = Object.getOwnPropertyNames(window).filter(function (name) {"
        "  return name.indexOf('velmor') >= 0 || name === 'qt'; });"
        "document.title = ['display_string_received', 'download_report_request_received', 'deleteLater',"
        " 'destroyed', 'objectName', 'displayString(QString)']"
        ".filter(function (name) { return name in b; }).concat(seen).join(',') || 'none';"
        "window.setTimeout(function () { JSConnector.displayString('later'); }, 100);</script>");
    std::unique_ptr<ShellPage> page = loading(service, "/hostile", hostile);
    QSignalSpy displaySpy(page->connector(), &JSConnector::display_string_received);
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(page->title(), QStringLiteral("none")); // nothing of the shell's own, no transport

    QTRY_COMPARE_WITH_TIMEOUT(displaySpy.count(), 1, 5000); // the same document's later call still arrives
    QCOMPARE(page->connector()->objectName(), QString());
    QCOMPARE(pageScript(page.get(), QStringLiteral("(function () { var names = []; for (var name in JSConnector)"
                                                   " names.push(name); return names.sort().join(','); })()"))
                 .toString(),
             QStringLiteral("displayString,downloadReport"));
}

void TestJSConnector::callsArriveInOrder()
{
    // From the inline script, the document's events, a handler and a timer:
    // none lost, none out of order, though the engine's channel may come up
    // only after some of them.
    const QString body = QStringLiteral(
        "<script>var c = JSConnector; c.displayString('1'); c.displayString('2');"
        "document.addEventListener('DOMContentLoaded', function () { c.displayString('3'); });"
        "window.addEventListener('load', function () { c.displayString('4');"
        "  setTimeout(function () { document.body.click(); c.displayString('6'); }, 50); });"
        "</script><body onclick=\"JSConnector.displayString('5')\"><p>x</p></body>");
    std::unique_ptr<ShellPage> page = loading(service, "/order", body);
    QSignalSpy displaySpy(page->connector(), &JSConnector::display_string_received);
    QTRY_COMPARE_WITH_TIMEOUT(displaySpy.count(), 6, 10000);
    QCOMPARE(arguments(displaySpy), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                                  QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")}));
}

namespace {

// What the page's invoices were, as they were taken.
QStringList portInvoices(const QSignalSpy &taken)
{
    QStringList values;
    for (const QList<QVariant> &args : taken)
        values << args.at(0).value<PageInvoice>().portInvoice;
    return values;
}

} // namespace

void TestJSConnector::invoiceMoment_data()
{
    QTest::addColumn<QString>("script"); // run by the page's load handler
    QTest::addColumn<QString>("taken");

    QTest::newRow("in the markup") << QString() << "RAČUN 1";
    QTest::newRow("filled by a load handler") << "invoice.value = 'RAČUN 2';" << "RAČUN 2";
    QTest::newRow("changed by a timer it started")
        << "invoice.value = 'A'; setTimeout(function () { invoice.value = 'B'; }, 0);" << "A";
    QTest::newRow("emptied by a load handler") << "invoice.value = '';" << "";
}

void TestJSConnector::invoiceMoment()
{
    QFETCH(QString, script);
    QFETCH(QString, taken);

    // Once the document's load handlers have run and before any timer they
    // started: the invoice is what they left, and the mark is set then.
    const QString body = QStringLiteral(
        "<input type='hidden' id='PrintInvoiceData' value='RAČUN 1'>"
        "<input type='hidden' id='PrintInvoiceDataHTML' value='&lt;b&gt;RAČUN 1&lt;/b&gt;'>"
        "<input type='hidden' id='IsShell' value='false'>"
        "<script>var invoice = document.getElementById('PrintInvoiceData');"
        "var mark = function () { return document.getElementById('IsShell').getAttribute('value'); };"
        "window.addEventListener('load', function () { var during = mark(); %1"
        "  setTimeout(function () { document.title = during + ',' + mark(); }, 0); });"
        "</script>").arg(script);
    std::unique_ptr<ShellPage> page = loading(service, "/invoice", body);
    QSignalSpy takenSpy(page.get(), &ShellPage::invoiceTaken);
    QTRY_COMPARE_WITH_TIMEOUT(page->title(), QStringLiteral("false,true"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(takenSpy.count(), 1, 5000);
    const PageInvoice invoice = takenSpy.first().at(0).value<PageInvoice>();
    QCOMPARE(invoice.portInvoice, taken);
    QCOMPARE(invoice.htmlInvoice, QStringLiteral("<b>RAČUN 1</b>"));
    QCOMPARE(invoice.url.path(), QStringLiteral("/invoice"));
}

void TestJSConnector::pagesThatGoOnAtOnce()
{
    // A till that opens the next form from each invoice page's load handler:
    // every page's invoice is taken, once.
    const int pages = 10;
    for (int i = 1; i <= pages; ++i) {
        const QString next = i < pages ? QStringLiteral("location.href = '/chain/%1';").arg(i + 1) : QString();
        service.html(QStringLiteral("/chain/%1").arg(i).toLatin1(),
                     QStringLiteral("<html><body><input type='hidden' id='PrintInvoiceData' value='R%1'>"
                                    "<script>window.addEventListener('load', function () { %2 });</script>"
                                    "</body></html>")
                         .arg(i)
                         .arg(next)
                         .toUtf8());
    }
    std::unique_ptr<ShellPage> page = createShellPage(setup, nullptr);
    QSignalSpy takenSpy(page.get(), &ShellPage::invoiceTaken);
    page->load(QUrl(service.url(QStringLiteral("/chain/1"))));
    QStringList expected;
    for (int i = 1; i <= pages; ++i)
        expected << QStringLiteral("R%1").arg(i);
    QTRY_COMPARE_WITH_TIMEOUT(portInvoices(takenSpy).size(), pages, 20000);
    QTest::qWait(300); // nothing more comes
    QCOMPARE(portInvoices(takenSpy), expected);
}

void TestJSConnector::sameAddressAgain_data()
{
    QTest::addColumn<bool>("reload"); // else loaded again by its address
    QTest::newRow("reloaded") << true;
    QTest::newRow("loaded again") << false;
}

void TestJSConnector::sameAddressAgain()
{
    // The address does not change, but the document is a new one, with an
    // invoice of its own. (A page with no script of its own, too.)
    QFETCH(bool, reload);
    std::unique_ptr<ShellPage> page = loading(service, "/again", QStringLiteral("<input type='hidden' "
                                                                                "id='PrintInvoiceData' value='R'>"));
    QSignalSpy takenSpy(page.get(), &ShellPage::invoiceTaken);
    QTRY_COMPARE_WITH_TIMEOUT(takenSpy.count(), 1, 10000);
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    if (reload)
        page->reload();
    else
        page->load(page->url());
    QVERIFY(loaded.wait(10000));
    const PageLoad load = loaded.first().at(0).value<PageLoad>();
    QVERIFY(load.ok());
    QVERIFY(load.committed);
    QTRY_COMPARE_WITH_TIMEOUT(takenSpy.count(), 2, 5000);
    QCOMPARE(takenSpy.last().at(0).value<PageInvoice>().loadId, load.id);
}

void TestJSConnector::replacedWhileLoading_data()
{
    QTest::addColumn<bool>("reachable"); // the new address answers, else nothing listens there
    QTest::newRow("by a page that answers") << true;
    QTest::newRow("by one that cannot be reached") << false;
}

void TestJSConnector::replacedWhileLoading()
{
    // The shell loads another address while a slow page is on its way: the
    // slow one ends as replaced, and the new one ends once, as it went,
    // whatever the engine still says of the old one.
    QFETCH(bool, reachable);
    const auto release = std::make_shared<std::atomic<bool>>(false);
    service.route("/slow", [release](const httplib::Request &, httplib::Response &res) {
        for (int i = 0; i < 300 && !*release; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.set_content("<html><body>late</body></html>", "text/html");
    });
    service.html("/next", "<html><body>next</body></html>");
    TestServer gone;
    QVERIFY(gone.start());
    const QUrl next = reachable ? QUrl(service.url(QStringLiteral("/next"))) : QUrl(gone.url(QStringLiteral("/next")));
    gone.stop();

    std::unique_ptr<ShellPage> page = createShellPage(setup, nullptr);
    QSignalSpy started(page.get(), &ShellPage::loadStarted);
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    service.clearRequests();
    page->load(QUrl(service.url(QStringLiteral("/slow"))));
    QVERIFY(service.waitForRequests("/slow"));
    QTRY_COMPARE_WITH_TIMEOUT(started.count(), 1, 5000);
    page->load(next);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() >= 2, 10000);
    *release = true;
    QTest::qWait(300); // nothing more comes of either
    QCOMPARE(started.count(), 2);
    QCOMPARE(loaded.count(), 2);
    const PageLoad first = loaded.at(0).at(0).value<PageLoad>();
    const PageLoad second = loaded.at(1).at(0).value<PageLoad>();
    QCOMPARE(int(first.end), int(PageLoad::Replaced));
    QCOMPARE(second.id, started.at(1).at(0).toInt());
    QCOMPARE(int(second.end), int(reachable ? PageLoad::Finished : PageLoad::Failed));
}

void TestJSConnector::downloadOnceInThePagesSession_data()
{
    QTest::addColumn<QString>("follow"); // what the page does to get it
    QTest::addColumn<QByteArray>("method");
    QTest::newRow("link") << "document.getElementById('link').click();" << QByteArray("GET");
    QTest::newRow("form sent by POST") << "document.getElementById('form').submit();" << QByteArray("POST");
}

void TestJSConnector::downloadOnceInThePagesSession()
{
    // What the view cannot show is fetched once, as the page asked for it
    // (its cookie, its method), and saved; the page stays as it was and its
    // invoice is not taken again.
    QFETCH(QString, follow);
    QFETCH(QByteArray, method);
    const QByteArray archive(2048, 'z');
    service.route("/archive.zip", [archive](const httplib::Request &req, httplib::Response &res) {
        if (req.get_header_value("Cookie") != "session=s1") {
            res.status = 403;
            return;
        }
        res.set_content(archive.toStdString(), "application/zip");
    });
    service.clearRequests();
    const QString body = QStringLiteral(
        "<input type='hidden' id='PrintInvoiceData' value='RAČUN Z'>"
        "<a id='link' href='/archive.zip'>Preuzmi</a>"
        "<form id='form' method='post' action='/archive.zip'><input name='od' value='1'></form>"
        "<script>document.cookie = 'session=s1; path=/';"
        "window.addEventListener('load', function () { setTimeout(function () { %1 }, 200); });</script>")
        .arg(follow);
    std::unique_ptr<ShellPage> page = loading(service, "/download", body);
    QSignalSpy takenSpy(page.get(), &ShellPage::invoiceTaken);
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("report.pdf"));
    std::unique_ptr<QSignalSpy> saved;
    QString origin;
    connect(page.get(), &ShellPage::downloadOffered, this, [&](PageDownload *download) {
        origin = download->origin();
        saved = std::make_unique<QSignalSpy>(download, &PageDownload::saved);
        download->saveAs(target, 10000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(saved && saved->count() == 1, 10000);
    QCOMPARE(readFile(target), archive);
    QCOMPARE(origin, service.origin());
    const QList<RecordedRequest> asked = service.requestsTo("/archive.zip");
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().method, method);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("report.pdf")}); // nothing of the engine's left beside it
    QTest::qWait(300);
    QCOMPARE(portInvoices(takenSpy), QStringList{QStringLiteral("RAČUN Z")});
    QCOMPARE(page->url().path(), QStringLiteral("/download"));
}

void TestJSConnector::failedDownloadKeepsTheFile_data()
{
    QTest::addColumn<bool>("trickles"); // else the server refuses it half-way
    QTest::newRow("past its time limit") << true;
    QTest::newRow("cut off half-way") << false;
}

void TestJSConnector::failedDownloadKeepsTheFile()
{
    // A download that does not arrive whole leaves the previous file as it
    // was and nothing of its own beside it.
    QFETCH(bool, trickles);
    service.route("/broken.zip", [trickles](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(100000, "application/zip",
                                 [trickles](size_t offset, size_t, httplib::DataSink &sink) {
                                     if (!trickles && offset > 0)
                                         return false; // the connection goes
                                     std::this_thread::sleep_for(std::chrono::milliseconds(trickles ? 100 : 0));
                                     return sink.write("z", 1);
                                 });
    });
    std::unique_ptr<ShellPage> page =
        loading(service, "/broken", QStringLiteral("<script>location.href = '/broken.zip';</script>"));
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("report.pdf"));
    QVERIFY(writeFile(target, "previous"));
    std::unique_ptr<QSignalSpy> failed;
    connect(page.get(), &ShellPage::downloadOffered, this, [&](PageDownload *download) {
        failed = std::make_unique<QSignalSpy>(download, &PageDownload::failed);
        download->saveAs(target, 1000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(failed && failed->count() == 1, 10000);
    QCOMPARE(readFile(target), QByteArray("previous"));
    QTest::qWait(300); // the engine's part is gone for good, not only for now
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("report.pdf")});
}

void TestJSConnector::defaultPortIsTheSameOrigin()
{
    // A service written with its default port is the same origin as the
    // page's own address without one.
    TestServer onDefaultPort;
    if (!onDefaultPort.start(443))
        QSKIP("port 443 cannot be taken here (it needs root)");
    PageSetup defaultPort = setup;
    defaultPort.serviceOrigins = {QUrl(QStringLiteral("https://127.0.0.1:443"))};
    onDefaultPort.html("/till", "<html><body><input type='hidden' id='PrintInvoiceData' value='R443'>"
                                "<script>document.title = typeof JSConnector;</script></body></html>");
    std::unique_ptr<ShellPage> page = createShellPage(defaultPort, nullptr);
    QSignalSpy takenSpy(page.get(), &ShellPage::invoiceTaken);
    page->load(QUrl(QStringLiteral("https://127.0.0.1/till")));
    QTRY_COMPARE_WITH_TIMEOUT(takenSpy.count(), 1, 10000);
    QCOMPARE(portInvoices(takenSpy), QStringList{QStringLiteral("R443")});
    QCOMPARE(page->title(), QStringLiteral("object"));
}

void TestJSConnector::rendererKilled()
{
#ifdef VELMOR_ENGINE_WEBKIT
    QSKIP("QtWebKit renders in the program's own process");
#else
    std::unique_ptr<ShellPage> page = open(service, "/alive", QStringLiteral("<p>x</p>"));
    QVERIFY(page);
    QSignalSpy gone(page.get(), &ShellPage::rendererGone);
    QVERIFY(killRenderers() > 0);
    QVERIFY(gone.wait(10000));
    // A new renderer takes the next load.
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    page->load(QUrl(service.url(QStringLiteral("/alive"))));
    QVERIFY(loaded.wait(10000));
    QVERIFY(loaded.first().at(0).value<PageLoad>().ok());
#endif
}

void TestJSConnector::quietPageKeepsItsRenderer()
{
    // A renderer that answers is never taken for one that hangs, however
    // long the page stays as it is.
    PageSetup quick = setup;
    quick.pageTimeoutMs = 300;
    std::unique_ptr<ShellPage> page = createShellPage(quick, nullptr);
    service.html("/quiet", "<html><body>x</body></html>");
    QSignalSpy gone(page.get(), &ShellPage::rendererGone);
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    page->load(QUrl(service.url(QStringLiteral("/quiet"))));
    QVERIFY(loaded.wait(10000));
    QVERIFY(!gone.wait(2000));
    QCOMPARE(loaded.count(), 1);
}

void TestJSConnector::currentJavaScript()
{
    // What current web toolchains emit by default. QtWebKit parses none of it.
    const QString body = QStringLiteral(
        "<script>"
        "class Till { #count = 0; add() { return ++this.#count; } }"
        "async function later() { return 'a'; }"
        "const options = { a: { b: null } };"
        "const { a, ...rest } = { a: 1, b: 2, c: 3 };"
        "const parts = [options?.a?.b ?? 'default', new Till().add(), Object.keys({ ...rest, d: 4 }).length,"
        "  String(2n ** 64n), [[1], [2, [3]]].flat(2).length, Object.fromEntries([['k', 'v']]).k,"
        "  typeof globalThis.JSConnector];"
        "later().then(function (value) { JSConnector.displayString(parts.join(',') + ',' + value); });"
        "</script>");
    std::unique_ptr<ShellPage> page = loading(service, "/modern", body);
    QSignalSpy displaySpy(page->connector(), &JSConnector::display_string_received);
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    QVERIFY(loaded.wait(10000));
#ifdef VELMOR_ENGINE_WEBKIT
    QTest::qWait(200);
    QCOMPARE(displaySpy.count(), 0);
#else
    QTRY_COMPARE_WITH_TIMEOUT(displaySpy.count(), 1, 5000);
    QCOMPARE(displaySpy.first().at(0).toString(), QStringLiteral("default,1,3,18446744073709551616,3,v,object,a"));
#endif
}

QTEST_MAIN(TestJSConnector)
#include "tst_jsconnector.moc"
