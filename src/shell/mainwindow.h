#pragma once

#include "shellcontext.h"
#include "shellpage.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>

class FailureBar;
class InvoiceOutput;
class QCloseEvent;
class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;
class ReportDownloads;
class Updates;

namespace Ui {
class MainWindow;
}

// The till's one window: the service's page (whatever engine shows it), the
// shell's own page when it cannot be loaded and the retry, and the status
// bar, the failure bar and the dialogs. Invoices are `InvoiceOutput`'s and
// reports `ReportDownloads`'.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const ShellContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The page the window shows.
    ShellPage *page() const { return shellPage.get(); }

protected:
    // Closing while an invoice is being output asks whether to wait for it
    // or to stop it; the window closes once the output is over.
    void closeEvent(QCloseEvent *event) override;

private:
    void on_load_started(const QUrl &requested);
    void on_load_progress(int progress);
    void on_load_finished(const PageLoad &load);
    void on_btnSettings_clicked();
    void on_output_idle();
    void showErrorPage();
    void reloadPage();
    void retryPage();
    void showRecentInvoices();
    void showJournalProblem(const QString &problem);
    void runStartupUpdateCheck();

    Ui::MainWindow *ui;
    ShellContext context;
    std::unique_ptr<ShellPage> shellPage;
    InvoiceOutput *invoices = nullptr;
    ReportDownloads *reports = nullptr;
    QList<QUrl> serviceOrigins; // the service's, and the main address's
    QUrl mainAddress;
    QProgressBar *progressBar = nullptr;
    QPushButton *btnSettings = nullptr;
    QPushButton *btnRecent = nullptr;
    QLabel *lblOutput = nullptr; // the output in use, always in view
    FailureBar *failureBar = nullptr;
    bool closeRequested = false; // close once the output is over
    QPointer<QMessageBox> closingBox;

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
};
