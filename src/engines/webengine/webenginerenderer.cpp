#include "webenginerenderer.h"

#include "certificateanswer.h"
#include "origin.h"
#include "resourcecache.h"
#include "trustingnetworkmanager.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QTemporaryFile>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace {

// The invoice's images and styles from the service come through a scheme
// of our own, answered from memory: the engine would fetch them again for
// every invoice.
const QByteArray cacheScheme = QByteArrayLiteral("velmor-cache");

// Schemes are known to the engine before it starts, so from the start.
const bool cacheSchemeRegistered = [] {
    QWebEngineUrlScheme scheme(cacheScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
    return true;
}();

QUrl cacheUrlFor(const QUrl &url)
{
    return QUrl(QString::fromLatin1(cacheScheme + ':' + QUrl::toPercentEncoding(url.toString(QUrl::FullyEncoded))));
}

QUrl originalOf(const QUrl &cacheUrl)
{
    return QUrl(QUrl::fromPercentEncoding(cacheUrl.path(QUrl::FullyEncoded).toLatin1()), QUrl::StrictMode);
}

} // namespace

// Answers the scheme from the cache, for the service's addresses alone.
class CachedResources final : public QWebEngineUrlSchemeHandler
{
public:
    CachedResources(QNetworkAccessManager *network, const QList<QUrl> &origins, QObject *parent)
        : QWebEngineUrlSchemeHandler(parent)
        , cache(network, this)
        , origins(origins)
    {
    }

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QUrl original = originalOf(job->requestUrl());
        if (job->requestMethod() != "GET" || !original.isValid() || !isFromOrigins(original, origins)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        // Answered only while the job lives (the engine may drop it).
        cache.get(original, job, [job](bool ok, const CachedResource &resource, const QString &) {
            if (!ok) {
                job->fail(QWebEngineUrlRequestJob::RequestFailed);
                return;
            }
            auto *body = new QBuffer(job);
            body->setData(resource.data);
            body->open(QIODevice::ReadOnly);
            const QByteArray type = resource.mimeType.split(';').value(0).trimmed();
            job->reply(type.isEmpty() ? QByteArrayLiteral("application/octet-stream") : type, body);
        });
    }

private:
    ResourceCache cache;
    QList<QUrl> origins;
};

// A printed invoice reaches the service and no one else.
class OnlyOrigins final : public QWebEngineUrlRequestInterceptor
{
public:
    OnlyOrigins(const QList<QUrl> &origins, QObject *parent)
        : QWebEngineUrlRequestInterceptor(parent)
        , origins(origins)
    {
    }

    // The invoice's own file, when it came as one; no other file is reached.
    QUrl invoiceFile;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        if (url.scheme() == QLatin1String("data") || url.scheme() == QLatin1String("about")
            || url.scheme() == QLatin1String(cacheScheme) || (url.isLocalFile() && url == invoiceFile))
            return;
        if (isFromOrigins(url, origins)) {
            const auto type = info.resourceType();
            if (info.requestMethod() == "GET"
                && (type == QWebEngineUrlRequestInfo::ResourceTypeImage
                    || type == QWebEngineUrlRequestInfo::ResourceTypeStylesheet))
                info.redirect(cacheUrlFor(url));
            return;
        }
        qInfo().noquote() << "Zahtjev izvan servisa nije poslan:"
                          << url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
        info.block(true);
    }

private:
    QList<QUrl> origins;
};

namespace {

// The engine takes HTML given as such up to 2 MB; an invoice that is longer
// comes as a file.
constexpr qsizetype largestInlineHtml = 1500 * 1024;

} // namespace

WebEngineRenderer::WebEngineRenderer(const PageSetup &setup)
    : certificates(setup.trustedHostsFile, setup.trustedCertificates)
    , base(setup.serviceOrigins.value(0).resolved(QUrl(QStringLiteral("/"))))
{
    certificates.setFirstUseHost(setup.firstUseHost);
    profile = new QWebEngineProfile(this); // off the record, and apart from the page's
    onlyService = new OnlyOrigins(setup.serviceOrigins, this);
    profile->setUrlRequestInterceptor(onlyService);
    Q_UNUSED(cacheSchemeRegistered)
    auto *network = new TrustingNetworkManager(setup.trustedHostsFile, setup.trustedCertificates, this);
    network->setFirstUseHost(setup.firstUseHost);
    network->setAllowedOrigins(setup.serviceOrigins);
    profile->installUrlSchemeHandler(cacheScheme, new CachedResources(network, setup.serviceOrigins, this));
    wait.setSingleShot(true);
    connect(&wait, &QTimer::timeout, this, &WebEngineRenderer::printWhenParsed);
}

WebEngineRenderer::~WebEngineRenderer()
{
    delete page; // before the profile
    delete profile;
}

void WebEngineRenderer::render(const QString &html, const QPageLayout &layout, const QString &title,
                               const QString &pdfPath, int waitMs)
{
    Q_UNUSED(title) // the engine names the document after the page
    this->layout = layout;
    this->pdfPath = pdfPath;
    printing = false;
    delete page;
    htmlFile.reset();
    onlyService->invoiceFile = QUrl();
    page = new QWebEnginePage(profile, this);
    // An invoice is a document, not a program: its scripts do not run.
    page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // A frame refused shows nothing, not the engine's page about it.
    page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    // An invoice given as a file still shows the service's logo; the
    // interceptor lets nothing else through.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    connect(page, &QWebEnginePage::certificateError, this,
            [this](const QWebEngineCertificateError &error) { answerCertificateError(certificates, error); });
    connect(page, &QWebEnginePage::loadFinished, this, &WebEngineRenderer::print);
    connect(page, &QWebEnginePage::pdfPrintingFinished, this, [this](const QString &, bool ok) {
        done(ok, ok ? QString() : tr("račun se ne može pretvoriti u PDF"));
    });
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this] {
        done(false, tr("prikaz računa za ispis se srušio"));
    });
    parseWait.setRemainingTime(qMax(waitMs, 0) + 5000);
    if (waitMs >= 0)
        wait.start(waitMs);
    // "/logo.png" is the service's logo.
    const QByteArray utf8 = html.toUtf8();
    if (utf8.size() <= largestInlineHtml) {
        page->setHtml(html, base);
        return;
    }
    // From a file, the document's own address is the file's: a base goes first.
    const QByteArray bytes = QStringLiteral("<base href=\"%1\">").arg(base.toString(QUrl::FullyEncoded).toHtmlEscaped()).toUtf8()
                             + utf8;
    htmlFile = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("velmor-ispis-XXXXXX.html")));
    if (!htmlFile->open() || htmlFile->write(bytes) != bytes.size() || !htmlFile->flush()) {
        const QString problem = tr("račun se ne može pripremiti za ispis (%1)").arg(htmlFile->errorString());
        QMetaObject::invokeMethod(this, [this, problem] { done(false, problem); }, Qt::QueuedConnection);
        return;
    }
    htmlFile->close();
    onlyService->invoiceFile = QUrl::fromLocalFile(htmlFile->fileName());
    page->load(onlyService->invoiceFile);
}

void WebEngineRenderer::printWhenParsed()
{
    // The wait is for images and styles that take their time; the invoice's
    // own text is there first, which here takes a moment of its own (the
    // engine reads it in another process). Its scripts are off, ours run.
    if (!page || printing)
        return;
    if (parseWait.hasExpired()) {
        page->triggerAction(QWebEnginePage::Stop);
        print();
        return;
    }
    page->runJavaScript(QStringLiteral("document.readyState + ' ' + location.protocol"),
                        QWebEngineScript::ApplicationWorld, [this](const QVariant &state) {
                            // The blank page before it is not the invoice.
                            const QString said = state.toString();
                            const bool invoice = !said.endsWith(QLatin1String(" about:"));
                            if (invoice && !said.startsWith(QLatin1String("loading"))) {
                                page->triggerAction(QWebEnginePage::Stop);
                                print();
                            } else {
                                QTimer::singleShot(10, this, &WebEngineRenderer::printWhenParsed);
                            }
                        });
}

void WebEngineRenderer::print()
{
    if (!page || printing)
        return;
    printing = true;
    wait.stop();
    page->printToPdf(pdfPath, layout);
}

void WebEngineRenderer::done(bool ok, const QString &problem)
{
    if (!page)
        return; // said already
    page->deleteLater();
    page = nullptr;
    emit rendered(ok, problem);
}
