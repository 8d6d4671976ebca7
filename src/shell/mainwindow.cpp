#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "engine.h"
#include "failurebar.h"
#include "invoiceoutput.h"
#include "invoicerenderer.h"
#include "journal.h"
#include "jsconnector.h"
#include "pagesession.h"
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
#include <QTimer>
#include <QUrl>


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
    const QUrl mainAddress(startup.mainUrl, QUrl::TolerantMode);
    const QList<QUrl> serviceOrigins{QUrl(context.serviceOrigin, QUrl::TolerantMode), mainAddress};
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
    shellPage->view()->setFocus(); // where the keyboard starts
    session = new PageSession(shellPage.get(), context, serviceOrigins, mainAddress, this);
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Refresh), QKeySequence(Qt::CTRL | Qt::Key_R)}) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, session, &PageSession::reload);
    }

    // Printed invoices reach what the page may, and nothing else.
    invoices = new InvoiceOutput(context, [setup] { return createInvoiceRenderer(setup); }, this);
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
    // The keyboard is the page's: "Tab, type, Enter" logs in. These two have
    // their shortcuts, and a click on them leaves the focus where it was.
    btnRecent->setFocusPolicy(Qt::NoFocus);
    btnSettings->setFocusPolicy(Qt::NoFocus);

    lblOutput = new QLabel;
    lblOutput->setObjectName(QStringLiteral("lblOutput"));
    statusBar()->addPermanentWidget(lblOutput, 0);
    connect(invoices, &InvoiceOutput::outputShownChanged, lblOutput, [this](const QString &text) {
        // A long port name must not widen the window past the screen.
        showElided(lblOutput, text, Qt::ElideMiddle, 360);
    });

    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->hide();
    progressBar->setRange(0, 100);
    statusBar()->addWidget(progressBar, 1);
    connect(session, &PageSession::loadStarted, this, [this](const QString &host) {
        progressBar->setFormat(host + QStringLiteral(" %p%"));
        progressBar->setValue(0);
        progressBar->show();
    });
    connect(session, &PageSession::loadProgress, progressBar, &QProgressBar::setValue);
    connect(session, &PageSession::loadEnded, progressBar, &QWidget::hide);
    connect(session, &PageSession::serviceAnswered, this, [this] {
        if (startupUpdates)
            startupUpdates->serviceAnswered();
    });
    connect(session, &PageSession::invoiceIssued, invoices, &InvoiceOutput::pageLoaded);

    invoices->configure();
    session->start();

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

void MainWindow::on_btnSettings_clicked()
{
    // The gear is off from the press until the dialog has closed.
    if (settingsUnderWay())
        return; // the bar's button while the gear's round is on
    btnSettings->setEnabled(false);
    // Asked once, for the window and the dialog alike, while the window goes on.
    askPrintersLater(this, [this](const PrinterList &printers) {
        invoices->setKnownPrinters(printers);
        auto *dialog = new Settings(context, this, invoices->portMode(), invoices->printerInUse(printers), printers);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &Settings::restartDeferred, this, [this] { restartPending = true; });
        connect(dialog, &QDialog::finished, this, [this] {
            // Accepted or not, the output follows what the file says now.
            invoices->configure();
            btnSettings->setEnabled(true);
            if (restartPending)
                restartWhenIdle();
        });
        dialog->open();
    });
}

bool MainWindow::settingsUnderWay() const
{
    return !btnSettings->isEnabled();
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
    // The reprint's own entry, and how it ended, as they are written.
    connect(invoices, &InvoiceOutput::journalChanged, &dialog, &RecentInvoices::refresh);
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
    // Postavke opened before the check: their changes are not lost to it.
    updates.setRestartHeld([this] { return settingsUnderWay(); });
    connect(&updates, &Updates::restartDeferred, this, [this] {
        restartPending = true;
        statusBar()->showMessage(tr("Nova verzija je instalirana; program će se ponovno pokrenuti kad zatvorite Postavke."));
    });
    startupUpdates = &updates;
    updates.exec();
}

void MainWindow::restartWhenIdle()
{
    // Never in the middle of an invoice.
    if (invoices->busy()) {
        QTimer::singleShot(200, this, &MainWindow::restartWhenIdle);
        return;
    }
    if (!Updates::restartProgram()) {
        restartPending = false;
        statusBar()->showMessage(tr("Nova verzija je instalirana, ali se ne može pokrenuti; program radi dalje."));
    }
}
