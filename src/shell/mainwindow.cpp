#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "jsconnector.h"
#include "outputsetup.h"
#include "pageoutput.h"
#include "portoutput.h"
#include "reportfile.h"
#include "serialport.h"
#include "settings.h"
#include "settingsfile.h"
#include "updates.h"

#include <QDebug>
#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

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
    connect(page->networkAccessManager(), &QNetworkAccessManager::sslErrors, this, &MainWindow::on_ssl_error);

    btnSettings = new QPushButton;
    btnSettings->setObjectName(QStringLiteral("btnSettings"));
    btnSettings->setIcon(QIcon(QStringLiteral(":/img/images/settings.png")));
    btnSettings->setIconSize(QSize(20, 24));
    connect(btnSettings, &QPushButton::clicked, this, &MainWindow::on_btnSettings_clicked);
    statusBar()->addPermanentWidget(btnSettings, 0);

    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->hide();
    progressBar->setRange(0, 100);
    statusBar()->addWidget(progressBar, 1);

    jsConnector = new JSConnector;
    jsConnector->bindToView(ui->webView);
    connect(jsConnector, &JSConnector::display_string_received, this, &MainWindow::on_display_string_received);
    connect(jsConnector, &JSConnector::download_report_request_received, this,
            &MainWindow::on_download_report_request_received);

    configureOutput();

    const StartupSettings startup = SettingsFile(context.settingsFile).startup(context.serviceOrigin);
    timeout = startup.timeout;
    page->mainFrame()->setUrl(QUrl(startup.mainUrl, QUrl::TolerantMode));

    reportManager = new QNetworkAccessManager;
    connect(reportManager, &QNetworkAccessManager::sslErrors, this, &MainWindow::on_ssl_error);

    runStartupUpdateCheck();
}

MainWindow::~MainWindow()
{
    delete progressBar;
    delete btnSettings;
    serialPort.reset();
    delete ui;
    printer.reset();
    delete jsConnector;
    delete reportManager;
}

void MainWindow::on_webView_loadStarted()
{
    progressBar->setMinimum(0);
    progressBar->setVisible(true);
}

void MainWindow::on_webView_loadProgress(int progress)
{
    progressBar->setValue(progress);
}

void MainWindow::on_webView_loadFinished(bool ok)
{
    Q_UNUSED(ok) // a failed load still ends the progress display
    progressBar->hide();

    // Read the invoice before marking the page, so that the page's scripts see
    // the mark only once the load has ended and the value has been taken.
    QWebFrame *frame = ui->webView->page()->mainFrame();
    const QString invoice = readInvoice(frame, useSerialPort);
    markShownByShell(frame);
    if (!invoice.isEmpty())
        printInvoiceData(invoice);
}

void MainWindow::on_webView_unsupportedContent(QNetworkReply *reply)
{
    // The reply is ours from here on; the page keeps showing what it showed.
    saveReport(reply);
    ui->webView->stop();
}

void MainWindow::on_ssl_error(QNetworkReply *reply, const QList<QSslError> &errlist)
{
    Q_UNUSED(errlist)
    // The service is reached over certificates the desktop may not trust
    // (self-signed, expired); pages load regardless.
    reply->ignoreSslErrors();
}

void MainWindow::on_btnSettings_clicked()
{
    auto *dialog = new Settings(context, this);
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
    // Plain concatenation: the page passes a path that starts with "/".
    const QString address = context.serviceOrigin + url;
    qDebug().noquote() << address;

    // A manager of our own: no cookies or login state of the page go along.
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    saveReport(reportManager->get(request));
}

void MainWindow::saveReport(QNetworkReply *reply)
{
    const QString address = reply->url().toString();
    auto *report = new ReportFile(reply, reportFileName);
    connect(report, &ReportFile::saved, this, &MainWindow::on_report_saved);
    connect(report, &ReportFile::failed, this, [this, address](const QString &problem) {
        qWarning().noquote() << "Izvjestaj nije preuzet:" << address << "-" << problem;
        statusBar()->showMessage(tr("Izvjestaj nije preuzet: %1").arg(problem), 15000);
    });
}

void MainWindow::on_report_saved(const QString &filePath)
{
    // The desktop handler wants an absolute file address; a bare relative
    // name is not resolved everywhere.
    QDesktopServices::openUrl(QUrl::fromLocalFile(filePath));
}

void MainWindow::configureOutput()
{
    const OutputSetup setup = decideOutput(SettingsFile(context.settingsFile).outputSelection(), useSerialPort);
    useSerialPort = setup.useSerialPort;
    serialPort = std::make_unique<SerialPort>(setup.portName);
    printer = makePrinter(setup.printerName);
}

void MainWindow::printInvoiceData(const QString &data)
{
    OutputResult result;
    if (useSerialPort) {
        result = writeInvoiceToPort(*serialPort, data);
    } else {
        const std::unique_ptr<QWebView> view = renderInvoice(data, timeout);
        // The settings dialog may have replaced the printer during the wait:
        // print on the one that is current now.
        result = printInvoice(*view, *printer);
    }

    if (!result.done) {
        // A receipt that silently vanishes is worse than a visible complaint.
        qDebug().noquote() << "Racun nije ispisan:" << result.problem;
        statusBar()->showMessage(tr("Racun nije ispisan: %1").arg(result.problem), 30000);
    }
}

void MainWindow::runStartupUpdateCheck()
{
    // The page keeps loading meanwhile. After an installed update the
    // dialog's button restarts the program and this process ends here.
    Updates updates(context, this);
    updates.exec();
}
