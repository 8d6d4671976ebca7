#include "reportfile.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>

ReportFile::ReportFile(QNetworkReply *reply, const QString &fileName)
    : QObject(reply)
    , reply(reply)
    , file(QFileInfo(fileName).absoluteFilePath())
{
    // Bounded, so that the network side waits for the disk instead of holding
    // a large report in memory.
    reply->setReadBufferSize(1 << 20);
    connect(reply, &QNetworkReply::readyRead, this, &ReportFile::receive);
    // A reply handed over by the page may already hold data.
    receive();
}

ReportFile *ReportFile::of(QNetworkReply *reply)
{
    return reply ? reply->findChild<ReportFile *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void ReportFile::receive()
{
    if (failedToWrite) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) {
        failedToWrite = true;
        reply->skip(reply->bytesAvailable());
        return;
    }
    const QByteArray chunk = reply->readAll();
    if (!chunk.isEmpty() && file.write(chunk) != chunk.size())
        failedToWrite = true;
}

ReportFile::Outcome ReportFile::finish()
{
    receive();

    Outcome outcome;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.toInt();
    if (status.isValid() && (code < 200 || code > 299)) {
        outcome.problem = QStringLiteral("posluzitelj je odgovorio HTTP %1").arg(code);
    } else if (reply->error() != QNetworkReply::NoError) {
        outcome.problem = reply->errorString();
    } else if (failedToWrite || !file.commit()) {
        outcome.problem = QStringLiteral("datoteka %1 se ne moze zapisati (%2)")
                              .arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
    } else {
        outcome.saved = true;
        outcome.filePath = file.fileName();
        return outcome;
    }
    // The temporary file goes with this object; the previous report stays.
    file.cancelWriting();
    return outcome;
}
