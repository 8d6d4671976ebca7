#pragma once

#include "shellpage.h"

#include <QPointer>

class JSConnector;
class QWebView;
class TrustingNetworkManager;

// The page on QtWebKit: a QWebView whose frame gets the bridge's stand-in at
// every document of the service, and whose network access keeps the
// certificate rules.
class WebKitPage final : public ShellPage
{
    Q_OBJECT

public:
    WebKitPage(const PageSetup &setup, QWidget *parent);
    ~WebKitPage() override;

    QWidget *view() override;
    JSConnector *connector() override { return bridge; }
    void load(const QUrl &url) override;
    void reload() override;
    void showHtml(const QString &html) override;
    void startAfresh() override;
    QUrl url() const override;
    QString title() const override;

private:
    void on_document_created();
    void attachBridge();
    void on_load_started();
    void endReplaced();
    void on_load_finished(bool ok);
    void on_request_finished(QNetworkReply *reply);

    PageSetup setup;
    QWebView *webView = nullptr;
    TrustingNetworkManager *network = nullptr; // owned by the view's page
    JSConnector *bridge = nullptr;
    QUrl loadingUrl;
    int loadId = 0;
    bool committed = false; // the load under way brought a new document
    bool stoppedByShell = false; // it became a download
    // The shell's own page is no load of the page's: its start and end are
    // not passed on.
    bool showingOwnPage = false;
    bool ownPageLoading = false;
    PageLoad failure;       // why the page under way failed, when it did
};
