#include "filereplace.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Down to the disk, so that a power cut after the rename that follows finds
// the whole file (or its name in the folder), never an empty one.
bool sync(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A file system that cannot sync (EINVAL) has nothing better to offer.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

// Best effort: the file is whole either way, only its new name may be lost.
void syncFolderOf(const QString &path)
{
    sync(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

} // namespace

namespace FileReplace {

bool keepOld(const QString &from, const QString &to)
{
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        syncFolderOf(to);
        return true;
    }
    if (!QFile::copy(from, to) || !sync(to, O_RDONLY)) // a file system without links
        return false;
    syncFolderOf(to);
    return true;
}

bool replace(const QString &from, const QString &to)
{
    if (!sync(from, O_RDONLY) || std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return false;
    syncFolderOf(to);
    return true;
}

} // namespace FileReplace
