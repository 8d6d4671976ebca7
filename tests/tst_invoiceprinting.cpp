#include "cupsscheduler.h"
#include "invoicepage.h"
#include "journal.h"
#include "modaldialog.h"
#include "pseudoterminal.h"
#include "shellwindow.h"
#include "testhelpers.h"
#include "testserver.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QLabel>
#include <QTimer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// Invoices in printer mode, printed through a private CUPS scheduler whose
// kept job files are read back as text.
class TestInvoicePrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void choosesPrinter_data();
    void choosesPrinter();
    void nothingToPrint_data();
    void nothingToPrint();
    void pageWithoutMarker();
    void waitLimit_data();
    void waitLimit();
    void printerStopsTakingJobs_data();
    void printerStopsTakingJobs();
    void printerBackAfterCancel();
    void receiptReprintedOnPrinterKeepsLines();
    void printedInvoiceStaysHome_data();
    void printedInvoiceStaysHome();
    void invoiceKeepsItsOutput();
    void receiptRollPaper_data();
    void receiptRollPaper();
    void logoFetchedOnce();

private:
    bool openWindow(const QByteArray &page, const QByteArray &settings);
    QString marker() const { return shellMarker(window.get()); }
    bool waitForNewJobs(int count) const { return cups.waitForJobs(jobsBefore + count); }
    QList<CupsScheduler::Job> newJobs() const { return cups.jobs().mid(jobsBefore); }

    CupsScheduler cups;
    TestServer service;
    TestServer images{TestServer::Http};
    std::unique_ptr<ScopedWorkDir> workDir;
    std::unique_ptr<MainWindow> window;
    int jobsBefore = 0;
};

const QString invoiceHtml = QStringLiteral(
    "<html><body><h1>Racun br. 7</h1><p>Slova: čćđšž ČĆĐŠŽ</p><p>Ukupno 17,53 EUR</p></body></html>");

void TestInvoicePrinting::initTestCase()
{
    QVERIFY(cups.start({QStringLiteral("Blagajna"), QStringLiteral("Ured")}, QStringLiteral("Blagajna")));
    QStringList names;
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        names << info.printerName();
    QCOMPARE(names, (QStringList{QStringLiteral("Blagajna"), QStringLiteral("Ured")}));

    QVERIFY(service.start());
    QVERIFY(images.start());
    service.content("/updates/checkForUpdates", R"({"version": 0, "files": []})", "application/json");
}

void TestInvoicePrinting::init()
{
    workDir = std::make_unique<ScopedWorkDir>();
    jobsBefore = cups.jobs().size();
}

void TestInvoicePrinting::cleanup()
{
    window.reset();
    workDir.reset();
}

bool TestInvoicePrinting::openWindow(const QByteArray &page, const QByteArray &settings)
{
    service.html("/accounts/login", page);
    writeSettingsFile(settings);
    return openMainWindow(window, testContext(service.origin()));
}

void TestInvoicePrinting::choosesPrinter_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("printer");
    QTest::addColumn<bool>("fallback"); // a named printer missing: the default one, and said so

    QTest::newRow("named printer") << QByteArray("useSerialPort=false\nprinterPort=Ured\n") << "Ured" << false;
    QTest::newRow("name in another letter case gives the default")
        << QByteArray("useSerialPort=false\nprinterPort=ured\n") << "Blagajna" << true;
    QTest::newRow("name with a trailing blank gives the default")
        << QByteArray("useSerialPort=false\nprinterPort=\"Ured \"\n") << "Blagajna" << true;
    QTest::newRow("no name gives the default") << QByteArray("useSerialPort=false\n") << "Blagajna" << false;
    QTest::newRow("false in capitals") << QByteArray("useSerialPort=FALSE\nprinterPort=Ured\n") << "Ured" << false;
    QTest::newRow("zero is false") << QByteArray("useSerialPort=0\nprinterPort=Ured\n") << "Ured" << false;
    QTest::newRow("no mode in the file: printer mode, default printer")
        << QByteArray("printerPort=Ured\n") << "Blagajna" << false;
}

void TestInvoicePrinting::choosesPrinter()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, printer);
    QFETCH(bool, fallback);

    QVERIFY(openWindow(invoicePage(QStringLiteral("plain text"), invoiceHtml), "[General]\n" + settings));
    QVERIFY(waitForNewJobs(1));
    const CupsScheduler::Job job = newJobs().first();
    QCOMPARE(job.printer, printer);
    const QString text = CupsScheduler::text(job);
    QVERIFY2(text.contains(QStringLiteral("Racun br. 7")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("čćđšž ČĆĐŠŽ")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("plain text")));
    // a printer chosen by name prints without margins, the default one with its own
    const double left = CupsScheduler::leftmostText(job);
    QVERIFY2(printer == QLatin1String("Ured") ? left < 10 : left > 10, qPrintable(QString::number(left)));
    QCOMPARE(marker(), QStringLiteral("true"));
    // the printer actually used is named, and a fallback said as such
    const QString said = window->statusBar()->currentMessage();
    QVERIFY2(said.startsWith(QStringLiteral("Račun ispisan")) && said.contains(printer), qPrintable(said));
    QCOMPARE(said.contains(QStringLiteral("na zadanom pisaču")), fallback);
    QCOMPARE(failureText(window.get()), QString());
}

void TestInvoicePrinting::nothingToPrint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");

    QTest::newRow("only the port element") << QStringLiteral("plain text") << QString();
    QTest::newRow("no element at all") << QString() << QString();
    QTest::newRow("empty value") << QString() << QStringLiteral("");
}

void TestInvoicePrinting::nothingToPrint()
{
    QFETCH(QString, text);
    QFETCH(QString, html);

    QVERIFY(openWindow(invoicePage(text, html), "[General]\nuseSerialPort=false\nprinterPort=Ured\n"));
    QCOMPARE(marker(), QStringLiteral("true"));
    QCOMPARE(pageOf(window.get())->title(), QStringLiteral("invoice")); // reading raised no error in the page
    QTest::qWait(500);
    QCOMPARE(newJobs().size(), 0);
}

void TestInvoicePrinting::pageWithoutMarker()
{
    // The logo comes from the service, over its own certificate.
    service.content("/logo.png", "not really a png", "image/png");
    QString html = invoiceHtml;
    html.replace(QStringLiteral("<h1>"), QStringLiteral("<img src='%1'><h1>").arg(service.url(QStringLiteral("/logo.png"))));
    QVERIFY(openWindow(invoicePage(QString(), html, false), "[General]\nuseSerialPort=false\nprinterPort=Ured\n"));
    QVERIFY(waitForNewJobs(1));
    QCOMPARE(marker(), QStringLiteral("none"));
    QCOMPARE(service.requestsTo("/logo.png").size(), 1);
}

void TestInvoicePrinting::waitLimit_data()
{
    QTest::addColumn<QByteArray>("timeout");
    QTest::addColumn<bool>("withSlowImage");
    QTest::addColumn<bool>("printedAfterImage");

    QTest::newRow("0 ms: printed at once") << QByteArray("0") << true << false;
    QTest::newRow("not a number is 0 ms") << QByteArray("abc") << true << false;
    QTest::newRow("300 ms: printed before the image") << QByteArray("300") << true << false;
    QTest::newRow("negative: waits for the whole load") << QByteArray("-1") << true << true;
    QTest::newRow("negative, nothing to fetch: no hang") << QByteArray("-1") << false << false;
}

void TestInvoicePrinting::waitLimit()
{
    QFETCH(QByteArray, timeout);
    QFETCH(bool, withSlowImage);
    QFETCH(bool, printedAfterImage);

    // the invoice's logo takes three seconds to arrive
    const auto imageAnswered = std::make_shared<std::atomic<bool>>(false);
    service.route("/slow-logo.png", [imageAnswered](const httplib::Request &, httplib::Response &res) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        res.set_content("not really a png", "image/png");
        *imageAnswered = true;
    });
    QString html = invoiceHtml;
    if (withSlowImage)
        html.replace(QStringLiteral("<h1>"), QStringLiteral("<img src='%1'><h1>").arg(service.url(QStringLiteral("/slow-logo.png"))));

    const int imageAskedBefore = service.requestsTo("/slow-logo.png").size();
    QVERIFY(openWindow(invoicePage(QString(), html),
                       "[General]\nuseSerialPort=false\nprinterPort=Ured\ntimeout=" + timeout + "\n"));
    // the after-load hook, print wait included, has returned by now
    const bool imageWasIn = *imageAnswered;
    QVERIFY(waitForNewJobs(1));
    QCOMPARE(imageWasIn, printedAfterImage);
    QVERIFY(CupsScheduler::text(newJobs().first()).contains(QStringLiteral("Racun br. 7")));
    // Let the server finish this row's image (if it was asked for at all)
    // before the next row.
    if (service.requestsTo("/slow-logo.png").size() > imageAskedBefore)
        QTRY_VERIFY_WITH_TIMEOUT(*imageAnswered, 5000);
}

void TestInvoicePrinting::printerStopsTakingJobs_data()
{
    QTest::addColumn<QString>("breaks"); // what happens to the printer (or the print system)
    QTest::addColumn<QString>("reason"); // what the bar says
    QTest::addColumn<QString>("kind");   // what the journal keeps
    QTest::addColumn<bool>("byKeys");    // printed again with Ctrl+P, else with the bar's button

    QTest::newRow("printer deleted") << "delete" << "Ured" << "printer" << false;
    QTest::newRow("printer stopped") << "cupsdisable" << "Ured" << "printer" << true;
    QTest::newRow("queue refusing jobs") << "cupsreject" << "Ured" << "printer" << false;
    QTest::newRow("print system stopped") << "scheduler" << "sustav za ispis" << "print-system" << true;
}

void TestInvoicePrinting::printerStopsTakingJobs()
{
    QFETCH(QString, breaks);
    QFETCH(QString, reason);
    QFETCH(QString, kind);
    QFETCH(bool, byKeys);

    QVERIFY(openWindow(invoicePage(QString(), invoiceHtml), "[General]\nuseSerialPort=false\nprinterPort=Ured\n"));
    QVERIFY(waitForNewJobs(1));
    const QString ured = QStringLiteral("Ured");
    auto onDefault = [this] {
        const QList<CupsScheduler::Job> jobs = cups.jobs();
        return std::count_if(jobs.begin(), jobs.end(),
                             [](const CupsScheduler::Job &job) { return job.printer == QLatin1String("Blagajna"); });
    };
    const auto defaultJobs = onDefault();
    bool broken = breaks == QLatin1String("delete")      ? cups.removePrinter(ured)
                  : breaks == QLatin1String("scheduler") ? (cups.stop(), true)
                                                         : cups.command(breaks, {ured});
    QVERIFY(broken);

    // The next invoice: nothing sent anywhere, the bar says why, the journal too.
    QSignalSpy loads(pageOf(window.get()), &ShellPage::loadFinished);
    pageOf(window.get())->reload();
    QVERIFY(waitForLoads(window.get(), loads));
    QVERIFY2(failureText(window.get()).contains(reason), qPrintable(failureText(window.get())));
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    const JournalEntry failed = journal.latest(1).first();
    QCOMPARE(failed.outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(failed.target, ured);
    QCOMPARE(failed.kind, kind);

    const bool mended = breaks == QLatin1String("delete")      ? cups.addPrinter(ured)
                        : breaks == QLatin1String("scheduler") ? cups.restart()
                        : breaks == QLatin1String("cupsdisable") ? cups.command(QStringLiteral("cupsenable"), {ured})
                                                                 : cups.command(QStringLiteral("cupsaccept"), {ured});
    QVERIFY(mended);
    const int jobsNow = cups.jobs().size(); // a deleted queue took its finished jobs along
    if (byKeys) {
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
    } else {
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btnRetryPrint")), Qt::LeftButton);
    }
    QVERIFY(cups.waitForJobs(jobsNow + 1));
    QVERIFY(waitForOutput(window.get()));
    QCOMPARE(cups.jobs().last().printer, ured);
    QCOMPARE(onDefault(), defaultJobs); // never on another printer
    QCOMPARE(failureText(window.get()), QString());
    const JournalEntry again = journal.latest(1).first();
    QCOMPARE(again.outcome, QLatin1String(JournalEntry::printed));
    QCOMPARE(again.reprintOf, failed.id);
    QCOMPARE(again.kind, QString());
    QVERIFY(again.jobId > 0);
}

void TestInvoicePrinting::printerBackAfterCancel()
{
    QVERIFY(openWindow(invoicePage(QString(), invoiceHtml), "[General]\nuseSerialPort=false\nprinterPort=Ured\n"));
    QVERIFY(waitForNewJobs(1));
    const QString ured = QStringLiteral("Ured");
    QVERIFY(cups.removePrinter(ured));
    QSignalSpy loads(pageOf(window.get()), &ShellPage::loadFinished);
    pageOf(window.get())->reload();
    QVERIFY(waitForLoads(window.get(), loads));
    QVERIFY2(failureText(window.get()).contains(ured), qPrintable(failureText(window.get())));

    // "Postavke" from the bar, and Cancel.
    QString inUse;
    onNextModal([&inUse](QWidget *) {
        QWidget *dialog = QApplication::activeModalWidget();
        if (auto *label = dialog ? dialog->findChild<QLabel *>(QStringLiteral("lblInUse")) : nullptr)
            inUse = label->text();
        if (dialog)
            dialog->close();
    });
    QVERIFY(settingsRoundTrip(window.get(), "btnFailureSettings"));
    // It says what the window does: Ured's invoices wait for Ured.
    QVERIFY2(inUse.contains(QStringLiteral("„Ured” više nije instaliran")), qPrintable(inUse));

    // The printer comes back: the next invoice goes to it, nowhere else.
    QVERIFY(cups.addPrinter(ured));
    const int jobsNow = cups.jobs().size();
    loads.clear();
    pageOf(window.get())->reload();
    QVERIFY(waitForLoads(window.get(), loads));
    QVERIFY(cups.waitForJobs(jobsNow + 1));
    QVERIFY(waitForOutput(window.get()));
    QCOMPARE(cups.jobs().last().printer, ured);
    QVERIFY2(window->findChild<QLabel *>(QStringLiteral("lblOutput"))->text().contains(ured),
             qPrintable(window->findChild<QLabel *>(QStringLiteral("lblOutput"))->text()));
}

void TestInvoicePrinting::receiptReprintedOnPrinterKeepsLines()
{
    PseudoTerminal pty;
    QVERIFY(pty.isOpen());
    const QString receipt = QStringLiteral("Račun 61\nKava            2,00\nUkupno          2,00\n");
    QVERIFY(openWindow(invoicePage(receipt, QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty.slavePath().toLatin1() + "\n"));
    QCOMPARE(pty.read(), receipt.toUtf8());

    writeSettingsFile("[General]\nuseSerialPort=false\nprinterPort=Ured\n");
    onNextModal([](QWidget *) {
        if (QWidget *dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    QVERIFY(settingsRoundTrip(window.get()));
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
    QVERIFY(waitForNewJobs(1));
    const QString printed = CupsScheduler::text(newJobs().last(), true);
    QStringList printedLines;
    for (const QString &line : printed.split(QLatin1Char('\n')))
        printedLines << line.simplified();
    for (const QString &line : receipt.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        QVERIFY2(printedLines.contains(line.simplified()), qPrintable(printed)); // each on a line of its own
}

void TestInvoicePrinting::printedInvoiceStaysHome_data()
{
    QTest::addColumn<int>("padding"); // bytes of comment in the invoice
    QTest::newRow("given as HTML") << 0;
    QTest::newRow("over 1.5 MB, given as a file") << 1600 * 1024;
}

void TestInvoicePrinting::printedInvoiceStaysHome()
{
    QFETCH(int, padding);
    service.clearRequests();
    images.clearRequests();
    // The invoice's own script and a foreign image would reach another host
    // while it prints; the service's logo is what it may load.
    service.content("/home-logo.png", "not really a png", "image/png");
    service.content("/relative-logo.png", "not really a png", "image/png");
    images.content("/foreign.png", "not really a png", "image/png");
    QString html = invoiceHtml;
    html.replace(QStringLiteral("<h1>"),
                 QStringLiteral("<img src='%1'><img src='/relative-logo.png'><img src='%2'>"
                                "<script>new Image().src = '%3';</script>"
                                "<iframe src='%3'></iframe><!--%4--><h1>")
                     .arg(service.url(QStringLiteral("/home-logo.png")), images.url(QStringLiteral("/foreign.png")),
                          images.url(QStringLiteral("/beacon")), QString(padding, QLatin1Char('x'))));
    QVERIFY(openWindow(invoicePage(QString(), html), "[General]\nuseSerialPort=false\nprinterPort=Ured\ntimeout=-1\n"));
    QVERIFY(waitForNewJobs(1));
    const QString printed = CupsScheduler::text(newJobs().first());
    QVERIFY(printed.contains(QStringLiteral("Racun br. 7")));
    QCOMPARE(service.requestsTo("/home-logo.png").size(), 1);
    QCOMPARE(service.requestsTo("/relative-logo.png").size(), 1); // the service's, as the page meant it
    QTest::qWait(300);
    QCOMPARE(images.requests().size(), 0);
}

void TestInvoicePrinting::invoiceKeepsItsOutput()
{
    // The invoice's logo takes a second; meanwhile the cashier switches the
    // till to its receipt printer in the settings.
    PseudoTerminal pty;
    QVERIFY(pty.isOpen());
    service.route("/late-logo.png", [](const httplib::Request &, httplib::Response &res) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        res.set_content("not really a png", "image/png");
    });
    QString html = invoiceHtml;
    html.replace(QStringLiteral("<h1>"),
                 QStringLiteral("<img src='%1'><h1>").arg(service.url(QStringLiteral("/late-logo.png"))));
    service.html("/accounts/login", invoicePage(QString(), html));
    writeSettingsFile("[General]\nuseSerialPort=false\nprinterPort=Ured\ntimeout=-1\n");
    // While the invoice renders (the window's own loop runs), once its logo
    // has been asked for.
    bool switched = false;
    int jobsWhenSwitched = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (switched || service.requestsTo("/late-logo.png").isEmpty() || !window)
            return;
        switched = true;
        jobsWhenSwitched = cups.jobs().size();
        writeSettingsFile("[General]\nuseSerialPort=true\nprinterPort=" + pty.slavePath().toLatin1() + "\n");
        onNextModal([](QWidget *dialog) { dialog->close(); }); // Cancel: the file is read again
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btnSettings")), Qt::LeftButton);
    });
    watch.start(10);
    std::unique_ptr<QSignalSpy> loads;
    window = makeMainWindow(testContext(service.origin()), loads);
    QVERIFY(waitForLoads(window.get(), *loads));
    QVERIFY(switched);
    QCOMPARE(jobsWhenSwitched, jobsBefore); // switched while the invoice was on its way
    QVERIFY(waitForNewJobs(1)); // on the printer it was taken for
    QCOMPARE(newJobs().first().printer, QStringLiteral("Ured"));
    QCOMPARE(pty.read(), QByteArray());
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    const JournalEntry entry = journal.latest(1).first();
    QCOMPARE(entry.mode, QLatin1String(JournalEntry::printerMode));
    QCOMPARE(entry.target, QStringLiteral("Ured"));
}

void TestInvoicePrinting::receiptRollPaper_data()
{
    QTest::addColumn<int>("lines");
    QTest::newRow("a short receipt") << 3;
    QTest::newRow("a long receipt") << 150;
}

void TestInvoicePrinting::receiptRollPaper()
{
    // A queue whose driver knows only an 80 mm roll (80 x 297 mm, 4 mm it
    // cannot reach on either side).
    QFETCH(int, lines);
    QVERIFY(cups.command(QStringLiteral("lpadmin"), {QStringLiteral("-p"), QStringLiteral("Rola"), QStringLiteral("-E"),
                                                     QStringLiteral("-v"), QStringLiteral("file:///dev/null"),
                                                     QStringLiteral("-P"), QStringLiteral(ROLL80_PPD)}));
    const auto removed = qScopeGuard([this] { cups.removePrinter(QStringLiteral("Rola")); });
    // one inch from the printable area's left edge on paper, on either engine
    QString html = QStringLiteral("<html><body style='font-size:12px'>"
                                  "<div style='margin-left:88px; font-size:24px'>MJERA</div>");
    for (int i = 1; i <= lines; ++i)
        html += QStringLiteral("<div>Stavka %1 kraj</div>").arg(i);
    html += QStringLiteral("</body></html>");
    QVERIFY(openWindow(invoicePage(QString(), html), "[General]\nuseSerialPort=false\nprinterPort=Rola\n"));
    QVERIFY(waitForNewJobs(1));

    const CupsScheduler::Job job = newJobs().first();
    int pages = 0;
    const QSizeF size = CupsScheduler::pageSize(job, &pages);
    QVERIFY2(qAbs(size.width() - 226.8) < 1 && qAbs(size.height() - 841.9) < 1,
             qPrintable(QStringLiteral("%1 x %2 pt").arg(size.width()).arg(size.height())));
    QVERIFY(CupsScheduler::leftmostText(job) >= 11.3 - 0.5); // inside what the printer reaches
    const double inch = CupsScheduler::textLeft(job, QStringLiteral("MJERA")) - 11.34;
    QVERIFY2(qAbs(inch - 72) < 2, qPrintable(QStringLiteral("%1 pt").arg(inch)));
    QCOMPARE(pages > 1, lines > 100);
    // every line whole, on one page or the next: a line cut in two would be
    // drawn on both pages
    const QString printed = CupsScheduler::text(job);
    for (int i = 1; i <= lines; ++i)
        QVERIFY2(printed.count(QStringLiteral("Stavka %1 kraj").arg(i)) == 1, qPrintable(QString::number(i)));
}

void TestInvoicePrinting::logoFetchedOnce()
{
    // Every receipt has the service's logo; it says nothing of caching.
    service.clearRequests();
    QImage logo(40, 40, QImage::Format_RGB32);
    logo.fill(Qt::black);
    QByteArray png;
    QBuffer pngBuffer(&png);
    QVERIFY(pngBuffer.open(QIODevice::WriteOnly) && logo.save(&pngBuffer, "PNG"));
    service.content("/logo.png", png, "image/png");
    const auto page = [](int number) {
        QString html = invoiceHtml;
        html.replace(QStringLiteral("<h1>Racun br. 7"), QStringLiteral("<img src='/logo.png'><h1>Racun br. %1").arg(number));
        return invoicePage(QString(), html);
    };
    QVERIFY(openWindow(page(1), "[General]\nuseSerialPort=false\nprinterPort=Ured\ntimeout=-1\n"));
    QVERIFY(waitForNewJobs(1));
    for (int number = 2; number <= 3; ++number) {
        service.html("/accounts/login", page(number));
        QSignalSpy loads(pageOf(window.get()), &ShellPage::loadFinished);
        pageOf(window.get())->reload();
        QVERIFY(waitForLoads(window.get(), loads));
        QVERIFY(waitForNewJobs(number));
    }
    QVERIFY(CupsScheduler::text(newJobs().last()).contains(QStringLiteral("Racun br. 3")));
    QCOMPARE(service.requestsTo("/logo.png").size(), 1);
    // and it is on every one of them
    for (const CupsScheduler::Job &job : newJobs()) {
        QProcess images;
        images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), job.documentPath});
        QVERIFY(images.waitForFinished(10000));
        const QByteArray listed = images.readAllStandardOutput();
        // the logo's own 40 x 40 pixels, not the engine's sign for a missing image
        QVERIFY2(QString::fromLatin1(listed).contains(QRegularExpression(QStringLiteral("image +40 +40 "))),
                 listed.constData());
    }
}

QTEST_MAIN(TestInvoicePrinting)
#include "tst_invoiceprinting.moc"
