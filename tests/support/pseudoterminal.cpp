#include "pseudoterminal.h"

#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

const char dle = 0x10;
const char eot = 0x04;

} // namespace

PseudoTerminal::PseudoTerminal()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return;
    path = QString::fromLocal8Bit(ptsname(master));
    slave = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

PseudoTerminal::~PseudoTerminal()
{
    notifier.reset();
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
}

void PseudoTerminal::answerStatus(char offline, char roll)
{
    answers = QByteArray() + offline + roll;
    if (!notifier && master >= 0) {
        notifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { take(); });
    }
}

void PseudoTerminal::take()
{
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(master, buffer, sizeof buffer)) > 0)
        arrived.append(buffer, static_cast<int>(n));
    for (; scanned + 2 < arrived.size(); ++scanned) {
        if (arrived.at(scanned) != dle || arrived.at(scanned + 1) != eot)
            continue;
        const char what = arrived.at(scanned + 2);
        if (!answers.isEmpty() && (what == 2 || what == 4)) {
            const char answer = answers.at(what == 2 ? 0 : 1);
            (void)::write(master, &answer, 1);
        }
        scanned += 2;
    }
}

QByteArray PseudoTerminal::readRaw(int quietMs)
{
    // A status request is followed by the invoice within the program's wait
    // for an answer.
    const auto asked = [this] { return arrived.size() >= 3 && arrived.at(arrived.size() - 3) == dle
                                       && arrived.at(arrived.size() - 2) == eot; };
    for (;;) {
        take();
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, asked() ? quietMs + 2000 : quietMs) <= 0 || !(fd.revents & POLLIN))
            break;
    }
    take();
    const QByteArray all = arrived;
    arrived.clear();
    scanned = 0;
    return all;
}

QByteArray PseudoTerminal::read(int quietMs)
{
    const QByteArray all = readRaw(quietMs);
    QByteArray printed;
    for (int i = 0; i < all.size(); ++i) {
        if (i + 2 < all.size() && all.at(i) == dle && all.at(i + 1) == eot && all.at(i + 2) >= 1 && all.at(i + 2) <= 4)
            i += 2;
        else
            printed.append(all.at(i));
    }
    return printed;
}

termios PseudoTerminal::settings() const
{
    termios t{};
    tcgetattr(slave, &t);
    return t;
}
