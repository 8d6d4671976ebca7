#pragma once

#include "shellcontext.h"
#include "shellpage.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>

// The till's page over time, without widgets: the main address loaded at the
// start, the shell's own page in place of a page that cannot be loaded, the
// service tried again by itself (another site's page is not: it gets a way
// back instead), and F5 on either.
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
    // A page of the service has loaded (or stopped) with what the after-load
    // step took; `startedByShell` when nobody at the till asked for it.
    void servicePageLoaded(const PageLoad &load, bool startedByShell);

private:
    void on_load_started(const QUrl &requested);
    void on_load_finished(const PageLoad &load);
    void showErrorPage();
    void retry();

    ShellPage *page;
    ShellContext context;
    QList<QUrl> origins;
    QUrl mainAddress;
    // The page being loaded (or that failed, while the error page shows), and
    // why it failed when it did.
    QUrl loadingUrl;
    QString loadProblem;
    // The shell's own error page: being loaded, or shown for `loadingUrl`.
    bool errorPageLoading = false;
    bool errorPageShown = false;
    QTimer retryTimer;
    // The load under way was started by the shell itself (a retry), not by
    // anyone at the till: it prints no invoice that was printed already.
    bool loadStartedByShell = false;
};
