#include "portdevice.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace PortDevice {

bool isTerminal(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal;
}

bool drain(qintptr handle)
{
    int result;
    do {
        result = ::tcdrain(static_cast<int>(handle));
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

bool lockExclusive(QFile &file)
{
    return ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
}

} // namespace PortDevice
