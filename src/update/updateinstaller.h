#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

// One fetched file, waiting on disk to go in place.
struct FetchedFile
{
    QString folder;     // inside the program's folder; may be empty
    QString name;
    QString stagedPath; // where the fetched body is; moved into place by the install
};

// One file of an install, paths relative to the program's folder.
struct InstallStep
{
    QString target;
    QString movedAside; // where the existing file goes; empty for a new file
    QString stagedPath;
};

// Everything an install will do, worked out before anything is touched.
struct InstallPlan
{
    double version = 0;  // the version the program has once the install is complete
    QStringList folders; // folders the install makes, parents first
    QList<InstallStep> steps;
};

struct InstallResult
{
    bool ok = false;
    QString file;    // the file that could not be put in place
    QString problem;
};

// What the start-up found of an earlier install.
enum class Recovery {
    None,       // no install was interrupted
    RolledBack, // an interrupted install was undone: the program is the old version
    Completed,  // every file and the version were in place; only the record was left
    Failed,     // the record stays, and so do the moved-aside files it needs
};

// Names in the program's folder that belong to the install itself.
namespace InstallFiles {
inline const QString record = QStringLiteral("_update_record.json");
inline const QString staging = QStringLiteral("_update_files_");
} // namespace InstallFiles

// "_old_HHmmss_name" beside the target: what an existing file is moved aside
// to, for the next start to delete.
QString movedAsideName(const QString &name, const QTime &now);

// Works out where each file goes, what is moved aside and which folders are
// made. Refuses a target that is a folder, one named like the install's own
// files, and one whose resolved path leaves the program's folder through a
// link.
InstallResult planInstall(const QString &programDir, const QList<FetchedFile> &files, double version,
                          const QTime &now, InstallPlan *plan);

// Writes the plan where the next start looks for it, in one step.
bool writeInstallRecord(const QString &programDir, const InstallPlan &plan);

// Writes the install record, then carries out the plan. On any failure
// everything already done is undone and the record removed: the program is
// wholly the old version. A replaced file keeps its permissions (a program
// stays executable).
InstallResult applyInstall(const QString &programDir, const InstallPlan &plan);

// The install is complete (files and version in place): removes the record
// and the fetched files' folder.
void finishInstall(const QString &programDir);

// Run at start, before anything else touches the program's folder: finishes
// or undoes an install that a crash or power cut interrupted. An install
// whose version is `installedVersion` had put everything in place already.
Recovery recoverInterruptedInstall(const QString &programDir, double installedVersion);

// Deletes the files an earlier update moved aside: every file below
// `programDir` whose name starts with "_old_"; directories stay, hidden
// entries and linked folders are not visited. Failures wait for the next
// start. Does nothing while an install record is left: its copies are needed.
void removeMovedAsideFiles(const QString &programDir);
