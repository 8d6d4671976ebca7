#pragma once

#include <QString>
#include <QUrl>

// The address of the report a page asks for: the service origin with the
// page's path, which must begin with a single "/". An address that would
// lead to another scheme, host or port is invalid, and `problem` says why.
QUrl reportAddress(const QString &serviceOrigin, const QString &path, QString *problem);
