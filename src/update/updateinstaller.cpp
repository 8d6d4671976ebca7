#include "updateinstaller.h"

#include "filereplace.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

bool insideFolder(const QString &canonicalRoot, const QString &canonicalPath)
{
    return canonicalPath == canonicalRoot || canonicalPath.startsWith(canonicalRoot + QLatin1Char('/'));
}

// Whether every part of `relative` that exists already resolves to a place
// inside the program's folder (links followed).
bool staysInside(const QString &programDir, const QString &relative)
{
    const QString root = QFileInfo(programDir).canonicalFilePath();
    if (root.isEmpty())
        return false;
    QString path = programDir;
    for (const QString &segment : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path = QDir(path).filePath(segment);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return true; // nothing further exists to lead anywhere
        const QString resolved = info.canonicalFilePath();
        if (resolved.isEmpty() || !insideFolder(root, resolved))
            return false; // a dangling link, or one that leads out
    }
    return true;
}

QJsonObject toJson(const InstallPlan &plan)
{
    QJsonArray steps;
    for (const InstallStep &step : plan.steps)
        steps.append(QJsonObject{{QStringLiteral("target"), step.target},
                                 {QStringLiteral("movedAside"), step.movedAside},
                                 {QStringLiteral("staged"), step.stagedPath}});
    return QJsonObject{{QStringLiteral("version"), plan.version},
                       {QStringLiteral("folders"), QJsonArray::fromStringList(plan.folders)},
                       {QStringLiteral("steps"), steps}};
}

bool fromJson(const QByteArray &text, InstallPlan *plan)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    plan->version = object.value(QStringLiteral("version")).toDouble(qQNaN());
    for (const QJsonValue &folder : object.value(QStringLiteral("folders")).toArray())
        plan->folders.append(folder.toString());
    for (const QJsonValue &value : object.value(QStringLiteral("steps")).toArray()) {
        const QJsonObject step = value.toObject();
        plan->steps.append({step.value(QStringLiteral("target")).toString(),
                            step.value(QStringLiteral("movedAside")).toString(),
                            step.value(QStringLiteral("staged")).toString()});
    }
    return true;
}

void removeStaging(const QString &programDir)
{
    const QString staging = QDir(programDir).filePath(InstallFiles::staging);
    if (QFileInfo(staging).isSymLink())
        QFile::remove(staging); // the link only, never what it leads to
    else
        QDir(staging).removeRecursively();
}

// Undoes whatever part of `plan` was done; safe to run again after a crash
// in the middle of it. False when a moved-aside file could not be put back.
bool undo(const QString &programDir, const InstallPlan &plan)
{
    const QDir program(programDir);
    bool complete = true;
    for (auto it = plan.steps.crbegin(); it != plan.steps.crend(); ++it) {
        const QString target = program.filePath(it->target);
        if (it->movedAside.isEmpty()) {
            QFile::remove(target); // a file the install added
            continue;
        }
        const QString movedAside = program.filePath(it->movedAside);
        const QFileInfo aside(movedAside);
        if (!aside.exists() && !aside.isSymLink())
            continue; // not kept yet, or already back
        if (!FileReplace::replace(movedAside, target)) {
            qWarning().noquote() << "Datoteka" << target << "se ne može vratiti iz" << movedAside;
            complete = false;
        } else {
            // Left only where it was a second link to the file now back in place.
            QFile::remove(movedAside);
        }
    }
    // Deepest first; a folder that is not empty stays.
    for (auto it = plan.folders.crbegin(); it != plan.folders.crend(); ++it)
        program.rmdir(*it);
    return complete;
}

} // namespace

QString movedAsideName(const QString &name, const QTime &now)
{
    return QLatin1String("_old_") + now.toString(QStringLiteral("HHmmss")) + QLatin1Char('_') + name;
}

InstallResult planInstall(const QString &programDir, const QList<FetchedFile> &files, double version,
                          const QTime &now, InstallPlan *plan)
{
    const QDir program(programDir);
    *plan = InstallPlan();
    plan->version = version;

    for (const FetchedFile &file : files) {
        const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(file.folder));
        const QString relativeFolder = folder == QLatin1String(".") ? QString() : folder;
        const QString target = relativeFolder.isEmpty() ? file.name : relativeFolder + QLatin1Char('/') + file.name;
        auto refuse = [&](const QString &problem) {
            return InstallResult{false, QDir::toNativeSeparators(program.filePath(target)), problem};
        };

        const QString top = target.section(QLatin1Char('/'), 0, 0);
        if (top == InstallFiles::record || top == InstallFiles::staging)
            return refuse(QStringLiteral("to ime pripada postupku ažuriranja"));
        if (!staysInside(programDir, target))
            return refuse(QStringLiteral("put vodi izvan mape programa"));

        // Folders to make, parents first, each once.
        QString path;
        for (const QString &segment : relativeFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            path = path.isEmpty() ? segment : path + QLatin1Char('/') + segment;
            const QFileInfo info(program.filePath(path));
            if (info.isDir() || plan->folders.contains(path))
                continue;
            if (info.exists())
                return refuse(QStringLiteral("mapa se ne može napraviti"));
            plan->folders.append(path);
        }

        InstallStep step{target, QString(), file.stagedPath};
        const QFileInfo existing(program.filePath(target));
        if (existing.isDir())
            return refuse(QStringLiteral("na tom mjestu je mapa"));
        if (existing.exists() || existing.isSymLink()) {
            step.movedAside = relativeFolder.isEmpty() ? movedAsideName(file.name, now)
                                                       : relativeFolder + QLatin1Char('/') + movedAsideName(file.name, now);
            const QFileInfo aside(program.filePath(step.movedAside));
            if (aside.exists() || aside.isSymLink())
                return refuse(QStringLiteral("postojeća datoteka se ne može premjestiti"));
        }
        plan->steps.append(step);
    }
    return InstallResult{true, QString(), QString()};
}

bool writeInstallRecord(const QString &programDir, const InstallPlan &plan)
{
    QSaveFile record(QDir(programDir).filePath(InstallFiles::record));
    return record.open(QIODevice::WriteOnly) && record.write(QJsonDocument(toJson(plan)).toJson()) >= 0
           && record.commit();
}

InstallResult applyInstall(const QString &programDir, const InstallPlan &plan)
{
    const QDir program(programDir);
    // The record goes first and whole: after a crash from here on, the next
    // start knows what to put back.
    if (!writeInstallRecord(programDir, plan))
        return InstallResult{false, QDir::toNativeSeparators(program.filePath(InstallFiles::record)),
                             QStringLiteral("zapis ažuriranja se ne može spremiti")};

    auto fail = [&](const QString &target, const QString &problem) {
        undo(programDir, plan);
        QFile::remove(program.filePath(InstallFiles::record));
        return InstallResult{false, QDir::toNativeSeparators(program.filePath(target)), problem};
    };

    for (const QString &folder : plan.folders) {
        if (!program.mkdir(folder))
            return fail(folder, QStringLiteral("mapa se ne može napraviti"));
    }
    for (const InstallStep &step : plan.steps) {
        const QString target = program.filePath(step.target);
        if (!QFile::exists(step.stagedPath))
            return fail(step.target, QStringLiteral("dohvaćena datoteka je nestala"));
        if (!step.movedAside.isEmpty()) {
            // The new file takes the old one's permissions before it takes
            // its place: a program stays executable at every instant.
            QFile::setPermissions(step.stagedPath, QFileInfo(target).permissions());
            if (!FileReplace::keepOld(target, program.filePath(step.movedAside)))
                return fail(step.target, QStringLiteral("postojeća datoteka se ne može premjestiti"));
        }
        if (!FileReplace::replace(step.stagedPath, target))
            return fail(step.target, QStringLiteral("nova datoteka se ne može postaviti"));
    }
    return InstallResult{true, QString(), QString()};
}

void finishInstall(const QString &programDir)
{
    QFile::remove(QDir(programDir).filePath(InstallFiles::record));
    removeStaging(programDir);
}

Recovery recoverInterruptedInstall(const QString &programDir, double installedVersion)
{
    const QString recordPath = QDir(programDir).filePath(InstallFiles::record);
    QFile record(recordPath);
    if (!record.exists()) {
        removeStaging(programDir); // fetched files of an update that never started installing
        return Recovery::None;
    }
    InstallPlan plan;
    if (!record.open(QIODevice::ReadOnly) || !fromJson(record.readAll(), &plan)) {
        qWarning().noquote() << "Zapis prekinutog ažuriranja" << recordPath
                             << "se ne može pročitati; stare datoteke (_old_) ostaju.";
        return Recovery::Failed;
    }
    record.close();

    if (plan.version == installedVersion) {
        finishInstall(programDir);
        return Recovery::Completed;
    }
    if (!undo(programDir, plan))
        return Recovery::Failed;
    finishInstall(programDir);
    qWarning("Prekinuto ažuriranje je poništeno: program je ostao na staroj verziji.");
    return Recovery::RolledBack;
}

void removeMovedAsideFiles(const QString &programDir)
{
    if (QFile::exists(QDir(programDir).filePath(InstallFiles::record)))
        return;
    QDirIterator it(programDir, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        if (entry.isDir())
            continue;
        if (entry.fileName().startsWith(QLatin1String("_old_")))
            QFile::remove(entry.absoluteFilePath());
    }
}
