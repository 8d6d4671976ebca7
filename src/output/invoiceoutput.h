#pragma once

#include "serialport.h"

#include <QString>

#include <memory>

class QPrinter;
class QWebFrame;
class QWebView;

// What one attempt to output an invoice came to.
struct OutputResult
{
    bool done = false;
    QString problem; // why the invoice was not output, when not done

    static OutputResult ok() { return {true, QString()}; }
    static OutputResult failed(const QString &why) { return {false, why}; }
};

// The output selection as the settings file holds it right now.
struct OutputSelection
{
    bool hasMode = false; // useSerialPort present
    bool useSerialPort = false;
    bool hasPort = false; // printerPort present
    QString printerPort;
};

OutputSelection readOutputSelection();

// A closed port with the receipt printers' line settings: 9600 baud, no flow
// control, no parity, 8 data bits, 2 stop bits.
std::unique_ptr<SerialPort> makeOutputPort(const QString &name);

// The installed printer named exactly `name` (case-sensitive), with no
// margins; null when there is none.
std::unique_ptr<QPrinter> makeNamedPrinter(const QString &name);

// The invoice text the page left for the given mode; empty when the element
// is missing. Reading never raises an error inside the page.
QString readInvoice(QWebFrame *frame, bool portMode);

// Sets the "value" attribute of the page's first "#IsShell" element to "true".
void markShownByShell(QWebFrame *frame);

// Writes the invoice as UTF-8 (up to the first NUL) to the port: open,
// write, flush, close.
OutputResult writeInvoiceToPort(SerialPort &port, const QString &text);

// Renders the HTML invoice in a hidden view and waits for it to load, for at
// most `timeoutMs` (no limit when negative). Runs a nested event loop.
std::unique_ptr<QWebView> renderInvoice(const QString &html, int timeoutMs);

// Prints what the view holds, without a dialog.
OutputResult printInvoice(QWebView &view, QPrinter &printer);
