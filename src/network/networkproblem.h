#pragma once

#include <QNetworkReply>
#include <QString>

// What went wrong with a request, in words a shop's staff understand: a
// service that cannot be reached is named with its host, and said so in
// Croatian; any other failure keeps the network layer's own text.
// `timeoutMs` is the time-out the request had, for a request that ran out
// of it.
QString networkProblem(QNetworkReply::NetworkError error, const QUrl &url, const QString &errorString,
                       int timeoutMs = 0);

// Whether the error means the service could not be reached at all.
bool isUnreachable(QNetworkReply::NetworkError error);
