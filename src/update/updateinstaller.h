#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTime>

// One fetched file, ready to go in place.
struct FetchedFile
{
    QString folder; // inside the program's folder; may be empty
    QString name;
    QByteArray body;
};

struct InstallResult
{
    bool ok = false;
    QString file;    // the file that could not be put in place
    QString problem;
};

// "_old_HHmmss_name" beside the target: what an existing file is moved aside
// to, for the next start to delete.
QString movedAsideName(const QString &name, const QTime &now);

// Puts every file in place below `programDir`, or none of them: an existing
// file is moved aside first, and when any file fails, every file already
// replaced is put back and every folder made for them is removed. A replaced
// file keeps its permissions (a program stays executable).
InstallResult installFiles(const QString &programDir, const QList<FetchedFile> &files, const QTime &now);

// Deletes the files an earlier update moved aside: every file below
// `programDir` whose name starts with "_old_"; directories stay, hidden
// entries and linked folders are not visited. Failures wait for the next start.
void removeMovedAsideFiles(const QString &programDir);
