#pragma once

#include "settingsfile.h"
#include "shellcontext.h"
#include "updatefile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QVector>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// The update procedure without its dialog: asks the service for a newer
// version, fetches every file it lists, and puts them all in place below the
// program's folder, or none of them. Each outcome is a signal; exactly one of
// checkFailed, upToDate, refused, installed and failed ends a check.
class UpdateClient final : public QObject
{
    Q_OBJECT

public:
    explicit UpdateClient(const ShellContext &context, QObject *parent = nullptr);
    ~UpdateClient() override;

    // Deletes the files an earlier update moved aside.
    void removeOldFiles();
    // Sends the check; its outcome arrives as a signal.
    void checkForUpdates();

signals:
    void checkFailed(const QString &error); // the check request itself failed
    void upToDate();
    void refused(const QString &reason); // the answer asks for something unsafe; nothing fetched
    void downloadStarted();
    void progress(qint64 bytesRead, qint64 totalBytes);
    void installed(); // every file is in place and the new version written
    void failed(const QString &reason); // the program is wholly as it was

private:
    void on_check_for_updates_completed();
    void on_download_updates_completed();
    void on_ssl_error(const QList<QSslError> &errlist);

    QNetworkRequest request(const QString &address) const;
    QList<UpdateFile> parseUpdateInfo(const QString &answer);
    void downloadUpdates(const QList<UpdateFile> &files);
    void finishUpdate();
    void fail(const QString &reason);

    ShellContext context;
    SettingsFile settings;
    QList<QSslCertificate> trusted;
    QNetworkAccessManager *networkManager = nullptr;
    QNetworkReply *checkReply = nullptr;

    double announcedVersion = 0; // written once every file is in place
    int pendingDownloads = 0;
    QList<UpdateFile> pendingFiles;
    QHash<QNetworkReply *, int> downloadIndex; // reply -> entry of pendingFiles
    QVector<QByteArray> fetched;               // bodies, by entry of pendingFiles
    QString firstFailure;
};
