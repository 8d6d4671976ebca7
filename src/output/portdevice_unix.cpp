// POSIX: the only place the port layer calls the system directly.
#include "portdevice.h"

#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace PortDevice {
namespace {

// The system's own texts are English whatever the till's language: the
// usual ones in words a cashier reads, the rest with their number for support.
QString systemError(int number)
{
    switch (number) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return QStringLiteral("uređaj ne postoji");
    case EACCES:
    case EPERM:
        return QStringLiteral("nema dopuštenja za uređaj");
    case EBUSY:
        return QStringLiteral("port je zauzet");
    case EIO:
        return QStringLiteral("greška u prijenosu na uređaj");
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return QStringLiteral("naziv uređaja nije ispravan");
    case EROFS:
        return QStringLiteral("uređaj je samo za čitanje");
    case EPIPE:
        return QStringLiteral("uređaj je odspojen");
    default:
        return QStringLiteral("sistemska greška %1").arg(number);
    }
}

// What the IT person does about a device the till's user may not open:
// such devices belong to a group (lp for printers, dialout for serial lines).
QString noPermission(const struct stat &device)
{
    const struct group *owners = ::getgrgid(device.st_gid);
    const struct passwd *user = ::getpwuid(::geteuid());
    const QString userName = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(::geteuid());
    if (!owners || device.st_gid == 0)
        return QStringLiteral("nema dopuštenja za uređaj: korisnik %1 ga ne smije otvoriti; neka mu IT podrška "
                              "dopusti pristup (na primjer pravilom za udev)")
            .arg(userName);
    const QString group = QString::fromLocal8Bit(owners->gr_name);
    return QStringLiteral("nema dopuštenja za uređaj: korisnik %1 nije u grupi %2; neka ga IT podrška doda "
                          "(sudo adduser %1 %2) i neka se korisnik ponovno prijavi")
        .arg(userName, group);
}

const QString notTaking = QStringLiteral("uređaj ne prima podatke");

speed_t speedFor(qint32 baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

bool configure(int fd, const SerialLine &line)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speedFor(line.baudRate));
    ::cfsetospeed(&t, speedFor(line.baudRate));
    t.c_cflag &= ~tcflag_t(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    switch (line.dataBits) {
    case QSerialPort::Data5: t.c_cflag |= CS5; break;
    case QSerialPort::Data6: t.c_cflag |= CS6; break;
    case QSerialPort::Data7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }
    if (line.stopBits == QSerialPort::TwoStop)
        t.c_cflag |= CSTOPB;
    if (line.parity == QSerialPort::EvenParity || line.parity == QSerialPort::OddParity)
        t.c_cflag |= PARENB | (line.parity == QSerialPort::OddParity ? PARODD : 0);
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    if (line.flowControl == QSerialPort::HardwareControl)
        t.c_cflag |= CRTSCTS;
    else if (line.flowControl == QSerialPort::SoftwareControl)
        t.c_iflag |= IXON | IXOFF;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

class UnixDevice final : public Device
{
public:
    UnixDevice(int fd, bool terminal, bool fifo)
        : fd(fd)
        , terminal(terminal)
        , fifo(fifo)
    {
    }
    ~UnixDevice() override
    {
        // The line's exclusive mode outlives our descriptor while anyone else
        // holds the line open: without this, the next open by a user without
        // privileges (our own next invoice included) gets "busy".
        if (terminal)
            ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }

    bool dataSetReady() override
    {
        int lines = 0;
        return terminal && ::ioctl(fd, TIOCMGET, &lines) == 0 && (lines & TIOCM_DSR);
    }

    bool write(const QByteArray &bytes, QDeadlineTimer deadline, const std::atomic<bool> &stop,
               QString *error) override
    {
        qint64 done = 0;
        while (done < bytes.size()) {
            if (stop) {
                *error = stoppedText();
                return false;
            }
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                *error = systemError(errno);
                return false;
            }
            pollfd waiting{fd, POLLOUT, 0};
            const int left = int(qMax<qint64>(0, deadline.remainingTime()));
            if (deadline.hasExpired() || ::poll(&waiting, 1, qMin(left, 100)) < 0) {
                if (deadline.hasExpired() || errno != EINTR) {
                    *error = notTaking;
                    return false;
                }
            }
        }
        // Taken means gone from the system's buffers: the line's output queue,
        // or a FIFO's contents.
        for (;;) {
            int pending = 0;
            if (!(terminal || fifo) || ::ioctl(fd, terminal ? TIOCOUTQ : FIONREAD, &pending) != 0 || pending <= 0)
                return true;
            if (deadline.hasExpired() || stop) {
                *error = stop ? stoppedText() : notTaking;
                return false;
            }
            QThread::msleep(2);
        }
    }

    void discard() override
    {
        if (terminal)
            ::tcflush(fd, TCOFLUSH);
    }

    // Only a serial line talks back; a parallel or USB node may block a read
    // or answer with anything.
    QByteArray ask(const QByteArray &request, int answerBytes, int waitMs) override
    {
        if (!terminal)
            return QByteArray();
        ::tcflush(fd, TCIFLUSH); // what came before is no answer to this
        const QDeadlineTimer deadline(waitMs);
        static const std::atomic<bool> never{false};
        QString ignored;
        if (!write(request, deadline, never, &ignored))
            return QByteArray();
        QByteArray answer;
        while (answer.size() < answerBytes && !deadline.hasExpired()) {
            pollfd waiting{fd, POLLIN, 0};
            const int ready = ::poll(&waiting, 1, int(qMax<qint64>(1, deadline.remainingTime())));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0 || !(waiting.revents & POLLIN))
                break;
            char buffer[16];
            const ssize_t n = ::read(fd, buffer, size_t(qMin<int>(int(sizeof buffer), answerBytes - answer.size())));
            if (n > 0)
                answer.append(buffer, int(n));
            else if (n == 0 || (errno != EINTR && errno != EAGAIN))
                break;
        }
        return answer.size() == answerBytes ? answer : QByteArray();
    }

private:
    int fd;
    bool terminal;
    bool fifo;
};

} // namespace

std::unique_ptr<Device> open(const QString &path, const SerialLine &line, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info{};
    if (::stat(name.constData(), &info) != 0) {
        *error = systemError(errno);
        return nullptr;
    }
    if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
        *error = S_ISDIR(info.st_mode) ? QStringLiteral("to je mapa, a ne uređaj")
                                       : QStringLiteral("to je obična datoteka, a ne uređaj");
        return nullptr;
    }
    // Never created, never our controlling terminal, never blocking.
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errno == EACCES || errno == EPERM ? noPermission(info) : systemError(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        *error = QStringLiteral("uređaj koristi drugi program");
        return nullptr;
    }
    const bool terminal = ::isatty(fd) == 1;
    if (terminal) {
        if (!configure(fd, line)) {
            *error = QStringLiteral("postavke linije se ne mogu primijeniti (%1)").arg(systemError(errno));
            ::close(fd);
            return nullptr;
        }
        ::ioctl(fd, TIOCEXCL); // other programs that honour it keep out meanwhile; released on close
    }
    return std::make_unique<UnixDevice>(fd, terminal, S_ISFIFO(info.st_mode));
}

} // namespace PortDevice
