#pragma once

#include <QString>
#include <QtGlobal>

// Who may talk to this user's running shell; one implementation file per
// platform.
namespace LocalUser {

// Whether only this user may make or replace files in the folder (owned by
// the user, nothing for group or others). Always true where the platform
// keeps a user's local sockets apart by itself.
bool ownsPrivately(const QString &folder);

// Whether the file (a socket) belongs to this user.
bool owns(const QString &file);

// Whether the process at the other end of a connected local socket runs as
// this user.
bool isPeer(qintptr socketDescriptor);

} // namespace LocalUser
