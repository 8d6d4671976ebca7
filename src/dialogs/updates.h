#pragma once

#include "shellcontext.h"

#include <QDialog>

#include <functional>

class UpdateClient;

namespace Ui {
class Updates;
}

// Shows the update procedure: the check at start, the transfers, and the
// restart the user confirms once a new version is in place.
class Updates final : public QDialog
{
    Q_OBJECT

public:
    // With `autoClose` an up-to-date answer closes the dialog by itself (the
    // start-up check); without it the dialog says so and waits.
    Updates(const ShellContext &context, QWidget *parent, bool autoClose = true);
    ~Updates() override;

    // The service has answered the window since: a box that only says the
    // service cannot be reached is out of date, and closes.
    void serviceAnswered();

    // Whether an invoice is being output now: the restart waits for it.
    void setOutputBusy(std::function<bool()> busy) { outputBusy = std::move(busy); }
    // Whether something the user has open would be lost by a restart now
    // (Postavke): then the dialog closes without restarting and says
    // restartDeferred; whoever holds it restarts once it is closed.
    void setRestartHeld(std::function<bool()> held) { restartHeld = std::move(held); }

    // Starts the program's own executable again and ends this process; false
    // (and this process goes on) when the new one cannot be started.
    static bool restartProgram();

signals:
    void restartDeferred();

private slots:
    void on_pushButton_clicked(); // bound by name to the form's button

private:
    void download_progress(qint64 bytesRead, qint64 totalBytes);
    void on_check_failed(const QString &error, bool unreachable);
    void on_up_to_date();
    void on_refused(const QString &reason);
    void on_download_started();
    void on_installed();
    void on_failed(const QString &reason);
    void waitForUser(const QString &text);
    void restartApplication();

    Ui::Updates *ui;
    UpdateClient *client;
    bool autoClose;
    bool restartOnClose = false;
    bool sayingServiceDown = false;
    std::function<bool()> outputBusy;
    std::function<bool()> restartHeld;
};
