#include "fakepage.h"
#include "invoiceoutput.h"
#include "invoicerenderer.h"
#include "journal.h"
#include "origin.h"
#include "pagesession.h"
#include "testhelpers.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
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
    void everyInvoiceEndsInTheJournal();
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
    QCOMPARE(!run.page.ownPage.isEmpty(), errorPage);
}

namespace {

quint32 testSeed()
{
    return qEnvironmentVariableIsSet("VELMOR_SEED") ? qEnvironmentVariableIntValue("VELMOR_SEED") : 20261208;
}

// Thirty random steps of whatever an engine may do, in any order. Each
// document of the service that is taken gets an invoice from `invoiceFor`
// (the load was the shell's own, the invoice the same page handed over
// last);
// returns what the session must hand on, "*" marking the shell's loads.
QStringList runRandomly(Run &run, QRandomGenerator &random, const QString &where,
                        const std::function<QString(bool byShell, const QString &before)> &invoiceFor)
{
    std::map<int, bool> loadByShell; // load id: started by the shell's retry
    bool retrying = false;
    const QMetaObject::Connection started = QObject::connect(
        &run.page, &ShellPage::loadStarted, [&](int id, const QUrl &) { loadByShell[id] = retrying; });
    QStringList expected;
    bool takenShown = true; // the document shown has handed on its invoice
    std::map<QUrl, QString> before; // the latest invoice each page handed over
    QList<PageInvoice> late;
    const auto hand = [&](const PageInvoice &invoice) {
        before[invoice.url] = invoice.portInvoice;
        run.page.take(invoice);
    };

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
                PageInvoice invoice = run.page.invoiceOfShown(QString());
                const bool byShell = loadByShell[invoice.loadId];
                invoice.portInvoice = invoiceFor(byShell, before[invoice.url]);
                expected << invoice.portInvoice + (byShell ? QStringLiteral("*") : QString());
                if (random.bounded(2))
                    late << invoice; // handed over after whatever comes next
                else
                    hand(invoice);
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
            if (run.page.gone)
                QTest::qFail(qPrintable(where + QStringLiteral(": left blank")), __FILE__, __LINE__);
            break;
        }
        if (!late.isEmpty() && random.bounded(3) == 0)
            hand(late.takeFirst());
    }
    while (!late.isEmpty())
        hand(late.takeFirst());
    QObject::disconnect(started);
    return expected;
}

} // namespace

void TestPageSession::anyOrderOfEvents()
{
    // Every document of the service hands on its invoice exactly once, as
    // the load that brought it (the shell's own or not), and the till is
    // never left blank once the event loop has run.
    const quint32 seed = testSeed();
    QRandomGenerator random(seed);
    for (int sequence = 0; sequence < 2000; ++sequence) {
        const QString where = QStringLiteral("seed %1, sequence %2").arg(seed).arg(sequence);
        Run run;
        int documents = 0;
        QStringList expected =
            runRandomly(run, random, where, [&documents](bool, const QString &) {
                return QStringLiteral("R%1").arg(++documents);
            });
        if (QTest::currentTestFailed())
            return;
        // Exactly once each; an invoice handed over late may come after a later one.
        run.issued.sort();
        expected.sort();
        QVERIFY2(run.issued == expected, qPrintable(where + QStringLiteral(": ") + run.issued.join(QLatin1Char(','))
                                                    + QStringLiteral(" instead of ") + expected.join(QLatin1Char(','))));
    }
}

void TestPageSession::everyInvoiceEndsInTheJournal()
{
    // The same, with the output behind the session and a real journal: every
    // invoice handed on ends in it once, printed, failed, or skipped when a
    // load of the shell's own brought back one printed already; none is
    // printed twice. A load of the shell's own brings back the invoice the
    // page had before, as a service does when the shell tries again.
    QTemporaryDir folder;
    QVERIFY(QDir::setCurrent(folder.path()));
    const quint32 seed = testSeed();
    QRandomGenerator random(seed);
    for (int sequence = 0; sequence < 250; ++sequence) {
        const QString where = QStringLiteral("seed %1, sequence %2").arg(seed).arg(sequence);
        Run run;
        run.context.journalFile = QStringLiteral("journal-%1.sqlite").arg(sequence);
        // A device that takes everything, or one that is not there.
        const bool portWorks = random.bounded(4) > 0;
        QVERIFY(writeFile(run.context.settingsFile, portWorks ? "useSerialPort=true\nprinterPort=/dev/null\n"
                                                              : "useSerialPort=true\nprinterPort=/dev/velmor-none\n"));
        InvoiceOutput output(run.context, [] { return std::unique_ptr<InvoiceRenderer>(); });
        output.openJournal();
        output.configure();
        QObject::connect(run.session.get(), &PageSession::invoiceIssued, &output, &InvoiceOutput::pageLoaded);
        int documents = 0;
        const QStringList expected =
            runRandomly(run, random, where, [&documents, &random](bool byShell, const QString &before) {
                return byShell && !before.isEmpty() && random.bounded(2) ? before
                                                                         : QStringLiteral("R%1").arg(++documents);
            });
        if (QTest::currentTestFailed())
            return;
        const QDeadlineTimer deadline(10000);
        while (output.busy() && !deadline.hasExpired())
            QTest::qWait(1);
        QVERIFY2(!output.busy(), qPrintable(where + QStringLiteral(": the output never ended")));

        const QList<JournalEntry> entries = output.journal().latest(1000);
        QCOMPARE(entries.size(), expected.size());
        std::map<qint64, JournalEntry> byId;
        std::map<QString, int> printed;
        for (const JournalEntry &entry : entries)
            byId[entry.id] = entry;
        for (const JournalEntry &entry : entries) {
            const QString outcome = entry.outcome;
            if (outcome == QLatin1String(JournalEntry::printed)) {
                QVERIFY2(portWorks, qPrintable(where));
                QVERIFY2(++printed[entry.text] == 1, qPrintable(where + QStringLiteral(": printed twice: ") + entry.text));
            } else if (outcome == QLatin1String(JournalEntry::failed)) {
                QVERIFY2(!portWorks && !entry.reason.isEmpty(), qPrintable(where));
            } else {
                QCOMPARE(outcome, QLatin1String(JournalEntry::skipped));
                const auto earlier = byId.find(entry.reprintOf);
                QVERIFY2(earlier != byId.end() && earlier->second.text == entry.text
                             && earlier->second.outcome == QLatin1String(JournalEntry::printed),
                         qPrintable(where + QStringLiteral(": skipped without a print of it: ") + entry.text));
            }
        }
        QDir().remove(run.context.journalFile);
    }
}

QTEST_GUILESS_MAIN(TestPageSession)
#include "tst_pagesession.moc"
