#include "updateinstaller.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

struct Replaced
{
    QString target;
    QString movedAside; // empty for a new file
};

void putBack(const QList<Replaced> &done)
{
    for (auto it = done.crbegin(); it != done.crend(); ++it) {
        QFile::remove(it->target);
        if (!it->movedAside.isEmpty())
            QFile::rename(it->movedAside, it->target);
    }
}

// Makes `folder` below `programDir` one level at a time, noting each folder it
// made, so that a failed install can take them away again.
bool makeFolders(const QString &programDir, const QString &folder, QStringList &made)
{
    QString path = programDir;
    for (const QString &segment : QDir::fromNativeSeparators(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path = QDir(path).filePath(segment);
        if (QFileInfo(path).isDir())
            continue;
        if (!QDir().mkdir(path))
            return false;
        made.append(path);
    }
    return true;
}

} // namespace

QString movedAsideName(const QString &name, const QTime &now)
{
    return QLatin1String("_old_") + now.toString(QStringLiteral("HHmmss")) + QLatin1Char('_') + name;
}

InstallResult installFiles(const QString &programDir, const QList<FetchedFile> &files, const QTime &now)
{
    const QDir program(programDir);
    QList<Replaced> done;
    QStringList madeFolders;

    for (const FetchedFile &file : files) {
        const QString folder = file.folder.isEmpty() ? programDir : program.filePath(file.folder);
        const QString target = QDir(folder).filePath(file.name);
        auto fail = [&](const QString &problem) {
            putBack(done);
            // Deepest first; a folder that is not empty again stays.
            for (auto it = madeFolders.crbegin(); it != madeFolders.crend(); ++it)
                QDir().rmdir(*it);
            return InstallResult{false, QDir::toNativeSeparators(target), problem};
        };

        if (!makeFolders(programDir, file.folder, madeFolders))
            return fail(QStringLiteral("mapa se ne moze napraviti"));

        Replaced step{target, QString()};
        QFile::Permissions permissions;
        const QFileInfo existing(target);
        if (existing.isDir())
            return fail(QStringLiteral("na tom mjestu je mapa"));
        if (existing.exists() || existing.isSymLink()) {
            permissions = existing.permissions();
            step.movedAside = QDir(folder).filePath(movedAsideName(file.name, now));
            if (!QFile::rename(target, step.movedAside))
                return fail(QStringLiteral("postojeca datoteka se ne moze premjestiti"));
        }

        QSaveFile out(target);
        const bool written = out.open(QIODevice::WriteOnly) && out.write(file.body) == file.body.size() && out.commit();
        if (!written) {
            const QString problem = out.errorString();
            if (!step.movedAside.isEmpty())
                QFile::rename(step.movedAside, target);
            return fail(problem);
        }
        if (permissions)
            QFile::setPermissions(target, permissions);
        done.append(step);
    }
    return InstallResult{true, QString(), QString()};
}

void removeMovedAsideFiles(const QString &programDir)
{
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
