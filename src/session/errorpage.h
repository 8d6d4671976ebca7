#pragma once

#include <QString>
#include <QTime>
#include <QUrl>

// The shell's own page for a page that could not be loaded: what happened,
// the address, the time and a "Pokušaj ponovno" link to the address. For a
// page of the service (`retrySeconds` > 0) it counts down to the next
// automatic try; with a `backTo` address it links back to the service.
QString errorPageHtml(const QString &problem, const QUrl &url, const QTime &when, int retrySeconds,
                      const QUrl &backTo = QUrl());
