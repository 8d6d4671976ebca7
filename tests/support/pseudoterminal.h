#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

// A pseudo-terminal standing in for a serial receipt printer: the program
// writes to the slave side by its path, the test reads the master side.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return master >= 0 && slave >= 0; }
    QString slavePath() const { return path; }

    // Reads what has arrived, waiting until nothing more comes for `quietMs`.
    QByteArray read(int quietMs = 300);

    // The slave's current line settings.
    termios settings() const;

private:
    int master = -1;
    int slave = -1; // kept open so that the program's close does not hang up the line
    QString path;
};
