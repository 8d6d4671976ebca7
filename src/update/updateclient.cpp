#include "updateclient.h"

#include "updateanswer.h"
#include "updateinstaller.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QTime>

UpdateClient::UpdateClient(const ShellContext &context, QObject *parent)
    : QObject(parent)
    , context(context)
    , settings(context.settingsFile)
    , trusted(QSslCertificate::fromData(context.trustedCertificates, QSsl::Pem))
    , networkManager(new QNetworkAccessManager)
{
}

UpdateClient::~UpdateClient()
{
    // Transfers still running are dropped without reaching this half-gone object.
    if (checkReply)
        checkReply->disconnect(this);
    for (QNetworkReply *reply : downloadIndex.keys())
        reply->disconnect(this);
    delete networkManager;
}

QNetworkRequest UpdateClient::request(const QString &address) const
{
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    request.setTransferTimeout(context.transferTimeoutMs);
    // The answer decides what code runs next: its certificate is checked,
    // against the system's authorities and the ones the build trusts.
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificates(trusted);
    request.setSslConfiguration(ssl);
    return request;
}

void UpdateClient::removeOldFiles()
{
    removeMovedAsideFiles(context.programDir);
}

void UpdateClient::checkForUpdates()
{
    QString address = settings.checkForNewVersionUrl();
    if (address.isEmpty())
        address = context.serviceOrigin + QLatin1String("/updates/checkForUpdates?os=");
    address += QLatin1Char('1'); // the platform code

    checkReply = networkManager->get(request(address));
    connect(checkReply, &QNetworkReply::finished, this, &UpdateClient::on_check_for_updates_completed);
    connect(checkReply, &QNetworkReply::downloadProgress, this, &UpdateClient::progress);
    connect(checkReply, &QNetworkReply::sslErrors, this, &UpdateClient::on_ssl_error);
}

void UpdateClient::on_ssl_error(const QList<QSslError> &errlist)
{
    // Not ignored: the check fails and says why.
    for (const QSslError &error : errlist)
        qDebug().noquote() << "Provjera azuriranja, certifikat:" << error.errorString();
}

void UpdateClient::on_check_for_updates_completed()
{
    QNetworkReply *reply = checkReply;
    checkReply = nullptr;
    reply->deleteLater();

    if (reply->error() != QNetworkReply::NoError) {
        emit checkFailed(reply->errorString());
        return;
    }

    const QList<UpdateFile> files = parseUpdateInfo(answerText(reply->readAll()));
    if (files.isEmpty()) {
        emit upToDate();
        return;
    }
    const QString refusal = refusalReason(files);
    if (!refusal.isEmpty()) {
        qWarning().noquote() << "Azuriranje je odbijeno:" << refusal;
        emit refused(refusal);
        return;
    }
    emit downloadStarted();
    downloadUpdates(files);
}

QList<UpdateFile> UpdateClient::parseUpdateInfo(const QString &answer)
{
    const UpdateAnswer parsed = evaluateUpdateAnswer(answer);
    if (parsed.aborted)
        qWarning("Odgovor provjere azuriranja se izvodio predugo i prekinut je");

    if (!(parsed.version > settings.version())) // NaN is never newer
        return {};

    announcedVersion = parsed.version;
    if (parsed.files.isEmpty()) {
        // Nothing to fetch: the new version is wholly in place already.
        settings.writeVersion(announcedVersion);
    }
    return parsed.files;
}

void UpdateClient::downloadUpdates(const QList<UpdateFile> &files)
{
    pendingFiles = files;
    fetched = QVector<QByteArray>(files.size());
    pendingDownloads = files.size();

    for (int i = 0; i < files.size(); ++i) {
        QNetworkReply *reply = networkManager->get(request(files.at(i).downloadUrl));
        reply->setProperty("FilePath", files.at(i).filePath);
        downloadIndex.insert(reply, i);
        connect(reply, &QNetworkReply::downloadProgress, this, &UpdateClient::progress);
        connect(reply, &QNetworkReply::finished, this, &UpdateClient::on_download_updates_completed);
    }
}

void UpdateClient::on_download_updates_completed()
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

void UpdateClient::finishUpdate()
{
    if (!firstFailure.isEmpty()) {
        fail(firstFailure);
        return;
    }

    QList<FetchedFile> files;
    for (int i = 0; i < pendingFiles.size(); ++i)
        files.append({pendingFiles.at(i).filePath, fileNameOf(pendingFiles.at(i).downloadUrl), fetched.at(i)});
    fetched.clear();

    const InstallResult result = installFiles(context.programDir, files, QTime::currentTime());
    if (!result.ok) {
        fail(QStringLiteral("datoteka %1 se ne moze postaviti (%2)").arg(result.file, result.problem));
        return;
    }

    // Only now, with every file in place, is this version installed.
    settings.writeVersion(announcedVersion);
    emit installed();
}

void UpdateClient::fail(const QString &reason)
{
    qWarning().noquote() << "Azuriranje nije uspjelo:" << reason;
    emit failed(reason);
}
