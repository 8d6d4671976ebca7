#include "enginedownload.h"

#include "networkproblem.h"
#include "reportfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QRandomGenerator>
#include <QWebEngineDownloadRequest>

#include <utility>

namespace {

// Why the engine gave a download up, in the words the other reports use.
QString interruption(QWebEngineDownloadRequest::DownloadInterruptReason reason, const QUrl &url, const QString &target)
{
    using Reason = QWebEngineDownloadRequest::DownloadInterruptReason;
    switch (reason) {
    case Reason::NetworkTimeout:
        return networkProblem(QNetworkReply::TimeoutError, url);
    case Reason::NetworkDisconnected:
    case Reason::NetworkFailed:
        return networkProblem(QNetworkReply::RemoteHostClosedError, url);
    case Reason::NetworkServerDown:
    case Reason::ServerUnreachable:
        return networkProblem(QNetworkReply::ConnectionRefusedError, url);
    case Reason::ServerCertProblem:
        return networkProblem(QNetworkReply::SslHandshakeFailedError, url);
    case Reason::FileFailed:
    case Reason::FileAccessDenied:
    case Reason::FileNoSpace:
    case Reason::FileNameTooLong:
    case Reason::FileTooLarge:
    case Reason::FileTransientError:
        return QCoreApplication::translate("EngineDownload", "datoteka %1 se ne može zapisati")
            .arg(QDir::toNativeSeparators(target));
    case Reason::ServerUnauthorized:
    case Reason::ServerForbidden:
        return QCoreApplication::translate("EngineDownload", "poslužitelj nije dopustio preuzimanje");
    case Reason::ServerBadContent:
    case Reason::ServerFailed:
        return QCoreApplication::translate("EngineDownload", "poslužitelj nije poslao izvještaj");
    default:
        return QCoreApplication::translate("EngineDownload", "preuzimanje nije uspjelo");
    }
}

} // namespace

EngineDownload::EngineDownload(QWebEngineDownloadRequest *request, const QString &origin, QObject *parent)
    : PageDownload(parent)
    , request(request)
    , address(request->url())
    , from(origin)
{
    timeLimit.setSingleShot(true);
    connect(&timeLimit, &QTimer::timeout, this, [this] {
        outOfTime = true;
        if (this->request)
            this->request->cancel();
    });
}

void EngineDownload::saveAs(const QString &filePath, int timeLimitMs)
{
    if (std::exchange(isTaken, true) || !request)
        return;
    target = QFileInfo(filePath).absoluteFilePath();
    // Beside the target under a name of its own, so that nothing half-written
    // is ever under the target's name; the engine removes it if it fails.
    const QFileInfo where(target);
    part = where.absoluteDir().filePath(QStringLiteral(".%1-%2.part")
                                            .arg(where.fileName())
                                            .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
    request->setDownloadDirectory(where.absolutePath());
    request->setDownloadFileName(QFileInfo(part).fileName());
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this,
            [this] { emit progress(request->receivedBytes(), request->totalBytes()); });
    connect(request, &QWebEngineDownloadRequest::stateChanged, this, &EngineDownload::on_state_changed);
    if (timeLimitMs > 0)
        timeLimit.start(timeLimitMs);
    request->accept();
}

void EngineDownload::cancel()
{
    if (std::exchange(isTaken, true))
        return;
    ended = true;
    if (request)
        request->cancel();
    deleteLater();
}

void EngineDownload::on_state_changed()
{
    if (!request || ended)
        return;
    switch (request->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        part = QDir(request->downloadDirectory()).filePath(request->downloadFileName()); // as the engine named it
        end(placeReport(part, target));
        QFile::remove(part);
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        end(!interrupted.isEmpty() ? interrupted
            : outOfTime            ? reportTooLate(timeLimit.interval())
                                   : tr("preuzimanje je prekinuto"));
        break;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        // Given up for good: the engine would keep its part to resume.
        interrupted = interruption(request->interruptReason(), address, target);
        request->cancel();
        break;
    default:
        break;
    }
}

void EngineDownload::end(const QString &problem)
{
    if (std::exchange(ended, true))
        return;
    timeLimit.stop();
    if (problem.isEmpty())
        emit saved(target);
    else
        emit failed(problem);
    deleteLater();
}
