#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One window per user and data folder. The first shell listens on a local
// socket named after the user and the folder; a later start in the same
// folder asks it to come to the front and ends. A socket left by a crash, or
// by a shell that is ending for its update's restart, does not hold the next
// start back: only a shell that answers counts.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);

    // True when a running shell of this user and folder took the request.
    bool handedOver();
    // Takes the name for this shell; false when it cannot (then it runs alone).
    bool listen();

signals:
    void raiseRequested();

private:
    QString name;
    QLocalServer server;
};
