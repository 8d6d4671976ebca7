// Throughput of a large report saved from loopback, and how much the shell's
// peak memory grows while it is saved.

#include "benchhelpers.h"
#include "mainwindow.h"
#include "shellwindow.h"
#include "testhelpers.h"
#include "testserver.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>

#include <httplib.h>

#include <cstdio>

namespace {

class Opened : public QObject
{
    Q_OBJECT
public:
    bool done = false;
public slots:
    void open(const QUrl &) { done = true; }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const size_t size = 200u * 1024 * 1024;
    const std::string chunk(64 * 1024, 'r');

    TestServer server;
    if (!server.start())
        return 1;
    server.html("/accounts/login", "<html><body>bench</body></html>");
    server.content("/updates/checkForUpdates", R"({"version": 0})", "application/json");
    server.route("/reports/big.pdf", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(size, "application/pdf", [&](size_t offset, size_t, httplib::DataSink &sink) {
            sink.write(chunk.data(), std::min(chunk.size(), size - offset));
            return true;
        });
    });

    ScopedWorkDir workDir;
    Opened opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");

    MainWindow window(testContext(server.origin()));
    ShellPage *view = pageOf(&window);
    server.waitForRequests("/accounts/login");
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        app.processEvents();

    const long before = peakRssKiB();
    QElapsedTimer timer;
    timer.start();
    pageScript(view, QStringLiteral("JSConnector.downloadReport('/reports/big.pdf')"));
    while (!opened.done)
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const long after = peakRssKiB();

    const qint64 saved = QFile(workDir.filePath(QStringLiteral("report.pdf"))).size();
    std::printf("report download: %lld bytes in %.2f s = %.1f MB/s; peak memory growth %.1f MB\n",
                static_cast<long long>(saved), seconds, saved / seconds / 1e6, (after - before) / 1024.0);
    return saved == static_cast<qint64>(size) ? 0 : 1;
}

#include "bench_report_download.moc"
