#include "webenginerenderer.h"

#include "certificateanswer.h"
#include "jsconnector.h"

#include <QDebug>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

namespace {

// A printed invoice reaches the service and no one else.
class OnlyOrigins final : public QWebEngineUrlRequestInterceptor
{
public:
    OnlyOrigins(const QList<QUrl> &origins, QObject *parent)
        : QWebEngineUrlRequestInterceptor(parent)
        , origins(origins)
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        if (url.scheme() == QLatin1String("data") || url.scheme() == QLatin1String("about")
            || JSConnector::isFromOrigins(url, origins))
            return;
        qInfo().noquote() << "Zahtjev izvan servisa nije poslan:"
                          << url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
        info.block(true);
    }

private:
    QList<QUrl> origins;
};

} // namespace

WebEngineRenderer::WebEngineRenderer(const PageSetup &setup)
    : certificates(setup.trustedHostsFile, setup.trustedCertificates)
{
    certificates.setFirstUseHost(setup.firstUseHost);
    profile = new QWebEngineProfile(this); // off the record, and apart from the page's
    onlyService = new OnlyOrigins(setup.serviceOrigins, this);
    profile->setUrlRequestInterceptor(onlyService);
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
    page = new QWebEnginePage(profile, this);
    // An invoice is a document, not a program: its scripts do not run.
    page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    connect(page, &QWebEnginePage::certificateError, this,
            [this](const QWebEngineCertificateError &error) { answerCertificateError(certificates, error); });
    connect(page, &QWebEnginePage::loadFinished, this, &WebEngineRenderer::print);
    connect(page, &QWebEnginePage::pdfPrintingFinished, this, [this](const QString &, bool ok) {
        done(ok, ok ? QString() : tr("račun se ne može pretvoriti u PDF"));
    });
    parseWait.setRemainingTime(qMax(waitMs, 0) + 5000);
    if (waitMs >= 0)
        wait.start(waitMs);
    page->setHtml(html, QUrl());
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
                            const QString said = state.toString();
                            if (said.endsWith(QLatin1String(" data:")) && !said.startsWith(QLatin1String("loading"))) {
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
    if (page)
        page->deleteLater();
    page = nullptr;
    emit rendered(ok, problem);
}
