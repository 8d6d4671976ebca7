#pragma once

#include "invoicerenderer.h"
#include "shellpage.h"

#include <QTimer>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QWebView;

// Invoices rendered by QtWebKit in a view that is never shown, printed to PDF
// by Qt's own PDF writer.
class WebKitRenderer final : public InvoiceRenderer
{
    Q_OBJECT

public:
    explicit WebKitRenderer(const PageSetup &setup);
    ~WebKitRenderer() override;

    void render(const QString &html, const QPageLayout &layout, const QString &title, const QString &pdfPath,
                int waitMs) override;

private:
    void print();

    QNetworkAccessManager *network = nullptr; // the invoice's images from the cache
    QUrl base; // the invoice's relative addresses are the service's
    std::unique_ptr<QWebView> view;
    QTimer wait;
    QPageLayout layout;
    QString title;
    QString pdfPath;
};
