#include "reportfile.h"

#include "fileproblem.h"
#include "networkproblem.h"
#include "trustingnetworkmanager.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QTimer>

namespace {

QString throughLinkProblem(const QString &fileName)
{
    return QStringLiteral("%1 je poveznica na drugo mjesto, pa izvještaj nije spremljen")
        .arg(QDir::toNativeSeparators(fileName));
}

QString writeProblem(const QFileDevice &file)
{
    return QStringLiteral("datoteka %1 se ne može zapisati (%2)")
        .arg(QDir::toNativeSeparators(file.fileName()), fileProblem(file));
}

} // namespace

QString reportTooLate(int timeLimitMs)
{
    return QStringLiteral("izvještaj nije stigao u %1 s").arg(timeLimitMs / 1000);
}

QString placeReport(const QString &downloaded, const QString &fileName)
{
    QSaveFile file(QFileInfo(fileName).absoluteFilePath());
    if (QFileInfo(file.fileName()).isSymLink())
        return throughLinkProblem(file.fileName());
    QFile from(downloaded);
    if (!from.open(QIODevice::ReadOnly))
        return QStringLiteral("preuzeta datoteka %1 se ne može pročitati (%2)")
            .arg(QDir::toNativeSeparators(downloaded), fileProblem(from));
    if (!file.open(QIODevice::WriteOnly))
        return writeProblem(file);
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(1 << 20);
        if (chunk.isEmpty() || file.write(chunk) != chunk.size()) {
            file.cancelWriting();
            break;
        }
    }
    if (!file.commit())
        return writeProblem(file);
    return QString();
}

ReportFile::ReportFile(QNetworkReply *reply, const QString &fileName, int timeLimitMs)
    : QObject(reply)
    , reply(reply)
    , file(QFileInfo(fileName).absoluteFilePath())
    , timeLimitMs(timeLimitMs)
{
    // However slowly it trickles in, a report does not hold its place for the
    // rest of the session.
    if (timeLimitMs > 0 && !reply->isFinished())
        QTimer::singleShot(timeLimitMs, this, [this] {
            if (finished || this->reply->isFinished())
                return;
            outOfTime = true;
            this->reply->abort();
        });
    // Bounded, so that the network side waits for the disk instead of holding
    // a large report in memory.
    reply->setReadBufferSize(1 << 20);
    connect(reply, &QNetworkReply::readyRead, this, &ReportFile::receive);
    connect(reply, &QNetworkReply::downloadProgress, this, &ReportFile::progress);
    // A reply handed over by the page may already hold data, or be over; the
    // outcome still comes from the event loop, once the caller has connected.
    receive();
    if (reply->isFinished())
        QMetaObject::invokeMethod(this, &ReportFile::finish, Qt::QueuedConnection);
    else
        connect(reply, &QNetworkReply::finished, this, &ReportFile::finish);
}

void ReportFile::receive()
{
    if (failedToWrite) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    // A link would have the report written wherever it points (the save
    // follows it): refused, and said so.
    if (!file.isOpen() && QFileInfo(file.fileName()).isSymLink())
        throughLink = true;
    if (throughLink || (!file.isOpen() && !file.open(QIODevice::WriteOnly))) {
        failedToWrite = true;
        reply->skip(reply->bytesAvailable());
        return;
    }
    const QByteArray chunk = reply->readAll();
    if (!chunk.isEmpty() && file.write(chunk) != chunk.size())
        failedToWrite = true;
}

QString ReportFile::problem()
{
    if (outOfTime)
        return reportTooLate(timeLimitMs);
    if (throughLink)
        return throughLinkProblem(file.fileName());
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.toInt();
    if (status.isValid() && (code < 200 || code > 299))
        return QStringLiteral("poslužitelj je odgovorio HTTP %1").arg(code);
    const QString refused = TrustingNetworkManager::refusal(reply);
    if (!refused.isEmpty())
        return refused;
    if (reply->error() != QNetworkReply::NoError)
        return networkProblem(reply->error(), reply->url());
    if (failedToWrite || !file.commit())
        return writeProblem(file);
    return QString();
}

void ReportFile::finish()
{
    if (finished)
        return;
    finished = true;
    receive();

    const QString why = problem();
    if (why.isEmpty()) {
        emit saved(file.fileName());
    } else {
        // The temporary file goes; the previous report stays.
        file.cancelWriting();
        emit failed(why);
    }
    // This object is the reply's child and goes with it.
    reply->deleteLater();
}
