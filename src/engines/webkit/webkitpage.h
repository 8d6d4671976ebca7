#pragma once

#include "navigationguard.h"
#include "shellpage.h"

#include <QPointer>
#include <QWebPage>

class JSConnector;
class QWebFrame;
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
    bool acceptNavigation(QWebFrame *frame, const QUrl &url, QWebPage::NavigationType type);
    void openWindow(const QUrl &url, NavigationCause cause);
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
    NavigationGuard *guard = nullptr;
    QUrl loadingUrl;
    QUrl refused;             // where the load under way was to go on to, and was not let
    bool shellLoading = false; // the shell's own load is being asked about
    int loadId = 0;
    bool committed = false; // the load under way brought a new document
    bool stoppedByShell = false; // it became a download
    // The shell's own page is no load of the page's: its start and end are
    // not passed on.
    bool showingOwnPage = false;
    bool ownPageLoading = false;
    PageLoad failure;       // why the page under way failed, when it did
};
