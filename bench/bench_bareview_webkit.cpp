// A bare QtWebKit view loading the demo service's invoice page, as the yardstick
// for bench_startup. Prints "<epoch ms when loaded> <peak KiB>": bench/run takes the time of the
// launch from it, with a finer clock than the process start time gives.

#include "benchhelpers.h"

#include <QApplication>
#include <QDateTime>
#include <QNetworkReply>
#include <QTimer>
#include <QWebPage>
#include <QWebView>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTimer::singleShot(20000, [] {
        std::fprintf(stderr, "the page did not load within 20 s\n");
        std::_Exit(1);
    });
    QWebView view;
    // The demo's own certificate; a bare view has no trust of its own.
    QObject::connect(view.page()->networkAccessManager(), &QNetworkAccessManager::sslErrors,
                     [](QNetworkReply *reply, const QList<QSslError> &) { reply->ignoreSslErrors(); });
    QObject::connect(&view, &QWebView::loadFinished, [] {
        std::printf("%lld %ld\n", QDateTime::currentMSecsSinceEpoch(), peakRssKiBWithChildren());
        std::fflush(stdout);
        std::_Exit(0);
    });
    view.load(QUrl(QStringLiteral("https://localhost:8443/invoices")));
    view.showMaximized();
    return app.exec();
}
