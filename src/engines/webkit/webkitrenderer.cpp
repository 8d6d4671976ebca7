#include "webkitrenderer.h"

#include "resourcecache.h"
#include "trustingnetworkmanager.h"

#include <QNetworkReply>
#include <QPrinter>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>
#include <QWebView>

namespace {

// A fetch answered by the cache, as the engine reads any other.
class CachedReply final : public QNetworkReply
{
public:
    CachedReply(const QNetworkRequest &request, QObject *parent)
        : QNetworkReply(parent)
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(QNetworkAccessManager::GetOperation);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    void deliver(bool ok, const CachedResource &resource, const QString &problem)
    {
        if (isFinished())
            return; // aborted
        if (ok) {
            body = resource.data;
            setAttribute(QNetworkRequest::HttpStatusCodeAttribute, 200);
            setHeader(QNetworkRequest::ContentTypeHeader, resource.mimeType);
            setHeader(QNetworkRequest::ContentLengthHeader, body.size());
            emit metaDataChanged();
            emit downloadProgress(body.size(), body.size());
            emit readyRead();
        } else {
            setError(ContentNotFoundError, problem);
            emit errorOccurred(ContentNotFoundError);
        }
        setFinished(true);
        emit finished();
    }

    void abort() override
    {
        if (isFinished())
            return;
        setError(OperationCanceledError, QStringLiteral("prekinuto"));
        setFinished(true);
        emit errorOccurred(OperationCanceledError);
        emit finished();
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return body.size() - offset + QNetworkReply::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(maxSize, qint64(body.size()) - offset);
        if (n <= 0)
            return isFinished() ? -1 : 0;
        memcpy(data, body.constData() + offset, size_t(n));
        offset += n;
        return n;
    }

private:
    QByteArray body;
    qint64 offset = 0;
};

// The renderer's network: an invoice's http(s) fetches come through the
// cache (which reaches the service alone), other addresses (data:) go to the
// trusting network, and nothing is ever sent.
class CachingNetwork final : public QNetworkAccessManager
{
public:
    CachingNetwork(TrustingNetworkManager *trusting, QObject *parent)
        : QNetworkAccessManager(parent)
        , trusting(trusting)
        , cache(trusting, this)
    {
    }

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *outgoingData) override
    {
        Q_UNUSED(outgoingData)
        const QString scheme = request.url().scheme();
        const bool web = scheme == QLatin1String("https") || scheme == QLatin1String("http");
        if (op == GetOperation && !web)
            return trusting->get(request); // data: and what is refused there
        auto *reply = new CachedReply(request, this);
        if (op != GetOperation) {
            QTimer::singleShot(0, reply, [reply] { reply->deliver(false, CachedResource(), QStringLiteral("odbijeno")); });
            return reply;
        }
        // Answered only while the reply lives.
        cache.get(request.url(), reply, [reply](bool ok, const CachedResource &resource, const QString &problem) {
            reply->deliver(ok, resource, problem);
        });
        return reply;
    }

private:
    TrustingNetworkManager *trusting;
    ResourceCache cache;
};

} // namespace

WebKitRenderer::WebKitRenderer(const PageSetup &setup)
    : base(setup.serviceOrigins.value(0).resolved(QUrl(QStringLiteral("/"))))
{
    auto *trusting = new TrustingNetworkManager(setup.trustedHostsFile, setup.trustedCertificates, this);
    trusting->setFirstUseHost(setup.firstUseHost);
    trusting->setAllowedOrigins(setup.serviceOrigins); // a printed invoice reaches no one else
    network = new CachingNetwork(trusting, this);
    wait.setSingleShot(true);
    connect(&wait, &QTimer::timeout, this, &WebKitRenderer::print);
}

WebKitRenderer::~WebKitRenderer() = default;

void WebKitRenderer::render(const QString &html, const QPageLayout &layout, const QString &title,
                            const QString &pdfPath, int waitMs)
{
    this->layout = layout;
    this->title = title;
    this->pdfPath = pdfPath;
    // A view of its own for each invoice: it shares neither page nor network
    // access with the main view, and is never shown.
    view = std::make_unique<QWebView>();
    // An invoice is a document, not a program: its scripts do not run.
    view->settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
    view->page()->setNetworkAccessManager(network);
    connect(view.get(), &QWebView::loadFinished, this, [this] {
        // From the event loop: HTML with nothing to fetch finishes inside setHtml.
        QMetaObject::invokeMethod(this, &WebKitRenderer::print, Qt::QueuedConnection);
    });
    if (waitMs >= 0)
        wait.start(waitMs);
    // "/logo.png" is the service's logo. WebKit lays a printed page out 1.25
    // times as wide as the paper and shrinks it to fit (its minimum shrink
    // factor, as older browsers did): the document zoomed by as much, one
    // CSS pixel is 1/96 inch on paper, as on QtWebEngine and in browsers.
    view->setHtml(QStringLiteral("<style>html { zoom: 1.25 }</style>") + html, base);
}

void WebKitRenderer::print()
{
    if (!view)
        return; // printed already (the load and the wait both ended)
    wait.stop();
    const std::unique_ptr<QWebView> done = std::move(view);
    done->disconnect(this);
    QPrinter file(QPrinter::HighResolution);
    file.setOutputFormat(QPrinter::PdfFormat);
    file.setOutputFileName(pdfPath);
    file.setPageLayout(layout);
    file.setFullPage(layout.mode() == QPageLayout::FullPageMode);
    file.setDocName(title);
    done->page()->mainFrame()->print(&file);
    const bool ok = file.printerState() != QPrinter::Error;
    emit rendered(ok, ok ? QString() : tr("račun se ne može pretvoriti u PDF"));
}
