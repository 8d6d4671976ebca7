#pragma once

#include "updatefile.h"

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QList>
#include <QSslError>
#include <QVector>

class QNetworkAccessManager;
class QNetworkReply;

namespace Ui {
class Updates;
}

// Asks the service for a newer version at start, fetches its files, puts them
// all in place (or none) and restarts the program when the user says so.
class Updates final : public QDialog
{
    Q_OBJECT

public:
    // With `autoClose` an up-to-date answer closes the dialog by itself (the
    // start-up check); without it the dialog says so and waits.
    explicit Updates(QWidget *parent, bool autoClose = true);
    ~Updates() override;

private slots:
    void download_progress(qint64 bytesRead, qint64 totalBytes);
    void on_pushButton_clicked(); // bound by name to the form's button

private:
    // Connected to the replies explicitly, not by name.
    void on_check_for_updates_completed();
    void on_download_updates_completed();
    void on_ssl_error(const QList<QSslError> &errlist);

    void removeOldFiles();
    void checkForUpdates();
    QList<UpdateFile> parseUpdateInfo(const QString &answer);
    void downloadUpdates(const QList<UpdateFile> &files);
    void finishUpdate();
    void failUpdate(const QString &what);
    [[noreturn]] void restartApplication();

    Ui::Updates *ui;
    bool autoClose;
    bool restartOnClose = false;
    int pendingDownloads = 0;
    QNetworkReply *checkReply = nullptr;
    QNetworkAccessManager *networkManager = nullptr;

    double announcedVersion = 0; // written once every file is in place
    QList<UpdateFile> pendingFiles;
    QHash<QNetworkReply *, int> downloadIndex; // reply -> entry of pendingFiles
    QVector<QByteArray> fetched; // bodies, by entry of pendingFiles
    QString firstFailure;
};
