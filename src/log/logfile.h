#pragma once

#include <QFile>
#include <QMutex>
#include <QString>
#include <QtMessageHandler>

// The shell's log for a support person: every message the program logs,
// with its time and level, appended to one file that is rotated at
// `maxBytes`, keeping `keep` old files (name.1 the newest of them).
class LogFile
{
public:
    explicit LogFile(const QString &path, qint64 maxBytes = 1 << 20, int keep = 3);

    void write(QtMsgType type, const QString &message);

    // Sends every message of the program to `log` as well as where it went
    // before (the terminal); nullptr stops that.
    static void install(LogFile *log);

private:
    void rotate();

    QString path;
    qint64 maxBytes;
    int keep;
    QMutex mutex; // the port is written from a thread of its own
    QFile file;
};
