#include "webenginepage.h"

#include "certificateanswer.h"
#include "jsconnector.h"
#include "trustingnetworkmanager.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QWebChannel>
#include <QWebEngineCertificateError>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

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

public slots:
    void displayString(const QString &string)
    {
        if (JSConnector::isFromOrigins(page->url(), origins))
            connector->displayString(string);
    }
    void downloadReport(const QString &url)
    {
        if (JSConnector::isFromOrigins(page->url(), origins))
            connector->downloadReport(url);
    }

private:
    JSConnector *connector;
    QWebEnginePage *page;
    QList<QUrl> origins;
};

QString originList(const QList<QUrl> &origins)
{
    QJsonArray list;
    for (const QUrl &origin : origins) {
        if (origin.scheme() == QLatin1String("https") || origin.scheme() == QLatin1String("http"))
            list.append(origin.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                                        | QUrl::RemoveUserInfo)
                            .toString(QUrl::FullyEncoded));
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

// Our own world: the page's calls queued until the channel is up, then
// handed on in order; and the invoice taken at the load event, in the same
// step that marks the page, before the page's own load handlers.
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
               "    if (call.name === 'downloadReport') bridge.downloadReport(call.value);"
               "    else bridge.displayString(call.value);"
               "  };"
               "  window.addEventListener('%2', function (event) {"
               "    var detail = event.detail;"
               "    if (!detail) return;"
               "    var call = { name: String(detail.name), value: String(detail.value) };"
               "    if (bridge) deliver(call); else queue.push(call);"
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
               "  window.velmorTake = function () {"
               "    window.velmorTaken = { href: window.location.href, port: value('PrintInvoiceData'),"
               "      html: value('PrintInvoiceDataHTML'), has: !!(document.getElementById('PrintInvoiceData')"
               "        || document.getElementById('PrintInvoiceDataHTML')) };"
               "    var marker = document.getElementById('IsShell');"
               "    if (marker) marker.setAttribute('value', 'true');"
               "    return window.velmorTaken;"
               "  };"
               "  window.addEventListener('load', function (event) {"
               "    if (event.target === document && !window.velmorTaken) window.velmorTake();"
               "  }, true);"
               "})();")
               .arg(origins, event);
}

// The values come as JSON text: the way from the page turns half a
// character pair into a replacement character, which would hide an invoice
// that is broken; JSON writes it out as an escape, which keeps it.
QString jsonText(const QString &json)
{
    return QJsonDocument::fromJson(QByteArray("[") + json.toUtf8() + QByteArray("]")).array().at(0).toString();
}

// What the shell reads once the engine says the load is over: what the load
// event took, or (a document that had none) taken now.
const char takeScript[] =
    "(function () {"
    "  if (window.velmorTake)"
    "    return window.velmorTaken && window.velmorTaken.href === window.location.href"
    "      ? window.velmorTaken : window.velmorTake();"
    "  return { has: !!(document.getElementById('PrintInvoiceData')"
    "    || document.getElementById('PrintInvoiceDataHTML')) };"
    "})()";

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

WebEnginePage::WebEnginePage(const PageSetup &setup, QWidget *parent)
    : ShellPage(parent)
    , setup(setup)
    , certificates(setup.trustedHostsFile, setup.trustedCertificates)
    , bridge(new JSConnector(this))
{
    certificates.setFirstUseHost(setup.firstUseHost);
    // Off the record, as QtWebKit's page was: no cookies, cache or storage
    // are left on the till's disk.
    profile = new QWebEngineProfile(this);
    connect(profile, &QWebEngineProfile::downloadRequested, this, &WebEnginePage::on_download_requested);
    page = new QWebEnginePage(profile, this);
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false); // the shell has its own
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false); // a PDF is a report to save
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);

    // The event name only keeps our calls apart from the page's own events.
    const QString event =
        QStringLiteral("velmor-%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    const QString origins = originList(setup.serviceOrigins);
    channel = new QWebChannel(this);
    auto *channelBridge = new ChannelBridge(bridge, page, setup.serviceOrigins);
    channelBridge->setParent(this);
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

    connect(page, &QWebEnginePage::loadingChanged, this, &WebEnginePage::on_loading_changed);
    connect(page, &QWebEnginePage::loadProgress, this, [this](int percent) {
        if (stall.isActive())
            stall.start();
        emit loadProgress(percent);
    });
    connect(page, &QWebEnginePage::certificateError, this, &WebEnginePage::on_certificate_error);

    downloads = new TrustingNetworkManager(setup.trustedHostsFile, setup.trustedCertificates, this);
    downloads->setFirstUseHost(setup.firstUseHost);
    downloads->setTransferTimeout(setup.pageTimeoutMs);

    stall.setSingleShot(true);
    stall.setInterval(setup.pageTimeoutMs);
    connect(&stall, &QTimer::timeout, this, [this] {
        stalled = true;
        page->triggerAction(QWebEnginePage::Stop);
    });
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
    // A load that replaces one still under way is not announced by the
    // engine (its failure is): the one under way ends here and the new one
    // starts, as on QtWebKit.
    if (loading) {
        page->triggerAction(QWebEnginePage::Stop);
        startLoad(url);
    }
    page->load(url);
}

void WebEnginePage::reload()
{
    if (loading) {
        page->triggerAction(QWebEnginePage::Stop);
        startLoad(page->url());
    }
    page->triggerAction(QWebEnginePage::Reload);
}

void WebEnginePage::showHtml(const QString &html)
{
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
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (!loading || info.url() != loadingUrl)
            startLoad(info.url());
        return;
    }
    loading = false;
    stall.stop();
    PageLoad load;
    load.ok = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus
        || (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus && stalled)) {
        load.failedUrl = info.url();
        load.refusal = refusal;
        load.error = stalled ? QNetworkReply::OperationCanceledError : networkError(info.errorCode());
        // Stopped by the cashier or the shell (a report saved instead): not a failure to show.
        if (load.error == QNetworkReply::OperationCanceledError && !stalled)
            load.error = QNetworkReply::NoError;
    }
    finishLoad(load);
}

void WebEnginePage::startLoad(const QUrl &url)
{
    ++loads;
    loading = true;
    loadingUrl = url;
    refusal.clear();
    stalled = false;
    stall.start();
    emit loadStarted(url);
}

void WebEnginePage::finishLoad(PageLoad load)
{
    load.url = page->url();
    // The engine answers from the page's thread later; a load started
    // meanwhile makes what it says of this one stale.
    const int thisLoad = loads;
    page->runJavaScript(QString::fromLatin1(takeScript), QWebEngineScript::ApplicationWorld,
                        [this, load, thisLoad](const QVariant &result) mutable {
                            const QVariantMap taken = result.toMap();
                            load.hasInvoiceElement = taken.value(QStringLiteral("has")).toBool();
                            load.fromService = thisLoad == loads
                                               && JSConnector::isFromOrigins(load.url, setup.serviceOrigins)
                                               && taken.contains(QStringLiteral("href"));
                            if (load.fromService) {
                                load.portInvoice = jsonText(taken.value(QStringLiteral("port")).toString());
                                load.htmlInvoice = jsonText(taken.value(QStringLiteral("html")).toString());
                            }
                            emit loadFinished(load);
                        });
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
    // Not accepted, so the engine drops it; the report is fetched on a
    // connection of our own and saved as on the other engine.
    const QUrl address = download->url();
    if (address.scheme() != QLatin1String("https") && address.scheme() != QLatin1String("http"))
        return;
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    emit downloadOffered(downloads->get(request));
}

#include "webenginepage.moc"
