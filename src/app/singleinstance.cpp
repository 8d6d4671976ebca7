#include "singleinstance.h"

#include "localuser.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    const QString folder = QDir(dataFolder).absolutePath();
    const QByteArray key = (user + QLatin1Char('\n') + folder).toUtf8();
    name = QStringLiteral("velmor-tarsila-")
           + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
#ifdef Q_OS_UNIX
    // A name alone would be a file in the shared temporary folder, where
    // anyone may put a socket of that name first.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    name = (!runtime.isEmpty() && LocalUser::ownsPrivately(runtime) ? runtime : folder) + QLatin1Char('/') + name;
#endif
}

SingleInstance::Running SingleInstance::handOver()
{
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (QFileInfo::exists(name) && !LocalUser::owns(name)) {
            qWarning().noquote() << "Priključak" << name << "pripada drugom korisniku; ne uzima se u obzir";
            return None;
        }
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(500))
            return None; // nobody there, or only a socket a crash left behind
        if (!LocalUser::isPeer(socket.socketDescriptor())) {
            qWarning().noquote() << "Na priključku" << name << "sluša program drugog korisnika; ne uzima se u obzir";
            return None;
        }
        socket.write("raise\n");
        socket.flush();
        if (socket.waitForReadyRead(1500) && socket.readLine().trimmed() == "ok")
            return HandedOver;
        // Connected but silent: a shell on its way out (an update's restart). Its turn is over soon.
        socket.abort();
        QThread::msleep(200);
    }
    return Busy; // there all along, and never answered
}

bool SingleInstance::listen()
{
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name)) {
        QLocalServer::removeServer(name); // left by a shell that crashed, or not this user's
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
