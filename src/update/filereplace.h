#pragma once

#include <QString>

// The two file operations an install is made of, one implementation file
// per platform. Together they keep the program's files whole at every
// instant where the system allows it.
namespace FileReplace {

// Keeps the existing file `from` under the name `to` as well. On POSIX a
// second link to the same file (a copy where links are not possible), so
// that `from` never goes missing; on Windows, where a running program cannot
// be replaced but can be renamed, `from` is moved to `to`.
bool keepOld(const QString &from, const QString &to);

// Puts `from` in place of `to` in one step, replacing what is there.
bool replace(const QString &from, const QString &to);

} // namespace FileReplace
