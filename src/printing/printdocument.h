#pragma once

#include "outputresult.h"
#include "printsystem.h"

#include <QPageLayout>
#include <QString>

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;

// The installed printers and the default one, asked off the GUI thread: the
// window keeps running meanwhile, and a print system that does not answer
// within its time-out is a list with a problem, not a frozen till.
PrinterList askPrinters();

// The same without waiting: `done` gets the list on the receiver's thread,
// from the event loop, within the print system's wait (a list with a
// problem when it does not answer), and not at all once the receiver is gone.
void askPrintersLater(QObject *receiver, std::function<void(const PrinterList &)> done);

// Prints what `paint` draws on `printer`, without a dialog. Where the print
// system takes documents (CUPS), the printer is asked first whether it would
// print at all, and the pages go to it as a PDF job of their own, so that a
// refusal is seen and the job id known; elsewhere Qt prints natively.
OutputResult printDocument(QPrinter &printer, const std::function<void(QPrinter &)> &paint, const QString &title);

// The same on the installed printer named `printerName` (never another one),
// without waiting for the print system: `done` gets the outcome on the
// receiver's thread, as submitPdfLater gives it.
void printDocumentLater(const QString &printerName, const std::function<void(QPrinter &)> &paint, const QString &title,
                        QObject *receiver, std::function<void(const OutputResult &)> done);

// The page of the queue's own paper, only where the printer reaches;
// `otherwise` when the print system did not say.
QPageLayout pageLayoutFor(const PaperSize &paper, const QPageLayout &otherwise);

// The installed printer named exactly `name` (case-sensitive), with no
// margins; the system's default printer when there is none by that name.
std::unique_ptr<QPrinter> makePrinter(const QString &name);

// The page an invoice for the installed printer `name` is laid out on: the
// queue's own paper (`paper`, as the print system gave it), without margins
// for the printer the settings name (`settingsPrinter`, as makePrinter
// makes it) and as it comes for another. Nothing when there is no printer.
std::optional<QPageLayout> invoicePageLayout(const QString &name, bool settingsPrinter, const PaperSize &paper);

// Hands a PDF file that is ready to the printer as a job of its own, off the
// GUI thread: the printer is asked first whether it would print at all.
// `done` gets the outcome on the receiver's thread, once, within twice the
// print system's wait, and not at all once the receiver is gone. The file
// is the worker's from here on: it is removed when the worker is done with
// it, not before. Once `abandon` is set (by the caller, or by the wait
// running out) the job does not go, or is cancelled at the print system if
// it went already, so that a retry never adds a copy.
void submitPdfLater(const QString &printerName, const QString &pdfPath, const QString &title,
                    const std::shared_ptr<std::atomic<bool>> &abandon, QObject *receiver,
                    std::function<void(const OutputResult &)> done);
