#pragma once

#include "pagedownload.h"

#include <QPointer>

class QNetworkReply;

// A download that is a network reply of the page's own network access (so in
// its session), saved as it arrives by ReportFile.
class ReplyDownload final : public PageDownload
{
    Q_OBJECT

public:
    // Takes over `reply`.
    ReplyDownload(QNetworkReply *reply, const QString &origin, QObject *parent = nullptr);
    ~ReplyDownload() override;

    QUrl url() const override { return address; }
    QString origin() const override { return from; }
    void saveAs(const QString &filePath, int timeLimitMs) override;
    void cancel() override;

private:
    QPointer<QNetworkReply> reply; // until ReportFile has it
    QUrl address;
    QString from;
};
