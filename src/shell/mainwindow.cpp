#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "engine.h"
#include "errorpage.h"
#include "failurebar.h"
#include "invoiceoutput.h"
#include "journal.h"
#include "jsconnector.h"
#include "networkproblem.h"
#include "printdocument.h"
#include "recentinvoices.h"
#include "reportdownloads.h"
#include "settings.h"
#include "settingsfile.h"
#include "trustedhosts.h"
#include "updates.h"

#include <QCloseEvent>
#include <QDebug>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTime>
#include <QUrl>

#include <utility>

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

    const StartupSettings startup = SettingsFile(context.settingsFile).startup(context.serviceOrigin);
    // Only the service's own pages (and those of the configured main address)
    // may ask the shell for anything or have their invoices printed.
    serviceOrigins = {QUrl(context.serviceOrigin, QUrl::TolerantMode), QUrl(startup.mainUrl, QUrl::TolerantMode)};
    mainAddress = QUrl(startup.mainUrl, QUrl::TolerantMode);
    // A certificate nothing vouches for is trusted on first use only for a
    // main address of its own, never for the service.
    const QString serviceHost = TrustedHosts::hostPort(serviceOrigins.at(0));
    const QString mainHost = serviceOrigins.at(1).scheme() == QLatin1String("https")
                                 ? TrustedHosts::hostPort(serviceOrigins.at(1))
                                 : QString();
    PageSetup setup;
    setup.serviceOrigins = serviceOrigins;
    setup.firstUseHost = mainHost != serviceHost ? mainHost : QString();
    setup.trustedHostsFile = context.trustedHostsFile;
    setup.trustedCertificates = context.trustedCertificates;
    setup.pageTimeoutMs = context.pageTimeoutMs;

    shellPage = createShellPage(setup, this);
    ui->gridLayout->addWidget(shellPage->view(), 1, 0, 1, 2);
    connect(shellPage.get(), &ShellPage::loadStarted, this, &MainWindow::on_load_started);
    connect(shellPage.get(), &ShellPage::loadProgress, this, &MainWindow::on_load_progress);
    connect(shellPage.get(), &ShellPage::loadFinished, this, &MainWindow::on_load_finished);

    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &MainWindow::retryPage);
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Refresh), QKeySequence(Qt::CTRL | Qt::Key_R)}) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &MainWindow::reloadPage);
    }

    invoices = new InvoiceOutput(context, setup, this);
    invoices->setRenderWait(startup.timeout);
    failureBar = new FailureBar;
    ui->gridLayout->addWidget(failureBar, 0, 0, 1, 2);
    connect(failureBar, &FailureBar::retryRequested, invoices, &InvoiceOutput::retryFailed);
    connect(failureBar, &FailureBar::settingsRequested, this, &MainWindow::on_btnSettings_clicked);
    connect(failureBar, &FailureBar::dismissed, invoices, &InvoiceOutput::dismissFailed);
    connect(invoices, &InvoiceOutput::failuresChanged, this, [this](const QString &reason, int count) {
        if (count == 0)
            failureBar->hide();
        else
            failureBar->showFailure(reason, count - 1);
    });
    connect(invoices, &InvoiceOutput::message, this, [this](const QString &text, int timeoutMs) {
        statusBar()->showMessage(text, timeoutMs);
    });
    connect(invoices, &InvoiceOutput::journalProblem, this, &MainWindow::showJournalProblem);
    connect(invoices, &InvoiceOutput::idle, this, &MainWindow::on_output_idle);
    auto *reprintShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(reprintShortcut, &QShortcut::activated, invoices, &InvoiceOutput::reprintLatest);
    auto *recentShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_J), this);
    connect(recentShortcut, &QShortcut::activated, this, &MainWindow::showRecentInvoices);

    reports = new ReportDownloads(context, this);
    connect(reports, &ReportDownloads::message, this, [this](const QString &text, int timeoutMs) {
        statusBar()->showMessage(text, timeoutMs);
    });
    connect(reports, &ReportDownloads::clearMessage, statusBar(), &QStatusBar::clearMessage);
    connect(shellPage.get(), &ShellPage::downloadOffered, reports, &ReportDownloads::take);
    connect(shellPage->connector(), &JSConnector::download_report_request_received, reports,
            &ReportDownloads::request);
    // Display strings produce no output.

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
    connect(invoices, &InvoiceOutput::outputShownChanged, lblOutput, &QLabel::setText);

    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->hide();
    progressBar->setRange(0, 100);
    statusBar()->addWidget(progressBar, 1);

    invoices->configure();
    shellPage->load(mainAddress);

    // What need not come before the first request comes after it: the
    // journal (its pruning later still, when the till is idle).
    invoices->openJournal();

    // From the event loop, once the window is up: the dialog comes over the
    // window instead of in its place. A build without the self-update gets
    // its updates from the package manager and asks nothing.
    if (context.selfUpdate)
        QTimer::singleShot(0, this, &MainWindow::runStartupUpdateCheck);
}

MainWindow::~MainWindow()
{
    // The page goes first: its last signals must find the rest still here.
    shellPage->disconnect(this);
    shellPage.reset();
    delete progressBar;
    delete btnSettings;
    delete btnRecent;
    delete lblOutput;
    delete ui;
}

void MainWindow::on_load_started(const QUrl &requested)
{
    if (!errorPageLoading) {
        // A page of the service (or wherever the user went), not ours.
        errorPageShown = false;
        retryTimer.stop();
        loadingUrl = requested;
        loadProblem.clear();
        progressBar->setFormat(loadingUrl.host() + QStringLiteral(" %p%"));
    }
    progressBar->setMinimum(0);
    progressBar->setVisible(!errorPageLoading);
}

void MainWindow::on_load_progress(int progress)
{
    progressBar->setValue(progress);
}

void MainWindow::on_load_finished(const PageLoad &load)
{
    progressBar->hide();
    if (errorPageLoading) {
        errorPageLoading = false; // the shell's own page: no invoice, no mark
        return;
    }
    const bool startedByShell = std::exchange(loadStartedByShell, false);
    if (!load.refusal.isEmpty()) {
        loadProblem = load.refusal; // already logged, with the address
    } else if (load.error != QNetworkReply::NoError && isUnreachable(load.error)) {
        // "Servis" is for the service's own pages; a dead link elsewhere is just that.
        loadProblem = JSConnector::isFromOrigins(load.failedUrl, serviceOrigins)
                          ? networkProblem(load.error, load.failedUrl, context.pageTimeoutMs)
                          : tr("Stranica %1 nije dostupna (%2)")
                                .arg(load.failedUrl.host(), networkReason(load.error, context.pageTimeoutMs));
        qWarning().noquote() << "Stranica se ne može učitati:" << load.failedUrl.toString() << "-" << loadProblem;
    }
    if (!load.ok && !loadProblem.isEmpty()) {
        // From the event loop: the view is still finishing this load.
        QMetaObject::invokeMethod(this, &MainWindow::showErrorPage, Qt::QueuedConnection);
        return;
    }
    if (!load.fromService) {
        // Another site's page prints nothing, whatever it leaves.
        if (load.hasInvoiceElement)
            qWarning().noquote() << "Račun na stranici" << load.url.toString(QUrl::RemoveUserInfo)
                                 << "nije ispisan: stranica nije sa servisa";
        return;
    }
    if (load.ok && startupUpdates)
        startupUpdates->serviceAnswered();
    invoices->pageLoaded(load, startedByShell);
}

void MainWindow::showErrorPage()
{
    errorPageShown = true;
    errorPageLoading = true;
    // The shell tries again by itself only for the service: another site's
    // page that fails must not hold the till; it gets a way back instead.
    if (JSConnector::isFromOrigins(loadingUrl, serviceOrigins)) {
        shellPage->showHtml(
            errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), context.retryIntervalMs / 1000));
        retryTimer.start(context.retryIntervalMs);
    } else {
        shellPage->showHtml(errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), 0, mainAddress));
    }
}

void MainWindow::retryPage()
{
    // A connection that stalled would be used again and stall again: the
    // retry starts afresh.
    shellPage->startAfresh();
    loadStartedByShell = true;
    shellPage->load(loadingUrl);
}

void MainWindow::reloadPage()
{
    // On the shell's own page, the page that failed is the one to load
    // again, on a connection of its own.
    if (errorPageShown) {
        shellPage->startAfresh();
        shellPage->load(loadingUrl);
    } else {
        shellPage->reload();
    }
}

void MainWindow::on_btnSettings_clicked()
{
    // Asked once, for the window and the dialog alike.
    const PrinterList printers = askPrinters();
    invoices->setKnownPrinters(printers);
    auto *dialog = new Settings(context, this, invoices->portMode(), invoices->printerInUse(printers), printers);
    dialog->exec();
    // Accepted or not, the output follows what the file says now.
    invoices->configure();
    delete dialog;
}

void MainWindow::on_output_idle()
{
    if (!closeRequested)
        return;
    if (closingBox)
        closingBox->close();
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!invoices->busy()) {
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
            invoices->stop();
        else if (clicked == stay)
            closeRequested = false;
    });
    closingBox = box;
    box->open();
}

void MainWindow::showRecentInvoices()
{
    RecentInvoices dialog(invoices->journal(), this);
    connect(&dialog, &RecentInvoices::reprintRequested, invoices, &InvoiceOutput::reprint);
    dialog.exec();
}

void MainWindow::showJournalProblem(const QString &problem)
{
    // A box of its own: the status bar's next message would hide it at once.
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
    updates.setOutputBusy([this] { return invoices->busy(); });
    startupUpdates = &updates;
    updates.exec();
}
