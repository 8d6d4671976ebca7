#pragma once

#include "shellcontext.h"
#include "shellpage.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>

// The till's page over time, without widgets: the main address loaded at the
// start, the shell's own page in place of a page that cannot be loaded or
// whose renderer is gone, the service tried again by itself (another site's
// page is not: it gets a way back instead), F5 on either, and each document
// of the service's invoice handed on once.
class PageSession final : public QObject
{
    Q_OBJECT

public:
    // `origins` are the service's and the main address's.
    PageSession(ShellPage *page, const ShellContext &context, const QList<QUrl> &origins, const QUrl &mainAddress,
                QObject *parent = nullptr);

    void start();
    // F5: the page again; on the shell's own page, the page that failed.
    void reload();

signals:
    // A page (not the shell's own) is on its way from `host`.
    void loadStarted(const QString &host);
    void loadProgress(int percent);
    void loadEnded();
    // A page of the service has loaded.
    void serviceAnswered();
    // The invoice a document of the service left; `startedByShell` when
    // nobody at the till asked for the load that brought it.
    void invoiceIssued(const PageInvoice &invoice, bool startedByShell);

private:
    void on_load_started(int id, const QUrl &requested);
    void on_load_finished(const PageLoad &load);
    void on_invoice_taken(const PageInvoice &invoice);
    void on_renderer_gone(const QString &why);
    void showErrorPage();
    void retry();
    void loadByShell(const QUrl &url);

    ShellPage *page;
    ShellContext context;
    QList<QUrl> origins;
    QUrl mainAddress;
    // The page being loaded (or that failed, while the error page shows), and
    // why it failed when it did.
    QUrl loadingUrl;
    QString loadProblem;
    int currentLoad = 0;
    bool errorPageShown = false;
    QTimer retryTimer;
    // The next load to start is the shell's own (a retry), not anyone's at
    // the till: it prints no invoice that was printed already.
    bool nextLoadByShell = false;
    QSet<int> loadsByShell; // the latest such loads
};
