#pragma once

#include "jsconnector.h"
#include "shellpage.h"

// A page whose engine is the test: every event of the page contract happens
// when the test says so. The shell's calls (load, reload, its own page) start
// what an engine would start.
class FakePage final : public ShellPage
{
    Q_OBJECT

public:
    using ShellPage::ShellPage;

    QWidget *view() override { return nullptr; }
    JSConnector *connector() override { return &bridge; }

    void load(const QUrl &url) override
    {
        begin(url);
    }
    void reload() override
    {
        begin(shown);
    }
    void showHtml(const QString &html) override
    {
        if (loading)
            end(PageLoad::Replaced);
        ownPage = html;
        shown = QUrl(QStringLiteral("data:text/html,"));
        gone = false;
    }
    void startAfresh() override {}
    QUrl url() const override { return shown; }
    QString title() const override { return QString(); }

    // The engine's side.
    void begin(const QUrl &url)
    {
        if (loading)
            end(PageLoad::Replaced);
        loading = true;
        committed = false;
        loadingUrl = url;
        emit loadStarted(++loadId, url);
    }
    void commit()
    {
        committed = true;
        committedLoad = loadId;
        shown = loadingUrl;
        gone = false;
        ownPage.clear();
    }
    // The invoice the document shown leaves, as the load that brought it;
    // the test hands it over with `take`, then or later.
    PageInvoice invoiceOfShown(const QString &text) const
    {
        PageInvoice invoice;
        invoice.loadId = committedLoad;
        invoice.url = shown;
        invoice.portInvoice = text;
        invoice.htmlInvoice = text;
        return invoice;
    }
    void take(const PageInvoice &invoice) { emit invoiceTaken(invoice); }
    void end(PageLoad::End how, QNetworkReply::NetworkError error = QNetworkReply::NoError)
    {
        if (!loading)
            return;
        loading = false;
        PageLoad load;
        load.id = loadId;
        load.end = how;
        load.committed = committed;
        load.url = shown;
        load.fromService = shown.scheme() == QLatin1String("https");
        if (how == PageLoad::Failed) {
            load.failedUrl = loadingUrl;
            load.error = error;
        }
        emit loadFinished(load);
    }
    void crash()
    {
        if (loading)
            end(PageLoad::Stopped);
        shown = QUrl();
        ownPage.clear();
        gone = true;
        emit rendererGone(QStringLiteral("test"));
    }

    JSConnector bridge;
    QUrl shown;
    QString ownPage; // the shell's own page, while it shows
    QUrl loadingUrl;
    bool loading = false;
    bool gone = false; // nothing shown since the renderer went
    bool committed = false;
    int loadId = 0;
    int committedLoad = 0;
};
