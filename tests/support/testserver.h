#pragma once

#include <QByteArray>
#include <QList>
#include <QMultiMap>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

// What the server received, as the test reads it back.
struct RecordedRequest
{
    QByteArray method;
    QByteArray path;   // without the query
    QByteArray target; // path and query exactly as sent
    QMultiMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

// An HTTPS server on 127.0.0.1 with a self-signed certificate (or a plain
// HTTP one), serving on its own thread. Routes may be set at any time; unknown paths answer 404.
class TestServer
{
public:
    using Handler = std::function<void(const httplib::Request &, httplib::Response &)>;

    enum Scheme { Https, Http };

    explicit TestServer(Scheme scheme = Https, const QString &certDir = QStringLiteral(TEST_CERT_DIR));
    ~TestServer();

    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // On `port`, or on any free one.
    bool start(int port = 0);
    void stop();

    int port() const { return boundPort; }
    QString origin() const; // "https://127.0.0.1:<port>" (or http)
    QString url(const QString &pathAndQuery) const { return origin() + pathAndQuery; }

    void route(const QByteArray &path, Handler handler);
    void html(const QByteArray &path, const QByteArray &body);
    void content(const QByteArray &path, const QByteArray &body, const QByteArray &contentType, int status = 200);

    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requestsTo(const QByteArray &path) const;
    void clearRequests();

    // Runs the Qt event loop until `count` requests to `path` have arrived;
    // when they have not within `timeoutMs`, says which requests did.
    bool waitForRequests(const QByteArray &path, int count = 1, int timeoutMs = 10000) const;

private:
    void handle(const httplib::Request &req, httplib::Response &res);

    Scheme scheme;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int boundPort = 0;

    mutable std::mutex mutex;
    std::map<QByteArray, Handler> routes;
    QList<RecordedRequest> received;
};
