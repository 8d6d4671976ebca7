// A bare QtWebEngine view loading the demo service's invoice page, as the
// yardstick for bench_startup. Prints "<epoch ms when loaded> <peak KiB>",
// the memory summed over the engine's helper processes.

#include "benchhelpers.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QTimer::singleShot(20000, [] {
        std::fprintf(stderr, "the page did not load within 20 s\n");
        std::_Exit(1);
    });
    // Off the record, as the shell's page is.
    QWebEngineProfile profile;
    QWebEnginePage page(&profile);
    QWebEngineView view;
    view.setPage(&page);
    // The demo's own certificate; a bare view has no trust of its own.
    QObject::connect(&page, &QWebEnginePage::certificateError, [](const QWebEngineCertificateError &error) {
        QWebEngineCertificateError answer = error;
        answer.acceptCertificate();
    });
    QObject::connect(&page, &QWebEnginePage::loadFinished, [] {
        std::printf("%lld %ld\n", QDateTime::currentMSecsSinceEpoch(), peakRssKiBWithChildren());
        std::fflush(stdout);
        std::_Exit(0);
    });
    view.load(QUrl(QStringLiteral("https://localhost:8443/invoices")));
    view.showMaximized();
    return app.exec();
}
