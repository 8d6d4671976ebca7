#include "processlimits.h"

#include <QFile>

#include <sys/resource.h>

namespace {

// The data memory the process has mapped now, in bytes (Linux); the script
// engine's code area, reserved in advance, counts in it.
qint64 dataNow()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmData:"))
            return line.mid(7).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

} // namespace

namespace ProcessLimits {

bool apply(int cpuSeconds, qint64 extraMemoryBytes)
{
    const qint64 data = dataNow();
    if (data < 0)
        return false;
    const rlimit memory{rlim_t(data + extraMemoryBytes), rlim_t(data + extraMemoryBytes)};
    const rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds + 1)};
    return setrlimit(RLIMIT_DATA, &memory) == 0 && setrlimit(RLIMIT_CPU, &cpu) == 0;
}

} // namespace ProcessLimits
