#include "webkitrenderer.h"

#include "trustingnetworkmanager.h"

#include <QPrinter>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>
#include <QWebView>

WebKitRenderer::WebKitRenderer(const PageSetup &setup)
    : network(new TrustingNetworkManager(setup.trustedHostsFile, setup.trustedCertificates, this))
    , base(setup.serviceOrigins.value(0).resolved(QUrl(QStringLiteral("/"))))
{
    network->setFirstUseHost(setup.firstUseHost);
    network->setAllowedOrigins(setup.serviceOrigins); // a printed invoice reaches no one else
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
