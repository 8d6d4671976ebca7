#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// One resource as it came: its type and its bytes.
struct CachedResource
{
    QByteArray mimeType;
    QByteArray data;
};

// The images and styles of printed invoices, fetched once each and kept in
// memory: every receipt has the same logo, and neither engine keeps it
// between invoices on its own. Only whole answers with status 200 are kept,
// each up to `largestItem`, together up to `capacity` (the oldest goes first).
class ResourceCache final : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(bool ok, const CachedResource &resource, const QString &problem)>;

    // Fetches with `network`, which decides where a request may go.
    explicit ResourceCache(QNetworkAccessManager *network, QObject *parent = nullptr);

    // Calls `done` once, always from the event loop, unless `context` (which
    // must be given) is gone by then. Asks for an address that is being fetched already only once.
    void get(const QUrl &url, QObject *context, Done done);

    static constexpr qint64 largestItem = 2 * 1024 * 1024;
    // A fetch past this is given up (and fails).
    static constexpr qint64 largestFetch = 32 * 1024 * 1024;
    static constexpr qint64 capacity = 16 * 1024 * 1024;
    static constexpr int fetchTimeoutMs = 30000;

private:
    struct Waiter
    {
        QPointer<QObject> context;
        Done done;
    };
    void on_finished(QNetworkReply *reply, const QUrl &url);
    void keep(const QUrl &url, const CachedResource &resource);
    static void answer(const QList<Waiter> &waiters, bool ok, const CachedResource &resource, const QString &problem);

    QNetworkAccessManager *network;
    QHash<QUrl, CachedResource> resources;
    QList<QUrl> order; // oldest first
    QHash<QUrl, QList<Waiter>> pending;
    qint64 kept = 0;
};
