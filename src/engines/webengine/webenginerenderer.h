#pragma once

#include "certificatejudge.h"
#include "invoicerenderer.h"
#include "shellpage.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>

class OnlyOrigins;
class QTemporaryFile;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineUrlRequestInterceptor;

// Invoices rendered by QtWebEngine in a page with no window, printed to PDF
// by the engine itself (a real PDF, not a picture of one).
class WebEngineRenderer final : public InvoiceRenderer
{
    Q_OBJECT

public:
    explicit WebEngineRenderer(const PageSetup &setup);
    ~WebEngineRenderer() override;

    void render(const QString &html, const QPageLayout &layout, const QString &title, const QString &pdfPath,
                int waitMs) override;

private:
    void printWhenParsed();
    void print();
    void done(bool ok, const QString &problem);

    CertificateJudge certificates;
    QUrl base; // the invoice's relative addresses are the service's
    QWebEngineProfile *profile = nullptr;
    OnlyOrigins *onlyService = nullptr;
    std::unique_ptr<QTemporaryFile> htmlFile; // an invoice too long to be given as HTML
    QPointer<QWebEnginePage> page;
    QTimer wait;
    QDeadlineTimer parseWait; // the invoice's own text is waited for this long at most
    QPageLayout layout;
    QString pdfPath;
    bool printing = false;
};
