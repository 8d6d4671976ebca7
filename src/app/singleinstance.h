#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One window per user and data folder. The first shell listens on a local
// socket named after the user and the folder, in a folder only the user may
// write (XDG_RUNTIME_DIR, else the data folder); a later start in the same
// folder asks it to come to the front and ends. A socket left by a crash, or
// by a shell that is ending for its update's restart, does not hold the next
// start back: only a shell that answers counts, and only one of this user;
// another user's socket is never taken at its word. A shell that is there
// but does not answer within 5 s is busy, not dead: its socket stays.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum Running { None, HandedOver, Busy };

    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);

    // Asks a running shell of this user and folder to come to the front.
    Running handOver();
    // Takes the name for this shell; false when it cannot (then it runs alone).
    bool listen();

signals:
    void raiseRequested();

private:
    QString name; // the socket's path (its name, where sockets have no path)
    QLocalServer server;
};
