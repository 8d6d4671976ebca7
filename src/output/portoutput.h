#pragma once

#include "outputresult.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QObject;

class SerialPort;

// How a port's invoice goes: the settings' portEncoding and portCodeTable
// as written (empty: UTF-8, no code table command), and whether the printer
// opens the cash drawer with it and cuts the paper after it.
struct PortFormat
{
    QString encoding;
    QString codeTable;
    bool cutPaper = false;
    bool openDrawer = false;
};

// ESC/POS: a pulse on the drawer's pin 2 (50 ms on, 500 ms off), and a feed
// to the cutter and a partial cut.
inline const QByteArray drawerPulse("\x1b\x70\x00\x19\xfa", 5);
inline const QByteArray feedAndCut("\x1d\x56\x42\x00", 4);

// Writes the whole invoice, zero bytes included, to the port: open, write (within
// the port's deadline), close. A device without DSR still gets the bytes
// ("nije upaljeno" in the log). An encoding or code table we do not know
// sends nothing and is the failure.
// `stop`, when given and set meanwhile, ends the write ("ispis je prekinut").
OutputResult writeInvoiceToPort(SerialPort &port, const QString &text, const PortFormat &format = {},
                                const std::atomic<bool> *stop = nullptr);

// The same on a thread of its own, for the port `portName`, without waiting:
// `done` gets the outcome on the receiver's thread once the write is over,
// and not at all once the receiver is gone. `stop` is shared with the
// writer, which may outlive the caller.
void writeInvoiceToPortLater(const QString &portName, const QString &text, const PortFormat &format,
                             std::shared_ptr<const std::atomic<bool>> stop, QObject *receiver,
                             std::function<void(const OutputResult &)> done);
