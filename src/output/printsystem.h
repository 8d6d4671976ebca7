#pragma once

#include "outputresult.h"

#include <QString>
#include <QStringList>

// The operating system's print system, asked directly where Qt's printing
// would drop a job without a word. On CUPS the invoice is handed over as a
// PDF file, so that a refused job is an error with a reason and an accepted
// one has a job id; elsewhere Qt prints natively and nothing is known.

// Whether this platform takes a PDF file as a print job.
bool printSystemTakesDocuments();

// Every call below gives up after `timeoutMs` without an answer: a print
// system that takes the connection and never answers is said as such.
constexpr int printSystemTimeoutMs = 10000;
// How long a caller waits for such a call on a thread of its own; past it,
// the print system is taken not to answer.
constexpr int printSystemWaitMs = printSystemTimeoutMs + 2000;
inline QString printSystemSilent()
{
    return QStringLiteral("sustav za ispis ne odgovara");
}

struct PrinterList
{
    bool answered = false; // the print system answered; else `problem` says why (empty: ask Qt)
    QStringList names;
    QString defaultName;   // empty: no default printer
    QString problem;
};

// The installed printers and the default one, asked directly. Where the
// platform has no such question (Windows), not answered and no problem:
// Qt's own list is the one to use.
PrinterList installedPrinters(int timeoutMs = printSystemTimeoutMs);

// Whether the printer would print a job now: failed (Printer) when it was
// removed, is stopped or refuses jobs, (PrintSystem) when the print system
// cannot be asked; ok when it would, or when this platform cannot tell.
OutputResult printerProblem(const QString &printerName, int timeoutMs = printSystemTimeoutMs);

// The paper a printer's queue prints on unless told otherwise: its driver's
// default page size and imageable area (a receipt roll is 80 mm wide).
struct PaperSize
{
    bool known = false; // false: the print system did not say; A4 it is
    double widthMm = 0;
    double heightMm = 0;
    double leftMm = 0, topMm = 0, rightMm = 0, bottomMm = 0; // what the printer cannot reach
};

// The queue's default paper, asked directly.
PaperSize defaultPaper(const QString &printerName, int timeoutMs = printSystemTimeoutMs);

struct PrintJob
{
    qint64 id = 0;   // the print system's job id; 0 when it was refused
    QString problem; // why, when refused
    OutputResult::Failure failure = OutputResult::Printer;
};

// Hands the PDF file to the printer as one job.
PrintJob submitDocument(const QString &printerName, const QString &pdfPath, const QString &title,
                        int timeoutMs = printSystemTimeoutMs);

// Cancels a job handed over earlier, so that it does not print after all.
// False when it could not be (printed already, or no answer).
bool cancelJob(const QString &printerName, qint64 jobId, int timeoutMs = printSystemTimeoutMs);
