#include "engine.h"
#include "origin.h"
#include "pagedownload.h"
#include "pagescript.h"
#include "shellpage.h"
#include "testhelpers.h"
#include "testserver.h"

#include <httplib.h>

#include <QDesktopServices>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <memory>

// What the desktop's browser was handed.
class DesktopBrowser : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

// Where the page may go, on the engine this build has: the service is
// shown, a link to another site the cashier clicked goes to the desktop's
// browser, and nothing else leaves the service.
class TestNavigation : public QObject
{
    Q_OBJECT

public:
    enum Outcome { Shown, Outside, Refused };
    Q_ENUM(Outcome)

private slots:
    void initTestCase();
    void cleanupTestCase();
    void topLevel_data();
    void topLevel();
    void firstPageSentElsewhere();
    void downloadsOnlyFromTheService_data();
    void downloadsOnlyFromTheService();

private:
    // A shown page of the service at "/start" with `body`, loaded.
    std::unique_ptr<ShellPage> start(const QString &body);

    TestServer service;
    TestServer mainSite;
    TestServer other;
    PageSetup setup;
    DesktopBrowser browser;
};

void TestNavigation::initTestCase()
{
    QVERIFY(service.start());
    QVERIFY(mainSite.start());
    QVERIFY(other.start());
    const ShellContext context = testContext(service.origin());
    setup.serviceOrigins = {QUrl(service.origin()), QUrl(mainSite.url(QStringLiteral("/start")))};
    setup.trustedHostsFile = context.trustedHostsFile;
    setup.trustedCertificates = context.trustedCertificates;
    setup.pageTimeoutMs = 5000;
    for (TestServer *server : {&service, &mainSite, &other})
        server->html("/landed", "<html><head><title>landed</title></head><body>landed</body></html>");
    service.route("/redirect", [](const httplib::Request &request, httplib::Response &response) {
        response.set_redirect(request.get_param_value("to"));
    });
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
}

void TestNavigation::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

std::unique_ptr<ShellPage> TestNavigation::start(const QString &body)
{
    service.html("/start", (QStringLiteral("<html><head><title>start</title></head><body>") + body
                            + QStringLiteral("</body></html>"))
                               .toUtf8());
    std::unique_ptr<ShellPage> page = createShellPage(setup, nullptr);
    page->view()->resize(800, 600);
    page->view()->show();
    QSignalSpy loaded(page.get(), &ShellPage::loadFinished);
    page->load(QUrl(service.url(QStringLiteral("/start"))));
    if (!loaded.wait(10000) || !QTest::qWaitForWindowExposed(page->view())) {
        qWarning("The start page did not load and show within 10 s (%d loads ended)", int(loaded.size()));
        return nullptr;
    }
    return page;
}

void TestNavigation::topLevel_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("script"); // run in the page; empty: "#go" is clicked
    QTest::addColumn<QString>("target");
    QTest::addColumn<Outcome>("outcome");

    const QString link = QStringLiteral("<a id='go' href='%1' style='font-size:40px'>go</a>");
    const QString blank = QStringLiteral("<a id='go' href='%1' target='_blank' style='font-size:40px'>go</a>");
    const QString opener =
        QStringLiteral("<a id='go' href='#' onclick=\"window.open('%1'); return false\" style='font-size:40px'>go</a>");
    const QString form = QStringLiteral("<form id='f' method='post' action='%1'><input name='a' value='1'></form>");
    const QString script = QStringLiteral("location.href = '%1'");
    const QString redirect = QStringLiteral("location.href = '/redirect?to=' + encodeURIComponent('%1')");
    const QString submit = QStringLiteral("document.getElementById('f').submit()");
    const QString clickByScript = QStringLiteral("document.getElementById('go').click()");
    const QString open = QStringLiteral("window.open('%1')");

    struct Where
    {
        const char *name;
        QString target;
        bool service;
    };
    const Where places[] = {{"service", QStringLiteral("SERVICE/landed"), true},
                            {"main address", QStringLiteral("MAIN/landed"), true},
                            {"other site", QStringLiteral("OTHER/landed"), false}};
    for (const Where &where : places) {
        const auto row = [&](const char *how) -> QTestData & { return QTest::addRow("%s, %s", how, where.name); };
        const Outcome clicked = where.service ? Shown : Outside;
        const Outcome unasked = where.service ? Shown : Refused;
        row("click") << link << QString() << where.target << clicked;
        row("click, new window") << blank << QString() << where.target << clicked;
        row("window.open on a click") << opener << QString() << where.target << clicked;
        row("link clicked by a script") << link << clickByScript << where.target << unasked;
        row("script") << QString() << script << where.target << unasked;
        row("redirect") << QString() << redirect << where.target << unasked;
        row("form") << form << submit << where.target << unasked;
        row("window.open") << QString() << open << where.target << unasked;
    }
    QTest::newRow("click, file") << link << QString() << QStringLiteral("file:///etc/hostname") << Refused;
    QTest::newRow("script, file") << QString() << script << QStringLiteral("file:///etc/hostname") << Refused;
    QTest::newRow("script, data") << QString() << script << QStringLiteral("data:text/html,<title>landed</title>")
                                  << Refused;
    QTest::newRow("click, custom scheme") << link << QString() << QStringLiteral("velmor-test:landed") << Refused;
}

void TestNavigation::topLevel()
{
    QFETCH(QString, body);
    QFETCH(QString, script);
    QFETCH(QString, target);
    QFETCH(Outcome, outcome);
    target.replace(QLatin1String("SERVICE"), service.origin())
        .replace(QLatin1String("MAIN"), mainSite.origin())
        .replace(QLatin1String("OTHER"), other.origin());

    std::unique_ptr<ShellPage> page = start(body.isEmpty() ? body : body.arg(target));
    QVERIFY(page);
    const QUrl startUrl = page->url();
    browser.opened.clear();
    other.clearRequests();
    QSignalSpy loads(page.get(), &ShellPage::loadFinished);

    if (script.isEmpty())
        QVERIFY(clickElement(page.get(), QStringLiteral("#go")));
    else
        pageScript(page.get(), script.arg(target));

    switch (outcome) {
    case Shown:
        QTRY_VERIFY2_WITH_TIMEOUT(page->url().path() == QLatin1String("/landed") && page->title() == QLatin1String("landed"),
                                  qPrintable(QStringLiteral("the page shows %1 after %2 loads ended")
                                                 .arg(page->url().toString())
                                                 .arg(loads.size())),
                                  10000);
        QVERIFY(isFromOrigins(page->url(), setup.serviceOrigins));
        break;
    case Outside:
        QTRY_VERIFY2_WITH_TIMEOUT(!browser.opened.isEmpty(),
                                  qPrintable(QStringLiteral("nothing handed to the browser; the page shows %1")
                                                 .arg(page->url().toString())),
                                  10000);
        QCOMPARE(browser.opened, QList<QUrl>{QUrl(target)});
        break;
    case Refused:
        // Nothing is to happen: watched for a while.
        QTest::qWait(1500);
        break;
    }
    if (outcome != Shown) {
        QCOMPARE(page->url(), startUrl);
        QCOMPARE(pageScript(page.get(), QStringLiteral("document.title")).toString(), QStringLiteral("start"));
    }
    if (outcome != Outside)
        QVERIFY2(browser.opened.isEmpty(), qPrintable(browser.opened.value(0).toString()));
    QVERIFY2(other.requests().isEmpty(), other.requests().value(0).target.constData());
}

void TestNavigation::firstPageSentElsewhere()
{
    // Nothing of the service shows yet: the load fails, saying why, so the
    // shell shows its own page and tries again.
    std::unique_ptr<ShellPage> page = createShellPage(setup, nullptr);
    QSignalSpy loads(page.get(), &ShellPage::loadFinished);
    other.clearRequests();
    const QUrl requested(service.url(QStringLiteral("/redirect?to=") + other.url(QStringLiteral("/landed"))));
    page->load(requested);
    QVERIFY(loads.wait(10000));
    const PageLoad load = loads.first().at(0).value<PageLoad>();
    QCOMPARE(load.end, PageLoad::Failed);
    QCOMPARE(load.failedUrl, requested);
    QVERIFY(!load.refusal.isEmpty());
    QVERIFY2(other.requests().isEmpty(), other.requests().value(0).target.constData());
}

void TestNavigation::downloadsOnlyFromTheService_data()
{
    QTest::addColumn<QString>("startBody"); // its "#go" is clicked
    QTest::addColumn<QString>("frameBody"); // of the other site's "/frame"
    QTest::addColumn<bool>("fromOther");    // the file is the other site's
    QTest::addColumn<bool>("offered");

    // The click lands on the frame's link, which fills it; the page's title
    // says when the frame is there.
    const QString frame = QStringLiteral("<iframe id='go' src='OTHER/frame' style='width:300px;height:150px'></iframe>"
                                         "<script>addEventListener('message', function () {"
                                         " document.title = 'framed'; });</script>");
    const QString frameLink = QStringLiteral("<a href='%1' style='display:block;height:140px'>file</a>"
                                             "<script>onload = function () { parent.postMessage('', '*'); };</script>");
    QTest::newRow("service page, service file")
        << QStringLiteral("<a id='go' href='/file.pdf' style='font-size:40px'>file</a>") << QString() << false << true;
    QTest::newRow("other site's frame, its own file") << frame << frameLink.arg(QLatin1String("/file.pdf")) << true
                                                      << false;
    QTest::newRow("other site's frame, the service's file")
        << frame << frameLink.arg(QLatin1String("SERVICE/file.pdf")) << false << false;
}

void TestNavigation::downloadsOnlyFromTheService()
{
    QFETCH(QString, startBody);
    QFETCH(QString, frameBody);
    QFETCH(bool, fromOther);
    QFETCH(bool, offered);
    const auto placed = [this](QString text) {
        return text.replace(QLatin1String("SERVICE"), service.origin()).replace(QLatin1String("OTHER"), other.origin());
    };
    other.html("/frame", placed(frameBody).toUtf8());
    TestServer &files = fromOther ? other : service;
    files.clearRequests();
    files.content("/file.pdf", "PK not really", "application/zip");

    std::unique_ptr<ShellPage> page = start(placed(startBody));
    QVERIFY(page);
    QList<QUrl> downloads;
    connect(page.get(), &ShellPage::downloadOffered, this, [&downloads](PageDownload *download) {
        downloads.append(download->url());
        download->cancel();
    });
    if (!frameBody.isEmpty())
        QTRY_COMPARE_WITH_TIMEOUT(page->title(), QStringLiteral("framed"), 10000);
    // A frame of another site takes clicks once the engine has drawn it:
    // clicked again until the file is asked for.
    bool asked = false;
    for (int attempt = 0; attempt < 10 && !asked; ++attempt) {
        QVERIFY(clickElement(page.get(), QStringLiteral("#go")));
        QTest::qWaitFor([&files] { return !files.requestsTo("/file.pdf").isEmpty(); }, 1000);
        asked = !files.requestsTo("/file.pdf").isEmpty();
    }
    QVERIFY2(asked, "ten clicks asked for no file");
    if (offered) {
        QTRY_COMPARE_WITH_TIMEOUT(downloads.size(), 1, 10000);
    } else {
        // The engine has the file's answer; what it does with it is watched for a while.
        QTest::qWait(1000);
        QVERIFY2(downloads.isEmpty(), qPrintable(downloads.value(0).toString()));
    }
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
