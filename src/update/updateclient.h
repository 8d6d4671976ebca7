#pragma once

#include "settingsfile.h"
#include "shellcontext.h"
#include "updateanswer.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>

#include <memory>
#include <vector>

class AnswerReader;
class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// The update procedure without its dialog: asks the service for a newer
// version, fetches every file it lists to disk, and puts them all in place
// below the program's folder, or none of them. Each outcome is a signal;
// exactly one of checkFailed, upToDate, refused, installed and failed ends a
// check.
class UpdateClient final : public QObject
{
    Q_OBJECT

public:
    explicit UpdateClient(const ShellContext &context, QObject *parent = nullptr);
    ~UpdateClient() override;

    // Finishes or undoes an install a crash interrupted, then deletes the
    // files an earlier update moved aside.
    void removeOldFiles();
    // Sends the check; its outcome arrives as a signal.
    void checkForUpdates();

signals:
    // the check request itself failed; `unreachable`: the service could not be reached at all
    void checkFailed(const QString &error, bool unreachable);
    void upToDate();
    void refused(const QString &reason); // the answer is unsafe or over a limit; nothing fetched
    void downloadStarted();
    void progress(qint64 bytesRead, qint64 totalBytes);
    void installed(); // every file is in place and the new version written
    void failed(const QString &reason); // the program is wholly as it was

private:
    // One file being fetched to the staging folder.
    struct Transfer
    {
        UpdateFile file;
        QNetworkReply *reply = nullptr;
        std::unique_ptr<QFile> staged;
        std::unique_ptr<QCryptographicHash> hash;
        std::unique_ptr<QTimer> timeLimit;
        qint64 received = 0; // the reply goes (null) once the transfer is over
    };

    void on_check_data();
    void on_check_for_updates_completed();
    void on_answer_read(const UpdateAnswer &answer);
    void on_download_data(Transfer &transfer);
    void on_download_updates_completed(Transfer &transfer);

    QNetworkRequest request(const QString &address) const;
    QString planningProblem(const QList<UpdateFile> &files) const;
    void downloadUpdates(const QList<UpdateFile> &files);
    void stopTransfer(Transfer &transfer, const QString &problem);
    void noteFailure(const QString &problem);
    void finishUpdate();
    void refuse(const QString &reason);
    void fail(const QString &reason);

    ShellContext context;
    SettingsFile settings;
    QNetworkAccessManager *networkManager = nullptr;
    QNetworkReply *checkReply = nullptr;
    QString checkProblem; // why the check reply was cut off
    AnswerReader *answerReader = nullptr;

    double announcedVersion = 0; // written once every file is in place
    int pendingDownloads = 0;
    qint64 receivedInAll = 0;
    std::vector<std::unique_ptr<Transfer>> transfers;
    QString firstFailure;
};
