#include "portdevice.h"

#include <QTcpSocket>

#include <algorithm>

namespace PortDevice {

namespace {

// The port's name is said by whoever reports it: this says why.
QString socketProblem(const QTcpSocket &socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("pisač odbija vezu; je li upaljen i je li broj porta točan?");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("pisač nije pronađen na mreži");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("pisač je prekinuo vezu");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("mreža do pisača nije dostupna");
    default:
        return QStringLiteral("veza s pisačem nije uspjela: %1").arg(socket.errorString());
    }
}

// Waits in short steps, so that a stop is seen at once.
constexpr int stepMs = 50;

class NetworkDevice final : public Device
{
public:
    explicit NetworkDevice(const NetworkPrinterAddress &address)
        : address(address)
    {
    }

    bool connect(int timeoutMs, QString *error)
    {
        socket.connectToHost(address.host, address.port);
        if (socket.waitForConnected(timeoutMs))
            return true;
        *error = socket.error() == QAbstractSocket::UnknownSocketError || socket.state() != QAbstractSocket::UnconnectedState
                     ? QStringLiteral("pisač se ne javlja ni nakon %1 s").arg(timeoutMs / 1000.0)
                     : socketProblem(socket);
        socket.abort();
        return false;
    }

    // A printer that took the connection is on: there are no modem lines.
    bool dataSetReady() override { return true; }

    bool write(const QByteArray &bytes, QDeadlineTimer deadline, const std::atomic<bool> &stop,
               QString *error) override
    {
        if (socket.write(bytes) != bytes.size()) {
            *error = socketProblem(socket);
            return false;
        }
        while (socket.bytesToWrite() > 0) {
            if (stop) {
                *error = stoppedText();
                return false;
            }
            if (deadline.hasExpired()) {
                *error = QStringLiteral("pisač ne prima podatke");
                return false;
            }
            socket.waitForBytesWritten(deadline.isForever() ? stepMs
                                                            : int(std::min<qint64>(stepMs, deadline.remainingTime())));
            if (socket.state() != QAbstractSocket::ConnectedState) {
                *error = socketProblem(socket);
                return false;
            }
        }
        // All sent: the printer learns that the invoice is whole.
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState)
            socket.waitForDisconnected(int(std::clamp<qint64>(deadline.remainingTime(), 0, 1000)));
        return true;
    }

    void discard() override { socket.abort(); }

    QByteArray ask(const QByteArray &request, int answerBytes, int waitMs) override
    {
        if (socket.write(request) != request.size())
            return QByteArray();
        const QDeadlineTimer deadline(waitMs);
        QByteArray answer;
        while (answer.size() < answerBytes && !deadline.hasExpired()) {
            if (socket.bytesAvailable() > 0 || socket.waitForReadyRead(int(deadline.remainingTime())))
                answer += socket.read(answerBytes - answer.size());
            if (socket.state() != QAbstractSocket::ConnectedState)
                break;
        }
        return answer.size() == answerBytes ? answer : QByteArray();
    }

private:
    NetworkPrinterAddress address;
    QTcpSocket socket;
};

} // namespace

std::unique_ptr<Device> openNetwork(const NetworkPrinterAddress &address, int timeoutMs, QString *error)
{
    auto device = std::make_unique<NetworkDevice>(address);
    if (!device->connect(timeoutMs, error))
        return nullptr;
    return device;
}

} // namespace PortDevice
