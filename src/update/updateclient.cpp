#include "updateclient.h"

#include "answerreader.h"
#include "answersignature.h"
#include "fileproblem.h"
#include "networkproblem.h"
#include "trustingnetworkmanager.h"
#include "updateinstaller.h"

#include <QDebug>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QTime>

#include <cmath>

namespace {

// No real version comes near this; one above it would pin the program.
constexpr double maxVersion = 1e6;
// An answer without files only records its version: one far above the
// program's would stop every later update, with nothing installed to show
// for it.
constexpr double largestStepWithoutFiles = 10;

bool isHttps(const QString &address)
{
    return QUrl(address, QUrl::TolerantMode).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1 << 20), 'f', bytes % (1 << 20) ? 1 : 0) + QLatin1String(" MB");
}

} // namespace

UpdateClient::UpdateClient(const ShellContext &context, QObject *parent)
    : QObject(parent)
    , context(context)
    , settings(context.settingsFile)
    // Never trusted on first use: the system's authorities and the build's.
    , networkManager(new TrustingNetworkManager(QString(), context.trustedCertificates))
{
}

UpdateClient::~UpdateClient()
{
    // Transfers still running are dropped without reaching this half-gone
    // object; what they fetched so far goes at the next start.
    if (checkReply)
        checkReply->disconnect(this);
    for (const auto &transfer : transfers) {
        if (transfer->reply)
            transfer->reply->disconnect(this);
    }
    delete answerReader;
    delete networkManager;
}

QNetworkRequest UpdateClient::request(const QString &address) const
{
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    request.setTransferTimeout(context.updateLimits.transferTimeoutMs);
    // The answer decides what code runs next: its certificate is checked,
    // against the system's authorities and the ones the build trusts (the
    // manager trusts nothing on first use).
    return request;
}

void UpdateClient::removeOldFiles()
{
    switch (recoverInterruptedInstall(context.programDir, settings.version())) {
    case Recovery::RolledBack:
        qWarning("Ažuriranje je bilo prekinuto; vraćene su stare datoteke programa.");
        break;
    case Recovery::Failed:
        qWarning("Prekinuto ažuriranje se ne može poništiti; stare datoteke (_old_) se čuvaju.");
        break;
    case Recovery::None:
    case Recovery::Completed:
        break;
    }
    removeMovedAsideFiles(context.programDir);
}

void UpdateClient::checkForUpdates()
{
    QString address = settings.checkForNewVersionUrl();
    if (address.isEmpty())
        address = context.serviceOrigin + QLatin1String("/updates/checkForUpdates?os=");
    address += context.updatePlatform;

    // The answer says which code runs next: it comes over https or not at all.
    if (!isHttps(address)) {
        QMetaObject::invokeMethod(
            this, [this, address] { refuse(QStringLiteral("adresa provjere \"%1\" nije https").arg(address)); },
            Qt::QueuedConnection);
        return;
    }

    checkReply = networkManager->get(request(address));
    connect(checkReply, &QNetworkReply::metaDataChanged, this, &UpdateClient::on_check_data);
    connect(checkReply, &QNetworkReply::downloadProgress, this, &UpdateClient::on_check_data);
    connect(checkReply, &QNetworkReply::downloadProgress, this, &UpdateClient::progress);
    connect(checkReply, &QNetworkReply::finished, this, &UpdateClient::on_check_for_updates_completed);
}

void UpdateClient::on_check_data()
{
    if (!checkReply)
        return;
    const qint64 limit = context.updateLimits.answerBytes;
    const qint64 announced = checkReply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (checkReply->bytesAvailable() > limit || announced > limit) {
        checkProblem = QStringLiteral("odgovor provjere je veći od %1").arg(megabytes(limit));
        checkReply->abort();
    }
}

void UpdateClient::on_check_for_updates_completed()
{
    QNetworkReply *reply = checkReply;
    checkReply = nullptr;
    reply->deleteLater();

    if (!checkProblem.isEmpty()) {
        refuse(checkProblem);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        // A certificate the network refused says why; one it accepted is
        // not worth a line at every start.
        const QString refused = TrustingNetworkManager::refusal(reply);
        emit checkFailed(networkProblem(reply->error(), reply->url(), context.updateLimits.transferTimeoutMs)
                             + (refused.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(refused)),
                         isUnreachable(reply->error()) && reply->error() != QNetworkReply::SslHandshakeFailedError);
        return;
    }

    // With a key, who made the answer counts, not where it came from; a
    // forged one is not even read.
    const QByteArray body = reply->readAll();
    QString signatureProblem;
    if (!context.updatePublicKey.isEmpty()
        && !answerSignatureValid(context.updatePublicKey, body, reply->rawHeader("X-Update-Signature"),
                                 &signatureProblem)) {
        qWarning().noquote() << "Potpis odgovora o ažuriranju:" << signatureProblem;
        refuse(QStringLiteral("Odgovor o ažuriranju nije ispravno potpisan"));
        return;
    }

    answerReader = new AnswerReader(context.answerReader, context.updateLimits);
    connect(answerReader, &AnswerReader::done, this, &UpdateClient::on_answer_read);
    connect(answerReader, &AnswerReader::failed, this, [this](const QString &why) {
        refuse(QStringLiteral("odgovor provjere se ne može pročitati: ") + why);
    });
    answerReader->read(body);
}

void UpdateClient::on_answer_read(const UpdateAnswer &answer)
{
    if (answer.aborted)
        qWarning("Odgovor provjere ažuriranja se izvodio predugo i prekinut je");

    if (!(answer.version > settings.version())) { // NaN is never newer
        emit upToDate();
        return;
    }
    // Written as "inf" or 1e308, nothing would ever be newer again.
    if (!std::isfinite(answer.version)) {
        refuse(QStringLiteral("najavljena verzija nije konačan broj"));
        return;
    }
    if (answer.version >= maxVersion) {
        refuse(QStringLiteral("najavljena verzija %1 nije manja od %2").arg(answer.version).arg(maxVersion, 0, 'f', 0));
        return;
    }

    if (answer.files.isEmpty() && answer.version > settings.version() + largestStepWithoutFiles) {
        refuse(QStringLiteral("najavljena verzija %1 nema datoteka, a više je od %2 iznad sadašnje %3")
                   .arg(answer.version)
                   .arg(largestStepWithoutFiles)
                   .arg(settings.version()));
        return;
    }
    announcedVersion = answer.version;
    if (answer.files.isEmpty()) {
        // Nothing to fetch: the new version is wholly in place already.
        if (!settings.writeVersion(announcedVersion))
            qWarning().noquote() << "Verzija se ne može zapisati u" << settings.path();
        emit upToDate();
        return;
    }

    QString refusal = refusalReason(answer.files);
    // The signature covers the files only through their digests.
    for (int i = 0; refusal.isEmpty() && !context.updatePublicKey.isEmpty() && i < answer.files.size(); ++i) {
        if (answer.files.at(i).sha256.isEmpty())
            refusal = QStringLiteral("datoteka %1 nema SHA256, a potpisani odgovor ga mora imati")
                          .arg(fileNameOf(answer.files.at(i).downloadUrl));
    }
    if (refusal.isEmpty())
        refusal = planningProblem(answer.files);
    if (!refusal.isEmpty()) {
        refuse(refusal);
        return;
    }
    emit downloadStarted();
    downloadUpdates(answer.files);
}

QString UpdateClient::planningProblem(const QList<UpdateFile> &files) const
{
    // The install's own checks (links out of the folder, folders in the way),
    // made before a byte is fetched.
    QList<FetchedFile> planned;
    for (const UpdateFile &file : files)
        planned.append({file.filePath, fileNameOf(file.downloadUrl), QString()});
    InstallPlan plan;
    const InstallResult result = planInstall(context.programDir, planned, announcedVersion, QTime::currentTime(), &plan);
    return result.ok ? QString() : QStringLiteral("datoteka %1 (%2)").arg(result.file, result.problem);
}

void UpdateClient::downloadUpdates(const QList<UpdateFile> &files)
{
    const QDir staging(QDir(context.programDir).filePath(InstallFiles::staging));
    if (!QDir().mkpath(staging.path())) {
        fail(QStringLiteral("mapa %1 se ne može napraviti").arg(QDir::toNativeSeparators(staging.path())));
        return;
    }
    pendingDownloads = files.size();

    for (int i = 0; i < files.size(); ++i) {
        auto transfer = std::make_unique<Transfer>();
        Transfer &t = *transfer;
        t.file = files.at(i);
        t.staged = std::make_unique<QFile>(staging.filePath(QString::number(i)));
        t.hash = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
        transfers.push_back(std::move(transfer));
        if (!t.staged->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            noteFailure(QStringLiteral("datoteka %1 se ne može zapisati (%2)")
                            .arg(QDir::toNativeSeparators(t.staged->fileName()), fileProblem(*t.staged)));
            QMetaObject::invokeMethod(this, &UpdateClient::finishUpdate, Qt::QueuedConnection);
            return;
        }

        t.reply = networkManager->get(request(t.file.downloadUrl));
        t.reply->setProperty("FilePath", t.file.filePath);
        // Bounded, so that the network waits for the disk instead of memory
        // holding the file.
        t.reply->setReadBufferSize(1 << 20);
        t.timeLimit = std::make_unique<QTimer>();
        t.timeLimit->setSingleShot(true);
        connect(t.timeLimit.get(), &QTimer::timeout, this, [this, &t] {
            stopTransfer(t, QStringLiteral("datoteka %1 nije dohvaćena u %2 s")
                                .arg(fileNameOf(t.file.downloadUrl))
                                .arg(context.updateLimits.fileTimeMs / 1000));
        });
        t.timeLimit->start(context.updateLimits.fileTimeMs);
        connect(t.reply, &QNetworkReply::downloadProgress, this, &UpdateClient::progress);
        connect(t.reply, &QNetworkReply::metaDataChanged, this, [this, &t] { on_download_data(t); });
        connect(t.reply, &QNetworkReply::readyRead, this, [this, &t] { on_download_data(t); });
        connect(t.reply, &QNetworkReply::finished, this, [this, &t] { on_download_updates_completed(t); });
    }
}

void UpdateClient::on_download_data(Transfer &transfer)
{
    if (!transfer.reply || !transfer.reply->isOpen())
        return;
    const qint64 limit = context.updateLimits.updateBytes;
    const QString name = fileNameOf(transfer.file.downloadUrl);
    const qint64 announced = transfer.reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (announced > limit) {
        stopTransfer(transfer, QStringLiteral("datoteka %1 je veća od %2").arg(name, megabytes(limit)));
        return;
    }
    const QByteArray chunk = transfer.reply->readAll();
    if (chunk.isEmpty())
        return;
    transfer.received += chunk.size();
    receivedInAll += chunk.size();
    if (transfer.received > limit) {
        stopTransfer(transfer, QStringLiteral("datoteka %1 je veća od %2").arg(name, megabytes(limit)));
        return;
    }
    if (receivedInAll > limit) {
        stopTransfer(transfer, QStringLiteral("datoteke ažuriranja su zajedno veće od %1").arg(megabytes(limit)));
        return;
    }
    transfer.hash->addData(chunk);
    if (transfer.staged->write(chunk) != chunk.size())
        stopTransfer(transfer, QStringLiteral("datoteka %1 se ne može zapisati (%2)")
                                   .arg(QDir::toNativeSeparators(transfer.staged->fileName()),
                                        fileProblem(*transfer.staged)));
}

void UpdateClient::stopTransfer(Transfer &transfer, const QString &problem)
{
    noteFailure(problem); // first: the abort below reports a failure of its own
    if (transfer.reply)
        transfer.reply->abort(); // finishes the transfer, as a failed one
}

void UpdateClient::noteFailure(const QString &problem)
{
    if (!firstFailure.isEmpty() || problem.isEmpty())
        return;
    firstFailure = problem;
    // The update cannot be installed now: the other files need not arrive.
    for (const auto &transfer : transfers) {
        if (transfer->reply)
            transfer->reply->abort();
    }
}

void UpdateClient::on_download_updates_completed(Transfer &transfer)
{
    if (!transfer.reply)
        return;
    on_download_data(transfer);
    transfer.timeLimit->stop();
    transfer.staged->close();
    QNetworkReply *reply = transfer.reply;
    transfer.reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();

    const QString folder = reply->property("FilePath").toString();
    const QString name = fileNameOf(transfer.file.downloadUrl);
    qDebug().noquote() << folder;
    qDebug().noquote() << (folder.isEmpty() ? name : folder + QLatin1Char('/') + name);
    // A redirect is not followed; its body is no program file.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        noteFailure(QStringLiteral("datoteka %1 nije dohvaćena (%2)").arg(name, networkReason(reply->error())));
    else if (status < 200 || status > 299)
        noteFailure(QStringLiteral("datoteka %1 nije dohvaćena (poslužitelj je odgovorio HTTP %2)").arg(name).arg(status));
    else if (!transfer.file.sha256.isEmpty()
             && transfer.hash->result().toHex() != transfer.file.sha256.toLower().toLatin1())
        noteFailure(QStringLiteral("datoteka %1 je oštećena (SHA256 se ne podudara)").arg(name));

    // From the event loop: the transfers, their timers and replies may then go.
    if (--pendingDownloads == 0)
        QMetaObject::invokeMethod(this, &UpdateClient::finishUpdate, Qt::QueuedConnection);
}

void UpdateClient::finishUpdate()
{
    QList<FetchedFile> files;
    for (const auto &transfer : transfers) {
        files.append({transfer->file.filePath, fileNameOf(transfer->file.downloadUrl), transfer->staged->fileName()});
        if (transfer->reply) { // still running when a file could not be stored
            transfer->reply->disconnect(this);
            transfer->reply->abort();
            transfer->reply->deleteLater();
        }
    }
    transfers.clear();

    if (!firstFailure.isEmpty()) {
        finishInstall(context.programDir); // only the fetched files go
        fail(firstFailure);
        return;
    }

    InstallPlan plan;
    InstallResult result = planInstall(context.programDir, files, announcedVersion, QTime::currentTime(), &plan);
    if (result.ok)
        result = applyInstall(context.programDir, plan);
    if (!result.ok) {
        finishInstall(context.programDir);
        fail(QStringLiteral("datoteka %1 se ne može postaviti (%2)").arg(result.file, result.problem));
        return;
    }

    // Only now, with every file in place, is this version installed; if the
    // settings file does not take it, the files go back too.
    if (!settings.writeVersion(announcedVersion)) {
        recoverInterruptedInstall(context.programDir, qQNaN());
        fail(QStringLiteral("verzija se ne može zapisati u %1").arg(QDir::toNativeSeparators(settings.path())));
        return;
    }
    finishInstall(context.programDir);
    emit installed();
}

void UpdateClient::refuse(const QString &reason)
{
    qWarning().noquote() << "Ažuriranje je odbijeno:" << reason;
    emit refused(reason);
}

void UpdateClient::fail(const QString &reason)
{
    qWarning().noquote() << "Ažuriranje nije uspjelo:" << reason;
    emit failed(reason);
}
