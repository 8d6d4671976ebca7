#pragma once

#include "outputresult.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QObject;

class SerialPort;

// How a port's invoice is encoded: the settings' portEncoding and
// portCodeTable as written (empty: UTF-8, no code table command).
struct PortEncodingSetting
{
    QString encoding;
    QString codeTable;
};

// Writes the whole invoice, zero bytes included, to the port: open, write (within
// the port's deadline), close. A device without DSR still gets the bytes
// ("nije upaljeno" in the log). An encoding or code table we do not know
// sends nothing and is the failure.
// `stop`, when given and set meanwhile, ends the write ("ispis je prekinut").
OutputResult writeInvoiceToPort(SerialPort &port, const QString &text, const PortEncodingSetting &encoding = {},
                                const std::atomic<bool> *stop = nullptr);

// The same on a thread of its own, for the port `portName`, without waiting:
// `done` gets the outcome on the receiver's thread once the write is over,
// and not at all once the receiver is gone. `stop` is shared with the
// writer, which may outlive the caller.
void writeInvoiceToPortLater(const QString &portName, const QString &text, const PortEncodingSetting &encoding,
                             std::shared_ptr<const std::atomic<bool>> stop, QObject *receiver,
                             std::function<void(const OutputResult &)> done);
