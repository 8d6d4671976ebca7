#pragma once

#include "pagedownload.h"

#include <QPointer>
#include <QTimer>

class QWebEngineDownloadRequest;

// QtWebEngine's own download, in the page's profile: the engine writes it
// beside the target under a name of its own, and it is put in place from
// there once it is whole.
class EngineDownload final : public PageDownload
{
    Q_OBJECT

public:
    EngineDownload(QWebEngineDownloadRequest *request, const QString &origin, QObject *parent = nullptr);

    QUrl url() const override { return address; }
    QString origin() const override { return from; }
    void saveAs(const QString &filePath, int timeLimitMs) override;
    void cancel() override;

private:
    void on_state_changed();
    void end(const QString &problem);

    QPointer<QWebEngineDownloadRequest> request; // the profile's
    QUrl address;
    QString from;
    QString target;
    QString part; // the engine's file, until it is whole
    QTimer timeLimit;
    QString interrupted; // why the engine gave it up
    bool outOfTime = false;
    bool ended = false;
};
