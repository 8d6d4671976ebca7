#pragma once

#include <QString>
#include <QTime>
#include <QUrl>

// The shell's own page for a page that could not be loaded: what happened,
// the address, the time, a "Pokušaj ponovno" link to the address and a
// countdown to the next automatic try.
QString errorPageHtml(const QString &problem, const QUrl &url, const QTime &when, int retrySeconds);
