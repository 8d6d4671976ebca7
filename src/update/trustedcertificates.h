#pragma once

#include <QList>
#include <QSslCertificate>

// Certificates built into the program and trusted, besides the system's, for
// the update check and the update downloads: a service with its own
// certificate authority or a self-signed certificate names it at build time.
// Defined by the trust library that the program (or a test) links.
QList<QSslCertificate> builtInCertificates();
