#pragma once

#include "portoutput.h"
#include "shellcontext.h"

#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <memory>

class FailureBar;
class JSConnector;
class Journal;
struct JournalEntry;
class QPrinter;
class SerialPort;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QPushButton;

namespace Ui {
class MainWindow;
}

class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const ShellContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

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

    void configureOutput();
    QString outputTarget() const;
    void printInvoiceData(const QString &data, const QUrl &page);
    // Outputs the invoice to the current output and journals it; `reprintOf`
    // is the entry it prints again (0 for a new one).
    bool outputInvoice(const QString &text, const QUrl &page, qint64 reprintOf);
    bool outputNow(const QString &text, const QUrl &page, qint64 reprintOf);
    void updateFailureBar();
    void retryFailedInvoice();
    void reprintLatest();
    void reprint(const JournalEntry &entry);
    void showRecentInvoices();
    void showJournalProblem();
    void runStartupUpdateCheck();

    Ui::MainWindow *ui;
    ShellContext context;
    QNetworkAccessManager *reportManager = nullptr;
    QNetworkAccessManager *printManager = nullptr; // what a printed invoice's images and styles come through
    QList<QUrl> serviceOrigins; // the service's, and the main address's
    int timeout = 500;
    QProgressBar *progressBar = nullptr;
    QPushButton *btnSettings = nullptr;
    QPushButton *btnRecent = nullptr;
    std::unique_ptr<SerialPort> serialPort;
    std::unique_ptr<QPrinter> printer;
    JSConnector *jsConnector = nullptr;
    bool useSerialPort = false; // printer mode until the settings say otherwise
    QString requestedPrinter;   // the printer the settings name; empty for the default
    PortEncodingSetting portEncoding;

    // Invoices not output yet, oldest first; the bar shows the newest.
    struct FailedInvoice
    {
        qint64 entryId; // its journal entry; negative when the journal could not take it
        QString text;
        QUrl page;
        QString reason;
    };
    std::unique_ptr<Journal> journal;
    FailureBar *failureBar = nullptr;
    QList<FailedInvoice> failedInvoices;
    bool outputBusy = false;
    QList<FailedInvoice> waitingOutputs; // came while another was being output
    qint64 unjournalled = 0;

    // The page being loaded (or that failed, while the error page shows), and
    // why it failed when it did.
    QUrl loadingUrl;
    QString loadProblem;
    // The shell's own error page: being loaded, or shown for `loadingUrl`.
    bool errorPageLoading = false;
    bool errorPageShown = false;
    QTimer retryTimer;
    QSet<QString> reportsInFlight; // addresses, so a second click opens nothing twice
};
