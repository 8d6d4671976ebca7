#pragma once

#include <QByteArray>
#include <QString>

// What one run of the shell is pointed at. The program builds it once, from
// the values fixed when it was built (src/app); tests build their own. Every
// part that needs one of these values is handed it: nothing reads them from
// anywhere else.
struct ShellContext
{
    QString serviceOrigin;          // "https://" + the service host, no trailing slash
    QString settingsFile;           // settings.ini; a relative path is taken from the working directory
    QString programDir;             // the folder whose files an update replaces
    QByteArray trustedCertificates; // PEM, trusted for updates besides the system's authorities
    int transferTimeoutMs = 20000;  // an update transfer gives up after this long without a byte
};
