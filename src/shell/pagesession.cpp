#include "pagesession.h"

#include "errorpage.h"
#include "jsconnector.h"
#include "networkproblem.h"

#include <QDebug>
#include <QTime>

#include <utility>

PageSession::PageSession(ShellPage *page, const ShellContext &context, const QList<QUrl> &origins,
                         const QUrl &mainAddress, QObject *parent)
    : QObject(parent)
    , page(page)
    , context(context)
    , origins(origins)
    , mainAddress(mainAddress)
{
    connect(page, &ShellPage::loadStarted, this, &PageSession::on_load_started);
    connect(page, &ShellPage::loadProgress, this, &PageSession::loadProgress);
    connect(page, &ShellPage::loadFinished, this, &PageSession::on_load_finished);
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &PageSession::retry);
}

void PageSession::start()
{
    page->load(mainAddress);
}

void PageSession::on_load_started(const QUrl &requested)
{
    if (errorPageLoading)
        return;
    // A page of the service (or wherever the user went), not ours.
    errorPageShown = false;
    retryTimer.stop();
    loadingUrl = requested;
    loadProblem.clear();
    emit loadStarted(loadingUrl.host());
}

void PageSession::on_load_finished(const PageLoad &load)
{
    emit loadEnded();
    if (errorPageLoading) {
        errorPageLoading = false; // the shell's own page: no invoice, no mark
        return;
    }
    const bool startedByShell = std::exchange(loadStartedByShell, false);
    if (!load.refusal.isEmpty()) {
        loadProblem = load.refusal; // already logged, with the address
    } else if (load.error != QNetworkReply::NoError && isUnreachable(load.error)) {
        // "Servis" is for the service's own pages; a dead link elsewhere is just that.
        loadProblem = JSConnector::isFromOrigins(load.failedUrl, origins)
                          ? networkProblem(load.error, load.failedUrl, context.pageTimeoutMs)
                          : tr("Stranica %1 nije dostupna (%2)")
                                .arg(load.failedUrl.host(), networkReason(load.error, context.pageTimeoutMs));
        qWarning().noquote() << "Stranica se ne može učitati:" << load.failedUrl.toString() << "-" << loadProblem;
    }
    if (!load.ok && !loadProblem.isEmpty()) {
        // From the event loop: the view is still finishing this load.
        QMetaObject::invokeMethod(this, &PageSession::showErrorPage, Qt::QueuedConnection);
        return;
    }
    if (!load.fromService) {
        // Another site's page prints nothing, whatever it leaves.
        if (load.hasInvoiceElement)
            qWarning().noquote() << "Račun na stranici" << load.url.toString(QUrl::RemoveUserInfo)
                                 << "nije ispisan: stranica nije sa servisa";
        return;
    }
    emit servicePageLoaded(load, startedByShell);
}

void PageSession::showErrorPage()
{
    errorPageShown = true;
    errorPageLoading = true;
    // The shell tries again by itself only for the service: another site's
    // page that fails must not hold the till; it gets a way back instead.
    if (JSConnector::isFromOrigins(loadingUrl, origins)) {
        page->showHtml(errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), context.retryIntervalMs / 1000));
        retryTimer.start(context.retryIntervalMs);
    } else {
        page->showHtml(errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), 0, mainAddress));
    }
}

void PageSession::retry()
{
    // A connection that stalled would be used again and stall again: the
    // retry starts afresh.
    page->startAfresh();
    loadStartedByShell = true;
    page->load(loadingUrl);
}

void PageSession::reload()
{
    // On the shell's own page, the page that failed is the one to load
    // again, on a connection of its own.
    if (errorPageShown) {
        page->startAfresh();
        page->load(loadingUrl);
    } else {
        page->reload();
    }
}
