#include "reportdownloads.h"

#include "replydownload.h"
#include "reportaddress.h"
#include "origin.h"
#include "pagedownload.h"
#include "trustingnetworkmanager.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QNetworkReply>
#include <QUrl>

// Every report and every document the view cannot show ends up under this
// one name in the working directory.
static const QLatin1String reportFileName("report.pdf");

ReportDownloads::ReportDownloads(const ShellContext &context, QObject *parent)
    : QObject(parent)
    , context(context)
{
    // A manager of its own: no cookies or login state of the page go along.
    auto *manager = new TrustingNetworkManager(context.trustedHostsFile, context.trustedCertificates, this);
    manager->setTransferTimeout(context.pageTimeoutMs); // a report that stalls ends as a page does
    network = manager;
}

void ReportDownloads::request(const QString &path)
{
    // Reports come from the service and nowhere else: whatever the page
    // passes is a path on it.
    QString problem;
    const QUrl address = reportAddress(context.serviceOrigin, path, &problem);
    if (!address.isValid()) {
        qWarning().noquote() << "Izvještaj odbijen:" << problem;
        emit message(tr("Izvještaj nije preuzet: %1").arg(problem), 15000);
        return;
    }
    qDebug().noquote() << address.toString();
    if (inFlight.contains(address.toString())) {
        emit message(tr("Taj se izvještaj već preuzima."), 5000);
        return;
    }
    emit message(tr("Preuzimanje izvještaja…"), 0);

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    save(new ReplyDownload(network->get(request), webOrigin(QUrl(context.serviceOrigin)), this));
}

void ReportDownloads::take(PageDownload *download)
{
    if (inFlight.contains(download->url().toString())) {
        download->cancel();
        emit message(tr("Taj se izvještaj već preuzima."), 5000);
        return;
    }
    qDebug().noquote() << "Preuzimanje" << download->url().toString(QUrl::RemoveUserInfo) << "sa stranice"
                       << download->origin();
    save(download);
}

void ReportDownloads::save(PageDownload *download)
{
    const QString address = download->url().toString();
    inFlight.insert(address);
    connect(download, &PageDownload::progress, this, [this](qint64 received, qint64 total) {
        emit message(total > 0 ? tr("Preuzimanje izvještaja: %1 %").arg(received * 100 / total)
                               : tr("Preuzimanje izvještaja: %1 kB").arg(received / 1024),
                     0);
    });
    connect(download, &PageDownload::saved, this, [this, address](const QString &filePath) {
        inFlight.remove(address);
        emit clearMessage();
        open(filePath);
    });
    connect(download, &PageDownload::failed, this, [this, address](const QString &problem) {
        inFlight.remove(address);
        qWarning().noquote() << "Izvještaj nije preuzet:" << address << "-" << problem;
        emit message(tr("Izvještaj nije preuzet: %1").arg(problem), 15000);
    });
    download->saveAs(reportFileName, context.reportTimeLimitMs);
}

void ReportDownloads::open(const QString &filePath)
{
    // The desktop handler wants an absolute file address; a bare relative
    // name is not resolved everywhere.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(filePath)))
        return;
    const QString where = QDir::toNativeSeparators(filePath);
    qWarning().noquote() << "Izvještaj je spremljen, ali ga nema čime otvoriti:" << where;
    emit message(tr("Izvještaj je spremljen u %1, ali nema programa koji ga može otvoriti.").arg(where), 0);
}
