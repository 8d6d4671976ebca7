#include "filereplace.h"

#include <QDir>

#include <windows.h>

namespace {

bool move(const QString &from, const QString &to, DWORD flags)
{
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       flags | MOVEFILE_WRITE_THROUGH)
           != 0;
}

} // namespace

namespace FileReplace {

bool keepOld(const QString &from, const QString &to)
{
    return move(from, to, 0);
}

bool replace(const QString &from, const QString &to)
{
    return move(from, to, MOVEFILE_REPLACE_EXISTING);
}

} // namespace FileReplace
