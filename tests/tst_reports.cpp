#include "shellwindow.h"
#include "testhelpers.h"
#include "testserver.h"

#include <QDesktopServices>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// Records what the desktop was asked to open.
class OpenRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

namespace {

const QByteArray pdfBody = "%PDF-1.4\n% a report\n%%EOF\n";

void waitFor(const std::atomic<bool> &flag)
{
    for (int i = 0; i < 2000 && !flag; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fetchesServiceOriginAndPath_data();
    void fetchesServiceOriginAndPath();
    void leavesPageCookiesBehind();
    void followsServiceOriginNotMainUrl();
    void staysOnTheService_data();
    void staysOnTheService();
    void failureKeepsPreviousReport_data();
    void failureKeepsPreviousReport();
    void unsupportedContentSaved();
    void twoReportsInFlight();
    void reportsEnd_data();
    void reportsEnd();
    void serviceDownNamed();
    void sameReportTwiceOpensOnce();
    void noViewerSaysWhere();

private:
    void openWindow(const QByteArray &settings = QByteArray());
    void openWindowWith(const ShellContext &context);
    void callPage(const QString &script);
    QString reportPath() const { return workDir->filePath(QStringLiteral("report.pdf")); }
    ShellPage *webPage() const { return pageOf(window.get()); }

    TestServer service;
    TestServer otherSite;
    OpenRecorder desktop;
    std::unique_ptr<ScopedWorkDir> workDir;
    std::unique_ptr<MainWindow> window;
};

void TestReports::initTestCase()
{
    QVERIFY(service.start());
    QVERIFY(otherSite.start());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");

    service.html("/accounts/login", "<html><body><p id='marker'>login page</p>"
                                    "<a id='archive' href='/files/archive.zip'>archive</a></body></html>");
    service.content("/updates/checkForUpdates", R"({"version": 0, "files": []})", "application/json");
    otherSite.html("/start", "<html><body>elsewhere</body></html>");
}

void TestReports::init()
{
    workDir = std::make_unique<ScopedWorkDir>();
    service.clearRequests();
    otherSite.clearRequests();
    desktop.opened.clear();
}

void TestReports::cleanup()
{
    window.reset();
    workDir.reset();
}

void TestReports::openWindow(const QByteArray &settings)
{
    if (!settings.isEmpty())
        writeSettingsFile(settings);
    openWindowWith(testContext(service.origin()));
}

void TestReports::openWindowWith(const ShellContext &context)
{
    QVERIFY(openMainWindow(window, context));
}

void TestReports::callPage(const QString &script)
{
    pageScript(webPage(), script);
}

void TestReports::fetchesServiceOriginAndPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("path with query")
        << QStringLiteral("/reports/turnover.pdf?from=2026-01-01&to=2026-01-31&shop=2")
        << QByteArray("/reports/turnover.pdf")
        << QByteArray("/reports/turnover.pdf?from=2026-01-01&to=2026-01-31&shop=2");
    QTest::newRow("empty path is the bare origin") << QString() << QByteArray("/") << QByteArray("/");
    QTest::newRow("space made valid") << QStringLiteral("/reports/a b.pdf") << QByteArray("/reports/a b.pdf")
                                      << QByteArray("/reports/a%20b.pdf");
}

void TestReports::fetchesServiceOriginAndPath()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, route);
    QFETCH(QByteArray, target);

    service.content(route, pdfBody, "application/pdf");
    openWindow();
    LogCapture log;
    callPage(QStringLiteral("JSConnector.downloadReport('%1')").arg(path));

    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 10000);
    QCOMPARE(desktop.opened.first(), QUrl::fromLocalFile(reportPath()));
    QCOMPARE(readFile(reportPath()), pdfBody);
    const QList<RecordedRequest> requests = service.requestsTo(route);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().target, target);
    QVERIFY(log.contains(service.origin() + path));
}

void TestReports::leavesPageCookiesBehind()
{
    service.route("/login-with-cookie", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "session=secret; Path=/");
        res.set_content("<html><body>logged in</body></html>", "text/html");
    });
    service.html("/after-login", "<html><body>after</body></html>");
    service.content("/reports/private.pdf", pdfBody, "application/pdf");
    openWindow("[General]\nmainUrl=" + service.url(QStringLiteral("/login-with-cookie")).toLatin1() + "\n");

    // the page itself does carry the cookie
    webPage()->load(QUrl(service.url(QStringLiteral("/after-login"))));
    QVERIFY(service.waitForRequests("/after-login"));
    QCOMPARE(service.requestsTo("/after-login").first().header("cookie"), QByteArray("session=secret"));

    callPage(QStringLiteral("JSConnector.downloadReport('/reports/private.pdf')"));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 10000);
    QCOMPARE(service.requestsTo("/reports/private.pdf").first().header("cookie"), QByteArray());
}

void TestReports::followsServiceOriginNotMainUrl()
{
    service.content("/reports/r.pdf", pdfBody, "application/pdf");
    openWindow("[General]\nmainUrl=" + otherSite.url(QStringLiteral("/start")).toLatin1() + "\n");
    QCOMPARE(otherSite.requestsTo("/start").size(), 1);

    callPage(QStringLiteral("JSConnector.downloadReport('/reports/r.pdf')"));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 10000);
    QCOMPARE(service.requestsTo("/reports/r.pdf").size(), 1);
    QCOMPARE(otherSite.requestsTo("/reports/r.pdf").size(), 0);
    QCOMPARE(readFile(reportPath()), pdfBody);
}

void TestReports::staysOnTheService_data()
{
    QTest::addColumn<QString>("path"); // %O: the other server's host and port

    // Every form of path is tst_reportaddress'; here, that nothing is fetched.
    QTest::newRow("user info before another host") << QStringLiteral("@%O/x");
}

void TestReports::staysOnTheService()
{
    QFETCH(QString, path);
    otherSite.content("/x", pdfBody, "application/pdf");
    openWindow();
    path.replace(QLatin1String("%O"), QUrl(otherSite.origin()).authority());
    callPage(QStringLiteral("JSConnector.downloadReport('%1')").arg(path));

    QVERIFY2(window->statusBar()->currentMessage().contains(QStringLiteral("ne vodi na servis")),
             qPrintable(window->statusBar()->currentMessage()));
    QTest::qWait(200); // a request, had one gone out, would be there by now
    QCOMPARE(otherSite.requests().size(), 0);
    QCOMPARE(service.requestsTo("/x").size(), 0);
    QVERIFY(desktop.opened.isEmpty());
}

void TestReports::failureKeepsPreviousReport_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("404 with an HTML body") << QByteArray("404");
    QTest::newRow("500 with a body") << QByteArray("500");
    QTest::newRow("redirect not followed") << QByteArray("redirect");
    QTest::newRow("connection dropped mid-body") << QByteArray("drop");
    QTest::newRow("report file cannot be written") << QByteArray("unwritable");
    QTest::newRow("report file is a link elsewhere") << QByteArray("link");
}

void TestReports::failureKeepsPreviousReport()
{
    QFETCH(QByteArray, kind);

    service.route("/reports/bad.pdf", [kind](const httplib::Request &, httplib::Response &res) {
        if (kind == "404") {
            res.status = 404;
            res.set_content("<html><body>Not found</body></html>", "text/html");
        } else if (kind == "500") {
            res.status = 500;
            res.set_content("%PDF-1.4 internal error", "application/pdf");
        } else if (kind == "redirect") {
            res.set_redirect("/reports/elsewhere.pdf");
        } else if (kind == "drop") {
            // promises a megabyte, sends a few bytes, then closes the connection
            res.set_content_provider(1 << 20, "application/pdf",
                                     [](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset > 0)
                                             return false;
                                         sink.write("%PDF-1.4 partial", 16);
                                         return true;
                                     });
        } else {
            res.set_content(pdfBody.toStdString(), "application/pdf");
        }
    });
    service.content("/reports/elsewhere.pdf", pdfBody, "application/pdf");

    const QByteArray previous = "%PDF-1.4 the previous report";
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("precious"));
    if (kind == "unwritable") {
        // a directory where the report should go cannot be replaced by a file
        QVERIFY(QDir().mkdir(QStringLiteral("report.pdf")));
    } else if (kind == "link") {
        QVERIFY(writeFile(target, previous));
        QVERIFY(QFile::link(target, QStringLiteral("report.pdf")));
    } else {
        QFile file(QStringLiteral("report.pdf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(previous);
    }

    openWindow();
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/bad.pdf')"));
    QVERIFY(service.waitForRequests("/reports/bad.pdf"));
    QTRY_VERIFY_WITH_TIMEOUT(window->statusBar()->currentMessage().startsWith(QStringLiteral("Izvještaj nije preuzet")),
                             10000);
    QTest::qWait(100);

    QVERIFY(desktop.opened.isEmpty());
    if (kind == "unwritable")
        QVERIFY(QFileInfo(QStringLiteral("report.pdf")).isDir());
    else
        QCOMPARE(readFile(reportPath()), previous);
    if (kind == "link")
        QCOMPARE(readFile(target), previous); // nothing written through it
    QCOMPARE(service.requestsTo("/reports/elsewhere.pdf").size(), 0);
    // nothing half-written left beside it
    QCOMPARE(QDir().entryList(QDir::Files | QDir::NoDotAndDotDot).filter(QStringLiteral("report")),
             kind == "unwritable" ? QStringList() : QStringList{QStringLiteral("report.pdf")});
}

void TestReports::unsupportedContentSaved()
{
    const QByteArray archive("PK\x03\x04 an archive body", 22);
    service.content("/files/archive.zip", archive, "application/zip");
    openWindow();
    const QUrl before = webPage()->url();

    callPage(QStringLiteral("document.getElementById('archive').click()"));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 10000);
    QCOMPARE(desktop.opened.first(), QUrl::fromLocalFile(reportPath()));
    QCOMPARE(readFile(reportPath()), archive);

    QTest::qWait(200);
    QCOMPARE(webPage()->url(), before);
    QVERIFY(pageHtml(webPage()).contains(QStringLiteral("login page")));
}

void TestReports::twoReportsInFlight()
{
    std::atomic<bool> releaseFirst{false}, releaseSecond{false};
    const QByteArray first(300 * 1024, 'a'), second(200 * 1024, 'b');
    auto slowReport = [](const QByteArray &body, std::atomic<bool> &release) {
        return [body, &release](const httplib::Request &, httplib::Response &res) {
            // half at once, the rest when released
            res.set_content_provider(body.size(), "application/pdf",
                                     [body, &release](size_t offset, size_t, httplib::DataSink &sink) {
                                         const size_t half = body.size() / 2;
                                         if (offset >= half)
                                             waitFor(release);
                                         const size_t end = offset < half ? half : body.size();
                                         sink.write(body.constData() + offset, end - offset);
                                         return true;
                                     });
        };
    };
    service.route("/reports/first.pdf", slowReport(first, releaseFirst));
    service.route("/reports/second.pdf", slowReport(second, releaseSecond));

    QFile previous(QStringLiteral("report.pdf"));
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("previous");
    previous.close();

    openWindow();
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/first.pdf');"
                            "JSConnector.downloadReport('/reports/second.pdf');"));
    QVERIFY(service.waitForRequests("/reports/first.pdf"));
    QVERIFY(service.waitForRequests("/reports/second.pdf"));

    // both are half-way; the file on disk is still the previous one
    QTest::qWait(300);
    QCOMPARE(readFile(reportPath()), QByteArray("previous"));

    releaseSecond = true;
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 10000);
    QCOMPARE(readFile(reportPath()), second);

    releaseFirst = true;
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 2, 10000);
    QCOMPARE(readFile(reportPath()), first);
}

void TestReports::reportsEnd_data()
{
    QTest::addColumn<bool>("trickles"); // a byte now and then, else nothing at all
    QTest::addColumn<QString>("said");
    QTest::newRow("nothing for the stall limit") << false << "nema odgovora";
    QTest::newRow("a trickle past the time limit") << true << "nije stigao u 2 s";
}

void TestReports::reportsEnd()
{
    QFETCH(bool, trickles);
    QFETCH(QString, said);
    const auto release = std::make_shared<std::atomic<bool>>(false);
    service.route("/reports/slow.pdf", [trickles, release](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("application/pdf", [trickles, release](size_t, httplib::DataSink &sink) {
            for (int i = 0; i < 100 && !*release; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (trickles && !sink.write("x", 1))
                    return false;
            }
            sink.done();
            return true;
        });
    });
    ShellContext context = testContext(service.origin());
    context.pageTimeoutMs = 1000;
    context.reportTimeLimitMs = 2000;
    openWindowWith(context);
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/slow.pdf')"));
    QTRY_VERIFY_WITH_TIMEOUT(window->statusBar()->currentMessage().startsWith(QStringLiteral("Izvještaj nije preuzet")),
                             10000);
    const QString message = window->statusBar()->currentMessage();
    // The same report may be asked for again: it no longer holds its place.
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/slow.pdf')"));
    QVERIFY(service.waitForRequests("/reports/slow.pdf", 2));
    *release = true;
    QVERIFY2(message.contains(said), qPrintable(message));
    QVERIFY(desktop.opened.isEmpty());
}

void TestReports::serviceDownNamed()
{
    TestServer gone;
    QVERIFY(gone.start());
    const QString origin = gone.origin();
    gone.stop();

    // the page comes from a server that is up, reports from the one that is down
    writeSettingsFile("[General]\nmainUrl=" + service.url(QStringLiteral("/accounts/login")).toLatin1() + "\n");
    UpdateDialogCloser user;
    openWindowWith(testContext(origin));
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/r.pdf')"));
    QTRY_COMPARE_WITH_TIMEOUT(window->statusBar()->currentMessage(),
                              QStringLiteral("Izvještaj nije preuzet: Servis 127.0.0.1:%1 nije dostupan (veza odbijena)")
                                  .arg(origin.section(QLatin1Char(':'), -1)),
                              10000);
    QVERIFY(desktop.opened.isEmpty());
}

void TestReports::sameReportTwiceOpensOnce()
{
    // 2 MB in steady pieces, over about a second
    const QByteArray body(2 << 20, 'r');
    service.route("/reports/slow.pdf", [body](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(body.size(), "application/pdf",
                                 [body](size_t offset, size_t, httplib::DataSink &sink) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(30));
                                     sink.write(body.constData() + offset, std::min<size_t>(64 * 1024, body.size() - offset));
                                     return true;
                                 });
    });
    openWindow();
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/slow.pdf')"));
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/slow.pdf')"));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Taj se izvještaj već preuzima."));
    QTRY_VERIFY2_WITH_TIMEOUT(window->statusBar()->currentMessage().startsWith(QStringLiteral("Preuzimanje izvještaja: ")),
                              qPrintable(window->statusBar()->currentMessage()), 10000);

    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 10000);
    QTest::qWait(300);
    QCOMPARE(desktop.opened.size(), 1);
    QCOMPARE(service.requestsTo("/reports/slow.pdf").size(), 1);
    QCOMPARE(readFile(reportPath()), body);
}

void TestReports::noViewerSaysWhere()
{
    service.content("/reports/r.pdf", pdfBody, "application/pdf");
    QDesktopServices::unsetUrlHandler(QStringLiteral("file")); // the offscreen desktop opens nothing
    auto restore = qScopeGuard([this] { QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open"); });
    openWindow();
    callPage(QStringLiteral("JSConnector.downloadReport('/reports/r.pdf')"));
    QTRY_COMPARE_WITH_TIMEOUT(window->statusBar()->currentMessage(),
                              QStringLiteral("Izvještaj je spremljen u %1, ali nema programa koji ga može otvoriti.")
                                  .arg(QDir::toNativeSeparators(reportPath())),
                              10000);
    QCOMPARE(readFile(reportPath()), pdfBody);
}

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
