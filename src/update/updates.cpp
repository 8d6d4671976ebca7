#include "updates.h"
#include "ui_updates.h"

#include "serviceorigin.h"
#include "settingskeys.h"
#include "startupsettings.h"
#include "trustedcertificates.h"
#include "updateanswer.h"
#include "updateinstaller.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QSslConfiguration>
#include <QTime>

#include <cstdio>
#include <cstdlib>

namespace {

// A server that stops sending gives up after this long without a byte.
constexpr int transferTimeoutMs = 20000;

QNetworkRequest updateRequest(const QString &address)
{
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    request.setTransferTimeout(transferTimeoutMs);
    // The answer decides what code runs next: its certificate is checked,
    // against the system's authorities and the ones built into the program.
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificates(builtInCertificates());
    request.setSslConfiguration(ssl);
    return request;
}

const QString keptOldVersion = QStringLiteral(" Program je ostao na staroj verziji.");

} // namespace

Updates::Updates(QWidget *parent, bool autoClose)
    : QDialog(parent)
    , ui(new Ui::Updates)
    , autoClose(autoClose)
{
    ui->setupUi(this);
    ui->pushButton->setEnabled(false);
    ui->progressBar->hide();

    networkManager = new QNetworkAccessManager;
    restartOnClose = false;

    removeOldFiles();
    checkForUpdates();
}

Updates::~Updates()
{
    // Transfers still running are dropped without reaching this half-gone dialog.
    if (checkReply)
        checkReply->disconnect(this);
    for (QNetworkReply *reply : downloadIndex.keys())
        reply->disconnect(this);
    delete networkManager;
    delete ui;
}

void Updates::removeOldFiles()
{
    removeMovedAsideFiles(QCoreApplication::applicationDirPath());
}

void Updates::checkForUpdates()
{
    ui->progressBar->show();

    QString address;
    {
        QSettings settings(SettingsKeys::fileName, QSettings::IniFormat);
        address = settingsText(settings.value(SettingsKeys::checkForNewVersionUrl));
    }
    if (address.isEmpty())
        address = ServiceOrigin::value() + QLatin1String("/updates/checkForUpdates?os=");
    address += QLatin1Char('1'); // the platform code

    checkReply = networkManager->get(updateRequest(address));
    connect(checkReply, &QNetworkReply::finished, this, &Updates::on_check_for_updates_completed);
    connect(checkReply, &QNetworkReply::downloadProgress, this, &Updates::download_progress);
    connect(checkReply, &QNetworkReply::sslErrors, this, &Updates::on_ssl_error);
}

void Updates::download_progress(qint64 bytesRead, qint64 totalBytes)
{
    ui->progressBar->setMaximum(static_cast<int>(totalBytes));
    ui->progressBar->setValue(static_cast<int>(bytesRead));
}

void Updates::on_ssl_error(const QList<QSslError> &errlist)
{
    // Not ignored: the check fails and says why.
    for (const QSslError &error : errlist)
        qDebug().noquote() << "Provjera azuriranja, certifikat:" << error.errorString();
}

void Updates::on_check_for_updates_completed()
{
    ui->progressBar->hide();
    QNetworkReply *reply = checkReply;
    checkReply = nullptr;
    reply->deleteLater();

    if (reply->error() != QNetworkReply::NoError) {
        ui->lblStatus->setText(QStringLiteral("Dogodila se greska prilikom provjere dostupnosti azuriranja! ")
                               + reply->errorString());
        ui->pushButton->setEnabled(true);
        return;
    }

    const QList<UpdateFile> files = parseUpdateInfo(answerText(reply->readAll()));
    if (!files.isEmpty()) {
        const QString refusal = refusalReason(files);
        if (!refusal.isEmpty()) {
            qWarning().noquote() << "Azuriranje je odbijeno:" << refusal;
            ui->lblStatus->setText(QStringLiteral("Azuriranje je odbijeno: ") + refusal + QLatin1Char('.')
                                   + keptOldVersion);
            ui->pushButton->setEnabled(true);
            return;
        }
        restartOnClose = true;
        ui->lblStatus->setText(
            QStringLiteral("Dostupna je nova verzija. Dohvat nove verzije u tijeku. Molimo pricekajte!"));
        downloadUpdates(files);
        return;
    }

    if (autoClose) {
        close();
    } else {
        ui->lblStatus->setText(QStringLiteral("Nema dostupnih azuriranja. Vec koristite najnoviju verziju!"));
        ui->pushButton->setEnabled(true);
    }
}

QList<UpdateFile> Updates::parseUpdateInfo(const QString &answer)
{
    const UpdateAnswer parsed = evaluateUpdateAnswer(answer);
    if (parsed.aborted)
        qWarning("Odgovor provjere azuriranja se izvodio predugo i prekinut je");

    double local = 0;
    {
        QSettings settings(SettingsKeys::fileName, QSettings::IniFormat);
        bool ok = false;
        local = settingsText(settings.value(SettingsKeys::version)).toDouble(&ok);
        if (!ok)
            local = 0;
    }
    if (!(parsed.version > local)) // NaN is never newer
        return {};

    announcedVersion = parsed.version;
    if (parsed.files.isEmpty()) {
        // Nothing to fetch: the new version is wholly in place already.
        QSettings settings(SettingsKeys::fileName, QSettings::IniFormat);
        settings.setValue(SettingsKeys::version, announcedVersion);
    }
    return parsed.files;
}

void Updates::downloadUpdates(const QList<UpdateFile> &files)
{
    ui->progressBar->show();
    pendingFiles = files;
    fetched = QVector<QByteArray>(files.size());
    pendingDownloads = files.size();

    for (int i = 0; i < files.size(); ++i) {
        QNetworkReply *reply = networkManager->get(updateRequest(files.at(i).downloadUrl));
        reply->setProperty("FilePath", files.at(i).filePath);
        downloadIndex.insert(reply, i);
        connect(reply, &QNetworkReply::downloadProgress, this, &Updates::download_progress);
        connect(reply, &QNetworkReply::finished, this, &Updates::on_download_updates_completed);
    }
}

void Updates::on_download_updates_completed()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || !downloadIndex.contains(reply))
        return;
    const int index = downloadIndex.take(reply);
    const UpdateFile &file = pendingFiles.at(index);
    reply->deleteLater();

    const QString folder = reply->property("FilePath").toString();
    const QString name = fileNameOf(file.downloadUrl);
    qDebug().noquote() << folder;
    qDebug().noquote() << (folder.isEmpty() ? name : folder + QLatin1Char('/') + name);
    if (reply->error() != QNetworkReply::NoError) {
        if (firstFailure.isEmpty())
            firstFailure = QStringLiteral("datoteka %1 nije dohvacena (%2)").arg(name, reply->errorString());
    } else {
        fetched[index] = reply->readAll();
        if (!file.sha256.isEmpty()
            && QCryptographicHash::hash(fetched.at(index), QCryptographicHash::Sha256).toHex()
                   != file.sha256.toLower().toLatin1()
            && firstFailure.isEmpty())
            firstFailure = QStringLiteral("datoteka %1 je ostecena (SHA256 se ne podudara)").arg(name);
    }

    if (--pendingDownloads == 0)
        finishUpdate();
}

void Updates::finishUpdate()
{
    ui->progressBar->hide();
    if (!firstFailure.isEmpty()) {
        failUpdate(firstFailure);
        return;
    }

    QList<FetchedFile> files;
    for (int i = 0; i < pendingFiles.size(); ++i)
        files.append({pendingFiles.at(i).filePath, fileNameOf(pendingFiles.at(i).downloadUrl), fetched.at(i)});
    fetched.clear();

    const InstallResult installed = installFiles(QCoreApplication::applicationDirPath(), files, QTime::currentTime());
    if (!installed.ok) {
        failUpdate(QStringLiteral("datoteka %1 se ne moze postaviti (%2)").arg(installed.file, installed.problem));
        return;
    }

    // Only now, with every file in place, is this version installed.
    {
        QSettings settings(SettingsKeys::fileName, QSettings::IniFormat);
        settings.setValue(SettingsKeys::version, announcedVersion);
    }
    ui->lblStatus->setText(
        QStringLiteral("Nova verzija je uspjesno dohvacena. Aplikacija ce se zatvoriti i ponovo pokrenuti!"));
    ui->pushButton->setEnabled(true);
}

void Updates::failUpdate(const QString &what)
{
    qWarning().noquote() << "Azuriranje nije uspjelo:" << what;
    restartOnClose = false;
    ui->lblStatus->setText(QStringLiteral("Azuriranje nije uspjelo: ") + what + QLatin1Char('.') + keptOldVersion);
    ui->pushButton->setEnabled(true);
}

void Updates::on_pushButton_clicked()
{
    if (restartOnClose)
        restartApplication();
    close();
}

void Updates::restartApplication()
{
    QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList());
    std::fflush(nullptr);
    // At once, without going back to the event loop.
    std::_Exit(12);
}
