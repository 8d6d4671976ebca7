#include "testserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <httplib.h>

TestServer::TestServer(Scheme scheme, const QString &certDir)
    : scheme(scheme)
{
    if (scheme == Https)
        server = std::make_unique<httplib::SSLServer>((certDir + QStringLiteral("/cert.pem")).toLocal8Bit().constData(),
                                                      (certDir + QStringLiteral("/key.pem")).toLocal8Bit().constData());
    else
        server = std::make_unique<httplib::Server>();

    auto dispatch = [this](const httplib::Request &req, httplib::Response &res) { handle(req, res); };
    server->Get(".*", dispatch);
    server->Post(".*", dispatch);
    server->set_keep_alive_max_count(100);
}

TestServer::~TestServer()
{
    stop();
}

bool TestServer::start(int port)
{
    if (!server->is_valid())
        return false;
    if (port > 0)
        boundPort = server->bind_to_port("127.0.0.1", port) ? port : 0;
    else
        boundPort = server->bind_to_any_port("127.0.0.1");
    if (boundPort <= 0) {
        qWarning("The test server could not listen on 127.0.0.1:%d", port);
        return false;
    }
    thread = std::thread([this] { server->listen_after_bind(); });
    QDeadlineTimer deadline(5000);
    while (!server->is_running()) {
        if (deadline.hasExpired()) {
            qWarning("The test server on port %d did not start listening within 5 s", boundPort);
            return false;
        }
        QThread::msleep(1);
    }
    return true;
}

void TestServer::stop()
{
    if (thread.joinable()) {
        server->stop();
        thread.join();
    }
}

QString TestServer::origin() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(scheme == Https ? QLatin1String("https") : QLatin1String("http")).arg(boundPort);
}

void TestServer::route(const QByteArray &path, Handler handler)
{
    std::lock_guard<std::mutex> lock(mutex);
    routes[path] = std::move(handler);
}

void TestServer::html(const QByteArray &path, const QByteArray &body)
{
    content(path, body, "text/html; charset=utf-8");
}

void TestServer::content(const QByteArray &path, const QByteArray &body, const QByteArray &contentType, int status)
{
    const std::string data = body.toStdString();
    const std::string type = contentType.toStdString();
    route(path, [data, type, status](const httplib::Request &, httplib::Response &res) {
        res.status = status;
        res.set_content(data, type.c_str());
    });
}

void TestServer::handle(const httplib::Request &req, httplib::Response &res)
{
    RecordedRequest record;
    record.method = QByteArray::fromStdString(req.method);
    record.path = QByteArray::fromStdString(req.path);
    record.target = QByteArray::fromStdString(req.target);
    record.body = QByteArray::fromStdString(req.body);
    for (const auto &header : req.headers)
        record.headers.insert(QByteArray::fromStdString(header.first).toLower(),
                              QByteArray::fromStdString(header.second));

    Handler handler;
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.append(record);
        const auto it = routes.find(record.path);
        if (it != routes.end())
            handler = it->second;
    }
    if (handler) {
        handler(req, res);
    } else {
        res.status = 404;
        res.set_content("not found", "text/plain");
    }
}

QList<RecordedRequest> TestServer::requests() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

QList<RecordedRequest> TestServer::requestsTo(const QByteArray &path) const
{
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : requests()) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

void TestServer::clearRequests()
{
    std::lock_guard<std::mutex> lock(mutex);
    received.clear();
}

bool TestServer::waitForRequests(const QByteArray &path, int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (requestsTo(path).size() < count) {
        if (deadline.hasExpired()) {
            QByteArrayList seen;
            for (const RecordedRequest &request : requests())
                seen << request.method + ' ' + request.target;
            qWarning("Waited %d ms for %d request(s) to %s on %s; it received: %s", timeoutMs, count, path.constData(),
                     qPrintable(origin()), seen.isEmpty() ? "nothing" : seen.join(", ").constData());
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}
