#pragma once

#include "outputresult.h"

#include <QString>

class SerialPort;

// Writes the invoice as UTF-8, up to the first NUL, to the port: open, write,
// flush, close. A device without DSR still gets the bytes ("nije upaljeno"
// in the log).
OutputResult writeInvoiceToPort(SerialPort &port, const QString &text);
