#include "shellwindow.h"
#include "testhelpers.h"
#include "testserver.h"

#include <QApplication>
#include <QScopeGuard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// A page that tells the server what its own script sees as JSConnector.
QByteArray reportingPage(const QByteArray &name, const QByteArray &extra = QByteArray())
{
    return "<html><body><p>" + name + "</p>" + extra + "<script>"
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
    void bridgeOnlyForTheService();
    void certificateTrustedOnFirstUse();
    void noFirstUseElsewhere_data();
    void noFirstUseElsewhere();
    void progressBarFollowsLoads();
    void noContextMenu();
    void updateCheckOverTheWindow_data();
    void updateCheckOverTheWindow();
    void noCheckWithoutSelfUpdate();
    void errorPageUntilTheServiceComesBack();
    void updateBoxGoesWhenTheServiceIsBack();
    void foreignPageFailsWithoutTrapping();
    void retryAfterStallConnectsAfresh();
    void reloadKeys_data();
    void reloadKeys();
    void keyboardStartsInThePage();

private:
    std::unique_ptr<MainWindow> newWindow() const { return newWindowWith(testContext(service.origin())); }
    static std::unique_ptr<MainWindow> newWindowWith(const ShellContext &context)
    {
        return std::make_unique<MainWindow>(context);
    }
    QString evaluate(const QString &script) const
    {
        return pageScript(webPage(), script).toString();
    }
    QString pageText() const { return ::pageText(webPage()); }
    // Shows a new window, active, once its page has loaded and the update
    // check is over.
    bool showActiveWindow();
    ShellPage *webPage() const { return pageOf(window.get()); }
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
    otherSite.html("/elsewhere", reportingPage("elsewhere", "<input type='hidden' id='IsShell' value='false'>"
                                                            "<input type='hidden' id='PrintInvoiceDataHTML' "
                                                            "value='&lt;p&gt;Račun&lt;/p&gt;'>"));
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

void TestMainWindow::bridgeOnlyForTheService()
{
    LogCapture log;
    window = newWindow();
    QVERIFY(service.waitForRequests("/seen", 1));

    // a navigation on the same site, then (as the shell's own load: the page
    // may not go there) another site that leaves an invoice
    webPage()->load(QUrl(service.url(QStringLiteral("/next"))));
    QVERIFY(service.waitForRequests("/seen", 2));
    QSignalSpy loads(webPage(), &ShellPage::loadFinished);
    webPage()->load(QUrl(otherSite.url(QStringLiteral("/elsewhere"))));
    QVERIFY(otherSite.waitForRequests("/seen", 1));
    QTRY_VERIFY_WITH_TIMEOUT(!loads.isEmpty() && loads.last().at(0).value<PageLoad>().url.port() == otherSite.port(),
                             10000);
    QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("stranica nije sa servisa")), 1, 5000);

    for (const RecordedRequest &request : service.requestsTo("/seen"))
        QCOMPARE(seenType(request), QByteArray("object"));
    for (const RecordedRequest &request : otherSite.requestsTo("/seen"))
        QCOMPARE(seenType(request), QByteArray("undefined"));
    QCOMPARE(shellMarker(window.get()), QStringLiteral("false")); // not marked, not printed
}

void TestMainWindow::certificateTrustedOnFirstUse()
{
    // The main address on a server of its own, whose certificate nothing
    // vouches for: one address, three servers in turn, the first two with
    // the same certificate, the third with another one.
    TestServer first(TestServer::Https, QStringLiteral(UNTRUSTED_CERT_DIR));
    QVERIFY(first.start());
    const int port = first.port();
    const QByteArray page = "<html><body><script>"
                            "var x = new XMLHttpRequest(); x.open('GET', '/data', false); x.send();"
                            "new Image().src = '/seen?xhr=' + x.status;"
                            "JSConnector.downloadReport('/report');</script></body></html>";
    auto serve = [&page](TestServer &server) {
        server.html("/accounts/login", page);
        server.content("/data", "ok", "text/plain");
    };
    serve(first);
    service.content("/report", "%PDF report", "application/pdf");
    writeSettingsFile("[General]\nmainUrl=" + first.url(QStringLiteral("/accounts/login")).toLatin1() + "\n");
    LogCapture log;
    const QString trustFile = QStringLiteral("trusted-hosts.ini");
    const QString hostLine = QStringLiteral("127.0.0.1:%1=").arg(port);

    for (int round = 1; round <= 2; ++round) {
        window = newWindow();
        QVERIFY(first.waitForRequests("/seen", round));
        // The synchronous request went out already trusting the certificate.
        QCOMPARE(first.requestsTo("/seen").last().target, QByteArray("/seen?xhr=200"));
        QVERIFY(service.waitForRequests("/report", round)); // reports from the service, as always
        QTRY_COMPARE_WITH_TIMEOUT(readFile(QStringLiteral("report.pdf")), QByteArray("%PDF report"), 5000);
        QVERIFY2(QString::fromLatin1(readFile(trustFile)).contains(hostLine), readFile(trustFile).constData());
        QCOMPARE(log.count(QStringLiteral("prihvaćen je pri prvoj uporabi")), 1);
        window.reset();
    }
    first.stop();

    TestServer changed(TestServer::Https, QStringLiteral(OTHER_UNTRUSTED_CERT_DIR));
    QVERIFY(changed.start(port));
    serve(changed);
    window = newWindow();
    QTRY_VERIFY_WITH_TIMEOUT(pageText().contains(QStringLiteral("nije onaj koji je zapamćen")), 10000);
    const QString shown = pageText();
    QVERIFY2(shown.count(QRegularExpression(QStringLiteral("([0-9A-F]{2}:){31}[0-9A-F]{2}"))) == 2, qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("127.0.0.1:%1").arg(port)), qPrintable(shown));
    QTest::qWait(300);
    QCOMPARE(changed.requests().size(), 0); // not even the page's request got through
}

void TestMainWindow::noFirstUseElsewhere_data()
{
    QTest::addColumn<bool>("asTheService"); // the impostor takes the service's address, else it is another site
    QTest::newRow("impostor on the service's address") << true;
    QTest::newRow("another site the page links to") << false;
}

void TestMainWindow::noFirstUseElsewhere()
{
    QFETCH(bool, asTheService);
    TestServer impostor(TestServer::Https, QStringLiteral(UNTRUSTED_CERT_DIR));
    impostor.html("/accounts/login", reportingPage("impostor"));
    QVERIFY(impostor.start());
    UpdateDialogCloser closer; // the update check fails against the impostor
    if (asTheService) {
        window = newWindowWith(testContext(impostor.origin()));
    } else {
        window = newWindow();
        QVERIFY(service.waitForRequests("/seen"));
        webPage()->load(QUrl(impostor.url(QStringLiteral("/accounts/login"))));
    }
    QTRY_VERIFY_WITH_TIMEOUT(pageText().contains(QStringLiteral("ne potvrđuje ni sustav")), 10000);
    QVERIFY2(pageText().contains(QStringLiteral("127.0.0.1:%1").arg(impostor.port())), qPrintable(pageText()));
    QTest::qWait(300);
    QCOMPARE(impostor.requests().size(), 0);
    QVERIFY(!QFile::exists(QStringLiteral("trusted-hosts.ini"))
            || !readFile(QStringLiteral("trusted-hosts.ini")).contains(QByteArray::number(impostor.port())));
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
    QSignalSpy finished(webPage(), &ShellPage::loadFinished);
    QVERIFY(service.waitForRequests("/slow"));
    QTRY_VERIFY(!progressBar()->isHidden());
    QVERIFY(progressBar()->isVisible());

    release = true;
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.last().at(0).value<PageLoad>().ok(), true);
    QVERIFY(progressBar()->isHidden());

    // a load that fails: nothing listens on the stopped server's port
    TestServer gone;
    QVERIFY(gone.start());
    const QUrl deadUrl(gone.url(QStringLiteral("/")));
    gone.stop();
    QSignalSpy started(webPage(), &ShellPage::loadStarted);
    webPage()->load(deadUrl);
    QVERIFY(finished.wait(10000));
    QCOMPARE(started.count(), 1);
    QCOMPARE(finished.last().at(0).value<PageLoad>().ok(), false);
    QVERIFY(progressBar()->isHidden());
}

void TestMainWindow::noCheckWithoutSelfUpdate()
{
    // Updates come by the package manager: nothing is asked, nothing shown.
    ShellContext context = testContext(service.origin());
    context.selfUpdate = false;
    std::unique_ptr<QSignalSpy> loads;
    window = makeMainWindow(context, loads);
    window->showMaximized();
    QVERIFY(waitForLoads(window.get(), *loads));
    QTest::qWait(300);
    QCOMPARE(service.requestsTo("/updates/checkForUpdates").size(), 0);
    QVERIFY(!QApplication::activeModalWidget());
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

    QWidget *target = webPage()->view();
    const QPoint pos(20, 20);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
    QTest::qWait(200);
    QVERIFY(!menuShown);
}

void TestMainWindow::updateCheckOverTheWindow_data()
{
    QTest::addColumn<bool>("serviceDown");
    QTest::newRow("service answers") << false;
    QTest::newRow("service down") << true;
}

void TestMainWindow::updateCheckOverTheWindow()
{
    QFETCH(bool, serviceDown);

    TestServer gone;
    QVERIFY(gone.start());
    const QString downOrigin = gone.origin();
    gone.stop();

    // As the program starts: the window is built, then shown.
    window = std::make_unique<MainWindow>(testContext(serviceDown ? downOrigin : service.origin()));
    QCOMPARE(service.requestsTo("/updates/checkForUpdates").size(), 0);
    window->showMaximized();
    if (!serviceDown) {
        QVERIFY(service.waitForRequests("/updates/checkForUpdates"));
        QCOMPARE(service.requestsTo("/updates/checkForUpdates").first().target,
                 QByteArray("/updates/checkForUpdates?os=1"));
        QTRY_VERIFY(!QApplication::activeModalWidget()); // up to date: the dialog closed by itself
        return;
    }
    UpdateDialogCloser user;
    QTRY_VERIFY_WITH_TIMEOUT(!user.label.isEmpty(), 10000);
    QVERIFY(user.windowVisible);
    const QString port = downOrigin.section(QLatin1Char(':'), -1);
    QCOMPARE(user.label, QStringLiteral("Dogodila se greska prilikom provjere dostupnosti azuriranja! "
                                        "Servis 127.0.0.1:%1 nije dostupan (veza odbijena)").arg(port));
}

void TestMainWindow::errorPageUntilTheServiceComesBack()
{
    TestServer late;
    QVERIFY(late.start());
    const int port = late.port();
    late.stop();
    ShellContext context = testContext(late.origin());
    context.retryIntervalMs = 1000;

    UpdateDialogCloser user; // the update check fails too
    window = newWindowWith(context);
    QTRY_VERIFY_WITH_TIMEOUT(pageText().contains(QStringLiteral("Pokušaj ponovno")), 10000);
    QVERIFY2(pageText().contains(QStringLiteral("Servis 127.0.0.1:%1 nije dostupan (veza odbijena)").arg(port)),
             qPrintable(pageText()));
    QVERIFY(pageText().contains(late.url(QStringLiteral("/accounts/login"))));
    QCOMPARE(evaluate(QStringLiteral("typeof JSConnector")), QStringLiteral("undefined"));
    QCOMPARE(shellMarker(window.get()), QStringLiteral("none"));

    // The service comes up: the page comes back by itself, bridge and all.
    TestServer back;
    back.html("/accounts/login", reportingPage("back"));
    QVERIFY(back.start(port));
    QVERIFY(back.waitForRequests("/seen"));
    QCOMPARE(seenType(back.requestsTo("/seen").first()), QByteArray("object"));
}

void TestMainWindow::updateBoxGoesWhenTheServiceIsBack()
{
    TestServer back;
    QVERIFY(back.start());
    const int port = back.port();
    back.stop();
    back.html("/accounts/login", reportingPage("back"));
    ShellContext context = testContext(back.origin());
    context.retryIntervalMs = 500;

    // The box runs its own loop: the service comes up from inside it, once
    // the box says the service is down; nobody touches the box.
    QString said;
    bool closedByTest = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget *box = QApplication::activeModalWidget();
        auto *status = box ? box->findChild<QLabel *>(QStringLiteral("lblStatus")) : nullptr;
        if (said.isEmpty() && status && status->text().contains(QStringLiteral("nije dostupan"))) {
            said = status->text();
            back.start(port);
        }
    });
    watch.start(20);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [&closedByTest] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            closedByTest = true;
            box->close();
        }
    });
    giveUp.start(15000);

    window = newWindowWith(context);
    QVERIFY(back.waitForRequests("/seen", 1, 20000));
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 20000);
    QVERIFY2(!closedByTest, qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("127.0.0.1:%1").arg(port)), qPrintable(said));
}

void TestMainWindow::foreignPageFailsWithoutTrapping()
{
    TestServer gone;
    QVERIFY(gone.start());
    const QUrl dead(gone.url(QStringLiteral("/nowhere")).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")));
    gone.stop();
    ShellContext context = testContext(service.origin());
    context.retryIntervalMs = 300;
    // Now and then the dead port does not refuse but stays silent (seen
    // under ctest only): that ends within the page time-out, a failure all
    // the same.
    context.pageTimeoutMs = 5000;
    window = newWindowWith(context);
    QVERIFY(service.waitForRequests("/seen"));

    webPage()->load(dead);
    QTRY_VERIFY_WITH_TIMEOUT(pageText().contains(QStringLiteral("Pokušaj ponovno")), 10000);
    QVERIFY2(!pageText().contains(QStringLiteral("Servis")), qPrintable(pageText()));
    QVERIFY2(pageText().contains(QStringLiteral("localhost")), qPrintable(pageText()));
    QCOMPARE(QUrl(evaluate(QStringLiteral("document.getElementById('back').href"))),
             QUrl(service.url(QStringLiteral("/accounts/login"))));
    QSignalSpy loads(webPage(), &ShellPage::loadStarted);
    QTest::qWait(1000); // over three retry intervals
    QCOMPARE(loads.count(), 0);
}

void TestMainWindow::retryAfterStallConnectsAfresh()
{
    // Takes the connection and never says a word, not even the TLS handshake.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket *> held;
    connect(&silent, &QTcpServer::newConnection, &silent, [&silent, &held] {
        while (QTcpSocket *socket = silent.nextPendingConnection())
            held << socket;
    });
    writeSettingsFile(QStringLiteral("[General]\nmainUrl=https://127.0.0.1:%1/accounts/login\n")
                          .arg(silent.serverPort()).toLatin1());
    ShellContext context = testContext(service.origin());
    context.pageTimeoutMs = 400;
    context.retryIntervalMs = 300;
    window = newWindowWith(context);
    // Every retry opens a connection of its own instead of waiting on the dead one.
    QTRY_VERIFY2_WITH_TIMEOUT(held.size() >= 3, qPrintable(QStringLiteral("%1 connection(s)").arg(held.size())), 10000);
    QVERIFY2(pageText().contains(QStringLiteral("nema odgovora")), qPrintable(pageText()));
}

void TestMainWindow::reloadKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier);
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << int(Qt::ControlModifier);
}

bool TestMainWindow::showActiveWindow()
{
    window = newWindow();
    window->show();
    if (!service.waitForRequests("/seen"))
        return false;
    if (!QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }, 5000)) {
        qWarning("the update check's box is still up after 5 s");
        return false;
    }
    QApplication::setActiveWindow(window.get());
    return QTest::qWaitForWindowActive(window.get());
}

void TestMainWindow::reloadKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);

    QVERIFY(showActiveWindow());
    QTest::keyClick(window.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(service.waitForRequests("/seen", 2));
    QCOMPARE(service.requestsTo("/accounts/login").size(), 2);
}

void TestMainWindow::keyboardStartsInThePage()
{
    // "Tab, type, Enter": the first Tab goes to the page's first field.
    service.html("/accounts/login", reportingPage("login", "<input id='user'><input id='password'>"));
    const auto restored = qScopeGuard([this] { service.html("/accounts/login", reportingPage("login")); });
    QVERIFY(showActiveWindow());
    QWidget *focused = QApplication::focusWidget();
    QVERIFY(focused && (focused == webPage()->view() || webPage()->view()->isAncestorOf(focused)));
#ifdef VELMOR_ENGINE_WEBENGINE
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return; // QtWebEngine takes no keys there: where the focus is must do
#endif
    // through the window, as the keyboard's keys come
    QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
    QTRY_COMPARE(evaluate(QStringLiteral("document.activeElement.id")), QStringLiteral("user"));
    for (const QChar c : QStringLiteral("blagajna"))
        QTest::keyClick(window->windowHandle(), Qt::Key(Qt::Key_A + (c.unicode() - 'a')), Qt::NoModifier);
    QTRY_COMPARE(evaluate(QStringLiteral("document.getElementById('user').value")), QStringLiteral("blagajna"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
