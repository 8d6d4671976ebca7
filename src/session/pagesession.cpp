#include "pagesession.h"

#include "errorpage.h"
#include "networkproblem.h"
#include "origin.h"

#include <QDebug>
#include <QTime>

#include <iterator>
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
    connect(page, &ShellPage::invoiceTaken, this, &PageSession::on_invoice_taken);
    connect(page, &ShellPage::rendererGone, this, &PageSession::on_renderer_gone);
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &PageSession::retry);
}

void PageSession::start()
{
    loadingUrl = mainAddress;
    page->load(mainAddress);
}

void PageSession::on_load_started(int id, const QUrl &requested)
{
    // A page of the service (or wherever the user went), not ours.
    currentLoad = id;
    if (std::exchange(nextLoadByShell, false)) {
        loadsByShell.insert(id);
        // Only loads whose documents may still send an invoice are kept.
        for (auto it = loadsByShell.begin(); it != loadsByShell.end();)
            it = *it < id - 64 ? loadsByShell.erase(it) : std::next(it);
    }
    errorPageShown = false;
    retryTimer.stop();
    loadingUrl = requested;
    loadProblem.clear();
    emit loadStarted(loadingUrl.host());
}

void PageSession::on_load_finished(const PageLoad &load)
{
    if (load.id != currentLoad)
        return; // a load that another replaced; that one says how it went
    emit loadEnded();
    if (load.end == PageLoad::Finished) {
        if (load.fromService)
            emit serviceAnswered();
        else if (load.hasInvoiceElement) // another site's page prints nothing, whatever it leaves
            qWarning().noquote() << "Račun na stranici" << load.url.toString(QUrl::RemoveUserInfo)
                                 << "nije ispisan: stranica nije sa servisa";
        return;
    }
    if (load.end != PageLoad::Failed)
        return; // stopped, or it became a download: the page stays as it was
    if (!load.refusal.isEmpty()) {
        loadProblem = load.refusal; // already logged, with the address
    } else if (isUnreachable(load.error)) {
        // "Servis" is for the service's own pages; a dead link elsewhere is just that.
        loadProblem = isFromOrigins(load.failedUrl, origins)
                          ? networkProblem(load.error, load.failedUrl, context.pageTimeoutMs)
                          : tr("Stranica %1 nije dostupna (%2)")
                                .arg(load.failedUrl.host(), networkReason(load.error, context.pageTimeoutMs));
        qWarning().noquote() << "Stranica se ne može učitati:" << load.failedUrl.toString() << "-" << loadProblem;
    }
    if (!loadProblem.isEmpty()) {
        if (load.failedUrl.isValid())
            loadingUrl = load.failedUrl;
        // From the event loop: the view is still finishing this load.
        QMetaObject::invokeMethod(this, &PageSession::showErrorPage, Qt::QueuedConnection);
    }
}

void PageSession::on_invoice_taken(const PageInvoice &invoice)
{
    if (!isFromOrigins(invoice.url, origins))
        return;
    emit invoiceIssued(invoice, loadsByShell.contains(invoice.loadId));
}

void PageSession::on_renderer_gone(const QString &why)
{
    // Nothing is shown any more: the page comes back the way a page that
    // failed does. The one to bring back is the one that was on its way or
    // shown (on the shell's own page, the one that failed).
    if (!errorPageShown) {
        const QUrl shown = page->url();
        if (isFromOrigins(shown, origins) && loadProblem.isEmpty() && !retryTimer.isActive())
            loadingUrl = shown;
        if (!isFromOrigins(loadingUrl, origins))
            loadingUrl = mainAddress;
    }
    loadProblem = tr("Prikaz stranice je prestao raditi (%1).").arg(why);
    ++currentLoad; // whatever the dead renderer still says is of no load of ours
    emit loadEnded();
    QMetaObject::invokeMethod(this, &PageSession::showErrorPage, Qt::QueuedConnection);
}

void PageSession::showErrorPage()
{
    errorPageShown = true;
    // The shell tries again by itself only for the service: another site's
    // page that fails must not hold the till; it gets a way back instead.
    if (isFromOrigins(loadingUrl, origins)) {
        page->showHtml(errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), context.retryIntervalMs / 1000));
        retryTimer.start(context.retryIntervalMs);
    } else {
        page->showHtml(errorPageHtml(loadProblem, loadingUrl, QTime::currentTime(), 0, mainAddress));
    }
}

void PageSession::retry()
{
    loadByShell(loadingUrl);
}

void PageSession::loadByShell(const QUrl &url)
{
    // A connection that stalled would be used again and stall again: the
    // load starts afresh.
    page->startAfresh();
    nextLoadByShell = true;
    page->load(url);
}

void PageSession::reload()
{
    // On the shell's own page, the page that failed is the one to load
    // again, on a connection of its own; the cashier asked for it.
    if (errorPageShown) {
        retryTimer.stop();
        page->startAfresh();
        page->load(loadingUrl);
    } else {
        page->reload();
    }
}
