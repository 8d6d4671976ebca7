#include "fakepage.h"
#include "origin.h"
#include "pagesession.h"
#include "testhelpers.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <map>

// The page session against a page whose every event the test orders: which
// invoices it hands on (and as whose load), and that the till is never left
// blank.
class TestPageSession : public QObject
{
    Q_OBJECT

private slots:
    void origins_data();
    void origins();
    void orderOfEvents_data();
    void orderOfEvents();
    void anyOrderOfEvents();
};

namespace {

const QUrl service(QStringLiteral("https://service.test/accounts/login"));

struct Run
{
    explicit Run(int retryMs = 0)
    {
        context = testContext(QStringLiteral("https://service.test"));
        context.retryIntervalMs = retryMs;
        session = std::make_unique<PageSession>(&page, context, QList<QUrl>{QUrl(QStringLiteral("https://service.test"))},
                                                service);
        QObject::connect(session.get(), &PageSession::invoiceIssued,
                         [this](const PageInvoice &invoice, bool byShell) {
                             issued << invoice.portInvoice + (byShell ? QStringLiteral("*") : QString());
                         });
    }
    // One step of the little language the rows are written in.
    void step(const QString &step)
    {
        const QString word = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        if (word == QLatin1String("start"))
            session->start();
        else if (word == QLatin1String("go"))
            page.begin(QUrl(rest));
        else if (word == QLatin1String("commit"))
            page.commit();
        else if (word == QLatin1String("take"))
            page.take(page.invoiceOfShown(rest));
        else if (word == QLatin1String("hold"))
            held = page.invoiceOfShown(rest);
        else if (word == QLatin1String("deliver"))
            page.take(held);
        else if (word == QLatin1String("finish"))
            page.end(PageLoad::Finished);
        else if (word == QLatin1String("fail"))
            page.end(PageLoad::Failed, QNetworkReply::ConnectionRefusedError);
        else if (word == QLatin1String("stop"))
            page.end(PageLoad::Stopped);
        else if (word == QLatin1String("crash"))
            page.crash();
        else if (word == QLatin1String("f5"))
            session->reload();
        else if (word == QLatin1String("events"))
            QCoreApplication::processEvents();
        else
            QFAIL(qPrintable(QStringLiteral("no such step: ") + step));
    }

    FakePage page;
    ShellContext context;
    std::unique_ptr<PageSession> session;
    QStringList issued;
    PageInvoice held;
};

} // namespace

void TestPageSession::origins_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("origin");

    QTest::newRow("default port written") << "https://Shop.example:443/a?b" << "https://shop.example";
    QTest::newRow("no port") << "https://shop.example/" << "https://shop.example";
    QTest::newRow("other port") << "https://shop.example:8443/x" << "https://shop.example:8443";
    QTest::newRow("http's default") << "http://shop.example:80/" << "http://shop.example";
    QTest::newRow("https on 80") << "https://shop.example:80/" << "https://shop.example:80";
    QTest::newRow("user info") << "https://u:p@shop.example/" << "https://shop.example";
    QTest::newRow("IPv6") << "https://[::1]:8443/" << "https://[::1]:8443";
    QTest::newRow("file") << "file:///etc/passwd" << "";
    QTest::newRow("data") << "data:text/html,x" << "";
    QTest::newRow("about") << "about:blank" << "";
}

void TestPageSession::origins()
{
    QFETCH(QString, url);
    QFETCH(QString, origin);
    QCOMPARE(webOrigin(QUrl(url)), origin);
    if (!origin.isEmpty())
        QVERIFY(isFromOrigins(QUrl(url), {QUrl(origin + QStringLiteral("/login"))}));
}

void TestPageSession::orderOfEvents_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("issued"); // "*": as a load the shell made itself
    QTest::addColumn<bool>("errorPage");

    const QString next = QStringLiteral("go https://service.test/next");
    QTest::newRow("a load") << QStringList{"start", "commit", "take A", "finish"} << QStringList{"A"} << false;
    QTest::newRow("goes on before its invoice is handed over")
        << QStringList{"start", "commit", "hold A", "finish", next, "deliver", "commit", "take B", "finish"}
        << QStringList{"A", "B"} << false;
    QTest::newRow("replaced before it committed")
        << QStringList{"start", next, "commit", "take B", "finish"} << QStringList{"B"} << false;
    QTest::newRow("a download link")
        << QStringList{"start", "commit", "take A", "finish", "go https://service.test/a.zip", "stop"}
        << QStringList{"A"} << false;
    QTest::newRow("stopped") << QStringList{"start", "stop", "events"} << QStringList{} << false;
    QTest::newRow("failed, then back")
        << QStringList{"start", "fail", "events", "events", "commit", "take A", "finish"} << QStringList{"A*"}
        << false;
    QTest::newRow("failed, the retry still to come") << QStringList{"start", "fail", "events", "events", "fail", "events"}
                               << QStringList{} << true;
    QTest::newRow("renderer gone during a load")
        << QStringList{"start", "crash", "events", "events", "commit", "take A", "finish"} << QStringList{"A*"}
        << false;
    QTest::newRow("renderer gone after it")
        << QStringList{"start", "commit", "take A", "finish", "crash", "events", "events", "commit", "take A",
                       "finish"}
        << QStringList{"A", "A*"} << false;
    QTest::newRow("renderer gone, nothing back yet") << QStringList{"start", "commit", "take A", "finish", "crash",
                                                                    "events"}
                                                     << QStringList{"A"} << true;
    QTest::newRow("reloaded by the cashier")
        << QStringList{"start", "commit", "take A", "finish", "f5", "commit", "take A", "finish"}
        << QStringList{"A", "A"} << false;
    QTest::newRow("F5 on the error page")
        << QStringList{"start", "fail", "events", "f5", "commit", "take A", "finish"} << QStringList{"A"} << false;
    QTest::newRow("another site")
        << QStringList{"start", "go https://elsewhere.test/", "commit", "take X", "finish"} << QStringList{}
        << false;
}

void TestPageSession::orderOfEvents()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, issued);
    QFETCH(bool, errorPage);

    // A retry that waits for a test step: "events" runs the event loop once.
    Run run(errorPage ? 60000 : 0);
    for (const QString &step : steps)
        run.step(step);
    QCOMPARE(run.issued, issued);
    QCOMPARE(run.session->showingErrorPage(), errorPage);
    QCOMPARE(!run.page.ownPage.isEmpty(), errorPage);
}

void TestPageSession::anyOrderOfEvents()
{
    // Seeded random sequences of whatever an engine may do, in any order:
    // every document of the service hands on its invoice exactly once, as
    // the load that brought it (the shell's own or not), and the till is
    // never left blank once the event loop has run.
    const quint32 seed = qEnvironmentVariableIsSet("VELMOR_SEED") ? qEnvironmentVariableIntValue("VELMOR_SEED")
                                                                     : 20261208;
    QRandomGenerator random(seed);
    for (int sequence = 0; sequence < 2000; ++sequence) {
        Run run;
        std::map<int, bool> loadByShell; // load id: started by the shell's retry
        bool retrying = false;
        QObject::connect(&run.page, &ShellPage::loadStarted,
                         [&](int id, const QUrl &) { loadByShell[id] = retrying; });
        QStringList expected;
        int documents = 0;
        bool takenShown = true; // the document shown has handed on its invoice
        QList<PageInvoice> late;
        const auto where = [&] { return QStringLiteral("seed %1, sequence %2").arg(seed).arg(sequence); };

        run.session->start();
        for (int i = 0; i < 30; ++i) {
            switch (random.bounded(10)) {
            case 0:
                run.page.begin(QUrl(random.bounded(4) ? QStringLiteral("https://service.test/p")
                                                      : QStringLiteral("https://elsewhere.test/")));
                break;
            case 1:
                if (run.page.loading && !run.page.committed) {
                    run.page.commit();
                    takenShown = false;
                }
                break;
            case 2:
            case 3:
                if (!takenShown && run.page.shown.host() == QLatin1String("service.test")) {
                    const QString text = QStringLiteral("R%1").arg(++documents);
                    const PageInvoice invoice = run.page.invoiceOfShown(text);
                    expected << text + (loadByShell[invoice.loadId] ? QStringLiteral("*") : QString());
                    if (random.bounded(2))
                        late << invoice; // handed over after whatever comes next
                    else
                        run.page.take(invoice);
                }
                takenShown = true;
                break;
            case 4:
                run.page.end(random.bounded(2) ? PageLoad::Finished : PageLoad::Stopped);
                break;
            case 5:
                run.page.end(PageLoad::Failed, QNetworkReply::ConnectionRefusedError);
                break;
            case 6:
                if (!random.bounded(3))
                    run.page.crash();
                break;
            case 7:
                run.session->reload();
                break;
            default:
                retrying = true;
                QCoreApplication::processEvents();
                retrying = false;
                // Never blank: once the renderer is gone, the shell's own page
                // (and its retry) take its place.
                QVERIFY2(!run.page.gone, qPrintable(where()));
                break;
            }
            if (!late.isEmpty() && random.bounded(3) == 0)
                run.page.take(late.takeFirst());
        }
        while (!late.isEmpty())
            run.page.take(late.takeFirst());
        // Exactly once each; an invoice handed over late may come after a later one.
        run.issued.sort();
        expected.sort();
        QVERIFY2(run.issued == expected,
                 qPrintable(where() + QStringLiteral(": ") + run.issued.join(QLatin1Char(','))
                            + QStringLiteral(" instead of ") + expected.join(QLatin1Char(','))));
    }
}

QTEST_GUILESS_MAIN(TestPageSession)
#include "tst_pagesession.moc"
