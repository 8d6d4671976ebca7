#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>

#include <memory>

#include <termios.h>

// A pseudo-terminal standing in for a serial receipt printer: the program
// writes to the slave side by its path, the test reads the master side.
// Like an ESC/POS printer it takes real-time status requests (DLE EOT n) in
// passing and never prints them; it answers them once told what to say.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return master >= 0 && slave >= 0; }
    QString slavePath() const { return path; }

    // What it printed since the last read, waiting until nothing more comes
    // for `quietMs` (longer while the last thing that came was a status
    // request, after which the invoice is on its way).
    QByteArray read(int quietMs = 300);
    // Every byte that came since the last read, status requests included.
    QByteArray readRaw(int quietMs = 300);

    // From now on answers DLE EOT 2 with `offline` and DLE EOT 4 with
    // `roll`, while the event loop runs or a read waits.
    void answerStatus(char offline, char roll);

    // The slave's current line settings.
    termios settings() const;

private:
    void take();

    int master = -1;
    int slave = -1; // kept open so that the program's close does not hang up the line
    QString path;
    QByteArray arrived;
    int scanned = 0; // how much of `arrived` has been looked at for requests
    QByteArray answers; // [offline, roll]; empty: says nothing
    std::unique_ptr<QSocketNotifier> notifier;
};
