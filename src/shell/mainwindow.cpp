#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "background.h"
#include "errorpage.h"
#include "failurebar.h"
#include "invoicetext.h"
#include "journal.h"
#include "jsconnector.h"
#include "networkproblem.h"
#include "outputsetup.h"
#include "pageoutput.h"
#include "portname.h"
#include "portoutput.h"
#include "printdocument.h"
#include "printsystem.h"
#include "recentinvoices.h"
#include "reportaddress.h"
#include "reportfile.h"
#include "serialport.h"
#include "settings.h"
#include "settingsfile.h"
#include "trustedhosts.h"
#include "trustingnetworkmanager.h"
#include "updates.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTime>
#include <QUrl>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

#include <algorithm>
#include <optional>
#include <utility>

// Every report and every document the view cannot show ends up under this
// one name in the working directory.
static const QLatin1String reportFileName("report.pdf");

static void initResources()
{
    // The resource bundle lives in a static library; registering it here keeps
    // the linker from dropping it.
    Q_INIT_RESOURCE(resources);
}

MainWindow::MainWindow(const ShellContext &context, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , context(context)
{
    initResources();
    ui->setupUi(this);

    QWebPage *page = ui->webView->page();
    page->setForwardUnsupportedContent(true);
    connect(page, &QWebPage::unsupportedContent, this, &MainWindow::on_webView_unsupportedContent);
    // Certificates the system does not vouch for are refused, except on the
    // main address's own host (set below): trusted on first use there.
    pageManager = new TrustingNetworkManager(context.trustedHostsFile, context.trustedCertificates, page);
    page->setNetworkAccessManager(pageManager);
    // A service that takes the connection and then says nothing ends the load.
    page->networkAccessManager()->setTransferTimeout(context.pageTimeoutMs);
    connect(page->networkAccessManager(), &QNetworkAccessManager::finished, this,
            &MainWindow::on_page_request_finished);

    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &MainWindow::retryPage);
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Refresh), QKeySequence(Qt::CTRL | Qt::Key_R)}) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &MainWindow::reloadPage);
    }

    // The journal never holds up printing: when it cannot be used, invoices
    // still go out, and the user hears of it once.
    journal = std::make_unique<Journal>(context.journalFile); // opened once the page is on its way
    heldJournalTimer.setInterval(500);
    connect(&heldJournalTimer, &QTimer::timeout, this, [this] {
        if (journal->writeHeld())
            heldJournalTimer.stop();
        showJournalProblem();
    });
    failureBar = new FailureBar;
    ui->gridLayout->removeWidget(ui->webView);
    ui->gridLayout->addWidget(failureBar, 0, 0, 1, 2);
    ui->gridLayout->addWidget(ui->webView, 1, 0, 1, 2);
    connect(failureBar, &FailureBar::retryRequested, this, &MainWindow::retryFailedInvoices);
    connect(failureBar, &FailureBar::settingsRequested, this, &MainWindow::on_btnSettings_clicked);
    connect(failureBar, &FailureBar::dismissed, this, [this] { failedInvoices.clear(); });
    auto *reprintShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(reprintShortcut, &QShortcut::activated, this, &MainWindow::reprintLatest);
    auto *recentShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_J), this);
    connect(recentShortcut, &QShortcut::activated, this, &MainWindow::showRecentInvoices);

    btnRecent = new QPushButton(tr("Zadnji računi"));
    btnRecent->setObjectName(QStringLiteral("btnRecent"));
    btnRecent->setToolTip(tr("Zadnji računi (Ctrl+J); zadnji ponovno ispisuje Ctrl+P"));
    connect(btnRecent, &QPushButton::clicked, this, &MainWindow::showRecentInvoices);
    statusBar()->addPermanentWidget(btnRecent, 0);

    btnSettings = new QPushButton;
    btnSettings->setObjectName(QStringLiteral("btnSettings"));
    btnSettings->setIcon(QIcon(QStringLiteral(":/img/images/settings.png")));
    btnSettings->setIconSize(QSize(20, 24));
    btnSettings->setToolTip(tr("Postavke ispisa (Ctrl+,)"));
    btnSettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(btnSettings, &QPushButton::clicked, this, &MainWindow::on_btnSettings_clicked);
    statusBar()->addPermanentWidget(btnSettings, 0);

    lblOutput = new QLabel;
    lblOutput->setObjectName(QStringLiteral("lblOutput"));
    statusBar()->addPermanentWidget(lblOutput, 0);

    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->hide();
    progressBar->setRange(0, 100);
    statusBar()->addWidget(progressBar, 1);

    const StartupSettings startup = SettingsFile(context.settingsFile).startup(context.serviceOrigin);
    timeout = startup.timeout;
    // Only the service's own pages (and those of the configured main address)
    // may ask the shell for anything or have their invoices printed.
    serviceOrigins = {QUrl(context.serviceOrigin, QUrl::TolerantMode), QUrl(startup.mainUrl, QUrl::TolerantMode)};
    // A certificate nothing vouches for is trusted on first use only for a
    // main address of its own, never for the service.
    const QString serviceHost = TrustedHosts::hostPort(serviceOrigins.at(0));
    const QString mainHost = serviceOrigins.at(1).scheme() == QLatin1String("https")
                                 ? TrustedHosts::hostPort(serviceOrigins.at(1))
                                 : QString();
    const QString firstUseHost = mainHost != serviceHost ? mainHost : QString();
    pageManager->setFirstUseHost(firstUseHost);

    jsConnector = new JSConnector;
    jsConnector->bindToView(ui->webView, serviceOrigins);
    connect(jsConnector, &JSConnector::display_string_received, this, &MainWindow::on_display_string_received);
    connect(jsConnector, &JSConnector::download_report_request_received, this,
            &MainWindow::on_download_report_request_received);

    configureOutput();

    mainAddress = QUrl(startup.mainUrl, QUrl::TolerantMode);
    page->mainFrame()->setUrl(mainAddress);

    // What need not come before the first request comes after it: the
    // journal (its pruning later still, when the till is idle).
    journal->open(Journal::PruneLater);
    showJournalProblem();
    QTimer::singleShot(context.journalPruneDelayMs, this, [this] { journal->prune(); });

    // Managers of their own: no cookies or login state of the page go along.
    reportManager = new TrustingNetworkManager(context.trustedHostsFile, context.trustedCertificates);
    reportManager->setTransferTimeout(context.pageTimeoutMs); // a report that stalls ends as a page does
    printManager = new TrustingNetworkManager(context.trustedHostsFile, context.trustedCertificates, this);
    printManager->setFirstUseHost(firstUseHost);
    printManager->setAllowedOrigins(serviceOrigins); // a printed invoice reaches no one else

    // From the event loop, once the window is up: the dialog comes over the
    // window instead of in its place.
    QTimer::singleShot(0, this, &MainWindow::runStartupUpdateCheck);
}

MainWindow::~MainWindow()
{
    // The page aborts its requests as it goes, after this object's own part
    // is gone: their signals must not reach it then.
    QWebPage *page = ui->webView->page();
    page->disconnect(this);
    page->networkAccessManager()->disconnect(this);
    delete progressBar;
    delete btnSettings;
    delete btnRecent;
    delete lblOutput;
    serialPort.reset();
    delete ui;
    delete jsConnector;
    delete reportManager;
}

void MainWindow::on_webView_loadStarted()
{
    if (!errorPageLoading) {
        // A page of the service (or wherever the user went), not ours.
        errorPageShown = false;
        retryTimer.stop();
        loadingUrl = ui->webView->page()->mainFrame()->requestedUrl();
        loadProblem.clear();
        progressBar->setFormat(loadingUrl.host() + QStringLiteral(" %p%"));
    }
    progressBar->setMinimum(0);
    progressBar->setVisible(!errorPageLoading);
}

void MainWindow::on_webView_loadProgress(int progress)
{
    progressBar->setValue(progress);
}

void MainWindow::on_webView_loadFinished(bool ok)
{
    progressBar->hide();
    if (errorPageLoading) {
        errorPageLoading = false; // the shell's own page: no invoice, no mark
        return;
    }
    const bool startedByShell = std::exchange(loadStartedByShell, false);
    if (!ok && !loadProblem.isEmpty()) {
        // From the event loop: the view is still finishing this load.
        QMetaObject::invokeMethod(this, &MainWindow::showErrorPage, Qt::QueuedConnection);
        return;
    }

    // Read the invoice before marking the page, so that the page's scripts see
    // the mark only once the load has ended and the value has been taken.
    QWebFrame *frame = ui->webView->page()->mainFrame();
    if (!JSConnector::isFromOrigins(frame->url(), serviceOrigins)) {
        // Another site's page prints nothing, whatever it leaves.
        if (!frame->findFirstElement(QStringLiteral("#PrintInvoiceData, #PrintInvoiceDataHTML")).isNull())
            qWarning().noquote() << "Račun na stranici" << frame->url().toString(QUrl::RemoveUserInfo)
                                 << "nije ispisan: stranica nije sa servisa";
        return;
    }
    if (ok && startupUpdates)
        startupUpdates->serviceAnswered();
    const QString invoice = readInvoice(frame, useSerialPort);
    markShownByShell(frame);
    if (invoice.isEmpty())
        return;
    // Nobody at the till asked for a load the shell made itself: what it
    // brings back was printed already, unless the journal says otherwise.
    const QString page = frame->url().toString(QUrl::RemoveUserInfo);
    const qint64 printedBefore = startedByShell ? journal->printedFrom(page, invoice) : 0;
    if (printedBefore > 0) {
        JournalEntry entry;
        entry.time = QDateTime::currentDateTimeUtc();
        entry.page = page;
        entry.mode = QLatin1String(useSerialPort ? JournalEntry::portMode : JournalEntry::printerMode);
        entry.text = invoice;
        entry.reprintOf = printedBefore;
        entry.reason = tr("već ispisan; stranicu je ponovno učitao program");
        journal->recordSkipped(entry);
        showJournalProblem();
        qInfo().noquote() << "Račun nije ponovno ispisan: stranicu" << page
                          << "ponovno je učitao program, a račun je već ispisan";
        statusBar()->showMessage(tr("Stranica je ponovno učitana; njezin je račun već ispisan i nije ispisan ponovno."),
                                 15000);
        return;
    }
    printInvoiceData(invoice, frame->url());
}

void MainWindow::on_page_request_finished(QNetworkReply *reply)
{
    // Only the page itself (where it was sent, or redirected to): a missing
    // image does not make the page fail.
    const bool thePage = reply->url() == loadingUrl || reply->url() == ui->webView->page()->mainFrame()->requestedUrl();
    if (!thePage)
        return;
    const QString refused = TrustingNetworkManager::refusal(reply);
    if (!refused.isEmpty()) {
        loadProblem = refused; // already logged, with the address
        return;
    }
    if (reply->error() == QNetworkReply::NoError || !isUnreachable(reply->error()))
        return;
    // "Servis" is for the service's own pages; a dead link elsewhere is just that.
    loadProblem = JSConnector::isFromOrigins(reply->url(), serviceOrigins)
                      ? networkProblem(reply->error(), reply->url(), context.pageTimeoutMs)
                      : tr("Stranica %1 nije dostupna (%2)")
                            .arg(reply->url().host(), networkReason(reply->error(), context.pageTimeoutMs));
    qWarning().noquote() << "Stranica se ne može učitati:" << reply->url().toString() << "-" << loadProblem;
}

void MainWindow::showErrorPage()
{
    errorPageShown = true;
    errorPageLoading = true;
    // The shell tries again by itself only for the service: another site's
    // page that fails must not hold the till; it gets a way back instead.
    if (JSConnector::isFromOrigins(loadingUrl, serviceOrigins)) {
        ui->webView->setHtml(
            errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), context.retryIntervalMs / 1000));
        retryTimer.start(context.retryIntervalMs);
    } else {
        ui->webView->setHtml(errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), 0, mainAddress));
    }
}

void MainWindow::retryPage()
{
    // A connection that stalled would be used again and stall again: the
    // retry starts afresh.
    pageManager->clearConnectionCache();
    loadStartedByShell = true;
    ui->webView->load(loadingUrl);
}

void MainWindow::reloadPage()
{
    // On the shell's own page, the page that failed is the one to load
    // again, on a connection of its own.
    if (errorPageShown) {
        pageManager->clearConnectionCache();
        ui->webView->load(loadingUrl);
    } else
        ui->webView->reload();
}

void MainWindow::on_webView_unsupportedContent(QNetworkReply *reply)
{
    // The reply is ours from here on; the page keeps showing what it showed.
    if (reportsInFlight.contains(reply->url().toString())) {
        reply->abort();
        reply->deleteLater();
        statusBar()->showMessage(tr("Taj se izvještaj već preuzima."), 5000);
    } else {
        saveReport(reply);
    }
    ui->webView->stop();
}

void MainWindow::on_btnSettings_clicked()
{
    // Asked once, for the window and the dialog alike.
    knownPrinters = askPrinters();
    std::optional<QString> printerInUse;
    if (!useSerialPort)
        printerInUse = printerForNextInvoice(knownPrinters);
    auto *dialog = new Settings(context, this, useSerialPort, printerInUse, knownPrinters);
    dialog->exec();
    // Accepted or not, the output follows what the file says now.
    configureOutput();
    delete dialog;
}

void MainWindow::on_display_string_received(const QString &message)
{
    Q_UNUSED(message) // display strings produce no output
}

void MainWindow::on_download_report_request_received(const QString &url)
{
    // Reports come from the service and nowhere else: whatever the page
    // passes is a path on it.
    QString problem;
    const QUrl address = reportAddress(context.serviceOrigin, url, &problem);
    if (!address.isValid()) {
        qWarning().noquote() << "Izvještaj odbijen:" << problem;
        statusBar()->showMessage(tr("Izvještaj nije preuzet: %1").arg(problem), 15000);
        return;
    }
    qDebug().noquote() << address.toString();
    if (reportsInFlight.contains(address.toString())) {
        statusBar()->showMessage(tr("Taj se izvještaj već preuzima."), 5000);
        return;
    }
    statusBar()->showMessage(tr("Preuzimanje izvještaja…"));

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    saveReport(reportManager->get(request));
}

void MainWindow::saveReport(QNetworkReply *reply)
{
    const QString address = reply->url().toString();
    reportsInFlight.insert(address);
    auto *report = new ReportFile(reply, reportFileName, context.reportTimeLimitMs);
    connect(report, &ReportFile::progress, this, [this](qint64 received, qint64 total) {
        statusBar()->showMessage(total > 0 ? tr("Preuzimanje izvještaja: %1 %").arg(received * 100 / total)
                                           : tr("Preuzimanje izvještaja: %1 kB").arg(received / 1024));
    });
    connect(report, &ReportFile::saved, this, [this, address](const QString &filePath) {
        reportsInFlight.remove(address);
        statusBar()->clearMessage();
        on_report_saved(filePath);
    });
    connect(report, &ReportFile::failed, this, [this, address](const QString &problem) {
        reportsInFlight.remove(address);
        qWarning().noquote() << "Izvještaj nije preuzet:" << address << "-" << problem;
        statusBar()->showMessage(tr("Izvještaj nije preuzet: %1").arg(problem), 15000);
    });
}

void MainWindow::on_report_saved(const QString &filePath)
{
    // The desktop handler wants an absolute file address; a bare relative
    // name is not resolved everywhere.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(filePath)))
        return;
    const QString where = QDir::toNativeSeparators(filePath);
    qWarning().noquote() << "Izvještaj je spremljen, ali ga nema čime otvoriti:" << where;
    statusBar()->showMessage(tr("Izvještaj je spremljen u %1, ali nema programa koji ga može otvoriti.").arg(where));
}

void MainWindow::configureOutput()
{
    const OutputSetup setup = decideOutput(SettingsFile(context.settingsFile).outputSelection(), useSerialPort);
    // The same choice (a dialog cancelled, or OK on what was there) changes
    // nothing: a printer chosen earlier is not swapped for the default one.
    if (serialPort && setup == outputInUse) {
        showOutputInUse();
        return;
    }
    outputInUse = setup;
    useSerialPort = setup.useSerialPort;
    serialPort = std::make_unique<SerialPort>(setup.portName);
    configuredPrinter.reset();
    showOutputInUse();
    if (useSerialPort)
        return;
    // Asked off the GUI thread: a print system that does not answer never
    // keeps the window from coming up.
    const QString asked = outputInUse.printerName;
    runLater<PrinterList, MainWindow>([] { return installedPrinters(); }, this, [this, asked](const PrinterList &list) {
        if (asked != outputInUse.printerName || configuredPrinter)
            return; // set up again since, or an invoice has settled it
        knownPrinters = list;
        if (list.answered)
            configuredPrinter = printerAtSetUp(list);
        showOutputInUse();
    });
}

QString MainWindow::printerAtSetUp(const PrinterList &list) const
{
    // The printer the settings name, or the default one when it is not installed.
    return list.names.contains(outputInUse.printerName) ? outputInUse.printerName : list.defaultName;
}

void MainWindow::showOutputInUse()
{
    QString shown;
    if (useSerialPort) {
        shown = serialPort->portName().isEmpty() ? tr("Ispis: port nije zadan") : tr("Ispis: port %1").arg(portTarget());
    } else if (!knownPrinters.answered) {
        shown = knownPrinters.problem.isEmpty() ? tr("Ispis: pisač %1").arg(outputInUse.printerName)
                                                : tr("Ispis: pisač (%1)").arg(knownPrinters.problem);
    } else {
        const QString printerName = printerForNextInvoice(knownPrinters);
        shown = printerName.isEmpty() ? tr("Ispis: nema pisača") : tr("Ispis: pisač %1").arg(printerName);
    }
    lblOutput->setText(shown);
}

QString MainWindow::printerForNextInvoice(const PrinterList &list)
{
    // The printer the settings name once it is there (again); otherwise what
    // the set-up chose, which fails the invoice when it has gone since:
    // an invoice is never sent to a printer nobody chose.
    // Exactly that name: CUPS itself would also answer to another letter case.
    // None named: the default one of the moment.
    if (!configuredPrinter && list.answered)
        configuredPrinter = printerAtSetUp(list);
    if (outputInUse.printerName.isEmpty())
        return list.defaultName;
    if (list.names.contains(outputInUse.printerName))
        return outputInUse.printerName;
    return configuredPrinter.value_or(QString());
}

QString MainWindow::portTarget() const
{
    const QString name = serialPort->portName();
    const QString device = devicePathFor(name);
    return device == name ? name : QStringLiteral("%1 (%2)").arg(name, device);
}

void MainWindow::printInvoiceData(const QString &data, const QUrl &page)
{
    outputInvoice({data, !useSerialPort, page, 0, 0});
}

void MainWindow::outputInvoice(const Invoice &invoice)
{
    // The window keeps running while a device takes its time; an invoice
    // that comes meanwhile waits its turn instead of interleaving.
    if (outputBusy) {
        waitingOutputs.append(invoice);
        return;
    }
    outputBusy = true;
    stopOutput = false;
    outputNow(invoice);
    while (!waitingOutputs.isEmpty())
        outputNow(waitingOutputs.takeFirst()); // once stopped, each goes straight to the journal as failed
    outputBusy = false;
    if (closeRequested) {
        if (closingBox)
            closingBox->close();
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!outputBusy) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    closeRequested = true;
    if (closingBox)
        return;
    // Not modal and not waited for: the output goes on while the box is up.
    auto *box = new QMessageBox(QMessageBox::Question, tr("Ispis u tijeku"),
                                tr("Račun se upravo ispisuje. Program će se zatvoriti kad ispis završi."),
                                QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("closingDuringOutput"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->addButton(tr("Pričekaj ispis"), QMessageBox::AcceptRole);
    QPushButton *stop = box->addButton(tr("Prekini ispis i zatvori"), QMessageBox::DestructiveRole);
    stop->setObjectName(QStringLiteral("btnStopOutput"));
    QPushButton *stay = box->addButton(tr("Ne zatvaraj"), QMessageBox::RejectRole);
    connect(box, &QMessageBox::buttonClicked, this, [this, stop, stay](QAbstractButton *clicked) {
        if (clicked == stop)
            stopOutput = true;
        else if (clicked == stay)
            closeRequested = false;
    });
    closingBox = box;
    box->open();
}

void MainWindow::outputNow(const Invoice &invoice)
{
    // The output in use now, for the whole of this invoice.
    const bool portMode = useSerialPort;
    const QString portName = serialPort->portName();
    const PortEncodingSetting encoding{outputInUse.portEncoding, outputInUse.portCodeTable};
    // Looked up now: a printer that was away and is back again is used.
    // A print system that does not answer is asked nothing more.
    const PrinterList printers = portMode ? PrinterList() : askPrinters();
    if (!portMode)
        knownPrinters = printers;
    const QString printerName = portMode || !printers.answered ? QString() : printerForNextInvoice(printers);

    JournalEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.page = invoice.page.toString(QUrl::RemoveUserInfo);
    entry.mode = QLatin1String(portMode ? JournalEntry::portMode : JournalEntry::printerMode);
    entry.target = portMode ? portTarget() : printers.answered ? printerName : outputInUse.printerName;
    // A receipt stays a receipt on the other kind of output.
    entry.text = invoiceFor(invoice.text, invoice.html, !portMode);
    entry.reprintOf = invoice.reprintOf;
    const qint64 id = journal->begin(entry); // before the output: a crash leaves it pending

    OutputResult result;
    if (stopOutput) {
        result = OutputResult::failed(OutputResult::Stopped, tr("ispis je prekinut jer se program zatvarao"));
    } else if (!invoice.text.isValidUtf16()) {
        // Neither a port nor the journal can take half a character pair as
        // it came; it is not guessed at.
        result = OutputResult::failed(OutputResult::Invoice,
                                      tr("račun sadrži neispravan znak (surogat bez para) pa nije ispisan"));
    } else if (portMode) {
        result = writeInvoiceToPortInBackground(portName, entry.text, encoding, &stopOutput);
    } else if (!printers.answered) {
        result = OutputResult::failed(OutputResult::PrintSystem, printers.problem);
    } else if (printerName.isEmpty()) {
        result = OutputResult::failed(OutputResult::Printer, tr("nema dostupnog pisača"));
    } else if (!printers.names.contains(printerName)) {
        // Gone since it was chosen: the print system says why, if it can.
        result = runInBackground<OutputResult>(
            [printerName] { return printerProblem(printerName); }, printSystemWaitMs,
            OutputResult::failed(OutputResult::PrintSystem, printSystemSilent()));
        if (result.done)
            result = OutputResult::failed(OutputResult::Printer, tr("pisač %1 nije instaliran").arg(printerName));
    } else {
        // The printer the settings name prints without margins; the default
        // one, as it comes.
        const std::unique_ptr<QPrinter> printer =
            printerName == outputInUse.printerName
                ? makePrinter(printerName)
                : std::make_unique<QPrinter>(QPrinterInfo::printerInfo(printerName), QPrinter::ScreenResolution);
        const std::unique_ptr<QWebView> view = renderInvoice(entry.text, timeout, printManager);
        result = printInvoice(*view, *printer);
    }
    journal->finish(id, result.done, result.problem, result.jobId, OutputResult::kindName(result.failure));
    showJournalProblem();

    // A retry or reprint of an invoice not output settles it, whether the
    // journal took it or not.
    const qint64 key = invoice.key != 0 ? invoice.key
                       : invoice.reprintOf > 0 ? invoice.reprintOf
                       : id > 0 ? id
                                : --unjournalled;
    auto waiting = std::find_if(failedInvoices.begin(), failedInvoices.end(),
                                [key](const Invoice &failed) { return failed.key == key; });

    if (result.done) {
        qInfo().noquote() << "Račun ispisan:" << entry.target;
        QString message = tr("Račun ispisan: %1").arg(entry.target);
        if (invoice.reprintOf > 0)
            message = tr("Ponovno ispisan račun „%1”: %2")
                          .arg(invoiceTitle(entry.text, !portMode), entry.target);
        else if (!portMode && !outputInUse.printerName.isEmpty() && outputInUse.printerName != entry.target)
            message = tr("Račun ispisan na zadanom pisaču %1 jer pisač %2 nije instaliran.")
                          .arg(entry.target, outputInUse.printerName);
        statusBar()->showMessage(message, 8000);
        if (waiting != failedInvoices.end())
            failedInvoices.erase(waiting);
    } else {
        qWarning().noquote() << "Račun nije ispisan:" << entry.target << "-" << result.problem;
        lastFailure = result.problem;
        if (waiting == failedInvoices.end()) {
            Invoice failed = invoice;
            failed.key = key;
            failed.reprintOf = 0;
            failedInvoices.append(failed);
        }
    }
    updateFailureBar();
}

void MainWindow::updateFailureBar()
{
    if (failedInvoices.isEmpty()) {
        failureBar->hide();
        return;
    }
    failureBar->showFailure(lastFailure, failedInvoices.size() - 1);
}

void MainWindow::retryFailedInvoices()
{
    // One click outputs every invoice still waiting, oldest first; a click
    // while they are going out adds nothing twice.
    if (outputBusy)
        return;
    const QList<Invoice> toRetry = failedInvoices;
    for (Invoice invoice : toRetry) {
        invoice.reprintOf = invoice.key > 0 ? invoice.key : 0;
        outputInvoice(invoice);
    }
}

void MainWindow::reprintLatest()
{
    if (const std::optional<JournalEntry> latest = journal->latestIssued()) {
        reprint(*latest);
        return;
    }
    if (!failedInvoices.isEmpty()) { // no journal to read: what this run still holds
        retryFailedInvoices();
        return;
    }
    statusBar()->showMessage(tr("Nema računa za ponovni ispis."), 5000);
}

void MainWindow::reprint(const JournalEntry &entry)
{
    // The reprint of a reprint still settles the invoice it started from.
    const qint64 original = entry.reprintOf > 0 ? entry.reprintOf : entry.id;
    outputInvoice({entry.text, entry.mode == QLatin1String(JournalEntry::printerMode), QUrl(entry.page), original, 0});
}

void MainWindow::showRecentInvoices()
{
    RecentInvoices dialog(*journal, this);
    connect(&dialog, &RecentInvoices::reprintRequested, this, &MainWindow::reprint);
    dialog.exec();
}

void MainWindow::showJournalProblem()
{
    // Entries another program's lock holds back are written once it goes.
    if (journal->hasHeld() && !heldJournalTimer.isActive())
        heldJournalTimer.start();
    // A box of its own: the status bar's next message would hide it at once.
    const QString problem = journal->takeProblem();
    if (problem.isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Dnevnik ispisa"), problem, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("journalProblem"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void MainWindow::runStartupUpdateCheck()
{
    // The page keeps loading meanwhile. After an installed update the
    // dialog's button restarts the program and this process ends here.
    Updates updates(context, this);
    updates.setOutputBusy([this] { return outputBusy; });
    startupUpdates = &updates;
    updates.exec();
}
