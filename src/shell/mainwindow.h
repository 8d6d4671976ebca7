#pragma once

#include "shellcontext.h"
#include "shellpage.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class FailureBar;
class InvoiceOutput;
class PageSession;
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
// status bar, the failure bar and the dialogs. The page's loads and their
// retry are `PageSession`'s, invoices `InvoiceOutput`'s and reports
// `ReportDownloads`'.
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
    void on_btnSettings_clicked();
    void on_output_idle();
    void showRecentInvoices();
    void showJournalProblem(const QString &problem);
    void runStartupUpdateCheck();
    // Postavke asked for, or open.
    bool settingsUnderWay() const;
    // Restarts into the new version once no invoice is being output.
    void restartWhenIdle();

    Ui::MainWindow *ui;
    ShellContext context;
    std::unique_ptr<ShellPage> shellPage;
    PageSession *session = nullptr;
    InvoiceOutput *invoices = nullptr;
    ReportDownloads *reports = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *btnSettings = nullptr;
    QPushButton *btnRecent = nullptr;
    QLabel *lblOutput = nullptr; // the output in use, always in view
    FailureBar *failureBar = nullptr;
    bool closeRequested = false; // close once the output is over
    bool restartPending = false;   // a new version waits for Postavke to close
    QPointer<QMessageBox> closingBox;
    QPointer<Updates> startupUpdates; // the start-up check's box, while it is open
};
