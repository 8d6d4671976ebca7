#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// A web origin as a browser writes it (`location.origin`): scheme, host and
// port in lower case, the scheme's default port left out, so that
// "https://shop:443" and "https://Shop" are one origin. Empty for anything
// that is not http or https with a host: such an address is no one's origin.
// The pages' scripts compare against these same texts.
QString webOrigin(const QUrl &url);

// Whether `url` is a document of one of `origins`.
bool isFromOrigins(const QUrl &url, const QList<QUrl> &origins);
