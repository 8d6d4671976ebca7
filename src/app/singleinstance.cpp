#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    const QByteArray key = (user + QLatin1Char('\n') + QDir(dataFolder).absolutePath()).toUtf8();
    name = QStringLiteral("velmor-tarsila-")
           + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
}

bool SingleInstance::handedOver()
{
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(500))
            return false; // nobody there, or only a socket a crash left behind
        socket.write("raise\n");
        socket.flush();
        if (socket.waitForReadyRead(1500) && socket.readLine().trimmed() == "ok")
            return true;
        // Connected but silent: a shell on its way out (an update's restart). Its turn is over soon.
        socket.abort();
        QThread::msleep(200);
    }
    return false;
}

bool SingleInstance::listen()
{
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name)) {
        QLocalServer::removeServer(name); // left by a shell that crashed
        if (!server.listen(name))
            return false;
    }
    connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                socket->readAll();
                socket->write("ok\n");
                socket->flush();
                emit raiseRequested();
            });
        }
    });
    return true;
}
