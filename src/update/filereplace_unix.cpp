#include "filereplace.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

namespace FileReplace {

bool keepOld(const QString &from, const QString &to)
{
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    return QFile::copy(from, to); // a file system without links
}

bool replace(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace FileReplace
