#include "resourcecache.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

ResourceCache::ResourceCache(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent)
    , network(network)
{
}

void ResourceCache::answer(const QList<Waiter> &waiters, bool ok, const CachedResource &resource, const QString &problem)
{
    for (const Waiter &waiter : waiters) {
        if (!waiter.context)
            continue;
        waiter.done(ok, resource, problem);
    }
}

void ResourceCache::get(const QUrl &url, QObject *context, Done done)
{
    const QUrl key = url.adjusted(QUrl::RemoveFragment);
    Waiter waiter{context, std::move(done)};
    const auto found = resources.constFind(key);
    if (found != resources.constEnd()) {
        const CachedResource resource = *found;
        QTimer::singleShot(0, this, [waiter, resource] { answer({waiter}, true, resource, QString()); });
        return;
    }
    QList<Waiter> &waiting = pending[key];
    waiting.append(waiter);
    if (waiting.size() > 1)
        return; // on its way already
    QNetworkRequest request(key);
    request.setTransferTimeout(fetchTimeoutMs);
    // Where it may be sent is the network's to decide, and no redirect leaves
    // the origin it was asked of.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    QNetworkReply *reply = network->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received) {
        if (received > largestFetch)
            reply->abort(); // no invoice's image is this big: not held in memory either
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] { on_finished(reply, key); });
}

void ResourceCache::on_finished(QNetworkReply *reply, const QUrl &url)
{
    reply->deleteLater();
    const QList<Waiter> waiters = pending.take(url);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status != 200) {
        const QString problem = reply->error() != QNetworkReply::NoError ? reply->errorString()
                                                                         : QStringLiteral("HTTP %1").arg(status);
        answer(waiters, false, CachedResource(), problem);
        return;
    }
    const CachedResource resource{reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll()};
    keep(url, resource);
    answer(waiters, true, resource, QString());
}

void ResourceCache::keep(const QUrl &url, const CachedResource &resource)
{
    if (resource.data.size() > largestItem)
        return;
    while (!order.isEmpty() && kept + resource.data.size() > capacity)
        kept -= resources.take(order.takeFirst()).data.size();
    resources.insert(url, resource);
    order.append(url);
    kept += resource.data.size();
}
