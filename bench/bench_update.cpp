// A 200 MB update from loopback: how long fetching and installing it takes,
// and how much the process's peak memory grows meanwhile (the files stream
// to disk, so the growth should stay far below the update's size).

#include "benchhelpers.h"
#include "testhelpers.h"
#include "testserver.h"
#include "updateclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <httplib.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const size_t size = 200u * 1024 * 1024;
    const std::string chunk(64 * 1024, 'u');

    TestServer server;
    if (!server.start())
        return 1;
    server.route("/files/big.bin", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(size, "application/octet-stream", [&](size_t offset, size_t, httplib::DataSink &sink) {
            sink.write(chunk.data(), std::min(chunk.size(), size - offset));
            return true;
        });
    });
    server.content("/updates/checkForUpdates",
                   QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/big.bin"}]})")
                       .replace("%S", server.origin().toLatin1()),
                   "application/json");

    ScopedWorkDir workDir;
    writeSettingsFile("[General]\nversion=1\n");
    QTemporaryDir program;
    ShellContext context = testContext(server.origin());
    context.programDir = program.path();

    UpdateClient client(context);
    QString outcome;
    auto end = [&](const QString &what) {
        outcome = what;
        app.quit();
    };
    QObject::connect(&client, &UpdateClient::installed, [&] { end(QStringLiteral("installed")); });
    QObject::connect(&client, &UpdateClient::failed, [&](const QString &why) { end(why); });
    QObject::connect(&client, &UpdateClient::refused, [&](const QString &why) { end(why); });
    QObject::connect(&client, &UpdateClient::checkFailed, [&](const QString &why) { end(why); });
    QObject::connect(&client, &UpdateClient::upToDate, [&] { end(QStringLiteral("up to date")); });

    const long before = peakRssKiB();
    QElapsedTimer timer;
    timer.start();
    client.removeOldFiles();
    client.checkForUpdates();
    app.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const long after = peakRssKiB();

    const qint64 installed = QFile(program.filePath(QStringLiteral("big.bin"))).size();
    std::printf("update of %lld bytes: %s in %.2f s = %.1f MB/s; peak memory growth %.1f MB\n",
                static_cast<long long>(installed), qPrintable(outcome), seconds, installed / seconds / 1e6,
                (after - before) / 1024.0);
    return installed == static_cast<qint64>(size) ? 0 : 1;
}
