#pragma once

#include <QNetworkReply>
#include <QString>

// What went wrong with a request, in words a shop's staff understand, in
// Croatian and naming the host: a service that cannot be reached, a
// certificate that is refused, or an answer the service gave. The network
// layer's own English text is never shown. `timeoutMs` is the time-out the
// request had, for a request that ran out of it.
QString networkProblem(QNetworkReply::NetworkError error, const QUrl &url, int timeoutMs = 0);

// The same without the host: just why (for a file of a named transfer).
QString networkReason(QNetworkReply::NetworkError error, int timeoutMs = 0);

// Whether the error means the service could not be reached at all.
bool isUnreachable(QNetworkReply::NetworkError error);
