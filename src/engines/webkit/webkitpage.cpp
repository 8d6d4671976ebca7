#include "webkitpage.h"

#include "jsconnector.h"
#include "navigationguard.h"
#include "origin.h"
#include "replydownload.h"
#include "trustingnetworkmanager.h"

#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>
#include <QWebView>

#include <functional>
#include <utility>

namespace {

// The object one document sees. The script engine owns it and may drop it
// with the document; the page may even delete it: the connector it calls is
// only looked at through a guarded pointer.
class PageBridge final : public QObject
{
    Q_OBJECT

public:
    explicit PageBridge(JSConnector *connector)
        : connector(connector)
    {
    }

public slots:
    void displayString(const QString &string)
    {
        if (connector)
            connector->displayString(string);
    }
    void downloadReport(const QString &url)
    {
        if (connector)
            connector->downloadReport(url);
    }

private:
    QPointer<JSConnector> connector;
};

NavigationCause causeOf(QWebPage::NavigationType type)
{
    switch (type) {
    case QWebPage::NavigationTypeLinkClicked:
        return NavigationCause::Link;
    case QWebPage::NavigationTypeFormSubmitted:
    case QWebPage::NavigationTypeFormResubmitted:
        return NavigationCause::Form;
    case QWebPage::NavigationTypeBackOrForward:
    case QWebPage::NavigationTypeReload:
        return NavigationCause::History;
    default:
        return NavigationCause::Script; // a script, a refresh, or where the server sent it
    }
}

// A window the page opened: never shown; where it was to go is asked, and
// it goes. One that is never sent anywhere goes after a while.
class WindowCatcher final : public QWebPage
{
public:
    WindowCatcher(std::function<void(const QUrl &)> opened, QObject *parent)
        : QWebPage(parent)
        , opened(std::move(opened))
    {
        QTimer::singleShot(5000, this, &QObject::deleteLater);
    }

protected:
    bool acceptNavigationRequest(QWebFrame *, const QNetworkRequest &request, NavigationType) override
    {
        if (!std::exchange(asked, true)) {
            opened(request.url());
            deleteLater();
        }
        return false;
    }

private:
    std::function<void(const QUrl &)> opened;
    bool asked = false;
};

// The view's page, asking the page where it may go and what windows it may open.
class GuardedWebPage final : public QWebPage
{
public:
    using Decide = std::function<bool(QWebFrame *, const QNetworkRequest &, NavigationType)>;

    GuardedWebPage(Decide decide, std::function<void(const QUrl &)> windowOpened, QObject *parent)
        : QWebPage(parent)
        , decide(std::move(decide))
        , windowOpened(std::move(windowOpened))
    {
    }

protected:
    bool acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request, NavigationType type) override
    {
        return decide(frame, request, type);
    }
    QWebPage *createWindow(WebWindowType) override
    {
        // One at a time: a page opening windows in a loop gets no more.
        if (pending)
            return nullptr;
        pending = new WindowCatcher(windowOpened, this);
        return pending;
    }

private:
    Decide decide;
    std::function<void(const QUrl &)> windowOpened;
    QPointer<WindowCatcher> pending;
};

QString elementValue(QWebFrame *frame, const char *id)
{
    // Guarded, so that a page without the element (or with its own error
    // reporting) sees no script error on every load.
    return frame
        ->evaluateJavaScript(
            QStringLiteral("(function(){var e=document.getElementById('%1');return e?e.value:'';})()")
                .arg(QLatin1String(id)))
        .toString();
}

} // namespace

WebKitPage::WebKitPage(const PageSetup &setup, QWidget *parent)
    : ShellPage(parent)
    , setup(setup)
    , webView(new QWebView(parent))
    , bridge(new JSConnector(this))
    , guard(new NavigationGuard(setup.serviceOrigins, this))
{
    webView->setObjectName(QStringLiteral("webView"));
    webView->setContextMenuPolicy(Qt::NoContextMenu);
    webView->setAcceptDrops(false); // a file dropped on it would be shown
    auto *page = new GuardedWebPage(
        [this](QWebFrame *frame, const QNetworkRequest &request, QWebPage::NavigationType type) {
            return acceptNavigation(frame, request.url(), type);
        },
        [this](const QUrl &url) { openWindow(url, NavigationCause::Link); }, webView);
    webView->setPage(page);
    guard->watch(webView);
    QWebSettings *settings = page->settings();
    settings->setAttribute(QWebSettings::DeveloperExtrasEnabled, false);
    settings->setAttribute(QWebSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
    // Windows the page opens are asked for, so that where they go is decided
    // (and a refusal logged) here.
    settings->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
    connect(page, &QWebPage::featurePermissionRequested, page, [page](QWebFrame *frame, QWebPage::Feature feature) {
        page->setFeaturePermission(frame, feature, QWebPage::PermissionDeniedByUser);
    });
    page->setForwardUnsupportedContent(true);
    // The reply is the page's own request, in its session: it is the
    // download, when the service's own document asked for it.
    connect(page, &QWebPage::unsupportedContent, this, [this](QNetworkReply *reply) {
        auto *frame = qobject_cast<QWebFrame *>(reply->request().originatingObject());
        const QString requester = webOrigin(frame ? frame->url() : QUrl());
        auto *download = new ReplyDownload(reply, requester, this);
        if (guard->mayDownload(reply->url(), requester))
            emit downloadOffered(download);
        if (!download->taken())
            download->cancel();
        stoppedByShell = true;
        webView->stop();
    });
    // Certificates the system does not vouch for are refused, except on the
    // first-use host.
    network = new TrustingNetworkManager(setup.trustedHostsFile, setup.trustedCertificates, page);
    network->setFirstUseHost(setup.firstUseHost);
    // A service that takes the connection and then says nothing ends the load.
    network->setTransferTimeout(setup.pageTimeoutMs);
    page->setNetworkAccessManager(network);
    connect(network, &QNetworkAccessManager::finished, this, &WebKitPage::on_request_finished);

    connect(webView, &QWebView::loadStarted, this, &WebKitPage::on_load_started);
    connect(webView, &QWebView::loadProgress, this, &ShellPage::loadProgress);
    connect(webView, &QWebView::loadFinished, this, &WebKitPage::on_load_finished);
    // The frame clears its window object for every new document; the bridge
    // goes in again each time, before the document's scripts run.
    connect(page->mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, this, &WebKitPage::on_document_created);
    // QtWebKit says so only once the frame has run a script: one is run now,
    // so that a document without scripts of its own is seen to come as well.
    page->mainFrame()->evaluateJavaScript(QStringLiteral("0"));
}

WebKitPage::~WebKitPage()
{
    // The page aborts its requests as it goes: their signals must not reach
    // this object then.
    webView->page()->disconnect(this);
    webView->disconnect(this);
    network->disconnect(this);
    delete webView;
}

QWidget *WebKitPage::view()
{
    return webView;
}

void WebKitPage::load(const QUrl &url)
{
    // QtWebKit ends the load under way as failed (cancelled) when another
    // starts: it was replaced, and is said so here.
    endReplaced();
    // QtWebKit asks about the load before it returns.
    shellLoading = true;
    webView->load(url);
    shellLoading = false;
}

void WebKitPage::reload()
{
    endReplaced();
    webView->reload();
}

bool WebKitPage::acceptNavigation(QWebFrame *frame, const QUrl &url, QWebPage::NavigationType type)
{
    if (showingOwnPage)
        return true;
    // Frames of other sites may show (a payment form, a map); they get
    // nothing of the shell's.
    if (frame && frame != webView->page()->mainFrame())
        return true;
    const NavigationCause cause = shellLoading ? NavigationCause::Shell : causeOf(type);
    if (!frame) {
        // A link or a form for another window: there is one window.
        openWindow(url, cause == NavigationCause::Form ? cause : NavigationCause::Link);
        return false;
    }
    if (guard->decide(url, cause) == NavigationVerdict::Allow)
        return true;
    if (loadingUrl.isValid())
        refused = url; // the load under way went no further
    return false;
}

void WebKitPage::openWindow(const QUrl &url, NavigationCause cause)
{
    if (guard->decide(url, cause) == NavigationVerdict::Allow)
        webView->load(url);
}

void WebKitPage::endReplaced()
{
    if (!loadingUrl.isValid())
        return;
    PageLoad replaced;
    replaced.id = loadId;
    replaced.end = PageLoad::Replaced;
    replaced.committed = committed;
    replaced.url = webView->url();
    loadingUrl = QUrl(); // what QtWebKit still says of it is of no load of ours
    refused = QUrl();
    failure = PageLoad();
    committed = false;
    emit loadFinished(replaced);
}

void WebKitPage::showHtml(const QString &html)
{
    // Not a load of the page's: whatever was under way is over.
    endReplaced();
    showingOwnPage = true;
    webView->setHtml(html);
    showingOwnPage = false;
}

void WebKitPage::startAfresh()
{
    network->clearConnectionCache();
}

QUrl WebKitPage::url() const
{
    return webView->url();
}

QString WebKitPage::title() const
{
    return webView->title();
}

void WebKitPage::on_document_created()
{
    // The only sign QtWebKit gives that a load committed a new document: one
    // that became a download, or was stopped before its answer, never does.
    committed = true;
    attachBridge();
}

void WebKitPage::attachBridge()
{
    // Another site's page, or the shell's own, gets nothing.
    QWebFrame *frame = webView->page()->mainFrame();
    if (!isFromOrigins(frame->url(), setup.serviceOrigins))
        return;
    // The bridge goes in under a random name, is captured by the stand-in and
    // removed from the window at once, before any script of the document runs.
    const QString hidden = QStringLiteral("__velmor_%1").arg(QRandomGenerator::global()->generate64(), 16, 16,
                                                              QLatin1Char('0'));
    frame->addToJavaScriptWindowObject(hidden, new PageBridge(bridge), QWebFrame::ScriptOwnership);
    frame->evaluateJavaScript(
        QStringLiteral("(function () { var bridge = window['%1']; delete window['%1']; %2 })();")
            .arg(hidden, JSConnector::standInScript(
                             QStringLiteral("function (name, value) { bridge[name](value); }"))));
}

void WebKitPage::on_load_started()
{
    if (showingOwnPage) {
        ownPageLoading = true;
        return;
    }
    ownPageLoading = false;
    // A load that replaces one under way (a link followed meanwhile):
    // QtWebKit says nothing more of the old one.
    endReplaced();
    loadingUrl = webView->page()->mainFrame()->requestedUrl();
    failure = PageLoad();
    committed = false;
    stoppedByShell = false;
    refused = QUrl();
    emit loadStarted(++loadId, loadingUrl);
}

void WebKitPage::on_request_finished(QNetworkReply *reply)
{
    // Only the page itself (where it was sent, or redirected to): a missing
    // image does not make the page fail.
    const bool thePage =
        reply->url() == loadingUrl || reply->url() == webView->page()->mainFrame()->requestedUrl();
    if (!thePage)
        return;
    const QString refused = TrustingNetworkManager::refusal(reply);
    if (!refused.isEmpty() || reply->error() != QNetworkReply::NoError) {
        failure.failedUrl = reply->url();
        failure.error = reply->error();
        failure.refusal = refused;
    }
}

void WebKitPage::on_load_finished(bool ok)
{
    if (std::exchange(ownPageLoading, false))
        return;
    if (!loadingUrl.isValid())
        return; // the shell's own page, or a load already said to be over
    PageLoad load = failure;
    failure = PageLoad();
    const QUrl requested = std::exchange(loadingUrl, QUrl());
    const QUrl refusedUrl = std::exchange(refused, QUrl());
    load.id = loadId;
    load.committed = committed;
    if (!ok && !committed && refusedUrl.isValid() && !isFromOrigins(webView->url(), setup.serviceOrigins)) {
        // Sent elsewhere before anything of the service showed: there is
        // nothing to stay on.
        load.end = PageLoad::Failed;
        load.failedUrl = requested;
        load.error = QNetworkReply::OperationCanceledError;
        load.refusal = navigationRefusal(refusedUrl);
    } else if (ok) {
        load.end = PageLoad::Finished;
        load.error = QNetworkReply::NoError;
        load.refusal.clear();
    } else if (stoppedByShell || (load.error == QNetworkReply::NoError && load.refusal.isEmpty())) {
        load.end = PageLoad::Stopped; // it became a download, or nothing said why
        load.error = QNetworkReply::NoError;
    } else {
        // A transfer that stalled is cancelled by the network access: a failure.
        load.end = PageLoad::Failed;
    }
    QWebFrame *frame = webView->page()->mainFrame();
    load.url = frame->url();
    load.fromService = isFromOrigins(load.url, setup.serviceOrigins);
    // QtWebKit says a load finished once the document's load handlers have
    // run, before any timer they started: the moment an invoice is taken.
    // A load that brought no document of its own takes nothing: the page
    // shown is the one whose invoice was taken already.
    if (committed && load.fromService) {
        PageInvoice invoice;
        invoice.loadId = loadId;
        invoice.url = load.url;
        // Read, then marked, with no script of the page in between.
        invoice.portInvoice = elementValue(frame, "PrintInvoiceData");
        invoice.htmlInvoice = elementValue(frame, "PrintInvoiceDataHTML");
        QWebElement marker = frame->findFirstElement(QStringLiteral("#IsShell"));
        if (!marker.isNull())
            marker.setAttribute(QStringLiteral("value"), QStringLiteral("true"));
        emit invoiceTaken(invoice);
    } else if (committed) {
        load.hasInvoiceElement =
            !frame->findFirstElement(QStringLiteral("#PrintInvoiceData, #PrintInvoiceDataHTML")).isNull();
    }
    committed = false;
    emit loadFinished(load);
}

#include "webkitpage.moc"
