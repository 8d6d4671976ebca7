#include "updates.h"
#include "ui_updates.h"

#include "updateclient.h"

#include <QCoreApplication>
#include <QDebug>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// The status texts are written here as the program has always had them; the
// Croatian translation shows them with their diacritics.
QString keptOldVersion()
{
    return QLatin1Char(' ') + Updates::tr("Program je ostao na staroj verziji.");
}

} // namespace

Updates::Updates(const ShellContext &context, QWidget *parent, bool autoClose)
    : QDialog(parent)
    , ui(new Ui::Updates)
    , client(new UpdateClient(context))
    , autoClose(autoClose)
{
    ui->setupUi(this);
    ui->pushButton->setEnabled(false);

    connect(client, &UpdateClient::checkFailed, this, &Updates::on_check_failed);
    connect(client, &UpdateClient::upToDate, this, &Updates::on_up_to_date);
    connect(client, &UpdateClient::refused, this, &Updates::on_refused);
    connect(client, &UpdateClient::downloadStarted, this, &Updates::on_download_started);
    connect(client, &UpdateClient::progress, this, &Updates::download_progress);
    connect(client, &UpdateClient::installed, this, &Updates::on_installed);
    connect(client, &UpdateClient::failed, this, &Updates::on_failed);

    client->removeOldFiles();
    ui->progressBar->show();
    client->checkForUpdates();
}

Updates::~Updates()
{
    // Transfers still running are dropped before the form goes.
    delete client;
    delete ui;
}

void Updates::download_progress(qint64 bytesRead, qint64 totalBytes)
{
    ui->progressBar->setMaximum(static_cast<int>(totalBytes));
    ui->progressBar->setValue(static_cast<int>(bytesRead));
}

void Updates::waitForUser(const QString &text)
{
    sayingServiceDown = false;
    ui->progressBar->hide();
    ui->lblStatus->setText(text);
    ui->pushButton->setEnabled(true);
}

void Updates::on_check_failed(const QString &error, bool unreachable)
{
    waitForUser(tr("Dogodila se greska prilikom provjere dostupnosti azuriranja! ") + error);
    sayingServiceDown = unreachable;
}

void Updates::serviceAnswered()
{
    if (sayingServiceDown)
        close();
}

void Updates::on_up_to_date()
{
    ui->progressBar->hide();
    if (autoClose)
        close();
    else
        waitForUser(tr("Nema dostupnih azuriranja. Vec koristite najnoviju verziju!"));
}

void Updates::on_refused(const QString &reason)
{
    waitForUser(tr("Ažuriranje je odbijeno: %1.").arg(reason) + keptOldVersion());
}

void Updates::on_download_started()
{
    restartOnClose = true;
    ui->lblStatus->setText(tr("Dostupna je nova verzija. Dohvat nove verzije u tijeku. Molimo pricekajte!"));
    ui->progressBar->show();
}

void Updates::on_installed()
{
    waitForUser(tr("Nova verzija je uspjesno dohvacena. Aplikacija ce se zatvoriti i ponovo pokrenuti!"));
}

void Updates::on_failed(const QString &reason)
{
    restartOnClose = false;
    waitForUser(tr("Ažuriranje nije uspjelo: %1.").arg(reason) + keptOldVersion());
}

void Updates::on_pushButton_clicked()
{
    if (restartOnClose) {
        restartApplication();
        return;
    }
    close();
}

void Updates::restartApplication()
{
    if (restartHeld && restartHeld()) {
        restartOnClose = false;
        emit restartDeferred();
        accept();
        return;
    }
    // Never in the middle of an invoice: the restart waits for its end.
    if (outputBusy && outputBusy()) {
        ui->pushButton->setEnabled(false);
        ui->lblStatus->setText(tr("Čeka se kraj ispisa računa, zatim se program ponovno pokreće…"));
        QTimer::singleShot(200, this, &Updates::restartApplication);
        return;
    }
    if (!restartProgram()) {
        // The old program stays up rather than leave the till with none.
        restartOnClose = false;
        waitForUser(tr("Nova verzija je instalirana, ali se ne može pokrenuti; program radi dalje. "
                       "Zatvorite ga i pokrenite ponovno ili pozovite podršku."));
    }
}

bool Updates::restartProgram()
{
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList())) {
        qWarning().noquote() << "Nova verzija programa ne može se pokrenuti:" << QCoreApplication::applicationFilePath();
        return false;
    }
    std::fflush(nullptr);
    // At once, without going back to the event loop.
    std::_Exit(12);
}
