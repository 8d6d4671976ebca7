#pragma once

#include "certificatejudge.h"
#include "shellpage.h"

#include <QDeadlineTimer>
#include <QWebEnginePage>
#include <QStringList>
#include <QTimer>

#include <optional>

class JSConnector;
class NavigationGuard;
class RequestOrigins;
class QWebChannel;
class QWebEngineCertificateError;
class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;

// The page on QtWebEngine. The bridge's stand-in is put in every document of
// the service at its creation and queues the page's calls; a script in a
// world of its own, where the page cannot reach, hands them on over a web
// channel in order and takes the invoice at the document's load event.
// Certificates go by the same rules as Qt's network access.
class WebEnginePage final : public ShellPage
{
    Q_OBJECT

public:
    WebEnginePage(const PageSetup &setup, QWidget *parent);
    ~WebEnginePage() override;

    QWidget *view() override;
    JSConnector *connector() override { return bridge; }
    void load(const QUrl &url) override;
    void reload() override;
    void showHtml(const QString &html) override;
    void startAfresh() override;
    QUrl url() const override;
    QString title() const override;

private:
    bool acceptNavigation(const QUrl &url, QWebEnginePage::NavigationType type, bool isMainFrame);
    void on_loading_changed(const QWebEngineLoadingInfo &info);
    void on_certificate_error(const QWebEngineCertificateError &error);
    void on_download_requested(QWebEngineDownloadRequest *download);
    void on_invoice_taken(const QString &document, const QUrl &url, const QString &port, const QString &html);
    void on_stalled();
    void startLoad(const QUrl &url);
    void replaceLoad(const QUrl &url);
    bool isStaleEnd(const QWebEngineLoadingInfo &info) const;
    void endLoad(PageLoad::End end, const QUrl &failedUrl = QUrl(),
                 QNetworkReply::NetworkError error = QNetworkReply::NoError);
    void probeRenderer();
    void forgetProbe();
    void rendererEnded(const QString &why);

    PageSetup setup;
    CertificateJudge certificates;
    QWebEngineProfile *profile = nullptr;
    QWebEnginePage *page = nullptr;
    QWebEngineView *webView = nullptr;
    QWebChannel *channel = nullptr;
    JSConnector *bridge = nullptr;
    NavigationGuard *guard = nullptr;
    RequestOrigins *requests = nullptr;
    QTimer stall; // a page whose requests stay silent ends, as on Qt's network access
    QUrl loadingUrl;
    std::optional<QUrl> staleEndOf; // a load replaced by ours, whose end the engine has not said yet
    QString refusal; // the certificate refused during the load under way
    QUrl refused;    // where the load under way was to go on to, and was not let
    int loadId = 0;
    int committedLoadId = 0; // the latest load that brought a document
    bool loading = false;
    bool committed = false;      // the load under way has brought its document
    bool ownPageLoading = false; // the shell's own page is on its way
    bool rendererGoneSaid = false;
    QStringList takenDocuments;  // the latest documents whose invoice was taken
    QTimer heartbeat;
    QDeadlineTimer probeDue{QDeadlineTimer::Forever}; // when the probe under way is overdue; forever: none
    quint64 probeNumber = 0; // tells an old probe's answer from the one under way
};
