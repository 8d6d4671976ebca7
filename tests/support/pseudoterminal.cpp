#include "pseudoterminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return;
    path = QString::fromLocal8Bit(ptsname(master));
    slave = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

PseudoTerminal::~PseudoTerminal()
{
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
}

QByteArray PseudoTerminal::read(int quietMs)
{
    QByteArray data;
    for (;;) {
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, quietMs) <= 0 || !(fd.revents & POLLIN))
            break;
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<int>(n));
    }
    return data;
}

termios PseudoTerminal::settings() const
{
    termios t{};
    tcgetattr(slave, &t);
    return t;
}
