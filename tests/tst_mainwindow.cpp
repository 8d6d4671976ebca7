#include "shellwindow.h"
#include "testhelpers.h"
#include "testserver.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// A page that tells the server what its own script sees as JSConnector.
QByteArray reportingPage(const QByteArray &name)
{
    return "<html><body><p>" + name + "</p><script>"
           "var probe = new Image();"
           "probe.src = '/seen?page=" + name + "&type=' + typeof JSConnector;"
           "</script></body></html>";
}

QByteArray seenType(const RecordedRequest &request)
{
    const QUrlQuery query(QString::fromLatin1(request.target.mid(request.target.indexOf('?') + 1)));
    return query.queryItemValue(QStringLiteral("type")).toLatin1();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadsStartAddress_data();
    void loadsStartAddress();
    void bridgeInEveryDocument();
    void progressBarFollowsLoads();
    void noContextMenu();
    void checksForUpdatesAtStart();

private:
    std::unique_ptr<MainWindow> newWindow() const
    {
        return std::make_unique<MainWindow>(testContext(service.origin()));
    }
    QWebView *webView() const { return webViewOf(window.get()); }
    QProgressBar *progressBar() const { return window->findChild<QProgressBar *>(QStringLiteral("progressBar")); }

    TestServer service;
    TestServer otherSite;
    std::unique_ptr<ScopedWorkDir> workDir;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(service.start());
    QVERIFY(otherSite.start());
    service.html("/accounts/login", reportingPage("login"));
    service.html("/next", reportingPage("next"));
    otherSite.html("/elsewhere", reportingPage("elsewhere"));
    service.content("/updates/checkForUpdates", R"({"version": 0, "files": []})", "application/json");
}

void TestMainWindow::init()
{
    workDir = std::make_unique<ScopedWorkDir>();
    service.clearRequests();
    otherSite.clearRequests();
}

void TestMainWindow::cleanup()
{
    window.reset();
    workDir.reset();
}

void TestMainWindow::loadsStartAddress_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("fromOtherSite");
    QTest::addColumn<QByteArray>("path");

    QTest::newRow("no settings file") << QByteArray() << false << QByteArray("/accounts/login");
    QTest::newRow("mainUrl empty") << QByteArray("[General]\nmainUrl=\n") << false << QByteArray("/accounts/login");
    QTest::newRow("mainUrl on another server") << QByteArray("[General]\nmainUrl=%OTHER%/elsewhere\n") << true
                                               << QByteArray("/elsewhere");
}

void TestMainWindow::loadsStartAddress()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, fromOtherSite);
    QFETCH(QByteArray, path);

    if (!settings.isEmpty())
        writeSettingsFile(settings.replace("%OTHER%", otherSite.origin().toLatin1()));

    window = newWindow();
    TestServer &expected = fromOtherSite ? otherSite : service;
    TestServer &unexpected = fromOtherSite ? service : otherSite;
    QVERIFY(expected.waitForRequests(path));
    QVERIFY(expected.waitForRequests("/seen"));
    QCOMPARE(unexpected.requestsTo(path).size(), 0);
    QCOMPARE(unexpected.requestsTo("/accounts/login").size(), 0);
}

void TestMainWindow::bridgeInEveryDocument()
{
    window = newWindow();
    QVERIFY(service.waitForRequests("/seen", 1));

    // a navigation on the same site, then to another site, then a reload
    webView()->setUrl(QUrl(service.url(QStringLiteral("/next"))));
    QVERIFY(service.waitForRequests("/seen", 2));
    webView()->setUrl(QUrl(otherSite.url(QStringLiteral("/elsewhere"))));
    QVERIFY(otherSite.waitForRequests("/seen", 1));
    webView()->reload();
    QVERIFY(otherSite.waitForRequests("/seen", 2));

    QList<RecordedRequest> seen = service.requestsTo("/seen") + otherSite.requestsTo("/seen");
    QCOMPARE(seen.size(), 4);
    for (const RecordedRequest &request : seen)
        QCOMPARE(seenType(request), QByteArray("object"));
}

void TestMainWindow::progressBarFollowsLoads()
{
    std::atomic<bool> release{false};
    service.route("/slow", [&release](const httplib::Request &, httplib::Response &res) {
        for (int i = 0; i < 1000 && !release; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.set_content("<html><body>slow</body></html>", "text/html");
    });
    writeSettingsFile("[General]\nmainUrl=" + service.url(QStringLiteral("/slow")).toLatin1() + "\n");

    window = newWindow();
    window->show();
    QSignalSpy finished(webView(), &QWebView::loadFinished);
    QVERIFY(service.waitForRequests("/slow"));
    QTRY_VERIFY(!progressBar()->isHidden());
    QVERIFY(progressBar()->isVisible());

    release = true;
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.last().at(0).toBool(), true);
    QVERIFY(progressBar()->isHidden());

    // a load that fails: nothing listens on the stopped server's port
    TestServer gone;
    QVERIFY(gone.start());
    const QUrl deadUrl(gone.url(QStringLiteral("/")));
    gone.stop();
    QSignalSpy started(webView(), &QWebView::loadStarted);
    webView()->setUrl(deadUrl);
    QVERIFY(finished.wait(10000));
    QCOMPARE(started.count(), 1);
    QCOMPARE(finished.last().at(0).toBool(), false);
    QVERIFY(progressBar()->isHidden());
}

void TestMainWindow::noContextMenu()
{
    window = newWindow();
    window->show();
    QVERIFY(service.waitForRequests("/seen"));

    // Whatever menu would open is closed again right away, and noted.
    bool menuShown = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&menuShown] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    closer.start(20);

    QWidget *target = webView();
    const QPoint pos(20, 20);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
    QTest::qWait(200);
    QVERIFY(!menuShown);
}

void TestMainWindow::checksForUpdatesAtStart()
{
    window = newWindow();
    // the constructor returned: the check was made and answered
    const QList<RecordedRequest> checks = service.requestsTo("/updates/checkForUpdates");
    QCOMPARE(checks.size(), 1);
    QCOMPARE(checks.first().target, QByteArray("/updates/checkForUpdates?os=1"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
