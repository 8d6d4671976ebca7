#include "webenginepage.h"

#include "certificateanswer.h"
#include "enginedownload.h"
#include "jsconnector.h"
#include "navigationguard.h"
#include "origin.h"
#include "renderprocess.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QWebChannel>
#include <QWebEngineCertificateError>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <functional>
#include <utility>

namespace {

NavigationCause causeOf(QWebEnginePage::NavigationType type)
{
    switch (type) {
    case QWebEnginePage::NavigationTypeLinkClicked:
        return NavigationCause::Link;
    case QWebEnginePage::NavigationTypeTyped:
        return NavigationCause::Shell; // only the shell loads that way
    case QWebEnginePage::NavigationTypeFormSubmitted:
        return NavigationCause::Form;
    case QWebEnginePage::NavigationTypeBackForward:
    case QWebEnginePage::NavigationTypeReload:
        return NavigationCause::History;
    case QWebEnginePage::NavigationTypeRedirect:
        return NavigationCause::Redirect;
    default:
        return NavigationCause::Script;
    }
}

// The page, asking its owner where it may go.
class GuardedEnginePage final : public QWebEnginePage
{
public:
    using Decide = std::function<bool(const QUrl &, NavigationType, bool)>;

    GuardedEnginePage(QWebEngineProfile *profile, Decide decide, QObject *parent)
        : QWebEnginePage(profile, parent)
        , decide(std::move(decide))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        return decide(url, type, isMainFrame);
    }

private:
    Decide decide;
};

// What the channel shows the script of our own world: the two calls, for a
// page of the service only.
class ChannelBridge final : public QObject
{
    Q_OBJECT

public:
    ChannelBridge(JSConnector *connector, QWebEnginePage *page, const QList<QUrl> &origins)
        : connector(connector)
        , page(page)
        , origins(origins)
    {
    }

signals:
    // From our own world, which the page cannot reach: a document's invoice
    // as it was taken. `document` tells one document from the next.
    void taken(const QString &document, const QUrl &url, const QString &port, const QString &html);

public slots:
    void displayString(const QString &string)
    {
        if (isFromOrigins(page->url(), origins))
            connector->displayString(string);
    }
    void downloadReport(const QString &url)
    {
        if (isFromOrigins(page->url(), origins))
            connector->downloadReport(url);
    }
    // The address is the document's own: the page shown may have moved on
    // by the time this arrives.
    void invoiceTaken(const QString &document, const QString &href, const QString &port, const QString &html)
    {
        const QUrl url(href);
        if (isFromOrigins(url, origins))
            emit taken(document, url, port, html);
    }

private:
    JSConnector *connector;
    QWebEnginePage *page;
    QList<QUrl> origins;
};

// The origins as the page's `location.origin` writes them.
QString originList(const QList<QUrl> &origins)
{
    QJsonArray list;
    for (const QUrl &origin : origins) {
        const QString text = webOrigin(origin);
        if (!text.isEmpty())
            list.append(text);
    }
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

QWebEngineScript documentScript(const QString &name, const QString &source, quint32 world)
{
    QWebEngineScript script;
    script.setName(name);
    script.setSourceCode(source);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(world);
    script.setRunsOnSubFrames(false);
    return script;
}

// The page's stand-in: at the document's creation, before its own scripts,
// with what it calls captured then, so that nothing the page changes later
// reaches it. A call is an event our own world hears at once.
QString standInScript(const QString &origins, const QString &event)
{
    return QStringLiteral("(function () {"
                          "  if (%1.indexOf(window.location.origin) < 0) return;"
                          "  var dispatch = EventTarget.prototype.dispatchEvent, Custom = CustomEvent, target = window;"
                          "  %3"
                          "})();")
        .arg(origins,
             JSConnector::standInScript(QStringLiteral("function (name, value) {"
                                                       "  dispatch.call(target, new Custom('%1', {"
                                                       "    detail: { name: name, value: value } }));"
                                                       "}")
                                            .arg(event)));
}

// In our own world only, which the page cannot reach: takes the invoice of a
// document whose load ended without its load event (stopped, or failed
// after the document came).
const char takeNowName[] = "velmorTakeInvoice";

// Our own world: the page's calls queued until the channel is up, then
// handed on in order; and the invoice taken once the document's load
// handlers have run (a timer set before theirs runs before any of theirs),
// in the same step that marks the page, and sent at once: the page may go
// on to the next one straight away.
QString ownWorldScript(const QString &origins, const QString &event)
{
    QFile channelLibrary(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    channelLibrary.open(QIODevice::ReadOnly);
    return QString::fromUtf8(channelLibrary.readAll())
         + QStringLiteral(
               "(function () {"
               "  if (%1.indexOf(window.location.origin) < 0) return;"
               "  var queue = [], bridge = null;"
               "  var deliver = function (call) {"
               "    if (call.name === 'invoice') bridge.invoiceTaken(call.document, call.href, call.port, call.html);"
               "    else if (call.name === 'downloadReport') bridge.downloadReport(call.value);"
               "    else bridge.displayString(call.value);"
               "  };"
               "  var send = function (call) { if (bridge) deliver(call); else queue.push(call); };"
               "  window.addEventListener('%2', function (event) {"
               "    var detail = event.detail;"
               "    if (!detail) return;"
               "    send({ name: String(detail.name), value: String(detail.value) });"
               "  }, true);"
               "  new QWebChannel(qt.webChannelTransport, function (channel) {"
               "    bridge = channel.objects.velmorBridge;"
               "    for (var i = 0; i < queue.length; ++i) deliver(queue[i]);"
               "    queue = [];"
               "  });"
               "  var value = function (id) {"
               "    var element = document.getElementById(id);"
               "    var text = element && element.value !== undefined && element.value !== null ? String(element.value) : '';"
               "    return JSON.stringify(text);"
               "  };"
               "  var documentId = String(Math.random()).slice(2) + String(Date.now());"
               "  var taken = false;"
               "  var take = function () {"
               "    if (taken) return;"
               "    taken = true;"
               "    var call = { name: 'invoice', document: documentId, href: window.location.href,"
               "      port: value('PrintInvoiceData'), html: value('PrintInvoiceDataHTML') };"
               "    var marker = document.getElementById('IsShell');"
               "    if (marker) marker.setAttribute('value', 'true');"
               "    send(call);"
               "  };"
               "  window.addEventListener('load', function (event) {"
               "    if (event.target === document) setTimeout(take, 0);"
               "  }, true);"
               "  window.%3 = take;"
               "})();")
               .arg(origins, event, QLatin1String(takeNowName));
}

// The values come as JSON text: the way from the page turns half a
// character pair into a replacement character, which would hide an invoice
// that is broken; JSON writes it out as an escape, which keeps it.
QString jsonText(const QString &json)
{
    return QJsonDocument::fromJson(QByteArray("[") + json.toUtf8() + QByteArray("]")).array().at(0).toString();
}

// Whether another site's page has an invoice element (which is not read).
const char foreignInvoiceScript[] =
    "!!(document.getElementById('PrintInvoiceData') || document.getElementById('PrintInvoiceDataHTML'))";

// Chromium's network errors (net/base/net_error_list.h) as Qt's, so that a
// page that cannot be reached is said the same way on either engine.
QNetworkReply::NetworkError networkError(int code)
{
    switch (code) {
    case -105: // NAME_NOT_RESOLVED
    case -137: // NAME_RESOLUTION_FAILED
        return QNetworkReply::HostNotFoundError;
    case -102: // CONNECTION_REFUSED
        return QNetworkReply::ConnectionRefusedError;
    case -7:   // TIMED_OUT
    case -118: // CONNECTION_TIMED_OUT
        return QNetworkReply::TimeoutError;
    case -100: // CONNECTION_CLOSED
    case -101: // CONNECTION_RESET
    case -324: // EMPTY_RESPONSE
        return QNetworkReply::RemoteHostClosedError;
    case -106: // INTERNET_DISCONNECTED
    case -109: // ADDRESS_UNREACHABLE
    case -104: // CONNECTION_FAILED
        return QNetworkReply::NetworkSessionFailedError;
    case -3: // ABORTED
        return QNetworkReply::OperationCanceledError;
    default:
        if (code <= -107 && code >= -199)
            return QNetworkReply::SslHandshakeFailedError; // the connection's own errors, TLS among them
        if (code <= -200 && code >= -299)
            return QNetworkReply::SslHandshakeFailedError; // certificates
        return QNetworkReply::UnknownNetworkError;
    }
}

} // namespace

// Who asked for what: the engine does not say which document a download
// came from, but its request does.
class RequestOrigins final : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        asked.append({info.requestUrl(), webOrigin(info.initiator())});
        if (asked.size() > 64)
            asked.removeFirst();
    }
    // The origin of the document whose request for `url` came last; empty
    // when there was none, or none said.
    QString requesterOf(const QUrl &url) const
    {
        for (auto it = asked.crbegin(); it != asked.crend(); ++it) {
            if (it->first == url)
                return it->second;
        }
        return QString();
    }

private:
    QList<std::pair<QUrl, QString>> asked;
};

WebEnginePage::WebEnginePage(const PageSetup &setup, QWidget *parent)
    : ShellPage(parent)
    , setup(setup)
    , certificates(setup.trustedHostsFile, setup.trustedCertificates)
    , bridge(new JSConnector(this))
    , guard(new NavigationGuard(setup.serviceOrigins, this))
{
    certificates.setFirstUseHost(setup.firstUseHost);
    // Off the record, as QtWebKit's page was: no cookies, cache or storage
    // are left on the till's disk.
    profile = new QWebEngineProfile(this);
    requests = new RequestOrigins(this);
    profile->setUrlRequestInterceptor(requests);
    connect(profile, &QWebEngineProfile::downloadRequested, this, &WebEnginePage::on_download_requested);
    page = new GuardedEnginePage(
        profile,
        [this](const QUrl &url, QWebEnginePage::NavigationType type, bool isMainFrame) {
            return acceptNavigation(url, type, isMainFrame);
        },
        this);
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false); // the shell has its own
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false); // a PDF is a report to save
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    // Nothing of the till's desktop for the page, whatever it asks.
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    settings->setAttribute(QWebEngineSettings::AllowGeolocationOnInsecureOrigins, false);
    settings->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    connect(page, &QWebEnginePage::featurePermissionRequested, page,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) {
                page->setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
            });
    connect(page, &QWebEnginePage::fullScreenRequested, page,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(page, &QWebEnginePage::registerProtocolHandlerRequested, page,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(page, &QWebEnginePage::fileSystemAccessRequested, page,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    // A window the page opens is never made: where it was to go is decided
    // here.
    connect(page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
        if (guard->decide(request.requestedUrl(), NavigationCause::Link) == NavigationVerdict::Allow)
            page->load(request.requestedUrl());
    });

    // The event name only keeps our calls apart from the page's own events.
    const QString event =
        QStringLiteral("velmor-%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    const QString origins = originList(setup.serviceOrigins);
    channel = new QWebChannel(this);
    auto *channelBridge = new ChannelBridge(bridge, page, setup.serviceOrigins);
    channelBridge->setParent(this);
    connect(channelBridge, &ChannelBridge::taken, this, &WebEnginePage::on_invoice_taken);
    channel->registerObject(QStringLiteral("velmorBridge"), channelBridge);
    page->setWebChannel(channel, QWebEngineScript::ApplicationWorld);
    page->scripts().insert(documentScript(QStringLiteral("velmor-stand-in"), standInScript(origins, event),
                                          QWebEngineScript::MainWorld));
    page->scripts().insert(documentScript(QStringLiteral("velmor-bridge"), ownWorldScript(origins, event),
                                          QWebEngineScript::ApplicationWorld));

    webView = new QWebEngineView(parent);
    webView->setObjectName(QStringLiteral("webView"));
    webView->setContextMenuPolicy(Qt::NoContextMenu);
    webView->setPage(page);
    guard->watch(webView);

    connect(page, &QWebEnginePage::loadingChanged, this, &WebEnginePage::on_loading_changed);
    connect(page, &QWebEnginePage::loadProgress, this, [this](int percent) {
        if (stall.isActive())
            stall.start();
        emit loadProgress(percent);
    });
    // The engine's only sign that a load brought a document of its own.
    connect(page, &QWebEnginePage::urlChanged, this, [this] {
        if (loading)
            committed = true;
        forgetProbe(); // a probe sent to the document before may never be answered
    });
    connect(page, &QWebEnginePage::certificateError, this, &WebEnginePage::on_certificate_error);
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    rendererEnded(status == QWebEnginePage::KilledTerminationStatus
                                      ? tr("prikaz stranice je prekinut")
                                      : tr("prikaz stranice se srušio"));
            });

    stall.setSingleShot(true);
    stall.setInterval(setup.pageTimeoutMs);
    connect(&stall, &QTimer::timeout, this, &WebEnginePage::on_stalled);

    // The renderer is another process, which may stop answering without
    // ending: it is asked a trifle now and then, and one that has not
    // answered within the page time-out is ended, so the shell can bring
    // the page back.
    heartbeat.setInterval(qMax(setup.pageTimeoutMs / 3, 100));
    connect(&heartbeat, &QTimer::timeout, this, &WebEnginePage::probeRenderer);
    heartbeat.start();
}

WebEnginePage::~WebEnginePage()
{
    // The view, then the page, then the profile: the engine wants a profile
    // to outlive its pages.
    page->disconnect(this);
    delete webView;
    delete page;
    delete profile;
}

QWidget *WebEnginePage::view()
{
    return webView;
}

void WebEnginePage::load(const QUrl &url)
{
    if (loading)
        replaceLoad(url);
    page->load(url);
}

void WebEnginePage::reload()
{
    if (loading)
        replaceLoad(page->url());
    page->triggerAction(QWebEnginePage::Reload);
}

bool WebEnginePage::acceptNavigation(const QUrl &url, QWebEnginePage::NavigationType type, bool isMainFrame)
{
    // Frames of other sites may show (a payment form, a map); they get
    // nothing of the shell's.
    if (!isMainFrame || (ownPageLoading && url.scheme() == QLatin1String("data")))
        return true;
    if (guard->decide(url, causeOf(type)) == NavigationVerdict::Allow)
        return true;
    if (loading)
        refused = url; // the load under way went no further
    return false;
}

void WebEnginePage::replaceLoad(const QUrl &url)
{
    // A load that replaces one still under way is not announced by the
    // engine: the one under way ends here and the new one starts, as on
    // QtWebKit. The engine still says how the old one ended, maybe after
    // the new one has started: that is not the new one's end.
    const QUrl replaced = loadingUrl;
    page->triggerAction(QWebEnginePage::Stop);
    startLoad(url);
    staleEndOf = replaced;
}

bool WebEnginePage::isStaleEnd(const QWebEngineLoadingInfo &info) const
{
    if (!staleEndOf)
        return false;
    // At another address, the old load's whatever it says; at the same one,
    // only the stop.
    if (info.url() != loadingUrl)
        return info.url() == *staleEndOf;
    return info.status() == QWebEngineLoadingInfo::LoadStoppedStatus
           || (info.status() == QWebEngineLoadingInfo::LoadFailedStatus
               && networkError(info.errorCode()) == QNetworkReply::OperationCanceledError);
}

void WebEnginePage::showHtml(const QString &html)
{
    // The shell's own page is no load of the page's: whatever was under way
    // is over, and its own start and end are not passed on.
    if (loading)
        endLoad(PageLoad::Replaced);
    ownPageLoading = true;
    page->setHtml(html);
}

void WebEnginePage::startAfresh()
{
    // Nothing to do: the engine drops a connection whose request was
    // stopped, so the next request gets a new one anyway.
}

QUrl WebEnginePage::url() const
{
    return page->url();
}

QString WebEnginePage::title() const
{
    return page->title();
}

void WebEnginePage::on_loading_changed(const QWebEngineLoadingInfo &info)
{
    forgetProbe();
    const bool ownPage = ownPageLoading && info.url().scheme() == QLatin1String("data");
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (ownPage)
            return;
        ownPageLoading = false;
        if (!loading || info.url() != loadingUrl)
            startLoad(info.url());
        return;
    }
    if (ownPage) {
        ownPageLoading = false;
        return;
    }
    if (!loading)
        return; // said to be over already (stalled, replaced, the renderer gone)
    if (isStaleEnd(info)) {
        staleEndOf.reset();
        return;
    }
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
        // A load that succeeded brought a document, even at the same
        // address (a reload), where the address does not change.
        committed = true;
        endLoad(PageLoad::Finished);
    } else if (!committed && refused.isValid() && !isFromOrigins(page->url(), setup.serviceOrigins)) {
        // Sent elsewhere before anything of the service showed: there is
        // nothing to stay on.
        refusal = navigationRefusal(refused);
        endLoad(PageLoad::Failed, loadingUrl, QNetworkReply::OperationCanceledError);
    } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        const QNetworkReply::NetworkError error = networkError(info.errorCode());
        // Stopped by the shell, or it became a download: not a failure to show.
        if (error == QNetworkReply::OperationCanceledError && refusal.isEmpty())
            endLoad(PageLoad::Stopped);
        else
            endLoad(PageLoad::Failed, info.url(), error);
    } else {
        endLoad(PageLoad::Stopped);
    }
}

void WebEnginePage::startLoad(const QUrl &url)
{
    if (loading)
        endLoad(PageLoad::Replaced);
    loading = true;
    committed = false;
    rendererGoneSaid = false;
    loadingUrl = url;
    refusal.clear();
    refused = QUrl();
    stall.start();
    emit loadStarted(++loadId, url);
}

void WebEnginePage::endLoad(PageLoad::End end, const QUrl &failedUrl, QNetworkReply::NetworkError error)
{
    loading = false;
    staleEndOf.reset();
    stall.stop();
    PageLoad load;
    load.id = loadId;
    load.end = end;
    load.committed = committed;
    if (committed)
        committedLoadId = loadId;
    load.url = page->url();
    load.fromService = isFromOrigins(load.url, setup.serviceOrigins);
    if (end == PageLoad::Failed) {
        load.failedUrl = failedUrl;
        load.error = error;
        load.refusal = refusal;
    }
    if (end != PageLoad::Finished && committed && load.fromService && !rendererGoneSaid)
        page->runJavaScript(QStringLiteral("if (window.%1) %1();").arg(QLatin1String(takeNowName)),
                            QWebEngineScript::ApplicationWorld);
    if (end != PageLoad::Finished || !committed || load.fromService) {
        emit loadFinished(load);
        return;
    }
    // Another site's page: whether it has an invoice the shell will not
    // print is asked of it, and the load's end said with the answer.
    page->runJavaScript(QString::fromLatin1(foreignInvoiceScript), QWebEngineScript::ApplicationWorld,
                        [this, load](const QVariant &has) mutable {
                            load.hasInvoiceElement = has.toBool();
                            emit loadFinished(load);
                        });
}

void WebEnginePage::on_invoice_taken(const QString &document, const QUrl &url, const QString &port,
                                     const QString &html)
{
    // One invoice per document, whatever the page does.
    if (takenDocuments.contains(document))
        return;
    takenDocuments.append(document);
    if (takenDocuments.size() > 16)
        takenDocuments.removeFirst();
    PageInvoice invoice;
    // The document is the one the latest load that brought one brought,
    // or the one under way that has.
    invoice.loadId = loading && committed ? loadId : committedLoadId;
    invoice.url = url;
    invoice.portInvoice = jsonText(port);
    invoice.htmlInvoice = jsonText(html);
    emit invoiceTaken(invoice);
}

void WebEnginePage::on_stalled()
{
    // Said to be over now: a renderer that does not answer would never
    // report the stop.
    page->triggerAction(QWebEnginePage::Stop);
    if (loading)
        endLoad(PageLoad::Failed, loadingUrl, QNetworkReply::OperationCanceledError);
}

void WebEnginePage::probeRenderer()
{
    if (probeDue.isForever()) {
        probeDue = QDeadlineTimer(setup.pageTimeoutMs);
        const quint64 sent = ++probeNumber;
        page->runJavaScript(QStringLiteral("1"), QWebEngineScript::ApplicationWorld, [this, sent](const QVariant &) {
            if (probeNumber == sent)
                forgetProbe();
        });
        return;
    }
    if (!probeDue.hasExpired())
        return;
    forgetProbe();
    qWarning().noquote() << "Prikaz stranice ne odgovara" << setup.pageTimeoutMs / 1000 << "s; završava se.";
    const qint64 pid = page->renderProcessPid();
    rendererEnded(tr("prikaz stranice ne odgovara"));
    if (pid > 0)
        endRenderProcess(pid);
}

void WebEnginePage::forgetProbe()
{
    probeDue = QDeadlineTimer(QDeadlineTimer::Forever);
    ++probeNumber;
}

void WebEnginePage::rendererEnded(const QString &why)
{
    if (std::exchange(rendererGoneSaid, true))
        return; // said once for this renderer (ended by us, then reported by the engine)
    qWarning().noquote() << "Prikaz stranice je završio:" << why;
    if (loading)
        endLoad(PageLoad::Stopped);
    emit rendererGone(why);
}
void WebEnginePage::on_certificate_error(const QWebEngineCertificateError &error)
{
    const CertificateJudge::Verdict verdict = answerCertificateError(certificates, error);
    // The page's own address: an image refused does not make the page fail.
    if (!verdict.accepted && error.url().adjusted(QUrl::RemoveFragment) == loadingUrl.adjusted(QUrl::RemoveFragment))
        refusal = verdict.refusal;
}

void WebEnginePage::on_download_requested(QWebEngineDownloadRequest *download)
{
    // The engine's own request, in the page's session, is the download: it
    // is not asked for a second time. One nobody takes is dropped.
    // The document that asked is the one whose request it was; the page's
    // own, when the engine did not say.
    QString requester = requests->requesterOf(download->url());
    if (requester.isEmpty())
        requester = webOrigin(page->url());
    auto *offered = new EngineDownload(download, requester, this);
    if (guard->mayDownload(download->url(), requester))
        emit downloadOffered(offered);
    if (!offered->taken())
        offered->cancel();
}

#include "webenginepage.moc"
