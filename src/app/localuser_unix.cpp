// POSIX: the only place the program asks the system who a user is.
#include "localuser.h"

#include <QFile>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace LocalUser {

bool ownsPrivately(const QString &folder)
{
    struct stat info{};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode)
           && info.st_uid == ::getuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

bool owns(const QString &file)
{
    struct stat info{};
    return ::lstat(QFile::encodeName(file).constData(), &info) == 0 && info.st_uid == ::getuid();
}

bool isPeer(qintptr socketDescriptor)
{
#if defined(SO_PEERCRED)
    struct ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    return ::getpeereid(int(socketDescriptor), &uid, &gid) == 0 && uid == ::getuid();
#endif
}

} // namespace LocalUser
