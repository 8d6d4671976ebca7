#pragma once

#include <QByteArray>
#include <QString>

// What an update may cost at most. The update is refused, or fails, past any
// of them.
struct UpdateLimits
{
    qint64 answerBytes = 1 << 20;            // the check answer
    int answerTimeMs = 2000;                 // reading the answer, in all
    qint64 answerMemoryBytes = 256ll << 20;  // reading the answer, memory
    qint64 updateBytes = 512ll << 20;        // each file, and the files of one update together
    int transferTimeoutMs = 20000;           // a transfer without a byte
    int fileTimeMs = 10 * 60 * 1000;         // one file, however steadily it trickles
};

// What one run of the shell is pointed at. The program builds it once, from
// the values fixed when it was built (src/app); tests build their own. Every
// part that needs one of these values is handed it: nothing reads them from
// anywhere else.
struct ShellContext
{
    QString serviceOrigin;          // "https://" + the service host, no trailing slash
    QString settingsFile;           // settings.ini; a relative path is taken from the working directory
    QString programDir;             // the folder whose files an update replaces
    QString answerReader;           // the program that reads an update answer within the limits
    QString trustedHostsFile;       // certificates trusted on first use; beside settings.ini
    QString journalFile;            // the journal of invoice output (SQLite), beside settings.ini; empty: none
    QByteArray trustedCertificates; // PEM, trusted besides the system's authorities
    QByteArray updatePublicKey;     // PEM (Ed25519); when set, update answers must be signed with its key
    UpdateLimits updateLimits;
    QString updatePlatform = QStringLiteral("1"); // the update check's platform code
    bool selfUpdate = true;                        // false: no update check, updates come by the package manager
    int pageTimeoutMs = 30000;   // a page request that gets nothing for this long fails
    int retryIntervalMs = 15000; // a page that failed to load is tried again after this long
    int reportTimeLimitMs = 600000; // a report still arriving after this long is given up
    int journalPruneDelayMs = 60000; // the journal's old entries go this long after the start
};
