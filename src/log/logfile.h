#pragma once

#include <QFile>
#include <QMutex>
#include <QString>
#include <QtMessageHandler>

// The shell's log for a support person: every message the program logs,
// with its time and level, appended to one file that is rotated at
// `maxBytes`, keeping `keep` old files (name.1 the newest of them).
//
// A page can make the program log at will; so that it cannot wipe the
// history, a message that repeats the one before is counted instead of
// written ("… ponovljeno 19.999 puta"), a long one is cut short, and past
// `bytesPerMinute` in a minute the rest of that minute is counted and left
// out. Control characters are written out, never sent raw. The files are
// the user's alone: what pages and invoices said is in them.
class LogFile
{
public:
    explicit LogFile(const QString &path, qint64 maxBytes = 1 << 20, int keep = 3, qint64 bytesPerMinute = 64 * 1024);
    ~LogFile(); // says what it still held back

    void write(QtMsgType type, const QString &message);

    // Sends every message of the program to `log` as well as where it went
    // before (the terminal); nullptr stops that.
    static void install(LogFile *log);

private:
    bool openFile();
    void rotate();
    void writeLine(QtMsgType type, const QString &text);
    void sayRepeats();
    void sayHeldBack();

    QString path;
    qint64 maxBytes;
    int keep;
    QMutex mutex; // the port is written from a thread of its own
    QFile file;

    qint64 bytesPerMinute;
    QString lastText;
    QtMsgType lastType = QtDebugMsg;
    bool lastLeftOut = false; // the last message was one of those left out
    qint64 repeated = 0;    // times the last message came again, not written
    qint64 windowStart = 0; // the minute being counted, ms since the epoch
    qint64 bytesInWindow = 0;
    qint64 leftOut = 0;     // messages left out in that minute
};
