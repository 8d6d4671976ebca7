#pragma once

#include "outputsetup.h"
#include "portoutput.h"
#include "printsystem.h"
#include "shellcontext.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

class FailureBar;
class JSConnector;
class Journal;
struct JournalEntry;
class QCloseEvent;
class QLabel;
class QMessageBox;
class SerialPort;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QPushButton;
class TrustingNetworkManager;
class Updates;

namespace Ui {
class MainWindow;
}

class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const ShellContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    // Closing while an invoice is being output asks whether to wait for it
    // or to stop it; the window closes once the output is over.
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Bound by name to the form's web view.
    void on_webView_loadStarted();
    void on_webView_loadProgress(int progress);
    void on_webView_loadFinished(bool ok);

private:
    // Connected explicitly; kept out of the slot table so that binding the
    // form by name does not go looking for widgets they do not belong to.
    void on_webView_unsupportedContent(QNetworkReply *reply);
    void on_btnSettings_clicked();
    void on_display_string_received(const QString &message);
    void on_download_report_request_received(const QString &url);
    void on_report_saved(const QString &filePath);
    void on_page_request_finished(QNetworkReply *reply);
    void saveReport(QNetworkReply *reply);
    void showErrorPage();
    void reloadPage();
    void retryPage();

    // One invoice to output: as a page left it, or again from the journal.
    struct Invoice
    {
        QString text;
        bool html = false;    // HTML (the printer element) or plain text (the port element)
        QUrl page;
        qint64 reprintOf = 0; // the journal entry it prints again; 0 for a new invoice
        qint64 key = 0;       // its place among the invoices not output; 0 until it has one
    };

    void configureOutput();
    void showOutputInUse();
    QString portTarget() const;
    // The printer the next invoice goes to, from the installed ones.
    QString printerForNextInvoice(const PrinterList &list);
    QString printerAtSetUp(const PrinterList &list) const;
    void printInvoiceData(const QString &data, const QUrl &page);
    // Outputs the invoice to the current output and journals it; an invoice
    // that comes while another is being output waits its turn.
    void outputInvoice(const Invoice &invoice);
    void outputNow(const Invoice &invoice);
    void updateFailureBar();
    void retryFailedInvoices();
    void reprintLatest();
    void reprint(const JournalEntry &entry);
    void showRecentInvoices();
    void showJournalProblem();
    void runStartupUpdateCheck();

    Ui::MainWindow *ui;
    ShellContext context;
    QNetworkAccessManager *reportManager = nullptr;
    TrustingNetworkManager *pageManager = nullptr;  // the page's, owned by the page
    TrustingNetworkManager *printManager = nullptr; // what a printed invoice's images and styles come through
    QList<QUrl> serviceOrigins; // the service's, and the main address's
    QUrl mainAddress;
    int timeout = 500;
    QProgressBar *progressBar = nullptr;
    QPushButton *btnSettings = nullptr;
    QPushButton *btnRecent = nullptr;
    std::unique_ptr<SerialPort> serialPort;
    QLabel *lblOutput = nullptr; // the output in use, always in view
    JSConnector *jsConnector = nullptr;
    bool useSerialPort = false; // printer mode until the settings say otherwise
    // What the settings chose when the output was last set up. Its printer
    // (empty for the default) is looked up for each invoice, so that one that
    // was away is used again once it is back.
    OutputSetup outputInUse;
    // What the set-up found for that printer: itself, or the default one when
    // it was not installed then (empty when there was none either); none
    // until the print system has answered once.
    std::optional<QString> configuredPrinter;
    PrinterList knownPrinters; // as the print system last answered, for what the window shows

    std::unique_ptr<Journal> journal;
    QTimer heldJournalTimer; // writes what the journal holds while another program locks it
    FailureBar *failureBar = nullptr;
    QList<Invoice> failedInvoices; // not output yet, in the order they were issued
    QString lastFailure;           // why the latest attempt failed
    bool outputBusy = false;
    std::atomic<bool> stopOutput{false}; // the cashier gave up the invoice being output
    bool closeRequested = false;         // close once the output is over
    QPointer<QMessageBox> closingBox;
    QList<Invoice> waitingOutputs; // came while another was being output
    qint64 unjournalled = 0;

    // The page being loaded (or that failed, while the error page shows), and
    // why it failed when it did.
    QUrl loadingUrl;
    QString loadProblem;
    // The shell's own error page: being loaded, or shown for `loadingUrl`.
    bool errorPageLoading = false;
    bool errorPageShown = false;
    QTimer retryTimer;
    // The load under way was started by the shell itself (a retry), not by
    // anyone at the till: it prints no invoice that was printed already.
    bool loadStartedByShell = false;
    QPointer<Updates> startupUpdates; // the start-up check's box, while it is open
    QSet<QString> reportsInFlight; // addresses, so a second click opens nothing twice
};
