#include "replydownload.h"

#include "reportfile.h"

#include <QNetworkReply>

#include <utility>

ReplyDownload::ReplyDownload(QNetworkReply *reply, const QString &origin, QObject *parent)
    : PageDownload(parent)
    , reply(reply)
    , address(reply->url())
    , from(origin)
{
}

ReplyDownload::~ReplyDownload()
{
    // Neither saved nor cancelled: nobody wants it.
    if (reply && !isTaken) {
        reply->abort();
        reply->deleteLater();
    }
}

void ReplyDownload::saveAs(const QString &filePath, int timeLimitMs)
{
    if (std::exchange(isTaken, true) || !reply)
        return;
    auto *file = new ReportFile(reply, filePath, timeLimitMs); // the reply's from here on
    reply = nullptr;
    connect(file, &ReportFile::progress, this, &PageDownload::progress);
    connect(file, &ReportFile::saved, this, [this](const QString &path) {
        emit saved(path);
        deleteLater();
    });
    connect(file, &ReportFile::failed, this, [this](const QString &problem) {
        emit failed(problem);
        deleteLater();
    });
}

void ReplyDownload::cancel()
{
    if (std::exchange(isTaken, true))
        return;
    if (reply) {
        reply->abort();
        reply->deleteLater();
    }
    deleteLater();
}
